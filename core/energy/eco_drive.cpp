// Eco-driving at signalised approaches. On an approach link a vehicle of an
// advised class is slowed, along the cheapest constant-deceleration profile,
// so that it reaches the stop line (or the tail of the queue) when its phase
// shows green; on a departure link it is led back to free speed along the
// cheapest throttle profile or at a bounded constant acceleration. The advice
// is a speed cap per trip that the speed update applies.
#include "core/energy/eco.h"
#include "core/energy/energy.h"
#include "core/energy/fuel_models.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

constexpr const char* kEcoDriveFile = "ecodrive.dat";
constexpr int         kTitleChars = 40;
constexpr float       kMaxDeceleration = 5.9f; // m/s2 of a retained profile
constexpr float       kMaxAcceleration = 2.0f; // m/s2 of the constant-acceleration advice
constexpr float       kAirDensity = 1.2256f;
constexpr float       kAltitudeFactor = 0.95f;
constexpr float       kGearFactor = 1.0f;
constexpr int         kThrottleLevels = 9; // 0.2, 0.3, ..., 1.0

// --- reader ---------------------------------------------------------------------

void set_defaults(mod_ecodrive& e) {
    e.spdeco.fill(kNoEcoAdvice);
    e.eco_ctl.zero();
    e.qlen.zero();
    e.dti.zero();
    e.dtia.zero();
    e.eco_flag.zero();
    e.freq.fill(kEcoDefaultInterval);
    e.unpriced_noted.fill(false);
}

struct EcoRecord {
    float  number = 0.0f;
    int    link = 0;
    double code = 0.0;
    int    role = 0;
    int    sig = 0;
    int    phase = 0;
    float  dti = 0.0f;
    float  freq[kClasses] = {};
    double station = 0.0;
    float  dtia = 0.0f;
};

void skip_record(Sim& s, int record, int line, const std::string& why) {
    eco_record_skipped(s, kEcoDriveFile, kErrEcoDriveRecord, record, line, why);
}

// The reason a record cannot be stored, or empty.
std::string record_fault(const EcoRecord& r) {
    if (r.link < 1 || r.link > kMaxLinks)
        return "link " + std::to_string(r.link) + " is outside 1.." + std::to_string(kMaxLinks);
    if (r.sig < 1 || r.sig > kMaxSignals)
        return "signal " + std::to_string(r.sig) + " is outside 1.." + std::to_string(kMaxSignals);
    if (!netin::whole_within(r.station, 0.0, kMaxDetectors))
        return "detector station is outside 1.." + std::to_string(kMaxDetectors);
    for (float f : r.freq)
        if (!(f >= 0.01f)) return "an update interval is below 0.01 s";
    return {};
}

// Reads the header and the records; false, with the line where it stopped in
// `at`, when something could not be read.
bool read_ecodrive(Sim& s, FreeReader& in, int& at) {
    auto&       e = s.ecodrive;
    auto&       u = s.units;
    std::string title;
    at = 1;
    if (!in.text_line(title)) return false;
    wfree(u, kUnitSummary, "     - Eco-drive file opened ");
    wfree(u, kUnitSummary, "     - Eco-drive file : ", fmt_a(title, kTitleChars));
    int count = 0;
    if (const ReadResult r = in.record(count, e.eco_fmt); r != ReadResult::ok) {
        at = in.stopped_at(r);
        return false;
    }
    for (int i = 1; i <= count; ++i) {
        EcoRecord r;
        in.start_record();
        ReadResult rr = ReadResult::ok;
        auto       take = [&](auto& v) {
            if (rr == ReadResult::ok) rr = in.next(v);
        };
        take(r.number);
        take(r.link);
        take(r.code);
        take(r.role);
        take(r.sig);
        take(r.phase);
        take(r.dti);
        for (float& f : r.freq) take(f);
        take(r.station);
        take(r.dtia);
        if (rr != ReadResult::ok) {
            at = in.stopped_at(rr);
            return false;
        }
        if (const std::string why = record_fault(r); !why.empty()) {
            skip_record(s, i, in.line(), why);
            continue;
        }
        const int l = r.link;
        e.lnk_flag(l) = r.role;
        e.sig_num(l) = r.sig;
        e.pha_num(l) = r.phase;
        e.dti(l) = r.dti;
        for (int k = 1; k <= kClasses; ++k) e.freq(l, k) = r.freq[k - 1];
        e.qdet(l) = netin::trunc_sat(r.station);
        e.dtia(l) = r.dtia;
        for (int k = 1; k <= kClasses; ++k)
            if (e.eco_flag(l, k) == 0) e.eco_flag(l, k) = r.phase * eco_class_digit(r.code, k);
        wfree(u, kUnitSummary, "Veh Class: ", netin::trunc_sat(r.code + 0.5), "link #: ", l,
              "signal number: ", r.sig, "phase number: ", r.phase,
              "distance to the signal: ", r.dti);
    }
    return true;
}

