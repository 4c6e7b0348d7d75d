#include "ui/grid_line_entry.h"

#include <cstdio>
#include <string>

#include "kpl/kpl_line.h"
#include "runtime/command_levels.h"
#include "runtime/definitions.h"
#include "runtime/list_words.h"
#include "runtime/menu_store.h"
#include "runtime/messages.h"
#include "runtime/run_state.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"
#include "ui/grid_cells.h"

namespace {

// The line goes to the current command level uncompiled: kept for its event 107.
int hand_line_to_level(const char* text) {
    GridState& grid = grid_state();
    std::snprintf(grid.handed_line, sizeof grid.handed_line, "%s", text);
    set_run_state(kRunStateRunForLevel);
    return 0;
}

// The cell took its entry: shown in the cell's format, marked changed, and editing ends.
void cell_entry_taken() {
    grid_format_edit_value();
    grid_state().current.edited = 1;
    grid_end_edit();
}

// level_open: a line that is no expression goes to the level instead of failing as one.
int enter_cell_number(const char* text, bool level_open) {
    GridCell& cell = grid_state().current;
    KplValue v{};
    bool accepted = false;
    KplCompileResult compiled;
    const int rc = cell_expression(text, cell.value_type == kGridValueDouble, cell.width, &v,
                                   &accepted, &compiled);
    if (compiled.error != 0 && level_open) return hand_line_to_level(text);
    if (compiled.error != 0) {
        show_compile_error(compiled);
        return kStopped;
    }
    if (rc != 0) {
        message_location().pending_error = rc;
        return rc;
    }
    if (!accepted) return 0;  // out of the cell's range: the cell keeps its value
    if (cell.value_type == kGridValueDouble) {
        cell.value.d = v.v.d;
    } else {
        cell.value.i = v.v.i;
    }
    cell_entry_taken();
    return 0;
}

// A text that begins with '"' is stored without its quotes (the closing one is optional), as the
// command line reads a quoted text; any other text is stored as typed.
int store_cell_text(const char* text) {
    GridCell& cell = grid_state().current;
    std::string work = text;
    const std::string stored = text[0] == '"' ? trim_and_unquote(work.data()) : work;
    const std::size_t width = cell.width > 0 ? static_cast<std::size_t>(cell.width) : 0;
    int rc = 0;
    if (stored.size() > width) rc = kMsgCellTextTooLong;
    grid_set_cell_text(stored.c_str());
    cell_entry_taken();
    message_location().pending_error = rc;
    return rc;
}

// A text cell takes a text; a command typed into it goes to the level, unless the cell forbids
// commands. An empty entry empties the cell (it would otherwise compile as the empty command).
int enter_cell_text(const char* text) {
    while (*text == ' ') ++text;
    const GridCell& cell = grid_state().current;
    const bool as_typed = text[0] == '"' || text[0] == '\0' ||
                          grid_entry_kind(cell.field_code) == kGridKindTextNoCommand;
    if (!as_typed && line_compiles_as_command(text)) return hand_line_to_level(text);
    return store_cell_text(text);
}

// A line that begins with the name of a command is that command, never a cell's value, even
// where the name alone would also read as a variable of an expression.
bool starts_with_command_name(const char* text) {
    const int symbol = lookup_symbol(text);
    const Definitions& d = definitions();
    return symbol >= 0 && d.commands != nullptr && symbol < d.command_count;
}

}  // namespace

// A line typed while the grid edits a cell. A range selection (state flag 3) owns the line, and
// so does a cell without a value; a numeric cell takes a numeric expression (with a level open it
// hands any other line to the level); a text cell takes a text and hands on a command.
int run_cell_entry(const char* text) {
    const GridCell& cell = grid_state().current;
    if (test_state_flag(kFlagRangeSelected) != 0) return hand_line_to_level(text);
    switch (cell.value_type) {
        case kGridValueInt:
        case kGridValueDouble: {
            // In a level's sheet only a numeric expression is the cell's value; the level gets
            // every other line as it was typed. Without a level nobody else could take it.
            const bool level_open = level_count() > 0;
            if (level_open && starts_with_command_name(text)) return hand_line_to_level(text);
            return enter_cell_number(text, level_open);
        }
        case kGridValueText:
            return enter_cell_text(text);
        default:
            return hand_line_to_level(text);
    }
}

void install_grid_line_entry() {
    CellEntryHooks hooks;
    hooks.in_edit = grid_cell_in_edit;
    hooks.run = run_cell_entry;
    set_cell_entry_hooks(hooks);
}
