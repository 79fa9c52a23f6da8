// Run start: clock and counters to zero and the capacity banner of the run log.
#include "core/driver/driver.h"
#include "core/io/writers.h"

#include <array>
#include <string>
#include <string_view>

namespace velm {

namespace {

struct CapacityLine {
    std::string_view label; // 40 characters
    int              value;
};

// The capacity limits every table is sized from, as the banner lists them.
constexpr std::array<CapacityLine, 21> kCapacityLines{{
    {"    - max number of od pairs           =", kMaxOdPairs},
    {"    - max number of vehicles           =", kMaxTrips},
    {"    - max number of vehicle types      =", kClasses},
    {"    - max number of links              =", kMaxLinks},
    {"    - max node number                  =", kMaxNodes},
    {"    - max links into/out of node       =", kMaxNodeLinks},
    {"    - max number of vehicles on network=", kVehicleStore},
    {"    - max zone number                  =", kMaxZones},
    {"    - max number of future time steps  =", kForecastIntervals},
    {"    - max signal number                =", kMaxSignals},
    {"    - max number of phases per signal  =", kMaxPhases},
    {"    - max incident number              =", kMaxIncidents},
    {"    - max number of files              =", kMaxFiles},
    {"    - max number random number seeds   =", kRandomStreams},
    {"    - max number equilibrium paths vt1 =", kStoredTrees},
    {"    - max number of forward tree nodes =", 1},
    {"    - max number of forward minutes    =", kForecastIntervals},
    {"    - max number of macro zone clusters=", kMaxMacroZones},
    {"    - max number of network lanes      =", kMaxLanes},
    {"    - max veh concurrent on network    =", kMaxVehicles},
    {"    - max detector station number      =", kMaxDetectors},
}};

constexpr std::string_view kRelease = "3.3.58";

} // namespace

void setup(Sim& s, int& t, int& simtim1, std::atomic<int>& indstp) {
    t = 0;
    simtim1 = 0;
    indstp.store(0, std::memory_order_relaxed);
    s.errcount.errt1 = 0;
    s.errcount.errt2 = 0;
    s.errcount.errl1 = 0;
    s.errcount.errl2 = 0;

    Units&            u = s.units;
    const std::string rule = blanks(6) + std::string(66, '=');
    u.line(kUnitRunLog, "");
    u.line(kUnitRunLog, rule);
    u.line(kUnitRunLog, blanks(10) + "VELMORANTIS Release " + std::string(kRelease) + ":" +
                            " TRAFFIC NETWORK SIMULATION MODEL    ");
    u.line(kUnitRunLog, "");
    u.line(kUnitRunLog, blanks(10) + "Microscopic simulation of road traffic networks");
    u.line(kUnitRunLog, "");
    u.line(kUnitRunLog, blanks(10) + "Vehicles moved in steps of 0.1 s; run log of this run");
    u.line(kUnitRunLog, rule);
    u.line(kUnitRunLog, "");
    u.line(kUnitRunLog, " A. Array dimensions : ");
    u.line(kUnitRunLog, "");
    for (const CapacityLine& c : kCapacityLines) wfree(u, kUnitRunLog, c.label, c.value);
    u.line(kUnitRunLog, "");
}

} // namespace velm
