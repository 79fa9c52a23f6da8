// Scheduled link free-speed changes: the optional file "spd_ctrl.dat" of the
// input directory (work zones, variable limits on a timetable) and the events
// it gives, applied at the head of every tick.
#include "core/control/control.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace velm {

namespace {

constexpr const char* kSpeedFile = "spd_ctrl.dat";
constexpr const char* kFileError = "Error in Input File spd_ctrl.dat.  ";
constexpr const char* kEntryError = "Error in Input File spd_ctrl.dat. Entry Number ";
constexpr int         kFreeSpeed = 7; // spdvol(l, 7): the link's free speed, km/h
constexpr int         kTitleChars = 40;
constexpr int         kTitleField = 70;

// The reader's codes: 1021 no title line, 1022 a bad value, 1023 the file
// ends before a value.
constexpr int kNoTitle = 1021;
constexpr int kBadValue = 1022;
constexpr int kOutOfData = 1023;

// The code of a fatal error, ahead of its lines.
void error_code(Sim& s, int code) {
    wfree(s.units, kUnitRunLog, "ERROR " + std::to_string(code));
}

// One fatal error with its lines in the run log; the run ends after the
// input phase, keeping the events read before.
template <class... T> void speed_file_error(Sim& s, const T&... second_line) {
    wfree(s.units, kUnitRunLog, second_line...);
    ++s.errcount.numerr;
    ++s.errcount.errt1;
}

// The first whole second that reaches an event's time: when it falls due.
double due_second(float time) {
    return std::ceil(static_cast<double>(time));
}

// Lays out the cursor's order over the events of the table: by the second in
// which each falls due, then by event number, as the per-tick scan would meet
// them.
void order_events(mod_spd_ctrl& sc) {
    auto& a = sc.spd_ctrl_array;
    sc.n_events = 2 * sc.num_spd_ctrl;
    sc.next_event = 1;
    if (sc.n_events == 0) return;
    for (int e = 1; e <= sc.n_events; ++e) sc.due_order(e) = e;
    int* first = &sc.due_order(1);
    std::stable_sort(first, first + sc.n_events,
                     [&a](int x, int y) { return due_second(a(1, x)) < due_second(a(1, y)); });
    sc.next_event = 1;
}

// Reads the entries; false after a fatal error (the lines are written).
bool read_entries(Sim& s, FreeReader& in) {
    auto& u = s.units;
    auto& sc = s.spd_ctrl;
    auto& a = sc.spd_ctrl_array;

    std::string title;
    if (!in.text_line(title)) {
        error_code(s, kNoTitle);
        wfree(u, kUnitRunLog, kFileError);
        speed_file_error(s, "The file contains no data");
        return false;
    }
    wfree(u, kUnitSummary, "  Open Speed control Data File:");
    u.line(kUnitSummary, "     - " + fmt_a(fmt_a(title, kTitleChars), kTitleField));

    int n = 0;
    if (const ReadResult r = in.record(n); r != ReadResult::ok) {
        error_code(s, r == ReadResult::end_of_file ? kOutOfData : kBadValue);
        wfree(u, kUnitRunLog, kFileError);
        speed_file_error(s, "Number of Speed control entries missing or not a number at LINE",
                         in.stopped_at(r));
        return false;
    }
    if (n > kMaxSpeedEntries || n < 0) {
        error_code(s, kBadValue);
        wfree(u, kUnitRunLog, kFileError);
        speed_file_error(s, "Number of Speed control entries is  ", n,
                         n < 0 ? " which is below 0 " : " which is greater 2000 ", " at LINE",
                         in.line());
        return false;
    }
    wfree(u, kUnitSummary, "     - number of  entries  = ", n);

    const auto& spdvol = s.link1.spdvol;
    const auto& llength = s.link4.llength;
    for (int i = 1; i <= n; ++i) {
        float            number = 0, link = 0, factor = 0, t_s = 0, t_e = 0;
        const ReadResult r = in.record(number, link, factor, t_s, t_e);
        if (r != ReadResult::ok || in.slashed()) {
            const bool out_of_data = r == ReadResult::end_of_file;
            error_code(s, out_of_data ? kOutOfData : kBadValue);
            wfree(u, kUnitRunLog, kEntryError, i);
            speed_file_error(s,
                             out_of_data ? "Out of data at LINE" : "Missing or bad number at LINE",
                             in.stopped_at(r));
            return false;
        }
        if (t_s >= t_e) {
            error_code(s, kBadValue);
            wfree(u, kUnitRunLog, kEntryError, i);
            speed_file_error(s, "Start Time", t_s, " is greater than or equal the End Time ", t_e,
                             " at LINE", in.line());
            return false;
        }
        // A link number is a whole number of a coded link: anything else would
        // reach past the link tables or change a speed nobody drives at.
        if (!(link >= 1.0f && link <= static_cast<float>(kMaxLinks)) || link != std::trunc(link) ||
            llength(static_cast<int>(link)) < 0.0f) {
            error_code(s, kBadValue);
            wfree(u, kUnitRunLog, kEntryError, i);
            speed_file_error(s, "Link", link, " is not a defined link at LINE", in.line());
            return false;
        }
        // A free speed of 0 or below stops every vehicle on the link for good.
        if (!(factor > 0.0f)) {
            error_code(s, kBadValue);
            wfree(u, kUnitRunLog, kEntryError, i);
            speed_file_error(s, "Speed factor", factor, " is not above 0 at LINE", in.line());
            return false;
        }
        const int   l = static_cast<int>(link);
        const float base = spdvol(l, kFreeSpeed);
        a(1, 2 * i - 1) = t_s;
        a(2, 2 * i - 1) = link;
        a(3, 2 * i - 1) = factor * base;
        a(1, 2 * i) = t_e;
        a(2, 2 * i) = link;
        a(3, 2 * i) = base;
        sc.num_spd_ctrl = i;
    }
    return true;
}

} // namespace

