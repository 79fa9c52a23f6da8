// Eco speed advice through several signals. A vehicle of a taking-part class
// on a link with one or two signals ahead (possibly beyond the link's end)
// is told, when arriving at free speed would meet red or the tail of a queue,
// the speed of the cheapest piecewise-constant acceleration profile through
// the signals. Queue lengths come from a per-link history over the cycle
// seconds, a count of the vehicles ahead, or the detector flow.
#include "core/energy/eco.h"
#include "core/energy/energy.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

constexpr const char* kEcmsFile = "ecaccms.dat";
constexpr int         kTitleChars = 40;
constexpr int         kValuesPerSignal = 6;
constexpr float       kHistoryNew = 0.8f; // weight of the current queue in the history
constexpr float       kMaxDecel = 5.9f;   // m/s2
constexpr float       kMaxAccel = 3.0f;   // m/s2 of the two-signal search and the departure
constexpr int         kGridSeconds = 30;  // above this the two-signal grids coarsen

// --- reader ---------------------------------------------------------------------

void set_defaults(mod_ecms& m) {
    m.msspd.fill(kNoEcoAdvice);
    m.ecms_ctl.zero();
    m.msque.zero();
    m.msfreq.fill(kEcoDefaultInterval);
    m.msdet.zero();
    m.lnk_down.zero();
    m.hisque.zero();
    m.hist_second.zero();
    m.msflag.zero();
}

void skip_record(Sim& s, int record, int line, const std::string& why) {
    eco_record_skipped(s, kEcmsFile, kErrEcmsRecord, record, line, why);
}

// Reads the header and the records; false, with the line where it stopped in
// `at`, when something could not be read.
bool read_ecaccms(Sim& s, FreeReader& in, int& stop_line) {
    auto&       m = s.ecms;
    auto&       u = s.units;
    std::string title;
    stop_line = 1;
    if (!in.text_line(title)) return false;
    wfree(u, kUnitSummary, "     - ECACC multiple signals file opened ");
    wfree(u, kUnitSummary, "     - ECACC multiple signals file : ", fmt_a(title, kTitleChars));
    int        count = 0;
    const auto failed = [&](ReadResult r) {
        stop_line = in.stopped_at(r);
        return r != ReadResult::ok;
    };
    if (failed(in.record(count, m.msfmt))) return false;
    for (int i = 1; i <= count; ++i) {
        float  number = 0.0f, dti = 0.0f, freq = 0.0f;
        int    l = 0, ns = 0;
        double code = 0.0;
        if (failed(in.record(number, l, code, dti, freq, ns))) return false;
        const int given = std::abs(ns);
        // A record listing too many signals is skipped whole: its values are
        // taken (up to the table's slots) so that the next record starts clean.
        std::array<double, kEcmsSignalSlots * kValuesPerSignal> x{};
        for (int k = 0; k < std::min(given, kEcmsSignalSlots) * kValuesPerSignal; ++k)
            if (failed(in.next(x[static_cast<std::size_t>(k)]))) return false;
        std::string why;
        if (l < 1 || l > kMaxLinks)
            why = "link " + std::to_string(l) + " is outside 1.." + std::to_string(kMaxLinks);
        else if (ns == 0 || ns > kEcmsSignals || ns < -1)
            why = std::to_string(ns) + " signals given; a record lists 1.." +
                  std::to_string(kEcmsSignals) + " signals, or -1 for a departure link";
        for (int k = 0; why.empty() && k < ns; ++k) {
            const double sig = x[static_cast<std::size_t>(k * kValuesPerSignal)];
            const double det = x[static_cast<std::size_t>(k * kValuesPerSignal + 3)];
            if (!netin::whole_within(sig, 1.0, kMaxSignals))
                why = "signal " + std::to_string(netin::trunc_sat(sig)) + " is outside 1.." +
                      std::to_string(kMaxSignals);
            else if (!netin::whole_within(det, 0.0, kMaxDetectors))
                why = "detector station is outside 1.." + std::to_string(kMaxDetectors);
        }
        if (!why.empty()) {
            skip_record(s, i, in.line(), why);
            continue;
        }
        m.msdti(l) = dti;
        m.msfreq(l) = freq;
        m.lnku(l) = ns;
        m.lnk_up(l) = ns == -1 ? 0 : ns == 1 ? 1 : 2;
        for (int k = 1; k <= kClasses; ++k) m.msflag(l, k) = eco_class_digit(code, k);
        for (int k = 1; k <= ns; ++k) {
            const auto at = [&](int j) {
                return netin::trunc_sat(
                    x[static_cast<std::size_t>((k - 1) * kValuesPerSignal + j - 1)]);
            };
            m.lnk_down(l, k, 1) = at(1);
            m.lnk_down(l, k, 2) = at(2);
            m.lnk_down(l, k, 3) = at(3);
            m.msdet(l) = at(4);
            m.lnk_down(l, k, 4) = at(5);
            m.lnk_down(l, k, 5) = at(6);
        }
        if (ns > 0)
            wfree(u, kUnitSummary, "Veh Class: ", netin::trunc_sat(code + 0.5), "link #: ", l,
                  "signal number: ", m.lnk_down(l, 1, 1), m.lnk_down(l, 1, 2), m.lnk_down(l, 1, 3),
                  m.lnk_down(l, 1, 4), m.lnk_down(l, 1, 5), m.lnk_up(l));
    }
    return true;
}

