#pragma once
// Detector stations: loop detectors laid across every lane of one link over a
// short zone, defined by the station file (master slot 21), and what they
// measure poll by poll.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kDetectorColumns = 2; // column 1: poll in progress; 2: last completed poll
inline constexpr int kLaneMeasures = 3;    // lndt(., ., k, .): 1 count/flow, 2 speed, 3 occupancy
inline constexpr int kDetectorHourSlots = 60; // detsta minute slots

struct mod_detloc {
    // --- stations, read once at run start -----------------------------------
    // -1 = number not in the file; 0 or below = defined but inactive (never
    // indexed, credited or reported); 1..9 one record per station; 10 or more
    // one record per lane.
    Array1<int>   dettyp{"dettyp", kMaxDetectors};
    Array1<int>   detlink{"detlink", kMaxDetectors};
    Array2<float> detpos{"detpos", kMaxDetectors, 2}; // zone start, end; km from the link start
    Array1<float> detzon{"detzon", kMaxDetectors};    // zone length km, 0.005..0.050
    Array1<int>   dettim{"dettim", kMaxDetectors};    // polling period s, 1..300
    // Per class: above 0 = the station credits vehicles of that class.
    Array2<int> detmsk{"detmsk", kMaxDetectors, kClasses};
    int         ndetloc = 0;  // station records the file announces (after clamping)
    int         mdetloc = 0;  // highest station number; 0 = no station in the run
    int         detrepfr = 0; // s between exchange report files; 0 or below = none

    // Active stations (type above 0) by link: link l owns detlis(fdetpos(l) +
    // 1 .. fdetpos(l) + ndetpos(l)), in ascending station number.
    Array1<int> ndetpos{"ndetpos", kMaxLinks};
    Array1<int> fdetpos{"fdetpos", kMaxLinks};
    Array1<int> detlis{"detlis", kMaxDetectors};

    // --- measurements: (d, 1) the poll in progress, (d, 2) the last poll ------
    // Indexed 1..mdetloc once the station file is read.
    Array2<int>   detvol{"detvol", kMaxDetectors, kDetectorColumns}; // vehicles; flow veh/h
    Array2<int>   detlan{"detlan", kMaxDetectors, kDetectorColumns}; // vehicles; veh/h/lane
    Array2<float> detspd{"detspd", kMaxDetectors, kDetectorColumns}; // sum 1/(km/h); km/h
    // Occupancy: thousandths of a tick summed; 10000 = zone occupied throughout
    // the poll on every lane.
    Array2<int> detocc{"detocc", kMaxDetectors, kDetectorColumns};
    Array2<int> detacc{"detacc", kMaxDetectors, kDetectorColumns}; // 1 once the zone was occupied
    // Per lane (1 = curb): k = 1 vehicles / flow veh/h, 2 sum 1/(km/h) /
    // harmonic mean speed km/h, 3 occupancy accumulator / occupancy (10000 =
    // occupied throughout).
    Array4<float> lndt{"lndt", kMaxDetectors, kDetectorColumns, kLaneMeasures, kMaxLinkLanes};
    // Per station and minute slot of the last hour (slot of run minute m:
    // ((m + 59) mod 60) + 1): 1 vehicles counted, 2 sum of their speeds km/h,
    // 3 sum of occupancy in thousandths of a percent of the minute (so that
    // / 1000 is the station's occupancy percent). Credited as vehicles cross,
    // the coming minute's slot cleared once a minute; read by the on-line
    // detector and ramp-meter graphs.
    Array3<float> detsta{"detsta", kMaxDetectors, kDetectorHourSlots, kLaneMeasures};

    // --- exchange report files --------------------------------------------------
    // Station records of seconds with no report file open (its trigger file
    // could not be written), reported when the next period begins.
    int dropped = 0;
    int dropped_since = 0; // s: the period boundary since which records are dropped

    // No station defined, no index, no measurement.
    void reset() {
        dettyp.fill(-1);
        detlink.zero();
        detpos.zero();
        detzon.zero();
        dettim.zero();
        detmsk.zero();
        ndetloc = mdetloc = detrepfr = 0;
        ndetpos.zero();
        fdetpos.zero();
        detlis.zero();
        detvol.zero();
        detlan.zero();
        detspd.zero();
        detocc.zero();
        detacc.zero();
        lndt.zero();
        detsta.zero();
        dropped = dropped_since = 0;
    }
};

} // namespace velm
