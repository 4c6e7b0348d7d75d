// The program's entry: chooses the user interface, opens the frame and text window 1, shows the
// title and runs the event loop until the frame is closed (in the console: end of input).
#include <cstdio>
#include <memory>

#include "platform/console/console_backend.h"
#include "platform/locale.h"
#include "platform/ui.h"
#ifdef TAVO_HAVE_QT
#include "platform/qt/qt_backend.h"
#endif

namespace {

#ifdef TAVO_HAVE_QT
constexpr bool kHaveQt = true;
#else
constexpr bool kHaveQt = false;
#endif

std::unique_ptr<platform::UiBackend> make_backend(int& argc, char** argv) {
#ifdef TAVO_HAVE_QT
    if (platform::choose_ui_kind_from_environment(kHaveQt) == platform::UiKind::qt) {
        return platform::make_qt_backend(argc, argv);
    }
#else
    (void)argc;
    (void)argv;
#endif
    return std::make_unique<platform::ConsoleBackend>();
}

}  // namespace

int main(int argc, char** argv) {
    std::unique_ptr<platform::UiBackend> backend = make_backend(argc, argv);
    platform::force_c_numeric_locale();
    platform::set_current_ui(backend.get());
    platform::UiBackend& ui = *backend;

    constexpr const char* kTitle = TAVO_TITLE_TEXT " " TAVO_VERSION_TEXT;
    if (ui.create_frame(TAVO_TITLE_TEXT, nullptr) != 0 ||
        ui.create_window(platform::kWindowText1, kTitle, nullptr) != 0) {
        std::fprintf(stderr, "%s: the user interface could not be started\n", kTitle);
        return 1;
    }
    ui.activate_window(platform::kWindowText1);
    ui.add_text_line(platform::kWindowText1, kTitle);

    // One event per pass. Entered command lines wait in the backend's queue until the
    // command runtime takes them.
    while (!ui.frame_closed()) {
        if (!ui.process_one_event(true)) break;
    }

    platform::set_current_ui(nullptr);
    return 0;
}
