#include "numeric/heap_sort.h"

#include <utility>

namespace {

template <typename Index>
void sift_down(IndexCompare compare, const void* context, Index* v, int root, int n) {
    for (;;) {
        int child = 2 * root + 1;
        if (child >= n) return;
        if (child + 1 < n && compare(v[child], v[child + 1], context) < 0) ++child;
        if (compare(v[root], v[child], context) >= 0) return;
        std::swap(v[root], v[child]);
        root = child;
    }
}

template <typename Index>
void heap_sort(IndexCompare compare, const void* context, Index* v, int n) {
    if (v == nullptr || n < 2) return;
    for (int k = n / 2 - 1; k >= 0; --k) sift_down(compare, context, v, k, n);
    for (int end = n - 1; end > 0; --end) {
        std::swap(v[0], v[end]);
        sift_down(compare, context, v, 0, end);
    }
}

}  // namespace

void heap_sort_indices(IndexCompare compare, const void* context, std::int16_t* indices, int n) {
    heap_sort(compare, context, indices, n);
}

void heap_sort_indices(IndexCompare compare, const void* context, std::int32_t* indices, int n) {
    heap_sort(compare, context, indices, n);
}