// --- queue history -------------------------------------------------------------------

void link_queue_constants(Sim& s, int nl) {
    auto&       m = s.ecms;
    const float kj = s.link1.spdvol(nl, 5);
    m.jsp(nl) = kj > 0.0f ? 1000.0f / kj : 0.0f;
    const float w = queue_wave_speed(s, nl);
    m.hdw(nl) = w > 0.0f ? 3.6f * m.jsp(nl) / w : 0.0f;
}

void update_history(Sim& s, int nl, int t10, float t) {
    auto& m = s.ecms;
    if (m.lnku(nl) <= 0 || t10 % 10 != 0) return;
    const int mark = t10 / 10 + 1;
    if (m.hist_second(nl) == mark) return;
    for (int k = 1; k <= std::min(m.lnku(nl), kEcmsSignalSlots); ++k) {
        float ctim = 0.0f;
        if (!cycle_position(s, m.lnk_down(nl, k, 1), t, ctim)) continue;
        const int c = static_cast<int>(std::trunc(ctim)) + 1;
        if (c > kEcmsCycleSeconds) continue;
        m.hisque(nl, c) = kHistoryNew * static_cast<float>(s.link2.rqs(nl)) +
                          (1.0f - kHistoryNew) * m.hisque(nl, c);
    }
    m.hist_second(nl) = mark;
    link_queue_constants(s, nl);
}

// --- advice ------------------------------------------------------------------------

struct Update {
    int   car = 0, vid = 0, nl = 0, typ = 0;
    float v = 0.0f, T = 0.0f, dist = 0.0f, t = 0.0f;
    float uf = 0.0f, L = 0.0f;
};

std::array<int, 8> pack2(const Update& u, int sig, int phase, int ind) {
    return {0, sig, phase, ind, u.car, u.vid, u.nl, u.typ};
}

// The arrival test at one signal, without queue (msfmt 1) or with it.
int arrival(Sim& s, const Update& u, int sig, int phase, float& ttc, float tph, float tff,
            float& dsig, int ind) {
    int flag = 0;
    if (s.ecms.msfmt == 1) {
        sigtimnq(s, sig, phase, ttc, tph, tff, flag);
        return flag;
    }
    std::array<float, 6> v1{0.0f, ttc, tph, tff, u.dist, dsig};
    sigtimq(s, v1, pack2(u, sig, phase, ind), flag);
    ttc = v1[1];
    dsig = v1[5];
    return flag;
}

