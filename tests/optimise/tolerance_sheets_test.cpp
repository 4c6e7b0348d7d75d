// The surface- and element-tolerance sheets on a typed singlet: opened by their commands, fed
// the grid's events as the main loop feeds a level, and read back from the cells they write,
// the status line, the tolerance records and the results cleared. Edits make a value given,
// the status follows its switch, rows are copied whole, and Cancel and Escape give the lens
// back while OK keeps it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/surface_tolerances.h"
#include "optimise/element_tolerance_sheet.h"
#include "optimise/tolerance_sheet.h"
#include "platform/ui.h"
#include "runtime/command_levels.h"
#include "runtime/level_help.h"
#include "runtime/run_state.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "tests/entry/entry_fixture.h"
#include "tests/support/sheet_lines.h"
#include "ui/grid_control.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace tolerance_sheets_test {
namespace {

using Cell = tavo_test::SheetCell;
using Line = tavo_test::SheetLine;

constexpr int kFieldBits = 0x07ff;
constexpr int kMayDefault = 0x4000;

std::vector<std::pair<int, int>>& cleared() {
    static std::vector<std::pair<int, int>> c;
    return c;
}

void record_clear(int value, int s) {
    cleared().emplace_back(value, s);
}

bool was_cleared(int value, int s) {
    return std::find(cleared().begin(), cleared().end(), std::make_pair(value, s)) !=
           cleared().end();
}

class ToleranceSheets : public entry_test::Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        set_setting_flag(kSetRevertEnable, 1);
        run_all({"LEN NEW \"Singlet\"", "UNI 1", "EBR 5", "WV 0.48 0.55 0.65", "NXT",
                 "SRF 50 5 N-BK7 20", "SRF -50 40 AIR 20", "END"});
        reset_tolerance_sheet();
        reset_element_tolerance_sheet();
        tavo_test::sheet_lines().clear();
        set_output_line_sink(tavo_test::keep_sheet_line);
        saved_clearer_ = tolerance_result_clearer();
        set_tolerance_result_clearer(record_clear);
        cleared().clear();
    }
    void TearDown() override {
        while (level_count() > 0) pop_command_level(false);
        set_output_line_sink(nullptr);
        set_tolerance_result_clearer(saved_clearer_);
        set_setting_flag(kSetRevertEnable, 0);
        reset_tolerance_sheet();
        reset_element_tolerance_sheet();
        Entry::TearDown();
    }

    void open(const char* command) {
        tavo_test::sheet_lines().clear();
        type(command);
        for (int k = 0; k < 4 && tavo_test::sheet_lines().empty(); ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 1) << output() << errors();
        ASSERT_FALSE(tavo_test::sheet_lines().empty());
    }
    static int send(int code, int field = 0, int index = -1, int last = -1) {
        GridEvent e;
        e.code = code;
        e.field = field;
        e.first_index = index;
        e.last_index = last;
        return run_command_level(e);
    }
    static int edit(int field, int index, double value) {
        GridEvent e;
        e.code = kLevelEventEdited;
        e.field = field;
        e.first_index = index;
        e.value_type = kArgDouble;
        e.value.d = value;
        return run_command_level(e);
    }
    static int typed(const char* line, int index) {
        char text[256];
        std::snprintf(text, sizeof text, "%s", line);
        GridEvent e;
        e.code = kLevelEventTypedText;
        e.first_index = index;
        e.text = text;
        return run_command_level(e);
    }
    // Event 3 on a cell: its edit text; the status line is left in status().
    std::string cell_status(int field, int index) {
        char text[256] = "";
        GridEvent e;
        e.code = kLevelEventCellChanged;
        e.field = field;
        e.first_index = index;
        e.text = text;
        ui().set_status_text("");
        EXPECT_EQ(run_command_level(e), 0);
        return text;
    }
    std::string status() { return ui().status_text(); }
    static int leave(int exit_code) {
        GridEvent e;
        e.code = kLevelEventChange;
        e.argument = exit_code;
        return run_command_level(e);
    }
    // The sheet as last written: from its column header on.
    static std::vector<Line> sheet() {
        std::vector<Line> lines;
        for (const Line& line : tavo_test::sheet_lines()) {
            if (line.text.find("SRF|") != std::string::npos) lines.clear();
            lines.push_back(line);
        }
        return lines;
    }
    static const Cell* find(int command, int index) {
        static std::vector<Line> lines;
        lines = sheet();
        for (const Line& line : lines) {
            for (const Cell& c : line.cells) {
                if ((c.item & kFieldBits) == command && c.index == index) return &c;
            }
        }
        return nullptr;
    }
    static const SurfaceTolerances& tol(int s) { return *surface(s).tolerances; }
    static bool given(int s, int k) {
        return surface(s).tolerances != nullptr && surface(s).tolerances->switches[k] != 0;
    }

    ToleranceResultClearer saved_clearer_ = nullptr;
};

