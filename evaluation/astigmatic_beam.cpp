#include "evaluation/astigmatic_beam.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "evaluation/gaussian_beam.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "numeric/linear_solvers.h"
#include "numeric/matrix_ops.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"
#include "trace/object_point.h"
#include "trace/paraxial_trace.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/scoped_value.h"
#include "trace/surface_frames.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kZero = 1e-40;
constexpr double kSingular = 1e-10;
constexpr double kFiniteObject = 9.9e7;
constexpr double kStandInDistance = 1000.0;  // the object distance while an infinite one is traced
constexpr double kDirectionStep = 1e-5;
constexpr double kSmallAngle = 0.25;  // degrees: printed as 0
constexpr int kRays = 9;

Complex cx(double re) {
    return {re, 0.0};
}
Complex operator+(Complex a, Complex b) {
    return cx_add(a, b);
}
Complex operator-(Complex a, Complex b) {
    return cx_sub(a, b);
}
Complex operator*(Complex a, Complex b) {
    return cx_mul(a, b);
}
Complex operator*(double s, Complex z) {
    return cx_scale(s, z);
}
Complex operator/(Complex a, Complex b) {
    return cx_div(a, b);
}
double cabs(Complex z) {
    return cx_abs(z.re, z.im);
}

double spot_from(double m, double lambda_n) {
    return m > 0.0 ? std::sqrt(lambda_n / (kPi * m)) : 0.0;
}

double radius_from(double r) {
    return std::fabs(r) <= kZero ? 0.0 : -1.0 / r;
}

// The two principal values of a normal-form state.
void principal_values(const BeamState& s, Complex& p1, Complex& p2) {
    Complex root = cx(1.0) + s.t * s.t;
    root = cabs(root) <= kZero ? cx(1.0) : cx_sqrt(root);
    const Complex sum = s.q11 + s.q22;
    const Complex diff = (s.q11 - s.q22) * root;
    p1 = 0.5 * (sum + diff);
    p2 = 0.5 * (sum - diff);
}

// Twice the off-diagonal element of a state in the principal-value form. At the object the
// state keeps it in delta; an extracted state holds its principal values in Q11 and Q22.
Complex doubled_offdiagonal(const BeamState& s, bool object_state) {
    if (object_state) return s.delta;
    return s.t.re > 0.0 ? s.q11 - s.q22 : s.q22 - s.q11;
}

