#pragma once
// Network slots: a trip (car, 1..560000) holds a slot (vid, 1..379999) while
// it waits at its origin or is on the network. Slots are handed out in
// ascending order and the holes left by finished trips are closed by the
// compaction every 6 s, which moves every per-slot column listed below.
#include "core/model/sim.h"

namespace velm {

// Returns in vid the slot of trip car, taking the next one when the trip has
// none (and drawing its driver factors from stream 2). flag = 1 when the slots
// have run out: the limit report goes to the run log, errt1 rises by 1 and vid
// is 0.
void setvid(Sim& s, int car, int& vid, int& flag);
// Frees the slot of trip car; the hole stays until the next compaction.
void rstvid(Sim& s, int car);

// How the compaction treats a per-slot table.
enum class SlotMove {
    always,      // copied to the new slot
    power_model, // copied, and the old slot cleared, only under the power-based energy model
};

// Every per-slot table the compaction moves (vehlnk is not among them: lanpos
// rebuilds it before anything reads it). f(table, how) is called once per
// table; each table's first index is the slot, 1..kMaxVehicles.
template <class F> void for_each_slot_column(Sim& s, F&& f) {
    auto& p = s.vehplot;
    auto& x = s.vehindx;
    auto& o = s.oddat;
    auto& v = s.vehicle;
    f(p.xq, SlotMove::always);
    f(p.yq, SlotMove::always);
    f(p.drawn, SlotMove::always);
    f(o.stat, SlotMove::always);
    f(o.rgmod, SlotMove::always);
    f(o.cmst, SlotMove::always);
    f(o.vlan, SlotMove::always);
    f(o.rhead, SlotMove::always);
    f(x.presig, SlotMove::always);
    f(v.vehdiv, SlotMove::always);
    f(v.nxtlnk, SlotMove::always);
    f(v.nxttrn, SlotMove::always);
    f(p.hdwy, SlotMove::always);
    f(p.dis, SlotMove::always);
    f(p.spd, SlotMove::always);
    f(s.busstop.buswait, SlotMove::always);
    f(x.lnchtm, SlotMove::always);
    f(v.dstbeh, SlotMove::always);
    f(v.wait, SlotMove::always);
    f(v.pspd, SlotMove::always);
    f(v.vacc, SlotMove::always);
    f(o.curlnk, SlotMove::always);
    f(p.splbck, SlotMove::always);
    f(p.held, SlotMove::always);
    f(x.lanechan, SlotMove::always);
    f(s.denhis.entden, SlotMove::always);
    f(o.vsigstp, SlotMove::always);
    f(p.pre_spd, SlotMove::always);
    f(p.accmod, SlotMove::always);
    f(v.envir, SlotMove::always);
    f(v.carwal, SlotMove::always);
    f(p.dis_his, SlotMove::always);
    f(s.shctl.sh_flag, SlotMove::always);
    f(s.shctl.spd_ctl6, SlotMove::always);
    f(s.kzcpxm_energy.veh_vsp_param, SlotMove::power_model);
}

} // namespace velm
