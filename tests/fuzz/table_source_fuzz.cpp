// libFuzzer target: any bytes as a user's procedure source and as a user's list source, each
// compiled on a small shipped vocabulary by the readers and writers the `kpl` and `brx` compilers
// use. A fault must come back as a problem with a place, never as a crash; a table that is built
// must be one the program's readers take.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/table_format.h"
#include "tools/table_builder/builders.h"

namespace {

const char* const kDefinitions =
    "version \"5.40\"\n"
    "work code=65536 data=65536\n"
    "local_names on\n"
    "condition 0 lens_file_named\n"
    "command 78 print plain=5\n"
    "  param v1 any\n"
    "  param v2 any\n"
    "command 80 printf plain=5\n"
    "  param format any\n"
    "  param v1 any\n"
    "  param v2 any\n"
    "global x 1507346\n"
    "value 0 text \"\"\n"
    "procedure shipped kind=1\n"
    "  param n int\n"
    "  body \"return n + 1;\"\n";

const char* const kLists =
    "menu_text_size 4096\n"
    "list 0 colours\n"
    "  item \"red\" \"1\"\n"
    "end\n"
    "list 2 main_menu keyed\n"
    "  item \"F,File\" \"$file_menu\"\n"
    "end\n";

std::string temp_file(const char* name, const std::string& text) {
    const std::string path = "/tmp/table_source_fuzz_" + std::to_string(::getpid()) + "_" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

void check(bool built, const UserBuild& user, const Bytes& table, const char* magic) {
    // A failed build names at least one problem; a successful one names none and writes a table
    // that starts with its magic.
    if (built != user.problems.empty()) __builtin_trap();
    if (built && (table.size() < kAmoMagicSize ||
                  std::string(reinterpret_cast<const char*>(table.data())) != magic)) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string definitions = temp_file("shipped.def", kDefinitions);
    static const std::string lists = temp_file("shipped.lst", kLists);
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string source = temp_file("user.kpl", text);

    {
        UserBuild user;
        user.sources = {{source, "mine.kpl", (size & 1) != 0}};
        Bytes table, code;
        std::string error;
        const bool built = build_definitions({definitions}, table, error, &code, &user);
        check(built, user, table, kDefinitionsMagic);
        if (built && user.private_code.size() < kAmoMagicSize) __builtin_trap();
    }
    {
        UserBuild user;
        user.sources = {{source, "a_list1.kpl", false}};
        Bytes table;
        std::string error;
        check(build_lists({lists}, table, error, &user), user, table, kListsMagic);
    }
    return 0;
}
