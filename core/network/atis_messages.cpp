// Traveller-information messages: the optional "atis_msg.dat" and the way
// routing lays the messages in force on the link times of a tree build.
#include "core/io/free_reader.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/optional_file.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <array>

namespace velm {

namespace {

constexpr const char* kAtisFile = "atis_msg.dat";
constexpr float       kValueScale = 100.0f; // values are kept in hundredths

// Messages of the file, in file order, leaving out those that name no link of
// the table; false when a record cannot be read (the complete ones stay).
bool read_messages(Sim& s, FreeReader& in) {
    auto& u = s.units;
    auto& am = s.atis_msg;
    if (!netin::read_echoed_title(s, in, "     - ATIS file name    :")) return false;
    int count = 0;
    if (in.record(count) != ReadResult::ok) return false;
    wfree(u, kUnitSummary, "     - Number of messages:", count);
    if (count > kMaxAtisMessages) {
        wfree(u, kUnitRunLog, " ATIS Message stream error -", count, " messages exceed the maximum",
              kMaxAtisMessages, ": the rest are not read");
        count = kMaxAtisMessages;
    }
    for (int rec = 1; rec <= count; ++rec) {
        std::array<float, 6> f{};
        in.start_record();
        for (float& v : f)
            if (in.next(v) != ReadResult::ok) return false;
        if (f[0] < 0.0f) wfree(u, kUnitRunLog, " ATIS Message stream error - Field 1");
        const int link = netin::trunc_sat(f[1]);
        if (link < 1 || link > kMaxLinks) {
            wfree(u, kUnitRunLog, " ATIS Message stream error - link", link, " is outside 1 to",
                  kMaxLinks, " - line", in.line(), " skipped");
            continue;
        }
        const int i = ++am.natismsg;
        am.atismsg(i, 1) = link;
        am.atismsg(i, 2) = netin::trunc_sat(f[2]);
        am.atismsg(i, 3) = netin::trunc_sat(f[3]);
        am.atismsg(i, 4) = netin::trunc_sat(f[4]);
        am.atismsg(i, 5) = netin::trunc_sat(kValueScale * f[5]);
    }
    return true;
}

} // namespace

void rd_atis(Sim& s) {
    auto& u = s.units;
    auto& am = s.atis_msg;
    am.reset();
    netin::open_section(u, " 34. ATIS Message Stream      ");
    const std::string name = netin::input_name(s, kAtisFile);
    wfree(u, kUnitSummary, "     file: ", fmt_a(name, kFullNameChars));

    const auto r = netin::read_optional(s, name, kAtisFile, "     a. ATIS Message Stream provided",
                                        [&](FreeReader& in) { return read_messages(s, in); });
    if (r == netin::OptionalRead::absent) {
        wfree(u, kUnitSummary, "     - No ATIS Messages specified        ");
        return;
    }
    for (int i = 1; i <= am.natismsg; ++i) {
        std::string l = "     - msg: " + fmt_i(i, 6) + " - ";
        for (int k = 1; k <= 4; ++k) l += fmt_i(am.atismsg(i, k), 8);
        l += fmt_f(static_cast<float>(am.atismsg(i, 5)) / kValueScale, 8, 2);
        u.line(kUnitSummary, l);
    }
}

void add_atis(Sim& s, int t, Array1<float>& lnktime) {
    const auto& am = s.atis_msg;
    const int   n = std::clamp(am.natismsg, 0, kMaxAtisMessages);
    for (int i = 1; i <= n; ++i) {
        if (t < am.atismsg(i, 2) || t >= am.atismsg(i, 3)) continue;
        const int link = am.atismsg(i, 1);
        if (link < lnktime.lo() || link > lnktime.hi()) continue;
        const float v = static_cast<float>(am.atismsg(i, 5)) / kValueScale;
        switch (am.atismsg(i, 4)) {
        case kAtisSet:
            lnktime(link) = v;
            break;
        case kAtisAdd:
            lnktime(link) += v;
            break;
        case kAtisScale:
            lnktime(link) *= v;
            break;
        default:
            break; // other types have no effect
        }
    }
}

} // namespace velm
