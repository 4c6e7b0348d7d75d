// The conjugates window on a singlet: opened by its typed command it prints the first-order
// table; values entered through the level's events move object and image as Gauss's equation
// says; the level can be left.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include <filesystem>

#include "entry/special_data_install.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/lens_reset.h"
#include "lens/surface_setters.h"
#include "runtime/command_levels.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "trace/conjugates.h"
#include "trace/lens_setup.h"
#include "ui/grid_control.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace loop_test {
namespace {

constexpr double kIndex = 1.5168;

int glass_index(int cell, double* value) {
    if (cell < 2 || cell > 4) return 0;
    *value = kIndex;
    return 1;
}
const MediumEntrySource kGlass{glass_index, nullptr};

class ConjugatesWindow : public Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        ASSERT_EQ(lens_new(), 0);
        LensData& l = lens_data();
        l.image_surface = 3;
        l.aperture_stop = 1;
        set_thickness_data(0, 0, 0, 0, 0, 0, 200.0);
        set_curvature_data(1, 0, 0, 0, 1.0 / 50.0);
        set_thickness_data(1, 0, 0, 0, 0, 0, 6.0);
        set_curvature_data(2, 0, 0, 0, -1.0 / 80.0);
        set_thickness_data(2, 0, 0, 0, 0, 0, 60.0);
        set_medium_entry_source(&kGlass);
        ASSERT_EQ(set_surface_medium(1, kMediumModelGlass, "BK", 0), 0);
        for (int n : {0, 2, 3}) ASSERT_EQ(set_surface_medium(n, kMediumAir, "AIR", 0), 0);
        // The typed glass lines' own source back, so that a lens read from a file gets its
        // glass.
        install_special_data_handlers();
        l.aperture_is_na = 0;
        l.entrance_beam_radius = 8.0;
        l.field_is_angle = 0;
        l.object_height = 20.0;
        ASSERT_EQ(lens_setup(0), 0);
        run_.output.str("");
    }
    void TearDown() override {
        while (level_count() > 0) pop_command_level(false);
        Loop::TearDown();
    }

    // The number after a label of the table.
    static double after(const std::string& text, const std::string& label) {
        const std::size_t at = text.rfind(label);
        if (at == std::string::npos) return NAN;
        return std::strtod(text.c_str() + at + label.size(), nullptr);
    }

    // Thick lens in air (textbook): focal length and the principal planes.
    static double focal() {
        const double n = kIndex, c1 = 1.0 / 50, c2 = -1.0 / 80, t = 6.0;
        return 1.0 / ((n - 1) * (c1 - c2 + (n - 1) * t * c1 * c2 / n));
    }
};

TEST_F(ConjugatesWindow, TableAndEnteredValues) {
    type("paraxial_window");
    ASSERT_EQ(level_count(), 1);
    // The table as last displayed.
    const std::string table = output().substr(output().rfind("APERTURE"));
    EXPECT_NEAR(after(table, "Focal length "), focal(), 1e-5);
    EXPECT_NEAR(after(table, "Object distance "), 200.0, 1e-9);
    int lines = 0;
    for (char c : table) lines += c == '\n';
    EXPECT_GE(lines, 9) << table;
    EXPECT_LE(lines, 10) << table;

    // The chief ray's height at the image plane, traced by hand through the singlet: it
    // leaves the object 20 high and crosses the stop, surface 1, at its vertex; n'u' = nu -
    // (n' - n) c y at each surface.
    {
        const double u0 = -20.0 / 200.0;
        const double u1 = u0 / kIndex;
        const double y2 = 6.0 * u1;
        const double u2 = kIndex * u1 - (1.0 - kIndex) * (-1.0 / 80.0) * y2;
        const double image_height = y2 + 60.0 * u2;
        EXPECT_NEAR(std::fabs(conjugates_block().chief_height), std::fabs(image_height), 1e-9);
    }

    // The current cell's value, for editing.
    char text[64] = {};
    GridEvent shown;
    shown.code = 3;
    shown.field = kItemObjectDistance;
    shown.text = text;
    EXPECT_EQ(run_command_level(shown), 0);
    EXPECT_EQ(std::strtod(text, nullptr), 200.0);

    // A new object distance: the image plane follows (Gauss from the principal planes).
    run_.output.str("");
    GridEvent entered;
    entered.code = 5;
    entered.field = kItemObjectDistance;
    entered.value.d = 300.0;
    EXPECT_EQ(run_command_level(entered), 0);
    EXPECT_EQ(surface(0).thickness, 300.0);
    const ConjugatesBlock& b = conjugates_block();
    const double f = focal();
    EXPECT_NEAR(1.0 / b.object_from_principal + 1.0 / b.image_from_principal, 1.0 / f, 1e-12);
    EXPECT_NEAR(surface(2).thickness, b.image_distance, 1e-9);
    EXPECT_NEAR(after(output(), "Object distance "), 300.0, 1e-6);

    // A magnification of -1: object and image 2f from the principal planes.
    GridEvent magnification;
    magnification.code = 5;
    magnification.field = kItemMagnification;
    magnification.value.d = -1.0;
    EXPECT_EQ(run_command_level(magnification), 0);
    EXPECT_NEAR(b.object_from_principal, 2 * f, 1e-9);
    EXPECT_NEAR(b.image_from_principal, 2 * f, 1e-9);

    // Leaving keeps the lens.
    pop_command_level(false);
    EXPECT_EQ(level_count(), 0);
    EXPECT_NEAR(surface(2).thickness, b.image_distance, 1e-9);
}

