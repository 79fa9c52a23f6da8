// The fuel, emission and wind input files: what each reader keeps, echoes and
// reports for whole, broken and missing files.
#include "core/energy/energy.h"
#include "core/energy/fuel_coefficients.h"
#include "network/network_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::has_line;
using testing_network::NetRun;

float builtin(int t, int e, int b, int i, int j) {
    return builtin_fuel::coefficients()[static_cast<std::size_t>(t - 1)]
                                       [static_cast<std::size_t>(fuel_coef_index(e, b, i, j))];
}

// A distinct coefficient for each record (0..47) and acceleration power,
// small enough at the record's speed and acceleration powers to give rates
// a vehicle could burn.
float file_value(int record, int j) {
    return (-0.5f + 0.01f * static_cast<float>(4 * record + j)) /
           std::pow(100.0f, static_cast<float>(record % 4)) /
           std::pow(10.0f, static_cast<float>(j));
}

// A coefficient file of `records` records; labels[record] replaces the three
// labels of that record.
std::string coef_file(int records, const std::string& special_labels = "", int special = -1) {
    std::string text = "city car\n";
    for (int r = 0; r < records; ++r) {
        text += r == special ? special_labels : "9 9 9";
        for (int j = 0; j < 4; ++j) text += " " + std::to_string(file_value(r % 48, j));
        text += "\n";
    }
    return text;
}

// text with its line n (from 1) repeated after itself.
std::string twice(const std::string& text, int n) {
    std::size_t at = 0;
    for (int k = 1; k < n; ++k) at = text.find('\n', at) + 1;
    const std::size_t end = text.find('\n', at) + 1;
    return text.substr(0, end) + text.substr(at, end - at) + text.substr(end);
}

bool type1_is_file(const Sim& s) {
    for (int r = 0; r < 48; ++r)
        for (int j = 0; j < 4; ++j) {
            const int e = r / 8 + 1, b = (r / 4) % 2 + 1, i = r % 4;
            if (s.fuel.fuelcoef(1, e, b, i, j) != std::stof(std::to_string(file_value(r, j))))
                return false;
        }
    return true;
}

bool all_builtin(const Sim& s, int first_type) {
    for (int t = first_type; t <= 25; ++t)
        if (s.fuel.fuelcoef.type(t) !=
            builtin_fuel::coefficients()[static_cast<std::size_t>(t - 1)])
            return false;
    return true;
}

