// libFuzzer target: any bytes as a foreign lens file, read by the import readers into a started
// program (console user interface, the built tables of the main build copied into a temporary
// installation). The first byte chooses the reader, the rest is the file. Whatever a file
// holds, the import must end without a crash, a hang or a sanitizer report, and the lens left
// behind must still save.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "app/main_loop.h"
#include "app/startup.h"
#include "lens/file_commands.h"
#include "lens/import_frame.h"
#include "platform/console/console_backend.h"
#include "platform/ui.h"
#include "runtime/dispatch.h"

#ifndef TAVO_BUILT_TABLES
#define TAVO_BUILT_TABLES "build/tavo"
#endif

namespace {

namespace fs = std::filesystem;

std::istringstream g_input;
std::ostringstream g_output;
std::ostringstream g_errors;
platform::ConsoleBackend* g_console = nullptr;
std::string g_folder;

int start_program() {
    const char* tables = std::getenv("TAVO_FUZZ_TABLES");
    const fs::path built = tables != nullptr ? tables : TAVO_BUILT_TABLES;
    char pattern[] = "/tmp/tavo-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const fs::path base = pattern;
    for (const char* folder : {"bin/amo", "bin/glc", "bin/lmo", "bin/bma", "bin/mov", "public/kpl",
                               "public/scp", "public/len", "public/mov", "hlp"}) {
        fs::create_directories(base / "root" / folder);
    }
    for (const char* folder :
         {"bin", "bin/amo", "bin/glc", "bin/lmo", "bin/mov", "kpl", "scp", "len", "mov"}) {
        fs::create_directories(base / "data" / folder);
    }
    std::error_code ec;
    for (const char* folder : {"bin/amo", "bin/glc"}) {
        fs::copy(built / folder, base / "root" / folder,
                 fs::copy_options::overwrite_existing | fs::copy_options::recursive, ec);
        if (ec) {
            std::fprintf(stderr, "lens_import_fuzz: no built tables in %s (TAVO_FUZZ_TABLES)\n",
                         (built / folder).c_str());
            return 1;
        }
    }
    ::setenv("TVROOT", (base / "root").c_str(), 1);
    ::setenv("TVDATA", (base / "data").c_str(), 1);
    ::setenv("TAVO_PROFILE", (base / "profile.ini").c_str(), 1);
    g_folder = base.string();

    platform::ConsoleOptions options;
    options.input = &g_input;
    options.output = &g_output;
    options.errors = &g_errors;
    options.manual_clock = true;
    g_console = new platform::ConsoleBackend(options);
    platform::set_current_ui(g_console);
    int step = runtime_init(0);
    if (step == 0) step = install_main_loop();
    if (step == 0) step = app_init(0, 0, 0);
    if (step != 0) {
        std::fprintf(stderr, "lens_import_fuzz: the program did not start (%d)\n%s\n", step,
                     g_errors.str().c_str());
        return 1;
    }
    run_command_string("LEN NEW", 0);
    run_command_string("END", 0);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The program makes its lens folder the current one; the fuzzer's corpus paths are
    // relative to the folder it was started in.
    const fs::path started_in = fs::current_path();
    if (start_program() != 0) std::abort();
    std::error_code ec;
    fs::current_path(started_in, ec);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const char* const kNames[] = {"fuzz.txt", "fuzz.len", "fuzz.lns", "fuzz.dat",
                                         "fuzz.seq", "fuzz.zmx"};
    const std::size_t choice = data[0] % std::size(kNames);
    const std::string path = g_folder + "/" + kNames[choice];
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    }
    read_import_file(import_kind_for(kImportByExtension, path), path);
    int failure = 0;
    LensSums sums;
    const std::string text = lens_file_text(nullptr, &sums, &failure);
    if (text.empty()) __builtin_trap();
    g_output.str("");
    g_errors.str("");
    return 0;
}
