// The older menu interface: decoder rules, dispatch tables, small menu actions
// and the empty display entries. The rules and tables are data, one row per
// rule or code range, in the order they are tried.
#include "core/display/legacy_menus.h"

#include "core/driver/run_control.h"
#include "core/io/writers.h"
#include "core/reports/online_graphs.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace {

constexpr MenuLevel kAny{};
constexpr MenuLevel v(int e) {
    return {e, e};
}
constexpr MenuLevel r(int lo, int hi) {
    return {lo, hi};
}

// One row per rule, in the order the rules are tried.
// clang-format off
constexpr MenuRule kFindI1[] = {
    {1, r(1, 7), kAny, 601},
    {2, r(1, 5), kAny, 611},
    {2, v(6), kAny, 610},
    {3, v(1), kAny, 997},
    {3, v(2), kAny, 998},
    {3, v(3), kAny, 996},
};

constexpr MenuRule kFindI2[] = {
    {1, v(1), r(1, 7), 1501},
};

constexpr MenuRule kFindI3[] = {
    {1, v(1), r(1, 5), 1511},
    {1, v(2), v(1), 1516},
    {2, v(2), r(1, 2), 1530},
    {2, v(3), r(1, 3), 1540},
    {2, v(3), v(5), 1571},
    {2, v(3), v(6), 1570},
    {2, v(3), v(7), 1573},
    {2, v(4), r(1, 3), 1555},
    {2, v(5), r(1, 3), 1560},
    {0, kAny, kAny, 1800, RuleKind::speed_family},
    {4, v(1), r(1, 5), 311},
    {4, v(2), r(1, 5), 421},
    {4, v(3), v(1), 431},
    {0, kAny, kAny, 2000, RuleKind::fuel_family},
    {7, v(1), kAny, 911},
    {7, v(2), r(1, 4), 921},
    {7, v(3), r(1, 2), 931},
    {7, v(4), r(1, 2), 941},
    {7, v(5), r(1, 5), 951},
    {7, v(6), r(1, 5), 961},
    {8, v(1), r(1, 2), 2621},
    {8, v(2), r(1, 2), 2631},
    {8, v(3), r(1, 2), 2623},
    {8, v(4), r(1, 2), 2625},
    {8, v(5), r(1, 2), 2627},
    {8, v(6), kAny, 2611},
};

constexpr MenuRule kFindI4[] = {
    {1, v(1), r(1, 4), 1111},
    {1, v(2), kAny, 302},
    {1, v(3), r(1, 4), 1121},
    {1, v(4), v(1), 1572},
    {1, v(4), r(2, 5), 1561},
    {1, v(5), r(1, 3), 1576},
    {2, v(1), r(1, 6), 1431},
    {2, v(2), r(1, 6), 1441},
    {2, v(3), v(1), 305},
    {2, v(4), r(1, 2), 306},
    {2, v(5), r(1, 5), 1131},
    {2, v(6), r(1, 5), 1231},
    {2, v(7), r(1, 5), 1241},
    {2, v(8), r(1, 5), 1251},
    {2, v(9), r(1, 5), 1261},
    {3, v(1), r(1, 6), 1211},
    {3, v(2), r(1, 3), 351},
    {4, r(1, 3), kAny, 321},
    {4, r(4, 6), kAny, 331},
    {5, v(1), r(1, 2), 341},
    {5, v(2), r(1, 3), 371},
    {5, v(3), r(1, 3), 971},
    {5, v(4), r(1, 5), 974},
    {5, v(5), r(1, 3), 4111},
    {6, r(1, 3), kAny, 1711},
    {6, v(4), r(1, 5), 1181},
    {7, v(1), r(1, 8), 3211},
    {7, v(2), r(1, 2), 903},
    {7, v(2), r(3, 4), 3123},
    {7, v(3), kAny, 905},
    {7, v(4), kAny, 906},
    {7, v(5), v(1), 3151},
    {7, v(6), v(1), 3161},
    {7, v(8), kAny, 908},
    {7, v(9), r(1, 2), 909},
    {9, v(1), r(1, 4), 1401},
    {9, v(2), r(1, 4), 1411},
    {9, v(3), r(1, 4), 1451},
    {9, v(4), kAny, 1421},
    {9, v(5), r(1, 4), 401},
    {9, v(6), r(1, 5), 1141},
    {9, v(7), r(1, 5), 1151},
    {9, v(8), r(1, 5), 1161},
    {9, v(9), r(0, 9), 1171},
};

