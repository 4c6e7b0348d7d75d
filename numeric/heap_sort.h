// In-place heap sort of 16-bit indices under a caller's comparison.
#pragma once

#include <cstdint>

// Negative when the element named by a comes before the one named by b.
using IndexCompare = int (*)(int a, int b, const void* context);

// Sorts indices[0..n-1] so that the elements they name ascend; n below 2 does nothing; equal
// elements keep no particular order.
void heap_sort_indices(IndexCompare compare, const void* context, std::int16_t* indices, int n);
// The same over int indices (command-language index arrays).
void heap_sort_indices(IndexCompare compare, const void* context, std::int32_t* indices, int n);
