#pragma once
// Output rates of the master file and the counts of output instants they give,
// and the routing tree store: the current trees of each class, the stored trees
// vehicles choose from, their weights, the distance trees and the future link
// costs of slot 7.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velm {

// A tree entry: a link number, -1 (the link ends at the destination) or 0 (no
// path). Link numbers stop at 4487, so 16 bits hold every entry.
using TreeLink = std::int16_t;

inline constexpr int   kFuturePeriods = 120;        // periods of the future link costs (slot 7)
inline constexpr float kNoPathLabel = 604800.0f;    // s, a tree label not reached yet
inline constexpr float kConnectorPenalty = 3600.0f; // s, entering a zone connector from a link

// A table of tree entries indexed (destination, link or zone, tree) like the
// model writes it, but stored with the middle index fastest: one destination's
// tree over all links is one contiguous row, which is what the builder writes
// and what a vehicle walking its path reads. Sized for the run (destinations
// and links in use), zeroed, checked like Array3 under VELM_CHECKED.
template <class T> class TreeTable {
  public:
    TreeTable() = default;
    explicit TreeTable(const char* name) : name_(name) {}

    // Sizes the table for nd destinations, nr rows (links or zones) and nt
    // trees. Entries inside both the old and the new extents are kept.
    void resize(int nd, int nr, int nt) {
        nd = std::max(nd, 0);
        nr = std::max(nr, 0);
        nt = std::max(nt, 0);
        if (nd == nd_ && nr == nr_ && nt == nt_) return;
        std::vector<T> v(static_cast<std::size_t>(nd) * static_cast<std::size_t>(nr) *
                         static_cast<std::size_t>(nt));
        const int      kd = std::min(nd, nd_), kr = std::min(nr, nr_), kt = std::min(nt, nt_);
        for (int t = 0; t < kt; ++t)
            for (int d = 0; d < kd; ++d)
                std::memcpy(&v[(static_cast<std::size_t>(t) * static_cast<std::size_t>(nd) +
                                static_cast<std::size_t>(d)) *
                               static_cast<std::size_t>(nr)],
                            &v_[(static_cast<std::size_t>(t) * static_cast<std::size_t>(nd_) +
                                 static_cast<std::size_t>(d)) *
                                static_cast<std::size_t>(nr_)],
                            static_cast<std::size_t>(kr) * sizeof(T));
        v_ = std::move(v);
        nd_ = nd;
        nr_ = nr;
        nt_ = nt;
    }

    T&       operator()(int d, int r, int t) { return v_[offset(d, r, t)]; }
    const T& operator()(int d, int r, int t) const { return v_[offset(d, r, t)]; }
    // The row (d, 1..rows, t): rows() contiguous entries.
    T*       row(int d, int t) { return rows() > 0 ? &(*this)(d, 1, t) : nullptr; }
    const T* row(int d, int t) const { return rows() > 0 ? &(*this)(d, 1, t) : nullptr; }

    int  dests() const { return nd_; }
    int  rows() const { return nr_; }
    int  trees() const { return nt_; }
    bool holds(int d, int r, int t) const {
        return d >= 1 && d <= nd_ && r >= 1 && r <= nr_ && t >= 1 && t <= nt_;
    }
    void        zero() { std::fill(v_.begin(), v_.end(), T{}); }
    const char* name() const { return name_; }

  private:
    std::size_t offset(int d, int r, int t) const {
#ifdef VELM_CHECKED
        if (d < 1 || d > nd_) detail::bad_index(name_, 1, d, 1, nd_);
        if (r < 1 || r > nr_) detail::bad_index(name_, 2, r, 1, nr_);
        if (t < 1 || t > nt_) detail::bad_index(name_, 3, t, 1, nt_);
#endif
        return static_cast<std::size_t>(r - 1) +
               static_cast<std::size_t>(nr_) *
                   (static_cast<std::size_t>(d - 1) +
                    static_cast<std::size_t>(nd_) * static_cast<std::size_t>(t - 1));
    }
    const char*    name_ = "?";
    int            nd_ = 0, nr_ = 0, nt_ = 0;
    std::vector<T> v_;
};

// An entry of a builder's candidate list.
struct ListEntry {
    float    label = 0.0f;
    int      link = 0;
    unsigned stamp = 0; // when it was last appended or lowered
};

// Storage of one candidate list, kept between searches.
struct ListStore {
    std::vector<ListEntry>     buf; // the list while it is a plain array
    std::vector<std::uint64_t> key; // then a heap: (label, stamp, link) as one number
    std::vector<int>           pos; // place of a link on the list; -1 off it
};

// Scratch of the search toward one destination. A build that runs several
// searches at once keeps one per thread. Rows are link numbers (0 unused).
struct TreeSearch {
    std::vector<float> ttime;     // labels
    std::vector<int>   zconsum;   // zone connectors on the labelled path
    std::vector<int>   touched;   // links labelled by the last search
    std::vector<int>   ortime;    // best whole-second label per zone node
    std::vector<int>   best;      // cheapest whole-second cost per origin zone
    std::vector<float> cost;      // perturbed link costs of this destination
    std::vector<float> edge_cost; // generalised movement costs of this destination
    ListStore          list;      // the candidate list
};

