// Road pricing and generalised route costs: the toll file with the values of
// time, the tolls in force, the cost a class tree is built on, and the
// route-cost bias factors per link.
#include "core/driver/random.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace velm {

namespace {

constexpr const char* kTollFile = "multi_objective_routing.dat";
constexpr const char* kBiasFile = "biasfact.dat";
constexpr int         kPerPassage = 1;      // toltyp: a fixed toll per passage
constexpr float       kTinyPrice = 0.0001f; // a price below this makes the energy term vanish
constexpr float       kLowQuantile = 0.01f;
constexpr float       kHighQuantile = 0.99f;

std::string f10_2(std::span<const float> v) {
    std::string out;
    for (float x : v) out += fmt_f(x, 10, 2);
    return out;
}

// Reads one record of reals into v.
bool read_reals(FreeReader& in, std::span<float> v) {
    in.start_record();
    return in.next(v) == ReadResult::ok;
}

struct TollReader {
    Sim&        s;
    FreeReader& in;

    bool class_line(Array2<float>& table, int col, const char* label) {
        std::array<float, kClasses> v{};
        if (!read_reals(in, v)) return false;
        for (int c = 1; c <= kClasses; ++c) table(c, col) = v[static_cast<std::size_t>(c - 1)];
        s.units.line(kUnitSummary, label + f10_2(v));
        return true;
    }

    bool read_all() {
        auto&       tp = s.tolplaz;
        Units&      u = s.units;
        std::string title;
        if (!in.text_line(title)) return false;
        wfree(u, kUnitSummary, "     - toll plaza file name : ", fmt_a(title, kShortTitleChars));
        if (!class_line(tp.sectol, 1, "     - Mean value of time ($/hr): ")) return false;
        if (!class_line(tp.sectol, 2, "     - COV of  value of toll    : ")) return false;
        {
            std::array<float, kClasses> v{};
            if (!read_reals(in, v)) return false;
            for (int c = 1; c <= kClasses; ++c)
                tp.routing_alphas(c) = v[static_cast<std::size_t>(c - 1)];
            u.line(kUnitSummary, "     - Routing Alphas    : " + f10_2(v));
        }
        {
            std::array<float, 2> v{};
            if (!read_reals(in, v)) return false;
            tp.cost_fuel = v[0];
            tp.cost_energy = v[1];
            u.line(kUnitSummary, "     - Fuel and Energy costs    : " + f10_2(v));
        }
        double count = 0;
        if (in.record(count) != ReadResult::ok) return false;
        int n = 0;
        if (!truncate_to_int(count, n)) return false;
        tp.ntolrat = n;
        wfree(u, kUnitSummary, "     - number of toll rates: ", n);
        for (int i = 1; i <= n; ++i)
            if (!entry()) return false;
        return true;
    }

    // entry, link, type, start, end, five tolls
    bool entry() {
        auto&                  tp = s.tolplaz;
        std::array<double, 10> v{};
        in.start_record();
        for (auto& x : v)
            if (in.next(x) != ReadResult::ok) return false;
        int e = 0, link = 0, type = 0, start = 0, end = 0;
        if (!truncate_to_int(v[0], e) || !truncate_to_int(v[1], link)) return false;
        if (e < 1 || e > kMaxTollEntries) {
            wfree(s.units, kUnitRunLog, "  Toll rate entry:", e, " is outside of range", 1, " to ",
                  kMaxTollEntries);
            return false;
        }
        if (link < 1 || link > kMaxLinks) {
            wfree(s.units, kUnitRunLog, "  Toll rate entry:", e, " on link:", link,
                  " is outside of link range:", 1, " to ", kMaxLinks);
            return false;
        }
        if (!truncate_to_int(v[2], type) || !truncate_to_int(v[3], start) ||
            !truncate_to_int(v[4], end))
            return false;
        tp.tollnk(e) = link;
        tp.toltyp(e) = type;
        tp.toltim(e, 1) = start;
        tp.toltim(e, 2) = end;
        std::array<float, kClasses> tolls{};
        for (int c = 1; c <= kClasses; ++c) {
            tolls[static_cast<std::size_t>(c - 1)] =
                static_cast<float>(v[static_cast<std::size_t>(4 + c)]);
            tp.tolrat(e, c) = tolls[static_cast<std::size_t>(c - 1)];
        }
        tp.mtolrat = std::max(tp.mtolrat, e);
        Units& u = s.units;
        u.line(kUnitSummary, "      > Toll:" + fmt_i(e, 5) + " Link:" + fmt_i(link, 6) +
                                 " Toll Type:" + fmt_i(type, 3));
        u.line(kUnitSummary,
               "        - Start Time :" + fmt_i(start, 6) + " - End Time:" + fmt_i(end, 6));
        u.line(kUnitSummary, "       -Toll Values:" + f10_2(tolls));
        return true;
    }
};

// The toll of entry e for class c: fixed, or per km of its link.
float entry_toll(const Sim& s, int e, int c) {
    const auto& tp = s.tolplaz;
    const float rate = tp.tolrat(e, c);
    if (tp.toltyp(e) == kPerPassage) return rate;
    const int link = tp.tollnk(e);
    return link >= 1 && link <= kMaxLinks ? rate * s.link4.llength(link) : 0.0f;
}

} // namespace

