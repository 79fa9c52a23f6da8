// Two optional files that are read and echoed but drive no simulation step:
// the wrong-turn probabilities ("wrg_turn.dat") and the pedestrian crossings
// ("pedes_cr.dat", whose table has room for none).
#include "core/io/free_reader.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/optional_file.h"

namespace velm {

namespace {

constexpr const char* kWrongTurnFile = "wrg_turn.dat";
constexpr const char* kPedestrianFile = "pedes_cr.dat";
constexpr int         kLoggedNameChars = 60;

bool read_wrong_turns(Sim& s, FreeReader& in) {
    if (!netin::read_echoed_title(s, in, "     - Wrong Turn Prob.  file:")) return false;
    auto& p = s.wrgtrn.wrgtrnp;
    for (int i = 1; i <= kWrongTurnRows; ++i) {
        int label = 0; // row label, not used
        in.start_record();
        if (in.next(label) != ReadResult::ok) return false;
        for (int j = 1; j <= kWrongTurnCols; ++j)
            if (in.next(p(i, j)) != ReadResult::ok) return false;
    }
    return true;
}

} // namespace

void rdwrgtrn(Sim& s) {
    auto& u = s.units;
    s.wrgtrn.wrgtrnp.zero();
    netin::open_section(u, " 25. Wrong Turn Probability Inputs ");

    const auto r = netin::read_optional(s, netin::input_name(s, kWrongTurnFile), kWrongTurnFile,
                                        "     a. Wrong Turn Probability File    ",
                                        [&](FreeReader& in) { return read_wrong_turns(s, in); });
    if (r == netin::OptionalRead::complete) {
        wfree(u, kUnitSummary, "    - Read in Wrong Turn Probabilities ");
        return;
    }
    // A partial table would mix read rows with zero rows: none is used.
    s.wrgtrn.wrgtrnp.zero();
    wfree(u, kUnitSummary, "     - No Wrong Turn Probabilities Read in");
}

void rdpdescr(Sim& s) {
    auto& u = s.units;
    auto& pc = s.pedescr;
    netin::open_section(u, " 41. Pedestrian Crossings        ");
    int  count = 0;
    int  lines = 0;
    bool used = false;

    if (u.open_read(kUnitInput, netin::input_name(s, kPedestrianFile))) {
        FreeReader  in(u.in(kUnitInput));
        std::string title;
        bool        readable = in.text_line(title);
        if (readable) {
            wfree(u, kUnitRunLog,
                  "     - Reading Pedestrian File: ", fmt_a(kPedestrianFile, kLoggedNameChars));
            wfree(u, kUnitSummary, " - Pedestrian file:", fmt_a(title, kShortTitleChars));
            ++lines;
            readable = in.record(count) == ReadResult::ok;
        }
        if (readable) {
            ++lines;
            wfree(u, kUnitSummary, "     - Number of pedestrian crossings= ", count);
            if (count < 1) {
                count = 0;
            } else {
                if (count > pc.mpds) {
                    wfree(u, kUnitRunLog, " - Number of Pedestrian Crossings:", count,
                          " exceeds maximum : ", pc.mpds);
                    wfree(u, kUnitRunLog, "   Number of Crossing set to ", pc.mpds);
                    count = pc.mpds;
                }
                pc.npedscr = count;
                u.line(kUnitSummary, "   Read in " + fmt_i(pc.npedscr, 5) + " crossings   ");
                wfree(u, kUnitSummary, "  ");
                used = true;
            }
        } else {
            wfree(u, kUnitRunLog, " ERROR:");
            wfree(u, kUnitRunLog, " Error occurred reading pedestrian file on line", lines);
            pc.npedscr = 0;
            s.errcount.errt1 += 1;
        }
        u.close(kUnitInput);
    }
    if (!used) wfree(u, kUnitSummary, "     - No Pedestrian file used");
}

} // namespace velm
