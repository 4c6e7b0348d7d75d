// Element drawings in lens files: the lens's defaults and each element's record typed as
// commands, saved, reopened and saved again; what a new record takes from its diameter class
// and from the defaults; the nominal-and-tolerance pair turned into limits.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "drawing/element_drawing.h"
#include "lens/lens_data.h"
#include "tests/entry/entry_fixture.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

class ElementDrawings : public entry_test::Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        folder_ = run_.tree.base() / "lenses";
        fs::create_directories(folder_);
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    std::string file(const std::string& name) const { return tavo_test::read_file(folder_ / name); }
    void singlet() {
        run_all({"LEN NEW \"Singlet\"", "EBR 10", "NXT", "RD 50", "TH 5", "GLA N-BK7", "NXT",
                 "RD -50", "TH 45", "NXT", "END"});
    }
    void fresh_lens() {
        ASSERT_EQ(run("LEN NEW"), 0);
        ASSERT_EQ(run("END"), 0);
        ASSERT_EQ(surface(1).element_drawing, nullptr);
    }
    fs::path folder_;
};

TEST_F(ElementDrawings, DefaultsAndRecordsComeBackByteForByte) {
    singlet();
    run_all({"ELMDF1 0.1 0.02 0.3 0.04 0.05 0.06", "ELMDF2 1 2 3 4 5 6 7 8 9",
             "ELMDF3 \"Coat \\\"AR\\\"\" \"second\"", "gto 1",
             "ELMTTL \"Lens 1\" \"D-12\" \"1 Jan 2026\" 2",
             "ELMMED 25 0.1 0.25 4 10 11 12 2 3 4 0.05", "ELMSF1 1 5 0.2 0.4 6",
             "ELMSF2 2 0.7 0.08 0.01 0.02 0.03", "ELMSF3 2 0.9 0.8 7 8 1 0 21 22",
             "ELMSF4 1 \"left note\" \"left text\""});
    ASSERT_EQ(run("save_as . " + path("elm")), 0) << error_text();
    const std::string saved = file("elm.len");
    // The lines as this hand-made lens must give them: the defaults after the lens unit, the
    // record after the surface's own data; side 1 keeps its edge and coating values from the
    // defaults (no ELMSF2/ELMSF3), side 2 its texts (no ELMSF4). 5 +- 0.2 became 4.8 .. 5.2.
    for (const char* line : {"\nELMDF1 0.1 0.02 0.3 0.04 0.05 0.06\nELMDF2 1 2 3 4 5 6 7 8 9\n"
                             "ELMDF3 \"Coat \\\"AR\\\"\" \"second\"\n",
                             "\nELMTTL \"Lens 1\" \"D-12\" \"1 Jan 2026\" 2\n"
                             "ELMMED 25.0 0.1 0.25 4 10 11 12 2 3 4 0.05\n"
                             "ELMSF1 1 4.8 5.2 0.4 6 1\n"
                             "ELMSF4 1 \"left note\" \"left text\"\n"
                             "ELMSF1 2 0.1 0.3 0.16 3 1\n"
                             "ELMSF2 2 0.7 0.08 0.01 0.02 0.03\n"
                             "ELMSF3 2 0.9 0.8 7 8 1 0 21 22\n"}) {
        EXPECT_NE(saved.find(line), std::string::npos) << line << "\nin\n" << saved;
    }

    fresh_lens();
    ASSERT_EQ(run("open . " + path("elm") + " no"), 0) << error_text();
    EXPECT_EQ(take_output().find("Error at line"), std::string::npos);
    ASSERT_EQ(run("save_as . " + path("elm2")), 0) << error_text();
    EXPECT_EQ(file("elm2.len"), saved);

    const ElementDrawingDefaults& d = lens_data().element_drawing_defaults;
    EXPECT_EQ(d.set, 1);
    EXPECT_EQ(d.values[5], 0.06);
    EXPECT_EQ(d.integers[5], 6);
    EXPECT_EQ(d.small[2], 9);
    EXPECT_STREQ(d.texts[0], "Coat \"AR\"");
    ASSERT_NE(surface(1).element_drawing, nullptr);
    EXPECT_EQ(surface(2).element_drawing, nullptr);
    const ElementDrawing& e = *surface(1).element_drawing;
    EXPECT_STREQ(e.title, "Lens 1");
    EXPECT_STREQ(e.date, "1 Jan 2026");
    EXPECT_EQ(e.marked, 2);
    EXPECT_EQ(e.diameter, 25.0);
    EXPECT_EQ(e.upper_tolerance, 0.1);
    EXPECT_EQ(e.lower_tolerance, 0.05);
    EXPECT_EQ(e.extra, 4);
    EXPECT_EQ(e.sides[0]->pair[0], 4.8);
    EXPECT_EQ(e.sides[0]->pair[1], 5.2);
    EXPECT_STREQ(e.sides[0]->note, "left note");
    // Side 1 took the coating values of the defaults: doubles 1, 2, 3 and 16-bit values 3..6.
    EXPECT_EQ(e.sides[0]->coating_size, 0.1);
    EXPECT_EQ(e.sides[0]->scratch_width, 0.02);
    EXPECT_EQ(e.sides[0]->edge_chip, 0.3);
    EXPECT_EQ(e.sides[0]->coating_count, 3);
    EXPECT_EQ(e.sides[0]->further[1], 6);
    EXPECT_EQ(e.sides[0]->flags[1], 9);
    EXPECT_EQ(e.sides[1]->rms[2], 0.03);
    EXPECT_EQ(e.sides[1]->further[1], 22);
    EXPECT_STREQ(e.sides[1]->text, "second");
}

