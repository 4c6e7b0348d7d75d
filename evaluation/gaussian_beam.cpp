#include "evaluation/gaussian_beam.h"

#include <cmath>
#include <new>

#include "lens/lens_data.h"
#include "trace/paraxial_trace.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNoBeam = -1676;
constexpr double kFiniteObject = 9.9e7;

int fail() {
    return static_cast<int>(kNoBeam);
}

// The radius of a beam whose waist w0 lies z beyond the plane; 0 for a waist at the plane.
double radius_from_waist(double waist, double distance, double lambda) {
    if (std::fabs(distance) <= kBeamZero) return 0.0;
    const double x = kPi * waist * waist / (lambda * distance);
    return distance * (1.0 + x * x);
}

}  // namespace

void mark_beam_quantity(BeamParams& beam, int quantity) {
    if (quantity < 0 || quantity > 3 || beam.marks[quantity] == 1) return;
    for (std::uint8_t& m : beam.marks) {
        if (m == 2) {
            m = 0;
        } else if (m == 1) {
            m = 2;
        }
    }
    beam.marks[quantity] = 1;
}

int beam_case(const BeamParams& beam) {
    const auto given = [&](int q) { return beam.marks[q] != 0; };
    if (given(kBeamWaist) && given(kBeamDistance)) return 1;
    if (given(kBeamSpot) && given(kBeamRadius)) return 2;
    if (given(kBeamSpot) && given(kBeamWaist)) return 3;
    if (given(kBeamSpot) && given(kBeamDistance)) return 4;
    if (given(kBeamWaist) && given(kBeamRadius)) return 5;
    if (given(kBeamDistance) && given(kBeamRadius)) return 6;
    return 0;
}

int beam_from_two_parameters(int c, BeamParams& beam, BeamValues& second, double lambda,
                             std::uint8_t& two_solutions) {
    second = BeamValues{};
    switch (c) {
        case 1: {
            if (beam.waist == 0.0) return fail();
            const double x = lambda * beam.distance / (kPi * beam.waist * beam.waist);
            beam.spot = beam.waist * std::sqrt(1.0 + x * x);
            beam.radius =
                std::fabs(beam.distance) <= kBeamZero ? 0.0 : beam.distance * (1.0 + 1.0 / (x * x));
            return 0;
        }
        case 2: {
            if (beam.spot == 0.0) return fail();
            const double x = lambda * beam.radius / (kPi * beam.spot * beam.spot);
            beam.distance = beam.radius / (1.0 + x * x);
            beam.waist = std::fabs(beam.radius) <= kBeamZero
                             ? beam.spot
                             : beam.spot / std::sqrt(1.0 + 1.0 / (x * x));
            return 0;
        }
        case 3: {
            if (std::fabs(beam.waist) > std::fabs(beam.spot)) return fail();
            const double w = beam.spot, w0 = beam.waist;
            beam.distance = std::sqrt(w * w - w0 * w0) * kPi * w0 / lambda;
            beam.radius = radius_from_waist(w0, beam.distance, lambda);
            second = {w, w0, -beam.distance, -beam.radius};
            return 0;
        }
        case 4: {
            if (beam.spot == 0.0) return fail();
            const double w2 = beam.spot * beam.spot, z = beam.distance;
            const double D = w2 * w2 - 4.0 / (kPi * kPi) * z * z * lambda * lambda;
            if (D < 0.0) return fail();
            const double s = std::sqrt(D);
            beam.waist = std::sqrt((w2 + s) / 2.0);
            second.spot = beam.spot;
            second.distance = z;
            if (w2 - s <= kBeamZero) {
                second.waist = 0.0;
                two_solutions = 0;
            } else {
                second.waist = std::sqrt((w2 - s) / 2.0);
            }
            beam.radius = radius_from_waist(beam.waist, z, lambda);
            second.radius =
                std::fabs(z) > kBeamZero ? radius_from_waist(second.waist, z, lambda) : 0.0;
            return 0;
        }
        case 5: {
            if (beam.waist == 0.0) return fail();
            const double w0 = beam.waist, R = beam.radius;
            second.waist = w0;
            second.radius = R;
            if (R == 0.0) {
                beam.spot = w0;
                beam.distance = 0.0;
                second.spot = w0;
                second.distance = 0.0;
                return 0;
            }
            const double g = kPi * w0 / (lambda * R);
            const double h = g * w0;
            const double e = 1.0 - 4.0 * h * h;
            if (e < 0.0) return fail();
            const double r = std::sqrt(e);
            beam.spot = std::sqrt((1.0 + r) / (2.0 * g * g));
            const double m = (1.0 - r) / (2.0 * g * g);
            if (m <= kBeamZero) {
                second.spot = 0.0;
                two_solutions = 0;
            } else {
                second.spot = std::sqrt(m);
            }
            const auto distance = [&](double w) {
                const double x = lambda * R / (kPi * w * w);
                return R / (1.0 + x * x);
            };
            beam.distance = distance(beam.spot);
            second.distance = second.spot > kBeamZero ? distance(second.spot) : 0.0;
            return 0;
        }
        case 6: {
            const double z = beam.distance;
            const double v = (beam.radius - z) * z;
            if (v <= kBeamZero) return fail();
            const double w0 = std::pow(v * lambda * lambda / (kPi * kPi), 0.25);
            if (std::fabs(w0) <= kBeamZero) return fail();
            beam.waist = w0;
            const double x = lambda * z / (kPi * w0 * w0);
            beam.spot = w0 * std::sqrt(1.0 + x * x);
            return 0;
        }
        default:
            return fail();
    }
}