constexpr MenuRule kFindI6[] = {
    {1, kAny, kAny, 188},
    {2, kAny, kAny, 187},
    {3, r(1, 4), kAny, 1751},
    {3, v(5), r(1, 5), 1761},
    {3, v(6), r(1, 2), 1771},
    {3, v(7), kAny, 1759},
    {4, kAny, kAny, 186},
    {5, kAny, kAny, 180},
    {6, kAny, kAny, 185},
};

constexpr MenuRule kFindI8[] = {
    {1, kAny, kAny, 811},
    {2, kAny, kAny, 812},
    {3, r(1, 3), kAny, 821},
    {4, r(1, 4), kAny, 831},
    {5, r(1, 3), kAny, 841},
    {6, r(1, 2), kAny, 851},
    {7, kAny, kAny, 801},
};
// clang-format on

bool in(const MenuLevel& l, int e) {
    return l.any() || (e >= l.lo && e <= l.hi);
}

// The code of rule x for the choice, or nothing when it does not match.
std::optional<int> match(const MenuRule& x, int a, int b, int c) {
    switch (x.kind) {
    case RuleKind::speed_family: {
        const int k = 100 * (a - 2) + 10 * b + c - 60;
        if (k >= 1 && k <= 125) return x.code + k;
        return std::nullopt;
    }
    case RuleKind::fuel_family: {
        const int k = 100 * (a - 4) + 10 * b + c - 40;
        if (k >= 1 && k <= 250) return x.code + 50 * ((k - 1) / 25) + (k - 1) % 25 + 1;
        return std::nullopt;
    }
    case RuleKind::listed:
        break;
    }
    if (a != x.l2 || !in(x.l3, b) || !in(x.l4, c)) return std::nullopt;
    // A ranged level maps its entries in order onto the codes.
    if (!x.l3.any() && x.l3.hi > x.l3.lo) return x.code + (b - x.l3.lo);
    if (!x.l4.any() && x.l4.hi > x.l4.lo) return x.code + (c - x.l4.lo);
    return x.code;
}

void decode(std::span<const MenuRule> rules, int a, int b, int c, int& i1) {
    for (const auto& x : rules)
        if (const auto code = match(x, a, b, c)) i1 = *code;
}

// --- dispatch tables ---------------------------------------------------------------

using M = MenuRoutine;

// Codes lo..hi call the routine with args; the argument at `vary` (-1 none)
// runs from its value in step with the code.
struct DispatchRow {
    int                lo, hi;
    MenuRoutine        routine;
    int                nargs;
    std::array<int, 3> args;
    int                vary;
};

// clang-format off
constexpr DispatchRow kF300[] = {
    {302, 302, M::netload, 0, {}, -1},
    {304, 305, M::cumstat, 1, {1}, 0},
    {306, 307, M::cumdel, 1, {1}, 0},
    {311, 315, M::plt_spdvol, 1, {1}, 0},
    {321, 323, M::det_rep, 1, {1}, 0},
    {331, 333, M::det_spd, 1, {1}, 0},
    {341, 342, M::plot_timcol, 1, {1}, 0},
    {351, 353, M::rmp_rep, 1, {1}, 0},
    {371, 373, M::lst_pos, 1, {1}, 0},
};

constexpr DispatchRow kF900[] = {
    {909, 910, M::sho_tcol, 1, {1}, 0},
    {911, 911, M::dept_his, 2, {1, 1}, -1},
    {921, 924, M::dept_his, 2, {2, 1}, 1},
    {931, 932, M::dept_his, 2, {3, 1}, 1},
    {941, 942, M::dept_his, 2, {4, 1}, 1},
    {951, 955, M::dept_his, 2, {5, 1}, 1},
    {961, 965, M::dept_his, 2, {6, 1}, 1},
    {971, 973, M::p_path, 1, {1}, 0},
    {974, 976, M::plotrout, 1, {1}, 0},
    {977, 977, M::rev_path, 0, {}, -1},
    {978, 978, M::routtime, 1, {2}, -1},
};

