#include "bench/bench_program.h"

#include <cstdlib>
#include <filesystem>

#include "app/main_loop.h"
#include "app/startup.h"
#include "bench/bench_state.h"
#include "kpl/kpl_sysvars.h"
#include "lens/lens_data.h"
#include "lens/lens_items.h"
#include "platform/ui.h"
#include "runtime/settings.h"

namespace {

bool start(BenchProgram& p) {
    namespace fs = std::filesystem;
    const fs::path data = fs::temp_directory_path() / "tavo-entry-bench";
    fs::create_directories(data);
    ::setenv("TVROOT", TAVO_INSTALL_DIR, 1);
    ::setenv("TVDATA", data.c_str(), 1);
    ::setenv("TAVO_PROFILE", (data / "profile.ini").c_str(), 1);
    platform::ConsoleOptions options;
    options.input = &p.input;
    options.output = &p.output;
    options.errors = &p.errors;
    options.manual_clock = true;
    // A start afresh reads and writes only its own run's text.
    p.input = std::istringstream();
    p.output = std::ostringstream();
    p.errors = std::ostringstream();
    p.ui = std::make_unique<platform::ConsoleBackend>(options);
    platform::set_current_ui(p.ui.get());
    if (runtime_init(0) != 0 || install_main_loop() != 0 || app_init(1, 0, 0) != 0) return false;
    // The arrays again, for a lens beyond the usual surface limit.
    free_lens_arrays();
    set_setting_int(kSetSurfaceLimit, kBenchSurfaceLimit, 0, 0);
    if (alloc_lens_arrays(TAVO_INSTALL_DIR, data.string()) != 0) return false;
    bind_kpl_variables();
    install_lens_items();
    set_setting_flag(kSetOutputOn, 0);
    return true;
}

}  // namespace

BenchProgram& bench_program() {
    static BenchProgram p;
    if (bench_state() != BenchState::Program || surface_array() == nullptr) {
        take_bench_state_down();
        p.ok = start(p);
        if (p.ok) set_bench_state(BenchState::Program);
    }
    return p;
}
