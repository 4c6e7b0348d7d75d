// Pickups and solves typed in a lens block: what each line stores, the refusals, and the
// solved values after END against a paraxial trace written here.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/parameters.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

// Surfaces 1 N-BK7, 2 air, 3 N-F2; surface 4 current.
const std::vector<std::string> kFourSurfaces = {
    "LEN NEW \"Pickups\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 3 AIR 10", "SRF 40 4 N-F2 9",
};

enum Datum { kCurvature, kThickness, kAperture, kMedium, kDecentre, kDiffractive };

struct Stored {
    const char* line;
    Datum datum;
    int kind;
    int source;
    int source2;
    double value;
    double value2;
};

TEST_F(Entry, EveryPickupAndSolveStoresItsKindSourcesAndValues) {
    const Stored cases[] = {
        {"PK GLA -3", kMedium, kMediumPickup, 1, 0, 0, 0},
        {"PK CV -3 0.25", kCurvature, kCurvaturePickup, 1, 0, 0.25, 0},
        {"PK CVM 2 -1.5", kCurvature, kCurvaturePickupNegated, 2, 0, -1.5, 0},
        {"PK TH -1 0.5", kThickness, kThicknessPickup, 3, 0, 0.5, 0},
        {"PK THM 2 -1", kThickness, kThicknessPickupNegated, 2, 0, -1, 0},
        {"PK LN 1 3 0", kThickness, kThicknessLength, 1, 3, 0, 0},
        {"PK LNM 1 -1 2", kThickness, kThicknessLengthNegated, 1, 3, 2, 0},
        {"PK AP 1", kAperture, kAperturePickup, 1, 0, 0, 0},
        {"PK TD 2", kDecentre, 1, 2, 0, 0, 0},
        {"PK TDM 2", kDecentre, -1, 2, 0, 0, 0},
        {"PK DFC 1", kDiffractive, 0, 0, 0, 0, 0},
        {"PU 0.1", kCurvature, kCurvatureAxialSlope, 0, 0, 0.1, 0},
        {"PUC -0.2", kCurvature, kCurvatureChiefSlope, 0, 0, -0.2, 0},
        {"PI 0.05", kCurvature, kCurvatureAxialIncidence, 0, 0, 0.05, 0},
        {"PIC 0.01", kCurvature, kCurvatureChiefIncidence, 0, 0, 0.01, 0},
        {"AL", kCurvature, kCurvatureAxialAplanatic, 0, 0, 0, 0},
        {"ALC", kCurvature, kCurvatureChiefAplanatic, 0, 0, 0, 0},
        {"CSD", kCurvature, kCurvaturePlain, 0, 0, 0, 0},
        {"PY 0", kThickness, kThicknessAxialHeight, 0, 0, 0, 0},
        {"PYC 1.5", kThickness, kThicknessChiefHeight, 0, 0, 1.5, 0},
        {"ET 2 3", kThickness, kThicknessEdge, 0, 0, 2, 3},
        {"ETS 4", kThickness, kThicknessEdge, 0, 0, 4, 0},
        {"TSD", kThickness, kThicknessPlain, 0, 0, 0, 0},
    };
    run_all(kFourSurfaces);
    ASSERT_EQ(lens_data().current_surface, 4);
    for (const Stored& c : cases) {
        ASSERT_EQ(run(c.line), 0) << c.line << ": " << error_text();
        const SurfaceRecord& s = surface(4);
        switch (c.datum) {
            case kCurvature:
                EXPECT_EQ(s.curvature_kind, c.kind) << c.line;
                if (c.kind != kCurvaturePlain) {
                    EXPECT_EQ(s.curvature_solve_value, c.value) << c.line;
                }
                if (c.kind <= kCurvaturePickupNegated) {
                    EXPECT_EQ(s.curvature_source, c.source) << c.line;
                }
                break;
            case kThickness:
                EXPECT_EQ(s.thickness_kind, c.kind) << c.line;
                EXPECT_EQ(s.thickness_source, c.source) << c.line;
                EXPECT_EQ(s.thickness_source2, c.source2) << c.line;
                EXPECT_EQ(s.thickness_solve_value, c.value) << c.line;
                if (c.kind == kThicknessEdge) {
                    EXPECT_EQ(s.thickness_solve_value2, c.value2) << c.line;
                }
                break;
            case kAperture:
                EXPECT_EQ(s.aperture_kind, c.kind) << c.line;
                EXPECT_EQ(s.aperture_source, c.source) << c.line;
                EXPECT_EQ(s.aperture_check, 0) << c.line;
                break;
            case kMedium:
                EXPECT_EQ(s.medium_kind, c.kind) << c.line;
                EXPECT_EQ(s.medium_source, c.source) << c.line;
                EXPECT_STREQ(s.medium_name, "N-BK7     ") << c.line;
                break;
            case kDecentre:
                ASSERT_NE(s.decentre, nullptr) << c.line;
                EXPECT_EQ(s.decentre->pickup_source, c.source) << c.line;
                EXPECT_EQ(s.decentre->pickup_negated, c.kind) << c.line;
                break;
            case kDiffractive:
                // The source has no diffractive data: neither has the surface.
                EXPECT_EQ(s.diffractive, nullptr) << c.line;
                break;
        }
    }
    // "AP CHK" on an aperture pickup only switches the check on.
    ASSERT_EQ(run("PK AP 1"), 0);
    ASSERT_EQ(run("AP CHK"), 0) << error_text();
    EXPECT_EQ(surface(4).aperture_kind, kAperturePickup);
    EXPECT_EQ(surface(4).aperture_check, 1);
    // A curvature pickup removes the surface's asphere data.
    surface(4).asphere = static_cast<AsphereRecord*>(mem_alloc(sizeof(AsphereRecord)));
    ASSERT_EQ(run("PK CV 3 0"), 0);
    EXPECT_EQ(surface(4).asphere, nullptr);
}

