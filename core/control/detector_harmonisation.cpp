// Detector-based speed harmonisation: the controller file "shcontrol.dat", the
// controllers of both formats and the speed-flow helpers they use.
//
// A controller lowers the speed of chosen classes on a link upstream of a
// bottleneck so that the flow reaching the bottleneck approaches a target.
// Its inputs are the last polls of detector stations, kept as 60-slot
// smoothed histories (one slot per polling period).
#include "core/control/control.h"
#include "core/control/speed_harmonisation.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace velm {

namespace {

constexpr const char* kShctlFile = "shcontrol.dat";
constexpr const char* kNoShctl = "     - No Speed Harmonization Speed Control file input";
constexpr float       kMinFrequency = 0.1f; // s: shortest controller interval
constexpr int         kClassDigits = kClasses;

// Errors of the controller file.
constexpr int kErrShctlHeader = 634010;  // title or header cannot be read
constexpr int kErrShctlShort = 634020;   // a record ends early or holds bad data
constexpr int kErrShctlLink = 634030;    // the controlled link is not a link
constexpr int kErrShctlStation = 634040; // a station is not an active station
constexpr int kErrShctlFreq = 634050;    // controller interval below 0.1 s
constexpr int kErrShctlAcc = 634060;     // rise divisor 0 or below
constexpr int kErrShctlRamps = 634070;   // ramp count outside 0..stations

int station_lanes(const Sim& s, int d) {
    return std::min(std::abs(s.link1.nulans(s.detloc.detlink(d))), kMaxLinkLanes);
}

// One controller record as read, committed only when whole and valid.
struct ShctlRecord {
    int                link = 0, code = 0;
    float              v[13] = {};
    std::vector<int>   station;
    std::vector<float> flag, dist;
};

struct ShctlReader {
    Sim&        s;
    FreeReader& in;

