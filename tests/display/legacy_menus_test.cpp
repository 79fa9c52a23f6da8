// The older menu interface: every decoder rule against the rules as the menu
// documents them, every dispatcher code against its documented call, the
// answers reaching the graphs, the step and pacing words, and the small
// menu actions.
#include "core/display/legacy_menus.h"
#include "core/driver/run_control.h"
#include "reports/graph_spy.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

// --- a reader of the documented notation ------------------------------------------

std::string trim(const std::string& t) {
    const auto a = t.find_first_not_of(' ');
    if (a == std::string::npos) return "";
    return t.substr(a, t.find_last_not_of(' ') - a + 1);
}

std::vector<std::string> split(const std::string& t, char sep) {
    std::vector<std::string> out;
    std::string              part;
    std::istringstream       in(t);
    while (std::getline(in, part, sep)) out.push_back(trim(part));
    return out;
}

// "4", "1..5" or "5, 6, 7" -> the values in order.
std::vector<int> values(const std::string& t) {
    std::vector<int> out;
    for (const auto& item : split(t, ',')) {
        const auto dots = item.find("..");
        if (dots == std::string::npos) {
            out.push_back(std::stoi(item));
            continue;
        }
        const int lo = std::stoi(item.substr(0, dots)), hi = std::stoi(item.substr(dots + 2));
        for (int x = lo; x <= hi; ++x) out.push_back(x);
    }
    return out;
}

// One documented decoder rule "a / b / c -> codes": the listed levels, the
// codes of their choices in order (last level fastest). Levels not written
// are not tested.
struct DocRule {
    std::vector<std::vector<int>>     levels;
    std::vector<int>                  codes;
    std::function<int(int, int, int)> computed; // the two computed families
};

std::vector<DocRule> parse_rules(const std::string& text) {
    std::vector<DocRule> rules;
    for (const auto& rule : split(text, ';')) {
        DocRule    r;
        const auto arrow = rule.find("->");
        for (const auto& level : split(rule.substr(0, arrow), '/'))
            r.levels.push_back(values(level));
        r.codes = values(rule.substr(arrow + 2));
        std::size_t choices = 1;
        for (const auto& l : r.levels) choices *= l.size();
        EXPECT_EQ(choices, r.codes.size()) << rule;
        rules.push_back(r);
    }
    return rules;
}

std::optional<int> doc_code(const DocRule& r, int a, int b, int c) {
    if (r.computed) {
        const int code = r.computed(a, b, c);
        return code > 0 ? std::optional<int>(code) : std::nullopt;
    }
    const int   choice[3] = {a, b, c};
    std::size_t index = 0;
    for (std::size_t k = 0; k < r.levels.size(); ++k) {
        const auto& l = r.levels[k];
        std::size_t at = 0;
        while (at < l.size() && l[at] != choice[k]) ++at;
        if (at == l.size()) return std::nullopt;
        index = index * l.size() + at;
    }
    return r.codes[index];
}

