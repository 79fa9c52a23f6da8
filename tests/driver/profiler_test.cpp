// The profiler: reset, charging against the processor clock, the stop check
// kept out of the run's clock, and the activity report.
#include "driver/loop_fixture.h"

#include "core/driver/profiler.h"

#include <gmock/gmock.h>

namespace velm {
namespace {

using ::testing::ElementsAre;
using velm::testing::lines_of;
using velm::testing::LoopRun;

TEST(Profiler, ResetStartsFromTheClockAndClearsEveryCount) {
    LoopRun run;
    Sim&    s = run.s;
    s.subtim.tottim(9999) = 5;
    s.subtim.cclock = 7;
    s.subtim.lclock = 8;
    s.subtim.set_pacing(100);
    run.clock = 4321;
    stim(s, kStimReset);
    EXPECT_EQ(s.subtim.tottim(9999), 0);
    EXPECT_EQ(s.subtim.pretim, 4321);
    EXPECT_EQ(s.subtim.cclock, 0);
    EXPECT_EQ(s.subtim.lclock, 0);
    EXPECT_EQ(s.subtim.pacing(), 0);
}

TEST(Profiler, ChargesTheTimeSinceThePreviousCall) {
    struct Step {
        long clock;
        int  flag;
        int  tottim; // of that flag afterwards
        int  cclock;
    };
    const Step steps[] = {
        {130, 245, 30, 30},  // 30 cs to activity 245
        {130, 246, 0, 30},   // the clock did not advance: nothing
        {125, 246, 0, 30},   // a clock that went back charges nothing either
        {135, 630, 10, 30},  // the stop check: charged, but not to the run's clock
        {140, 245, 35, 35},  // adds up
        {150, 10000, 0, 35}, // outside 1..9999: nothing at all
        {160, -2, 0, 35},    // neither
        {170, 1, 30, 65},    // from the last charged reading (140)
    };
    LoopRun run;
    Sim&    s = run.s;
    run.clock = 100;
    stim(s, kStimReset);
    for (const auto& st : steps) {
        run.clock = st.clock;
        stim(s, st.flag);
        if (st.flag >= 1 && st.flag <= kProfilerActivities) {
            EXPECT_EQ(s.subtim.tottim(st.flag), st.tottim) << st.clock;
        }
        EXPECT_EQ(s.subtim.cclock, st.cclock) << st.clock;
    }
}

TEST(Profiler, ReportListsActivitiesWithTimeInIncreasingOrder) {
    LoopRun run;
    Sim&    s = run.s;
    s.subtim.tottim(120) = 100;
    s.subtim.tottim(110) = 300;
    stim(s, kStimReport);
    EXPECT_THAT(lines_of(run.log()),
                ElementsAre("   ", "  C. Activity distribution : ", "",
                            "    - activity   110 percent =   75.0    - total:     3.0",
                            "    - activity   120 percent =   25.0    - total:     1.0"));
}

TEST(Profiler, ReportOfARunWithoutChargedTimeHasOnlyItsHeading) {
    LoopRun run;
    stim(run.s, kStimReport);
    EXPECT_THAT(lines_of(run.log()), ElementsAre("   ", "  C. Activity distribution : ", ""));
}

} // namespace
} // namespace velm