int closed_form(const RayMatrix4& M, const BeamState& from, bool object_state, double n,
                BeamState& out) {
    const auto m = [&](int i, int j) { return M.m[i - 1][j - 1]; };
    const double det = m(1, 3) * m(2, 4) - m(1, 4) * m(2, 3);
    if (std::fabs(det) < kSingular) return 1;
    const double b = 1.0 / det;
    const double g11 = b * (m(2, 4) * m(1, 1) - m(2, 1) * m(1, 4));
    const double g22 = b * (m(1, 3) * m(2, 2) - m(2, 3) * m(1, 2));
    const double g12 =
        b * (m(2, 4) * m(1, 2) - m(1, 4) * m(2, 2) + m(2, 1) * m(1, 3) - m(1, 1) * m(2, 3));
    const double h11 = b * (m(2, 4) * m(3, 3) - m(2, 3) * m(3, 4));
    const double h22 = b * (m(1, 3) * m(4, 4) - m(1, 4) * m(4, 3));
    const double h12 =
        b * (m(1, 3) * m(3, 4) - m(1, 4) * m(3, 3) + m(2, 4) * m(4, 3) - m(2, 3) * m(4, 4));
    const double e1 = -2.0 * b * m(2, 4), e2 = -2.0 * b * m(1, 3);
    const double e3 = 2.0 * b * m(1, 4), e4 = 2.0 * b * m(2, 3);

    const double n0 = from.index;
    Complex q11 = from.q11, q22 = from.q22, c;
    if (cabs(from.t) < kCouplingLimit) {
        c = n0 * (from.t * (q22 - q11)) + cx(g12);
    } else {
        const Complex mean = 0.5 * (q11 + q22);
        c = n0 * doubled_offdiagonal(from, object_state) + cx(g12);
        q11 = q22 = mean;
    }
    const Complex P11 = n0 * q11 + cx(g11);
    const Complex P22 = n0 * q22 + cx(g22);
    const Complex delta = 4.0 * (P11 * P22) - c * c;
    const double inv_n = 1.0 / n;
    out.index = n;
    out.q11 = inv_n * (cx(h11) - (e4 * e4 * P11 + e1 * e1 * P22 - e4 * e1 * c) / delta);
    out.q22 = inv_n * (cx(h22) - (e2 * e2 * P11 + e3 * e3 * P22 - e2 * e3 * c) / delta);
    const Complex N =
        h12 * delta - (2.0 * e4 * e2) * P11 + (e4 * e3 + e2 * e1) * c - (2.0 * e3 * e1) * P22;
    const Complex Den = (h22 - h11) * delta + (e4 * e4 - e2 * e2) * P11 + (e3 * e2 - e4 * e1) * c +
                        (e1 * e1 - e3 * e3) * P22;
    out.delta = cx(0.0);
    if (cabs(Den) > 1e-20) {
        out.t = N / Den;
        if (std::fabs(out.t.re) < 0.005) out.t.re = 0.0;
        if (std::fabs(out.t.im) < 0.005) out.t.im = 0.0;
    } else if (cabs(N) < 1e-20) {
        out.t = cx(0.0);
    } else {
        // Q22 - Q11 vanishes while Q12 does not: the principal values themselves.
        const Complex q12 = (0.5 / n) * (N / delta);
        const Complex base = out.q11;
        if (N.re >= 0.0) {
            out.t = cx(kCouplingLimit);
            out.q11 = base + q12;
            out.q22 = base - q12;
        } else {
            out.t = cx(-kCouplingLimit);
            out.q11 = base - q12;
            out.q22 = base + q12;
        }
    }
    return 0;
}

RayMatrix4 identity4() {
    RayMatrix4 m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0;
    return m;
}

// A 4 x 4 matrix of row pointers that the linear solvers work on, freed with the call.
class Work4 {
public:
    Work4() : rows_(alloc_matrix_of<double>(4, 4)) {}
    ~Work4() { free_matrix_of(rows_); }
    Work4(const Work4&) = delete;
    Work4& operator=(const Work4&) = delete;
    bool ok() const { return rows_ != nullptr; }
    double** rows() { return rows_; }
    void load(const RayMatrix4& m) {
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) rows_[i][j] = m.m[i][j];
        }
    }
    RayMatrix4 read() const {
        RayMatrix4 m{};
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) m.m[i][j] = rows_[i][j];
        }
        return m;
    }

private:
    double** rows_;
};

// The three work matrices of the general case.
struct GeneralWork {
    Work4 saved, inverse, relative;
    bool ok() const { return saved.ok() && inverse.ok() && relative.ok(); }
};

// At a surface conjugate to the object the total matrix has no position-from-direction block:
// the state goes on from the last state of the same kind by the matrix relative to it.
int general_case(GeneralWork& w, const RayMatrix4& current, const RayMatrix4& saved,
                 const BeamState& last, bool last_is_object, double n, BeamState& out) {
    w.saved.load(saved);
    if (const int rc = lu_decompose(w.saved.rows(), 4, 1); rc != 0) {
        free_solver_workspace();
        return rc;
    }
    lu_invert(w.inverse.rows());
    Work4 current_rows;
    if (!current_rows.ok()) {
        free_solver_workspace();
        return kSolverNoMemory;
    }
    current_rows.load(current);
    mat_mul(current_rows.rows(), w.inverse.rows(), w.relative.rows(), 4, 4, 4);
    free_solver_workspace();
    return closed_form(w.relative.read(), last, last_is_object, n, out);
}

// What the incident or refracted states carry from surface to surface.
struct StateTrack {
    BeamState last;
    bool last_is_object = true;
    RayMatrix4 saved = identity4();
};

