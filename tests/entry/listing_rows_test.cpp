// The listings of pickups, solves, apertures, notes, perfect lenses, spline profiles and
// meshes, laid out here from their row formats: a surface number as "%3d   ", a tag after two
// blanks, a source as "%3d", a number as one blank and "%11.6f" (a zero as "--" in its cell).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/lens_reset.h"
#include "numeric/memory.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::cell;
using entry_test::Entry;
using entry_test::kZero;

class Rows : public Entry {
protected:
    std::string listing(const std::string& line) {
        take_output();
        EXPECT_EQ(run(line), 0) << line << ": " << error_text();
        std::string out = take_output();
        if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\n\n") == 0) out.pop_back();
        return out;
    }
    // Surface 3 picks up four things from surface 1, surface 4 a negated curvature with an
    // offset and a length from 1 to 2; surface 2 has a slope solve and an edge-thickness solve.
    void pickup_lens() {
        run_all({"LEN NEW \"Pickups\"",
                 "NXT",
                 "SRF 50 5 N-BK7 10",
                 "SRF -50 2 AIR 10",
                 "RD 100",
                 "TH 3",
                 "PK GLA 1",
                 "PK CV 1 0",
                 "PK TH 1 0",
                 "PK AP 1",
                 "NXT",
                 "RD -100",
                 "PK CVM 3 0.01",
                 "PK LN 1 2 0.5",
                 "AP 8",
                 "NXT",
                 "END",
                 "LEN",
                 "NXT",
                 "NXT",
                 "PU -0.1",
                 "ET 1 0.5",
                 "END"});
    }
};

TEST_F(Rows, PickupsShortPackedLongAlone) {
    pickup_lens();
    EXPECT_EQ(
        listing("LIST_PICKUPS"),
        std::string("PICKUPS\n") + "  3     GLA    1      CV     1      TH     1      AP     1\n" +
            "  4     CVM    3    " + cell(0.01) + "\n" + "        LN     1   2" + cell(0.5) + "\n");
    // A special aperture picked up from surface 1's aperture B stands on its own line.
    SurfaceRecord& s = surface(3);
    s.special_apertures = alloc_array_of<SpecialAperture>(1);
    ASSERT_NE(s.special_apertures, nullptr);
    s.special_aperture_count = 1;
    init_special_aperture(3, 0);
    s.special_apertures[0].pickup_source = 1;
    s.special_apertures[0].pickup_id_letter = 'B';
    EXPECT_EQ(listing("LIST_PICKUPS 0 3"),
              std::string("PICKUPS\n") +
                  "  3     GLA    1      CV     1      TH     1      AP     1\n" +
                  "        SAP  A   1 B\n");
}

TEST_F(Rows, SolvesAndApertures) {
    pickup_lens();
    EXPECT_EQ(listing("LIST_SOLVES"),
              "SOLVES\n  2     PU  " + cell(-0.1) + "  ET  " + cell(1.0) + cell(0.5) + "\n");
    // Every surface has an aperture row; the entered ones are "SPC", checked ones add "CHK".
    run_all({"LEN", "NXT", "AP CHK 6", "END"});
    EXPECT_EQ(listing("LIST_APERTURES 0 1 2"),
              std::string("APERTURE DATA\n") + "SRF     TYP       RADIUS\n" + "  1     SPC " +
                  cell(6.0) + "  CHK\n" + "  2     SPC " + cell(10.0) + "\n");
    // A rectangle of aperture group 1 on surface 2 follows the surface's row.
    SurfaceRecord& s = surface(2);
    s.special_apertures = alloc_array_of<SpecialAperture>(1);
    ASSERT_NE(s.special_apertures, nullptr);
    s.special_aperture_count = 1;
    init_special_aperture(2, 0);
    SpecialAperture& a = s.special_apertures[0];
    a.shape = kApertureRectangle;
    a.action = kActionObstruct;
    a.group = 1;
    a.x[0] = -1.0;
    a.x[1] = 1.0;
    a.y[0] = -2.0;
    a.y[1] = 2.0;
    EXPECT_EQ(listing("LIST_APERTURES 0 2"),
              std::string("APERTURE DATA\n") + "SRF     TYP       RADIUS\n" + "  2     SPC " +
                  cell(10.0) + "\n" + "     Aperture group 1\n" +
                  "     A  ATP  Rectangle AAC   Obstruct AAN  " + kZero + "\n" + "        AX1 " +
                  cell(-1.0) + "  AX2 " + cell(1.0) + "  AY1 " + cell(-2.0) + "  AY2 " + cell(2.0) +
                  "\n" + "\n");
}