int solve_beam_parameters(int* out_case, BeamParams& beam, BeamValues& second, double lambda,
                          std::uint8_t& two_solutions) {
    const int c = beam_case(beam);
    if (out_case != nullptr) *out_case = c;
    two_solutions = c >= 3 && c <= 5 ? 1 : 0;
    if (c == 0) {
        second = BeamValues{};
        two_solutions = 0;
        return fail();
    }
    const int rc = beam_from_two_parameters(c, beam, second, lambda, two_solutions);
    // A pair that defines no beam leaves no second beam to show.
    if (rc != 0) two_solutions = 0;
    return rc;
}

BeamValues beam_at_plane(double waist, double distance, double lambda) {
    BeamValues v;
    v.waist = waist;
    v.distance = distance;
    double x = 0.0;
    if (std::fabs(distance) >= kBeamZero) {
        x = kPi * waist * waist / (lambda * distance);
        v.radius = (1.0 + x * x) * distance;
    }
    v.spot = std::fabs(x) <= kBeamZero ? waist : waist * std::sqrt(1.0 + 1.0 / (x * x));
    return v;
}

double beam_divergence(double waist, double lambda) {
    if (std::fabs(waist) <= kBeamZero) return 0.0;
    return std::atan(lambda / (kPi * waist));
}

double beam_rayleigh_range(double waist, double lambda) {
    return kPi * waist * waist / lambda;
}

BeamValues beam_through_matrix(const BeamValues& in, const SystemMatrix& m, double lambda0,
                               double n_in, double n_out, bool backward) {
    const double b = kPi * in.waist * in.waist / lambda0;
    const double zeta = in.distance / n_in;
    double E, num;
    if (!backward) {
        E = m.c * zeta + m.d;
        num = (m.a * zeta + m.b) * E + b * b * m.a * m.c;
    } else {
        E = m.c * zeta - m.a;
        num = (m.b - m.d * zeta) * E - b * b * m.c * m.d;
    }
    const double den = b * b * m.c * m.c + E * E;
    double waist = 0.0, distance = 0.0;
    if (den > 0.0) {
        waist = std::sqrt(in.waist * in.waist / den);
        distance = num * n_out / den;
    }
    return beam_at_plane(waist, distance, lambda0 / n_out);
}

