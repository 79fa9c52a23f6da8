// Reading and checking the numbered input files 1 to 7.
#include "core/driver/input_dispatch.h"

#include "core/demand/demand.h"
#include "core/driver/driver.h"
#include "core/driver/errors.h"
#include "core/io/writers.h"
#include "core/network/network.h"
#include "core/routing/routing.h"

#include <array>
#include <string>

namespace velm {

namespace {

constexpr int kNgFlagEarlierRun = 6;

void reading_line(Sim& s, int slot) {
    s.units.line(kUnitRunLog, "     - Reading file: " + fmt_i(slot, 3) + "  " +
                                  fmt_a(s.filenam.files(slot), 200));
}

// The boxes of the node steps: the file could not be read (1), or its data
// failed the checks (2).
void node_box(Sim& s, int box) {
    std::string title = box == 1 ? "Error in Reading Node File 1" : "Error in Node Coordinates";
    const std::array<std::string, 7> mes{"PROBLEM:",
                                         box == 1 ? "- Complete node file could not be read"
                                                  : "- Node file read but errors found in data",
                                         "",
                                         "SOLUTION:",
                                         "- Look for error message in runerr.out file",
                                         "  file create in current subdirectory",
                                         "  example:  edit  runerr.out"};
    pop_box(s, static_cast<int>(mes.size()), title, mes);
}

auto reader(void (*read)(Sim&, const std::string&), int slot) {
    return [read, slot](Sim& s) { read(s, s.filenam.files(slot)); };
}

} // namespace

const std::vector<DispatchStep>& dispatch_steps() {
    static const std::vector<DispatchStep> steps{
        {"read1", 1, reader(read1, 1), true, 1},
        {"checknode", 0, checknode, true, 2},
        {"read2", 2, reader(read2, 2), true},
        {"setxy", 0, setxy, true},
        // No guard among these five: a link-check failure comes after all of them.
        {"addnfnt", 0, [](Sim& s) { addnfnt(s, s.control.t); }, false},
        {"nodspc", 0, nodspc, false},
        {"oplinval", 0, oplinval, false},
        {"linkwght", 0, linkwght, false},
        {"checklink", 0, checklink, true},
        {"deflinks", 0, deflinks, true},
        {"read3", 3, reader(read3, 3), true},
        {"checksgnl", 0, checksgnl, true},
        {"clussign", 0, clussign, true},
        {"lnindex", 0, lnindex, true},
        {"read4", 4, reader(read4, 4), true},
        {"checkod", 0, checkod, true},
        {"read5", 5, reader(read5, 5), true},
        {"checkinc", 0, checkinc, true},
        {"read6", 6, reader(read6, 6), true},
        {"read7", 7, reader(read7, 7), true},
    };
    return steps;
}

bool run_dispatch(Sim& s, std::span<const DispatchStep> steps) {
    wfree(s.units, kUnitRunLog, std::string(29, '-'));
    for (const auto& step : steps) {
        if (step.slot > 0) reading_line(s, step.slot);
        step.call(s);
        if (step.guard && s.errcount.errt1 >= 1) {
            if (step.box != 0) node_box(s, step.box);
            return false;
        }
    }
    s.link5.ng_flag = s.pathnam.filuse[kEarlierRunSlot] == 1 ? kNgFlagEarlierRun : 0;
    return true;
}

void read_numbered_inputs(Sim& s) {
    run_dispatch(s, dispatch_steps());
}

} // namespace velm
