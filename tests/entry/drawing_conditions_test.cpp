// The lens-drawing conditions typed in a lens block: values and defaults, the surfaces drawn,
// the ray rows and their growth, the refusals, and echoes that read back as the same lines.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

class Drawing : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        // Image surface 4.
        run_all({"LEN NEW \"Drawing\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 2 AIR 10",
                 "SRF 0 40 AIR 10", "END", "LEN"});
        take_output();
    }
    static DrawingConditions& dc() { return *lens_data().drawing_conditions; }
};

// Each line echoes its keyword in 15 columns, then for a ray row its number ("%2d "), then the
// value: a number as a listing cell (a blank and "%11.6f", "--" for zero); an int or a switch's
// word right-aligned in 12 columns, in 9 after a row number.
TEST_F(Drawing, ValuesAndDefaults) {
    struct Case {
        const char* line;
        std::function<bool()> holds;
        const char* echo;
    };
    const Case cases[] = {
        {"DLID 5", [] { return dc().view[0] == 5.0; }, "DLID               5.000000\n"},
        {"DLYS 2.5", [] { return dc().view[3] == 2.5; }, "DLYS               2.500000\n"},
        {"DLYS DEF", [] { return dc().view[3] == 0.0; }, "DLYS                 --    \n"},
        {"DLFS 2", [] { return dc().first_surface == 2; }, "DLFS                      2\n"},
        // The image surface and surfaces outside the lens mean every surface.
        {"DLFS 4", [] { return dc().first_surface == 0; }, "DLFS                      0\n"},
        {"DLLS 3", [] { return dc().last_surface == 3; }, "DLLS                      3\n"},
        {"DLLS 0", [] { return dc().last_surface == 0; }, "DLLS                      0\n"},
        {"DLVA 45", [] { return dc().view_angle1 == 45; }, "DLVA                     45\n"},
        {"DLVA DEF", [] { return dc().view_angle1 == 30; }, "DLVA                     30\n"},
        {"DLHA DEF", [] { return dc().view_angle2 == 240; }, "DLHA                    240\n"},
        {"DLRI DEF", [] { return dc().dlri == 3; }, "DLRI                      3\n"},
        {"DLSP DEF", [] { return dc().dlsp == 4; }, "DLSP                      4\n"},
        {"DLRS 2", [] { return dc().dlrs == 2; }, "DLRS                      2\n"},
        {"DLCV 1", [] { return dc().dlcv == 1; }, "DLCV                      1\n"},
        {"DLAS On", [] { return dc().dlas == 1; }, "DLAS                     On\n"},
        {"DLHR DEF", [] { return dc().dlhr == 1; }, "DLHR                     On\n"},
        {"DLFP 1 0.5", [] { return dc().rows[1].field_fraction == 0.5; },
         "DLFP            1    0.500000\n"},
        // Each row's own default: row 1 at 0.7 of the field, row 2 on axis.
        {"DLFP 1 DEF", [] { return dc().rows[1].field_fraction == 0.7; },
         "DLFP            1    0.700000\n"},
        {"DLFP 2 DEF", [] { return dc().rows[2].field_fraction == 0.0; },
         "DLFP            2      --    \n"},
        {"DLMN 0 DEF", [] { return dc().rows[0].pupil_min == -1.0; },
         "DLMN            0   -1.000000\n"},
        {"DLMX 1 DEF", [] { return dc().rows[1].pupil_max == 0.0; },
         "DLMX            1      --    \n"},
        {"DLNR 0 DEF", [] { return dc().rows[0].ray_count == 3; }, "DLNR            0         3\n"},
        {"DLNR 2 7", [] { return dc().rows[2].ray_count == 7; }, "DLNR            2         7\n"},
        {"DLWN 2 3", [] { return dc().rows[2].wavelength == 3; }, "DLWN            2         3\n"},
        {"DLYF 2 Off", [] { return dc().rows[2].drawn == 0; }, "DLYF            2       Off\n"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(run(c.line), 0) << c.line << ": " << error_text();
        EXPECT_TRUE(c.holds()) << c.line;
        // The command line's own line end follows the echo.
        EXPECT_EQ(take_output(), std::string(c.echo) + "\n") << c.line;
    }
}

TEST_F(Drawing, RowsGrowKeepingTheOldOnes) {
    run_all({"DLFP 1 0.25", "DLNR 2 9", "DLNF 5"});
    ASSERT_EQ(dc().row_count, 5);
    EXPECT_EQ(dc().rows[1].field_fraction, 0.25);
    EXPECT_EQ(dc().rows[2].ray_count, 9);
    for (int r = 3; r < 5; ++r) {
        EXPECT_EQ(dc().rows[r].wavelength, 1) << r;
        EXPECT_EQ(dc().rows[r].drawn, 1) << r;
        EXPECT_EQ(dc().rows[r].ray_count, 0) << r;
    }
    run_all({"DLFP 4 0.9"});
    EXPECT_EQ(dc().rows[4].field_fraction, 0.9);
    // Fewer rows keep the array; a row past the count is refused.
    run_all({"DLNF 2"});
    EXPECT_NE(run("DLFP 2 0.1"), 0);
    EXPECT_NE(error_text().find("outside 0..1"), std::string::npos) << error_text();
    EXPECT_NE(run("DLFP -1 0.1"), 0);
    EXPECT_NE(run("DLNF -2"), 0);
    EXPECT_NE(error_text().find("Value: -2"), std::string::npos) << error_text();
    EXPECT_EQ(dc().row_count, 2);
}

TEST_F(Drawing, EchoesReadBack) {
    run_all({"DLID 7.5", "DLFS 2", "DLVA 15", "DLAS On", "DLFP 1 0.35", "DLNR 1 5", "DLYF 1 Off"});
    const std::string echo = take_output();
    run_all(
        {"DLID DEF", "DLFS DEF", "DLVA DEF", "DLAS DEF", "DLFP 1 DEF", "DLNR 1 DEF", "DLYF 1 DEF"});
    std::size_t start = 0;
    while (start < echo.size()) {
        const std::size_t end = echo.find('\n', start);
        const std::string line = echo.substr(start, end - start);
        start = end == std::string::npos ? echo.size() : end + 1;
        if (line.empty()) continue;
        ASSERT_EQ(run(line), 0) << line << ": " << error_text();
    }
    EXPECT_EQ(dc().view[0], 7.5);
    EXPECT_EQ(dc().first_surface, 2);
    EXPECT_EQ(dc().view_angle1, 15);
    EXPECT_EQ(dc().dlas, 1);
    EXPECT_EQ(dc().rows[1].field_fraction, 0.35);
    EXPECT_EQ(dc().rows[1].ray_count, 5);
    EXPECT_EQ(dc().rows[1].drawn, 0);
}

}  // namespace
