#pragma once
// The desktop program's state: the main window, the progress and message
// windows, the run controller and the core's current run. One App lives for
// the whole program; GTK handlers reach it through their user data.
#include "core/driver/run_control.h"
#include "core/model/frontend.h"
#include "core/model/sim.h"
#include "frontend/commands.h"
#include "frontend/config.h"
#include "frontend/locks.h"
#include "frontend/message.h"
#include "frontend/progress.h"
#include "frontend/report_texts.h"
#include "frontend/run_controller.h"
#include "frontend/ui_dispatcher.h"
#include "frontend/view.h"

#include <gtk/gtk.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velm::gui {

inline constexpr int kStatusTickMs = 1500;
inline constexpr int kCommandLineDelayMs = 1000; // start-up to the command-line run
inline constexpr int kQuickRunDelayMs = 1500;    // master-file copy to the run's start
inline constexpr int kProgressHideDelayMs = 1500;

struct gui_data {
    std::atomic<int> gui_draw_width{kDrawWidth};
    std::atomic<int> gui_draw_height{kDrawHeight};
    GtkWidget*       window = nullptr;
    GtkWidget*       menu_bar = nullptr;
    GtkWidget*       file_menu = nullptr;
    GtkWidget*       box = nullptr;
    GtkWidget*       hbox = nullptr;
    GtkWidget*       DrawingArea = nullptr;
    GtkWidget*       Separator = nullptr;
    GtkWidget*       StatusLabel = nullptr;
    GtkWidget*       RunSimulation_Button = nullptr;
    double           gui_user_surface_colors[kOverlayColourCount][3] = {};
};

struct progress_window_widgets {
    GtkWidget* window = nullptr;
    GtkWidget* vbox = nullptr;
    GtkWidget* hbox = nullptr;
    GtkWidget* label_line[5] = {};
    GtkWidget* pause_button = nullptr;
    GtkWidget* screenshot_button = nullptr;
};

struct message_window_widgets {
    GtkWidget* window = nullptr;
    GtkWidget* vbox = nullptr;
    GtkWidget* message_holder = nullptr;
    GtkWidget* close_button = nullptr;
};

// What the program runs on the core thread: one whole run on a fresh Sim.
using CoreRun = std::function<void(Sim&)>;

struct AppOptions {
    CoreRun                  core_run; // the core's entry (tests give their own)
    std::function<void(int)> sleep_ms; // replaces the controllers' waits (tests)
    std::string              config_name = kInterfaceConfigFile;
    bool                     read_config = true;
    // Replace the modal dialogs and file choosers (tests): a message dialog's
    // title and text, and a chooser's title to the chosen path ("" = cancel).
    std::function<void(const std::string&, const std::string&)> dialog_sink;
    std::function<std::string(const std::string&)>              choose_file;
    // Replace the input dialogs (tests): given the title and the labels, the
    // entries' texts, or nothing when the dialog is cancelled or closed.
    std::function<std::optional<std::vector<std::string>>(const std::string&,
                                                          const std::vector<std::string>&)>
        input_sink;
    // Replaces the exit dialog (tests): true answers "yes".
    std::function<bool()> exit_sink;
};

class App final : public FrontEnd {
  public:
    explicit App(AppOptions options);
    ~App() override;

    // Start-up up to the main loop (the toolkit must be initialised).
    // master_file: the command line's first argument, empty when none.
    void start(const std::string& master_file);
    // After the main loop has ended: asks a run still active to stop at its
    // next tick (no further batch entry starts) and waits for its threads, so
    // the run's files end with its run summary.
    void shut_down();

    // --- core-callable (any thread) ---------------------------------------
    void core_message(std::string_view title, std::string_view text) override;
    void dlg_progress_lines_nt(int t10, int tdep, int totin, int tenr, int tarr, int clock,
                               int indstp, int clocks, std::span<const int, 21> symb) override;
    void destroy_default_progress_window() override;

    // --- nearest-object reports (window thread, the run parked) -------------
    void show_nearest_link(const LinkReport& r) override;
    void show_nearest_node(const NodeReport& r) override;
    void show_nearest_veh(const VehicleReport& r) override;
    void show_nearest_signal(const SignalReport& r) override;
    void show_nearest_stop_sign(int link, float wx, float wy) override;
    void show_nearest_yield_sign(int link, float wx, float wy) override;
    void show_nearest_incident(int incident, float wx, float wy) override;
    void show_nearest_loop_detector(int station, float wx, float wy) override;
    void show_no_nearest_link(float px, float py, float wx, float wy) override;
    void show_no_nearest_node(float px, float py, float wx, float wy) override;
    void show_no_nearest_veh(float px, float py, float wx, float wy) override;
    void show_no_nearest_signal(float px, float py, float wx, float wy) override;
    void show_no_nearest_stop_sign(float px, float py, float wx, float wy) override;
    void show_no_nearest_yield_sign(float px, float py, float wx, float wy) override;
    void show_no_nearest_incident(float px, float py, float wx, float wy) override;
    void show_no_nearest_loop_detector(float px, float py, float wx, float wy) override;

