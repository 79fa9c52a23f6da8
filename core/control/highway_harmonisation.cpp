// Highway speed harmonisation: listed highway links are measured every tick;
// every control period the links whose density is above the threshold are
// found and, when at least two are, the links that feed them get a control
// speed at which they carry their share of a sliding-mode inflow target. The
// speed update caps every vehicle in a feeder's middle zone at that speed.
#include "core/control/highway_harmonisation.h"
#include "core/control/control.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace velm {

namespace {

constexpr const char* kHighwayFile = "spd_highway.dat";
constexpr int         kUnitHighway = 1122;

// The relation as spacing (km per vehicle) c1 + c2 / (uf - u) + c3 u.
struct SpacingTerms {
    float c1, c2, c3;
};
SpacingTerms spacing_terms(const SpeedDensity& r) {
    const float d = r.uc * r.uc * r.kj;
    return {(2.0f * r.uc - r.uf) * r.uf / d, r.uf * (r.uc - r.uf) * (r.uc - r.uf) / d,
            1.0f / r.qc - r.uf / d};
}

// The spacing (km per vehicle) at speed u of the link's relation.
float spacing(const SpeedDensity& r, float u) {
    const auto [c1, c2, c3] = spacing_terms(r);
    return c1 + c2 / (r.uf - u) + c3 * u;
}

bool relation_defined(const SpeedDensity& r) {
    return r.uf > 0.0f && r.uc > 0.0f && r.kj > 0.0f && r.qc > 0.0f;
}

void log_refused(Sim& s, int code, int line, const char* what) {
    wfree(s.units, kUnitRunLog, kHighwayFile, " Error", code, "at line", line,
          std::string("- ") + what + "; highway speed harmonisation is off");
}

// The header; false with the run-log line when it is short or out of range.
bool read_header(Sim& s, FreeReader& in) {
    auto&      h = s.highway_spdharm;
    ReadResult r =
        in.record(h.number_highway_links, h.congestion_threshold, h.sph_period,
                  h.location_percentage, h.v_class, h.smoothing_factor,
                  h.maximum_length_for_harmonization, h.new_smoothing_factor, h.sliding_parameter);
    if (r != ReadResult::ok) {
        log_refused(s, kErrHighwayHeader, in.stopped_at(r), "header short or not numeric");
        return false;
    }
    if (h.number_highway_links < 1 || h.number_highway_links > kMaxLinks || h.sph_period < 1 ||
        h.v_class < 1 || h.v_class > kClasses) {
        log_refused(s, kErrHighwayHeader, in.line(),
                    "needs 1 or more links, a period of 1 tick or more and a class 1 to 5");
        return false;
    }
    wfree(s.units, kUnitSummary, "     - Number of highway links:", h.number_highway_links);
    wfree(s.units, kUnitSummary, "     - Congestion Threshold:", h.congestion_threshold);
    wfree(s.units, kUnitSummary, "     - SPH_period:", h.sph_period);
    return true;
}

void size_tables(Sim& s) {
    auto&     h = s.highway_spdharm;
    const int n = h.number_highway_links;
    h.release();
    h.hl_links_ids.resize(n);
    h.hl_connectivity_mat.resize(n, n);
    h.highway_tllink.resize(n, kClasses, 2);
    h.space_m_speed.resize(n, kClasses);
    h.hl_sampled.resize(n);
    h.previous_velocity.resize(n);
    h.hl_links_data.resize(n);
    h.it_links_congested.resize(n, 2);
    h.cong_target.resize(n);
    h.cong_first.resize(n + 1);
    h.cong_feeders.resize(n);
    h.it_links_for_sph.resize(n);
    h.it_target_flow.resize(n);
    h.highway_sph_ctl_spd.resize(std::max(1, std::min(s.link2.mlnum, kMaxLinks)), kClasses);
}

bool read_body(Sim& s, FreeReader& in) {
    auto&     h = s.highway_spdharm;
    const int n = h.number_highway_links;
    const int ml = std::min(s.link2.mlnum, kMaxLinks);
    for (int i = 1; i <= n; ++i) {
        int        l = 0;
        ReadResult r = in.record(l);
        if (r != ReadResult::ok) {
            log_refused(s, kErrHighwayLink, in.stopped_at(r), "link list short or not numeric");
            return false;
        }
        if (l < 1 || l > ml || !(s.link4.llength(l) > 0.0f) ||
            !relation_defined(speed_density_of(s, l))) {
            log_refused(s, kErrHighwayLink, in.line(), "listed link is not a link of the network");
            return false;
        }
        h.hl_links_ids(i) = l;
    }
    for (int row = 1; row <= n; ++row) {
        in.start_record();
        for (int c = 1; c <= n; ++c) {
            int        v = 0;
            ReadResult r = in.next(v);
            if (r != ReadResult::ok) {
                log_refused(s, kErrHighwayMatrix, in.stopped_at(r),
                            "feeder matrix short or not numeric");
                return false;
            }
            if (v != 0 && v != 1) {
                log_refused(s, kErrHighwayMatrix, in.line(),
                            "feeder matrix holds other than 0 or 1");
                return false;
            }
            h.hl_connectivity_mat(row, c) = v;
        }
    }
    return true;
}

// Starting state: every listed link at its free speed, nothing capped.
void start_state(Sim& s) {
    auto& h = s.highway_spdharm;
    h.highway_tllink.zero();
    h.space_m_speed.zero();
    h.hl_sampled.zero();
    for (int i = 1; i <= h.number_highway_links; ++i)
        h.previous_velocity(i) = s.link1.spdvol(h.hl_links_ids(i), 7);
    h.it_len = h.it_len_congested = 0;
    for (int l = 1; l <= h.highway_sph_ctl_spd.hi1(); ++l)
        for (int c = 1; c <= kClasses; ++c) h.highway_sph_ctl_spd(l, c) = s.link1.spdvol(l, 7);
}

// Every vehicle of each listed link: the distance it makes in this tick; then
// the space-mean speed of each class that had a vehicle there.
void space_mean_speed_for_highways(Sim& s) {
    auto&       h = s.highway_spdharm;
    const auto& big = s.vehicle.big;
    const auto& vehid = s.vehindx.vehid;
    const auto& vtyp = s.oddat.vtyp;
    const auto& dis = s.vehplot.dis;
    const auto& spd = s.vehplot.spd;
    for (int i = 1; i <= h.number_highway_links; ++i) {
        const int   l = h.hl_links_ids(i);
        const float len = kMetresPerKm * s.link4.llength(l);
        const int   n = s.link2.ntqu(l);
        if (!(len > 0.0f) || n <= 0) continue;
        const int base = s.link2.nbqu(l);
        bool      seen[kClasses + 1] = {};
        for (int j = 1; j <= n; ++j) {
            const int car = big(base + j);
            const int vid = vehid(car);
            const int c = vtyp(car);
            if (c < 1 || c > kClasses) continue;
            const float p = std::min(dis(vid, 1) + spd(vid, 1) / 36.0f, len);
            h.highway_tllink(i, c, 1) += p - dis(vid, 2);
            h.highway_tllink(i, c, 2) += 0.1f;
            seen[c] = true;
        }
        for (int c = 1; c <= kClasses; ++c)
            if (seen[c])
                h.space_m_speed(i, c) =
                    kKmhPerMps * h.highway_tllink(i, c, 1) / h.highway_tllink(i, c, 2);
        if (seen[h.v_class]) h.hl_sampled(i) = 1;
    }
}

void reset_highway_speed_harmonization(Sim& s) {
    auto& h = s.highway_spdharm;
    for (int i = 1; i <= h.number_highway_links; ++i) {
        const int l = h.hl_links_ids(i);
        for (int c = 1; c <= kClasses; ++c) h.highway_sph_ctl_spd(l, c) = s.link1.spdvol(l, 7);
    }
}

bool is_congested(const mod_highway_spdharm& h, int l, int found) {
    for (int j = 1; j <= found; ++j)
        if (h.it_links_congested(j, 1) == l) return true;
    return false;
}

// The congested links of this period, their inflow targets and feeders; the
// capped list is rebuilt when at least two are congested.
void get_highway_links_candidate_for_speed_harmonization(Sim& s) {
    auto&     h = s.highway_spdharm;
    const int n = h.number_highway_links;
    int       found = 0, feeders = 0;
    for (int i = 1; i <= n; ++i) {
        const int          l = h.hl_links_ids(i);
        const SpeedDensity r = speed_density_of(s, l);
        const float        measured = h.hl_sampled(i) ? h.space_m_speed(i, h.v_class) : r.uf;
        const float        v =
            (1.0f - h.smoothing_factor) * h.previous_velocity(i) + h.smoothing_factor * measured;
        h.previous_velocity(i) = v;
        wfree(s.units, kUnitRunLog, "Link ID = ", l, " SMS = ", v);
        const float k = compute_k_of_u(r, v);
        h.hl_links_data(i) = k;
        const float kthr = highway_threshold_density(s, l);
        if (!(k > kthr)) continue;
        wfree(s.units, kUnitRunLog, "Link = ", l, " k = ", k, " > ", kthr, " Kc = ", kthr,
              " kj = ", r.kj);
        ++found;
        h.it_links_congested(found, 1) = l;
        h.it_links_congested(found, 2) = i;
        const float qin = highway_spd_harm_sliding_mode_compute_inflow(
            compute_q_of_u(r, v), 0.0f, 0.0f, 0.0f, h.sliding_parameter, k, kthr,
            s.link4.llength(l));
        h.cong_target(found) = netin::trunc_sat(qin);
        h.cong_first(found) = feeders + 1;
        for (int row = 1; row <= n; ++row)
            if (h.hl_connectivity_mat(row, i) == 1) {
                h.cong_feeders.grow(++feeders);
                h.cong_feeders(feeders) = h.hl_links_ids(row);
            }
    }
    h.cong_first(found + 1) = feeders + 1;
    if (found > 0) h.it_len_congested = found;
    if (found < 2) return;
    h.it_len = 0;
    for (int j = 1; j <= found; ++j) {
        const int first = h.cong_first(j);
        const int last = h.cong_first(j + 1) - 1;
        int       taken = 0;
        for (int f = first; f <= last; ++f)
            if (!is_congested(h, h.cong_feeders(f), found)) ++taken;
        const float share =
            static_cast<float>(h.cong_target(j)) / static_cast<float>(std::max(taken, 1));
        for (int f = last; f >= first; --f) {
            const int l = h.cong_feeders(f);
            if (is_congested(h, l, found)) continue;
            ++h.it_len;
            h.it_links_for_sph.grow(h.it_len);
            h.it_target_flow.grow(h.it_len);
            h.it_links_for_sph(h.it_len) = l;
            h.it_target_flow(h.it_len) = share;
        }
    }
}

void apply_highway_speed_harmonization(Sim& s) {
    auto& h = s.highway_spdharm;
    for (int k = 1; k <= h.it_len; ++k) {
        const int   l = h.it_links_for_sph(k);
        const float u = compute_u_of_q(speed_density_of(s, l), h.it_target_flow(k));
        for (int c = 1; c <= kClasses; ++c) h.highway_sph_ctl_spd(l, c) = u;
    }
}

void reset_highway_sms(Sim& s) {
    auto& h = s.highway_spdharm;
    for (int i = 1; i <= h.number_highway_links; ++i)
        for (int c = 1; c <= kClasses; ++c)
            for (int m = 1; m <= 2; ++m) h.highway_tllink(i, c, m) *= h.new_smoothing_factor;
}

} // namespace