TEST_F(ToleranceSheets, EditsMakeValuesGivenAndTheStatusFollowsTheSwitch) {
    open("tolerance_sheet");
    EXPECT_STREQ(sheet_title(), "SURFACE TOLERANCES");
    EXPECT_EQ(status(), msg_text(kMsgToleranceSheetStatus));  // whole in the status line
    EXPECT_NE(test_state_flag(kFlagToleranceSheet), 0);
    // Class-2 defaults in cells that may show one; RDT has none.
    const Cell* spt = find(kCmdSptL, 1);
    ASSERT_NE(spt, nullptr);
    EXPECT_EQ(spt->text, " 10.0*");
    EXPECT_EQ(spt->item, kCmdSptL | kMayDefault);
    ASSERT_NE(find(kCmdRdtL, 1), nullptr);
    EXPECT_EQ(find(kCmdRdtL, 1)->item, kCmdRdtL);
    ASSERT_NE(find(kCmdThtL, 2), nullptr);
    EXPECT_EQ(find(kCmdThtL, 2)->text, " 0.4000");
    EXPECT_EQ(find(kCmdRntL, 3), nullptr);  // the image has no medium after it
    EXPECT_EQ(cell_status(kCmdSptL | kMayDefault, 1), "10.0");
    EXPECT_EQ(status(), "Default: not given");

    // An edit runs THT at the row's surface: given, its result cleared, the cell rewritten.
    const int current = lens_data().current_surface;
    ASSERT_EQ(edit(kCmdThtL | kMayDefault, 1, 0.25), 0);
    EXPECT_EQ(tol(1).values[kTolTht], 0.25);
    EXPECT_EQ(tol(1).switches[kTolTht], 1);
    EXPECT_TRUE(was_cleared(kTolTht, 1));
    EXPECT_FALSE(was_cleared(kTolTht, 2));
    EXPECT_EQ(lens_data().current_surface, current);
    EXPECT_EQ(find(kCmdThtL, 1)->text, " 0.2500");
    EXPECT_EQ(cell_status(kCmdThtL, 1), "0.25");
    EXPECT_EQ(status(), "Given");
    // A line typed into a row runs there: HLD holds the value; a cell edit gives it again.
    ASSERT_EQ(typed("THT HLD 0.3", 2), 0) << error_text();
    EXPECT_EQ(tol(2).switches[kTolTht], 2);
    EXPECT_EQ(cell_status(kCmdThtL, 2), "0.3");
    EXPECT_EQ(status(), "Given and held (HLD)");
    ASSERT_EQ(edit(kCmdThtL, 2, 0.35), 0);
    EXPECT_EQ(tol(2).switches[kTolTht], 1);
    EXPECT_EQ(tol(2).values[kTolTht], 0.35);
    // The test wavelength: every surface's fringe results go.
    cleared().clear();
    ASSERT_EQ(edit(kCmdTwlL, 0, 0.6328), 0);
    EXPECT_EQ(lens_data().test_wavelength, 0.6328);
    for (int s = 1; s <= 3; ++s) {
        EXPECT_TRUE(was_cleared(kTolSpt, s)) << s;
        EXPECT_TRUE(was_cleared(kTolIrt, s)) << s;
    }
    EXPECT_EQ(cell_status(kCmdTwlL, 0), "0.6328");
}

TEST_F(ToleranceSheets, RowsAreCopiedCutAndPastedWhole) {
    open("tolerance_sheet");
    ASSERT_EQ(edit(kCmdSptL, 1, 3.0), 0);
    ASSERT_EQ(typed("IRT HLD 0.5", 1), 0);
    ASSERT_EQ(send(kGridActionCopy, kCmdSptL, 1, 1), 0);
    ASSERT_EQ(tolerance_sheet_clipboard().size(), 1u);
    cleared().clear();
    ASSERT_EQ(send(kGridActionPaste, kCmdSptL, 2, 2), 0);
    EXPECT_EQ(tol(2).values[kTolSpt], 3.0);
    EXPECT_EQ(tol(2).switches[kTolSpt], 1);
    EXPECT_EQ(tol(2).values[kTolIrt], 0.5);
    EXPECT_EQ(tol(2).switches[kTolIrt], 2);
    for (int k = 0; k < kToleranceCount; ++k) EXPECT_TRUE(was_cleared(k, 2)) << k;
    EXPECT_EQ(find(kCmdSptL, 2)->text, "  3.00");
    // Cut leaves reset records behind; two rows paste onto the surfaces from the target on,
    // and none past the image.
    ASSERT_EQ(send(kGridActionCut, kCmdSptL, 1, 2), 0);
    ASSERT_EQ(tolerance_sheet_clipboard().size(), 2u);
    EXPECT_FALSE(given(1, kTolSpt));
    EXPECT_FALSE(given(2, kTolIrt));
    EXPECT_EQ(tol(1).switches[kTolRdt], 1);  // as after a reset
    ASSERT_EQ(send(kGridActionPaste, kCmdSptL, 3, 3), 0);
    EXPECT_EQ(tol(3).values[kTolSpt], 3.0);
    EXPECT_EQ(tol(3).switches[kTolSpt], 1);
    EXPECT_FALSE(given(1, kTolSpt));
}

