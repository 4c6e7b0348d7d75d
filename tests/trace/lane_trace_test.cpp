// Ray sets traced in lanes give what each ray gives traced alone, bit for bit, on both lane
// paths (four lanes with AVX2 where the processor has it, two with SSE2 forced): on every
// surface kind the lanes take and every kind they hand to the scalar step, for random rays that
// fail at different surfaces in one set.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "lens/lens_data.h"
#include "tests/trace/trace_fixture.h"
#include "trace/lane_trace.h"
#include "trace/special_surfaces.h"

namespace trace_test {
namespace {

// The lens of each case: surfaces 1 to 5 before the image, then what the case puts on them.
enum class Lens {
    kSpheres,           // spheres and a plane, apertures that stop rays at different surfaces
    kConicMirrors,      // a parabolic mirror and a flat one
    kEvenAspheres,      // even aspheres on conic and plane bases
    kSpecialApertures,  // a clear rectangle, an obstruction and an untouched window
    kTotalReflection,   // a steep surface in glass that reflects totally, and one that is missed
    kReflectOnly,       // a surface that only reflects totally: rays that refract there fail
    kToroid,            // a toroid in the middle: the scalar step from there
    kDecentred,         // a decentred sphere
    kGrating,           // a grating
    kPerfectLens,       // a perfect lens
};

struct LensCase {
    const char* name;
    Lens lens;
    int min_failed_surfaces;  // distinct surfaces where rays of the set fail, at least
    double pupil;             // pupil fractions drawn from -pupil to pupil
    std::vector<int> codes;   // failure codes that rays of the set must show
};

// The lenses of the cases, built on the trace fixture's new lens.
class LaneLens : public TraceTest {
protected:
    Medium crown_{1.52, 1.53, 1.51};
    Medium flint_{1.72, 1.74, 1.71};
    AsphereRecord aspheres_[2]{};
    double coefficients_[2][5] = {{0.0, 0.0, -3e-5, 2e-7, 0.0}, {0.0, 0.0, 4e-5, 0.0, -1e-9}};
    SpecialAperture apertures_[3]{};
    DecentreRecord decentre_{};
    PerfectLensRecord perfect_{40.0, 0.0};

    void TearDown() override {
        for (int n = 0; n <= lens_data().image_surface; ++n) {
            surface(n).perfect_lens = nullptr;
            surface(n).grating_spacing = 0.0;
        }
        TraceTest::TearDown();
    }

    // A cemented doublet and a singlet, three wavelengths, object at 100.
    void make_spheres() {
        const double radius[] = {30.0, -25.0, -200.0, 40.0, -60.0};
        const double thick[] = {6.0, 2.0, 8.0, 4.0, 60.0};
        const double aperture[] = {9.0, 8.0, 7.0, 8.0, 9.0};
        for (int n = 1; n <= 5; ++n) {
            curvature(n, 1.0 / radius[n - 1]);
            thickness(n, thick[n - 1]);
            set_aperture_data(n, 1, 0, aperture[n - 1]);
            surface(n).aperture_check = 1;
        }
        make_lens(5, 100.0);
        surface(1).index = crown_.data();
        surface(2).index = flint_.data();
        surface(4).index = crown_.data();
        LensData& lens = lens_data();
        lens.wavelength_count = 3;
        lens.object_height = 20.0;
        lens.axial_start_height = 12.0;
        lens.chief_start_height = -3.0;
        lens.epxy = 1;
    }

