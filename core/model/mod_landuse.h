#pragma once
// Land use of the zones (node file, second layout), the trip-generation inputs
// built on it ("trp_gen.dat") and the tables of demand synthesis.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kMaxLandUses = 5;
inline constexpr int kMaxTripSlices = 24; // time slices of trip generation
inline constexpr int kTripLayers = 3;     // trp_mat: distributed, mode split, spread

// trp_mat(i, j, s, vt, layer): trips from zone i to zone j in slice s of
// class vt; layer 1 the distributed trips (class 1 only), layer 2 the mode
// split in the desired slice, layer 3 by departure slice after peak spreading.
// Sized per run for its zones, since full capacity would be a quarter
// gigabyte.
class TripMatrix {
  public:
    TripMatrix() = default;
    explicit TripMatrix(int zones)
        : m_("trp_mat", zones, zones, kMaxTripSlices, kClasses * kTripLayers) {}

    float& operator()(int i, int j, int s, int vt, int layer) {
        return m_(i, j, s, column(vt, layer));
    }
    float operator()(int i, int j, int s, int vt, int layer) const {
        return m_(i, j, s, column(vt, layer));
    }
    int zones() const { return m_.hi(1); }

  private:
    static int column(int vt, int layer) {
#ifdef VELM_CHECKED
        if (vt < 1 || vt > kClasses) detail::bad_index("trp_mat", 4, vt, 1, kClasses);
        if (layer < 1 || layer > kTripLayers)
            detail::bad_index("trp_mat", 5, layer, 1, kTripLayers);
#endif
        return (layer - 1) * kClasses + vt;
    }
    Array4<float> m_;
};

struct mod_landuse {
    // --- land use (node file) -------------------------------------------------
    int           nlanduse = 0; // land uses per zone record; 0 in the first node-file layout
    Array2<float> landuse{"landuse", kMaxZones, kMaxLandUses}; // quantities per zone and land use

    // --- trip-generation inputs ----------------------------------------------
    int   step8 = 0;     // 1: "trp_gen.dat" was read completely (demand synthesis on)
    int   ntrplnd = 0;   // land uses with trip rates, 0..5
    int   ntrpslc = 0;   // time slices, 0..24
    int   dtrpslc = 0;   // s, duration of one slice; slice s covers ((s-1) d, s d)
    float ranfac = 0.0f; // headway randomness of every synthesised record
    // (u, 1) productions, (u, 2) attractions per unit of land use u.
    Array2<float> trprat1{"trprat1", kMaxLandUses, 2};
    // (u, c, s) share of that rate falling in slice s.
    Array3<float> trprat2{"trprat2", kMaxLandUses, 2, kMaxTripSlices};
    Array3<float> trprat3{"trprat3", kMaxLandUses, 2, kMaxTripSlices}; // never filled

    // --- synthesis --------------------------------------------------------------
    // (z, c, u, s) productions (c = 1) and attractions (c = 2) of zone z from
    // land use u in slice s; trp_pro(z, c, s) their totals over the land uses.
    Array4<float> trp_com{"trp_com", kMaxZones, 2, kMaxLandUses, kMaxTripSlices};
    Array3<float> trp_pro{"trp_pro", kMaxZones, 2, kMaxTripSlices};
    Array2<float> trp_sum{"trp_sum", kMaxTripSlices, 2}; // (s, 1) distributed trips of slice s
    float         tottrp = 0.0f;                         // distributed trips of all slices
    // Zone-by-zone tables, sized per run by size_synthesis.
    TripMatrix    trp_mat;
    Array2<float> sum_od;  // (i, j) distributed trips over all slices
    Array3<float> trp_tot; // (i, j, vt) mode-split trips over all slices
    Array3<float> trp_slc; // (i, j, s) trips departing in slice s after peak spreading

    // Fresh, zeroed zone-by-zone tables for zones 1..zones.
    void size_synthesis(int zones) {
        trp_mat = TripMatrix(zones);
        sum_od = Array2<float>("sum_od", zones, zones);
        trp_tot = Array3<float>("trp_tot", zones, zones, kClasses);
        trp_slc = Array3<float>("trp_slc", zones, zones, kMaxTripSlices);
    }
};

} // namespace velm
