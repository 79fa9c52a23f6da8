#include "core/model/array.h"
#include "core/model/prefetch.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <type_traits>
#include <unistd.h>

namespace velm {
namespace {

TEST(Array, IndexArithmeticIsColumnMajorFromTheLowerBounds) {
    Array1<int> a{"a", 5};
    EXPECT_EQ(a.size(), 5u);
    EXPECT_EQ(&a(1), a.data());
    EXPECT_EQ(&a(5) - &a(1), 4);

    Array1<int> z{"z", 0, 4}; // lower bound 0
    EXPECT_EQ(z.size(), 5u);
    EXPECT_EQ(&z(0), z.data());
    Array1<int> n{"n", -2, 2};
    n(-2) = 7;
    EXPECT_EQ(n.data()[0], 7);
    EXPECT_EQ(&n(2) - &n(-2), 4);

    Array2<float> b{"b", 4, 3};
    EXPECT_EQ(b.size(), 12u);
    EXPECT_EQ(&b(2, 1) - &b(1, 1), 1); // first index fastest
    EXPECT_EQ(&b(1, 2) - &b(1, 1), 4);
    EXPECT_EQ(&b(4, 3) - b.data(), 11);
    EXPECT_EQ(b.column(2), &b(1, 2));

    Array2<int> c{"c", 0, 2, -1, 1}; // 3 x 3 with lower bounds 0 and -1
    EXPECT_EQ(&c(0, -1), c.data());
    EXPECT_EQ(&c(2, 1) - c.data(), 2 + 3 * 2);
    EXPECT_EQ(c.column(0), c.data() + 3);

    // A table kept by rows: the second index runs fastest, from its own
    // lower bound, and whole rows follow each other.
    RowArray2<float> r{"r", 4, 3};
    EXPECT_EQ(r.size(), 12u);
    EXPECT_EQ(&r(1, 2) - &r(1, 1), 1);
    EXPECT_EQ(&r(2, 1) - &r(1, 1), 3);
    EXPECT_EQ(&r(4, 3) - r.data(), 11);
    RowArray2<int> q{"q", 0, 2, -1, 1};
    EXPECT_EQ(&q(0, -1), q.data());
    EXPECT_EQ(&q(2, 1) - q.data(), 2 * 3 + 2);

    Array3<short> d{"d", 2, 3, 4};
    EXPECT_EQ(d.size(), 24u);
    EXPECT_EQ(&d(2, 1, 1) - d.data(), 1);
    EXPECT_EQ(&d(1, 2, 1) - d.data(), 2);
    EXPECT_EQ(&d(1, 1, 2) - d.data(), 6);
    EXPECT_EQ(&d(2, 3, 4) - d.data(), 23);
    Array3<int> e{"e", 0, 1, 1, 2, 5, 6};
    EXPECT_EQ(&e(1, 2, 6) - e.data(), 1 + 2 * 1 + 4 * 1);
}

TEST(Array, StorageStartsZeroedAndFillsAndZeroes) {
    Array2<double> t{"t", 100, 7};
    for (std::size_t i = 0; i < t.size(); ++i) ASSERT_EQ(t.data()[i], 0.0);
    t.fill(2.5);
    EXPECT_EQ(t(100, 7), 2.5);
    t.zero();
    EXPECT_EQ(t(50, 3), 0.0);
    Array1<int> empty{"empty", 1, 0};
    EXPECT_EQ(empty.size(), 0u);
    empty.zero(); // no storage: nothing to do
}

// Resident memory of this process, bytes.
long resident_bytes() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// A table at a large limit holds memory only for the rows written; zero()
// and fill(0) hand the rows back and read as zeros; moving keeps the rows.
TEST(Array, LargeTablesHoldMemoryOnlyForTheRowsWritten) {
    constexpr int kRows = 4000000; // 4 x 16 MB
    const long    before = resident_bytes();
    Array2<int>   t{"t", kRows, 4};
    EXPECT_LT(resident_bytes() - before, 1L << 20);
    EXPECT_EQ(t(kRows, 4), 0);
    for (int i = 1; i <= 1000; ++i) t(i, 2) = i;
    t(kRows, 4) = -7;
    EXPECT_LT(resident_bytes() - before, 2L << 20);
    EXPECT_EQ(t(1000, 2), 1000);
    EXPECT_EQ(t(kRows, 4), -7);

    Array2<int> moved = std::move(t);
    EXPECT_EQ(moved(1000, 2), 1000);
    moved.zero();
    EXPECT_EQ(moved(1000, 2), 0);
    EXPECT_EQ(moved(kRows, 4), 0);
    EXPECT_LT(resident_bytes() - before, 2L << 20); // cleared by handing the pages back
    moved(3, 3) = 9;
    moved.fill(0);
    EXPECT_EQ(moved(3, 3), 0);

    Array1<float> f{"f", kRows};
    f.fill(-1.0f);
    EXPECT_EQ(f(1), -1.0f);
    EXPECT_EQ(f(kRows), -1.0f);
    f.fill(-0.0f); // not all zero bytes: written, not dropped
    EXPECT_TRUE(std::signbit(f(kRows)));
}

// Sizing a table for the run costs what the run's extents hold: a resize to
// the present extents moves nothing, and resize_zeroed() copies nothing, so
// the pages of a table at its limit are never read or written.
TEST(Array, SizingForTheRunCopiesNothingItNeedNotCopy) {
    constexpr int kRows = 4000000; // 16 MB a column
    const long    before = resident_bytes();
    Array3<int>   h{"h", kRows, 2, 2};
    h(7, 2, 2) = 5;
    h.resize_zeroed(kRows - 1, 2, 2);
    EXPECT_EQ(h.hi1(), kRows - 1);
    EXPECT_EQ(h(7, 2, 2), 0);
    EXPECT_EQ(&h(1, 2, 1) - &h(1, 1, 1), kRows - 1);
    EXPECT_LT(resident_bytes() - before, 1L << 20); // nothing copied into the new pages
    h(9, 1, 2) = 3;
    const int* at = h.data();
    h.resize(kRows - 1, 2, 2);
    EXPECT_EQ(h.data(), at);
    EXPECT_EQ(h(9, 1, 2), 3);
    EXPECT_LT(resident_bytes() - before, 1L << 20);

    Array2<float> g{"g", 5, 4};
    g(5, 4) = 1.5f;
    g.resize_zeroed(3, 6 - 2);
    EXPECT_EQ(g.hi1(), 3);
    EXPECT_EQ(g(3, 4), 0.0f);
    Array4<int> q{"q", 4, 3, 2, 2};
    q(4, 3, 2, 2) = 8;
    q.resize_zeroed(4, 3, 2, 1);
    EXPECT_EQ(q.hi(4), 1);
    EXPECT_EQ(q(4, 3, 2, 1), 0);
}

// A marked table reads its mark until written, gives back every value it is
// given, and marking it whole writes nothing.
TEST(Array, MarkedTablesReadTheirMarkUntilWritten) {
    constexpr int       kRows = 4000000;
    const long          before = resident_bytes();
    MarkedArray1<int>   o{"o", kRows, -1};
    MarkedArray1<float> v{"v", kRows, 3600.0f};
    o.fill(-1);
    v.fill(3600.0f);
    EXPECT_LT(resident_bytes() - before, 1L << 20);
    EXPECT_EQ(o(1), -1);
    EXPECT_EQ(o(kRows), -1);
    EXPECT_EQ(v(kRows), 3600.0f);
    const int   ints[] = {0, 1, -2, 2147483647, -2147483647 - 1};
    const float floats[] = {0.0f, -0.0f, 1e-45f, -3600.0f, 3.4e38f};
    for (int i = 0; i < 5; ++i) {
        o(i + 1) = ints[i];
        v(i + 1) = floats[i];
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(o(i + 1), ints[i]) << i;
        const float got = v(i + 1);
        EXPECT_EQ(std::signbit(got), std::signbit(floats[i])) << i;
        EXPECT_EQ(got, floats[i]) << i;
    }
    o(6) = o(3); // one entry assigned from another copies the value
    EXPECT_EQ(o(6), -2);
    const auto& co = o;
    EXPECT_EQ(co(2), 1);
    o.fill(4);
    EXPECT_EQ(o(kRows), 4);
    o.fill(-1);
    EXPECT_EQ(o(2), -1);
    EXPECT_LT(resident_bytes() - before, 1L << 20); // marked by handing the pages back
}

// A value that tells every index apart, so a moved entry is caught.
int tag(int i, int j = 0, int k = 0) {
    return 10000 * i + 100 * j + k + 7;
}

// Resizing keeps each entry that lies inside both the old and the new extents
// at its own index, whatever the storage order; the rest read zero.
struct Extents {
    int hi1, hi2;
};
struct ResizeCase {
    const char* what;
    Extents     from, to;
};
const ResizeCase kResizeCases[] = {
    {"more rows", {4, 3}, {9, 3}},
    {"fewer rows", {9, 3}, {4, 3}},
    {"more columns", {4, 3}, {4, 6}},
    {"more rows, fewer columns", {5, 4}, {11, 2}},
    {"fewer rows, more columns", {11, 2}, {3, 5}},
    {"to empty", {4, 3}, {0, 3}},
    {"from empty", {0, 3}, {6, 3}},
    {"unchanged", {5, 5}, {5, 5}},
};

template <class A> void check_resize(const ResizeCase& c) {
    A a{"a", 1, 12, 0, 6};
    a.resize(c.from.hi1, c.from.hi2);
    for (int j = 0; j <= c.from.hi2; ++j)
        for (int i = 1; i <= c.from.hi1; ++i) a(i, j) = tag(i, j);
    a.resize(c.to.hi1, c.to.hi2);
    ASSERT_EQ(a.hi1(), c.to.hi1);
    ASSERT_EQ(a.hi2(), c.to.hi2);
    ASSERT_EQ(a.size(), static_cast<std::size_t>(c.to.hi1 * (c.to.hi2 + 1)));
    for (int j = 0; j <= c.to.hi2; ++j)
        for (int i = 1; i <= c.to.hi1; ++i) {
            const bool kept = i <= c.from.hi1 && j <= c.from.hi2;
            ASSERT_EQ(a(i, j), kept ? tag(i, j) : 0) << i << ", " << j;
        }
    // Still laid out in its own order with the new extents.
    if (c.to.hi1 >= 2 && c.to.hi2 >= 1) {
        const std::ptrdiff_t step1 = &a(2, 0) - &a(1, 0), step2 = &a(1, 1) - &a(1, 0);
        if constexpr (std::is_same_v<A, Array2<int>>) {
            EXPECT_EQ(step1, 1);
            EXPECT_EQ(step2, c.to.hi1);
        } else {
            EXPECT_EQ(step1, c.to.hi2 + 1);
            EXPECT_EQ(step2, 1);
        }
    }
}

TEST(Array, ResizeKeepsEveryEntryAtItsIndex) {
    for (const auto& c : kResizeCases) {
        SCOPED_TRACE(c.what);
        check_resize<Array2<int>>(c);
        check_resize<RowArray2<int>>(c);
    }
    Array1<int> v{"v", 0, 100};
    v.resize(5);
    for (int i = 0; i <= 5; ++i) v(i) = tag(i);
    int kept = 5;
    for (int hi : {9, 3, 40}) {
        v.resize(hi);
        kept = std::min(kept, hi);
        EXPECT_EQ(v.hi(), hi);
        for (int i = 0; i <= hi; ++i) ASSERT_EQ(v(i), i <= kept ? tag(i) : 0) << hi << " " << i;
    }
    Array3<int> cube{"cube", 6, 4, 3};
    cube.resize(2, 3, 2);
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 2; ++i) cube(i, j, k) = tag(i, j, k);
    cube.resize(5, 2, 3);
    EXPECT_EQ(&cube(1, 2, 1) - &cube(1, 1, 1), 5);
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 2; ++j)
            for (int i = 1; i <= 5; ++i)
                ASSERT_EQ(cube(i, j, k), i <= 2 && k <= 2 ? tag(i, j, k) : 0) << i << j << k;

