// The Qt 6 backend, reachable without any Qt header: main and tests make it here.
#pragma once

#include <memory>

#include "platform/ui.h"

namespace platform {

// Starts the Qt application (unless one runs already; argc must outlive the backend) and makes
// the backend. The C numeric locale is set again afterwards, since Qt resets it.
// Each window's widget is named "tavo_window_<n>" (its drawing surface or text view
// "tavo_surface_<n>"), so that tests can find and grab it.
std::unique_ptr<UiBackend> make_qt_backend(int& argc, char** argv);

}  // namespace platform
