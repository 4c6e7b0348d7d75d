#include "trace/paraxial_trace.h"

#include <cmath>

#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "platform/state_reset.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "trace/aberration_sums.h"

namespace {

// The paraxial trace's results and the hooks it reaches the set-up and gradient media through.
struct ParaxialTrace {
    ParaxialState state;
    ParaxialHooks hooks{};
};

ParaxialTrace g_paraxial;

constexpr double kTwoPi = 6.283185307179586;
constexpr double kCoshLimit = 500.0;
constexpr double kLargeHeight = 1e10;  // a pupil height this large means a telecentric entrance

constexpr int kRowNr1 = 0, kRowNz1 = 4;

double quotient(double a, double b) {
    if (std::fabs(b) < kParaxialZero) return a * kParaxialRatio;
    return a / b;
}

bool reflects(const SurfaceRecord& s) {
    return s.medium_kind == kMediumMirror || s.tir_only != 0;
}

bool toric_section(const SurfaceRecord& s, std::uint8_t section) {
    return section != 0 && (s.shape == kShapeSpecialBase || s.toric != 0);
}

bool middle_of_group(const SurfaceRecord& s) {
    return s.group_kind == kGroupNonSequential && s.group_role == kRoleInner;
}

// The surface a walk reaching j actually uses: its skip link when that points forward.
int follow_skip(int j) {
    const int link = surface(j).skip_to;
    if (link > j && link <= lens_data().image_surface) return link;
    return j;
}

// The gap from j to k, with the image surface's own thickness on the last one.
double gap_length(int j, int k) {
    double d = surface(k).vertex_position - surface(j).vertex_position;
    if (k == lens_data().image_surface) d += surface(k).thickness;
    return d;
}

double grin_value(const GrinRecord& g, int row, int w) {
    if (g.coefficients == nullptr || g.coefficients[row] == nullptr) return 0.0;
    return g.coefficients[row][w];
}

bool grin_index(int j, int w, double z, double* value) {
    if (g_paraxial.hooks.grin_index_at == nullptr) return false;
    return g_paraxial.hooks.grin_index_at(j, w, 0.0, 0.0, z, value) == 0;
}

bool radial_kind(int kind) {
    return kind == kGrinArg || kind == kGrinWod || kind == kGrinAeg || kind == kGrinSns ||
           kind == kGrinTap || kind == kGrinSel;
}

bool axial_kind(int kind) {
    return kind == kGrinArg || kind == kGrinAeg || kind == kGrinSns || kind == kGrinTap ||
           kind == kGrinGrd;
}

// The radial coefficient N1 of the medium behind j, or 0 when it has none.
double radial_coefficient(int j, int w, double n, std::uint8_t section) {
    const GrinRecord* g = surface(j).grin;
    if (g == nullptr || !radial_kind(g->kind)) return 0.0;
    const double nr1 = grin_value(*g, kRowNr1, w);
    if (std::fabs(nr1) <= kParaxialZero) return 0.0;
    if (g->kind == kGrinAeg) return nr1 * g->aeg_weights[section != 0 ? 0 : 1];
    if (g->kind == kGrinSel) return -0.5 * std::fabs(n) * nr1 * nr1;
    return nr1;
}

// The axial index profile of the medium behind j over a gap d, fitted as n_a + B z + C z^2.
struct AxialFit {
    bool valid = false;
    double n_a = 0, n_e = 0, b = 0, c = 0;
};

AxialFit axial_fit(int j, int w, double n, double d) {
    AxialFit f;
    const GrinRecord* g = surface(j).grin;
    if (g == nullptr || !axial_kind(g->kind)) return f;
    if (g->kind != kGrinGrd && std::fabs(grin_value(*g, kRowNr1, w)) > kParaxialZero) return f;
    double n_m = 0;
    f.n_a = n;
    if (g->kind == kGrinGrd) {
        double a = 0, m = 0, e = 0;
        if (grin_index(j, w, 0.0, &a) && grin_index(j, w, 0.5 * d, &m) && grin_index(j, w, d, &e)) {
            f.n_a = a;
            n_m = m;
            f.n_e = e;
        } else {
            f.n_e = n;
            n_m = n;
        }
    } else {
        const double z1 = grin_value(*g, kRowNz1, w), z2 = grin_value(*g, kRowNz1 + 1, w);
        const double z3 = grin_value(*g, kRowNz1 + 2, w), z4 = grin_value(*g, kRowNz1 + 3, w);
        if (std::fabs(z3) >= kParaxialZero || std::fabs(z4) >= kParaxialZero) {
            auto at = [&](double z) { return n + z * (z1 + z * (z2 + z * (z3 + z * z4))); };
            n_m = at(0.5 * d);
            f.n_e = at(d);
        } else {
            f.b = z1;
            f.c = z2;
            f.n_e = f.n_a + f.b * d + f.c * d * d;
            f.valid = true;
            return f;
        }
    }
    if (std::fabs(d) >= kParaxialZero) {
        f.b = (4 * n_m - 3 * f.n_a - f.n_e) / d;
        f.c = 2 * (f.n_a - 2 * n_m + f.n_e) / (d * d);
    }
    f.valid = true;
    return f;
}

// The integral of dz / n(z) over [0, d] for the fitted profile.
double reduced_length(const AxialFit& f, double d) {
    const double b = f.b, c = f.c, n_a = f.n_a;
    if (std::fabs(c) >= kParaxialZero) {
        const double disc = 4 * n_a * c - b * b;
        const double e = 2 * c * d + b;
        if (disc < 0 && std::fabs(disc) >= kParaxialZero) {
            const double q = std::sqrt(std::fabs(disc));
            return (std::log(std::fabs((e - q) / (e + q))) -
                    std::log(std::fabs((b - q) / (b + q)))) /
                   q;
        }
        if (disc > 0 && std::fabs(disc) >= kParaxialZero) {
            const double q = std::sqrt(disc);
            return 2 * (std::atan(e / q) - std::atan(b / q)) / q;
        }
        return 2 / b - 2 / e;
    }
    return (std::log(b * d + n_a) - std::log(n_a)) / b;
}

// The signed index behind surface j as step "index change" of the trace takes it; the sign has
// already been flipped for j.
double signed_index_behind(int j, int sign, int w) {
    const SurfaceRecord& s = surface(j);
    if (s.tir_only != 0) {
        int k = j - 1;
        while (k > 0 && surface(k).tir_only != 0) --k;
        return sign * medium_index(k, w);
    }
    if (s.grin != nullptr && s.grin->kind == kGrinGrd) {
        double value = 0;
        if (grin_index(j, w, 0.0, &value)) return sign * value;
    }
    return sign * medium_index(j, w);
}

void clear_sums(ParaxialState& p) {
    p.dp = p.ds = p.dp_prev = p.ds_prev = 0;
    for (int k = 0; k < 4; ++k) {
        p.chroma[k] = p.chroma_sum[k] = 0;
        p.pupil[k] = p.pupil_sum[k] = p.pupil_prev[k] = 0;
    }
    for (int k = 0; k < 5; ++k) p.seidel[k] = p.seidel_sum[k] = p.seidel_prev[k] = 0;
    for (int k = 0; k < kFifthTerms; ++k) {
        p.intrinsic[k] = p.induced[k] = p.total[k] = 0;
        p.intrinsic_sum[k] = p.induced_sum[k] = p.total_sum[k] = 0;
    }
    p.t1_sum_prev = p.t13_sum_prev = 0;
    p.aspheric = false;
    p.conic = p.a4 = p.a6 = p.a8 = p.g = p.delta = 0;
    p.y4d = p.y3yb_d = p.y2yb2_d = p.y_yb3_d = p.yb4_d = 0;
    p.w1 = p.w13 = p.w14 = p.z = p.g6 = 0;
}

// Transfer of both rays over the gap after surface j (a gradient medium bends them).
void transfer(ParaxialState& p, int j, double d) {
    const int w = p.wavelength;
    const double n1 = radial_coefficient(j, w, p.n, p.section);
    if (n1 != 0.0) {
        const double g = std::sqrt(2 * std::fabs(quotient(n1, p.n)));
        if (g >= kParaxialZero) {
            double theta = g * d;
            double ch, sh;
            if (n1 >= 0) {
                if (theta > kCoshLimit) theta = kCoshLimit;
                if (theta < -kCoshLimit) theta = -kCoshLimit;
                ch = std::cosh(theta);
                sh = std::sinh(theta);
                const double y = p.y, yb = p.ybar;
                p.y = y * ch + p.u * sh / g;
                p.u = p.u * ch + y * g * sh;
                p.ybar = yb * ch + p.ubar * sh / g;
                p.ubar = p.ubar * ch + yb * g * sh;
            } else {
                theta = std::fmod(theta, kTwoPi);
                ch = std::cos(theta);
                sh = std::sin(theta);
                const double y = p.y, yb = p.ybar;
                p.y = y * ch + p.u * sh / g;
                p.u = p.u * ch - y * g * sh;
                p.ybar = yb * ch + p.ubar * sh / g;
                p.ubar = p.ubar * ch - yb * g * sh;
            }
            return;
        }
    } else {
        const AxialFit f = axial_fit(j, w, p.n, d);
        if (f.valid && (std::fabs(f.b) >= kParaxialZero || std::fabs(f.c) >= kParaxialZero) &&
            std::fabs(f.n_e) >= kParaxialZero) {
            const double integral = reduced_length(f, d);
            p.y += f.n_a * p.u * integral;
            p.ybar += f.n_a * p.ubar * integral;
            p.u = p.u * f.n_a / f.n_e;
            p.ubar = p.ubar * f.n_a / f.n_e;
            p.n = f.n_e;
            return;
        }
    }
    p.y += d * p.u;
    p.ybar += d * p.ubar;
}

}  // namespace

