// The drawing-conditions sheet on a typed singlet: opened as its button opens it, fed the grid's
// events as the main loop feeds a level and read back from the lines and hot spots it writes;
// every cell's edit, the refusals, the ray-set rows and the revert copy that Cancel and Escape
// read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "drawing/drawing_conditions_sheet.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "runtime/command_levels.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "tests/support/sheet_lines.h"

namespace conditions_sheet_test {
namespace {

using loop_test::Loop;
using Cell = tavo_test::SheetCell;
using Line = tavo_test::SheetLine;

constexpr int kItemBits = 0x0fff;

class ConditionsSheet : public Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        set_setting_flag(kSetRevertEnable, 1);
        for (const char* line :
             {"LEN NEW \"Singlet\"", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 40 AIR 10", "END"}) {
            type(line);
        }
        reset_drawing_conditions_sheet();
        tavo_test::sheet_lines().clear();
        set_output_line_sink(tavo_test::keep_sheet_line);
    }
    void TearDown() override {
        while (level_count() > 0) pop_command_level(false);
        set_output_line_sink(nullptr);
        set_setting_flag(kSetRevertEnable, 0);
        reset_drawing_conditions_sheet();
        Loop::TearDown();
    }

    DrawingConditions& dc() { return *lens_data().drawing_conditions; }

