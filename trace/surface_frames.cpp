#include "trace/surface_frames.h"

#include <algorithm>
#include <cmath>

#include "lens/lens_data.h"

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kRadiansToDegrees = 57.29577951308232;
// Matrix elements and direction components below this count as zero.
constexpr double kRotationZero = 1e-10;
constexpr int kAngleDigits = 10;
constexpr int kDefaultViewVertical = 30;
constexpr int kDefaultViewHorizontal = 240;

DrawingViews g_views{};

double& r_at(SurfaceFrame& f, int i, int j) {
    return f.m[4 * i + j];
}
double r_of(const SurfaceFrame& f, int i, int j) {
    return f.m[4 * i + j];
}
double& t_at(SurfaceFrame& f, int i) {
    return f.m[4 * i + 3];
}
double t_of(const SurfaceFrame& f, int i) {
    return f.m[4 * i + 3];
}

// The frame rotation of a decentre record's tilt: the transpose of the record's rotation (kind
// 1: its y-z block only); the identity for kind 0. No offset.
void tilt_frame(const DecentreRecord& d, SurfaceFrame& out) {
    set_identity_frame(out);
    if (d.rotation_kind == 0) return;
    const int from = d.rotation_kind == 1 ? 1 : 0;
    for (int i = from; i < 3; ++i) {
        for (int j = from; j < 3; ++j) r_at(out, i, j) = d.rotation[3 * j + i];
    }
}

// The local placement of a surface from its decentre record: the tilt's rotation, with the
// offsets before it (order word > 0) or after it (< 0).
void local_frame(const SurfaceRecord& s, double dz, SurfaceFrame& out) {
    const DecentreRecord* d = s.decentre;
    if (d == nullptr) {
        set_identity_frame(out);
        t_at(out, 2) = dz;
        return;
    }
    tilt_frame(*d, out);
    if (d->tilt_mode > 0) {
        t_at(out, 0) = d->dcx;
        t_at(out, 1) = d->dcy;
        t_at(out, 2) = dz + d->dcz;
    } else if (d->tilt_mode < 0) {
        const double v[3] = {d->dcx, d->dcy, d->dcz};
        for (int i = 0; i < 3; ++i) {
            t_at(out, i) = r_of(out, i, 0) * v[0] + r_of(out, i, 1) * v[1] + r_of(out, i, 2) * v[2];
        }
        t_at(out, 2) += dz;
    } else {
        t_at(out, 2) = dz;
    }
}

void rx(double a, double m[9]) {
    const double c = std::cos(a), s = std::sin(a);
    const double r[9] = {1, 0, 0, 0, c, -s, 0, s, c};
    std::copy(r, r + 9, m);
}
void ry(double a, double m[9]) {
    const double c = std::cos(a), s = std::sin(a);
    const double r[9] = {c, 0, s, 0, 1, 0, -s, 0, c};
    std::copy(r, r + 9, m);
}
void rz(double a, double m[9]) {
    const double c = std::cos(a), s = std::sin(a);
    const double r[9] = {c, -s, 0, s, c, 0, 0, 0, 1};
    std::copy(r, r + 9, m);
}
void mat3_product(const double a[9], const double b[9], double out[9]) {
    double r[9];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r[3 * i + j] = a[3 * i] * b[j] + a[3 * i + 1] * b[3 + j] + a[3 * i + 2] * b[6 + j];
        }
    }
    std::copy(r, r + 9, out);
}

double round_significant(double v, int digits) {
    const double mag = std::floor(std::log10(std::fabs(v)));
    const double scale = std::pow(10.0, digits - 1 - mag);
    return std::round(v * scale) / scale;
}

bool valid_surface(int j, int below) {
    return j >= 0 && j < below;
}

}  // namespace

DrawingViews& drawing_views() {
    return g_views;
}

void set_identity_frame(SurfaceFrame& f) {
    for (double& v : f.m) v = 0.0;
    r_at(f, 0, 0) = r_at(f, 1, 1) = r_at(f, 2, 2) = 1.0;
}

