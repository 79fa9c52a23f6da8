#pragma once
// Routing and assignment: the entries other subsystems call.
#include "core/model/sim.h"

#include <span>
#include <string>

namespace velm {

// Link flows, travel times and tolls of an earlier run (master slot 6).
void read6(Sim& s, const std::string& filnam);
// Expected future link costs (master slot 7).
void read7(Sim& s, const std::string& filnam);
// One period of an external routing-tree file (slot 8 or 9) into the stored
// trees of the classes whose routing method takes that slot's trees. mode 1
// opens unit 1 and reads the header first (nper, perlen out), any other mode
// reads the next period; success 1 when the whole period was read; pernum the
// period's number. The caller closes unit 1 after the last period.
void read8(Sim& s, const std::string& filnam, int mode, int& success, int& nper, int& perlen,
           int& pernum, int slot);
// Reports every active demand record of class vt without a path in the class's
// current origin tree (errt1, numerr).
void checktree(Sim& s, int vt);

// --- routing trees ------------------------------------------------------------
// The current trees of class vt toward every requested macro destination, on
// the link costs object1 (s), with perception error rndfac (<= 0 none); fills
// odtime of demand slice ntsl. mes: the checkpoint-trace lines. The
// destinations are spread over s.trees.threads threads (joined before it
// returns); the tables and the random stream come out the same for any count.
void buildtree(Sim& s, int vt, const Array1<float>& object1, float rndfac, int ntsl,
               std::span<std::string> mes);
// Restores the ascending label order of the candidate list stack[0..tstack-1]
// after one append or one label decrease (labels ttime by link number).
void sortsta2(Sim& s, int mlin, int tstack, std::span<int> stack, std::span<const float> ttime);
// Copies the current tree of class vt into stored tree trn.
void treecopy(Sim& s, int vt, int trn, int mmazon, int mlnum, int mzones);
// Equal weights and cumulative weights for stored trees fr_tr..la_tr.
void setwgt(Sim& s, int fr_tr, int la_tr);
// Perturbs the link costs ttim_in into ttim_out (random stream 3); fact > 0
// normal, fact < 0 lognormal spread, 0 none.
void randomize(Sim& s, const Array1<float>& ttim_in, Array1<float>& ttim_out, float fact);
// odtime of class vt and slice ntsl on the run log.
void sum_odtim(Sim& s, int vt, int ntsl);
// True when the distance tree of zone node d leads from link l to d (a next
// link or the end at d, and a remaining length that is not -1).
bool distance_reachable(const Sim& s, int d, int l);

// --- road pricing and generalised costs --------------------------------------
// The largest toll of link `link` for class c among the entries whose window
// overlaps (t1, t2); 0 when none.
void settolveh(Sim& s, int t1, int t2, int link, int c, float& toll);
// Indexes the toll entries by link, so that settolveh looks at a link's own
// entries only; entries changed afterwards need a new index.
void index_tolls(Sim& s);
// Generalised link costs object2 of class vt from the costs object1 with the
// tolls of the window t1..t2 at the value-of-time quantile percent (clamped to
// 0.01..0.99 and written back).
void add_toll(Sim& s, int t1, int t2, int vt, const Array1<float>& object1, Array1<float>& object2,
              float& percent);

// --- link-cost sources of the trees ------------------------------------------
// Slot-7 costs of class vt for the period containing second t.
void timecopy(Sim& s, int t, Array1<float>& survtim, int vt);
// Earlier run's link times of class vt and slice ntsl (slot 6).
void get_his(Sim& s, int vt, int ntsl, Array1<float>& survtim);
// Traveller messages active at second t applied to the link costs.
void add_atis(Sim& s, int t, Array1<float>& lnktime);
// time2(1..mlin) = time1(1..mlin).
void copytime(Sim& s, const Array1<float>& time1, Array1<float>& time2, int mlin);
// Per link: the measured tt1(l, vt) where check(l, vt) > 0, else the free-flow
// time (trefrq(vt, 6) = 1) or the slot-7 cost of the period of second t.
void survcheck(Sim& s, int t, int vt, const Array2<float>& tt1, const Array2<int>& check,
               Array1<float>& tt3);
// The slot-7 cost linktt of link nl for class vt when the vehicle reaches
// node `node`, timeto(node) s from now: interpolated between the two periods
// around that moment; minut: timeto(node) in whole minutes, 1..120.
void minute(Sim& s, int node, int nl, const Array1<float>& timeto, float& linktt, int& minut,
            int vt);
// Weights b_fact(1..120) of the future costs by minutes ahead, from
// "fut_wght.dat" in the working directory when it exists, else the defaults.
void treebalance(Sim& s);
// The value of time of trip car, from its class and own random number.
void val_time(Sim& s, int car);

// --- path stepping and the path store -----------------------------------------
// First link out of trip car's origin zone toward its macro destination: ind
// 2 from the trip's stored origin tree, else from its class's current origin
// tree; 0 when the origin has no path.
void firstlnk(Sim& s, int car, int& nl, int ind);
// The path of trip car from link clink (<= 0: from its origin zone) to the link
// that ends the trip, along the tree its routing method names, into
// pathx[0 .. l_path - 1] (room for kMaxPathLinks links); ldest = pathx[0] when
// the path has more than one link, else -1. ind 2 ignores message-sign advice.
void steplink(Sim& s, int car, int t, int& ldest, int clink, std::span<int> pathx, int& l_path,
              int ind);
// What futtree prices the links with (its iflag).
inline constexpr int kFutCostsGiven = 1;    // the link costs handed to it
inline constexpr int kFutForecastTimes = 2; // the forecast link times

// The cheapest path of trip car (class vt) from link clink, or from the links
// leaving origin node -clink when clink <= 0, to the zone node dest, into
// pathx[0 .. lpath - 1], first link first; lpath 0 when dest cannot be
// reached. iflag 1 prices the links with object1, 2 with the forecast link
// times at the second each link would be entered. Tolls are read at that
// second too; leaving a zone connector into another link costs 3600 s more.
void futtree(Sim& s, int t, int car, int clink, std::span<int> pathx, int& lpath, int dest, int vt,
             const Array1<float>& object1, int iflag);
// The rest of trip car's path from its next link into ipath[0 .. lpath - 1]:
// ind 1 as stored, 2 newly traced from the next link (one or two links left
// are always returned as stored); lpath 0 when the trip has no stored path.
void rem_path(Sim& s, std::span<int> ipath, int& lpath, int car, int ind, int t);
// One vehicle more (sign 1) or one less (other signs) entering (kind 1) or
// leaving (other kinds) link `link` in forecast interval `interval`.
void inc_flw(Sim& s, int trip, int link, int interval, int sign, int kind, int tag);

// --- called by the input phase ---------------------------------------------
// Optional routing-cost file: values of time, weights, toll entries.
void rdtolplz(Sim& s);
// Tolls in force at second t.
void settolplz(Sim& s, int t);
// Route-cost bias factors per link (biasfac) from "biasfact.dat".
void readbias(Sim& s);
// Distance trees: pass 1 per zone, pass 2 per macro-zone cluster.
void builddis(Sim& s, int pass);
// Demand synthesis: one minimum-time tree per time slice and class on the
// earlier run's link times (fills odtime).
void slice_trees(Sim& s);
// The stored routing trees of every class before the time loop (uses object1);
// a tree-check failure raises errt1.
void initial_trees(Sim& s);
// The path store: ind 0 empties it; 2 traces trip car from its origin into
// a new block (t: its departure, s); 1 traces it from its current link; 10
// writes every stored path to the paths file (slot 26).
void tr_tree(Sim& s, int car, int ind, int t);
// The external routing trees of master slot fnum (8 or 9), period by period:
// after each period is loaded, every trip of the slot's routing method (6 or
// 7) that departs in the period is traced on them. A period that fails to
// load ends the file there.
void read_f(Sim& s, int fnum);
// Traces every trip of a class with routing method imet whose departure, in
// whole seconds, lies in (t1, t2] (from 0 s inclusive when t1 is 0).
void loadpath(Sim& s, int imet, int t1, int t2);
// Pre-simulation macroscopic assignment.
void preassign(Sim& s);
// Pre-simulation flow forecast.
void forecast(Sim& s);
// Forecast interval and the forecast output (slot 29).
void pforecast(Sim& s, int t, int ddd);
// Loading adjustment of the traced vehicle paths.
void adjust(Sim& s, int ind);

// --- called by the time loop and the end of run ------------------------------
// Measured link travel times and their histories.
void uptimhis(Sim& s, int t);
// Class tree rebuilds due at second s.control.t > 0.
void rebuild_trees(Sim& s);
// En-route diversion of the classes whose period is due.
void chk_enrt(Sim& s, int t);
// Compares the remaining path of trip car with a newly traced one and replaces
// it when cheaper by more than imp1 s and the share imp2 (iflag2 = 2 forces the
// switch). iflag: 1 forced, 2 switched, 3 and 4 saving too small (relative,
// absolute), 5 the old remainder is not worse, 0 the trip has no stored path.
void comppath(Sim& s, int car, int t, int& iflag, int iflag2, int iflag3, float imp1, float imp2);

} // namespace velm
