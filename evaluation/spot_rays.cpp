#include "evaluation/spot_rays.h"

#include <emmintrin.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"
#include "trace/surface_frames.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kDegrees = 180.0 / std::numbers::pi;

// One pupil point of a row: its lattice integers and its pupil fractions.
struct PupilPoint {
    std::int32_t col;
    std::int32_t row;
    double x;
    double y;
    int column_index;  // j of the row, for the half-pupil gap rule
};

// The update-output flag and the rays, pupil points and row ends of the spot diagram's rows.
struct SpotRaysState {
    const std::uint8_t* update_output = nullptr;
    // The rows are traced from buffers that live for the run: they grow to the longest batch of
    // rows once and are reused by every later diagram. row_ends holds where each waiting row ends.
    std::vector<RayRecord> row_rays;
    std::vector<PupilPoint> row_points;
    std::vector<std::size_t> row_ends;
};

SpotRaysState g_spot_rays;

// Rows wait until this many points have gathered, so that the lanes of the trace run full
// across the ends of rows; each row is then stored in order as if it had been traced alone.
constexpr std::size_t kBatchPoints = 64;

void reserve_row(std::size_t n) {
    if (g_spot_rays.row_rays.size() < n) {
        g_spot_rays.row_rays.resize(n);
        g_spot_rays.row_points.resize(n);
    }
}

// A whole record, copied in register-wide pieces: the compiler's own copy of a record this
// size is the processor's string move, whose start-up cost was half the time spent outside the
// trace in a spot diagram.
void copy_record(const RayRecord& from, RayRecord& to) {
    static_assert(sizeof(RayRecord) % 16 == 0);
    const auto* src = reinterpret_cast<const unsigned char*>(&from);
    auto* dst = reinterpret_cast<unsigned char*>(&to);
#pragma GCC unroll 64
    for (std::size_t o = 0; o < sizeof(RayRecord); o += 16) {
        const __m128i piece = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + o));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + o), piece);
    }
}

struct Geometry {
    double ref_p[3];  // reference image point
    double ref_d[3];  // reference direction
    double crossing[3];
    double radius;
    bool afocal;
    bool sphere_coordinates;
};

// The ray's point on the reference sphere (or, afocal, on the plane through the reference image
// point normal to the reference direction) and its pupil triple. Returns false when the ray
// misses the sphere.
bool sphere_point(const Geometry& g, const RayRecord& r, SpotRay& out) {
    const double p[3] = {r.x, r.y, r.z};
    const double d[3] = {r.k, r.l, r.m};
    bool hit = true;
    if (!g.afocal) {
        const double dv[3] = {g.ref_p[0] - p[0], g.ref_p[1] - p[1], g.ref_p[2] - p[2]};
        const double c = dv[0] * dv[0] + dv[1] * dv[1] + dv[2] * dv[2] - g.radius * g.radius;
        const double b = dv[0] * d[0] + dv[1] * d[1] + dv[2] * d[2];
        double q = b * b - c;
        if (q < 0.0) {
            q = 0.0;
            hit = false;
        }
        const double t = g.radius > 0.0 ? c / (-b - std::sqrt(q)) : c / (std::sqrt(q) - b);
        const double qx = p[0] - t * d[0] - g.crossing[0];
        const double qy = p[1] - t * d[1] - g.crossing[1];
        const double qz = p[2] - t * d[2] - g.crossing[2];
        out.px = qx;
        out.py = qy;
        out.pz = qz;
        if (g.sphere_coordinates) {
            out.nx = qx / g.radius;
            out.ny = qy / g.radius;
            out.nz = qz / g.radius;
        } else {
            out.nx = g.ref_d[0] - d[0];
            out.ny = g.ref_d[1] - d[1];
            out.nz = g.ref_d[2] - d[2];
        }
    } else {
        const double k = d[0] * g.ref_d[0] + d[1] * g.ref_d[1] + d[2] * g.ref_d[2];
        double t = 0.0;
        if (std::fabs(k) > kTiny) {
            t = ((p[0] - g.ref_p[0]) * g.ref_d[0] + (p[1] - g.ref_p[1]) * g.ref_d[1] +
                 (p[2] - g.ref_p[2]) * g.ref_d[2]) /
                k;
        }
        out.px = out.nx = p[0] - t * d[0] - g.ref_p[0];
        out.py = out.ny = p[1] - t * d[1] - g.ref_p[1];
        out.pz = out.nz = p[2] - t * d[2] - g.ref_p[2];
    }
    return hit;
}

// Per-wavelength state of one pass over the grid.
struct WavePass {
    int wave;
    double weight;
    double amplitude;      // sqrt of the weight, times the rim rays' intensity in extents mode
    const double* bounds;  // x from, x to, y from, y to, relative intensity; or null
    bool have_stored;
    std::int32_t last_row;
};

