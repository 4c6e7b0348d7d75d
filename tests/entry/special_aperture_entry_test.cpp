// Special apertures typed by letter: the entries they make and change, the orientation of a
// polygon's corners, following another surface's aperture, and the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

const std::vector<std::string> kSpecialApertureLens = {
    "LEN NEW \"Apertures\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 3 AIR 10", "NXT", "END"};

TEST_F(Entry, SpecialAperturesByLetter) {
    run_all(kSpecialApertureLens);
    run_all({"LEN", "GTO 1", "APN 3"});
    const SurfaceRecord& s = surface(1);
    ASSERT_EQ(s.special_aperture_count, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.special_apertures[i].id_letter, 'A' + i);
        EXPECT_EQ(s.special_apertures[i].shape, 1);
        EXPECT_EQ(s.special_apertures[i].action, 4);
    }
    run_all({"AY1 A 5", "AY2 a 6", "AX1 B -1", "AX2 B 2", "AAN C 30", "ATP B REC", "ATP C 9",
             "AAC A OBS", "AAC B 3", "AAC C 0", "AGN B 2", "AY1 2 7"});
    EXPECT_EQ(s.special_apertures[0].y[0], 5.0);
    EXPECT_EQ(s.special_apertures[0].y[1], 6.0);
    EXPECT_EQ(s.special_apertures[1].x[0], -1.0);
    EXPECT_EQ(s.special_apertures[1].x[1], 2.0);
    EXPECT_EQ(s.special_apertures[2].angle, 30.0);
    EXPECT_EQ(s.special_apertures[1].shape, 2);
    EXPECT_EQ(s.special_apertures[2].shape, 1);   // outside 1..4
    EXPECT_EQ(s.special_apertures[0].action, 2);  // OBS
    EXPECT_EQ(s.special_apertures[1].action, 4);  // 3 is taken as 4
    EXPECT_EQ(s.special_apertures[2].action, 1);  // below 1 is 1
    EXPECT_EQ(s.special_apertures[1].group, 2);
    EXPECT_EQ(s.special_apertures[2].y[0], 7.0);  // an index instead of a letter

    // Growing keeps A..C and makes D; shrinking keeps A.
    run_all({"APN 4"});
    EXPECT_EQ(surface(1).special_apertures[0].y[0], 5.0);
    EXPECT_EQ(surface(1).special_apertures[3].id_letter, 'D');
    EXPECT_EQ(surface(1).special_apertures[3].action, 4);
    run_all({"APN 1"});
    EXPECT_EQ(surface(1).special_aperture_count, 1);
    EXPECT_EQ(surface(1).special_apertures[0].y[1], 6.0);

    // Corners (0, 0), (1, 0), (0, 1): (x3 - x1)(y2 - y1) - (x2 - x1)(y3 - y1) = -1, orientation
    // 0; with the second and third swapped, +1.
    run_all({"ATP A 3", "AVX1 A 0", "AVY1 A 0", "AVX2 A 1", "AVY2 A 0", "AVX3 A 0", "AVY3 A 1"});
    EXPECT_EQ(surface(1).special_apertures[0].convex, 0);
    run_all({"AVX2 A 0", "AVY2 A 1", "AVX3 A 1", "AVY3 A 0"});
    EXPECT_EQ(surface(1).special_apertures[0].convex, 1);

    // Surface 2 follows aperture A of surface 1 (counted back: -1).
    run_all({"GTO 2", "APN 2", "APK B -1 A"});
    EXPECT_EQ(surface(2).special_apertures[1].pickup_source, 1);
    EXPECT_EQ(surface(2).special_apertures[1].pickup_id_letter, 'A');
    run_all({"APD"});
    EXPECT_EQ(surface(2).special_apertures, nullptr);
    EXPECT_EQ(surface(2).special_aperture_count, 0);
    EXPECT_EQ(run("APD"), 0);  // a notice only
    run_all({"END"});
}

TEST_F(Entry, SpecialApertureRefusals) {
    run_all(kSpecialApertureLens);
    run_all({"LEN", "GTO 1"});
    EXPECT_EQ(run("AY1 A 1"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The surface has no special apertures");
    run_all({"APN 2"});
    struct Case {
        std::string line;
        std::string message;
    };
    const Case cases[] = {
        {"AY1 C 1", "There is no such special aperture: the last one is B"},
        {"AY1 \"\" 1", "There is no such special aperture: the last one is B"},
        {"AY1 -1 1", "There is no such special aperture: the last one is B"},
        {"AVX5 A 1", "Vertex 5 is outside 1..4"},
        {"AVY0 A 1", "Vertex 0 is outside 1..4"},
        {"APK A 2 A", "The followed special aperture does not exist"},
        {"APK A 9 A", "The followed special aperture does not exist"},
        {"APK A 1 C", "The followed special aperture does not exist"},
        {"APN 27", "27 special apertures cannot be made: at most 26"},
        {"APN -1", "-1 special apertures cannot be made: at most 26"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.line), kErrorTextReady) << c.line;
        EXPECT_EQ(error_text(), c.message) << c.line;
        ASSERT_EQ(surface(1).special_aperture_count, 2) << c.line;
        EXPECT_EQ(surface(1).special_apertures[0].y[0], 0.0) << c.line;
        EXPECT_EQ(surface(1).special_apertures[0].pickup_source, 0) << c.line;
    }
    run_all({"GTO 0"});
    EXPECT_EQ(run("APN 1"), kErrorTextReady);
    EXPECT_EQ(surface(0).special_apertures, nullptr);
    run_all({"END"});
}

}  // namespace
