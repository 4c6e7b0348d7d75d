#include "runtime/window_services.h"

namespace {

WindowServices g_services;

}  // namespace

void set_window_services(const WindowServices& services) {
    g_services = services;
}

const WindowServices& window_services() {
    return g_services;
}