// The rules as the menu documents them.
const std::map<int, std::string> kDocRules = {
    {1, "1 / 1..7 -> 601..607; 2 / 1..5 -> 611..615; 2 / 6 -> 610; 3 / 1 -> 997; 3 / 2 -> 998;"
        "3 / 3 -> 996"},
    {2, "1 / 1 / 1..7 -> 1501..1507"},
    {3, "1 / 1 / 1..5 -> 1511..1515; 1 / 2 / 1 -> 1516; 2 / 2 / 1..2 -> 1530..1531;"
        "2 / 3 / 1..3 -> 1540..1542; 2 / 3 / 5, 6, 7 -> 1571, 1570, 1573;"
        "2 / 4 / 1..3 -> 1555..1557; 2 / 5 / 1..3 -> 1560..1562"},
    {4, "1 / 1 / 1..4 -> 1111..1114; 1 / 2 -> 302; 1 / 3 / 1..4 -> 1121..1124; 1 / 4 / 1 -> 1572;"
        "1 / 4 / 2..5 -> 1561..1564; 1 / 5 / 1..3 -> 1576..1578; 2 / 1 / 1..6 -> 1431..1436;"
        "2 / 2 / 1..6 -> 1441..1446; 2 / 3 / 1 -> 305; 2 / 4 / 1..2 -> 306..307;"
        "2 / 5..9 / 1..5 -> 1131..1135, 1231..1235, 1241..1245, 1251..1255, 1261..1265;"
        "3 / 1 / 1..6 -> 1211..1216; 3 / 2 / 1..3 -> 351..353; 4 / 1..3 -> 321..323;"
        "4 / 4..6 -> 331..333; 5 / 1 / 1..2 -> 341..342; 5 / 2 / 1..3 -> 371..373;"
        "5 / 3 / 1..3 -> 971..973; 5 / 4 / 1..5 -> 974..978; 5 / 5 / 1..3 -> 4111..4113;"
        "6 / 1..3 -> 1711..1713; 6 / 4 / 1..5 -> 1181..1185; 7 / 1 / 1..8 -> 3211..3218;"
        "7 / 2 / 1..2 -> 903..904; 7 / 2 / 3..4 -> 3123..3124; 7 / 3 -> 905; 7 / 4 -> 906;"
        "7 / 5 / 1 -> 3151; 7 / 6 / 1 -> 3161; 7 / 8 -> 908; 7 / 9 / 1..2 -> 909..910;"
        "9 / 1 / 1..4 -> 1401..1404; 9 / 2 / 1..4 -> 1411..1414; 9 / 3 / 1..4 -> 1451..1454;"
        "9 / 4 -> 1421; 9 / 5 / 1..4 -> 401..404;"
        "9 / 6..8 / 1..5 -> 1141..1145, 1151..1155, 1161..1165; 9 / 9 / 0..9 -> 1171..1180"},
    {6, "1 -> 188; 2 -> 187; 3 / 1..4 -> 1751..1754; 3 / 5 / 1..5 -> 1761..1765;"
        "3 / 6 / 1..2 -> 1771..1772; 3 / 7 -> 1759; 4 -> 186; 5 -> 180; 6 -> 185"},
    {8, "1 -> 811; 2 -> 812; 3 / 1..3 -> 821..823; 4 / 1..4 -> 831..834; 5 / 1..3 -> 841..843;"
        "6 / 1..2 -> 851..852; 7 -> 801"},
};

// find_i3's rules with its two computed families in their places.
std::vector<DocRule> doc_rules(int n) {
    if (n != 3) return parse_rules(kDocRules.at(n));
    auto       rules = parse_rules(kDocRules.at(3));
    const auto later =
        parse_rules("4 / 1 / 1..5 -> 311..315; 4 / 2 / 1..5 -> 421..425; 4 / 3 / 1 -> 431");
    const auto last = parse_rules(
        "7 / 1 -> 911; 7 / 2 / 1..4 -> 921..924; 7 / 3 / 1..2 -> 931..932;"
        "7 / 4 / 1..2 -> 941..942; 7 / 5 / 1..5 -> 951..955; 7 / 6 / 1..5 -> 961..965;"
        "8 / 1 / 1..2 -> 2621..2622; 8 / 2 / 1..2 -> 2631..2632; 8 / 3 / 1..2 -> 2623..2624;"
        "8 / 4 / 1..2 -> 2625..2626; 8 / 5 / 1..2 -> 2627..2628; 8 / 6 -> 2611");
    DocRule speeds, fuels;
    speeds.computed = [](int a, int b, int c) {
        const int k = 100 * (a - 2) + 10 * b + c - 60;
        return k >= 1 && k <= 125 ? 1800 + k : 0;
    };
    fuels.computed = [](int a, int b, int c) {
        const int k = 100 * (a - 4) + 10 * b + c - 40;
        return k >= 1 && k <= 250 ? 2000 + 50 * ((k - 1) / 25) + (k - 1) % 25 + 1 : 0;
    };
    rules.push_back(speeds);
    rules.insert(rules.end(), later.begin(), later.end());
    rules.push_back(fuels);
    rules.insert(rules.end(), last.begin(), last.end());
    return rules;
}

using Decoder = void (*)(int, int, int, int&);
const std::map<int, Decoder> kDecoders = {{1, find_i1}, {2, find_i2}, {3, find_i3},
                                          {4, find_i4}, {6, find_i6}, {8, find_i8}};

