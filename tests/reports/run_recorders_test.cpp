// Run recorders: system link times, the per-minute demand and processor-time
// series with their ring past 2000 minutes, and the 5-s distance ring.
#include "core/reports/reports.h"

#include "movement/movement_fixture.h"

#include <gtest/gtest.h>

namespace velm {
namespace {

using testing_movement::MoveRun;

TEST(SystemLinkTimes, FreeFlowWithoutTrafficElseMeasuredPlusCapacityTerm) {
    MoveRun r;
    Sim&    s = r.s;
    r.link(1, 2);
    r.link(2, 2);
    s.link2.mlnum = 3; // link 3 is not coded
    s.delay.fretim(1) = 30.0f;
    s.delay.ttlink(1, 1) = 55.0f; // a link nobody has left yet keeps its free-flow time
    s.delay.fretim(2) = 20.0f;
    s.delay.ttlink(2, 1) = 40.0f;
    s.delay.ttlink(2, 2) = 90.0f; // other classes do not count
    s.link1.flow(2) = 10;
    s.link1.capout(2) = 2000;
    s.delay.systim(3) = -5.0f;
    systimer(s);
    EXPECT_FLOAT_EQ(s.delay.systim(1), 30.0f);
    EXPECT_FLOAT_EQ(s.delay.systim(2), 40.0f + 20.0f * 10.0f * 2000.0f / 1800000.0f);
    EXPECT_EQ(s.delay.systim(3), -5.0f);
}

// The four demand series and the processor-time series at one slot.
struct MinuteEntry {
    int  dept, defr, enrt, arri, cpu;
    bool operator==(const MinuteEntry&) const = default;
};
MinuteEntry at(const Sim& s, int m) {
    const auto& a = s.arrivals;
    return {a.cdept(m), a.cdefr(m), a.cenrt(m), a.carri(m), s.subtim.cputim(m)};
}
void record(Sim& s, int minute, int base) {
    s.subtim.cclock = 10 * base + 9; // hundredths; the series keeps tenths
    const int t10 = (minute - 1) * 600;
    cputime(s, t10);
    arrival(s, t10, base + 1, base + 2, base + 3, base + 4);
}

TEST(MinuteSeries, MinuteMGoesToItsRingSlotClearedFirst) {
    MoveRun r;
    Sim&    s = r.s;
    record(s, 1, 100); // time 0
    EXPECT_EQ(at(s, 1), (MinuteEntry{101, 102, 103, 104, 100}));
    record(s, 6, 500);
    EXPECT_EQ(at(s, 6), (MinuteEntry{501, 502, 503, 504, 500}));
    record(s, 2000, 700);
    record(s, 2001, 900); // wraps to slot 1
    EXPECT_EQ(at(s, 1), (MinuteEntry{901, 902, 903, 904, 900}));
    EXPECT_EQ(at(s, 2000), (MinuteEntry{701, 702, 703, 704, 700}));
    // Minutes 2002..2006 skipped: their slots lose minutes 2..6, then 2007
    // writes slot 7.
    record(s, 2007, 300);
    EXPECT_EQ(at(s, 6), (MinuteEntry{0, 0, 0, 0, 0}));
    EXPECT_EQ(at(s, 7), (MinuteEntry{301, 302, 303, 304, 300}));
}

TEST(DistanceRing, FiveSecondSamplesInTenSlots) {
    MoveRun r;
    Sim&    s = r.s;
    r.link(1, 1);
    const int vid = r.place(4, 1, 1, 10.0f);
    const struct {
        int   t10;
        float km;
        int   slot, metres;
    } cases[] = {{0, 0.0155f, 1, 15},
                 {50, 1.2345f, 2, 1234},
                 {450, 2.0f, 10, 2000},
                 {500, 2.5009f, 1, 2500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t10);
        s.vehplot.trpdst(4, 1) = c.km;
        dis_rep(s, c.t10);
        EXPECT_EQ(s.vehplot.dis_his(vid, c.slot), c.metres);
    }
    EXPECT_EQ(s.vehplot.dis_his(vid, 2), 1234); // untouched by the sample at 50 s
}

} // namespace
} // namespace velm
