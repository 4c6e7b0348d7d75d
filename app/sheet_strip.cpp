#include "app/sheet_strip.h"

#include <cstdlib>
#include <iterator>

#include "app/command_line.h"
#include "app/toolbar.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/help_command.h"
#include "runtime/help_file.h"
#include "runtime/level_help.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/table_help.h"
#include "runtime/table_messages.h"
#include "ui/window_table.h"

namespace {

// The help block's key that holds a command's topic number when its flags leave it to the
// block: two '[' bytes.
constexpr int kTopicKey = '[';

constexpr StripPictureButton kSheetButtons[] = {
    {kSheetOkCommand, "SSOK", kSheetOkX, kMsgSheetOkTip},
    {kSheetCancelCommand, "SSCancel", kSheetCancelX, kMsgSheetCancelTip},
    {kSheetHelpCommand, "SSHelp", -kSheetHelpFromRight, kMsgSheetHelpTip},
};

}  // namespace

void build_frame_toolbar() {
    if (output_option(kOptionToolbar) == 0) return;
    for (const ToolbarButton& b : toolbar_buttons()) {
        if (b.window == platform::kWindowFrame) return;
    }
    create_toolbar(platform::kWindowFrame, 2, 0, kMsgMainToolbar);
}

void add_strip_picture_buttons(int window, const StripPictureButton* buttons, int count) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return;
    for (int k = 0; k < count; ++k) {
        const StripPictureButton& s = buttons[k];
        ToolbarBitmap bitmap;
        int width = 0;
        int height = 0;
        if (load_toolbar_bitmap(s.bitmap, bitmap, &width, &height) != 0) continue;
        platform::ToolButton button;
        button.id = s.id;
        button.x = s.x;
        button.width = width;
        button.height = height;
        button.pixels = std::move(bitmap.pixels);
        const char* tip = msg_text(s.tip);
        button.tooltip = tip != nullptr ? tip : "";
        ui->add_tool_button(window, button);
    }
}

int build_sheet_strip() {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->window_exists(platform::kWindowSpreadsheet)) return -1;
    if (ui->create_tool_strip(platform::kWindowSpreadsheet, kSheetStripHeight) != 0) return -1;
    // The tool row empties the strip before it fills it: the three buttons come after it.
    create_toolbar(platform::kWindowSpreadsheet, kSheetToolRowX, 3, kMsgSheetToolbar);
    add_strip_picture_buttons(platform::kWindowSpreadsheet, kSheetButtons,
                              static_cast<int>(std::size(kSheetButtons)));
    return 0;
}

int show_sheet_command_help() {
    int topic = sheet_help_topic();
    if (topic == kHelpTopicUnset || topic == kNoHelpTopic) return kMsgHelpRefused;
    if (topic == 0) {
        const int symbol = saved_level_command() >= 0 ? saved_level_command() : current_command();
        const char* text =
            load_command_help(symbol) >= 0 ? ctable_find_text(kTopicKey, kTopicKey) : nullptr;
        topic = text != nullptr ? std::atoi(text) : 0;
        // A block that names no topic leaves it to the command's own, which every command has.
        if (topic <= 0 && symbol > 0) topic = kCommandHelpTopicBase + symbol;
        if (topic <= 0) return kMsgHelpRefused;
    }
    return show_help(1, topic);
}

void run_strip_command(int window, int command) {
    switch (command) {
        case kSheetOkCommand:
            accept_command_level();
            break;
        case kSheetCancelCommand:
            escape_command_line();
            break;
        case kSheetHelpCommand:
            if (const int r = show_sheet_command_help(); r != 0) show_error(r);
            break;
        default:
            run_toolbar_command(window, command);
            break;
    }
}
