// The paraxial Gaussian beam: a beam described by two of spot size, waist size, waist distance
// and wavefront radius, the other two worked out (with a second beam where the pair allows
// one), and the beam carried through a 2 x 2 system matrix on (height, minus reduced slope).
//
// Signs: the waist distance z is measured from the reference plane to the waist, positive
// downstream; the radius R is positive for a converging beam (its centre downstream). Lengths
// are in lens units; lambda is the working wavelength in the medium (wavelength times M^2 over
// the index), lambda0 the same in vacuum.
#pragma once

#include <cstdint>
#include <vector>

#include "tables/table_names.h"
#include "trace/system_matrix.h"

// The quantities in the order of the given-marks.
enum BeamQuantity : int { kBeamSpot = 0, kBeamWaist = 1, kBeamDistance = 2, kBeamRadius = 3 };

struct BeamValues {
    double spot = 0.0;
    double waist = 0.0;
    double distance = 0.0;
    double radius = 0.0;  // 0: a plane wavefront
};

struct BeamParams {
    double spot = 0.0;
    double waist = 1.0;
    double distance = 0.0;
    double radius = 0.0;
    double quality = 1.0;  // M^2, never below 1
    // Per quantity: 0 computed, 1 given last, 2 given before it.
    std::uint8_t marks[4] = {0, 1, 2, 0};
};

inline constexpr double kBeamZero = 1e-40;

// The quantity typed becomes the one given last; the one given last before it becomes the one
// given before; a third drops out. Typing the last-given quantity again changes nothing.
void mark_beam_quantity(BeamParams& beam, int quantity);
// The case of the two given quantities: 1 waist and distance, 2 spot and radius, 3 spot and
// waist, 4 spot and distance, 5 waist and radius, 6 distance and radius; 0 for none.
int beam_case(const BeamParams& beam);

// Works out the two quantities not given of case c (1..6) for the working wavelength lambda.
// second is zeroed, then holds the second beam of cases 3 to 5; two_solutions is cleared when
// a case 4 or 5 beam turns out single. 0, or -1676 when the pair defines no beam.
int beam_from_two_parameters(int c, BeamParams& beam, BeamValues& second, double lambda,
                             std::uint8_t& two_solutions);
// Picks the case from the marks (out_case may be null), sets two_solutions for cases 3 to 5
// (clears it otherwise) and solves. 0 or -1676.
int solve_beam_parameters(int* out_case, BeamParams& beam, BeamValues& second, double lambda,
                          std::uint8_t& two_solutions);

// The beam of a waist w0 lying z beyond a plane in a medium of working wavelength lambda: its
// spot size and wavefront radius at the plane (w0 and z kept).
BeamValues beam_at_plane(double waist, double distance, double lambda);
// Divergence half-angle (radians) and Rayleigh range of a waist; 0 for a zero waist.
double beam_divergence(double waist, double lambda);
double beam_rayleigh_range(double waist, double lambda);

// The waist law: the beam given at the input plane (its waist and distance) carried through m
// to the output plane; backward applies the inverse of m (the output plane lies upstream).
// n_in and n_out are the media of the two planes; lambda0 the working wavelength in vacuum.
// A matrix that leaves no beam gives zero waist and distance.
BeamValues beam_through_matrix(const BeamValues& in, const SystemMatrix& m, double lambda0,
                               double n_in, double n_out, bool backward);

// The paraxial walk of one section (1 y, 0 x) at wavelength slot w: per surface up to the image
// the signed index behind it, its power, the reduced gap after it and the gradient coefficient
// of that gap. Owned by whoever asked; sized to the lens of the moment.
struct BeamWalk {
    std::vector<double> index, power, reduced, radial;
    int image = 0;
    int last = 0;  // last surface before the image that the walk reached
};
// 0, or -10 when the arrays cannot be had.
int beam_walk(int y_section, int w, BeamWalk& walk);
// The matrix of the walk over surfaces first..last, powers included.
SystemMatrix beam_walk_matrix(const BeamWalk& walk, int first, int last);

// Downstream and upstream transfers by a reduced distance s.
void transfer_downstream(SystemMatrix& m, double s);
void transfer_upstream(SystemMatrix& m, double s);

// The matrix from the plane behind surface first to the plane offset behind surface last, with
// the media of the two planes; backward when last < first. first and last are clamped to the
// lens. 0 or -10.
struct BeamPath {
    SystemMatrix matrix{1.0, 0.0, 0.0, 1.0};
    double n_in = 1.0;
    double n_out = 1.0;
    bool backward = false;
};
int beam_path_matrix(int y_section, int w, int first, int last, double offset, BeamPath& path);

// The working wavelength in vacuum (lens units) of wavelength slot w with beam quality m2, and
// the index behind surface j at slot w (positive).
double beam_lambda0(int w, double m2);
double beam_medium_index(int j, int w);
