// The bus-stop file (master slot 22): a title, the number of stops and one
// record per stop (number, link, position km, lane as the file's users count
// it, mean dwell s, dwell spread, serving classes, length km). The file is all
// or nothing: whatever stops the read leaves the run without bus stops, and
// that is not an error.
#include "core/network/bus_stops.h"

#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/network.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

constexpr int kFields = 8; // values of one stop record

struct BusStopReader {
    Sim&        s;
    FreeReader& in;

    template <class... T> bool refuse(const T&... message) {
        wfree(s.units, kUnitRunLog, message...);
        return false;
    }
    bool read_all();
    bool read_stop(int i);
    bool assign_to_links();
};

bool BusStopReader::read_all() {
    auto&       u = s.units;
    std::string title;
    if (!in.text_line(title)) return false;
    const std::string name = netin::first_chars(s.filenam.files(kBusStopSlot), kOpenNameChars);
    u.line(kUnitSummary, free_line("     - bus stop file name : ") + fmt_a(name, kOpenNameChars));
    int n = 0;
    if (in.record(n) != ReadResult::ok) return false;
    wfree(u, kUnitSummary, "     - number of bus stops : ", n);
    if (n > kMaxBusStops) {
        for (const int unit : {kUnitRunLog, kUnitSummary})
            wfree(u, unit, " Number of bus stop ", n, " exceeds maximum of ", kMaxBusStops);
        return false;
    }
    if (n < 0) return refuse(" Number of bus stop ", n, " is less than 0 ");
    for (int i = 1; i <= n; ++i)
        if (!read_stop(i)) return false;
    return assign_to_links();
}

bool BusStopReader::read_stop(int i) {
    auto&                           bs = s.busstop;
    std::array<double, kFields + 1> f{};
    in.start_record();
    if (in.next(f[1]) != ReadResult::ok) return false;
    const double x = f[1];
    if (x > static_cast<double>(kMaxBusStops))
        return refuse(" Bus stop ", i, " number ", x, " exceeds maximum of ", kMaxBusStops);
    if (x < 1.0) return refuse(" Bus stop ", i, " number ", x, " is less than 1 ");
    for (int k = 2; k <= kFields; ++k)
        if (in.next(f[static_cast<std::size_t>(k)]) != ReadResult::ok) return false;

    const int link = netin::trunc_sat(f[2]);
    if (link > kMaxLinks || link < 1 || !(s.link4.llength(link) > 0.0f))
        return refuse(" Bus stop ", i, " is on link: ", link, " which does not exist ");
    // A stop the vehicles could never reach is as faulty as one on a missing
    // link: its lane must be a lane of the link and its position on the link.
    const int n = std::min(std::abs(s.link1.nulans(link)), kMaxLinkLanes);
    const int lane = netin::trunc_sat(static_cast<double>(n) + 1.0 - f[4]);
    if (lane < 1 || lane > n)
        return refuse(" Bus stop ", i, " lane ", f[4], " is not a lane of link ", link);
    const int pos = netin::trunc_sat(static_cast<double>(kMetresPerKm) * f[3]);
    const int len = netin::trunc_sat(static_cast<double>(kMetresPerKm) *
                                     static_cast<double>(s.link4.llength(link)));
    if (pos < 0 || pos > len)
        return refuse(" Bus stop ", i, " position ", f[3], " lies outside link ", link);

    const int j = netin::trunc_sat(x);
    bs.busstp(j, 1) = link;
    bs.busstp(j, 2) = pos;
    bs.busstp(j, 3) = lane;
    bs.busstp(j, 4) = netin::trunc_sat(f[5]);
    bs.busstp(j, 5) = netin::trunc_sat(1000.0 * f[6]);
    bs.busstp(j, 6) = netin::trunc_sat(f[7]);
    bs.busstp(j, 7) = netin::trunc_sat(1000.0 * f[8]);
    // Class digits read left to right: the ten-thousands digit is class 1.
    const double code = static_cast<double>(bs.busstp(j, 6)) + 0.5;
    for (int c = 1; c <= kClasses; ++c) {
        const double place = std::pow(10.0, kClasses - c);
        bs.bustyp(j, c) = static_cast<int>(std::fmod(std::trunc(code / place), 10.0));
    }
    bs.tbusstp += 1;
    bs.mbusstp = std::max(bs.mbusstp, j);
    return true;
}

bool BusStopReader::assign_to_links() {
    auto& bs = s.busstop;
    for (int j = 1; j <= bs.mbusstp; ++j) {
        const int l = bs.busstp(j, 1);
        if (l <= 0) continue;
        if (bs.tbstpln(l) >= kMaxStopsPerLink)
            return refuse(" Bus stop ", j, " on link ", l, " exceeds link maximum of ",
                          kMaxStopsPerLink);
        bs.tbstpln(l) += 1;
        bs.buslin(l, bs.tbstpln(l)) = j;
    }
    return true;
}

} // namespace

void rdbusstp(Sim& s) {
    auto& u = s.units;
    auto& bs = s.busstop;
    section_heading(u, kUnitSummary, " 22. Bus stop  - inputs  ");
    bs.clear_stops();

    const std::string slot = netin::first_chars(s.filenam.files(kBusStopSlot), kOpenNameChars);
    bool              complete = false;
    if (!slot.empty() && u.open_read(kUnitInput, netin::input_name(s, slot))) {
        wfree(u, kUnitSummary, "     - bus stop properties file opened ");
        FreeReader    in(u.in(kUnitInput));
        BusStopReader r{s, in};
        complete = r.read_all();
    }
    if (complete) {
        wfree(u, kUnitSummary, "     - input of bus stop data complete ");
    } else {
        wfree(u, kUnitSummary, "     - number of bus stops set to 0 ");
        bs.mbusstp = 0;
        bs.tbstpln.zero();
        bs.buslin.zero();
    }
    wfree(u, kUnitSummary, "     ");
    u.close(kUnitInput);
}

} // namespace velm
