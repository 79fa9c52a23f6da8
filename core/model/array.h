#pragma once
// Fixed-capacity tables indexed like the model defines them: 1-based unless a
// table declares another lower bound, column-major (first index fastest), so
// a column such as llength(·) or spdvol(·, 7) over all links is one contiguous
// run. Two-index tables whose columns are read together for one row at a time
// are declared by rows instead (RowArray2): carwal(vid, 1..12) of one vehicle
// is one run.
//
// Sizes. Every table is declared at the program's limits (limits.h): that is
// its limit, and its size until it is resized. A table of kMapBytes or more is
// reserved as zero pages straight from the system: a page is committed on its
// first write, so a run holds memory only for the rows it uses (its trips,
// slots, spots, path entries), a count may rise during the run without any
// copying, and creating or freeing a Sim costs a few system calls whatever the
// limits. zero() hands such pages back instead of writing them. The few
// smaller tables come zeroed from calloc.
//
// resize() gives a table the extents a run needs once they are known (its
// links, intervals, ...): the entries inside both the old and the new extents
// are kept at their indexes (a column-major table is laid out again for its
// new column length), new entries are zero, and from then on the indexes are
// checked against the new extents; a resize to the present extents does
// nothing. resize_zeroed() gives the new extents without copying anything, for
// a table whose entries are all set afresh. grow() raises the first extent for a count
// that rises, at least doubling it, so a table grown one row at a time is
// copied only a logarithmic number of times. Neither goes past the table's
// limit. Both move the storage: pointers and references into the entries
// (data(), column(), a(i)) are stale afterwards; a reference to the table
// itself stays good.
//
// With VELM_CHECKED every index is checked and a bad index stops the program
// naming the table and the index; otherwise an access is a plain multiply-add.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <type_traits>
#include <utility>

#include <sys/mman.h>

namespace velm {

namespace detail {
[[noreturn]] inline void bad_index(const char* table, int dim, long index, long lo, long hi) {
    std::fprintf(stderr, "table %s: index %d = %ld outside %ld..%ld\n", table, dim, index, lo, hi);
    std::fflush(stderr);
    std::terminate();
}

// A resize past the table's limit is a fault of the caller, in every build.
[[noreturn]] inline void bad_size(const char* table, int dim, long hi, long limit) {
    std::fprintf(stderr, "table %s: extent %d up to %ld beyond its limit %ld\n", table, dim, hi,
                 limit);
    std::fflush(stderr);
    std::terminate();
}

inline int checked_extent(const char* table, int dim, int hi, int limit) {
    if (hi > limit) bad_size(table, dim, hi, limit);
    return hi;
}

// The new upper bound of a growing first extent: at least twice the old
// extent (and at least 8 rows), never past the limit.
inline int grown(int lo, int hi, int need, int limit) {
    const long extent = static_cast<long>(hi) - lo + 1;
    const long doubled = static_cast<long>(lo) - 1 + std::max(2 * extent, 8L);
    return static_cast<int>(std::min<long>(std::max<long>(need, doubled), limit));
}

// Tables of this size or more are reserved as zero pages (see the top): from
// one page up, so that a table is never cleared by writing it.
inline constexpr std::size_t kMapBytes = std::size_t{4096};

template <class T> class Storage {
    static_assert(std::is_trivially_copyable_v<T>, "tables hold plain values");

  public:
    Storage() = default;
    explicit Storage(std::size_t n) : n_(n) {
        if (n_ == 0) return;
        if (bytes() >= kMapBytes) {
            // Reserved, not committed: no swap is set aside for rows never written.
            void* m = mmap(nullptr, bytes(), PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (m == MAP_FAILED) throw std::bad_alloc();
            p_ = static_cast<T*>(m);
            mapped_ = true;
        } else {
            p_ = static_cast<T*>(std::calloc(n_, sizeof(T)));
            if (!p_) throw std::bad_alloc();
        }
    }
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;
    Storage(Storage&& o) noexcept
        : p_(std::exchange(o.p_, nullptr)), n_(std::exchange(o.n_, 0)),
          mapped_(std::exchange(o.mapped_, false)) {}
    Storage& operator=(Storage&& o) noexcept {
        if (this != &o) {
            release();
            p_ = std::exchange(o.p_, nullptr);
            n_ = std::exchange(o.n_, 0);
            mapped_ = std::exchange(o.mapped_, false);
        }
        return *this;
    }
    ~Storage() { release(); }

    T*          data() { return p_; }
    const T*    data() const { return p_; }
    std::size_t size() const { return n_; }
    void        fill(const T& v) {
               if (mapped_ && is_zero(v)) return zero();
        for (std::size_t i = 0; i < n_; ++i) p_[i] = v;
    }
    void zero() {
        if (!p_) return;
        // Dropped pages read back as zeros and cost nothing until written again.
        if (mapped_ && madvise(static_cast<void*>(p_), bytes(), MADV_DONTNEED) == 0) return;
        std::memset(static_cast<void*>(p_), 0, bytes());
    }

  private:
    std::size_t bytes() const { return n_ * sizeof(T); }
    static bool is_zero(const T& v) {
        unsigned char b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));
        for (unsigned char c : b)
            if (c != 0) return false;
        return true;
    }
    void release() {
        if (mapped_)
            munmap(static_cast<void*>(p_), bytes());
        else
            std::free(p_);
    }
    T*          p_ = nullptr;
    std::size_t n_ = 0;
    bool        mapped_ = false; // reserved zero pages, not from the heap
};
} // namespace detail

