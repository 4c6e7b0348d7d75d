// libFuzzer target: any bytes as a top-level string source of the message compiler, compiled
// on a small base table. Every diagnostic is counted and none ends the compile, so the fuzzer
// reaches the whole language (directives, macros, strings, expressions) after any error; the
// table is then written out as the compiler would write it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "msgcompiler/diagnostics.h"
#include "msgcompiler/source_reader.h"
#include "msgcompiler/string_compiler.h"
#include "runtime/message_table.h"

namespace {

std::vector<std::uint8_t> diagnostics_table() {
    std::vector<MessageText> texts;
    for (int code = -45; code <= -3; ++code) {
        texts.push_back({code + vdm::kDiagnosticSlotBase, vdm::kSourcePosition | vdm::kTokenFormat,
                         "%s %d %s"});
    }
    std::vector<std::uint8_t> bytes;
    build_message_table(texts, bytes);
    return bytes;
}

std::vector<std::uint8_t> base_table() {
    std::vector<std::uint8_t> bytes;
    build_message_table({{3990, 2, "a base message"}, {4003, 0, "a public user string"}}, bytes);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> diagnostics_bytes = diagnostics_table();
    static const std::vector<std::uint8_t> base_bytes = base_table();
    vdm::Diagnostics diagnostics;
    diagnostics.open_table(diagnostics_bytes);
    std::size_t printed = 0;
    diagnostics.set_sink([&printed](const std::string& line) { printed += line.size(); });
    vdm::UserTable table;
    if (table.load_base(base_bytes) != 0) __builtin_trap();
    vdm::SourceReader reader(diagnostics);
    vdm::StringCompiler compiler(reader, diagnostics, table);
    reader.open_text(std::string(reinterpret_cast<const char*>(data), size), "fuzz.kpl");
    compiler.compile_strings({{"name", "0"}, {"with_value", "1+2"}});
    std::vector<std::uint8_t> out;
    if (table.to_bytes(out) == 0) {
        std::vector<MessageEntry> entries;
        // What the compiler writes, the program's reader must take.
        if (parse_message_table(out, entries) != 0) __builtin_trap();
    }
    return 0;
}
