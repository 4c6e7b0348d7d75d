// The user's side of the spot diagram: the command that makes one with given or stored
// settings and prints its report, the spot sizes at a focus shift, the listing of the current
// diagram's set-up, and the printing routines they share.
#pragma once

#include "tables/table_names.h"

// Parameters whose value lists name the choices of the spot-diagram command.
inline constexpr int kParamSpotApodisation = 1039;  // "none", "gauss"
inline constexpr int kParamSpotWavelengths = 1040;  // "mon", "chr"

// Handlers: wavelength mode, apodisation, divisions, wavelength number, y and x widths.
int cmd_spot_diagram();
// Mode (0 at the given focus, 1 least rms, 2 least rms in x, 3 least rms in y), focus shift.
int cmd_spot_sizes();
int cmd_spot_setup_listing();

void print_wavelength_weights();
void print_ray_counts();
void print_focus_shift(double z);
void print_spot_sizes(int mode, double z);

// The relative energy of the current diagram in percent: the weight of the stored rays over
// the weight of the unvignetted grid.
double spot_relative_energy();