void rdtolplz(Sim& s) {
    auto&  tp = s.tolplaz;
    Units& u = s.units;
    section_heading(u, kUnitSummary, " 12. Toll plaza - Road pricing inputs  ");
    tp.reset();
    tp.vehtol.zero();

    bool ok = false;
    if (u.open_read(kUnitInput, netin::input_name(s, kTollFile))) {
        wfree(u, kUnitSummary, "     - toll plaza properties file opened ");
        FreeReader in(u.in(kUnitInput));
        TollReader rd{s, in};
        ok = rd.read_all();
        u.close(kUnitInput);
    }
    if (ok) {
        wfree(u, kUnitSummary, "     - input of toll plaza rates complete ");
    } else {
        // Values of time, weights and prices read before the failure stay.
        wfree(u, kUnitSummary, "     - number of toll plazas or links set to 0");
        tp.ntolrat = 0;
        tp.mtolrat = 0;
    }
    index_tolls(s);
    wfree(u, kUnitSummary, "     ");
}

void settolplz(Sim& s, int t) {
    auto& tp = s.tolplaz;
    tp.curtol.zero();
    const int last = std::min(tp.mtolrat, kMaxTollEntries);
    for (int e = 1; e <= last; ++e) {
        if (!(tp.toltim(e, 1) <= t && t < tp.toltim(e, 2))) continue;
        const int link = tp.tollnk(e);
        if (link < 1 || link > kMaxLinks) continue;
        for (int c = 1; c <= kClasses; ++c)
            tp.curtol(link, c) = std::max(tp.curtol(link, c), entry_toll(s, e, c));
    }
}

void index_tolls(Sim& s) {
    auto&     tp = s.tolplaz;
    const int last = std::min(tp.mtolrat, kMaxTollEntries);
    tp.by_link_first.assign(static_cast<std::size_t>(kMaxLinks + 2), 0);
    tp.by_link_entry.clear();
    // Counted per link, then placed in entry order behind each link's start.
    for (int e = 1; e <= last; ++e) {
        const int link = tp.tollnk(e);
        if (link >= 1 && link <= kMaxLinks) ++tp.by_link_first[static_cast<std::size_t>(link + 1)];
    }
    for (int l = 1; l <= kMaxLinks + 1; ++l)
        tp.by_link_first[static_cast<std::size_t>(l)] +=
            tp.by_link_first[static_cast<std::size_t>(l - 1)];
    tp.by_link_entry.resize(static_cast<std::size_t>(tp.by_link_first.back()));
    std::vector<int> next(tp.by_link_first.begin(), tp.by_link_first.end() - 1);
    for (int e = 1; e <= last; ++e) {
        const int link = tp.tollnk(e);
        if (link >= 1 && link <= kMaxLinks)
            tp.by_link_entry[static_cast<std::size_t>(next[static_cast<std::size_t>(link)]++)] = e;
    }
    tp.by_link = true;
}

void settolveh(Sim& s, int t1, int t2, int link, int c, float& toll) {
    const auto& tp = s.tolplaz;
    toll = 0.0f;
    if (c < 1 || c > kClasses) return;
    auto charge = [&](int e) {
        if (tp.tollnk(e) == link && tp.toltim(e, 1) < t2 && tp.toltim(e, 2) > t1)
            toll = std::max(toll, entry_toll(s, e, c));
    };
    if (tp.by_link) {
        if (link < 1 || link > kMaxLinks) return;
        const int e1 = tp.by_link_first[static_cast<std::size_t>(link + 1)];
        for (int i = tp.by_link_first[static_cast<std::size_t>(link)]; i < e1; ++i)
            charge(tp.by_link_entry[static_cast<std::size_t>(i)]);
        return;
    }
    const int last = std::min(tp.mtolrat, kMaxTollEntries);
    for (int e = 1; e <= last; ++e) charge(e);
}

