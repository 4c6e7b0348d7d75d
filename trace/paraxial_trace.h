// The paraxial trace: an axial (marginal) and a chief ray in height-and-slope form through the
// current lens at one wavelength, the first-order data derived from them, and the state the
// aberration sums and the paraxial listings work on.
//
// The trace reads what the lens set-up keeps (start heights at surface 1, entrance pupil,
// final image-space slopes, vertex positions); callers bring the lens up to date first.
#pragma once

#include <cstdint>

#include "tables/table_names.h"

// Listing kinds of the paraxial state.
enum ParaxialListing : int {
    kListingNone = 0,
    kListingFirstOrder = 1,
    kListingChromatic = 2,
    kListingSeidel = 3,
    kListingPupilSeidel = 4,
    kListingFifthParts = 5,
    kListingFifthTotals = 6,
    kListingFifthSummary = 7,
};

inline constexpr double kParaxialZero = 1e-40;  // the zero of denominators
inline constexpr double kParaxialRatio = 1e40;  // an infinite ratio
inline constexpr double kAfocalSlope = 1e-5;    // output slope of an afocal lens
inline constexpr double kFiniteObjectLimit = 9.9e7;

// Indices of the fifth-order arrays (I, D and T run 1..12; T also 13 and 14).
inline constexpr int kFifthTerms = 15;

struct ParaxialState {
    // What to trace and print.
    std::int32_t wavelength = 0;
    std::uint8_t print = 0;
    std::int32_t listing_kind = kListingNone;
    std::int32_t first = 0;
    std::int32_t last = 0;
    std::uint8_t row_enabled = 0;
    std::uint8_t section = 0;
    double x_aperture_factor = 1.0;
    double x_field_factor = 1.0;

    // The surface being passed and its media.
    std::int32_t surface = 0;
    std::int32_t sign = 1;
    std::int32_t sign_before = 1;
    double n = 1.0;
    double n_prev = 1.0;
    double r = 1.0;
    double r_minus_1 = 0.0;
    double dn = 0.0;  // n_prev - n
    double c = 0.0;

    // Axial ray: heights and slopes before the surface, angles and slope after it.
    double y = 0, u = 0, i = 0, i_after = 0, u_after = 0;
    // Chief ray.
    double ybar = 0, ubar = 0, ibar = 0, ibar_after = 0, ubar_after = 0;

    // Object space.
    double object_index = 1.0;  // at the trace wavelength
    double object_distance = 0.0;
    double object_height = 0.0;
    double pupil_distance = 0.0;  // entrance pupil from surface 1
    double y_e = 0.0;             // axial-ray height in the entrance pupil
    double lagrange = 0.0;
    double lagrange_inverse = 0.0;
    bool lagrange_zero = false;  // |H| below the zero: the induced fifth-order terms are undefined

    double f1 = -1.0, f2 = -1.0, f3 = -1.0;

    // Chromatic: contributions and sums (CL, CL2, CT, CT2) and the dispersions of the media.
    double dp = 0, ds = 0, dp_prev = 0, ds_prev = 0;
    double chroma[4] = {};
    double chroma_sum[4] = {};

    // Seidel S1..S5 at [0..4]; pupil P1, P2, P3, P5 at [0..3]; sums and sums before the surface.
    double seidel[5] = {};
    double seidel_sum[5] = {};
    double seidel_prev[5] = {};
    double pupil[4] = {};
    double pupil_sum[4] = {};
    double pupil_prev[4] = {};

    // The conic and aspheric products of the Seidel step for the fifth-order step.
    bool aspheric = false;
    double conic = 0;
    double a4 = 0, a6 = 0, a8 = 0, g = 0, delta = 0;
    double y4d = 0, y3yb_d = 0, y2yb2_d = 0, y_yb3_d = 0, yb4_d = 0;
    // The Seidel factors of the surface: K, Kbar and J = H (r - 1).
    double k_axial = 0, k_chief = 0, j_factor = 0;

    // Fifth order: intrinsic I1..I12, induced D1..D12, totals T1..T14 at index 1..14.
    double intrinsic[kFifthTerms] = {};
    double induced[kFifthTerms] = {};
    double total[kFifthTerms] = {};
    double intrinsic_sum[kFifthTerms] = {};
    double induced_sum[kFifthTerms] = {};
    double total_sum[kFifthTerms] = {};
    double t1_sum_prev = 0, t13_sum_prev = 0;
    // Working values shared with the fifth-order spherical summary term.
    double w1 = 0, w13 = 0, w14 = 0, z = 0, g6 = 0;
    double sn = 1.0;  // sign before the surface times the index in front of it
};

ParaxialState& paraxial_state();

// The six first-order values (focal lens / afocal lens):
//   0 focal length / angular magnification, 1 image-space NA / exit pupil distance,
//   2 working f-number / exit pupil radius, 3 magnification / Lagrange invariant,
//   4 paraxial image height / Petzval radius, 5 Petzval radius / 0.
struct ParaxialSetup {
    double values[6];
};

// What the trace needs of code built elsewhere: the index of a gradient medium at a point, and
// for the scaling commands the lens set-up. A null entry: the gradient index cannot be
// evaluated (the stored index is used); the lens has no set-up to run.
struct ParaxialHooks {
    int (*grin_index_at)(int surface, int wavelength, double x, double y, double z, double* index);
    int (*lens_setup)(int mode);
};
ParaxialHooks& paraxial_hooks();

void run_paraxial_trace(std::uint8_t print, std::uint8_t section, int first, int last);
void paraxial_trace(std::uint8_t section);
void paraxial_start_values(std::uint8_t section);
double petzval_radius(std::uint8_t section);
// print 0 fills out (six values); otherwise prints the first-order listing and out is unused.
// The steps of the paraxial walk from surface 1 to the last surface before the image, per
// surface j reached (indexed by surface number; surfaces not reached keep index 1 and nothing
// else): the signed index behind j, the power of j (perfect lens, diffractive and holographic
// terms included), the reduced length of the gap after j (the integral of dz / n for an axial
// gradient, the image surface's thickness on the last gap) and the radial gradient coefficient
// N1 of the medium behind j (0 without one). Arrays of image surface + 1 entries.
struct ParaxialMatrixSteps {
    double* index;
    double* power;
    double* reduced;
    double* radial;
    int last;  // last surface reached before the image
};
void paraxial_matrix_walk(std::uint8_t section, int w, ParaxialMatrixSteps& out);
void paraxial_setup_data(std::uint8_t print, std::uint8_t section, double* out);

// Helpers shared by the listings and the scaling.
double paraxial_entrance_pupil_distance(std::uint8_t section);
// Index of the medium behind surface j at wavelength slot w (1.0 when the surface has none).
double medium_index(int j, int w);
// Index of the medium in front of the image: the last medium the trace passes.
int last_medium_surface();
// Warning -265 with the configuration number when it is above 1.
void paraxial_configuration_warning();
// A blank and the number in the current format; with end_line the line ends after it.
void paraxial_number_cell(double value, bool end_line = false);