TEST(MenuDecoders, WorkedChoices) {
    struct Case {
        Decoder find;
        int     a, b, c, before, code;
    } cases[] = {
        {find_i3, 2, 6, 1, 0, 1801},  {find_i3, 3, 8, 5, 0, 1925}, {find_i3, 4, 4, 1, 0, 2001},
        {find_i3, 6, 9, 0, 0, 2475},  {find_i3, 4, 6, 6, 0, 2051}, {find_i1, 2, 6, 0, 0, 610},
        {find_i1, 2, 7, 0, 123, 123}, {find_i1, 0, 1, 1, -4, -4},  {find_i4, 9, 9, 0, 0, 1171},
        {find_i4, 2, 7, 3, 0, 1243},  {find_i6, 3, 2, 9, 0, 1752}, {find_i8, 7, 5, 5, 0, 801},
    };
    for (const auto& c : cases) {
        int i1 = c.before;
        c.find(c.a, c.b, c.c, i1);
        EXPECT_EQ(i1, c.code) << c.a << "/" << c.b << "/" << c.c;
    }
}

TEST(MenuDecoders, EveryChoiceGivesTheDocumentedCode) {
    constexpr int kUntouched = -77;
    for (const auto& [n, find] : kDecoders) {
        const auto rules = doc_rules(n);
        int        matched = 0;
        for (int a = -1; a <= 11; ++a)
            for (int b = -1; b <= 11; ++b)
                for (int c = -1; c <= 11; ++c) {
                    int expected = kUntouched;
                    for (const auto& r : rules)
                        if (const auto code = doc_code(r, a, b, c)) expected = *code;
                    int i1 = kUntouched;
                    find(a, b, c, i1);
                    ASSERT_EQ(i1, expected) << "find_i" << n << " " << a << "/" << b << "/" << c;
                    matched += expected != kUntouched;
                }
        EXPECT_GT(matched, 0) << n;
    }
}

// --- dispatchers ----------------------------------------------------------------------

using Dispatcher = std::function<std::optional<MenuCall>(Sim&, int, const MenuAnswers&)>;

struct DocDispatcher {
    const char* name;
    Dispatcher  call;
    int         lo, hi; // the family's codes
    const char* calls;  // "codes routine(args)"; one argument may be a range
};

const DocDispatcher kDispatchers[] = {
    {"f300", f300, 300, 399,
     "302 netload; 304..305 cumstat(1..2); 306..307 cumdel(1..2); 311..315 plt_spdvol(1..5);"
     "321..323 det_rep(1..3); 331..333 det_spd(1..3); 341..342 plot_timcol(1..2);"
     "351..353 rmp_rep(1..3); 371..373 lst_pos(1..3)"},
    {"f900", f900, 900, 999,
     "909..910 sho_tcol(1..2); 911 dept_his(1, 1); 921..924 dept_his(2, 1..4);"
     "931..932 dept_his(3, 1..2); 941..942 dept_his(4, 1..2); 951..955 dept_his(5, 1..5);"
     "961..965 dept_his(6, 1..5); 971..973 p_path(1..3); 974..976 plotrout(1..3); 977 rev_path;"
     "978 routtime(2)"},
    {"f1100", f1100, 1100, 1199,
     "1111..1114 arr_his(1, 1..4); 1121..1124 arr_his(2, 1..4); 1131..1135 triptime(1, 1..5);"
     "1141..1145 triptime(6, 1..5); 1151..1155 triptime(7, 1..5); 1161..1165 triptime(8, 1..5);"
     "1171..1175 triptime(9, 1..5); 1176..1180 triptime(10, 1..5); 1181..1184 triptime(11, 1..4)"},
    {"f1200", f1200, 1200, 1299,
     "1211 link_pi(2); 1212 sig_pi(2); 1213..1216 cyc_his(1..4); 1231..1235 triptime(2, 1..5);"
     "1241..1245 triptime(5, 1..5); 1251..1255 triptime(4, 1..5); 1261..1265 triptime(3, 1..5)"},
    {"f1400", f1400, 1400, 1499,
     "1401..1404 plot_pol(1..4, 1); 1411..1414 plot_pol(1..4, 2); 1451..1454 plot_pol(1..4, 3);"
     "1421 windvect(1); 1431..1436 plot_travel(1..6, 1); 1441..1446 plot_travel(1..6, 2)"},
    {"f1800_1900", f1800_1900, 1800, 1999,
     "1801..1825 spd_for(1..25); 1826..1850 spd_hp(1..25); 1851..1875 veh_acc(1, 1, 1..25);"
     "1876..1900 veh_acc(1, 2, 1..25); 1901..1925 veh_acc(2, 2, 1..25)"},
    {"f2000", f2000, 2000, 2099, "2001..2025 veh_fuel(1, 1..25); 2051..2075 veh_fuel(2, 1..25)"},
    {"f2100", f2100, 2100, 2199,
     "2101..2125 veh_emis(1, 1, 1..25); 2151..2175 veh_emis(1, 2, 1..25)"},
    {"f2200", f2200, 2200, 2299,
     "2201..2225 veh_emis(2, 1, 1..25); 2251..2275 veh_emis(2, 2, 1..25)"},
    {"f2300", f2300, 2300, 2399,
     "2301..2325 veh_emis(3, 1, 1..25); 2351..2375 veh_emis(3, 2, 1..25)"},
    {"f2400", f2400, 2400, 2499,
     "2401..2425 veh_emis(4, 1, 1..25); 2451..2475 veh_emis(4, 2, 1..25)"},
    {"f4000", f4000, 4000, 4199, "4111 sho_rout; 4112 sho_step; 4113 sho_vtfl"},
};

