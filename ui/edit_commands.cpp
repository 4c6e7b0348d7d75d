#include "ui/edit_commands.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/command_history.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"

namespace {

constexpr int kEdit = platform::kWindowEdit;

struct EditCommandState {
    std::string find;
    std::string replacement;
    bool replace_all = false;
    std::string snapshot;
    bool run_requested = false;
};

EditCommandState& state() {
    static EditCommandState s;
    return s;
}

platform::UiBackend* editor_ui() {
    platform::UiBackend* ui = platform::current_ui();
    return ui != nullptr && ui->has_edit_pane(kEdit) ? ui : nullptr;
}

std::string kept(std::string text) {
    if (text.size() > static_cast<std::size_t>(kEditKeptTextSize)) text.resize(kEditKeptTextSize);
    return text;
}

// The 0-based line holding byte offset.
int line_of(const std::string& text, int offset) {
    const auto end = text.begin() + std::clamp(offset, 0, static_cast<int>(text.size()));
    return static_cast<int>(std::count(text.begin(), end, '\n'));
}

// Asks through dialog 500 or 600; false when cancelled or the dialog could not open (which
// beeps).
bool ask_find_texts(platform::UiBackend& ui, bool replace) {
    platform::UiBackend::TextFieldsDialog dialog;
    dialog.id = replace ? kDialogEditReplace : kDialogEditFind;
    dialog.title = replace ? "Replace Text" : "Find Text";
    dialog.labels = {"Find what:"};
    dialog.values = {state().find};
    if (replace) {
        dialog.labels.push_back("Replace with:");
        dialog.values.push_back(state().replacement);
        dialog.buttons = {"Replace &all"};
    }
    dialog.max_length = kEditKeptTextSize;
    const platform::DialogResult r = ui.text_fields_dialog(dialog);
    if (r == platform::DialogResult::failed) ui.beep();
    if (r != platform::DialogResult::ok || dialog.values.empty()) return false;
    state().find = kept(dialog.values[0]);
    if (replace) {
        state().replacement = kept(dialog.values.size() > 1 ? dialog.values[1] : std::string());
        state().replace_all = dialog.button == 1;
    }
    return true;
}

// Searches the kept find text from the selection; replace puts the replacement in place of
// each occurrence found (all of them after "Replace all"). 0 or -102 when nothing was found.
int find_or_replace(platform::UiBackend& ui, bool replace) {
    const std::string& find = state().find;
    // An empty find text matches everywhere: replacing all of it would never end.
    if (find.empty()) return kMsgEditTextNotFound;
    bool found = false;
    int caret = 0;
    std::string text = ui.edit_text(kEdit);
    for (;;) {
        const auto [start, end] = ui.edit_selection(kEdit);
        const int from = replace && end > start ? start : end;
        const std::size_t at = text.find(find, static_cast<std::size_t>(std::max(from, 0)));
        if (at == std::string::npos) break;
        found = true;
        const int position = static_cast<int>(at);
        ui.set_edit_selection(kEdit, position, position + static_cast<int>(find.size()));
        caret = position + static_cast<int>(find.size());
        if (!replace) break;
        ui.replace_edit_selection(kEdit, state().replacement);
        caret = position + static_cast<int>(state().replacement.size());
        ui.set_edit_selection(kEdit, caret, caret);
        text = ui.edit_text(kEdit);
        if (!state().replace_all) break;
    }
    if (!found) return kMsgEditTextNotFound;
    ui.set_edit_top_line(kEdit, line_of(text, caret));
    return 0;
}

// Dialog 700: a text that is not a number beeps and asks again; 0 (or a cancel) does nothing.
int go_to_line(platform::UiBackend& ui) {
    long line = 0;
    platform::AnswerRefusals refusals(&ui);
    for (;;) {
        platform::UiBackend::TextFieldsDialog dialog;
        dialog.id = kDialogEditGoto;
        dialog.title = "Go to Line";
        dialog.labels = {"Go to line:"};
        dialog.values = {std::string()};
        dialog.max_length = kEditKeptTextSize;
        const platform::DialogResult r = ui.text_fields_dialog(dialog);
        if (r == platform::DialogResult::failed) ui.beep();
        if (r != platform::DialogResult::ok || dialog.values.empty()) return 0;
        const std::string& answer = dialog.values[0];
        char* end = nullptr;
        line = std::strtol(answer.c_str(), &end, 10);
        if (!answer.empty() && end != answer.c_str() && *end == '\0' && line >= 0 &&
            line <= 1000000000L) {
            break;
        }
        ui.beep();
        if (!refusals.ask_again()) return 0;
    }
    if (line == 0) return 0;
    const std::string text = ui.edit_text(kEdit);
    int offset = 0;
    int reached = 1;
    while (reached < line) {
        const std::size_t next = text.find('\n', static_cast<std::size_t>(offset));
        if (next == std::string::npos) break;
        offset = static_cast<int>(next) + 1;
        ++reached;
    }
    if (reached < line) {
        msg_box(kMsgEditLinePastEnd, reached);
        return 0;
    }
    ui.set_edit_selection(kEdit, offset, offset);
    ui.set_edit_top_line(kEdit, static_cast<int>(line) - 1);
    return 0;
}

int clipboard_command(platform::UiBackend& ui, int command) {
    const auto [start, end] = ui.edit_selection(kEdit);
    const std::string text = ui.edit_text(kEdit);
    const std::string selected =
        text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    switch (command) {
        case kCmdEditCopy:
            if (!selected.empty()) ui.set_clipboard_text(selected);
            break;
        case kCmdEditCut:
            if (!selected.empty()) {
                ui.set_clipboard_text(selected);
                ui.replace_edit_selection(kEdit, "");
            }
            break;
        case kCmdEditDelete:
            if (!selected.empty()) ui.replace_edit_selection(kEdit, "");
            break;
        case kCmdEditPaste: {
            const std::string pasted = ui.clipboard_text();
            if (!pasted.empty()) ui.replace_edit_selection(kEdit, pasted);
            break;
        }
        default:
            break;
    }
    return 0;
}

}  // namespace

