// Connected-vehicle speed harmonisation: on each controlled link, connected
// vehicles in the middle zone drive at a speed commanded by a sliding-mode
// law that steers the mean speed of the connected vehicles on the link ahead
// towards its speed at capacity while that link's density is in the band.
// Each controlled-link pair keeps its own band test and error integral; the
// command is worked out once per pair and tick, when the speed update reaches
// the controlled link.
#include "core/control/control.h"
#include "core/control/highway_harmonisation.h"
#include "core/driver/errors.h" // output_not_written
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/network/input_support.h"
#include "core/routing/path_store.h" // output_file

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

constexpr const char* kCvFile = "input_SpdHarmHw.dat";
constexpr const char* kCvEcho = "SpdHarmHw_output_Code.txt";
constexpr int         kUnitCvEcho = 1100;
constexpr const char* kNoCvFile = "     - No High way speed harmonization (SpdHarmHw) file input";
constexpr float       kMinInterval = 0.1f; // s: one tick
// s: ten days, far beyond any run, and its ticks always a whole number.
constexpr float kMaxInterval = 864000.0f;

void log_refused(Sim& s, int code, int line, const std::string& what) {
    wfree(s.units, kUnitRunLog, kCvFile, " Error", code, "at line", line,
          "- " + what + "; connected-vehicle speed harmonisation is off");
}

// A link the law can work on: on the network, with lanes and a relation.
bool usable_link(const Sim& s, int l) {
    if (l < 1 || l > std::min(s.link2.mlnum, kMaxLinks) || !(s.link4.llength(l) > 0.0f))
        return false;
    const auto& v = s.link1.spdvol;
    return s.link1.nulans(l) != 0 && v(l, 7) > 0.0f && v(l, 5) > 0.0f;
}

// The parameter records; false with the run-log line when one is short, not
// numeric or out of range.
bool read_parameters(Sim& s, FreeReader& in) {
    auto&      c = s.spdharmhw;
    auto&      u = s.units;
    ReadResult r = in.record(c.active_spdharmhw, c.spdharmhw_interval, c.spdharmhw_distanceratio,
                             c.spdharmhw_max_distancerange);
    if (r == ReadResult::ok)
        wfree(u, kUnitCvEcho, c.active_spdharmhw, c.spdharmhw_interval, c.spdharmhw_distanceratio,
              c.spdharmhw_max_distancerange);
    if (r == ReadResult::ok)
        r = in.record(c.eta, c.k_rt, c.landa, c.distrlow, c.distrhigh, c.a_constant);
    if (r == ReadResult::ok)
        wfree(u, kUnitCvEcho, c.eta, c.k_rt, c.landa, c.distrlow, c.distrhigh, c.a_constant);
    if (r == ReadResult::ok) r = in.record(c.spdharmhw_lowctrlbnd, c.spdharmhw_highctrlbnd);
    if (r == ReadResult::ok) wfree(u, kUnitCvEcho, c.spdharmhw_lowctrlbnd, c.spdharmhw_highctrlbnd);
    if (r == ReadResult::ok) r = in.record(c.nctrdlinks, c.cv_classes);
    if (r != ReadResult::ok) {
        log_refused(s, kErrCvHeader, in.stopped_at(r), "parameters short or not numeric");
        return false;
    }
    wfree(u, kUnitCvEcho, c.nctrdlinks, c.cv_classes);
    if (!(c.spdharmhw_interval <= kMaxInterval)) {
        log_refused(s, kErrCvHeader, in.line(),
                    free_line("interval", c.spdharmhw_interval, "s is beyond", kMaxInterval, "s"));
        return false;
    }
    if (!(c.spdharmhw_interval >= kMinInterval) || !std::isfinite(c.spdharmhw_interval) ||
        c.nctrdlinks < 0 || c.nctrdlinks > kMaxLinks || c.a_constant == 0.0f ||
        !(c.cv_classes >= 0.0f && c.cv_classes < 100000.0f)) {
        log_refused(s, kErrCvHeader, in.line(),
                    "needs an interval of 0.1 s or more, 0 to 4487 pairs, a non-zero density "
                    "constant and a class code of five digits");
        return false;
    }
    return true;
}

