// Trace outputs of individual vehicles: the time-space records of probe-class
// 3 vehicles each second, and the subnetwork crossings of the links marked in
// "subnet.dat".
#include "core/demand/demand_files.h"
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/network/input_support.h"
#include "core/reports/reports.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

inline constexpr int kTimeSpaceSlot = 30;
inline constexpr int kUnitTimeSpace = 79;
inline constexpr int kTimeSpaceProbe = 3; // probe class of the traced vehicles

inline constexpr char kSubnetFile[] = "subnet.dat";
inline constexpr char kSubnetOut[] = "subnet.out";
inline constexpr int  kUnitSubnet = 31;
inline constexpr int  kErrSubnetRecord = 810710; // a record skipped
inline constexpr int  kSubnetTitleChars = 40;
inline constexpr int  kSubnetFields = 9; // integers of a crossing record

// One free-format number of "subnet.dat", truncated to an integer.
ReadResult next_whole(FreeReader& in, int& v) {
    double d = 0.0;
    if (const ReadResult r = in.next(d); r != ReadResult::ok) return r;
    return truncate_to_int(d, v) ? ReadResult::ok : ReadResult::bad_data;
}

void skipped(Units& u, int line, int record, const std::string& why) {
    wfree(u, kUnitRunLog, kSubnetFile, " Error", kErrSubnetRecord, "at line", line, "- record",
          record, " skipped:", why);
}

// The marks of "subnet.dat" after its count: records that are not three
// numbers or name a link outside the table are skipped with a run-log line.
// Returns the records kept.
int read_marks(Units& u, FreeReader& in, mod_subnet& sn, int count) {
    int kept = 0;
    for (int k = 1; k <= count; ++k) {
        int        link = 0, zone = 0, type = 0;
        const auto r = [&] {
            in.start_record();
            ReadResult res = next_whole(in, link);
            if (res == ReadResult::ok) res = next_whole(in, zone);
            if (res == ReadResult::ok) res = next_whole(in, type);
            return res;
        }();
        if (r == ReadResult::end_of_file) {
            skipped(u, in.line() + 1, k,
                    " the file ends before it (records " + std::to_string(k) + " to " +
                        std::to_string(count) + " missing)");
            break;
        }
        if (r != ReadResult::ok) {
            skipped(u, in.line(), k, " not three numbers");
            continue;
        }
        if (link < 1 || link > kMaxLinks) {
            skipped(u, in.line(), k,
                    " link " + std::to_string(link) + " outside 1 .. " + std::to_string(kMaxLinks));
            continue;
        }
        sn.subnetzn(link) = zone;
        sn.subnetty(link) = type;
        ++kept;
    }
    return kept;
}

} // namespace

void vehpos7(Sim& s, int t, int flag) {
    auto& u = s.units;
    if (flag == 1) {
        if (s.vehplot.timspc != 1) return;
        const std::string name = output_path(s, s.filenam.files(kTimeSpaceSlot));
        if (!u.open_write(kUnitTimeSpace, name)) output_not_written(s, name);
        return;
    }
    if (!u.is_open(kUnitTimeSpace)) return;
    const auto& l2 = s.link2;
    const auto& od = s.oddat;
    const auto& vp = s.vehplot;
    for (int i = 1; i <= l2.mlnum; ++i) {
        const int n = l2.ntqu(i);
        if (n <= 0 || s.link4.llength(i) < 0.0f) continue;
        for (int k = 1; k <= n; ++k) {
            const int car = s.vehicle.big(l2.nbqu(i) + k);
            if (od.probe(car) != kTimeSpaceProbe) continue;
            const int vid = s.vehindx.vehid(car);
            // Lanes are counted from the other side of the link in this file.
            const int lane = std::abs(s.link1.nulans(i)) - od.vlan(vid, 1) + 1;
            // Field by field: the short fields need no storage of their own.
            u.put(kUnitTimeSpace, fmt_i(t, 8));
            u.put(kUnitTimeSpace, fmt_i(car, 8));
            u.put(kUnitTimeSpace, fmt_i(od.vtyp(car), 4));
            u.put(kUnitTimeSpace, fmt_i(od.vehper2(car), 4));
            u.put(kUnitTimeSpace, fmt_f(kMetresPerKm * vp.trpdst(car, 1), 12, 2));
            u.put(kUnitTimeSpace, fmt_i(i, 5));
            u.put(kUnitTimeSpace, fmt_i(lane, 5));
            u.put(kUnitTimeSpace, fmt_f(vp.dis(vid, 1), 12, 2));
            u.put(kUnitTimeSpace, fmt_f(vp.spd(vid, 4), 10, 2));
            u.line(kUnitTimeSpace, fmt_f(vp.hdwy(vid, 1), 10, 2));
        }
    }
}

void rdsubnet(Sim& s, int mlnum) {
    auto& u = s.units;
    auto& sn = s.subnet;
    section_heading(u, kUnitSummary, " 18. Subnetwork Input File Processing ");
    sn.nsubnetl = 0;
    for (int l = 1; l <= std::clamp(mlnum, 0, kMaxLinks); ++l) sn.subnetzn(l) = -1;
    // A run starts with no link traced: marks come from this run's file only.
    sn.subnetty.zero();
    bool read = false;
    if (u.open_read(kUnitInput, netin::input_name(s, kSubnetFile))) {
        FreeReader  in(u.in(kUnitInput));
        std::string title;
        int         count = 0;
        if (in.text_line(title)) {
            wfree(u, kUnitSummary, "    - subnetwork file: ", fmt_a(title, kSubnetTitleChars));
            in.start_record();
            const ReadResult r = next_whole(in, count);
            if (r == ReadResult::ok && count >= 0) {
                wfree(u, kUnitSummary, "    - number of links: ", count);
                const int         kept = read_marks(u, in, sn, count);
                const std::string out = output_path(s, kSubnetOut);
                if (u.open_write(kUnitSubnet, out)) {
                    sn.nsubnetl = kept;
                    read = true;
                } else {
                    output_not_written(s, out);
                }
            } else {
                wfree(u, kUnitRunLog, kSubnetFile, " Error", kErrSubnetRecord, "at line",
                      in.stopped_at(r), "- no record count: the subnetwork is not traced");
            }
        }
        u.close(kUnitInput);
    }
    wfree(u, kUnitSummary,
          read ? "     - subnetwork file input completed "
               : "     - subnetwork file not read in     ");
    wfree(u, kUnitSummary, "       ");
}

void wrsubnet(Sim& s, int t, int car, int o, int departure, int d, int l) {
    if (l < 1 || l > kMaxLinks) return;
    const int type = s.subnet.subnetty(l);
    if (std::abs(type) < 1 || !s.units.is_open(kUnitSubnet)) return;
    const int   fields[kSubnetFields] = {t, car, o, departure, d, l, type, 0, 0};
    std::string r;
    for (int v : fields) r += fmt_i(v, 8);
    s.units.line(kUnitSubnet, r);
}

} // namespace velm