std::uint8_t frame_is_rotated(const SurfaceFrame& f) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const double v = r_of(f, i, j);
            if (i == j ? !(v > 0.0) : !(std::fabs(v) < kRotationZero)) return 1;
        }
    }
    return 0;
}

void local_frame_from_decentre(int n, double dz) {
    SurfaceRecord& s = surface(n);
    local_frame(s, dz, s.frame);
}

void advance_frame(double dz, const SurfaceFrame& a, SurfaceFrame& out) {
    SurfaceFrame r = a;
    for (int i = 0; i < 3; ++i) t_at(r, i) += dz * r_of(a, i, 2);
    out = r;
}

void compose_frames(const SurfaceFrame& a, const SurfaceFrame& b, SurfaceFrame& out) {
    SurfaceFrame r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r_at(r, i, j) = r_of(a, i, 0) * r_of(b, 0, j) + r_of(a, i, 1) * r_of(b, 1, j) +
                            r_of(a, i, 2) * r_of(b, 2, j);
        }
        t_at(r, i) = r_of(a, i, 0) * t_of(b, 0) + r_of(a, i, 1) * t_of(b, 1) +
                     r_of(a, i, 2) * t_of(b, 2) + t_of(a, i);
    }
    out = r;
}

void compose_frame_into(const SurfaceFrame& a, SurfaceFrame& b) {
    compose_frames(a, b, b);
}

void relative_frame(const SurfaceFrame& a, const SurfaceFrame& b, SurfaceFrame& out) {
    SurfaceFrame r;
    double d[3];
    for (int i = 0; i < 3; ++i) d[i] = t_of(b, i) - t_of(a, i);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r_at(r, i, j) = r_of(a, 0, i) * r_of(b, 0, j) + r_of(a, 1, i) * r_of(b, 1, j) +
                            r_of(a, 2, i) * r_of(b, 2, j);
        }
        t_at(r, i) = r_of(a, 0, i) * d[0] + r_of(a, 1, i) * d[1] + r_of(a, 2, i) * d[2];
    }
    out = r;
}

void store_relative_frame(DecentreRecord& record, const SurfaceFrame& a, const SurfaceFrame& b) {
    SurfaceFrame x;
    relative_frame(a, b, x);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) record.rotation[3 * i + j] = r_of(x, j, i);
    }
    record.dcx = t_of(x, 0);
    record.dcy = t_of(x, 1);
    record.dcz = t_of(x, 2);
    record.tilt_mode = 1;
    auto big = [](double v) { return std::fabs(v) >= kRotationZero; };
    if (big(r_of(x, 0, 1)) || big(r_of(x, 0, 2)) || big(r_of(x, 1, 0)) || big(r_of(x, 2, 0)) ||
        r_of(x, 0, 0) <= 0.0) {
        record.rotation_kind = 2;
    } else if (!big(r_of(x, 1, 2)) && !big(r_of(x, 2, 1)) && r_of(x, 1, 1) > 0.0 &&
               r_of(x, 2, 2) > 0.0) {
        record.rotation_kind = 0;
    } else {
        record.rotation_kind = 1;
    }
}

void mat3_times_vector(const double v[3], const double m[9], double out[3]) {
    const double r0 = m[0] * v[0] + m[1] * v[1] + m[2] * v[2];
    const double r1 = m[3] * v[0] + m[4] * v[1] + m[5] * v[2];
    const double r2 = m[6] * v[0] + m[7] * v[1] + m[8] * v[2];
    out[0] = r0;
    out[1] = r1;
    out[2] = r2;
}

void frame_point_to_global(const double p[3], int n, double out[3]) {
    const SurfaceRecord& s = surface(n);
    const SurfaceFrame& f = s.frame;
    double r[3] = {p[0], p[1], p[2]};
    if (s.frame_rotated) {
        for (int i = 0; i < 3; ++i) {
            r[i] = r_of(f, i, 0) * p[0] + r_of(f, i, 1) * p[1] + r_of(f, i, 2) * p[2];
        }
    }
    for (int i = 0; i < 3; ++i) out[i] = r[i] + t_of(f, i);
}

void frame_xyz_to_global(double x, double y, double z, int n, double out[3]) {
    const double p[3] = {x, y, z};
    frame_point_to_global(p, n, out);
}

