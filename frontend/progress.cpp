#include "frontend/progress.h"

#include "frontend/locks.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string_view>

namespace velm::gui {

int thread_processor_tenths() {
    timespec ts{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0) return 0;
    return static_cast<int>(ts.tv_sec * 10 + ts.tv_nsec / 100000000);
}

namespace {

template <class... A> std::string format(const char* layout, A... values) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, layout, values...);
    return buffer;
}

struct Labelled {
    int              value;
    std::string_view text;
};

constexpr std::array<Labelled, 7> kStepTexts{{
    {0, "Continuous "},
    {1, "Deci-Second"},
    {10, "1 Second   "},
    {100, "10 Seconds "},
    {600, "1 Minute   "},
    {6000, "10 Minutes "},
    {36000, "1  Hour    "},
}};

constexpr std::array<Labelled, 6> kSpeedTexts{{
    {0, "Maximum"},
    {10, "Real Time x10.0"},
    {20, "Real Time x 5.0"},
    {50, "Real Time x 2.0"},
    {100, "Real Time x 1.0"},
    {200, "Real Time x 0.5"},
}};

template <std::size_t N>
bool pick(const std::array<Labelled, N>& table, int value, std::string& text) {
    for (const auto& entry : table)
        if (entry.value == value) {
            text = entry.text;
            return true;
        }
    return false;
}

} // namespace

std::string time_text(int ticks) {
    const int t = ticks;
    return format("%8i.%1i - %02i:%02i:%02i.%1i", t / 10, t % 10, t / 36000, (t / 600) % 60,
                  (t / 10) % 60, t % 10);
}

bool step_text(int indstp, std::string& text) {
    return pick(kStepTexts, indstp, text);
}
bool speed_text(int clocks, std::string& text) {
    return pick(kSpeedTexts, clocks, text);
}

std::string tracking_text(int mode, int first, int second) {
    switch (mode) {
    case 1:
        return format(" Tracking Vehicle: %8i", first);
    case 2:
        return format(" Tracking Vehicle Class: %8i", first);
    case 3:
        return format(" Tracking O-D Pair: %8i - %8i", first, second);
    case 4:
        return format(" Tracking Origin  : %8i", first);
    case 5:
        return format(" Tracking Destination : %8i", first);
    case 6:
        return " Tracking Lane Changes";
    case 7:
        return " Tracking Stopped Vehicles";
    case 8:
        return " Tracking Decelerating Vehicles";
    case 9:
        return " Tracking Accelerating Vehicles";
    case 10:
        return " Probes Reporting Every Trip";
    case 11:
        return " Probes Reporting Every Link";
    case 12:
        return " Probes Reporting Every Second";
    case 13:
        return " Vehicles Diverted En-Route";
    default:
        return "No Special Tracking Active";
    }
}

void format_progress_lines(const ProgressReport& r, ProgressTexts& x) {
    x.line[0] = format(" Update: %s", kProductVersionText);
    x.string1 = time_text(r.t10);
    x.string2 = time_text(r.clock);
    x.line[1] =
        format("TIME: Simulation:%s       -       CPU:%s", x.string1.c_str(), x.string2.c_str());
    x.line[2] = format("VEHICLES:  Departed:%8i Deferred:%8i En-route:%8i Arrived:%8i", r.tdep,
                       r.totin, r.tenr, r.tarr);
    step_text(r.indstp, x.str1);
    speed_text(r.clocks, x.str2);
    x.line[3] = format("Time Step: %s-  Target Speed: %s", x.str1.c_str(), x.str2.c_str());
    x.line[4] = tracking_text(r.track_mode, r.track_first, r.track_second);
}

std::string progress_log_line(int second, const ProgressTexts& x) {
    return "[" + std::to_string(second) + "] = " + x.line[1] + " | " + x.line[2] + " | " +
           x.line[3] + " | " + x.line[4];
}

bool write_info_to_file(const std::string& name, const std::string& text) {
    std::ofstream out(name, std::ios::app);
    if (!out) return false;
    out << text << '\n';
    return static_cast<bool>(out);
}

ProgressHook::ProgressHook(ProgressTexts& texts, const InterfaceFlags& flags,
                           const UiDispatcher& ui, Actions actions, std::string log_name)
    : texts_(texts), flags_(flags), ui_(ui), actions_(std::move(actions)),
      log_name_(std::move(log_name)) {}

void ProgressHook::report(const ProgressReport& r) {
    {
        Held held(LockId::p_window, "dlg_progress_lines_nt");
        last_ = r;
        format_progress_lines(r, texts_);
    }
    {
        Held held(LockId::core_data_transfer, "dlg_progress_lines_nt");
        global_simulation_time_ = r.t10;
    }
    const int second = r.t10 / 10;
    if (second % kProgressLogPeriod == 0) {
        if (flags_.log_screen_shots && actions_.snapshot) actions_.snapshot(second);
        std::string line;
        {
            Held held(LockId::p_window, "dlg_progress_lines_nt");
            line = progress_log_line(second, texts_);
        }
        if (flags_.log_file) write_info_to_file(log_name_, line);
    }
    if (actions_.update_labels) ui_.post(actions_.update_labels);
}

void ProgressHook::show_step_mode(int indstp) {
    {
        Held held(LockId::p_window, "show_step_mode");
        last_.indstp = indstp;
        format_progress_lines(last_, texts_);
    }
    if (actions_.update_labels) ui_.post(actions_.update_labels);
}

int ProgressHook::global_simulation_time() const {
    Held held(LockId::core_data_transfer, "global_simulation_time");
    return global_simulation_time_;
}

void ProgressHook::reset_global_simulation_time() {
    Held held(LockId::core_data_transfer, "reset_global_simulation_time");
    global_simulation_time_ = 0;
}

} // namespace velm::gui