void add_toll(Sim& s, int t1, int t2, int vt, const Array1<float>& object1, Array1<float>& object2,
              float& percent) {
    if (vt < 1 || vt > kClasses) return;
    const auto& tp = s.tolplaz;
    percent = std::clamp(percent, kLowQuantile, kHighQuantile);
    float       v = 0.0f;
    const float mean = tp.sectol(vt, 1);
    if (mean > 0.0f) {
        float q = percent;
        lognorm(mean, tp.sectol(vt, 2), q, v);
    }
    // Money becomes seconds through the value of time; without a positive
    // value of time a money term counts nothing.
    const auto seconds = [v](float money) {
        return v > 0.0f && std::isfinite(v) ? kSecondsPerHour * money / v : 0.0f;
    };
    const int   method = s.set1.tremet(vt);
    const float k = s.vehper.engine_type(vt) == kBatteryElectric ? tp.cost_energy : tp.cost_fuel;
    const float a = tp.routing_alphas(vt);
    const bool  pricing = tp.ntolrat > 0;
    const bool  eco = method == 9 || method == 10;
    const bool  multi = method == 2 || method == 3;
    if (k < kTinyPrice && ((eco && pricing) || (multi && a > 0.0f))) {
        // Said once per cost vector rather than once per link.
        wfree(s.units, kUnitConsole,
              eco ? "[Warning] The cost Factor for the Eco-routing 9 should not be close to zero."
                  : "[Warning] The cost Factor for the Eco-routing 2 Multi-Objective should not be "
                    "close to zero.");
        wfree(s.units, kUnitConsole, "[Warning] Check Documentation.");
    }
    const int mlnum = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= mlnum; ++l) {
        if (!(s.link4.llength(l) > 0.0f)) continue;
        float toll = 0.0f;
        if (pricing) settolveh(s, t1, t2, l, vt, toll);
        const float e = s.link1.eco(l, vt);
        const float b = object1(l);
        if (eco) {
            object2(l) = pricing ? seconds(toll) + seconds(e * k) : b;
        } else if (multi) {
            object2(l) = (1.0f - a) * b + seconds(a * e * k);
            if (pricing) object2(l) += seconds(toll);
        } else {
            object2(l) = 0.0f;
        }
    }
}

void readbias(Sim& s) {
    auto&  biasfac = s.link4.biasfac;
    Units& u = s.units;
    section_heading(u, kUnitSummary, " 16. Bias Factor Input Processing ");
    auto defaults = [&] {
        for (int l = 1; l <= kMaxLinks; ++l) {
            biasfac(l, 1) = 0.0f;
            biasfac(l, 2) = 1.0f;
        }
    };
    defaults();
    const std::string name = netin::input_name(s, kBiasFile);
    wfree(u, kUnitSummary, "    Reading bias factor customization file",
          fmt_a(name, kFullNameChars));

    auto read_all = [&]() -> bool {
        if (!u.open_read(kUnitInput, name)) return false;
        FreeReader  in(u.in(kUnitInput));
        std::string title;
        if (!in.text_line(title)) return false;
        wfree(u, kUnitSummary, "     - Bias factor file   : ", fmt_a(title, kShortTitleChars));
        double count = 0;
        int    n = 0;
        if (in.record(count) != ReadResult::ok || !truncate_to_int(count, n)) return false;
        wfree(u, kUnitSummary, "     - Num of bias factors: ", n);
        for (int i = 1; i <= n; ++i) {
            double link_v = 0;
            float  add = 0.0f, mult = 0.0f;
            int    link = 0;
            if (in.record(link_v, add, mult) != ReadResult::ok || !truncate_to_int(link_v, link))
                return false;
            if (link < 1 || link > kMaxLinks) {
                wfree(u, kUnitRunLog, " Bias factor record", i, " names link", link,
                      " outside the link range", 1, " to ", kMaxLinks);
                return false;
            }
            biasfac(link, 1) = add;
            biasfac(link, 2) = mult;
        }
        return true;
    };
    const bool ok = read_all();
    u.close(kUnitInput);
    if (ok) {
        wfree(u, kUnitSummary, "     - Bias factor input complete ");
    } else {
        wfree(u, kUnitSummary, "       Error reading the bias factor file");
        wfree(u, kUnitSummary, "     - Bias factors set to defaults");
        defaults();
    }
    wfree(u, kUnitSummary, "    ");
}

} // namespace velm
