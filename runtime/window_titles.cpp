#include "runtime/window_titles.h"

#include "platform/state_reset.h"
#include "runtime/messages.h"

namespace {

// The captions of the main and edit windows, and what shows them (installed at start).
struct WindowTitles {
    std::string main_caption;
    std::string edit_caption;
    void (*apply)() = nullptr;
};

WindowTitles g_titles;

}  // namespace

void set_window_titles(const char* main_caption, const char* edit_caption) {
    if (main_caption != nullptr) g_titles.main_caption = main_caption;
    if (edit_caption != nullptr) g_titles.edit_caption = edit_caption;
    if (running_flag() == 0 && g_titles.apply != nullptr) g_titles.apply();
}

const std::string& main_window_caption() {
    return g_titles.main_caption;
}

const std::string& edit_window_caption() {
    return g_titles.edit_caption;
}

void set_window_title_applier(void (*apply)()) {
    g_titles.apply = apply;
}

void reset_window_titles() {
    g_titles.main_caption.clear();
    g_titles.edit_caption.clear();
}

namespace {
const platform::StateReset window_titles_state_reset{"runtime/window_titles", reset_window_titles,
                                                     platform::ResetLayer::runtime};
}  // namespace
