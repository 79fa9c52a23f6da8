// The lane-striping file (master slot 20): per lane of a link, the movements
// its arrows allow and the vehicle classes it is closed to. Without the file
// every lane allows every movement and is open to every class.
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/required_file.h"

#include <algorithm>
#include <array>

namespace velm {

namespace {

constexpr int   kStripingSlot = 20;
constexpr int   kMaxStripingCode = 111;     // left, through, right digits
constexpr float kMaxProhibition = 11111.0f; // five class digits, after adding one half
constexpr float kStripingRound = 0.00001f;  // keeps 110 from reading as 109.99999
constexpr float kProhibitionRound = 0.5f;   // prohibition codes round to the nearest whole

bool names_no_file(const std::string& name) {
    return name.empty() || name == "NONE" || name == "none";
}

struct StripingReader {
    Sim&               s;
    FreeReader&        in;
    const std::string& name; // the slot's name, first 60 characters
    int                stage = kReadTitle;
    int                line = 1;
    int                entry = 0;
    int                count = 0;
    // Codes of one entry, left-most lane first; a "/" keeps the earlier values.
    std::array<float, 2 * kMaxLinkLanes + 1> code{};

    void log(const std::string& text) { s.units.line(kUnitRunLog, text); }
    // A failed check: its lines are already in the run log.
    bool refuse() {
        wfree(s.units, kUnitSummary, "      - No lane striping customization ");
        wfree(s.units, kUnitRunLog, "Error in Reading Data file=", fmt_a(name, kOpenNameChars));
        s.errcount.errt1 += 1;
        return false;
    }
    template <class... T> bool refuse_header(const T&... message) {
        wfree(s.units, kUnitRunLog, " Error in file 20 : ");
        wfree(s.units, kUnitRunLog, message...);
        return refuse();
    }
    bool read_all();
    bool read_entry();
};

bool StripingReader::read_all() {
    wfree(s.units, kUnitSummary, "     - lane shift properties file opened ");
    std::string title;
    if (!in.text_line(title)) return false;
    s.filenam.ftitle(kStripingSlot) = netin::first_chars(title, kTitleLineChars);
    s.units.line(kUnitSummary, "     - lane shift file name : " + fmt_a(title, 40));

    stage = kReadData;
    line = 2;
    if (in.record(count) != ReadResult::ok) return false;
    wfree(s.units, kUnitSummary, "     - number of shift entries: ", count);
    if (count < 0) return refuse_header(" rdlanshf error - nlanshf =", count, " is less than   0 ");
    if (count > kMaxLanes)
        return refuse_header(" rdlanshf error - nlanshf =", count,
                             " is greater than max= ", kMaxLanes);
    for (entry = 1; entry <= count; ++entry) {
        line = 2 + entry;
        if (!read_entry()) return false;
    }
    entry = count;
    stage = kReadComplete;
    return true;
}

bool StripingReader::read_entry() {
    auto& lanper = s.link5.lanper;
    auto& lanpro = s.link4.lanpro;

    float f1 = 0.0f;
    int   link = 0, n = 0;
    if (in.record(f1, link, n) != ReadResult::ok) return false;
    if (f1 < 1.0f) return refuse_header(" rdlanshf error - lanshf =", f1, " is less than 1.0 ");
    if (f1 > static_cast<float>(kMaxLinks))
        return refuse_header(" rdlanshf error - lanshf =", f1,
                             " is greater than maximum link= ", kMaxLinks);
    if (link < 1) return refuse_header(" rdlanshf error - link =", link, " is less than 1 ");
    if (link > kMaxLinks)
        return refuse_header(" rdlanshf error - link =", link, " is greater than max= ", kMaxLinks);
    if (!(s.link4.llength(link) > 0.0f))
        return refuse_header(" rdlanshf error - link =", link, " does not exist ");
    const int nl = s.link1.nulans(link);
    // A lane count the lane tables cannot hold is refused like a mismatch.
    if (n != nl || n < 1 || n > kMaxLinkLanes)
        return refuse_header(" rdlanshf error - link =", link, " has ", nl, " lanes versus ", n);

    // The codes follow fields 1 to 3 in the same record: striping codes of
    // lanes n..1, then prohibition codes of lanes n..1.
    for (int j = 1; j <= 2 * n; ++j)
        if (in.next(code[static_cast<std::size_t>(j)]) != ReadResult::ok) return false;
    auto striping = [&](int p) { return code[static_cast<std::size_t>(n + 1 - p)]; };
    auto prohibition = [&](int p) { return code[static_cast<std::size_t>(2 * n + 1 - p)]; };

    bool restricted = false;
    for (int p = 1; p <= n; ++p) {
        const int   lane = s.lanexch.lannum(link, p);
        const float x = striping(p) + kStripingRound;
        const int   i = netin::trunc_sat(x);
        if (i < 0 || i > kMaxStripingCode) {
            wfree(s.units, kUnitRunLog, "  ");
            wfree(s.units, kUnitRunLog, " lane striping code= ", i, " on link=", link,
                  " lane=", n + 1 - p, " invalid");
            return refuse();
        }
        lanper(lane, 1) = netin::trunc_sat(x / 100.0f) % 10; // left
        lanper(lane, 2) = netin::trunc_sat(x / 10.0f) % 10;  // through
        lanper(lane, 3) = i % 10;                            // right
        if (x < static_cast<float>(kMaxStripingCode)) restricted = true;
    }
    // The display draws arrows only on links with a restricted lane; a later
    // entry of the link with all codes 111 leaves earlier arrows in place.
    if (restricted)
        for (int p = 1; p <= n; ++p)
            lanper(s.lanexch.lannum(link, p), 4) = netin::trunc_sat(striping(p));

    for (int p = 1; p <= n; ++p) {
        const int   lane = s.lanexch.lannum(link, p);
        const float y = prohibition(p) + kProhibitionRound;
        if (!(y >= 0.0f && y <= kMaxProhibition)) {
            wfree(s.units, kUnitRunLog, "  ");
            wfree(s.units, kUnitRunLog, " lane prohibition  = ", y, " on link=", link,
                  " lane=", n + 1 - p, " invalid");
            return refuse();
        }
        // Digit c counted from the left of five closes the lane to class c.
        int any = 0;
        for (int c = 1; c <= kClasses; ++c) {
            float place = 1.0f;
            for (int k = c; k < kClasses; ++k) place *= 10.0f;
            lanpro(lane, c) = netin::trunc_sat(y / place) % 10;
            if (lanpro(lane, c) > 0) any = 1;
        }
        lanpro(lane, 6) = any;
    }

    // A class that no lane of the link admits could never use the link.
    for (int c = 1; c <= kClasses; ++c) {
        int closed = 0;
        for (int p = 1; p <= n; ++p)
            if (lanpro(s.lanexch.lannum(link, p), c) > 0) ++closed;
        if (closed >= n) {
            wfree(s.units, kUnitRunLog, "-Error in file 20: ");
            wfree(s.units, kUnitRunLog, " Lane prohibitions on link = ", link);
            wfree(s.units, kUnitRunLog, " prohibit vehicle type ", c);
            wfree(s.units, kUnitRunLog, " from ", n, "out of ", closed, " lanes");
            wfree(s.units, kUnitRunLog, "  ");
            return refuse();
        }
    }
    return true;
}

} // namespace

void rdlanshf(Sim& s) {
    auto& lanper = s.link5.lanper;
    auto& lanpro = s.link4.lanpro;
    wfree(s.units, kUnitSummary, "---------------------------------------------");
    wfree(s.units, kUnitSummary, " 20. Lane striping customization ");
    for (int lane = 1; lane <= kMaxLanes; ++lane) {
        for (int dir = 1; dir <= 3; ++dir) lanper(lane, dir) = 1;
        lanper(lane, 4) = 0;
        for (int c = 1; c <= 6; ++c) lanpro(lane, c) = 0;
    }
    // The slot never counts as read: nothing later tests it.
    s.pathnam.filuse[kStripingSlot] = 0;

    const std::string name = netin::first_chars(s.filenam.files(kStripingSlot), kOpenNameChars);
    if (names_no_file(name)) {
        listerr(s, name, kStripingSlot, 0, kReadComplete, s.errcount.numerr);
        return;
    }
    const std::string full = netin::input_name(s, name);
    wfree(s.units, kUnitSummary, " Lane Striping file:", full);
    netin::RequiredFile file{kStripingSlot, name, full};
    file.counts_failure = false; // the reader counts the checks it refuses
    netin::read_required(s, file, [&](FreeReader& in, netin::ReadPlace& at) {
        StripingReader r{s, in, name};
        r.read_all();
        at = {r.stage, r.line};
        if (r.entry < r.count) {
            wfree(s.units, kUnitRunLog, " Error reading lane striping file 20 ");
            wfree(s.units, kUnitRunLog, " Expecting ", r.count, " entries");
            wfree(s.units, kUnitRunLog, " Difficulty around line", r.entry);
        }
        return true;
    });
}

} // namespace velm
