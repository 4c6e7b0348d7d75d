// The wavelength commands: the whole table, one entry by number, the weights, their edge cases,
// and the glass indices after a wavelength change.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/settings.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

struct Table {
    std::vector<double> wavelengths;
    std::vector<double> weights;
};

Table table() {
    Table t;
    const LensData& l = lens_data();
    for (int i = 0; i < l.wavelength_count; ++i) {
        t.wavelengths.push_back(l.wavelengths[i].wavelength);
        t.weights.push_back(l.wavelengths[i].weight);
    }
    return t;
}

TEST_F(Entry, WavelengthLinesBuildTheTable) {
    struct Case {
        std::vector<std::string> lines;
        double setting_default;  // setting 2, the default wavelength
        int result;              // of the last line
        std::vector<double> wavelengths;
        std::vector<double> weights;
        const char* shown;  // a part of a message shown on the way, or ""
    };
    const Case cases[] = {
        {{"WV 0.6563 0.4861 0.5876"}, 0.5, 0, {0.6563, 0.4861, 0.5876}, {1, 1, 1}, ""},
        // A wavelength of 0 takes setting 2 when it lies in (0, 100], else 0.58756.
        {{"WV 0 0.5"}, 0.55, 0, {0.55, 0.5}, {1, 1}, "replaced by the default"},
        // (The status line does not repeat the warning it shows.)
        {{"WV -1 0.5"}, 0.0, 0, {0.58756, 0.5}, {1, 1}, ""},
        {{"WV 0"}, 150.0, 0, {0.58756}, {1}, ""},
        // Eleven wavelengths where the table holds ten: ten are stored, and the user is told.
        {{"WV 1 2 3 4 5 6 7 8 9 10 11"},
         0.5,
         0,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         {1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
         "At most 10 wavelengths"},
        // Entry 5 of a table of 2: entries 3 and 4 take the first wavelength with weight 0.
        {{"WV 0.5 0.6", "WV5 0.7"}, 0.5, 0, {0.5, 0.6, 0.5, 0.5, 0.7}, {1, 1, 0, 0, 1}, ""},
        {{"WV 0.5 0.6", "WW4 0.25"}, 0.5, 0, {0.5, 0.6, 0.5, 0.5}, {1, 1, 0, 0.25}, ""},
        {{"WV 0.5 0.6", "WV2 0.65", "WW1 0.4"}, 0.5, 0, {0.5, 0.65}, {0.4, 1}, ""},
        // A negative weight is ignored with a message; the others are stored.
        {{"WV 0.5 0.6 0.7", "WW 0.2 -2 0.5"},
         0.5,
         0,
         {0.5, 0.6, 0.7},
         {0.2, 1, 0.5},
         "negative weight"},
        // An entry outside 1..Max_wavelengths is refused and the table stays.
        {{"WV 0.5 0.6", "WV11 0.5"},
         0.5,
         kErrorTextReady,
         {0.5, 0.6},
         {1, 1},
         "At most 10 wavelengths"},
        {{"WV 0.5 0.6", "WV0 0.5"},
         0.5,
         kErrorTextReady,
         {0.5, 0.6},
         {1, 1},
         "At most 10 wavelengths"},
        {{"WV 0.5 0.6", "WW11 0.5"},
         0.5,
         kErrorTextReady,
         {0.5, 0.6},
         {1, 1},
         "At most 10 wavelengths"},
    };
    for (const Case& c : cases) {
        const std::string first = c.lines.front();
        set_setting_double(kSettingWavelengthDefaults, c.setting_default, 0, 0);
        const std::size_t shown = errors().size();
        const std::size_t printed = output().size();
        lens_data().current_wavelength = 2;
        int rc = 0;
        for (const std::string& line : c.lines) rc = run(line);
        EXPECT_EQ(rc, c.result) << first << ": " << error_text();
        const Table t = table();
        EXPECT_EQ(t.wavelengths, c.wavelengths) << first;
        EXPECT_EQ(t.weights, c.weights) << first;
        EXPECT_EQ(lens_data().current_wavelength, 0) << first;
        // Warnings go to the status line, errors into a box: the console shows both.
        const std::string seen =
            errors().substr(shown) + "|" + output().substr(printed) + "|" + error_text();
        if (c.shown[0] != '\0') {
            EXPECT_NE(seen.find(c.shown), std::string::npos) << first << ": " << seen;
        }
    }
}

// N-LAK9 from the catalogue's Sellmeier coefficients (Schott): n^2 - 1 = sum B l^2 / (l^2 - C).
double n_lak9(double l) {
    const double b[3] = {1.46231905, 0.344399589, 1.15508372};
    const double c[3] = {0.00724270156, 0.0243353131, 85.4686868};
    double s = 1.0;
    for (int k = 0; k < 3; ++k) s += b[k] * l * l / (l * l - c[k]);
    return std::sqrt(s);
}

TEST_F(Entry, AWavelengthChangeRecomputesTheGlassIndices) {
    run_all({"LEN NEW \"Singlet\"", "NXT", "SRF 60 6 N-LAK9 10", "RD -60", "PY 0", "NXT", "END"});
    const double at_d = surface(1).index[0];
    EXPECT_NEAR(at_d, n_lak9(lens_data().wavelengths[0].wavelength), 2e-6);
    const double back_focus_d = surface(2).thickness;

    // Through the lens item, as a procedure writes it, then the set-up.
    ASSERT_EQ(run("wavelength[1] = 1.0"), 0);
    ASSERT_EQ(run("lens_setup"), 0) << error_text();
    EXPECT_NEAR(surface(1).index[0], n_lak9(1.0), 2e-6);
    EXPECT_NEAR(surface(1).index[0], 1.676992, 2e-6);
    // A lower index in the near infrared: the focus moves away.
    EXPECT_GT(surface(2).thickness, back_focus_d);

    // Through the commands, which set the lens up themselves outside a block.
    ASSERT_EQ(run("WV1 0.4861"), 0) << error_text();
    EXPECT_NEAR(surface(1).index[0], n_lak9(0.4861), 2e-6);
    ASSERT_EQ(run("WV 0.6563 0.5876"), 0) << error_text();
    EXPECT_NEAR(surface(1).index[0], n_lak9(0.6563), 2e-6);
    EXPECT_NEAR(surface(1).index[1], n_lak9(0.5876), 2e-6);
}

}  // namespace

namespace {

// New wavelengths would cost a model glass the indices it holds: refused outside lens entry,
// where a lens file or a block is free to give the wavelengths first.
TEST_F(Entry, NewWavelengthsAreRefusedWhileAModelGlassHoldsIndices) {
    run_all({"LEN NEW \"Model\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END",
             "WV 0.5876 0.4861"});
    double values[10] = {1.6, 1.61};
    SurfaceRecord& s = surface(1);
    const std::uint8_t kind = s.medium_kind;
    double* const work = s.medium_work[0];
    s.medium_kind = kMediumModelGlass;
    s.medium_work[0] = values;
    EXPECT_EQ(run("WV 0.6563"), kErrorTextReady);
    EXPECT_EQ(error_text(),
              "The wavelengths cannot change while a model glass holds indices of its own");
    EXPECT_EQ(lens_data().wavelength_count, 2);
    EXPECT_EQ(lens_data().wavelengths[0].wavelength, 0.5876);
    // Inside a block the line is taken.
    run_all({"LEN", "WV 0.6563"});
    EXPECT_EQ(lens_data().wavelength_count, 1);
    s.medium_kind = kind;
    s.medium_work[0] = work;
    run_all({"END"});
}

}  // namespace
