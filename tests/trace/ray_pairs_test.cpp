// Rays traced two at a time give what each gives traced alone, bit for bit, also where the two
// part ways: one vignetted, one totally reflected, one missing a surface, mirrors and conics,
// other wavelengths and kinds in the same set.
#include <gtest/gtest.h>

#include <vector>

#include "lens/lens_data.h"
#include "tests/trace/trace_fixture.h"

namespace trace_test {
namespace {

class RayPairs : public TraceTest {
protected:
    Medium crown_{1.52, 1.53, 1.51};
    Medium flint_{1.72, 1.74, 1.71};

    // The marks the lens set-up leaves on the surfaces.
    static void mark_plain_surfaces() {
        for (int n = 0; n <= lens_data().image_surface; ++n) {
            surface(n).plain_mark = surface_is_plain(surface(n)) ? kPlainSurface : kPlainNotPlain;
        }
    }

    // A cemented doublet and a singlet, apertures on, three wavelengths, object at 100.
    void make_triplet() {
        const double radius[] = {30.0, -25.0, -200.0, 40.0, -60.0};
        const double thick[] = {6.0, 2.0, 8.0, 4.0, 60.0};
        for (int n = 1; n <= 5; ++n) {
            curvature(n, 1.0 / radius[n - 1]);
            thickness(n, thick[n - 1]);
            set_aperture_data(n, 1, 0, 9.0);
            surface(n).aperture_check = 1;
        }
        make_lens(5, 100.0);
        surface(1).index = crown_.data();
        surface(2).index = flint_.data();
        surface(4).index = crown_.data();
        LensData& lens = lens_data();
        lens.wavelength_count = 3;
        lens.object_height = 20.0;
        lens.axial_start_height = 12.0;  // the rim of the pupil is vignetted
        lens.chief_start_height = -3.0;
        lens.epxy = 1;
        mark_plain_surfaces();
    }

    // A parabolic mirror and a flat mirror after it: conic normals and reflections.
    void make_mirrors() {
        curvature(1, -1.0 / 80.0);
        surface(1).conic = -1.0;
        thickness(1, -30.0);
        curvature(2, 0.0);
        thickness(2, 25.0);
        make_lens(2, kInfiniteDistance);
        surface(1).medium_kind = kMediumMirror;
        surface(2).medium_kind = kMediumMirror;
        LensData& lens = lens_data();
        lens.object_height = -0.05 * kInfiniteDistance;
        lens.axial_start_height = 10.0;
        lens.chief_start_height = 0.0;
        mark_plain_surfaces();
    }

    // A glass block whose steep second surface reflects the outer rays totally, and a strongly
    // curved last surface that the widest rays miss.
    void make_block() {
        curvature(1, 0.0);
        thickness(1, 10.0);
        curvature(2, 1.0 / 9.0);
        thickness(2, 3.0);
        curvature(3, -1.0 / 6.5);
        thickness(3, 20.0);
        make_lens(3, 50.0);
        surface(1).index = flint_.data();
        surface(2).index = air_.data();
        LensData& lens = lens_data();
        lens.object_height = 2.0;
        lens.axial_start_height = 8.5;
        lens.chief_start_height = 0.0;
        lens.epxy = 1;
        mark_plain_surfaces();
    }

    // Kinds and wavelengths mixed as an analysis would not, to make the pairs part.
    std::vector<RayRecord> ray_set(bool mixed) {
        std::vector<RayRecord> rays;
        int n = 0;
        for (double oy : {0.0, 0.6, 1.0}) {
            for (int i = -5; i <= 5; ++i) {
                for (int j = -5; j <= 5; ++j) {
                    const int kind = mixed && n % 7 == 3    ? kRayKept
                                     : mixed && n % 11 == 5 ? kRaySphere
                                                            : kRayMeasured;
                    const int slot = mixed && n % 5 == 2 ? 1 : 0;
                    rays.push_back(make_ray(kind, 0.0, oy, i / 5.0, j / 5.0, slot));
                    ++n;
                }
            }
        }
        rays.pop_back();  // an odd count
        return rays;
    }

    void set_reference() {
        RayRecord chief = make_ray(kRayReference, 0.0, 0.6, 0.0, 0.0);
        trace_ray(chief);
        ASSERT_EQ(chief.failure, 0);
        reference_ray().ray = chief;
        reference_ray().sphere_radius = -50.0;
    }

    void expect_pairs_match_single_rays(bool mixed) {
        set_reference();
        std::vector<RayRecord> alone = ray_set(mixed);
        std::vector<RayRecord> paired = alone;
        for (RayRecord& r : alone) trace_ray(r);
        trace_rays(paired.data(), static_cast<int>(paired.size()));
        int failed = 0;
        for (std::size_t i = 0; i < alone.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "ray " << i);
            expect_same_ray(alone[i], paired[i]);
            failed += alone[i].failure != 0;
        }
        // Both ways must occur for the comparison to mean anything.
        EXPECT_GT(failed, 0);
        EXPECT_LT(failed, static_cast<int>(alone.size()));
    }
};

TEST_F(RayPairs, VignettedRaysOfATripletAsAlone) {
    make_triplet();
    expect_pairs_match_single_rays(false);
    expect_pairs_match_single_rays(true);
}

TEST_F(RayPairs, ConicAndFlatMirrorsAsAlone) {
    make_mirrors();
    // The rim of the converging beam misses the flat mirror's aperture.
    set_aperture_data(2, 1, 0, 2.0);
    surface(2).aperture_check = 1;
    expect_pairs_match_single_rays(false);
    expect_pairs_match_single_rays(true);
}

TEST_F(RayPairs, TotalReflectionAndMissesAsAlone) {
    make_block();
    expect_pairs_match_single_rays(true);
    std::vector<RayRecord> rays = ray_set(false);
    std::vector<int> codes;
    for (RayRecord& r : rays) {
        trace_ray(r);
        codes.push_back(r.failure);
    }
    EXPECT_NE(std::find(codes.begin(), codes.end(), kRayFailTotalReflection), codes.end());
    EXPECT_NE(std::find(codes.begin(), codes.end(), kRayFailMissed), codes.end());
}

// Two rays that stay together through every surface, and two that part at the first surface.
TEST_F(RayPairs, PairGoesTogetherUntilTheRaysPartWays) {
    make_triplet();
    const int image = lens_data().image_surface;
    struct Case {
        double py_a, py_b;
        int together;
    } cases[] = {
        {0.1, -0.2, image},  // both pass every surface
        {0.2, 1.0, 0},       // the second is stopped by the aperture of surface 1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "pupil " << c.py_a << ", " << c.py_b);
        RayRecord a = make_ray(kRayMeasured, 0, 0.5, 0, c.py_a);
        RayRecord b = make_ray(kRayMeasured, 0, 0.5, 0, c.py_b);
        RayRecord a_alone = a, b_alone = b;
        setup_ray_at_object(a_alone, nullptr);
        trace_to_surface(a_alone, image);
        setup_ray_at_object(b_alone, nullptr);
        trace_to_surface(b_alone, image);
        setup_ray_at_object(a, nullptr);
        setup_ray_at_object(b, nullptr);
        EXPECT_EQ(trace_pair_to_surface(a, b, image, nullptr, nullptr), c.together);
        expect_same_ray(a_alone, a);
        expect_same_ray(b_alone, b);
    }
}

}  // namespace
}  // namespace trace_test
