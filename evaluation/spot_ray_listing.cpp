#include "evaluation/spot_ray_listing.h"

#include <cmath>

#include "evaluation/point_intensity.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/ray_trace.h"
#include "trace/surface_frames.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kOffsetLimit = 1e-10;
constexpr int kCentreAsGiven = -2;

bool given(int i) {
    const ArgCell* c = arg_cell(i);
    return c != nullptr && c->status == kArgGiven;
}

double unit_factor() {
    const double u = lens_data().units;
    return u > 0.0 ? u : 1.0;
}

// Where the listing's points of modes 2 and 3 go: shifted along the axis into the frame of the
// surface before the image, or, for a tilted or decentred image, mapped through both frames.
struct ImagePlacement {
    bool offset = false;
    double z_shift = 0.0;
    const SurfaceFrame* image = nullptr;
    const SurfaceFrame* before = nullptr;

    void place(double& X, double& Y, double& Z) const {
        if (!offset) {
            Z += z_shift;
            return;
        }
        const double* a = image->m;
        const double g[3] = {a[0] * X + a[1] * Y + a[2] * Z + a[3],
                             a[4] * X + a[5] * Y + a[6] * Z + a[7],
                             a[8] * X + a[9] * Y + a[10] * Z + a[11]};
        const double* b = before->m;
        const double d[3] = {g[0] - b[3], g[1] - b[7], g[2] - b[11]};
        X = b[0] * d[0] + b[4] * d[1] + b[8] * d[2];
        Y = b[1] * d[0] + b[5] * d[1] + b[9] * d[2];
        Z = b[2] * d[0] + b[6] * d[1] + b[10] * d[2];
    }
};

ImagePlacement image_placement() {
    const LensData& lens = lens_data();
    build_surface_frames(0);
    ImagePlacement p;
    const int image = lens.image_surface;
    const SurfaceRecord& si = surface(image);
    const SurfaceRecord& sb = surface(image - 1);
    p.image = &si.frame;
    p.before = &sb.frame;
    p.offset = frame_is_rotated(si.frame) || frame_is_rotated(sb.frame) ||
               std::fabs(si.frame.m[3]) >= kOffsetLimit ||
               std::fabs(si.frame.m[7]) >= kOffsetLimit ||
               std::fabs(sb.frame.m[3]) >= kOffsetLimit || std::fabs(sb.frame.m[7]) >= kOffsetLimit;
    p.z_shift = sb.thickness + (lens.afocal ? 0.0 : si.thickness);
    return p;
}

}  // namespace

void ray_offset_from_reference(int mode, std::int32_t ray, double& x, double& y, double z) {
    const SpotRay& r = spot_store().rays[ray];
    const SpotStats& s = spot_stats();
    const RayRecord& ref = reference_ray().ray;
    const bool slope = std::fabs(ref.m) > kTiny;
    if (!lens_data().afocal) {
        x = r.dx + z * r.tx;
        y = r.dy + z * r.ty;
        if (mode == 0) {
            x -= s.mean_tx * z + s.mean_x;
            y -= s.mean_ty * z + s.mean_y;
        } else if (mode == 5) {
            x += ref.x;
            y += ref.y;
            if (slope) {
                x += ref.k * z / ref.m;
                y += ref.l * z / ref.m;
            }
        }
    } else {
        x = r.tx;
        y = r.ty;
        if (mode == 0) {
            x -= s.mean_tx;
            y -= s.mean_ty;
        } else if (mode == 5 && slope) {
            x += ref.k / ref.m;
            y += ref.l / ref.m;
        }
    }
}