TEST_F(Entry, PickupAndSolveRefusalsLeaveTheSurfaceAsItWas) {
    struct Refused {
        const char* line;
        std::function<void(SurfaceRecord&)> prepare;  // on surface 4, undone afterwards
        int current;
        const char* message;
    };
    const auto none = [](SurfaceRecord&) {};
    const auto grouped = [](SurfaceRecord& s) {
        s.group_kind = kGroupNonSequential;
        s.group_role = kRoleInner;
    };
    const Refused cases[] = {
        {"PK TH 0 0", none, 0, "A pickup cannot be put on the object surface"},
        {"PY 0", none, 0, "A solve cannot be put on the object surface (surface 0)"},
        {"PK TH 4 0", none, 4, "The pickup source of surface 4 must lie before it"},
        {"PK TH -5 0", none, 4, "The pickup source of surface 4 must lie before it"},
        {"PK 9 -1", none, 4, "Surface 4: no pickup of this type"},
        {"PK 13 -1", none, 4, "Surface 4: no pickup of this type"},
        {"PK TH -1 0", grouped, 4, "The thickness of surface 4 lies inside a non-sequential"},
        {"PY 0", grouped, 4, "The thickness of surface 4 lies inside a non-sequential"},
        {"PK CV -1 0", [](SurfaceRecord& s) { s.curvature_kind = kCurvatureFixed; }, 4,
         "The curvature of surface 4 is fixed by its group"},
        {"PU 0.1", [](SurfaceRecord& s) { s.curvature_kind = kCurvatureFixed; }, 4,
         "The curvature of surface 4 is fixed by its group"},
        {"PY 0", [](SurfaceRecord& s) { s.thickness_kind = kThicknessFixed; }, 4,
         "The thickness of surface 4 is fixed by its group"},
        {"PK TH -1 0", [](SurfaceRecord& s) { s.thickness_kind = kThicknessFixed; }, 4,
         "The thickness of surface 4 is fixed by its group"},
        {"PK AP -1", [](SurfaceRecord& s) { s.aperture_kind = kApertureFixedByGroup; }, 4,
         "The aperture of surface 4 is fixed by its group"},
        {"PK GLA -1", [](SurfaceRecord& s) { s.medium_kind = kMediumGlassFixed; }, 4,
         "The medium of surface 4 is fixed by its group"},
        {"PK GLA -1", [](SurfaceRecord& s) { s.medium_kind = kMediumAirFixed; }, 4,
         "The medium of surface 4 is fixed by its group"},
    };
    run_all(kFourSurfaces);
    for (const Refused& c : cases) {
        lens_data().current_surface = c.current;
        const SurfaceRecord kept = surface(4);
        c.prepare(surface(4));
        const SurfaceRecord prepared = surface(4);
        EXPECT_NE(run(c.line), 0) << c.line;
        EXPECT_NE(error_text().find(c.message), std::string::npos)
            << c.line << ": " << error_text();
        EXPECT_EQ(std::memcmp(&prepared, &surface(4), sizeof(SurfaceRecord)), 0) << c.line;
        surface(4) = kept;
    }
    // A word that is no pickup type does not compile.
    const std::size_t shown = errors().size();
    EXPECT_NE(run("PK FOO -1"), 0);
    EXPECT_NE(errors().find("FOO", shown), std::string::npos) << errors();
}