    // The run-log error of a refused file or record; reading stops.
    template <class... T> bool refuse(int code, const T&... why) {
        wfree(s.units, kUnitRunLog, " Error", code, kShctlFile, "line", in.line(), why...);
        return false;
    }
    bool read_all();
    bool read_record(ShctlRecord& r);
    bool check(const ShctlRecord& r);
    void commit(const ShctlRecord& r);
};

bool ShctlReader::read_all() {
    auto&       h = s.shctl;
    auto&       u = s.units;
    std::string title;
    if (!in.text_line(title)) return refuse(kErrShctlHeader, "the title line is missing");
    wfree(u, kUnitSummary, "     - speed harm control file : ", fmt_a(title, 40));
    int n = 0, fmt = 0;
    if (in.record(n, fmt, h.fact_smth, h.fact_acc, h.speed_smth) != ReadResult::ok)
        return refuse(kErrShctlHeader, "the header is incomplete or not numbers");
    wfree(u, kUnitSummary, "Input factor: ", h.fact_smth, h.fact_acc, h.speed_smth);
    if (!(h.fact_acc > 0.0f))
        return refuse(kErrShctlAcc, "the rise divisor", h.fact_acc, "is not above 0");
    h.shctl_fmt = fmt;
    for (int i = 1; i <= n; ++i) {
        ShctlRecord r;
        if (!read_record(r) || !check(r)) return false;
        commit(r);
    }
    return true;
}

bool ShctlReader::read_record(ShctlRecord& r) {
    int number = 0, nramp = 0;
    if (in.record(number, r.link, r.code) != ReadResult::ok ||
        in.next(std::span<float>(r.v)) != ReadResult::ok || in.next(nramp) != ReadResult::ok)
        return refuse(kErrShctlShort, "the controller record is incomplete or not numbers");
    if (nramp < 0 || nramp > kMaxDetectors)
        return refuse(kErrShctlRamps, "ramp count", nramp, "is outside 0 to", kMaxDetectors);
    const auto n = static_cast<std::size_t>(nramp);
    r.station.assign(n, 0);
    r.flag.assign(n, 0.0f);
    r.dist.assign(n, 0.0f);
    if (in.next(std::span<int>(r.station)) != ReadResult::ok ||
        in.next(std::span<float>(r.flag)) != ReadResult::ok ||
        in.next(std::span<float>(r.dist)) != ReadResult::ok)
        return refuse(kErrShctlShort, "the ramp stations of the record are incomplete");
    return true;
}

bool ShctlReader::check(const ShctlRecord& r) {
    if (!link_defined(s, r.link)) return refuse(kErrShctlLink, "link", r.link, "is not a link");
    const int cur = netin::trunc_sat(r.v[7]), bn = netin::trunc_sat(r.v[8]);
    if (!active_station(s, cur))
        return refuse(kErrShctlStation, "current station", cur, "is not an active station");
    if (!active_station(s, bn))
        return refuse(kErrShctlStation, "bottleneck station", bn, "is not an active station");
    for (int d : r.station)
        if (!active_station(s, d))
            return refuse(kErrShctlStation, "ramp station", d, "is not an active station");
    if (!(r.v[2] >= kMinFrequency))
        return refuse(kErrShctlFreq, "controller interval", r.v[2], "is below 0.1 s");
    return true;
}

void ShctlReader::commit(const ShctlRecord& r) {
    auto&     h = s.shctl;
    const int l = r.link;
    for (int c = 1; c <= kClassDigits; ++c) {
        int place = 1;
        for (int k = c; k < kClassDigits; ++k) place *= 10;
        h.shctl_flag(l, c) = (r.code / place) % 10 == 1 ? 1 : 0;
    }
    h.t_o(l) = r.v[0];
    h.t_e(l) = r.v[1];
    h.sh_freq(l) = r.v[2];
    h.fr_tar(l) = r.v[3];
    h.coef_cd(l, 2) = r.v[4];
    h.k_tar(l) = r.v[5];
    h.spd_thr(l) = r.v[6];
    h.det_cur(l) = netin::trunc_sat(r.v[7]);
    h.det_bn(l) = netin::trunc_sat(r.v[8]);
    h.lan_bn(l) = netin::trunc_sat(r.v[9]);
    h.fact_exp(l) = r.v[10];
    h.dist_bn(l) = r.v[11];
    h.spd_min(l) = r.v[12];
    std::vector<ShctlRamp> ramps;
    for (std::size_t j = 0; j < r.station.size(); ++j) {
        const int d = r.station[j];
        h.flag_ramp(d) = netin::trunc_sat(r.flag[j]);
        ramps.push_back({d, r.dist[j]});
    }
    h.lnk_sh(h.det_bn(l), 1) = 1;
    h.lnk_sh(h.det_bn(l), 2) = l;
    h.lnk_ctl.push_back(l);
    h.ramps.push_back(std::move(ramps));
    h.nshctl = static_cast<int>(h.lnk_ctl.size());
    auto& u = s.units;
    wfree(u, kUnitSummary, "Veh Class: ", r.code, "link #: ", l, "target flow: ", h.fr_tar(l),
          "target density: ", h.k_tar(l), "current detector number: ", h.det_cur(l));
    wfree(u, kUnitSummary, "bottleneck detector number: ", h.det_bn(l), "alpha: ", h.fact_exp(l),
          "number of ramps: ", static_cast<int>(r.station.size()), "beta0: ", h.coef_cd(l, 2),
          h.fact_smth, h.fact_acc);
}

// --- the controller ------------------------------------------------------------

// Flow and density samples of station d from its last poll; the density over
// the bottleneck lanes when d is a controller's bottleneck station.
void station_samples(const Sim& s, int d, float& flow, float& density) {
    const auto& dl = s.detloc;
    const auto& h = s.shctl;
    const int   lanes = station_lanes(s, d);
    int         first = 1, last = lanes;
    if (h.lnk_sh(d, 1) == 1) {
        const int n = h.lan_bn(h.lnk_sh(d, 2));
        if (n >= 0) {
            last = std::min(n, lanes);
        } else {
            first = std::max(1, lanes + n + 1);
        }
    }
    flow = 0.0f;
    for (int m = 1; m <= lanes; ++m) flow += dl.lndt(d, 2, 1, m);
    float sum = 0.0f;
    for (int m = first; m <= last; ++m) {
        const float v = dl.lndt(d, 2, 2, m);
        if (v > 0.0f) sum += dl.lndt(d, 2, 1, m) / v;
    }
    density = last >= first ? sum / static_cast<float>(last - first + 1) : 0.0f;
}

// Puts a new sample into the history row of station d, slot k (shifting once
// the 60 slots are full), smoothed against the slot before it.
void store_sample(Array2<float>& hist, int d, int k, float sample, float smth) {
    int slot = k;
    if (k > kShctlHistory) {
        for (int i = 1; i < kShctlHistory; ++i) hist(d, i) = hist(d, i + 1);
        slot = kShctlHistory;
    }
    hist(d, slot) = k > 1 ? smth * sample + (1.0f - smth) * hist(d, slot - 1) : sample;
}

std::span<const float> history(const Array2<float>& hist, int d) {
    static thread_local float row[kShctlHistory];
    for (int i = 1; i <= kShctlHistory; ++i) row[i - 1] = hist(d, i);
    return {row, kShctlHistory};
}

// Ramp flow of station d as the controller of link l sees it.
float ramp_flow(const Sim& s, int l, const ShctlRamp& r, int dt) {
    const auto& h = s.shctl;
    if (h.shctl_fmt != 1) return h.flowrate(r.station, kShctlHistory);
    const float vf = s.link1.spdvol(l, 7);
    return exppred(history(h.flowrate, r.station), r.dist * 3.6f / vf, dt);
}

float ramp_sum(const Sim& s, int i, int l, int dt) {
    float q = 0.0f;
    for (const ShctlRamp& r : s.shctl.ramps[static_cast<std::size_t>(i)])
        q += static_cast<float>(s.shctl.flag_ramp(r.station)) * ramp_flow(s, l, r, dt);
    return q;
}

void control_law(Sim& s, int i, int l, int dt) {
    auto&       h = s.shctl;
    const float vf = s.link1.spdvol(l, 7);
    const float q = h.fr_tar(l) - ramp_sum(s, i, l, dt);
    const int   bn = h.det_bn(l);
    const float kb = h.shctl_fmt == 1 ? exppred(history(h.vehden, bn), h.dist_bn(l) * 3.6f / vf, dt)
                                      : h.vehden(bn, kShctlHistory);
    const int   cur = h.det_cur(l);
    float       qc = 0.0f;
    for (int m = 1; m <= station_lanes(s, cur); ++m) qc += s.detloc.lndt(cur, 2, 1, m);

    const float vprev = h.spd_lnk(l);
    float       factor = 1.0f;
    if (kb > h.k_tar(l) || q <= qc) {
        const float beta = h.coef_cd(l, 1) == 1.0f ? h.coef_cd(l, 2) : 1.0f;
        const float qt = h.fact_exp(l) * beta * q + (1.0f - h.fact_exp(l)) * h.fr_cur(l);
        h.spd_lnk(l) = (1.0f - h.speed_smth) * flow2spd(s, qt, l) + h.speed_smth * vprev;
        h.coef_cd(l, 1) =
            kb > h.k_tar(l) && std::abs(h.spd_lnk(l) - vprev) < 2.0f * h.spd_thr(l) ? 1.0f : 0.0f;
    } else {
        h.spd_lnk(l) = vf;
        factor = h.fact_acc;
    }
    h.spd_lnk(l) = std::max(h.spd_lnk(l), vprev - h.spd_thr(l));
    h.spd_lnk(l) = std::min(h.spd_lnk(l), vprev + h.spd_thr(l) / factor);
    h.spd_lnk(l) = std::max(std::min(h.spd_lnk(l), vf), h.spd_min(l));
    h.fr_cur(l) = spd2flow(s, h.spd_lnk(l), l);
    if (h.shctl_fmt == 1)
        for (int c = 1; c <= kClasses; ++c)
            h.spd_ctl(l, c) = h.shctl_flag(l, c) == 1 ? h.spd_lnk(l) : vf;
}

// Preparation before the start time and release after the end time.
void prepare_or_release(Sim& s, int i, int l, float t, int dt) {
    auto&       h = s.shctl;
    const float vf = s.link1.spdvol(l, 7);
    h.fr_cur(l) = h.fr_tar(l) - ramp_sum(s, i, l, dt);
    const bool  ended = t > h.t_e(l);
    const float rise = h.spd_thr(l) / h.fact_acc;
    if (h.shctl_fmt == 1) {
        h.spd_lnk(l) = vf;
        for (int c = 1; c <= kClasses; ++c)
            h.spd_ctl(l, c) = std::min(ended ? h.spd_ctl(l, c) + rise : h.spd_ctl(l, c), vf);
    } else {
        h.spd_lnk(l) = ended ? std::min(h.spd_lnk(l) + rise, vf) : vf;
        h.sh_stamp += 1;
    }
}

// The step every controller shares: histories once per polling tick, then the
// preparation, release and control law of every controller.
void controller_step(Sim& s, int nl, int t10) {
    auto&       h = s.shctl;
    auto&       dl = s.detloc;
    const float t = static_cast<float>(t10) / 10.0f;
    const int   dt = 10 * dl.dettim(h.det_cur(nl));
    if (t10 <= 0 || dt <= 0 || h.time_cur(1) == t || t10 % dt != 0) return;

    bool updated = false;
    if (t10 % 10 == 0) {
        const int k = t10 / dt;
        for (int d = 1; d <= dl.mdetloc; ++d) {
            if (!active_station(s, d) || h.time_cur(d) == t) continue;
            float flow = 0.0f, density = 0.0f;
            station_samples(s, d, flow, density);
            store_sample(h.flowrate, d, k, flow, h.fact_smth);
            store_sample(h.vehden, d, k, density, h.fact_smth);
            h.time_cur(d) = t;
            updated = true;
        }
    }
    if (updated) {
        for (int i = 0; i < h.nshctl; ++i) {
            const int  l = h.lnk_ctl[static_cast<std::size_t>(i)];
            const bool starting = t <= h.t_o(l) && h.t_o(l) < t + static_cast<float>(dt) / 10.0f;
            if (starting || t > h.t_e(l)) prepare_or_release(s, i, l, t, dt);
        }
        for (int i = 0; i < h.nshctl; ++i) {
            const int l = h.lnk_ctl[static_cast<std::size_t>(i)];
            if (!(h.t_o(l) < t && t <= h.t_e(l))) continue;
            const int every = static_cast<int>(10.0f * h.sh_freq(l));
            if (every > 0 && t10 % every == 0) control_law(s, i, l, dt);
            if (h.shctl_fmt == 2) h.sh_stamp += 1;
        }
    }
    h.time_cur(1) = t;
}

} // namespace

