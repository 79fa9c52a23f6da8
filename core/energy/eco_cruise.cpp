// Eco cruise control. A connected vehicle of a taking-part class gets a
// cruise speed inside a band around its class's target: every update
// interval each whole km/h of the band (narrowed to what the vehicle can
// reach and what its gap allows) is tried along a 0.1-s look-ahead
// trajectory (reach the speed within the interval, then hold it), the
// trajectory is priced with the power-model fuel coefficients of the type,
// and the cheapest speed is advised. A gap below the class's threshold
// releases the advice to the top of the band at once.
#include "core/energy/eco_cruise.h"

#include "core/driver/errors.h"
#include "core/energy/eco.h"
#include "core/energy/energy.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

namespace velm {

namespace {

constexpr const char* kCruiseFile = "input_eccs.dat";
constexpr const char* kFuelFile = "emission.dat";
constexpr const char* kAlphaFile = "kzcpfm_config.dat";
constexpr int         kTitleChars = 40;
// The dynamics helpers were calibrated with this gravity; the fuel pricing
// uses the program's kGravity.
constexpr float kDynGravity = 9.8067f;
constexpr float kAirDensity = 1.2256f; // kg/m3
constexpr float kDragFactor = 0.96f;
constexpr float kInertiaFactor = 1.04f; // rotating masses
constexpr float kTicksPerSecond = 10.0f;
constexpr float kMinGap = 0.5f;            // m: a smaller gap is a lane-gap sentinel
constexpr float kFreeGap = 1000.0f;        // m: what such a gap counts as
constexpr float kHoldTolerance = 0.1f;     // km/h off the candidate before the hold phase drives
constexpr float kBrakeShare = 0.4f * 0.5f; // of the friction limit, stopping behind the leader
constexpr float kBrakeScale = 25920.0f;    // 2 x 3.6^2 x 1000: m/s2 and km to (km/h)^2
constexpr float kSpacingStep = 0.1f;       // s over which the spacing speed is reached
constexpr float kFuelScale = 100.0f;
constexpr float kLinearTolerance = 1e-6f; // |c3| below this: the relation is linear in u
constexpr float kAlphaSoc = 0.95f;        // battery state of charge set with the alphas

bool known_type(int typ) {
    return typ >= 1 && typ <= kVehicleTypes;
}

// Aerodynamic, rolling and grade resistance (N) at V km/h.
float resistance(const mod_vehper& vp, int typ, float V, float grad, float g) {
    const float m = vp.vehmass(typ);
    return vp.frntarea(typ) * kDragFactor * vp.dragcoef(typ) * (kAirDensity / 25.92f) * V * V +
           vp.rolcoef(typ, 1) * m * g * (vp.rolcoef(typ, 3) + vp.rolcoef(typ, 2) * V) / 1000.0f +
           grad * m * g;
}

// --- "input_eccs.dat" ---------------------------------------------------------

void set_defaults(mod_eccs& e) {
    e.neccs = 0;
    e.eccs_fmt = 0;
    e.spd_eccs.fill(kNoCruiseAdvice);
    e.fp_eccs.fill(1.0f);
    e.flag_eccs.fill(0);
    e.d_la.fill(0.0f);
    e.tinvl.fill(0);
    e.v_targ.fill(0.0f);
    e.v_thr.fill(0.0f);
    e.s_thr.fill(0.0f);
}

struct CruiseRecord {
    float number = 0.0f;
    int   k = 0;
    float d_la = 0.0f;
    int   tinvl = 0;
    float v_targ = 0.0f, v_thr = 0.0f, s_thr = 0.0f;
};

// The speed band a class may be given, km/h: the search tries every whole
// km/h between its edges, so the band stays within what a vehicle can drive.
constexpr float kCruiseSpeedMax = 250.0f;

std::string band_fault(const char* what, float v) {
    if (v >= 0.0f && v <= kCruiseSpeedMax) return {};
    return std::string(what) + " " + free_real(v) + " km/h is outside 0.." +
           std::to_string(static_cast<int>(kCruiseSpeedMax));
}

std::string record_fault(const CruiseRecord& r) {
    if (r.k < 1 || r.k > kClasses)
        return "class " + std::to_string(r.k) + " is outside 1.." + std::to_string(kClasses);
    if (r.tinvl < 1) return "update interval " + std::to_string(r.tinvl) + " s is below 1 s";
    if (std::string why = band_fault("target speed", r.v_targ); !why.empty()) return why;
    if (std::string why = band_fault("speed threshold", r.v_thr); !why.empty()) return why;
    if (!(r.d_la >= 0.0f)) return "look-ahead distance " + free_real(r.d_la) + " m is below 0";
    return {};
}

// Reads the header and the records; false, with the line where it stopped in
// `at`, when something could not be read.
bool read_eccs(Sim& s, FreeReader& in, int& at) {
    auto&       e = s.eccs;
    auto&       u = s.units;
    std::string title;
    at = 1;
    if (!in.text_line(title)) return false;
    wfree(u, kUnitSummary, "     - ECCS input file opened ");
    wfree(u, kUnitSummary, "     - ECCS INPUT FILE : ", fmt_a(title, kTitleChars));
    const auto failed = [&](ReadResult r) {
        at = in.stopped_at(r);
        return r != ReadResult::ok;
    };
    if (failed(in.record(e.neccs, e.eccs_fmt))) return false;
    wfree(u, kUnitSummary, "Input factor: ", e.neccs, e.eccs_fmt);
    for (int i = 1; i <= e.neccs; ++i) {
        CruiseRecord r;
        if (failed(in.record(r.number, r.k, r.d_la, r.tinvl, r.v_targ, r.v_thr, r.s_thr)))
            return false;
        if (const std::string why = record_fault(r); !why.empty()) {
            eco_record_skipped(s, kCruiseFile, kErrCruiseRecord, i, in.line(), why);
            continue;
        }
        const auto k = static_cast<std::size_t>(r.k);
        e.d_la[k] = r.d_la;
        e.tinvl[k] = r.tinvl;
        e.v_targ[k] = r.v_targ;
        e.v_thr[k] = r.v_thr;
        e.s_thr[k] = r.s_thr;
        e.flag_eccs[k] = 1;
        wfree(u, kUnitSummary, "Veh Class: ", r.k, "look ahead: ", r.d_la,
              "updating interval: ", r.tinvl, "target speed: ", r.v_targ,
              "speed threshold: ", r.v_thr, "spacing threshold: ", r.s_thr);
    }
    return true;
}

// --- "emission.dat" -----------------------------------------------------------

struct FuelRecord {
    float number = 0.0f;
    int   typ = 0;
    float k[3] = {};
    float dec = 0.0f;
};

// Coefficients and saturation deceleration of each type, [0] unused.
struct FuelTable {
    std::array<std::array<float, 3>, kVehicleTypes + 1> kz{};
    std::array<float, kVehicleTypes + 1>                dec{};
};

// Reads the whole file into t; false with the line where it stopped when the
// file is damaged.
bool read_kzcpfm(Sim& s, FreeReader& in, FuelTable& t, int& line) {
    auto&       u = s.units;
    std::string title;
    line = 1;
    if (!in.text_line(title)) return false;
    wfree(u, kUnitSummary, "     - Emission file opened ");
    wfree(u, kUnitSummary, "     - EMISSION FILE : ", fmt_a(title, kTitleChars));
    int              count = 0, fmt = 0;
    const ReadResult head = in.record(count, fmt);
    line = in.line();
    if (head != ReadResult::ok) return false;
    for (int i = 1; i <= count; ++i) {
        FuelRecord       r;
        const ReadResult rr = in.record(r.number, r.typ, r.k[0], r.k[1], r.k[2], r.dec);
        line = in.line();
        if (rr != ReadResult::ok) return false;
        if (!known_type(r.typ)) {
            eco_record_skipped(s, kFuelFile, kErrCruiseFuel, i, line,
                               "vehicle type " + std::to_string(r.typ) + " is outside 1.." +
                                   std::to_string(kVehicleTypes));
            continue;
        }
        const auto typ = static_cast<std::size_t>(r.typ);
        for (std::size_t j = 0; j < 3; ++j) t.kz[typ][j] = r.k[j];
        t.dec[typ] = r.dec;
        wfree(u, kUnitSummary, "Veh Type: ", r.typ, "fuel coefficients: ", r.k[0], r.k[1], r.k[2],
              "saturation deceleration: ", r.dec);
    }
    return true;
}

} // namespace

// --- entries --------------------------------------------------------------------

void rd_eccs(Sim& s) {
    auto& u = s.units;
    section_heading(u, kUnitSummary, " 35. Eco-cruse control system - inputs  ");
    set_defaults(s.eccs);
    bool complete = false, broken = false;
    if (u.open_read(kUnitInput, netin::input_name(s, kCruiseFile))) {
        FreeReader in(u.in(kUnitInput));
        int        at = 0;
        complete = read_eccs(s, in, at);
        if (!complete) {
            broken = true;
            eco_file_unreadable(s, kCruiseFile, kErrCruiseFile, at);
            set_defaults(s.eccs); // no half-read records
        }
    }
    wfree(u, kUnitSummary,
          complete ? "     - Input of Eco-cruise control file complete "
          : broken ? "     - Eco-cruise control file not read whole (see the run log): off"
                   : "     - No eco-cruise control file input");
    u.close(kUnitInput);
    wfree(u, kUnitSummary, "     ");
    // The search prices its trajectories with these coefficients; without
    // them every candidate costs nothing and the lowest speed is advised.
    if (u.exists(netin::input_name(s, kFuelFile)))
        rd_kzcpfm(s);
    else if (s.eccs.eccs_fmt == 1)
        wfree(u, kUnitRunLog,
              std::string(" ") + kFuelFile +
                  " not found: eco cruise control prices every speed at 0 and "
                  "advises the lowest it can reach");
}

void rd_kzcpfm(Sim& s) {
    auto& u = s.units;
    auto& eco = s.ecodrive;
    eco.kz_cpfm.zero();
    eco.dec_sat.zero();
    if (!u.open_read(kUnitInput, netin::input_name(s, kFuelFile))) return;
    FreeReader in(u.in(kUnitInput));
    // Read into copies, so a damaged file leaves the table zero rather than
    // half filled.
    FuelTable t;
    int       line = 0;
    if (read_kzcpfm(s, in, t, line)) {
        for (int typ = 1; typ <= kVehicleTypes; ++typ) {
            const auto i = static_cast<std::size_t>(typ);
            for (int j = 1; j <= 3; ++j)
                eco.kz_cpfm(typ, j) = t.kz[i][static_cast<std::size_t>(j - 1)];
            eco.dec_sat(typ) = t.dec[i];
        }
        wfree(u, kUnitSummary, "     - Input of emission file complete ");
    } else {
        wfree(u, kUnitRunLog, std::string(" ") + kFuelFile + " Error", kErrCruiseFuel, "at line",
              line, " - the file is damaged; the eco cruise fuel coefficients stay zero");
        ++s.errcount.numerr;
        wfree(u, kUnitSummary, "     - Emission file damaged: no fuel coefficients");
    }
    u.close(kUnitInput);
    wfree(u, kUnitSummary, "     ");
}

void rd_gen_kzcpfm(Sim& s) {
    auto& u = s.units;
    if (!u.open_read(kUnitInput, netin::input_name(s, kAlphaFile))) return;
    auto&       en = s.kzcpxm_energy;
    FreeReader  in(u.in(kUnitInput));
    std::string title;
    int         count = 0, mode = 0;
    if (in.text_line(title) && in.record(count, mode) == ReadResult::ok) {
        if (count > kVehicleTypes) {
            wfree(u, kUnitRunLog, std::string(" ") + kAlphaFile + " Error", kErrCruiseAlphaFile,
                  "at line", in.line(), " - more than", kVehicleTypes, "types");
            ++s.errcount.numerr;
            u.close(kUnitInput);
            fatal_error(s);
        }
        en.kzcpxm_link_updating_mode = mode;
        for (int i = 1; i <= count; ++i) {
            FuelRecord r;
            if (in.record(r.number, r.typ, r.k[0], r.k[1], r.k[2]) != ReadResult::ok) break;
            if (!known_type(r.typ)) {
                eco_record_skipped(s, kAlphaFile, kErrCruiseAlphaFile, i, in.line(),
                                   "vehicle type " + std::to_string(r.typ) + " is outside 1.." +
                                       std::to_string(kVehicleTypes));
                continue;
            }
            for (int j = 1; j <= 3; ++j) en.kzcpfm_alpha(r.typ, j) = r.k[j - 1];
        }
    }
    u.close(kUnitInput);
    en.energy_model = 1;
    en.veh_soc.fill(kAlphaSoc);
}

float fun_accmodel(const Sim& s, float v, float fp, int typ, float grad) {
    if (!known_type(typ)) return 0.0f;
    const auto& vp = s.vehper;
    const float m = vp.vehmass(typ);
    if (!(m > 0.0f)) return 0.0f;
    const float grip = vp.coeffric(typ) * m * kDynGravity;
    const float drive =
        v > 0.0f ? std::min(vp.transeff(typ) * fp * 3600.0f * vp.vehkw(typ) / v, grip) : grip;
    return kKmhPerMps * (drive - resistance(vp, typ, v, grad, kDynGravity)) / m;
}

float fun_acc2throttle(const Sim& s, float acc, float v, float grad, int typ) {
    if (!known_type(typ)) return 1.0f;
    const auto& vp = s.vehper;
    const float full = vp.vehkw(typ) * 3600.0f * vp.transeff(typ);
    if (!(full > 0.0f)) return 1.0f;
    const float force =
        vp.vehmass(typ) * acc / kKmhPerMps + resistance(vp, typ, v, grad, kDynGravity);
    // The inverse of fun_accmodel below its grip limit: the throttle share of
    // the full driveline power that the force needs at this speed.
    return std::min(1.0f, v * force / full);
}

void fun_kzcpfm(const Sim& s, std::span<const float> traj, int ll, float& f,
                std::span<const float> grade, int typ) {
    if (known_type(typ) && s.vehper.transeff(typ) > 0.0f) {
        const auto& vp = s.vehper;
        const auto& kz = s.ecodrive.kz_cpfm;
        const float m = vp.vehmass(typ);
        const int   last =
            std::min({ll, static_cast<int>(traj.size()) - 1, static_cast<int>(grade.size()) - 1});
        for (int l = 2; l <= last; ++l) {
            const auto  i = static_cast<std::size_t>(l);
            const float V = traj[i];
            // Samples are 0.1 s apart in km/h: the inertia term needs m/s2.
            const float a = (traj[i] - traj[i - 1]) / (kKmhPerMps * kCruiseStep);
            const float P = V *
                            (kInertiaFactor * m * a + resistance(vp, typ, V, grade[i], kGravity)) /
                            (3600.0f * vp.transeff(typ));
            f += kz(typ, 1);
            if (P > 0.0f) f += kz(typ, 2) * P + kz(typ, 3) * P * P;
        }
    }
    f *= kFuelScale;
}

float fun_maxspd(const Sim& s, int nl, int typ, float space, float v_c, float v_h, float t_i) {
    const auto& sv = s.link1.spdvol;
    const float c1 = sv(nl, 1), c2 = sv(nl, 2), c3 = sv(nl, 3), kj = sv(nl, 5), uf = sv(nl, 7);
    const float h = space / 1000.0f;
    float       u1 = 0.0f;
    if (std::fabs(c3) <= kLinearTolerance) {
        if (h > c1) u1 = (h * uf - c1 * uf - c2) / (h - c1);
    } else {
        const float b = c3 * uf - c1 + h;
        const float D =
            (c1 - c3 * uf - h) * (c1 - c3 * uf - h) - 4.0f * c3 * (h * uf - c1 * uf - c2);
        if (D >= 0.0f) u1 = (b - std::sqrt(D)) / (2.0f * c3);
    }
    const float mu = known_type(typ) ? s.vehper.coeffric(typ) : 0.0f;
    const float jam = kj > 0.0f ? 1.0f / kj : 0.0f;
    const float r = v_h * v_h + kDynGravity * kBrakeScale * mu * kBrakeShare * (h - jam);
    const float u2 = r > 0.0f ? std::sqrt(r) : 0.0f;
    const float amax = (std::min(u1, u2) - v_c) / kSpacingStep;
    return v_c + t_i * amax;
}

void fun_spdspace(const Sim& s, float v_c, float v_h, float v_l, float& v_u, float space, int typ,
                  float grad, float t_i, int nl) {
    const float s1 = v_c + fun_accmodel(s, v_c, 1.0f, typ, grad) * t_i;
    const float s2 = fun_maxspd(s, nl, typ, space, v_c, v_h, t_i);
    v_u = std::min({s2, v_u, s1});
    if (v_l > v_u) v_u = v_l;
}

void fun_eccs(Sim& s, float space, float spd_cur, float spd_head, int vt, int nl, int carx,
              int t_cur, float dnew) {
    if (vt < 1 || vt > kClasses) return;
    auto&      e = s.eccs;
    const auto k = static_cast<std::size_t>(vt);
    if (space < e.s_thr[k]) {
        e.fp_eccs(carx) = 1.0f;
        e.spd_eccs(carx) = e.v_targ[k] + e.v_thr[k];
        return;
    }
    const std::int64_t period = static_cast<std::int64_t>(kTicksPerSecond) * e.tinvl[k];
    if (period <= 0 || t_cur % period != 0) return;

    const int          vid = s.vehindx.vehid(carx);
    const int          typ = s.oddat.vehper2(carx);
    const float        t_i = static_cast<float>(e.tinvl[k]);
    const std::int64_t nt = period; // 0.1-s steps in the interval
    const float        grad = s.lnkgrade.lnkgrade(nl);
    const float        d_rest = 1000.0f * s.link1.spdvol(nl, 8) - dnew;
    // The lane gap below 0.5 m is a sentinel for "no leader in reach"; the
    // vehicle's own gap field is left as vehicle movement wrote it.
    const float gap = space < kMinGap ? kFreeGap : space;
    const int   nx = vid >= 1 ? s.vehicle.nxtlnk(vid, 1) : 0;
    // Past the link end the next link's grade holds; with no next link the
    // current one goes on.
    const float grad_next = nx >= 1 && nx <= kMaxLinks ? s.lnkgrade.lnkgrade(nx) : grad;
    float       spd_min = e.v_targ[k] - e.v_thr[k];
    float       spd_max = e.v_targ[k] + e.v_thr[k];
    fun_spdspace(s, spd_cur, spd_head, spd_min, spd_max, gap, typ, grad, t_i, nl);
    spd_min = std::floor(spd_min);
    spd_max = std::ceil(spd_max);
    if (spd_min == spd_max) {
        e.spd_eccs(carx) = spd_min;
        return;
    }

    auto&       traj = e.traj;
    auto&       grade = e.grade;
    const float d_la = e.d_la[k];
    const int   candidates = static_cast<int>(std::trunc(spd_max - spd_min));
    float       best = 0.0f;
    for (int j = 0; j <= candidates; ++j) {
        const float vtmp = spd_min + static_cast<float>(j);
        const float acc = (vtmp - spd_cur) / t_i;
        int         n = 1;
        float       x = 0.0f;
        traj[1] = spd_cur;
        grade[1] = grad;
        auto step = [&](float a) {
            const float last = traj[static_cast<std::size_t>(n)];
            x += last * kCruiseStep / kKmhPerMps;
            ++n;
            traj[static_cast<std::size_t>(n)] = last + a * kCruiseStep;
            grade[static_cast<std::size_t>(n)] = x < d_rest ? grad : grad_next;
        };
        for (std::int64_t i = 0; i < nt && n < kCruiseSamples; ++i) step(acc);
        const float throttle = fun_acc2throttle(s, acc, spd_cur, grad, typ);
        // The hold phase drives at the candidate's throttle: one acceleration
        // for every sample that is off the candidate speed.
        const float hold = fun_accmodel(s, vtmp, throttle, typ, grad);
        while (n < kCruiseSamples && x < d_la) {
            const bool off = std::fabs(vtmp - traj[static_cast<std::size_t>(n)]) > kHoldTolerance;
            step(off ? hold : 0.0f);
        }
        e.samples = n;
        float f = 0.0f;
        fun_kzcpfm(s, traj, n - 1, f, grade, typ);
        if (j == 0 || f < best) {
            e.spd_eccs(carx) = vtmp;
            e.fp_eccs(carx) = throttle;
            best = f;
        }
    }
}

} // namespace velm
