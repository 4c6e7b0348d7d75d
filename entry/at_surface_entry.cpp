#include "entry/at_surface_entry.h"

#include <vector>

#include "entry/entry_frame.h"
#include "entry/glass_entry.h"
#include "entry/grin_prepare.h"
#include "entry/pickups_solves.h"
#include "lens/lens_data.h"
#include "lens/surface_insert_delete.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/command_text.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr char kLensContext = 'L';
constexpr int kFirstGrinAtSurface = 388;
constexpr int kLastGrinAtSurface = 395;
constexpr int kFirstGrinEntry = 608;
constexpr int kLastGrinEntry = 615;

CatalogPartsOpener g_parts_opener = nullptr;

// The lens-entry state an at-surface command runs in, and the state before it afterwards.
class AtSurfaceScope {
public:
    explicit AtSurfaceScope(bool at_surface_flag)
        : entering_(test_state_flag(kFlagLensEntryInProgress) != 0),
          at_surface_(test_state_flag(kFlagEntryAtSurface) != 0),
          pushed_(push_command_context(kLensContext) == 0) {
        set_state_flag(kFlagLensEntryInProgress);
        if (at_surface_flag) set_state_flag(kFlagEntryAtSurface);
        if (!update_mode()) flush_output_line();
    }
    ~AtSurfaceScope() {
        clear_group_selection();
        if (pushed_) pop_command_context();
        if (!entering_) clear_state_flag(kFlagLensEntryInProgress);
        if (!at_surface_) clear_state_flag(kFlagEntryAtSurface);
        status_msg(0);
    }
    AtSurfaceScope(const AtSurfaceScope&) = delete;
    AtSurfaceScope& operator=(const AtSurfaceScope&) = delete;

private:
    bool entering_;
    bool at_surface_;
    bool pushed_;
};

// The argument vector of the running command put back whatever the call in between did.
class ArgumentsKept {
public:
    ArgumentsKept() : vector_(arg_vector()), count_(arg_count()) {}
    ~ArgumentsKept() { set_arg_vector(vector_, count_); }
    ArgumentsKept(const ArgumentsKept&) = delete;
    ArgumentsKept& operator=(const ArgumentsKept&) = delete;

private:
    ArgCell** vector_;
    int count_;
};

int checked_surface(int n) {
    if (n < 0 || n > lens_data().image_surface) {
        return set_error_msg(kMsgSurfaceOutside, n, lens_data().image_surface);
    }
    return 0;
}

// The surface an at-surface argument names: a missing one is the current surface.
int surface_argument(int k) {
    return arg_given(k) ? arg_int(k) : current_surface();
}

// The command text of the running command from argument first on, formatted from a copy of
// the cells in which argument `into` holds the value of argument `from` (given); the caller's
// cells stay as they are.
std::string text_with_copied_argument(int first, int from, int into) {
    const int count = arg_count();
    std::vector<ArgCell> cells(static_cast<std::size_t>(count));
    std::vector<ArgCell*> pointers(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        cells[i] = *arg_cell(i);
        pointers[i] = &cells[i];
    }
    if (from >= 0 && from < count && into < count) {
        cells[into] = cells[from];
        cells[into].status = kArgGiven;
    }
    std::string text;
    ArgumentsKept kept;
    set_arg_vector(pointers.data(), count);
    format_command_text(text, first);
    return text;
}

// Runs a handler on the running command's arguments from argument `first` on, as command
// `command` at surface n.
int run_handler_at_surface(int n, int command, int first, int (*handler)()) {
    const int count = arg_count();
    std::vector<ArgCell*> shifted;
    for (int i = first; i < count; ++i) shifted.push_back(arg_cell(i));
    shifted.push_back(nullptr);
    ArgumentsKept kept;
    set_current_surface(n);
    set_current_command(command);
    set_arg_vector(shifted.data(), count - first);
    return handler();
}

int finish_handler_run(int rc) {
    if (rc != 0) return rc;
    return entry_lens_setup();
}

}  // namespace

void set_catalog_parts_opener(CatalogPartsOpener opener) {
    g_parts_opener = opener;
}

int run_command_at_surface(int n, const std::string& text) {
    if (const int rc = checked_surface(n); rc != 0) return rc;
    int rc = 0;
    int command = 0;
    {
        AtSurfaceScope scope(true);
        set_current_surface(n);
        rc = run_command_string(text.c_str(), 0);
        command = current_command();
    }
    if ((command >= kFirstGrinEntry && command <= kLastGrinEntry) ||
        (command >= kFirstGrinAtSurface && command <= kLastGrinAtSurface)) {
        prepare_grin_record(n);
    }
    if (rc != 0) return rc;
    return entry_lens_setup();
}

int cmd_at_surface() {
    return run_command_at_surface(arg_int(0), text_with_copied_argument(1, -1, -1));
}

int cmd_at_surface_first_arg() {
    const int n = surface_argument(1);
    return run_command_at_surface(n, text_with_copied_argument(1, 0, 1));
}

int cmd_glass_at_surface() {
    const int n = surface_argument(1);
    if (const int rc = checked_surface(n); rc != 0) return rc;
    // The glass handler sees model switch, name and values: argument 1 (the surface) leaves.
    const int count = arg_count();
    std::vector<ArgCell*> cells;
    for (int i = 0; i < count; ++i) {
        if (i != 1) cells.push_back(arg_cell(i));
    }
    cells.push_back(nullptr);
    int rc = 0;
    {
        AtSurfaceScope scope(false);
        ArgumentsKept kept;
        set_current_surface(n);
        set_current_command(kCmdGlass);
        set_arg_vector(cells.data(), count - 1);
        rc = cmd_glass_commands();
    }
    lens_flags().materials_changed = 1;
    return finish_handler_run(rc);
}

int cmd_at_surface_values() {
    lens_flags().materials_changed = 1;
    return run_command_at_surface(arg_int(0), text_with_copied_argument(1, -1, -1));
}

int cmd_pickup_at_surface() {
    const int n = arg_int(0);
    if (const int rc = checked_surface(n); rc != 0) return rc;
    int rc = 0;
    {
        AtSurfaceScope scope(false);
        rc = run_handler_at_surface(n, current_command(), 1, cmd_pickup);
    }
    return finish_handler_run(rc);
}

int cmd_current_surface() {
    if (current_command() == kCmdStockLensAt) {
        const int n = arg_int(0);
        if (const int rc = checked_surface(n); rc != 0) return rc;
        set_current_surface(n);
    } else if (current_surface() == 0) {
        return set_error_msg(kMsgNoCurrentSurface);
    }
    if (g_parts_opener == nullptr) return set_error_msg(kMsgCatalogPartsUnavailable);
    return g_parts_opener();
}
