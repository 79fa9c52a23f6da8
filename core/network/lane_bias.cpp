// The optional lane-bias file "lanebias.dat": per rule a link, the classes and
// lanes it affects, a trigger link with its distance and the weight the lane
// choice applies. Without the file there are no rules.
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/network.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velm {

namespace {

constexpr const char* kLaneBiasFile = "lanebias.dat";
constexpr float       kMaxClassCode = 11111.0f;  // five class digits
constexpr float       kMaxLaneCode = 1111111.0f; // seven lane digits, units digit = lane 1
constexpr float       kMaxTriggerKm = 10.0f;     // trigger distance, km
constexpr float       kMaxBiasWeight = 10.0f;

// Stage of the reader when it stops: 1 no file, 2 title, 3 data, 0 complete.
struct LaneBiasReader {
    Sim&        s;
    FreeReader& in;
    int         stage = 2;
    int         line = 1;
    int         entry = 0; // entry being read
    int         count = 0; // entries announced on line 2

    template <class... T> bool refuse(const T&... message) {
        wfree(s.units, kUnitRunLog, " Error in file 24 : ");
        wfree(s.units, kUnitRunLog, message...);
        return false;
    }
    bool read_all();
    bool read_rule(int i);
};

bool LaneBiasReader::read_all() {
    auto& lb = s.lanebias;
    wfree(s.units, kUnitSummary, "     - lane bias file opened ");
    std::string title;
    if (!in.text_line(title)) return false;
    s.units.line(kUnitSummary, "     - lane bias file: " + fmt_a(title, 40));

    stage = 3;
    line = 2;
    if (in.record(count) != ReadResult::ok) return false;
    wfree(s.units, kUnitSummary, "     - number of bias entries: ", count);
    if (count < 0) return refuse(" lanebias error - nlanebias =", count, " is less than   0 ");
    if (count > kMaxLaneBiasRules)
        return refuse(" lanebias error - nlanebias =", count,
                      " is greater than max= ", kMaxLaneBiasRules);
    // Only a count the tables can hold is kept, so no later loop over the
    // rules can leave them; entries that fail keep their zero rows.
    lb.nlanebias = count;

    for (entry = 1; entry <= count; ++entry) {
        line = 2 + entry;
        if (!read_rule(entry)) return false;
    }
    stage = 0;
    return true;
}

bool LaneBiasReader::read_rule(int i) {
    auto&                lb = s.lanebias;
    std::array<float, 8> f{};
    in.start_record();
    for (int k = 1; k <= 7; ++k)
        if (in.next(f[static_cast<std::size_t>(k)]) != ReadResult::ok) return false;
    const float entry_no = f[1], link_f = f[2], vt_f = f[3], lanes_f = f[4], trig_f = f[5],
                dist_f = f[6], wgt = f[7];

    if (entry_no < 1.0f)
        return refuse(" rdlanebias error - biasfact =", entry_no, " is less than 1.0 ");
    if (entry_no > static_cast<float>(kMaxLinks))
        return refuse(" rdlanebias error - biasfact =", entry_no,
                      " is greater than maximum link= ", kMaxLinks);
    if (link_f < 1.0f)
        return refuse(" rdlanebias error - biaslink =", link_f, " is less than 1.0 ");
    if (link_f > static_cast<float>(kMaxLinks))
        return refuse(" rdlanebias error - biaslink =", link_f,
                      " is greater than maximum link= ", kMaxLinks);
    // One link number for the existence check and for the rule, so a value
    // just below a whole number cannot check one link and store another.
    const int link = std::clamp(netin::trunc_sat(link_f + 0.01f), 1, kMaxLinks);
    if (!(s.link4.llength(link) > 0.0f))
        return refuse(" rdlanebias error - biaslink =", link, " does not exist ");
    if (vt_f < 1.0f) return refuse(" rdlanebias error - bias vt  =", vt_f, " is less than 1.0 ");
    if (vt_f > kMaxClassCode)
        return refuse(" rdlanebias error - bias vt =", vt_f,
                      " is greater than maximum vt= ", static_cast<int>(kMaxClassCode));
    if (lanes_f < 1.0f)
        return refuse(" rdlanebias error - bias lanes=", lanes_f, " is less than 1.0 ");
    if (lanes_f > kMaxLaneCode)
        return refuse(" rdlanebias error - bias lanes =", lanes_f,
                      " is greater than maximum vt= ", static_cast<int>(kMaxLaneCode));
    if (trig_f < 1.0f)
        return refuse(" rdlanebias error - downstream=", trig_f, " is less than 1.0 ");
    if (trig_f > static_cast<float>(kMaxLinks))
        return refuse(" rdlanebias error - downstream =", trig_f,
                      " is greater than maximum = ", kMaxLinks);
    if (dist_f < 0.0f) return refuse(" rdlanebias error - distance=", dist_f, " is less than 0.0 ");
    if (dist_f > kMaxTriggerKm)
        return refuse(" rdlanebias error - distance =", dist_f,
                      " is greater than maximum = ", kMaxTriggerKm);
    if (wgt <= 0.0f || wgt > kMaxBiasWeight)
        return refuse(" rdlanebias error - bias weight =", wgt,
                      " is infeasible (<=0.0 or >10.0) = ");

    lb.lanebias(i, 1) = link;
    lb.lanebias(i, 2) = netin::trunc_sat(trig_f + 0.001f);
    lb.lanebias(i, 3) = netin::trunc_sat(dist_f * kMetresPerKm);
    // Class digits read left to right: the ten-thousands digit is class 1.
    const int vt = netin::trunc_sat(vt_f + 0.001f);
    for (int c = 1, place = 10000; c <= kClasses; ++c, place /= 10)
        lb.bias_vt(i, c) = (vt / place) % 10;
    // Lane digits read right to left: the units digit is lane 1 (curb side).
    const int code = netin::trunc_sat(lanes_f + 0.001f);
    const int nl = std::clamp(s.link1.nulans(link), 0, kMaxLinkLanes);
    for (int k = 1, place = 1; k <= nl; ++k, place *= 10) lb.bias_lan(i, k) = (code / place) % 10;
    lb.biaswgt(i) = wgt;

    std::string echo = fmt_i(i, 5) + fmt_i(lb.lanebias(i, 1), 5) + fmt_i(lb.lanebias(i, 2), 5) +
                       fmt_i(lb.lanebias(i, 3), 10) + fmt_f(lb.biaswgt(i), 5, 2) + blanks(2);
    for (int c = 1; c <= kClasses; ++c) echo += fmt_i(lb.bias_vt(i, c), 2);
    echo += blanks(5);
    for (int k = 1; k <= kMaxLinkLanes; ++k) echo += fmt_i(lb.bias_lan(i, k), 2);
    s.units.line(kUnitSummary, echo);
    return true;
}

} // namespace

void rdlanebias(Sim& s) {
    s.lanebias.reset();
    wfree(s.units, kUnitSummary, "---------------------------------------------");
    wfree(s.units, kUnitSummary, " 24. Lane bias customization file ");
    const std::string name = netin::input_name(s, kLaneBiasFile);
    wfree(s.units, kUnitSummary, " Lane Bias File:", name);

    if (!s.units.open_read(kUnitInput, name)) {
        wfree(s.units, kUnitSummary, "      - No lane bias customization opened");
        return;
    }
    FreeReader     in(s.units.in(kUnitInput));
    LaneBiasReader r{s, in};
    r.read_all();
    s.units.close(kUnitInput);

    wfree(s.units, kUnitSummary, "      - Lane bias customization opened");
    if (r.stage == 0) {
        wfree(s.units, kUnitSummary, "        No errors encountered         ");
        wfree(s.units, kUnitSummary, "        Entries read in: ", s.lanebias.nlanebias);
    } else {
        for (int unit : {kUnitSummary, kUnitRunLog}) {
            if (unit == kUnitRunLog) wfree(s.units, unit, "      - Lane bias customization opened");
            wfree(s.units, unit, "        error found reading line:", r.line);
            wfree(s.units, unit, "        entry number: ", r.entry);
        }
        s.errcount.errt1 += 1;
    }
    if (r.entry < r.count) {
        wfree(s.units, kUnitRunLog, " Error reading lane bias file 24 ");
        wfree(s.units, kUnitRunLog, " Expecting ", r.count, " entries");
        wfree(s.units, kUnitRunLog, " Difficulty around line", r.entry);
    }
}

} // namespace velm
