#pragma once
// Learned speed harmonisation at weaving sections: the controllers, their
// learned tables, the per-link caps and the per-class exit counts of state
// definition 4.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <cstdint>

namespace velm {

inline constexpr int      kShqlMax = 100;        // controllers, actions and states
inline constexpr int      kShqlSavedStates = 12; // state columns a table file holds at most
inline constexpr float    kWeaveCapDefault = 105.0f;
inline constexpr uint64_t kShqlSeed = 0x5eed5eed2024ULL; // exploration generator

struct mod_shql {
    int         shql_fmt = 0;                          // state definition 1..4; 0 = off
    Array2<int> flowvt{"flowvt", kMaxLinks, kClasses}; // vehicles of a class that left the link

    int shql_enabled = 0; // 1 once "input_shql.dat" was read whole
    int nshql = 0;        // controllers
    int nstat = 0;        // state columns of the table files
    int nqlwrt = 0;       // controllers whose tables were written
    // The table files were written for every controller (once).
    bool tables_written = false;

    // --- per controller number 1..100 ----------------------------------------------
    Array1<int>   shql_id{"shql_id", kShqlMax}; // controller number of record i = 1..nshql
    Array1<int>   ramp_det{"ramp_det", kShqlMax};
    Array1<int>   weave_det{"weave_det", kShqlMax};
    Array1<int>   shql_det{"shql_det", kShqlMax};
    Array1<int>   shct_det{"shct_det", kShqlMax};
    Array1<int>   shct_vt{"shct_vt", kShqlMax};
    Array1<int>   shql_link{"shql_link", kShqlMax}; // controlled link
    Array1<int>   weave_typ{"weave_typ", kShqlMax};
    Array1<float> weave_len{"weave_len", kShqlMax};
    Array1<int>   weave_tim{"weave_tim", kShqlMax};
    Array1<float> spd_wl{"spd_wl", kShqlMax};
    Array1<float> spd_wu{"spd_wu", kShqlMax};
    Array1<float> spd_wd{"spd_wd", kShqlMax};
    Array1<float> ql_gamma{"ql_gamma", kShqlMax};
    Array1<int>   shql_tim{"shql_tim", kShqlMax};
    Array1<int>   shql_an{"shql_an", kShqlMax};
    Array2<float> shql_act{"shql_act", kShqlMax, kShqlMax};
    Array3<float> shql_tab{"shql_tab", kShqlMax, kShqlMax, kShqlMax};
    Array3<int>   shql_ar{"shql_ar", kShqlMax, kShqlMax, kShqlMax};
    Array1<int>   shql_ac{"shql_ac", kShqlMax};
    Array1<int>   stat_pre{"stat_pre", kShqlMax};
    Array1<float> t_pre{"t_pre", kShqlMax};
    Array1<float> t_update{"t_update", kShqlMax};
    Array1<int>   sq_mark{"sq_mark", kShqlMax};

    // --- per link --------------------------------------------------------------------
    Array1<int>   flag_shql{"flag_shql", kMaxLinks}; // controller of the link; 0 none
    Array1<float> flow_weave{"flow_weave", kMaxLinks};
    Array1<float> spd_weave{"spd_weave", kMaxLinks};

    uint64_t rng = kShqlSeed; // exploration draws; apart from the model's streams

    // Uniform in [0, 1).
    float uniform() {
        rng += 0x9e3779b97f4a7c15ULL;
        uint64_t z = rng;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        return static_cast<float>(z >> 40) * (1.0f / 16777216.0f);
    }
};

} // namespace velm
