// The lens listings as a designer reads them: the surface data with radii or curvatures, the
// refractive indices, the wavelength table and the whole-lens listing of "LEN -1". The expected
// text is laid out here column by column from the listing formats: a row label of five
// columns, numbers of eleven columns ("%11.6f", a zero as "--" in the middle of its cell), the
// marks between them as " %c ".
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;
using entry_test::kZero;

std::string bare_cell(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%11.6f", v);
    return text;
}

class Listings : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        ASSERT_EQ(set_setting_flag(kSetSurfaceLabels, 1), 0);
        // Two singlets in air, the stop on the back of the first; object and image apertures
        // entered, so that no traced value enters the listing.
        run_all({"LEN NEW \"Golden\"", "TH 100", "AP 20", "NXT", "SRF 50 5 N-BK7 10", "AST",
                 "SRF -50 2 AIR 10", "SRF 100 3 N-BK7 8", "SRF 0 40 AIR 8", "AP 2", "END"});
        take_output();
    }
    std::string listing(const std::string& line) {
        take_output();
        EXPECT_EQ(run(line), 0) << line << ": " << error_text();
        // The command line's own line end follows the listing.
        std::string out = take_output();
        if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\n\n") == 0) out.pop_back();
        return out;
    }
};

TEST_F(Listings, RadiiWithSurfaceLabels) {
    const std::string expected =
        std::string("RADIUS DATA\n") + "Golden\n" +
        "SRF        RADIUS     THICKNESS      APERTURE           GLASS     NOTE\n" + "\n" +
        "  1     50.000000      5.000000     10.000000           N-BK7 C   \n" +
        " AST   -50.000000      2.000000     10.000000 A           AIR     \n" + "\n" +
        "  3    100.000000      3.000000      8.000000           N-BK7 C   \n" + "  4   " + kZero +
        "     40.000000      8.000000             AIR     \n" + "\n" + " IMS  " + kZero + "   " +
        kZero + "      2.000000" + std::string(21, ' ') + "\n";
    // The object's aperture is the set-up's: the row is checked up to its thickness.
    std::string out = listing("LIST_RADII");
    const std::size_t head = expected.find("\n\n");
    const std::size_t row0 = out.find(" OBJ ");
    ASSERT_NE(row0, std::string::npos) << out;
    EXPECT_EQ(out.substr(row0, 31), std::string(" OBJ  ") + kZero + "    100.000000") << out;
    out.erase(row0, out.find('\n', row0) + 1 - row0);
    EXPECT_EQ(out, expected) << head;
}

TEST_F(Listings, CurvaturesOfARangeWithoutLabels) {
    ASSERT_EQ(set_setting_flag(kSetSurfaceLabels, 0), 0);
    const std::string expected =
        std::string("CURVATURE DATA\n") + "Golden\n" +
        "SRF     CURVATURE     THICKNESS      APERTURE           GLASS     NOTE\n" +
        "  2     -0.020000      2.000000     10.000000 A           AIR     \n" + "\n" +
        "  3      0.010000      3.000000      8.000000           N-BK7 C   \n";
    EXPECT_EQ(listing("LIST_CURVATURES 0 2 3"), expected);
    // One surface alone when no last is given; the image surface is the end of every range.
    EXPECT_NE(listing("LIST_CURVATURES 0 4").find("  4        --    "), std::string::npos);
    const std::string tail = listing("LIST_CURVATURES 0 5 9");
    EXPECT_NE(tail.find("  5        --    "), std::string::npos) << tail;
    EXPECT_EQ(tail.find("  6  "), std::string::npos) << tail;
}

TEST_F(Listings, GroupCollapsedOrListedSurfaceBySurface) {
    ASSERT_EQ(set_setting_flag(kSetSurfaceLabels, 0), 0);
    const std::uint8_t roles[] = {kRoleFirst, kRoleInner, kRoleLast};
    for (int j = 1; j <= 3; ++j) {
        surface(j).group_kind = kGroupElement;
        surface(j).group_role = roles[j - 1];
    }
    std::snprintf(surface(1).group_label, sizeof surface(1).group_label, "%s", "Front pair");
    // Off: the interior surface is gone, the head shows the group's name and its length up to
    // the last surface (5 + 2), the last surface its note column.
    const std::string collapsed =
        std::string("RADIUS DATA\n") + "Golden\n" +
        "SRF        RADIUS     THICKNESS      APERTURE           GLASS     NOTE\n" + "\n" +
        "  1    Front pair      7.000000     10.000000           N-BK7 C * \n" + "\n" +
        "  3                    3.000000      8.000000           N-BK7 C   \n" + "  4   " + kZero +
        "     40.000000      8.000000             AIR     \n" + "\n" + "  5   " + kZero + "   " +
        kZero + "      2.000000" + std::string(21, ' ') + "\n";
    EXPECT_EQ(listing("LIST_RADII 0 1 5"), collapsed);
    // A group without a name is shown by its kind.
    surface(1).group_label[0] = '\0';
    EXPECT_NE(listing("LIST_RADII 0 1").find("  1       ELEMENT      7.000000"), std::string::npos);

    run_all({"GPRT On"});
    const std::string listed = listing("LIST_RADII 0 1 3");
    EXPECT_EQ(listed,
              std::string("RADIUS DATA\n") + "Golden\n" +
                  "SRF        RADIUS     THICKNESS      APERTURE           GLASS     NOTE\n" +
                  "\n" + "  1     50.000000      5.000000     10.000000           N-BK7 C * \n" +
                  "  2    -50.000000      2.000000     10.000000 A           AIR     \n" + "\n" +
                  "  3    100.000000      3.000000      8.000000           N-BK7 C   \n");
}

