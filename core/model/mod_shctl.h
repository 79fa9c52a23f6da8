#pragma once
// Detector-based speed harmonisation: controllers on links upstream of a
// bottleneck, the detector histories they extrapolate, and the advisories
// handed to vehicles.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <vector>

namespace velm {

inline constexpr int   kShctlHistory = 60;      // history slots per station
inline constexpr float kNoSpeedLimit = 1000.0f; // km/h: no limit, no advisory

// One ramp station of a controller: its station, sign and distance from the
// controlled link.
struct ShctlRamp {
    int   station = 0;
    float dist = 0.0f; // m
};

struct mod_shctl {
    int   nshctl = 0;    // controller records read whole
    int   shctl_fmt = 0; // 1 per-class link limits, 2 per-vehicle advisories; else off
    float fact_smth = 0.0f;
    float fact_acc = 0.0f;
    float speed_smth = 0.0f;

    // --- per controlled link ----------------------------------------------------
    Array1<float> t_o{"t_o", kMaxLinks};
    Array1<float> t_e{"t_e", kMaxLinks};
    Array1<float> sh_freq{"sh_freq", kMaxLinks};
    Array1<float> fr_tar{"fr_tar", kMaxLinks};
    Array2<float> coef_cd{"coef_cd", kMaxLinks, 2}; // settled mark, beta0
    Array1<float> k_tar{"k_tar", kMaxLinks};
    Array1<float> spd_thr{"spd_thr", kMaxLinks};
    Array1<int>   det_cur{"det_cur", kMaxLinks};
    Array1<int>   det_bn{"det_bn", kMaxLinks};
    Array1<int>   lan_bn{"lan_bn", kMaxLinks};
    Array1<float> fact_exp{"fact_exp", kMaxLinks};
    Array1<float> dist_bn{"dist_bn", kMaxLinks};
    Array1<float> spd_min{"spd_min", kMaxLinks};
    Array1<float> fr_cur{"fr_cur", kMaxLinks};
    Array1<float> spd_lnk{"spd_lnk", kMaxLinks};
    Array2<int>   shctl_flag{"shctl_flag", kMaxLinks, kClasses};
    Array2<float> spd_ctl{"spd_ctl", kMaxLinks, kClasses};

    // --- per controller (record order) -------------------------------------------
    std::vector<int>                    lnk_ctl; // controlled link of record i (index i - 1)
    std::vector<std::vector<ShctlRamp>> ramps;   // ramp stations of record i

    // --- per detector station -----------------------------------------------------
    Array1<int>   flag_ramp{"flag_ramp", kMaxDetectors};
    Array2<int>   lnk_sh{"lnk_sh", kMaxDetectors, 2};
    Array1<float> time_cur{"time_cur", kMaxDetectors};
    Array2<float> flowrate{"flowrate", kMaxDetectors, kShctlHistory};
    Array2<float> vehden{"vehden", kMaxDetectors, kShctlHistory};

    // --- per vehicle slot (they stay with the vehicle at compaction) ----------------
    // sh_flag(v) equal to sh_stamp: the vehicle had its advisory in this polling
    // period; raising the stamp clears every flag at once.
    Array1<int>   sh_flag{"sh_flag", kMaxVehicles};
    Array1<float> spd_ctl6{"spd_ctl6", kMaxVehicles};
    int           sh_stamp = 1;

    // Everything off, every table at its default.
    void reset() {
        nshctl = shctl_fmt = 0;
        fact_smth = fact_acc = speed_smth = 0.0f;
        t_o.zero();
        t_e.zero();
        sh_freq.zero();
        fr_tar.zero();
        k_tar.zero();
        det_cur.zero();
        det_bn.zero();
        lan_bn.zero();
        dist_bn.zero();
        spd_min.zero();
        fr_cur.zero();
        shctl_flag.zero();
        for (int l = 1; l <= kMaxLinks; ++l) {
            coef_cd(l, 1) = 0.0f;
            coef_cd(l, 2) = 1.0f;
            spd_thr(l) = 100.0f;
            fact_exp(l) = 1.0f;
            spd_lnk(l) = kNoSpeedLimit;
            for (int c = 1; c <= kClasses; ++c) spd_ctl(l, c) = kNoSpeedLimit;
        }
        lnk_ctl.clear();
        ramps.clear();
        flag_ramp.zero();
        lnk_sh.zero();
        time_cur.zero();
        flowrate.zero();
        vehden.zero();
        sh_stamp = 1;
    }
};

} // namespace velm
