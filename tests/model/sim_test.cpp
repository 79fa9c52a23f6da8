#include "core/model/sim.h"

#include "core/driver/errors.h"
#include "core/driver/random.h"
#include "core/io/writers.h"

#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace velm {
namespace {

// Two runs in one process share nothing: tables, counters, streams and files
// of one run stay untouched by the other.
TEST(Sim, TwoRunsAreIndependent) {
    auto a = std::make_unique<Sim>();
    auto b = std::make_unique<Sim>();
    a->units.use_memory_files();
    b->units.use_memory_files();
    ASSERT_TRUE(a->units.open_write(kUnitRunLog, "runerr.out"));
    ASSERT_TRUE(b->units.open_write(kUnitRunLog, "runerr.out"));

    a->rndnum.inseed = 123;
    setseed(a->rndnum.seed, a->rndnum.inseed);
    float r = 0;
    random(a->rndnum.seed[1], r);
    a->errflg.errchk[30] = 1;
    a->set1.trnd(2) = 0.5f;
    a->control.t10 = 99;
    a->filenam.ftitle(5) = "incidents";
    listerr(*a, "inc.dat", 5, 3, kReadData, a->errcount.numerr);

    EXPECT_EQ(b->rndnum.seed[1], 0);
    EXPECT_EQ(b->rndnum.inseed, 0);
    EXPECT_EQ(b->errflg.errchk[30], 0);
    EXPECT_EQ(b->set1.trnd(2), 0.0f);
    EXPECT_EQ(b->control.t10, 0);
    EXPECT_EQ(b->filenam.ftitle(5), "");
    EXPECT_EQ(b->errcount.errt1, 0);
    EXPECT_EQ(b->errcount.numerr, 0);
    EXPECT_EQ(b->units.file_text("runerr.out"), "");
    EXPECT_NE(a->units.file_text("runerr.out"), "");
    EXPECT_EQ(a->errcount.errt1, 1);
}

// Resident memory of this process, bytes.
long resident_bytes() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// The tables are declared at the program's limits (hundreds of MB of trip,
// slot and path rows), but a run holds only what it writes: its small tables
// and the defaults its owners set, and freeing it gives its pages back (under
// the address sanitizer too, which marks freed heap blocks in its shadow).
TEST(Sim, ARunHoldsOnlyTheMemoryItWrites) {
    constexpr long kRunLimit = 32L << 20;
    const long     before = resident_bytes();
    auto           s = std::make_unique<Sim>();
    // Every index up to the limits is there.
    s->vehtre.vehtre(kMaxPathEntries, 3) = 1;
    s->vehicle.strtrp(kMaxTrips, 3) = 2.0f;
    EXPECT_EQ(s->vehtre.vehtre(kMaxPathEntries, 3), 1);
    EXPECT_EQ(s->vehicle.strtrp(kMaxTrips, 3), 2.0f);
    EXPECT_LT(resident_bytes() - before, kRunLimit);
    s.reset();
    auto next = std::make_unique<Sim>();
    EXPECT_EQ(next->vehtre.vehtre(kMaxPathEntries, 3), 0);
    EXPECT_LT(resident_bytes() - before, kRunLimit);
}

} // namespace
} // namespace velm
