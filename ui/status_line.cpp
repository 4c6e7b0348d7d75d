#include "ui/status_line.h"

#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/table_messages.h"
#include "ui/window_table.h"

namespace {

int g_target = 0;

bool is_open(platform::UiBackend& ui, int window) {
    return window == platform::kWindowFrame ||
           (ui.window_exists(window) && ui.window_visible(window));
}

}  // namespace

void set_status_target(int window) {
    g_target = platform::is_valid_window(window) ? window : 0;
}

int status_target() {
    return g_target;
}

int show_status_message(int kind, const char* text) {
    platform::UiBackend* ui = platform::current_ui();
    const int target = ui != nullptr && is_open(*ui, g_target) ? g_target : 0;
    g_target = 0;
    if (ui == nullptr) return 0;
    // Every window shares the frame's status field; the mark is the window's own.
    window_record(target).status_shown = 1;
    if (text == nullptr) text = "";
    return show_message_on(*ui, kind, text);
}

void clear_status_text(int window) {
    WindowRecord& record = window_record(window);
    if (record.status_shown == 0) return;
    record.status_shown = 0;
    if (platform::UiBackend* ui = platform::current_ui()) ui->set_status_text(kDefaultStatusText);
}

int ask_yes_no_cancel(int message) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return kStopped;
    platform::MessageBoxRequest request;
    request.text = msg_text(message);
    request.title = msg_text(kMsgQuestionCaption);
    request.buttons = platform::MessageButtons::yes_no_cancel;
    request.icon = platform::MessageIcon::question;
    switch (ui->message_box(request)) {
        case platform::MessageAnswer::yes:
            return 0;
        case platform::MessageAnswer::no:
            return 1;
        default:
            return kStopped;
    }
}

void install_status_line() {
    set_status_shower(show_status_message);
}

void reset_status_line() {
    g_target = 0;
}

namespace {
const platform::StateReset status_line_state_reset{"ui/status_line", reset_status_line,
                                                   platform::ResetLayer::ui};
}  // namespace
