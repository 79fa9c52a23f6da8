// The global summary: 25 statistics of the completed trips per vehicle class
// and in total, as sums and as averages per trip, in the file of master slot
// 28 (written at the end of every run).
#include "core/demand/demand_files.h"
#include "core/driver/errors.h"
#include "core/driver/run_text.h"
#include "core/io/writers.h"
#include "core/reports/reports.h"

#include <array>
#include <string>

namespace velm {

namespace {

constexpr int kGlobalSlot = 28;
constexpr int kUnitGlobal = 1;
constexpr int kErrGlobalFile = 810310; // the global summary file could not be created
constexpr int kRows = 25;
constexpr int kLabelChars = 40;
constexpr int kNumberWidth = 14;
constexpr int kSumDecimals = 2, kAverageDecimals = 4;

// Rows averaged per person trip rather than per vehicle trip.
constexpr int kPersonTrips = 2, kPersonKm = 4, kPersonSecs = 7;

constexpr const char* kLabels[kRows] = {
    "     - vehicle trips",     "     - person trips",   "     - vehicle-km",
    "     - person-km",         "     - vehicle-stops",  "     - vehicle-secs",
    "     - person-secs",       "     - total delay",    "     - stopped delay",
    "     - accel/decel delay", "     - accel-noise",    "     - fuel (l)",
    "     - Energy (KWh)",      "     - HC (g)",         "     - CO (g)",
    "     - NOx (g)",           "     - CO2 (g)",        "     - PM (g)",
    "     - crashes*10e-6",     "     - injury crashes", "     - fatal crashes",
    "     - no damage",         "     - minor damage",   "     - moderate damage",
    "     - dollars of toll"};

// Column 0 is the total, columns 1..5 the classes; rows 1..25 at [r - 1].
using Table = std::array<std::array<double, kClasses + 1>, kRows>;

// What completed trip car adds to rows 1..25.
std::array<double, kRows> contributions(const Sim& s, int car) {
    const auto&               v = s.vehicle;
    const double              persons = s.oddat.percar(car);
    const double              km = s.vehplot.trpdst(car, 1);
    const double              secs = static_cast<double>(v.arrt(car)) - v.strtrp(car, 1);
    const double              delay = v.stpdel(car, 4), stopped = v.stpdel(car, 2);
    std::array<double, kRows> r{1.0,
                                persons,
                                km,
                                km * persons,
                                s.link1.stops(car, 1),
                                secs,
                                secs * persons,
                                delay,
                                stopped,
                                delay - stopped,
                                v.vaccel(car, 2),
                                v.envt(car, 1),
                                v.envt(car, 7) / kSecondsPerHour,
                                v.envt(car, 2),
                                v.envt(car, 3),
                                v.envt(car, 4),
                                v.envt(car, 5),
                                v.envt(car, 6)};
    for (int c = 1; c <= kCrashCategories; ++c)
        r[static_cast<std::size_t>(18 + c - 1)] = s.accid.vehacc(car, 2, c);
    r[kRows - 1] = s.tolplaz.vehtol(car, 2);
    return r;
}

Table sums_of_completed_trips(const Sim& s) {
    Table sum{};
    for (int car = 1; car <= s.set2.tdemand; ++car) {
        // Arrival sets dept to -1; a trip scheduled at time 0 that never left
        // its origin still holds 0 and has not completed.
        if (!(s.vehicle.dept(car) < 0.0f)) continue;
        const int c = s.oddat.vtyp(car);
        if (c < 1 || c > kClasses) continue;
        const auto add = contributions(s, car);
        for (std::size_t r = 0; r < kRows; ++r) {
            sum[r][static_cast<std::size_t>(c)] += add[r];
            sum[r][0] += add[r];
        }
    }
    return sum;
}

Table averages_of(const Table& sum) {
    Table avg{};
    for (std::size_t c = 0; c <= kClasses; ++c) {
        const double trips = sum[0][c];
        if (trips == 0.0) continue; // a column without trips averages 0
        const double persons = sum[kPersonTrips - 1][c];
        for (int r = 1; r <= kRows; ++r) {
            const bool   per_person = r == kPersonTrips || r == kPersonKm || r == kPersonSecs;
            const double by = per_person ? persons : trips;
            const auto   i = static_cast<std::size_t>(r - 1);
            avg[i][c] = by != 0.0 ? sum[i][c] / by : 0.0;
        }
    }
    return avg;
}

void write_rows(Units& u, const Table& t, int decimals) {
    for (int r = 1; r <= kRows; ++r) {
        const auto& row = t[static_cast<std::size_t>(r - 1)];
        std::string line = fmt_i(r, 3);
        for (std::size_t c = 1; c <= kClasses; ++c) line += fmt_f(row[c], kNumberWidth, decimals);
        line += fmt_f(row[0], kNumberWidth, decimals);
        line += fmt_a(kLabels[r - 1], kLabelChars);
        u.line(kUnitGlobal, line);
    }
}

} // namespace

void globsum(Sim& s) {
    auto& u = s.units;
    if (slot_unused(s.filenam.files(kGlobalSlot))) return; // "none": no global summary
    const Table       sum = sums_of_completed_trips(s);
    const std::string name = output_path(s, s.filenam.files(kGlobalSlot));
    if (!u.open_write(kUnitGlobal, name)) {
        wfree(u, kUnitRunLog, " Error", kErrGlobalFile, " cannot create the global summary ", name,
              "- the run goes on without it");
        wfree(u, kUnitConsole, " Global summary not written: cannot create", name);
        output_not_written(s, name);
        return;
    }
    u.line(kUnitGlobal, fmt_a(s.filenam.mastitle, kTitleLineChars));
    if (s.subtim.stopped_at >= 0)
        wfree(u, kUnitGlobal, "Run stopped at simulation clock", s.subtim.stopped_at, "s of",
              s.set1.simtim1, "s: trips completed up to that second");
    wfree(u, kUnitGlobal, "Total Statistics: ");
    write_rows(u, sum, kSumDecimals);
    u.line(kUnitGlobal, " ");
    wfree(u, kUnitGlobal, "Average Statistics: ");
    write_rows(u, averages_of(sum), kAverageDecimals);
    u.close(kUnitGlobal);
}

} // namespace velm
