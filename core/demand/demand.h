#pragma once
// Demand and vehicle types: the origin-destination demand file and its
// checks, the departure list, the vehicle performance types and the
// per-class speed caps.
#include "core/model/sim.h"

#include <string>

namespace velm {

// Reads the origin-destination demand file of master slot 4.
void read4(Sim& s, const std::string& filnam);
// Expected number of vehicles of the records in use, truncated.
void demtot(Sim& s, int& totveh);
// Checks the demand records against the node table and the run duration.
void checkod(Sim& s);

// Turns the demand records into the run's individual trips in departure order.
void genod(Sim& s);

// The 25 built-in vehicle types, then the optional "veh_parameters.dat".
void init_veh_param(Sim& s);
void rd_veh_param(Sim& s);
// The older reader of the same table from "maxi_acc.dat" (mechanical columns
// only); the input phase does not call it.
void rdmaxacc(Sim& s);

// Maximum speed per vehicle class from the optional "mxvehspd.dat".
void rdmxvhsp(Sim& s);

// --- called by the input phase ---------------------------------------------
// Optional trip-generation rates "trp_gen.dat" (sets step8).
void rdtrpgen(Sim& s);
// Mode-split and peak-spreading parameters "mod_shf.dat".
void rdmodshf(Sim& s);
// Demand synthesis: trip generation per slice.
void trp_gen(Sim& s);
// Demand synthesis: gravity distribution.
void trp_dis(Sim& s);
// Demand synthesis: logit mode split.
void mod_shf(Sim& s);
// Demand synthesis: peak spreading.
void peaksprd(Sim& s);
// Demand synthesis: the synthesised demand records replace slot 4's.
void genfile4(Sim& s);

} // namespace velm