// --- advice ---------------------------------------------------------------------

struct Approach {
    float v = 0.0f;  // current speed, m/s
    float vf = 0.0f; // free speed, m/s
    float T = 0.0f;  // update interval, s
    float d0 = 0.0f; // distance past the stop line back to free speed, m
    int   car = 0, vid = 0, nl = 0, typ = 0;
};

// Queue length and discharge time of q queued vehicles on link nl.
void queue_quantities(const Sim& s, int nl, float q, float& len, float& discharge) {
    const float kj = s.link1.spdvol(nl, 5);
    len = kj > 0.0f ? std::trunc(q) * 1000.0f / kj : 0.0f;
    const float w = queue_wave_speed(s, nl);
    discharge = w > 0.0f ? 3.6f * len / (1.5f * w) : 0.0f;
}

void set_queue(Sim& s, int nl, int car, float q) {
    auto& e = s.ecodrive;
    e.qlen(car, 1) = q;
    queue_quantities(s, nl, q, e.qlen(car, 2), e.qlen(car, 3));
}

// Cost of the deceleration profile (v decelerating at a for c seconds, then
// holding vs until ttc) followed by the ramp back to free speed over d0.
float profile_cost(Sim& s, const Approach& p, float ttc, float a, float c, float vs) {
    Trajectory& A = s.ecodrive.work_a;
    const int   l1 = static_cast<int>(std::trunc(1.0f + ttc));
    const int   cut = static_cast<int>(std::trunc(c));
    A.start(p.v);
    for (int j = 2; j <= l1 && !A.full(); ++j)
        A.push(j <= cut ? p.v - static_cast<float>(j - 1) * a : vs);
    if (A.n == 1) A.push(A.last());

    Trajectory& B = s.ecodrive.work_b;
    const float tb = vs + p.vf > 0.0f ? 2.0f * p.d0 / (vs + p.vf) : 0.0f;
    const float ab = tb > 0.0f ? (p.vf - vs) / tb : 0.0f;
    const int   l2 = tb > 0.0f ? static_cast<int>(std::trunc(tb)) + 1 : 1;
    B.start(vs);
    for (int j = 2; j <= l2 && !B.full(); ++j) B.push(vs + static_cast<float>(j - 1) * ab);
    if (B.n == 1) B.push(B.last());
    return kzcpfm_traj_cost(s, p.car, p.vid, A, p.nl, p.typ) +
           kzcpfm_traj_cost(s, p.car, p.vid, B, p.nl, p.typ);
}

// Advice (m/s) of the cheapest deceleration profile that covers d1 in ttc;
// kNoEcoCap when none is retained.
float deceleration_advice(Sim& s, const Approach& p, float ttc, float d1) {
    float     best = 0.0f, best_c = 0.0f, best_vs = 0.0f;
    int       kept = 0;
    const int last = static_cast<int>(std::trunc(ttc));
    for (int i = 0; i <= last && kept < kEcoProfiles; ++i) {
        const float c = ttc - static_cast<float>(i);
        if (!(c > 0.0f)) continue;
        const float a = (d1 - p.v * ttc) / (c * c / 2.0f - c * ttc);
        const float vs = p.v - a * c;
        if (!(vs >= 0.0f && a < kMaxDeceleration)) continue;
        ++kept;
        const float cost = profile_cost(s, p, ttc, a, c, vs);
        if (kept == 1 || cost < best) {
            best = cost;
            best_c = c;
            best_vs = vs;
        }
    }
    if (kept == 0) return kNoEcoCap;
    const float slope = (best_vs - p.v) / best_c;
    return best_c > p.T ? p.v + slope * p.T : best_vs;
}

