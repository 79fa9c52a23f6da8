#pragma once
// Prefetching the table rows of vehicles that a loop reaches a few steps
// later. A vehicle's state is spread over many columns (one cache line each
// in column-major tables), and the vehicles of a link list hold slot and trip
// numbers scattered over the tables: without a hint every vehicle costs a
// miss per column. A prefetch never faults, so a row outside a table only
// wastes one fetch; nothing is read or written through these addresses.
#include "core/model/array.h"

#include <cstddef>
#include <cstdint>

namespace velm {

class RowPrefetch {
  public:
    static constexpr int kMaxColumns = 48;

    // Column j of a two-index table, or a one-index table, indexed by row.
    // Vehicle columns hold 4-byte values.
    template <class T> void add(const Array2<T>& a, int j) {
        static_assert(sizeof(T) == kValueBytes);
        put(reinterpret_cast<std::uintptr_t>(&a(a.lo1(), j)), a.lo1());
    }
    template <class T> void add(const Array1<T>& a) {
        static_assert(sizeof(T) == kValueBytes);
        put(reinterpret_cast<std::uintptr_t>(&a(a.lo())), a.lo());
    }

    // Asks for row `row` of every column added. Rows arriving in order share
    // cache lines: a row in the line of the row asked for last is skipped.
    void touch(int row) {
        const std::uintptr_t r = static_cast<std::uintptr_t>(static_cast<std::ptrdiff_t>(row));
        if (r / kRowsPerLine == last_ / kRowsPerLine) return;
        last_ = r;
        for (int k = 0; k < n_; ++k)
            __builtin_prefetch(reinterpret_cast<const void*>(origin_[k] + r * kValueBytes));
    }

  private:
    static constexpr std::uintptr_t kValueBytes = 4;
    static constexpr std::uintptr_t kRowsPerLine = 64 / kValueBytes;

    void put(std::uintptr_t first, int lo) {
        if (n_ >= kMaxColumns) return; // more columns than a hint is worth
        // Address of row 0 in unsigned arithmetic (wraps for lo > 0 and comes
        // back when a row is added).
        origin_[n_++] =
            first - static_cast<std::uintptr_t>(static_cast<std::ptrdiff_t>(lo)) * kValueBytes;
    }
    std::uintptr_t origin_[kMaxColumns] = {};
    std::uintptr_t last_ = ~std::uintptr_t{0};
    int            n_ = 0;
};

} // namespace velm
