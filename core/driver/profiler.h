#pragma once
// The activity profiler of a run: every mark charges the time since the
// previous mark to an activity number and keeps the run's clock `cclock`,
// which pacing, the progress report and the run summary read. The clock is
// the platform's `cpu_clock`, by default the monotonic clock, which costs no
// system call (the marks come about twenty times a tick).
#include "core/model/sim.h"

namespace velm {

inline constexpr int kStimReset = 0;
inline constexpr int kStimReport = -1;

// The activities time is charged to. A mark names the activity of the work
// done since the mark before it, so every place that charges one activity can
// be found through its name. Several activities gather work of two or more
// places of the run; their times add up. The numbers are the ones the
// activity report lists.
enum class Activity : int {
    pacing_wait = 100,          // the wait of the paced run
    inputs = 110,               // banner, master file and files 1-7; the tail before the summary
    optional_inputs = 120,      // optional inputs and initialisers up to the fuel tables
    departures = 130,           // demand synthesis and departure generation
    distance_trees = 150,       // later optional inputs and the distance-tree listing
    initial_trees = 160,        // external control, platooning, time-space file, first trees
    first_drawing = 170,        // first drawing, incidents, detectors and path store at second 0
    assignment = 180,           // external paths, pre-simulation assignment and forecast
    loading_adjustment = 190,   // loading adjustment
    system_link_times = 210,    // system link times and departure-list compaction
    exposure_and_decay = 220,   // crash exposure; decay of the flow statistics
    signal_states = 241,        // signal-side strategies and the signal states
    signal_optimisation = 243,  // cycle and split optimisation, signal history
    offset_optimisation = 244,  // online offset optimisation
    actuated_signals = 245,     // distance ring and actuated signal control
    signal_heads = 246,         // drawing of the signal heads
    list_sort = 251,            // re-sort of the link lists
    follower_search = 252,      // nearest followers in the side lanes
    entry_space = 253,          // entry space per lane
    lane_heads = 254,           // the second lane-head index of the tick
    lane_decisions = 255,       // lane and stop decisions
    speed_update = 256,         // selected-vehicle text and the speed update
    management_programs = 260,  // external management programs
    emission_grids = 270,       // plume and travel grids
    incidents = 280,            // incident lane blockage
    link_accumulators = 290,    // link occupancy and queue accumulators
    tree_rebuild = 310,         // one class's tree rebuild
    detectors = 320,            // detector measurements and reports
    ramp_metering = 330,        // ramp metering and the meter-rate history
    link_transfers = 410,       // link service order, lane heads, link transfers
    network_entry = 420,        // new vehicles onto the network
    position_update = 530,      // vehicle positions
    fuel_and_emissions = 540,   // fuel, energy and emissions
    speeds_and_queues = 600,    // display refresh and speed changes; tolls, bans, plans, queues
    pause_checks = 611,         // pause, lane targeting, pause file, pacing end; collision stats
    ramp_indications = 612,     // ramp-meter indications and their drawing
    progress_report = 613,      // the progress report to the front end
    turning_lanes = 614,        // turning-lane state
    incident_display = 615,     // incident display bookkeeping
    layer_clearing = 616,       // animation periods and clearing of the moving layer
    detector_drawing = 617,     // detector drawing
    vehicle_drawing = 618,      // vehicle drawing
    link_times = 620,           // per-minute histories and measured link times
    stop_check = 630,           // the stop check: charged, but not to cclock
    slot_compaction = 640,      // vehicle-slot compaction
    time_space_and_trees = 710, // time-space records; the tree rebuild after its classes
    diversion_and_end = 720,    // en-route diversion; end-of-run reports; a stop exit
    listings = 730,             // periodic listings; the stop test of a tick that goes on
};

// flag 0: reset; 1..9999: charge activity flag; -1: write the activity
// distribution to the run log; any other value: nothing.
void stim(Sim& s, int flag);

// Charges the time since the previous mark to an activity.
inline void stim(Sim& s, Activity a) {
    stim(s, static_cast<int>(a));
}

} // namespace velm