void read_dyn_lnk_spd_ctrl(Sim& s) {
    auto& u = s.units;
    auto& sc = s.spd_ctrl;
    section_banner(u);
    wfree(u, kUnitRunLog, "   ");
    wfree(u, kUnitRunLog, std::string(50, '-'));
    wfree(u, kUnitRunLog, "   ");
    wfree(u, kUnitRunLog, "\t  - Reading Speed Control File spd_ctrl.  ");

    sc.spd_ctrl_array.resize(3, kSpeedEvents);
    sc.due_order.resize(kSpeedEvents);
    sc.reset();
    const std::string name = netin::input_name(s, kSpeedFile);
    if (u.exists(name) && u.open_read(kUnitInput, name)) {
        FreeReader in(u.in(kUnitInput));
        read_entries(s, in);
        u.close(kUnitInput);
    }
    // Events read before a fatal error stay: the run ends after the input
    // phase, and the table shows what was taken.
    sc.spd_ctrl_array.resize(3, 2 * sc.num_spd_ctrl);
    sc.due_order.resize(2 * sc.num_spd_ctrl);
    order_events(sc);
    wfree(u, kUnitRunLog, "\t  - Reading Speed Control File ....   Completed    ");
}

void sub_dyn_lnk_spd_ctrl(Sim& s) {
    auto& sc = s.spd_ctrl;
    if (sc.next_event > sc.n_events) return;
    auto&       a = sc.spd_ctrl_array;
    auto&       spdvol = s.link1.spdvol;
    const float t = static_cast<float>(s.control.t);
    // Events due in one second are contiguous in the order and among
    // themselves in event number, so a later start or end wins.
    while (sc.next_event <= sc.n_events) {
        const int e = sc.due_order(sc.next_event);
        if (!(t >= a(1, e))) break;
        spdvol(static_cast<int>(a(2, e)), kFreeSpeed) = a(3, e);
        a(1, e) = a(2, e) = a(3, e) = kSpeedEventDone;
        ++sc.next_event;
    }
}

} // namespace velm