bool read_pairs(Sim& s, FreeReader& in) {
    auto& c = s.spdharmhw;
    c.spdharmhw_ctrdlk_matrix.zero();
    c.pair_of_link.zero();
    for (int i = 1; i <= c.nctrdlinks; ++i) {
        int        from = 0, ahead = 0;
        ReadResult r = in.record(from, ahead);
        if (r != ReadResult::ok) {
            log_refused(s, kErrCvPair, in.stopped_at(r), "pairs short or not numeric");
            return false;
        }
        if (!usable_link(s, from) || !usable_link(s, ahead)) {
            log_refused(s, kErrCvPair, in.line(), "a pair names a link the network does not have");
            return false;
        }
        wfree(s.units, kUnitCvEcho, from, ahead);
        c.spdharmhw_ctrdlk_matrix(i, 1) = from;
        c.spdharmhw_ctrdlk_matrix(i, 2) = ahead;
        if (c.pair_of_link(from) == 0) c.pair_of_link(from) = i;
    }
    return true;
}

void class_digits(Sim& s) {
    auto&        c = s.spdharmhw;
    const double code = static_cast<double>(c.cv_classes) + 0.5;
    double       place = 10000.0;
    for (int k = 1; k <= kClasses; ++k, place /= 10.0)
        c.cv_digit[k] = static_cast<int>(std::fmod(std::trunc(code / place), 10.0));
    wfree(s.units, kUnitCvEcho, "-----------------------------------------");
    wfree(s.units, kUnitCvEcho, "CV Classes");
    wfree(s.units, kUnitCvEcho, c.cv_digit[1], c.cv_digit[2], c.cv_digit[3], c.cv_digit[4],
          c.cv_digit[5]);
    if (c.cv_digit[1] + c.cv_digit[2] + c.cv_digit[3] + c.cv_digit[4] + c.cv_digit[5] == 0)
        wfree(s.units, kUnitConsole,
              " Error in input_SpdHarmHw.dat: SH on HW is not activated (00000), Please specify "
              "CV class, e.g., 10000");
    wfree(s.units, kUnitCvEcho, "-----------------------------------------");
}

int control_period(const mod_spdharmhw& c) {
    return std::max(1, static_cast<int>(10.0f * c.spdharmhw_interval));
}

// Mean speed (km/h) of the connected vehicles on link n from the link's
// distance and time sums, weighted by the class digits; false when no
// connected vehicle is there.
bool connected_speed(const Sim& s, int n, float& ul) {
    const auto& c = s.spdharmhw;
    int         count[kClasses + 1] = {};
    const int   base = s.link2.nbqu(n);
    for (int j = 1; j <= s.link2.ntqu(n); ++j) {
        const int vt = s.oddat.vtyp(s.vehicle.big(base + j));
        if (vt >= 1 && vt <= kClasses) ++count[vt];
    }
    float weight = 0.0f, sum = 0.0f;
    for (int vt = 1; vt <= kClasses; ++vt) {
        const float w = static_cast<float>(c.cv_digit[vt] * count[vt]);
        if (w == 0.0f) continue;
        const float tm = s.delay.tllink(n, vt, 2);
        const float r = tm > 0.0f ? kKmhPerMps * s.delay.tllink(n, vt, 1) / tm : 0.0f;
        weight += w;
        sum += w * r;
    }
    if (!(weight > 0.0f)) return false;
    ul = sum / weight;
    return true;
}

} // namespace

void rd_spdharmhw(Sim& s) {
    auto& c = s.spdharmhw;
    auto& u = s.units;
    c = mod_spdharmhw{};
    if (!u.open_read(kUnitInput, netin::input_name(s, kCvFile))) {
        wfree(u, kUnitRunLog, kNoCvFile);
        return;
    }
    const std::string echo = routing::output_file(s, kCvEcho);
    if (!u.open_write(kUnitCvEcho, echo)) output_not_written(s, echo);
    FreeReader  in(u.in(kUnitInput));
    std::string title;
    bool        ok = in.text_line(title);
    if (!ok)
        log_refused(s, kErrCvHeader, 1, "no title line");
    else
        wfree(u, kUnitCvEcho, netin::first_chars(title, 40));
    ok = ok && read_parameters(s, in) && read_pairs(s, in);
    if (ok) {
        class_digits(s);
    } else {
        c.active_spdharmhw = 0;
        c.nctrdlinks = 0;
        c.pair_of_link.zero();
        wfree(u, kUnitCvEcho, kNoCvFile);
    }
    u.close(kUnitInput);
    wfree(u, kUnitCvEcho, "     ");
    u.close(kUnitCvEcho);
}