// One index: a(i), i = lo..hi.
template <class T> class Array1 {
  public:
    Array1() = default;
    Array1(const char* name, int hi) : Array1(name, 1, hi) {}
    Array1(const char* name, int lo, int hi)
        : name_(name), lo_(lo), hi_(hi), max_(hi), lo0_(lo),
          s_(static_cast<std::size_t>(hi >= lo ? hi - lo + 1 : 0)) {}

    // Indexes lo..hi from now on (see the top); hi no higher than the limit.
    void resize(int hi) {
        if (hi == hi_) return;
        Array1 t(name_, lo_, detail::checked_extent(name_, 1, hi, max_));
        t.max_ = max_;
        const int top = std::min(hi, hi_);
        if (top >= lo_)
            std::memcpy(static_cast<void*>(t.data()), data(),
                        static_cast<std::size_t>(top - lo_ + 1) * sizeof(T));
        *this = std::move(t);
    }
    // Makes index need valid, at least doubling the table when it grows.
    void grow(int need) {
        if (need > hi_)
            resize(detail::grown(lo_, hi_, detail::checked_extent(name_, 1, need, max_), max_));
    }
    int limit() const { return max_; }

    T& operator()(int i) {
        check(i);
        return s_.data()[static_cast<std::ptrdiff_t>(i) - lo0_];
    }
    const T& operator()(int i) const {
        check(i);
        return s_.data()[static_cast<std::ptrdiff_t>(i) - lo0_];
    }
    int         lo() const { return lo_; }
    int         hi() const { return hi_; }
    std::size_t size() const { return s_.size(); }
    T*          data() { return s_.data(); }
    const T*    data() const { return s_.data(); }
    const char* name() const { return name_; }
    void        fill(const T& v) { s_.fill(v); }
    void        zero() { s_.zero(); }

  private:
    void check([[maybe_unused]] int i) const {
#ifdef VELM_CHECKED
        if (i < lo_ || i > hi_) detail::bad_index(name_, 1, i, lo_, hi_);
#endif
    }
    const char* name_ = "?";
    int         lo_ = 1;
    int         hi_ = 0;
    int         max_ = 0; // the declared upper bound: resize() goes no higher
    // The index arithmetic reads only wide members, which stores into int and
    // float tables cannot alias: the compiler keeps them in registers.
    std::ptrdiff_t     lo0_ = 1;
    detail::Storage<T> s_;
};

