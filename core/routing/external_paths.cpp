// External paths: the routing trees of master slots 8 and 9 loaded period by
// period, and after each load the trips of the slot's routing method that
// depart in that period traced on them into the path store.
#include "core/io/writers.h"
#include "core/routing/routing.h"
#include "core/routing/tree_schedule.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace velm {

namespace {

constexpr int kTraceFromOrigin = 2; // tr_tree: trace a trip from its origin
constexpr int kOpenFile = 1;        // read8: open the file and read its header first
constexpr int kNextPeriod = 2;      // read8: the next period of the open file
constexpr int kLastSecond = 86400;  // the last period ends here, and no window beyond it

// The stored trees and weights of the classes of routing method imet, kept
// before a period is read so that a period that breaks off can be undone:
// the trips traced afterwards then follow the last complete period.
class TreeSnapshot {
  public:
    void take(const Sim& s, int imet) {
        const auto& tr = s.trees;
        trees_.clear();
        o_.clear();
        l_.clear();
        wt_.clear();
        for (int c = 1; c <= kClasses; ++c) {
            if (s.set1.tremet(c) != imet) continue;
            for (int k = 1; k <= kTreesPerClass; ++k) {
                const int n = (c - 1) * kTreesPerClass + k;
                trees_.push_back(n);
                append(tr.tree1o, n, o_);
                append(tr.tree1l, n, l_);
                wt_.push_back(tr.tree_wt(n, 1));
                wt_.push_back(tr.tree_wt(n, 2));
            }
        }
        o_shape_ = shape(tr.tree1o);
        l_shape_ = shape(tr.tree1l);
    }
    void restore(Sim& s) const {
        auto& tr = s.trees;
        for (std::size_t i = 0; i < trees_.size(); ++i) {
            const int n = trees_[i];
            put(tr.tree1o, n, i, o_, o_shape_);
            put(tr.tree1l, n, i, l_, l_shape_);
            tr.tree_wt(n, 1) = wt_[2 * i];
            tr.tree_wt(n, 2) = wt_[2 * i + 1];
        }
    }

  private:
    using Table = TreeTable<TreeLink>;
    static std::size_t block(const Table& t) {
        return static_cast<std::size_t>(t.dests()) * static_cast<std::size_t>(t.rows());
    }
    static std::pair<int, int> shape(const Table& t) { return {t.dests(), t.rows()}; }
    // Tree n of a table is one contiguous block of every destination's row.
    static void append(const Table& t, int n, std::vector<TreeLink>& out) {
        if (block(t) == 0 || n > t.trees()) return;
        const TreeLink* first = t.row(1, n);
        out.insert(out.end(), first, first + block(t));
    }
    static void put(Table& t, int n, std::size_t i, const std::vector<TreeLink>& in,
                    std::pair<int, int> was) {
        if (block(t) == 0 || n > t.trees()) return;
        TreeLink* first = t.row(1, n);
        if (shape(t) != was || in.size() < (i + 1) * block(t)) {
            std::fill(first, first + block(t), TreeLink{0}); // nothing to go back to
            return;
        }
        std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(i * block(t)), block(t), first);
    }
    std::vector<int>      trees_;
    std::vector<TreeLink> o_, l_;
    std::vector<float>    wt_;
    std::pair<int, int>   o_shape_, l_shape_;
};

} // namespace

void loadpath(Sim& s, int imet, int t1, int t2) {
    const int tdemand = std::min(s.set2.tdemand, kMaxTrips);
    for (int i = 1; i <= tdemand; ++i) {
        const int vt = s.oddat.vtyp(i);
        if (vt < 1 || vt > kClasses || s.set1.tremet(vt) != imet) continue;
        const float dep = s.vehicle.strtrp(i, 1);
        if (dep < 0.0f || dep >= static_cast<float>(t2) + 1.0f) continue;
        const int t3 = static_cast<int>(dep);
        // A departure at a period's start belongs to the period before; one
        // at 0 s to the first.
        if (t3 > t2 || (t3 <= t1 && !(t1 == 0 && t3 == 0))) continue;
        tr_tree(s, i, kTraceFromOrigin, t3);
    }
}

void read_f(Sim& s, int fnum) {
    Units& u = s.units;
    if (fnum != 8 && fnum != 9) {
        wfree(u, kUnitRunLog, " read_f: slot", fnum, " holds no external trees");
        return;
    }
    const int imet = fnum == 8 ? routing::kExternalSlot8Method : routing::kExternalSlot9Method;
    const std::string name(s.filenam.files(fnum));
    int               ok = 0, np = 0, pdur = 0, pernum = 0;
    TreeSnapshot      before;
    before.take(s, imet);
    read8(s, name, kOpenFile, ok, np, pdur, pernum, fnum);
    if (ok != 1) before.restore(s);
    if (ok == 1 && (np < 1 || pdur < 1)) {
        // The header promises no period a trip could depart in.
        wfree(u, kUnitRunLog, " External tree file of slot", fnum, " gives", np, " periods of",
              pdur, " s: no trip traced");
        ++s.errcount.numerr;
        s.pathnam.filuse[static_cast<std::size_t>(fnum)] = 0;
        before.restore(s);
        ok = 0;
    }
    for (int i = 1; ok == 1 && i <= np; ++i) {
        const long t1 = static_cast<long>(i - 1) * pdur;
        if (t1 >= kLastSecond) break;
        const int t2 =
            i == np ? kLastSecond
                    : static_cast<int>(std::min<long>(static_cast<long>(i) * pdur, kLastSecond));
        loadpath(s, imet, static_cast<int>(t1), t2);
        if (i == np) break;
        before.take(s, imet);
        read8(s, name, kNextPeriod, ok, np, pdur, pernum, fnum);
        if (ok != 1) {
            before.restore(s);
            s.pathnam.filuse[static_cast<std::size_t>(fnum)] = 1; // a complete period again
            wfree(u, kUnitRunLog, " External tree file of slot", fnum, ": period", i + 1,
                  " not loaded; trips departing from", t2,
                  " s on keep the trees of the period before");
        }
    }
    if (u.is_open(kUnitInput)) u.close(kUnitInput);
}

} // namespace velm
