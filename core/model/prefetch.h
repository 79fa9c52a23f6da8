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

    // Column j of a column-major table, a one-index table, or the whole row
    // of a table kept by rows.
    template <class T> void add(const Array2<T>& a, int j) {
        put(&a(a.lo1(), j), a.lo1(), sizeof(T));
    }
    template <class T> void add(const Array1<T>& a) { put(&a(a.lo()), a.lo(), sizeof(T)); }
    template <class T> void add(const RowArray2<T>& a) {
        const auto bytes = static_cast<std::size_t>(a.hi2() - a.lo2() + 1) * sizeof(T);
        put(&a(a.lo1(), a.lo2()), a.lo1(), bytes);
        // Rows whose size does not divide a line can end in the next one.
        if (kLineBytes % bytes != 0) put(&a(a.lo1(), a.hi2()), a.lo1(), bytes);
    }

    // Asks for row `row` of every column added. Rows arriving in order share
    // cache lines (or follow each other): a row in the same group of 16 as
    // the row asked for last is skipped.
    void touch(int row) {
        const auto r = static_cast<std::uintptr_t>(static_cast<std::ptrdiff_t>(row));
        if (r / kRowsPerGroup == last_ / kRowsPerGroup) return;
        last_ = r;
        for (int k = 0; k < n_; ++k)
            __builtin_prefetch(reinterpret_cast<const void*>(origin_[k] + r * stride_[k]));
    }

  private:
    static constexpr std::size_t    kLineBytes = 64;
    static constexpr std::uintptr_t kRowsPerGroup = 16;

    void put(const void* first, int lo, std::size_t stride) {
        if (n_ >= kMaxColumns) return; // more columns than a hint is worth
        // Address of row 0 in unsigned arithmetic (wraps for lo > 0 and comes
        // back when a row is added).
        const auto s = static_cast<std::uintptr_t>(stride);
        origin_[n_] = reinterpret_cast<std::uintptr_t>(first) -
                      static_cast<std::uintptr_t>(static_cast<std::ptrdiff_t>(lo)) * s;
        stride_[n_] = s;
        ++n_;
    }
    std::uintptr_t origin_[kMaxColumns] = {};
    std::uintptr_t stride_[kMaxColumns] = {};
    std::uintptr_t last_ = ~std::uintptr_t{0};
    int            n_ = 0;
};

// The hints of a loop over one link's vehicle list (trip numbers, front
// first): the trip rows of the vehicle two steps ahead, then the slot rows of
// the vehicle one step ahead, whose slot number the first hint brought in.
struct ListPrefetch {
    static constexpr int kStep = 4; // list places per step

    RowPrefetch trips; // rows indexed by trip number (vehid among them)
    RowPrefetch slots; // rows indexed by network slot

    // Before the vehicle at list place base + i of a list of n.
    void ahead(const Array1<int>& big, const Array1<int>& vehid, int base, int i, int n) {
        if (i + 2 * kStep <= n) trips.touch(big(base + i + 2 * kStep));
        if (i + kStep <= n) slots.touch(vehid(big(base + i + kStep)));
    }
};

} // namespace velm
