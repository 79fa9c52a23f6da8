// The 25 vehicle performance types: the built-in table and the optional
// "veh_parameters.dat" that overrides it and selects the energy model.
#include "core/demand/demand.h"
#include "core/demand/demand_files.h"
#include "core/demand/vehicle_type_table.h"
#include "core/driver/errors.h"
#include "core/energy/fuel_models.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <span>
#include <string>

namespace velm {

namespace {

namespace bt = builtin_vehicle_types;

constexpr const char* kParamFile = "veh_parameters.dat";
constexpr int         kTypeFields = 30;
constexpr std::size_t kAccelerationTitleChars = 40;
constexpr float       kMinPedal = 0.05f;
constexpr float       kMaxPedal = 1.0f;
constexpr float       kHybridPa = 10.0f; // kW
constexpr float       kHybridVa = 32.0f; // km/h

// One type record: fields 2..30 into row t.
void store_record(Sim& s, int t, const float (&v)[kTypeFields + 1]) {
    auto& vp = s.vehper;
    auto& en = s.kzcpxm_energy;
    int   engine = 0;
    truncate_to_int(v[2], engine);
    vp.engine_type(t) = engine;
    vp.vehmass(t) = v[3];
    vp.vehlen(t) = v[4];
    vp.axlmass(t) = v[5];
    vp.coeffric(t) = v[6];
    vp.vehkw(t) = v[7];
    vp.em_energy(t) = v[8];
    vp.transeff(t) = v[9];
    vp.dragcoef(t) = v[10];
    vp.frntarea(t) = v[11];
    vp.rolcoef(t, 1) = v[12];
    vp.rolcoef(t, 2) = v[13];
    vp.rolcoef(t, 3) = v[14];
    vp.pedal(t) = v[15];
    vp.gr1(t) = v[16];
    vp.gr2(t) = v[17];
    vp.battery_eff(t) = v[18];
    vp.soc_min(t) = v[19];
    vp.soc_max(t) = v[20];
    en.initial_soc(t) = v[21];
    vp.em_eff(t) = v[22];
    vp.reg_parm(t) = v[23];
    vp.elec_buff(t) = v[24];
    vp.battery_capacity(t) = v[25];
    vp.aux_power(t) = v[26];
    for (int j = 1; j <= 3; ++j) {
        en.kzcpfm_alpha(t, j) = v[26 + j];
        en.hybrid_alpha(t, j) = v[26 + j];
    }
    en.hybrid_alpha(t, 4) = v[30];
}

// Keeps the throttle level within 0.05..1 and says so.
void clamp_pedal(Sim& s, int t, const std::string& name) {
    auto& pedal = s.vehper.pedal;
    if (pedal(t) < kMinPedal) {
        pedal(t) = kMinPedal;
        wfree(s.units, kUnitRunLog, "File: ", fmt_a(name, kFullNameChars));
    } else if (pedal(t) > kMaxPedal) {
        pedal(t) = kMaxPedal;
        wfree(s.units, kUnitRunLog, "File: ", fmt_a(name, kFullNameChars));
        wfree(s.units, kUnitRunLog, "Pedal level is greater than 1.00.",
              " Program sets it to 1.00");
    }
}

// A stop in the parameter file: counted as a fatal error, then the run ends.
[[noreturn]] void parameter_file_fatal(Sim& s) {
    s.units.close(kUnitInput);
    fatal_error(s);
}

// A title line that cannot be read is "no data"; any later line that ends
// early or holds a bad value is a data error at that line.
[[noreturn]] void unreadable(Sim& s, const std::string& name, int line) {
    listerr(s, name, kFixedNameFile, line, line <= 1 ? kReadTitle : kReadData, s.errcount.numerr);
    parameter_file_fatal(s);
}

// A type number outside the table ends the run, counted first.
void check_type_number(Sim& s, int t, int line) {
    if (t >= 1 && t <= kVehicleTypes) return;
    auto& u = s.units;
    wfree(u, kUnitRunLog, " ----- ");
    wfree(u, kUnitRunLog, " Error reading  vehicle vehicle parameters file at line ", line);
    wfree(u, kUnitRunLog, " \t\tVehicle type ", t, "not allowed");
    wfree(u, kUnitRunLog, " \t\tVelmorantis Will stop.");
    s.errcount.errt1 += 1;
    s.errcount.numerr += 1;
    parameter_file_fatal(s);
}

// A record stored under a type number other than its position.
void position_warning(Sim& s, const std::string& name, int k, int t) {
    if (t == k) return;
    wfree(s.units, kUnitRunLog, " File: ", fmt_a(name, kFullNameChars));
    wfree(s.units, kUnitRunLog, " Vehicle characteristics for vehicle type:", k,
          " read in as vehicle type:", t);
}

std::string row_of(const Array1<float>& col, int decimals) {
    std::string l;
    for (int t = 1; t <= kVehicleTypes; ++t) l += fmt_f(col(t), 8, decimals);
    return l;
}

std::string row_of(const Array2<float>& table, int j, int decimals) {
    std::string l;
    for (int t = 1; t <= kVehicleTypes; ++t) l += fmt_f(table(t, j), 8, decimals);
    return l;
}

// The echo of the type table, one line per column: the labels of the
// parameter file's echo (with their TABs) and of the older acceleration
// file's echo, which shows only the first 15 lines.
constexpr int         kEchoLines = 26;
constexpr int         kAccelerationEchoLines = 15;
constexpr const char* kEchoLabels[kEchoLines]{
    " Type (#)     \t    :", " Mass (Kg)    \t    :", " Len (m)      \t    :",
    " %Mass on Axle\t    :", " Frict Coeff. \t    :", " Power (kW)   \t    :",
    " Trans Eff.   \t    :", " Drag Coef.  \t    :",  " Front Area   \t    :",
    " Roll Coef. 1 \t    :", " Roll Coef. 2 \t    :", " Roll Coef. 3 \t    :",
    " Pedal level  \t    :", " Gear par 1\t\t:",      " Gear par 2\t\t:",
    " Battery eff.\t    :",  " Min. SOC\t\t    :",    " Max. SOC\t\t    :",
    " EM eff\t\t    :",      " regen  eff        :",  " switching buffer  :",
    " Battery capacity  :",  " Auxiliary power   :",  " KZCPFM alpha0 \t:",
    " KZCPFM alpha1 \t:",    " KZCPFM alpha2 \t:"};
constexpr const char* kAccelerationLabels[kAccelerationEchoLines]{
    " Type (#)     :", " Mass (Kg)    :", " Len (m)      :", " %Mass on Axle:", " Frict Coeff. :",
    " Power (kW)   :", " Trans Eff.   :", " Drag Coef.   :", " Front Area   :", " Roll Coef. 1 :",
    " Roll Coef. 2 :", " Roll Coef. 3 :", " Pedal level  :", " Gear par 1   :", " Gear par 2   :"};

std::array<std::string, kEchoLines> echo_values(const Sim& s) {
    const auto& vp = s.vehper;
    const auto& en = s.kzcpxm_energy;
    std::string types;
    for (int t = 1; t <= kVehicleTypes; ++t) types += fmt_i(t, 8);
    return {types,
            row_of(vp.vehmass, 1),
            row_of(vp.vehlen, 1),
            row_of(vp.axlmass, 1),
            row_of(vp.coeffric, 3),
            row_of(vp.vehkw, 1),
            row_of(vp.transeff, 3),
            row_of(vp.dragcoef, 3),
            row_of(vp.frntarea, 3),
            row_of(vp.rolcoef, 1, 3),
            row_of(vp.rolcoef, 2, 3),
            row_of(vp.rolcoef, 3, 3),
            row_of(vp.pedal, 3),
            row_of(vp.gr1, 3),
            row_of(vp.gr2, 3),
            row_of(vp.battery_eff, 3),
            row_of(vp.soc_min, 3),
            row_of(vp.soc_max, 3),
            row_of(vp.em_eff, 3),
            row_of(vp.reg_parm, 3),
            row_of(vp.elec_buff, 3),
            row_of(vp.battery_capacity, 3),
            row_of(vp.aux_power, 3),
            row_of(en.kzcpfm_alpha, 1, 3),
            row_of(en.kzcpfm_alpha, 2, 3),
            row_of(en.kzcpfm_alpha, 3, 3)};
}

void echo_types(Sim& s, std::span<const char* const> labels) {
    const auto values = echo_values(s);
    for (std::size_t i = 0; i < labels.size(); ++i)
        s.units.line(kUnitSummary, std::string(labels[i]) + values[i]);
}

void read_parameter_file(Sim& s, const std::string& name) {
    auto& u = s.units;
    auto& vp = s.vehper;
    auto& en = s.kzcpxm_energy;
    wfree(u, kUnitSummary, "     -veh_parameters file   opened ");
    FreeReader  r(u.in(kUnitInput));
    std::string title;
    if (!r.text_line(title)) unreadable(s, name, 1);
    title = title.substr(0, kFullNameChars);
    wfree(u, kUnitSummary, "     - vehicle parameters file :", fmt_a(title, kFullNameChars));

    ReadResult rr = r.record(vp.nvtn, en.energy_model, en.kzcpxm_link_updating_mode);
    if (rr != ReadResult::ok) unreadable(s, name, 2);
    wfree(u, kUnitSummary, "     - Number of vehicle types:", vp.nvtn);
    wfree(u, kUnitSummary, "     - Energy Model           :", en.energy_model);
    vp.nvtn = std::abs(vp.nvtn);

    for (int k = 1; k <= vp.nvtn; ++k) {
        const int line = k + 2;
        int       t = 0;
        float     v[kTypeFields + 1] = {};
        r.start_record();
        rr = r.next(t);
        for (int j = 2; j <= kTypeFields && rr == ReadResult::ok; ++j) rr = r.next(v[j]);
        if (rr != ReadResult::ok) unreadable(s, name, line);
        check_type_number(s, t, line);
        store_record(s, t, v);
        en.hybrid_va = kHybridVa;
        en.hybrid_pa = kHybridPa;
        position_warning(s, name, k, t);
        clamp_pedal(s, t, name);
        if (en.energy_model == kPowerModel) check_cruise_use(s, t);
    }
    u.close(kUnitInput);
    vp.nvtn = kVehicleTypes;
    echo_types(s, kEchoLabels);
}

} // namespace

namespace {

void section_heading(Sim& s) {
    wfree(s.units, kUnitSummary, "        ");
    section_heading(s.units, kUnitSummary, " 26. Maximum Acceleration customization ");
}

// The built-in rows of everything but the propulsion and battery columns.
void builtin_mechanics(Sim& s) {
    auto& vp = s.vehper;
    vp.nvtn = kVehicleTypes;
    for (int t = 1; t <= kVehicleTypes; ++t) {
        const auto& row = bt::kTypes[static_cast<std::size_t>(t - 1)];
        vp.vehname(t) = std::string(row.name);
        vp.vehkw(t) = row.kw;
        vp.vehmass(t) = row.mass;
        vp.vehlen(t) = row.length;
        vp.axlmass(t) = row.axle;
        vp.dragcoef(t) = row.drag;
        vp.frntarea(t) = row.front;
        vp.transeff(t) = row.transeff;
        vp.coeffric(t) = bt::kCoeffric;
        for (int j = 1; j <= 3; ++j) vp.rolcoef(t, j) = bt::kRolcoef[j - 1];
        vp.pedal(t) = bt::kPedal;
        vp.gr1(t) = bt::kGr1;
        vp.gr2(t) = bt::kGr2;
    }
}

// The records of "maxi_acc.dat": 13 values, or 15 with the low-speed limit
// when the count is negative.
void read_acceleration_file(Sim& s, const std::string& name) {
    auto&       u = s.units;
    auto&       vp = s.vehper;
    FreeReader  r(u.in(kUnitInput));
    std::string title;
    if (!r.text_line(title)) unreadable(s, name, 1);
    wfree(u, kUnitSummary, "     - Acceleration Data file :",
          std::string(trim_right(title.substr(0, kAccelerationTitleChars))));
    int        count = 0;
    ReadResult rr = r.record(count);
    if (rr != ReadResult::ok) unreadable(s, name, 2);
    wfree(u, kUnitSummary, "     - Number of vehicle types:", count);
    const int nvalues = count < 0 ? 14 : 12;
    for (int k = 1; k <= std::abs(count); ++k) {
        const int line = k + 2;
        int       t = 0;
        float     v[15] = {};
        r.start_record();
        rr = r.next(t);
        for (int j = 1; j <= nvalues && rr == ReadResult::ok; ++j) rr = r.next(v[j]);
        if (rr != ReadResult::ok) unreadable(s, name, line);
        check_type_number(s, t, line);
        vp.vehmass(t) = v[1];
        vp.vehlen(t) = v[2];
        vp.axlmass(t) = v[3];
        vp.coeffric(t) = v[4];
        vp.vehkw(t) = v[5];
        vp.transeff(t) = v[6];
        vp.dragcoef(t) = v[7];
        vp.frntarea(t) = v[8];
        for (int j = 1; j <= 3; ++j) vp.rolcoef(t, j) = v[8 + j];
        vp.pedal(t) = v[12];
        if (count < 0) {
            vp.gr1(t) = v[13];
            vp.gr2(t) = v[14];
        }
        position_warning(s, name, k, t);
        clamp_pedal(s, t, name);
    }
    wfree(u, kUnitSummary, "     - Read in Maximum Accelerations ");
}

// The acceleration limit needs a positive mass and power; a type without
// them is moved by the speed-spacing relation alone, which the user should
// know about: one line per such type.
void note_types_without_dynamics(Sim& s) {
    const auto& vp = s.vehper;
    for (int t = 1; t <= kVehicleTypes; ++t)
        if (!(vp.vehmass(t) > 0.0f) || !(vp.vehkw(t) > 0.0f))
            wfree(s.units, kUnitRunLog, " Vehicle type", t, " has mass", vp.vehmass(t),
                  " kg and power", vp.vehkw(t),
                  " kW: its acceleration is not limited by its dynamics");
}

} // namespace

void init_veh_param(Sim& s) {
    section_heading(s);
    builtin_mechanics(s);
    auto& vp = s.vehper;
    for (int t = 1; t <= kVehicleTypes; ++t) {
        vp.engine_type(t) = bt::kEngineType;
        vp.battery_eff(t) = bt::kBatteryEff;
        vp.soc_min(t) = bt::kSocMin;
        vp.soc_max(t) = bt::kSocMax;
        vp.em_energy(t) = bt::kEmEnergy;
        vp.em_eff(t) = bt::kEmEff;
        vp.reg_parm(t) = bt::kRegParm;
        vp.elec_buff(t) = bt::kElecBuff;
        vp.battery_capacity(t) = bt::kBatteryCapacity;
        vp.aux_power(t) = bt::kAuxPower;
    }
}

void rdmaxacc(Sim& s) {
    section_heading(s);
    builtin_mechanics(s);
    const std::string name = netin::input_name(s, "maxi_acc.dat");
    if (s.units.open_read(kUnitInput, name)) {
        read_acceleration_file(s, name);
        s.units.close(kUnitInput);
        s.vehper.nvtn = kVehicleTypes;
        echo_types(s, kAccelerationLabels);
    } else {
        echo_types(s, kAccelerationLabels);
        wfree(s.units, kUnitSummary, "     - No Maximum Acceleration file used");
    }
}

void rd_veh_param(Sim& s) {
    auto& u = s.units;
    auto& en = s.kzcpxm_energy;
    en.energy_model = 0;
    en.kzcpxm_link_updating_mode = 0;
    en.veh_counter_eco.fill(1);
    const std::string name = netin::input_name(s, kParamFile);
    wfree(u, kUnitSummary, "Checking the veh_parameters.dat");
    if (u.exists(name) && u.open_read(kUnitInput, name)) {
        read_parameter_file(s, name);
    } else {
        wfree(u, kUnitSummary, "     - Vehicle parameter file veh_parameters.dat  not exist");
        wfree(u, kUnitSummary, "     - RE-Zizuz will be used as fuel consumption model");
        wfree(u, kUnitSummary, "     - Electric cars are not supported by RE-Zizuz");
    }
    note_types_without_dynamics(s);
}

} // namespace velm
