// Two optional link-attribute files: the grade of each link ("lnkgrade.dat")
// and the level-of-service report groups ("lnklos.dat").
#include "core/io/free_reader.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/optional_file.h"

#include <cmath>
#include <vector>

namespace velm {

namespace {

constexpr const char* kGradeFile = "lnkgrade.dat";
constexpr const char* kLosFile = "lnklos.dat";
constexpr float       kGradeEchoed = 0.0001f; // smaller grades are stored but not listed

bool read_grades(Sim& s, FreeReader& in) {
    auto& u = s.units;
    if (!netin::read_echoed_title(s, in, "     - Grade file name   :")) return false;
    int count = 0;
    if (in.record(count) != ReadResult::ok) return false;
    wfree(u, kUnitSummary, "     - Number of grades  :", count);
    for (int i = 1; i <= count; ++i) {
        float link_f = 0.0f, grade = 0.0f;
        if (in.record(link_f, grade) != ReadResult::ok) return false;
        const int l = netin::trunc_sat(link_f);
        if (l < 1 || l > kMaxLinks) {
            wfree(u, kUnitRunLog, " lnkgrade.dat: link", l, " is outside 1 to", kMaxLinks,
                  " - line", in.line(), " skipped");
            continue;
        }
        s.lnkgrade.lnkgrade(l) = grade;
    }
    return true;
}

// One group record as read, committed only when every count fits the tables.
struct LosGroup {
    int                           x = 0, typ = 0, n = 0;
    bool                          fits = true;
    std::vector<std::vector<int>> lists; // type 1: one list; others: one per approach
};

struct LosReader {
    Sim&        s;
    FreeReader& in;

