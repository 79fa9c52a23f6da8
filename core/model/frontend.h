#pragma once
// What the core calls of the program that hosts it: the desktop front end, the
// console program, or a test. The core never reaches past this interface.
#include <array>
#include <span>
#include <string>
#include <string_view>

namespace velm {

// What the window shows about a picked object. The values are gathered by the
// core while the run is parked; the host formats and shows them.
struct LinkReport {
    int         link = 0, to_node = 0, from_node = 0;
    std::string name;                               // 40 characters, blank-padded
    int         free_speed = 0, capacity_speed = 0; // km/h
    int         saturation_flow = 0;                // veh/h/lane
    int         jam_density = 0;                    // veh/km/lane
    int         lanes = 0;
    int         speed_in = 0, speed_out = 0; // km/h
    float       travel_time = 0;             // s
    int         vehicles = 0;
    int         length = 0;                // m
    int         grade = 0;                 // %
    int         flow_in = 0, flow_out = 0; // veh/h
    float       capacity = 0;              // veh/h
    int         control = 0;               // tsignal
    int         indication = 0;            // |signal(l, 1)|
};

struct NodeReport {
    int node = 0, type = 0, macro_cluster = 0, centroid = 0, message_sign = 0, uturn = 0;
    int x = 0, y = 0; // m
};

// The 37 values of a picked vehicle, in the order the report shows them.
struct VehicleReport {
    int                  trip = 0, origin = 0, micro_dest = 0, macro_dest = 0;
    float                trip_distance = 0; // km
    int                  vehicle_class = 0, routing_mode = 0;
    float                pce = 0;
    int                  probe = 0, vehicle_type = 0;
    float                position = 0, headway = 0; // km
    float                speed = 0;                 // km/h
    float                accel = 0;                 // m/s2
    int                  link = 0;
    float                link_length = 0; // km
    int                  lane = 0, turn = 0;
    int                  next_link = 0; // -99 not yet known, -1 the trip ends on `link`
    float                next_length = 0;
    int                  next_lane = 0, next_turn = 0;
    int                  future_link = 0; // 0 none
    float                future_length = 0;
    int                  exit_code = 0, spill_back = 0;
    std::array<float, 3> current_walls{}; // lane factor, distance, soft wall (km)
    std::array<float, 3> next_walls{};    // lane factor, distance, hard wall (km)
    std::array<float, 5> lane_change{};   // time since the last change (s), four speed caps
};

inline constexpr int kReportPhases = 20; // the longest phase lists a signal report holds

struct SignalReport {
    int                              signal = 0;
    float                            cycle = 0, offset = 0, position = 0; // s
    int                              phase = -1, interval = -1;
    int                              phases = 0;
    std::array<int, kReportPhases>   number{};
    std::array<float, kReportPhases> green{}, amber{}, end{}; // s within the cycle
};

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;
    // The non-modal message window: shows a title and a text and returns at
    // once. The texts are copied; the core keeps no reference to them.
    virtual void core_message(std::string_view title, std::string_view text) = 0;

    // The progress hook, called on the core thread at the progress cadence of
    // the time loop: tick, vehicles departed, deferred, en route and arrived,
    // processor time of the run in tenths of a second, step mode (indstp),
    // pacing (clocks) and the display switches symb(1..20) as symb[1..20]
    // (symb[0] unused; 11 the tracking mode, 12 and 13 the tracked numbers).
    // Returns without waiting for the window.
    virtual void dlg_progress_lines_nt(int t10, int tdep, int totin, int tenr, int tarr, int clock,
                                       int indstp, int clocks, std::span<const int, 21> symb) {
        (void)t10, (void)tdep, (void)totin, (void)tenr, (void)tarr, (void)clock, (void)indstp,
            (void)clocks, (void)symb;
    }
    // Called once when a run has reached the end of its horizon: hides the
    // progress window (a run that ends early leaves it shown).
    virtual void destroy_default_progress_window() {}

    // Reports of a nearest-object pick, called on the window thread while the
    // run is parked; a report returns when the user has closed it. The console
    // program shows none of them. The no-object reports receive the click's
    // core pixel (y upward) and its world position (km); the sign, incident
    // and detector reports the object's number and the click's world position.
    virtual void show_nearest_link(const LinkReport&) {}
    virtual void show_nearest_node(const NodeReport&) {}
    virtual void show_nearest_veh(const VehicleReport&) {}
    virtual void show_nearest_signal(const SignalReport&) {}
    virtual void show_nearest_stop_sign(int, float, float) {}
    virtual void show_nearest_yield_sign(int, float, float) {}
    virtual void show_nearest_incident(int, float, float) {}
    virtual void show_nearest_loop_detector(int, float, float) {}
    virtual void show_no_nearest_link(float, float, float, float) {}
    virtual void show_no_nearest_node(float, float, float, float) {}
    virtual void show_no_nearest_veh(float, float, float, float) {}
    virtual void show_no_nearest_signal(float, float, float, float) {}
    virtual void show_no_nearest_stop_sign(float, float, float, float) {}
    virtual void show_no_nearest_yield_sign(float, float, float, float) {}
    virtual void show_no_nearest_incident(float, float, float, float) {}
    virtual void show_no_nearest_loop_detector(float, float, float, float) {}
};

} // namespace velm
