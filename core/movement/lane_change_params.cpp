// The optional lane-change parameter file "lanechange.dat": a title line and
// up to ten values in free format. Values that cannot be read end the read
// with a run-log line; what was read before them is used. Values outside
// their ranges are fatal input errors.
#include "core/movement/lane_change_params.h"

#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/movement/movement.h"

#include <algorithm>
#include <string>

namespace velm {

namespace {

constexpr const char* kLaneChangeFile = "lanechange.dat";

struct RangeCheck {
    int         index; // wvedat entry
    float       low, high;
    const char* message;
};

constexpr RangeCheck kRanges[] = {
    {1, 5.0f, 15.0f, "ERROR: Hardwall factor out of range (5 to 15)"},
    {2, 5.0f, 15.0f, "ERROR: Softwall factor out of range (5 to 15)"},
    {3, 0.0f, 0.5f, "ERROR: Relative inertia out of range (0.0 to 0.5)"},
    {4, 0.0f, 15.0f, "ERROR: Absolute inertia out of range (0 to 15)"},
    {5, 5.0f, 25.0f, "ERROR: Inertia cap out of range (5 to 25)"},
};
constexpr RangeCheck kLaterRanges[] = {
    {6, 1.0f, 5.0f, "ERROR: Lane change duration out of range (1 to 5)"},
    {7, 0.0f, 0.05f, "ERROR: Rel. lane change bias out of range (0 to .05)"},
    {8, 0.0f, 2.0f, "ERROR: Abs. lane change bias out of range (0 to 2)"},
};

bool out_of_range(float v, const RangeCheck& c) {
    // A value that is not a number fails its check as well.
    return !(v >= c.low && v <= c.high);
}

} // namespace

int check_lane_change_params(Sim& s) {
    const auto& w = s.wvedat.wvedat;
    int         failed = 0;
    auto        fail = [&](const char* message) {
        wfree(s.units, kUnitRunLog, message);
        s.errcount.errt1 += 1;
        ++failed;
    };
    for (const RangeCheck& c : kRanges)
        if (out_of_range(w(c.index), c)) fail(c.message);
    if (w(4) > w(5)) fail("ERROR: Inertia cap less than abasolute inertia");
    for (const RangeCheck& c : kLaterRanges)
        if (out_of_range(w(c.index), c)) fail(c.message);
    return failed;
}

void rdwvedat(Sim& s) {
    auto& u = s.units;
    section_heading(u, kUnitSummary, " 27. Lane Change Data Customization ");
    s.wvedat.reset();

    // The input directory (its first lpath characters) in front of the name.
    std::string name = s.filenam.path1.substr(
        0, static_cast<std::size_t>(
               std::clamp(s.pathnam.lpath[1], 0, static_cast<int>(s.filenam.path1.size()))));
    name.append(kLaneChangeFile);
    if (!u.open_read(kUnitInput, name)) {
        wfree(u, kUnitSummary, "    - Lane change parameters set to defaults ");
        wfree(u, kUnitSummary, "     ");
        return;
    }
    wfree(u, kUnitSummary, "    - Lane change customization file opened ");
    FreeReader  in(u.in(kUnitInput));
    std::string title;
    bool        complete = in.text_line(title);
    if (complete) {
        u.line(kUnitSummary,
               free_line("    - Lane change customization file name: ") +
                   fmt_a(title.substr(
                             0, std::min(title.size(), static_cast<std::size_t>(kShortTitleChars))),
                         kShortTitleChars));
        in.start_record();
        for (int k = 1; k <= kLaneChangeValues && complete; ++k) {
            float v = 0.0f;
            if (in.next(v) == ReadResult::ok)
                s.wvedat.wvedat(k) = v;
            else
                complete = false;
        }
    }
    if (!complete) {
        wfree(u, kUnitRunLog, "Error reading lane customization file");
        u.close(kUnitInput);
        return;
    }
    wfree(u, kUnitSummary, "    - Input of lane change data complete ");
    check_lane_change_params(s);
    wfree(u, kUnitSummary, "     ");
    u.close(kUnitInput);
}

} // namespace velm
