#pragma once
// The run state: every table of one run, grouped by topic, plus the run's open
// files. One Sim is created per run, on the heap; two runs never share state.
// Each topic table is a struct named for its module (mod_link1) and is held
// here under the name without the prefix (s.link1).
#include "core/display/drawing_bridge.h"
#include "core/io/units.h"
#include "core/model/codes.h"
#include "core/model/frontend.h"
#include "core/model/mod_accid.h"
#include "core/model/mod_arrivals.h"
#include "core/model/mod_assigns.h"
#include "core/model/mod_atis_msg.h"
#include "core/model/mod_atms.h"
#include "core/model/mod_busstop.h"
#include "core/model/mod_control.h"
#include "core/model/mod_delay.h"
#include "core/model/mod_denhis.h"
#include "core/model/mod_detloc.h"
#include "core/model/mod_divc.h"
#include "core/model/mod_eccs.h"
#include "core/model/mod_ecms.h"
#include "core/model/mod_ecodrive.h"
#include "core/model/mod_errcount.h"
#include "core/model/mod_feedback.h"
#include "core/model/mod_filenam.h"
#include "core/model/mod_flowprof.h"
#include "core/model/mod_fuel.h"
#include "core/model/mod_graph1.h"
#include "core/model/mod_graphing.h"
#include "core/model/mod_highway_spdharm.h"
#include "core/model/mod_incident.h"
#include "core/model/mod_invisible.h"
#include "core/model/mod_kzcpxm_energy.h"
#include "core/model/mod_landuse.h"
#include "core/model/mod_lane_target.h"
#include "core/model/mod_lanebias.h"
#include "core/model/mod_lanexch.h"
#include "core/model/mod_link1.h"
#include "core/model/mod_link2.h"
#include "core/model/mod_link3.h"
#include "core/model/mod_link4.h"
#include "core/model/mod_link5.h"
#include "core/model/mod_lnkgrade.h"
#include "core/model/mod_lnkvdet.h"
#include "core/model/mod_los.h"
#include "core/model/mod_mainrun.h"
#include "core/model/mod_meso.h"
#include "core/model/mod_modshf.h"
#include "core/model/mod_mxvehspd.h"
#include "core/model/mod_nbsig.h"
#include "core/model/mod_netstats.h"
#include "core/model/mod_nodes.h"
#include "core/model/mod_oddat.h"
#include "core/model/mod_opsgap.h"
#include "core/model/mod_pedescr.h"
#include "core/model/mod_platoon.h"
#include "core/model/mod_plume.h"
#include "core/model/mod_rmpmeter.h"
#include "core/model/mod_shctl.h"
#include "core/model/mod_shql.h"
#include "core/model/mod_signal.h"
#include "core/model/mod_spd_ctrl.h"
#include "core/model/mod_spdharmhw.h"
#include "core/model/mod_subnet.h"
#include "core/model/mod_subtim.h"
#include "core/model/mod_timcol.h"
#include "core/model/mod_tolplaz.h"
#include "core/model/mod_trees.h"
#include "core/model/mod_vehicle.h"
#include "core/model/mod_vehindx.h"
#include "core/model/mod_vehper.h"
#include "core/model/mod_vehplot.h"
#include "core/model/mod_vehtre.h"
#include "core/model/mod_wind.h"
#include "core/model/mod_wrgtrn.h"
#include "core/model/mod_wvedat.h"
#include "core/model/plot_observer.h"
#include "core/model/step_probe.h"
#include "core/platform/platform.h"

namespace velm {

struct CoopEntries; // core/energy/energy.h

struct Sim {
    Units          units;          // open files of this run, by unit number
    Platform       platform;       // clock, sleep and external commands
    FrontEnd*      fe = nullptr;   // the hosting program's message window; null: console only
    DrawingBridge* draw = nullptr; // the hosting program's drawing layers; null: nothing draws
    // Trace files (lane targeting, plug-in hybrid modes) are written only when
    // the hosting program asks ("--traces"); what they trace runs either way.
    bool write_traces = false;

