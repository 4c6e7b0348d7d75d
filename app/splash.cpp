#include "app/splash.h"

#include <cstdio>
#include <string>
#include <utility>

#include "app/startup.h"
#include "app/toolbar.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/messages.h"
#include "runtime/table_format.h"

namespace {

int g_timer = 0;

}  // namespace

int open_splash_window() {
    splash_close();
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr || !ui->window_exists(platform::kWindowFrame)) return 0;
    ToolbarBitmap bitmap;
    if (load_toolbar_bitmap(kSplashBitmapName, bitmap, nullptr, nullptr) != 0) return 0;
    platform::SplashPicture picture;
    picture.width = bitmap.width;
    picture.height = bitmap.height;
    picture.pixels = std::move(bitmap.pixels);
    if (ui->open_splash(picture) != 0) return 0;
    if (ui->set_timer(platform::kWindowFrame, kSplashTimer, kSplashMilliseconds) != 0) {
        // Without its timer nothing but a key would ever end it.
        ui->close_splash();
        return 0;
    }
    g_timer = kSplashTimer;
    return g_timer;
}

int splash_timer_value() {
    return g_timer;
}

void splash_timer_ended() {
    if (g_timer == 0) return;
    if (platform::UiBackend* ui = platform::current_ui()) {
        ui->kill_timer(platform::kWindowFrame, kSplashTimer);
    }
    g_timer = 0;
}

bool splash_waiting() {
    platform::UiBackend* ui = platform::current_ui();
    return g_timer != 0 && ui != nullptr && ui->splash_open();
}

void wait_for_splash() {
    platform::UiBackend* ui = platform::current_ui();
    // A backend that can deliver nothing more would never end the wait.
    while (splash_waiting() && ui->process_one_event(true)) {
    }
    splash_close();
}

int cmd_about() {
    platform::UiBackend* ui = platform::current_ui();
    if (ui == nullptr) return 0;
    char text[64];
    std::snprintf(text, sizeof text, "Revision %s", kProgramVersion);
    ToolbarBitmap bitmap;
    if (load_toolbar_bitmap(kAboutBitmapName, bitmap, nullptr, nullptr) == 0) {
        platform::SplashPicture picture;
        picture.width = bitmap.width;
        picture.height = bitmap.height;
        picture.pixels = std::move(bitmap.pixels);
        if (ui->open_about(picture, text, {kAboutTextX, kAboutTextY}) == 0) return 0;
    }
    // No picture or no window for it: the revision in a box.
    platform::MessageBoxRequest box;
    box.title = "About TAVO";
    box.text = std::string(kProgramTitle) + " " + text;
    ui->message_box(box);
    return 0;
}

void splash_close() {
    splash_timer_ended();
    if (platform::UiBackend* ui = platform::current_ui()) ui->close_splash();
}

namespace {
// Only the number is forgotten: the backend's splash window and its timer belong to the backend.
void reset_splash() {
    g_timer = 0;
}
const platform::StateReset splash_state_reset{"app/splash", reset_splash,
                                              platform::ResetLayer::app};
}  // namespace