// Single-signal advice, m/s; kNoEcoCap when nothing is advised.
float one_signal(Sim& s, const Update& u) {
    auto&     m = s.ecms;
    const int nl = u.nl;
    const int s1 = m.lnk_down(nl, 1, 1);
    float     vf_kmh = 0.0f;
    const int ph1 = approach_phase(s, u.car, s1, &vf_kmh);
    float     ctim = 0.0f;
    if (ph1 < 1 || ph1 > kMaxPhases || !cycle_position(s, s1, u.t, ctim)) return kNoEcoCap;
    float ttc1 = 0.0f, tph1 = 0.0f;
    sigtim(s, s1, ph1, ctim, ttc1, tph1);
    float       dsig1 = m.msdti(nl) + 1000.0f * u.L - u.dist;
    const float tff = 3.6f * dsig1 / u.uf;
    int         ind = 0;
    if (m.msfmt != 1 && m.msdti(nl) > 0.0f) {
        ind = 1;
        for (int k = 1; k <= 3; ++k) m.msque(u.car, k) = 0.0f;
        m.ecms_ctl(u.car) = 0;
    }
    const int flag = arrival(s, u, s1, ph1, ttc1, tph1, tff, dsig1, ind);
    if (flag == 0) return kNoEcoCap;
    const float dsig3 = m.msfmt == 1 ? static_cast<float>(m.lnk_down(nl, 1, 4)) + dsig1
                                     : static_cast<float>(m.lnk_down(nl, 1, 4)) + m.msdti(nl) +
                                           1000.0f * u.L - u.dist;
    const std::array<float, 9> v3{0.0f, ttc1, dsig1, 0.0f, 0.0f, dsig3, u.v, vf_kmh / 3.6f, u.T};
    m.msspd(u.car) = kNoEcoCap;
    optspd1(s, pack2(u, s1, ph1, ind), v3);
    return m.msspd(u.car);
}

struct TwoSignals {
    int   ph1 = 0, ph2 = 0, s2 = 0, ksig = 0;
    float vf_kmh = 0.0f;
    bool  fallback = false; // another control between the two: one-signal advice
};

// Walks the stored path for the first signal and the next listed one.
bool find_two_signals(Sim& s, const Update& u, int s1, TwoSignals& w) {
    const auto& tr = s.vehtre;
    const auto& m = s.ecms;
    bool        found1 = false;
    for (int e = std::max(tr.tre_ind(u.car, 1), 1); e < tr.tre_ind(u.car, 2); ++e) {
        const int l0 = tr.vehtre(e, 1), l1 = tr.vehtre(e + 1, 1);
        if (l0 < 1 || l0 > kMaxLinks) continue;
        const int ts = std::abs(s.link3.tsignal(l0));
        if (ts == 0) continue;
        if (ts == s1) {
            // Every slot that serves the turn: the last one counts.
            const int turn = eco_turn(s, l0, l1);
            for (int p = 1; p <= kPhaseSlots; ++p) {
                if (!phase_serves_turn(s, l0, p, turn)) continue;
                w.ph1 = s.link3.phase(l0, p, 1);
                if (l1 >= 1 && l1 <= kMaxLinks) w.vf_kmh = s.link1.spdvol(l1, 7);
                found1 = true;
            }
            continue;
        }
        if (!found1) continue;
        int ksig = 0;
        for (int k = 2; k <= std::min(m.lnku(u.nl), kEcmsSignalSlots) && ksig == 0; ++k)
            if (m.lnk_down(u.nl, k, 1) == ts) ksig = k;
        if (ksig == 0) {
            w.fallback = true;
            return false;
        }
        const int turn = eco_turn(s, l0, l1);
        for (int p = 1; p <= kPhaseSlots; ++p) {
            if (!phase_serves_turn(s, l0, p, turn)) continue;
            w.ksig = ksig;
            w.s2 = ts;
            w.ph2 = s.link3.phase(l0, p, 1);
            if (l1 >= 1 && l1 <= kMaxLinks) w.vf_kmh = s.link1.spdvol(l1, 7);
            return true;
        }
    }
    return false;
}