TEST(FuelCoefficientFile, WholeBrokenAndMissingFiles) {
    const std::string kDefault = free_line("     - Default fuel/emiss rates");
    struct Case {
        const char* name;
        std::string file; // "" = absent
        bool        replaced;
        int         code_line; // line named with 710510; 0 = none
        const char* log_part;
    };
    const Case cases[] = {
        {"no file", "", false, 0, ""},
        {"48 records, arbitrary labels", coef_file(48), true, 0, ""},
        {"a 49th record", coef_file(49), false, 50, ""},
        {"line 7 given twice: a shifted record is out of proportion", twice(coef_file(48), 7),
         false, 19, ""},
        {"line 49 given twice", twice(coef_file(48), 49), false, 50, ""},
        {"a coefficient of 1e30", coef_file(48, "1 1 1 1e30", 9), false, 11, ""},
        {"a speed-cubed coefficient of 0.1", coef_file(48, "1 1 1 0.1", 7), false, 9, ""},
        {"48 records and blank lines", coef_file(48) + "\n  \n", true, 0, ""},
        {"label -1 in field 2: reported, record used", coef_file(48, "3 -1 2", 5), true, 0,
         " Fuel coefficient file error - Field 2"},
        {"40 records", coef_file(40), false, 42, ""},
        {"a coefficient that is not a number", coef_file(48, "1 1 1 x", 10), false, 12, ""},
        {"an empty file", " ", false, 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NetRun r;
        r.s.fuel.fuelcoef(3, 1, 1, 0, 0) = 5.0f; // left from an earlier run
        if (!c.file.empty()) r.s.units.put_file("fuelemis.dat", c.file);
        readfuel(r.s);
        const std::string sum = r.summary();
        const std::string log = r.log();
        EXPECT_TRUE(has_line(sum, free_line(" 36. Instantaneous Fuel and Emissions "))) << sum;
        EXPECT_EQ(type1_is_file(r.s), c.replaced);
        EXPECT_TRUE(all_builtin(r.s, c.replaced ? 2 : 1)) << "built-ins restored";
        EXPECT_EQ(r.s.fuel.fuelmeth, c.replaced ? 2 : 1);
        EXPECT_EQ(has_line(sum, kDefault), !c.replaced) << sum;
        // The first record's echo: type, measure and speed row, then 16.8 exponents.
        std::string echo1 = fmt_i(1, 3) + fmt_i(1, 3) + fmt_i(1, 3);
        for (int j = 0; j < 4; ++j)
            echo1 += fmt_e(std::stof(std::to_string(file_value(0, j))), 16, 8);
        EXPECT_EQ(has_line(sum, echo1), c.replaced) << "nothing half-read is echoed";
        const bool coded = contains(log, free_line("fuelemis.dat", " Error", 710510));
        EXPECT_EQ(coded, c.code_line > 0) << log;
        EXPECT_EQ(r.s.errcount.numerr, c.code_line > 0 ? 1 : 0) << "a broken file is counted";
        EXPECT_EQ(contains(sum, "Custom Fuel and Emissions  provided"), c.replaced) << sum;
        if (c.code_line > 0) {
            EXPECT_TRUE(
                contains(log, free_line("fuelemis.dat", " Error", 710510, "at line", c.code_line)))
                << log;
        }
        if (*c.log_part) {
            EXPECT_TRUE(has_line(log, free_line(c.log_part))) << log;
        }
        EXPECT_EQ(contains(log, "Fuel coefficient file error"), *c.log_part != '\0') << log;
    }
}

// "No particulates" is a constant of -1e8 (a rate of 0): a large negative
// share of the exponent is kept, only one that could overflow is refused.
TEST(FuelCoefficientFile, NoParticulatesConstantIsKept) {
    NetRun      r;
    std::string file = "t\n";
    for (int k = 0; k < 48; ++k) file += k == 40 ? "1 6 1 -1e8 0 0 0\n" : "1 1 1 0 0 0 0\n";
    r.s.units.put_file("fuelemis.dat", file);
    readfuel(r.s);
    EXPECT_FALSE(contains(r.log(), "710510")) << r.log();
    EXPECT_EQ(r.s.fuel.fuelmeth, 2);
    EXPECT_EQ(r.s.fuel.fuelcoef(1, 6, 1, 0, 0), -1e8f);
}

TEST(FuelCoefficientFile, EchoUsesSixteenColumnExponents) {
    NetRun      r;
    std::string file = "t\n";
    for (int k = 0; k < 48; ++k) file += k == 0 ? "1 1 1 -7.73452 0 0 0\n" : "1 1 1 0 0 0 0\n";
    r.s.units.put_file("fuelemis.dat", file);
    readfuel(r.s);
    EXPECT_TRUE(has_line(r.summary(), "  1  1  1 -0.77345200E+01  0.00000000E+00  0.00000000E+00"
                                      "  0.00000000E+00"))
        << r.summary();
}

TEST(FuelCoefficientFile, ListingShowsTheFileForTypeOneAndBuiltInsForTheRest) {
    for (const bool listed : {false, true}) {
        SCOPED_TRACE(listed ? "errchk(1) = -1" : "errchk(1) = 0");
        NetRun r;
        r.s.errflg.errchk[1] = listed ? -1 : 0;
        r.s.units.put_file("fuelemis.dat", coef_file(48));
        readfuel(r.s);
        const std::string sum = r.summary();
        auto              row = [](int t, int e, int i, const float(&k)[4]) {
            std::string l = "    " + fmt_i(t, 3) + fmt_i(e, 3) + fmt_i(i, 3);
            for (float v : k) l += fmt_e(v, 13, 5);
            return l;
        };
        const float file_row[4] = {file_value(0, 0), file_value(0, 1), file_value(0, 2),
                                   file_value(0, 3)};
        const float truck_row[4] = {builtin(25, 1, 1, 0, 0), builtin(25, 1, 1, 0, 1),
                                    builtin(25, 1, 1, 0, 2), builtin(25, 1, 1, 0, 3)};
        EXPECT_EQ(has_line(sum, "    vt mo sp    0         a         a*a       a*a*a"), listed);
        EXPECT_EQ(has_line(sum, row(1, 1, 1, file_row)), listed) << sum;
        EXPECT_EQ(has_line(sum, row(25, 1, 1, truck_row)), listed) << sum;
    }
}

TEST(SpeedModelParameters, DefaultsFileAndBrokenFile) {
    const std::string good = "my parameters\n"
                             "15.5\n"
                             "20.1 30.2\n"
                             "HC\n1 2 3 4\n5 6 7 8\n9 10 11 12\n"
                             "CO\n1 1 1 1\n1 1 1 1\n1 1 1 1\n"
                             "NOx\n2 2 2 2\n2 2 2 2\n2 2 2 2\n"
                             "'cold fuel'\n40 1 2 3\n41 4 5 6\n"
                             "'cold emissions'\n1 2 3 4\n5 6 7 8\n9 10 11 12\n";
    struct Case {
        const char* name;
        std::string file; // "" = absent
        bool        read;
        const char* log_part;
    };
    const Case cases[] = {
        {"no file: defaults, nothing said", "", false, ""},
        {"a whole file", good, true, "    - Reading custom environmental parameters "},
        {"ends after the emission tables", good.substr(0, good.find("'cold fuel'")), false,
         "fuelemis.dat Error      710520 at line"},
        {"a rating that is not a number", "t\n15.5\n20.1 fast\n", false,
         "fuelemis.dat Error      710520 at line           3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NetRun r;
        r.s.fuel.emiss(2, 2, 2) = 99.0f; // left from an earlier run
        if (!c.file.empty()) r.s.units.put_file("fuelemis.dat", c.file);
        float temp = 0.0f;
        infuel(r.s, temp);
        const auto& f = r.s.fuel;
        if (c.read) {
            EXPECT_FLOAT_EQ(temp, 15.5f);
            EXPECT_FLOAT_EQ(f.eparat(2), 30.2f);
            EXPECT_FLOAT_EQ(f.emiss(4, 3, 1), 12.0f) << "speed power 3, temperature power 2, HC";
            EXPECT_FLOAT_EQ(f.emiss(2, 2, 3), 2.0f);
            EXPECT_FLOAT_EQ(f.coldfuel(2, 1), 41.0f);
            EXPECT_FLOAT_EQ(f.coldemis(3, 4), 12.0f);
        } else {
            EXPECT_FLOAT_EQ(temp, 21.0f);
            EXPECT_FLOAT_EQ(f.eparat(1), 11.8f);
            EXPECT_FLOAT_EQ(f.eparat(2), 8.9f);
            EXPECT_FLOAT_EQ(f.emiss(1, 1, 1), -1.512318f);
            EXPECT_FLOAT_EQ(f.emiss(3, 1, 1), -0.00048692f);
            EXPECT_FLOAT_EQ(f.emiss(2, 2, 2), 0.0f) << "unknown polynomials are 0";
            EXPECT_FLOAT_EQ(f.coldfuel(2, 4), 5.8f);
            EXPECT_FLOAT_EQ(f.coldemis(1, 1), 17.1558f);
            EXPECT_FLOAT_EQ(f.coldemis(3, 3), -0.0005f);
        }
        if (*c.log_part) {
            EXPECT_TRUE(contains(r.log(), c.log_part)) << r.log();
        } else {
            EXPECT_EQ(r.log(), "");
        }
        EXPECT_FALSE(r.s.units.is_open(30));
    }
}

TEST(SpeedModelParameters, SecondFileIsOptionalToNothing) {
    NetRun r;
    r.s.fuel.eparat(1) = 3.0f;
    float temp = 7.0f;
    infuel2(r.s, temp);
    EXPECT_FLOAT_EQ(temp, 7.0f);
    EXPECT_FLOAT_EQ(r.s.fuel.eparat(1), 3.0f);
    r.s.units.put_file("fuel.fac", "t\n-3\n1 2\n");
    infuel2(r.s, temp);
    EXPECT_FLOAT_EQ(temp, 21.0f) << "broken after its title: defaults";
    EXPECT_TRUE(contains(r.log(), "fuel.fac Error      710520")) << r.log();
}

TEST(WindHeadingFile, CountsResolutionAndBrokenFiles) {
    const std::string two = "two masts\n2 1 4\n1 0.5 0.6\n2 3.0 4.0\n1 90 12.5 2 180 8 1\n";
    std::string       eleven = "big\n11 1 3\n";
    for (int i = 1; i <= 11; ++i) eleven += std::to_string(i) + " 1 1\n";
    struct Case {
        const char* name;
        std::string file; // "" = absent
        int         stations, readings, resolution;
        int         code_line; // line named with 710530; 0 = none
    };
    const Case cases[] = {
        {"no file", "", 0, 0, 0, 0},
        {"two stations, one reading", two, 2, 1, 4, 0},
        {"resolution 0 becomes 1", "t\n0 0 0\n", 0, 0, 1, 0},
        {"resolution 25 becomes 10", "t\n0 0 25\n", 0, 0, 10, 0},
        {"11 stations", eleven, 0, 0, 0, 2},
        {"11 readings", "t\n1 11 3\n1 1 1\n", 0, 0, 0, 2},
        {"a reading cut short", "t\n2 1 4\n1 0.5 0.6\n2 3.0 4.0\n1 90 12.5 2\n", 0, 0, 0, 6},
        {"no counts", "t\n", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NetRun r;
        r.s.wind.wndhd(5, 5) = 7.0f; // left from an earlier run
        if (!c.file.empty()) r.s.units.put_file("windhead.dat", c.file);
        rdwindhd(r.s);
        const auto&       w = r.s.wind;
        const std::string sum = r.summary();
        EXPECT_EQ(w.nwndst, c.stations);
        EXPECT_EQ(w.nwndrd, c.readings);
        EXPECT_EQ(w.nwnres, c.resolution);
        EXPECT_FLOAT_EQ(w.wndhd(5, 5), 0.0f);
        const bool complete = c.stations + c.readings + c.resolution > 0;
        EXPECT_EQ(has_line(sum, free_line("     - no wind speed data specified     ")), !complete)
            << sum;
        EXPECT_EQ(has_line(sum, free_line("     - wind heading data complete ")), complete);
        if (!complete) {
            EXPECT_FLOAT_EQ(w.wndsta(1, 1), 1.0f);
            EXPECT_FLOAT_EQ(w.wndhd(1, 1), 135.0f);
            EXPECT_FLOAT_EQ(w.wndspd(1, 1, 1), 10.0f);
            EXPECT_FLOAT_EQ(w.wndspd(1, 1, 2), 1.0f);
            EXPECT_FALSE(contains(sum, "number of wind stations")) << "nothing half-read is echoed";
        }
        if (c.code_line > 0) {
            EXPECT_TRUE(contains(
                r.log(), free_line("windhead.dat", " Error", 710530, "at line", c.code_line)))
                << r.log();
        } else {
            EXPECT_FALSE(contains(r.log(), "710530")) << r.log();
        }
        EXPECT_FALSE(r.s.units.is_open(kUnitInput));
    }
}

TEST(WindHeadingFile, StationsAndReadingsEcho) {
    NetRun r;
    r.s.units.put_file("windhead.dat",
                       "two masts\n2 1 4\n1 0.5 0.6\n2 3.0 4.0\n1 90 12.5 2 180 8 1\n");
    rdwindhd(r.s);
    const auto& w = r.s.wind;
    EXPECT_FLOAT_EQ(w.wndsta(2, 2), 4.0f);
    EXPECT_FLOAT_EQ(w.wndhd(1, 2), 180.0f);
    EXPECT_FLOAT_EQ(w.wndspd(1, 1, 1), 12.5f);
    EXPECT_FLOAT_EQ(w.wndspd(1, 2, 2), 1.0f);
    const std::string sum = r.summary();
    for (const std::string& l :
         {free_line(" 42. Wind Heading Data        "),
          free_line("     - Wind Heading File Opened "),
          free_line("     - wind heading file:", fmt_a("two masts", 40)),
          free_line("     - resolution of dispersion:", 4),
          free_line("     - wind station:", 2, " x-coord:", 3.0f, " y-coord:", 4.0f),
          std::string("          - station:    1  heading: 90.0  speeds:  12.5   2.0"),
          std::string("          - station:    2  heading:180.0  speeds:   8.0   1.0"),
          free_line("     ")})
        EXPECT_TRUE(has_line(sum, l)) << l << "\n" << sum;
}

} // namespace
} // namespace velm