    // Run driver and master file.
    mod_control  control;
    mod_set1     set1;
    mod_set2     set2;
    mod_errcount errcount;
    mod_filenam  filenam;
    mod_pathnam  pathnam;
    mod_master   master;
    mod_rndnum   rndnum;
    mod_errflg   errflg;
    mod_trees    trees;    // output rates of the master file; the routing tree store
    mod_feedback feedback; // earlier run's link times; origin-destination costs
    mod_tolplaz  tolplaz;  // road pricing and values of time
    mod_assigns  assigns;  // working tables of the pre-simulation assignment
    mod_mainrun  mainrun;  // working storage of the main routine
    // (topic tables of later subsystems are added below, one line each)
    mod_platoon         platoon;
    mod_graph1          graph1;
    mod_link1           link1;
    mod_link2           link2;
    mod_link3           link3;
    mod_link4           link4;
    mod_link5           link5;
    mod_signal          signal;   // signal plans
    mod_lnkvdet         lnkvdet;  // actuation codes and the signal-link index
    mod_incident        incident; // incidents
    mod_delay           delay;
    mod_opsgap          opsgap;
    mod_lanexch         lanexch;
    mod_lanebias        lanebias;
    mod_landuse         landuse;
    mod_modshf          modshf;   // mode-split and peak-spreading coefficients
    mod_atis_msg        atis_msg; // traveller-information messages
    mod_lnkgrade        lnkgrade; // link grades
    mod_los             los;      // level-of-service groups
    mod_wrgtrn          wrgtrn;   // wrong-turn probabilities
    mod_pedescr         pedescr;  // pedestrian crossings
    mod_nodes           nodes;
    mod_invisible       invisible;
    mod_subtim          subtim;          // run control, pacing, profiler
    StepProbe*          probe = nullptr; // tests: observes the time loop's schedule
    const CoopEntries*  coop = nullptr;  // tests: stand-ins for the cooperative-driving entries
    PlotObserver*       plots = nullptr; // tests: observes the graphs handed to sampleplots
    mod_atms            atms;            // external programs and external signal control
    mod_rmpmeter        rmpmeter;        // ramp metering
    mod_spd_ctrl        spd_ctrl;        // scheduled link free-speed changes
    mod_ecodrive        ecodrive;        // eco-driving advice flags and speeds
    mod_ecms            ecms;            // eco speed advice through signals
    mod_eccs            eccs;            // eco cruise control
    mod_nbsig           nbsig;           // queue-reward signal control switch
    mod_divc            divc;            // distributed intersection control
    mod_highway_spdharm highway_spdharm; // highway speed harmonisation
    mod_spdharmhw       spdharmhw;       // connected-vehicle speed harmonisation
    mod_lane_target     lane_target;     // lane targeting switch
    mod_vehindx         vehindx;         // trip <-> network slot map
    mod_busstop         busstop;         // bus stops and dwell state
    mod_denhis          denhis;          // link density at each vehicle's entry
    mod_oddat           oddat;
    mod_vehicle         vehicle;
    mod_vehper          vehper;
    mod_mxvehspd        mxvehspd;
    mod_kzcpxm_energy   kzcpxm_energy;
    mod_vehplot         vehplot;
    mod_flowprof        flowprof; // cycle arrival profiles, upstream signals
    mod_vehtre          vehtre;   // path store
    mod_accid           accid;    // crash-risk exposure per trip
    mod_subnet          subnet;   // subnetwork trace marks
    mod_shctl           shctl;    // detector-based speed harmonisation
    mod_shql            shql;     // learned speed harmonisation
    mod_netstats        netstats; // network totals per minute
    mod_arrivals        arrivals; // demand counters per minute
    mod_timcol          timcol;   // time-to-collision statistics
    mod_wvedat          wvedat;   // lane-change parameters
    mod_fuel            fuel;     // fuel model: coefficients and speed-based parameters
    mod_wind            wind;     // wind stations and readings
    mod_plume           plume;    // plume and travel grids
    mod_detloc          detloc;   // detector stations and their polls
    mod_graphing        graphing; // world-to-pixel windows of the display
    mod_meso            meso;     // mesoscopic link constants (allocated on request)
};

} // namespace velm