float two_signals(Sim& s, const Update& u) {
    auto&      m = s.ecms;
    const int  nl = u.nl;
    const int  s1 = m.lnk_down(nl, 1, 1);
    TwoSignals w;
    if (!find_two_signals(s, u, s1, w)) return w.fallback ? one_signal(s, u) : kNoEcoCap;
    float ctim1 = 0.0f, ctim2 = 0.0f;
    if (w.ph1 < 1 || w.ph1 > kMaxPhases || w.ph2 < 1 || w.ph2 > kMaxPhases ||
        !cycle_position(s, s1, u.t, ctim1) || !cycle_position(s, w.s2, u.t, ctim2))
        return kNoEcoCap;
    float ttc1 = 0.0f, tph1 = 0.0f;
    sigtim(s, s1, w.ph1, ctim1, ttc1, tph1);
    const float to_end = m.msdti(nl) + 1000.0f * u.L - u.dist;
    float       dsig1 = to_end;
    const float tff = 3.6f * dsig1 / u.uf;
    const int   ind = m.msdti(nl) == 0.0f ? 0 : 1;
    if (arrival(s, u, s1, w.ph1, ttc1, tph1, tff, dsig1, ind) == 0) return kNoEcoCap;

    float ttc2 = 0.0f, tph2 = 0.0f;
    sigtim(s, w.s2, w.ph2, ctim2, ttc2, tph2);
    const float gap = static_cast<float>(m.lnk_down(nl, w.ksig, 5));
    const float after2 = static_cast<float>(m.lnk_down(nl, w.ksig, 4));
    const float tff2 = ttc1 + 3.6f * gap / u.uf;
    float       dsig2 = 0.0f, dsig3 = 0.0f;
    int         flag2 = 0;
    if (m.msfmt == 1) {
        float t2 = tff2;
        sigtimnq(s, w.s2, w.ph2, ttc2, tph2, t2, flag2);
        dsig2 = gap + dsig1;
        dsig3 = flag2 != 0 ? after2 + dsig2 : static_cast<float>(m.lnk_down(nl, 1, 4)) + dsig1;
    } else {
        float d = gap;
        flag2 = arrival(s, u, w.s2, w.ph2, ttc2, tph2, tff2, d, 1);
        dsig2 = m.msdti(nl) + d + 1000.0f * u.L - u.dist;
        dsig3 = after2 + to_end + gap;
    }
    std::array<float, 9> v3{0.0f, ttc1, dsig1, ttc2, dsig2, dsig3, u.v, w.vf_kmh / 3.6f, u.T};
    m.msspd(u.car) = kNoEcoCap;
    if (flag2 > 0) {
        optspd2(s, pack2(u, w.s2, w.ph2, 1), v3);
    } else {
        v3[5] = static_cast<float>(m.lnk_down(nl, 1, 4)) + to_end;
        optspd1(s, pack2(u, s1, w.ph1, ind), v3);
    }
    return m.msspd(u.car);
}

float departure(Sim& s, const Update& u) {
    auto& m = s.ecms;
    m.ecms_ctl(u.car) = 0;
    for (int k = 1; k <= 3; ++k) m.msque(u.car, k) = 0.0f;
    const float vf = u.uf / 3.6f;
    const float ramp = static_cast<float>(m.lnk_down(u.nl, 1, 4));
    if (!(ramp > u.dist && vf > u.v)) return kNoEcoCap;
    const float d = static_cast<float>(m.lnk_down(u.nl, 1, 5)) + ramp - u.dist;
    const float a = d > 0.0f ? std::min((vf * vf - u.v * u.v) / (2.0f * d), kMaxAccel) : kMaxAccel;
    return u.v + a * u.T;
}

// Adds level samples then a ramp to a trajectory that starts with u0.
void push_run(Trajectory& tr, int n, float a) {
    for (int i = 0; i < n && !tr.full(); ++i) tr.push(tr.last() + a);
}

// The cheapest candidate of a search so far (the first on ties), and the
// advice it gives: the speed after its first segment, or after one update
// interval when that segment is longer.
struct BestProfile {
    float best = 0.0f, a1 = 0.0f;
    int   tt = 0, kept = 0;
    void  offer(float cost, float cand_a1, int cand_tt) {
         ++kept;
         if (kept == 1 || cost < best) {
             best = cost;
             a1 = cand_a1;
             tt = cand_tt;
        }
    }
    float advice(float u0, float T) const {
        if (kept == 0) return kNoEcoCap;
        const float ft = static_cast<float>(tt);
        return ft < T ? u0 + a1 * ft : u0 + a1 * T;
    }
};

} // namespace

// --- signal timing -------------------------------------------------------------------

namespace {
// The arrival test at the very moment of a change (ttc 0): green that lasts
// past the arrival is aimed at its end, a red that ends before it at the next
// cycle.
void at_change(bool green, float tphase, float ttemp1, float cyc, float& ttc, int& flag) {
    if (green && tphase > ttemp1) {
        flag = 1;
        ttc = tphase;
    } else if (!green && ttemp1 > tphase) {
        flag = 2;
        ttc = cyc;
    }
}
} // namespace