TEST_F(Rows, APlainLensPrintsEachTitleAndNoneMessageOnce) {
    run_all({"LEN NEW \"Plain\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 45 AIR 10", "END"});
    const struct {
        const char* line;
        const char* text;
    } cases[] = {
        {"LIST_PICKUPS", "PICKUPS\nNo pickups\n"},
        {"LIST_SOLVES", "SOLVES\nNo solves\n"},
        {"LIST_NOTES", "SURFACE NOTES\nNo surface notes\n"},
        {"LIST_PERFECT_LENSES", "PERFECT LENSES\nNo perfect lenses\n"},
        {"LIST_SPLINES", "SPLINE PROFILES\nNo spline profiles\n"},
        {"LIST_MESHES", "SURFACE MESHES\nNo surface meshes\n"},
        // A range without the last surface has no last row: no none message.
        {"LIST_PICKUPS 0 5 9", "PICKUPS\nNo pickups\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(listing(c.line), c.text) << c.line;
}

TEST_F(Rows, SpecialDataOfTheSurfacesOwnCommands) {
    run_all({"LEN NEW \"Special\"", "NXT", "SRF 50 5 N-BK7 10", "NOT \"rear\"", "PFL 20", "PFM -2",
             "SPL 2", "SH 1 4", "SH 2 8", "SS 2 0.5", "BDI 3 2", "VX 1 1 2 3", "VX 2 1 1 1 1",
             "VX 3 0.5 0.5 0.5 0", "PF 1 1 2 3", "PF 2 3 -2 1 1", "BDD PF 1", "NXT", "END"});
    EXPECT_EQ(listing("LIST_NOTES"), "SURFACE NOTES\n  2    rear\n");
    EXPECT_EQ(listing("LIST_PERFECT_LENSES"),
              "PERFECT LENSES\n  2     PFL " + cell(20.0) + "   PFM " + cell(-2.0) + "\n");
    EXPECT_EQ(listing("LIST_SPLINES"),
              std::string("SPLINE PROFILES\n") + "  2   SH0  " + kZero + " SS0  " + kZero +
                  "  SH1  " + cell(4.0).substr(1) + " SS1  " + kZero + "\n" + "      SH2  " +
                  cell(8.0).substr(1) + " SS2  " + cell(0.5).substr(1) + "\n");
    // Vertex 2 lies on the surface after (offset 1; -1 would mark a free slot); face 1 was
    // deleted.
    EXPECT_EQ(listing("LIST_MESHES"),
              std::string("SURFACE MESHES\n") + "Surface 2\n" +
                  "  VTX               X           Y           Z   SURFACE\n" + "    1    " +
                  cell(1.0) + cell(2.0) + cell(3.0) + "         2\n" + "    2    " + cell(1.0) +
                  cell(1.0) + cell(1.0) + "         3\n" + "    3    " + cell(0.5) + cell(0.5) +
                  cell(0.5) + "         2\n" +
                  " FACE     VERTEX 1     VERTEX 2     VERTEX 3     VERTEX 4\n" +
                  "    2            3           -2            1            1\n");
}

TEST_F(Rows, WholeLensListsEveryKindInTurn) {
    pickup_lens();
    const std::string parts = listing("LIST_RADII") + listing("LIST_SPECIAL 1") +
                              listing("FIRST_ORDER") + listing("LIST_SOLVES") +
                              listing("LIST_PICKUPS") + listing("LIST_APERTURES") + listing("WL") +
                              listing("LIST_INDICES");
    EXPECT_EQ(listing("LEN -1"), parts);
}

}  // namespace