// Storage order of a two-index table. Most tables are column-major, so that a
// column over all rows is one contiguous run. A table whose few columns are
// read together for one row at a time, from rows scattered over the table
// (vehicle slots and trips visited in link-list order), keeps each row
// together instead: one cache line serves the whole row.
enum class Layout { columns, rows };

// Two indices: a(i, j); column-major unless declared by rows.
template <class T, Layout L = Layout::columns> class Array2 {
  public:
    Array2() = default;
    Array2(const char* name, int hi1, int hi2) : Array2(name, 1, hi1, 1, hi2) {}
    Array2(const char* name, int lo1, int hi1, int lo2, int hi2)
        : name_(name), lo1_(lo1), hi1_(hi1), lo2_(lo2), hi2_(hi2), max1_(hi1), max2_(hi2),
          n_(L == Layout::columns ? extent(lo1, hi1) : extent(lo2, hi2)),
          base_(L == Layout::columns ? lo1 + static_cast<std::ptrdiff_t>(lo2) * n_
                                     : lo2 + static_cast<std::ptrdiff_t>(lo1) * n_),
          s_(static_cast<std::size_t>(extent(lo1, hi1)) *
             static_cast<std::size_t>(extent(lo2, hi2))) {}

    // Indexes lo1..hi1, lo2..hi2 from now on (see the top).
    void resize(int hi1, int hi2) {
        if (hi1 == hi1_ && hi2 == hi2_) return;
        Array2 t(name_, lo1_, detail::checked_extent(name_, 1, hi1, max1_), lo2_,
                 detail::checked_extent(name_, 2, hi2, max2_));
        t.max1_ = max1_;
        t.max2_ = max2_;
        const int top1 = std::min(hi1, hi1_), top2 = std::min(hi2, hi2_);
        if (top1 >= lo1_ && top2 >= lo2_) {
            // One contiguous run per column (or per row of a table by rows).
            const int outer_lo = L == Layout::columns ? lo2_ : lo1_;
            const int outer_hi = L == Layout::columns ? top2 : top1;
            const int run = L == Layout::columns ? top1 - lo1_ + 1 : top2 - lo2_ + 1;
            for (int k = outer_lo; k <= outer_hi; ++k) {
                const int i = L == Layout::columns ? lo1_ : k, j = L == Layout::columns ? k : lo2_;
                std::memcpy(static_cast<void*>(&t(i, j)), &(*this)(i, j),
                            static_cast<std::size_t>(run) * sizeof(T));
            }
        }
        *this = std::move(t);
    }
    // The extents of resize() with every entry zero, nothing copied.
    void resize_zeroed(int hi1, int hi2) {
        Array2 t(name_, lo1_, detail::checked_extent(name_, 1, hi1, max1_), lo2_,
                 detail::checked_extent(name_, 2, hi2, max2_));
        t.max1_ = max1_;
        t.max2_ = max2_;
        *this = std::move(t);
    }
    // Makes row need valid, at least doubling the rows when they grow.
    void grow(int need) {
        if (need > hi1_)
            resize(detail::grown(lo1_, hi1_, detail::checked_extent(name_, 1, need, max1_), max1_),
                   hi2_);
    }
    int limit1() const { return max1_; }
    int limit2() const { return max2_; }

    T&       operator()(int i, int j) { return s_.data()[offset(i, j)]; }
    const T& operator()(int i, int j) const { return s_.data()[offset(i, j)]; }
    // The contiguous column a(lo1..hi1, j) of a column-major table.
    T*          column(int j) requires(L == Layout::columns) { return &(*this)(lo1_, j); }
    const T*    column(int j) const requires(L == Layout::columns) { return &(*this)(lo1_, j); }
    int         lo1() const { return lo1_; }
    int         hi1() const { return hi1_; }
    int         lo2() const { return lo2_; }
    int         hi2() const { return hi2_; }
    std::size_t size() const { return s_.size(); }
    T*          data() { return s_.data(); }
    const T*    data() const { return s_.data(); }
    const char* name() const { return name_; }
    void        fill(const T& v) { s_.fill(v); }
    void        zero() { s_.zero(); }

  private:
    static int  extent(int lo, int hi) { return hi >= lo ? hi - lo + 1 : 0; }
    std::size_t offset(int i, int j) const {
#ifdef VELM_CHECKED
        if (i < lo1_ || i > hi1_) detail::bad_index(name_, 1, i, lo1_, hi1_);
        if (j < lo2_ || j > hi2_) detail::bad_index(name_, 2, j, lo2_, hi2_);
#endif
        if constexpr (L == Layout::columns)
            return static_cast<std::size_t>(i + j * n_ - base_);
        else
            return static_cast<std::size_t>(j + i * n_ - base_);
    }
    const char*        name_ = "?";
    int                lo1_ = 1, hi1_ = 0, lo2_ = 1, hi2_ = 0;
    int                max1_ = 0, max2_ = 0; // the declared upper bounds
    std::ptrdiff_t     n_ = 0;               // extent of the faster-running index
    std::ptrdiff_t     base_ = 0;            // offset sum of the first element
    detail::Storage<T> s_;
};

