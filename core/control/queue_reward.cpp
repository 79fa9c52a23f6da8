// Queue-reward signal control: signals listed in "input_NBsig.dat" choose the
// phase to serve at regular decision instants from the queues at their
// approaches, and their phase times are rewritten so that the chosen phase is
// green from that instant for one decision interval.
//
// Each record of the file: record number, signal, number of approaches a,
// a detector stations (one per approach, on the approach link), a through-lane
// counts, number of phases q, q threat points, q weights, the decision
// interval (s) and the priority phase. A record that cannot be used stops the
// reader with a coded run-log line; the complete records before it run.
#include "core/control/control.h"
#include "core/control/signal_indications.h"
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/routing/path_store.h" // output_file

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

constexpr const char* kNbFile = "input_NBsig.dat";
constexpr const char* kNbCodeFile = "NB_output_Code.txt"; // created empty, as the run's marker
constexpr int         kUnitNbCode = 1000;

// Codes of the run-log line that stops the reader.
constexpr int kErrRead = 611010;         // the file ends early or a value is not a number
constexpr int kErrCount = 611020;        // record count outside 0..500
constexpr int kErrRecordNumber = 611030; // records not numbered 1, 2, ... in order
constexpr int kErrSignal = 611040;       // signal not coded in the plan, or listed twice
constexpr int kErrApproach = 611050;     // approach count, station, its link or lane count
constexpr int kErrPhases = 611060;       // phase count (1..6, the plan's at most) or priority
constexpr int kErrScoring = 611070;      // threat point not above 0 or negative weight
constexpr int kErrPhaseLinks = 611080;   // more approach links in one phase than the tables hold

constexpr float  kZoneMetres = 66.0f; // queue zone before the stop line, m
constexpr float  kStoppedKmh = 4.5f;  // below this smoothed speed a vehicle counts as stopped
constexpr int    kSaturationFlow = 6; // spdvol(l, 6): saturation flow per lane, veh/h
constexpr double kSecondsPerHour = 3600.0;

// One record as read, before it is stored.
struct NbRecord {
    int                                n = 0, sig = 0, a = 0, q = 0;
    std::array<int, kNbApproaches + 1> det{}, link{}, lanes{};
    std::array<float, kMaxPhases + 1>  threat{}, weight{};
    float                              invl = 0.0f, prior = 0.0f;
    // Phase links in the order of the approaches and of their phase slots.
    std::array<int, kNbPhaseRows + 1>                                nlinks{};
    std::array<std::array<int, kNbPhaseLinks + 1>, kNbPhaseRows + 1> plink{};
    std::array<std::array<int, kNbPhaseLinks + 1>, kNbPhaseRows + 1> pmove{};
};

class NbReader {
  public:
    NbReader(Sim& s, FreeReader& in) : s_(s), in_(in) {}
    // Reads the file; false after a record or read that stopped the reader.
    bool read_all();
    int  line() const { return line_; }

  private:
    // The run-log line that stops the reader: file, code, line and reason.
    template <class... T> bool fail(int code, const T&... reason) {
        line_ = in_.line();
        wfree(s_.units, kUnitRunLog, kNbFile, " Error", code, "at line", line_, "- ", reason...);
        return false;
    }
    // The next value of the record; a missing or bad value, or a record that
    // a "/" cuts short, stops the reader.
    template <class T> bool get(T& v, const char* what) {
        const ReadResult r = in_.next(v);
        if (r == ReadResult::ok && !in_.slashed()) return true;
        return fail(kErrRead, std::string(r == ReadResult::end_of_file ? "the file ends before "
                                          : r == ReadResult::ok        ? "the record ends before "
                                                                       : "not a number: ") +
                                  what);
    }
    bool read_record(int i, NbRecord& r);
    bool read_approaches(NbRecord& r);
    bool read_phases(NbRecord& r);
    bool phase_links(NbRecord& r);
    void store(int i, const NbRecord& r);

    Sim&        s_;
    FreeReader& in_;
    int         line_ = 0;
};

bool NbReader::read_all() {
    auto&       nb = s_.nbsig;
    std::string title;
    if (!in_.text_line(title)) return fail(kErrRead, "the file has no title line");
    int count = 0, fmt = 0;
    in_.start_record();
    if (!get(count, "the record count") || !get(fmt, "the control switch")) return false;
    nb.fmt_nbsig = fmt;
    if (count < 0 || count > kMaxSignals)
        return fail(kErrCount, "record count " + std::to_string(count) + " is not within 0..500");
    for (int i = 1; i <= count; ++i) {
        NbRecord r;
        if (!read_record(i, r)) return false;
        store(i, r);
    }
    return true;
}

