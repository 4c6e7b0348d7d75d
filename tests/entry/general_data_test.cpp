// The general lens data commands: what each stores, what it refuses, when the lens is set up,
// and the lens-wide values named for procedures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

TEST_F(Entry, GeneralDataLinesStoreTheLensWideValues) {
    struct Case {
        std::vector<std::string> lines;
        std::function<bool(const LensData&)> holds;
        const char* echo;  // a part of the echo, or ""
    };
    const Case cases[] = {
        {{"UNI 25.4"}, [](const LensData& l) { return l.units == 25.4; }, "UNI           in\n"},
        {{"UNI 0.001"}, [](const LensData& l) { return l.units == 0.001; }, "UNI           mu\n"},
        {{"UNI 1000"}, [](const LensData& l) { return l.units == 1000.0; }, "UNI            m\n"},
        {{"UNI 2"}, [](const LensData& l) { return l.units == 2.0; }, "UNI     2.000000\n"},
        // An object height of 0 is an object at infinity given by height.
        {{"OBH 0"},
         [](const LensData& l) { return l.object_height == -1e14 && l.field_is_angle == 0; },
         ""},
        {{"OBH 12.5"},
         [](const LensData& l) { return l.object_height == 12.5 && l.field_is_angle == 0; },
         ""},
        // A field angle of 0 is 1e-6 radian, shown in degrees; it is kept as a float holds it
        // (5e-17 away), so a millionth of it is the tolerance.
        {{"ANG 0"},
         [](const LensData& l) {
             return std::fabs(l.field_angle - 1e-6) < 1e-12 && l.field_is_angle == 1;
         },
         "5.7296e-05"},
        {{"ANG 20"},
         [](const LensData& l) { return l.field_angle == 20 * 0.017453292519943295; },
         ""},
        // The temperature remembers the old one as the reference of the expansion (inside a
        // block, before the set-up expands the lens).
        {{"LEN", "TEM 20 0", "TEM 25 1"},
         [](const LensData& l) {
             return l.temperature == 25.0 && l.reference_temperature == 20.0 &&
                    l.thermal_expansion == 1;
         },
         ""},
        {{"PRE 0.9"}, [](const LensData& l) { return l.pressure == 0.9; }, ""},
        {{"NAO 0.1", "EBR 6.25"},
         [](const LensData& l) { return l.entrance_beam_radius == 6.25 && l.aperture_is_na == 0; },
         ""},
        {{"NAO 0.1"},
         [](const LensData& l) { return l.object_na == 0.1 && l.aperture_is_na == 1; },
         ""},
        // The stop takes the reference surface with it only while both are the same.
        {{"AST 1", "RFS 1", "AST 2"},
         [](const LensData& l) { return l.aperture_stop == 2 && l.reference_surface == 2; },
         ""},
        {{"AST 1", "RFS 3", "AST 2"},
         [](const LensData& l) { return l.aperture_stop == 2 && l.reference_surface == 3; },
         ""},
        {{"GTO 3", "RFS"}, [](const LensData& l) { return l.reference_surface == 3; }, ""},
        {{"AST 2", "AST 0"}, [](const LensData& l) { return l.aperture_stop == 2; }, ""},
        {{"GTO 2", "AST"}, [](const LensData& l) { return l.aperture_stop == 2; }, ""},
        {{"IMS 4"}, [](const LensData& l) { return l.image_surface == 4; }, ""},
        {{"GCS 2"}, [](const LensData& l) { return l.global_coordinate_surface == 2; }, ""},
        {{"AMO UNC"}, [](const LensData& l) { return l.afocal_mode == 2; }, "AMO     UNC"},
        // Afocal on with mode 0 makes it mode 1; off with mode 2 keeps mode 2.
        {{"AMO TRA", "AFO 1"},
         [](const LensData& l) { return l.afocal == 1 && l.afocal_mode == 1; },
         "Afocal"},
        {{"AMO UNC", "AFO 0"},
         [](const LensData& l) { return l.afocal == 0 && l.afocal_mode == 2; },
         "Focal"},
        {{"LINT 7"}, [](const LensData& l) { return l.user_integer == 7; }, ""},
        {{"TIT \"0123456789012345678901234567890123456789\""},
         [](const LensData& l) {
             return std::strcmp(l.title, "01234567890123456789012345678901") == 0 &&
                    std::strcmp(l.title_copy, l.title) == 0;
         },
         "TIT: 0123"},
        {{"DES \"A. Designer-Smith\""},
         [](const LensData& l) { return std::strcmp(l.designer, "A. Designe") == 0; },
         ""},
        {{"SNO3 \"a note\""},
         [](const LensData& l) { return std::strcmp(l.notes[2], "a note") == 0; },
         "SNO3\na note\n"},
    };
    run_all({"LEN NEW \"General\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END"});
    for (const Case& c : cases) {
        take_output();
        for (const std::string& line : c.lines) {
            ASSERT_EQ(run(line), 0) << line << ": " << error_text();
        }
        const std::string shown = take_output();
        EXPECT_TRUE(c.holds(lens_data())) << c.lines.back();
        EXPECT_NE(shown.find(c.echo), std::string::npos) << c.lines.back() << ": " << shown;
        if (test_state_flag(kFlagLensEntryInProgress) != 0) {
            ASSERT_EQ(run("END"), 0);
        }
    }
}