    // A link number of group x: kept when it names a link of the table.
    void take_link(LosGroup& g, std::vector<int>& list, int link) {
        if (!g.fits) return;
        if (link >= 1 && link <= kMaxLinks && link <= s.link2.mlnum &&
            s.link4.llength(link) >= 0.0f) {
            list.push_back(link);
            return;
        }
        if (link >= 1 && link <= kMaxLinks) {
            // A link the network does not have would grade A with no delay
            // every period.
            wfree(s.units, kUnitRunLog, " Input error lnklos.dat: group", g.x, " names link", link,
                  " which the network does not have - left out of the group");
            ++s.errcount.numerr;
            return;
        }
        wfree(s.units, kUnitRunLog, " lnklos.dat: group", g.x, " link", link, " is outside 1 to",
              kMaxLinks, " - left out of the group");
    }
    void refuse(LosGroup& g, const char* what, int value, int lo, int hi) {
        if (g.fits)
            wfree(s.units, kUnitRunLog, " lnklos.dat: group", g.x, what, value, " is outside", lo,
                  " to", hi, " - group skipped");
        g.fits = false;
    }
    // Reads `count` link numbers into list (or past them for a refused group).
    bool read_links(LosGroup& g, std::vector<int>& list, int count) {
        for (int j = 1; j <= count; ++j) {
            int link = 0;
            if (in.next(link) != ReadResult::ok) return false;
            take_link(g, list, link);
        }
        return true;
    }
    bool read_group(LosGroup& g);
    void store(const LosGroup& g);
};

bool LosReader::read_group(LosGroup& g) {
    in.start_record();
    if (in.next(g.x) != ReadResult::ok || in.next(g.typ) != ReadResult::ok ||
        in.next(g.n) != ReadResult::ok)
        return false;
    s.units.line(kUnitSummary, fmt_i(g.x, 4) + fmt_i(g.typ, 4) + fmt_i(g.n, 4));
    if (g.x < 1 || g.x > kMaxLosGroups) refuse(g, " number", g.x, 1, kMaxLosGroups);
    if (g.typ == kLosFreeway) {
        if (g.n < 0 || g.n > kMaxLosLinks) refuse(g, " link count", g.n, 0, kMaxLosLinks);
        g.lists.resize(1);
        return read_links(g, g.lists[0], g.n);
    }
    if (g.n < 0 || g.n > kMaxLosApproaches) refuse(g, " approach count", g.n, 0, kMaxLosApproaches);
    if (g.fits) g.lists.resize(static_cast<std::size_t>(g.n));
    std::vector<int> unused;
    for (int a = 1; a <= g.n; ++a) {
        int m = 0;
        if (in.next(m) != ReadResult::ok) return false;
        if (m < 0 || m > kMaxLosLinks) refuse(g, " approach link count", m, 0, kMaxLosLinks);
        auto& list = g.fits ? g.lists[static_cast<std::size_t>(a - 1)] : unused;
        if (!read_links(g, list, m)) return false;
    }
    return true;
}

void LosReader::store(const LosGroup& g) {
    if (!g.fits) return;
    auto& los = s.los;
    los.lostyp(g.x) = g.typ;
    los.n_los_lk(g.x) = g.n;
    if (g.typ == kLosFreeway) {
        const auto& list = g.lists[0];
        // Links left out leave the group shorter.
        los.n_los_lk(g.x) = static_cast<int>(list.size());
        for (std::size_t j = 0; j < list.size(); ++j)
            los.los_lk(g.x, static_cast<int>(j) + 1) = list[j];
        return;
    }
    for (int a = 1; a <= g.n; ++a) {
        const auto& list = g.lists[static_cast<std::size_t>(a - 1)];
        los.numlk(g.x, a) = static_cast<int>(list.size());
        for (std::size_t j = 0; j < list.size(); ++j)
            los.los_ap(g.x, a, static_cast<int>(j) + 1) = list[j];
    }
}

} // namespace

void rd_grade(Sim& s) {
    auto& u = s.units;
    auto& grade = s.lnkgrade.lnkgrade;
    grade.zero();
    netin::open_section(u, " 35. Link Grade               ");
    const std::string name = netin::input_name(s, kGradeFile);
    wfree(u, kUnitSummary, "     file: ", fmt_a(name, kFullNameChars));

    const auto r = netin::read_optional(s, name, kGradeFile, "     a. Link Grade File provided",
                                        [&](FreeReader& in) { return read_grades(s, in); });
    if (r == netin::OptionalRead::absent) {
        wfree(u, kUnitSummary, "     - No Link Grades specified        ");
        return;
    }
    for (int l = 1; l <= kMaxLinks; ++l)
        if (std::fabs(grade(l)) > kGradeEchoed)
            u.line(kUnitSummary, "     - grade:" + fmt_i(l, 6) + fmt_f(grade(l), 8, 3));
}

void rdlos(Sim& s) {
    auto& u = s.units;
    auto& los = s.los;
    los.reset_groups();
    wfree(u, kUnitSummary, std::string(46, ' '));
    wfree(u, kUnitSummary, std::string(46, '-'));
    wfree(u, kUnitSummary, " 32. Roadway LOS                              ");
    const std::string name = netin::input_name(s, kLosFile);
    wfree(u, kUnitSummary, "     file: ", fmt_a(name, kFullNameChars));

    if (!u.open_read(kUnitInput, name)) {
        wfree(u, kUnitSummary, "     - No LOS file specified        ");
        return;
    }
    FreeReader in(u.in(kUnitInput));
    LosReader  r{s, in};
    int        records = 0; // group records started
    bool       complete = false;
    wfree(u, kUnitRunLog, "     a. LOS File provided");
    std::string title;
    int         count = 0;
    if (in.text_line(title)) {
        wfree(u, kUnitSummary, "     - LOS File name   :", fmt_a(title, kShortTitleChars));
        if (in.record(count) == ReadResult::ok) {
            wfree(u, kUnitSummary, "     - Number of LOS entries  :", count);
            if (count > kMaxLosGroups) {
                wfree(u, kUnitRunLog, " lnklos.dat:", count, " groups exceed the maximum",
                      kMaxLosGroups, ": the rest are not read");
                count = kMaxLosGroups;
            }
            los.nlos = count > 0 ? count : 0;
            complete = true;
            for (records = 0; complete && records < los.nlos;) {
                ++records;
                LosGroup g;
                complete = r.read_group(g);
                if (complete) r.store(g);
            }
        }
    }
    u.close(kUnitInput);
    if (!complete) wfree(u, kUnitRunLog, " Error reading LnkLOS.dat at line ", records);
}

} // namespace velm