constexpr DispatchRow kF1100[] = {
    {1111, 1114, M::arr_his, 2, {1, 1}, 1},
    {1121, 1124, M::arr_his, 2, {2, 1}, 1},
    {1131, 1135, M::triptime, 2, {1, 1}, 1},
    {1141, 1145, M::triptime, 2, {6, 1}, 1},
    {1151, 1155, M::triptime, 2, {7, 1}, 1},
    {1161, 1165, M::triptime, 2, {8, 1}, 1},
    {1171, 1175, M::triptime, 2, {9, 1}, 1},
    {1176, 1180, M::triptime, 2, {10, 1}, 1},
    {1181, 1184, M::triptime, 2, {11, 1}, 1},
};

constexpr DispatchRow kF1200[] = {
    {1211, 1211, M::link_pi, 1, {2}, -1},
    {1212, 1212, M::sig_pi, 1, {2}, -1},
    {1213, 1216, M::cyc_his, 1, {1}, 0},
    {1231, 1235, M::triptime, 2, {2, 1}, 1},
    {1241, 1245, M::triptime, 2, {5, 1}, 1},
    {1251, 1255, M::triptime, 2, {4, 1}, 1},
    {1261, 1265, M::triptime, 2, {3, 1}, 1},
};

constexpr DispatchRow kF1400[] = {
    {1401, 1404, M::plot_pol, 2, {1, 1}, 0},
    {1411, 1414, M::plot_pol, 2, {1, 2}, 0},
    {1451, 1454, M::plot_pol, 2, {1, 3}, 0},
    {1421, 1421, M::windvect, 1, {1}, -1},
    {1431, 1436, M::plot_travel, 2, {1, 1}, 0},
    {1441, 1446, M::plot_travel, 2, {1, 2}, 0},
};

constexpr DispatchRow kF1800[] = {
    {1801, 1825, M::spd_for, 1, {1}, 0},
    {1826, 1850, M::spd_hp, 1, {1}, 0},
    {1851, 1875, M::veh_acc, 3, {1, 1, 1}, 2},
    {1876, 1900, M::veh_acc, 3, {1, 2, 1}, 2},
    {1901, 1925, M::veh_acc, 3, {2, 2, 1}, 2},
};

constexpr DispatchRow kF2000[] = {
    {2001, 2025, M::veh_fuel, 2, {1, 1}, 1},
    {2051, 2075, M::veh_fuel, 2, {2, 1}, 1},
};

constexpr DispatchRow kF2100[] = {
    {2101, 2125, M::veh_emis, 3, {1, 1, 1}, 2},
    {2151, 2175, M::veh_emis, 3, {1, 2, 1}, 2},
};
constexpr DispatchRow kF2200[] = {
    {2201, 2225, M::veh_emis, 3, {2, 1, 1}, 2},
    {2251, 2275, M::veh_emis, 3, {2, 2, 1}, 2},
};
constexpr DispatchRow kF2300[] = {
    {2301, 2325, M::veh_emis, 3, {3, 1, 1}, 2},
    {2351, 2375, M::veh_emis, 3, {3, 2, 1}, 2},
};
constexpr DispatchRow kF2400[] = {
    {2401, 2425, M::veh_emis, 3, {4, 1, 1}, 2},
    {2451, 2475, M::veh_emis, 3, {4, 2, 1}, 2},
};

constexpr DispatchRow kF4000[] = {
    {4111, 4111, M::sho_rout, 0, {}, -1},
    {4112, 4112, M::sho_step, 0, {}, -1},
    {4113, 4113, M::sho_vtfl, 0, {}, -1},
};
// clang-format on

std::optional<MenuCall> lookup(std::span<const DispatchRow> rows, int i1) {
    for (const auto& row : rows) {
        if (i1 < row.lo || i1 > row.hi) continue;
        MenuCall c{row.routine, row.nargs, row.args};
        if (row.vary >= 0) c.args[static_cast<std::size_t>(row.vary)] += i1 - row.lo;
        return c;
    }
    return std::nullopt;
}

