// Mirrors for the spot-diagram tests: the store allocated, the derived-ray seams installed, and
// the pupil grid worked out from its definition for the expected values.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "tests/trace/lens_setup/lens_setup_fixture.h"
#include "trace/derived_rays.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"
#include "trace/trace_seams.h"

namespace lens_setup_test {

// The pupil points of the square grid for d divisions, worked out here from the lattice's
// definition: odd multiples of the half step s = round(16200/d) in units of 1/16200, 2h+2 of
// them in a row (h = trunc((d-1)/2)), kept when inside the unit circle.
inline std::vector<std::pair<double, double>> grid_points(double d, bool half) {
    const int s = static_cast<int>(std::floor(16200.0 / d + 0.5));
    const int h = static_cast<int>((d - 1.0) * 0.5);
    std::vector<std::pair<double, double>> points;
    for (int i = -(2 * h + 1); i <= 2 * h + 1; i += 2) {
        for (int j = -(2 * h + 1); j <= 2 * h + 1; j += 2) {
            if (half && j < 0) continue;
            const double x = j * s / 16200.0;
            const double y = i * s / 16200.0;
            if (x * x + y * y <= 1.0) points.push_back({x, y});
        }
    }
    return points;
}

class SpotDiagramTest : public LensSetupTest {
protected:
    void SetUp() override {
        LensSetupTest::SetUp();
        saved_seams_ = trace_seams();
        install_derived_rays();
        reset_pupil_scale_factors();
        ASSERT_EQ(alloc_spot_storage(), 0);
    }
    void TearDown() override {
        free_spot_storage();
        trace_seams() = saved_seams_;
        LensSetupTest::TearDown();
    }

    // A concave mirror of radius R (conic cc) with the object at infinity, beam radius h, and
    // the image surface's thickness moved by delta from the paraxial focus f = R/2 (the
    // reflected light travels towards -z, so a positive delta puts the image before the focus).
    void mirror(double R, double cc, double h, double delta) {
        make_lens(kInfiniteDistance, {{-1.0 / R, -R / 2.0 + delta, 1.0}}, 1);
        ASSERT_EQ(set_surface_medium(1, kMediumMirror, "MIRROR", 0), 0);
        surface(1).conic = cc;
        aperture_by_radius(h);
        field_by_angle(0.0);
        ASSERT_EQ(lens_setup(0), 0);
        SpotSettings& s = *lens_data().spot_settings;
        s.polychromatic = 0;
        s.apodisation_on = 0;
    }

    static double lattice_max_radius(double d) {
        double best = 0.0;
        for (const auto& [x, y] : grid_points(d, false)) best = std::max(best, std::hypot(x, y));
        return best;
    }

private:
    TraceSeams saved_seams_;
};

}  // namespace lens_setup_test