// A line typed into a cell runs as a command line: the table is drawn again after it, unless
// the line failed or ended the run.
TEST_F(ConjugatesWindow, TextEnteredRunsAsACommandLine) {
    type("paraxial_window");
    ASSERT_EQ(level_count(), 1);
    struct Case {
        const char* name;
        const char* text;
        bool running;
        bool failed, redrawn;
    };
    const Case cases[] = {
        {"a line that runs", "a = 5", true, false, true},
        {"a line that fails", "no_such_command_here 3", true, true, false},
        {"a line after which the run ended", "a = 6", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        set_running_flag(c.running ? 1 : 0);
        run_.output.str("");
        char text[64];
        std::snprintf(text, sizeof text, "%s", c.text);
        GridEvent typed;
        typed.code = 6;
        typed.text = text;
        const int rc = run_command_level(typed);
        set_running_flag(1);
        EXPECT_EQ(rc != 0, c.failed) << rc;
        EXPECT_EQ(output().find("APERTURE") != std::string::npos, c.redrawn) << output();
    }
}

// Another level pushed over the window suspends it: its next display neither brings the lens
// up to date nor resets how the field was last entered. Leaving or re-running ends that.
TEST_F(ConjugatesWindow, ALevelPushedOverTheWindowSuspendsIt) {
    type("paraxial_window");
    ASSERT_EQ(level_count(), 1);
    struct Case {
        int argument;
        int mode_after_display;  // 2 kept (image height entered), 1 reset (field as a height)
    };
    for (const Case& c : {Case{1, 2}, Case{0, 1}, Case{-1, 1}, Case{1, 2}}) {
        SCOPED_TRACE(c.argument);
        GridEvent entered;
        entered.code = 5;
        entered.field = kItemImageHeight;
        entered.value.d = -12.0;
        ASSERT_EQ(run_command_level(entered), 0);
        ASSERT_EQ(conjugates_state().field_edit_mode, 2);
        GridEvent change;
        change.code = 7;
        change.argument = c.argument;
        EXPECT_EQ(run_command_level(change), 0);
        run_.output.str("");
        GridEvent shown;
        shown.code = 8;
        EXPECT_EQ(run_command_level(shown), 0);
        EXPECT_EQ(conjugates_state().field_edit_mode, c.mode_after_display);
        EXPECT_NE(output().find("APERTURE"), std::string::npos);
        EXPECT_NEAR(conjugates_block().image_height, -12.0, 1e-9);
    }
}

// The window keeps a copy of the lens from its first display: leaving it keeps the changes,
// re-running it puts the lens back as it was; either way the copy goes.
TEST_F(ConjugatesWindow, LeavingKeepsTheChangesAndReRunningRestoresTheLens) {
    set_setting_flag(kSetRevertEnable, 1);
    const std::string copy = revert_copy_path(-1209);
    struct Case {
        const char* name;
        int argument;
        double object_distance;  // after the level change
    };
    const Case cases[] = {{"left", 0, 300.0}, {"re-run", -1, 200.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        surface(0).thickness = 200.0;
        surface(2).thickness = 60.0;
        ASSERT_EQ(lens_setup(0), 0);
        type("paraxial_window");
        ASSERT_EQ(level_count(), 1);
        EXPECT_NE(test_state_flag(kFlagLevelRevertCopy), 0);
        EXPECT_TRUE(std::filesystem::exists(copy));
        // Nothing changed yet: the window may close without asking.
        GridEvent ask;
        ask.code = 22;
        EXPECT_EQ(run_command_level(ask), 1);

        GridEvent entered;
        entered.code = 5;
        entered.field = kItemObjectDistance;
        entered.value.d = 300.0;
        ASSERT_EQ(run_command_level(entered), 0);
        ASSERT_DOUBLE_EQ(surface(0).thickness, 300.0);
        // The image followed the object to where the table puts it.
        const double moved_image = surface(2).thickness;
        EXPECT_GT(std::fabs(moved_image - 60.0), 1.0);
        EXPECT_NEAR(moved_image, conjugates_block().image_distance, 1e-9);

        GridEvent change;
        change.code = 7;
        change.argument = c.argument;
        EXPECT_EQ(run_command_level(change), 0);
        EXPECT_EQ(test_state_flag(kFlagLevelRevertCopy), 0);
        EXPECT_FALSE(std::filesystem::exists(copy));
        EXPECT_DOUBLE_EQ(surface(0).thickness, c.object_distance);
        EXPECT_DOUBLE_EQ(surface(2).thickness, c.argument == 0 ? moved_image : 60.0);
        EXPECT_DOUBLE_EQ(1.0 / surface(1).curvature, 50.0);
        ASSERT_EQ(lens_setup(0), 0);
        ASSERT_EQ(solve_paraxial_conjugates(), 0);
        EXPECT_NEAR(conjugates_block().focal_length, focal(), 1e-9);
        // A second change (Escape tells the level it is left, then re-run) finds no copy.
        change.argument = -1;
        EXPECT_EQ(run_command_level(change), 0);
        EXPECT_DOUBLE_EQ(surface(0).thickness, c.object_distance);
        pop_command_level(false);
        ASSERT_EQ(level_count(), 0);
    }

    // Escape from the main loop cancels: the lens of the window's opening comes back and the
    // copy goes.
    surface(0).thickness = 200.0;
    surface(2).thickness = 60.0;
    ASSERT_EQ(lens_setup(0), 0);
    type("paraxial_window");
    ASSERT_EQ(level_count(), 1);
    GridEvent entered;
    entered.code = 5;
    entered.field = kItemObjectDistance;
    entered.value.d = 250.0;
    ASSERT_EQ(run_command_level(entered), 0);
    ui().queue_message_box_answer(platform::MessageAnswer::ok);  // it may close
    set_run_state(kRunStateEscapeLevel);
    main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(test_state_flag(kFlagLevelRevertCopy), 0);
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_DOUBLE_EQ(surface(0).thickness, 200.0);
    EXPECT_DOUBLE_EQ(surface(2).thickness, 60.0);
    set_setting_flag(kSetRevertEnable, 0);
}

// In the spreadsheet window, as the user has it: the table is the level's sheet (not text
// window output), a click makes the object-distance cell current, and a number typed on the
// command line is that cell's value; the image follows as Gauss's equation says.
TEST_F(ConjugatesWindow, ACellOfTheSheetTakesATypedValue) {
    ASSERT_EQ(create_sheet_window(1999, 14, 84), 0);
    run_.output.str("");
    type("paraxial_window");
    ASSERT_EQ(level_count(), 1);
    main_loop_pass(false);
    for (const std::string& line : ui().text_lines(platform::kWindowText1)) {
        EXPECT_EQ(line.find("Object distance"), std::string::npos) << line;
    }
    GridCell cell;
    cell.field_code = kItemObjectDistance;
    ASSERT_EQ(grid_find_cell(cell), 1);
    const TextArea* a = textarea(kSheetArea);
    ASSERT_NE(a, nullptr);
    platform::MouseEvent click;
    click.button = platform::MouseButton::left;
    click.position = {a->left_margin + (cell.first_column + 2) * a->char_width + 2,
                      a->top_margin + cell.row * a->line_height + 4};
    click.action = platform::MouseAction::press;
    ui().post_mouse(platform::kWindowSpreadsheet, click);
    click.action = platform::MouseAction::release;
    ui().post_mouse(platform::kWindowSpreadsheet, click);
    for (int k = 0; k < 3; ++k) main_loop_pass(false);
    ASSERT_EQ(grid_state().current.field_code, kItemObjectDistance);
    type("300");
    for (int k = 0; k < 3; ++k) main_loop_pass(false);
    EXPECT_EQ(surface(0).thickness, 300.0);
    const ConjugatesBlock& b = conjugates_block();
    EXPECT_NEAR(1.0 / b.object_from_principal + 1.0 / b.image_from_principal, 1.0 / focal(), 1e-12);
    EXPECT_NEAR(surface(2).thickness, b.image_distance, 1e-9);
    // The sheet shows the new distance.
    bool shown = false;
    for (const std::string& line : textarea_output_lines(kSheetArea)) {
        if (line.find("Object distance") != std::string::npos) {
            shown = std::fabs(after(line, "Object distance ") - 300.0) < 1e-6;
        }
    }
    EXPECT_TRUE(shown);
}

// Another level on top: the window keeps its copy and its changes, and its next display takes
// no new copy.
TEST_F(ConjugatesWindow, ASuspendedWindowKeepsItsCopy) {
    set_setting_flag(kSetRevertEnable, 1);
    type("paraxial_window");
    ASSERT_EQ(level_count(), 1);
    GridEvent entered;
    entered.code = 5;
    entered.field = kItemObjectDistance;
    entered.value.d = 400.0;
    ASSERT_EQ(run_command_level(entered), 0);
    GridEvent change;
    change.code = 7;
    change.argument = 1;
    EXPECT_EQ(run_command_level(change), 0);
    GridEvent shown;
    shown.code = 8;
    EXPECT_EQ(run_command_level(shown), 0);
    EXPECT_NE(test_state_flag(kFlagLevelRevertCopy), 0);
    EXPECT_DOUBLE_EQ(surface(0).thickness, 400.0);
    // Re-running now goes back to the lens of the first display.
    change.argument = -1;
    EXPECT_EQ(run_command_level(change), 0);
    EXPECT_DOUBLE_EQ(surface(0).thickness, 200.0);
    EXPECT_DOUBLE_EQ(surface(2).thickness, 60.0);
    set_setting_flag(kSetRevertEnable, 0);
}

}  // namespace
}  // namespace loop_test