int cmd_edit_window() {
    platform::UiBackend* ui = editor_ui();
    if (ui == nullptr) return 0;
    const int command = current_command();
    int result = 0;
    switch (command) {
        case kCmdEditUndo:
            ui->edit_undo(kEdit);
            break;
        case kCmdEditCopy:
        case kCmdEditCut:
        case kCmdEditDelete:
        case kCmdEditPaste:
            result = clipboard_command(*ui, command);
            break;
        case kCmdEditRun:
            state().run_requested = true;
            break;
        case kCmdEditFind:
        case kCmdEditReplace: {
            state().replace_all = false;
            const bool replace = command == kCmdEditReplace;
            if (!ask_find_texts(*ui, replace)) break;
            result = find_or_replace(*ui, replace);
            state().replace_all = false;
            break;
        }
        case kCmdEditFindNext:
        case kCmdEditReplaceNext:
            state().replace_all = false;
            result = find_or_replace(*ui, command == kCmdEditReplaceNext);
            break;
        case kCmdEditGoto:
            result = go_to_line(*ui);
            break;
        case kCmdEditSelectAll:
            ui->set_edit_selection(kEdit, 0, static_cast<int>(ui->edit_text(kEdit).size()));
            break;
        default:
            break;
    }
    ui->focus_edit_pane(kEdit);
    return result;
}

int editwin_close() {
    platform::UiBackend* ui = platform::current_ui();
    clear_state_flag(kFlagEditWindowShown);
    if (ui != nullptr && ui->window_exists(kEdit)) ui->show_window(kEdit, false);
    return 0;
}

int editwin_show() {
    platform::UiBackend* ui = editor_ui();
    if (ui == nullptr) return 0;
    if (ui->window_visible(kEdit)) {
        ui->activate_window(kEdit);
        return 0;
    }
    take_edit_snapshot();
    ui->set_edit_modified(kEdit, false);
    set_state_flag(kFlagEditWindowShown);
    ui->show_window(kEdit, true);
    return 0;
}

const std::string& take_edit_snapshot() {
    platform::UiBackend* ui = editor_ui();
    state().snapshot = ui != nullptr ? ui->edit_text(kEdit) : std::string();
    return state().snapshot;
}

const std::string& edit_snapshot() {
    return state().snapshot;
}

const std::string& edit_find_text() {
    return state().find;
}

const std::string& edit_replacement_text() {
    return state().replacement;
}

bool edit_run_requested() {
    return state().run_requested;
}

bool take_edit_run_request() {
    const bool requested = state().run_requested;
    state().run_requested = false;
    return requested;
}

bool run_edit_selection() {
    platform::UiBackend* ui = editor_ui();
    if (ui == nullptr) return false;
    const auto [start, end] = ui->edit_selection(kEdit);
    if (end <= start) return false;
    std::string line = ui->edit_text(kEdit).substr(static_cast<std::size_t>(start),
                                                   static_cast<std::size_t>(end - start));
    // The selection runs as one command line: its line breaks separate statements.
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    std::replace(line.begin(), line.end(), '\n', ';');
    ui->set_edit_selection(kEdit, start, start);
    const int r = set_pending_line(line.c_str());
    if (r != 0) show_error(r);
    return true;
}

void install_edit_commands() {
    set_handler(kSlotEditWindow, cmd_edit_window);
}

void reset_edit_commands() {
    state() = EditCommandState();
}

namespace {
const platform::StateReset edit_commands_state_reset{"ui/edit_commands", reset_edit_commands,
                                                     platform::ResetLayer::ui};
}  // namespace
