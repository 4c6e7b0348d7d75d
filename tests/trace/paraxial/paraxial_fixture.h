// A lens for the paraxial tests: settings, lens arrays and a new lens; indices given per
// surface from the test's own arrays (slot 0 d, 1 F, 2 C); a message table with the listing
// texts and a console whose finished text lines are kept; and a small paraxial set-up that
// fills what the lens set-up keeps for the paraxial trace (vertex positions, start heights,
// entrance pupil, final image-space slopes). The set-up is the test's own: plain spheres only,
// chief ray moved to the stop centre by linearity.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/message_table.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tests/support/built_tables.h"
#include "tests/support/lens_arrays.h"
#include "trace/paraxial_trace.h"

namespace paraxial_test {

struct Medium {
    double n[10];
};
inline constexpr Medium kAir{{1.0, 1.0, 1.0}};

// One surface of a test lens: curvature, thickness behind it, medium behind it.
struct TestSurface {
    double curvature;
    double thickness;
    Medium medium;
};

inline std::vector<OutputLine> captured;
inline void keep_line(const OutputLine& line) {
    captured.push_back(line);
}

// The set-up the scaling commands run in these tests.
inline int setup_calls = 0;
inline int setup_result = 0;

inline double index_at(int j, int w) {
    return surface(j).index[w];
}

// Fills the lens data the paraxial trace reads, from the curvatures, thicknesses, indices and
// the aperture and field of the lens (wavelength slot 0).
inline int test_lens_setup(int) {
    ++setup_calls;
    LensData& l = lens_data();
    const int image = l.image_surface;
    double t0 = surface(0).thickness;
    if (std::fabs(t0) < 1e-20) t0 = 1e-20;
    const double n0 = index_at(0, 0);
    double u;
    if (l.aperture_is_na != 0) {
        double s = std::fabs(l.object_na) / n0;
        u = s / std::sqrt(1 - s * s);
        l.entrance_beam_radius = std::fabs(u * t0);
    } else {
        u = std::fabs(l.entrance_beam_radius) / t0;
        l.object_na = std::fabs(std::sin(std::atan(u)) * n0);
    }
    double t;
    if (l.field_is_angle != 0) {
        t = std::tan(l.field_angle);
        l.object_height = -t * t0;
    } else {
        t = -l.object_height / t0;
        l.field_angle = std::atan(t);
    }
    surface(1).vertex_position = 0;
    for (int j = 1; j < image; ++j) {
        surface(j + 1).vertex_position = surface(j).vertex_position + surface(j).thickness;
    }
    // Axial ray and a chief ray through the first surface's centre.
    double ya = l.entrance_beam_radius, ua = u, yc = 0, uc = t;
    double ya_stop = 0, yc_stop = 0;
    double n_prev = n0;
    for (int j = 1; j < image; ++j) {
        if (j == l.aperture_stop) {
            ya_stop = ya;
            yc_stop = yc;
        }
        const double n = index_at(j, 0);
        const double c = surface(j).curvature;
        // n' u' = n u - (n' - n) c y
        ua = (n_prev * ua - (n - n_prev) * c * ya) / n;
        uc = (n_prev * uc - (n - n_prev) * c * yc) / n;
        const double d = surface(j).thickness + (j == image - 1 ? surface(image).thickness : 0);
        ya += d * ua;
        yc += d * uc;
        n_prev = n;
    }
    if (std::fabs(ya_stop) < 1e-40) return -259;
    const double q = yc_stop / ya_stop;
    l.axial_start_height = l.entrance_beam_radius;
    l.x_axial_start_height = l.entrance_beam_radius;
    l.chief_start_height = -l.entrance_beam_radius * q;
    l.x_chief_start_height = l.chief_start_height;
    const double t_stop = t - u * q;
    l.entrance_pupil_position =
        std::fabs(t_stop) < 1e-40 ? kInfiniteDistance : -l.chief_start_height / t_stop;
    l.image_axial_slope = ua;
    l.image_chief_slope = uc - ua * q;
    surface(0).axial_ray_slope = u;
    surface(0).chief_ray_slope = t_stop;
    return setup_result;
}

class ParaxialTest : public ::testing::Test, protected tavo_test::MessageConsole {
protected:
    std::vector<Medium> media;  // index storage of the lens's surfaces