// The documented call of each code: routine name and arguments.
std::map<int, std::pair<std::string, std::vector<int>>> doc_calls(const std::string& text) {
    std::map<int, std::pair<std::string, std::vector<int>>> out;
    for (const auto& entry : split(text, ';')) {
        const auto                    sp = entry.find(' ');
        const auto                    codes = values(entry.substr(0, sp));
        std::string                   routine = trim(entry.substr(sp + 1));
        std::vector<std::vector<int>> args;
        if (const auto open = routine.find('('); open != std::string::npos) {
            for (const auto& a : split(routine.substr(open + 1, routine.size() - open - 2), ','))
                args.push_back(values(a));
            routine = routine.substr(0, open);
        }
        for (std::size_t i = 0; i < codes.size(); ++i) {
            std::vector<int> call;
            for (const auto& a : args) {
                EXPECT_TRUE(a.size() == 1 || a.size() == codes.size()) << entry;
                call.push_back(a.size() == 1 ? a[0] : a[i]);
            }
            out[codes[i]] = {routine, call};
        }
    }
    return out;
}

TEST(MenuDispatchers, EveryCodeCallsTheDocumentedRoutineAndUnknownCodesNothing) {
    support::BoxRecorder    boxes;
    testing_graphs::PlotSpy spy;
    auto                    sim = support::memory_sim(nullptr, &boxes);
    sim->plots = &spy;
    const MenuAnswers none{};
    for (const auto& d : kDispatchers) {
        const auto doc = doc_calls(d.calls);
        int        known = 0;
        for (int i1 = d.lo - 5; i1 <= d.hi + 5; ++i1) {
            const std::size_t shown = boxes.boxes.size() + spy.plots.size();
            const auto        made = d.call(*sim, i1, none);
            const auto        it = doc.find(i1);
            if (it == doc.end()) {
                EXPECT_FALSE(made.has_value()) << d.name << " " << i1;
                EXPECT_EQ(boxes.boxes.size() + spy.plots.size(), shown) << d.name << " " << i1;
                continue;
            }
            ++known;
            ASSERT_TRUE(made.has_value()) << d.name << " " << i1;
            EXPECT_EQ(routine_name(made->routine), it->second.first) << d.name << " " << i1;
            const std::vector<int> args(made->args.begin(), made->args.begin() + made->nargs);
            EXPECT_EQ(args, it->second.second) << d.name << " " << i1;
        }
        EXPECT_EQ(known, static_cast<int>(doc.size())) << d.name;
    }
}

