// The origin-destination demand file (master slot 4) and the expected number
// of vehicles of its records.
#include "core/demand/demand.h"
#include "core/demand/demand_files.h"
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/required_file.h"

#include <climits>
#include <cmath>
#include <string>

namespace velm {

namespace {

constexpr int   kOdSlot = 4;
constexpr int   kFieldsLayout1 = 14;
constexpr int   kFieldsLayout2 = 16;
constexpr float kShareSumLimit = 1.00001f; // rounding allowance on the cumulative shares

// Reals stored as whole numbers saturate, so the range checks reject them.
int truncated(double v) {
    return netin::trunc_sat(v);
}

// The code line of a reader error and its detail line; false, so that a
// check can return it.
template <class... T> bool od_error(Sim& s, int code, const T&... detail) {
    wfree(s.units, kUnitRunLog, "Input File 4  Error ", code);
    wfree(s.units, kUnitRunLog, detail...);
    return false;
}

bool is_origin_type(int t) {
    return t != 2 && t != 4;
}
bool is_destination_type(int t) {
    return t != 3 && t != 4;
}

// The range and role checks of one record, before anything indexes a table.
bool record_acceptable(Sim& s, int n, int org, int dst, int vper, int line) {
    const auto& od = s.oddat;
    const auto& ntyp = s.graph1.ntyp;
    if (n > kMaxOdPairs)
        return od_error(s, 141020, " O-D pair", n, " exceeds the allowed maximum:", kMaxOdPairs);
    if (n < 1) return od_error(s, 141020, " O-D pair", n, " is below the allowed minimum:", 1);
    if (od.o(n) != -1)
        return od_error(s, 141030, "O-D pair number: ", n, " is duplicated on line:", line);
    if (org < 1 || org > kMaxNodes)
        return od_error(s, 141040, "O-D pair number: ", n, " origin node ", org,
                        " is outside the node numbers 1 to", kMaxNodes);
    if (!is_origin_type(ntyp(org)))
        return od_error(s, 141040, "O-D pair number: ", n, " origin node ", org,
                        " not coded as origin");
    if (dst < 1 || dst > kMaxNodes)
        return od_error(s, 141040, "O-D pair number: ", n, " destination node ", dst,
                        " is outside the node numbers 1 to", kMaxNodes);
    if (!is_destination_type(ntyp(dst)))
        return od_error(s, 141040, "O-D pair number: ", n, " destination node ", dst,
                        " not coded as dest.");
    if (vper < 1 || vper > kVehicleTypes)
        return od_error(s, 141070, "O-D pair number: ", n, " vehicle performance type ", vper,
                        " is outside the types 1 to", kVehicleTypes);
    return true;
}

// Second layout: the class factors weigh the shares; the rate follows the
// weighted total and the shares are renormalised to it.
void apply_class_factors(Sim& s, int n, const float (&f)[kClasses + 1]) {
    auto& od = s.oddat;
    float w[kClasses + 1];
    float sign[kClasses + 1];
    float total = 0.0f;
    for (int k = 1; k <= kClasses; ++k) {
        const float share = od.kvtyp(n, k, 1);
        w[k] = std::fabs(share) * 100.0f * f[k];
        sign[k] = share < 0.0f ? -1.0f : 1.0f;
        total += w[k];
    }
    if (total == 0.0f) {
        // No class carries any weight: the record asks for no vehicles.
        od.numod(n) = 0.0f;
        od.noshare(n) = 1;
        for (int k = 1; k <= kClasses; ++k) od.kvtyp(n, k, 1) = 0.0f;
    } else {
        od.numod(n) = od.numod(n) * total / 100.0f;
        for (int k = 1; k <= kClasses; ++k) od.kvtyp(n, k, 1) = sign[k] * w[k] / total;
    }
    wfree(s.units, kUnitRunLog, " Adjusted traffic volumes: ");
    std::string l = " - numod =" + fmt_i(n, 5) + fmt_f(od.numod(n), 10, 1) + "  vt % =";
    for (int k = 1; k <= kClasses; ++k) l += fmt_f(od.kvtyp(n, k, 1), 7, 3);
    s.units.line(kUnitRunLog, l);
}

// Cuts every record to the time window and shifts the window to time 0.
void clip_to_window(Sim& s) {
    auto&       od = s.oddat;
    const float lo = static_cast<float>(od.fodt);
    const float hi = static_cast<float>(od.lodt);
    for (int n = 1; n <= od.maodp; ++n) {
        if (od.o(n) == -1) continue;
        if (od.demstr(n) >= hi) od.numod(n) = 0.0f;
        if (od.demend(n) <= lo) od.numod(n) = 0.0f;
        if (od.demstr(n) < lo) od.demstr(n) = lo;
        if (od.demend(n) > hi) od.demend(n) = hi;
        od.demstr(n) -= lo;
        od.demend(n) -= lo;
    }
}

// Destinations with demand need routing trees, and so do the centroids of
// their macro zones.
void mark_tree_destinations(Sim& s) {
    auto& od = s.oddat;
    auto& g = s.graph1;
    for (int n = std::max(od.fodp, 1); n <= std::min(od.lodp, od.maodp); ++n) {
        if (od.o(n) == -1 || od.numod(n) <= 0.0f) continue;
        const int z = od.d(n);
        if (z < 1 || z > kMaxZones) continue;
        od.treereq(z, 1) = 1;
        const int m = std::abs(g.macrzon(z));
        if (m < 1 || m > kMaxMacroZones) continue;
        const int c = g.mazn(m);
        if (c >= 1 && c <= kMaxZones) od.treereq(c, 2) = 1;
    }
}

// Colour codes and cumulative absolute shares; false at a share error.
bool cumulate_shares(Sim& s) {
    auto& od = s.oddat;
    for (int n = 1; n <= od.maodp; ++n) {
        if (od.o(n) == -1) continue;
        float sum = 0.0f;
        for (int k = 1; k <= kClasses; ++k) {
            const float share = od.kvtyp(n, k, 1);
            od.odcol(n, k) = share < 0.0f ? 1 : 2;
            if (std::fabs(share) > 1.0f)
                return od_error(s, 141050, "O-D Pair ", n, "vehicle type ", k,
                                " has weight greater than 1:", std::fabs(share));
            sum += std::fabs(share);
            if (sum > kShareSumLimit)
                return od_error(s, 141060, "O-D Pair ", n, "vehicle type ", k,
                                " has weight sum greater than 1.0:", sum);
            od.kvtyp(n, k, 2) = sum;
        }
    }
    return true;
}

// The read proper; false takes the error exit at stage and line.
bool read_demand(Sim& s, FreeReader& r, int& line, int& stage) {
    auto& u = s.units;
    auto& od = s.oddat;

    if (!netin::read_title(s, r, kOdSlot, " 4. Open Origin-Destination Demand File:",
                           {kShortTitleChars, "     -  ", kWideTitleEchoChars}, stage, line))
        return false;

    // The sign of the first header value selects the record layout.
    float hn = 0.0f, first = 0.0f, last = 0.0f, scale = 0.0f;
    float f[kClasses + 1] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    r.start_record();
    if (r.next(hn) != ReadResult::ok) return false;
    const bool layout2 = hn <= 0.0f;
    if (r.next(first) != ReadResult::ok || r.next(last) != ReadResult::ok ||
        r.next(scale) != ReadResult::ok)
        return false;
    if (layout2)
        for (int k = 1; k <= kClasses; ++k)
            if (r.next(f[k]) != ReadResult::ok) return false;
    od.numodp = truncated(std::fabs(static_cast<double>(hn)));

    if (od.numodp > kMaxOdPairs)
        return od_error(s, 141010, "Specified number of O-D pairs", od.numodp,
                        " exceeds allowed maximum", kMaxOdPairs);
    wfree(u, kUnitSummary, "     - Number of O-D pairs     =", od.numodp);
    wfree(u, kUnitSummary, "     - O-D scale factor is     =", scale);
    if (scale <= 0.0f)
        return od_error(s, 141005, "O-D Scale Factor of", scale, " is less than 0.0");

    const int nfields = layout2 ? kFieldsLayout2 : kFieldsLayout1;
    od.maodp = 0;
    for (int i = 1; i <= od.numodp; ++i) {
        line = i + 2;
        if (i % 500 == 0 && (i % 5000 == 0 || od.numodp <= 9999))
            wfree(u, kUnitRunLog, "  - Reading od  =", i, " of ", od.numodp);
        float v[kFieldsLayout2 + 1] = {};
        r.start_record();
        for (int j = 1; j <= nfields; ++j)
            if (r.next(v[j]) != ReadResult::ok) return false;
        const int n = truncated(v[1]);
        const int org = truncated(v[2]);
        const int dst = truncated(v[3]);
        const int vper = layout2 ? truncated(v[16]) : 1;
        if (!record_acceptable(s, n, org, dst, vper, line)) return false;

        od.maodp = std::max(od.maodp, n);
        od.o(n) = org;
        od.d(n) = dst;
        od.numod(n) = v[4] * scale;
        od.rand(n) = v[5];
        od.demstr(n) = v[6];
        od.demend(n) = v[7];
        for (int k = 1; k <= kClasses; ++k) od.kvtyp(n, k, 1) = v[7 + k];
        od.profr(n) = v[13];
        od.veheq(n) = v[14];
        od.vehocc(n) = layout2 ? v[15] : 1.0f;
        od.vehper1(n) = vper;
        od.noshare(n) = 0;
        if (layout2) apply_class_factors(s, n, f);
    }

    if (first < 0.0f || last < 0.0f) {
        od.fodt = truncated(std::fabs(static_cast<double>(first)));
        od.lodt = truncated(std::fabs(static_cast<double>(last)));
        first = 1.0f;
        last = static_cast<float>(od.maodp);
        wfree(u, kUnitSummary, "    - Demands only retained between times: ");
        wfree(u, kUnitSummary, "                     ", od.fodt, od.lodt);
        wfree(u, kUnitSummary, "    - Time shift applied of :", od.fodt);
    } else {
        od.fodt = 0;
        od.lodt = kNoWindowEnd;
        wfree(u, kUnitSummary, "     - No Time shift applied to demands ");
    }
    od.fodp = first <= 1.0f ? 1 : truncated(first);
    if (last > static_cast<float>(od.maodp)) last = static_cast<float>(od.maodp);
    od.lodp = last == 0.0f ? od.maodp : truncated(last);

    clip_to_window(s);
    mark_tree_destinations(s);

    float latest = 0.0f;
    for (int n = 1; n <= od.maodp; ++n)
        if (od.o(n) != -1) latest = std::max(latest, od.demend(n));
    od.max_od_time = truncated(latest);

    if (!cumulate_shares(s)) return false;

    int totveh = 0;
    demtot(s, totveh);
    wfree(u, kUnitSummary, "     - Total number of vehicles= ", totveh);
    s.pathnam.filuse[kOdSlot] = 1;
    stage = kReadComplete;
    return true;
}

} // namespace

void read4(Sim& s, const std::string& filnam) {
    section_banner(s.units);
    s.pathnam.filuse[kOdSlot] = 0;
    s.oddat.o.fill(-1);
    s.oddat.numodp = 0;
    s.oddat.maodp = 0;

    netin::read_required(s, {kOdSlot, filnam, netin::input_name(s, trim_right(slot_name(filnam)))},
                         [&s](FreeReader& in, netin::ReadPlace& at) {
                             return read_demand(s, in, at.line, at.stage);
                         });
}

void demtot(Sim& s, int& totveh) {
    const auto& od = s.oddat;
    float       sum = 0.0f;
    for (int n = std::max(od.fodp, 1); n <= std::min(od.lodp, kMaxOdPairs); ++n)
        if (od.o(n) != -1) sum += (od.demend(n) - od.demstr(n)) * od.numod(n) / 3600.0f;
    totveh = truncated(sum);
}

} // namespace velm