    void make_lens_of(Lens kind) {
        switch (kind) {
            case Lens::kSpheres:
                make_spheres();
                curvature(3, 0.0);  // a plane inside the lens
                break;
            case Lens::kConicMirrors:
                curvature(1, -1.0 / 80.0);
                surface(1).conic = -1.0;
                thickness(1, -30.0);
                curvature(2, 0.0);
                thickness(2, 25.0);
                set_aperture_data(2, 1, 0, 2.0);
                surface(2).aperture_check = 1;
                make_lens(2, kInfiniteDistance);
                surface(1).medium_kind = kMediumMirror;
                surface(2).medium_kind = kMediumMirror;
                lens_data().object_height = -0.05 * kInfiniteDistance;
                lens_data().axial_start_height = 10.0;
                break;
            case Lens::kEvenAspheres:
                make_spheres();
                surface(1).conic = -0.6;
                make_asphere(1, 0);
                curvature(3, 0.0);
                make_asphere(3, 1);
                surface(5).conic = 2.0;
                break;
            case Lens::kSpecialApertures:
                make_spheres();
                // Surface 2: the ray must pass inside a rectangle and misses an obstruction at
                // the centre; surface 4: a window in which the ray passes untouched.
                apertures_[0] = SpecialAperture{};
                apertures_[0].shape = kApertureRectangle;
                apertures_[0].action = kActionClear;
                apertures_[0].x[0] = -7.0;
                apertures_[0].x[1] = 7.0;
                apertures_[0].y[0] = -5.0;
                apertures_[0].y[1] = 6.0;
                apertures_[1] = SpecialAperture{};
                apertures_[1].shape = kApertureEllipse;
                apertures_[1].action = kActionObstruct;
                apertures_[1].x[0] = -1.5;
                apertures_[1].x[1] = 1.5;
                apertures_[1].y[0] = -1.0;
                apertures_[1].y[1] = 1.0;
                surface(2).special_apertures = apertures_;
                surface(2).special_aperture_count = 2;
                apertures_[2] = SpecialAperture{};
                apertures_[2].shape = kApertureEllipse;
                apertures_[2].action = kActionUntouched;
                apertures_[2].x[0] = 3.0;
                apertures_[2].x[1] = 6.0;
                apertures_[2].y[0] = 3.0;
                apertures_[2].y[1] = 6.0;
                surface(4).special_apertures = &apertures_[2];
                surface(4).special_aperture_count = 1;
                break;
            case Lens::kTotalReflection:
            case Lens::kReflectOnly:
                curvature(1, 0.0);
                thickness(1, 10.0);
                curvature(2, 1.0 / 9.0);
                thickness(2, 3.0);
                curvature(3, -1.0 / 6.5);
                thickness(3, 20.0);
                make_lens(3, 50.0);
                surface(1).index = flint_.data();
                surface(2).index = air_.data();
                lens_data().object_height = 2.0;
                lens_data().axial_start_height = 8.5;
                lens_data().epxy = 1;
                surface(2).tir_only = kind == Lens::kReflectOnly;
                break;
            case Lens::kToroid:
                make_spheres();
                surface(3).toric = 1;
                surface(3).x_curvature = 1.0 / 150.0;
                break;
            case Lens::kDecentred:
                make_spheres();
                decentre_ = DecentreRecord{};
                decentre_.dcy = 0.3;
                surface(3).decentre = &decentre_;
                break;
            case Lens::kGrating:
                make_spheres();
                install_special_surfaces();
                surface(3).grating_spacing = 0.05;
                surface(3).diffraction_order = 1;
                break;
            case Lens::kPerfectLens:
                make_spheres();
                install_special_surfaces();
                curvature(3, 0.0);
                surface(3).perfect_lens = &perfect_;
                break;
        }
    }

    void make_asphere(int n, int record) {
        AsphereRecord& a = aspheres_[record];
        a = AsphereRecord{};
        a.kind = kAsphereEven;
        a.working_count = 5;
        a.working = coefficients_[record];
        surface(n).shape = kShapeAsphere;
        surface(n).asphere = &a;
    }

    // The marks the lens set-up leaves on the surfaces (marked), or none (as on a record the
    // set-up has not seen).
    static void mark_surfaces(bool marked) {
        for (int n = 0; n <= lens_data().image_surface; ++n) {
            SurfaceRecord& s = surface(n);
            s.plain_mark = !marked               ? kPlainUnknown
                           : surface_is_plain(s) ? kPlainSurface
                                                 : kPlainNotPlain;
        }
    }

    void set_reference() {
        RayRecord chief = make_ray(kRayReference, 0.0, 0.3, 0.0, 0.0);
        trace_ray(chief);
        reference_ray().ray = chief;
        reference_ray().sphere_radius = -50.0;
    }

