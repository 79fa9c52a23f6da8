#pragma once
// The older menu-driven interface the desktop program does not use: the
// decoders that turn the entries chosen at menu levels 2, 3 and 4 into a
// command code, the dispatchers that turn a command code into a call of a
// graph, listing or display routine, a few small menu actions, and the empty
// display entries the dispatchers reach. Nothing in a run calls them.
#include "core/model/sim.h"

#include <array>
#include <optional>
#include <span>
#include <string>

namespace velm {

// --- decoders: (iopt2, iopt3, iopt4) -> command code i1 ------------------------
// Each rule that matches stores its code in i1 (a later one overwrites an
// earlier one); with no match i1 keeps its value.
void find_i1(int iopt2, int iopt3, int iopt4, int& i1);
void find_i2(int iopt2, int iopt3, int iopt4, int& i1);
void find_i3(int iopt2, int iopt3, int iopt4, int& i1);
void find_i4(int iopt2, int iopt3, int iopt4, int& i1);
void find_i6(int iopt2, int iopt3, int iopt4, int& i1);
void find_i8(int iopt2, int iopt3, int iopt4, int& i1);

// A decoder rule: level 2 / level 3 / level 4 -> code. A level is a range of
// entries (lo..hi) or any entry; a ranged level maps its entries in order onto
// the codes from `code`. The two computed families match on k alone: k =
// 100 (a - 2) + 10 b + c - 60 in 1..125 gives 1800 + k, and k = 100 (a - 4) +
// 10 b + c - 40 in 1..250 gives 2000 + 50 q + r + 1 with q, r the quotient and
// remainder of (k - 1) / 25.
enum class RuleKind { listed, speed_family, fuel_family };
struct MenuLevel {
    int  lo = 0, hi = -1; // hi < lo: any entry
    bool any() const { return hi < lo; }
};
struct MenuRule {
    int       l2 = 0;
    MenuLevel l3, l4;
    int       code = 0;
    RuleKind  kind = RuleKind::listed;
};
// The rules of decoder find_i<n> (n = 1, 2, 3, 4, 6, 8), in the order they are tried.
std::span<const MenuRule> decoder_rules(int n);

// --- dispatchers: command code -> routine ---------------------------------------
enum class MenuRoutine {
    netload,
    cumstat,
    cumdel,
    plt_spdvol,
    det_rep,
    det_spd,
    plot_timcol,
    rmp_rep,
    lst_pos,
    sho_tcol,
    dept_his,
    p_path,
    plotrout,
    rev_path,
    routtime,
    arr_his,
    triptime,
    link_pi,
    sig_pi,
    cyc_his,
    plot_pol,
    windvect,
    plot_travel,
    spd_for,
    spd_hp,
    veh_acc,
    veh_fuel,
    veh_emis,
    sho_rout,
    sho_step,
    sho_vtfl,
};
const char* routine_name(MenuRoutine r);

// The routine a dispatcher called and the small integers it passed.
struct MenuCall {
    MenuRoutine        routine{};
    int                nargs = 0;
    std::array<int, 3> args{};
    bool               operator==(const MenuCall&) const = default;
};

// The answers a user gives to the prompts of the routines reached.
struct MenuAnswers {
    int ilink = 0;   // link number (speed-flow, offset index)
    int isignal = 0; // signal number (signal history, signal offset index)
    int idet = 0;    // detector station
    int irmp = 0;    // ramp meter
    int iveh = 0;    // trip of the last-45-seconds graphs
    int car = 0;     // traced trip of the route graph
    // Origin, destination and time window of the trip graphs (their filter
    // choice comes with the command code).
    int iorg = 0, idst = 0, stim = 0, etim = 0;
};

// Each returns the call it made, or nothing for a code it does not know.
std::optional<MenuCall> f300(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f900(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f1100(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f1200(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f1400(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f1800_1900(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f2000(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f2100(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f2200(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f2300(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f2400(Sim& s, int i1, const MenuAnswers& a);
std::optional<MenuCall> f4000(Sim& s, int i1, const MenuAnswers& a);

// Simulation step and pacing: flag1 = 0; 601..607 set the step mode to 1, 10,
// 100, 600, 6000, 36000, 0; 611..615 set the pacing to 200, 100, 50, 20, 10
// and 610 to 0, through the run-control entries (safe from any thread).
void f600(Sim& s, int i1, int& flag1);

// --- small actions ----------------------------------------------------------------
// The prompts of the path menu ("Vehicle Type:", "Destination :", "Origin:"),
// 20 characters each; it asks nothing and changes nothing. Returns the ind
// prompts it would show (at most 3).
std::array<std::string, 3> p_path(int ind);
// Busy wait: j rounds of 10000 powers.
void delay(int j);
// Toggles a display switch: symb 1 becomes 0, anything else 1; i2 = flag2 = 1.
void symbswit(int& i2, int& symb, int& flag2);
// Leaves a menu: i2 = 0, flag1 = 0, flag = 1.
void abandon(int& i2, int& flag, int& flag1);

// --- empty display entries the dispatchers reach ------------------------------------
void plot_timcol(Sim& s, int ind);
void det_spd(Sim& s, int ind);
void sho_tcol(Sim& s, int ind);
void plotrout(Sim& s, int ind);
void rev_path(Sim& s);
void plot_pol(Sim& s, int species, int kind);
void windvect(Sim& s, int ind);
void plot_travel(Sim& s, int ind, int kind);
void spd_for(Sim& s, int vt);
void spd_hp(Sim& s, int vt);
void veh_acc(Sim& s, int i, int j, int vt);
void veh_fuel(Sim& s, int i, int vt);
void veh_emis(Sim& s, int species, int i, int vt);
void sho_rout(Sim& s);
void sho_step(Sim& s);
void sho_vtfl(Sim& s);

} // namespace velm