void print_spot_ray_lines(int mode, std::int32_t first, std::int32_t last, std::int32_t start,
                          std::int32_t end, double y, double x, double z) {
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    const ReferenceRay& reference = reference_ray();
    const RayRecord& ref = reference.ray;
    const double R = reference.sphere_radius;
    const double L = ref.k, M = ref.l, N = ref.m;
    const bool sphere = mode == 2 && !lens.afocal && lens.wrsp != 0 && std::fabs(N) > kTiny;
    double g = 0.0, q = 0.0;
    if (sphere) {
        x -= L / N * z;
        y -= M / N * z;
        const double r1 = z / N + R;
        g = std::fabs(r1) <= kTiny ? r1 : 1.0 / r1;
        q = std::fabs(R) > kTiny ? (1.0 / R - g) * 0.5 : 0.0;
    }
    ImagePlacement placement;
    double reference_path = 0.0, slope_x = 0.0, slope_y = 0.0;
    bool backward = false;
    if (mode == 2 || mode == 3) {
        placement = image_placement();
        reference_path = ref.opl - ref.dist * ref.prev_medium[ref.wavelength];
        if (std::fabs(N) >= kTiny) {
            slope_x = L / N;
            slope_y = M / N;
        }
        backward = N < 0.0;
    }
    for (std::int32_t i = start; i < end; ++i) {
        const std::int32_t number = i + 1;
        if (number < first || number > last) continue;
        const SpotRay& r = st.rays[i];
        const double n = spot_image_index(r.wave);
        text_printf("%3d", number);
        print_number_cell(r.row * st.lattice_unit);
        print_number_cell(r.col * st.lattice_unit);
        if (mode == 2 || mode == 3) {
            const double s =
                mode == 2 ? (st.path_to_last_surface[i] - reference_path) / n + st.last_segment[i]
                          : st.last_segment[i];
            const double tx = slope_x + r.tx, ty = slope_y + r.ty;
            double c = 1.0 / std::sqrt(tx * tx + ty * ty + 1.0);
            if (backward) c = -c;
            double X = ref.x + r.dx - c * tx * s;
            double Y = ref.y + r.dy - c * ty * s;
            double Z = ref.z + st.image_z[i] - c * s;
            placement.place(X, Y, Z);
            print_number_cell(Y);
            print_number_cell(X);
            if (mode == 3) {
                print_number_cell(Z);
                print_number_cell_eol(st.path_to_last_surface[i]);
                continue;
            }
            print_number_cell(Z);
            double w;
            if (sphere) {
                w = (y * r.py + x * r.px) * n * g + r.opd;
                if (std::fabs(q) > kTiny) w += (r.px * r.px + r.py * r.py + r.pz * r.pz) * n * q;
            } else {
                w = (y * r.ny + x * r.nx + z * r.nz) * n + r.opd;
            }
            if (lens.opdw) w *= unit_factor() / (lens.wavelengths[r.wave].wavelength * 0.001);
            print_number_cell(w);
            print_number_cell(r.py);
            print_number_cell(r.px);
            print_number_cell_eol(r.pz);
        } else if (mode == 4) {
            print_number_cell(r.amplitude * r.amplitude);
            print_number_cell(ref.y + r.dy);
            print_number_cell(ref.x + r.dx);
            print_number_cell_eol(ref.z + st.image_z[i]);
        } else {
            double a = 0.0, b = 0.0;
            ray_offset_from_reference(mode, i, a, b, z);
            print_number_cell(b);
            if (lens.afocal) {
                print_number_cell_eol(a);
            } else {
                print_number_cell(a);
                print_number_cell(r.ty);
                print_number_cell_eol(r.tx);
            }
        }
    }
}

int cmd_list_spot_rays() {
    const int mode = arg_int(0);
    if (mode < 0 || mode > 4) return set_error_msg(kMsgSpotListingMode);
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    const int centre = arg_int(1);
    const std::int32_t first = given(2) ? arg_int(2) : 1;
    std::int32_t last = given(3) ? arg_int(3) : st.ray_count;
    if (last > st.ray_count) last = st.ray_count;
    if (last < first) last = first;
    double y = arg_double(4), x = arg_double(5), z = arg_double(6);
    const int sizes_heading = lens.afocal ? -2052 : -2053;
    switch (mode) {
        case 0:
        case 1:
            print_msg(mode == 0 ? -2051 : -2050);
            text_newline();
            warn_multiple_configurations();
            print_msg(sizes_heading);
            text_newline();
            y = x = 0.0;
            break;
        case 2:
            print_msg(-2043);
            if (centre == kCentreAsGiven) {
                print_msg(-2044);
            } else {
                double y0 = 0.0, x0 = 0.0;
                spot_reference_offset(st.reference_wavelength, y0, x0, z);
                y += y0;
                x += x0;
            }
            text_newline();
            warn_multiple_configurations();
            print_msg(-2045);
            text_newline();
            break;
        default:
            print_msg(mode == 3 ? -2046 : -2048);
            text_newline();
            warn_multiple_configurations();
            print_msg(mode == 3 ? -2047 : -2049);
            text_newline();
            y = x = z = 0.0;
            break;
    }
    const LensData& l = lens;
    for (int w = 0; w < l.wavelength_count && w < st.wavelength_capacity; ++w) {
        const std::int32_t start = spot_first_ray(w);
        if (start >= st.ray_count) continue;
        text_printf("%s%d\n", "WV", w + 1);
        print_spot_ray_lines(mode, first, last, start, start + st.wave_ray_counts[w], y, x, z);
    }
    if (l.afocal || mode == 3) return 0;
    if (mode == 2) {
        print_msg(-2054);
        text_spaces(3);
        print_number_cell(y);
        print_number_cell(x);
        print_number_cell_eol(z);
    } else {
        print_msg(-2055);
        print_number_cell_eol(z);
    }
    return 0;
}
