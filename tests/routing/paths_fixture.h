#pragma once
// Helpers of the path tests: a small network from tests/data/paths, trees set
// link by link, trips with their routing attributes, and the stored path of a
// trip read back from the path store.
#include "core/routing/routing.h"
#include "routing/route_fixture.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace velm::testing_paths {

using testing_routing::RouteNet;

inline std::string paths_fixture(const std::string& name) {
    return support::data_file("paths", name);
}

// Routes of two_routes.net from zone 1 to zone 2: A (60 s), B (40 s) and C,
// which leaves A for B's link 5 (70 s).
inline const std::vector<int> kTwoRoutesA{1, 2, 3, 6};
inline const std::vector<int> kTwoRoutesB{7, 5, 6};
inline const std::vector<int> kTwoRoutesC{1, 4, 5, 6};

// Sizes the class and stored trees for the network and builds its distance trees.
inline void prepare_trees(Sim& s) {
    s.trees.size_trees(s.set2.mmazon, s.link2.mlnum, s.set2.mzones);
    builddis(s, 1);
    builddis(s, 2);
}

// Five equal weights for every class's stored trees.
inline void equal_weights(Sim& s) {
    for (int tr = 1; tr <= kStoredTrees; ++tr) {
        s.trees.tree_wt(tr, 1) = 0.2f;
        s.trees.tree_wt(tr, 2) = 0.2f * static_cast<float>((tr - 1) % kTreesPerClass + 1);
    }
}

// Every class routes on its stored trees (method 2) with equal weights.
inline void stored_tree_routing(Sim& s) {
    prepare_trees(s);
    equal_weights(s);
    for (int vt = 1; vt <= kClasses; ++vt) s.set1.tremet(vt) = 2;
}

// Class vt's current tree toward macro destination dz along `links`, the
// first out of zone oz, the last ending at the destination.
inline void current_path(Sim& s, int vt, int dz, int oz, const std::vector<int>& links) {
    s.trees.ortree(dz, oz, vt) = static_cast<TreeLink>(links.front());
    for (std::size_t i = 0; i < links.size(); ++i)
        s.trees.rgtree(dz, links[i], vt) =
            static_cast<TreeLink>(i + 1 < links.size() ? links[i + 1] : -1);
}

// The same in stored tree tr.
inline void stored_path(Sim& s, int tr, int dz, int oz, const std::vector<int>& links) {
    s.trees.tree1o(dz, oz, tr) = static_cast<TreeLink>(links.front());
    for (std::size_t i = 0; i < links.size(); ++i)
        s.trees.tree1l(dz, links[i], tr) =
            static_cast<TreeLink>(i + 1 < links.size() ? links[i + 1] : -1);
}

inline void trip(Sim& s, int car, int o, int d, int vt, int vrnd, float dep = 0.0f) {
    s.vehicle.norig(car) = o;
    s.vehicle.ndest(car) = d;
    s.oddat.vtyp(car) = vt;
    s.oddat.vrnd(car) = vrnd;
    s.oddat.vehper2(car) = 1;
    s.vehicle.strtrp(car, 1) = dep;
    s.vehicle.strtrp(car, 2) = -2.0f;
    s.vehicle.dept(car) = dep;
    s.set2.tdemand = std::max(s.set2.tdemand, car);
}

// Links of trip car's current path in the store.
inline std::vector<int> stored_links(const Sim& s, int car) {
    std::vector<int> out;
    const auto&      st = s.vehtre;
    if (st.tre_ind(car, 1) < 1) return out;
    for (int e = st.tre_ind(car, 1); e <= st.tre_ind(car, 2); ++e) out.push_back(st.vehtre(e, 1));
    return out;
}

// The path steplink gives for trip car from link clink.
inline std::vector<int> step(Sim& s, int car, int t, int clink, int ind, int* ldest = nullptr) {
    std::vector<int> buf(kMaxPathLinks);
    int              n = 0, ld = 0;
    steplink(s, car, t, ld, clink, buf, n, ind);
    if (ldest) *ldest = ld;
    buf.resize(static_cast<std::size_t>(n));
    return buf;
}

} // namespace velm::testing_paths
