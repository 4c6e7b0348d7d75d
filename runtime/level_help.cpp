#include "runtime/level_help.h"

#include <cstdio>
#include <string>

#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/definitions.h"
#include "runtime/parameters.h"
#include "runtime/table_help.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"

namespace {

constexpr int kHelpLevelKey = 93;
constexpr int kHelpLevelHead = 92;
constexpr int kHelpFormHead = 91;

// The spreadsheet's title and help topic, set by the first level that shows in it.
struct SheetTitleState {
    int topic = kHelpTopicUnset;
    std::string title;
};

SheetTitleState& sheet_title_state() {
    static SheetTitleState state;
    return state;
}

std::string field_value(const ArgCell& c) {
    char text[300];
    if (c.type == kArgDouble) {
        std::snprintf(text, sizeof text, "%s", format_number(c.value.d, 2, 0));
    } else if (c.type == kArgInt) {
        std::snprintf(text, sizeof text, "%d", c.value.i);
    } else if (c.text_length > 0 && c.value.text != nullptr) {
        std::snprintf(text, sizeof text, "%s", c.value.text);
    } else {
        std::snprintf(text, sizeof text, "%d", static_cast<unsigned char>(c.value.c));
    }
    return text;
}

}  // namespace

void print_level_help() {
    if (level_count() == 0) return;
    const int command = saved_level_command();
    if (command < 0 || load_command_help(command) < 0) return;
    print_help_text(kHelpLevelKey, kHelpLevelHead, 0);
    for (int i = 0; i < saved_level_arg_count(); ++i) {
        const ArgCell* cell = saved_level_cell(i);
        if (cell == nullptr) break;
        std::string line;
        const ParamDescriptor* d = param_descriptor(param_descriptor_index(command, i));
        if (d != nullptr) line = std::string(param_display_name(*d)) + " ";
        line += field_value(*cell) + " ";
        text_out(line.c_str());
        if (ctable_find_text(kHelpLevelKey, i) != nullptr) {
            print_help_text(kHelpLevelKey, i, 0);
        } else {
            text_newline();
        }
    }
}

void sheet_set_title(int topic, int title_message) {
    SheetTitleState& s = sheet_title_state();
    if (s.topic != kHelpTopicUnset) return;
    if (title_message < 0) {
        s.title = msg_text(title_message);
    } else {
        // A form is titled by the head of its command's help, as the user reads it, and only
        // without one by the command's name.
        const int command = saved_level_command() >= 0 ? saved_level_command() : current_command();
        const char* head = load_command_help(command) >= 0
                               ? ctable_find_text(kHelpFormHead, kHelpLevelKey)
                               : nullptr;
        const char* name = symbol_name(command);
        if (head != nullptr && head[0] != '\0') {
            const std::string text = head;
            s.title = text.substr(0, text.find('\n'));
        } else {
            s.title = name != nullptr ? name : "";
        }
    }
    s.topic = topic < 0 ? -topic : (topic == 0 ? kNoHelpTopic : 0);
    platform::UiBackend* ui = platform::current_ui();
    if (ui != nullptr && ui->window_exists(platform::kWindowSpreadsheet)) {
        ui->set_window_title(platform::kWindowSpreadsheet, s.title);
    }
}

int sheet_help_topic() {
    return sheet_title_state().topic;
}

const char* sheet_title() {
    return sheet_title_state().title.c_str();
}

void reset_sheet_title() {
    sheet_title_state() = SheetTitleState{};
}

namespace {
const platform::StateReset level_help_state_reset{"runtime/level_help", reset_sheet_title,
                                                  platform::ResetLayer::runtime};
}  // namespace
