#include "core/demand/demand.h"
#include "core/demand/vehicle_type_table.h"
#include "core/driver/errors.h"
#include "demand_fixture.h"

#include <gtest/gtest.h>
#include <string>

namespace velm {
namespace {

using testing::contains;
using testing::count_of;
using testing::DemandSim;

// A type record of 30 values: type, propulsion, mass, length, axle share,
// adhesion, power, machine limit, driveline, drag, area, rolling 1..3,
// throttle, low-speed factor and exponent, battery, soc min/max/initial,
// machine efficiency, regeneration, buffer, capacity, auxiliary, 4 alphas.
std::string type_record(const std::string& type, const std::string& pedal = "0.9",
                        const std::string& engine = "3.7") {
    return type + " " + engine + " 1500 4.5 0.55 0.7 120 60 0.85 0.3 2.2 1.5 0.03 4 " + pedal +
           " 1000 -0.7 0.95 0.1 0.9 0.8 0.92 0.6 0.05 40 1.2 0.001 0.0002 0.00003 0.4\n";
}

void run_types(DemandSim& t, const std::string* file) {
    if (file) t.s.units.put_file("veh_parameters.dat", *file);
    init_veh_param(t.s);
    rd_veh_param(t.s);
}

TEST(VehicleTypes, WithoutAFileTheBuiltInTypesAndTheRegressionModel) {
    DemandSim t;
    t.s.kzcpxm_energy.energy_model = 1; // left over from nothing: the reader resets it
    run_types(t, nullptr);
    const auto& vp = t.s.vehper;
    EXPECT_EQ(vp.nvtn, 25);
    EXPECT_EQ(vp.vehname(25), "Bus");
    EXPECT_EQ(vp.vehname(1), "DAZI Normal Vehicle");
    EXPECT_FLOAT_EQ(vp.vehkw(22), 336.0f);
    EXPECT_FLOAT_EQ(vp.vehmass(24), 47626.0f);
    EXPECT_FLOAT_EQ(vp.vehlen(14), 5.22f);
    EXPECT_FLOAT_EQ(vp.transeff(25), 0.88f);
    EXPECT_FLOAT_EQ(vp.pedal(7), 1.0f);
    EXPECT_FLOAT_EQ(vp.rolcoef(3, 2), 0.0328f);
    EXPECT_FLOAT_EQ(vp.gr2(9), -0.75f);
    EXPECT_EQ(vp.engine_type(13), 1);
    EXPECT_EQ(t.s.kzcpxm_energy.energy_model, 0);
    EXPECT_EQ(t.s.kzcpxm_energy.veh_counter_eco(kMaxLinks), 1);
    const std::string sum = t.summary();
    EXPECT_TRUE(contains(sum, "  26. Maximum Acceleration customization \n"));
    EXPECT_TRUE(contains(sum, " Checking the veh_parameters.dat\n"
                              "      - Vehicle parameter file veh_parameters.dat  not exist\n"
                              "      - RE-Zizuz will be used as fuel consumption model\n"
                              "      - Electric cars are not supported by RE-Zizuz\n"));
    EXPECT_FALSE(contains(sum, "Type (#)"));
}

TEST(VehicleTypes, OneRecordForTheBus) {
    DemandSim         t;
    const std::string file = "types\n1 1 0\n" + type_record("25");
    run_types(t, &file);
    ASSERT_EQ(t.s.errcount.errt1, 0);
    const auto& vp = t.s.vehper;
    const auto& en = t.s.kzcpxm_energy;
    EXPECT_EQ(vp.nvtn, 25);
    EXPECT_EQ(en.energy_model, 1);
    EXPECT_FLOAT_EQ(vp.vehmass(25), 1500.0f);
    EXPECT_EQ(vp.engine_type(25), 3); // 3.7 truncated
    EXPECT_FLOAT_EQ(vp.em_energy(25), 60.0f);
    EXPECT_FLOAT_EQ(vp.aux_power(25), 1.2f);
    EXPECT_FLOAT_EQ(en.initial_soc(25), 0.8f);
    EXPECT_FLOAT_EQ(vp.soc_max(25), 0.9f);
    EXPECT_FLOAT_EQ(vp.em_eff(25), 0.92f);
    EXPECT_FLOAT_EQ(en.kzcpfm_alpha(25, 3), 0.00003f);
    EXPECT_FLOAT_EQ(en.hybrid_alpha(25, 1), 0.001f);
    EXPECT_FLOAT_EQ(en.hybrid_alpha(25, 4), 0.4f);
    EXPECT_FLOAT_EQ(en.hybrid_pa, 10.0f);
    EXPECT_FLOAT_EQ(en.hybrid_va, 32.0f);
    EXPECT_EQ(vp.vehname(25), "Bus"); // names are not read
    EXPECT_FLOAT_EQ(vp.vehmass(22), 20411.0f);
    EXPECT_FLOAT_EQ(en.kzcpfm_alpha(24, 1), 0.0f);
    EXPECT_TRUE(contains(t.log(), " File: veh_parameters.dat"));
    EXPECT_TRUE(contains(t.log(), " Vehicle characteristics for vehicle type:           1"
                                  "  read in as vehicle type:          25"));
    const std::string sum = t.summary();
    EXPECT_TRUE(contains(sum, "      -veh_parameters file   opened \n"));
    EXPECT_TRUE(contains(sum, " Type (#)     \t    :       1       2"));
    EXPECT_TRUE(contains(sum, "      24      25\n"));
    EXPECT_TRUE(contains(sum, " %Mass on Axle\t    :     0.6"));
    EXPECT_TRUE(contains(sum, " Gear par 2\t\t:  -0.750"));
    EXPECT_TRUE(contains(sum, " KZCPFM alpha2 \t:   0.000"));
    EXPECT_EQ(count_of(sum, "\t"), 27); // the TABs of the labels
}

TEST(VehicleTypes, NegativeCountReadsItsAbsoluteValue) {
    DemandSim         t;
    const std::string file =
        "types\n-3 0 1\n" + type_record("1") + type_record("2") + type_record("3");
    run_types(t, &file);
    ASSERT_EQ(t.s.errcount.errt1, 0) << t.log();
    EXPECT_TRUE(contains(t.summary(), "     - Number of vehicle types:          -3\n"));
    EXPECT_EQ(t.s.kzcpxm_energy.kzcpxm_link_updating_mode, 1);
    for (int k = 1; k <= 3; ++k) EXPECT_FLOAT_EQ(t.s.vehper.vehkw(k), 120.0f);
    EXPECT_FLOAT_EQ(t.s.vehper.vehkw(4), 109.0f);
    EXPECT_FALSE(contains(t.log(), "read in as vehicle type"));
}

TEST(VehicleTypes, ThrottleKeptWithinItsRange) {
    struct Case {
        const char* pedal;
        float       stored;
        bool        above;
    } const cases[] = {{"0", 0.05f, false}, {"1.3", 1.0f, true}, {"0.05", 0.05f, false}};
    for (const auto& c : cases) {
        DemandSim         t;
        const std::string file = "types\n1 0 0\n" + type_record("1", c.pedal);
        run_types(t, &file);
        EXPECT_FLOAT_EQ(t.s.vehper.pedal(1), c.stored) << c.pedal;
        const bool clamped = std::string(c.pedal) != "0.05";
        EXPECT_EQ(contains(t.log(), " File: veh_parameters.dat"), clamped) << c.pedal;
        EXPECT_EQ(contains(t.log(), " Pedal level is greater than 1.00. Program sets it to 1.00"),
                  c.above)
            << c.pedal;
    }
}

// Every stop in the file is counted before the termination box.
TEST(VehicleTypes, FatalConditionsAreCountedAndEndTheRun) {
    struct Case {
        const char* what;
        std::string file;
        const char* line;
    } const cases[] = {
        {"type 0", "t\n3 0 0\n" + type_record("1") + type_record("2") + type_record("0"),
         " Error reading  vehicle vehicle parameters file at line            5"},
        {"type 26", "t\n1 0 0\n" + type_record("26"), " \t\tVehicle type           26 not allowed"},
        {"type with a decimal point", "t\n1 0 0\n" + type_record("2.0"), "ERROR 1022"},
        {"count not a number", "t\nx 0 0\n", "ERROR 1022"},
        {"file ends early", "t\n2 0 0\n" + type_record("1"),
         " ERROR 1022\n Out of data/data error in file:           99 veh_parameters.dat"},
        {"no count line", "t\n", " ERROR 1022\n"},
        {"empty file", "", " ERROR 1021\n The file           99 veh_parameters.dat"},
    };
    for (const auto& c : cases) {
        DemandSim t;
        EXPECT_THROW(run_types(t, &c.file), FatalRunError) << c.what;
        EXPECT_EQ(t.s.errcount.errt1, 1) << c.what;
        EXPECT_TRUE(contains(t.log(), c.line)) << c.what << "\n" << t.log();
    }
    // Records before the bad one were stored.
    DemandSim         t;
    const std::string file = "t\n2 0 0\n" + type_record("4") + type_record("99");
    EXPECT_THROW(run_types(t, &file), FatalRunError);
    EXPECT_FLOAT_EQ(t.s.vehper.vehkw(4), 120.0f);
    EXPECT_TRUE(contains(t.log(), " ----- \n"));
    EXPECT_TRUE(contains(t.log(), " \t\tVelmorantis Will stop.\n"));
}

// A type without mass or power has no acceleration limit: the run log says
// so once per such type, and not for the types that have both.
TEST(VehicleTypes, TypeWithoutMassOrPowerIsNamedOnce) {
    auto record = [](const std::string& type, const std::string& mass, const std::string& kw) {
        return type + " 1 " + mass + " 4.5 0.55 0.7 " + kw +
               " 60 0.85 0.3 2.2 1.5 0.03 4 0.9 1000 -0.7 0.95 0.1 0.9 0.8 0.92 0.6 0.05 40 1.2"
               " 0.001 0.0002 0.00003 0.4\n";
    };
    DemandSim         t;
    const std::string file = "types\n4 0 0\n" + record("3", "0", "120") + record("7", "1500", "0") +
                             record("9", "-5", "-1") + record("3", "0", "110");
    run_types(t, &file);
    ASSERT_EQ(t.s.errcount.errt1, 0) << t.log();
    const std::string log = t.log();
    EXPECT_EQ(count_of(log, "its acceleration is not limited"), 3) << log;
    for (int type : {3, 7, 9})
        EXPECT_TRUE(
            contains(log, free_line(" Vehicle type", type, " has mass", t.s.vehper.vehmass(type),
                                    " kg and power", t.s.vehper.vehkw(type),
                                    " kW: its acceleration is not limited by its dynamics")))
            << type;

    DemandSim builtin;
    run_types(builtin, nullptr);
    EXPECT_FALSE(contains(builtin.log(), "its acceleration is not limited"));
}

TEST(VehicleTypes, ASecondRunStartsFromTheBuiltInTypes) {
    DemandSim         first;
    const std::string file = "types\n1 1 1\n" + type_record("1");
    run_types(first, &file);
    ASSERT_FLOAT_EQ(first.s.vehper.vehkw(1), 120.0f);
    DemandSim second;
    run_types(second, nullptr);
    EXPECT_FLOAT_EQ(second.s.vehper.vehkw(1), 119.0f);
    EXPECT_EQ(second.s.kzcpxm_energy.energy_model, 0);
}

// The older acceleration file: mechanical columns only, 15 echo lines.
TEST(VehicleTypes, AccelerationFile) {
    DemandSim t;
    t.s.vehper.engine_type(3) = 4;
    rdmaxacc(t.s);
    EXPECT_FLOAT_EQ(t.s.vehper.vehkw(3), 82.0f);
    EXPECT_TRUE(contains(t.summary(), " Gear par 2   :  -0.750"));
    EXPECT_TRUE(contains(t.summary(), "     - No Maximum Acceleration file used\n"));
    EXPECT_TRUE(contains(t.summary(), " Type (#)     :       1       2"));
    EXPECT_EQ(count_of(t.summary(), "\t"), 0);
    EXPECT_FALSE(contains(t.summary(), "Battery eff.")); // 15 lines, up to the gear exponent

    DemandSim u;
    u.s.vehper.engine_type(3) = 4;
    u.s.units.put_file("maxi_acc.dat",
                       "acc\n-1\n"
                       "3 1400 4.2 0.6 0.8 90 0.82 0.31 2.1 1.6 0.02 4.1 1.4 900 -0.6\n");
    rdmaxacc(u.s);
    ASSERT_EQ(u.s.errcount.errt1, 0) << u.log();
    EXPECT_FLOAT_EQ(u.s.vehper.vehmass(3), 1400.0f);
    EXPECT_FLOAT_EQ(u.s.vehper.rolcoef(3, 3), 4.1f);
    EXPECT_FLOAT_EQ(u.s.vehper.pedal(3), 1.0f); // 1.4 clamped
    EXPECT_FLOAT_EQ(u.s.vehper.gr1(3), 900.0f);
    EXPECT_EQ(u.s.vehper.engine_type(3), 4);
    EXPECT_EQ(u.s.vehper.nvtn, 25);
    EXPECT_TRUE(contains(u.log(), " Vehicle characteristics for vehicle type:           1"));
    EXPECT_TRUE(contains(u.summary(), "     - Number of vehicle types:          -1\n"));
    EXPECT_TRUE(contains(u.summary(), "     - Read in Maximum Accelerations \n"));
    EXPECT_FALSE(contains(u.summary(), "No Maximum Acceleration"));
}

} // namespace
} // namespace velm

