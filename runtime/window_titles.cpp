#include "runtime/window_titles.h"

#include "platform/state_reset.h"
#include "runtime/messages.h"

namespace {

std::string g_main_caption;
std::string g_edit_caption;
void (*g_apply)() = nullptr;

}  // namespace

void set_window_titles(const char* main_caption, const char* edit_caption) {
    if (main_caption != nullptr) g_main_caption = main_caption;
    if (edit_caption != nullptr) g_edit_caption = edit_caption;
    if (running_flag() == 0 && g_apply != nullptr) g_apply();
}

const std::string& main_window_caption() {
    return g_main_caption;
}

const std::string& edit_window_caption() {
    return g_edit_caption;
}

void set_window_title_applier(void (*apply)()) {
    g_apply = apply;
}

void reset_window_titles() {
    g_main_caption.clear();
    g_edit_caption.clear();
}

namespace {
const platform::StateReset window_titles_state_reset{"runtime/window_titles", reset_window_titles,
                                                     platform::ResetLayer::runtime};
}  // namespace