bool NbReader::read_record(int i, NbRecord& r) {
    const auto& sg = s_.signal;
    in_.start_record();
    if (!get(r.n, "the record number")) return false;
    if (r.n != i)
        return fail(kErrRecordNumber, "record number " + std::to_string(r.n) + " where " +
                                          std::to_string(i) + " is due");
    if (!get(r.sig, "the signal number")) return false;
    const std::string sig = "signal " + std::to_string(r.sig);
    // The tables are sized to the plan's signals: a signal the plan does not
    // code has neither phases nor a cycle to rewrite.
    if (r.sig < 1 || r.sig > sg.msignal || r.sig > kMaxSignals || sg.cycle(r.sig) < 0.0f)
        return fail(kErrSignal, sig + " is not coded in the signal plan");
    if (s_.nbsig.nbsig_flag(r.sig) == 1) return fail(kErrSignal, sig + " has a record already");
    return read_approaches(r) && read_phases(r) && phase_links(r);
}

bool NbReader::read_approaches(NbRecord& r) {
    const auto&       dl = s_.detloc;
    const std::string sig = "signal " + std::to_string(r.sig);
    if (!get(r.a, "the number of approaches")) return false;
    if (r.a < 1 || r.a > kNbApproaches)
        return fail(kErrApproach,
                    sig + ": " + std::to_string(r.a) + " approaches, not within 1..4");
    for (int j = 1; j <= r.a; ++j) {
        int& d = r.det[static_cast<std::size_t>(j)];
        if (!get(d, "a detector station")) return false;
        const std::string st =
            sig + ", approach " + std::to_string(j) + ": station " + std::to_string(d);
        if (d < 1 || d > dl.mdetloc || d > kMaxDetectors || dl.dettyp(d) <= 0)
            return fail(kErrApproach, st + " is not an active detector station");
        const int l = dl.detlink(d);
        if (l < 1 || l > s_.link2.mlnum || l > kMaxLinks || !(s_.link4.llength(l) > 0.0f))
            return fail(kErrApproach, st + " lies on no coded link");
        // The phases of the approach are those of its link's own signal.
        if (std::abs(s_.link3.tsignal(l)) != r.sig)
            return fail(kErrApproach, st + " lies on link " + std::to_string(l) +
                                          ", which does not end at the signal");
        if (s_.link1.nulans(l) > kMaxLinkLanes)
            return fail(kErrApproach,
                        st + ": link " + std::to_string(l) + " has more than 7 lanes");
        for (int k = 1; k < j; ++k)
            if (r.link[static_cast<std::size_t>(k)] == l)
                return fail(kErrApproach, st + " lies on link " + std::to_string(l) +
                                              " of approach " + std::to_string(k) + " too");
        r.link[static_cast<std::size_t>(j)] = l;
    }
    for (int j = 1; j <= r.a; ++j) {
        int& h = r.lanes[static_cast<std::size_t>(j)];
        if (!get(h, "a through-lane count")) return false;
        const int l = r.link[static_cast<std::size_t>(j)];
        if (h < 0 || h > s_.link1.nulans(l))
            return fail(kErrApproach, sig + ", approach " + std::to_string(j) + ": " +
                                          std::to_string(h) + " through lanes on link " +
                                          std::to_string(l) + " of " +
                                          std::to_string(s_.link1.nulans(l)) + " lanes");
    }
    return true;
}