TripFilter trips(const MenuAnswers& a, int ind2) {
    return TripFilter{ind2, a.iorg, a.idst, a.stim, a.etim};
}

// Calls the routine the dispatcher chose with the user's answers.
void perform(Sim& s, const MenuCall& c, const MenuAnswers& a) {
    const int x = c.args[0], y = c.args[1], z = c.args[2];
    switch (c.routine) {
    case M::netload:
        netload(s);
        break;
    case M::cumstat:
        cumstat(s, x);
        break;
    case M::cumdel:
        cumdel(s, x);
        break;
    case M::plt_spdvol:
        plt_spdvol(s, x, a.ilink);
        break;
    case M::det_rep:
        det_rep(s, x, a.idet);
        break;
    case M::det_spd:
        det_spd(s, x);
        break;
    case M::plot_timcol:
        plot_timcol(s, x);
        break;
    case M::rmp_rep:
        rmp_rep(s, x, a.irmp);
        break;
    case M::lst_pos:
        lst_pos(s, x, a.iveh);
        break;
    case M::sho_tcol:
        sho_tcol(s, x);
        break;
    case M::dept_his:
        dept_his(s, x, trips(a, y));
        break;
    case M::p_path:
        p_path(x);
        break;
    case M::plotrout:
        plotrout(s, x);
        break;
    case M::rev_path:
        rev_path(s);
        break;
    case M::routtime:
        routtime(s, x, a.car);
        break;
    case M::arr_his:
        arr_his(s, x, trips(a, y));
        break;
    case M::triptime:
        triptime(s, x, trips(a, y));
        break;
    case M::link_pi:
        link_pi(s, a.ilink);
        break;
    case M::sig_pi:
        sig_pi(s, a.isignal, a.ilink);
        break;
    case M::cyc_his:
        cyc_his(s, x, a.isignal);
        break;
    case M::plot_pol:
        plot_pol(s, x, y);
        break;
    case M::windvect:
        windvect(s, x);
        break;
    case M::plot_travel:
        plot_travel(s, x, y);
        break;
    case M::spd_for:
        spd_for(s, x);
        break;
    case M::spd_hp:
        spd_hp(s, x);
        break;
    case M::veh_acc:
        veh_acc(s, x, y, z);
        break;
    case M::veh_fuel:
        veh_fuel(s, x, y);
        break;
    case M::veh_emis:
        veh_emis(s, x, y, z);
        break;
    case M::sho_rout:
        sho_rout(s);
        break;
    case M::sho_step:
        sho_step(s);
        break;
    case M::sho_vtfl:
        sho_vtfl(s);
        break;
    }
}

std::optional<MenuCall> dispatch(Sim& s, std::span<const DispatchRow> rows, int i1,
                                 const MenuAnswers& a) {
    const auto c = lookup(rows, i1);
    if (c) perform(s, *c, a);
    return c;
}

} // namespace

void find_i1(int iopt2, int iopt3, int iopt4, int& i1) {
    decode(kFindI1, iopt2, iopt3, iopt4, i1);
}
void find_i2(int iopt2, int iopt3, int iopt4, int& i1) {
    decode(kFindI2, iopt2, iopt3, iopt4, i1);
}
void find_i3(int iopt2, int iopt3, int iopt4, int& i1) {
    decode(kFindI3, iopt2, iopt3, iopt4, i1);
}
void find_i4(int iopt2, int iopt3, int iopt4, int& i1) {
    decode(kFindI4, iopt2, iopt3, iopt4, i1);
}
void find_i6(int iopt2, int iopt3, int iopt4, int& i1) {
    decode(kFindI6, iopt2, iopt3, iopt4, i1);
}
void find_i8(int iopt2, int iopt3, int iopt4, int& i1) {
    decode(kFindI8, iopt2, iopt3, iopt4, i1);
}

std::span<const MenuRule> decoder_rules(int n) {
    switch (n) {
    case 1:
        return kFindI1;
    case 2:
        return kFindI2;
    case 3:
        return kFindI3;
    case 4:
        return kFindI4;
    case 6:
        return kFindI6;
    case 8:
        return kFindI8;
    default:
        return {};
    }
}

