#include "runtime/help_command.h"

#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/help_viewer.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/help_file.h"
#include "runtime/messages.h"
#include "runtime/program_arguments.h"
#include "runtime/table_files.h"
#include "runtime/text_output.h"

namespace {

constexpr char kHelpFolder[] = "hlp";
constexpr char kConsoleBackend[] = "console";

// The console has no desktop to open a file with: its user reads help in the text output.
bool help_as_text() {
    const platform::UiBackend* ui = platform::current_ui();
    return ui == nullptr || std::strcmp(ui->name(), kConsoleBackend) == 0;
}

void write_lines(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::size_t stop = end == std::string::npos ? text.size() : end;
        write_output_text(text.substr(at, stop - at).c_str(), false);
        write_output_text("\n", false);
        at = stop + 1;
    }
}

void report_help_request(int topic) {
    const int r = show_help(1, topic);
    if (r != 0) show_error(r);
}

}  // namespace

int show_help(int mode, int context) {
    if (mode < 0 || mode > 2 || program_base_name().empty()) return kMsgHelpRefused;
    const std::string path = platform::join_path(platform::join_path(root_folder(), kHelpFolder),
                                                 program_base_name() + kHelpFileExtension);
    const std::string topic = mode == 0   ? std::string(kContentsTopic)
                              : mode == 2 ? std::string(kUsingHelpTopic)
                                          : std::to_string(context);
    // A topic the file lacks is refused here: the opener would show the file's start instead.
    std::string text;
    if (!help_topic_text(path, topic, text)) {
        if (!platform::path_exists(path)) return set_error_msg(kMsgHelpFileRefused, path.c_str());
        return set_error_msg(kMsgHelpTopicMissing, path.c_str(), topic.c_str());
    }
    if (help_as_text()) {
        write_lines(text);
        return 0;
    }
    const std::string anchor = mode == 0 ? std::string() : topic;
    if (platform::open_help(path, anchor)) return 0;
    // Without a desktop opener (no browser installed) the program shows the page itself.
    platform::UiBackend* ui = platform::current_ui();
    if (ui != nullptr && ui->show_help_page(path, anchor)) return 0;
    return set_error_msg(kMsgHelpFileRefused, path.c_str());
}

int cmd_help() {
    const ArgCell* mode = arg_count() > 0 ? arg_cell(0) : nullptr;
    const ArgCell* topic = arg_count() > 1 ? arg_cell(1) : nullptr;
    return show_help(mode != nullptr ? mode->value.i : 0, topic != nullptr ? topic->value.i : 0);
}

void install_help_command() {
    set_handler(kSlotHelp, cmd_help);
    platform::set_help_request_handler(report_help_request);
}