int beam_walk(int y_section, int w, BeamWalk& walk) {
    const int image = lens_data().image_surface;
    const auto count = static_cast<std::size_t>(image + 1);
    try {
        walk.index.assign(count, 1.0);
        walk.power.assign(count, 0.0);
        walk.reduced.assign(count, 0.0);
        walk.radial.assign(count, 0.0);
    } catch (const std::bad_alloc&) {
        walk = BeamWalk{};
        return -10;
    }
    walk.image = image;
    ParaxialMatrixSteps steps{walk.index.data(), walk.power.data(), walk.reduced.data(),
                              walk.radial.data(), 0};
    // The walk numbers its sections the other way round: 0 is the y-section.
    paraxial_matrix_walk(y_section != 0 ? 0 : 1, w, steps);
    walk.last = steps.last;
    return 0;
}

SystemMatrix beam_walk_matrix(const BeamWalk& walk, int first, int last) {
    // The steps are only read.
    ParaxialMatrixSteps steps{const_cast<double*>(walk.index.data()),
                              const_cast<double*>(walk.power.data()),
                              const_cast<double*>(walk.reduced.data()),
                              const_cast<double*>(walk.radial.data()), walk.last};
    return steps_system_matrix(steps, walk.image, first, last);
}

void transfer_downstream(SystemMatrix& m, double s) {
    m.a -= s * m.c;
    m.b -= s * m.d;
}

void transfer_upstream(SystemMatrix& m, double s) {
    m.b -= s * m.a;
    m.d -= s * m.c;
}

double beam_lambda0(int w, double m2) {
    const LensData& l = lens_data();
    const double lambda = w >= 0 && w < max_wavelengths() ? l.wavelengths[w].wavelength : 0.0;
    const double units = l.units != 0.0 ? l.units : 1.0;
    return lambda * m2 * 0.001 / units;
}

double beam_medium_index(int j, int w) {
    return std::fabs(medium_index(j, w));
}

int beam_path_matrix(int y_section, int w, int first, int last, double offset, BeamPath& path) {
    BeamWalk walk;
    if (const int rc = beam_walk(y_section, w, walk); rc != 0) return rc;
    const int image = walk.image;
    const auto clamp = [&](int j) { return j < 1 ? 0 : (j > image ? image : j); };
    const int F = clamp(first), L = clamp(last);
    // The media of the planes: behind the surface, or in front of the image for the image.
    const auto medium = [&](int j) { return j >= image ? image - 1 : j; };
    path.n_in = beam_medium_index(medium(F), w);
    path.n_out = beam_medium_index(medium(L), w);
    const double n_obj = beam_medium_index(0, w);
    const double d0 = surface(0).thickness;
    const bool finite = std::fabs(d0) <= kFiniteObject;
    const int before_image = image - 1;
    const auto t = [&](int j) { return j >= 0 && j <= image ? walk.reduced[j] : 0.0; };
    const auto n = [&](int j) { return j >= 0 && j <= image ? walk.index[j] : 1.0; };
    path.backward = L < F;
    if (!path.backward) {
        SystemMatrix m = beam_walk_matrix(walk, F + 1, L == image ? before_image : L);
        double s_in = 0.0;
        if (F == 0 && finite && L != 0) {
            s_in = d0 / n_obj;
        } else if (F > 0 && F < before_image && F != L) {
            s_in = t(F);
        }
        transfer_upstream(m, s_in);
        double s_out;
        if (L != image) {
            s_out = offset / n(L);
        } else {
            s_out = offset / n(before_image) + (F != image ? t(before_image) : 0.0);
        }
        transfer_downstream(m, s_out);
        path.matrix = m;
    } else {
        SystemMatrix m = beam_walk_matrix(walk, L + 1, F == image ? before_image : F);
        double s;
        if (L == 0) {
            s = finite ? (d0 - offset) / n_obj : -offset / n_obj;
        } else if (L < before_image) {
            s = t(L) - offset / n(L);
        } else {
            s = -offset / n(L);
        }
        transfer_upstream(m, s);
        transfer_downstream(m, F == image ? t(before_image) : 0.0);
        path.matrix = m;
    }
    return 0;
}