ParaxialState& paraxial_state() {
    return g_paraxial.state;
}

ParaxialHooks& paraxial_hooks() {
    return g_paraxial.hooks;
}

double medium_index(int j, int w) {
    const double* index = surface(j).index;
    if (index == nullptr || w < 0 || w >= max_wavelengths()) return 1.0;
    return index[w];
}

int last_medium_surface() {
    const int image = lens_data().image_surface;
    int last = 0;
    for (int j = 1; j < image; ++j) {
        j = follow_skip(j);
        if (j >= image) break;
        if (!middle_of_group(surface(j))) last = j;
    }
    return last;
}

double paraxial_entrance_pupil_distance(std::uint8_t section) {
    const LensData& l = lens_data();
    if (section == 0) return l.entrance_pupil_position;
    const double t0 = surface(0).thickness;
    if (std::fabs(t0) <= kParaxialZero) return 0.0;
    const double q = (l.x_chief_start_height - l.object_height) / t0;
    if (std::fabs(q) <= kParaxialZero) return kInfiniteDistance;
    return -l.x_chief_start_height / q;
}

void paraxial_number_cell(double value, bool end_line) {
    text_out(" ");
    text_number(value);
    if (end_line) text_newline();
}

void paraxial_configuration_warning() {
    const int configuration = lens_data().current_configuration;
    if (configuration > 1) {
        print_msg(kMsgMultipleConfigurations, configuration);
        text_newline();
    }
}