// A record made by its first command on a surface without a known diameter takes the values of
// the smallest class (up to 10 mm): diameter tolerance 0.2, bubbles 0.16 x 3, stress 20,
// classes 1 and 1, per side 0.1 / 0.3 and imperfections 0.16 x 3.
TEST_F(ElementDrawings, ANewRecordTakesTheSmallestClass) {
    singlet();
    run_all({"gto 1", "ELMSF4 2 \"only\" \"\""});
    ASSERT_NE(surface(1).element_drawing, nullptr);
    const ElementDrawing& e = *surface(1).element_drawing;
    EXPECT_EQ(e.upper_tolerance, 0.2);
    EXPECT_EQ(e.lower_tolerance, 0.2);
    EXPECT_EQ(e.bubble_size, 0.16);
    EXPECT_EQ(e.bubble_count, 3);
    EXPECT_EQ(e.stress_birefringence, 20);
    EXPECT_EQ(e.inhomogeneity, 1);
    EXPECT_EQ(e.striae, 1);
    for (const ElementSide* s : e.sides) {
        EXPECT_EQ(s->pair[0], 0.1);
        EXPECT_EQ(s->pair[1], 0.3);
        EXPECT_EQ(s->imperfection_size, 0.16);
        EXPECT_EQ(s->imperfection_count, 3);
    }
    ASSERT_EQ(run("save_as . " + path("small")), 0) << error_text();
    const std::string saved = file("small.len");
    EXPECT_NE(saved.find("\nELMMED 0.0 0.2 0.16 3 20 0 0 1 1 0\n"), std::string::npos) << saved;
    // Defaults never set: no ELMDF lines.
    EXPECT_EQ(saved.find("ELMDF"), std::string::npos);
    fresh_lens();
    ASSERT_EQ(run("open . " + path("small") + " no"), 0) << error_text();
    ASSERT_EQ(run("save_as . " + path("small2")), 0) << error_text();
    EXPECT_EQ(file("small2.len"), saved);
}

