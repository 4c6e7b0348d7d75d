// The frame's toolbar from its list and pictures, button presses and keys, choice lists at
// prompts, the pause's prompt, kept window requests, captions, placement and the interactive
// window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "app/toolbar.h"
#include "app/window_captions.h"
#include "runtime/dispatch.h"
#include "runtime/list_words.h"
#include "runtime/output_options.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "tests/app/main_loop/loop_fixture.h"

namespace {

using platform::Colour;
using platform::SystemColour;

class Toolbar : public loop_test::Loop {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        const fs::path bma = run_.tree.root() / "bin" / "bma";
        fs::create_directories(bma);
        for (const auto& e : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / "bin/bma")) {
            fs::copy_file(e.path(), bma / e.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
        Loop::SetUp();
    }
    int build() { return create_toolbar(platform::kWindowFrame, 2, 0, kMsgMainToolbar); }
    void write_bytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(run_.tree.root() / "bin" / "bma" / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
};

TEST_F(Toolbar, ButtonsComeFromTheListWithTheirPicturesInTheSystemColours) {
    ui().set_system_colour(SystemColour::button_face, {10, 20, 30});
    ui().set_system_colour(SystemColour::button_highlight, {40, 50, 60});
    EXPECT_EQ(build(), 15 + 2 * kToolbarMargin);  // the pictures are 15 pixels high

    const auto& tools = ui().tool_buttons(platform::kWindowFrame);
    ASSERT_EQ(tools.size(), 3u);
    EXPECT_EQ(tools[0].id, 15);
    EXPECT_EQ(tools[2].id, 17);
    EXPECT_EQ(tools[0].tooltip, "Command history");
    // 16 pixels each; the third starts a group after a gap of 13.
    EXPECT_EQ(tools[0].x, 2);
    EXPECT_EQ(tools[1].x, 18);
    EXPECT_EQ(tools[2].x, 18 + 16 + kToolbarGroupMargin);
    // The history picture: face grey at its corner, highlight grey inside its frame, and its
    // blue lines as they are drawn.
    EXPECT_EQ(tools[0].pixels[0], (Colour{10, 20, 30}));
    EXPECT_EQ(tools[0].pixels[16 + 1], (Colour{40, 50, 60}));
    EXPECT_EQ(tools[0].pixels[4 * 16 + 4], (Colour{0, 0, 128}));
    // The frame's buttons (graphics window 1 has a strip of its own).
    std::vector<ToolbarButton> frame_buttons;
    for (const ToolbarButton& b : toolbar_buttons()) {
        if (b.window == platform::kWindowFrame) frame_buttons.push_back(b);
    }
    ASSERT_EQ(frame_buttons.size(), 3u);
    EXPECT_EQ(frame_buttons[2].name, "exit_levels 0");
}

TEST_F(Toolbar, AnEnabledButtonRunsItsCommandAndADisabledOneDoesNothing) {
    build();
    type("a = 1");  // the idle pass evaluates the buttons' conditions
    EXPECT_TRUE(ui().tool_button_enabled(0, 15));
    EXPECT_FALSE(ui().tool_button_enabled(0, 17));  // exit_levels needs an open level

    // Each pass takes one event; the input of this test ends after these passes.
    ASSERT_TRUE(ui().press_tool_button(0, 15));
    main_loop_pass(false);
    EXPECT_NE(output().find("Command history:"), std::string::npos) << output();
    EXPECT_EQ(history_count(), 2);

    EXPECT_FALSE(ui().press_tool_button(0, 17));
    // A press that reaches the program all the same only beeps.
    const int beeps = ui().beep_count();
    EXPECT_TRUE(run_toolbar_command(0, 17));
    EXPECT_EQ(ui().beep_count(), beeps + 1);
    EXPECT_EQ(pending_line(), nullptr);

    // With a level open the button follows its condition; its function key delivers its line,
    // which goes to the level as typed lines do.
    static std::vector<int> codes;
    codes.clear();
    int (*handler)(GridEvent&) = [](GridEvent& e) {
        codes.push_back(e.code);
        return 0;
    };
    ASSERT_EQ(push_command_level(handler, 0, 0), 0);
    main_loop_pass(false);
    main_loop_pass(false);
    EXPECT_TRUE(ui().tool_button_enabled(0, 17));
    platform::KeyEvent f3;
    f3.key = platform::key_f1 + 2;
    codes.clear();
    command_window_keydown(f3);
    main_loop_pass(false);
    EXPECT_EQ(codes, (std::vector<int>{kLevelEventTypedLine}));
}

TEST_F(Toolbar, DamagedOrMissingPicturesAreRefusedAndLeaveTheirButtonOut) {
    ToolbarBitmap bitmap;
    const std::string folder = (run_.tree.root() / "bin" / "bma").string();
    EXPECT_EQ(read_bitmap_file(folder + "/none.bmp", bitmap), kMsgFileCannotOpen);

    std::ifstream in(folder + "/history.bmp", std::ios::binary);
    const std::vector<std::uint8_t> good((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    ASSERT_EQ(good.size(), 238u);
    struct Case {
        const char* what;
        std::size_t at;
        std::uint8_t value;
        std::size_t cut;
    };
    const Case cases[] = {
        {"wrong magic", 0, 'X', 0},
        {"cut short", 0, 'B', 200},
        {"huge width", 21, 0x40, 0},
        {"run-length compressed", 30, 2, 0},
        {"pixel beyond the table", 118, 0xF0, 0},  // index 15 of a 16-entry table is fine...
        {"table cut to two colours", 46, 2, 0},    // ...but not of a two-entry one
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        bytes[c.at] = c.value;
        if (c.cut != 0) bytes.resize(c.cut);
        write_bytes("bad.bmp", bytes);
        const int expected = std::string(c.what) == "pixel beyond the table" ? 0 : -8;
        EXPECT_EQ(read_bitmap_file(folder + "/bad.bmp", bitmap), expected) << c.what;
    }

    std::filesystem::remove(folder + "/clearhist.bmp");
    build();
    ASSERT_EQ(ui().tool_buttons(0).size(), 2u);
    EXPECT_EQ(ui().tool_buttons(0)[1].id, 17);  // the identifier keeps the list position
}

TEST_F(Toolbar, AChoiceOfTheListAnswersThePrompt) {
    // The list of setting names of show_setting's first parameter, with setting 17 chosen
    // while the prompt waits.
    ASSERT_EQ(select_param_list(param_descriptor_index(186, 0)), 0);
    ui().post_command(platform::kWindowFrame, platform::kChoiceCommandBase + 17);
    char answer[256];
    ASSERT_EQ(ask_line("Setting?", answer, sizeof answer, "Designer", 0), 0);
    EXPECT_STREQ(answer, "Graphics_pen_width");
    EXPECT_NE(errors().find("  18 Graphics_pen_width"), std::string::npos) << errors();
    EXPECT_NE(errors().find("* 19 Designer"), std::string::npos);  // the default preselected
    EXPECT_TRUE(ui().choice_list().empty());                       // closed with the answer
    clear_value_list();

    // The drop-down list of the command line holds the history, newest first.
    type("a = 2");
    type("a = 3");
    EXPECT_EQ(ui().command_history(), (std::vector<std::string>{"a = 3", "a = 2"}));
}

TEST_F(Toolbar, ThePausePromptIsItsFormatWithTheValues) {
    set_setting_flag(kSetStepMode, 1);
    input("\n");
    char format[] = "Step %d of %s: %d";
    char name[] = "trace";
    const ArgCell cells[] = {text_cell(format), int_cell(3), text_cell(name), double_cell(2.5)};
    EXPECT_EQ(call_command_handler(193, cells, 4), 0);
    // The double given for "%d" is not read as an int: the conversion stays as written.
    EXPECT_NE(errors().find("Step 3 of trace: %d"), std::string::npos) << errors();
    set_setting_flag(kSetStepMode, 0);
}

TEST_F(Toolbar, EditWindowRequestWaitsForItsWindow) {
    set_run_state(kRunStateShowEditWindow);
    main_loop_pass(false);
    EXPECT_EQ(run_state(), 0);
    EXPECT_TRUE(edit_window_request_pending());
    ui().create_window(platform::kWindowEdit, "", nullptr);
    ui().show_window(platform::kWindowEdit, false);
    main_loop_pass(false);
    EXPECT_TRUE(ui().window_visible(platform::kWindowEdit));
    EXPECT_FALSE(edit_window_request_pending());
}

TEST_F(Toolbar, CaptionsAndStoredPlacements) {
    set_window_titles("lens.len", "notes");
    ui().create_window(platform::kWindowEdit, "", nullptr);
    main_loop_pass(false);
    EXPECT_EQ(ui().window_title(platform::kWindowFrame), "TAVO LT - lens.len");
    EXPECT_EQ(ui().window_title(platform::kWindowEdit), "Edit - notes");

    set_setting_int(kSetWindowGeometry, 30, 1, 0);
    set_setting_int(kSetWindowGeometry, 40, 1, 1);
    set_setting_int(kSetWindowGeometry, 300, 1, 2);
    set_setting_int(kSetWindowGeometry, 200, 1, 3);
    place_child_windows();
    EXPECT_EQ(ui().window_rect(1), (platform::Rect{30, 40, 330, 240}));
    // Without a stored size the edit window takes half the screen's width.
    EXPECT_EQ(ui().window_rect(platform::kWindowEdit), (platform::Rect{5, 5, 517, 763}));
}

std::vector<GridEvent> g_picks;
int keep_pick(GridEvent& e) {
    g_picks.push_back(e);
    return 0;
}

TEST_F(Toolbar, TheInteractiveWindowPassesPicksAndItsClose) {
    g_picks.clear();
    set_pick_mapper(nullptr);  // the pane's points as they are, not mapped to its drawing
    const int output = output_window();
    start_interactive_window("Pick a point", 5, keep_pick, nullptr);
    EXPECT_TRUE(interactive_window_open());
    EXPECT_EQ(interactive_pick_identifier(), kMsgCallDepth);
    EXPECT_EQ(output_window(), platform::kWindowFrame);
    post_pick_event((7u << 16) | 5u);
    suspend_picking(true);
    post_pick_event(1);
    suspend_picking(false);
    end_interactive_window();
    ASSERT_EQ(g_picks.size(), 2u);
    EXPECT_EQ(g_picks[0].code, 1);
    EXPECT_EQ(g_picks[0].first_index, -1);
    EXPECT_DOUBLE_EQ(g_picks[0].pick_x, 5);
    EXPECT_DOUBLE_EQ(g_picks[0].pick_y, 7);
    EXPECT_EQ(g_picks[1].code, kLevelEventChange);
    EXPECT_FALSE(interactive_window_open());
    EXPECT_EQ(output_window(), output);
    EXPECT_EQ(cursor_state_word(), 3);
}

}  // namespace
