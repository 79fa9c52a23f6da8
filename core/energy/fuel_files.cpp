// The fuel, emission and wind input files: the regression coefficients of
// type 1 ("fuelemis.dat" in the input directory), the speed-based model's
// parameters ("fuelemis.dat" in the working directory) and the wind stations
// ("windhead.dat").
#include "core/energy/energy.h"
#include "core/energy/fuel_coefficients.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/optional_file.h" // open_section

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velm {

namespace {

constexpr const char* kCoefFile = "fuelemis.dat";
constexpr const char* kParamFile = "fuelemis.dat"; // working directory, speed-based model
constexpr const char* kParamFile2 = "fuel.fac";
constexpr const char* kWindFile = "windhead.dat";
constexpr int         kUnitFuelParams = 30;
constexpr int         kErrCoefFile = 710510;  // coefficient file short or not numeric
constexpr int         kErrParamFile = 710520; // speed-based parameter file broken after its title
constexpr int         kErrWindFile = 710530;  // wind file broken after its title, or too large
constexpr int         kCoefRecords = kFuelMeasures * kFuelBranches * kFuelPowers; // 48
constexpr int         kListAll = -1;          // errchk(1): list the whole coefficient table
constexpr int         kSpeedModelSpecies = 3; // HC, CO, NOx of the speed-based model
constexpr int         kTempPowers = 3;
// The region a record is checked over: the car's speed cap and acceleration
// range, km/h and km/h/s, and the largest share of the exponent one record
// may give there (four records of it stay well inside a float's exp()).
constexpr float kCheckVmax = 120.0f, kCheckAmin = -5.0f, kCheckAmax = 13.0f;
constexpr float kRecordExponentLimit = 20.0f;
constexpr int   kColdTerms = 4;

void log_broken(Units& u, const char* file, int code, int line, const std::string& fallback) {
    wfree(u, kUnitRunLog, file, " Error", code, "at line", line, std::string("- ") + fallback);
}

// --- regression coefficients of type 1 --------------------------------------

struct CoefRecord {
    int   e, i;
    float k[kFuelPowers];
};

// The largest share of the exponent record (branch b, speed power i) gives
// at the speeds and accelerations the regression is evaluated at; infinite
// for a coefficient that is not a number. Only a large positive share can
// overflow the rate: a large negative one (the -1e8 of "no particulates")
// gives 0.
float record_reach(int b, int i, const float (&k)[kFuelPowers]) {
    float most = 0.0f;
    for (float v = 0.0f; v <= kCheckVmax; v += 5.0f)
        for (float a = b == 1 ? 0.0f : kCheckAmin; b == 1 ? a <= kCheckAmax : a < 0.0f; a += 0.5f) {
            float x = 0.0f, aj = 1.0f;
            for (int j = 0; j < kFuelPowers; ++j, aj *= a) x += k[j] * aj;
            x *= std::pow(v, static_cast<float>(i));
            if (!std::isfinite(x)) return std::numeric_limits<float>::infinity();
            most = std::max(most, x);
        }
    return most;
}

// The 48 records after the title, and nothing but blank lines after them;
// false (with the line) when one is missing or not a number, gives a rate
// out of all proportion, or when lines follow the last. A negative label is
// reported and the record used.
bool read_coef_records(Sim& s, FreeReader& in, FuelTypeCoefs& type1, std::vector<CoefRecord>& echo,
                       int& line, const char*& why) {
    for (int e = 1; e <= kFuelMeasures; ++e)
        for (int b = 1; b <= kFuelBranches; ++b)
            for (int i = 0; i < kFuelPowers; ++i) {
                double     label[3] = {};
                CoefRecord rec{e, i, {}};
                ReadResult r =
                    in.record(label[0], label[1], label[2], rec.k[0], rec.k[1], rec.k[2], rec.k[3]);
                if (r != ReadResult::ok) {
                    line = in.stopped_at(r);
                    why = "the file ends early or a value is not a number";
                    return false;
                }
                if (!(record_reach(b, i, rec.k) <= kRecordExponentLimit)) {
                    line = in.line();
                    why = "a coefficient gives rates out of all proportion";
                    return false;
                }
                for (int f = 0; f < 3; ++f)
                    if (label[f] < 0.0)
                        wfree(s.units, kUnitRunLog,
                              " Fuel coefficient file error - Field " + std::to_string(f + 1));
                for (int j = 0; j < kFuelPowers; ++j)
                    type1[static_cast<std::size_t>(fuel_coef_index(e, b, i, j))] = rec.k[j];
                echo.push_back(rec);
            }
    std::string rest;
    while (in.text_line(rest))
        if (rest.find_first_not_of(" \t\r") != std::string::npos) {
            line = in.line();
            why = "more lines than the 48 records (a line given twice?)";
            return false;
        }
    return true;
}

void list_coefficients(Sim& s) {
    auto& u = s.units;
    u.line(kUnitSummary, "    vt mo sp    0         a         a*a       a*a*a");
    for (int t = 1; t <= kVehicleTypes; ++t)
        for (int e = 1; e <= kFuelMeasures; ++e) {
            for (int b = 1; b <= kFuelBranches; ++b)
                for (int i = 0; i < kFuelPowers; ++i) {
                    std::string l = blanks(4) + fmt_i(t, 3) + fmt_i(e, 3) + fmt_i(i + 1, 3);
                    for (int j = 0; j < kFuelPowers; ++j)
                        l += fmt_e(s.fuel.fuelcoef(t, e, b, i, j), 13, 5);
                    u.line(kUnitSummary, l);
                }
            u.line(kUnitSummary, blanks(2));
        }
}

// --- speed-based model parameters --------------------------------------------

struct FuelParams {
    float temp = 21.0f;
    float eparat[2] = {11.8f, 8.9f};
    float emiss[kSpeedModelSpecies][kTempPowers][kFuelPowers] =
        {}; // [species][temp power][speed power]
    float coldfuel[2][kColdTerms] = {{32.0f, -0.002f, 0.0f, -0.005f},
                                     {32.0f, 2.043f, -0.031f, 5.8f}};
    float coldemis[kSpeedModelSpecies][kColdTerms] = {{17.1558f, -1.0172f, 0.0165f, 507.0f},
                                                      {31.6825f, -0.8196f, 0.0f, 507.0f},
                                                      {4.4034f, 0.0135f, -0.0005f, 507.0f}};
    FuelParams() {
        // HC at temperature power 0; the other polynomials are not known and stay 0.
        const float hc[kFuelPowers] = {-1.512318f, 0.07937506f, -0.00048692f, 0.0f};
        std::copy(hc, hc + kFuelPowers, emiss[0][0]);
    }
};

void store(Sim& s, float& temp, const FuelParams& p) {
    auto& f = s.fuel;
    temp = p.temp;
    for (int k = 1; k <= 2; ++k) f.eparat(k) = p.eparat[k - 1];
    f.emiss.zero();
    f.coldfuel.zero();
    f.coldemis.zero();
    for (int c = 1; c <= kSpeedModelSpecies; ++c) {
        for (int tp = 1; tp <= kTempPowers; ++tp)
            for (int i = 1; i <= kFuelPowers; ++i)
                f.emiss(i, tp, c) = p.emiss[c - 1][tp - 1][i - 1];
        for (int k = 1; k <= kColdTerms; ++k) f.coldemis(c, k) = p.coldemis[c - 1][k - 1];
    }
    for (int r = 1; r <= 2; ++r)
        for (int k = 1; k <= kColdTerms; ++k) f.coldfuel(r, k) = p.coldfuel[r - 1][k - 1];
}

// The records after the title; false (with the line) when one is missing or
// not a number.
bool read_params(FreeReader& in, FuelParams& p, int& line) {
    std::string subtitle;
    ReadResult  r = in.record(p.temp);
    if (r == ReadResult::ok) r = in.record(p.eparat[0], p.eparat[1]);
    for (int c = 0; c < kSpeedModelSpecies && r == ReadResult::ok; ++c) {
        r = in.record(subtitle);
        for (int tp = 0; tp < kTempPowers && r == ReadResult::ok; ++tp) {
            in.start_record();
            r = in.next(std::span<float>(p.emiss[c][tp]));
        }
    }
    if (r == ReadResult::ok) r = in.record(subtitle);
    for (int k = 0; k < 2 && r == ReadResult::ok; ++k) {
        in.start_record();
        r = in.next(std::span<float>(p.coldfuel[k]));
    }
    if (r == ReadResult::ok) r = in.record(subtitle);
    for (int c = 0; c < kSpeedModelSpecies && r == ReadResult::ok; ++c) {
        in.start_record();
        r = in.next(std::span<float>(p.coldemis[c]));
    }
    if (r == ReadResult::ok) return true;
    line = in.stopped_at(r);
    return false;
}

// Reads the parameter file `name` from the working directory. A file that
// does not open or has no title leaves the tables as they are and returns
// false; a file that fails after its title is reported and gives the defaults.
bool read_param_file(Sim& s, float& temp, const char* name) {
    auto& u = s.units;
    if (!u.open_read(kUnitFuelParams, name)) return false;
    FreeReader  in(u.in(kUnitFuelParams));
    std::string title;
    if (in.record(title) != ReadResult::ok) {
        u.close(kUnitFuelParams);
        return false;
    }
    wfree(u, kUnitRunLog, "  ");
    wfree(u, kUnitRunLog, "    - Reading custom environmental parameters ");
    FuelParams p;
    int        line = 0;
    if (read_params(in, p, line)) {
        store(s, temp, p);
    } else {
        log_broken(u, name, kErrParamFile, line, "the built-in environmental parameters are used");
        store(s, temp, FuelParams{});
    }
    u.close(kUnitFuelParams);
    return true;
}

// --- wind stations -----------------------------------------------------------

void wind_defaults(mod_wind& w) {
    w.nwndst = w.nwndrd = w.nwnres = 0;
    w.wndsta.zero();
    w.wndhd.zero();
    w.wndspd.zero();
    w.wndsta(1, 1) = 1.0f;
    w.wndsta(1, 2) = 1.0f;
    w.wndhd(1, 1) = 135.0f;
    w.wndspd(1, 1, 1) = 10.0f;
    w.wndspd(1, 1, 2) = 1.0f;
}

int held_resolution(double v) {
    const int r = netin::trunc_sat(v);
    return r <= 1 ? 1 : (r > kMaxWindResolution - 1 ? kMaxWindResolution : r);
}

enum class WindRead { no_data, complete, broken };

// Reads the file after opening into a fresh table and the echo lines, which
// are kept only when the whole file was read.
WindRead read_wind(FreeReader& in, mod_wind& w, std::vector<std::string>& echo, int& line) {
    std::string title;
    if (!in.text_line(title)) return WindRead::no_data;
    echo.push_back(free_line("     - wind heading file:", fmt_a(title, kShortTitleChars)));
    double     counts[3] = {};
    ReadResult r = in.record(counts[0], counts[1], counts[2]);
    if (r != ReadResult::ok) return WindRead::no_data;
    line = in.line();
    if (!netin::whole_within(counts[0], 0, kMaxWindStations) ||
        !netin::whole_within(counts[1], 0, kMaxWindReadings))
        return WindRead::broken;
    w.nwndst = netin::trunc_sat(counts[0]);
    w.nwndrd = netin::trunc_sat(counts[1]);
    w.nwnres = held_resolution(counts[2]);
    echo.push_back(free_line("     - number of wind stations :", w.nwndst));
    echo.push_back(free_line("     - number of wind readings :", w.nwndrd));
    echo.push_back(free_line("     - resolution of dispersion:", w.nwnres));
    for (int i = 1; i <= w.nwndst; ++i) {
        double label = 0.0;
        r = in.record(label, w.wndsta(i, 1), w.wndsta(i, 2));
        if (r != ReadResult::ok) {
            line = in.stopped_at(r);
            return WindRead::broken;
        }
        echo.push_back(free_line("     - wind station:", i, " x-coord:", w.wndsta(i, 1),
                                 " y-coord:", w.wndsta(i, 2)));
    }
    for (int rd = 1; rd <= w.nwndrd; ++rd) {
        echo.push_back(free_line("     - wind reading:", rd));
        double label = 0.0;
        in.start_record();
        r = in.next(label);
        for (int j = 1; j <= w.nwndst && r == ReadResult::ok; ++j) {
            r = in.next(w.wndhd(rd, j));
            if (r == ReadResult::ok) r = in.next(w.wndspd(rd, j, 1));
            if (r == ReadResult::ok) r = in.next(w.wndspd(rd, j, 2));
        }
        if (r != ReadResult::ok) {
            line = in.stopped_at(r);
            return WindRead::broken;
        }
        for (int j = 1; j <= w.nwndst; ++j)
            echo.push_back(
                "          - station:" + fmt_i(j, 5) + "  heading:" + fmt_f(w.wndhd(rd, j), 5, 1) +
                "  speeds:" + fmt_f(w.wndspd(rd, j, 1), 6, 1) + fmt_f(w.wndspd(rd, j, 2), 6, 1));
    }
    echo.push_back(free_line("     - wind heading data complete "));
    return WindRead::complete;
}

} // namespace

void readfuel(Sim& s) {
    auto& u = s.units;
    auto& f = s.fuel;
    for (int t = 1; t <= kVehicleTypes; ++t)
        f.fuelcoef.type(t) = builtin_fuel::coefficients()[static_cast<std::size_t>(t - 1)];
    f.fuelmeth = kFuelBuiltIn;
    netin::open_section(u, " 36. Instantaneous Fuel and Emissions ");

    const std::string name = netin::input_name(s, kCoefFile);
    bool              read = false;
    if (u.open_read(kUnitInput, name)) {
        FreeReader  in(u.in(kUnitInput));
        std::string title;
        // Nothing is kept or echoed until all 48 records are in.
        FuelTypeCoefs           type1 = f.fuelcoef.type(1);
        std::vector<CoefRecord> echo;
        echo.reserve(kCoefRecords);
        int         line = 1;
        const char* why = "the file has no title";
        if (in.text_line(title)) read = read_coef_records(s, in, type1, echo, line, why);
        u.close(kUnitInput);
        if (read) {
            wfree(u, kUnitSummary, "     a. Custom Fuel and Emissions  provided");
            wfree(u, kUnitSummary, "     - Fuel/Emissions file:", fmt_a(title, kShortTitleChars));
            f.fuelcoef.type(1) = type1;
            f.fuelmeth = kFuelFileType1;
            for (const CoefRecord& rec : echo) {
                std::string l = fmt_i(1, 3) + fmt_i(rec.e, 3) + fmt_i(rec.i + 1, 3);
                for (float k : rec.k) l += fmt_e(k, 16, 8);
                u.line(kUnitSummary, l);
            }
        } else {
            log_broken(u, kCoefFile, kErrCoefFile, line,
                       std::string(why) + ": the built-in fuel and emission coefficients are used");
            ++s.errcount.numerr;
        }
    }
    if (s.errflg.errchk[1] == kListAll) list_coefficients(s);
    if (!read) wfree(u, kUnitSummary, "     - Default fuel/emiss rates");
}

void infuel(Sim& s, float& temp) {
    if (!read_param_file(s, temp, kParamFile)) store(s, temp, FuelParams{});
}

void infuel2(Sim& s, float& temp) {
    read_param_file(s, temp, kParamFile2);
}

void rdwindhd(Sim& s) {
    auto& u = s.units;
    wind_defaults(s.wind);
    section_heading(u, kUnitSummary, " 42. Wind Heading Data        ");
    const std::string name = netin::input_name(s, kWindFile);
    WindRead          got = WindRead::no_data;
    if (u.open_read(kUnitInput, name)) {
        wfree(u, kUnitSummary, "     - Wind Heading File Opened ");
        FreeReader               in(u.in(kUnitInput));
        auto                     w = std::make_unique<mod_wind>();
        std::vector<std::string> echo;
        int                      line = 0;
        got = read_wind(in, *w, echo, line);
        if (got == WindRead::complete) {
            s.wind = std::move(*w);
            for (const std::string& l : echo) u.line(kUnitSummary, l);
        } else if (got == WindRead::broken) {
            log_broken(u, kWindFile, kErrWindFile, line, "no wind data are used");
        }
    }
    if (got != WindRead::complete)
        wfree(u, kUnitSummary, "     - no wind speed data specified     ");
    wfree(u, kUnitSummary, "     ");
    u.close(kUnitInput);
}

} // namespace velm
