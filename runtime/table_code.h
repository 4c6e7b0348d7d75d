// The compiled-code tables ("amcl_01"): "macode.amo" of the tree the definitions came from, and
// the private "pvcode.amo" read for procedures marked private.
#pragma once

#include <cstddef>
#include <cstdint>

// Opens "macode.amo" of the definitions' tree; a missing file is accepted (procedures then
// fail to load). 0 or -1.
int open_code_file();
void close_code_file();
bool code_file_open();
// Reads length code bytes at file offset into buffer + position (which must hold them).
// from_private reads from the private "pvcode.amo", opened for this read only. 0 or -1.
int load_code_block(std::uint32_t offset, std::uint32_t length, bool from_private,
                    std::uint8_t* buffer, std::size_t buffer_size, std::size_t position);
// Seeks the kept code table (for the local-name tables of a procedure). 0 or -1.
int code_file_seek(long position);
int code_file_read(void* buffer, std::size_t n);
