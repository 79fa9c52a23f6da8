// Lane targeting. Connected vehicles report their speeds; every second each
// link's segments and lanes get a speed from them. Every 5 s each vehicle
// gets the mean of those speeds over the segments ahead of it within
// communication range, per lane; the lane with the best expectation is the
// one advised, and an advised move is booked against the segment's counts
// and speeds so that the vehicles handled after it see the effect.
#include "core/energy/lane_targeting.h"

#include "core/driver/errors.h"
#include "core/driver/random.h"
#include "core/energy/energy.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

namespace velm {

namespace {

constexpr float kStartLaneSpeed = 10.0f; // km/h of every trip and lane before the first update
constexpr float kBlendOld = 0.8f;        // share of the free speed in a counted cell's speed
constexpr float kBestStart = -10.0f;     // below any expectation
constexpr int   kTitleEcho = 70;

int link_lanes(const Sim& s, int l) {
    return std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
}

// --- trace file -------------------------------------------------------------

// Opens the trace file on first use; false when traces are not asked for or
// once the file could not be created.
bool trace_ready(Sim& s) {
    if (!s.write_traces) return false;
    int& st = s.lane_target.trace_state;
    if (st == 0) {
        st = s.units.open_write(kUnitLaneTargetTrace, kLaneTargetTrace) ? 1 : -1;
        if (st < 0) {
            wfree(s.units, kUnitRunLog, " Cannot create the lane-targeting trace file",
                  std::string(kLaneTargetTrace));
            output_not_written(s, kLaneTargetTrace);
        }
    }
    return st > 0;
}

template <class... T> void trace(Sim& s, const T&... items) {
    s.units.line(kUnitLaneTargetTrace, free_line(items...));
}

// --- reader -----------------------------------------------------------------

// A line that cannot be read ends the run, after what was read so far is
// logged and every file is closed.
[[noreturn]] void read_failed(Sim& s, int line) {
    wfree(s.units, kUnitRunLog, std::string(kLaneTargetFile), " Error", kErrLaneTargetRead,
          "at line", line);
    listerr(s, kLaneTargetFile, kFixedNameFile, line, line <= 1 ? kReadTitle : kReadData,
            s.errcount.numerr);
    s.units.close(kUnitInput);
    fatal_error(s);
}

void check(Sim& s, const FreeReader& in, ReadResult r) {
    if (r != ReadResult::ok) read_failed(s, in.stopped_at(r));
}

void record_skipped(Sim& s, int line, const char* what, int link, int lane) {
    wfree(s.units, kUnitRunLog, std::string(kLaneTargetFile), " Error", kErrLaneTargetRecord,
          "at line", line, std::string(" - ") + what + " of link", link, "lane", lane,
          "is not in the network and is skipped");
    ++s.errcount.numerr;
}

bool lane_in_network(const Sim& s, int link, int lane) {
    return link >= 1 && link <= kMaxLinks && lane >= 1 && lane <= link_lanes(s, link);
}

struct Parameters {
    int num_rsu = 0;
    int acc_records = 0;
};

Parameters read_parameters(Sim& s, FreeReader& in) {
    auto&      lt = s.lane_target;
    Parameters p;
    in.start_record();
    ReadResult r = ReadResult::ok;
    auto       take = [&](auto& v) {
        if (r == ReadResult::ok) r = in.next(v);
    };
    take(lt.lane_tar_enbld);
    take(lt.mpr);
    take(lt.target_class);
    take(p.num_rsu);
    take(lt.com_range);
    take(lt.lookback);
    take(lt.com_range_cof_var);
    take(lt.frequency_of_recommendation);
    take(lt.spd_cof_var);
    take(lt.cvs_wght);
    take(lt.llan_wt);
    take(lt.lane_diff_wt);
    take(lt.spd_delta_wt);
    for (int k = 1; k <= kClasses; ++k) take(lt.con_veh_class(k));
    take(p.acc_records);
    take(lt.ramp_traf_rate);
    take(lt.init_seg_length);
    check(s, in, r);
    return p;
}

void read_records(Sim& s, FreeReader& in, const Parameters& p,
                  std::vector<LanePenalty>& penalties) {
    auto& lt = s.lane_target;
    for (int i = 1; i <= p.num_rsu; ++i) {
        RoadsideUnit u;
        check(s, in, in.record(u.v[0], u.v[1], u.v[2]));
        lt.rsu_info.push_back(u);
    }
    for (int i = 1; i <= p.acc_records; ++i) {
        int link = 0, lane = 0;
        check(s, in, in.record(link, lane));
        const int lan = lane_in_network(s, link, lane) ? s.lanexch.lannum(link, lane) : 0;
        if (lan < 1 || lan > kMaxLanes) {
            record_skipped(s, in.line(), "acceleration lane", link, lane);
            continue;
        }
        lt.acc_lanes(lan) = 1;
    }

    int count = 0;
    check(s, in, in.record(count, lt.penality_percentage));
    for (int i = 1; i <= count; ++i) {
        LanePenalty pen{};
        check(s, in, in.record(pen.link, pen.lane, pen.segments));
        if (trace_ready(s))
            trace(s, "i = ", i, " Link_ID = ", pen.link, " lane_id = ", pen.lane,
                  " num_seg = ", pen.segments);
        if (!lane_in_network(s, pen.link, pen.lane)) {
            record_skipped(s, in.line(), "penalty", pen.link, pen.lane);
            continue;
        }
        penalties.push_back(pen);
    }

    std::string skipped;
    if (!in.text_line(skipped)) read_failed(s, in.line() + 1);
    int links = 0;
    check(s, in, in.record(links));
    for (int i = 1; i <= links; ++i) {
        int link = 0;
        check(s, in, in.record(link));
        if (link < 1 || link > kMaxLinks) {
            wfree(s.units, kUnitRunLog, std::string(kLaneTargetFile), " Error",
                  kErrLaneTargetRecord, "at line", in.line(), " - link", link,
                  "is not in the network and is skipped");
            ++s.errcount.numerr;
            continue;
        }
        lt.ola_flag(link) = 1;
    }
}

// Defaults of every value the file sets, so that a second run in the same
// process starts where the first did.
void set_defaults(Sim& s) {
    auto& lt = s.lane_target;
    lt.lane_tar_enbld = 0;
    lt.com_range = 500;
    lt.frequency_of_recommendation = 10;
    lt.spd_cof_var = 0.0f;
    lt.con_veh_class.zero();
    lt.acc_lanes.zero();
    lt.ola_flag.zero();
    lt.rsu_info.clear();
    lt.ola_data.clear();
    lt.noise_seed = 6;
    lt.noise_waiting = false;
    lt.noise_z2 = 0.0;
}

// --- recommendation -----------------------------------------------------------

// The predicted effect of moving one vehicle from lane c to lane b in
// segment s0: the target lane slows, the current lane speeds up.
void book_move(Sim& s, int l, int n, Segment_data& d, int s0, int b, int c) {
    auto&        lt = s.lane_target;
    const double g = d.individual_segment_length;
    const double c1 = s.link1.spdvol(l, 1), c2 = s.link1.spdvol(l, 2), c3 = s.link1.spdvol(l, 3);
    const double uf = s.link1.spdvol(l, 7);
    int&         nb = d.car_count[static_cast<std::size_t>(Segment_data::cell(s0, b))];
    int&         nc = d.car_count[static_cast<std::size_t>(Segment_data::cell(s0, c))];
    const int    n1 = static_cast<int>(static_cast<float>(nb + 1) / lt.mpr);
    const int    n2 = static_cast<int>(static_cast<float>(nc - 1) / lt.mpr);
    const double k1 = std::max(0.0, 1000.0 * n1 / g);
    const double k1b = std::max(0.0, 1000.0 * (n1 - 1) / g);
    const double k2 = std::max(0.0, 1000.0 * n2 / g);
    const double k2b = std::max(0.0, 1000.0 * (n2 + 1) / g);
    const double v1 = u_of_k(k1b, c1, c2, c3, uf), v2 = u_of_k(k1, c1, c2, c3, uf);
    const double v1b = u_of_k(k2b, c1, c2, c3, uf), v2b = u_of_k(k2, c1, c2, c3, uf);
    const float  dv_opt = static_cast<float>(v2 - v1);
    const float  dv_cur = static_cast<float>(v2b - v1b);
    d.s_data_delta_v[static_cast<std::size_t>(Segment_data::cell(s0, b))] = dv_opt;
    d.s_data_delta_v[static_cast<std::size_t>(Segment_data::cell(s0, c))] = dv_cur;
    const int old_b = nb, old_c = nc;
    nb += 1;
    nc -= 1;

    if (!trace_ready(s)) return;
    static const std::string sep = " " + std::string(39, '+') + " ";
    trace(s, sep);
    trace(s, " optimal lane = ", b, " current = ", c);
    trace(s, " U_bar opt = ", lt.lane_speed(n, b), " current U_bar = ", lt.lane_speed(n, c));
    trace(s, "C1 = ", c1, " C2 = ", c2, " C3 = ", c3);
    trace(s, " d1 = ", k1, " d2 = ", k2, " d1b = ", k1b, " d2b = ", k2b);
    trace(s, "spdvol(Link_ID,7) = ", uf);
    trace(s, " v1 = ", v1, " v2 = ", v2, " v1b = ", v1b, " v2b = ", v2b);
    trace(s, " Delta V Optimal = ", dv_opt, " Delta V Current = ", dv_cur);
    trace(s, " count old optimal = ", old_b, " count old current = ", old_c,
          " count new optimal = ", nb, " count new current = ", nc);
    trace(s, sep);
}

} // namespace

// --- input --------------------------------------------------------------------

void rd_ola(Sim& s) {
    auto& lt = s.lane_target;
    auto& u = s.units;
    set_defaults(s);
    lt.last_lane_change.zero();

    const std::string name = netin::input_name(s, kLaneTargetFile);
    if (!u.open_read(kUnitInput, name)) return;
    FreeReader  in(u.in(kUnitInput));
    std::string title;
    if (!in.text_line(title)) read_failed(s, 1);
    wfree(u, kUnitSummary, "  Open Lane targeting file:", name);
    u.line(kUnitSummary,
           "     - " + title.substr(0, std::min<std::size_t>(title.size(), kTitleEcho)));

    const Parameters         p = read_parameters(s, in);
    std::vector<LanePenalty> penalties;
    read_records(s, in, p, penalties);
    u.close(kUnitInput);

    if (lt.lane_tar_enbld != 1) return;
    if (!(lt.init_seg_length > 0.0f) || !(lt.mpr > 0.0f)) {
        wfree(u, kUnitRunLog, std::string(kLaneTargetFile), " Error", kErrLaneTargetValues,
              " - segment length", lt.init_seg_length, "and connected share", lt.mpr,
              "must be positive: lane targeting stays off");
        ++s.errcount.numerr;
        lt.lane_tar_enbld = 0;
        return;
    }
    iniialize_ola(s, lt.init_seg_length, penalties);
    lt.lane_speed.fill(kStartLaneSpeed);
}

void iniialize_ola(Sim& s, float initial_distance_for_segments,
                   const std::vector<LanePenalty>& penalties) {
    auto&     lt = s.lane_target;
    const int mlnum = s.link2.mlnum;
    lt.ola_data.assign(static_cast<std::size_t>(mlnum) + 1, Segment_data{});
    for (int l = 1; l <= mlnum; ++l) {
        Segment_data& d = lt.ola_data[static_cast<std::size_t>(l)];
        const float   len = 1000.0f * s.link4.llength(l);
        int           segs = 1;
        if (initial_distance_for_segments < len) {
            const double whole =
                std::trunc(static_cast<double>(len) / initial_distance_for_segments);
            segs = static_cast<int>(std::clamp(whole, 1.0, static_cast<double>(kMaxSegments)));
            if (whole > kMaxSegments)
                wfree(s.units, kUnitRunLog, " Lane targeting: link", l, "is cut into", kMaxSegments,
                      "segments of", len / kMaxSegments, "m");
        }
        d.number_of_segments = segs;
        d.individual_segment_length = len / static_cast<float>(segs);
        const std::size_t cells = static_cast<std::size_t>(segs) * kMaxLinkLanes;
        d.s_data.assign(cells, 0.0f);
        d.s_data_prev.assign(cells, 0.0f);
        d.s_data_delta_v.assign(cells, 0.0f);
        d.s_data_penality.assign(cells, 0.0f);
        d.car_count.assign(cells, 0);
    }
    for (const LanePenalty& p : penalties) {
        if (p.link < 1 || p.link > mlnum || p.lane < 1 || p.lane > kMaxLinkLanes) continue;
        Segment_data& d = lt.ola_data[static_cast<std::size_t>(p.link)];
        const int     first = std::max(1, d.number_of_segments - p.segments + 1);
        for (int seg = first; seg <= d.number_of_segments; ++seg)
            d.s_data_penality[static_cast<std::size_t>(Segment_data::cell(seg, p.lane))] = 1.0f;
    }
}

// --- per second ---------------------------------------------------------------

void calc_seg_lane_speed(Sim& s) {
    auto&     lt = s.lane_target;
    const int mlnum = std::min(s.link2.mlnum, static_cast<int>(lt.ola_data.size()) - 1);
    for (int l = 1; l <= mlnum; ++l) {
        Segment_data& d = lt.ola_data[static_cast<std::size_t>(l)];
        std::fill(d.car_count.begin(), d.car_count.end(), 0);
        std::fill(d.s_data_delta_v.begin(), d.s_data_delta_v.end(), 0.0f);
        if (!(s.link4.llength(l) > 0.0f)) continue;
        const float uf = s.link1.spdvol(l, 7);
        std::fill(d.s_data.begin(), d.s_data.end(), 0.0f);
        std::fill(d.s_data_prev.begin(), d.s_data_prev.end(), uf);
        const int   segs = d.number_of_segments;
        const float g = d.individual_segment_length;
        const int   base = s.link2.nbqu(l);
        for (int i = 1; i <= s.link2.ntqu(l); ++i) {
            const int car = s.vehicle.big(base + i);
            if (car < 1 || car > kMaxTrips) continue;
            const int vid = s.vehindx.vehid(car);
            const int vt = s.oddat.vtyp(car);
            if (vid < 1 || vid > kMaxVehicles || vt < 1 || vt > kClasses) continue;
            if (lt.con_veh_class(vt) != 1) continue;
            const int k = s.oddat.vlan(vid, 1);
            if (k < 1 || k > kMaxLinkLanes) continue;
            // A vehicle at or past the link's end counts in the last segment.
            const int  seg = std::clamp(static_cast<int>(s.vehplot.dis(vid, 1) / g) + 1, 1, segs);
            const auto c = static_cast<std::size_t>(Segment_data::cell(seg, k));
            d.car_count[c] += 1;
            d.s_data[c] += s.vehplot.spd(vid, 2);
        }
        for (std::size_t c = 0; c < d.s_data.size(); ++c) {
            if (d.car_count[c] == 0)
                d.s_data[c] = uf;
            else
                d.s_data[c] =
                    std::min(kBlendOld * d.s_data_prev[c] + (1.0f - kBlendOld) * d.s_data[c] /
                                                                static_cast<float>(d.car_count[c]),
                             uf);
            d.s_data_prev[c] = d.s_data[c];
        }
    }
}

void print_segemnt_data(Sim&, int) {}

// --- recommendation -----------------------------------------------------------

int delta_function(const Sim& s, double x_position) {
    return x_position <= static_cast<double>(s.lane_target.com_range) ? 1 : 0;
}

double u_of_k(double k, double c1, double c2, double c3, double uf) {
    if (k < 0.01) return uf;
    if (c3 == 0.0) {
        const double spacing = 1.0 / k;
        return spacing > c1 ? uf - c2 / (spacing - c1) : 0.0;
    }
    const double beta = c1 * k - c3 * uf * k - 1.0;
    const double rad = beta * beta - 4.0 * c3 * k * (uf - c2 * k - c1 * uf * k);
    if (rad < 0.0) return 0.0;
    return (-beta - std::sqrt(rad)) / (2.0 * c3 * k);
}

void compute_u_bar(Sim& s, int link_id, int veh_global_id) {
    auto&     lt = s.lane_target;
    const int l = link_id, n = veh_global_id;
    if (l < 1 || l >= static_cast<int>(lt.ola_data.size()) || n < 1 || n > kMaxTrips) return;
    const int vid = s.vehindx.vehid(n);
    if (vid < 1 || vid > kMaxVehicles) return;
    Segment_data& d = lt.ola_data[static_cast<std::size_t>(l)];
    const int     segs = d.number_of_segments;
    const double  g = d.individual_segment_length;
    const int     c = s.oddat.vlan(vid, 1);
    const int     lanes = link_lanes(s, l);
    // A vehicle at or past the link's end is in the last segment.
    const int s0 =
        g > 0.0 ? std::clamp(static_cast<int>(s.vehplot.dis(vid, 1) / g) + 1, 1, segs) : 1;
    const bool tracing = trace_ready(s);

    for (int k = 1; k <= kMaxLinkLanes; ++k) lt.ola_fr_factor(n, k) = 0.0f;
    float best = kBestStart;
    int   b = 1;
    for (int k = 1; k <= lanes; ++k) {
        float u = 0.0f;
        float sum_delta = 0.0f;
        for (int seg = s0; seg <= segs; ++seg) {
            const auto  cell = static_cast<std::size_t>(Segment_data::cell(seg, k));
            const int   delta = delta_function(s, (seg - s0) * g);
            const float t = static_cast<float>(delta) * (d.s_data[cell] + d.s_data_delta_v[cell]);
            const float pen = d.s_data_penality[cell];
            const float penalty_term = lt.penality_percentage * t * pen;
            if (tracing) {
                trace(s, "Lane ID = ", k, " return value = ", delta);
                trace(s, "Link_ID = ", l, " seg_num_counter = ", seg);
                trace(s, "Veh_ID = ", vid, " Global Veh ID = ", n);
                trace(s, "Current Lane = ", c);
                trace(s, " Initial U_bar = ", u + t);
                trace(s, " Penalty = ",
                      lt.penality_percentage * static_cast<float>(delta) * (u + t) * pen);
            }
            u += t + penalty_term;
            if (tracing && penalty_term < 0.0f) {
                trace(s, "Lane ID = ", k);
                trace(s, "Link_ID = ", l);
                trace(s, " Initial U_bar = ", u - penalty_term);
                trace(s, " tmp_val_1 = ", t);
                trace(s, " Penalty = ", penalty_term);
                trace(s, " penalized U_bar = ", u);
            }
            sum_delta += static_cast<float>(delta);
        }
        const float factor = 1.0f - lt.lane_diff_wt * static_cast<float>(std::abs(k - c));
        lt.ola_fr_factor(n, k) = factor;
        const float undivided = u;
        if (sum_delta > 0.0f) u /= sum_delta;
        if (tracing) {
            trace(s, " Initial U_bar = ", u);
            trace(s, " Coef = ", factor);
            trace(s, " Sum Delta = ", sum_delta);
            trace(s, " u_bar_size = ", lanes);
            trace(s, "b - counter = ", k, " U_Bar = ", undivided);
            trace(s, " Coef = ", factor);
            trace(s, " -------------------------");
            trace(s, "counter = ", k, " U_Bar * Fr = ", u);
            trace(s, " -------------------------");
        }
        if (u > best) {
            best = u;
            b = k;
        }
        lt.lane_speed(n, k) = u;
    }
    // No move is booked for a vehicle whose lane is not one of the link's, or
    // on a link without length.
    if (b == c || c < 1 || c > lanes || !(g > 0.0)) return;
    book_move(s, l, n, d, s0, b, c);
}

float get_random(Sim& s, float mu, float cof_var) {
    auto&        lt = s.lane_target;
    const double m = mu, cv = cof_var;
    if (lt.noise_waiting) {
        lt.noise_waiting = false;
        return static_cast<float>(m + m * cv * lt.noise_z2);
    }
    float u1 = 0.0f, u2 = 0.0f;
    random(lt.noise_seed, u1);
    random(lt.noise_seed, u2);
    const double r = std::sqrt(-2.0 * std::log(static_cast<double>(u2)));
    const double a = 2.0 * std::numbers::pi * static_cast<double>(u1);
    lt.noise_z2 = r * std::sin(a);
    lt.noise_waiting = true;
    return static_cast<float>(m + m * cv * r * std::cos(a));
}

} // namespace velm