    Array4<int> hist{"hist", 50, 3, 4, 2};
    hist.resize(3, 3, 4, 2);
    for (int m = 1; m <= 2; ++m)
        for (int k = 1; k <= 4; ++k)
            for (int j = 1; j <= 3; ++j)
                for (int i = 1; i <= 3; ++i) hist(i, j, k, m) = tag(i, j, k) * m;
    hist.resize(7, 2, 4, 2);
    EXPECT_EQ(&hist(1, 2, 1, 1) - &hist(1, 1, 1, 1), 7);
    for (int m = 1; m <= 2; ++m)
        for (int k = 1; k <= 4; ++k)
            for (int j = 1; j <= 2; ++j)
                for (int i = 1; i <= 7; ++i)
                    ASSERT_EQ(hist(i, j, k, m), i <= 3 ? tag(i, j, k) * m : 0) << i << j << k << m;
}

// A count that rises one row at a time: every row written stays, the table
// is copied only when it doubles, and it stops at its limit.
TEST(Array, GrowingRowByRowKeepsTheRowsAndDoubles) {
    Array1<int>    trips{"trips", 1000};
    RowArray2<int> slots{"slots", 1000, 3};
    Array2<float>  cols{"cols", 1000, 2};
    trips.resize(0);
    slots.resize(0, 3);
    cols.resize(0, 2);
    int copies = 0;
    for (int n = 1; n <= 1000; ++n) {
        const int* before = trips.data();
        trips.grow(n);
        slots.grow(n);
        cols.grow(n);
        if (trips.data() != before) ++copies;
        trips(n) = tag(n);
        for (int j = 1; j <= 3; ++j) slots(n, j) = tag(n, j);
        cols(n, 1) = static_cast<float>(n);
        cols(n, 2) = -static_cast<float>(n);
    }
    EXPECT_EQ(trips.hi(), 1000);
    EXPECT_EQ(cols.hi1(), 1000);
    EXPECT_LE(copies, 9); // 8, 16, ..., 1000
    for (int n = 1; n <= 1000; ++n) {
        ASSERT_EQ(trips(n), tag(n)) << n;
        for (int j = 1; j <= 3; ++j) ASSERT_EQ(slots(n, j), tag(n, j)) << n;
        ASSERT_EQ(cols(n, 1), static_cast<float>(n)) << n;
        ASSERT_EQ(cols(n, 2), -static_cast<float>(n)) << n;
    }
    EXPECT_EQ(cols.column(2) - cols.column(1), 1000);
    trips.grow(10); // already there: nothing moves
    EXPECT_EQ(trips(10), tag(10));
}

