// The stop-line decision of every vehicle, every tick: the reasons that forbid
// it to pass the end of its link (ramp meter, signal indication, movement and
// class permissions, amber, stop sign and turn on red without a full stop,
// refused gap), the waiting clocks at the link end, and the braking threshold
// car following uses.
#include "core/movement/stop_line.h"

#include "core/control/signal_indications.h"
#include "core/model/mod_opsgap.h"
#include "core/movement/lane_decisions.h"
#include "core/movement/movement.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace {

constexpr int   kLeftAllowed = 100;        // movement codes from here allow left turns
constexpr float kWaitingStartKmh = 4.32f;  // a lane head this slow starts to wait
constexpr int   kWaitingSentinel = 999990; // wait(vid, 1) above: not waiting
constexpr float kDefaultStandingS = 3.5f;  // full stop at a stop sign or before a turn on red
constexpr float kGapHorizonS = 10.0f;      // a lane head this near the link end checks gaps
constexpr float kWaitingKmh = 10.0f;       // waiting threshold on faster links
constexpr float kSlowLinkKmh = 40.0f;      // links up to this speed at capacity scale it down

// Time (s) left of the amber of phase ph at signal sig, from the cycle
// position the indications are set from; false when it has none (a signal
// the plan does not code, or no phase in effect).
bool amber_left(const Sim& s, int sig, int ph, float tr, float& left) {
    const auto& sg = s.signal;
    if (sig < 1 || sig > kMaxSignals || ph < 1 || ph > std::min(sg.phases(sig), kMaxPhases))
        return false;
    const float cyc = sg.cycle(sig);
    if (!(cyc > 0.0f)) return false;
    const float ctim = std::fmod(cyc + tr - sg.offset(sig), cyc);
    left = sg.phend(sig, ph, 3) - ctim;
    return true;
}

} // namespace

float waiting_threshold(float spdcap) {
    return spdcap <= kSlowLinkKmh ? std::min(kWaitingKmh, spdcap / 4.0f) : kWaitingKmh;
}

void stop_line_decision(Sim& s, LanePass& p, int t10) {
    const int   t = t10 / 10;
    const float tr = static_cast<float>(t10) / 10.0f;
    const int   nl = p.nl;
    const int   vid = p.vid;
    const auto& signal = s.link3.signal;
    const int   ind = signal(nl, 1);
    const int   moves = signal(nl, 2);
    const bool  right_on_red = s.link3.tsignal(nl) < 0;
    const bool  known_class = p.vt >= 1 && p.vt <= kClasses;
    const bool  red = ind <= kIndicationRed;

    int code = 0;
    int thr = 0;
    if (s.rmpmeter.rmpset(nl) > 1) code += kStopRampRed;

    if (code == 0 && red && p.ldest == kTripEndsHere) code += kStopRedTripEnds;

    float r = kStraightOn;
    if (p.ldest >= 1 && p.ldest <= kMaxLinks)
        crelang2(s, s.graph1.ang(nl), s.graph1.ang(p.ldest), r);

    // Turn rules. A right turn on red (or one the phase does not carry) where
    // the link allows right turns on red becomes a turn on red even behind a
    // red ramp meter: its full stop is still owed.
    const bool open = code == 0;
    bool       tor = false;
    if (red) {
        if (r < kRightBelow && right_on_red) {
            tor = true;
            thr = kStopThresholdFullStop;
        } else if (open) {
            code += kStopRedNoTurn;
        }
    } else if (r > kLeftAbove) {
        if (open && moves < kLeftAllowed) code += kStopLeftBarred;
    } else if (r < kRightBelow) {
        if (code_digit(moves, 1) == 0) {
            if (right_on_red)
                tor = true;
            else if (open)
                code += kStopRightBarred;
        }
    } else if (open && code_digit(moves, 10) == 0) {
        code += kStopThroughBarred;
    }

    if (code == 0 && ind < kIndicationNoSignal && !tor && known_class &&
        class_digit(signal(nl, 3), p.vt) <= 0)
        code += kStopClassBarred;

    // Amber: stop unless the stop line is reached before the amber ends.
    // Left turners clear on amber.
    float left = 0.0f;
    if (code == 0 && ind == kIndicationAmberLast && r < kLeftAbove &&
        amber_left(s, p.sig, p.ph, tr, left)) {
        const float to_line = p.spd > 1.0f ? kKmhPerMps * p.remdis / p.spd : kKmhPerMps * p.remdis;
        if (left < to_line) {
            code += kStopAmber;
            thr = kStopThresholdAmber;
        }
    }

    // Waiting clocks (whole s). A red without turn on red keeps restarting
    // the clock, so standing times count from the green.
    auto&      wait = s.vehicle.wait;
    const bool head = p.vinlan[p.lane1] == 0;
    if (wait(vid, 1) <= kWaitingSentinel) {
        if (red && !tor) wait(vid, 1) = t;
    } else if (head && p.spd <= kWaitingStartKmh) {
        wait(vid, 1) = t;
    }
    if (p.spd > waiting_threshold(p.spdcap)) wait(vid, 2) = t;

    // Full stop at a stop sign or before a turn on red.
    const int   d32 = s.errflg.errchk[32];
    const float standing = d32 > 0 ? static_cast<float>(d32) : kDefaultStandingS;
    const bool  waiting = wait(vid, 1) <= kWaitingSentinel;
    if (!waiting || static_cast<float>(t - wait(vid, 1)) < standing) {
        if (s.opsgap.stopsign(nl) == kStopSign) {
            code += kStopSignNotStopped;
            thr = kStopThresholdFullStop;
        }
        if (tor) {
            code += kStopTurnOnRedNotStopped;
            thr = kStopThresholdFullStop;
        }
    }

    if (head && p.remtim <= kGapHorizonS) {
        int flag = 0;
        opslfac(s, p.car, nl, flag, tr, static_cast<float>(wait(vid, 1)), p.merge);
        if (flag == 1) {
            code += kStopGapRefused;
            thr = 0;
        }
    }

    p.stopcode = code;
    p.stopthr = thr;
}

} // namespace velm