// A table of rows: a(i, 1..n) side by side for each i.
template <class T> using RowArray2 = Array2<T, Layout::rows>;

// Three indices: a(i, j, k), column-major.
template <class T> class Array3 {
  public:
    Array3() = default;
    Array3(const char* name, int hi1, int hi2, int hi3) : Array3(name, 1, hi1, 1, hi2, 1, hi3) {}
    Array3(const char* name, int lo1, int hi1, int lo2, int hi2, int lo3, int hi3)
        : name_(name), lo1_(lo1), hi1_(hi1), lo2_(lo2), hi2_(hi2), lo3_(lo3),
          hi3_(hi3), max_{hi1, hi2, hi3}, n1_(extent(lo1, hi1)), n12_(n1_ * extent(lo2, hi2)),
          base_(lo1 + lo2 * n1_ + lo3 * n12_),
          s_(static_cast<std::size_t>(n12_) * static_cast<std::size_t>(extent(lo3, hi3))) {}

    // Indexes lo1..hi1, lo2..hi2, lo3..hi3 from now on (see the top).
    void resize(int hi1, int hi2, int hi3) {
        if (hi1 == hi1_ && hi2 == hi2_ && hi3 == hi3_) return;
        Array3 t(name_, lo1_, detail::checked_extent(name_, 1, hi1, max_[0]), lo2_,
                 detail::checked_extent(name_, 2, hi2, max_[1]), lo3_,
                 detail::checked_extent(name_, 3, hi3, max_[2]));
        std::copy(max_, max_ + 3, t.max_);
        const int top1 = std::min(hi1, hi1_), top2 = std::min(hi2, hi2_),
                  top3 = std::min(hi3, hi3_);
        if (top1 >= lo1_)
            for (int k = lo3_; k <= top3; ++k)
                for (int j = lo2_; j <= top2; ++j)
                    std::memcpy(static_cast<void*>(&t(lo1_, j, k)), &(*this)(lo1_, j, k),
                                static_cast<std::size_t>(top1 - lo1_ + 1) * sizeof(T));
        *this = std::move(t);
    }
    // The extents of resize() with every entry zero, nothing copied.
    void resize_zeroed(int hi1, int hi2, int hi3) {
        Array3 t(name_, lo1_, detail::checked_extent(name_, 1, hi1, max_[0]), lo2_,
                 detail::checked_extent(name_, 2, hi2, max_[1]), lo3_,
                 detail::checked_extent(name_, 3, hi3, max_[2]));
        std::copy(max_, max_ + 3, t.max_);
        *this = std::move(t);
    }
    int limit(int dim) const { return max_[dim - 1]; }

    T&          operator()(int i, int j, int k) { return s_.data()[offset(i, j, k)]; }
    const T&    operator()(int i, int j, int k) const { return s_.data()[offset(i, j, k)]; }
    int         lo1() const { return lo1_; }
    int         hi1() const { return hi1_; }
    int         lo2() const { return lo2_; }
    int         hi2() const { return hi2_; }
    int         lo3() const { return lo3_; }
    int         hi3() const { return hi3_; }
    std::size_t size() const { return s_.size(); }
    T*          data() { return s_.data(); }
    const char* name() const { return name_; }
    void        fill(const T& v) { s_.fill(v); }
    void        zero() { s_.zero(); }

  private:
    static int  extent(int lo, int hi) { return hi >= lo ? hi - lo + 1 : 0; }
    std::size_t offset(int i, int j, int k) const {
#ifdef VELM_CHECKED
        if (i < lo1_ || i > hi1_) detail::bad_index(name_, 1, i, lo1_, hi1_);
        if (j < lo2_ || j > hi2_) detail::bad_index(name_, 2, j, lo2_, hi2_);
        if (k < lo3_ || k > hi3_) detail::bad_index(name_, 3, k, lo3_, hi3_);
#endif
        return static_cast<std::size_t>(i + j * n1_ + k * n12_ - base_);
    }
    const char*        name_ = "?";
    int                lo1_ = 1, hi1_ = 0, lo2_ = 1, hi2_ = 0, lo3_ = 1, hi3_ = 0;
    int                max_[3] = {0, 0, 0}; // the declared upper bounds
    std::ptrdiff_t     n1_ = 0, n12_ = 0;   // strides of the second and third index
    std::ptrdiff_t     base_ = 0;           // i + j n1 + k n12 of the first element
    detail::Storage<T> s_;
};

