#pragma once
// Road pricing: toll entries by link and time window, the tolls in force, the
// values of time per class and per trip, and the weights and prices that turn
// fuel or energy into route cost.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <vector>

namespace velm {

inline constexpr int kMaxTollEntries = 250;

struct mod_tolplaz {
    int           ntolrat = 0;                                 // entries read; 0 = no road pricing
    int           mtolrat = 0;                                 // highest entry number read
    Array1<int>   tollnk{"tollnk", kMaxTollEntries};           // link of the entry; -1 none
    Array1<int>   toltyp{"toltyp", kMaxTollEntries};           // 1 per passage, else per km
    Array2<int>   toltim{"toltim", kMaxTollEntries, 2};        // window start, end s; -1 none
    Array2<float> tolrat{"tolrat", kMaxTollEntries, kClasses}; // money per passage or per km
    Array2<float> curtol{"curtol", kMaxLinks, kClasses};       // toll in force per link, class
    // (vt, 1) mean value of time, money per hour; (vt, 2) its coefficient of variation.
    Array2<float> sectol{"sectol", kClasses, 2};
    Array1<float> valtim{"valtim", kMaxTrips};    // value of time of each trip
    Array2<float> vehtol{"vehtol", kMaxTrips, 3}; // last link's toll, trip total, probe toll
    // Weight of the fuel or energy cost in each class's route cost, and the
    // prices of a unit of fuel and of electric energy.
    Array1<float> routing_alphas{"routing_alphas", kClasses};
    float         cost_fuel = 0.5f;
    float         cost_energy = 0.008f;
    // The entries of each link, built once the entries are read (index_tolls):
    // link l's entries are by_link_entry[by_link_first[l] .. by_link_first[l + 1] - 1].
    bool             by_link = false;
    std::vector<int> by_link_first;
    std::vector<int> by_link_entry;

    mod_tolplaz() { reset(); }
    // No road pricing, the default values of time and prices. The per-trip
    // tolls start at 0 from the allocation; the reader clears them again.
    void reset() {
        ntolrat = 0;
        mtolrat = 0;
        tollnk.fill(-1);
        toltyp.fill(-1);
        toltim.fill(-1);
        tolrat.zero();
        curtol.zero();
        for (int c = 1; c <= kClasses; ++c) {
            sectol(c, 1) = 10.0f;
            sectol(c, 2) = 0.2f;
        }
        routing_alphas.zero();
        cost_fuel = 0.5f;
        cost_energy = 0.008f;
        by_link = false;
    }
};

} // namespace velm