TEST_F(ToleranceSheets, CancelAndEscapeRestoreOkKeeps) {
    // Cancel.
    open("tolerance_sheet");
    EXPECT_TRUE(std::filesystem::exists(revert_copy_path(kMsgToleranceSheetRevertCopy)));
    ASSERT_EQ(edit(kCmdThtL, 1, 0.25), 0);
    ASSERT_EQ(leave(-1), 0);
    EXPECT_FALSE(given(1, kTolTht));
    EXPECT_EQ(test_state_flag(kFlagToleranceSheet), 0);
    EXPECT_FALSE(std::filesystem::exists(revert_copy_path(kMsgToleranceSheetRevertCopy)));
    pop_command_level(true);
    ASSERT_EQ(level_count(), 0);
    // Escape in the main loop.
    open("tolerance_sheet");
    ASSERT_EQ(edit(kCmdDctL, 2, 0.05), 0);
    ui().queue_message_box_answer(platform::MessageAnswer::ok);  // it may close
    set_run_state(kRunStateEscapeLevel);
    main_loop_pass(false);
    EXPECT_EQ(level_count(), 0);
    EXPECT_FALSE(given(2, kTolDct));
    EXPECT_EQ(test_state_flag(kFlagToleranceSheet), 0);
    // A level on top for a moment keeps the copy and the flag; OK then keeps the edits.
    open("tolerance_sheet");
    ASSERT_EQ(edit(kCmdVntL, 1, 0.5), 0);
    ASSERT_EQ(leave(1), 0);
    EXPECT_NE(test_state_flag(kFlagToleranceSheet), 0);
    ASSERT_EQ(send(kLevelEventShown), 0);
    ASSERT_EQ(leave(0), 0);
    EXPECT_EQ(tol(1).values[kTolVnt], 0.5);
    EXPECT_EQ(tol(1).switches[kTolVnt], 1);
    EXPECT_EQ(test_state_flag(kFlagToleranceSheet), 0);
    EXPECT_FALSE(std::filesystem::exists(revert_copy_path(kMsgToleranceSheetRevertCopy)));
}

// The cells of the sheet's lines that belong to surface s, line by line: the commands of each
// line that holds one of s's cells.
std::vector<std::vector<int>> cells_by_line(const std::vector<Line>& lines, int s) {
    std::vector<std::vector<int>> out;
    for (const Line& line : lines) {
        std::vector<int> commands;
        for (const Cell& c : line.cells) {
            if (c.index == s && (c.item & kFieldBits) >= kCmdThtL) {
                commands.push_back(c.item & kFieldBits);
            }
        }
        if (!commands.empty()) out.push_back(commands);
    }
    return out;
}

