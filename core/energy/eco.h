#pragma once
// Eco-driving at signalised approaches and eco speed advice through several
// signals: the helpers their tests and each other use.
#include "core/model/sim.h"

#include <array>
#include <string>

namespace velm {

inline constexpr int kErrEcoDriveRecord = 710910; // "ecodrive.dat" record skipped
inline constexpr int kErrEcoDriveFile = 710920;   // "ecodrive.dat" not readable whole
inline constexpr int kErrEcmsRecord = 711010;     // "ecaccms.dat" record skipped
inline constexpr int kErrEcmsFile = 711020;       // "ecaccms.dat" not readable whole

// True when an update with interval T (s) is due at tick t10 (tenths of a
// second): 10 t10 is a multiple of round(100 T). An interval that rounds to 0
// is never due.
bool eco_update_due(int t10, float T);
// The tick of a time in seconds that carries its tenth.
int eco_tick(float t);

// Position of time t in the cycle of signal sig, 0 <= ctim < cycle; false
// when the signal has no positive cycle.
bool cycle_position(const Sim& s, int sig, float t, float& ctim);

// Phase of the movement the trip's stored path makes at the first link
// controlled by signal sig (first phase slot that serves the turn); the
// free speed of the link after it in vf_next (km/h). 0 when none.
int approach_phase(Sim& s, int car, int sig, float* vf_next = nullptr);

// A record of an eco input file that is skipped: its run-log line with the
// file, record, line and code, counted among the errors.
void eco_record_skipped(Sim& s, const char* file, int code, int record, int line,
                        const std::string& why);
// An eco input file that exists but cannot be read whole (it ends early, or
// holds a value that is not a number, at `line`): its run-log line, counted
// among the errors. The caller keeps none of its records: the strategy stays off.
void eco_file_unreadable(Sim& s, const char* file, int code, int line);

// Digit of class k (1..5) in a five-digit class code, class 1 leftmost.
int eco_class_digit(double code, int k);
// Turn type (1 left, 2 through, 3 right) of the move from l0 into l1, and
// whether phase slot p of l0 serves it.
int  eco_turn(Sim& s, int l0, int l1);
bool phase_serves_turn(const Sim& s, int l0, int p, int turn);

// Speed (km/h) of the wave that discharges a queue on link nl: capacity flow
// over the span from the density at capacity to jam density; 0 when the link's
// speed-flow constants give none.
float queue_wave_speed(const Sim& s, int nl);

// Vehicles ahead of trip car in its lane on link nl.
int vehicles_ahead_in_lane(const Sim& s, int nl, int car, int vid);

// Throttle profile from v_in towards v_fi (m/s) at throttle thr, cruising at
// v_fi once reached until d_a metres are covered.
void accmode(const Sim& s, int nl, float v_in, float v_fi, float thr, float d_a, Trajectory& traj,
             int typ);
// Summed fuel and energy rates of samples 2..n of a trajectory (m/s, one per
// second), priced by the power model without changing any trip's state.
float kzcpfm_traj_cost(const Sim& s, int car, int vid, const Trajectory& traj, int nl, int typ);

// True when the power model can price the speed profiles of vehicle type typ:
// fuel coefficients for an engine, the battery for an electric vehicle.
bool eco_prices_type(const Sim& s, int typ);
// Whether class vt's vehicle of type typ may be advised: a type the advice
// cannot price would take its first candidate whatever it costs, so it gets
// no advice, and the run log says so once per class.
bool eco_advice_priced(Sim& s, int vt, int typ);

// --- eco speed advice ---------------------------------------------------------
void sigtim(const Sim& s, int sig, int phase, float ctim, float& ttc, float& tphase);
void sigtimnq(const Sim& s, int sig, int phase, float& ttc, float tphase, float& ttemp1, int& flag);
// vtmp1: ttc, tphase, ttemp1, dist, dsig; vtmp2: signal, phase, ind, trip,
// slot, link, type (index 0 unused).
void sigtimq(Sim& s, std::array<float, 6>& vtmp1, const std::array<int, 8>& vtmp2, int& flag);
// vtmp3: ttc1, dsig1, ttc2, dsig2, dsig3, speed, target speed, interval
// (index 0 unused). Set msspd(car) in m/s.
void optspd1(Sim& s, const std::array<int, 8>& vtmp2, const std::array<float, 9>& vtmp3);
void optspd2(Sim& s, const std::array<int, 8>& vtmp2, const std::array<float, 9>& vtmp3);

} // namespace velm
