// The numbered output files: the summary output (slot 10) and slots 11 to 19
// and 25, each opened in the output directory on the unit of its slot.
#include "core/driver/driver.h"

#include "core/driver/errors.h"
#include "core/driver/run_text.h"
#include "core/io/writers.h"

namespace velm {

namespace {

constexpr int kSummarySlot = 10;
constexpr int kListedSlots = 29; // the banner lists slots 1..29
// The banner's release line: release and release date in 44 characters.
constexpr char kReleaseLine[] = "  VELMORANTIS Release 3.3.58 of 10 Dec 2026 ";
static_assert(sizeof kReleaseLine - 1 == 44);

// A slot's file name under the output directory.
std::string output_name(const Sim& s, const std::string& name) {
    const int lpath = s.pathnam.lpath[2];
    return lpath > 0 ? s.filenam.path2.substr(0, static_cast<std::size_t>(lpath)) + name : name;
}

// The summary output that cannot be opened even in the working directory:
// the run ends after the master file.
void cannot_open(Sim& s, int slot) {
    wfree(s.units, kUnitRunLog, "   ");
    s.units.line(kUnitRunLog, "  -File:" + fmt_i(slot, 4) + fmt_a(s.filenam.files(slot), 200) +
                                  " Cannot be opened");
    s.errcount.errt1 += 1;
}

// Opens slot k on unit k. One that cannot be created (a folder that does not
// exist, say) is named and counted as a report not written; the run goes on
// without it (its slot stays unused).
void open_slot(Sim& s, int k) {
    const std::string name = output_name(s, s.filenam.files(k));
    if (!s.units.open_write(k, name)) {
        wfree(s.units, kUnitRunLog, "   ");
        s.units.line(kUnitRunLog, "  -File:" + fmt_i(k, 4) + fmt_a(s.filenam.files(k), 200) +
                                      " Cannot be opened");
        output_not_written(s, name);
        return;
    }
    s.pathnam.filuse[static_cast<std::size_t>(k)] = 1;
}

bool listing_slot(int k) {
    return k == 12 || k == 13 || k == 14;
}

} // namespace

void filename(Sim& s) {
    Units& u = s.units;
    auto&  files = s.filenam.files;
    auto&  filuse = s.pathnam.filuse;
    for (int k = kSummarySlot; k <= 19; ++k) filuse[static_cast<std::size_t>(k)] = 0;

    if (slot_unused(files(kSummarySlot))) files(kSummarySlot) = "DEFAULT.U10";
    if (u.open_write(kUnitSummary, output_name(s, files(kSummarySlot)))) {
        filuse[kSummarySlot] = 1;
    } else if (u.open_write(kUnitSummary, files(kSummarySlot))) {
        wfree(u, kUnitRunLog, "   ");
        wfree(u, kUnitRunLog, " - File 10 could not be openend in specified ", " subdirectory ");
        wfree(u, kUnitRunLog, "   Output subdirectory likely does not exist  ");
        output_not_written(s, output_name(s, files(kSummarySlot)));
    } else {
        cannot_open(s, kSummarySlot);
        // The lines meant for the summary output go to the end of the run log
        // instead; both units then append, so neither overwrites the other.
        wfree(u, kUnitRunLog, " - The lines of the summary output follow at the end of this",
              " file");
        const std::string log = u.name(kUnitRunLog);
        u.close(kUnitRunLog);
        u.open_write(kUnitRunLog, log, true);
        u.open_write(kUnitSummary, log, true);
        return;
    }

    u.line(kUnitSummary, "  === VELMORANTIS FORMATTED OUTPUT FILE ===   ");
    u.line(kUnitSummary, fmt_a(kReleaseLine, 44));
    u.line(kUnitSummary, "  ");
    u.line(kUnitSummary, "       Master File: " + fmt_a(s.filenam.mastitle, 300));
    u.line(kUnitSummary, "  ");
    u.line(kUnitSummary, " 0. Input and Output Data File Names:");
    for (int j = 1; j <= kListedSlots; ++j)
        u.line(kUnitSummary, "     - File: " + fmt_i(j, 2) + " is: " + fmt_a(files(j), 200));
    u.line(kUnitSummary, "");

    for (int k = 11; k <= 19; ++k) {
        if (listing_slot(k) && s.trees.pd_ot2 == 0) continue;
        if (slot_unused(files(k))) continue;
        open_slot(s, k);
    }
    if (!slot_unused(files(kTurnSlot))) open_slot(s, kTurnSlot);
}

} // namespace velm