// The ray's direction before the step, turned from the frame of the surface it left into the
// frame of the surface it reached.
void turn_direction(const double in[3], int from, int to, double out[3]) {
    double global[3] = {in[0], in[1], in[2]};
    const SurfaceRecord& a = surface(from);
    if (a.frame_rotated) {
        for (int i = 0; i < 3; ++i) {
            global[i] = a.frame.m[4 * i] * in[0] + a.frame.m[4 * i + 1] * in[1] +
                        a.frame.m[4 * i + 2] * in[2];
        }
    }
    const SurfaceRecord& b = surface(to);
    for (int i = 0; i < 3; ++i) out[i] = global[i];
    if (b.frame_rotated) {
        for (int i = 0; i < 3; ++i) {
            out[i] = b.frame.m[i] * global[0] + b.frame.m[4 + i] * global[1] +
                     b.frame.m[8 + i] * global[2];
        }
    }
}

enum RayName : int { kBase = 0, kX, kY, kU, kV, kMX, kMY, kMU, kMV };

// The two transverse axes of the beam about direction d. The beam's first index runs along
// the section that holds the y axis and its second along the one that holds the x axis (the
// frame x, y turned by 90 degrees, e1 x e2 = d): a beam given along x and y then keeps those
// sections through the lens, and an off-axis field in y lists its tangential section second
// and its sagittal section first, as the spot sizes along x and y are given.
void beam_axes(const double d[3], double e1[3], double e2[3]) {
    double ex[3] = {1.0 - d[0] * d[0], -d[0] * d[1], -d[0] * d[2]};
    double len = std::sqrt(ex[0] * ex[0] + ex[1] * ex[1] + ex[2] * ex[2]);
    if (len < kSingular) {
        // Along x itself: the y axis stands in.
        ex[0] = -d[1] * d[0];
        ex[1] = 1.0 - d[1] * d[1];
        ex[2] = -d[1] * d[2];
        len = std::sqrt(ex[0] * ex[0] + ex[1] * ex[1] + ex[2] * ex[2]);
    }
    for (double& e : ex) e /= len;
    e1[0] = d[1] * ex[2] - d[2] * ex[1];
    e1[1] = d[2] * ex[0] - d[0] * ex[2];
    e1[2] = d[0] * ex[1] - d[1] * ex[0];
    for (int i = 0; i < 3; ++i) e2[i] = -ex[i];
}

// The matrix of central differences in the plane through the base ray's point square to its
// direction: each neighbour is carried along its own direction into that plane, and positions
// and directions are read on the beam's axes there. Column j from the rays displaced by
// +-step j; the direction rows are optical (index n).
RayMatrix4 difference_matrix(const RayRecord* rays, const double (*dir)[3], double n,
                             const double steps[4]) {
    const double* d = dir[0];
    double e1[3], e2[3];
    beam_axes(d, e1, e2);
    const auto dot = [](const double* a, const double* b) {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    };
    double tx[kRays], ty[kRays], tk[kRays], tl[kRays];
    for (int r = 0; r < kRays; ++r) {
        double delta[3] = {rays[r].x - rays[0].x, rays[r].y - rays[0].y, rays[r].z - rays[0].z};
        const double along = dot(dir[r], d);
        const double t = along != 0.0 ? -dot(delta, d) / along : 0.0;
        for (int i = 0; i < 3; ++i) delta[i] += t * dir[r][i];
        tx[r] = dot(delta, e1);
        ty[r] = dot(delta, e2);
        tk[r] = n * dot(dir[r], e1);
        tl[r] = n * dot(dir[r], e2);
    }
    RayMatrix4 m{};
    for (int j = 0; j < 4; ++j) {
        const int plus = 1 + j, minus = 5 + j;
        const double f = 0.5 / steps[j];
        m.m[0][j] = (tx[plus] - tx[minus]) * f;
        m.m[1][j] = (ty[plus] - ty[minus]) * f;
        m.m[2][j] = (tk[plus] - tk[minus]) * f;
        m.m[3][j] = (tl[plus] - tl[minus]) * f;
    }
    return m;
}

