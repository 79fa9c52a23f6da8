// The 0.1-s tick: every subsystem's per-tick entry in its fixed order, the
// once-per-second block, the pause-request file, pacing, the progress report,
// the fatal-error tests and the stop request that end the loop.
#include "core/driver/time_loop.h"

#include "core/control/control.h"
#include "core/display/display.h"
#include "core/driver/errors.h"
#include "core/driver/loop_step.h"
#include "core/driver/per_second.h"
#include "core/driver/profiler.h"
#include "core/driver/run_control.h"
#include "core/energy/energy.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/network/network.h"
#include "core/reports/reports.h"

#include <algorithm>
#include <sstream>
#include <string>

namespace velm {

namespace {

inline constexpr int  kUnitPauseFile = 1011;
inline constexpr int  kPauseShown = 9999999; // nxt_ptime once its box was shown
inline constexpr char kPauseFile[] = "pause.vlm";
inline constexpr int  kFlowDecaySteps = 5;  // dynflow's decay argument
inline constexpr int  kProgressEvery = 100; // ticks between progress reports of an empty network
inline constexpr int  kStopPollCs = 10;     // cs of processor time between stop polls

enum class TickEnd { next, fatal, stop };

// "pause.vlm" names a second at which to show a message box; it is read every
// 10 s, so only a multiple of 10 can match. A file that does not hold a whole
// number is ignored and reported once; the report comes again only when the
// file's text changes, so a stale file does not flood the run log.
void pause_request(Sim& s) {
    auto& m = s.mainrun;
    auto& nxt_ptime = m.nxt_ptime;
    if (!s.units.exists(kPauseFile)) return;
    if (!s.units.open_read(kUnitPauseFile, kPauseFile)) return;
    std::ostringstream text;
    text << s.units.in(kUnitPauseFile).rdbuf();
    s.units.close(kUnitPauseFile);
    std::istringstream file(text.str());
    FreeReader         in(file);
    int                second = 0;
    if (in.record(second) == ReadResult::ok) {
        nxt_ptime = second;
        m.pause_reported = false;
    } else if (!m.pause_reported || m.pause_rejected != text.str()) {
        wfree(s.units, kUnitRunLog, " pause.vlm does not hold a whole number; ignored");
        m.pause_rejected = text.str();
        m.pause_reported = true;
    }
    if (s.control.t != nxt_ptime) return;
    nxt_ptime = kPauseShown;
    auto& title = s.mainrun.title;
    auto& mes = s.mainrun.mes;
    title = "VELMORANTIS PAUSE";
    mes[0] = "VELMORANTIS PAUSE ON REQUEST";
    mes[1] = "No Error";
    mes[2] = "";
    mes[3] = "Please click OK";
    pop_box(s, 4, title, std::span<const std::string>(mes.data(), mes.size()));
}

// Every 10 s while the network is empty, every second while vehicles are on
// it, and every tick while the run is paced, held or stepped by 0.1 or 1 s.
bool progress_due(int t10, int tenr, int indstp, int clocks) {
    return t10 % kProgressEvery == 0 || (tenr > 0 && t10 % 10 == 0) || clocks > 0 ||
           (indstp >= 1 && indstp <= 10);
}

TickEnd tick(Sim& s, int t10) {
    auto&      st = s.subtim;
    auto&      s1 = s.set1;
    const int  t = t10 / 10;
    const bool sec = t10 % 10 == 0;
    s.control.t10 = t10;
    s.control.t = t;

    // --- head of the tick ----------------------------------------------------
    VELM_STEP(sub_dyn_lnk_spd_ctrl, s);
    stim(s, Activity::speeds_and_queues);
    VELM_STEP(check_pause, s);
    // The front end asked the run to end (its window is closing), or the
    // process was sent a stop signal: leave by the stop exit, so the
    // end-of-run reports and the run summary are written for this second and
    // every file is closed on a whole line.
    const int signo = stop_signal();
    if (st.stop_requested() || signo != 0) {
        if (signo != 0)
            wfree(s.units, kUnitRunLog,
                  " Run stopped by " + stop_signal_name(signo) + " at simulation clock", t);
        else
            wfree(s.units, kUnitRunLog, " Run stopped on request at simulation clock", t);
        st.stopped_at = t;
        stim(s, Activity::diversion_and_end);
        return TickEnd::stop;
    }
    if (s.lane_target.lane_tar_enbld == 1 && sec) {
        VELM_STEP(calc_seg_lane_speed, s);
        VELM_STEP(print_segemnt_data, s, t10);
    }
    if (t10 % 100 == 0) VELM_STEP(pause_request, s);
    if (t10 % 2 == 1 && st.pacing() > 0) VELM_STEP(pace_tick, s);
    stim(s, Activity::pause_checks);
    VELM_STEP(setrmpmet, s, t10);
    VELM_STEP(prmpmet, s);
    stim(s, Activity::ramp_indications);
    const int indstp = st.step_mode();
    const int clocks = st.pacing();
    if (progress_due(t10, s1.tenr, indstp, clocks)) {
        checkpoint(s, 1);
        VELM_STEP(update, s, t10, s1.tdep, s1.totin, s1.tenr, s1.tarr, st.cclock / 10, indstp,
                  clocks, s.filenam.mastitle);
        stim(s, Activity::progress_report);
    }
    VELM_STEP(settrn, s, 2);
    stim(s, Activity::turning_lanes);
    if (t10 % 50 == 0) VELM_STEP(dis_rep, s, t10);

    // --- once per second ---------------------------------------------------------
    if (sec) {
        note_step(s, "per_second");
        if (!per_second(s)) return TickEnd::fatal;
    }

    // --- signal-side strategies and signal states ----------------------------------
    if (s.nbsig.fmt_nbsig == 1) VELM_STEP(fun_nbsig, s, t10);
    if (s.highway_spdharm.highway_spdharm_activation_flag == 1)
        VELM_STEP(highway_spd_harm_run, s, t10);
    if (s.divc.fmt_divc == 1) VELM_STEP(fun_divc, s, t10);
    if (s.atms.mitrefl(1) > 0) {
        if (t10 % 10 == 1) {
            VELM_STEP(prepsignal, s);
            VELM_STEP(setsignal2, s);
        }
    } else {
        VELM_STEP(setsignal1, s);
        VELM_STEP(setsignal2, s);
    }
    stim(s, Activity::signal_states);

    // --- vehicle step (order binding) --------------------------------------------
    if (t10 % 10 == 1) {
        checkpoint(s, 400);
        VELM_STEP(sortlist, s, t, s.set2.mnodenum, s.link2.nlact);
    }
    checkpoint(s, 410);
    VELM_STEP(lanpos, s, -1, t10);
    checkpoint(s, 410);
    VELM_STEP(moveveh, s, t, t10);
    stim(s, Activity::link_transfers);
    // Trips end only in the link transfers: the second of the last one is
    // what the run summary reports as the last vehicle exit.
    if (s1.tarr != st.tarr_seen) {
        st.tarr_seen = s1.tarr;
        st.lastext = t;
    }
    checkpoint(s, 500);
    VELM_STEP(enternet, s, t, t10);
    if (s.errcount.errt1 > 0) return TickEnd::fatal;
    stim(s, Activity::network_entry);
    checkpoint(s, 600);
    VELM_STEP(vehpos2, s, t10);
    stim(s, Activity::position_update);
    checkpoint(s, 610);
    VELM_STEP(srtque, s);
    stim(s, Activity::list_sort);
    checkpoint(s, 620);
    VELM_STEP(vehpos2b, s, t10);
    stim(s, Activity::follower_search);
    checkpoint(s, 630);
    VELM_STEP(spilback, s);
    stim(s, Activity::entry_space);
    if (s.vehplot.timspc == 1 && sec) {
        checkpoint(s, 640);
        VELM_STEP(vehpos7, s, t, 2);
        stim(s, Activity::time_space_and_trees);
    }
    checkpoint(s, 700);
    VELM_STEP(lanpos, s, -1, t10);
    stim(s, Activity::lane_heads);
    VELM_STEP(vehpos5, s, t10);
    stim(s, Activity::lane_decisions);
    VELM_STEP(shw_veh, s);
    checkpoint(s, 800);
    checkpoint(s, 810);
    VELM_STEP(vehpos1, s, t10);
    stim(s, Activity::speed_update);

    // --- per-second statistics and drawing ------------------------------------------
    if (sec) {
        checkpoint(s, 820);
        VELM_STEP(updtacci, s);
        stim(s, Activity::exposure_and_decay);
        checkpoint(s, 900);
        VELM_STEP(chkanimspd, s, t10);
    }
    // The display keeps both periods at least 1; a zero would divide by zero.
    const int clear_every = std::max(1, st.animspd(3));
    const int redraw_every = std::max(1, st.animspd(2));
    if (t10 % clear_every == 1) {
        VELM_STEP(clearscrn, s);
        stim(s, Activity::layer_clearing);
    }
    if (t10 % clear_every == 0) {
        VELM_STEP(pdetloc, s);
        stim(s, Activity::detector_drawing);
    }
    if (t10 % redraw_every == 0) {
        VELM_STEP(vehpos3, s, 2);
        stim(s, Activity::vehicle_drawing);
    }
    if (sec) {
        checkpoint(s, 1100);
        VELM_STEP(compfuel, s, s.mainrun.temp, 10, t);
        stim(s, Activity::fuel_and_emissions);
    }

    // --- stop check, flow decay, display ---------------------------------------------
    int stop = 0;
    if (sec || st.step_mode() == kPaused || st.pacing() > 0 || st.cclock >= st.nxtchk) {
        checkpoint(s, 1110);
        VELM_STEP(checkkey, s, t10, stop, s.trees.pd_ot3);
        st.nxtchk = st.cclock + kStopPollCs;
        stim(s, Activity::stop_check);
    }
    if (t10 % kFlowDecaySteps == 0) {
        checkpoint(s, 1120);
        VELM_STEP(dynflow, s, t10, s.link2.mlnum, kFlowDecaySteps);
        stim(s, Activity::exposure_and_decay);
    }
    checkpoint(s, 1130);
    if (stop == 1) {
        st.stopped_at = t;
        stim(s, Activity::diversion_and_end);
        return TickEnd::stop;
    }
    stim(s, Activity::listings);
    checkpoint(s, 1200);
    VELM_STEP(redraw_and_adjust, s);
    return TickEnd::next;
}

} // namespace

void checkpoint(Sim& s, int code) {
    if (s.errflg.errchk[kCheckpointSwitch] != 1) return;
    rep_err(s, s.control.t10, code,
            std::span<std::string>(s.mainrun.mes.data(), s.mainrun.mes.size()));
}

bool time_loop(Sim& s) {
    // The horizon is read once; the master file keeps it below 10^7 s, so
    // simtim10 fits 32 bits.
    const int simtim10 = s.set1.simtim10;
    s.subtim.tarr_seen = s.set1.tarr;
    for (int t10 = 0; t10 <= simtim10; ++t10) {
        if (tick(s, t10) != TickEnd::next) return false;
    }
    return true;
}

} // namespace velm
