// A started program on the Qt backend, for the Qt tests: the temporary installation of
// StartedRuntime (with the toolbar bitmaps when asked), every subsystem as at start-up, the
// run-time started with windows on Qt and the main loop installed. The application start reports
// on the console, so that no start-up message waits in a modal box. However the test ends (a
// failed ASSERT included), the program is taken down while the Qt backend still exists and the
// current user interface never points at a backend that is gone.
#pragma once

#include <filesystem>
#include <memory>

#include "app/main_loop.h"
#include "app/startup.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/settings.h"
#include "tests/app/startup/started_runtime.h"
#include "tests/support/qt_test_app.h"

namespace tavo_test {

class QtSession {
public:
    explicit QtSession(bool with_toolbar_bitmaps = false) {
        namespace fs = std::filesystem;
        if (with_toolbar_bitmaps) {
            fs::create_directories(run.tree.root() / "bin/bma");
            for (const auto& e : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / "bin/bma")) {
                fs::copy_file(e.path(), run.tree.root() / "bin/bma" / e.path().filename());
            }
        }
        qt = make_test_qt_backend();
    }
    ~QtSession() {
        platform::set_current_ui(qt.get());
        gui_shutdown();
        set_running_flag(0);
        platform::set_current_ui(run.backend.get());
        platform::reset_all_state();
    }
    QtSession(const QtSession&) = delete;
    QtSession& operator=(const QtSession&) = delete;

    // 0, or the first failure of the start.
    int start() {
        platform::set_current_ui(qt.get());
        platform::reset_all_state();
        if (const int rc = runtime_init(1); rc != 0) return rc;
        if (const int rc = install_main_loop(); rc != 0) return rc;
        platform::set_current_ui(run.backend.get());
        if (const int rc = app_init(0, 0, 0); rc != 0) return rc;
        platform::set_current_ui(qt.get());
        main_loop_start();
        return 0;
    }

    // The run is declared before the backend, so that the backend goes first.
    StartedRuntime run;
    std::unique_ptr<platform::UiBackend> qt;
};

}  // namespace tavo_test