bool NbReader::read_phases(NbRecord& r) {
    const std::string sig = "signal " + std::to_string(r.sig);
    if (!get(r.q, "the number of phases")) return false;
    if (r.q < 1 || r.q > kMaxPhases)
        return fail(kErrPhases, sig + ": " + std::to_string(r.q) + " phases, not within 1..6");
    // A chosen phase the plan does not run would show no green at all.
    if (r.q > s_.signal.phases(r.sig))
        return fail(kErrPhases, sig + ": " + std::to_string(r.q) + " phases, its plan runs " +
                                    std::to_string(s_.signal.phases(r.sig)));
    // Every factor of a score must stay below zero for the choice to rank
    // the phases by their queues: threat points above 0, weights not negative.
    for (int p = 1; p <= r.q; ++p) {
        float& v = r.threat[static_cast<std::size_t>(p)];
        if (!get(v, "a threat point")) return false;
        if (!(v > 0.0f))
            return fail(kErrScoring, sig + ", phase " + std::to_string(p) + ": threat point", v,
                        " is not above 0");
    }
    for (int p = 1; p <= r.q; ++p) {
        float& v = r.weight[static_cast<std::size_t>(p)];
        if (!get(v, "a weight")) return false;
        if (v < 0.0f)
            return fail(kErrScoring, sig + ", phase " + std::to_string(p) + ": weight", v,
                        " is negative");
    }
    if (!get(r.invl, "the decision interval") || !get(r.prior, "the priority phase")) return false;
    const int prior = netin::trunc_sat(r.prior);
    if (prior < 1 || prior > r.q)
        return fail(kErrPhases, sig + ": priority phase " + std::to_string(prior) +
                                    " is not one of its " + std::to_string(r.q) + " phases");
    return true;
}

// The links discharging in each phase, from the phase slots of the approach
// links; a slot's sign only marks a left-turn-only movement.
bool NbReader::phase_links(NbRecord& r) {
    const auto& phase = s_.link3.phase;
    for (int j = 1; j <= r.a; ++j) {
        const int l = r.link[static_cast<std::size_t>(j)];
        for (int k = 1; k <= kPhaseSlots; ++k) {
            const int p = std::abs(phase(l, k, 1));
            if (p < 1 || p > kNbPhaseRows) continue;
            const auto up = static_cast<std::size_t>(p);
            const int  m = ++r.nlinks[up];
            if (m > kNbPhaseLinks)
                return fail(kErrPhaseLinks, "signal " + std::to_string(r.sig) + ", phase " +
                                                std::to_string(p) +
                                                ": more than 4 approach links discharge in it");
            const int code = std::abs(phase(l, k, 2));
            const int left = (code / 100) % 10 != 0 ? 1 : 0;
            const int through = (code / 10) % 10 != 0 ? 1 : 0;
            r.plink[up][static_cast<std::size_t>(m)] = l;
            r.pmove[up][static_cast<std::size_t>(m)] = 2 * left + through;
        }
    }
    return true;
}

void NbReader::store(int i, const NbRecord& r) {
    auto&     nb = s_.nbsig;
    const int sg = r.sig;
    nb.nnb_lnk(sg) = r.a;
    nb.nnb_phs(sg) = r.q;
    for (int j = 1; j <= r.a; ++j) {
        const auto uj = static_cast<std::size_t>(j);
        nb.sig_det(sg, j) = r.det[uj];
        nb.sig_lan(sg, j) = r.lanes[uj];
        nb.sig_lnk(sg, j) = r.link[uj];
        nb.lnk_ord(r.link[uj]) = j;
    }
    for (int p = 1; p <= r.q; ++p) {
        nb.nb_threat(sg, p) = r.threat[static_cast<std::size_t>(p)];
        nb.nbsig_wgt(sg, p) = r.weight[static_cast<std::size_t>(p)];
    }
    for (int p = 1; p <= kNbPhaseRows; ++p) {
        const auto up = static_cast<std::size_t>(p);
        nb.tnbsig(sg, p, 1) = r.nlinks[up];
        for (int m = 1; m <= r.nlinks[up]; ++m) {
            nb.tnbsig(sg, p, m + 1) = r.plink[up][static_cast<std::size_t>(m)];
            nb.mnbsig(sg, p, m) = r.pmove[up][static_cast<std::size_t>(m)];
        }
    }
    nb.nbsig_invl(sg) = r.invl;
    nb.phprior(sg) = r.prior;
    nb.nbsig_flag(sg) = 1;
    nb.nbsig_num(i) = sg;
    nb.nnbsig = i;
}

// --- decisions ---------------------------------------------------------------

// A time in whole ticks; beyond a million years it stays there (an interval
// that long never falls due).
long ticks(float seconds) {
    constexpr double kFar = 3.2e14; // ticks
    return std::lround(std::clamp(10.0 * static_cast<double>(seconds), -kFar, kFar));
}

struct PhaseQueue {
    double r1 = 0.0; // served-queue reward
    double r2 = 0.0; // unserved-queue reward
    int    c = 0;    // stopped vehicles on the phase's last listed link
};

