// The optional "plt_dsp.dat": per link, the driver-dispersion factors of the
// free speed, the speed at capacity and the capacity.
#include "core/io/free_reader.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/optional_file.h"

namespace velm {

namespace {

constexpr const char* kDispersionFile = "plt_dsp.dat";
constexpr float       kDispersionMarker = 1000.0f; // pltdsp(l, 4); nothing reads it

// Movement divides the free-flow time of the link by 1 + 3p of the first
// factor; a p that makes that zero or negative gives no usable time.
bool usable_first_factor(float p) {
    return 1.0f + 3.0f * p > 0.0f;
}

bool read_factors(Sim& s, FreeReader& in) {
    auto& u = s.units;
    if (!netin::read_echoed_title(s, in, "     - Platoon Dispersion Data file:")) return false;
    int count = 0;
    if (in.record(count) != ReadResult::ok) return false;
    wfree(u, kUnitSummary, "      - Number of Platoon Disp Fact:", count);
    for (int i = 1; i <= count; ++i) {
        int   l = 0;
        float f1 = 0.0f, f2 = 0.0f, f3 = 0.0f;
        if (in.record(l, f1, f2, f3) != ReadResult::ok) return false;
        if (l < 1 || l > kMaxLinks) {
            wfree(u, kUnitRunLog, " plt_dsp.dat: link", l, " is outside 1 to", kMaxLinks, " - line",
                  in.line(), " skipped");
            continue;
        }
        if (!usable_first_factor(f1)) {
            wfree(u, kUnitRunLog, " plt_dsp.dat: link", l, " free-speed factor", f1,
                  " would give drivers no speed - line", in.line(), " skipped");
            continue;
        }
        auto& p = s.link4.pltdsp;
        p(l, 1) = f1;
        p(l, 2) = f2;
        p(l, 3) = f3;
        u.line(kUnitSummary, fmt_i(l, 5) + fmt_f(f1, 8, 3) + fmt_f(f2, 8, 3) + fmt_f(f3, 8, 1));
    }
    return true;
}

} // namespace

void rdpltdsp(Sim& s) {
    auto& u = s.units;
    netin::open_section(u, " 19. Platoon dispersion customization ");
    for (int l = 1; l <= kMaxLinks; ++l) s.link4.pltdsp(l, 4) = kDispersionMarker;

    const auto r = netin::read_optional(s, netin::input_name(s, kDispersionFile), kDispersionFile,
                                        "     a. Platoon Dispersion Data File    ",
                                        [&](FreeReader& in) { return read_factors(s, in); });
    switch (r) {
    case netin::OptionalRead::absent:
        wfree(u, kUnitSummary, "       - no platoon dispersion file completed");
        break;
    case netin::OptionalRead::complete:
        wfree(u, kUnitSummary, "       - platoon dispersion file completed ");
        break;
    case netin::OptionalRead::stopped:
        // The records before the stop are kept; the rest of the file is not.
        wfree(u, kUnitSummary, "       - platoon dispersion file read in part only ");
        break;
    }
}

} // namespace velm