// Four indices: a(i, j, k, m), column-major.
template <class T> class Array4 {
  public:
    Array4() = default;
    Array4(const char* name, int hi1, int hi2, int hi3, int hi4)
        : name_(name), hi_{hi1, hi2, hi3, hi4}, max_{hi1, hi2, hi3, hi4}, n1_(ext(hi1)),
          n12_(n1_ * ext(hi2)), n123_(n12_ * ext(hi3)), base_(1 + n1_ + n12_ + n123_),
          s_(static_cast<std::size_t>(n123_) * static_cast<std::size_t>(ext(hi4))) {}

    // Indexes 1..hi1, ..., 1..hi4 from now on (see the top).
    void resize(int hi1, int hi2, int hi3, int hi4) {
        if (hi1 == hi_[0] && hi2 == hi_[1] && hi3 == hi_[2] && hi4 == hi_[3]) return;
        Array4 t(name_, detail::checked_extent(name_, 1, hi1, max_[0]),
                 detail::checked_extent(name_, 2, hi2, max_[1]),
                 detail::checked_extent(name_, 3, hi3, max_[2]),
                 detail::checked_extent(name_, 4, hi4, max_[3]));
        std::copy(max_, max_ + 4, t.max_);
        const int top[4] = {std::min(hi1, hi_[0]), std::min(hi2, hi_[1]), std::min(hi3, hi_[2]),
                            std::min(hi4, hi_[3])};
        if (top[0] >= 1)
            for (int m = 1; m <= top[3]; ++m)
                for (int k = 1; k <= top[2]; ++k)
                    for (int j = 1; j <= top[1]; ++j)
                        std::memcpy(static_cast<void*>(&t(1, j, k, m)), &(*this)(1, j, k, m),
                                    static_cast<std::size_t>(top[0]) * sizeof(T));
        *this = std::move(t);
    }
    // The extents of resize() with every entry zero, nothing copied.
    void resize_zeroed(int hi1, int hi2, int hi3, int hi4) {
        Array4 t(name_, detail::checked_extent(name_, 1, hi1, max_[0]),
                 detail::checked_extent(name_, 2, hi2, max_[1]),
                 detail::checked_extent(name_, 3, hi3, max_[2]),
                 detail::checked_extent(name_, 4, hi4, max_[3]));
        std::copy(max_, max_ + 4, t.max_);
        *this = std::move(t);
    }
    int limit(int dim) const { return max_[dim - 1]; }

    T&       operator()(int i, int j, int k, int m) { return s_.data()[offset(i, j, k, m)]; }
    const T& operator()(int i, int j, int k, int m) const { return s_.data()[offset(i, j, k, m)]; }
    int      hi(int dim) const { return hi_[dim - 1]; }
    std::size_t size() const { return s_.size(); }
    T*          data() { return s_.data(); }
    const char* name() const { return name_; }
    void        fill(const T& v) { s_.fill(v); }
    void        zero() { s_.zero(); }

  private:
    static int  ext(int hi) { return hi > 0 ? hi : 0; }
    std::size_t offset(int i, int j, int k, int m) const {
#ifdef VELM_CHECKED
        const int idx[4] = {i, j, k, m};
        for (int d = 0; d < 4; ++d)
            if (idx[d] < 1 || idx[d] > hi_[d]) detail::bad_index(name_, d + 1, idx[d], 1, hi_[d]);
#endif
        return static_cast<std::size_t>(i + j * n1_ + k * n12_ + m * n123_ - base_);
    }
    const char*        name_ = "?";
    int                hi_[4] = {0, 0, 0, 0};
    int                max_[4] = {0, 0, 0, 0};       // the declared upper bounds
    std::ptrdiff_t     n1_ = 0, n12_ = 0, n123_ = 0; // strides of the second to fourth index
    std::ptrdiff_t     base_ = 0;                    // the offset sum of the first element
    detail::Storage<T> s_;
};