void sigtim(const Sim& s, int sig, int phase, float ctim, float& ttc, float& tphase) {
    const float cyc = s.signal.cycle(sig);
    const float g1 = s.signal.phend(sig, phase, 1);
    const float g3 = s.signal.phend(sig, phase, 3);
    if (ctim < g1) {
        ttc = g1 - ctim;
        tphase = g3 - g1;
    } else if (ctim >= g3) {
        ttc = g1 + cyc - ctim;
        tphase = g3 - g1;
    } else {
        ttc = g3 - ctim;
        tphase = cyc - (g3 - g1);
    }
}

void sigtimnq(const Sim& s, int sig, int phase, float& ttc, float tphase, float& ttemp1,
              int& flag) {
    const float cyc = s.signal.cycle(sig);
    const float ns = cyc > 0.0f ? std::trunc(ttemp1 / cyc) : 0.0f;
    ttemp1 -= ns * cyc;
    flag = 0;
    const bool green = s.signal.sigstat(sig, 1) == phase;
    if (ttc == 0.0f) {
        at_change(green, tphase, ttemp1, cyc, ttc, flag);
    } else if (!green && ttc >= ttemp1) {
        flag = 1;
    } else if (green && ttemp1 > ttc && ttc + tphase >= ttemp1) {
        flag = 2;
        ttc += tphase;
    }
    ttc += ns * cyc;
}

void sigtimq(Sim& s, std::array<float, 6>& vtmp1, const std::array<int, 8>& vtmp2, int& flag) {
    auto&       m = s.ecms;
    float       ttc = vtmp1[1];
    const float tphase = vtmp1[2];
    float       ttemp1 = vtmp1[3];
    const float dist = vtmp1[4];
    float       dsig = vtmp1[5];
    const int   sig = vtmp2[1], phase = vtmp2[2], car = vtmp2[4], vid = vtmp2[5], nl = vtmp2[6];
    int         ind = vtmp2[3];
    const float cyc = s.signal.cycle(sig);
    const float uf = s.link1.spdvol(nl, 7);
    const float L = s.link1.spdvol(nl, 8);
    const float ns = cyc > 0.0f ? std::trunc(ttemp1 / cyc) : 0.0f;
    ttemp1 -= ns * cyc;
    const float ttc0 = ttc;
    const float q3 = m.msque(car, 3);
    const bool  green = s.signal.sigstat(sig, 1) == phase;
    flag = 0;
    if (ttc == 0.0f) {
        at_change(green, tphase, ttemp1, cyc, ttc, flag);
        if (flag == 0 && !green && m.ecms_ctl(car) == 2 && m.msque(car, 3) > ttemp1) flag = 2;
    } else {
        if (!green && ttc + q3 > ttemp1) {
            flag = 1;
        } else if (green && ttemp1 > ttc && ttc + tphase >= ttemp1) {
            flag = 2;
            ttc += tphase;
        }
        if (flag != 2 && m.ecms_ctl(car) == 2 && green && uf > 0.0f) {
            const float el = cyc - tphase - ttc;
            ttemp1 -= 3.6f * m.msque(car, 2) / uf;
            if (m.msque(car, 3) - el > ttemp1) {
                flag = 2;
                ttc = -el;
            }
        }
    }
    if (flag != 0) {
        if (ns > 0.0f) ind = 1;
        if (ind == 1) {
            const int c = cyc > 0.0f ? static_cast<int>(std::trunc(std::fmod(ttemp1, cyc))) + 1 : 0;
            if (c >= 1 && c <= kEcmsCycleSeconds) {
                ttc += m.hdw(nl) * m.hisque(nl, c);
                dsig -= m.hisque(nl, c) * m.jsp(nl);
            }
        } else {
            const float nq = static_cast<float>(vehicles_ahead_in_lane(s, nl, car, vid));
            if (flag == 1) {
                m.ecms_ctl(car) = 2;
                m.msque(car, 1) = nq;
                m.msque(car, 2) = m.jsp(nl) * nq;
                m.msque(car, 3) = m.hdw(nl) * nq;
            } else if (m.ecms_ctl(car) == 0) {
                m.ecms_ctl(car) = 1;
                const int   st = m.msdet(nl);
                const float flow = st >= 1 && st <= kMaxDetectors
                                       ? static_cast<float>(s.detloc.detvol(st, 2))
                                       : 0.0f;
                const float uc = s.link1.spdvol(nl, 4);
                float       q = uc > 0.0f
                                    ? ((1000.0f * L - dist) / (1000.0f * uc) - ttc0 / 3600.0f) * flow
                                    : 0.0f;
                if (q > static_cast<float>(s.vehindx.vehlnk(vid))) q = nq;
                if (q < 0.0f) q = 0.0f;
                m.msque(car, 1) = q;
                m.msque(car, 2) = m.jsp(nl) * q;
                m.msque(car, 3) = m.hdw(nl) * q;
            }
            dsig = 1000.0f * L - dist - m.msque(car, 2);
            ttc += m.msque(car, 3);
            if (uf > 0.0f && 3.6f * dsig / uf >= ttc) flag = 0;
        }
        if (dsig < 0.0f) dsig = 0.0f;
    }
    vtmp1[1] = ns * cyc + ttc;
    vtmp1[5] = dsig;
}