void rdshctl(Sim& s) {
    auto& h = s.shctl;
    auto& u = s.units;
    h.reset();
    section_heading(u, kUnitSummary, " 34. Speed Harmonization Control file - inputs  ");
    if (!u.open_read(kUnitInput, netin::input_name(s, kShctlFile))) {
        wfree(u, kUnitSummary, kNoShctl);
        wfree(u, kUnitSummary, "     ");
        return;
    }
    wfree(u, kUnitSummary, "     - speed harm control file opened ");
    FreeReader  in(u.in(kUnitInput));
    ShctlReader r{s, in};
    if (r.read_all()) {
        wfree(u, kUnitSummary, "     - Input of Speed Harmonization Speed Control file complete ");
    } else {
        wfree(u, kUnitSummary, kNoShctl);
        if (!(h.fact_acc > 0.0f)) h.shctl_fmt = 0; // a rise divisor of 0 or below: off
    }
    u.close(kUnitInput);
    wfree(u, kUnitSummary, "     ");
}

void spdharm5(Sim& s, int nl, int t10) {
    controller_step(s, nl, t10);
}

void spdharm6(Sim& s, float snew, int vid, int nl, int vt, int t10) {
    controller_step(s, nl, t10);
    auto&       h = s.shctl;
    const float t = static_cast<float>(t10) / 10.0f;
    const float lnk = h.spd_lnk(nl);
    if (h.t_o(nl) <= t && t < h.t_e(nl)) {
        if (vt < 1 || vt > kClasses || h.shctl_flag(nl, vt) != 1) {
            // A class the link does not control: its free speed, as on a link
            // without control, never an advisory left from an earlier link.
            h.spd_ctl6(vid) = s.link1.spdvol(nl, 7);
        } else if (h.sh_flag(vid) != h.sh_stamp) {
            h.spd_ctl6(vid) = snew > lnk ? std::max(snew - h.spd_thr(nl), lnk) : lnk;
            h.sh_flag(vid) = h.sh_stamp;
        }
    } else {
        h.spd_ctl6(vid) = std::min(snew + h.spd_thr(nl), s.link1.spdvol(nl, 7));
    }
}