// One index, entries reading `absent` until written. Each entry is stored as
// its bits exclusive-or those of `absent`, so the rows never written are zero
// pages and marking every row absent (fill(absent)) hands pages back rather
// than writing them: a table of a mark that only some runs overwrite costs a
// run nothing until it does. a(i) reads and assigns like a T; every value,
// not only `absent`, comes back bit for bit.
template <class T> class MarkedArray1 {
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) == sizeof(unsigned),
                  "a marked table holds 32-bit values");

  public:
    class Ref {
      public:
        Ref(unsigned& raw, unsigned key) : raw_(raw), key_(key) {}
        Ref(const Ref&) = default;
             operator T() const { return decode(raw_, key_); }
        Ref& operator=(T v) {
            raw_ = encode(v, key_);
            return *this;
        }
        Ref& operator=(const Ref& o) { return *this = static_cast<T>(o); }

      private:
        unsigned& raw_;
        unsigned  key_;
    };
    MarkedArray1(const char* name, int hi, T absent) : a_(name, hi), key_(bits(absent)) {}

    Ref         operator()(int i) { return Ref(a_(i), key_); }
    T           operator()(int i) const { return decode(a_(i), key_); }
    int         lo() const { return a_.lo(); }
    int         hi() const { return a_.hi(); }
    const char* name() const { return a_.name(); }
    void        fill(const T& v) {
               const unsigned raw = encode(v, key_);
               if (raw == 0)
            a_.zero();
        else
            a_.fill(raw);
    }

  private:
    static unsigned bits(T v) {
        unsigned b = 0;
        std::memcpy(&b, &v, sizeof b);
        return b;
    }
    static unsigned encode(T v, unsigned key) { return bits(v) ^ key; }
    static T        decode(unsigned raw, unsigned key) {
               const unsigned b = raw ^ key;
               T              v;
               std::memcpy(&v, &b, sizeof v);
               return v;
    }
    Array1<unsigned> a_;
    unsigned         key_;
};

} // namespace velm