    void open() {
        ASSERT_EQ(open_drawing_conditions_sheet(), 0);
        for (int k = 0; k < 4 && tavo_test::sheet_lines().empty(); ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 1) << output() << errors();
        ASSERT_FALSE(tavo_test::sheet_lines().empty());
    }
    int send(int code, int field = 0, int index = -1) {
        GridEvent e;
        e.code = code;
        e.field = field;
        e.first_index = index;
        return run_command_level(e);
    }
    int typed(int field, double value, int index = 0, bool integer = false) {
        GridEvent e;
        e.code = 5;
        e.field = field;
        e.first_index = index;
        e.value_type = integer ? kArgInt : kArgDouble;
        if (integer) {
            e.value.i = static_cast<std::int32_t>(value);
        } else {
            e.value.d = value;
        }
        return run_command_level(e);
    }
    int leave(int exit_code) {
        GridEvent e;
        e.code = 7;
        e.argument = exit_code;
        return run_command_level(e);
    }
    // The sheet as last written: from the last title line on.
    static std::vector<Line> sheet() {
        std::vector<Line> lines;
        for (const Line& line : tavo_test::sheet_lines()) {
            if (line.text.rfind("Object-side ray length", 0) == 0) lines.clear();
            if (!line.text.empty()) lines.push_back(line);
        }
        return lines;
    }
    static const Cell* find(const std::vector<Line>& lines, int item, int index) {
        for (const Line& line : lines) {
            for (const Cell& c : line.cells) {
                if ((c.item & kItemBits) == item && c.index == index) return &c;
            }
        }
        return nullptr;
    }
    static bool exists(int message) { return std::filesystem::exists(revert_copy_path(message)); }
};

TEST_F(ConditionsSheet, OpensWithTheConditionsAndACopy) {
    open();
    EXPECT_STREQ(sheet_title(), "DRAWING CONDITIONS");
    EXPECT_NE(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_TRUE(exists(kMsgDrawingConditionsRevertCopy));
    const std::vector<Line> lines = sheet();
    // 10 lines of conditions, the column header and the three rows of a new lens.
    ASSERT_EQ(lines.size(), 14u);
    const Cell* angle = find(lines, kCmdDlhaL, 0);
    ASSERT_NE(angle, nullptr);
    EXPECT_EQ(std::atoi(angle->text.c_str()), 240);
    const Cell* rays = find(lines, kCmdDlnrL, 0);
    ASSERT_NE(rays, nullptr);
    EXPECT_EQ(std::atoi(rays->text.c_str()), dc().rows[0].ray_count);
    // The fan toggles of each row: y marked, x not.
    for (int r = 0; r < 3; ++r) {
        ASSERT_NE(find(lines, 10, r), nullptr);
        EXPECT_EQ(find(lines, 10, r)->item, 10 | 0x3000);
        EXPECT_EQ(find(lines, 11, r)->item, 11 | 0x2000);
    }
}

TEST_F(ConditionsSheet, EveryCellStores) {
    open();
    using Get = std::function<double(const DrawingConditions&)>;
    struct Case {
        int cell;
        int index;
        double value;
        Get get;
    };
    const Case cases[] = {
        {kCmdDlidL, 0, 12.5, [](const DrawingConditions& c) { return c.view[0]; }},
        {kCmdDlfdL, 0, -7.25, [](const DrawingConditions& c) { return c.view[1]; }},
        {kCmdDlxsL, 0, 1.5, [](const DrawingConditions& c) { return c.view[2]; }},
        {kCmdDlysL, 0, -2.5, [](const DrawingConditions& c) { return c.view[3]; }},
        {kCmdDlfsL, 0, 1, [](const DrawingConditions& c) { return c.first_surface; }},
        {kCmdDllsL, 0, 2, [](const DrawingConditions& c) { return c.last_surface; }},
        {kCmdDlvaL, 0, 45, [](const DrawingConditions& c) { return c.view_angle1; }},
        {kCmdDlhaL, 0, 200, [](const DrawingConditions& c) { return c.view_angle2; }},
        {kCmdDlriL, 0, 7, [](const DrawingConditions& c) { return c.dlri; }},
        {kCmdDlspL, 0, -8, [](const DrawingConditions& c) { return c.dlsp; }},
        {kCmdDlfpL, 1, 0.5, [](const DrawingConditions& c) { return c.rows[1].field_fraction; }},
        {kCmdDlxfL, 2, 0.25, [](const DrawingConditions& c) { return c.rows[2].x_field_fraction; }},
        {kCmdDlmnL, 0, -0.5, [](const DrawingConditions& c) { return c.rows[0].pupil_min; }},
        {kCmdDlmxL, 0, 0.75, [](const DrawingConditions& c) { return c.rows[0].pupil_max; }},
        {kCmdDlosL, 2, 0.125, [](const DrawingConditions& c) { return c.rows[2].offset; }},
        {kCmdDlnrL, 1, 9, [](const DrawingConditions& c) { return c.rows[1].ray_count; }},
        {kCmdDlwnL, 0, 2, [](const DrawingConditions& c) { return c.rows[0].wavelength; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        EXPECT_EQ(typed(c.cell, c.value, c.index), 0) << error_text_buffer();
        EXPECT_DOUBLE_EQ(c.get(dc()), c.value);
        const std::vector<Line> lines = sheet();
        const Cell* shown = find(lines, c.cell, c.index);
        ASSERT_NE(shown, nullptr);
        EXPECT_DOUBLE_EQ(std::strtod(shown->text.c_str(), nullptr), c.value) << shown->text;
    }
    // Toggles and choices run their commands.
    struct Pick {
        int cell;
        int index;
        Get get;
        double expected;
    };
    const Pick picks[] = {
        {kCmdDlasL, 1, [](const DrawingConditions& c) { return c.dlas; }, 1},
        {kCmdDlhrL, 0, [](const DrawingConditions& c) { return c.dlhr; }, 0},
        {11, 1, [](const DrawingConditions& c) { return c.rows[1].drawn; }, 0},
        {10, 1, [](const DrawingConditions& c) { return c.rows[1].drawn; }, 1},
        {kCmdDlcvL, 2, [](const DrawingConditions& c) { return c.dlcv; }, 2},
        {kCmdDlapL, 3, [](const DrawingConditions& c) { return c.dlap; }, 3},
        {kCmdDlrsL, 1, [](const DrawingConditions& c) { return c.dlrs; }, 1},
    };
    for (const Pick& p : picks) {
        SCOPED_TRACE(p.cell);
        EXPECT_EQ(send(4, p.cell, p.index), 0) << error_text_buffer();
        EXPECT_EQ(p.get(dc()), p.expected);
    }
}

TEST_F(ConditionsSheet, RefusedValuesChangeNothing) {
    open();
    const int image = lens_data().image_surface;
    struct Case {
        int cell;
        int index;
        double value;
        const char* says;
    };
    const Case cases[] = {
        {kCmdDlfsL, 0, static_cast<double>(image), "cannot be drawn first or last"},
        {kCmdDllsL, 0, static_cast<double>(image + 3), "cannot be drawn first or last"},
        {kCmdDlfsL, 0, -1, "cannot be drawn first or last"},
        {kCmdDlwnL, 0, 99, "the ray sets take 0"},
        {kCmdDlwnL, 1, -1, "the ray sets take 0"},
        {kCmdDlriL, 0, 101, "rings or spokes"},
        {kCmdDlspL, 0, -101, "rings or spokes"},
    };
    const DrawingConditions before = dc();
    const DrawingRaySet row0 = dc().rows[0];
    const DrawingRaySet row1 = dc().rows[1];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        EXPECT_EQ(typed(c.cell, c.value, c.index, true), kErrorTextReady);
        EXPECT_NE(std::string(error_text_buffer()).find(c.says), std::string::npos)
            << error_text_buffer();
    }
    EXPECT_EQ(dc().first_surface, before.first_surface);
    EXPECT_EQ(dc().last_surface, before.last_surface);
    EXPECT_EQ(dc().dlri, before.dlri);
    EXPECT_EQ(dc().dlsp, before.dlsp);
    EXPECT_EQ(dc().rows[0].wavelength, row0.wavelength);
    EXPECT_EQ(dc().rows[1].wavelength, row1.wavelength);
}

TEST_F(ConditionsSheet, RaySetRowsHideAndGrow) {
    open();
    ASSERT_EQ(typed(kCmdDlnrL, 7, 2, true), 0);
    ASSERT_EQ(typed(kCmdDlnfL, 0, 0, true), 0);
    EXPECT_EQ(dc().row_count, 0);
    EXPECT_EQ(find(sheet(), kCmdDlnrL, 0), nullptr);
    EXPECT_EQ(sheet().size(), 10u);
    ASSERT_EQ(typed(kCmdDlnfL, 3, 0, true), 0);
    ASSERT_NE(find(sheet(), kCmdDlnrL, 2), nullptr);
    EXPECT_EQ(std::atoi(find(sheet(), kCmdDlnrL, 2)->text.c_str()), 7);
    ASSERT_EQ(typed(kCmdDlnfL, 5, 0, true), 0);
    ASSERT_EQ(dc().row_count, 5);
    for (int r : {3, 4}) {
        EXPECT_EQ(dc().rows[r].wavelength, 1);
        EXPECT_EQ(dc().rows[r].drawn, 1);
        EXPECT_NE(find(sheet(), kCmdDlwnL, r), nullptr);
    }
}

TEST_F(ConditionsSheet, CancelAndEscapeRestoreOkKeeps) {
    // Cancel.
    open();
    ASSERT_EQ(typed(kCmdDlidL, 30.0), 0);
    ASSERT_EQ(typed(kCmdDlnfL, 1, 0, true), 0);
    ASSERT_EQ(leave(-1), 0);
    EXPECT_EQ(dc().view[0], 0.0);
    EXPECT_EQ(dc().row_count, 3);
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_FALSE(exists(kMsgDrawingConditionsRevertCopy));
    pop_command_level(true);
    ASSERT_EQ(level_count(), 0);
    // Escape in the main loop.
    tavo_test::sheet_lines().clear();
    open();
    ASSERT_EQ(typed(kCmdDlidL, 40.0), 0);
    ui().queue_message_box_answer(platform::MessageAnswer::ok);  // it may close
    set_run_state(kRunStateEscapeLevel);
    main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
    EXPECT_EQ(dc().view[0], 0.0);
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    // A level on top for a moment keeps the copy and the flag; OK then keeps the edits.
    tavo_test::sheet_lines().clear();
    open();
    ASSERT_EQ(typed(kCmdDlidL, 50.0), 0);
    ASSERT_EQ(leave(1), 0);
    EXPECT_NE(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_TRUE(exists(kMsgDrawingConditionsRevertCopy));
    ASSERT_EQ(send(8), 0);
    ASSERT_EQ(leave(0), 0);
    EXPECT_EQ(dc().view[0], 50.0);
    EXPECT_EQ(test_state_flag(kFlagTemporaryLensCopy), 0);
    EXPECT_FALSE(exists(kMsgDrawingConditionsRevertCopy));
}

}  // namespace
}  // namespace conditions_sheet_test
