// A read of a unit with no input file open ends the run through the
// fatal-error path: counted, named in the run log, the box shown, files closed.
#include "core/driver/read_faults.h"

#include "core/driver/driver.h"
#include "core/driver/errors.h"
#include "core/io/writers.h"
#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace velm {
namespace {

struct ReadFaults : ::testing::Test {
    std::string          console;
    std::unique_ptr<Sim> s = support::memory_sim(&console);
};

TEST_F(ReadFaults, ReadOfAnUnopenedUnitEndsTheRunAsAFatalError) {
    ASSERT_TRUE(s->units.open_write(kUnitRunLog, "runerr.out"));
    route_read_faults(*s);
    EXPECT_THROW(s->units.in(kUnitInput), FatalRunError);
    EXPECT_GE(s->errcount.errt1, 1);
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_NE(log.find(free_line(" Unit", kUnitInput, " was read but holds no input file")),
              std::string::npos)
        << log;
    EXPECT_NE(console.find("Terminating"), std::string::npos) << "no termination box";
    EXPECT_FALSE(s->units.is_open(kUnitRunLog)) << "the run's files stay open";
}

// Without a run log the fault is still a fatal error, not an abort.
TEST_F(ReadFaults, WithoutARunLogTheFaultStillEndsTheRun) {
    route_read_faults(*s);
    EXPECT_THROW(s->units.in(kUnitSignals), FatalRunError);
    EXPECT_GE(s->errcount.errt1, 1);
}

// Every run sets the handler before it opens a file.
TEST_F(ReadFaults, EveryRunRoutesItsReadFaults) {
    s->master.mastfile = "absent.master";
    velmorantis(*s, 1);
    EXPECT_THROW(s->units.in(kUnitInput), FatalRunError);
}

} // namespace
} // namespace velm
