// A started program for tests: a temporary installation tree with the built tables, a console
// user interface writing into strings, and the run-time and application start done on it.
// Everything is taken down again when the object ends.
#pragma once

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "app/startup.h"
#include "lens/lens_data.h"
#include "platform/console/console_backend.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/definitions.h"
#include "runtime/log_file.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_lists.h"
#include "runtime/table_messages.h"
#include "tests/support/built_tables.h"
#include "tests/support/temp_tree.h"

namespace tavo_test {

class StartedRuntime {
public:
    // Copies the built tables into ROOT/bin/amo (all of them, or all but the message table)
    // and the glass catalogues into ROOT/bin/glc, as an installation holds them.
    explicit StartedRuntime(bool with_message_table = true) {
        namespace fs = std::filesystem;
        for (const char* folder : {"bin/amo", "bin/glc"}) {
            for (const auto& entry : fs::directory_iterator(fs::path(TAVO_INSTALL_DIR) / folder)) {
                const std::string name = entry.path().filename().string();
                if (!with_message_table && name == "tvrtmsgs.amo") continue;
                fs::copy_file(entry.path(), tree.root() / folder / name,
                              fs::copy_options::overwrite_existing);
            }
        }
        backend =
            std::make_unique<platform::ConsoleBackend>(test_console_options(input, output, errors));
        // Setting the folders changes the process's current folder; it comes back at the end.
        saved_folder_ = fs::current_path();
        platform::set_current_ui(backend.get());
        take_down();
    }
    ~StartedRuntime() {
        take_down();
        platform::set_current_ui(nullptr);
        std::error_code ignored;
        std::filesystem::current_path(saved_folder_, ignored);
    }
    StartedRuntime(const StartedRuntime&) = delete;
    StartedRuntime& operator=(const StartedRuntime&) = delete;

    // runtime_init (without windows) and app_init: 0 or the first failure.
    int start() {
        const int init = runtime_init(0);
        if (init != 0) return init;
        return app_init(0, 0, 0);
    }

    std::filesystem::path ini_path() const { return tree.data() / "tavo.ini"; }

    TempTree tree;
    std::istringstream input;
    std::ostringstream output;
    std::ostringstream errors;
    std::unique_ptr<platform::ConsoleBackend> backend;

    // The program's end: windows, lens arrays, settings and tables released, and every
    // subsystem reset as at start-up.
    static void take_down() {
        gui_shutdown();
        free_lens_arrays();
        settings_release();
        set_startup_done(false);
        set_running_flag(0);
        close_message_table();
        free_definitions();
        platform::reset_all_state();
    }

private:
    std::filesystem::path saved_folder_;
};

}  // namespace tavo_test
