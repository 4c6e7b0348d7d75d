// The Gaussian beam of the sheet surface by surface: carried back from the plane where it was
// given to the object, then forward through every surface in the order a walk through the lens
// takes them. The same walk prints the propagation table and feeds the plot.
#pragma once

#include <vector>

#include "evaluation/gaussian_beam.h"
#include "tables/table_names.h"

// The beam behind one surface (surface 0: at the object plane; the image row lies the output
// offset behind the image surface).
struct BeamRow {
    int surface = 0;
    BeamValues beam;          // spot, waist, waist distance and radius leaving the surface
    double radius_in = 0.0;   // the radius arriving at it
    double lambda = 0.0;      // the working wavelength of the medium behind it
    bool air_before = false;  // the medium in front of it has index exactly 1 at wavelength 1
};

// The sheet's beam (second 1: the second beam) at the object plane: carried back when it was
// given behind a surface. 0 or -10.
int beam_at_object(bool second, BeamValues& out);
// The rows of one beam given at the object plane, surface 0 first, for the sheet's section,
// wavelength, quality and offset. 0 or -10.
int beam_rows(const BeamValues& object_beam, std::vector<BeamRow>& rows);

// The propagation table into the current text output: 0 or -10.
int list_beam_propagation();
