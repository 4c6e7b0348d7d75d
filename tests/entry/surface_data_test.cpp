// The surface-data commands one by one on surface 2 of a small lens: what each stores, and the
// edge cases of radius, aperture, media, notes, switches and the skip link.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/state_flags.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

TEST_F(Entry, SurfaceDataLinesStoreTheirFields) {
    struct Case {
        std::vector<std::string> lines;
        std::function<bool(const SurfaceRecord&)> holds;
    };
    const Case cases[] = {
        {{"CV 0.02"},
         [](const SurfaceRecord& s) { return s.curvature == 0.02 && s.curvature_kind == 0; }},
        {{"CVF 0.03"},
         [](const SurfaceRecord& s) { return s.curvature == 0.03 && s.curvature_kind == 6; }},
        {{"CTF 0.04"},
         [](const SurfaceRecord& s) { return s.curvature == 0.04 && s.curvature_kind == 7; }},
        {{"RDF 25"},
         [](const SurfaceRecord& s) { return s.curvature == 1.0 / 25 && s.curvature_kind == 6; }},
        {{"RTF -25"},
         [](const SurfaceRecord& s) { return s.curvature == -1.0 / 25 && s.curvature_kind == 7; }},
        // A radius of 0, or below 1e-40 in size, is a plane.
        {{"RD 0"}, [](const SurfaceRecord& s) { return s.curvature == 0.0; }},
        {{"RD 1e-41"}, [](const SurfaceRecord& s) { return s.curvature == 0.0; }},
        {{"THF 7"},
         [](const SurfaceRecord& s) { return s.thickness == 7.0 && s.thickness_kind == 8; }},
        // An aperture of 0 is computed by the set-up.
        {{"AP 0"},
         [](const SurfaceRecord& s) { return s.aperture_kind == 0 && s.aperture_check == 0; }},
        {{"APF 4"},
         [](const SurfaceRecord& s) { return s.aperture_kind == 7 && s.aperture_radius == 4; }},
        {{"AP -6"},
         [](const SurfaceRecord& s) { return s.aperture_kind == 1 && s.aperture_radius == 6; }},
        {{"AIF"},
         [](const SurfaceRecord& s) {
             return s.medium_kind == 10 && std::strcmp(s.medium_name, "AIR       ") == 0;
         }},
        {{"RFH"},
         [](const SurfaceRecord& s) {
             return s.medium_kind == 4 && std::strcmp(s.medium_name, "REFL_HATCH") == 0;
         }},
        {{"RFL"},
         [](const SurfaceRecord& s) {
             return s.medium_kind == 4 && std::strcmp(s.medium_name, "REFLECT   ") == 0;
         }},
        {{"TCE 85"}, [](const SurfaceRecord& s) { return s.medium_tce == 85.0; }},
        {{"CC -1"}, [](const SurfaceRecord& s) { return s.conic == -1.0; }},
        // GOR and DOR write the same order.
        {{"GOR 3", "DOR -1"}, [](const SurfaceRecord& s) { return s.diffraction_order == -1; }},
        {{"FRN 2"}, [](const SurfaceRecord& s) { return s.fresnel == 1; }},
        {{"FRN 0"}, [](const SurfaceRecord& s) { return s.fresnel == 0; }},
        {{"TIR YES"}, [](const SurfaceRecord& s) { return s.tir_only == 1; }},
        {{"NOT \"a note\"", "NOT \"\""}, [](const SurfaceRecord& s) { return s.note == nullptr; }},
        {{"SKP 4"}, [](const SurfaceRecord& s) { return s.skip_to == 4; }},
        {{"SKP 4", "SKP 0"}, [](const SurfaceRecord& s) { return s.skip_to == 0; }},
    };
    const std::vector<std::string> lens = {"LEN NEW \"Surfaces\"",
                                           "NXT",
                                           "SRF 50 5 N-BK7 10",
                                           "SRF -50 3 AIR 10",
                                           "SRF 40 4 N-F2 9",
                                           "NXT",
                                           "END"};
    for (const Case& c : cases) {
        run_all(lens);
        run_all({"LEN", "GTO 2"});
        for (const std::string& line : c.lines) {
            ASSERT_EQ(run(line), 0) << line << ": " << error_text();
        }
        EXPECT_TRUE(c.holds(surface(2))) << c.lines.back();
        run_all({"END"});
    }
}

TEST_F(Entry, SurfaceDataEdgeCases) {
    run_all({"LEN NEW \"Edges\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 3 AIR 10", "NXT", "END"});
    run_all({"LEN"});
    // A mirror on the object surface leaves its medium; TIR there is refused.
    const SurfaceRecord object = surface(0);
    ASSERT_EQ(run("RFL"), 0) << error_text();
    EXPECT_STREQ(surface(0).medium_name, object.medium_name);
    EXPECT_EQ(surface(0).medium_kind, object.medium_kind);
    EXPECT_EQ(run("TIR YES"), kErrorTextReady);
    EXPECT_EQ(error_text(), "This command cannot be used on the object surface");

    // The skip target must lie after the current surface and inside the array.
    run_all({"GTO 2"});
    EXPECT_EQ(run("SKP 2"), kErrorTextReady);
    EXPECT_EQ(error_text(), "Surface 2 cannot skip to surface 2");
    EXPECT_EQ(run("SKP 13"), kErrorTextReady);
    // While a file is inserted its surface numbers move with it.
    lens_data().file_surface_offset = 1;
    lens_flags().reading_lens_file = 1;
    EXPECT_EQ(run("SKP 2"), 0) << error_text();
    EXPECT_EQ(surface(2).skip_to, 3);
    lens_flags().reading_lens_file = 0;
    lens_data().file_surface_offset = 0;

    // SRF with a glass no catalogue holds: told, air, the aperture still entered, the next
    // surface current, and the line fails with the glass's name.
    const std::size_t printed = output().size();
    EXPECT_EQ(run("SRF 30 2 NOSUCHGLASS12 7"), kErrorTextReady);
    EXPECT_EQ(error_text(), "Glass NOSUCHGLAS is in no catalogue");
    EXPECT_NE(output().find("Glass NOSUCHGLAS is in no catalogue: the medium is air", printed),
              std::string::npos);
    EXPECT_EQ(surface(2).medium_kind, kMediumAir);
    EXPECT_EQ(surface(2).curvature, 1.0 / 30);
    EXPECT_EQ(surface(2).thickness, 2.0);
    EXPECT_EQ(surface(2).aperture_radius, 7.0);
    EXPECT_EQ(lens_data().current_surface, 3);
    run_all({"END"});
}

}  // namespace
