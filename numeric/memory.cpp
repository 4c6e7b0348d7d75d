#include "numeric/memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Block sizes are 32-bit quantities throughout the program (records, tables and stores are
// sized from 32-bit counts); a request beyond that is refused rather than wrapped.
constexpr std::size_t kMaxBlockBytes = std::numeric_limits<std::uint32_t>::max();

// Each block carries its size in front, so a resize can clear exactly the part it adds.
struct alignas(std::max_align_t) BlockHeader {
    std::size_t bytes;
};

BlockHeader* header_of(void* block) {
    return reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(block) - sizeof(BlockHeader));
}

void* payload_of(BlockHeader* header) {
    return reinterpret_cast<unsigned char*>(header) + sizeof(BlockHeader);
}

// count x size, or false when the product overflows or exceeds the block limit.
bool block_bytes(std::size_t count, std::size_t size, std::size_t& bytes) {
    if (size != 0 && count > kMaxBlockBytes / size) return false;
    bytes = count * size;
    return bytes <= kMaxBlockBytes;
}

}  // namespace

void* mem_alloc(std::size_t bytes) {
    if (bytes > kMaxBlockBytes) return nullptr;
    auto* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + bytes));
    if (header == nullptr) return nullptr;
    header->bytes = bytes;
    return payload_of(header);
}

void* alloc_array(std::size_t count, std::size_t element_size) {
    std::size_t bytes = 0;
    if (!block_bytes(count, element_size, bytes)) return nullptr;
    return mem_alloc(bytes);
}

void* mem_realloc(void* block, std::size_t count, std::size_t element_size) {
    if (block == nullptr) return alloc_array(count, element_size);
    std::size_t bytes = 0;
    if (!block_bytes(count, element_size, bytes)) return nullptr;
    BlockHeader* old_header = header_of(block);
    const std::size_t old_bytes = old_header->bytes;
    auto* header = static_cast<BlockHeader*>(std::realloc(old_header, sizeof(BlockHeader) + bytes));
    if (header == nullptr) return nullptr;
    header->bytes = bytes;
    void* payload = payload_of(header);
    if (bytes > old_bytes) {
        std::memset(static_cast<unsigned char*>(payload) + old_bytes, 0, bytes - old_bytes);
    }
    return payload;
}

void mem_free(void* block) {
    if (block == nullptr) return;
    std::free(header_of(block));
}

RowMatrix row_table_over_block(void* block, std::size_t rows, std::size_t cols,
                               std::size_t element_size) {
    std::size_t row_bytes = 0;
    std::size_t all_bytes = 0;
    if (!block_bytes(cols, element_size, row_bytes) || !block_bytes(rows, row_bytes, all_bytes)) {
        return nullptr;
    }
    auto table = static_cast<RowMatrix>(alloc_array(rows == 0 ? 1 : rows, sizeof(void*)));
    if (table == nullptr) return nullptr;
    auto* base = static_cast<unsigned char*>(block);
    table[0] = block;
    for (std::size_t i = 1; i < rows; ++i) table[i] = base + i * row_bytes;
    return table;
}

RowMatrix alloc_matrix(std::size_t rows, std::size_t cols, std::size_t element_size) {
    std::size_t row_bytes = 0;
    std::size_t all_bytes = 0;
    if (!block_bytes(cols, element_size, row_bytes) || !block_bytes(rows, row_bytes, all_bytes)) {
        return nullptr;
    }
    void* data = mem_alloc(all_bytes);
    if (data == nullptr) return nullptr;
    RowMatrix table = row_table_over_block(data, rows, cols, element_size);
    if (table == nullptr) {
        mem_free(data);
        return nullptr;
    }
    return table;
}

void free_matrix(RowMatrix matrix) {
    if (matrix == nullptr) return;
    mem_free(matrix[0]);
    mem_free(matrix);
}

void*** alloc_array3(std::size_t planes, std::size_t rows, std::size_t cols,
                     std::size_t element_size) {
    std::size_t row_bytes = 0;
    std::size_t plane_bytes = 0;
    std::size_t all_bytes = 0;
    std::size_t pointer_count = 0;
    if (!block_bytes(cols, element_size, row_bytes) || !block_bytes(rows, row_bytes, plane_bytes) ||
        !block_bytes(planes, plane_bytes, all_bytes) || !block_bytes(planes, rows, pointer_count)) {
        return nullptr;
    }
    auto top = static_cast<void***>(alloc_array(planes == 0 ? 1 : planes, sizeof(void**)));
    if (top == nullptr) return nullptr;
    auto second =
        static_cast<void**>(alloc_array(pointer_count == 0 ? 1 : pointer_count, sizeof(void*)));
    if (second == nullptr) {
        mem_free(top);
        return nullptr;
    }
    void* data = mem_alloc(all_bytes);
    if (data == nullptr) {
        mem_free(second);
        mem_free(top);
        return nullptr;
    }
    auto* base = static_cast<unsigned char*>(data);
    for (std::size_t i = 0; i < planes; ++i) {
        top[i] = second + i * rows;
        for (std::size_t j = 0; j < rows; ++j) top[i][j] = base + (i * rows + j) * row_bytes;
    }
    if (planes == 0) top[0] = second;
    if (planes == 0 || rows == 0) second[0] = data;
    return top;
}

void free_array3(void*** table) {
    if (table == nullptr) return;
    mem_free(table[0][0]);
    mem_free(table[0]);
    mem_free(table);
}
