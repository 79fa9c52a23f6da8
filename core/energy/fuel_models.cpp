// The per-second fuel models: the speed and acceleration regression and the
// power-based model with its battery-electric and hybrid drives.
#include "core/energy/fuel_models.h"

#include "core/io/writers.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

namespace velm {

namespace {

constexpr float kAirDensity = 1.2256f; // kg/m3
constexpr float kAltitudeCoef = 1.0f;
constexpr float kUnfilled = -0.5f;      // battery state below this: not filled yet
constexpr float kNoRegenAcc = -0.0001f; // m/s2: regeneration only when braking harder
constexpr float kVspDecelAcc = -0.01f;  // m/s2: deceleration sums only when braking harder
constexpr float kOldRegenAcc = -0.001f;

// --- regression model --------------------------------------------------------

// Speed cap, acceleration range and upper acceleration line of a type group.
struct Bounds {
    float vmax, amin, amax, line0, line1;
};
constexpr Bounds kCarBounds{120.0f, -5.0f, 13.0f, 14.383f, 0.0926f};
constexpr Bounds kLightTruckBounds{120.0f, -4.0f, 10.0f, 10.0f, 0.0714f}; // types 2..12
constexpr Bounds kTruckBounds{107.0f, -4.0f, 8.0f, 8.0f, 0.0508f};        // types 22..24
constexpr Bounds kHeavyBounds{96.0f, -3.0f, 7.0f, 10.0f, 0.0824f};        // type 25

void apply(const Bounds& b, float& v, float& a, float& amax) {
    v = std::min(v, b.vmax);
    amax = b.line0 - b.line1 * v;
    a = std::clamp(a, b.amin, b.amax);
}

// --- power model -------------------------------------------------------------

float round_tenth(float x) {
    return std::round(x * 10.0f) / 10.0f;
}

float grade_of(const Sim& s, int l) {
    return l >= 1 && l <= kMaxLinks ? s.lnkgrade.lnkgrade(l) : 0.0f;
}

float wheel_power_kw(const Sim& s, int type, float v, float a, int l) {
    const auto& vp = s.vehper;
    return compute_vehcile_power_at_the_wheels_in_kw(
        v, a, grade_of(s, l), vp.vehmass(type), kGravity, vp.rolcoef(type, 1), vp.rolcoef(type, 2),
        vp.rolcoef(type, 3), vp.dragcoef(type), kAltitudeCoef, vp.frntarea(type));
}

// The trip's battery: its own state once filled, else what its first
// evaluation fills from the vehicle type.
struct Battery {
    float soc, threshold, capacity;
};
Battery battery_of(const Sim& s, int car, int type) {
    const auto& ke = s.kzcpxm_energy;
    const auto& vp = s.vehper;
    Battery     b{ke.veh_soc(car), ke.soc_threshold(car), ke.veh_battery_capacity(car)};
    if (b.soc < kUnfilled) b.soc = ke.initial_soc(type);
    if (b.threshold < kUnfilled) b.threshold = vp.soc_min(type);
    if (b.capacity < kUnfilled) b.capacity = vp.battery_capacity(type);
    return b;
}

void fill_battery(Sim& s, int car, int type) {
    const Battery b = battery_of(s, car, type);
    auto&         ke = s.kzcpxm_energy;
    ke.veh_soc(car) = b.soc;
    ke.soc_threshold(car) = b.threshold;
    ke.veh_battery_capacity(car) = b.capacity;
}

// Battery power (W) of one second on link l (level ground when l is 0).
float battery_power_on(const Sim& s, int l, int type, float v, float a) {
    const auto& vp = s.vehper;
    const float p = wheel_power_kw(s, type, v, a, l) * kWattsPerKw;
    const float eff = vp.transeff(type) * vp.em_eff(type) * vp.battery_eff(type);
    float       pb = 0.0f;
    if (p >= 0.0f) {
        pb = p / eff;
    } else {
        const float r = a < kNoRegenAcc ? 1.0f / std::exp(vp.reg_parm(type) / std::fabs(a)) : 0.0f;
        pb = p * eff * r;
    }
    pb += vp.aux_power(type) * kWattsPerKw;
    const float rating = vp.em_energy(type) * kWattsPerKw;
    return std::clamp(pb, -rating, rating);
}

// Battery power (W) of one second on the slot's current link.
float battery_power(const Sim& s, int vid, int type, float v, float a) {
    return battery_power_on(s, s.oddat.curlnk(vid), type, v, a);
}

// The charge after one second at battery power pb (W). A battery without
// capacity cannot hold a charge: it keeps what it has.
float charge_after(float soc, float capacity, float pb) {
    if (!(capacity > 0.0f)) return soc;
    return std::min(soc - pb / (capacity * kWattsPerKw * kSecondsPerHour), 1.0f);
}

// Hybrid fuel (l/s): the engine idles while the vehicle crawls on electric drive.
float hybrid_fuel(const Sim& s, int type, float v, float p) {
    const auto& ke = s.kzcpxm_energy;
    const float b0 = ke.hybrid_alpha(type, 1), b1 = ke.hybrid_alpha(type, 2),
                b2 = ke.hybrid_alpha(type, 3), b3 = ke.hybrid_alpha(type, 4);
    float fuel = b0 + b1 * p + b3 * v + b2 * p * p;
    if (p < 0.0f) {
        fuel = b0;
        p = 0.0f;
    }
    if (p < ke.hybrid_pa && v <= ke.hybrid_va) fuel = b0;
    return fuel / kMlPerLitre;
}

float conventional_fuel(const Sim& s, int type, float p) {
    const auto& ke = s.kzcpxm_energy;
    const float a0 = ke.kzcpfm_alpha(type, 1);
    if (p < 0.0f) return a0;
    return a0 + ke.kzcpfm_alpha(type, 2) * p + ke.kzcpfm_alpha(type, 3) * p * p;
}

// The two vehicle-specific powers (W/kg) of every engine type.
void specific_power(const Sim& s, int type, int nl, float v, float a, float& tem_val,
                    float& tem_par3) {
    const auto& vp = s.vehper;
    const float eta = vp.transeff(type);
    tem_par3 = v *
               (kGravity * grade_of(s, nl) +
                kGravity * (vp.rolcoef(type, 1) / kRollingScale) *
                    (vp.rolcoef(type, 3) + vp.rolcoef(type, 2) * v) +
                a) /
               (kKmhPerMps * eta);
    tem_val = tem_par3 + v * v * v * (vp.frntarea(type) * vp.dragcoef(type) * kAirDensity) /
                             (eta * vp.vehmass(type) * kSpeedUnits);
}

bool known_engine(int e) {
    return e == kEngineGasoline || e == kEngineDiesel || e == kBatteryElectric ||
           e == kEnginePlugInHybrid || e == kEngineHybrid;
}

void note_odd_engine(Sim& s, int type) {
    const int t = std::clamp(type, 0, kVehicleTypes);
    auto&     logged = s.kzcpxm_energy.odd_engine_logged[static_cast<std::size_t>(t)];
    if (logged) return;
    logged = true;
    wfree(s.units, kUnitRunLog, " Error", kErrEngineType, " vehicle type", type, " engine type",
          s.vehper.engine_type(type), " is not 1, 2, 3, 4 or 6: it uses no fuel and no energy");
}

// Opens trace file `which` on first use; false when traces are not asked for
// or once the file could not be created.
bool trace_ready(Sim& s, int which, int unit, const char* name) {
    if (!s.write_traces) return false;
    int& st = s.kzcpxm_energy.phev_trace[static_cast<std::size_t>(which)];
    if (st == 0) {
        st = s.units.open_write(unit, name) ? 1 : -1;
        if (st < 0)
            wfree(s.units, kUnitRunLog, " Error", kErrTraceFile, " cannot create trace file",
                  std::string(name), "- the run goes on without it");
    }
    return st > 0;
}

constexpr float kCheckSpeed = 50.0f;                    // km/h, level cruise of the check
constexpr float kFuelLow = 2.0f, kFuelHigh = 60.0f;     // l/100 km
constexpr float kEnergyLow = 0.05f, kEnergyHigh = 0.6f; // kWh/km

void warn_cruise(Sim& s, int type, const char* drive, float use, const char* unit, float lo,
                 float hi, const char* hint) {
    if (use >= lo && use <= hi) return;
    std::ostringstream m;
    m << std::fixed << std::setprecision(2) << " Warning: vehicle type " << type << drive
      << " cruising level at 50 km/h uses " << use << ' ' << unit << ", outside " << lo << " to "
      << hi << " - check its coefficients" << hint;
    s.units.line(kUnitRunLog, m.str());
}

} // namespace

void check_cruise_use(Sim& s, int type) {
    const float p = wheel_power_kw(s, type, kCheckSpeed, 0.0f, 0);
    const float per_100km = kSecondsPerHour / kCheckSpeed * 100.0f; // l/s to l/100 km
    const float battery_kwh_km =
        battery_power_on(s, 0, type, kCheckSpeed, 0.0f) / kWattsPerKw / kCheckSpeed;
    const char* ml = " (a hybrid's are in ml/s)";
    switch (s.vehper.engine_type(type)) {
    case kEngineGasoline:
    case kEngineDiesel:
        warn_cruise(s, type, "", conventional_fuel(s, type, p) * per_100km, "l/100 km", kFuelLow,
                    kFuelHigh, " (l/s)");
        break;
    case kBatteryElectric:
        warn_cruise(s, type, "", battery_kwh_km, "kWh/km", kEnergyLow, kEnergyHigh, "");
        break;
    case kEnginePlugInHybrid:
        warn_cruise(s, type, " on fuel", hybrid_fuel(s, type, kCheckSpeed, p) * per_100km,
                    "l/100 km", kFuelLow, kFuelHigh, ml);
        warn_cruise(s, type, " on its battery", battery_kwh_km, "kWh/km", kEnergyLow, kEnergyHigh,
                    "");
        break;
    case kEngineHybrid:
        warn_cruise(s, type, "", hybrid_fuel(s, type, kCheckSpeed, p) * per_100km, "l/100 km",
                    kFuelLow, kFuelHigh, ml);
        break;
    default:
        break;
    }
}

void environ2(const Sim& s, int vt2, int l, const std::array<float, 2>& spds, float, float& fuelrat,
              std::array<float, kSpecies>& confact) {
    float v = (spds[0] + spds[1]) / 2.0f;
    float a = (spds[1] - spds[0]) + kKmhPerMps * kGravity * grade_of(s, l);
    float amax = 0.0f;
    apply(kCarBounds, v, a, amax);
    if (vt2 >= 2 && vt2 <= 12) apply(kLightTruckBounds, v, a, amax);
    if (vt2 >= 22 && vt2 <= 24) apply(kTruckBounds, v, a, amax);
    if (vt2 == 25) apply(kHeavyBounds, v, a, amax);
    a = std::min(a, amax);
    const int b = a >= 0.0f ? 1 : 2;
    float     vp[kFuelPowers], ap[kFuelPowers];
    vp[0] = ap[0] = 1.0f;
    for (int i = 1; i < kFuelPowers; ++i) {
        vp[i] = vp[i - 1] * v;
        ap[i] = ap[i - 1] * a;
    }
    const auto& k = s.fuel.fuelcoef;
    for (int e = 1; e <= kFuelMeasures; ++e) {
        float x = 0.0f;
        for (int i = 0; i < kFuelPowers; ++i)
            for (int j = 0; j < kFuelPowers; ++j) x += k(vt2, e, b, i, j) * vp[i] * ap[j];
        const float rate = std::exp(x);
        if (e == 1)
            fuelrat = rate;
        else
            confact[static_cast<std::size_t>(e - 2)] = rate;
    }
}

float compute_vehcile_power_at_the_wheels_in_kw(float vehspd_kmh, float veh_acc_ms,
                                                float link_grade, float veh_mass, float gravity,
                                                float cr0, float cr1, float cr2, float cd, float ch,
                                                float af) {
    const float th = std::atan(link_grade);
    const float v = vehspd_kmh;
    const float force =
        veh_mass * veh_acc_ms +
        (cr2 + cr1 * v) * (cr0 / kRollingScale) * veh_mass * gravity * std::cos(th) +
        kDragPerKmh2 * cd * ch * af * v * v + veh_mass * gravity * std::sin(th);
    return force * (v / kKmhPerMps) / kWattsPerKw;
}

void compute_elec_eng_rate(Sim& s, int car, int vid, int veh_type, float vehspd1, float veh_acc,
                           int, float& p_batt) {
    p_batt = battery_power(s, vid, veh_type, vehspd1, veh_acc);
    auto& soc = s.kzcpxm_energy.veh_soc(car);
    soc = charge_after(soc, s.kzcpxm_energy.veh_battery_capacity(car), p_batt);
}

void kzcpxm_fuel_rate(Sim& s, int car, int vid, int veh_type, int nl, float& vehspd, float& veh_acc,
                      int t, float& fuelrat, float& energy_rate, float& tem_val, float& tem_par3) {
    fuelrat = energy_rate = tem_val = tem_par3 = 0.0f;
    vehspd = round_tenth(vehspd);
    veh_acc = round_tenth(veh_acc);
    specific_power(s, veh_type, nl, vehspd, veh_acc, tem_val, tem_par3);
    fill_battery(s, car, veh_type);
    auto&     ke = s.kzcpxm_energy;
    const int engine = s.vehper.engine_type(veh_type);
    float     p_batt = 0.0f;
    switch (engine) {
    case kEngineGasoline:
    case kEngineDiesel:
        fuelrat = conventional_fuel(s, veh_type, wheel_power_kw(s, veh_type, vehspd, veh_acc, nl));
        break;
    case kBatteryElectric:
        compute_elec_eng_rate(s, car, vid, veh_type, vehspd, veh_acc, t, p_batt);
        energy_rate = p_batt / kWattsPerKw;
        break;
    case kEnginePlugInHybrid: {
        const bool electric = ke.veh_soc(car) >= ke.soc_threshold(car);
        if (trace_ready(s, 0, kUnitPhevMode, "phev_mode_trace.txt"))
            wfree(s.units, kUnitPhevMode, "Time=", t, "Car_ID=", car, "SOC=", ke.veh_soc(car),
                  "SOC_BAR=", ke.soc_threshold(car), electric ? "Mode=ELECTRIC" : "Mode=GAS");
        if (electric) {
            compute_elec_eng_rate(s, car, vid, veh_type, vehspd, veh_acc, t, p_batt);
            energy_rate = p_batt / kWattsPerKw;
        } else {
            fuelrat =
                hybrid_fuel(s, veh_type, vehspd, wheel_power_kw(s, veh_type, vehspd, veh_acc, nl));
        }
        if (trace_ready(s, 1, kUnitPhevRate, "phev_rate_trace.txt"))
            wfree(s.units, kUnitPhevRate, "Car_ID =", car, "Fuel_Rate =", fuelrat,
                  "Energy_Rate =", energy_rate);
        break;
    }
    case kEngineHybrid:
        fuelrat =
            hybrid_fuel(s, veh_type, vehspd, wheel_power_kw(s, veh_type, vehspd, veh_acc, nl));
        break;
    default:
        if (!known_engine(engine)) note_odd_engine(s, veh_type);
        break;
    }
}

PowerRates kzcpxm_price(const Sim& s, int car, int vid, int veh_type, int nl, float vehspd,
                        float veh_acc) {
    PowerRates  r;
    const float v = round_tenth(vehspd);
    const float a = round_tenth(veh_acc);
    specific_power(s, veh_type, nl, v, a, r.tem_val, r.tem_par3);
    const Battery b = battery_of(s, car, veh_type);
    switch (s.vehper.engine_type(veh_type)) {
    case kEngineGasoline:
    case kEngineDiesel:
        r.fuel = conventional_fuel(s, veh_type, wheel_power_kw(s, veh_type, v, a, nl));
        break;
    case kBatteryElectric:
        r.energy = battery_power(s, vid, veh_type, v, a) / kWattsPerKw;
        break;
    case kEnginePlugInHybrid:
        if (b.soc >= b.threshold)
            r.energy = battery_power(s, vid, veh_type, v, a) / kWattsPerKw;
        else
            r.fuel = hybrid_fuel(s, veh_type, v, wheel_power_kw(s, veh_type, v, a, nl));
        break;
    case kEngineHybrid:
        r.fuel = hybrid_fuel(s, veh_type, v, wheel_power_kw(s, veh_type, v, a, nl));
        break;
    default:
        break;
    }
    return r;
}

void update_kzcpfm_vsp(Sim& s, int vid, int veh_type, float vehspd, float veh_acc, float tem_val,
                       float tem_par3) {
    auto&       sums = s.kzcpxm_energy.veh_vsp_param;
    const float v3 = vehspd * vehspd * vehspd;
    const float f = tem_par3;
    if (tem_val >= 0.0f) {
        sums(vid, 1) += v3;
        sums(vid, 2) += v3 * v3;
        sums(vid, 3) += f;
        sums(vid, 4) += f * f;
        sums(vid, 5) += f * v3;
    }
    if (veh_acc < kVspDecelAcc) {
        const float r = std::exp(-s.vehper.reg_parm(veh_type) / std::fabs(veh_acc));
        sums(vid, 6) += f * r;
        sums(vid, 7) += v3 * r;
    }
    sums(vid, 8) = 1.0f;
}

void kzcpfm_fuel_rate(Sim& s, int car, int vid, int veh_type, float& vehspd, float& veh_acc, int,
                      float& fuelrat, float& energy_rate, float& tem_val, float& tem_par3) {
    constexpr int kOldConventional = 0, kOldElectric = 1, kOldHybrid = 2;
    fuelrat = energy_rate = 0.0f;
    vehspd = round_tenth(s.vehplot.spd(vid, 4));
    veh_acc = round_tenth(s.vehicle.vacc(vid, 2));
    const int l = s.oddat.curlnk(vid);
    specific_power(s, veh_type, l, vehspd, veh_acc, tem_val, tem_par3);
    fill_battery(s, car, veh_type);
    auto&       ke = s.kzcpxm_energy;
    const auto& vp = s.vehper;
    const float m = vp.vehmass(veh_type);
    const float vsp = tem_val;
    auto        conventional = [&] {
        fuelrat = vsp < 0.0f ? ke.kzcpfm_alpha(veh_type, 1)
                                    : ke.kzcpfm_alpha(veh_type, 1) +
                                   ke.kzcpfm_alpha(veh_type, 2) * m * vsp / kWattsPerKw +
                                   ke.kzcpfm_alpha(veh_type, 3) * (m / kKgPerTonne) *
                                       (m / kKgPerTonne) * vsp * vsp;
    };
    auto electric = [&] {
        float e = m * vsp / kSecondsPerHour;
        if (vsp < 0.0f && veh_acc < kOldRegenAcc)
            e *= 1.0f / std::exp(vp.reg_parm(veh_type) / std::fabs(veh_acc));
        energy_rate = e;
        if (ke.veh_battery_capacity(car) > 0.0f)
            ke.veh_soc(car) -= e / (ke.veh_battery_capacity(car) * kSecondsPerHour);
    };
    switch (vp.engine_type(veh_type)) {
    case kOldConventional:
        conventional();
        break;
    case kOldElectric:
        electric();
        break;
    case kOldHybrid:
        if (ke.veh_soc(car) > vp.soc_min(veh_type))
            electric();
        else
            conventional();
        break;
    default:
        break;
    }
}

} // namespace velm