    // Random rays over the field and a pupil somewhat wider than the lens lets through, of the
    // kinds and wavelengths an analysis mixes, in runs long enough to fill the lanes.
    static std::vector<RayRecord> random_rays(unsigned first_state, double extent) {
        std::mt19937 random(first_state);
        std::uniform_real_distribution<double> field(-1.0, 1.0), pupil(-extent, extent);
        const int kinds[] = {kRayMeasured, kRayKept, kRaySphere, kRayPlain, kRayOptimise};
        std::vector<RayRecord> rays;
        for (int run = 0; run < 24; ++run) {
            const int kind = kinds[run % 5];
            const int slot = run % 3 == 2 ? 1 : 0;
            const int length = 1 + run % 7;
            for (int i = 0; i < length; ++i) {
                // Drawn in a fixed order: the order of a call's arguments is the compiler's.
                const double oy = field(random);
                const double ox = 0.3 * field(random);
                const double py = pupil(random);
                const double px = pupil(random);
                rays.push_back(make_ray(kind, ox, oy, px, py, slot));
            }
        }
        return rays;
    }
};

class LaneTrace : public LaneLens, public ::testing::WithParamInterface<LensCase> {
protected:
    // trace_rays against trace_ray on each ray, on the lane path of the given width.
    void expect_lanes_match_single_rays(int width, const LensCase& c) {
        trace_globals().lane_width = width;
        ASSERT_EQ(lane_width(), width);
        set_reference();
        std::vector<RayRecord> alone = random_rays(53, c.pupil);
        std::vector<RayRecord> lanes = alone;
        for (RayRecord& r : alone) trace_ray(r);
        trace_rays(lanes.data(), static_cast<int>(lanes.size()));
        std::set<int> failed_at, codes;
        int failed = 0;
        for (std::size_t i = 0; i < alone.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "ray " << i);
            expect_same_ray(alone[i], lanes[i]);
            if (alone[i].failure != 0) {
                ++failed;
                failed_at.insert(alone[i].surface);
                codes.insert(alone[i].failure);
            }
        }
        // Both ways must occur for the comparison to mean anything.
        EXPECT_GT(failed, 0);
        EXPECT_LT(failed, static_cast<int>(alone.size()));
        EXPECT_GE(static_cast<int>(failed_at.size()), c.min_failed_surfaces);
        for (int code : c.codes) EXPECT_EQ(codes.count(code), 1u) << "no ray failed with " << code;
    }
};

// The widths this processor runs: SSE2 always, AVX2 where it has it.
std::vector<int> lane_widths() {
    std::vector<int> widths{kLanesSse2};
    if (processor_has_avx2()) widths.push_back(kLanesAvx2);
    return widths;
}

TEST_P(LaneTrace, RaySetsAsEachRayAlone) {
    const LensCase& c = GetParam();
    make_lens_of(c.lens);
    for (bool marked : {true, false}) {
        mark_surfaces(marked);
        for (int width : lane_widths()) {
            SCOPED_TRACE(testing::Message() << "marked " << marked << ", width " << width);
            expect_lanes_match_single_rays(width, c);
        }
    }
}

const LensCase kCases[] = {
    {"SpheresAndPlane", Lens::kSpheres, 3, 0.8, {kRayFailAperture}},
    {"ConicAndFlatMirrors", Lens::kConicMirrors, 1, 0.8, {kRayFailAperture}},
    {"EvenAspheres", Lens::kEvenAspheres, 3, 0.8, {kRayFailAperture}},
    {"SpecialApertures",
     Lens::kSpecialApertures,
     3,
     0.8,
     {kRayFailAperture, kRayFailSpecialAperture}},
    {"TotalReflectionAndMisses",
     Lens::kTotalReflection,
     1,
     1.0,
     {kRayFailTotalReflection, kRayFailMissed}},
    {"ReflectOnlySurface", Lens::kReflectOnly, 1, 1.0, {kRayFailNoReflection}},
    {"Toroid", Lens::kToroid, 3, 0.8, {kRayFailAperture}},
    {"DecentredSphere", Lens::kDecentred, 3, 0.8, {kRayFailAperture}},
    {"Grating", Lens::kGrating, 3, 0.8, {kRayFailAperture}},
    {"PerfectLens", Lens::kPerfectLens, 2, 0.8, {kRayFailAperture}},
};

INSTANTIATE_TEST_SUITE_P(SurfaceKinds, LaneTrace, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LensCase>& info) {
                             return std::string(info.param.name);
                         });