struct Generator {
    SpotStore& store;
    const LensData& lens;
    const RayRecord& ref;
    Geometry geo;
    bool extents_mode;
    double ref_pupil_x, ref_pupil_y;
    int result = 0;
    bool sphere_missed = false;
    std::int32_t half_step = 0;

    std::size_t pending = 0;  // points waiting in g_spot_rays.row_points

    // Closes the row of the points added since the last one; traces the waiting rows once
    // enough points have gathered.
    void end_row(WavePass& w) {
        g_spot_rays.row_ends.push_back(pending);
        if (pending >= kBatchPoints) trace_rows(w);
    }

    // Traces the points of the waiting rows together and stores each row's passing rays in grid
    // order.
    void trace_rows(WavePass& w) {
        RayRecord* rays = g_spot_rays.row_rays.data();
        // Every ray starts as the reference ray of this kind and wavelength, with its own pupil
        // point.
        RayRecord start = ref;
        start.kind = kRaySphere;
        start.wavelength = w.wave;
        for (std::size_t i = 0; i < pending; ++i) {
            const PupilPoint& pt = g_spot_rays.row_points[i];
            RayRecord& r = rays[i];
            copy_record(start, r);
            r.pup_x = pt.x;
            r.pup_y = pt.y;
        }
        trace_rays(rays, static_cast<int>(pending));
        std::size_t begin = 0;
        for (const std::size_t end : g_spot_rays.row_ends) {
            store_row(w, begin, end);
            begin = end;
        }
        pending = 0;
        g_spot_rays.row_ends.clear();
    }

    // Stores the passing rays of one traced row, points begin .. end, and follows the row's gaps.
    void store_row(WavePass& w, std::size_t begin, std::size_t end) {
        const RayRecord* rays = g_spot_rays.row_rays.data();
        int state = 0;
        for (std::size_t i = begin; i < end; ++i) {
            const PupilPoint& pt = g_spot_rays.row_points[i];
            const RayRecord& r = rays[i];
            if (store.ray_count >= store.capacity) {
                // A ray past the limit was traced only with its batch; it is dropped without
                // touching the gap state, as a point never traced.
                result = kMsgSpotRayLimit;
                continue;
            }
            if (r.failure != 0) {
                if (state == 1) state = 2;
                if (store.half_pupil && pt.column_index == 0) state = 2;
                continue;
            }
            store_ray(w, pt, r);
            if (state == 0) {
                state = 1;
            } else if (state == 2) {
                state = -1;
            }
            if (w.have_stored && pt.row - w.last_row > 2 * half_step) store.pupil_gap = 1;
            w.have_stored = true;
            w.last_row = pt.row;
        }
        if (state == -1) store.pupil_gap = 1;
    }

    void store_ray(const WavePass& w, const PupilPoint& pt, const RayRecord& r) {
        const std::int32_t n = store.ray_count++;
        SpotRay& s = store.rays[n];
        s.col = pt.col;
        s.row = pt.row;
        const double intensity = r.factor_a;
        double amplitude = intensity < 0.0 ? 0.0 : std::sqrt(intensity) * w.amplitude;
        s.apod = 1.0;
        if (store.apodisation_on) {
            double X = pt.x;
            double Y = pt.y;
            if (extents_mode) {
                const double* b = w.bounds;
                X = (pt.x + 1.0) * (b[1] - b[0]) * 0.5 + b[0] - ref_pupil_x;
                Y = (pt.y + 1.0) * (b[3] - b[2]) * 0.5 + b[2] - ref_pupil_y;
            }
            const double e = Y * Y / store.y_apodisation + X * X / store.x_apodisation;
            amplitude = e <= 200.0 ? amplitude * std::exp(-e) : 0.0;
        }
        s.amplitude = amplitude;
        s.dx = r.dx;
        s.dy = r.dy;
        s.tx = r.dtan_x;
        s.ty = r.dtan_y;
        s.opd = r.opd;
        s.wave = w.wave;
        const double index = r.prev_medium[w.wave];
        store.path_to_last_surface[n] = r.opl - r.dist * index;
        store.last_segment[n] = r.dist;
        store.image_z[n] = r.z - ref.z;
        if (!sphere_point(geo, r, s) && geo.sphere_coordinates) sphere_missed = true;
    }

    // The square lattice clipped to the unit circle.
    void square_grid(WavePass& w, const SpotLattice& lat) {
        const double unit = store.lattice_unit;
        for (int i = 1; i <= lat.steps + 1; ++i) {
            const std::int32_t row = lat.start + (i - 1) * 2 * lat.half_step;
            const double y = row * unit;
            const int columns = store.half_pupil ? lat.steps + 1 : lat.steps + 2;
            reserve_row(pending + static_cast<std::size_t>(columns));
            for (int j = 0; j < columns; ++j) {
                const std::int32_t col = store.half_pupil ? lat.half_step + j * 2 * lat.half_step
                                                          : lat.start + j * 2 * lat.half_step;
                const double x = col * unit;
                const bool inside = x * x + y * y <= 1.0;
                if (!extents_mode && !inside) continue;
                if (inside) store.grid_weight += w.weight;
                g_spot_rays.row_points[pending++] = {col, row, x, y, j};
            }
            end_row(w);
        }
        trace_rows(w);
    }