// An infinite object stands in at a finite distance while the rays are traced: the object
// thickness and every surface's curvature and thickness kinds (their solved values kept as
// plain values) come back, with a set-up, however the command ends.
class FiniteStandIn {
public:
    FiniteStandIn() : thickness_(surface(0).thickness) {
        const int image = lens_data().image_surface;
        kinds_.reserve(static_cast<std::size_t>(image + 1));
        for (int j = 0; j <= image; ++j) {
            SurfaceRecord& s = surface(j);
            kinds_.push_back({s.curvature_kind, s.thickness_kind});
            if (is_solve(s.curvature_kind, true)) s.curvature_kind = kCurvaturePlain;
            if (is_solve(s.thickness_kind, false)) s.thickness_kind = kThicknessPlain;
        }
        surface(0).thickness = kStandInDistance;
    }
    ~FiniteStandIn() {
        for (std::size_t j = 0; j < kinds_.size(); ++j) {
            surface(static_cast<int>(j)).curvature_kind = kinds_[j].first;
            surface(static_cast<int>(j)).thickness_kind = kinds_[j].second;
        }
        surface(0).thickness = thickness_;
        lens_setup(0);
    }
    FiniteStandIn(const FiniteStandIn&) = delete;
    FiniteStandIn& operator=(const FiniteStandIn&) = delete;

private:
    // The solves that the set-up recomputes from the object: the rest do not move.
    static bool is_solve(std::uint8_t kind, bool curvature) {
        if (curvature)
            return kind >= kCurvatureAxialSlope && kind != kCurvatureFixed &&
                   kind != kCurvatureFixedRtf;
        return kind == kThicknessAxialHeight || kind == kThicknessChiefHeight ||
               kind == kThicknessEdge;
    }
    double thickness_;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> kinds_;
};

void print_angle_cell(double angle) {
    print_number_cell(std::fabs(angle) < kSmallAngle ? 0.0 : angle);
}

}  // namespace

BeamState object_beam_state(double wx, double wy, double rx, double ry, double angle_degrees,
                            double a) {
    const Complex qx{std::fabs(rx) <= kZero ? 0.0 : -1.0 / rx, -a / (wx * wx)};
    const Complex qy{std::fabs(ry) <= kZero ? 0.0 : -1.0 / ry, -a / (wy * wy)};
    const double theta = angle_degrees * kPi / 180.0;
    const double c = std::cos(theta), s = std::sin(theta);
    BeamState st;
    st.q11 = (c * c) * qy + (s * s) * qx;
    st.q22 = (s * s) * qy + (c * c) * qx;
    const double twice = 2.0 * angle_degrees;
    if (std::fabs(std::fabs(twice) - 90.0) <= kZero) {
        st.t = cx(twice > 0.0 ? -kCouplingLimit : kCouplingLimit);
        st.delta = twice > 0.0 ? qy - qx : qx - qy;
    } else {
        st.t = cx(-std::tan(2.0 * theta));
    }
    return st;
}

void axis_waist(double w, double r, double a, double& waist, double& distance) {
    const double c = std::fabs(r) <= kZero ? 0.0 : -1.0 / r;
    const double b = a / (w * w);
    const double d = c * c + b * b;
    const double radicand = a * b / d;
    waist = radicand < 0.0 ? 0.0 : std::sqrt(radicand);
    distance = -c / d;
}

IncidentView incident_extraction(BeamState& s, double lambda_n) {
    IncidentView v;
    double m_along, m_across;
    Complex p1 = s.q11, p2 = s.q22;
    if (std::fabs(s.t.re) >= kCouplingLimit) {
        v.angle = s.t.re > 0.0 ? 45.0 : -45.0;
        m_along = -s.q11.im;
        m_across = -s.q22.im;
    } else {
        principal_values(s, p1, p2);
        const Complex diff = s.q22 - s.q11;
        const double a = diff.im;
        const double b = -(s.t * diff).im;
        const double sigma = -(s.q11 + s.q22).im;
        if (std::fabs(a) < kSingular && std::fabs(b) > kSingular) {
            const double f = b >= 0.0 ? -1.0 : 1.0;
            v.angle = b >= 0.0 ? -45.0 : 45.0;
            const double e = f * diff.re * s.t.im;
            m_along = (sigma - e) / 2.0;
            m_across = (sigma + e) / 2.0;
        } else {
            const double r = std::fabs(b) <= kSingular ? 0.0 : b / a;
            v.angle = 90.0 / kPi * std::atan(r);
            const double g = std::sqrt(r * r + 1.0) * a;
            m_along = (sigma + g) / 2.0;
            m_across = (sigma - g) / 2.0;
        }
    }
    v.along = spot_from(m_along, lambda_n);
    v.across = spot_from(m_across, lambda_n);
    s.delta = p2 - p1;
    return v;
}