// --- searches ------------------------------------------------------------------------

void optspd1(Sim& s, const std::array<int, 8>& vtmp2, const std::array<float, 9>& vtmp3) {
    auto&       m = s.ecms;
    const int   car = vtmp2[4], vid = vtmp2[5], nl = vtmp2[6], typ = vtmp2[7];
    const float ttc1 = vtmp3[1], dx1 = vtmp3[2], dx2 = vtmp3[5] - vtmp3[2];
    const float u0 = vtmp3[6], vf = vtmp3[7], T = vtmp3[8];
    Trajectory& tr = m.work;
    BestProfile win;
    const int   last = static_cast<int>(std::trunc(ttc1));
    for (int tt = 1; tt <= last && win.kept < kEcmsOneSignalProfiles; ++tt) {
        const float ft = static_cast<float>(tt);
        if (ft == ttc1) continue;
        const float a1 = (dx1 - u0 * ttc1) / (ft * ttc1 - ft * ft / 2.0f);
        const float u1 = u0 + ft * a1;
        if (!(u1 >= 0.0f && std::fabs(a1) < kMaxDecel) || !(dx2 > 0.0f)) continue;
        const float a3 = (vf * vf - u1 * u1) / (2.0f * dx2);
        if (std::fabs(a3) >= kMaxDecel) continue;
        const int m3 = a3 != 0.0f ? static_cast<int>(std::trunc((vf - u1) / a3)) : 0;
        tr.start(u0);
        push_run(tr, tt, a1);
        push_run(tr, static_cast<int>(std::trunc(ttc1 - ft)), 0.0f);
        push_run(tr, m3, a3);
        if (tr.n <= 1) continue;
        win.offer(kzcpfm_traj_cost(s, car, vid, tr, nl, typ), a1, tt);
    }
    m.msspd(car) = win.advice(u0, T);
}

