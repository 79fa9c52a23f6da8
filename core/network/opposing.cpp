// Opposing links and gap-acceptance times: from the link file's opposing
// codes, the built-in defaults and the optional file "ops_gaps.dat".
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/network.h"

#include <cstdlib>
#include <vector>

namespace velm {

void oplinval(Sim& s) {
    auto&       l1 = s.link1;
    const auto& g = s.graph1;
    for (int l = 1; l <= kMaxLinks; ++l) {
        if (l1.opslin(l, 1) >= 0) {
            // Explicit opposing links (or none): no gap of the link's own.
            l1.opsgap(l, 1) = 0;
            l1.opsgap(l, 2) = 0;
            continue;
        }
        // A gap code: the gap times, and every other link into the
        // downstream node as an opposing link.
        l1.opsgap(l, 1) = std::abs(l1.opslin(l, 1));
        l1.opsgap(l, 2) = std::abs(l1.opslin(l, 2));
        int       k = 0;
        const int e = l1.tonode(l);
        if (e >= 1 && e <= kMaxNodes)
            for (int i = 1; i <= g.nlinto(e) && k < kOpposingLinks; ++i)
                if (g.linto(e, i) != l) l1.opslin(l, ++k) = g.linto(e, i);
        while (k < kOpposingLinks) l1.opslin(l, ++k) = 0;
    }
}

namespace {

constexpr const char* kGapFile = "ops_gaps.dat";

void defaults_block(Sim& s) {
    auto&       u = s.units;
    const auto& o = s.opsgap;
    wfree(u, kUnitSummary, "     - Opposing gap global defaults ");
    wfree(u, kUnitSummary, "       a. Opposing gap default size :", o.ogapdef);
    wfree(u, kUnitSummary, "       b. Opposing gap decay inter. :", o.ogapdec);
    wfree(u, kUnitSummary, "       c. Opposing gap coef. of var.:", o.ogapcov);
    wfree(u, kUnitSummary, "       d. Correction for right turn :", -0.5f);
    wfree(u, kUnitSummary, "       e. Correction for left turn  :", 0.5f);
    wfree(u, kUnitSummary, "       f. Correction for stop sign  :", 0.0f);
    wfree(u, kUnitSummary, "       g. Correction for added lane :", 0.5f);
    wfree(u, kUnitSummary, "  ");
}

// A damaged optional file: reported like a reader's data error, but the
// run goes on with the defaults and the records read so far.
void report_damaged(Sim& s, int line, int stage) {
    const int fatal_before = s.errcount.errt1;
    listerr(s, kGapFile, kFixedNameFile, line, stage, s.errcount.numerr);
    s.errcount.errt1 = fatal_before;
}

// Reads the file's records; the stage it stopped at (kReadComplete when whole).
int read_gap_file(Sim& s, FreeReader& in, const std::vector<char>& takes_default) {
    auto& l1 = s.link1;
    auto& o = s.opsgap;
    auto& u = s.units;

    std::string title;
    if (!in.text_line(title)) return kReadTitle;
    wfree(u, kUnitSummary, "     - Opposing Gap file:", fmt_a(title, 40));

    int   count = 0;
    float def = o.ogapdef, dec = o.ogapdec, cov = o.ogapcov;
    if (in.record(count, def, dec, cov) != ReadResult::ok) return kReadData;
    o.ogapdef = def;
    o.ogapdec = dec;
    o.ogapcov = cov;
    for (int l = 1; l <= kMaxLinks; ++l)
        if (takes_default[static_cast<std::size_t>(l)]) {
            l1.opsgap(l, 1) = netin::trunc_sat(100.0f * o.ogapdef);
            l1.opsgap(l, 2) = netin::trunc_sat(100.0f * o.ogapdec);
        }

    // Values a record leaves out (after a "/") keep those of the record before.
    // The opposing link numbers are reals ("12.0"), truncated once in range.
    int   l = 0;
    float v[6] = {};
    float g[6] = {};
    for (int r = 1; r <= count; ++r) {
        in.start_record();
        if (in.next(l) != ReadResult::ok) return kReadData;
        for (int k = 1; k <= kOpposingLinks; ++k)
            if (in.next(v[k]) != ReadResult::ok || in.next(g[k]) != ReadResult::ok)
                return kReadData;
        if (l < 1 || l > kMaxLinks) continue;
        for (int k = 1; k <= kOpposingLinks; ++k) {
            if (!(v[k] > 0.0f && v[k] <= static_cast<float>(kMaxLinks))) continue;
            l1.opslin(l, k) = netin::trunc_sat(v[k]);
            if (g[k] > 0.0f) l1.opsgap(l, 1) = netin::trunc_sat(100.0f * g[k]);
        }
    }
    wfree(u, kUnitSummary, "     - Read in ", count, " link oppositions ");
    return kReadComplete;
}

} // namespace

void rdopsgap(Sim& s) {
    auto& l1 = s.link1;
    auto& o = s.opsgap;
    auto& u = s.units;
    section_heading(u, kUnitSummary, " 28. Customization of opposing links ");
    o.ogapdef = 4.0f;
    o.ogapdec = 120.0f;
    o.ogapcov = 0.0f;

    std::vector<char> takes_default(kMaxLinks + 1, 0);
    for (int l = 1; l <= kMaxLinks; ++l) {
        if (l1.opsgap(l, 1) > 0) continue;
        l1.opsgap(l, 1) = netin::trunc_sat(100.0f * o.ogapdef);
        l1.opsgap(l, 2) = netin::trunc_sat(100.0f * o.ogapdec);
        takes_default[static_cast<std::size_t>(l)] = 1;
    }

    if (!u.open_read(kUnitInput, netin::input_name(s, kGapFile))) {
        wfree(u, kUnitSummary, "     - No additional opposing links specified");
    } else {
        wfree(u, kUnitRunLog, "     a. Opposing Gap Data File    ");
        FreeReader in(u.in(kUnitInput));
        const int  stage = read_gap_file(s, in, takes_default);
        if (stage != kReadComplete) report_damaged(s, in.line(), stage);
        u.close(kUnitInput);
    }
    defaults_block(s);
}

} // namespace velm