// Adds link l (movement class v) of a phase of signal sg to its rewards.
void add_link(const Sim& s, int sg, int l, int v, PhaseQueue& pq) {
    const auto& nb = s.nbsig;
    const int   j = nb.lnk_ord(l);
    const int   d = nb.sig_det(sg, j);
    const int   h = nb.sig_lan(sg, j);
    const int   n = std::min(s.link1.nulans(l), kMaxLinkLanes);
    const float len = 1000.0f * s.link4.llength(l);
    const float zone = std::min(len / 2.0f, kZoneMetres);

    // In-zone, stopped, and in-zone down to the lane's first stopped vehicle.
    std::array<int, kMaxLinkLanes + 1> in{}, stopped{}, ahead{};
    const auto&                        big = s.vehicle.big;
    const int                          base = s.link2.nbqu(l);
    for (int i = 1; i <= s.link2.ntqu(l); ++i) {
        const int vid = s.vehindx.vehid(big(base + i));
        // Front first: the first vehicle beyond the zone ends the walk.
        if (!(len - s.vehplot.dis(vid, 1) < zone)) break;
        const int e = s.oddat.vlan(vid, 1);
        if (e < 1 || e > kMaxLinkLanes) continue;
        const auto ue = static_cast<std::size_t>(e);
        ++in[ue];
        if (s.vehplot.spd(vid, 4) < kStoppedKmh && ++stopped[ue] == 1) ahead[ue] = in[ue];
    }

    int lo = 1, hi = 0;
    if (v == kNbThrough)
        hi = h;
    else if (v == kNbLeft)
        lo = h + 1, hi = n;
    else if (v == kNbLeftThrough)
        hi = n;
    int    ss = 0, aa = 0;
    double q = 0.0;
    for (int e = lo; e <= hi; ++e) {
        ss += stopped[static_cast<std::size_t>(e)];
        aa += ahead[static_cast<std::size_t>(e)];
        q += static_cast<double>(s.detloc.lndt(d, 2, 1, e));
    }
    const double invl = static_cast<double>(nb.nbsig_invl(sg));
    const double sat = static_cast<double>(s.link1.spdvol(l, kSaturationFlow));
    pq.r1 += ss + (q - sat * h) * invl / kSecondsPerHour;
    pq.r2 += ss + aa + invl * q / kSecondsPerHour;
    pq.c = ss;
}

// The phase with the best score. With every reward at least 0 and every
// threat point above 0 each factor (weight x -reward - threat) is negative,
// so the sign of a product is that of (-1)^q: scores are compared with that
// sign taken off, which makes the best phase the one whose service leaves the
// smallest weighted queues whatever the number of phases. Equal scores
// everywhere give the priority phase.
int best_phase(const Sim& s, int sg, const std::array<PhaseQueue, kNbPhaseRows + 1>& pq) {
    const auto&  nb = s.nbsig;
    const int    q = nb.nnb_phs(sg);
    const double sign = q % 2 == 1 ? 1.0 : -1.0;
    double       best_key = 0.0, low_key = 0.0;
    int          best = 1;
    for (int p = 1; p <= q; ++p) {
        double f = 1.0;
        for (int k = 1; k <= q; ++k) {
            const auto&  r = pq[static_cast<std::size_t>(k)];
            const double u = -(k == p ? std::max(r.r1, 0.0) : r.r2);
            f *= static_cast<double>(nb.nbsig_wgt(sg, k)) * u -
                 static_cast<double>(nb.nb_threat(sg, k));
        }
        const double key = sign * f;
        if (p == 1) {
            best_key = low_key = key;
            continue;
        }
        // Only a strictly better score replaces: the lowest of equal phases wins.
        if (key > best_key) {
            best_key = key;
            best = p;
        }
        low_key = std::min(low_key, key);
    }
    if (best_key == low_key) return netin::trunc_sat(nb.phprior(sg));
    return best;
}

// The wait counters after a decision for phase c; a phase that has waited
// its limit with vehicles standing takes the green instead.
int served_phase(Sim& s, int sg, int c, const std::array<PhaseQueue, kNbPhaseRows + 1>& pq) {
    auto&     wait = s.nbsig.nbwait;
    const int q = s.nbsig.nnb_phs(sg);
    for (int p = 1; p <= q; ++p)
        wait(sg, p) = p == c || pq[static_cast<std::size_t>(p)].c == 0 ? 0.0f : wait(sg, p) + 1.0f;
    // At or past the limit: two phases reaching it at one decision are
    // served at consecutive ones, neither is passed over for good.
    for (int p = 1; p <= q; ++p)
        if (wait(sg, p) >= static_cast<float>(kNbWaitLimit)) {
            wait(sg, p) = 0.0f;
            return p;
        }
    return c;
}

