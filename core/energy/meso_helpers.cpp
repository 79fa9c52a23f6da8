// Cruising-fuel search and mesoscopic link helpers.
#include "core/energy/meso_helpers.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace velm {

namespace {
constexpr double kKwPerNKmh = 1.0 / 3600.0;    // N x km/h -> kW
constexpr double kKw2PerNKmh2 = 1.0 / 1.296e7; // (N x km/h)^2 -> kW^2
constexpr double kAirTerm = 0.047285;          // half the air density over 3.6^2
constexpr double kCruiseStart = 10000.0;       // the search's starting best value
constexpr double kYieldCriticalGap = 4.5;      // tc of the yield-sign headway
} // namespace

double funcx(double v, double al0, double al1, double al2, double b2, double b_bar, double b3) {
    const double r = b_bar + b3 * v + b2 * v * v; // N
    return al0 / v + al1 * r * kKwPerNKmh + al2 * r * r * v * kKw2PerNKmh2;
}

int determine_best_cruising_velocity(double m, double g, double theta, double, double cd, double ch,
                                     double af, double cr0, double cr1, double cr2, double al0,
                                     double al1, double al2) {
    const double b1 = m * g * std::sin(theta);
    const double b2 = af * cd * kAirTerm * ch;
    const double b3 = cr1 * m * g * std::cos(theta) * cr0 / 1000.0;
    const double b4 = cr2 * m * g * std::cos(theta) * cr0 / 1000.0;
    const double b_bar = b1 + b4;
    double       best = kCruiseStart;
    int          v = 1;
    for (; v < kCruiseSearchTop; ++v) {
        const double res = funcx(v, al0, al1, al2, b2, b_bar, b3);
        if (!(res < best)) break;
        best = res;
    }
    return v;
}

std::optional<MesoConst> compute_meso_const_single(double uf, double uc, double qc, double kj) {
    if (!(uf > 0 && uc > 0 && qc > 0 && kj > 0) || uc > uf) return std::nullopt;
    MesoConst    k;
    const double w = uc * uc * kj;
    k.c1 = (2 * uc - uf) * uf / w;
    k.c2 = (uf - uc) * (uf - uc) * uf / w;
    k.c3 = 1 / qc - uf / w;
    k.const_1 = uf * k.c3 - k.c1;
    k.const_2 = -2 * k.c1 - 2 * uf * k.c3;
    k.const_3 = 2 * uf * k.c1 * k.c3 + 4 * k.c3 * k.c2 + k.c1 * k.c1 + uf * uf * k.c3 * k.c3;
    return k;
}

double compute_avg_spd(double uf, double density, const MesoConst& k) {
    if (density <= 0) return uf;
    double u;
    if (k.c3 == 0) {
        // 1/density = c1 + c2/(uf - u): linear in u.
        const double gap = 1 - k.c1 * density;
        u = gap > 0 ? uf - k.c2 * density / gap : 0.0;
    } else {
        const double root = 1 + k.const_2 * density + k.const_3 * density * density;
        u = (density * k.const_1 + 1 - std::sqrt(std::max(root, 0.0))) / (2 * k.c3 * density);
    }
    return std::clamp(u, 0.0, uf);
}

std::optional<double> compute_duration_in_dc(double avg_spd_ms, double length_m) {
    if (!(avg_spd_ms > 0)) return std::nullopt;
    return length_m / avg_spd_ms * 10.0;
}

std::optional<double> get_traffic_light_headway(double green_time, double cycle_length,
                                                double saturation_flow_rate, int nb_lanes) {
    if (!(green_time > 0 && cycle_length > 0 && saturation_flow_rate > 0 && nb_lanes > 0))
        return std::nullopt;
    return 1.0 / (nb_lanes * green_time / cycle_length * saturation_flow_rate);
}

std::optional<double> get_stop_sign_headway(double saturation_flow_rate, int nb_lanes) {
    if (!(saturation_flow_rate > 0 && nb_lanes > 0)) return std::nullopt;
    return 1.0 / (nb_lanes * saturation_flow_rate);
}

std::optional<double> get_yield_sign_headway(double opposing_flow_rate, int nb_lanes,
                                             double saturation_flow_rate) {
    if (!(opposing_flow_rate > 0 && saturation_flow_rate > 0 && nb_lanes > 0)) return std::nullopt;
    const double q0 = opposing_flow_rate;
    const double tf = 1.0 / saturation_flow_rate;
    return 1.0 / (nb_lanes * q0 * std::exp(-q0 / kYieldCriticalGap) / (1 - std::exp(-q0 / tf)));
}

std::optional<std::string> meso_allocate_memory(Sim& s) {
    auto& m = s.meso;
    if (m.allocated) return std::string("Attempting to allocate already allocated variable");
    const int n = s.link2.mlnum;
    try {
        mod_meso fresh;
        fresh.const_1 = Array1<float>("const_1", n);
        fresh.const_2 = Array1<float>("const_2", n);
        fresh.const_3 = Array1<float>("const_3", n);
        fresh.c3 = Array1<float>("c3", n);
        fresh.uf = Array1<float>("uf", n);
        fresh.density = Array1<float>("density", n);
        fresh.length = Array1<float>("length", n);
        fresh.allocated = true;
        m = std::move(fresh);
    } catch (const std::bad_alloc&) {
        const unsigned long bytes = 7ul * static_cast<unsigned long>(n) * sizeof(float);
        return "Error allocating " + std::to_string(bytes) + " bytes";
    }
    return std::nullopt;
}

std::optional<std::string> meso_initialize_parameters(Sim& s) {
    auto& m = s.meso;
    if (!m.allocated) return std::string("The mesoscopic link tables are not allocated");
    const auto& sv = s.link1.spdvol;
    for (int l = 1; l <= m.c3.hi(); ++l) {
        m.density(l) = 0.0f;
        m.length(l) = 0.0f;
        m.const_1(l) = m.const_2(l) = m.const_3(l) = m.c3(l) = m.uf(l) = 0.0f;
        if (s.link4.llength(l) < 0.0f) continue;
        const auto k = compute_meso_const_single(sv(l, 7), sv(l, 4), sv(l, 6), sv(l, 5));
        if (!k) continue;
        m.const_1(l) = static_cast<float>(k->const_1);
        m.const_2(l) = static_cast<float>(k->const_2);
        m.const_3(l) = static_cast<float>(k->const_3);
        m.c3(l) = static_cast<float>(k->c3);
        m.uf(l) = sv(l, 7);
    }
    return std::nullopt;
}

} // namespace velm