    // Polar rings in cone-aperture mode: each ring's points evenly spread in azimuth, the
    // direction turned into the two tilt angles relative to the cone's half-angle.
    void cone_grid(WavePass& w, int steps) {
        const double half_angle = lens.cone_half_angle;
        const double cone = half_angle / kDegrees;
        const double step = steps != 0 ? cone / steps : cone;
        const double unit = store.lattice_unit;
        for (int i = 1; i <= steps + 1; ++i) {
            const double a = (i - 1) * step;
            const int m = static_cast<int>(std::sin(a) * 2.0 * std::numbers::pi / step + 0.5);
            const int points = m == 0 ? 1 : m;
            reserve_row(pending + static_cast<std::size_t>(points));
            for (int j = 0; j < points; ++j) {
                double dx = 0.0, dy = 0.0;
                const double dz = std::cos(a);
                if (m != 0) {
                    const double phi = (j + 0.5) * 2.0 * std::numbers::pi / m;
                    dx = std::sin(a) * std::sin(phi);
                    dy = std::sin(a) * std::cos(phi);
                }
                double first = 0.0, second = 0.0;
                tilt_angles_from_direction(dx, dy, dz, first, second);
                const double y = half_angle != 0.0 ? first / half_angle : 0.0;
                const double x = half_angle != 0.0 ? second / half_angle : 0.0;
                if (!extents_mode || x * x + y * y <= 1.0) store.grid_weight += w.weight;
                g_spot_rays.row_points[pending++] = {static_cast<std::int32_t>(x / unit),
                                                     static_cast<std::int32_t>(y / unit), x, y, j};
            }
            end_row(w);
        }
        trace_rows(w);
    }
};

}  // namespace

SpotLattice spot_lattice(double divisions) {
    SpotLattice l{};
    l.half_step = static_cast<std::int32_t>(std::floor(1.0 / (kLatticeUnit * divisions) + 0.5));
    l.steps = static_cast<std::int32_t>(divisions);
    const auto h = static_cast<std::int32_t>((divisions - 1.0) * 0.5);
    l.start = -(2 * h + 1) * l.half_step;
    return l;
}

int generate_spot_rays() {
    SpotStore& store = spot_store();
    const LensData& lens = lens_data();
    const ReferenceRay& reference = reference_ray();
    const RayRecord& ref = reference.ray;
    store.grid_weight = 0.0;
    store.pupil_gap = 0;
    store.ray_count = 0;
    // Above 32400 divisions the lattice's half step rounds to 0 lattice units and the grid
    // would never advance.
    if (!(store.divisions > 0.0) || spot_lattice(store.divisions).half_step < 1) {
        return kMsgSpotDivisions;
    }

    Generator gen{store, lens, ref, {}, false, ref.pup_x, ref.pup_y};
    Geometry& geo = gen.geo;
    geo.ref_p[0] = ref.x;
    geo.ref_p[1] = ref.y;
    geo.ref_p[2] = ref.z;
    geo.ref_d[0] = ref.k;
    geo.ref_d[1] = ref.l;
    geo.ref_d[2] = ref.m;
    geo.radius = reference.sphere_radius;
    geo.afocal = lens.afocal != 0;
    geo.sphere_coordinates = lens.wrsp != 0 && std::fabs(geo.radius) > kTiny;
    for (int i = 0; i < 3; ++i) geo.crossing[i] = geo.ref_p[i] - geo.radius * geo.ref_d[i];
    gen.extents_mode = lens.aim_mode == kAimRimRays && ref.pupil_bounds != nullptr;

    const SpotLattice lat = spot_lattice(store.divisions);
    gen.half_step = lat.half_step;
    const bool cone = lens.cone_aperture_mode != 0;
    for (int w = 0; w < lens.wavelength_count; ++w) {
        const double weight = lens.wavelengths[w].weight;
        if (!(w == store.reference_wavelength || (store.polychromatic && weight > 0.0))) continue;
        if (w >= store.wavelength_capacity) break;
        const std::int32_t first = store.ray_count;
        WavePass pass{w, weight, std::sqrt(std::fabs(weight)), nullptr, false, 0};
        if (gen.extents_mode) {
            pass.bounds = ref.pupil_bounds + 5 * w;
            pass.amplitude *= std::sqrt(std::fabs(pass.bounds[4]));
        }
        if (cone) {
            gen.cone_grid(pass, lat.steps);
        } else {
            gen.square_grid(pass, lat);
        }
        store.wave_ray_counts[w] = store.ray_count - first;
    }

    int result = gen.result;
    if (store.ray_count == 0) {
        result = kMsgSpotNoRays;
    } else if (result == 0 && gen.sphere_missed) {
        result = kMsgSphereMissed;
    }
    const double beam = lens.entrance_beam_radius;
    if (store.apodisation_on && std::fabs(beam) > kTiny) {
        const SpotSettings& s = *lens.spot_settings;
        store.grid_weight *= s.apodisation_width_y * s.apodisation_width_x * 0.5 / (beam * beam);
    }
    return result;
}

