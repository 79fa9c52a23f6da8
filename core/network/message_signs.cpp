// The optional "cms_lag.dat": per node, the seconds between passing the node's
// changeable message sign and the class change it prescribes taking effect.
#include "core/io/free_reader.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/optional_file.h"

namespace velm {

namespace {

constexpr const char* kSignLagFile = "cms_lag.dat";
constexpr int         kDefaultSignLag = 60; // s

bool read_lags(Sim& s, FreeReader& in, int& count, int& done) {
    if (!netin::read_echoed_title(s, in, "     - CMS Lag Time File:")) return false;
    if (in.record(count) != ReadResult::ok) return false;
    for (done = 0; done < count; ++done) {
        int   node = 0;
        float lag = 0.0f;
        if (in.record(node, lag) != ReadResult::ok) return false;
        if (node >= 1 && node <= kMaxNodes) s.graph1.cmslag(node) = netin::trunc_sat(lag);
    }
    return true;
}

} // namespace

void rdcmsdst(Sim& s) {
    auto& u = s.units;
    s.graph1.cmslag.fill(kDefaultSignLag);
    netin::open_section(u, " 14. CMS Lag distance customization ");

    int        count = 0, done = 0;
    const auto r = netin::read_optional(
        s, netin::input_name(s, kSignLagFile), kSignLagFile, "     b. CMS Custom Lag Times    ",
        [&](FreeReader& in) { return read_lags(s, in, count, done); });
    if (r == netin::OptionalRead::absent) {
        wfree(u, kUnitSummary, "     - No CMS Lag Time file used");
        return;
    }
    wfree(u, kUnitSummary, "     - Read in ", r == netin::OptionalRead::complete ? count : done,
          " overrides ");
}

} // namespace velm