// Approach-link update: the advice in m/s, kNoEcoCap when nothing is advised.
float approach_advice(Sim& s, const Approach& p, int vt, float t, float dnew) {
    auto&       e = s.ecodrive;
    const int   nl = p.nl, car = p.car;
    const int   sig = e.sig_num(nl);
    const float uf = s.link1.spdvol(nl, 7);
    const int   ap = approach_phase(s, car, sig);
    float       ctim = 0.0f;
    if (ap < 1 || ap > kMaxPhases || !cycle_position(s, sig, t, ctim) || uf <= 0.0f)
        return kNoEcoCap;
    if (e.eco_fmt != 1 && e.eco_fmt != 2) return kNoEcoCap;
    const float cyc = s.signal.cycle(sig);
    float       ttc = 0.0f, tph = 0.0f;
    sigtim(s, sig, ap, ctim, ttc, tph);
    const bool green = ap == s.signal.sigstat(sig, 1);

    const float dti = e.dti(nl);
    float       dist = dnew - (1000.0f * s.link1.spdvol(nl, 8) - dti);
    if (dist <= 0.0f) dist = dti + 10.0f;
    if (!(dti > dist) || e.eco_flag(nl, vt) <= 0) return kNoEcoCap;

    float       d1 = dti - dist;
    float       d0 = p.d0;
    const float tff = 3.6f * d1 / uf;
    int         flag = 0;
    if (e.eco_fmt == 1) {
        if (ttc == 0.0f) {
            if (green && tph > tff) {
                flag = 1;
                ttc = tph;
            } else if (!green && tff > tph) {
                flag = 2;
                ttc = cyc;
            }
        } else if (!green && ttc >= tff) {
            flag = 1;
        } else if (green && tff > ttc) {
            flag = 2;
            ttc += tph;
        }
    } else {
        const float ttc0 = ttc;
        if (ttc == 0.0f) {
            if (green) {
                flag = 1;
            } else if (tff > tph) {
                flag = 2;
                ttc = cyc;
            } else if (e.eco_ctl(car) == 2 && e.qlen(car, 3) > tff) {
                flag = 2;
            }
        } else {
            if (!green) {
                flag = 1;
            } else if (tff > ttc) {
                flag = 2;
                ttc += tph;
            }
            if (flag != 2 && e.eco_ctl(car) == 2 && green) {
                const float el = cyc - tph - ttc;
                const float tq = 3.6f * (d1 - e.qlen(car, 2)) / uf;
                if (e.qlen(car, 3) - el > tq) {
                    flag = 2;
                    ttc = -el;
                }
            }
        }
        const int nq = vehicles_ahead_in_lane(s, nl, car, p.vid);
        if (flag == 1) {
            e.eco_ctl(car) = 2;
            set_queue(s, nl, car, static_cast<float>(nq));
            d1 = dti - dist - e.qlen(car, 2);
            d0 += e.qlen(car, 2);
            if (ttc == 0.0f) ttc = tph;
            ttc += e.qlen(car, 3);
            if (3.6f * d1 / uf >= ttc) flag = 0;
        } else if (flag == 2) {
            if (e.eco_ctl(car) == 0) {
                e.eco_ctl(car) = 1;
                const int   st = e.qdet(nl);
                const float flow = st >= 1 && st <= kMaxDetectors
                                       ? static_cast<float>(s.detloc.detvol(st, 2))
                                       : 0.0f;
                const float uc = s.link1.spdvol(nl, 4);
                float       q = uc > 0.0f ? (dti / (1000.0f * uc) - ttc0 / 3600.0f) * flow : 0.0f;
                if (q > static_cast<float>(s.vehindx.vehlnk(p.vid))) q = static_cast<float>(nq);
                if (q < 0.0f) q = 0.0f;
                set_queue(s, nl, car, q);
            }
            d1 -= e.qlen(car, 2);
            d0 += e.qlen(car, 2);
            ttc += e.qlen(car, 3);
        }
    }
    if (flag == 0) return kNoEcoCap;
    const float d2 = p.v * ttc - d1;
    if (d2 <= 0.0f) return p.v;
    if (!(ttc > p.T)) return kNoEcoCap;
    Approach q = p;
    q.d0 = d0;
    return deceleration_advice(s, q, ttc, d1);
}

