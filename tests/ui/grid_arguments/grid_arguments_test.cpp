// A level opened by a command with arguments: its cells that edit the command's arguments show
// each argument's value on the command line when they become current, without asking the
// level; its other cells ask the level for the text to show.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/state_reset.h"
#include "runtime/dispatch.h"
#include "runtime/table_help.h"
#include "runtime/text_output.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/built_tables.h"
#include "ui/grid_control.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace {

namespace fs = std::filesystem;
using loop_test::Loop;

constexpr int kOpenSlot = 45;  // a handler slot the program leaves free

struct Heard {
    int code;
    int field;
    int group;
};
std::vector<Heard> g_heard;

// One line: four cells editing arguments 0-3 of the command (field 1, index group 16 + g),
// then a cell of the level's own (field 2).
void write_sheet() {
    textarea_clear(kSheetArea, 1);
    begin_level_output();
    set_output_window(kSheetArea);
    char text[32];
    for (int g = 0; g < 4; ++g) {
        std::snprintf(text, sizeof text, "A%d ", g);
        write_output_text(text, false);
        text_hotspot(1, ((16 + g) << 10) | g);
        write_output_text("value   ", false);
        write_output_text(" ", false);
    }
    text_hotspot(2, 0);
    write_output_text("other", false);
    end_level_output();
}

int level_handler(GridEvent& e) {
    g_heard.push_back({e.code, e.field, e.argument_group});
    if (e.code == kLevelEventShown) write_sheet();
    if (e.code == kLevelEventCellChanged && e.text != nullptr) {
        std::snprintf(e.text, kGridTextBufferSize, "hint %d", e.field);
    }
    return 0;
}

// The command's interactive handler opens the level, which keeps a copy of its arguments.
int open_level() {
    return push_command_level(level_handler, 2, 0);
}

class ArgumentSheet : public Loop {
protected:
    void SetUp() override {
        const fs::path sources = run_.tree.base() / "sources";
        fs::copy(fs::path(TAVO_SOURCE_DIR) / "tables", sources, fs::copy_options::recursive);
        run_.tree.write_file("sources/definitions/zz_grid_arguments.def",
                             "command 1960 grid_arguments interactive=45\n"
                             "  param count int default=5 mode=2\n"
                             "  param size double default=1.5 mode=2\n"
                             "  param label text upper=8\n"
                             "  param sign char default=7 mode=2\n");
        const std::string help = tavo_test::read_file(sources / "help/ctable.hlp") +
                                 "help 1960 flags=12\n  text 91 93 \"Arguments\"\nend\n";
        run_.tree.write_file("sources/help/ctable.hlp", help);
        ASSERT_EQ(tavo_test::build_tables(sources, run_.tree.root() / "bin/amo"), 0);
        forget_command_help();
        set_interactive_call(0);
        Loop::SetUp();
        ASSERT_EQ(handler_table().slots[kOpenSlot], nullptr) << "the program took the slot";
        set_handler(kOpenSlot, open_level);
        ASSERT_EQ(create_sheet_window(200, 6, 84), 0);
        ui().show_window(platform::kWindowSpreadsheet, true);
        grid_state().active_area = kSheetArea;
        g_heard.clear();
    }
    void TearDown() override {
        set_handler(kOpenSlot, nullptr);
        Loop::TearDown();
    }
    void key(int k) {
        platform::KeyEvent e;
        e.key = k;
        ui().post_key(platform::kWindowFrame, e);
        for (int n = 0; n < 4; ++n) {
            ui().update_now();
            main_loop_pass(false);
        }
    }
};

TEST_F(ArgumentSheet, ArgumentCellsShowTheirArgumentsAndOtherCellsAskTheLevel) {
    // 253 is the byte 0xfd: read as a signed number, -3.
    submit_command_line("grid_arguments 42 2.5 \"abc\" 253");
    for (int k = 0; k < 4 && level_count() == 0; ++k) main_loop_pass(false);
    ASSERT_EQ(level_count(), 1) << errors();
    ASSERT_EQ(saved_level_arg_count(), 4);
    ASSERT_EQ(static_cast<signed char>(saved_level_cell(3)->value.bytes[0]), -3);
    ASSERT_EQ(textarea(kSheetArea)->line_count, 1);
    g_heard.clear();
    struct Step {
        int field;
        int group;
        const char* shown;  // the command line after the move
        bool asked;         // the level heard of the change
    } steps[] = {
        {1, 0, "42", false},      // an int as "%d"
        {1, 1, "2.5", false},     // a double as the shortest text that reads back as it
        {1, 2, "abc", false},     // a text as it is stored
        {1, 3, "-3", false},      // a single character as its signed number
        {2, -1, "hint 2", true},  // the level's own cell: the level's text
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.shown);
        g_heard.clear();
        ui().set_command_line_text("");
        key(platform::key_right);
        const GridCell& c = grid_state().current;
        ASSERT_NE(c.text, nullptr);
        EXPECT_EQ(grid_entry_field(c.field_code), s.field);
        EXPECT_EQ(grid_entry_argument_group(c.field_index), s.group);
        EXPECT_EQ(ui().command_line_text(), s.shown);
        bool asked = false;
        for (const Heard& h : g_heard) asked = asked || h.code == kLevelEventCellChanged;
        EXPECT_EQ(asked, s.asked);
    }
}

}  // namespace
