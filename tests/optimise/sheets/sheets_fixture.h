// The optimisation sheets on a started program: opened by their typed commands (or the surface
// sheet's button), fed the grid's events as the main loop feeds a level and read back from the
// lines and hot spots they write.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "lens/lens_file_commands.h"
#include "runtime/command_context.h"
#include "runtime/command_levels.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tests/optimise/optimise_fixture.h"
#include "tests/support/sheet_lines.h"
#include "ui/grid_cells.h"

namespace sheets_test {

using Cell = tavo_test::SheetCell;
using Line = tavo_test::SheetLine;

class Sheets : public optimise_test::Optimise {
protected:
    void SetUp() override {
        Optimise::SetUp();
        set_setting_flag(kSetRevertEnable, 1);
        tavo_test::sheet_lines().clear();
        set_output_line_sink(tavo_test::keep_sheet_line);
    }
    void TearDown() override {
        while (level_count() > 0) pop_command_level(false);
        set_output_line_sink(nullptr);
        set_setting_flag(kSetRevertEnable, 0);
        Optimise::TearDown();
    }

    // Types the line that opens a sheet and runs the loop until the sheet is shown.
    void open(const std::string& line) {
        tavo_test::sheet_lines().clear();
        type(line);
        for (int k = 0; k < 4 && (level_count() == 0 || tavo_test::sheet_lines().empty()); ++k) {
            main_loop_pass(false);
        }
        ASSERT_EQ(level_count(), 1) << output() << errors();
        ASSERT_FALSE(tavo_test::sheet_lines().empty());
    }
    static int send(int code, int field = 0, int index = -1, int range = 0, int argument = 0) {
        GridEvent e;
        e.code = code;
        e.field = field;
        e.first_index = index;
        e.range_rows = range;
        e.argument = argument;
        return run_command_level(e);
    }
    static int number(int field, int row, double value) {
        GridEvent e;
        e.code = kLevelEventEdited;
        e.field = field;
        e.first_index = row;
        e.value_type = kGridValueDouble;
        e.value.d = value;
        return run_command_level(e);
    }
    static int text(int field, int row, const std::string& value) {
        char buffer[256];
        std::snprintf(buffer, sizeof buffer, "%s", value.c_str());
        GridEvent e;
        e.code = kLevelEventEdited;
        e.field = field;
        e.first_index = row;
        e.value_type = kGridValueText;
        e.value.text = buffer;
        e.text = buffer;
        return run_command_level(e);
    }
    // OK; Cancel (the close question, then the level left by Escape).
    static void ok() { pop_command_level(false); }
    static void cancel() {
        send(kLevelEventMayClose);
        pop_command_level(true);
    }
    // The lens as its file reads.
    static std::string lens_text() {
        int failure = 0;
        std::string text = lens_file_text(nullptr, nullptr, &failure);
        EXPECT_EQ(failure, 0);
        return text;
    }
    // The sheet as last written: from the last line that starts with first on.
    static std::vector<Line> sheet(const std::string& first) {
        std::vector<Line> lines;
        for (const Line& line : tavo_test::sheet_lines()) {
            if (line.text.rfind(first, 0) == 0) lines.clear();
            if (!line.text.empty()) lines.push_back(line);
        }
        return lines;
    }
    static const Cell* find(const std::vector<Line>& lines, int item, int index) {
        for (const Line& line : lines) {
            for (const Cell& c : line.cells) {
                if ((c.item & kGridFieldIdMask) == item && c.index == index) return &c;
            }
        }
        return nullptr;
    }
    static std::string trim(const std::string& s) {
        const std::size_t a = s.find_first_not_of(' ');
        if (a == std::string::npos) return {};
        return s.substr(a, s.find_last_not_of(' ') - a + 1);
    }
    static bool copy_exists(int message) {
        return std::filesystem::exists(revert_copy_path(message));
    }
};

}  // namespace sheets_test
