// Cooperative platooning, what is settled before the time loop: the reader of
// "platoon.dat" (settings, platooning classes, links and lanes), the work
// tables of the platoon step, the drag reduction by platoon position, the
// link-membership test and the release at the end of the run.
#include "core/energy/eco.h"
#include "core/energy/energy.h"
#include "core/energy/platoon.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <string>

namespace velm {

namespace {

constexpr const char* kPlatoonFile = "platoon.dat";
constexpr const char* kVehicleParamFile = "veh_parameters.dat";
constexpr int         kUnitPlatoon = 1234;
constexpr int         kTitleChars = 360;

// Defaults before "platoon.dat" is read.
constexpr float kDefaultTHat = 0.6f;    // s
constexpr float kDefaultSj = 6.0f;      // m
constexpr float kDefaultLambda = 10.0f; // 1/s
constexpr float kDefaultEpsilon = 0.1f;

// Drag reduction by platoon position: first and second of a pair, then first,
// middle and last of a longer platoon. A first vehicle has no gap limit, so
// it gets no reduction.
constexpr float kCdA[kPlatoonPositions] = {-0.7575f, -1.7834f, -0.8906f, -0.8985f, 0.5953f};
constexpr float kCdB[kPlatoonPositions] = {-1.5225f, -0.0672f, -1.6679f, -0.5126f, 0.1197f};
constexpr float kCdC[kPlatoonPositions] = {1.0235f, 2.3614f, 1.0185f, 1.1393f, 1.1393f};
constexpr float kCdG0[kPlatoonPositions] = {0.0f, 55.72f, 0.0f, 39.62f, 79.75f}; // m

// The settings line and the count that follows it.
struct PlatoonHeader {
    float t_hat = 0.0f, sj = 0.0f, lambda = 0.0f, epsilon = 0.0f, reduction = 0.0f;
    int   next_link = 0, lanes = 0, class_code = 0;
    float threshold = 0.0f;
    int   count = 0;
};

// The file cannot be read on: platooning stays off and the run goes on.
void file_unreadable(Sim& s, int line, const std::string& why) {
    wfree(s.units, kUnitRunLog, std::string(" ") + kPlatoonFile + " Error", kErrPlatoonFile,
          "at line", line, std::string(" - ") + why + "; platooning is off");
    ++s.errcount.numerr;
}

std::string read_fault(ReadResult rr) {
    return rr == ReadResult::end_of_file ? "the file ends early" : "a value cannot be read";
}

void take_header(Sim& s, const PlatoonHeader& h) {
    auto& pl = s.platoon;
    pl.epsilon_factor = h.epsilon;
    pl.reduction_factor = h.reduction;
    pl.next_link_flag = h.next_link;
    pl.lanes_flag = h.lanes;
    pl.t_hat_threshold = h.threshold;
    int code = h.class_code;
    for (int c = kClasses; c >= 1; --c) {
        pl.target_veh_class_2[static_cast<std::size_t>(c)] = code % 10;
        code /= 10;
    }
    for (int c = 1; c <= kClasses; ++c)
        wfree(s.units, kUnitConsole, "platooning class " + std::to_string(c) + ":",
              pl.target_veh_class_2[static_cast<std::size_t>(c)]);
}

// The link tables, empty, with a row for every link of the network.
void start_link_tables(Sim& s) {
    auto& pl = s.platoon;
    pl.release_links();
    pl.link_ids_for_platoon.resize(kPlatoonLinks);
    pl.platooning_on_lanes_flag.resize(std::clamp(s.link2.mlnum, 1, kMaxLinks), kPlatoonLanes);
    pl.number_links = 0;
}

// Reads the file; false when it cannot be read to its end.
bool read_platoon(Sim& s, FreeReader& in) {
    auto&       pl = s.platoon;
    auto&       u = s.units;
    std::string title;
    if (!in.text_line(title)) {
        file_unreadable(s, in.line(), "the title line is missing");
        return false;
    }
    wfree(u, kUnitSummary, "     - Platoon File:", title.substr(0, kTitleChars));
    PlatoonHeader h;
    ReadResult rr = in.record(h.t_hat, h.sj, h.lambda, h.epsilon, h.reduction, h.next_link, h.lanes,
                              h.class_code, h.threshold);
    if (rr == ReadResult::ok) rr = in.record(h.count);
    if (rr != ReadResult::ok) {
        file_unreadable(s, in.line(), read_fault(rr));
        return false;
    }
    // The following law divides by the target time gap.
    if (!(h.t_hat > 0.0f)) {
        file_unreadable(s, in.line(), "the target time gap is not positive");
        return false;
    }
    if (h.count < 0) {
        file_unreadable(s, in.line(), "the number of links is negative");
        return false;
    }
    take_header(s, h);
    start_link_tables(s);
    if (h.count > kPlatoonLinks)
        wfree(u, kUnitRunLog, std::string(" ") + kPlatoonFile + " Error", kErrPlatoonFile,
              "at line", in.line(), " -", h.count, "links given, only the first", kPlatoonLinks,
              "are kept");
    if (h.count > kPlatoonLinks) ++s.errcount.numerr;
    const int kept = std::min(h.count, kPlatoonLinks);
    for (int i = 1; i <= kept; ++i) {
        int link = 0;
        int lane[kPlatoonLanes] = {};
        in.start_record();
        rr = in.next(link);
        for (int k = 0; k < kPlatoonLanes && rr == ReadResult::ok; ++k) rr = in.next(lane[k]);
        if (rr != ReadResult::ok) {
            file_unreadable(s, in.line(), read_fault(rr));
            return false;
        }
        if (link < 1 || link > kMaxLinks) {
            eco_record_skipped(s, kPlatoonFile, kErrPlatoonFile, i, in.line(),
                               "link " + std::to_string(link) + " is outside 1.." +
                                   std::to_string(kMaxLinks));
            continue;
        }
        pl.link_ids_for_platoon(++pl.number_links) = link;
        pl.platooning_on_lanes_flag.grow(link);
        for (int k = 1; k <= kPlatoonLanes; ++k)
            pl.platooning_on_lanes_flag(link, k) = pl.lanes_flag == 1 ? lane[k - 1] : 1;
    }
    pl.target_t_hat = h.t_hat;
    pl.sj = h.sj;
    pl.lambda = h.lambda;
    wfree(u, kUnitConsole, "Target t^ = ", pl.target_t_hat);
    return true;
}

} // namespace

void platoon_activation(Sim& s) {
    auto& pl = s.platoon;
    auto& u = s.units;
    pl.platoon_activation_flag = 0;
    pl.target_t_hat = kDefaultTHat;
    pl.sj = kDefaultSj;
    pl.lambda = kDefaultLambda;
    pl.epsilon_factor = kDefaultEpsilon;

    const std::string name = netin::input_name(s, kPlatoonFile);
    wfree(u, kUnitSummary, "Checking the platoon.dat");
    if (u.exists(name) && u.open_read(kUnitPlatoon, name)) {
        pl.platoon_activation_flag = 1;
        wfree(u, kUnitSummary, "     Reading Platoon File");
        FreeReader in(u.in(kUnitPlatoon));
        if (!read_platoon(s, in)) {
            pl.platoon_activation_flag = 0;
            pl.number_links = 0;
            pl.release_links();
        }
        u.close(kUnitPlatoon);
    }

    wfree(u, kUnitSummary, "Checking the veh_parameters.dat");
    if (!u.exists(netin::input_name(s, kVehicleParamFile))) {
        pl.platoon_activation_flag = 0;
        wfree(u, kUnitConsole,
              "File veh_parameters.dat is unavailable to read veh Parameters ... Platooning "
              "deactivated.");
    }
}

void init_platoon(Sim& s) {
    auto& pl = s.platoon;
    pl.release_work();
    pl.respective_table_length.resize(kPlatoonLanes);
    pl.vehicle_ids_per_lane.resize(kPlatoonLanes, kPlatoonLaneVehicles);
    pl.vehicle_acc_per_lane_flag.resize(kPlatoonLanes, kPlatoonLaneVehicles);
    pl.vehicle_data_per_lane.resize(2 * kPlatoonLanes, kPlatoonLaneVehicles);
    pl.vehicle_data_platoon_per_lane.resize(2 * kPlatoonLanes, kPlatoonLaneVehicles);
    pl.table_place.resize(kMaxVehicles);
    pl.lane_overflow_noted = false;
}

void init_cd_platooning_data(Sim& s) {
    auto& pl = s.platoon;
    for (int k = 1; k <= kPlatoonPositions; ++k) {
        const auto i = static_cast<std::size_t>(k);
        pl.cd_a[i] = kCdA[k - 1];
        pl.cd_b[i] = kCdB[k - 1];
        pl.cd_c[i] = kCdC[k - 1];
        pl.cd_g0[i] = kCdG0[k - 1];
    }
}

bool platoon_link_listed(const mod_platoon& pl, int link) {
    for (int i = 1; i <= pl.number_links; ++i)
        if (pl.link_ids_for_platoon(i) == link) return true;
    return false;
}

void link_tobe_platooned(Sim& s, int link_id, int& res) {
    res = platoon_link_listed(s.platoon, link_id) ? 1 : 0;
}

void end_platoon(Sim& s) {
    s.platoon.release_work();
    s.platoon.release_links();
    s.platoon.number_links = 0;
}

} // namespace velm