// Working storage of the tree builders, kept between builds so a rebuild
// allocates nothing. Rows are link numbers (0 unused).
struct TreeWork {
    std::vector<float> gen;       // link costs of the build; distance trees: lengths, m
    std::vector<float> ttime2;    // distance trees: length when put on the list, m
    std::vector<int>   from_zone; // zone node a link leaves (types 1..3), else 0
    std::vector<int>   connector; // zoncon by link
    std::vector<float> penalty;   // connector penalty added on entering a link from it
    // Upstream movements of each link, in linin order.
    std::vector<int>        pred_first; // pred_first[l] .. pred_first[l+1]-1
    std::vector<int>        pred_link;  // the upstream link
    std::vector<float>      pred_share; // the class's share of the turn, percent
    std::vector<float>      edge_cost;  // generalised cost of each movement
    std::vector<int>        origins;    // zone nodes that may start a trip (types 1..3)
    std::vector<int>        orig_link;  // links leaving a trip-starting zone, ascending
    std::vector<int>        dests;      // destinations of the build, in order
    std::vector<int>        dest_seed;  // perception-error stream at each destination's start
    std::vector<TreeSearch> searches;   // one per thread; [0] also serves the distance trees
};

// Working storage of the per-vehicle forward searches, kept between calls:
// sized to the run's links on first use, and only the links the last search
// labelled are reset before the next one. Rows are link numbers (0 unused).
struct ForwardWork {
    std::vector<float> label;   // cost at the entry of a link
    std::vector<float> exit;    // cost at its exit: picks the last link
    std::vector<float> enter;   // clock on entering it, s
    std::vector<int>   prev;    // link before it on the best path; -1 a start link, 0 none
    std::vector<char>  queued;  // on the candidate list now
    std::vector<int>   queue;   // first in, first out, as a ring of mlnum + 1 places
    std::vector<int>   touched; // links labelled by the last search
    std::vector<int>   mark;    // back-walk: mark[l] == walk once l is on the path
    int                walk = 0;
    // Link costs handed to the search, and the same with the driver's
    // perception error; cut to the run's links on first use.
    Array1<float> cost{"forward cost", kMaxLinks};
    Array1<float> perceived{"forward perceived cost", kMaxLinks};
};

inline constexpr int kForecastColumns = 10; // pre_vol(l, i, 1..10)

struct mod_trees {
    int pd_ot1 = 0; // s, level-of-service summaries; negative: first at the end of a period; 0 off
    int pd_ot2 = 0; // s, periodic flow, turn, tree, signal and plume listings; 0 off
    int pd_ot3 = 0; // never read: always 0
    int pd_ot4 = 0; // read and echoed only
    int np_ot1 = 0; // output instants of rate 1 over the horizon
    int np_ot2 = 0; // output instants of rate 2 over the horizon
    int np_in = 0;  // periods of the future link costs (slot 7); 0 until read
    int pd_in = 0;  // s, period length of the future link costs

    // rgtree(dz, l, vt): next link after l toward macro destination dz for
    // class vt; ortree(dz, oz, vt): first link out of zone node oz.
    TreeTable<TreeLink> rgtree{"rgtree"};
    TreeTable<TreeLink> ortree{"ortree"};
    // Stored trees tr = (vt - 1) * 5 + k, coded like rgtree and ortree.
    TreeTable<TreeLink> tree1l{"tree1l"};
    TreeTable<TreeLink> tree1o{"tree1o"};
    Array2<float>       tree_wt{"tree_wt", kStoredTrees, 2}; // weight, cumulative in the class
    int                 numtree = 0;                         // stored trees in use
    // distre(d, l, 1): next link toward zone node d by length (-1 ends at d,
    // 0 none); distre(d, l, 2): remaining length in 10 m units, -1 unreachable.
    TreeTable<int> distre{"distre"};
    // futcost(l, per, vt): expected link cost of slot 7 in s; sized when read.
    Array3<int> futcost;
    // b_fact(m): weight of the future cost m minutes ahead (0..1), from "fut_wght.dat".
    Array1<float> b_fact{"b_fact", kForecastIntervals};
    // Flow forecast: the interval in s and, per link and interval, the
    // forecast columns 1..10 (inflow count, link time s, start and end queue,
    // exit capacity, outflow count, downstream-limited capacity, unused,
    // acceptance capacity, capacity limit; counts per interval). Declared for
    // every link; the forecast sizes it for the run's links.
    int           ftint = 0;
    Array3<float> pre_vol{"pre_vol", kMaxLinks, kForecastIntervals, kForecastColumns};

    TreeWork    work;        // scratch of the builders
    ForwardWork forward;     // scratch of the per-vehicle forward searches
    int         threads = 1; // threads one class tree build spreads its destinations over

    // Sizes the class and stored trees for the run's macro zones, links and zones.
    void size_trees(int mmazon, int mlnum, int mzones) {
        rgtree.resize(mmazon, mlnum, kClasses);
        ortree.resize(mmazon, mzones, kClasses);
        tree1l.resize(mmazon, mlnum, kStoredTrees);
        tree1o.resize(mmazon, mzones, kStoredTrees);
    }
    void size_distance_trees(int zones, int mlnum) { distre.resize(zones, mlnum, 2); }
};

} // namespace velm