    // The texts of the listings, the test's own wording.
    static std::vector<MessageText> texts() {
        const std::pair<int, const char*> list[] = {
            {-1610, "PARAXIAL RAY TRACE"},
            {-1612, "THIRD-ORDER ABERRATIONS"},
            {-1615, "SRF      Y           U'          I           YBAR        UBAR'       IBAR"},
            {-1617, "SRF      SA3         CMA3        AST3        PTZ3        DIS3"},
            {-1621, "SUM "},
            {-1623, "PARAXIAL SETUP OF LENS"},
            {-1629, "Surface data cannot be scaled"},
            {-1630, "The scale value must not be zero"},
            {-1631, "SCALE "},
            {-1632, "Scale factor used:"},
            {-1641, "EFL"},
            {-1642, "FNB"},
            {-1643, "GIH"},
            {-1645, "PTZ RADIUS"},
            {-1646, "MAG"},
            {-1726, "NA'"},
            {-1729, "Special data are not modelled in the paraxial values"},
            {-1736, " X-SECTION"},
            {-1738, "APERTURE FACTOR"},
            {-1739, " FIELD FACTOR"},
            {-1760, "SURFACES %d TO %d "},
            {-1761, "LAGRANGE INVARIANT"},
            {-1644, "LAGRANGE"},
            {-1647, "ANGULAR MAG"},
            {-1648, "EXIT PUPIL"},
            {-259, "Zero axial ray height at the stop, surface %d"},
        };
        std::vector<MessageText> t;
        for (const auto& [n, text] : list) t.push_back({n + kMessageSlotBase, 0, text});
        t.push_back({-1628 + kMessageSlotBase, 2, "Marked afocal, output slope not zero"});
        return t;
    }

    void SetUp() override {
        platform::reset_all_state();
        ASSERT_EQ(open_console(texts()), 0);
        set_running_flag(1);
        captured.clear();
        set_output_line_sink(keep_line);

        ASSERT_EQ(tavo_test::open_new_lens(20), 0);
        setup_calls = 0;
        setup_result = 0;
    }

    void TearDown() override {
        tavo_test::close_new_lens();
        platform::reset_all_state();
    }

    // Object distance t0 in object space of medium `object`, then the surfaces; the image
    // surface follows the last one. Stop on surface `stop`.
    void make_lens(double t0, const std::vector<TestSurface>& surfaces, int stop = 1,
                   Medium object = kAir) {
        LensData& l = lens_data();
        const int image = static_cast<int>(surfaces.size()) + 1;
        l.image_surface = image;
        l.aperture_stop = stop;
        l.wavelength_count = 3;
        l.field_is_angle = 0;
        l.aperture_is_na = 0;
        l.current_wavelength = 0;
        media.assign(static_cast<std::size_t>(image) + 1, kAir);
        media[0] = object;
        surface(0).thickness = t0;
        surface(0).curvature = 0;
        for (int j = 1; j <= image; ++j) {
            const TestSurface s = j < image
                                      ? surfaces[static_cast<std::size_t>(j - 1)]
                                      : TestSurface{0, 0, media[static_cast<std::size_t>(j - 1)]};
            surface(j).curvature = s.curvature;
            surface(j).thickness = s.thickness;
            surface(j).shape = s.curvature != 0 ? 1 : 0;
            media[static_cast<std::size_t>(j)] = s.medium;
        }
        for (int j = 0; j <= image; ++j) {
            surface(j).index = media[static_cast<std::size_t>(j)].n;
        }
    }

    std::vector<std::string> lines() const {
        std::vector<std::string> t;
        for (const OutputLine& l : captured) t.push_back(l.text);
        return t;
    }

    static std::string read_fixture(const std::string& name) {
        std::ifstream f(std::string(TAVO_FIXTURES_DIR) + "/paraxial/" + name);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

    std::string output_text() const {
        std::string t;
        for (const OutputLine& l : captured) t += l.text + "\n";
        return t;
    }
};

}  // namespace paraxial_test
