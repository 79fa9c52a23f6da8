#pragma once
// Demand records, the per-trip attributes drawn when departures are
// generated, a few per-vehicle routing and lane fields, and the per-class and
// per-zone marks. Record n = 1..320000, trip car = 1..560000, network slot
// vid = 1..380000.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kNoWindowEnd = 999999; // lodt when the demand file sets no time window

struct mod_oddat {
    // --- demand records, row = record number n ----------------------------
    MarkedArray1<int> o{"o", kMaxOdPairs, -1};     // origin zone node; -1 = record absent
    Array1<int>       d{"d", kMaxOdPairs};         // destination zone node
    Array1<float>     numod{"numod", kMaxOdPairs}; // veh/h after scale and class factors
    Array1<float>     rand{"rand", kMaxOdPairs};   // headway randomness Krand, -1..1
    Array1<float> demstr{"demstr", kMaxOdPairs};   // s, on the run's clock (after the window shift)
    Array1<float> demend{"demend", kMaxOdPairs};   // s
    // (n, k, 1) share of class k as given (negative = colour code 1);
    // (n, k, 2) cumulative absolute share of classes 1..k.
    Array3<float> kvtyp{"kvtyp", kMaxOdPairs, kClasses, 2};
    Array2<int>   odcol{"odcol", kMaxOdPairs, kClasses}; // 1 share given negative, else 2
    Array1<float> profr{"profr", kMaxOdPairs};           // probe code
    Array1<float> veheq{"veheq", kMaxOdPairs};           // PCU of each vehicle
    Array1<float> vehocc{"vehocc", kMaxOdPairs};         // occupancy parameter, persons
    Array1<int>   vehper1{"vehper1", kMaxOdPairs};       // vehicle performance type 1..25
    // 1: a second-layout record whose weighted class shares were all 0; its
    // rate and shares are 0 and it is exempt from the share-sum check.
    Array1<int> noshare{"noshare", kMaxOdPairs};

    int numodp = 0;          // records announced in the header
    int maodp = 0;           // highest record number read
    int fodp = 0;            // first record used by the run
    int lodp = 0;            // last record used by the run
    int fodt = 0;            // time window start, s
    int lodt = kNoWindowEnd; // time window end, s
    int max_od_time = 0;     // latest record end after the shift, whole s

    // --- per trip, row = trip number car ----------------------------------
    Array1<int> vtyp{"vtyp", kMaxTrips};       // vehicle class 1..5
    Array1<int> vehper2{"vehper2", kMaxTrips}; // vehicle performance type 1..25
    Array1<int> percar{"percar", kMaxTrips};   // occupancy, persons
    Array1<int> probe{"probe", kMaxTrips};   // 0 none, 1 link+trip, -1 trip only, 2 per step, 3 t-s
    Array1<int> vehcol{"vehcol", kMaxTrips}; // drawing colour code of the trip
    Array1<int> vrnd{"vrnd", kMaxTrips};     // the trip's own random number 0..9999

    // --- per network slot, row = vid --------------------------------------
    Array1<int>    curlnk{"curlnk", kMaxVehicles}; // current link; -1 after arrival
    RowArray2<int> vlan{"vlan", kMaxVehicles, 2};  // (1) current lane, (2) target lane next link
    RowArray2<int> vsigstp{"vsigstp", kMaxVehicles, 2}; // (1) stop reasons, (2) braking speed km/h
    Array2<int>    rhead{"rhead", kMaxVehicles, 3};     // driver random factors x 100
    Array1<int>    rgmod{"rgmod", kMaxVehicles};        // routing mode, always 1
    Array1<int>    stat{"stat", kMaxVehicles};          // progress code of the last link-exit test
    Array2<int>    cmst{"cmst", kMaxVehicles, 3};       // message-sign advice: until, class, link

    // --- per class and per zone --------------------------------------------
    // (vt, 1) trips generated, (2) on the network, (3) completed, (4) nonzero
    // when a message sign turns vehicles into class vt.
    Array2<float> totvtn{"totvtn", kClasses, 4};
    // (z, 1) = 1 zone z is an active destination; (z, 2) = 1 z is the centroid
    // of the macro zone of an active destination.
    Array2<int> treereq{"treereq", kMaxZones, 2};

    mod_oddat() { reset(); }
    void reset() {
        o.fill(-1);
        fodt = 0;
        lodt = kNoWindowEnd;
    }
};

} // namespace velm
