// The path store: clearing it, tracing a trip into a new block, the remaining
// part of a stored path, and the paths file written at the end of the run.
#include "core/routing/path_store.h"

#include "core/driver/errors.h"
#include "core/io/writers.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace routing {

namespace {
constexpr float kSlackShare = 0.1f; // spare entries per path link
} // namespace

int path_slack(int n) {
    const float spare = 1.0f + kSlackShare * static_cast<float>(n);
    return std::max(kMinPathSlack, static_cast<int>(std::floor(spare)));
}

int path_margin(int n) {
    return std::min(path_slack(n), 1 + std::max(n, 0) / 16);
}

bool hold_entries(Sim& s, int car, int last) {
    auto& st = s.vehtre;
    if (car < 1 || car > kMaxTrips) return false;
    const int first = st.tre_ind(car, 1);
    if (first < 1) return false;
    if (last <= st.tre_ind(car, 5)) return true;
    const int size = last - first + 1;
    // The margin stays within the trip's room, as when it was traced.
    const int room = st.tre_ind(car, 3) - first + 1;
    const int held = std::max(size, std::min(size + path_margin(size), room));
    const int to = st.nxtfre;
    if (static_cast<long>(to) + held - 1 > kMaxPathEntries) return false;
    // Every entry up to the path's end carries over: links, and the forecast's
    // entry and exit times.
    const int path_end = std::min(st.tre_ind(car, 2), st.tre_ind(car, 5));
    for (int c = 1; c <= 3; ++c)
        for (int e = first; e <= path_end; ++e) st.vehtre(to + e - first, c) = st.vehtre(e, c);
    const int shift = to - first;
    st.tre_ind(car, 1) += shift;
    st.tre_ind(car, 2) += shift;
    st.tre_ind(car, 3) = std::min(st.tre_ind(car, 3) + shift, kMaxPathEntries);
    st.tre_ind(car, 5) = to + held - 1;
    st.nxtfre = to + held;
    st.used = std::max(st.used, st.tre_ind(car, 5));
    return true;
}

std::string slot_file(const Sim& s, int slot) {
    std::string_view name = s.filenam.files(slot);
    name = name.substr(0, std::min(name.size(), static_cast<std::size_t>(kOpenNameChars)));
    return std::string(trim_right(name));
}

bool slot_off(std::string_view name) {
    return name.empty() || name == "NONE" || name == "none";
}

std::string output_file(const Sim& s, std::string_view name) {
    const int   lp = s.pathnam.lpath[2];
    std::string full = lp > 0 ? s.filenam.path2.substr(0, static_cast<std::size_t>(lp)) : "";
    return full + std::string(name);
}

} // namespace routing