int spot_apodisation_factors(double gy, double gx, double& y_factor, double& x_factor) {
    const LensData& lens = lens_data();
    const double beam = lens.entrance_beam_radius;
    const double t = surface(0).thickness;
    if (std::fabs(beam) < kTiny) {
        y_factor = x_factor = 1.0;
    } else if (0.1 * std::fabs(t) > std::fabs(beam) || lens.epxy) {
        y_factor = (gy / beam) * (gy / beam);
        x_factor = (gx / beam) * (gx / beam);
    } else {
        // The width becomes the sine of its cone angle relative to the sine of the aperture cone.
        const double d = (beam * t) * (beam * t);
        auto factor = [&](double g) {
            const double denominator = (beam * g) * (beam * g) + d;
            if (denominator <= kTiny) return 1.0;
            return ((g * t) * (g * t) + (beam * g) * (beam * g)) / denominator;
        };
        y_factor = factor(gy);
        x_factor = factor(gx);
    }
    const double product = y_factor * x_factor;
    return product == 0.0 || std::isnan(product) ? 0 : 1;
}

void set_spot_update_output_source(const std::uint8_t* source) {
    g_spot_rays.update_output = source;
}

namespace {

// The running command and its argument cells, put back on every exit.
class CommandScope {
public:
    CommandScope() : command_(current_command()), vector_(arg_vector()), count_(arg_count()) {}
    ~CommandScope() {
        set_arg_vector(vector_, count_);
        set_current_command(command_);
    }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

private:
    int command_;
    ArgCell** vector_;
    int count_;
};

}  // namespace

std::uint8_t spot_half_pupil() {
    const LensData& lens = lens_data();
    return lens.plane_symmetric && reference_ray().ray.obj_x == 0.0 && !lens.cone_aperture_mode;
}

int ensure_spot_diagram() {
    if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
        const int r = set_object_point();
        if (r != 0) return r;
    }
    CommandScope command_scope;
    SpotStore& store = spot_store();
    const LensData& lens = lens_data();
    const SpotSettings& settings = *lens.spot_settings;
    const RayRecord& ref = reference_ray().ray;

    store.half_pupil = spot_half_pupil();
    store.reference_wavelength = ref.wavelength;
    store.polychromatic = lens.wavelength_count >= 2 && settings.polychromatic ? 1 : 0;
    store.divisions = settings.aperture_divisions;
    for (int w = 0; w < store.wavelength_capacity; ++w) store.wave_ray_counts[w] = 0;
    store.ray_count = 0;

    store.apodisation_on = settings.apodisation_on;
    if (store.apodisation_on) {
        if (spot_apodisation_factors(settings.apodisation_width_y, settings.apodisation_width_x,
                                     store.y_apodisation, store.x_apodisation) == 0) {
            clear_state_flag(kFlagSpotDiagramCurrent);
            set_error_msg(kMsgSpotZeroApodisation);
            return kErrorTextReady;
        }
    }
    const int generated = generate_spot_rays();
    clear_state_flag(kFlagSpotDerivedA);
    clear_state_flag(kFlagSpotDerivedB);
    if (generated != 0) {
        clear_state_flag(kFlagSpotDiagramCurrent);
        set_error_msg(generated);
        return kErrorTextReady;
    }
    set_state_flag(kFlagSpotDiagramCurrent);
    const int output_was = get_setting_flag(kSetOutputOn);
    set_setting_flag(kSetOutputOn,
                     g_spot_rays.update_output != nullptr ? *g_spot_rays.update_output : 0);
    spot_statistics();
    set_setting_flag(kSetOutputOn, output_was);
    return 0;
}

namespace {
void reset_spot_rays() {
    std::vector<RayRecord>().swap(g_spot_rays.row_rays);
    std::vector<PupilPoint>().swap(g_spot_rays.row_points);
    std::vector<std::size_t>().swap(g_spot_rays.row_ends);
}
const platform::StateReset spot_rays_state_reset{"evaluation/spot_rays", reset_spot_rays,
                                                 platform::ResetLayer::feature};
}  // namespace
