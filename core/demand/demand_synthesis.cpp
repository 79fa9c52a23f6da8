// Demand synthesised from land use: trip generation per zone and time slice,
// a doubly constrained gravity distribution, a logit split over the vehicle
// classes, a logit spreading over the departure slices, and the demand
// records that replace those of the origin-destination file.
#include "core/demand/demand.h"
#include "core/io/writers.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace velm {

namespace {

constexpr float kImpedanceFloor = 1000.0f; // s, impedance time of a pair without a path
constexpr int   kBalancingPasses = 4;

int zones(const Sim& s) {
    return std::clamp(s.set2.mzones, 0, kMaxZones);
}
int slices(const Sim& s) {
    return std::clamp(s.landuse.ntrpslc, 0, kMaxTripSlices);
}

// The zone-by-zone tables cover the run's zones (trp_gen sizes them; a step
// called on its own gets fresh ones).
void ensure_sized(Sim& s) {
    if (s.landuse.trp_mat.zones() < zones(s)) s.landuse.size_synthesis(zones(s));
}

// The time in s from zone i to destination zone j for class vt on the link
// times of slice sl. The trees give times toward macro-zone centroids
// (odtime column m for macro zone m), so zone j takes the time toward the
// centroid of its own macro zone; a zone outside every macro zone takes
// column j. 0 (no path) where the tree builder has not sized the table that
// far, as before any tree was built.
float od_time(const Sim& s, int i, int j, int vt, int sl) {
    const int   m = std::abs(s.graph1.macrzon(j));
    const int   col = m >= 1 && m <= kMaxMacroZones && s.graph1.mazn(m) >= 1 ? m : j;
    const auto& t = s.feedback.odtime;
    if (t.size() == 0 || i > t.hi(1) || col > t.hi(2) || vt > t.hi(3) || sl > t.hi(4)) return 0.0f;
    return static_cast<float>(t(i, col, vt, sl));
}

// Zone i's own trees and those of its macro zone's centroid are built.
void request_trees(Sim& s, int i) {
    auto& treereq = s.oddat.treereq;
    treereq(i, 1) = 1;
    const int m = std::abs(s.graph1.macrzon(i));
    if (m < 1 || m > kMaxMacroZones) return;
    const int centroid = s.graph1.mazn(m);
    if (centroid >= 1 && centroid <= kMaxZones) treereq(centroid, 2) = 1;
}

// Logit shares of the utilities u into p. The utilities are taken relative to
// the largest, which leaves the shares as they are but keeps the
// exponentials inside single precision, so utilities far below zero (long
// times, large coefficients) still give shares that sum to 1.
template <std::size_t N> void logit(const std::array<float, N>& u, std::array<float, N>& p, int n) {
    float top = u[0];
    for (int k = 1; k < n; ++k) top = std::max(top, u[static_cast<std::size_t>(k)]);
    float sum = 0.0f;
    for (int k = 0; k < n; ++k) {
        p[static_cast<std::size_t>(k)] = std::exp(u[static_cast<std::size_t>(k)] - top);
        sum += p[static_cast<std::size_t>(k)];
    }
    for (int k = 0; k < n; ++k) p[static_cast<std::size_t>(k)] /= sum;
}

} // namespace

void trp_gen(Sim& s) {
    auto&       lu = s.landuse;
    const auto& x = s.graph1.x;
    lu.trp_pro.zero();
    lu.trp_com.zero();
    const int nz = zones(s), ns = slices(s), nu = std::clamp(lu.ntrplnd, 0, kMaxLandUses);
    lu.size_synthesis(nz);
    for (int sl = 1; sl <= ns; ++sl)
        for (int i = 1; i <= nz; ++i) {
            if (!(x(i) > 0.0f)) continue;
            for (int u = 1; u <= nu; ++u)
                for (int c = 1; c <= 2; ++c) {
                    const float v = lu.landuse(i, u) * lu.trprat1(u, c) * lu.trprat2(u, c, sl);
                    lu.trp_com(i, c, u, sl) = v;
                    lu.trp_pro(i, c, sl) += v;
                }
            // Producing zones need trees to leave from, attracting zones need
            // trees to be reached by.
            if (lu.trp_pro(i, 1, sl) > 0.0f || lu.trp_pro(i, 2, sl) > 0.0f) request_trees(s, i);
        }
}