float exppred(std::span<const float> vec, float tlag, int dt) {
    const int n = kShctlHistory;
    double    sx = 0.0, sxx = 0.0;
    for (int i = 1; i <= n; ++i) {
        const double x = static_cast<double>((dt * i) / 10);
        sx += x;
        sxx += x * x;
    }
    const double d = sx * sx - n * sxx;
    if (d == 0.0) return vec.empty() ? 0.0f : vec.back();
    double b0 = 0.0, b1 = 0.0;
    for (int i = 1; i <= n; ++i) {
        const double x = static_cast<double>((dt * i) / 10);
        const double y = vec[static_cast<std::size_t>(i - 1)];
        b0 += y * (-sxx + sx * x);
        b1 += y * (sx - n * x);
    }
    b0 /= d;
    b1 /= d;
    return static_cast<float>(b0 + b1 * (static_cast<double>(tlag) + 6.0 * dt));
}

float spd2flow(const Sim& s, float vel, int nl) {
    const auto&  sv = s.link1.spdvol;
    const double vf = sv(nl, 7);
    const double v = std::min(static_cast<double>(vel), vf);
    if (v >= vf) return 0.0f;
    const double spacing = sv(nl, 1) + sv(nl, 2) / (vf - v) + sv(nl, 3) * v;
    if (!(spacing > 0.0)) return 0.0f;
    return static_cast<float>(std::abs(s.link1.nulans(nl)) * v / spacing);
}

float flow2spd(const Sim& s, float f, int nl) {
    const auto&  sv = s.link1.spdvol;
    const double uc = sv(nl, 4);
    const int    lanes = std::abs(s.link1.nulans(nl));
    if (!(f > 0.0f) || lanes == 0) return static_cast<float>(uc);
    const double c1 = sv(nl, 1), c2 = sv(nl, 2), c3 = sv(nl, 3), vf = sv(nl, 7);
    const double x = std::min(static_cast<double>(f) / lanes, static_cast<double>(sv(nl, 6)));
    const double a = 1.0 / x - c3;
    const double b = vf * c3 - c1 - vf / x;
    const double c = vf * c1 + c2;
    const double disc = b * b - 4.0 * a * c;
    if (disc < 0.0 || a == 0.0) return static_cast<float>(uc);
    return static_cast<float>((-b - std::sqrt(disc)) / (2.0 * a));
}

} // namespace velm
