// Surfaces that bend a ray by diffraction or by an ideal mapping instead of refraction alone:
// ruled gratings, diffractive (phase-polynomial) surfaces, holograms of two construction points
// and the perfect lens. Each step is called with the ray at its intersection with the surface
// and the surface normal in the ray, and fails the ray with its own code when the order or the
// mapping has no real direction; a failed ray keeps its incoming direction.
#pragma once

#include <cstdint>

struct DiffractiveRecord;
struct RayRecord;

// The media a special surface bends between. The indices come from the gradient medium when
// the ray is in one, else from the tables; a mirror leaves the ray in the medium it travels in.
struct SpecialMedia {
    const double* table;      // index table the ray travels in afterwards
    const double* alt_table;  // its second table, or null
    double n1, n2;            // incoming and outgoing index at the ray's wavelength
    double mu;                // n1 / n2
    bool mirror;
};

// Selects the tables and indices at surface n for the ray: the medium after the surface, the
// one before it for a backward ray, and while a backward step is traced the medium before the
// surface with this surface's medium kind. 0, or -2701 when a table is missing or an index is
// zero or not finite. Nothing in the ray changes.
int select_special_media(int n, const RayRecord& ray, SpecialMedia& media);
// Puts the ray into the selected medium.
void enter_special_media(RayRecord& ray, const SpecialMedia& media);

// The index a ray had where it entered a gradient medium, read while the ray leaves it again
// (gradient state 2) within the same trace.
void set_grin_entry_index(double index);
double grin_entry_index();

// The phase polynomial of a diffractive record at (x, y): phase (an optical path at the design
// wavelength, in lens units) and its gradient. Even polynomials in r^2 (kinds 0 and 4), all
// powers of r (kind 2); the constant term alone for the kinds that only keep theirs (1, 3, 5);
// nothing for kind 6. False when the record has no gradient model (kinds 1, 3, 5, 6).
bool diffractive_phase_polynomial(const DiffractiveRecord& d, double x, double y, double& phase,
                                  double& grad_x, double& grad_y);

// The hologram's recorded path difference at point (x, y, z) of the surface: the path from the
// first construction point less the path from the second, each measured from the vertex.
double hologram_recorded_path(double x, double y, double z, const double q1[3], bool virtual1,
                              const double q2[3], bool virtual2);

void trace_grating(int n, RayRecord& ray);
void trace_diffractive_surface(int n, RayRecord& ray);
void trace_hologram(int n, RayRecord& ray);
void trace_perfect_lens(int n, RayRecord& ray);

// Points the trace's entries for these surfaces here.
void install_special_surfaces();