void trp_dis(Sim& s) {
    auto&       lu = s.landuse;
    const auto& x = s.graph1.x;
    ensure_sized(s);
    const int nz = zones(s), ns = slices(s);
    lu.tottrp = 0.0f;
    for (int sl = 1; sl <= kMaxTripSlices; ++sl) lu.trp_sum(sl, 1) = 0.0f;
    lu.sum_od.zero();

    const auto         n = static_cast<std::size_t>(nz) + 1;
    std::vector<float> a(n), b(n), row(n), col(n);
    for (int sl = 1; sl <= ns; ++sl) {
        float k = 1.0f;
        for (int pass = 1; pass <= kBalancingPasses; ++pass) {
            float total = 0.0f;
            std::fill(row.begin(), row.end(), 0.0f);
            std::fill(col.begin(), col.end(), 0.0f);
            float sum_p = 0.0f, sum_a = 0.0f;
            if (pass == 1) {
                k = 1.0f;
                std::fill(a.begin(), a.end(), 1.0f);
                std::fill(b.begin(), b.end(), 1.0f);
                for (int i = 1; i <= nz; ++i) {
                    sum_p += lu.trp_pro(i, 1, sl);
                    sum_a += lu.trp_pro(i, 2, sl);
                }
            }
            for (int i = 1; i <= nz; ++i) {
                if (!(x(i) > 0.0f)) continue;
                for (int j = 1; j <= nz; ++j) {
                    float times = 0.0f;
                    for (int vt = 1; vt <= kClasses; ++vt) times += od_time(s, i, j, vt, sl);
                    float c = 0.2f * times; // mean over the five classes
                    if (c <= 0.0f) c = kImpedanceFloor;
                    const float f = 1.0f / c;
                    const auto  ui = static_cast<std::size_t>(i), uj = static_cast<std::size_t>(j);
                    const float t =
                        k * a[ui] * b[uj] * lu.trp_pro(i, 1, sl) * lu.trp_pro(j, 2, sl) * f;
                    lu.trp_mat(i, j, sl, 1, 1) = t;
                    row[ui] += t;
                    col[uj] += t;
                    total += t;
                    if (pass == kBalancingPasses) {
                        lu.trp_sum(sl, 1) += t;
                        lu.sum_od(i, j) += t;
                    }
                }
            }
            if (pass == 1) {
                // Pass 2 then gives the mean of the total productions and
                // attractions; a slice whose first pass is empty stays empty.
                k = total > 0.0f ? ((sum_p + sum_a) / 2.0f) / total : 0.0f;
                continue;
            }
            for (int z = 1; z <= nz; ++z) {
                const auto uz = static_cast<std::size_t>(z);
                if (row[uz] > 0.0f) a[uz] = a[uz] * lu.trp_pro(z, 1, sl) / row[uz];
                if (col[uz] > 0.0f) b[uz] = b[uz] * lu.trp_pro(z, 2, sl) / col[uz];
            }
        }
        lu.tottrp += lu.trp_sum(sl, 1);
    }
}

void mod_shf(Sim& s) {
    auto&       lu = s.landuse;
    const auto& m = s.modshf;
    ensure_sized(s);
    const int nz = zones(s), ns = slices(s);
    lu.trp_tot.zero();
    std::array<float, kClasses> u{}, p{};
    for (int sl = 1; sl <= ns; ++sl) {
        if (!(lu.trp_sum(sl, 1) > 0.0f)) continue;
        for (int j = 1; j <= nz; ++j)
            for (int k = 1; k <= nz; ++k) {
                if (j == k) continue;
                // Whole trips only: the fraction of a trip is dropped.
                const float trips = std::trunc(lu.trp_mat(j, k, sl, 1, 1));
                if (!(trips > 0.0f)) continue;
                for (int vt = 1; vt <= kClasses; ++vt)
                    u[static_cast<std::size_t>(vt - 1)] =
                        m.modcon(vt, 1) + m.timcof * od_time(s, j, k, vt, sl);
                logit(u, p, kClasses);
                for (int vt = 1; vt <= kClasses; ++vt) {
                    const float v = p[static_cast<std::size_t>(vt - 1)] * trips;
                    lu.trp_mat(j, k, sl, vt, 2) = v;
                    lu.trp_tot(j, k, vt) += v;
                }
            }
    }
}