void frame_point_between_surfaces(double p[3], int from, int to, int add_offset) {
    if (from < 1 || from > lens_data().image_surface) return;
    const SurfaceRecord& sf = surface(from);
    SurfaceFrame x;
    bool rotate = true;
    if (to < 2) {
        x = sf.frame;
        rotate = sf.frame_rotated != 0;
    } else {
        relative_frame(surface(to).frame, sf.frame, x);
    }
    double r[3] = {p[0], p[1], p[2]};
    if (rotate) {
        for (int i = 0; i < 3; ++i) {
            r[i] = r_of(x, i, 0) * p[0] + r_of(x, i, 1) * p[1] + r_of(x, i, 2) * p[2];
        }
    }
    for (int i = 0; i < 3; ++i) p[i] = r[i] + (add_offset != 0 ? t_of(x, i) : 0.0);
}

int tilt_matrix_from_angles(double a, double b, double& c, double m[9], int order) {
    if (order == 0) c = 0.0;
    if (b == 0.0 && c == 0.0) {
        if (a == 0.0) return 0;
        const double ar = a * kDegreesToRadians;
        m[4] = std::cos(ar);
        m[5] = -std::sin(ar);
        m[7] = std::sin(ar);
        m[8] = std::cos(ar);
        return 1;
    }
    const double ar = a * kDegreesToRadians, br = b * kDegreesToRadians;
    if (order == 0) {
        if (a == 0.0) {
            c = 0.0;
        } else {
            const double ca = std::cos(ar), cb = std::cos(br);
            const double den = 1.0 + ca * cb;
            c = std::fabs(den) < 1e-40
                    ? 0.0
                    : angle_from_sin_cos(-std::sin(ar) * std::sin(br) / den, (cb + ca) / den);
        }
    }
    const double cr = c * kDegreesToRadians;
    double mx[9], my[9], mz[9];
    rx(ar, mx);
    ry(br, my);
    rz(-cr, mz);
    if (order >= 0) {
        mat3_product(my, mx, m);
        mat3_product(mz, m, m);
    } else {
        mat3_product(my, mz, m);
        mat3_product(mx, m, m);
    }
    return 2;
}

double angle_from_sin_cos(double s, double c) {
    const double as = std::fabs(s), ac = std::fabs(c);
    double r = as <= ac ? std::asin(std::min(as, 1.0)) * kRadiansToDegrees
                        : 90.0 - std::asin(std::min(ac, 1.0)) * kRadiansToDegrees;
    if (c < 0.0) r = 180.0 - r;
    if (s < 0.0) r = -r;
    if (std::fabs(r) < kRotationZero) return 0.0;
    return round_significant(r, kAngleDigits);
}

void tilt_angles_from_direction(double x, double y, double z, double& a, double& b) {
    if (std::fabs(x) < kRotationZero) x = 0.0;
    if (std::fabs(y) < kRotationZero) y = 0.0;
    if (std::fabs(z) < kRotationZero) z = 0.0;
    a = b = 0.0;
    if (x != 0.0) {
        if (y == 0.0 && z == 0.0) {
            b = x < 0.0 ? 90.0 : -90.0;
            return;
        }
        const double d = std::sqrt(y * y + z * z);
        a = angle_from_sin_cos(y / d, z / d);
        b = angle_from_sin_cos(-x, d);
    } else if (y != 0.0) {
        a = angle_from_sin_cos(y, z);
    }
}

void view_rotation_from_angles(int which) {
    int a1, a2;
    double* out;
    if (which == 1) {
        const DrawingConditions* dc = lens_data().drawing_conditions;
        a1 = dc != nullptr ? dc->view_angle1 : kDefaultViewVertical;
        a2 = dc != nullptr ? dc->view_angle2 : kDefaultViewHorizontal;
        out = g_views.lens_view;
    } else {
        a1 = g_views.other_angles[0];
        a2 = g_views.other_angles[1];
        out = g_views.other_view;
    }
    auto tidy = [](double v) { return std::fabs(v) < kRotationZero ? 0.0 : v; };
    const double r1 = (a1 % 360) * kDegreesToRadians, r2 = (a2 % 360) * kDegreesToRadians;
    const double s1 = tidy(std::sin(r1)), c1 = tidy(std::cos(r1));
    const double s2 = tidy(std::sin(r2)), c2 = tidy(std::cos(r2));
    const double v[9] = {c2, 0.0, -s2, -s2 * s1, c1, -c2 * s1, s2 * c1, s1, c2 * c1};
    std::copy(v, v + 9, out);
}