TEST_F(Entry, GeneralDataRefusesWhatTheLensCannotHold) {
    struct Case {
        const char* line;
        const char* message;
    };
    const Case cases[] = {
        {"NAO 0", "The numerical aperture cannot be 0"},
        {"NAO 1.5", "cannot exceed the object-space index 1.000000"},
        {"AST 13", "Surface 13 is outside 0..12"},
        {"AST -1", "Surface -1 is outside 0..12"},
        {"RFS 13", "Surface 13 is outside 0..12"},
        {"GCS 13", "Surface 13 is outside 0..12"},
        {"IMS 0", "The image surface 0 is outside 1..12"},
        {"IMS 13", "The image surface 13 is outside 1..12"},
        {"SNO0 \"x\"", "Note 0 is outside 1..10"},
        {"SNO11 \"x\"", "Note 11 is outside 1..10"},
    };
    run_all({"LEN NEW \"General\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END"});
    const LensData before = lens_data();
    for (const Case& c : cases) {
        EXPECT_NE(run(c.line), 0) << c.line;
        EXPECT_NE(error_text().find(c.message), std::string::npos)
            << c.line << ": " << error_text();
        EXPECT_EQ(std::memcmp(&before, &lens_data(), sizeof(LensData)), 0) << c.line;
    }
}

// Outside a block a change sets the lens up at once; inside one it waits for END.
TEST_F(Entry, GeneralDataSetsTheLensUpOutsideABlockOnly) {
    run_all({"LEN NEW \"General\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END"});
    ASSERT_EQ(run("EBR 2"), 0);
    EXPECT_EQ(surface(1).axial_ray_height, 2.0);
    run_all({"LEN", "EBR 3"});
    EXPECT_EQ(surface(1).axial_ray_height, 2.0);
    run_all({"END"});
    EXPECT_EQ(surface(1).axial_ray_height, 3.0);
}

// Procedures read and write the lens-wide values by name; a statement with the name and a
// number is the command.
TEST_F(Entry, LensWideValuesHaveNames) {
    run_all({"LEN NEW \"Names\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END"});
    ASSERT_EQ(run("ebr = 6.25"), 0);
    EXPECT_EQ(lens_data().entrance_beam_radius, 6.25);
    take_output();
    ASSERT_EQ(run("EBR 4.5"), 0);
    EXPECT_NE(take_output().find("EBR"), std::string::npos);
    EXPECT_EQ(lens_data().entrance_beam_radius, 4.5);
    ASSERT_EQ(run("a = ebr * 2 + ast + image_surface + wavelength_count"), 0);
    // 9 + stop 1 + image 3 + three wavelengths.
    EXPECT_EQ(run("fanr = a"), 0);
    EXPECT_EQ(lens_data().fan_rays, 16);
    ASSERT_EQ(run("tem = 30"), 0);
    EXPECT_EQ(lens_data().temperature, 30.0);
}

}  // namespace

namespace {

// The paraxial listings print numbers only of a lens that exists and whose last set-up worked;
// otherwise they say why.
TEST_F(Entry, ListingsRefuseALensThatIsNotUpToDate) {
    // The program starts with its start-up lens: object, one surface and the image in air.
    EXPECT_EQ(lens_data().image_surface, 2);
    EXPECT_EQ(test_state_flag(kFlagLensEntryInProgress), 0);
    take_output();
    ASSERT_EQ(run("par_setup"), 0) << error_text();
    EXPECT_NE(take_output().find("PARAXIAL SETUP"), std::string::npos);
    // Without one (as before the start-up lens is made) the listing says so.
    lens_data().image_surface = 0;
    EXPECT_EQ(run("par_setup"), kErrorTextReady);
    EXPECT_EQ(error_text(), "There is no lens yet: enter one (LEN NEW) or open a lens file");

    run_all({"LEN NEW \"Listed\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END"});
    take_output();
    ASSERT_EQ(run("par_setup"), 0) << error_text();
    EXPECT_NE(take_output().find("EFL"), std::string::npos);

    // A beam of radius 0 meets the stop at height 0: the set-up fails, and says where.
    EXPECT_EQ(run("EBR 0"), kErrorTextReady);
    const std::string failure = error_text();
    EXPECT_NE(failure.find("Zero axial ray height at the aperture stop, surface 1"),
              std::string::npos)
        << failure;
    for (const char* listing : {"par_setup", "par_rays", "par_seidel"}) {
        EXPECT_EQ(run(listing), kErrorTextReady) << listing;
        EXPECT_EQ(error_text(), failure) << listing;
        EXPECT_EQ(take_output().find("EFL"), std::string::npos) << listing;
    }
    ASSERT_EQ(run("EBR 1"), 0) << error_text();
    ASSERT_EQ(run("par_setup"), 0) << error_text();
}

}  // namespace