// A singlet whose back focus is solved (PY 0 on its last surface) and a second singlet whose
// last curvature is solved for a slope (PU): the values after END against the y-nu trace.
TEST_F(Entry, SolvedThicknessAndCurvatureMatchTheParaxialTrace) {
    run_all({"LEN NEW \"PY\"", "NXT", "SRF 50 6 N-BK7 10", "RD -80", "PY 0", "NXT", "END"});
    const int w = lens_data().current_wavelength;
    const Focus f = ynu_trace(2, w);
    EXPECT_NEAR(surface(2).thickness, f.back_focus, 1e-9 * f.back_focus);
    EXPECT_GT(f.back_focus, 30.0);

    // PU -0.1 with an entrance beam of radius 1: the last curvature makes the focal length 10.
    run_all({"LEN NEW \"PU\"", "NXT", "SRF 30 4 N-BK7 10", "PU -0.1", "TH 5", "NXT", "END"});
    // By hand: after surface 1 the ray has n u = -y c1 (n - 1) and height y2 = 1 + t n u / n;
    // the solve puts c2 = (n u - u') / (y2 (1 - n)) with u' = -0.1 in air.
    const double n = surface(1).index[w];
    const double c1 = 1.0 / 30.0;
    const double nu = -c1 * (n - 1.0);
    const double y2 = 1.0 + 4.0 * nu / n;
    const double c2 = (nu - (-0.1)) / (y2 * (1.0 - n));
    EXPECT_NEAR(surface(2).curvature, c2, 1e-12 * std::fabs(c2));
    EXPECT_NEAR(ynu_trace(2, w).efl, 10.0, 1e-9);
}

}  // namespace

namespace {

// The prompts the entry code asks by number are the descriptors pinned at those numbers, not
// whichever parameter the table's growth put there.
TEST_F(Entry, PromptsAskedByNumberAreTheirOwnDescriptors) {
    struct Pin {
        int number;
        const char* name;
    };
    const Pin pins[] = {
        {201, "expand"},
        {223, "curvature offset"},
        {1174, "thickness offset"},
        {596, "last surface mirrored"},
        {597, "last surface"},
        {759, "refractive index"},
        {763, "abbe number"},
        {764, "dispersion"},
    };
    for (const Pin& p : pins) {
        const ParamDescriptor* d = param_descriptor(p.number);
        ASSERT_NE(d, nullptr) << p.number;
        EXPECT_STREQ(param_display_name(*d), p.name) << p.number;
    }
    EXPECT_EQ(param_descriptor_index(422, 1), 201);
}

}  // namespace