void build_surface_frames(int last) {
    LensData& lens = lens_data();
    if (last == 0 && lens.frames_valid) return;
    SurfaceRecord* s = surface_array();
    const int image = lens.image_surface;
    set_identity_frame(s[0].frame);
    s[0].frame_rotated = 0;
    const int n = last >= 1 ? std::min(last, image) : image;
    const bool rewrite = last >= 1;

    SurfaceFrame c;  // the frame the next surface's placement is measured in
    set_identity_frame(c);
    double dz = 0.0;
    bool first_done = false;
    bool in_group = false;
    bool reached_image = false;
    for (int i = 1; i <= n; ++i) {
        const int link = s[i].skip_to;
        if (link > i) {
            if (link > n) break;
            i = link;
        }
        SurfaceRecord& si = s[i];
        // The image plane lies the image surface's own thickness further, except in an
        // afocal lens, as the trace places it.
        if (i == image && !lens.afocal) dz += si.thickness;
        SurfaceFrame f;
        const DecentreRecord* rco = si.return_coordinates;
        const bool group_member = in_group && si.group_role == kRoleInner;
        if (group_member) {
            // Members of a non-sequential group are placed from the group start's frame.
            SurfaceFrame local;
            local_frame(si, 0.0, local);
            compose_frames(c, local, f);
            si.frame = f;
        } else if (!first_done) {
            local_frame(si, 0.0, f);
            si.frame = f;
            if (rco != nullptr) {
                c = s[0].frame;
            } else {
                c = f;
            }
        } else {
            // A "GC" record counts only with the decentre it refers to, as the trace reads it.
            DecentreRecord* gc = si.decentre != nullptr ? si.decentre_reference : nullptr;
            const int gc_j = gc != nullptr ? gc->pickup_source : -1;
            if (gc != nullptr && !valid_surface(gc_j, i)) gc = nullptr;
            const int rco_j = rco != nullptr ? rco->pickup_source : -1;
            SurfaceFrame t;
            if (gc != nullptr || (rco != nullptr && rco_j == i)) advance_frame(dz, c, t);
            if (gc != nullptr) {
                dz = 0.0;
                c = s[gc_j].frame;
                if (rewrite) store_relative_frame(*gc, c, t);
            }
            SurfaceFrame local;
            local_frame(si, dz, local);
            compose_frames(c, local, f);
            si.frame = f;
            if (rco != nullptr) {
                if (rco_j == i && gc == nullptr) {
                    c = t;
                } else {
                    const int j = rco_j == i ? gc_j : rco_j;
                    c = valid_surface(j, i) ? s[j].frame : f;
                }
                if (rewrite) store_relative_frame(*si.return_coordinates, c, f);
            } else {
                c = f;
            }
        }
        first_done = true;
        if (!group_member && si.bend && rco == nullptr && si.decentre != nullptr &&
            si.decentre->rotation_kind != 0) {
            SurfaceFrame tilt;
            tilt_frame(*si.decentre, tilt);
            compose_frames(f, tilt, c);
        }
        dz = si.thickness;
        if (si.group_kind == kGroupNonSequential && si.group_role == kRoleFirst) {
            in_group = true;
        } else if (si.group_role != kRoleInner) {
            in_group = false;
        }
        si.frame_rotated = frame_is_rotated(si.frame);
        if (i == image) reached_image = true;
    }
    if (reached_image) {
        local_frame(s[0], -s[0].thickness, s[0].frame);
        s[0].frame_rotated = frame_is_rotated(s[0].frame);
        lens.frames_valid = 1;
    } else {
        lens.frames_valid = 0;
    }
}