void peaksprd(Sim& s) {
    auto&       lu = s.landuse;
    const auto& m = s.modshf;
    ensure_sized(s);
    const int                         nz = zones(s), ns = slices(s);
    std::array<float, kMaxTripSlices> u{}, prob{};
    for (int i = 1; i <= nz; ++i)
        for (int j = 1; j <= nz; ++j) {
            if (i == j) continue;
            for (int vt = 1; vt <= kClasses; ++vt) {
                if (!(lu.trp_tot(i, j, vt) >= 1.0f)) continue;
                for (int s1 = 1; s1 <= ns; ++s1) {
                    for (int s2 = 1; s2 <= ns; ++s2) {
                        const std::int64_t shift = static_cast<std::int64_t>(std::abs(s1 - s2)) *
                                                   static_cast<std::int64_t>(lu.dtrpslc); // s
                        u[static_cast<std::size_t>(s2 - 1)] =
                            m.modcon(vt, 2) * od_time(s, i, j, vt, s2) +
                            m.modcon(vt, 3) * static_cast<float>(shift);
                    }
                    logit(u, prob, ns);
                    const float desired = lu.trp_mat(i, j, s1, vt, 2);
                    for (int s2 = 1; s2 <= ns; ++s2)
                        lu.trp_mat(i, j, s2, vt, 3) +=
                            prob[static_cast<std::size_t>(s2 - 1)] * desired;
                }
            }
            for (int sl = 1; sl <= ns; ++sl) {
                float sum = 0.0f;
                for (int vt = 1; vt <= kClasses; ++vt) sum += lu.trp_mat(i, j, sl, vt, 3);
                lu.trp_slc(i, j, sl) = sum;
            }
        }
}

void genfile4(Sim& s) {
    auto&       od = s.oddat;
    const auto& lu = s.landuse;
    ensure_sized(s);
    const int nz = zones(s), ns = slices(s);
    od.fodp = 1;
    od.fodt = 0;
    od.lodt = kNoWindowEnd;
    od.o.fill(-1); // the records of the origin-destination file are dropped

    int          n = 0;
    std::int64_t last_end = 0;
    bool         full = false;
    for (int sl = 1; sl <= ns && !full; ++sl) {
        if (!(lu.trp_sum(sl, 1) > 0.0f)) continue;
        const std::int64_t start = static_cast<std::int64_t>(sl - 1) * lu.dtrpslc;
        const std::int64_t end = static_cast<std::int64_t>(sl) * lu.dtrpslc;
        for (int j = 1; j <= nz && !full; ++j)
            for (int k = 1; k <= nz; ++k) {
                const float trips = j == k ? 0.0f : lu.trp_slc(j, k, sl);
                if (!(trips > 0.0f)) continue;
                if (n == kMaxOdPairs) {
                    wfree(s.units, kUnitRunLog, " ERROR: ");
                    wfree(s.units, kUnitRunLog, " Synthesised demand needs more than", kMaxOdPairs,
                          " O-D records; the rest are not generated");
                    s.errcount.errt1 += 1;
                    full = true;
                    break;
                }
                ++n;
                od.o(n) = j;
                od.d(n) = k;
                od.numod(n) = trips;
                od.rand(n) = lu.ranfac;
                od.demstr(n) = static_cast<float>(start);
                od.demend(n) = static_cast<float>(end);
                od.profr(n) = 0.0f;
                od.veheq(n) = 1.0f;
                od.vehocc(n) = 1.0f;
                od.vehper1(n) = 1;
                od.noshare(n) = 0;
                float cum = 0.0f;
                for (int vt = 1; vt <= kClasses; ++vt) {
                    const float q = lu.trp_mat(j, k, sl, vt, 3) / trips;
                    cum += q;
                    od.kvtyp(n, vt, 1) = q;
                    od.kvtyp(n, vt, 2) = cum;
                    od.odcol(n, vt) = 2;
                }
                od.kvtyp(n, kClasses, 2) = 1.0f;
                last_end = std::max(last_end, end);
            }
    }
    od.numodp = n;
    od.maodp = n;
    od.lodp = n;
    od.max_od_time = static_cast<int>(std::min<std::int64_t>(last_end, INT_MAX));
    int totveh = 0;
    demtot(s, totveh);
}

} // namespace velm
