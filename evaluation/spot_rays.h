// The spot diagram's rays: a regular grid of pupil points (a square lattice clipped to the unit
// circle, or polar rings in the lens's cone-aperture mode) traced from the current object point,
// and ensure_spot_diagram, the one entry that brings the store up to date before a consumer
// reads it.
#pragma once

#include <cstdint>

#include "tables/table_names.h"

// The lattice of the square grid for d aperture divisions, in lattice units (1/16200 of the
// pupil radius): half the step, the number of steps and the first coordinate.
struct SpotLattice {
    std::int32_t half_step;
    std::int32_t steps;
    std::int32_t start;
};
SpotLattice spot_lattice(double divisions);

// Whether only the half pupil x > 0 is traced: a lens symmetric about the y-z plane, the object
// point on the y axis, the square grid.
std::uint8_t spot_half_pupil();

// Fills the store from the reference ray of the current object point. The caller has set the
// reference wavelength, the polychromatic, half-pupil and apodisation flags, the divisions and
// the apodisation factors, and emptied the ray counts. 0, -2020, -2021, -2384 or -2734.
int generate_spot_rays();

// The two apodisation factors for the widths gy, gx (pupil units of the object side) of the
// current lens, by how far away the object is; 0 when their product is 0 or not a number.
int spot_apodisation_factors(double gy, double gx, double& y_factor, double& x_factor);

// Brings the store up to date from the lens's spot settings: 0, a message number of setting the
// object point, or -9998 with the error text formatted. Sets flag 32 only after rays were
// stored; the statistics are computed with output switched to output_during_update.
int ensure_spot_diagram();

// Where ensure_spot_diagram reads the output switch during an update (the command-language
// variable output_during_update); null reads 0.
void set_spot_update_output_source(const std::uint8_t* source);
