// The grid commands that queue grid actions, the reading of the program's own clipboard format,
// the label of the graphics-with-text window's bottom strip, and the grid's installation.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "tables/table_names.h"
#include "ui/choice_lists.h"
#include "ui/graphics_text_window.h"
#include "ui/grid_control.h"
#include "ui/grid_line_entry.h"
#include "ui/status_line.h"
#include "ui/text_area.h"

namespace {

struct GridCommandAction {
    int command;
    int action;
};

// The queued action of every grid command.
constexpr GridCommandAction kGridCommandActions[] = {
    {kCmdGridCopy, kGridActionCopy},
    {kCmdGridCut, kGridActionCut},
    {kCmdGridDelete, kGridActionDelete},
    {kCmdGridPaste, kGridActionPaste},
    {kCmdGridInsert, kGridActionInsert},
    {kCmdGridReverse, kGridActionReverse},
    {kCmdGridNegate, kGridActionNegate},
    {kCmdGridInsertLensFile, kGridActionInsertLensFile},
    {kCmdGridCatalogParts, kGridActionCatalogParts},
    {kCmdGridMakeElement, kGridActionMakeElement},
    {kCmdGridDissolveGroup, kGridActionDissolveGroup},
    {kCmdGridScale, kGridActionScale},
};

// The status line's label and the size of the clipboard's last copy.
struct GridCommandsState {
    std::string status_label;
    std::size_t clipboard_size = 0;
};

GridCommandsState g_grid_commands;

// The prompt popups of a sheet open at the current cell.
bool current_cell_anchor(int* window, platform::Point* at) {
    const GridState& g = grid_state();
    const GridCell& c = g.current;
    if (c.text == nullptr || level_count() == 0) return false;
    const TextArea* a = c.header != 0 ? textarea(kHeaderArea) : textarea(g.active_area);
    if (a == nullptr || a->window < 0) return false;
    *window = a->window;
    at->x = a->left_margin + (c.first_column - a->horizontal_offset) * a->char_width;
    at->y = a->top_margin + (c.row + 1) * a->line_height;
    return true;
}

}  // namespace

int cmd_grid_command() {
    const int command = current_command();
    for (const GridCommandAction& a : kGridCommandActions) {
        if (a.command != command) continue;
        grid_post_action(a.action, command == kCmdGridInsert ? arg_int(0) : 0);
        break;
    }
    return 0;
}

int read_private_clipboard(char** buffer) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || buffer == nullptr) return 0;
    std::vector<std::uint8_t> bytes;
    if (!ui->clipboard_data(platform::kSurfaceClipboardMime, bytes) || bytes.empty()) return 1;
    if (*buffer == nullptr || bytes.size() > g_grid_commands.clipboard_size) {
        // The old block is given back whether or not a new one can be had.
        std::free(*buffer);
        *buffer = static_cast<char*>(std::malloc(bytes.size() + 1));
        if (*buffer == nullptr) {
            g_grid_commands.clipboard_size = 0;
            return 1;
        }
        g_grid_commands.clipboard_size = bytes.size();
    }
    std::memcpy(*buffer, bytes.data(), bytes.size());
    (*buffer)[bytes.size()] = '\0';
    return 1;
}

std::size_t private_clipboard_size() {
    return g_grid_commands.clipboard_size;
}

void grid_status_text(const char* text) {
    g_grid_commands.status_label = text != nullptr ? text : "";
    set_window16_label(g_grid_commands.status_label.c_str());
}

const char* grid_status_label() {
    return g_grid_commands.status_label.c_str();
}

void install_grid() {
    set_grid_line_painter(grid_paint_line);
    set_grid_scroll_limiter(grid_limit_scroll);
    set_grid_clear_listener(grid_area_cleared);
    set_grid_input_handler({grid_window_mouse, grid_window_key, grid_window_timer});
    set_choice_popup_anchor(current_cell_anchor);
    platform::set_command_line_listener(grid_show_edit_text);
    install_grid_line_entry();
    set_handler(kSlotGridCommand, cmd_grid_command);
}

namespace {
void reset_grid_commands() {
    g_grid_commands.status_label.clear();
    g_grid_commands.clipboard_size = 0;
}
const platform::StateReset grid_commands_state_reset{"ui/grid_commands", reset_grid_commands,
                                                     platform::ResetLayer::ui};
}  // namespace