// Throttle advice on a departure link: the sample at the end of the update
// interval of the cheapest throttle profile, km/h.
float throttle_advice(Sim& s, const Approach& p, float d_a) {
    Trajectory& tr = s.ecodrive.work_a;
    const int   idx = static_cast<int>(std::trunc(p.T)) + 1;
    const float uf = 3.6f * p.vf;
    float       best = 0.0f, advice = uf;
    for (int k = 0; k < kThrottleLevels; ++k) {
        const float level = static_cast<float>(2 + k) / 10.0f;
        accmode(s, p.nl, p.v, p.vf, level, d_a, tr, p.typ);
        if (tr.n == 1) tr.push(tr.last());
        const float cost = kzcpfm_traj_cost(s, p.car, p.vid, tr, p.nl, p.typ);
        if (k == 0 || cost < best) {
            best = cost;
            advice = tr.n > idx ? 3.6f * tr.at(idx) : uf;
        }
    }
    return advice;
}

} // namespace

// --- shared helpers ---------------------------------------------------------------

int eco_tick(float t) {
    return static_cast<int>(std::lround(static_cast<double>(t) * 10.0));
}

bool eco_update_due(int t10, float T) {
    if (!(T > 0.0f) || !std::isfinite(T)) return false;
    const double step = std::round(static_cast<double>(T) * 100.0);
    if (step < 1.0 || step > 2.0e9) return false;
    const long long k = static_cast<long long>(step);
    return (10LL * t10) % k == 0;
}

bool cycle_position(const Sim& s, int sig, float t, float& ctim) {
    if (sig < 1 || sig > kMaxSignals) return false;
    const float cyc = s.signal.cycle(sig);
    if (!(cyc > 0.0f)) return false;
    ctim = std::fmod(cyc + t - s.signal.offset(sig), cyc);
    if (ctim < 0.0f) ctim += cyc;
    if (ctim >= cyc) ctim = 0.0f;
    return true;
}

void eco_record_skipped(Sim& s, const char* file, int code, int record, int line,
                        const std::string& why) {
    wfree(s.units, kUnitRunLog, std::string(" ") + file + " Error", code, "at record", record,
          "line", line, std::string(" - ") + why + "; the record is skipped");
    ++s.errcount.numerr;
}

void eco_file_unreadable(Sim& s, const char* file, int code, int line) {
    wfree(s.units, kUnitRunLog, std::string(" ") + file + " Error", code, "at line", line,
          " - the file ends early or holds a value that is not a number; none of its records"
          " is used");
    ++s.errcount.numerr;
}

int eco_class_digit(double code, int k) {
    const double scaled = std::trunc((code + 0.5) / std::pow(10.0, kClasses - k));
    return static_cast<int>(std::fmod(scaled, 10.0));
}

int eco_turn(Sim& s, int l0, int l1) {
    float rel = 0.0f;
    int   dir = 2;
    turn_ang(s, kMaxLinks, s.graph1.ang, l0, l1, rel, dir);
    return dir;
}

bool phase_serves_turn(const Sim& s, int l0, int p, int turn) {
    const int code = s.link3.phase(l0, p, 2);
    const int digit = turn == 1 ? code / 100 % 10 : turn == 2 ? code / 10 % 10 : code % 10;
    return digit == 1;
}

