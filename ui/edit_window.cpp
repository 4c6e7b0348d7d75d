#include "ui/edit_window.h"

#include <algorithm>

#include "runtime/output_options.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "ui/menus.h"
#include "ui/window_table.h"

namespace {

class EditWindowHandler : public platform::WindowHandler {
public:
    // Closing hides the window, which keeps its text; what needs it shown is disabled.
    bool on_close_request(int) override {
        clear_state_flag(kFlagEditWindowShown);
        return true;
    }
    void on_command(int window, int command) override {
        if (command >= platform::kMenuCommandBase) {
            run_menu_command(window, command - platform::kMenuCommandBase);
        }
    }
};

void append_to_editor(const char* text) {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || text == nullptr || !ui->has_edit_pane(platform::kWindowEdit)) return;
    ui->append_edit_text(platform::kWindowEdit, text);
}

}  // namespace

platform::WindowHandler* edit_window_handler() {
    static EditWindowHandler handler;
    return &handler;
}

int create_edit_window() {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return -1;
    WindowRecord& r = window_record(platform::kWindowEdit);
    r.in_use = 0;
    if (!ui->window_exists(platform::kWindowEdit) &&
        ui->create_window(platform::kWindowEdit, " ", edit_window_handler()) != 0) {
        return -1;
    }
    if (ui->create_edit_pane(platform::kWindowEdit, kEditTabColumns) != 0) return -1;
    const platform::Size screen = ui->screen_size();
    r.min_width = 200;
    r.min_height = 100;
    r.max_width = screen.width;
    r.max_height = screen.height;
    ui->set_size_limits(platform::kWindowEdit, {r.min_width, r.min_height},
                        {r.max_width, r.max_height});
    if (output_option(kOptionMenubar) != 0) {
        build_menu(msg_text(kMsgEditMenuList), platform::kWindowEdit, false);
    }
    ui->show_window(platform::kWindowEdit, false);
    return 0;
}

std::vector<std::string> edit_window_lines(bool selection) {
    std::vector<std::string> lines;
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return lines;
    std::string text = ui->edit_text(platform::kWindowEdit);
    if (selection) {
        const auto [from, to] = ui->edit_selection(platform::kWindowEdit);
        auto clamp = [&text](int at) {
            return std::min(static_cast<std::size_t>(std::max(at, 0)), text.size());
        };
        const std::size_t start = clamp(from);
        const std::size_t end = clamp(to);
        text = end > start ? text.substr(start, end - start) : std::string();
    }
    std::string line;
    auto finish = [&] {
        if (line.size() > static_cast<std::size_t>(kEditPrintColumns))
            line.resize(kEditPrintColumns);
        lines.push_back(line);
        line.clear();
    };
    for (const char c : text) {
        if (c == '\n') {
            finish();
        } else if (c == '\t') {
            line.append(kEditTabColumns - line.size() % kEditTabColumns, ' ');
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) finish();
    return lines;
}

void install_edit_window() {
    set_edit_window_sink(append_to_editor);
}
