// libFuzzer target: any bytes as a lens file, read by read_lens_file into a started program
// (console user interface, the built tables of the main build copied into a temporary
// installation). Whatever a file holds, reading it must end without a crash, a hang or a
// sanitizer report, and the lens left behind must still save.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "lens/lens_file_commands.h"
#include "lens/lens_reader.h"
#include "tests/fuzz/started_program.h"

namespace {

std::string g_file;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string folder;
    fuzz_program::start_or_abort("lens_file_fuzz", &folder);
    g_file = folder + "/fuzz.len";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (std::FILE* f = std::fopen(g_file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    read_lens_file(g_file, nullptr);
    // Whatever was read, the lens must write again, and its sums be computed.
    int failure = 0;
    LensSums sums;
    const std::string text = lens_file_text(nullptr, &sums, &failure);
    if (text.empty()) __builtin_trap();
    fuzz_program::forget_output();
    return 0;
}
