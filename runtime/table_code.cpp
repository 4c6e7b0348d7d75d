#include "runtime/table_code.h"

#include "runtime/definitions.h"
#include "runtime/table_files.h"
#include "runtime/table_format.h"
#include "tables/table_names.h"

namespace {

AmoFile code_file;

}  // namespace

int open_code_file() {
    code_file.discard();
    const int tree = definitions_tree();
    if (tree == kTreeNone) return -1;
    const int rc = code_file.open(tree == kTreePublic, "macode.amo", kCodeMagic, false);
    if (rc == 0 || rc == kMsgFileCannotOpen) return 0;
    report_table_error(rc, code_file.path());
    return -1;
}

void close_code_file() {
    code_file.discard();
}
bool code_file_open() {
    return code_file.is_open();
}

int load_code_block(std::uint32_t offset, std::uint32_t length, bool from_private,
                    std::uint8_t* buffer, std::size_t buffer_size, std::size_t position) {
    if (buffer == nullptr || position > buffer_size || length > buffer_size - position) return -1;
    if (from_private) {
        AmoFile file;
        if (file.open(false, "pvcode.amo", kCodeMagic) != 0) return -1;
        if (file.seek(static_cast<long>(offset)) != 0 ||
            file.read_bytes(buffer + position, length) != 0) {
            file.close(-8);
            return -1;
        }
        file.close();
        return 0;
    }
    if (!code_file.is_open() || code_file.seek(static_cast<long>(offset)) != 0 ||
        code_file.read_bytes(buffer + position, length) != 0) {
        return -1;
    }
    return 0;
}

int code_file_seek(long position) {
    return code_file.is_open() ? code_file.seek(position) : -1;
}

int code_file_read(void* buffer, std::size_t n) {
    return code_file.is_open() ? code_file.read_bytes(buffer, n) : -1;
}
