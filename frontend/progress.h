#pragma once
// The progress texts of a run and the progress hook the core calls from its
// time loop. The hook formats the five lines on the core thread under the
// progress-window lock, records the reported tick for screen-shot names, writes
// the periodic log line (and snapshot) when the configuration asks for them and
// posts the label update to the main thread.
#include "frontend/config.h"
#include "frontend/ui_dispatcher.h"

#include <functional>
#include <string>

namespace velm::gui {

inline constexpr const char* kProgressLogFile = "velmsims_log.txt";
// Product name and release shown in the first progress line.
inline constexpr const char* kProductVersionText = "VELMORANTIS 3.3.58";
// Simulated seconds between two log lines (and snapshots).
inline constexpr int kProgressLogPeriod = 1000;

// Processor time the calling thread has used, tenths of a second.
int thread_processor_tenths();

// One progress call, as the core reports it.
struct ProgressReport {
    int t10 = 0;          // tick, tenths of a second
    int tdep = 0;         // vehicles departed
    int totin = 0;        // vehicles deferred at their origins
    int tenr = 0;         // vehicles en route
    int tarr = 0;         // vehicles arrived
    int clock = 0;        // processor time of the run, tenths of a second
    int indstp = 0;       // step mode
    int clocks = 0;       // pacing value
    int track_mode = 0;   // tracking mode (display array element 11)
    int track_first = 0;  // first tracked number (element 12)
    int track_second = 0; // second tracked number (element 13)
};

// The texts of the progress window; every access holds progress_window_lock.
struct ProgressTexts {
    int         is_running = 0;        // 1 while the labels are to be updated
    int         paused_simulation = 0; // 1 after the pause button paused the run
    std::string string1, string2;      // simulated and processor time
    std::string str1, str2;            // step and speed texts (kept over unknown values)
    std::string line[5];               // the five label texts
};

// "%8i.%1i - %02i:%02i:%02i.%1i" of a tick count.
std::string time_text(int ticks);
// The step text of a step mode; false (text unchanged) for a value outside the table.
bool step_text(int indstp, std::string& text);
// The speed text of a pacing value; false (text unchanged) for another value.
bool speed_text(int clocks, std::string& text);
// The tracking line of a tracking mode.
std::string tracking_text(int mode, int first, int second);
// Formats the five lines of one progress call into the texts.
void format_progress_lines(const ProgressReport& r, ProgressTexts& texts);
// "[%d] = %s | %s | %s | %s": the second and lines 1 to 4.
std::string progress_log_line(int second, const ProgressTexts& texts);
// Appends the text and a line end to the file; false (line dropped) when the
// file cannot be opened.
bool write_info_to_file(const std::string& name, const std::string& text);

class ProgressHook {
  public:
    struct Actions {
        std::function<void()>    update_labels; // runs on the main thread (posted)
        std::function<void(int)> snapshot;      // periodic snapshot for a second (core thread)
    };
    ProgressHook(ProgressTexts& texts, const InterfaceFlags& flags, const UiDispatcher& ui,
                 Actions actions, std::string log_name = kProgressLogFile);

    // dlg_progress_lines_nt: called on the core thread.
    void report(const ProgressReport& r);

    // The step mode changed on the main thread (pause, resume, step menus):
    // the step line of the last report shows it at once.
    void show_step_mode(int indstp);

    // Global_Simulation_Time: the tick of the last progress call.
    int  global_simulation_time() const;
    void reset_global_simulation_time();

  private:
    ProgressTexts&        texts_;
    const InterfaceFlags& flags_;
    const UiDispatcher&   ui_;
    Actions               actions_;
    std::string           log_name_;
    ProgressReport        last_;                       // guarded by p_window
    int                   global_simulation_time_ = 0; // guarded by core_data_transfer
};

} // namespace velm::gui
