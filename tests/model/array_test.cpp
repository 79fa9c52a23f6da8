#include "core/model/array.h"
#include "core/model/prefetch.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
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
#endif

} // namespace
} // namespace velm