int approach_phase(Sim& s, int car, int sig, float* vf_next) {
    const auto& tr = s.vehtre;
    const int   first = tr.tre_ind(car, 1), end = tr.tre_ind(car, 2);
    for (int e = std::max(first, 1); e < end; ++e) {
        const int l0 = tr.vehtre(e, 1), l1 = tr.vehtre(e + 1, 1);
        if (l0 < 1 || l0 > kMaxLinks || std::abs(s.link3.tsignal(l0)) != sig) continue;
        const int turn = eco_turn(s, l0, l1);
        for (int p = 1; p <= kPhaseSlots; ++p) {
            if (!phase_serves_turn(s, l0, p, turn)) continue;
            if (vf_next && l1 >= 1 && l1 <= kMaxLinks) *vf_next = s.link1.spdvol(l1, 7);
            return s.link3.phase(l0, p, 1);
        }
    }
    return 0;
}

float queue_wave_speed(const Sim& s, int nl) {
    const float kj = s.link1.spdvol(nl, 5);
    const float qs = s.link1.spdvol(nl, 6);
    const float uc = s.link1.spdvol(nl, 4);
    return uc > 0.0f && kj - qs / uc > 0.0f ? qs / (kj - qs / uc) : 0.0f;
}

int vehicles_ahead_in_lane(const Sim& s, int nl, int car, int vid) {
    const int base = s.link2.nbqu(nl);
    const int lane = s.oddat.vlan(vid, 1);
    int       nq = 0;
    for (int i = 1; i <= s.link2.ntqu(nl); ++i) {
        const int other = s.vehicle.big(base + i);
        if (other == car) break;
        const int ov = other >= 1 && other <= kMaxTrips ? s.vehindx.vehid(other) : 0;
        if (ov >= 1 && s.oddat.vlan(ov, 1) == lane) ++nq;
    }
    return nq;
}

void accmode(const Sim& s, int nl, float v_in, float v_fi, float thr, float d_a, Trajectory& traj,
             int typ) {
    traj.start(v_in);
    if (typ < 1 || typ > kVehicleTypes) return;
    const auto& vp = s.vehper;
    const float m = vp.vehmass(typ);
    if (!(m > 0.0f)) return;
    const float grade = nl >= 1 && nl <= kMaxLinks ? s.lnkgrade.lnkgrade(nl) : 0.0f;
    const float grip = vp.coeffric(typ) * vp.axlmass(typ) * m * kGravity;
    float       x = v_in;
    while (traj.n <= kTrajectorySamples - 1 && traj.last() < v_fi) {
        const float V = 3.6f * traj.last();
        const float drive =
            V > 0.0f
                ? std::min(3600.0f * vp.transeff(typ) * thr * kGearFactor * vp.vehkw(typ) / V, grip)
                : grip;
        const float resist =
            vp.frntarea(typ) * vp.dragcoef(typ) * (kAirDensity / 25.92f) * kAltitudeFactor * V * V +
            kGravity * m / 1000.0f * vp.rolcoef(typ, 1) *
                (vp.rolcoef(typ, 2) * V + vp.rolcoef(typ, 3)) +
            grade * m * kGravity;
        const float next = traj.last() + (drive - resist) / m;
        traj.push(next);
        x += next;
    }
    if (traj.n <= kTrajectorySamples && x < d_a && v_fi > 0.0f) {
        int n = static_cast<int>(std::trunc((d_a - x) / v_fi));
        n = std::min(std::max(n, 1), kTrajectorySamples - traj.n);
        for (int i = 0; i < n; ++i) traj.push(v_fi);
    }
}

float kzcpfm_traj_cost(const Sim& s, int car, int vid, const Trajectory& traj, int nl, int typ) {
    float f = 0.0f;
    for (int l = 2; l <= traj.n; ++l) {
        const float      acc = traj.at(l) - traj.at(l - 1);
        const PowerRates r = kzcpxm_price(s, car, vid, typ, nl, 3.6f * traj.at(l), acc);
        f += r.fuel + r.energy;
    }
    return f;
}