#ifdef VELM_CHECKED
TEST(ArrayDeathTest, CheckedBuildNamesTheTableAndIndex) {
    Array1<float> llength{"llength", 5};
    EXPECT_DEATH(llength(0), "llength: index 1 = 0 outside 1..5");
    EXPECT_DEATH(llength(6), "llength: index 1 = 6 outside 1..5");
    Array2<float> spdvol{"spdvol", 5, 11};
    EXPECT_DEATH(spdvol(1, 12), "spdvol: index 2 = 12 outside 1..11");
    RowArray2<int> rows{"rows", 5, 4};
    EXPECT_DEATH(rows(6, 1), "rows: index 1 = 6 outside 1..5");
    EXPECT_DEATH(rows(1, 0), "rows: index 2 = 0 outside 1..4");
    Array3<int> cube{"cube", 0, 1, 1, 2, 1, 3};
    EXPECT_DEATH(cube(-1, 1, 1), "cube: index 1 = -1 outside 0..1");
    EXPECT_DEATH(cube(0, 1, 4), "cube: index 3 = 4 outside 1..3");
}

// After a resize the indexes are checked against the run's extents, not the
// limits the table was declared with.
TEST(ArrayDeathTest, CheckedBuildStopsBeyondTheResizedExtents) {
    Array1<int> trips{"trips", 560};
    trips.resize(20);
    trips(20) = 1;
    EXPECT_DEATH(trips(21), "trips: index 1 = 21 outside 1..20");
    trips.grow(21);
    EXPECT_DEATH(trips(trips.hi() + 1), "trips: index 1 = .* outside 1..");
    Array2<float> pv{"pv", 4487, 10};
    pv.resize(12, 10);
    EXPECT_DEATH(pv(13, 1), "pv: index 1 = 13 outside 1..12");
    RowArray2<int> rows{"rows", 300, 5};
    rows.resize(2, 5);
    EXPECT_DEATH(rows(3, 1), "rows: index 1 = 3 outside 1..2");
    Array3<float> cube{"cube", 9, 8, 7};
    cube.resize(3, 8, 7);
    EXPECT_DEATH(cube(4, 1, 1), "cube: index 1 = 4 outside 1..3");
    Array4<int> hist{"hist", 4487, 5, 60, 2};
    hist.resize(4, 5, 60, 2);
    EXPECT_DEATH(hist(5, 1, 1, 1), "hist: index 1 = 5 outside 1..4");
}
#endif

// No build lets a table pass the limit it was declared with.
TEST(ArrayDeathTest, ResizeStopsAtTheDeclaredLimit) {
    Array1<int> trips{"trips", 560};
    trips.resize(10);
    EXPECT_DEATH(trips.resize(561), "trips: extent 1 up to 561 beyond its limit 560");
    EXPECT_DEATH(trips.grow(600), "trips: extent 1 up to 600 beyond its limit 560");
    trips.grow(400); // doubling stops at the limit
    EXPECT_EQ(trips.hi(), 400);
    trips.grow(500);
    EXPECT_EQ(trips.hi(), 560);
    Array2<int> t{"t", 50, 4};
    EXPECT_DEATH(t.resize(50, 5), "t: extent 2 up to 5 beyond its limit 4");
    Array3<int> cube{"cube", 3, 3, 3};
    EXPECT_DEATH(cube.resize(3, 4, 3), "cube: extent 2 up to 4 beyond its limit 3");
    Array4<int> hist{"hist", 3, 3, 3, 2};
    EXPECT_DEATH(hist.resize(3, 3, 3, 3), "hist: extent 4 up to 3 beyond its limit 2");
}

} // namespace
} // namespace velm
