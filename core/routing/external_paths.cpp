// External paths: the routing trees of master slots 8 and 9 loaded period by
// period, and after each load the trips of the slot's routing method that
// depart in that period traced on them into the path store.
#include "core/io/writers.h"
#include "core/routing/routing.h"
#include "core/routing/tree_schedule.h"

#include <algorithm>

namespace velm {

namespace {

constexpr int kTraceFromOrigin = 2; // tr_tree: trace a trip from its origin
constexpr int kOpenFile = 1;        // read8: open the file and read its header first
constexpr int kNextPeriod = 2;      // read8: the next period of the open file
constexpr int kLastSecond = 86400;  // the last period ends here, and no window beyond it

} // namespace

void loadpath(Sim& s, int imet, int t1, int t2) {
    const int tdemand = std::min(s.set2.tdemand, kMaxTrips);
    for (int i = 1; i <= tdemand; ++i) {
        const int vt = s.oddat.vtyp(i);
        if (vt < 1 || vt > kClasses || s.set1.tremet(vt) != imet) continue;
        const float dep = s.vehicle.strtrp(i, 1);
        if (dep < 0.0f || dep >= static_cast<float>(t2) + 1.0f) continue;
        const int t3 = static_cast<int>(dep);
        // A departure at a period's start belongs to the period before; one
        // at 0 s to the first.
        if (t3 > t2 || (t3 <= t1 && !(t1 == 0 && t3 == 0))) continue;
        tr_tree(s, i, kTraceFromOrigin, t3);
    }
}

void read_f(Sim& s, int fnum) {
    Units& u = s.units;
    if (fnum != 8 && fnum != 9) {
        wfree(u, kUnitRunLog, " read_f: slot", fnum, " holds no external trees");
        return;
    }
    const int imet = fnum == 8 ? routing::kExternalSlot8Method : routing::kExternalSlot9Method;
    const std::string name(s.filenam.files(fnum));
    int               ok = 0, np = 0, pdur = 0, pernum = 0;
    read8(s, name, kOpenFile, ok, np, pdur, pernum, fnum);
    if (ok == 1 && (np < 1 || pdur < 1)) {
        // The header promises no period a trip could depart in.
        wfree(u, kUnitRunLog, " External tree file of slot", fnum, " gives", np, " periods of",
              pdur, " s: no trip traced");
        ++s.errcount.numerr;
        s.pathnam.filuse[static_cast<std::size_t>(fnum)] = 0;
        ok = 0;
    }
    for (int i = 1; ok == 1 && i <= np; ++i) {
        const long t1 = static_cast<long>(i - 1) * pdur;
        if (t1 >= kLastSecond) break;
        const int t2 =
            i == np ? kLastSecond
                    : static_cast<int>(std::min<long>(static_cast<long>(i) * pdur, kLastSecond));
        loadpath(s, imet, static_cast<int>(t1), t2);
        if (i == np) break;
        read8(s, name, kNextPeriod, ok, np, pdur, pernum, fnum);
        if (ok != 1)
            wfree(u, kUnitRunLog, " External tree file of slot", fnum, ": period", i + 1,
                  " not loaded; trips departing from", t2, " s on are not traced here");
    }
    if (u.is_open(kUnitInput)) u.close(kUnitInput);
}

} // namespace velm