void paraxial_start_values(std::uint8_t section) {
    ParaxialState& p = g_paraxial.state;
    const LensData& l = lens_data();
    const SurfaceRecord& s0 = surface(0);
    const bool x = section != 0;
    const double ax = x ? p.x_aperture_factor : 1.0;
    const double fx = x ? p.x_field_factor : 1.0;
    p.section = section;
    p.sign = 1;
    p.sign_before = 1;
    p.n = medium_index(0, p.wavelength);
    p.n_prev = p.n;
    p.object_index = p.n;
    const double t0 = s0.thickness;
    const double h = l.object_height * fx;
    p.object_distance = t0;
    p.object_height = h;
    const double y1 = x ? l.x_axial_start_height * ax : l.axial_start_height;
    const double yb1 = x ? l.x_chief_start_height * fx : l.chief_start_height;
    // An object on the first surface: the slopes the lens set-up kept in object space.
    const bool on_surface = std::fabs(t0) < kParaxialZero;
    const double u = on_surface ? s0.axial_ray_slope * ax : y1 / t0;
    const double ub = on_surface ? s0.chief_ray_slope * fx : (yb1 - h) / t0;

    clear_sums(p);
    if (p.print != 0 && p.listing_kind == kListingFirstOrder) {
        p.surface = 0;
        p.y = 0;
        p.u_after = u;
        p.i = u;
        p.ybar = h;
        p.ubar_after = ub;
        const double c0 = toric_section(s0, section) ? s0.x_curvature : s0.curvature;
        p.ibar = h * c0 + ub;
        print_first_order_row();
    }
    p.y = y1;
    p.u = u;
    p.ybar = yb1;
    p.ubar = ub;
    p.pupil_distance = paraxial_entrance_pupil_distance(section);
    p.y_e = (p.pupil_distance + t0) * p.u;
    if (std::fabs(p.ubar) <= kParaxialZero || std::fabs(p.y_e) >= kLargeHeight) {
        p.lagrange = -p.u * h * p.n;
    } else {
        p.lagrange = p.y_e * p.ubar * p.n;
    }
    p.lagrange_zero = std::fabs(p.lagrange) < kParaxialZero;
    p.lagrange_inverse = p.lagrange_zero ? 0.0 : 1.0 / p.lagrange;
    p.surface = 1;
}

