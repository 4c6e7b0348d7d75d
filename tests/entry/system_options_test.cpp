// The system options: stored values, defaults restored by DEF, the exclusive aiming modes and
// the echo of each kind of option.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/state_flags.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

TEST_F(Entry, OptionLinesStoreTheirValuesAndDefaults) {
    struct Case {
        std::vector<std::string> lines;
        std::function<bool(const LensData&)> holds;
        const char* echo;  // a part of the last line's echo, or ""
    };
    const Case cases[] = {
        // DEF is an optional word: a number where it may stand is the value.
        {{"FANR 25"}, [](const LensData& l) { return l.fan_rays == 25; }, "FANR"},
        {{"FANR 25", "FANR DEF"}, [](const LensData& l) { return l.fan_rays == 21; }, " 21\n"},
        {{"XABA 45"}, [](const LensData& l) { return l.xaba == 45.0; }, "XABA"},
        {{"XABA 45", "XABA DEF"}, [](const LensData& l) { return l.xaba == 90.0; }, ""},
        {{"SASD 0.25"}, [](const LensData& l) { return l.sasd == 0.25; }, ""},
        {{"TXYC Off"},
         [](const LensData& l) { return l.txyc == 0; },
         "TXYC                    Off\n"},
        {{"TXYC Off", "TXYC DEF"}, [](const LensData& l) { return l.txyc == 1; }, "On\n"},
        {{"OPDW Off"}, [](const LensData& l) { return l.opdw == 0; }, ""},
        {{"APCK Off"}, [](const LensData& l) { return l.apck == 0; }, ""},
        {{"GRCK On"}, [](const LensData& l) { return l.grck == 1; }, ""},
        {{"EPXY On"}, [](const LensData& l) { return l.epxy == 1; }, ""},
        {{"HTNU On"}, [](const LensData& l) { return l.htnu == 1; }, ""},
        {{"ZRXR On"}, [](const LensData& l) { return l.zrxr == 1; }, ""},
        {{"NOLC On"}, [](const LensData& l) { return l.nolc == 1; }, ""},
        {{"GPRT On"}, [](const LensData& l) { return l.gprt == 1; }, ""},
        {{"CSLV On"}, [](const LensData& l) { return l.solves_all_configurations == 1; }, ""},
        {{"CBK 3"}, [](const LensData& l) { return l.cbk == 3; }, ""},
        {{"TTUN Min"},
         [](const LensData& l) { return l.tolerance_angle_units == 2; },
         "Minutes of arc\n"},
        {{"TTUN 9"}, [](const LensData& l) { return l.tolerance_angle_units == 0; }, "Degrees\n"},
        {{"WRSP Inf"}, [](const LensData& l) { return l.wrsp == 0; }, "Infinity\n"},
        {{"WRSP Lsf"}, [](const LensData& l) { return l.wrsp == 2; }, "Last surface\n"},
        {{"WRSP 5"}, [](const LensData& l) { return l.wrsp == 1; }, "Exit pupil\n"},
        {{"WRSO Off"}, [](const LensData& l) { return l.wrsp == 2; }, ""},
        {{"WRSO On"}, [](const LensData& l) { return l.wrsp == 0; }, ""},
        // An aiming mode outside 0..5 is the central reference ray.
        {{"RAIM 7"}, [](const LensData& l) { return l.aim_mode == 1; }, "Central reference ray\n"},
        {{"RAIM Tel"}, [](const LensData& l) { return l.aim_mode == 5; }, ""},
        // The three aiming switches exclude each other.
        {{"WAM On", "XAM On"},
         [](const LensData& l) {
             return l.aim_mode == 4 && l.aim_extended == 1 && l.aim_state == 0 &&
                    l.aim_telecentric == 0;
         },
         "Extended aperture mode\n"},
        {{"WAM On", "XAM On", "XAM Off"},
         [](const LensData& l) {
             return l.aim_mode == 1 && l.aim_extended == 0 && l.aim_state == 0 &&
                    l.aim_telecentric == 0;
         },
         "Central reference ray\n"},
        {{"XAM On", "TPM On"},
         [](const LensData& l) {
             return l.aim_mode == 5 && l.aim_telecentric == 1 && l.aim_extended == 0;
         },
         "Telecentric pupil mode\n"},
        {{"TPM On", "RAIM Rrr"},
         [](const LensData& l) { return l.aim_mode == 2 && l.aim_telecentric == 0; },
         "Rim reference rays\n"},
    };
    run_all({"LEN NEW \"Options\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END"});
    for (const Case& c : cases) {
        // Inside a block nothing is set up before END: the stored values are the commands' own.
        run_all({"LEN"});
        take_output();
        for (const std::string& line : c.lines) {
            ASSERT_EQ(run(line), 0) << line << ": " << error_text();
        }
        const std::string shown = take_output();
        EXPECT_TRUE(c.holds(lens_data())) << c.lines.back();
        EXPECT_NE(shown.find(c.echo), std::string::npos) << c.lines.back() << ": " << shown;
        run_all({"END", "RAIM DEF"});
    }
    // A word that is no aiming mode does not compile, and the mode stays.
    const std::size_t shown = errors().size();
    EXPECT_NE(run("RAIM Xyz"), 0);
    EXPECT_NE(errors().find("Xyz", shown), std::string::npos);
    EXPECT_EQ(lens_data().aim_mode, 1);
}

// Options the ray trace reads set the lens up outside a block; the others do not.
TEST_F(Entry, OptionsThatTheTraceReadsSetTheLensUp) {
    run_all({"LEN NEW \"Options\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END"});
    set_state_flag(kFlagReferenceRayCurrent);
    ASSERT_EQ(run("FANR 11"), 0);
    EXPECT_NE(test_state_flag(kFlagReferenceRayCurrent), 0);
    ASSERT_EQ(run("APCK Off"), 0);
    EXPECT_EQ(test_state_flag(kFlagReferenceRayCurrent), 0);
}

}  // namespace
