#pragma once
// Entry header of network input: the readers, checks and derived-network
// routines that the input phase, the time loop and other subsystems call.
#include "core/model/sim.h"

#include <string>
#include <string_view>

namespace velm {

// --- node file (master slot 1) and node checks ---------------------------
// Reads the node file; filnam is the slot's name as the master file gives it.
void read1(Sim& s, const std::string& filnam);
// Every node not coded: x = y = -10000, ntyp 0, uturn -1; mnodenum = mzones = 0.
void setcor(Sim& s);
// Keeps the zone extents (mzones, minorg, maxorg, mindst, maxdst) per record.
void maxnod(Sim& s, int node, int nt);
// The network window (square, then 5 % margins) and summary sections a. and b.
void makewind(Sim& s);
// Node-type totals and summary section b.
void nodeanal(Sim& s);
void setnlin(Sim& s); // nlinto = nlinfr = 0 for nodes 1..mnodenum
void setpark(Sim& s); // waiting-vehicle counters of zones 1..mzones = 0
void setdep(Sim& s);  // zone-to-zone departures, arrivals and trip times = 0
// Validates the window and every node; stops at the first failure.
void checknode(Sim& s);

// --- link file (master slot 2) --------------------------------------------
void read2(Sim& s, const std::string& filnam);
// The link reader's start state: no link coded.
void setlink(Sim& s);
// The name in a record line: from the first character in columns 2..90 that
// is not a blank, tab, digit, ".", "-" or "+", cut to 40 characters.
void getname(Sim& s, std::string_view hold, std::string& linkname);

// --- geometry, topology, checks, constants ---------------------------------
void setxy(Sim& s);                                 // xylen, dx, dy, ang
void angle(Sim& s, float dx, float dy, float& ang); // heading of (dx, dy), degrees
void nodspc(Sim& s);                                // drawing set-backs mlanes
void linkwght(Sim& s);                              // lnkwgt
// Incidence (at t = 0) and the connection lists with the bans in force at t.
void addnfnt(Sim& s, int t);
void checklink(Sim& s);
void deflinks(Sim& s);
// Clears the rolling-hour history slots (all at t = 0, else the coming minute's).
void rsflwhis(Sim& s, int t);

// --- opposing flows ----------------------------------------------------------
void oplinval(Sim& s);
void rdopsgap(Sim& s);

// --- called by the input phase ---------------------------------------------
// Optional macro-distance customisation.
void rdmacdst(Sim& s);
// Optional message-sign lag times.
void rdcmsdst(Sim& s);
// Optional platoon dispersion factors.
void rdpltdsp(Sim& s);
// Lane-striping file of master slot 20.
void rdlanshf(Sim& s);
// Lane set-up and lane-to-link assignment; failures raise errt1.
void flanot(Sim& s, int& errt1);
// Lane permissions per turn.
void dolanper(Sim& s);
// Bus-stop file of master slot 22.
void rdbusstp(Sim& s);
// Optional lane-bias file.
void rdlanebias(Sim& s);
// Optional wrong-turn probabilities.
void rdwrgtrn(Sim& s);
// Optional level-of-service groups.
void rdlos(Sim& s);
// Optional traveller messages.
void rd_atis(Sim& s);
// Optional link grades.
void rd_grade(Sim& s);
// Optional pedestrian-crossing file.
void rdpdescr(Sim& s);
// Turn permissions per link and direction.
void turnperm(Sim& s);

// --- signal-timing file (master slot 3), signal checks and clusters --------
// Reads the header and the first plan at t = 0, the next plan of the still
// open file (unit 3) when called later in the run.
void read3(Sim& s, const std::string& filnam);
// Reads the per-plan file "interact\signals.kkk" of plan k = t / |dsigper|.
void readsgnl(Sim& s, int t);
// Checks the first plan against the model's limits and the signalised links.
void checksgnl(Sim& s);
// Cluster masters ofsopt(s, 2) of the signals clustered by the plan.
void clussign(Sim& s);
// The index from each signal to the links it controls (frlan, lanind).
void lnindex(Sim& s);

// --- incident file (master slot 5) ------------------------------------------
void read5(Sim& s, const std::string& filnam);
// Checks the incidents against the links and the run horizon.
void checkinc(Sim& s);

// --- called by the time loop and the end of run ------------------------------
// Turning-lane records of every lane: ind 2 rebuilds them from the head
// vehicles, any other value only clears them.
void settrn(Sim& s, int ind);

} // namespace velm
