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

namespace {

// Below the frame's caption, menu bar, tool bar and command line.
constexpr int kEditWindowTop = 150;

}  // namespace

int create_edit_window() {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return -1;
    WindowRecord& r = window_record(platform::kWindowEdit);
    r.in_use = 0;
    const bool made = !ui->window_exists(platform::kWindowEdit);
    if (made && ui->create_window(platform::kWindowEdit, " ", edit_window_handler()) != 0) {
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
    if (made) {
        int x = r.x, y = r.y, width = r.width, height = r.height;
        if (width <= 0 || height <= 0) {
            // Without a stored placement the editor opens over the frame's window area, below
            // its menu, tool and command bars, large enough for a procedure: 90 columns and 36
            // lines, or what of that the frame leaves.
            const platform::Rect frame = ui->window_rect(platform::kWindowFrame);
            const FontMetricsCell font = fixed_font_metrics();
            width = std::min(90 * font.char_width + kScrollBarWidth + 2 * kSizingBorder,
                             std::max(frame.right - frame.left - 80, r.min_width));
            height =
                std::min(36 * (font.char_height + 1) + kCaptionHeight + 2 * kSizingBorder,
                         std::max(frame.bottom - frame.top - kEditWindowTop - 20, r.min_height));
            x = frame.left + 40;
            y = frame.top + kEditWindowTop;
        }
        ui->set_window_rect(platform::kWindowEdit,
                            placement_on_screen(x, y, width, height, screen));
    }
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
