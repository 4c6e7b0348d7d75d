// The optimisation parameters and spot-diagram settings typed in a lens block: each value, its
// default by DEF, the echo that reads back as the same line, and what the settings make stale.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/optimise_links.h"
#include "lens/spot_settings_lines.h"
#include "runtime/state_flags.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

class Conditions : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        run_all({"LEN NEW \"Conditions\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 45 AIR 10"});
        take_output();
    }
    void TearDown() override {
        set_optimise_links(nullptr);
        Entry::TearDown();
    }
    static const OptimiseParams& op() { return *lens_data().optimise_params; }
    static const SpotSettings& sd() { return *lens_data().spot_settings; }
};

TEST_F(Conditions, ValuesDefaultsAndEchoes) {
    struct Case {
        const char* line;
        std::function<bool()> holds;
        const char* echo;
    };
    const Case cases[] = {
        {"OPDF 0.002", [] { return op().damping == 0.002; }, "OPDF               0.002000\n"},
        {"OPDF DEF", [] { return op().damping == 0.001; }, "OPDF               0.001000\n"},
        {"OPDS 2e-8", [] { return op().small_damping == 2e-8; }, "OPDS"},
        {"OPDM 0.5", [] { return op().damping_reduction == 0.5; }, ""},
        {"OPBW 2", [] { return op().bound_weight == 2.0; }, ""},
        {"OPST 0.02", [] { return op().stop_threshold == 0.02; }, ""},
        {"OMNA 0.2", [] { return op().min_air_thickness == 0.2; }, ""},
        {"OMXA 500", [] { return op().max_air_thickness == 500.0; }, ""},
        {"OMNG 1", [] { return op().min_glass_thickness == 1.0; }, ""},
        {"OMXG 50", [] { return op().max_glass_thickness == 50.0; }, ""},
        {"OMXG DEF", [] { return op().max_glass_thickness == 100.0; }, ""},
        {"OPVI Off", [] { return op().automatic_increments == 0; },
         "OPVI                    Off\n"},
        {"OPVI DEF", [] { return op().automatic_increments == 1; },
         "OPVI                     On\n"},
        {"OPVD On", [] { return op().variable_damping == 1; }, ""},
        {"OPSS On", [] { return op().sum_of_squares == 1; }, ""},
        // The operand command holds 23 characters.
        {"OPOC \"operands_of_the_long_design\"",
         [] { return std::string(op().operand_command) == "operands_of_the_long_de"; },
         "OPOC            operands_of_the_long_de\n"},
        {"OPOC DEF", [] { return std::string(op().operand_command) == "*oprds"; }, ""},
        {"SDAD 20", [] { return sd().aperture_divisions == 20.0; },
         "SDAD              20.000000\n"},
        {"SDGX 0.5", [] { return sd().apodisation_width_x == 0.5; }, ""},
        {"SDGY 0.25", [] { return sd().apodisation_width_y == 0.25; }, ""},
        {"SDPC Off", [] { return sd().polychromatic == 0; }, "SDPC                    Off\n"},
        {"SDAZ On", [] { return sd().apodisation_on == 1; }, ""},
        {"SDMS 500", [] { return sd().mtf_path_limit == 500.0; }, ""},
        {"SDTF 30", [] { return sd().through_focus_frequency == 30.0; }, ""},
        {"SDSA On", [] { return sd().show_diffraction_limit == 1; }, ""},
        {"SDAD DEF", [] { return sd().aperture_divisions == 17.03; }, ""},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(run(c.line), 0) << c.line << ": " << error_text();
        EXPECT_TRUE(c.holds()) << c.line;
        EXPECT_NE(take_output().find(c.echo), std::string::npos) << c.line;
    }
}

TEST_F(Conditions, EchoesReadBackAsTheSameValues) {
    run_all({"OPDF 0.0035", "OPVI Off", "OPOC \"merit\"", "SDAD 12.5", "SDPC Off"});
    const std::string echo = take_output();
    run_all({"OPDF DEF", "OPVI DEF", "OPOC DEF", "SDAD DEF", "SDPC DEF"});
    std::size_t start = 0;
    while (start < echo.size()) {
        const std::size_t end = echo.find('\n', start);
        const std::string line = echo.substr(start, end - start);
        start = end == std::string::npos ? echo.size() : end + 1;
        if (line.empty()) continue;
        // The text of OPOC is typed back in quotes.
        const std::string typed =
            line.rfind("OPOC", 0) == 0 ? "OPOC \"" + line.substr(16) + "\"" : line;
        ASSERT_EQ(run(typed), 0) << typed << ": " << error_text();
    }
    EXPECT_EQ(op().damping, 0.0035);
    EXPECT_EQ(op().automatic_increments, 0);
    EXPECT_STREQ(op().operand_command, "merit");
    EXPECT_EQ(sd().aperture_divisions, 12.5);
    EXPECT_EQ(sd().polychromatic, 0);
}

