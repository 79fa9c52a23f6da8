// Crash-risk exposure of every vehicle each second, per trip and per link,
// and the optional accident-rate file.
#include "core/reports/crash_exposure.h"

#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/reports/reports.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>

namespace velm {

namespace {

constexpr float kKmhPerMph = 1.6f;
constexpr float kRateMphLow = 20.0f, kRateMphHigh = 120.0f;   // fitted speeds of the rates
constexpr float kShareMphLow = 30.0f, kShareMphHigh = 120.0f; // fitted speeds of the shares

struct Regression {
    float a, b;
};
constexpr Regression kRates[kCrashRateEquations] = {
    {-4.903643f, -0.02150144f}, {-5.01329f, -0.02355907f},  {-4.483434f, -0.01709544f},
    {-4.283242f, -0.01958949f}, {-6.600148f, -0.0411106f},  {-5.340775f, -0.02308994f},
    {-6.694593f, -0.02604136f}, {-5.641287f, -0.03207969f}, {-5.154935f, -0.02010042f},
    {-4.715897f, -0.0209574f},  {-4.589322f, -0.01992627f}, {-5.073631f, -0.01997625f},
    {-7.133252f, -0.01453684f}, {-4.848827f, -0.01778135f}, {-2.419018f, -0.02017025f}};

struct Cubic {
    float a, b, c, d;
};
constexpr Cubic kInjury[kInjuryShares] = {{0.6849068f, -0.01834902f, 0.000404226f, -2.93146e-06f},
                                          {0.06149882f, 0.001148376f, 8.36568e-05f, -1.31214e-06f},
                                          {0.3813167f, -0.01113108f, 0.000156714f, -7.44377e-07f},
                                          {-0.3307537f, 0.03030406f, -0.00069379f, 5.08542e-06f},
                                          {-0.0339185f, 0.002760289f, -6.63681e-05f, 5.31696e-07f}};
constexpr Cubic kDamage[kDamageShares] = {{-0.2397004f, 0.02074833f, -0.000456083f, 3.07144e-06f},
                                          {1.880157f, -0.1151686f, 0.002713999f, -1.98096e-05f},
                                          {-0.4087256f, 0.05337056f, -0.001282669f, 9.55118e-06f},
                                          {-0.3614295f, 0.04493064f, -0.001113984f, 8.48361e-06f}};

// Shares of the cubics at speed v (km/h): negative ones count as 0, the rest
// divided by their sum.
template <std::size_t N> void shares(const Cubic (&poly)[N], float v, std::array<float, N>& share) {
    const float x = std::clamp(v / kKmhPerMph, kShareMphLow, kShareMphHigh);
    float       sum = 0.0f;
    for (std::size_t i = 0; i < N; ++i) {
        const Cubic& p = poly[i];
        share[i] = std::max(0.0f, p.a + x * (p.b + x * (p.c + x * p.d)));
        sum += share[i];
    }
    // Within the fitted range the shares never all vanish; a zero sum would
    // only come from damaged coefficients, and then nothing is split.
    for (float& f : share) f = sum > 0.0f ? f / sum : 0.0f;
}

// --- the accident-rate file ---------------------------------------------------

constexpr char  kAcciFile[] = "accirate.dat";
constexpr int   kErrAcciFile = 810810; // the file opened but could not be read to its end
constexpr float kDefaultBaseRate = 0.352f;
constexpr float kDefaultGadget = 1.0f;
constexpr int   kDefaultGroup = 9;
constexpr int   kAcciTitleChars = 40;

// Reads `rows` records of the table's columns, row by row.
template <class Table> ReadResult read_rows(FreeReader& in, Table& table, int rows, int cols) {
    for (int i = 1; i <= rows; ++i) {
        in.start_record();
        for (int j = 1; j <= cols; ++j)
            if (const ReadResult r = in.next(table(i, j)); r != ReadResult::ok) return r;
    }
    return ReadResult::ok;
}

ReadResult read_title(FreeReader& in, std::string& title) {
    if (!in.text_line(title)) return ReadResult::end_of_file;
    title = fmt_a(title, kAcciTitleChars);
    return ReadResult::ok;
}

// The three tables with their titles and progress lines; stops at the first
// line that is missing or not a number.
ReadResult read_acci(Units& u, FreeReader& in, mod_accid& a) {
    std::string title;
    ReadResult  r = read_title(in, title);
    if (r != ReadResult::ok) return r;
    wfree(u, kUnitSummary, "          Base accident rate file  :", title);
    if ((r = read_rows(in, a.baseacci, kBaseRateRows, kBaseRateCols)) != ReadResult::ok) return r;
    wfree(u, kUnitSummary, "     - Base accident rate input complete ");
    if ((r = read_title(in, title)) != ReadResult::ok) return r;
    wfree(u, kUnitSummary, "     - Gadget factor data file  :", title);
    if ((r = read_rows(in, a.gadfact, kGadgetRows, kGadgetCols)) != ReadResult::ok) return r;
    wfree(u, kUnitSummary, "     - Gadget factor input complete ");
    if ((r = read_title(in, title)) != ReadResult::ok) return r;
    wfree(u, kUnitSummary, "          Gadget factor index file :", title);
    if ((r = read_rows(in, a.accigrp, kGadgetGroupRows, kGadgetGroupCols)) != ReadResult::ok)
        return r;
    wfree(u, kUnitSummary, "     - Gadget index  input complete ");
    return ReadResult::ok;
}

// The six amounts of one vehicle-second at crash rate e for a vehicle at
// smoothed speed v (km/h).
std::array<float, kCrashCategories> split(float e, float v) {
    std::array<float, kInjuryShares> inj{};
    std::array<float, kDamageShares> dam{};
    acc_inj(v, inj);
    acc_dam(v, dam);
    return {e, e * (inj[1] + inj[2] + inj[3]), e * inj[4], e * dam[0], e * dam[1], e * dam[2]};
}

float exposure_rate(float freespd) {
    std::array<float, kCrashRateEquations> rate{}, rate2{};
    acc_rat(freespd, rate, rate2);
    return rate[kExposureEquation - 1];
}

} // namespace

void acc_rat(float v, std::array<float, kCrashRateEquations>& rate,
             std::array<float, kCrashRateEquations>& rate2) {
    const float x = std::clamp(v / kKmhPerMph, kRateMphLow, kRateMphHigh);
    for (int r = 0; r < kCrashRateEquations; ++r) {
        rate[static_cast<std::size_t>(r)] = std::exp(kRates[r].a + kRates[r].b * x);
        rate2[static_cast<std::size_t>(r)] =
            rate[static_cast<std::size_t>(r)] / x * kSecondsPerHour / kKmhPerMph;
    }
}

void acc_inj(float v, std::array<float, kInjuryShares>& share) {
    shares(kInjury, v, share);
}

void acc_dam(float v, std::array<float, kDamageShares>& share) {
    shares(kDamage, v, share);
}

std::array<float, kCrashCategories> crash_amounts(float freespd, float v) {
    return split(exposure_rate(freespd), v);
}

void updtacci(Sim& s) {
    auto&       vehacc = s.accid.vehacc;
    auto&       linkacc = s.accid.linkacc;
    auto&       trpdst = s.vehplot.trpdst;
    const auto& l2 = s.link2;
    for (int i = 1; i <= l2.mlnum; ++i) {
        const int n = l2.ntqu(i);
        if (n <= 0) continue;
        // The crash rate depends on the link alone: one evaluation per link.
        const float e = exposure_rate(s.link4.freespd(i));
        const int   base = l2.nbqu(i);
        for (int k = 1; k <= n; ++k) {
            const int  car = s.vehicle.big(base + k);
            const int  vid = s.vehindx.vehid(car);
            const auto amount = split(e, s.vehplot.spd(vid, 4));
            for (int c = 1; c <= kCrashCategories; ++c) {
                const float a = amount[static_cast<std::size_t>(c - 1)];
                vehacc(car, 1, c) += a;
                vehacc(car, 2, c) += a;
                vehacc(car, 3, c) = a;
                linkacc(i, 1, c) += a;
                linkacc(i, 2, c) += a;
            }
            trpdst(car, 2) = trpdst(car, 1);
        }
    }
}

void readacci(Sim& s) {
    auto& u = s.units;
    auto& a = s.accid;
    wfree(u, kUnitSummary, "   ");
    section_heading(u, kUnitSummary, " 15. Accident Rate Analysis ");
    bool read = false;
    if (u.open_read(kUnitInput, kAcciFile)) {
        wfree(u, kUnitSummary, "     - Accident and Gadget factor file open ");
        FreeReader       in(u.in(kUnitInput));
        const ReadResult r = read_acci(u, in, a);
        const int stopped_at = in.stopped_at(r);
        u.close(kUnitInput);
        read = r == ReadResult::ok;
        if (read)
            wfree(u, kUnitSummary, "     - Input of Accident Rates complete   ");
        else
            wfree(u, kUnitRunLog, kAcciFile, " Error", kErrAcciFile, "at line", stopped_at,
                  "- the default accident rates are used");
    }
    if (!read) {
        wfree(u, kUnitSummary, "     - Setting default accident rates     ");
        a.baseacci.fill(kDefaultBaseRate);
        a.gadfact.fill(kDefaultGadget);
        a.accigrp.fill(kDefaultGroup);
    }
    wfree(u, kUnitSummary, "    ");
}

} // namespace velm