SpeedDensity speed_density_of(const Sim& s, int l) {
    const auto& v = s.link1.spdvol;
    return SpeedDensity{v(l, 7), v(l, 4), v(l, 5), v(l, 6)};
}

float compute_k_of_u(const SpeedDensity& r, float u) {
    if (!(u < r.uf)) return 0.0f;
    return 1.0f / spacing(r, u);
}

float compute_q_of_u(const SpeedDensity& r, float u) {
    if (!(u < r.uf)) return 0.0f;
    return u / spacing(r, u);
}

float compute_u_of_q(const SpeedDensity& r, float q) {
    const auto [c1, c2, c3] = spacing_terms(r);
    const float a = 2.0f * (q * c3 - 1.0f);
    if (a == 0.0f) return r.uc;
    const float b = (r.uf * c3 - c1) * q - r.uf;
    const float e = r.uf + q * c1 - q * c3 * r.uf;
    const float disc = std::max(0.0f, 4.0f * (q * c3 - 1.0f) * (r.uf * q * c1 + q * c2) + e * e);
    return (std::sqrt(disc) + b) / a;
}

float highway_spd_harm_sliding_mode_compute_inflow(float qout, float qd, float alpha, float beta,
                                                   float eta, float density, float target_density,
                                                   float length_link) {
    return (qout / length_link - qd / length_link -
            (alpha + beta + eta) * std::abs(density - target_density)) *
           length_link;
}

