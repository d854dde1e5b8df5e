// Private to the form layer's sources: the sort of list items and tree nodes. A bottom-up stable
// merge sort that calls the comparison only on elements inside the range and moves each element
// exactly once per pass, so that a comparison that answers inconsistently (or at random) still
// leaves a permutation of the input and ends after about n log n calls.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace vcl::detail {

// compare(a, b) > 0 puts b before a; anything else keeps their order.
template <class T, class Compare> void MergeSort(std::vector<T>& items, Compare&& compare) {
    const std::size_t n = items.size();
    if (n < 2) return;
    std::vector<T> buffer(n);
    std::vector<T>* from = &items;
    std::vector<T>* to = &buffer;
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, n);
            const std::size_t hi = std::min(lo + 2 * width, n);
            std::size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                if (compare((*from)[i], (*from)[j]) > 0)
                    (*to)[k++] = std::move((*from)[j++]);
                else
                    (*to)[k++] = std::move((*from)[i++]);
            }
            while (i < mid)
                (*to)[k++] = std::move((*from)[i++]);
            while (j < hi)
                (*to)[k++] = std::move((*from)[j++]);
        }
        std::swap(from, to);
    }
    if (from != &items) items = std::move(*from);
}

} // namespace vcl::detail