void optspd2(Sim& s, const std::array<int, 8>& vtmp2, const std::array<float, 9>& vtmp3) {
    auto&       m = s.ecms;
    const int   car = vtmp2[4], vid = vtmp2[5], nl = vtmp2[6], typ = vtmp2[7];
    const float ttc1 = vtmp3[1], ttc2 = vtmp3[3];
    const float dx1 = vtmp3[2], dx2 = vtmp3[4] - vtmp3[2], dx3 = vtmp3[5] - vtmp3[4];
    const float u0 = vtmp3[6], vf = vtmp3[7], T = vtmp3[8];
    Trajectory& tr = m.work;
    BestProfile win;
    if (!(dx2 > 0.0f) || !(dx3 > 0.0f)) {
        m.msspd(car) = kNoEcoCap;
        return;
    }
    const int   step1 = ttc1 > kGridSeconds ? static_cast<int>(std::trunc(ttc1 / kGridSeconds)) : 1;
    const float dtt = ttc2 - ttc1;
    const int   step2 = dtt > kGridSeconds ? static_cast<int>(std::trunc(dtt / kGridSeconds)) : 1;
    const int   last1 = static_cast<int>(std::trunc(ttc1));
    const int   last2 = static_cast<int>(std::trunc(dtt));
    for (int tt1 = 1; tt1 <= last1 && win.kept < kEcmsTwoSignalProfiles; tt1 += step1) {
        const float f1 = static_cast<float>(tt1);
        if (f1 == ttc1) continue;
        const float a1 = (dx1 - u0 * ttc1) / (f1 * ttc1 - f1 * f1 / 2.0f);
        const float u1 = u0 + f1 * a1;
        if (!(u1 >= 0.0f && a1 > -kMaxDecel && a1 < kMaxAccel)) continue;
        for (int tt2 = 1; tt2 <= last2 && win.kept < kEcmsTwoSignalProfiles; tt2 += step2) {
            const float f2 = static_cast<float>(tt2);
            const float a2 = (dx2 - u1 * dtt) / (f2 * dtt - f2 * f2 / 2.0f);
            if (a2 > kMaxAccel || a2 < -kMaxDecel) continue;
            const float u2 = u1 + f2 * a2;
            if (!(u2 >= 0.0f && std::fabs(a2) < kMaxDecel)) continue;
            const float a3 = (vf * vf - u2 * u2) / (2.0f * dx3);
            const int   m3 = a3 != 0.0f ? static_cast<int>(std::trunc((vf - u2) / a3)) : 0;
            if (m3 <= 0 || a3 >= kMaxAccel) continue;
            tr.start(u0);
            push_run(tr, tt1, a1);
            push_run(tr, static_cast<int>(std::trunc(ttc1 - f1)), 0.0f);
            push_run(tr, tt2, a2);
            push_run(tr, static_cast<int>(std::trunc(dtt - f2)), 0.0f);
            push_run(tr, m3, a3);
            if (tr.n <= 1) continue;
            win.offer(kzcpfm_traj_cost(s, car, vid, tr, nl, typ), a1, tt1);
        }
    }
    m.msspd(car) = win.advice(u0, T);
}

// --- entries ------------------------------------------------------------------------

void rd_ecaccms(Sim& s) {
    auto& u = s.units;
    section_heading(u, kUnitSummary, " 35. ECACC Multiple Signals - inputs  ");
    set_defaults(s.ecms);
    bool complete = false, broken = false;
    if (u.open_read(kUnitInput, netin::input_name(s, kEcmsFile))) {
        FreeReader in(u.in(kUnitInput));
        int        at = 0;
        complete = read_ecaccms(s, in, at);
        if (!complete) {
            broken = true;
            eco_file_unreadable(s, kEcmsFile, kErrEcmsFile, at);
            set_defaults(s.ecms); // no half-read records
            s.ecms.msfmt = 0;
            s.ecms.msdti.zero();
            s.ecms.lnku.zero();
            s.ecms.lnk_up.zero();
        }
    }
    wfree(u, kUnitSummary,
          complete ? "     - Input of ECACC Multiple Signals complete "
          : broken ? "     - ECACC Multiple Signals file not read whole (see the run log): off"
                   : "     - No ECACC Multiple Signals file input");
    u.close(kUnitInput);
    wfree(u, kUnitSummary, "     ");
}

void ecaccms(Sim& s, float scur, int nl, int vt, int typ, int car, int vid, float t, float dnew) {
    auto&     m = s.ecms;
    const int t10 = eco_tick(t);
    update_history(s, nl, t10, t);
    if (!eco_update_due(t10, m.msfreq(nl))) return;
    Update u;
    u.car = car;
    u.vid = vid;
    u.nl = nl;
    u.typ = typ;
    u.v = scur / 3.6f;
    u.T = m.msfreq(nl);
    u.dist = dnew;
    u.t = t;
    u.uf = s.link1.spdvol(nl, 7);
    u.L = s.link1.spdvol(nl, 8);
    float advice = kNoEcoCap;
    if (u.uf > 0.0f) {
        if (m.lnk_up(nl) == 2)
            advice = two_signals(s, u);
        else if (m.lnk_up(nl) == 1)
            advice = one_signal(s, u);
        else if (m.lnku(nl) == -1)
            advice = departure(s, u);
    }
    if (vt < 1 || vt > kClasses || m.msflag(nl, vt) == 0) advice = kNoEcoCap;
    m.msspd(car) = 3.6f * advice;
}

} // namespace velm