int val_in_vect(int xval, const Array1<int>& vect, int xlen) {
    for (int i = 1; i <= xlen; ++i)
        if (vect(i) == xval) return 1;
    return 0;
}

float highway_threshold_density(const Sim& s, int l) {
    const float spacing_at_capacity = s.link1.spdvol(l, 11);
    if (!(spacing_at_capacity > 0.0f)) return 0.0f;
    return s.highway_spdharm.congestion_threshold * kMetresPerKm / spacing_at_capacity;
}

float highway_cap(const Sim& s, int l, int vt, float d, float u) {
    const auto& h = s.highway_spdharm;
    if (vt < 1 || vt > kClasses || l > h.highway_sph_ctl_spd.hi1()) return u;
    const float len = kMetresPerKm * s.link4.llength(l);
    if (!(len > 0.0f)) return u;
    const float f = std::min(h.location_percentage, h.maximum_length_for_harmonization / len);
    if (std::abs(d / len - 0.5f) < f) u = std::min(u, h.highway_sph_ctl_spd(l, vt));
    return u;
}

void init_highway_spdharm(Sim& s) {
    auto& h = s.highway_spdharm;
    auto& u = s.units;
    h.highway_spdharm_activation_flag = 0;
    wfree(u, kUnitSummary, "Checking the highway_spdharm.dat");
    if (!u.open_read(kUnitHighway, netin::input_name(s, kHighwayFile))) return;
    wfree(u, kUnitSummary, "     -highway_spdharm file   opened ");
    FreeReader  in(u.in(kUnitHighway));
    std::string title;
    bool        ok = in.text_line(title);
    if (!ok)
        log_refused(s, kErrHighwayHeader, 1, "no title line");
    else
        wfree(u, kUnitSummary,
              "     - highway speed harmonization file :", netin::first_chars(title, 360));
    ok = ok && read_header(s, in);
    if (ok) {
        size_tables(s);
        ok = read_body(s, in);
    }
    u.close(kUnitHighway);
    if (!ok) {
        h.release();
        return;
    }
    start_state(s);
    h.highway_spdharm_activation_flag = 1;
}

void highway_spd_harm_run(Sim& s, int t10) {
    auto& h = s.highway_spdharm;
    // A switch set without a read file has nothing to measure.
    if (h.highway_spdharm_activation_flag != 1 || h.sph_period < 1) return;
    space_mean_speed_for_highways(s);
    if (t10 % h.sph_period != 0) return;
    reset_highway_speed_harmonization(s);
    get_highway_links_candidate_for_speed_harmonization(s);
    apply_highway_speed_harmonization(s);
    reset_highway_sms(s);
}

void clean_highway_spd_harm(Sim& s) {
    s.highway_spdharm.highway_spdharm_activation_flag = 0;
    s.highway_spdharm.release();
}

} // namespace velm