// The phase changes of signal sg as run: its current phase (holding the green
// or its intergreen) and the one before it, each with its green start, green
// end (-1 while green) and intergreen end, in ticks.
struct PhaseRun {
    int phase = 0, green_from = 0, green_to = -1, clear_at = 0;
};

PhaseRun run_of(const Sim& s, int sg, int first) {
    const auto& r = s.nbsig.nbrun;
    return {r(sg, first), r(sg, first + 1), r(sg, first + 2), r(sg, first + 3)};
}

void keep_run(Sim& s, int sg, int first, const PhaseRun& p) {
    auto& r = s.nbsig.nbrun;
    r(sg, first) = p.phase;
    r(sg, first + 1) = p.green_from;
    r(sg, first + 2) = p.green_to;
    r(sg, first + 3) = p.clear_at;
}

constexpr int kRunNow = 1;    // nbrun columns of the current phase
constexpr int kRunBefore = 5; // and of the phase before it

// The cycle position (s) of tick k, seen from the decision at tick T and
// position x: 0 for a tick before this cycle began, z for one after it ends.
float position(long k, long T, float x, float z) {
    return std::clamp(x + static_cast<float>(k - T) / 10.0f, 0.0f, z);
}

// The window (green start, green end, intergreen end) of a run in the cycle.
void set_window(Sim& s, int sg, const PhaseRun& p, long T, float x) {
    auto&       sig = s.signal;
    const float z = sig.cycle(sg);
    const int   c = p.phase;
    const long  to = p.green_to < 0 ? p.clear_at - ticks(sig.intgrn(sg, c)) : p.green_to;
    sig.phstr(sg, c, 1) = position(p.green_from, T, x, z);
    sig.phstr(sg, c, 2) = position(to, T, x, z);
    sig.phstr(sg, c, 3) = position(p.clear_at, T, x, z);
}

// The phase times after a decision for phase c at tick T (cycle position x).
// The phase running before keeps its minimum green and then its intergreen;
// c turns green once that intergreen has passed, for one interval and its own
// intergreen (cut at the cycle end: the next cycle's first decision goes on
// from there). Phases that ran earlier in this cycle keep their windows;
// every other phase gets an empty one. No two windows overlap.
void rewrite_times(Sim& s, int sg, int c, long T, float x) {
    auto&       sig = s.signal;
    auto&       ph = sig.phstr;
    const int   q = s.nbsig.nnb_phs(sg);
    const float z = sig.cycle(sg);
    const long  invl = ticks(s.nbsig.nbsig_invl(sg));
    PhaseRun    now = run_of(s, sg, kRunNow);
    PhaseRun    before = run_of(s, sg, kRunBefore);
    if (now.phase < 1 || now.phase > q) {
        // The first decision: the plan's phase in force runs on as if it had
        // had its minimum green.
        now = {};
        const int p = sig.sigstat(sg, 1);
        if (p >= 1 && p <= q) {
            now.phase = p;
            now.green_from = static_cast<int>(T - ticks(sig.mingrn(sg, p, 1)));
            now.green_to = sig.sigstat(sg, 2) == kSignalGreen ? -1 : static_cast<int>(T);
            now.clear_at = static_cast<int>(T + (now.green_to < 0 ? 0 : ticks(sig.intgrn(sg, p))));
        }
    }
    // No phase leaves the green before its minimum.
    if (now.phase >= 1 && now.green_to < 0 && c != now.phase &&
        T - now.green_from < ticks(sig.mingrn(sg, now.phase, 1)))
        c = now.phase;
    if (c == now.phase && now.green_to < 0) {
        now.clear_at = static_cast<int>(T + invl + ticks(sig.intgrn(sg, c)));
    } else {
        long from = T;
        if (now.phase >= 1) {
            if (now.green_to < 0) {
                now.green_to = static_cast<int>(T);
                now.clear_at = static_cast<int>(T + ticks(sig.intgrn(sg, now.phase)));
            }
            from = std::max<long>(T, now.clear_at);
            before = now;
        }
        now = {c, static_cast<int>(from), -1,
               static_cast<int>(from + invl + ticks(sig.intgrn(sg, c)))};
    }
    keep_run(s, sg, kRunNow, now);
    keep_run(s, sg, kRunBefore, before);

    // Windows: the two runs, the phases that ended earlier in this cycle, and
    // empty ones at the end of the current run for the rest.
    for (int j = 1; j <= q; ++j) {
        if (j == now.phase || j == before.phase) continue;
        const bool ran_before = ph(sg, j, 3) <= x && ph(sg, j, 1) < ph(sg, j, 3) && x > 0.0f;
        if (!ran_before) ph(sg, j, 1) = ph(sg, j, 2) = ph(sg, j, 3) = z;
    }
    if (before.phase >= 1 && before.phase != now.phase) {
        if (position(before.clear_at, T, x, z) > 0.0f || x > 0.0f)
            set_window(s, sg, before, T, x);
        else
            ph(sg, before.phase, 1) = ph(sg, before.phase, 2) = ph(sg, before.phase, 3) = z;
    }
    set_window(s, sg, now, T, x);
    for (int j = 1; j <= q; ++j)
        for (int k = 1; k <= 3; ++k) sig.phend(sg, j, k) = ph(sg, j, k);
}

