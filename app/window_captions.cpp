#include "app/window_captions.h"

#include <cstdio>
#include <string>

#include "app/startup.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/settings.h"
#include "runtime/table_messages.h"

namespace {

constexpr int kTitleLimit = 47;
constexpr int kCaptionHeight = 20;
// Default sizes in pixels: a text window holds 80 columns and 15 lines of the fixed font.
constexpr int kFixedCharWidth = 8;
constexpr int kFixedCharHeight = 16;

struct Captions {
    std::string applied_main;
    std::string applied_edit;
    bool applied = false;
    std::string shown[platform::kWindowCount];
    std::string graphics_titles[platform::kWindowCount];
    bool unsaved = false;
};

Captions g;

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

bool outside_mdi(int window) {
    return window == platform::kWindowList || window == platform::kWindowEdit ||
           window == platform::kWindowGraphicsText;
}

std::string compose(int window) {
    if (window == platform::kWindowFrame) {
        const std::string& text = main_window_caption();
        // A lens with changes not yet saved is marked, as a designer knows from other programs.
        const char* mark = g.unsaved ? "*" : "";
        return text.empty() ? std::string(kProgramCaption) + (g.unsaved ? " *" : "")
                            : std::string(kProgramCaption) + " - " + mark + text;
    }
    if (window == platform::kWindowEdit) {
        const std::string& text = edit_window_caption();
        const std::string word = msg_text(kMsgEditCaption);
        return text.empty() ? word : word + " - " + text;
    }
    if (platform::is_graphics_window(window)) {
        if (!g.graphics_titles[window].empty()) return g.graphics_titles[window];
        // Graphics windows 1 to 6 have toolbars and a caption of their own kind.
        const int graphics = window - platform::kWindowGraphicsFirst + 1;
        const int message = graphics <= 6 ? kMsgGraphicsCaption : kMsgOtherGraphicsCaption;
        char text[64];
        std::snprintf(text, sizeof text, "%.40s %d", msg_text(message), graphics);
        return text;
    }
    if (window == platform::kWindowSpreadsheet || window == platform::kWindowList) {
        return msg_text(kMsgSheetCaption);
    }
    return {};
}

}  // namespace

int update_window_title(int window, int) {
    if (!platform::is_valid_window(window)) return platform::kUiBadWindow;
    const std::string caption = compose(window);
    if (caption.empty()) return 0;
    g.shown[window] = caption;
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || !ui->window_exists(window)) return 0;
    if (window == platform::kWindowFrame) {
        ui->set_frame_title(caption);
        return 0;
    }
    return ui->set_window_title(window, caption);
}

void apply_pending_captions() {
    const std::string& main = main_window_caption();
    const std::string& edit = edit_window_caption();
    if (!g.applied || main != g.applied_main) {
        g.applied_main = main;
        update_window_title(platform::kWindowFrame, 0);
    }
    if (!g.applied || edit != g.applied_edit) {
        g.applied_edit = edit;
        update_window_title(platform::kWindowEdit, 0);
    }
    g.applied = true;
}

void set_unsaved_mark(bool unsaved) {
    if (unsaved == g.unsaved) return;
    g.unsaved = unsaved;
    update_window_title(platform::kWindowFrame, 0);
}

const char* window_caption(int window) {
    return platform::is_valid_window(window) ? g.shown[window].c_str() : "";
}

void set_graphics_window_title(int window, const char* title) {
    if (!platform::is_graphics_window(window)) return;
    g.graphics_titles[window] = std::string(title != nullptr ? title : "").substr(0, kTitleLimit);
    update_window_title(window, 0);
}

void move_window(int window, int x, int y) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || !ui->window_exists(window)) return;
    platform::Rect r = ui->window_rect(window);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    ui->set_window_rect(window, {x, y, x + w, y + h});
}

void keep_window_on_screen(int window, int) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || !ui->window_exists(window) || !outside_mdi(window)) return;
    const platform::Rect r = ui->window_rect(window);
    const platform::Size screen = ui->screen_size();
    if (r.left < 0 || r.top < 0 || r.left > screen.width - 20 ||
        r.top > screen.height + kCaptionHeight - 20) {
        move_window(window, 0, 0);
    }
}

void place_child_windows() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return;
    const platform::Size screen = ui->screen_size();
    for (int n = 1; n < platform::kWindowCount; ++n) {
        if (!ui->window_exists(n)) continue;
        const int x = get_setting_int(kSetWindowGeometry, n, 0);
        const int y = get_setting_int(kSetWindowGeometry, n, 1);
        const int w = get_setting_int(kSetWindowGeometry, n, 2);
        const int h = get_setting_int(kSetWindowGeometry, n, 3);
        platform::Rect r;
        if (w > 0 && h > 0) {
            r = {x, y, x + w, y + h};
        } else if (platform::is_text_window(n)) {
            const int at = 10 * n - 5;
            r = {at, at, at + 80 * kFixedCharWidth + 24, at + 15 * (kFixedCharHeight + 1) + 30};
        } else if (n == platform::kWindowEdit) {
            r = {5, 5, 5 + screen.width / 2, 5 + screen.height - 10};
        } else if (n == platform::kWindowSpreadsheet) {
            const int width = 80 * kFixedCharWidth + 24;
            r = {(screen.width - width) / 2, 0, (screen.width + width) / 2, 200};
        } else if (n == platform::kWindowList) {
            r = {screen.width / 2 - 100, screen.height / 2 - 75, screen.width / 2 + 100,
                 screen.height / 2 + 75};
        } else if (n == platform::kWindowControl) {
            r = {screen.width - 210, screen.height / 2, screen.width - 10, screen.height / 2 + 100};
        } else if (n == platform::kWindowGraphicsText) {
            const platform::Rect now = ui->window_rect(n);
            const int width = now.right - now.left;
            const int height = now.bottom - now.top;
            r = {(screen.width - width) / 2, (screen.height - height) / 2,
                 (screen.width + width) / 2, (screen.height + height) / 2};
        } else {
            continue;  // graphics windows place themselves when they are first opened
        }
        ui->set_window_rect(n, r);
    }
}

void reset_window_captions() {
    g = Captions{};
}

namespace {
const platform::StateReset window_captions_state_reset{"app/window_captions", reset_window_captions,
                                                       platform::ResetLayer::app};
}  // namespace