RefractedView refracted_extraction(BeamState& s, double lambda_n) {
    RefractedView v;
    Complex p1 = s.q11, p2 = s.q22;
    if (std::fabs(s.t.re) >= kCouplingLimit) {
        v.angle = s.t.re > 0.0 ? 45.0 : -45.0;
        v.along = radius_from(s.q11.re);
        v.across = radius_from(s.q22.re);
    } else {
        principal_values(s, p1, p2);
        const Complex diff = s.q22 - s.q11;
        const double a = diff.re;
        const double b = -(s.t * diff).re;
        const double rho = (s.q11 + s.q22).re;
        if (std::fabs(a) < kSingular && std::fabs(b) > kSingular) {
            const double f = b >= 0.0 ? -1.0 : 1.0;
            v.angle = b >= 0.0 ? -45.0 : 45.0;
            const double e = f * diff.im * s.t.im;
            v.along = radius_from((rho - e) / 2.0);
            v.across = radius_from((rho + e) / 2.0);
        } else {
            const double r = std::fabs(b) <= kSingular ? 0.0 : b / a;
            v.angle = 90.0 / kPi * std::atan(r);
            const double g = -std::sqrt(r * r + 1.0) * a;
            v.along = radius_from((rho + g) / 2.0);
            v.across = radius_from((rho - g) / 2.0);
        }
    }
    s.delta = p2 - p1;
    if (std::fabs(s.t.im) >= 0.01) {
        v.waist1 = v.waist2 = -1.0;
        return v;
    }
    const auto waist = [&](Complex p, double& w, double& d) {
        const double r = p.re, m = -p.im;
        const double sum = r * r + m * m;
        const double K = sum > 0.0 ? 1.0 / sum : 0.0;
        w = K * m < 0.0 ? 0.0 : std::sqrt(lambda_n * K * m / kPi);
        d = -K * r;
    };
    waist(p1, v.waist1, v.distance1);
    waist(p2, v.waist2, v.distance2);
    return v;
}