// Rays that pass everywhere go through every surface the lanes take in lanes, and hand over to
// the scalar step at the first surface the lanes do not cover.
struct CoverageCase {
    const char* name;
    Lens lens;
    int lane_surfaces;  // per ray
};

class LaneCoverage : public LaneLens, public ::testing::WithParamInterface<CoverageCase> {};

TEST_P(LaneCoverage, LanesTakeTheSurfacesTheyCoverAndStopAtTheFirstOtherOne) {
    const CoverageCase& c = GetParam();
    make_lens_of(c.lens);
    mark_surfaces(true);
    for (int width : lane_widths()) {
        SCOPED_TRACE(testing::Message() << "width " << width);
        trace_globals().lane_width = width;
        // Nine rays near the axis, clear of the obstruction and the untouched window; nine
        // fill no whole number of lanes.
        std::vector<RayRecord> rays, alone;
        for (int i = 0; i < 9; ++i)
            rays.push_back(make_ray(kRayKept, 0.0, 0.0, 0.1 + 0.02 * i, -0.3));
        alone = rays;
        std::vector<RayRecord*> set;
        for (std::size_t i = 0; i < rays.size(); ++i) {
            setup_ray_at_object(rays[i], nullptr);
            set.push_back(&rays[i]);
            trace_ray(alone[i]);
        }
        const int image = lens_data().image_surface;
        const int taken = trace_lanes_to_surface(set.data(), static_cast<int>(set.size()), image);
        // A ray left over alone after the full groups goes through the scalar step.
        const int n = static_cast<int>(rays.size());
        const int group = lane_group_size();
        const int in_lanes = n / group * group + (n % group > 1 ? n % group : 0);
        EXPECT_EQ(taken, c.lane_surfaces * in_lanes);
        for (std::size_t i = 0; i < rays.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "ray " << i);
            ASSERT_EQ(alone[i].failure, 0);
            expect_same_ray(alone[i], rays[i]);
        }
    }
}

const CoverageCase kCoverage[] = {
    {"Spheres", Lens::kSpheres, 6},  // surfaces 1 to 5 and the image
    {"EvenAspheres", Lens::kEvenAspheres, 6},
    {"SpecialApertures", Lens::kSpecialApertures, 6},
    {"Toroid", Lens::kToroid, 2},  // up to the toroid on surface 3
    {"PerfectLens", Lens::kPerfectLens, 2},
};

INSTANTIATE_TEST_SUITE_P(SurfaceKinds, LaneCoverage, ::testing::ValuesIn(kCoverage),
                         [](const ::testing::TestParamInfo<CoverageCase>& info) {
                             return std::string(info.param.name);
                         });

// Ray sets start at the object in lanes and form their differences from the reference ray in
// lanes: each ray's start and differences, and what the last set-up leaves for the aiming, equal
// the one-ray trace's bit for bit, over field points, a pupil grid reaching past the rim (rays
// vignetted at different surfaces) and a ring, objects finite and at infinity, and rays that
// fail at the start or miss the reference sphere.
enum class Start {
    kFinite,         // object at 100, three wavelengths, differences in waves on the sphere
    kInfinite,       // object at infinity, the pupil narrow against it
    kRimRays,        // pupil fractions mapped through the reference ray's rim-ray table
    kEntrancePupil,  // the pupil not centred on the reference ray's
    kObjectOnPlane,  // some object points on the plane of surface 1: those rays fail at once
    kSphereMissed,   // a reference sphere so small that some rays miss it
    kAfocal,         // the differences of an afocal lens
};

struct StartCase {
    const char* name;
    Start start;
};

class LaneStart : public LaneLens, public ::testing::WithParamInterface<StartCase> {
protected:
    WavelengthEntry* saved_wavelengths_ = nullptr;
    WavelengthEntry wavelengths_[3]{};
    double bounds_[15] = {-0.9, 0.8, -0.7, 0.95, 0.9,  -1.0, 1.0, -0.8,
                          0.85, 0.8, -0.6, 0.7,  -0.9, 0.9,  0.7};