// Lines narrower than a surface's line (the sheet's 84 columns, or the writer's 128) get two
// lines a surface, under the two-line head; wide ones the single line. Either way the cells carry
// their command and surface, and grid events edit, show and copy whole surfaces.
TEST_F(ToleranceSheets, TwoLinesASurfaceWhenTheWindowIsNarrow) {
    const TextArea* area = textarea(kSheetArea);
    const int columns_before = area != nullptr ? area->columns : 0;
    const int width_before = text_window_width(platform::kWindowSpreadsheet);
    struct Case {
        int columns;
        int width;
        bool two_lines;
    };
    for (const Case c : {Case{84, 128, true}, Case{200, 128, true}, Case{200, 200, false}}) {
        SCOPED_TRACE(std::to_string(c.columns) + " columns, lines of " + std::to_string(c.width));
        ASSERT_EQ(create_sheet_window(1999, 4, c.columns), 0);
        set_text_window_width(platform::kWindowSpreadsheet, c.width);
        open("tolerance_sheet");
        ASSERT_NE(top_level(), nullptr);
        const int image = lens_data().image_surface;
        EXPECT_EQ(top_level()->rows, c.two_lines ? 2 * image + 8 : image + 7);
        const std::vector<Line> lines = sheet();
        ASSERT_GE(lines.size(), 2u);
        const std::string head = msg_text(kMsgToleranceSheetHeadTwoLines);
        if (c.two_lines) {
            EXPECT_EQ(lines[0].text + "\n" + lines[1].text, head);
            for (const Line& line : lines) {
                EXPECT_LE(line.text.size(), std::min<std::size_t>(c.columns, c.width)) << line.text;
            }
        } else {
            EXPECT_EQ(lines[0].text, msg_text(kMsgToleranceSheetHead));
        }
        // Surface 1's cells: the shape and medium first, then the conic and the positions.
        const std::vector<std::vector<int>> first = cells_by_line(lines, 1);
        const std::vector<int> upper = {kCmdRdtL, kCmdSptL, kCmdIrtL, kCmdThtL, kCmdRntL};
        const std::vector<int> lower = {kCmdCctL, kCmdDztL, kCmdDctL, kCmdDxtL,
                                        kCmdTltL, kCmdTbtL, kCmdVntL};
        if (c.two_lines) {
            ASSERT_EQ(first.size(), 2u);
            EXPECT_EQ(first[0], upper);
            EXPECT_EQ(first[1], lower);
        } else {
            ASSERT_EQ(first.size(), 1u);
            EXPECT_EQ(first[0].size(), upper.size() + lower.size());
        }
        // A cell of the second line edits its own surface; its status follows.
        ASSERT_EQ(edit(kCmdTbtL | kMayDefault, 2, 0.05), 0);
        EXPECT_EQ(tol(2).values[kTolTbt], 0.05);
        EXPECT_EQ(tol(2).switches[kTolTbt], 1);
        EXPECT_EQ(cell_status(kCmdTbtL, 2), "0.05");
        EXPECT_EQ(status(), "Given");
        ASSERT_NE(find(kCmdTbtL, 2), nullptr);
        EXPECT_DOUBLE_EQ(std::strtod(find(kCmdTbtL, 2)->text.c_str(), nullptr), 0.05);
        // A range from surface 1's selector to surface 2's copies two surfaces however many
        // lines lie between.
        ASSERT_EQ(send(kGridActionCopy, kGridKindRowSelector, 1, 2), 0);
        ASSERT_EQ(tolerance_sheet_clipboard().size(), 2u);
        EXPECT_EQ(tolerance_sheet_clipboard()[1].values[kTolTbt], 0.05);
        ASSERT_EQ(leave(-1), 0);
        pop_command_level(true);
        ASSERT_EQ(level_count(), 0);
        EXPECT_FALSE(given(2, kTolTbt));
    }
    set_text_window_width(platform::kWindowSpreadsheet, width_before);
    if (columns_before > 0) {
        ASSERT_EQ(create_sheet_window(1999, 4, columns_before), 0);
    }
}

TEST_F(ToleranceSheets, ElementSheetShowsTheElementsDefaults) {
    open("element_tolerance_sheet");
    EXPECT_STREQ(sheet_title(), "ELEMENT TOLERANCES");
    EXPECT_EQ(status(), msg_text(kMsgElementSheetStatus));
    EXPECT_NE(test_state_flag(kFlagToleranceSheet), 0);
    // The singlet's element defaults (worked out in the element list's test): 0.07 mm, 0.08
    // degrees, on its first surface.
    const Cell* cdy = find(kCmdCdyL, 1);
    ASSERT_NE(cdy, nullptr);
    EXPECT_EQ(cdy->item, kCmdCdyL | kMayDefault);
    EXPECT_DOUBLE_EQ(std::strtod(cdy->text.c_str(), nullptr), 0.07);
    ASSERT_NE(find(kCmdCcaL, 1), nullptr);
    EXPECT_DOUBLE_EQ(std::strtod(find(kCmdCcaL, 1)->text.c_str(), nullptr), 0.08);
    EXPECT_EQ(cell_status(kCmdCdyL, 1), "0.07");
    EXPECT_EQ(status(), "Default: not given");
    // The decentres of the last surface belong to no element.
    cell_status(kCmdCdxL, 2);
    EXPECT_EQ(status(), "This surface begins or ends no element");
    cell_status(kCmdCcaL, 2);
    EXPECT_EQ(status(), "Default: not given");

    ASSERT_EQ(edit(kCmdCcaL | kMayDefault, 1, 0.2), 0);
    EXPECT_EQ(tol(1).values[kTolCca], 0.2);
    EXPECT_EQ(tol(1).switches[kTolCca], 1);
    EXPECT_TRUE(was_cleared(kTolCca, 1));
    EXPECT_DOUBLE_EQ(std::strtod(find(kCmdCcaL, 1)->text.c_str(), nullptr), 0.2);
    EXPECT_EQ(cell_status(kCmdCcaL, 1), "0.2");
    EXPECT_EQ(status(), "Given");
    ASSERT_EQ(leave(-1), 0);
    EXPECT_FALSE(given(1, kTolCca));
    EXPECT_EQ(test_state_flag(kFlagToleranceSheet), 0);
}

}  // namespace
}  // namespace tolerance_sheets_test
