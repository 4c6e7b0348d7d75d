// Refractive indices of glasses at the lens wavelengths, relative to the air of the lens's
// temperature and pressure; model glasses interpolated from their defining indices; catalogue
// nd and vd at the current wavelengths.
#pragma once

#include <string>

#include "lens/glass_catalog.h"
#include "tables/table_names.h"

constexpr double kReferenceTemperature = 20.0;  // degrees; the catalogues' temperature
constexpr double kReferencePressure = 1.0;      // atmospheres
constexpr double kModelGlassCutoff = 0.143;     // micrometres; ends a model glass's wavelengths

// Standard wavelengths of nd and vd (micrometres).
constexpr double kLineD = 0.58756;
constexpr double kLineF = 0.48613;
constexpr double kLineC = 0.65627;

// A dispersion formula gives no real index at a wavelength (n^2 <= 0, a pole of the formula
// or a wavelength the formula cannot take); the index there is 1.0.

// What the index computation needs of the lens.
struct LensWavelengths {
    const double* wavelengths;  // micrometres
    int count;
    double temperature = kReferenceTemperature;
    double pressure = kReferencePressure;
};

// The index of a dispersion formula of kind 0..3 at one wavelength, at the catalogue's
// temperature and in its air. False when the formula gives no real index there.
bool dispersion_index(const GlassData& glass, double wavelength, double& n);

// Indices of glass at the first count lens wavelengths, with the air, temperature and pressure
// correction. 0, or kMsgNoRealIndex when some wavelength had no real index (1.0 stored there).
// A model glass that cannot be interpolated leaves out unchanged.
int glass_indices_at_wavelengths(const GlassData& glass, const LensWavelengths& lens, double* out);

// The normal-line constants k0..k5 of model glasses given by index and Abbe number, for the
// first three lens wavelengths (kept and reused while those are unchanged).
struct NormalLineConstants {
    double wavelengths[3];
    double k[6];
};
const NormalLineConstants& normal_line_constants(const double* wavelengths, int count);

// Completes a model glass given by index and Abbe number: with model_indices[0] = n,
// model_indices[1] = V and model_indices[2] = 0, the second and third defining indices are
// derived from the normal line.
void derive_model_glass_indices(GlassData& glass, const double* wavelengths, int count);

// Indices of a model glass (its defining wavelengths and indices) at the lens wavelengths,
// without air correction. 0, or kMsgModelGlassFailed with out unchanged.
int model_glass_at_wavelengths(const GlassData& glass, const double* wavelengths, int count,
                               double* out);

// Recomputes the index array of model-glass cache entry cache_index. The same index on
// success, its complement on failure (the caller shows kMsgModelGlassFailed), -10 without
// memory.
int model_glass_indices(int cache_index, const LensWavelengths& lens);

// Interpolates the glass's wavelength table at the lens wavelengths into its
// table_at_wavelengths array (made when missing, max_wavelengths long). 0 or -10.
int interpolate_glass_table(GlassData& glass, const double* wavelengths, int count,
                            int max_wavelengths);

// Recomputes nd and vd of every catalogue glass at the first three lens wavelengths and
// remembers those as the catalogue wavelengths. 0.
int recompute_catalog_dispersion(const LensWavelengths& lens);

// The wavelengths at which the catalogue nd and vd were last computed.
const double* catalog_wavelengths();

// nd and vd of glass number glass of catalogue; either pointer may be null. 0, or -453 for a
// glass or catalogue that does not exist.
int glass_nd_vd(int glass, int catalog, double* nd, double* vd);

// The one-line description of a catalogue glass. 0, or -453 for a bad glass or catalogue.
int glass_description(int glass, int catalog, int wavelength_count, std::string& line);
