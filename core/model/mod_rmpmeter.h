#pragma once
// Ramp metering: the meters of the ramp-meter file (master slot 23), their
// rates, inputs and cycles, the indication per link, the rate-update interval
// and the per-minute history of the meter rates (written by the time loop each
// second).
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kRampMeterSlot = 23;    // master slot of the ramp-meter file
inline constexpr int kMaxRampMeters = 450;   // meter slots
inline constexpr int kRampMeterColumns = 10; // rmprat columns; 1 = current rate, veh/h
inline constexpr int kRateHistoryMins = 60;  // rmphis minute slots
inline constexpr int kDefaultRmptm = 20;     // s
inline constexpr int kRampInputs = 12;       // rmpdet inputs; 1..8 are named, 9..12 stay 0
inline constexpr int kRampLocColumns = 3;    // rmploc: 1 link, 2 mode, 3 upstream meter

// rmprat columns.
inline constexpr int kRateInForce = 1;     // veh/h
inline constexpr int kRateMin = 2;         // veh/h
inline constexpr int kRateMax = 3;         // veh/h
inline constexpr int kRateThreshold = 4;   // occupancy threshold, 500..3000 (10000 = 100 %)
inline constexpr int kRateOverrideEnd = 5; // s; the queue override runs while t <= this
inline constexpr int kRateQueueIn = 8;     // veh/h handed over by the downstream meter
inline constexpr int kRateQueue = 9;       // veh/h, this meter's queue estimate

// rmpdet inputs.
enum RampInput : int { kQ1 = 1, kQ2, kIn, kOut, kUpst, kMrg, kDwst, kNxt };

// rmpset indications.
inline constexpr int kMeterOff = 0;
inline constexpr int kMeterGreen = 1;
inline constexpr int kMeterRed = 2;

struct mod_rmpmeter {
    int           nrmpmtr = 0;           // meters in the run; 0 = no ramp metering
    int           rmptm = kDefaultRmptm; // rate-update interval, s (1..900)
    Array2<float> rmprat{"rmprat", kMaxRampMeters, kRampMeterColumns};
    Array2<float> rmphis{"rmphis", kMaxRampMeters, kRateHistoryMins}; // veh/h per minute slot
    Array1<int>   rmpset{"rmpset", kMaxLinks}; // indication per link: 0 not metered, 1 green, 2 red

    // Per meter, sized to the meters of the run once the file is read.
    // rmploc(r, 1) = 0: a meter number no record defines (never controlled).
    Array2<int> rmploc{"rmploc", kMaxRampMeters, kRampLocColumns};
    Array2<int> rmpdet{"rmpdet", kMaxRampMeters, kRampInputs}; // station per input, 0 = none
    // Smoothed input k: 1 volume veh/h, 2 speed km/h, 3 occupancy (10000 = 100 %).
    Array3<float> rmpflw{"rmpflw", kMaxRampMeters, kRampInputs, 3};
    Array1<float> rmpcyc{"rmpcyc", kMaxRampMeters}; // cycle, s
    Array1<float> rmpgrn{"rmpgrn", kMaxRampMeters}; // green per cycle, s

    // The per-meter tables for meters 1..n, cleared.
    void size_meters(int n) {
        rmploc.resize(n, kRampLocColumns);
        rmpdet.resize(n, kRampInputs);
        rmpflw.resize(n, kRampInputs, 3);
        rmpcyc.resize(n);
        rmpgrn.resize(n);
        rmploc.zero();
        rmpdet.zero();
        rmpflw.zero();
        rmpcyc.zero();
        rmpgrn.zero();
    }

    void reset() {
        nrmpmtr = 0;
        rmptm = kDefaultRmptm;
        rmprat.zero();
        rmphis.zero();
        rmpset.zero();
        rmploc.zero();
        rmpdet.zero();
        rmpflw.zero();
        rmpcyc.zero();
        rmpgrn.zero();
    }
};

} // namespace velm