void paraxial_trace(std::uint8_t section) {
    ParaxialState& p = g_paraxial.state;
    const LensData& l = lens_data();
    const int image = l.image_surface;
    paraxial_start_values(section);

    int reflections = 0;
    for (int j = 1; j < image; ++j) {
        j = follow_skip(j);
        if (j >= image) break;
        if (!middle_of_group(surface(j)) && reflects(surface(j))) ++reflections;
    }
    const double sigma = reflections % 2 == 0 ? 1.0 : -1.0;

    p.f1 = p.f2 = -1.0;
    const double n_k = medium_index(last_medium_surface(), 0);
    if (l.aberration_mode == 0) {
        const double d1 = sigma * n_k * l.image_axial_slope;
        const double d2 = sigma * n_k * l.image_chief_slope;
        if (l.image_axial_slope != 0.0 && std::fabs(d1) >= kParaxialZero) p.f1 = -0.5 / d1;
        if (l.image_chief_slope != 0.0 && std::fabs(d2) >= kParaxialZero) p.f2 = -0.5 / d2;
    } else if (l.aberration_mode == 1) {
        const double den = l.object_height * medium_index(0, 0) * p.y_e;
        if (std::fabs(den) >= kParaxialZero) {
            p.f1 = -0.5 * l.image_chief_slope * surface(0).thickness / den;
        }
    }
    p.f3 = l.aberration_mode == 2 ? p.f1 : 2.0 * p.f1;

    for (int j = 1; j <= image; ++j) {
        j = follow_skip(j);
        const SurfaceRecord& s = surface(j);
        p.surface = j;
        const bool middle = middle_of_group(s);
        const bool perfect = s.perfect_lens != nullptr;
        p.sign_before = p.sign;
        if (!perfect && !middle) {
            p.n_prev = p.n;
            if (reflects(s)) p.sign = -p.sign;
            p.n = signed_index_behind(j, p.sign, p.wavelength);
            p.r = quotient(p.n_prev, p.n);
            p.r_minus_1 = p.r - 1.0;
            p.dn = p.n_prev - p.n;
        } else {
            p.n_prev = p.n;
            p.r = 1.0;
            p.r_minus_1 = 0.0;
            p.dn = 0.0;
        }
        const DiffractiveRecord* dif = s.diffractive;
        const bool diffractive =
            dif != nullptr &&
            (dif->kind == kDiffractiveRadial || dif->kind == kDiffractiveZernike) &&
            dif->working_count >= 2;
        const bool holographic = !diffractive && s.hologram != nullptr;
        p.c = toric_section(s, section) ? s.x_curvature : s.curvature;
        p.i = p.c * p.y + p.u;
        p.ibar = p.c * p.ybar + p.ubar;
        const bool powered = perfect || diffractive || holographic;
        if (!powered) {
            p.i_after = p.r * p.i;
            p.ibar_after = p.r * p.ibar;
        }
        if (j < image) {
            if (perfect) {
                const double f = s.perfect_lens->focal_length;
                const double power = std::fabs(f) < kParaxialZero ? 0.0 : 1.0 / f;
                p.u_after = p.u - p.y * power;
                p.ubar_after = p.ubar - p.ybar * power;
            } else if (diffractive || holographic) {
                const double lambda = l.wavelengths[p.wavelength].wavelength;
                double phi;
                if (diffractive) {
                    phi = quotient(-2.0 * lambda * dif->working[1] * s.diffraction_order,
                                   dif->design_wavelength) -
                          p.c * p.dn;
                } else {
                    const HologramRecord& h = *s.hologram;
                    auto reciprocal = [](double z, int virtual_point) {
                        const double a = std::fabs(z) < kParaxialZero ? 0.0 : 1.0 / std::fabs(z);
                        return virtual_point == 0 ? -a : a;
                    };
                    const double a1 = reciprocal(h.first_point[2], h.first_point_virtual);
                    const double a2 = reciprocal(h.second_point[2], h.second_point_virtual);
                    phi = quotient((a1 - a2) * lambda * h.order, h.wavelength) - p.c * p.dn;
                }
                p.u_after = quotient(p.u * p.n_prev - p.y * phi, p.n);
                p.ubar_after = quotient(p.ubar * p.n_prev - p.ybar * phi, p.n);
            } else {
                p.u_after = p.u + p.r_minus_1 * p.i;
                p.ubar_after = p.ubar + p.r_minus_1 * p.ibar;
            }
            if (powered) {
                p.i_after = p.c * p.y + p.u_after;
                p.ibar_after = p.c * p.ybar + p.ubar_after;
            }
        } else {
            // The image surface bends nothing: the rays keep the slopes they arrive with, which a
            // gradient medium in the last gap has changed since the last surface.
            p.u_after = p.u;
            p.ubar_after = p.ubar;
        }
        if (p.print != 0 && p.listing_kind == kListingFirstOrder) print_first_order_row();
        if (j < image && p.listing_kind > kListingFirstOrder) {
            paraxial_aberrations();
            if (p.print != 0) print_aberration_row();
        }
        p.u = p.u_after;
        p.ubar = p.ubar_after;
        if (j < image && !middle) transfer(p, j, gap_length(j, next_walk_surface(j)));
    }
    p.surface = image;
    if (p.print != 0 && p.listing_kind > kListingFirstOrder) print_aberration_row();
}