TEST_F(Listings, MarksOfPickupsSolvesAndLongNotes) {
    ASSERT_EQ(set_setting_flag(kSetSurfaceLabels, 0), 0);
    // Surface 3: curvature picked up, a marginal-ray solve on the thickness, the aperture
    // computed and checked, a long note on a line of its own.
    run_all({"LEN", "NXT", "NXT", "NXT", "PK CV 1 0", "PY 0", "AP CHK",
             "NOT \"the rear singlet faces the image\"", "END"});
    const std::string row = listing("LIST_RADII 0 3");
    EXPECT_NE(row.find("  3     50.000000 P "), std::string::npos) << row;
    EXPECT_NE(row.find(" S "), std::string::npos) << row;
    EXPECT_NE(row.find("\nthe rear singlet faces the image\n"), std::string::npos) << row;
    // A short note stays on the row, after the special mark.
    run_all({"LEN", "NXT", "NOT \"front\"", "END"});
    EXPECT_NE(listing("LIST_RADII 0 1").find("N-BK7 C   front\n"), std::string::npos);
}

TEST_F(Listings, IndicesOfFourWavelengths) {
    run_all({"WV 0.5876 0.4861 0.6563 0.55"});
    const SurfaceRecord& glass = surface(1);
    const double* n = glass.index;
    // The Abbe number from its definition, not from the listing code.
    const double v = (n[0] - 1.0) / (n[1] - n[2]);
    const std::string head =
        std::string("REFRACTIVE INDICES\n") +
        "SRF      GLASS          INDEX 1     INDEX 2     INDEX 3    V-NUMBER         TCE\n" +
        std::string(19, ' ') + "     INDEX 4\n";
    const std::string row1 = "  1      N-BK7     " + (" " + bare_cell(n[0])) +
                             (" " + bare_cell(n[1])) + (" " + bare_cell(n[2])) +
                             (" " + bare_cell(v)) + (" " + bare_cell(glass.medium_tce)) + "\n" +
                             std::string(19, ' ') + " " + bare_cell(n[3]) + "\n";
    const std::string out = listing("LIST_INDICES 0 1");
    EXPECT_EQ(out, head + row1);
    EXPECT_NEAR(v, 64.17, 0.1);  // N-BK7, nd 1.5168, vd 64.17
    // Air: equal indices give a dispersion number of 0; the image surface is named.
    const std::string all = listing("LIST_INDICES");
    EXPECT_NE(all.find("  2      AIR       " + (" " + bare_cell(1.0)) + (" " + bare_cell(1.0)) +
                       (" " + bare_cell(1.0)) + " " + kZero),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("  5      IMAGE SURFACE\n"), std::string::npos) << all;

    run_all({"WV 0.5876 0.4861"});
    const std::string two = listing("LIST_INDICES 0 3");
    EXPECT_EQ(two.substr(0, two.find('\n', 20) + 1),
              std::string("REFRACTIVE INDICES\n") +
                  "SRF      GLASS          INDEX 1     INDEX 2         TCE\n");
}

TEST_F(Listings, SevenWavelengthsInTwoBlocks) {
    run_all({"WV 0.4 0.5 0.6 0.7 0.8 0.9 1.1", "WW 1 1 1 1 1 1 2", "WL 7"});
    const std::string expected =
        std::string("WAVELENGTHS\n") +
        "CUR      WV1/WW1     WV2/WW2     WV3/WW3     WV4/WW4     WV5/WW5     WV6/WW6\n" +
        "   7    0.400000    0.500000    0.600000    0.700000    0.800000    0.900000\n" +
        "        1.000000    1.000000    1.000000    1.000000    1.000000    1.000000\n" + "\n" +
        "         WV7/WW7\n" + "        1.100000\n" + "        2.000000\n";
    EXPECT_EQ(listing("WL"), expected);
}

TEST_F(Listings, WavelengthSelection) {
    run_all({"WV 0.5876 0.4861 0.6563"});
    EXPECT_EQ(listing("WL 3"), "Wavelength 3 is current\n");
    EXPECT_EQ(lens_data().current_wavelength, 2);
    EXPECT_NE(run("WL 4"), 0);
    EXPECT_NE(error_text().find("outside 1..3"), std::string::npos) << error_text();
    EXPECT_EQ(lens_data().current_wavelength, 2);
    EXPECT_NE(run("WL 0"), 0);
    EXPECT_EQ(lens_data().current_wavelength, 2);
}

TEST_F(Listings, WholeLensIsTheListingsInTurnAndChangesNoArguments) {
    const std::string parts = listing("LIST_RADII") + listing("LIST_SPECIAL 1") +
                              listing("FIRST_ORDER") + listing("LIST_SOLVES") +
                              listing("LIST_PICKUPS") + listing("LIST_APERTURES") + listing("WL") +
                              listing("LIST_INDICES");
    EXPECT_EQ(listing("LEN -1"), parts);
    EXPECT_EQ(listing("LEN -1"), parts);
}

// The first-order listing belongs to the evaluation code: the whole-lens listing calls
// whatever stands in its handler slot after the special data.
TEST_F(Listings, WholeLensCallsTheFirstOrderListingInItsPlace) {
    set_handler(kSlotFirstOrderListing, [] {
        text_out("FIRST ORDER\n");
        return -1;  // its result is ignored
    });
    const std::string parts = listing("LIST_RADII") + listing("LIST_SPECIAL 1") + "FIRST ORDER\n" +
                              listing("LIST_SOLVES") + listing("LIST_PICKUPS") +
                              listing("LIST_APERTURES") + listing("WL") + listing("LIST_INDICES");
    const std::string whole = listing("LEN -1");
    set_handler(kSlotFirstOrderListing, nullptr);
    EXPECT_EQ(whole, parts);
}

}  // namespace
