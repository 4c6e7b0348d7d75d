// libFuzzer target: any bytes as a foreign lens file, read by the import readers into a started
// program (console user interface, the built tables of the main build copied into a temporary
// installation). The first byte chooses the reader, the rest is the file. Whatever a file
// holds, the import must end without a crash, a hang or a sanitizer report, and the lens left
// behind must still save.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>

#include "lens/import_frame.h"
#include "lens/lens_file_commands.h"
#include "tests/fuzz/started_program.h"

namespace {

std::string g_folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_program::start_or_abort("lens_import_fuzz", &g_folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const char* const kNames[] = {"fuzz.txt", "fuzz.len", "fuzz.lns",
                                         "fuzz.dat", "fuzz.seq", "fuzz.zmx"};
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
    fuzz_program::forget_output();
    return 0;
}
