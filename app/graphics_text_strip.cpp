#include "app/graphics_text_strip.h"

#include <iterator>

#include "app/sheet_strip.h"
#include "platform/ui.h"
#include "runtime/table_messages.h"
#include "ui/graphics_text_window.h"

namespace {

constexpr StripPictureButton kButtons[] = {
    {kWindow16OkCommand, "SSOK", kWindow16OkX, kMsgWindow16OkTip},
    {kWindow16CancelCommand, "SSCancel", kWindow16CancelX, kMsgWindow16CancelTip},
    {kWindow16HelpCommand, "SSHelp", -kWindow16HelpFromRight, kMsgWindow16HelpTip},
};

}  // namespace

void build_window16_strip() {
    platform::UiBackend* ui = platform::current_ui();
    constexpr int w = platform::kWindowGraphicsText;
    if (ui == nullptr || !ui->window_exists(w)) return;
    ui->clear_tool_strip(w);
    add_strip_picture_buttons(w, kButtons, static_cast<int>(std::size(kButtons)));
}