TEST(MenuDispatchers, TheAnswersReachTheGraphs) {
    struct Case {
        Dispatcher  call;
        int         i1;
        MenuAnswers answers;
        const char* shown; // the graph's name, in a plot or in the message box
    } cases[] = {
        {f300, 302, {}, "En-Route Statistics"},
        {f300, 305, {}, "Incremental Network VMT and VHT"},
        {f300, 313, {.ilink = 9}, "Lane Density-Volume"},
        {f300, 322, {.idet = 5}, "Detector Statistics"},
        {f300, 353, {.irmp = 2}, "Minimum-Maximum and Actual Rates"},
        {f1200, 1212, {.isignal = 4}, "Performance Index by Signal"},
        {f1200, 1214, {.isignal = 4}, "Offset in Seconds"},
        {f900, 911, {}, "Frequency by Type"},
        {f900, 978, {.car = 12}, "Remaining Route: Current Trip Time vs. Distance"},
        {f1100, 1132, {.iorg = 1}, "Time Series of Trip Times"},
    };
    for (const auto& c : cases) {
        support::BoxRecorder    boxes;
        testing_graphs::PlotSpy spy;
        auto                    sim = support::memory_sim(nullptr, &boxes);
        Sim&                    s = *sim;
        s.plots = &spy;
        s.set2.mzones = 3;
        s.detloc.dettyp(5) = 1;
        s.link4.llength(9) = 0.4f;
        s.link1.spdvol(9, 5) = 140.0f;
        s.link1.spdvol(9, 7) = 100.0f;
        s.link1.spdvol(9, 1) = 0.005f;
        s.link1.spdvol(9, 2) = 0.2f;
        s.link1.nulans(9) = 1;
        s.signal.msignal = 4;
        s.signal.cycle(4) = 60.0f;
        s.flowprof.sigpi(4, 3) = 1.0f;
        s.vehtre.trelst(12, 2) = 1;
        const auto made = c.call(s, c.i1, c.answers);
        ASSERT_TRUE(made.has_value()) << c.i1;
        ASSERT_EQ(spy.plots.size() + boxes.boxes.size(), 1u) << c.i1;
        const std::string shown =
            spy.plots.empty() ? boxes.boxes[0].title.substr(0, boxes.boxes[0].title.find('*'))
                              : spy.plots[0].title(5);
        EXPECT_EQ(shown, c.shown) << c.i1;
    }
}

TEST(MenuDispatchers, StepAndPacingWords) {
    auto sim = support::memory_sim();
    Sim& s = *sim;
    struct Case {
        int i1, indstp, clocks;
    } cases[] = {
        {601, 1, -1},    {602, 10, -1},    {603, 100, -1}, {604, 600, -1},
        {605, 6000, -1}, {606, 36000, -1}, {607, 0, -1},   {611, -1, 200},
        {612, -1, 100},  {613, -1, 50},    {614, -1, 20},  {615, -1, 10},
        {610, -1, 0},    {600, -1, -1},    {608, -1, -1},  {616, -1, -1},
    };
    for (const auto& c : cases) {
        constexpr int kBefore = 77;
        s.subtim.set_step_mode(kBefore);
        s.subtim.set_pacing(kBefore);
        int flag1 = 5;
        f600(s, c.i1, flag1);
        EXPECT_EQ(flag1, 0) << c.i1;
        EXPECT_EQ(s.subtim.step_mode(), c.indstp < 0 ? kBefore : c.indstp) << c.i1;
        EXPECT_EQ(s.subtim.pacing(), c.clocks < 0 ? kBefore : c.clocks) << c.i1;
    }
}

TEST(MenuActions, SwitchesLeavingAndPathPrompts) {
    struct Case {
        int symb, after;
    } cases[] = {{1, 0}, {0, 1}, {5, 1}, {-1, 1}};
    for (const auto& c : cases) {
        int i2 = 0, symb = c.symb, flag2 = 0;
        symbswit(i2, symb, flag2);
        EXPECT_EQ(symb, c.after);
        EXPECT_EQ(i2, 1);
        EXPECT_EQ(flag2, 1);
    }
    int i2 = 4, flag = 0, flag1 = 3;
    abandon(i2, flag, flag1);
    EXPECT_EQ(i2, 0);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(flag1, 0);

    const auto prompts = p_path(2);
    EXPECT_EQ(prompts[0], "Vehicle Type:       ");
    EXPECT_EQ(prompts[1], "Destination :       ");
    EXPECT_EQ(prompts[2], "");
    EXPECT_EQ(p_path(3)[2], "Origin:             ");
}

} // namespace
} // namespace velm
