#include "runtime/table_help.h"

#include <cstdint>

#include "runtime/memory.h"
#include "runtime/table_files.h"
#include "runtime/table_format.h"

namespace {

constexpr std::size_t kHelpOffsetSize = 3;

std::uint8_t* help_block = nullptr;
int help_symbol = -1;

}  // namespace

void forget_command_help() {
    mem_free(help_block);
    help_block = nullptr;
    help_symbol = -1;
}

int load_command_help(int symbol) {
    if (help_block != nullptr && symbol == help_symbol) return help_block[0] & 127;
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
    help_block = block;
    help_symbol = symbol;
    return help_block[0] & 127;
}

const char* ctable_find_text(int key1, int key2) {
    if (help_block == nullptr) return nullptr;
    for (unsigned i = 0; i < help_block[1]; ++i) {
        const std::uint8_t* e = help_block + 2 + 4 * i;
        if (e[0] == key1 && e[1] == key2) {
            return reinterpret_cast<const char*>(help_block + be16_at(e + 2));
        }
    }
    return nullptr;
}

int command_help_flags() {
    return help_block != nullptr ? help_block[0] : -1;
}
