// The current object point and the reference ray every real-ray analysis measures against: the
// stored field point analyses return to, the aim of the reference ray at its point of the
// reference surface, its reference-sphere radius, the rim table of the rim reference rays, and
// the object-point commands that set and list it.
#pragma once

#include <cstdint>

// The stored field point of the object-point command and its pupil pair, with the field-point
// selection of the lens files: one record, since procedures address its fields in this order.
struct ObjectPoint {
    double y, z, x;           // fractional object coordinates
    double pupil_x, pupil_y;  // fractional pupil coordinates
    std::int32_t selected;    // 1 when a field point of the lens was selected
    std::int32_t selection;   // that field point's number, from 1
};

ObjectPoint& object_point();
// The selected field point less 1 after set_object_point, or -1.
int ray_selection_index();

// The stored field point back on the axis and the reference ray out of date (a lens read or
// imported).
void reset_object_point();

// Makes the reference ray current for the stored field point: 0, -2735, -2707, -2759 or -10.
// The running command and its argument cells are kept around the aim.
int set_object_point();
// Aims and traces the reference ray of the current object point through the reference-surface
// point (pupil_x, pupil_y) with kind 0 or 6: 0, -2707, -2759 or -10.
int aim_reference_rays(double pupil_x, double pupil_y, int kind);
// One aimed trace of the reference ray: 0 or -2707.
int trace_reference_ray(double pupil_x, double pupil_y, int kind);
// The reference-sphere radius of the traced reference ray.
void set_reference_sphere_radius();
// " (WAVELENGTH n)" when the current wavelength is not the first; ends the line.
void print_wavelength_suffix();

// Commands 711 (trace and list the reference ray), 712 (with its derivatives) and 714 (set the
// object point): object y, x, z, pupil y, x.
int cmd_object_point();

void install_object_point();