int spdharmhw_link_tick(Sim& s, int l) {
    auto& c = s.spdharmhw;
    if (c.active_spdharmhw != 1 || l < 1 || l > kMaxLinks) return 0;
    const int p = c.pair_of_link(l);
    if (p == 0) return 0;
    const int period = control_period(c);
    const int t10 = s.control.t10;
    if (t10 < period) return 0;
    if (t10 == period) {
        c.flag_under_ctrl(p) = 0;
        c.sum_error_spdharmhw(p) = 0.0f;
    }
    c.has_command(p) = 0;
    const int   n = c.spdharmhw_ctrdlk_matrix(p, 2);
    const auto& v = s.link1.spdvol;
    const float kj = v(n, 5), uf = v(n, 7), ub = v(n, 4);
    const float c1 = v(n, 1), c2 = v(n, 2), c3 = v(n, 3);
    const float len_n = s.link4.llength(n);
    const float ka = static_cast<float>(s.link2.ntqu(n)) / len_n;
    const float kc = static_cast<float>(s.link2.ntqu(l)) / s.link4.llength(l);
    const bool  control_tick = t10 % period == 0;
    if (control_tick) {
        const float ka_lane = ka / static_cast<float>(std::abs(s.link1.nulans(n)));
        c.flag_under_ctrl(p) =
            ka_lane >= c.spdharmhw_lowctrlbnd * kj && ka_lane <= c.spdharmhw_highctrlbnd * kj;
        if (c.flag_under_ctrl(p) == 0) c.sum_error_spdharmhw(p) = 0.0f;
    }
    if (c.flag_under_ctrl(p) == 0) return p;
    float ul = 0.0f;
    if (!connected_speed(s, n, ul) || !(ul < uf)) return p;
    const float gap = uf - ul;
    const float h = c1 + c3 * ul + c2 / gap;
    const float alfa = -(c2 + c3 * gap * gap) / (gap * gap * h * h);
    if (!(alfa != 0.0f) || !std::isfinite(alfa)) return p;
    const float g = (c.a_constant * kc) / (len_n * alfa);
    if (!(g != 0.0f) || !std::isfinite(g)) return p;
    const float e = ub - ul;
    if (control_tick) c.sum_error_spdharmhw(p) += (c.spdharmhw_interval / 3600.0f) * e;
    const float sl = e + c.landa * c.sum_error_spdharmhw(p);
    const float sg = sl > 0.0f ? 1.0f : -1.0f;
    const float f = -(c.a_constant * ka * ul) / (len_n * alfa);
    const float dl = c.distrlow * g, du = c.distrhigh * g;
    const float dd = (du + dl) / 2.0f, df = (du - dl) / 2.0f;
    const float cmd = (-f - c.eta * sg - c.k_rt * sl - c.landa * e - (dd - df * sg)) / g;
    if (!std::isfinite(cmd)) return p;
    c.spdharmhw_control_speed(p) = std::clamp(cmd, 0.0f, std::max(0.0f, v(l, 7)));
    c.has_command(p) = 1;
    return p;
}

float fun_spdharmhw(const Sim& s, int p, int l, float snew, float d, int vt) {
    const auto& c = s.spdharmhw;
    if (p == 0 || c.has_command(p) == 0) return snew;
    if (vt < 1 || vt > kClasses || c.cv_digit[vt] != 1) return snew;
    const float lm = kMetresPerKm * s.link4.llength(l);
    const float h = std::min(lm * c.spdharmhw_distanceratio, c.spdharmhw_max_distancerange);
    const float x = lm - d;
    if (x < lm / 2.0f - h || x > lm / 2.0f + h) return snew;
    return c.spdharmhw_control_speed(p);
}

} // namespace velm
