#pragma once
// The network graph: per node number its coordinates, type and zone
// membership, the links into and out of it; per link number its geometry and
// the links it connects with. Rows are node or link numbers, with gaps where a
// number is not used.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kDisplaySwitches = 20; // symb(1..20)

// Node types of ntyp. Zones are the types 1..3.
inline constexpr int kZoneBoth = 1;        // origin and destination zone
inline constexpr int kZoneDestination = 2; // destination zone only
inline constexpr int kZoneOrigin = 3;      // origin zone only
inline constexpr int kPlainNode = 4;       // a node that is no zone
inline constexpr int kInvalidNode = 5;     // a node whose record was refused

struct mod_graph1 {
    // --- nodes, row = node number 1..2996 ---------------------------------
    Array1<float> x{"x", kMaxNodes};         // km; -10000 = node not coded
    Array1<float> y{"y", kMaxNodes};         // km; -10000 = node not coded
    Array1<int>   ntyp{"ntyp", kMaxNodes};   // a node type below; 0 not coded
    Array1<int>   uturn{"uturn", kMaxNodes}; // 1 = U-turns allowed, -1 = not
    Array1<float> cms{"cms", kMaxNodes};     // message-sign compliance fraction
    Array2<int>   cmstyp{"cmstyp", kMaxNodes,
                       kClasses};               // class a complying vehicle becomes; 0 unchanged
    Array1<int>   cmslag{"cmslag", kMaxNodes};    // s between passing a sign and the class change
    Array1<float> macdst{"macdst", kMaxNodes};    // routing switch distance to the node's own tree
    Array1<int>   nodnum{"nodnum", kMaxNodes};    // node number of node-file record k
    Array1<int>   macrzon{"macrzon", kMaxZones};  // -m: centroid of macro zone m; 0 none
    Array1<int>   mazn{"mazn", kMaxMacroZones};   // centroid node of macro zone m; 0 none
    Array1<int>   numtyp{"numtyp", 5};            // coded nodes of type 1..5
    int           cmstot = 0;                     // coded nodes with a sign fraction above 0
    Array1<int>   symb{"symb", kDisplaySwitches}; // display switches set by the front end

    // Incidence, in increasing link number.
    Array1<int> nlinto{"nlinto", kMaxNodes};
    Array2<int> linto{"linto", kMaxNodes, kMaxNodeLinks}; // links ending at the node
    Array1<int> nlinfr{"nlinfr", kMaxNodes};
    Array2<int> linfr{"linfr", kMaxNodes, kMaxNodeLinks}; // links starting at the node

    // --- links, row = link number 1..4487 ----------------------------------
    // Connections; an entry -k means the turn is banned at the last update.
    Array1<int> nlinin{"nlinin", kMaxLinks};
    Array2<int> linin{"linin", kMaxLinks, kMaxNodeLinks}; // upstream links feeding the link
    Array1<int> nlinot{"nlinot", kMaxLinks};
    Array2<int> linot{"linot", kMaxLinks, kMaxNodeLinks}; // downstream links the link feeds

    Array1<float> xylen{"xylen", kMaxLinks}; // km, straight-line distance of the end nodes
    Array1<float> dx{"dx", kMaxLinks};       // unit vector from the to node back to the from node
    Array1<float> dy{"dy", kMaxLinks};
    Array1<float> ang{"ang", kMaxLinks};          // heading of travel, degrees ccw from +x, 0..360
    Array2<int>   mlanes{"mlanes", kMaxLinks, 2}; // drawing set-back at the from (1) and to (2) end
    Array1<float> lnkwgt{"lnkwgt", kMaxLinks};    // weight among the links into the to node
    Array1<int>   list{"list", kMaxLinks}; // links in the order the link transfer serves them

    mod_graph1() { reset(); }
    // Every node not coded (the node reader's start state), no links.
    void reset() {
        x.fill(kNodeNotCoded);
        y.fill(kNodeNotCoded);
        ntyp.zero();
        uturn.fill(-1);
        cms.zero();
        cmstyp.zero();
        nodnum.zero();
        macrzon.zero();
        mazn.zero();
        numtyp.zero();
        cmstot = 0;
        symb.zero();
        nlinto.zero();
        linto.zero();
        nlinfr.zero();
        linfr.zero();
        nlinin.zero();
        linin.zero();
        nlinot.zero();
        linot.zero();
        xylen.zero();
        dx.zero();
        dy.zero();
        ang.zero();
        mlanes.zero();
        lnkwgt.zero();
    }
};

} // namespace velm