void run_paraxial_trace(std::uint8_t print, std::uint8_t section, int first, int last) {
    ParaxialState& p = g_paraxial.state;
    p.print = print;
    p.first = first;
    p.last = last;
    if (print == 0) return;
    p.wavelength = lens_data().current_wavelength;
    paraxial_trace(section);
}

double petzval_radius(std::uint8_t section) {
    const int w = g_paraxial.state.wavelength;
    const int image = lens_data().image_surface;
    double sum = 0;
    double n = medium_index(0, w);
    int sign = 1;
    for (int j = 1; j < image; ++j) {
        j = follow_skip(j);
        if (j >= image) break;
        const SurfaceRecord& s = surface(j);
        if (middle_of_group(s)) continue;
        const double n_prev = n;
        if (s.perfect_lens == nullptr) {
            if (reflects(s)) sign = -sign;
            n = signed_index_behind(j, sign, w);
        }
        const double c = toric_section(s, section) ? s.x_curvature : s.curvature;
        sum += quotient((n_prev - n) * c, n_prev * n);
        const int k = next_walk_surface(j);
        const double d = gap_length(j, k);
        const double n1 = radial_coefficient(j, w, n, section);
        if (n1 != 0.0) {
            if (std::fabs(n) > kParaxialZero) sum += 2 * d * n1 / (n * n);
        } else {
            const AxialFit f = axial_fit(j, w, n, d);
            if (f.valid) n = f.n_e;
        }
    }
    if (std::fabs(sum) <= kParaxialZero) return kParaxialRatio;
    return quotient(1.0, n * sum);
}

