#pragma once
// Queue-reward signal control: the signals whose next phase is chosen from the
// queues at their approaches ("input_NBsig.dat" in the input directory), their
// detector stations, the links that discharge in each phase, the scoring
// constants and the wait counters kept from decision to decision.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int   kNbApproaches = 4;   // approaches (detector stations) per signal
inline constexpr int   kNbPhaseRows = 8;    // phase rows of the per-signal tables
inline constexpr int   kNbPhaseLinks = 4;   // approach links discharging in one phase
inline constexpr int   kNbWaitLimit = 5;    // decisions a queued phase waits before it is served
inline constexpr float kNbThreat = 1000.0f; // default threat point of a phase
inline constexpr float kNbWeight = 1.0f;    // default weight of a phase
inline constexpr float kNbInterval = 360000.0f; // default decision interval, s

// Movement classes of mnbsig: which lanes of an approach link a phase serves.
inline constexpr int kNbNoMovement = 0; // right turns only: no lane counted
inline constexpr int kNbThrough = 1;    // lanes 1..sig_lan
inline constexpr int kNbLeft = 2;       // the lanes above sig_lan
inline constexpr int kNbLeftThrough = 3;

struct mod_nbsig {
    int nnbsig = 0;    // signal records in force (complete records, in file order)
    int fmt_nbsig = 0; // 1: queue-reward signal control runs each tick

    Array1<int> nbsig_num{"nbsig_num", kMaxSignals}; // signal of record i

    // Per signal number, sized to the signals of the run's plan.
    Array1<int> nbsig_flag{"nbsig_flag", kMaxSignals};          // 1: the signal has a record
    Array1<int> nnb_lnk{"nnb_lnk", kMaxSignals};                // approaches
    Array1<int> nnb_phs{"nnb_phs", kMaxSignals};                // phases scored
    Array2<int> sig_det{"sig_det", kMaxSignals, kNbApproaches}; // station of approach j
    // Through lanes of approach j: lanes 1..this are through lanes, the lanes
    // above them left-turn lanes.
    Array2<int> sig_lan{"sig_lan", kMaxSignals, kNbApproaches};
    Array2<int> sig_lnk{"sig_lnk", kMaxSignals, kNbApproaches}; // link of approach j
    // (s, p, 1) number m of links discharging in phase p, (s, p, 2..m+1) the links.
    Array3<int> tnbsig{"tnbsig", kMaxSignals, kNbPhaseRows, kNbPhaseLinks + 1};
    // (s, p, k) movement class of the k-th link of phase p (kNbThrough ...).
    Array3<int>   mnbsig{"mnbsig", kMaxSignals, kNbPhaseRows, kNbPhaseLinks};
    Array2<float> nb_threat{"nb_threat", kMaxSignals, kNbPhaseRows}; // > 0
    Array2<float> nbsig_wgt{"nbsig_wgt", kMaxSignals, kNbPhaseRows}; // >= 0
    Array1<float> nbsig_invl{"nbsig_invl", kMaxSignals};             // s
    Array1<float> phprior{"phprior", kMaxSignals}; // phase chosen when every phase scores the same
    // Decisions in a row at which phase p was not served while vehicles stood
    // on its last listed link; zero at the start of the run.
    Array2<float> nbwait{"nbwait", kMaxSignals, kNbPhaseRows};
    // The phase changes as run, in ticks of the run: (s, kNbRun..) the phase
    // that holds the green or its intergreen, its green start, green end (-1
    // while green) and intergreen end; (s, kNbLeft..) the same of the phase
    // before it, whose intergreen may still be running.
    Array2<int> nbrun{"nbrun", kMaxSignals, 8};
    // Green seconds each phase ran, (s, p, 1) in the current cycle and
    // (s, p, 2) in the last complete one (the timing report lists these).
    Array3<float> nbgreen{"nbgreen", kMaxSignals, kNbPhaseRows, 2};

    // Per link, sized to the run's links: approach number of link l within
    // its signal's record.
    Array1<int> lnk_ord{"lnk_ord", kMaxLinks};

    // No record: every table cleared and given its defaults, the per-signal
    // tables sized for signals 1..signals, lnk_ord for links 1..links.
    void size_run(int signals, int links) {
        nnbsig = fmt_nbsig = 0;
        nbsig_num.resize(signals);
        nbsig_flag.resize(signals);
        nnb_lnk.resize(signals);
        nnb_phs.resize(signals);
        sig_det.resize(signals, kNbApproaches);
        sig_lan.resize(signals, kNbApproaches);
        sig_lnk.resize(signals, kNbApproaches);
        tnbsig.resize(signals, kNbPhaseRows, kNbPhaseLinks + 1);
        mnbsig.resize(signals, kNbPhaseRows, kNbPhaseLinks);
        nb_threat.resize(signals, kNbPhaseRows);
        nbsig_wgt.resize(signals, kNbPhaseRows);
        nbsig_invl.resize(signals);
        phprior.resize(signals);
        nbwait.resize(signals, kNbPhaseRows);
        nbrun.resize(signals, 8);
        nbgreen.resize(signals, kNbPhaseRows, 2);
        lnk_ord.resize(links);
        nbsig_num.zero();
        nbsig_flag.zero();
        nnb_lnk.zero();
        nnb_phs.zero();
        sig_det.zero();
        sig_lan.zero();
        sig_lnk.zero();
        tnbsig.zero();
        mnbsig.zero();
        nb_threat.fill(kNbThreat);
        nbsig_wgt.fill(kNbWeight);
        nbsig_invl.fill(kNbInterval);
        phprior.zero();
        nbwait.zero();
        nbrun.zero();
        nbgreen.zero();
        lnk_ord.zero();
    }
};

} // namespace velm