    void TearDown() override {
        lens_data().wavelengths = saved_wavelengths_;
        LaneLens::TearDown();
    }

    void make_case(Start start) {
        make_spheres();
        LensData& lens = lens_data();
        saved_wavelengths_ = lens.wavelengths;
        wavelengths_[0].wavelength = 0.5876;
        wavelengths_[1].wavelength = 0.4861;
        wavelengths_[2].wavelength = 0.6563;
        lens.wavelengths = wavelengths_;
        lens.units = 1.0;
        lens.opdw = 1;
        lens.wrsp = 1;
        lens.aim_mode = kAimParaxial;
        switch (start) {
            case Start::kInfinite:
                set_thickness_data(0, 0, 0, 0, 0.0, 0.0, kInfiniteDistance);
                lens.object_height = -0.1 * kInfiniteDistance;
                lens.epxy = 0;
                break;
            case Start::kRimRays:
                lens.aim_mode = kAimRimRays;
                break;
            case Start::kEntrancePupil:
                lens.aim_mode = kAimEntrancePupil;
                break;
            case Start::kAfocal:
                lens.afocal = 1;
                break;
            default:
                break;
        }
        set_reference();
        reference_ray().ray.pupil_bounds = bounds_;
        // A pupil centre off the axis, which the rays not taken as given are centred on.
        reference_ray().ray.pup_x = 0.15;
        reference_ray().ray.pup_y = -0.1;
        // The exit pupil about 50 before the image, or a sphere some rays miss.
        reference_ray().sphere_radius = start == Start::kSphereMissed ? -0.05 : -50.0;
    }

    // Field points on and off the axis, a square grid past the rim and a ring, the kinds that
    // start in lanes in runs broken by a plain ray, some pupils taken as given.
    static std::vector<RayRecord> start_rays(Start start) {
        std::vector<RayRecord> rays;
        const double fields[][2] = {{0.0, 0.0}, {0.0, 0.7}, {0.4, -1.0}};
        const int kinds[] = {kRayMeasured, kRaySphere, kRayOptimise, kRayKept};
        int n = 0;
        for (const auto& f : fields) {
            for (int i = -6; i <= 6; ++i) {
                for (int j = -6; j <= 6; ++j) {
                    RayRecord r =
                        make_ray(kinds[n / 5 % 4], f[0], f[1], i / 5.0, j / 5.0, n % 11 == 3);
                    r.pupil_at_entrance = n % 7 == 2;
                    if (start == Start::kObjectOnPlane && n % 9 == 4) r.obj_z = 5.0;  // 20 * 5
                    rays.push_back(r);
                    if (++n % 23 == 0) rays.push_back(make_ray(kRayPlain, f[0], f[1], 0.1, 0.2));
                }
            }
            for (int a = 0; a < 24; ++a) {
                const double phi = a * 0.2617993877991494;
                rays.push_back(make_ray(kinds[a % 4], f[0], f[1], std::cos(phi), std::sin(phi),
                                        a % 3 == 0 ? 2 : 0));
            }
        }
        return rays;
    }
};

