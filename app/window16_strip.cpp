#include "app/window16_strip.h"

#include "app/toolbar.h"
#include "platform/ui.h"
#include "runtime/table_messages.h"
#include "ui/graphics_text_window.h"

namespace {

struct StripButton {
    int id;
    const char* bitmap;
    int x;
    int tip;
};

constexpr StripButton kButtons[] = {
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
    for (const StripButton& s : kButtons) {
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
        ui->add_tool_button(w, button);
    }
}
