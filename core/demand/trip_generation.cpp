// The inputs of demand synthesis: trip rates of the land uses and their
// spread over the time slices ("trp_gen.dat"), and the coefficients of the
// mode split and of the peak spreading ("mod_shf.dat").
#include "core/demand/demand.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"

#include <array>
#include <string>

namespace velm {

namespace {

constexpr const char* kTripGenFile = "trp_gen.dat";
constexpr const char* kModeSplitFile = "mod_shf.dat";
constexpr int         kTripGenTitle = 43; // entries of ftitle
constexpr int         kModeSplitTitle = 44;
constexpr int         kTripTitleEchoChars = 30; // characters of a title echoed
constexpr float       kMaxRandomness = 1.0f;    // headway randomness lies in -1..1

void section(Units& u, const char* heading) {
    wfree(u, kUnitSummary, "   ");
    section_heading(u, kUnitSummary, heading);
}

// The production or attraction record of land use k (column c): its number
// and a real that are not used, the rate, then one share per slice.
bool read_rates(Sim& s, FreeReader& in, int k, int c) {
    auto& lu = s.landuse;
    int   number = 0;
    float unused = 0.0f;
    in.start_record();
    if (in.next(number) != ReadResult::ok || in.next(unused) != ReadResult::ok ||
        in.next(lu.trprat1(k, c)) != ReadResult::ok)
        return false;
    for (int sl = 1; sl <= lu.ntrpslc; ++sl)
        if (in.next(lu.trprat2(k, c, sl)) != ReadResult::ok) return false;
    return true;
}

void echo_shares(Sim& s, int k, int c) {
    FreeLine l;
    l << "      Time Dist: ";
    for (int sl = 1; sl <= s.landuse.ntrpslc; ++sl) l << s.landuse.trprat2(k, c, sl);
    s.units.line(kUnitSummary, l.str());
}

// The counts corrected into the tables' range, with their warnings.
void correct_counts(Sim& s) {
    auto& lu = s.landuse;
    auto& u = s.units;
    if (lu.ntrplnd > kMaxLandUses) {
        wfree(u, kUnitRunLog, " - Number of Land Uses:", lu.ntrplnd,
              " exceeds maximum : ", kMaxLandUses);
        wfree(u, kUnitRunLog, "   Number of Land uses is set equal to ", kMaxLandUses);
        lu.ntrplnd = kMaxLandUses;
    }
    if (lu.ntrplnd < 0) {
        wfree(u, kUnitRunLog, " - Number of Land Uses:", lu.ntrplnd, " is negative and illegal ");
        wfree(u, kUnitRunLog, "   Number of Land uses is set equal to ", 0);
        lu.ntrplnd = 0;
    }
    if (lu.ntrpslc > kMaxTripSlices) {
        wfree(u, kUnitRunLog, " - Number of Time Slices:", lu.ntrpslc,
              " exceeds maximum : ", kMaxTripSlices);
        wfree(u, kUnitRunLog, "   Number of Time Slices set equal to ", kMaxTripSlices);
        lu.ntrpslc = kMaxTripSlices;
    }
    if (lu.ntrpslc < 0) {
        wfree(u, kUnitRunLog, " - Number of Time Slices:", lu.ntrpslc, " is less than    : ", 0);
        wfree(u, kUnitRunLog, "   Number of Time Slices set equal to ", 0);
        lu.ntrpslc = 0;
    }
}

enum class TripGenRead { complete, unreadable, refused };

// The whole file; `line` is the record where reading stopped (title = 1,
// counts = 2, land use k on 2k + 1 and 2k + 2).
TripGenRead read_trip_generation(Sim& s, FreeReader& in, int& line) {
    auto& lu = s.landuse;
    auto& u = s.units;
    line = 1;
    std::string title;
    if (!in.text_line(title)) return TripGenRead::unreadable;
    s.filenam.ftitle(kTripGenTitle) = netin::first_chars(title, kTitleLineChars);
    u.line(kUnitSummary, "     - Trip Generation file: " + fmt_a(title, kTripTitleEchoChars));

    line = 2;
    int   nland = 0, nslices = 0, duration = 0;
    float randomness = 0.0f;
    if (in.record(nland, nslices, duration, randomness) != ReadResult::ok)
        return TripGenRead::unreadable;
    lu.ntrplnd = nland;
    lu.ntrpslc = nslices;
    lu.dtrpslc = duration;
    lu.ranfac = randomness;
    wfree(u, kUnitSummary, "     - Number of land uses     : ", nland);
    wfree(u, kUnitSummary, "     - Number of time slices   : ", nslices);
    wfree(u, kUnitSummary, "     - Duration of time slices : ", duration);
    wfree(u, kUnitSummary, "     - Randomness factor       : ", randomness);
    correct_counts(s);

    // Every synthesised record carries this randomness unchecked, and outside
    // -1..1 the headways it shapes would turn negative.
    if (!(randomness >= -kMaxRandomness && randomness <= kMaxRandomness)) {
        wfree(u, kUnitRunLog, " ERROR: ");
        wfree(u, kUnitRunLog, " Randomness factor of trip generation", randomness,
              " is outside -1 to 1");
        wfree(u, kUnitRunLog, " Error occurred on line ", line);
        return TripGenRead::refused;
    }
    // A slice without duration would give every synthesised record an empty
    // period, so the demand would vanish without a word.
    if (lu.ntrpslc > 0 && duration <= 0) {
        wfree(u, kUnitRunLog, " ERROR: ");
        wfree(u, kUnitRunLog, " Duration of time slices", duration, " is not positive");
        wfree(u, kUnitRunLog, " Error occurred on line ", line);
        return TripGenRead::refused;
    }

    for (int k = 1; k <= lu.ntrplnd; ++k) {
        line = 2 * k + 1;
        if (!read_rates(s, in, k, 1)) return TripGenRead::unreadable;
        line = 2 * k + 2;
        if (!read_rates(s, in, k, 2)) return TripGenRead::unreadable;
        wfree(u, kUnitSummary, "    - Land Use:", k);
        wfree(u, kUnitSummary, "      Trip Prod: ", lu.trprat1(k, 1));
        echo_shares(s, k, 1);
        wfree(u, kUnitSummary, "      Trip Attr: ", lu.trprat1(k, 2));
        echo_shares(s, k, 2);
    }
    return TripGenRead::complete;
}

// Records 2 to 6 of "mod_shf.dat"; `line` is the record where reading stopped.
bool read_mode_split(Sim& s, FreeReader& in, int& line) {
    auto& m = s.modshf;
    auto& u = s.units;
    line = 1;
    std::string title;
    if (!in.text_line(title)) return false;
    s.filenam.ftitle(kModeSplitTitle) = netin::first_chars(title, kTitleLineChars);
    u.line(kUnitSummary, "     - Mode Utility file: " + fmt_a(title, kTripTitleEchoChars));

    std::array<float, kClasses> v{};
    auto                        five = [&](int record) {
        line = record;
        in.start_record();
        for (float& x : v)
            if (in.next(x) != ReadResult::ok) return false;
        return true;
    };
    auto echo_five = [&](const char* label) {
        FreeLine l;
        l << label;
        for (float x : v) l << x;
        u.line(kUnitSummary, l.str());
    };
    auto store = [&](Array2<float>& table, int col) {
        for (int c = 1; c <= kClasses; ++c) table(c, col) = v[static_cast<std::size_t>(c - 1)];
    };

    if (!five(2)) return false;
    store(m.modcon, 1);
    echo_five("     - Modal Constants    :");

    line = 3;
    if (in.record(m.timcof, m.tolcof) != ReadResult::ok) return false;
    wfree(u, kUnitSummary, "     - Travel Tim Coeff   :", m.timcof);
    wfree(u, kUnitSummary, "     - Fare/Toll Coeff    :", m.tolcof);

    if (!five(4)) return false;
    for (int c = 1; c <= kClasses; ++c) m.per_veh(c) = v[static_cast<std::size_t>(c - 1)];
    echo_five("     - Vehicles per Person:");

    if (!five(5)) return false;
    store(m.modcon, 2);
    echo_five("     - Travel Time Coeff:  ");

    if (!five(6)) return false;
    store(m.modcon, 3);
    echo_five("     - Schedule Delay Coef:");
    return true;
}

} // namespace

void rdtrpgen(Sim& s) {
    auto& lu = s.landuse;
    auto& u = s.units;
    lu.ntrplnd = 0;
    lu.ntrpslc = 0;
    lu.dtrpslc = 0;
    lu.step8 = 0;
    section(u, " 44. Trip Generation Rates                 ");
    lu.trprat1.zero();
    lu.trprat2.zero();

    if (!u.open_read(kUnitInput, netin::input_name(s, kTripGenFile))) {
        wfree(u, kUnitSummary, " - No Trip Generation file used");
        return;
    }
    wfree(u, kUnitSummary, "     - trip genration rate file opened ");
    FreeReader        in(u.in(kUnitInput));
    int               line = 0;
    const TripGenRead r = read_trip_generation(s, in, line);
    u.close(kUnitInput);
    if (r == TripGenRead::complete) {
        lu.step8 = 1;
        return;
    }
    if (r == TripGenRead::unreadable) {
        wfree(u, kUnitRunLog, " ERROR: ");
        wfree(u, kUnitRunLog, " Error reading in trip generation rates");
        wfree(u, kUnitRunLog, " Error occurred on line ", line);
    }
    s.errcount.errt1 += 1;
}

void rdmodshf(Sim& s) {
    auto& u = s.units;
    section(u, " 45. Mode Split Parameters                 ");
    s.modshf.reset();

    if (!u.open_read(kUnitInput, netin::input_name(s, kModeSplitFile))) {
        wfree(u, kUnitSummary, " - No Mode Coefficients used");
        return;
    }
    wfree(u, kUnitSummary, "     - mode utility data file opened ");
    FreeReader in(u.in(kUnitInput));
    int        line = 0;
    const bool complete = read_mode_split(s, in, line);
    u.close(kUnitInput);
    if (complete) return;
    wfree(u, kUnitRunLog, " ERROR: ");
    wfree(u, kUnitRunLog, " Error occurred on line ", line);
    s.errcount.errt1 += 1;
}

} // namespace velm
