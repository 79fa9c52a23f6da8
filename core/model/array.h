#pragma once
// Fixed-capacity tables indexed like the model defines them: 1-based unless a
// table declares another lower bound, column-major (first index fastest), so
// a column such as llength(·) or spdvol(·, 7) over all links is one contiguous
// run. Two-index tables whose columns are read together for one row at a time
// are declared by rows instead (RowArray2): carwal(vid, 1..12) of one vehicle
// is one run.
//
// Sizes. Every table is declared at the program's limits (limits.h) and that
// is the range its indexes are checked against. A table of kMapBytes or more
// (the trip, vehicle-slot, vehicle-store, demand and path tables) is reserved
// as zero pages straight from the system: a page is committed on its first
// write, so a run holds memory only for the rows it uses (its trips, slots,
// spots, path entries), a count may rise during the run without any copying,
// and creating or freeing a Sim costs a few system calls whatever the limits.
// zero() hands such pages back instead of writing them. Smaller tables come
// zeroed from calloc. A new table needs nothing more than its declaration with
// its limit constants: its size source is the rows the run writes.
//
// With VELM_CHECKED every index is checked and a bad index stops the program
// naming the table and the index; otherwise an access is a plain multiply-add.
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
        : name_(name), lo_(lo), hi_(hi), lo0_(lo),
          s_(static_cast<std::size_t>(hi >= lo ? hi - lo + 1 : 0)) {}

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
        : name_(name), lo1_(lo1), hi1_(hi1), lo2_(lo2), hi2_(hi2),
          n_(L == Layout::columns ? extent(lo1, hi1) : extent(lo2, hi2)),
          base_(L == Layout::columns ? lo1 + static_cast<std::ptrdiff_t>(lo2) * n_
                                     : lo2 + static_cast<std::ptrdiff_t>(lo1) * n_),
          s_(static_cast<std::size_t>(extent(lo1, hi1)) *
             static_cast<std::size_t>(extent(lo2, hi2))) {}

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
    std::ptrdiff_t     n_ = 0;    // extent of the faster-running index
    std::ptrdiff_t     base_ = 0; // offset sum of the first element
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
        : name_(name), lo1_(lo1), hi1_(hi1), lo2_(lo2), hi2_(hi2), lo3_(lo3), hi3_(hi3),
          n1_(extent(lo1, hi1)), n12_(n1_ * extent(lo2, hi2)), base_(lo1 + lo2 * n1_ + lo3 * n12_),
          s_(static_cast<std::size_t>(n12_) * static_cast<std::size_t>(extent(lo3, hi3))) {}

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
    std::ptrdiff_t     n1_ = 0, n12_ = 0; // strides of the second and third index
    std::ptrdiff_t     base_ = 0;         // i + j n1 + k n12 of the first element
    detail::Storage<T> s_;
};

// Four indices: a(i, j, k, m), column-major.
template <class T> class Array4 {
  public:
    Array4() = default;
    Array4(const char* name, int hi1, int hi2, int hi3, int hi4)
        : name_(name), hi_{hi1, hi2, hi3, hi4}, n1_(ext(hi1)), n12_(n1_ * ext(hi2)),
          n123_(n12_ * ext(hi3)), base_(1 + n1_ + n12_ + n123_),
          s_(static_cast<std::size_t>(n123_) * static_cast<std::size_t>(ext(hi4))) {}

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
    std::ptrdiff_t     n1_ = 0, n12_ = 0, n123_ = 0; // strides of the second to fourth index
    std::ptrdiff_t     base_ = 0;                    // the offset sum of the first element
    detail::Storage<T> s_;
};

} // namespace velm