    // --- dialogs (main thread) ------------------------------------------------
    // A whole number asked for under `label`; ok is 1 on OK (value the number
    // at the start of the entry, 0 when none), 0 on cancel or close.
    void show_input_dlg_one(const std::string& title, const std::string& label, int& value,
                            int& ok);
    void show_input_dlg_two(const std::string& title, const std::string& label1,
                            const std::string& label2, int& value1, int& value2, int& ok);
    // "Sure about exiting ?": yes ends the main loop.
    void show_exit_dlg();
    // The primary text (title markup), the secondary text, or both of a
    // message dialog.
    static void set_show_dlg_title(GtkWidget* dialog, const std::string& title);
    static void set_show_dlg_msg(GtkWidget* dialog, const std::string& text);
    static void set_show_dlg_info(GtkWidget* dialog, const std::string& title,
                                  const std::string& text);

    // --- handlers (main thread) --------------------------------------------
    void simulation_button_clicked();
    void choose_single_mode();
    void choose_batch_mode();
    void pause_resume_simulation();
    // The pause button's pause: nothing when it already reads "Resume Simulation".
    void interface_pause_simulation();
    // Holds (true) or resumes the active run as the pause button does.
    void hold_run(bool hold);
    // A held run's picture drawn anew from its state (after a view change).
    void repaint_held_run();
    // Step and speed chosen with no run active: the next run starts with them
    // (-1: none chosen).
    std::atomic<int>  chosen_step_{-1};
    std::atomic<int>  chosen_pacing_{-1};
    std::atomic<bool> pacing_applied_{false};
    void              quick_velmorantis_run(const std::string& master_file);
    void              quit_main_loop(int status);
    bool              status_bar_updater();
    void              update_labels();
    void              message_window_update_text_on_screen();
    void              hide_default_message_window();
    void              progress_window_show();
    // "Take ScreenShot": the three layers as PNGs in the working directory.
    void screen_shot();
    bool is_velmorantis_running() const { return controller_.is_running(); }

    // Calls fn with the run state of the active run; false when no run is active.
    bool with_current_sim(const std::function<void(Sim&)>& fn);
    // How a call into the core's state from the window thread went.
    enum class CoreCall { done, busy, not_running };
    // Calls fn (repaint, centring, a pick) with the run state once the core
    // is parked in its pause, waiting at most `limit`; otherwise the call is
    // not made and the message window says the run is busy or not running.
    // The caller resumes or steps the run only after this has returned.
    CoreCall call_core_parked(const std::function<void(Sim&)>& fn,
                              std::chrono::milliseconds        limit = kParkWait);

    // --- read by tests -------------------------------------------------------
    gui_data                gui_main_data;
    progress_window_widgets p_window;
    message_window_widgets  message_window;
    ProgressTexts           p_window_data;         // guarded by progress_window_lock
    MessageTexts            non_modal_message_box; // guarded by message_box_lock
    InterfaceFlags          interface_flags;
    RunController&          controller() { return controller_; }
    const ProgressHook&     progress_hook() const { return progress_hook_; }
    const std::string&      version_text() const { return version_text_; }
    int                     exit_status() const { return exit_status_; }
    bool                    quit_requested() const { return quit_requested_; }
    int                     tmp_var = 0; // status timer ticks
    // The drawing layers, the overlay and the view box; the core's drawing bridge.
    View& view() { return view_; }
    // The menus', keys' and mouse's commands.
    Commands& commands() { return commands_; }

  private:
    void build_main_window();
    // The menu bar: every menu and item of menu_tree(), in its order.
    void gui_build_menues();
    void create_progress_window();
    void create_message_window();
    void show_dlg(const std::string& title, const std::string& text);
    void show_text(const DialogText& t);
    // Runs an input dialog with one row per label; the entries' texts, or
    // nothing when it was cancelled or closed.
    std::optional<std::vector<std::string>> run_input_dlg(const std::string&              title,
                                                          const std::vector<std::string>& labels);
    std::string                             fetch_file(const char* title);
    void                                    show_message(std::string title, std::string text);
    bool                                    prepare_master_copy(const std::string& master_file);
    CoreOutcome                             run_core_once();
    void                                    make_snapshot_folder();
    void                                    reset_view();
    void                                    log_screen_shot(int second);

    AppOptions           options_;
    View                 view_; // outlives every run (the core draws into it)
    std::shared_ptr<int> alive_ = std::make_shared<int>(0); // posted tasks run only while set
    UiDispatcher         ui_;
    guint                status_timer_ = 0;
    guint                command_line_timer_ = 0;
    ProgressHook         progress_hook_;
    RunController        controller_;

    // The commands' way into the active run.
    class ActiveRun final : public RunLink {
      public:
        explicit ActiveRun(App& app) : app_(app) {}
        bool running() override;
        bool simulation_paused() override;
        void pause_simulation() override;
        void resume_simulation() override;
        void set_next_time_step(int value) override;
        void set_next_sim_time(int value) override;
        void track_stuff(int mode, int vehicle, int vehicle_class, int origin, int destination,
                         int zone) override;
        void diable_all_tracking() override;
        bool findcent_new(int mode, int& x, int& y, int number) override;
        bool nearest(NearestQuery kind, float x, float y) override;

      private:
        App& app_;
    };
    ActiveRun   active_run_{*this};
    Commands    commands_;
    std::string version_text_;
    std::string title_;
    std::string special_batch_mode_master_file_;
    std::string screen_shot_folder_name_;
    int         exit_status_ = 0;
    bool        quit_requested_ = false;

    // The run state of the active run; the core thread publishes it.
    std::mutex           current_sim_mutex_;
    Sim*                 current_sim_ = nullptr;
    std::unique_ptr<Sim> retired_sim_; // the run state of a run stopped by closing
};

} // namespace velm::gui