namespace {

// What a beam listing was asked for, in lens units.
struct BeamRequest {
    bool waist_lines = false;
    int first = 0, last = 0;
    double wx = 0, wy = 0, rx = 0, ry = 0, angle = 0;
    int wavelength = 0;
    double lambda = 0;   // micrometres
    double lambda0 = 0;  // in vacuum, lens units, times the beam quality
};

// The reference ray of the current object point set up at the object, as the beam's base ray.
int set_up_base_ray(RayRecord& base, int w) {
    base = reference_ray().ray;
    base.kind = kRayGaussian;
    base.wavelength = w;
    base.pup_x = base.pup_y = 0.0;
    setup_ray_at_object(base, nullptr);
    return base.failure;
}

// The nine rays: the base ray and its neighbours moved along the beam's two axes square to the
// base ray and turned about them, each both ways. Off the axis the planes of the lens are
// oblique to the beam: steps taken in them would shorten the meridional section of the beam by
// the cosine of the field angle and give it a beam that was not asked for. chief (when not
// null): the base ray's start on the plane of surface 1 and its direction, taken in place of
// those of the reference ray. The steps are those of the differences.
int make_nine_rays(RayRecord (&rays)[kRays], int w, const RayRecord* chief, double (&steps)[4]) {
    LensData& lens = lens_data();
    RayRecord& base = rays[kBase];
    if (const int rc = set_up_base_ray(base, w); rc != 0) return rc;
    if (chief != nullptr) {
        // A set-up that starts at the object point itself (the angle modes) is slid along the
        // ray onto that plane.
        const double onto = chief->z != 0.0 && chief->m != 0.0 ? -chief->z / chief->m : 0.0;
        base.x = chief->x + onto * chief->k;
        base.y = chief->y + onto * chief->l;
        base.z = 0.0;
        base.k = chief->k;
        base.l = chief->l;
        base.m = chief->m;
    }
    const double n_obj = std::fabs(medium_index(0, w));
    const double dp = (std::fabs(lens.entrance_beam_radius) * 1e-6 + 1.0) - 1.0;
    const double du = (kDirectionStep * n_obj + 1.0) - 1.0;
    steps[0] = steps[1] = dp;
    steps[2] = steps[3] = du;
    const double d[3] = {base.k, base.l, base.m};
    double axes[2][3];
    beam_axes(d, axes[0], axes[1]);
    // The set-up leaves the rays on the plane of the first surface, the object point a reduced
    // distance 1 / h in front: a turned ray is moved along that plane to where it crosses it,
    // and a moved one slides along its direction back onto that plane.
    const double h = trace_globals().reciprocal_object_distance;
    const double object_distance = h != 0.0 ? 1.0 / h : 0.0;
    for (int j = 0; j < 4; ++j) {
        const double* e = axes[j % 2];
        for (int sign = 0; sign < 2; ++sign) {
            RayRecord& r = rays[sign == 0 ? 1 + j : 5 + j];
            r = base;
            const double step = sign == 0 ? 1.0 : -1.0;
            if (j < 2) {
                double p[3] = {step * dp * e[0], step * dp * e[1], step * dp * e[2]};
                const double slide = base.m != 0.0 ? -p[2] / base.m : 0.0;
                for (int i = 0; i < 3; ++i) p[i] += slide * d[i];
                r.x += p[0];
                r.y += p[1];
                continue;
            }
            double k = d[0] + step * kDirectionStep * e[0];
            double l = d[1] + step * kDirectionStep * e[1];
            double m = d[2] + step * kDirectionStep * e[2];
            const double norm = std::sqrt(k * k + l * l + m * m);
            r.k = k / norm;
            r.l = l / norm;
            r.m = m / norm;
            if (object_distance != 0.0 && r.m != 0.0 && base.m != 0.0) {
                r.x += object_distance * (r.k / r.m - base.k / base.m);
                r.y += object_distance * (r.l / r.m - base.l / base.m);
            }
        }
    }
    return 0;
}

// The beam at the object plane; for an infinite object it was given at surface 1 and is taken
// back along the base ray. The object row is listed when the range starts at 0.
BeamState object_beam(const BeamRequest& q, const RayRecord& base, bool infinite, double a) {
    double bx_w = q.wx, bx_r = q.rx, by_w = q.wy, by_r = q.ry;
    if (infinite) {
        RayRecord probe = base;
        trace_to_next_surface(probe);
        // The set-up leaves the base ray on the plane of surface 1; its point on the object
        // surface lies the object distance back along it (off the axis not straight behind).
        const double h = trace_globals().reciprocal_object_distance;
        const double back_z = h != 0.0 && base.m != 0.0 ? 1.0 / (h * base.m) : 0.0;
        double p0[3], p1[3];
        frame_xyz_to_global(base.x - back_z * base.k, base.y - back_z * base.l, 0.0, 0, p0);
        frame_xyz_to_global(probe.x, probe.y, probe.z, 1, p1);
        const double s =
            std::sqrt((p1[0] - p0[0]) * (p1[0] - p0[0]) + (p1[1] - p0[1]) * (p1[1] - p0[1]) +
                      (p1[2] - p0[2]) * (p1[2] - p0[2]));
        const auto back = [&](double& spot, double& radius) {
            double w0, z;
            axis_waist(spot, radius, a, w0, z);
            const BeamValues v = beam_at_plane(w0, z + s, a * kPi);
            spot = v.spot;
            radius = v.radius;
        };
        back(bx_w, bx_r);
        back(by_w, by_r);
    }
    if (q.first == 0) {
        if (infinite) {
            print_msg(kMsgBeamInfiniteObject);
            text_spaces(2);
        } else {
            text_printf("%3d   ", 0);
        }
        print_number_cell(bx_w);
        print_number_cell(by_w);
        print_number_cell(q.angle);
        print_number_cell(bx_r);
        print_number_cell(by_r);
        print_number_cell_eol(q.angle);
        if (q.waist_lines) {
            double w0x, zx, w0y, zy;
            axis_waist(bx_w, bx_r, a, w0x, zx);
            axis_waist(by_w, by_r, a, w0y, zy);
            text_spaces(6);
            print_number_cell(w0x);
            print_number_cell(w0y);
            text_spaces(12);
            print_number_cell(zx);
            print_number_cell_eol(zy);
        }
    }
    return object_beam_state(bx_w, by_w, bx_r, by_r, q.angle, a);
}

// The incident and refracted beams at one surface, listed when the surface is in the range.
struct SurfaceBeams {
    bool incident_ok = false, refracted_ok = false;
    IncidentView incident;
    RefractedView refracted;
};

void list_surface_beams(const BeamRequest& q, int shown_surface, bool blank_before,
                        const SurfaceBeams& b) {
    if (blank_before) text_newline();
    text_printf("%3d   ", shown_surface);
    if (b.incident_ok) {
        print_number_cell(b.incident.across);
        print_number_cell(b.incident.along);
        print_angle_cell(b.incident.angle);
    } else {
        print_msg(kMsgBeamNoBeam);
    }
    if (b.refracted_ok) {
        print_number_cell(b.refracted.across);
        print_number_cell(b.refracted.along);
        print_angle_cell(b.refracted.angle);
    } else {
        text_spaces(1);
        print_msg(kMsgBeamNoBeam);
    }
    text_newline();
    if (!q.waist_lines || !b.refracted_ok) return;
    const RefractedView& rv = b.refracted;
    if (rv.waist1 <= -1.0 || rv.waist2 <= -1.0) {
        print_msg(kMsgAstigmaticTwisted);
        text_newline();
    } else {
        text_spaces(6);
        print_number_cell(rv.waist2);
        print_number_cell(rv.waist1);
        text_spaces(12);
        print_number_cell(rv.distance2);
        print_number_cell_eol(rv.distance1);
    }
}

// Carries the nine rays surface by surface to the image, the beam before and after each
// surface from their differences, and lists the surfaces in the range. A failing ray ends the
// listing with its failure.
void trace_beam_surfaces(const BeamRequest& q, RayRecord (&rays)[kRays], const double (&steps)[4],
                         const BeamState& object, GeneralWork& work) {
    const int image = lens_data().image_surface;
    const int w = q.wavelength;
    RayRecord& base = rays[kBase];
    StateTrack incident, refracted;
    incident.last = refracted.last = object;
    double before[kRays][3];
    while (base.surface < image) {
        const int from = base.surface;
        for (int r = 0; r < kRays; ++r) {
            before[r][0] = rays[r].k;
            before[r][1] = rays[r].l;
            before[r][2] = rays[r].m;
            trace_to_next_surface(rays[r]);
        }
        if (base.failure != 0) {
            print_msg(base.failure, base.surface);
            text_newline();
            return;
        }
        bool failed = false;
        for (int r = 1; r < kRays; ++r) failed = failed || rays[r].failure != 0;
        if (failed) {
            const char* names[kRays] = {"Base %d\n", "X %d\n",  "Y %d\n",  "U %d\n", "V %d\n",
                                        "MX %d\n",   "MY %d\n", "MU %d\n", "MV %d\n"};
            for (int r = 0; r < kRays; ++r) text_printf(names[r], rays[r].failure);
            return;
        }
        const int j = base.surface;
        const double n = base.medium != nullptr ? std::fabs(base.medium[w]) : 1.0;
        const double lambda_n = q.lambda0 / n;
        double dir_in[kRays][3], dir_out[kRays][3];
        for (int r = 0; r < kRays; ++r) {
            turn_direction(before[r], from, j, dir_in[r]);
            dir_out[r][0] = rays[r].k;
            dir_out[r][1] = rays[r].l;
            dir_out[r][2] = rays[r].m;
        }
        const auto carry = [&](StateTrack& track, const RayMatrix4& m, BeamState& out) {
            int rc = closed_form(m, object, true, n, out);
            if (rc == 1) {
                rc = general_case(work, m, track.saved, track.last, track.last_is_object, n, out);
            }
            track.saved = m;
            if (rc == 0) {
                track.last = out;
                track.last_is_object = false;
            }
            return rc;
        };
        SurfaceBeams b;
        BeamState in_state, out_state;
        b.incident_ok = carry(incident, difference_matrix(rays, dir_in, n, steps), in_state) == 0;
        if (b.incident_ok) b.incident = incident_extraction(in_state, lambda_n);
        b.refracted_ok =
            carry(refracted, difference_matrix(rays, dir_out, n, steps), out_state) == 0;
        if (b.refracted_ok) b.refracted = refracted_extraction(out_state, lambda_n);

        const int shown_surface = j + (base.group_offset >= 1 ? base.group_offset : 0);
        if (shown_surface >= q.first && shown_surface <= q.last && base.grin_state <= 0) {
            const bool blank_before =
                base.medium != nullptr && base.medium[w] == 1.0 &&
                (surface(j).group_kind == 0 || surface(j).group_role == kRoleFirst);
            list_surface_beams(q, shown_surface, blank_before, b);
        }
    }
}

}  // namespace

