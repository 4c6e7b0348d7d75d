// Materials of the lens surfaces: every surface gets the indices of the medium behind it, one
// per lens wavelength, from the glass cache. Mirrors keep the medium in front of them; glass
// pickups take their source's medium.
#pragma once

#include <cstdint>

#include "tables/table_names.h"

// Medium work arrays of a surface (SurfaceRecord::medium_work) that the material update sets.
// They point into the glass cache and are never owned by the surface.
constexpr int kMediumDefiningValues = 0;  // a model glass's defining index values
constexpr int kMediumTableValues = 1;     // the glass's wavelength table at the lens wavelengths
constexpr int kMediumTableCompanion = 2;  // copied together with the table values

constexpr int kMediumProgramFixed = 20;  // a medium whose indices the program sets itself

// The material update of one surface inside (group_start != 0) or outside a non-sequential
// group: 0 or a message number (-252 after the message that says why, -1106, -10, or -9998
// with the text in the error buffer).
int update_surface_material(int n, int group_start);

// The material update of the whole lens; the first failure is shown and ends the walk (the
// thermal expansion pass then does not run). After a complete walk a pending temperature change
// expands the lens. Returns 0 or the code that was shown.
int update_surface_materials();

// The index array of medium kind 20 (Max_wavelengths entries, 1.0 until set).
double* program_fixed_medium();

// The source surface at the end of surface n's chain of glass pickups (n itself when it is no
// pickup), or -1 when a source lies outside the lens or the chain is a cycle. The walk takes
// at most as many steps as the lens has surfaces.
int glass_pickup_origin(int n);
