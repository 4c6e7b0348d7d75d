// The spot-diagram store: the rays of the current spot diagram and the per-ray and
// per-wavelength work arrays of every evaluation that reads it. Allocated once at start-up
// from Max_spd_rays (setting 10) and Max_wavelengths (setting 9); the per-ray arrays are
// reallocated when Max_spd_rays changes during the run.
#pragma once

#include <cstdint>

// One stored ray, fields in the order the evaluations rely on.
struct SpotRay {
    double dx = 0;   // x intercept relative to the reference ray
    double dy = 0;   // y intercept relative to the reference ray
    double tx = 0;   // change of dx per unit focus shift
    double ty = 0;   // change of dy per unit focus shift
    double opd = 0;  // optical path difference at the reference sphere
    double nx = 0;   // pupil triple of the reference-sphere fit
    double ny = 0;
    double nz = 0;
    double amplitude = 0;  // relative field amplitude; its square is the ray's weight
    double px = 0;         // point on the reference sphere
    double py = 0;
    double pz = 0;
    double apod = 0;        // apodisation factor
    std::int32_t col = 0;   // pupil lattice column
    std::int32_t row = 0;   // pupil lattice row
    std::int32_t wave = 0;  // wavelength index, 0-based
};

inline constexpr int kReferenceFitSumCount = 14;
inline constexpr int kSineTableSize = 452;  // sin of the whole degrees 0..451
inline constexpr double kLatticeUnit = 1.0 / 16200.0;

struct SpotStore {
    SpotRay* rays = nullptr;  // [capacity]
    std::int32_t ray_count = 0;
    double* path_to_last_surface = nullptr;   // [capacity]
    double* last_segment = nullptr;           // [capacity]
    double* image_z = nullptr;                // [capacity]
    std::int32_t* sort_index = nullptr;       // [capacity + 1]
    std::int32_t* wave_ray_counts = nullptr;  // [wavelength capacity]
    double* airy_radius = nullptr;            // [wavelength capacity]
    double* x_cutoff = nullptr;               // [wavelength capacity]
    double* y_cutoff = nullptr;
    double* x_half_extent = nullptr;
    double* y_half_extent = nullptr;
    double* reference_fit_sums = nullptr;  // [wavelength capacity][14]
    double*** reference_normal = nullptr;  // [wavelength capacity][3][4]
    double* sine_table = nullptr;          // [452]
    double lattice_unit = 0;
    double divisions = 0;
    double grid_weight = 0;
    double y_apodisation = 0;
    double x_apodisation = 0;
    double reference_pv = 0;
    double reference_rms = 0;
    std::int32_t reference_wavelength = 0;
    std::uint8_t half_pupil = 0;
    std::uint8_t apodisation_on = 0;
    std::uint8_t polychromatic = 0;
    std::uint8_t pupil_gap = 0;

    std::int32_t capacity = 0;             // rays the per-ray arrays hold
    std::int32_t wavelength_capacity = 0;  // wavelengths the per-wavelength arrays hold
};

SpotStore& spot_store();

// Allocates the store for Max_spd_rays rays (a count below 1 is first set to 10000) and
// Max_wavelengths wavelengths, fills the sine table; 0 or -10 at the first failed allocation
// (or the result of setting the count, when that failed). Called once at start-up.
int alloc_spot_storage();
// Reallocates, keeping contents, the rays to count records, the sort index to count + 1 and
// the three per-ray work arrays to count doubles. Each array is replaced only when its
// reallocation succeeded; -10 at the first failure (and for a count below 1), 0 otherwise.
// Per-wavelength arrays are not touched.
int resize_spot_storage(std::int32_t count);
// Frees every array (end of the program; tests).
void free_spot_storage();
