#include "core/driver/profiler.h"

#include "core/io/writers.h"

#include <string>

namespace velm {

namespace {

// The profiler's clock in whole centiseconds.
int read_clock(Sim& s) {
    return static_cast<int>(s.platform.cpu_clock());
}

void reset(Sim& s) {
    auto& st = s.subtim;
    st.tottim.zero();
    st.pretim = read_clock(s);
    st.cclock = 0;
    st.lclock = 0;
    st.set_pacing(0);
}

void charge(Sim& s, int flag) {
    auto&     st = s.subtim;
    const int now = read_clock(s);
    if (now > st.pretim) {
        const int used = now - st.pretim;
        st.tottim(flag) += used;
        if (flag != static_cast<int>(Activity::stop_check)) st.cclock += used;
    }
    st.pretim = now;
}

void report(Sim& s) {
    const auto& tottim = s.subtim.tottim;
    long        total = 0;
    for (int i = 1; i <= kProfilerActivities; ++i) total += tottim(i);
    wfree(s.units, kUnitRunLog, "  ");
    wfree(s.units, kUnitRunLog, " C. Activity distribution : ");
    s.units.line(kUnitRunLog, "");
    if (total <= 0) return;
    for (int i = 1; i <= kProfilerActivities; ++i) {
        if (tottim(i) <= 0) continue;
        const float percent = 100.0f * static_cast<float>(tottim(i)) / static_cast<float>(total);
        const float seconds = static_cast<float>(tottim(i)) / 100.0f;
        s.units.line(kUnitRunLog, "    - activity " + fmt_i(i, 5) +
                                      " percent =" + fmt_f(percent, 7, 1) +
                                      "    - total: " + fmt_f(seconds, 7, 1));
    }
}

} // namespace

void stim(Sim& s, int flag) {
    if (s.probe != nullptr) [[unlikely]]
        s.probe->mark(flag);
    if (flag == kStimReset)
        reset(s);
    else if (flag >= 1 && flag <= kProfilerActivities)
        charge(s, flag);
    else if (flag == kStimReport)
        report(s);
}

} // namespace velm