namespace {

// tr_tree requests.
constexpr int kClear = 0;
constexpr int kTraceFromLink = 1;
constexpr int kTraceFromOrigin = 2;
constexpr int kWritePaths = 10;
// rem_path mode 2 traces the remainder anew; any other mode copies it.
constexpr int kRemainderTraced = 2;
// steplink ind of each caller: signs apply except for the trace from the origin.
constexpr int kStepFromLink = 1;
constexpr int kStepFromOrigin = 2;
constexpr int kStepRemainder = 3;

constexpr int kPathsSlot = 26;
constexpr int kPathsUnit = kUnitInput;
constexpr int kLinksPerRecord = 20;

void clear_store(Sim& s) {
    auto& st = s.vehtre;
    // Trips traced before lose their blocks, so none points into cleared entries.
    for (int k = 1; k <= st.trecar; ++k) {
        const int car = st.trelst(k, 1);
        if (car >= 1 && car <= kMaxTrips) {
            for (int c = 1; c <= 5; ++c) st.tre_ind(car, c) = 0;
            st.trelst(car, 2) = 0; // only traced trips have a rank
        }
    }
    const int used = std::min(st.used, kMaxPathEntries);
    if (used > 0) {
        std::fill_n(&st.vehtre(1, 1), used, 0);
        std::fill_n(&st.vehtre(1, 2), used, 0);
    }
    st.used = 0;
    st.nxtfre = 1;
    st.trecar = 0;
}

// Option switch 44 names the one trip whose tracing is written to the run
// log; a negative value traces every trip, 0 none.
constexpr int kTraceSwitch = 44;

bool traced_trip(const Sim& s, int car) {
    const int which = s.errflg.errchk[kTraceSwitch];
    return which < 0 || (which > 0 && which == car);
}

void trace(Sim& s, int car, int ind, int t) {
    auto& st = s.vehtre;
    if (car < 1 || car > kMaxTrips) return;
    if (st.nxtfre > kLastBlockStart) {
        Units& u = s.units;
        wfree(u, kUnitRunLog, " ----- ");
        wfree(u, kUnitRunLog, " Error in path tracing- vehicle:", car);
        wfree(u, kUnitRunLog, " array space for  mtrl=", kMaxPathEntries);
        wfree(u, kUnitRunLog, " is insufficient");
        s.errcount.errt1 += 1;
        fatal_error(s);
    }
    const int first = st.nxtfre;
    st.tre_ind(car, 1) = first;
    st.trecar += 1;
    st.trelst(st.trecar, 1) = car;
    st.trelst(car, 2) = st.trecar;

    int start = -s.vehicle.norig(car);
    int sign_rule = kStepFromOrigin;
    if (ind == kTraceFromLink) {
        const int vid = s.vehindx.vehid(car);
        start = vid >= 1 && vid <= kMaxVehicles ? s.oddat.curlnk(vid) : start;
        sign_rule = kStepFromLink;
    }
    const bool logged = traced_trip(s, car);
    // Before the step: time, trip, request, start link and the block's first entry.
    if (logged) wfree(s.units, kUnitRunLog, "tr_tree1-1:", t, car, ind, start, first);
    int   ldest = 0, n = 0;
    auto& path = st.path;
    steplink(s, car, t, ldest, start, path, n, sign_rule);
    for (int i = 0; i < n; ++i) {
        const int e = first + i;
        st.vehtre(e, 1) = path[static_cast<std::size_t>(i)];
        st.vehtre(e, 2) = -1; // not timed by the forecast yet
        st.vehtre(e, 3) = -1;
    }
    st.tre_ind(car, 2) = first + n - 1;
    // The room and the block of a path near the end of the table stop at the table.
    st.tre_ind(car, 3) = std::min(first + n + routing::path_slack(n), kMaxPathEntries + 1) - 1;
    st.nxtfre = std::min(first + n + routing::path_margin(n), kMaxPathEntries + 1);
    st.tre_ind(car, 5) = st.nxtfre - 1;
    st.used = std::max(st.used, st.tre_ind(car, 5));
    // After it: trip, destination link, links stored and the block's entries.
    if (logged)
        wfree(s.units, kUnitRunLog, "tr_tree2-1:", car, ldest, n, st.tre_ind(car, 1),
              st.tre_ind(car, 2), st.tre_ind(car, 3));
}

// Trip time of a completed trip (it entered the network and its expected
// link-exit time was reset at arrival); -1 for a trip still unfinished.
float trip_time(const Sim& s, int i) {
    const float entry = s.vehicle.strtrp(i, 2);
    const bool  entered = entry >= 0.0f && entry < static_cast<float>(kNever);
    if (entered && s.vehicle.dept(i) <= 0.0f) return s.vehicle.arrt(i) - s.vehicle.strtrp(i, 1);
    return -1.0f;
}

void write_paths(Sim& s) {
    Units&            u = s.units;
    const std::string name = routing::slot_file(s, kPathsSlot);
    if (routing::slot_off(name)) return;
    u.line(kUnitSummary, "    Individual Vehicle Paths:" + fmt_a(name, kOpenNameChars));
    const std::string file = routing::output_file(s, name);
    if (!u.open_write(kPathsUnit, file)) {
        wfree(u, kUnitRunLog, " Cannot create the vehicle paths file: ", file);
        output_not_written(s, file);
        return;
    }
    const auto& st = s.vehtre;
    wfree(u, kPathsUnit, " Individual Vehicle Paths ");
    u.line(kPathsUnit, fmt_i(st.trecar, 12));
    std::string line;
    for (int i = 1; i <= kMaxTrips; ++i) {
        const int first = st.tre_ind(i, 1), last = st.tre_ind(i, 2);
        if (first <= 0 || last >= kMaxPathEntries) continue;
        u.line(kPathsUnit, fmt_i(i, 12) + fmt_i(s.oddat.vtyp(i), 6) + fmt_i(s.vehicle.norig(i), 6) +
                               fmt_i(s.vehicle.ndest(i), 6) + fmt_i(last - first + 1, 6) +
                               fmt_f(s.vehicle.strtrp(i, 1), 12, 1) +
                               fmt_f(s.vehicle.strtrp(i, 2), 12, 1) +
                               fmt_f(trip_time(s, i), 12, 1));
        line.clear();
        int on_line = 0;
        for (int e = first; e <= last; ++e) {
            line += fmt_i(st.vehtre(e, 1), 6);
            if (++on_line == kLinksPerRecord) {
                u.line(kPathsUnit, line);
                line.clear();
                on_line = 0;
            }
        }
        if (on_line > 0) u.line(kPathsUnit, line);
    }
    u.close(kPathsUnit);
}

} // namespace

void tr_tree(Sim& s, int car, int ind, int t) {
    switch (ind) {
    case kClear:
        clear_store(s);
        break;
    case kTraceFromLink:
    case kTraceFromOrigin:
        trace(s, car, ind, t);
        break;
    case kWritePaths:
        write_paths(s);
        break;
    default:
        break;
    }
}

void rem_path(Sim& s, std::span<int> ipath, int& lpath, int car, int ind, int t) {
    lpath = 0;
    if (car < 1 || car > kMaxTrips || ipath.empty()) return;
    const auto& st = s.vehtre;
    const int   first = st.tre_ind(car, 1);
    const int   iend = st.tre_ind(car, 2);
    if (first < 1 || iend < first || iend > kMaxPathEntries) return; // no stored path
    const int istart = std::max(first + st.tre_ind(car, 4), first);
    const int gap = iend - istart;
    if (gap <= 0) {
        ipath[0] = st.vehtre(iend, 1);
        lpath = 1;
    } else if (gap == 1 && ipath.size() >= 2) {
        ipath[0] = st.vehtre(istart, 1);
        ipath[1] = st.vehtre(iend, 1);
        lpath = 2;
    } else if (ind == kRemainderTraced) {
        int ldest = 0;
        steplink(s, car, t, ldest, st.vehtre(istart, 1), ipath, lpath, kStepRemainder);
    } else {
        const int n = std::min(gap + 1, static_cast<int>(ipath.size()));
        for (int i = 0; i < n; ++i) ipath[static_cast<std::size_t>(i)] = st.vehtre(istart + i, 1);
        lpath = n;
    }
}

} // namespace velm
