// The expected future link costs (slot 7) looked up at the moment a vehicle
// will reach a link, and the weights by minutes ahead that balance future
// against current costs.
#include "core/routing/routing.h"

#include "core/io/free_reader.h"
#include "core/io/writers.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace {

constexpr int   kMaxMinutes = 120;
constexpr int   kRoundUpAbove = 30; // s past a whole minute that count as the next one
constexpr int   kFileUnit = 1;
constexpr float kNearWeight = 0.2f;    // weight of the future cost right now
constexpr float kFarWeight = 0.8f;     // weight it tends to far ahead
constexpr float kApproachRate = 0.05f; // per minute
constexpr float kSlowestRate = 0.001f; // per minute, for rates given as 0 or below

float future_cost(const Sim& s, int nl, int per, int vt) {
    const auto& fc = s.trees.futcost;
    if (fc.size() == 0 || nl < 1 || nl > fc.hi1() || per < 1 || per > fc.hi2() || vt < 1 ||
        vt > fc.hi3())
        return 0.0f;
    return static_cast<float>(fc(nl, per, vt));
}

} // namespace

void minute(Sim& s, int node, int nl, const Array1<float>& timeto, float& linktt, int& minut,
            int vt) {
    const float ahead = node >= timeto.lo() && node <= timeto.hi() ? timeto(node) : 0.0f;
    const int   pd_in = s.trees.pd_in;
    const int   np_in = std::max(s.trees.np_in, 1);
    if (pd_in <= 0) {
        // Without periods there is one cost per link.
        linktt = future_cost(s, nl, 1, vt);
    } else {
        const int   inttime = static_cast<int>(ahead + static_cast<float>(s.control.t + pd_in / 2));
        const float weight2 = static_cast<float>(inttime % pd_in) / static_cast<float>(pd_in);
        const float weight1 = 1.0f - weight2;
        int         t1 = std::max(inttime / pd_in, 1);
        int         t2 = t1 + 1;
        if (t1 >= np_in) t1 = t2 = np_in;
        linktt = future_cost(s, nl, t1, vt) * weight1 + future_cost(s, nl, t2, vt) * weight2;
    }
    const int secs = static_cast<int>(ahead);
    int       m = secs / 60;
    if (secs % 60 > kRoundUpAbove) ++m;
    minut = std::clamp(m, 1, kMaxMinutes);
}

void treebalance(Sim& s) {
    Units& u = s.units;
    float  a = kNearWeight, b = kFarWeight, c = kApproachRate;
    if (u.exists("fut_wght.dat") && u.open_read(kFileUnit, "fut_wght.dat")) {
        wfree(u, kUnitRunLog, " Reading parameters for vehicle type 3 ");
        FreeReader  in(u.in(kFileUnit));
        std::string title;
        in.text_line(title);
        wfree(u, kUnitRunLog, " Reading future time factors file:", fmt_a(title, 50));
        float ra = a, rb = b, rc = c;
        // Values that do not read keep their defaults.
        in.start_record();
        if (in.next(ra) == ReadResult::ok) {
            a = ra;
            if (in.next(rb) == ReadResult::ok) {
                b = rb;
                if (in.next(rc) == ReadResult::ok) c = rc;
            }
        }
        u.close(kFileUnit);
    }
    a = std::clamp(a, 0.0f, 1.0f);
    b = std::min(std::max(b, a), 1.0f);
    if (c <= 0.0f) c = kSlowestRate;
    c = std::min(c, 1.0f);
    for (int m = 1; m <= kMaxMinutes; ++m)
        s.trees.b_fact(m) = a + (b - a) * (1.0f - std::exp(-c * static_cast<float>(m)));
}

} // namespace velm
