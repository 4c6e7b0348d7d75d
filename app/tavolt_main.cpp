// The program's entry: chooses the user interface and runs the program's life (start-up, the
// event loop, the exit hook and shut-down). Exits non-zero when start-up failed.
#include <memory>

#include "app/startup.h"
#include "platform/console/console_backend.h"
#include "platform/locale.h"
#include "platform/ui.h"
#ifdef TAVO_HAVE_QT
#include "platform/qt/qt_backend.h"
#endif

namespace {

std::unique_ptr<platform::UiBackend> make_backend(int& argc, char** argv) {
#ifdef TAVO_HAVE_QT
    if (platform::choose_ui_kind_from_environment(true) == platform::UiKind::qt) {
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
    const int result = run_from_program_folder(argc, argv);
    platform::set_current_ui(nullptr);
    return result == 1 ? 0 : 1;
}