TEST_P(LaneStart, StartsAndDifferencesAsEachRayAlone) {
    const StartCase& c = GetParam();
    make_case(c.start);
    // The case is one the lanes start.
    ASSERT_TRUE(lane_start_possible());
    for (int width : lane_widths()) {
        SCOPED_TRACE(testing::Message() << "width " << width);
        trace_globals().lane_width = width;
        const std::vector<RayRecord> rays = start_rays(c.start);
        std::vector<RayRecord> alone = rays, lanes = rays;
        TraceGlobals& g = trace_globals();
        g.sphere_missed = 0;
        for (RayRecord& r : alone) trace_ray(r);
        const TraceGlobals after_alone = g;
        g.sphere_missed = 0;
        g.object_point = SagPoint{};
        g.reciprocal_object_distance = 0.0;
        trace_rays(lanes.data(), static_cast<int>(lanes.size()));
        int failed = 0, passed = 0, failed_at_start = 0;
        for (std::size_t i = 0; i < rays.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "ray " << i);
            expect_same_ray(alone[i], lanes[i]);
            EXPECT_EQ(alone[i].check_apertures, lanes[i].check_apertures);
            EXPECT_TRUE(same_bits(alone[i].eff_pup_x, lanes[i].eff_pup_x));
            EXPECT_TRUE(same_bits(alone[i].eff_pup_y, lanes[i].eff_pup_y));
            EXPECT_TRUE(same_bits(alone[i].factor_a, lanes[i].factor_a));
            EXPECT_EQ(alone[i].frame_surface, lanes[i].frame_surface);
            if (alone[i].failure == 0) {
                ++passed;
            } else {
                ++failed;
                failed_at_start += alone[i].surface <= 1 && alone[i].failure == kRayFailMissed;
            }
        }
        EXPECT_GT(passed, 0);
        EXPECT_GT(failed, 0);
        if (c.start == Start::kObjectOnPlane) {
            EXPECT_GT(failed_at_start, 0);
        }
        EXPECT_EQ(g.sphere_missed, after_alone.sphere_missed);
        EXPECT_EQ(g.sphere_missed, c.start == Start::kSphereMissed ? 1 : 0);
        EXPECT_TRUE(same_bits(g.object_point.x, after_alone.object_point.x));
        EXPECT_TRUE(same_bits(g.object_point.y, after_alone.object_point.y));
        EXPECT_TRUE(same_bits(g.object_point.nz, after_alone.object_point.nz));
        EXPECT_TRUE(
            same_bits(g.reciprocal_object_distance, after_alone.reciprocal_object_distance));
        EXPECT_EQ(g.differential, after_alone.differential);

        // One full lane group of measured rays round the rim: whether one missed the sphere.
        std::vector<RayRecord> rim;
        for (int a = 0; a < kMaxLanes; ++a) {
            const double phi = a * 0.7853981633974483;
            rim.push_back(
                make_ray(kRayMeasured, 0.0, 0.7, 0.6 * std::cos(phi), 0.6 * std::sin(phi)));
        }
        std::vector<RayRecord> rim_alone = rim;
        g.sphere_missed = 0;
        for (RayRecord& r : rim_alone) trace_ray(r);
        const int missed_alone = g.sphere_missed;
        EXPECT_EQ(missed_alone, c.start == Start::kSphereMissed ? 1 : 0);
        g.sphere_missed = 0;
        trace_rays(rim.data(), static_cast<int>(rim.size()));
        EXPECT_EQ(g.sphere_missed, missed_alone);
        for (std::size_t i = 0; i < rim.size(); ++i) expect_same_ray(rim_alone[i], rim[i]);
    }
}

const StartCase kStarts[] = {
    {"FiniteObject", Start::kFinite},
    {"ObjectAtInfinity", Start::kInfinite},
    {"RimRayPupil", Start::kRimRays},
    {"EntrancePupil", Start::kEntrancePupil},
    {"ObjectPointsOnTheFirstPlane", Start::kObjectOnPlane},
    {"ReferenceSphereMissed", Start::kSphereMissed},
    {"Afocal", Start::kAfocal},
};

INSTANTIATE_TEST_SUITE_P(Starts, LaneStart, ::testing::ValuesIn(kStarts),
                         [](const ::testing::TestParamInfo<StartCase>& info) {
                             return std::string(info.param.name);
                         });

// A pupil wide against the object distance is not started in lanes: its rays aim at the pupil's
// extent, and go on from the one-ray set-up.
TEST_F(LaneLens, AWidePupilStartsRayByRay) {
    make_spheres();
    lens_data().epxy = 0;  // the pupil of 12 is wide against the object at 100
    EXPECT_FALSE(lane_start_possible());
    lens_data().epxy = 1;
    EXPECT_TRUE(lane_start_possible());
}

// A width the processor cannot run is never taken, and a forced SSE2 path is.
TEST(LaneWidth, ForcedSse2OrTheProcessorsWidest) {
    TraceGlobals& g = trace_globals();
    const int saved = g.lane_width;
    g.lane_width = 0;
    EXPECT_EQ(lane_width(), processor_has_avx2() ? kLanesAvx2 : kLanesSse2);
    g.lane_width = kLanesSse2;
    EXPECT_EQ(lane_width(), kLanesSse2);
    g.lane_width = saved;
}

}  // namespace
}  // namespace trace_test
