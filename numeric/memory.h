// Heap blocks of the program. Every block the program takes from the heap comes from here,
// so that one place decides what a failed or impossible request gives: a null pointer and
// nothing printed. Callers turn null into their out-of-memory message.
//
// Blocks come back zeroed, also the part a mem_realloc adds, because many records and arrays
// are used as if freshly cleared.
#pragma once

#include <cstddef>

// A matrix as a table of row pointers over one contiguous data block; entry 0 is the block.
// It carries no sizes: routines take the row and column counts as arguments.
using RowMatrix = void**;

void* mem_alloc(std::size_t bytes);
void* alloc_array(std::size_t count, std::size_t element_size);
// Resizes a block from these wrappers, keeping its contents up to the smaller size. A null
// pointer gives a new block. On failure null comes back and the old block stays valid.
void* mem_realloc(void* block, std::size_t count, std::size_t element_size);
void mem_free(void* block);

RowMatrix alloc_matrix(std::size_t rows, std::size_t cols, std::size_t element_size);
void free_matrix(RowMatrix matrix);

// A row table laid over a block the caller owns; mem_free frees the table only.
RowMatrix row_table_over_block(void* block, std::size_t rows, std::size_t cols,
                               std::size_t element_size);

// planes x rows x cols elements: top table -> plane tables -> one data block. Freed with
// mem_free of the data block, then of the second-level table, then of the top table, or all at
// once with free_array3.
void*** alloc_array3(std::size_t planes, std::size_t rows, std::size_t cols,
                     std::size_t element_size);
void free_array3(void*** table);

// Typed helpers over the same blocks.
template <typename T>
T* alloc_array_of(std::size_t count) {
    return static_cast<T*>(alloc_array(count, sizeof(T)));
}

template <typename T>
T** alloc_matrix_of(std::size_t rows, std::size_t cols) {
    return reinterpret_cast<T**>(alloc_matrix(rows, cols, sizeof(T)));
}

template <typename T>
void free_matrix_of(T** matrix) {
    free_matrix(reinterpret_cast<RowMatrix>(matrix));
}