void paraxial_matrix_walk(std::uint8_t section, int w, ParaxialMatrixSteps& out) {
    const int image = lens_data().image_surface;
    for (int j = 0; j <= image; ++j) {
        out.index[j] = 1.0;
        out.power[j] = 0.0;
        out.reduced[j] = 0.0;
        out.radial[j] = 0.0;
    }
    const LensData& l = lens_data();
    double n = medium_index(0, w);
    out.index[0] = n;
    int sign = 1;
    int last = 0;
    for (int j = 1; j < image; ++j) {
        j = follow_skip(j);
        if (j >= image) break;
        const SurfaceRecord& s = surface(j);
        const int k = next_walk_surface(j);
        if (middle_of_group(s)) continue;
        const double n_prev = n;
        if (s.perfect_lens == nullptr) {
            if (reflects(s)) sign = -sign;
            n = signed_index_behind(j, sign, w);
        }
        out.index[j] = n;
        const double c = toric_section(s, section) ? s.x_curvature : s.curvature;
        double power;
        if (s.perfect_lens != nullptr) {
            const double f = s.perfect_lens->focal_length;
            power = std::fabs(f) < kParaxialZero ? 0.0 : 1.0 / f;
        } else {
            power = (n - n_prev) * c;
            const DiffractiveRecord* dif = s.diffractive;
            const double lambda = l.wavelengths[w].wavelength;
            if (dif != nullptr &&
                (dif->kind == kDiffractiveRadial || dif->kind == kDiffractiveZernike) &&
                dif->working_count >= 2) {
                power += quotient(-2.0 * lambda * dif->working[1] * s.diffraction_order,
                                  dif->design_wavelength);
            } else if (s.hologram != nullptr) {
                const HologramRecord& h = *s.hologram;
                auto reciprocal = [](double z, int virtual_point) {
                    const double a = std::fabs(z) < kParaxialZero ? 0.0 : 1.0 / std::fabs(z);
                    return virtual_point == 0 ? -a : a;
                };
                const double a1 = reciprocal(h.first_point[2], h.first_point_virtual);
                const double a2 = reciprocal(h.second_point[2], h.second_point_virtual);
                power += quotient((a1 - a2) * lambda * h.order, h.wavelength);
            }
        }
        out.power[j] = power;
        const double d = gap_length(j, k);
        const double n1 = radial_coefficient(j, w, n, section);
        out.radial[j] = n1;
        out.reduced[j] = quotient(d, n);
        if (n1 == 0.0) {
            const AxialFit f = axial_fit(j, w, n, d);
            if (f.valid && (std::fabs(f.b) >= kParaxialZero || std::fabs(f.c) >= kParaxialZero) &&
                std::fabs(f.n_e) >= kParaxialZero) {
                // The reduced length of an axial profile is the integral of dz / n; the sign of
                // the medium's index carries over.
                out.reduced[j] = (n < 0 ? -1.0 : 1.0) * reduced_length(f, d);
                n = (n < 0 ? -1.0 : 1.0) * std::fabs(f.n_e);
            }
        }
        last = j;
    }
    out.last = last;
}