const char* routine_name(MenuRoutine r) {
    static constexpr const char* kNames[] = {
        "netload",  "cumstat",     "cumdel",   "plt_spdvol", "det_rep", "det_spd",  "plot_timcol",
        "rmp_rep",  "lst_pos",     "sho_tcol", "dept_his",   "p_path",  "plotrout", "rev_path",
        "routtime", "arr_his",     "triptime", "link_pi",    "sig_pi",  "cyc_his",  "plot_pol",
        "windvect", "plot_travel", "spd_for",  "spd_hp",     "veh_acc", "veh_fuel", "veh_emis",
        "sho_rout", "sho_step",    "sho_vtfl",
    };
    const auto i = static_cast<std::size_t>(r);
    return i < std::size(kNames) ? kNames[i] : "?";
}

std::optional<MenuCall> f300(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF300, i1, a);
}
std::optional<MenuCall> f900(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF900, i1, a);
}
std::optional<MenuCall> f1100(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF1100, i1, a);
}
std::optional<MenuCall> f1200(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF1200, i1, a);
}
std::optional<MenuCall> f1400(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF1400, i1, a);
}
std::optional<MenuCall> f1800_1900(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF1800, i1, a);
}
std::optional<MenuCall> f2000(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF2000, i1, a);
}
std::optional<MenuCall> f2100(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF2100, i1, a);
}
std::optional<MenuCall> f2200(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF2200, i1, a);
}
std::optional<MenuCall> f2300(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF2300, i1, a);
}
std::optional<MenuCall> f2400(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF2400, i1, a);
}
std::optional<MenuCall> f4000(Sim& s, int i1, const MenuAnswers& a) {
    return dispatch(s, kF4000, i1, a);
}

void f600(Sim& s, int i1, int& flag1) {
    static constexpr int kSteps[] = {kPaused, 10, 100, 600, 6000, 36000, kRunFree}; // 601..607
    static constexpr int kPacing[] = {200, 100, 50, 20, 10};                        // 611..615
    flag1 = 0;
    if (i1 >= 601 && i1 <= 607)
        set_next_time_step(s, kSteps[i1 - 601]);
    else if (i1 >= 611 && i1 <= 615)
        set_next_sim_time(s, kPacing[i1 - 611]);
    else if (i1 == 610)
        set_next_sim_time(s, 0);
}

std::array<std::string, 3> p_path(int ind) {
    static constexpr const char* kPrompts[3] = {"Vehicle Type:", "Destination :", "Origin:"};
    std::array<std::string, 3>   shown;
    for (int k = 0; k < std::clamp(ind, 0, 3); ++k)
        shown[static_cast<std::size_t>(k)] = fmt_a(kPrompts[k], 20);
    return shown;
}

void delay(int j) {
    volatile double sink = 0.0;
    for (int round = 0; round < j; ++round)
        for (int k = 1; k <= 10000; ++k) sink = std::pow(static_cast<double>(k), 1.99);
    static_cast<void>(sink);
}

void symbswit(int& i2, int& symb, int& flag2) {
    symb = symb == 1 ? 0 : 1;
    i2 = 1;
    flag2 = 1;
}

void abandon(int& i2, int& flag, int& flag1) {
    i2 = 0;
    flag1 = 0;
    flag = 1;
}

// The display entries of the older interface: each takes its arguments and
// does nothing.
void plot_timcol(Sim&, int) {}
void det_spd(Sim&, int) {}
void sho_tcol(Sim&, int) {}
void plotrout(Sim&, int) {}
void rev_path(Sim&) {}
void plot_pol(Sim&, int, int) {}
void windvect(Sim&, int) {}
void plot_travel(Sim&, int, int) {}
void spd_for(Sim&, int) {}
void spd_hp(Sim&, int) {}
void veh_acc(Sim&, int, int, int) {}
void veh_fuel(Sim&, int, int) {}
void veh_emis(Sim&, int, int, int) {}
void sho_rout(Sim&) {}
void sho_step(Sim&) {}
void sho_vtfl(Sim&) {}

} // namespace velm
