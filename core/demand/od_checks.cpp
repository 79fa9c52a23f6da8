// Plausibility checks of the demand records: record range, randomness and
// shares, zones, times and PCU, node roles, rates. Every finding counts; the
// first fatal one ends the checks.
#include "core/demand/demand.h"
#include "core/io/writers.h"

#include <cmath>

namespace velm {

namespace {

constexpr float kMinShareSum = 0.9999f; // the shares may fall this short of 1
constexpr float kMinPcu = 0.5f;
constexpr float kMaxPcu = 10.0f;
constexpr float kMaxRate = 10000.0f; // veh/h

enum class Kind { fatal, warning };

// Writes one finding and counts it; true when the checks must end.
template <class... T> bool finding(Sim& s, Kind kind, int code, const T&... detail) {
    wfree(s.units, kUnitRunLog, "Input File 4  Error ", code);
    wfree(s.units, kUnitRunLog, detail...);
    wfree(s.units, kUnitRunLog, " ");
    s.errcount.numerr += 1;
    if (kind == Kind::warning) return false;
    s.errcount.errt1 += 1;
    return true;
}

bool record_range(Sim& s) {
    const auto& od = s.oddat;
    if (od.fodp < 1)
        return finding(s, Kind::fatal, 142020, "The first    O-D = ", od.fodp, " is less    than ",
                       1, " which is the minimum.");
    if (od.fodp > od.maodp)
        return finding(s, Kind::fatal, 142025, "The first    O-D = ", od.fodp, " is greater than ",
                       od.maodp, " which is the maximum.");
    if (od.lodp < 1)
        return finding(s, Kind::fatal, 142033, "The last     O-D = ", od.lodp, " is less    than ",
                       1, " which is the abs minimum.");
    if (od.lodp < od.fodp)
        return finding(s, Kind::fatal, 142030, "The last     O-D = ", od.lodp, " is greater than ",
                       od.fodp, " which is a minimum.");
    return false;
}

bool randomness_and_shares(Sim& s, int n) {
    const auto& od = s.oddat;
    if (od.rand(n) > 1.0f || od.rand(n) < -1.0f)
        return finding(s, Kind::fatal, 142100, "The value of Krand= ", od.rand(n),
                       " is out of the possible range,-1 to 1.");
    if (od.noshare(n) == 0 && od.kvtyp(n, kClasses, 2) < kMinShareSum)
        return finding(s, Kind::fatal, 142120, " Sum of Probabilities for od pair ", n, "= ",
                       od.kvtyp(n, kClasses, 2), " is less than 1.0 meaning not all vehicles",
                       " have been assigned a vehicle type.");
    return false;
}

bool zones_times_pcu(Sim& s, int n) {
    const auto& od = s.oddat;
    const int   o = od.o(n);
    const int   d = od.d(n);
    const auto  horz = static_cast<double>(s.set1.simtim1);
    if (o == d)
        return finding(s, Kind::fatal, 142200, "The O-D pair", n, " from", o, " to  ", d,
                       " is not legal. The origin and destination",
                       " zones must be different from each other.");
    if (o > kMaxZones)
        return finding(s, Kind::fatal, 142210, "For OD ", n, " origin=", o, "is too large ");
    if (d > kMaxZones)
        return finding(s, Kind::fatal, 142220, "For OD ", n, " dest  =", d, "is too large ");
    if (o <= 0)
        return finding(s, Kind::fatal, 142230, "For OD ", n, " origin=", o, "is too small ");
    if (d <= 0)
        return finding(s, Kind::fatal, 142240, "For OD ", n, " dest  =", d, "is too small ");
    if (s.graph1.ntyp(o) <= 0)
        return finding(s, Kind::fatal, 142400, "For OD ", n, " origin=", o, "is invalid");
    if (od.demstr(n) > od.demend(n))
        return finding(s, Kind::fatal, 142300, "Demand for ", n, " from ", o, "to ", d,
                       " ends before it begins.");
    if (od.demstr(n) < 0.0f)
        return finding(s, Kind::fatal, 142310, "Demand for ", n, " from ", o, "to ", d,
                       " starts before time 0.");
    if (static_cast<double>(od.demstr(n)) > horz)
        finding(s, Kind::warning, 142320, "The flow for", n, "from", o, "to", d,
                " begins after the simulation ends.");
    const float pcu = std::fabs(od.veheq(n));
    if (pcu < kMinPcu)
        return finding(s, Kind::fatal, 142410, "OD pair: ", n, " has PCU =", pcu,
                       " which is below minimum of", kMinPcu);
    if (pcu > kMaxPcu)
        return finding(s, Kind::fatal, 142420, "OD pair: ", n, " has PCU =", pcu,
                       " which is above maximum of", kMaxPcu);
    return false;
}

bool node_roles(Sim& s, int n) {
    const auto& od = s.oddat;
    const auto& ntyp = s.graph1.ntyp;
    const int   o = od.o(n);
    const int   d = od.d(n);
    if (ntyp(d) <= 0)
        return finding(s, Kind::fatal, 142420, "For OD ", n, " dest=", d, "is invalid");
    if (ntyp(o) != kZoneBoth && ntyp(o) != kZoneOrigin)
        return finding(s, Kind::fatal, 142440, "The origin node= ", o,
                       " is not an origin zone centroid.");
    if (ntyp(d) != kZoneBoth && ntyp(d) != kZoneDestination)
        return finding(s, Kind::fatal, 142460, "The destination node= ", d,
                       " is not a destination zone centroid.");
    return false;
}

bool rates(Sim& s, int n) {
    const auto& od = s.oddat;
    if (od.numod(n) < 0.0f)
        return finding(s, Kind::fatal, 142510, " O-D pair: ", n, "--- ",
                       "The flow rate of: ", od.numod(n), " between zones ", od.o(n), " and ",
                       od.d(n), " is negative ");
    if (od.numod(n) > kMaxRate)
        return finding(s, Kind::fatal, 142520, "The flow rate between zones ", od.o(n), " and ",
                       od.d(n), " is above 10000 which exceeds the max.");
    return false;
}

// One pass of a check over every record present, in increasing number.
template <class Check> bool each_record(Sim& s, Check check) {
    for (int n = 1; n <= s.oddat.maodp; ++n)
        if (s.oddat.o(n) != -1 && check(s, n)) return true;
    return false;
}

} // namespace

void checkod(Sim& s) {
    if (record_range(s)) return;
    // Each pass covers all records before the next kind of check starts.
    if (each_record(s, randomness_and_shares)) return;
    if (each_record(s, zones_times_pcu)) return;
    int late = 0;
    for (int n = 1; n <= s.oddat.maodp; ++n)
        if (s.oddat.o(n) != -1 &&
            static_cast<double>(s.oddat.demend(n)) > static_cast<double>(s.set1.simtim1))
            ++late;
    if (late > 0)
        finding(s, Kind::warning, 142340, " Total of ", late, " O-D flows ",
                " continue after the simulation ends.");
    if (each_record(s, node_roles)) return;
    each_record(s, rates);
}

} // namespace velm
