#include "bench/bench_program.h"

#include <cstdlib>
#include <filesystem>

#include "app/main_loop.h"
#include "app/startup.h"
#include "bench/bench_state.h"
#include "graphics/graphics_window.h"
#include "kpl/kpl_sysvars.h"
#include "lens/lens_data.h"
#include "lens/lens_items.h"
#include "platform/ui.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
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

std::vector<std::string> cooke_triplet_lines(const CookeTriplet& t) {
    const auto number = [](double v) {
        std::ostringstream s;
        s << v;
        return s.str();
    };
    const std::string outer = t.plot_apertures ? "10" : "12";
    const std::string middle = t.plot_apertures ? "8" : "12";
    std::vector<std::string> lines = {"LEN NEW \"Cooke\"",
                                      std::string("WV ") + t.wavelengths,
                                      "EBR " + number(t.beam_radius),
                                      "ANG " + number(t.field_angle),
                                      "NXT",
                                      "SRF 21.48 2 N-SK16 " + outer,
                                      "SRF -124.1 5.26 AIR " + outer,
                                      "AST",
                                      "SRF -19.1 1.25 N-F2 " + middle,
                                      "RD 22",
                                      "TH 4.69",
                                      "AIR",
                                      "NXT",
                                      "SRF 328.9 2.25 N-SK16 " + outer,
                                      "RD -16.7",
                                      "TH 43"};
    if (t.plot_apertures) lines.emplace_back("PY 0");
    lines.insert(lines.end(), {"AIR", "NXT"});
    return lines;
}

bool type_bench_lines(const std::vector<std::string>& lines, std::string* why) {
    for (const std::string& line : lines) {
        if (const int rc = run_command_string(line.c_str(), 0); rc != 0) {
            if (why != nullptr) {
                *why =
                    "line failed: " + line + ": " + std::to_string(rc) + " " + error_text_buffer();
            }
            return false;
        }
    }
    return true;
}

bool prepare_bench_window(benchmark::State& state, const std::vector<std::string>& lines) {
    BenchProgram& p = bench_program();
    if (!p.ok) {
        state.SkipWithError("the program did not start");
        return false;
    }
    if (!p.ui->window_exists(platform::kWindowFrame)) p.ui->create_frame("TAVO LT", nullptr);
    if (graphwin_open(1, 0, 0, 800, 600) < 0) {
        state.SkipWithError("graphics window 1 did not open");
        return false;
    }
    std::string why;
    if (!type_bench_lines(lines, &why)) {
        state.SkipWithError(why.c_str());
        return false;
    }
    return true;
}

BenchOutputOff::BenchOutputOff() : saved_(get_setting_flag(kSetOutputOn)) {
    set_setting_flag(kSetOutputOn, 0);
}

BenchOutputOff::~BenchOutputOff() {
    set_setting_flag(kSetOutputOn, saved_);
}