bool eco_prices_type(const Sim& s, int typ) {
    if (typ < 1 || typ > kVehicleTypes) return false;
    const auto& ke = s.kzcpxm_energy;
    auto        any = [&](const Array2<float>& k, int n) {
        for (int j = 1; j <= n; ++j)
            if (k(typ, j) != 0.0f) return true;
        return false;
    };
    switch (s.vehper.engine_type(typ)) {
    case kEngineGasoline:
    case kEngineDiesel:
        return any(ke.kzcpfm_alpha, 3);
    case kBatteryElectric:
        return true; // priced by the battery's power draw
    case kEnginePlugInHybrid:
    case kEngineHybrid:
        return any(ke.hybrid_alpha, 4);
    default:
        return false;
    }
}

bool eco_advice_priced(Sim& s, int vt, int typ) {
    if (eco_prices_type(s, typ)) return true;
    if (vt >= 1 && vt <= kClasses) {
        bool& noted = s.ecodrive.unpriced_noted[static_cast<std::size_t>(vt)];
        if (!noted) {
            noted = true;
            wfree(s.units, kUnitRunLog,
                  " Vehicle class " + std::to_string(vt) +
                      " gets no eco advice: its vehicle type " + std::to_string(typ) +
                      " has no fuel coefficients to price the advised speed profiles");
        }
    }
    return false;
}

// --- entries ------------------------------------------------------------------------

void rd_ecodrive(Sim& s) {
    auto& u = s.units;
    section_heading(u, kUnitSummary, " 34. Eco-drive file - inputs  ");
    set_defaults(s.ecodrive);
    bool complete = false, broken = false;
    if (u.open_read(kUnitInput, netin::input_name(s, kEcoDriveFile))) {
        FreeReader in(u.in(kUnitInput));
        int        at = 0;
        complete = read_ecodrive(s, in, at);
        if (!complete) {
            broken = true;
            eco_file_unreadable(s, kEcoDriveFile, kErrEcoDriveFile, at);
            set_defaults(s.ecodrive); // no half-read records
            s.ecodrive.eco_fmt = 0;
        }
    }
    wfree(u, kUnitSummary,
          complete ? "     - Input of Eco-drive fiel complete "
          : broken ? "     - Eco-drive file not read whole (see the run log): eco-drive off"
                   : "     - No eco-drive file input");
    u.close(kUnitInput);
    wfree(u, kUnitSummary, "     ");
}

void ecodrive(Sim& s, float scur, int nl, int vt, int typ, int car, int vid, float t, float dnew) {
    auto& e = s.ecodrive;
    if (vt < 1 || vt > kClasses || !eco_update_due(eco_tick(t), e.freq(nl, vt))) return;
    e.spdeco(car) = kNoEcoCap;
    Approach p;
    p.v = scur / 3.6f;
    p.vf = s.link1.spdvol(nl, 7) / 3.6f;
    p.T = e.freq(nl, vt);
    p.d0 = e.dtia(nl);
    p.car = car;
    p.vid = vid;
    p.nl = nl;
    p.typ = typ;
    const int role = e.lnk_flag(nl);
    if (role == 1) e.spdeco(car) = 3.6f * approach_advice(s, p, vt, t, dnew);
    if (e.eco_fmt == 2 && role == -1 && e.eco_ctl(car) == 1) {
        e.eco_ctl(car) = 0;
        for (int k = 1; k <= 3; ++k) e.qlen(car, k) = 0.0f;
    }
    const float dist = dnew;
    const bool  ramp = e.dti(nl) > dist && p.vf > p.v;
    if (role == -1 && ramp) e.spdeco(car) = throttle_advice(s, p, e.dtia(nl) - dist);
    if (role == -2 && ramp) {
        const float d_a = e.dtia(nl) - dist;
        float       a = d_a > 0.0f ? (p.vf - p.v) / (2.0f * d_a / (p.v + p.vf)) : kMaxAcceleration;
        a = std::min(a, kMaxAcceleration);
        e.spdeco(car) = 3.6f * (p.v + a * p.T);
    }
    if (role == 0) e.spdeco(car) = kNoEcoAdvice;
}

} // namespace velm
