// A new lens with the arrays the trace reads, and an independent ray tracer to check against.
//
// The lens update is not run: each test sets what the trace reads (index arrays, medium
// kinds, the paraxial pupil values, decentre rotations) directly or through the setters.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "lens/lens_data.h"
#include "lens/surface_setters.h"
#include "platform/state_reset.h"
#include "tests/support/lens_arrays.h"
#include "trace/ray_record.h"
#include "trace/ray_trace.h"
#include "trace/trace_seams.h"

namespace trace_test {

// Index arrays the tests point surfaces at (the glass cache's part in a set-up lens).
struct Medium {
    std::array<double, 10> n;
    explicit Medium(double n0, double n1 = -1, double n2 = -1) {
        n.fill(n0);
        if (n1 > 0) n[1] = n1;
        if (n2 > 0) n[2] = n2;
    }
    double* data() { return n.data(); }
};

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::reset_all_state();
        ASSERT_EQ(tavo_test::open_new_lens(12), 0);
        saved_seams_ = trace_seams();
    }

    void TearDown() override {
        trace_seams() = saved_seams_;
        for (int n = 0; n <= surface_limit(); ++n) {
            surface(n).index = nullptr;
            // The tests own these records; the lens must not free them.
            surface(n).decentre = nullptr;
            surface(n).special_apertures = nullptr;
            surface(n).special_aperture_count = 0;
            surface(n).asphere = nullptr;
        }
        tavo_test::close_new_lens();
    }

    // Surfaces 1..count between object and image; every medium air.
    void make_lens(int count, double object_distance) {
        lens_data().image_surface = count + 1;
        for (int n = 0; n <= count + 1; ++n) surface(n).index = air_.data();
        set_thickness_data(0, 0, 0, 0, 0.0, 0.0, object_distance);
        double z = 0.0;
        for (int n = 1; n <= count + 1; ++n) {
            surface(n).vertex_position = z;
            z += surface(n).thickness;
        }
    }
    void refresh_vertex_positions() {
        double z = 0.0;
        for (int n = 1; n <= lens_data().image_surface; ++n) {
            surface(n).vertex_position = z;
            z += surface(n).thickness;
        }
    }
    static void curvature(int n, double c) { set_curvature_data(n, 0, 0, 0.0, c); }
    static void thickness(int n, double t) { set_thickness_data(n, 0, 0, 0, 0.0, 0.0, t); }

    static RayRecord make_ray(int kind, double ox, double oy, double px, double py, int slot = 0) {
        RayRecord r{};
        r.kind = static_cast<std::uint8_t>(kind);
        r.obj_x = ox;
        r.obj_y = oy;
        r.pup_x = px;
        r.pup_y = py;
        r.wavelength = slot;
        return r;
    }

    Medium air_{1.0};

private:
    TraceSeams saved_seams_{};
};

// The records of one ray traced alone and traced another way agree bit for bit.
inline bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline void expect_same_ray(const RayRecord& alone, const RayRecord& other) {
    const struct {
        const char* name;
        double RayRecord::*field;
    } fields[] = {
        {"x", &RayRecord::x},           {"y", &RayRecord::y},
        {"z", &RayRecord::z},           {"k", &RayRecord::k},
        {"l", &RayRecord::l},           {"m", &RayRecord::m},
        {"dist", &RayRecord::dist},     {"opl", &RayRecord::opl},
        {"opd", &RayRecord::opd},       {"chrom_opl", &RayRecord::chrom_opl},
        {"dx", &RayRecord::dx},         {"dy", &RayRecord::dy},
        {"dz", &RayRecord::dz},         {"dtan_x", &RayRecord::dtan_x},
        {"dtan_y", &RayRecord::dtan_y}, {"sphere_path", &RayRecord::sphere_path},
        {"nx", &RayRecord::nx},         {"ny", &RayRecord::ny},
        {"nz", &RayRecord::nz},         {"normal_len2", &RayRecord::normal_len2},
        {"cos_i", &RayRecord::cos_i},   {"gamma", &RayRecord::gamma},
    };
    for (const auto& f : fields) {
        EXPECT_TRUE(same_bits(alone.*f.field, other.*f.field))
            << f.name << ": alone " << alone.*f.field << ", other way " << other.*f.field;
    }
    EXPECT_EQ(alone.failure, other.failure);
    EXPECT_EQ(alone.surface, other.surface);
    EXPECT_EQ(alone.reversed, other.reversed);
    EXPECT_EQ(alone.medium, other.medium);
    EXPECT_EQ(alone.prev_medium, other.prev_medium);
}

// An independent tracer in global coordinates: points and unit directions as arrays, surfaces
// given by their vertex position and centre of curvature, refraction by the textbook vector law.
using Vec = std::array<double, 3>;

inline double dot(const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline Vec add(const Vec& a, const Vec& b, double s = 1.0) {
    return {a[0] + s * b[0], a[1] + s * b[1], a[2] + s * b[2]};
}
inline Vec scale(const Vec& a, double s) {
    return {a[0] * s, a[1] * s, a[2] * s};
}
inline Vec unit(const Vec& a) {
    return scale(a, 1.0 / std::sqrt(dot(a, a)));
}

// Distance along d from p to the sphere of radius r (signed: centre at vertex + r on the axis)
// with vertex at z = v, the intersection nearest the vertex.
inline double sphere_distance(const Vec& p, const Vec& d, double v, double r) {
    const Vec c{0.0, 0.0, v + r};
    const Vec pc = add(p, c, -1.0);
    const double b = dot(pc, d);
    const double cc = dot(pc, pc) - r * r;
    const double root = std::sqrt(b * b - cc);
    const double t1 = -b - root, t2 = -b + root;
    const Vec q1 = add(p, d, t1), q2 = add(p, d, t2);
    return std::fabs(q1[2] - v) < std::fabs(q2[2] - v) ? t1 : t2;
}

// Unit normal of that sphere at q, oriented along +z near the vertex.
inline Vec sphere_normal(const Vec& q, double v, double r) {
    const Vec c{0.0, 0.0, v + r};
    Vec n = unit(add(c, q, -1.0));
    if (n[2] < 0.0) n = scale(n, -1.0);
    return n;
}

// Snell's law in vector form: n1 (i x n) = n2 (t x n).
inline Vec refract(const Vec& i, const Vec& n, double n1, double n2) {
    const double mu = n1 / n2;
    double ci = dot(i, n);
    const Vec nn = ci < 0 ? scale(n, -1.0) : n;
    ci = std::fabs(ci);
    const double ct = std::sqrt(1.0 - mu * mu * (1.0 - ci * ci));
    return add(scale(i, mu), nn, ct - mu * ci);
}

inline Vec reflect(const Vec& i, const Vec& n) {
    return add(i, n, -2.0 * dot(i, n));
}

}  // namespace trace_test