void decide(Sim& s, int sg, long t10, long tc, long cycle_ticks) {
    const auto&                              nb = s.nbsig;
    const int                                q = nb.nnb_phs(sg);
    std::array<PhaseQueue, kNbPhaseRows + 1> pq{};
    for (int p = 1; p <= q; ++p) {
        auto&     r = pq[static_cast<std::size_t>(p)];
        const int m = nb.tnbsig(sg, p, 1);
        for (int k = 1; k <= m; ++k)
            add_link(s, sg, nb.tnbsig(sg, p, k + 1), nb.mnbsig(sg, p, k), r);
    }
    const int c = served_phase(s, sg, best_phase(s, sg, pq), pq);
    // The cycle position as the indications see it, also before the offset
    // has first passed.
    const float x = static_cast<float>((tc % cycle_ticks + cycle_ticks) % cycle_ticks) / 10.0f;
    rewrite_times(s, sg, c, t10, x);
}

// The green each phase runs, per cycle: the timing report lists the last
// complete cycle's.
void count_greens(Sim& s, int sg, bool cycle_end) {
    auto&     g = s.nbsig.nbgreen;
    const int q = s.nbsig.nnb_phs(sg);
    if (cycle_end)
        for (int p = 1; p <= q; ++p) {
            g(sg, p, 2) = g(sg, p, 1);
            g(sg, p, 1) = 0.0f;
        }
    const int p = s.signal.sigstat(sg, 1);
    if (p >= 1 && p <= q && s.signal.sigstat(sg, 2) == kSignalGreen) g(sg, p, 1) += 0.1f;
}

} // namespace

void rd_nbsig(Sim& s) {
    auto& u = s.units;
    auto& nb = s.nbsig;
    nb.size_run(std::clamp(s.signal.msignal, 0, kMaxSignals),
                std::clamp(s.link2.mlnum, 0, kMaxLinks));
    if (!u.open_read(kUnitInput, netin::input_name(s, kNbFile))) return;
    const std::string marker = routing::output_file(s, kNbCodeFile);
    if (!u.open_write(kUnitNbCode, marker)) {
        wfree(u, kUnitRunLog, " Queue-reward signal control: cannot create ", marker);
        output_not_written(s, marker);
    }
    FreeReader in(u.in(kUnitInput));
    NbReader   r(s, in);
    if (!r.read_all()) {
        wfree(u, kUnitRunLog, " Queue-reward signal control keeps the", nb.nnbsig,
              " signal records before line", r.line());
        wfree(u, kUnitSummary, " - Queue-reward signal control: ", kNbFile, " stopped at line",
              r.line(), "; signal records in force:", nb.nnbsig);
    }
    u.close(kUnitInput);
}

void fun_nbsig(Sim& s, int t10) {
    const auto& nb = s.nbsig;
    const auto& sig = s.signal;
    for (int i = 1; i <= nb.nnbsig; ++i) {
        const int sg = nb.nbsig_num(i);
        // A signal its plan does not code (or codes without a cycle) has no
        // cycle position to decide at.
        const long zt = ticks(sig.cycle(sg));
        if (zt <= 0) continue;
        const long tc = static_cast<long>(t10) - ticks(sig.offset(sg));
        const long it = ticks(nb.nbsig_invl(sg));
        count_greens(s, sg, tc % zt == 0);
        if (tc % zt != 0 && (it <= 0 || tc % it != 0)) continue;
        decide(s, sg, t10, tc, zt);
    }
}

} // namespace velm
