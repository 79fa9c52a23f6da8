// The optional "macrdist.dat": per destination node, the distance below which
// routing leaves the tree toward the node's macro zone for the node's own tree.
#include "core/io/free_reader.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/optional_file.h"

namespace velm {

namespace {

constexpr const char* kMacroDistanceFile = "macrdist.dat";
constexpr float       kDefaultMacroDistance = 50.0f;
constexpr float       kDistanceScale = 100.0f; // file values are in units of 100 of the table's

// Lines read in full; false at the first that cannot be read.
bool read_overrides(Sim& s, FreeReader& in, int& count, int& done) {
    auto& macdst = s.graph1.macdst;
    if (!netin::read_echoed_title(s, in, "     - Macro node Distances file:")) return false;
    float global = 0.0f;
    if (in.record(count, global) != ReadResult::ok) return false;
    if (global > 0.0f) macdst.fill(kDistanceScale * global);
    for (done = 0; done < count; ++done) {
        int   node = 0;
        float v = 0.0f;
        if (in.record(node, v) != ReadResult::ok) return false;
        if (node >= 1 && node <= kMaxNodes) macdst(node) = kDistanceScale * v;
    }
    return true;
}

} // namespace

void rdmacdst(Sim& s) {
    auto& u = s.units;
    summary_rule(u);
    s.graph1.macdst.fill(kDefaultMacroDistance);
    wfree(u, kUnitSummary, " 13. Macro distance customization  ");

    int        count = 0, done = 0;
    const auto r =
        netin::read_optional(s, netin::input_name(s, kMacroDistanceFile), kMacroDistanceFile,
                             "     a. Macro/Micro Zone Custom Distances    ",
                             [&](FreeReader& in) { return read_overrides(s, in, count, done); });
    if (r == netin::OptionalRead::absent) {
        wfree(u, kUnitSummary, "     - No Macro node Distances file used");
        return;
    }
    wfree(u, kUnitSummary, "     - Read in ", r == netin::OptionalRead::complete ? count : done,
          " overrides ");
}

} // namespace velm