namespace velm {
namespace {

// Fuel coefficients in the wrong unit show at input: a type whose level
// cruise at 50 km/h is implausible gets one warning naming it.
TEST(VehicleTypes, ImplausibleCruiseUseIsNamedOnceAtInput) {
    const std::string body = " 1900 4.81 0.58 0.5 119 80 0.8 0.34 2.73  1.75 0.0328 4.575  1 1164 "
                             "-0.75  0.95 0.2 0.95 0.9  0.9 0.6 0 12 ";
    const struct {
        const char* what;
        std::string record;
        const char* named; // nullptr: no warning
    } cases[] = {
        {"petrol in l/s", "1 1" + body + "0.7  0.00035 0.0001 1e-06 0", nullptr},
        {"petrol in ml/s", "1 1" + body + "0.7  0.35 0.1 0.001 0", "l/100 km"},
        {"hybrid in ml/s", "3 6" + body + "0.7  0.3 0.09 0.001 0.002", nullptr},
        {"hybrid in l/s", "3 6" + body + "0.7  0.0003 9e-05 1e-06 0.2", "l/100 km"},
        {"plug-in hybrid in l/s", "3 4" + body + "0.7  0.0003 9e-05 1e-06 0.2", "on fuel"},
        {"plug-in hybrid in ml/s", "3 4" + body + "0.7  0.3 0.09 0.001 0.002", nullptr},
        {"electric", "2 3" + body + "0.7  0 0 0 0", nullptr},
        {"electric with 40 kW auxiliaries", "2 3" + body + "40  0 0 0 0", "kWh/km"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::DemandSim t;
        const std::string  file = "types\n1 1 0\n" + c.record + "\n";
        run_types(t, &file);
        const std::string log = t.log();
        if (!c.named) {
            EXPECT_FALSE(contains(log, "Warning: vehicle type")) << log;
            continue;
        }
        EXPECT_EQ(count_of(log, "Warning: vehicle type"), 1) << log;
        EXPECT_TRUE(contains(log, c.named)) << log;
        EXPECT_TRUE(contains(log, "vehicle type " + c.record.substr(0, 1) + " ")) << log;
    }
}

} // namespace
} // namespace velm