void paraxial_setup_data(std::uint8_t print, std::uint8_t section, double* out) {
    ParaxialState& p = g_paraxial.state;
    const LensData& l = lens_data();
    p.wavelength = l.current_wavelength;
    p.print = 0;
    p.listing_kind = kListingNone;
    paraxial_trace(section);

    const bool x = section != 0;
    const double ax = x ? p.x_aperture_factor : 1.0;
    const double fx = x ? p.x_field_factor : 1.0;
    const double u = p.u, ub = p.ubar, y = p.y, yb = p.ybar;
    const double s_k = p.sign_before;
    const int last = last_medium_surface();
    const double n_k = medium_index(last, p.wavelength);
    const double n_0 = p.object_index;
    const double t0 = p.object_distance;
    const double h = p.object_height;
    const double e = paraxial_entrance_pupil_distance(section);
    const bool afocal = l.afocal != 0;

    if (!afocal && print == 0 && std::fabs(u) < kAfocalSlope) {
        for (int k = 0; k < 6; ++k) out[k] = 0.0;
        return;
    }
    const bool focal = !afocal && std::fabs(u) >= kAfocalSlope;
    double v[6] = {};
    double lagrange = 0;
    if (focal) {
        const double den = u * h + p.y_e * ub;
        v[0] = std::fabs(den) < kParaxialZero ? p.y_e * h * -kParaxialRatio : -(p.y_e * h) / den;
        v[3] = quotient(p.y_e * n_0, (e + t0) * s_k * u * n_k);
        v[4] = quotient(yb * u - y * ub, u);
        const double ratio =
            std::fabs(t0) > kFiniteObjectLimit ? 0.0 : l.object_na / medium_index(0, 0);
        const double arg = 1.0 - ratio * ratio;
        v[1] = arg < 0 ? 0.0 : std::fabs(std::sqrt(arg) * u * n_k);
        v[2] = v[1] <= kParaxialZero ? kParaxialRatio : 0.5 / v[1];
        v[5] = petzval_radius(section);
        lagrange = s_k * u * v[4] * n_k;
    } else {
        const double field_slope = quotient(-h, t0 + e);
        v[0] = quotient(s_k * ub, n_0 * field_slope);
        const double ratio = quotient(yb, ub);
        v[1] = surface(l.image_surface - 1).thickness - ratio;
        v[2] = std::fabs(y - ratio * u);
        const double y1 = x ? l.x_axial_start_height * ax * fx : l.axial_start_height;
        v[3] = quotient(y1 * l.object_height * n_0, t0);
        v[4] = petzval_radius(section);
        v[5] = 0.0;
    }
    if (print == 0) {
        for (int k = 0; k < 6; ++k) out[k] = v[k];
        return;
    }

    print_msg(kMsgSetupHeading);
    if (x) print_msg(kMsgXSection);
    if (l.current_wavelength != 0) text_printf(" (WAVELENGTH %d)", l.current_wavelength + 1);
    text_newline();
    if (x) {
        print_msg(kMsgApertureFactor);
        paraxial_number_cell(p.x_aperture_factor);
        print_msg(kMsgFieldFactor);
        paraxial_number_cell(p.x_field_factor, true);
    }
    paraxial_configuration_warning();
    if (focal) {
        print_msg(kMsgFocalLength);
        paraxial_number_cell(v[0]);
        print_msg(kMsgMagnification);
        paraxial_number_cell(v[3], true);
        print_msg(kMsgImageNa);
        paraxial_number_cell(v[1]);
        print_msg(kMsgImageHeight);
        paraxial_number_cell(v[4], true);
        print_msg(kMsgFNumber);
        paraxial_number_cell(v[2]);
        print_msg(kMsgPetzvalRadius);
        paraxial_number_cell(v[5], true);
        print_msg(kMsgLagrange);
        paraxial_number_cell(lagrange, true);
    } else {
        print_msg(kMsgAngularMagnification);
        paraxial_number_cell(v[0]);
        print_msg(kMsgAfocalLagrange);
        paraxial_number_cell(v[3], true);
        print_msg(kMsgExitPupilDistance);
        paraxial_number_cell(v[1]);
        print_msg(kMsgPetzvalRadius);
        paraxial_number_cell(v[4], true);
        if (std::fabs(u) > kAfocalSlope) msg_box(kMsgAfocalSlopeNotZero);
    }
}

namespace {
// The hooks go with the rest: the start of a run installs them again.
void reset_paraxial_trace_state() {
    g_paraxial = ParaxialTrace{};
}
const platform::StateReset paraxial_trace_state_reset{
    "trace/paraxial_trace", reset_paraxial_trace_state, platform::ResetLayer::trace};
}  // namespace
