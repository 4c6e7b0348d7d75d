// The program a lens fuzz target reads its files into: started once on the console user
// interface, with the built tables of the main build copied into a temporary installation.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "app/main_loop.h"
#include "app/startup.h"
#include "platform/console/console_backend.h"
#include "platform/ui.h"
#include "runtime/dispatch.h"

#ifndef TAVO_BUILT_TABLES
#define TAVO_BUILT_TABLES "build/tavo"
#endif

namespace fuzz_program {

namespace fs = std::filesystem;

inline std::istringstream input;
inline std::ostringstream output;
inline std::ostringstream errors;

// Starts the program with an empty lens; the temporary folder goes to *folder. 0, or 1 (said on
// standard error under the target's name) when it cannot start.
inline int start(const char* target, std::string* folder) {
    const char* tables = std::getenv("TAVO_FUZZ_TABLES");
    const fs::path built = tables != nullptr ? tables : TAVO_BUILT_TABLES;
    char pattern[] = "/tmp/tavo-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const fs::path base = pattern;
    for (const char* sub : {"bin/amo", "bin/glc", "bin/lmo", "bin/bma", "bin/mov", "public/kpl",
                            "public/scp", "public/len", "public/mov", "hlp"}) {
        fs::create_directories(base / "root" / sub);
    }
    for (const char* sub :
         {"bin", "bin/amo", "bin/glc", "bin/lmo", "bin/mov", "kpl", "scp", "len", "mov"}) {
        fs::create_directories(base / "data" / sub);
    }
    std::error_code ec;
    for (const char* sub : {"bin/amo", "bin/glc"}) {
        fs::copy(built / sub, base / "root" / sub,
                 fs::copy_options::overwrite_existing | fs::copy_options::recursive, ec);
        if (ec) {
            std::fprintf(stderr, "%s: no built tables in %s (TAVO_FUZZ_TABLES)\n", target,
                         (built / sub).c_str());
            return 1;
        }
    }
    ::setenv("TVROOT", (base / "root").c_str(), 1);
    ::setenv("TVDATA", (base / "data").c_str(), 1);
    ::setenv("TAVO_PROFILE", (base / "profile.ini").c_str(), 1);
    *folder = base.string();

    platform::ConsoleOptions options;
    options.input = &input;
    options.output = &output;
    options.errors = &errors;
    options.manual_clock = true;
    platform::set_current_ui(new platform::ConsoleBackend(options));
    int step = runtime_init(0);
    if (step == 0) step = install_main_loop();
    if (step == 0) step = app_init(0, 0, 0);
    if (step != 0) {
        std::fprintf(stderr, "%s: the program did not start (%d)\n%s\n", target, step,
                     errors.str().c_str());
        return 1;
    }
    run_command_string("LEN NEW", 0);
    run_command_string("END", 0);
    return 0;
}

// The program makes its lens folder the current one; the fuzzer's corpus paths are relative to
// the folder it was started in.
inline void start_or_abort(const char* target, std::string* folder) {
    const fs::path started_in = fs::current_path();
    if (start(target, folder) != 0) std::abort();
    std::error_code ec;
    fs::current_path(started_in, ec);
}

// The output streams would grow without end.
inline void forget_output() {
    output.str("");
    errors.str("");
}

}  // namespace fuzz_program
