// The special data of a range of surfaces: the summary tags, every listing that has something
// to show, conics with their polynomial terms, decentres, surface flags, medium values by
// wavelength, and the menu's listing codes with the command they leave in the history.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "lens/surface_setters.h"
#include "runtime/command_history.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::cell;
using entry_test::Entry;
using entry_test::kZero;

class Range : public Entry {
protected:
    // Surface 1 a note and a conic with an AD term, surface 2 a decentre and tilt, surface 3 a
    // Fresnel face and a drawing switch; image 5.
    void SetUp() override {
        Entry::SetUp();
        run_all({"LEN NEW \"Special\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 2 AIR 10",
                 "SRF 40 3 N-BK7 10", "SRF 0 40 AIR 10", "END", "LEN", "NXT", "NOT \"front face\"",
                 "CC -0.5", "NXT", "NXT", "FRN FRESNEL", "FCV 0.01", "DRW AP", "END"});
        set_polynomial_asphere_term(1, 4, 2e-5);
        ASSERT_EQ(ensure_decentre_record(2), 0);
        DecentreRecord& d = *surface(2).decentre;
        d.tilt_mode = 2;
        d.dcy = 0.5;
        d.tla = 2.0;
        take_output();
    }
    std::string listing(const std::string& line) {
        take_output();
        EXPECT_EQ(run(line), 0) << line << ": " << error_text();
        std::string out = take_output();
        // The command line's own line end follows the listing.
        if (!out.empty() && (out == "\n" || out.compare(out.size() - 2, 2, "\n\n") == 0)) {
            out.pop_back();
        }
        return out;
    }
};

TEST_F(Range, SummaryTagsPerSurface) {
    EXPECT_EQ(listing("LIST_SPECIAL"), std::string("SPECIAL DATA\n") + "  1     SFN   ADO   \n" +
                                           "  2     TDC   \n" + "  3     SFT   \n");
    EXPECT_EQ(listing("LIST_SPECIAL 0 0 4 5"), "SPECIAL DATA\nNo special data\n");
}

TEST_F(Range, EveryListingWithSomethingToShow) {
    const std::string expected =
        std::string("SURFACE NOTES\n") + "  1    front face\n" + "CONIC AND POLYNOMIAL ASPHERES\n" +
        "SRF          CC          AD          AE          AF          AG\n" + "  1   " +
        cell(-0.5) + "  2.0000e-05 " + kZero + " " + kZero + " " + kZero + "\n" +
        "DECENTRES AND TILTS\n" + "  2     DT    2         DCX  " + kZero + "   DCY " + cell(0.5) +
        "   DCZ  " + kZero + "\n" + std::string(27, ' ') + "   TLA " + cell(2.0) + "   TLB  " +
        kZero + "   TLC  " + kZero + "\n" + "SURFACE FLAGS\n" + "  3     FRN   1   FCV " +
        cell(0.01) + "   FCC  " + kZero + "\n" + "        DRW AP\n";
    EXPECT_EQ(listing("LIST_SPECIAL 1"), expected);
    // Without special data the summary's title and none message stand alone.
    EXPECT_EQ(listing("LIST_SPECIAL 1 0 4 5"), "SPECIAL DATA\nNo special data\n");
}

TEST_F(Range, GroupsAndSkipsInTheFlags) {
    ASSERT_EQ(make_group(1, 2), 0);
    run_all({"LEN", "NXT", "NXT", "NXT", "NXT", "SKP 5", "END"});
    EXPECT_EQ(listing("LIST_SURFACE_FLAGS 0 1 4"),
              std::string("SURFACE FLAGS\n") + "  1     LMO ELE  (2 surfaces)\n" +
                  "  3     FRN   1   FCV " + cell(0.01) + "   FCC  " + kZero + "\n" +
                  "        DRW AP\n" + "  4     SKP   5\n");
}

TEST_F(Range, MediumValuesFiveToALine) {
    run_all({"WV 0.5 0.6 0.7 0.8 0.9 1.0"});
    const std::string out = listing("LIST_MEDIUM_VALUES 0 5");
    EXPECT_EQ(out, std::string("MEDIUM VALUES BY WAVELENGTH\n") +
                       "SRF      MEDIUM          WAVE 1      WAVE 2      WAVE 3      WAVE 4"
                       "      WAVE 5\n" +
                       std::string(19, ' ') + "      WAVE 6\n" + "  5      IMAGE SURFACE\n");
}

TEST_F(Range, MenuCodesListAndLeaveTheirCommandInTheHistory) {
    const std::string radii = listing("LIST_RADII 0 1 2");
    EXPECT_EQ(listing("LIST_MENU 700 0 0 1 2"), radii);
    EXPECT_EQ(listing("LIST_MENU 701 729 0 1 3"), "SURFACE NOTES\n  1    front face\n");
    EXPECT_EQ(listing("LIST_MENU 701 710 0 1 3"), listing("LIST_SPECIAL 1 0 1 3"));
    // Codes without a listing print nothing.
    EXPECT_EQ(listing("LIST_MENU 705"), "");
    EXPECT_EQ(listing("LIST_MENU 701 799"), "");

    // Typed at the command line, the menu code is remembered as the listing command.
    type("LIST_MENU 702 0 0 1 2");
    ASSERT_GT(history_count(), 0);
    const std::string last = history_line(history_count() - 1);
    EXPECT_EQ(last.rfind("list_solves", 0), 0u) << last;
    EXPECT_NE(last.find(" 1 2"), std::string::npos) << last;
}

}  // namespace
