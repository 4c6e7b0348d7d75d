#include "runtime/table_help.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "numeric/memory.h"
#include "runtime/table_files.h"
#include "runtime/table_format.h"
#include "runtime/text_output.h"

namespace {

constexpr std::size_t kHelpOffsetSize = 3;

// The help block read last and the symbol it was read for.
struct TableHelpState {
    std::uint8_t* block = nullptr;
    int symbol = -1;
};

TableHelpState g_help;

}  // namespace

void forget_command_help() {
    mem_free(g_help.block);
    g_help.block = nullptr;
    g_help.symbol = -1;
}

int load_command_help(int symbol) {
    if (g_help.block != nullptr && symbol == g_help.symbol) return g_help.block[0] & 127;
    forget_command_help();
    if (symbol < 0) return -1;
    AmoFile file;
    if (file.open(true, "ctable.amo", kHelpMagic) != 0) return -1;
    const long position = static_cast<long>(kAmoMagicSize + kHelpOffsetSize * symbol);
    if (position + static_cast<long>(kHelpOffsetSize) > file.size()) {
        file.discard();  // a symbol beyond the table simply has no help
        return -1;
    }
    file.seek(position);
    const unsigned offset = file.read_be24();
    if (offset == 0 || file.pending_error() != 0 || file.seek(static_cast<long>(offset)) != 0) {
        file.close();
        return -1;
    }
    const unsigned length = file.read_be16();
    std::uint8_t* block = length > 0 ? file.read_block(length) : nullptr;
    if (block == nullptr || check_help_block(block, length) != 0) {
        mem_free(block);
        file.close(length > 0 && block != nullptr ? -8 : 0);
        return -1;
    }
    file.close();
    g_help.block = block;
    g_help.symbol = symbol;
    return g_help.block[0] & 127;
}

const char* ctable_find_text(int key1, int key2) {
    if (g_help.block == nullptr) return nullptr;
    for (unsigned i = 0; i < g_help.block[1]; ++i) {
        const std::uint8_t* e = g_help.block + 2 + 4 * i;
        if (e[0] == key1 && e[1] == key2) {
            return reinterpret_cast<const char*>(g_help.block + be16_at(e + 2));
        }
    }
    return nullptr;
}

int command_help_flags() {
    return g_help.block != nullptr ? g_help.block[0] : -1;
}

int print_help_text(int key1, int key2, int mode) {
    const int flag = g_help.block != nullptr ? (g_help.block[0] & 0x80) : 0;
    if (mode != 0 && flag == 0) return flag;
    const char* text = ctable_find_text(key1, key2);
    if (text == nullptr) return flag;
    // Help texts are plain text; only the '@' run that ends a line carries markup (it closes
    // or opens the hot spot the line belongs to).
    for (const char* line = text; *line != '\0';) {
        const char* end = std::strchr(line, '\n');
        const std::size_t n =
            end != nullptr ? static_cast<std::size_t>(end - line) : std::strlen(line);
        std::size_t body = n;
        while (body > 0 && line[body - 1] == '@') --body;
        write_output_text(std::string(line, body).c_str(), false);
        if (body < n) write_output_text(std::string(line + body, n - body).c_str(), true);
        write_output_text("\n", false);
        if (end == nullptr) break;
        line = end + 1;
    }
    return flag;
}
