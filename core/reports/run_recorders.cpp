// The run's time series: system link times every 30 s, the demand counters
// and the processor time every simulated minute, and each vehicle's travelled
// distance every 5 s in a ring of ten samples.
#include "core/model/codes.h"
#include "core/reports/reports.h"

namespace velm {

namespace {

inline constexpr int   kTicksPerMinute = 600;
inline constexpr int   kTicksPerSample = 50;        // distance samples every 5 s
inline constexpr int   kDistanceSamples = 10;       // dis_his(vid, 1..10)
inline constexpr float kCapacityScale = 1800000.0f; // capout (ms) x flow into a share of fretim

static_assert(kCpuMinutes == kRecordedMinutes, "cputim is kept in the minute ring");

// Run minute of tick t10 (1 = the first minute, time 0 included).
int minute_of(int t10) {
    return t10 / kTicksPerMinute + 1;
}

} // namespace

void systimer(Sim& s) {
    const auto& l1 = s.link1;
    auto&       d = s.delay;
    for (int i = 1; i <= s.link2.mlnum; ++i) {
        if (s.link4.llength(i) < 0.0f) continue;
        const int flow = l1.flow(i);
        if (flow <= 0)
            d.systim(i) = d.fretim(i);
        else
            d.systim(i) = d.ttlink(i, 1) + d.fretim(i) * static_cast<float>(flow) *
                                               static_cast<float>(l1.capout(i)) / kCapacityScale;
    }
}

void arrival(Sim& s, int t10, int tdep, int totin, int tenr, int tarr) {
    auto&     a = s.arrivals;
    const int m = minute_ring_slot(a.lastmin, minute_of(t10), [&a](int slot) {
        a.cdept(slot) = a.cdefr(slot) = a.cenrt(slot) = a.carri(slot) = 0;
    });
    a.cdept(m) = tdep;
    a.cdefr(m) = totin;
    a.cenrt(m) = tenr;
    a.carri(m) = tarr;
}

void cputime(Sim& s, int t10) {
    auto&     cputim = s.subtim.cputim;
    const int m = minute_ring_slot(s.arrivals.lastcpu, minute_of(t10),
                                   [&cputim](int slot) { cputim(slot) = 0; });
    cputim(m) = s.subtim.cclock / 10;
}

void dis_rep(Sim& s, int t10) {
    const auto& l2 = s.link2;
    auto&       his = s.vehplot.dis_his;
    const int   slot = (t10 / kTicksPerSample) % kDistanceSamples + 1;
    for (int i = 1; i <= l2.mlnum; ++i) {
        const int n = l2.ntqu(i);
        if (n <= 0 || !(s.link4.llength(i) > 0.0f)) continue;
        for (int k = 1; k <= n; ++k) {
            const int car = s.vehicle.big(l2.nbqu(i) + k);
            his(s.vehindx.vehid(car), slot) =
                static_cast<int>(kMetresPerKm * s.vehplot.trpdst(car, 1));
        }
    }
}

} // namespace velm
