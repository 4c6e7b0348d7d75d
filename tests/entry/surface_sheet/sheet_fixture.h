// The started program with its main loop, the spreadsheet window and a lens typed line by line;
// the sheet is opened as a user opens it (its command typed), and its events are delivered to
// the level as the grid delivers them. The sheet's lines and cells are read from text area 3.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "entry/surface_sheet.h"
#include "lens/lens_data.h"
#include "runtime/command_levels.h"
#include "runtime/settings.h"
#include "tests/app/main_loop/loop_fixture.h"
#include "ui/grid_cells.h"
#include "ui/text_area.h"
#include "ui/window_table.h"

namespace sheet_test {

struct Cell {
    int code;
    int index;
    int first;
    int end;
};

class Sheet : public loop_test::Loop {
protected:
    void SetUp() override {
        Loop::SetUp();
        ASSERT_EQ(create_sheet_window(1999, 8, 84), 0);
        set_setting_flag(kSetRevertEnable, 1);
        set_setting_flag(kSetSpreadsheetCurvatureMode, 0);  // radii
    }

    void type_lines(const std::vector<std::string>& lines) {
        for (const std::string& l : lines) type(l);
    }
    // A lens typed as a user types it.
    void small_lens(const char* object_line) {
        type_lines({"LEN NEW \"Doublet test\"", object_line, "NXT", "SRF 50 5 N-BK7 10", "AST",
                    "SRF -50 45 AIR 10", "END"});
    }
    void open_sheet() {
        // The typed command asks for the level; the next pass builds it and the sheet shows.
        type("surface_sheet");
        for (int k = 0; k < 3 && surface_sheet_state().open == 0; ++k) main_loop_pass(false);
        ASSERT_EQ(level_count(), 1) << errors();
    }
    // The sheet as it shows: the header rows, then the main lines.
    std::vector<std::string> lines() const {
        std::vector<std::string> out = textarea_output_lines(kHeaderArea);
        for (const std::string& s : textarea_output_lines(kSheetArea)) out.push_back(s);
        for (std::string& s : out) {
            while (!s.empty() && s.back() == ' ') s.pop_back();
        }
        return out;
    }
    // The cells of line k (from the first header row, then the oldest kept line).
    std::vector<Cell> cells(int k) const {
        std::vector<Cell> out;
        const TextArea* header = textarea(kHeaderArea);
        const TextArea* a = textarea(kSheetArea);
        if (header != nullptr && k < header->line_count) {
            a = header;
        } else if (header != nullptr) {
            k -= header->line_count;
        }
        if (a == nullptr || k < 0 || k >= a->line_count) return out;
        const int ring = (a->first_line + k) % a->capacity;
        const std::uint8_t* at = a->line_attributes(ring);
        const int count = at[0] / kGridEntrySize;  // the byte holds the entries' bytes
        for (int i = 0; i < count; ++i) {
            const GridCellEntry e = decode_grid_entry(at + 1 + i * kGridEntrySize);
            out.push_back({e.field_code, e.field_index, e.first_column, e.end_column});
        }
        return out;
    }
    int event(int code, int field, int index, double value = 0, int argument = 0, int last = -2,
              char* text = nullptr, int rows = 0) {
        GridEvent e;
        e.code = code;
        e.field = field;
        e.first_index = index;
        e.last_index = last == -2 ? index : last;
        e.value.d = value;
        e.value_type = 2;
        e.argument = argument;
        e.range_rows = rows;
        e.text = text;
        last_event_ = e;
        return run_command_level(e);
    }
    GridEvent last_event_;
};

}  // namespace sheet_test