// The diameter class by semi-diameter: full diameters 10, 30 and 100 mm close classes 0-2.
TEST_F(ElementDrawings, DiameterClassesAndToleranceForms) {
    const struct {
        double semi;
        int expected;
    } classes[] = {{0.0, 0}, {5.0, 0}, {5.01, 1}, {15.0, 1}, {-15.0, 1}, {50.0, 2}, {50.5, 3}};
    for (const auto& c : classes) EXPECT_EQ(diameter_class(c.semi), c.expected) << c.semi;

    singlet();
    ASSERT_EQ(run("gto 1"), 0);
    const struct {
        const char* line;
        double first, second;
    } sides[] = {
        {"ELMSF1 1 5.0 0.2 0.1 2 0", 4.8, 5.2},  // nominal and tolerance become limits
        {"ELMSF1 1 5.0 0.2 0.1 2 1", 5.0, 0.2},  // kept as given
        {"ELMSF1 1 5.0 0.2 0.1 2", 4.8, 5.2},    // keep defaults to 0
        {"ELMSF1 1 5.0 0 0.1 2 0", 5.0, 0.0},    // no tolerance: nothing to turn
    };
    for (const auto& c : sides) {
        ASSERT_EQ(run(c.line), 0) << c.line << ": " << error_text();
        EXPECT_DOUBLE_EQ(surface(1).element_drawing->sides[0]->pair[0], c.first) << c.line;
        EXPECT_DOUBLE_EQ(surface(1).element_drawing->sides[0]->pair[1], c.second) << c.line;
    }
    // A side other than 1 or 2 is refused and changes nothing.
    ASSERT_EQ(run("ELMSF1 3 9 9 9 9 1"), kErrorTextReady);
    EXPECT_NE(error_text().find("side 1 (left) and side 2 (right)"), std::string::npos)
        << error_text();
    EXPECT_DOUBLE_EQ(surface(1).element_drawing->sides[0]->pair[0], 5.0);
    // A negative lower tolerance is the upper one.
    ASSERT_EQ(run("ELMMED 20 0.3 0.2 1 0 0 0 0 0 0 -1"), 0);
    EXPECT_EQ(surface(1).element_drawing->lower_tolerance, 0.3);
    ASSERT_EQ(run("ELMMED 20 0.3 0.2 1 0 0 0 0 0 0"), 0);
    EXPECT_EQ(surface(1).element_drawing->lower_tolerance, 0.3);
}

// A surface inserted before the element moves its record with it; a surface deleted frees it.
TEST_F(ElementDrawings, RecordsFollowTheirSurface) {
    singlet();
    run_all({"gto 1", "ELMTTL \"moved\" \"\" \"\" 0"});
    ASSERT_NE(surface(1).element_drawing, nullptr);
    run_all({"insert_surface 1"});
    EXPECT_EQ(surface(1).element_drawing, nullptr);
    ASSERT_NE(surface(2).element_drawing, nullptr);
    EXPECT_STREQ(surface(2).element_drawing->title, "moved");
    run_all({"delete_surfaces 2"});
    for (int n = 0; n <= lens_data().image_surface; ++n) {
        EXPECT_EQ(surface(n).element_drawing, nullptr) << n;
    }
}

// Inserted into another lens, an element keeps its record; the file's defaults are lens-level
// data and leave the host's alone.
TEST_F(ElementDrawings, AnInsertedElementKeepsItsRecordButNotTheFilesDefaults) {
    singlet();
    run_all({"ELMDF1 0.1 0.02 0.3 0.04 0.05 0.06", "gto 1", "ELMTTL \"Inserted\" \"\" \"\" 0",
             "ELMMED 30 0.4 0.25 4 0 0 0 0 0 0"});
    ASSERT_EQ(run("save_as . " + path("part")), 0) << error_text();
    fresh_lens();
    run_all({"LEN NEW \"Host\"", "EBR 5", "NXT", "RD 20", "TH 2", "NXT", "TH 10", "NXT", "END"});
    ASSERT_EQ(run("insert_file . " + path("part") + " 1"), 0) << error_text();
    EXPECT_EQ(lens_data().element_drawing_defaults.set, 0);
    EXPECT_EQ(lens_data().element_drawing_defaults.values[0], 0.0);
    ASSERT_NE(surface(1).element_drawing, nullptr);
    EXPECT_STREQ(surface(1).element_drawing->title, "Inserted");
    EXPECT_EQ(surface(1).element_drawing->diameter, 30.0);
    EXPECT_EQ(surface(3).element_drawing, nullptr);  // the host's own first surface
}

}  // namespace