int cmd_real_ray_gaussian_beam() {
    BeamRequest q;
    q.waist_lines = arg_int(0) != 0;
    const bool all_surfaces = arg_int(1) != 0;
    q.wx = arg_double(2);
    if (std::fabs(q.wx) < kZero) return kMsgBeamZeroSpot;
    q.wy = arg_double(3);
    if (std::fabs(q.wy) < kZero) q.wy = q.wx;
    q.rx = arg_double(4);
    q.ry = arg_double(5);
    q.angle = arg_double(6);
    q.first = arg_int(7);
    q.last = arg_int(8);
    const double m2 = std::max(arg_double(9), 1.0);

    LensData& lens = lens_data();
    const int image = lens.image_surface;
    if (all_surfaces) {
        q.first = 0;
        q.last = image;
    } else if (q.first == 0 && q.last == 0) {
        q.first = q.last = image;
    }
    if (q.last < q.first) q.last = q.first;

    q.wavelength = lens.current_wavelength;
    q.lambda = lens.wavelengths[q.wavelength].wavelength;
    const double units = lens.units != 0.0 ? lens.units : 1.0;
    q.lambda0 = q.lambda * 0.001 * m2 / units;

    print_msg(kMsgAstigmaticTitle);
    print_msg(kMsgBeamTableWavelength);
    text_number(q.lambda);
    print_msg(kMsgAstigmaticQuality);
    text_number(m2);
    text_newline();
    warn_multiple_configurations();
    print_msg(kMsgAstigmaticColumns);
    text_newline();
    if (q.waist_lines) {
        print_msg(kMsgAstigmaticWaistColumns);
        text_newline();
    }
    GeneralWork work;
    if (!work.ok()) return kMsgOutOfMemory;

    const bool infinite = std::fabs(surface(0).thickness) > kFiniteObject;
    std::unique_ptr<FiniteStandIn> stand_in;
    RayRecord chief;
    if (infinite) {
        // The stand-in object takes its height from the field angle and its own distance, not
        // from the distance of the entrance pupil: its chief ray would cross the field at another
        // angle. The beam follows the chief ray of the object at infinity.
        if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
            if (const int rc = set_object_point(); rc != 0) return rc;
        }
        if (const int rc = set_up_base_ray(chief, q.wavelength); rc != 0) return rc;
        stand_in = std::make_unique<FiniteStandIn>();
        if (const int rc = lens_setup(0); rc != 0) return rc;
        if (const int rc = set_object_point(); rc != 0) return rc;
    } else if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
        if (const int rc = set_object_point(); rc != 0) return rc;
    }
    build_surface_frames(0);

    RayRecord rays[kRays];
    double steps[4];
    if (const int rc = make_nine_rays(rays, q.wavelength, infinite ? &chief : nullptr, steps);
        rc != 0)
        return rc;
    const double n_obj = std::fabs(medium_index(0, q.wavelength));
    const double a = q.lambda0 / (n_obj * kPi);
    BeamState object = object_beam(q, rays[kBase], infinite, a);
    object.index = n_obj;
    trace_beam_surfaces(q, rays, steps, object, work);
    return 0;
}