int g_fills = 0;

TEST_F(Conditions, AFirstDerivativeIncrementFillsTheVariablesOnce) {
    OptimiseLinks links{};
    links.fill_derivative_increments = [] { ++g_fills; };
    set_optimise_links(&links);
    g_fills = 0;
    run_all({"OPDI 0"});
    EXPECT_EQ(g_fills, 0);
    run_all({"OPDI 1e-6"});
    EXPECT_EQ(g_fills, 1);
    EXPECT_EQ(op().derivative_increment, 1e-6);
    run_all({"OPDI 2e-6", "OPDI DEF"});
    EXPECT_EQ(g_fills, 1);
    EXPECT_EQ(op().derivative_increment, 1e-7);
}

TEST_F(Conditions, SettingsThatChangeTheSpotDiagramMakeItStale) {
    const struct {
        const char* line;
        bool stale;
    } cases[] = {{"SDAD 12", true}, {"SDGX 2", true},    {"SDGY 2", true},   {"SDPC Off", true},
                 {"SDAZ On", true}, {"SDMS 200", false}, {"SDTF 20", false}, {"SDSA On", false}};
    for (const auto& c : cases) {
        set_state_flag(kFlagSpotDiagramCurrent);
        set_state_flag(kFlagSpotDerivedA);
        run_all({c.line});
        EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent) == 0, c.stale) << c.line;
        EXPECT_EQ(test_state_flag(kFlagSpotDerivedA) == 0, c.stale) << c.line;
    }
}

// The lens-file lines of the spot settings: none while every field holds its default (also
// after a default typed again), one per changed field in a fixed order otherwise, and read back
// as commands they give the same record.
TEST_F(Conditions, SpotSettingsLinesReadBackAsTheSameRecord) {
    EXPECT_TRUE(spot_settings_lines(sd()).empty());
    run_all({"SDAD 17.03", "SDPC On", "SDAZ Off"});
    EXPECT_TRUE(spot_settings_lines(sd()).empty());

    run_all({"SDAD 20", "SDGX 2.5", "SDGY 0.125", "SDMS 200", "SDTF 40", "SDPC Off", "SDAZ On",
             "SDSA On"});
    const SpotSettings changed = sd();
    const std::vector<std::string> lines = spot_settings_lines(changed);
    const char* const keys[] = {"SDAD ", "SDGX ", "SDGY ", "SDMS ", "SDTF "};
    ASSERT_EQ(lines.size(), 8u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(lines[i].rfind(keys[i], 0), 0u) << lines[i];
    EXPECT_EQ(lines[5], "SDPC Off");
    EXPECT_EQ(lines[6], "SDAZ On");
    EXPECT_EQ(lines[7], "SDSA On");

    run_all({"LEN NEW \"Again\""});
    EXPECT_EQ(sd().aperture_divisions, 17.03);
    run_all(lines);
    EXPECT_EQ(sd().aperture_divisions, 20.0);
    EXPECT_EQ(sd().apodisation_width_x, 2.5);
    EXPECT_EQ(sd().apodisation_width_y, 0.125);
    EXPECT_EQ(sd().mtf_path_limit, 200.0);
    EXPECT_EQ(sd().through_focus_frequency, 40.0);
    EXPECT_EQ(sd().polychromatic, 0);
    EXPECT_EQ(sd().apodisation_on, 1);
    EXPECT_EQ(sd().show_diffraction_limit, 1);

    // Only the field that left its default is written.
    run_all({"LEN NEW \"Once\"", "SDTF 12.5"});
    const std::vector<std::string> one = spot_settings_lines(sd());
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].rfind("SDTF ", 0), 0u) << one[0];
}

TEST_F(Conditions, AValueOfTheWrongKindIsRefused) {
    run_all({"OPDF 0.004", "SDPC On"});
    const char* lines[] = {"OPDF \"fast\"", "OPVI 0.5x", "SDAD On"};
    for (const char* line : lines) EXPECT_NE(run(line), 0) << line;
    EXPECT_EQ(op().damping, 0.004);
    EXPECT_EQ(sd().aperture_divisions, 17.03);
    EXPECT_EQ(sd().polychromatic, 1);
}

}  // namespace
