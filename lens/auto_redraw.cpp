#include "lens/auto_redraw.h"

namespace {

void (*g_refresh)(int) = nullptr;

}  // namespace

void auto_redraw_after_edit(int flag) {
    if (g_refresh != nullptr) g_refresh(flag);
}

void set_auto_redraw_after_edit(void (*refresh)(int flag)) {
    g_refresh = refresh;
}
