#pragma once
// The pre-simulation assignment: slices of the horizon, five iterations per
// slice with a tree per class and iteration, the weights of the trees
// (successive averages or a step search), the loading of the OD demand on the
// class trees and the report "assign.out".
#include "core/model/sim.h"

namespace velm {

// One slice [t, t + perdur) over links 1..mlnum; imet 1: tree weights 1/it,
// any other value: the weight of each new tree from the step search.
void assign(Sim& s, int t, int perdur, int mlnum, int imet);
// Link costs `time` (s) of the tree of class vt at value-of-time quantile p1:
// the performance time the latest evaluation left in ttime and one toll
// equivalent at p1 for the tolls of t1..t2.
void selectim(Sim& s, int vt, int t1, int t2, float p1, const Array2<float>& ttime,
              Array1<float>& time);
// Adds wgth times the demand of slice [t, t + perdur) of every class, loaded
// on the class's current trees, to vol(l, vt) (veh/h).
void loadnet(Sim& s, int t, float wgth, Array2<float>& vol, const Array2<float>& time, int perdur);
// vol(l, vt) = vol(l, vt) x wght for l = 1..mlnum, vt = 1..mvtn.
void loadred(Sim& s, int mlnum, int mlin, int mvtn, Array2<float>& vol, float wght);
// The objectives (totobj) of the trial weight w1: the flows tflow x (1 - w1)
// plus w1 times the demand on the current trees, into the scratch `flows`;
// ttime receives the trial's link times.
void eval(Sim& s, int t, int mlnum, const Array2<float>& tflow, Array2<float>& flows,
          Array2<float>& ttime, Array1<float>& totobj, float w1, float p1, int t1, int t2);
// The step-search weight w1 (0..1) of the new trees of iteration trn.
void enumer(Sim& s, int t, int mlnum, const Array2<float>& tflow, Array2<float>& ttime, float& w1,
            int trn, float p1, int t1, int t2);

// vol(l, vt) = 0 for l = 1..mlnum, every class.
void resetfl(Sim& s, int mlnum, Array2<float>& vol);
// vol2(l, vt) = vol1(l, vt) for l = 1..mlnum, vt = 1..mvtn (mlin: rows of both).
void copyfl(Sim& s, int mlnum, int mlin, int mvtn, const Array2<float>& vol1, Array2<float>& vol2);
// sflow(l, it) = the sum over classes of tflow(l, vt), for the network's links.
void sum_flow(Sim& s, int it, const Array2<float>& tflow, Array2<float>& sflow);
// vsum(vt) = the trips of class vt over the whole run (the slice bounds do not
// narrow the count).
void sum_demand(Sim& s, int t1, int t2);
// Layer 2 of tr_tim into layer 1 for the zone pairs with trvol > 0: stored
// tree trreq, or trees 1..|trreq| when trreq < 0.
void shiftvol(Sim& s, int trreq);
// Run-log traces of the link times and flows of iteration it (switch 50).
void rep_time(Sim& s, int it, const Array2<float>& ttime, int mlnum, int iflag);
void rep_flow(Sim& s, int it, const Array2<float>& tflow, int mlnum, int iflag);

namespace routing {

inline constexpr int kAssignSlot = 31;  // master slot of "assign.out"
inline constexpr int kAssignUnit = 21;  // its unit
inline constexpr int kAssignTrace = 50; // errchk(50) = 1: run-log traces of the assignment

// The slices preassign cuts the horizon into: their length (s) and the step
// mode (1 successive averages, 2 step search); wanted false when no class
// uses method 1 or 5.
struct SlicePlan {
    bool wanted = false;
    int  length = 0;
    int  mode = 1;
};
SlicePlan slice_plan(const Sim& s);

// True when class vt is routed by the assignment's trees (method 1 or 5).
bool assigned_class(const Sim& s, int vt);

} // namespace routing

} // namespace velm
