#include "frontend/app.h"

#include "core/display/display.h"
#include "core/display/picking.h"
#include "core/driver/errors.h"
#include "core/driver/run_control.h"
#include "core/platform/platform.h"
#include "frontend/batch_list.h"
#include "frontend/master_copy.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>
#include <vector>

namespace velm::gui {

namespace {

// Tasks for the main loop. The queue hands each task over under its own
// mutex, and the idle source only wakes the main loop, so the handover from a
// worker thread to the main thread is plain to see (no payload goes through
// the toolkit). A task runs only while the App that posted it still exists.
struct PostedTask {
    std::weak_ptr<int> alive;
    UiDispatcher::Task task;
};
std::mutex              g_posted_mutex;
std::vector<PostedTask> g_posted; // guarded by g_posted_mutex

gboolean run_posted_tasks(gpointer) {
    std::vector<PostedTask> tasks;
    {
        std::lock_guard<std::mutex> hold(g_posted_mutex);
        tasks.swap(g_posted);
    }
    for (auto& t : tasks)
        if (t.alive.lock()) t.task();
    return G_SOURCE_REMOVE;
}

void post_to_main_loop(std::weak_ptr<int> alive, UiDispatcher::Task task) {
    {
        std::lock_guard<std::mutex> hold(g_posted_mutex);
        g_posted.push_back({std::move(alive), std::move(task)});
    }
    g_idle_add(run_posted_tasks, nullptr);
}

std::string format_version() {
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d (%d)", kVersion[0], kVersion[1], kVersion[2],
                  kVersion[3]);
    return text;
}

constexpr const char* kStatusStart = "Velmorantis Interface Starting ... Done.";
constexpr const char* kStatusBusy = "Busy .. Velmorantis running ...";
constexpr const char* kStatusReady = "Ready for simulation";
constexpr const char* kStatusLaunch = "Starting Velmorantis ...";
constexpr const char* kStartLabel = "Initializing Simulation";
constexpr const char* kPauseText = "Pause Simulation";
constexpr const char* kResumeText = "Resume Simulation";

bool file_exists(const std::string& name) {
    std::ifstream in(native_path(name));
    return static_cast<bool>(in);
}

void set_label(GtkWidget* label, const std::string& text) {
    if (label != nullptr) gtk_label_set_text(GTK_LABEL(label), text.c_str());
}

gboolean on_delete_main(GtkWidget*, GdkEvent*, gpointer app) {
    static_cast<App*>(app)->quit_main_loop(0);
    return TRUE; // the window is destroyed at shut-down, after the core has stopped
}

// on_draw_event: the layers over a white ground, the overlay on top.
gboolean on_draw(GtkWidget*, cairo_t* cr, gpointer data) {
    auto* app = static_cast<App*>(data);
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_paint(cr);
    app->view().compose(cr);
    return TRUE;
}

void on_size_allocate(GtkWidget*, GdkRectangle* allocation, gpointer data) {
    auto* app = static_cast<App*>(data);
    if (allocation->width <= 0 || allocation->height <= 0) return;
    app->gui_main_data.gui_draw_width.store(allocation->width);
    app->gui_main_data.gui_draw_height.store(allocation->height);
    app->view().my_getsize(allocation->width, allocation->height);
    // The new layers are empty: a held run fills them at once.
    app->repaint_held_run();
}

void on_screenshot_clicked(GtkButton*, gpointer app) {
    static_cast<App*>(app)->screen_shot();
}

std::tm local_now() {
    const std::time_t now = std::time(nullptr);
    std::tm           local{};
    localtime_r(&now, &local);
    return local;
}

void on_run_clicked(GtkButton*, gpointer app) {
    static_cast<App*>(app)->simulation_button_clicked();
}

// The handler of every connected menu item.
void menu_response(GtkMenuItem* item, gpointer data) {
    static_cast<App*>(data)->commands().menu_response(gtk_menu_item_get_label(item));
}

// Keys act on release; presses go no further.
gboolean key_event(GtkWidget*, GdkEventKey* event, gpointer data) {
    return static_cast<App*>(data)->commands().key_event(event->keyval) ? TRUE : FALSE;
}

gboolean key_event_press(GtkWidget*, GdkEventKey*, gpointer) {
    return TRUE;
}

gboolean button_press_callback(GtkWidget*, GdkEventButton* event, gpointer data) {
    static_cast<App*>(data)->commands().button_press(event->button, event->type == GDK_BUTTON_PRESS,
                                                     event->x, event->y);
    return TRUE;
}

gboolean motion_notify_event(GtkWidget*, GdkEventMotion* event, gpointer data) {
    double x = event->x, y = event->y;
    auto   state = static_cast<GdkModifierType>(event->state);
    if (event->is_hint != 0) {
        int ix = 0, iy = 0;
        gdk_window_get_device_position(event->window, event->device, &ix, &iy, &state);
        x = ix, y = iy;
    }
    static_cast<App*>(data)->commands().motion((state & GDK_BUTTON1_MASK) != 0, x, y);
    return TRUE;
}

gboolean button_release_callback(GtkWidget*, GdkEventButton* event, gpointer data) {
    static_cast<App*>(data)->commands().button_release(event->button, event->x, event->y);
    return TRUE;
}

// The key values the commands know are the toolkit's.
static_assert(keys::a == GDK_KEY_a && keys::c == GDK_KEY_c && keys::p == GDK_KEY_p &&
              keys::r == GDK_KEY_r && keys::x == GDK_KEY_x && keys::z == GDK_KEY_z &&
              keys::P == GDK_KEY_P && keys::R == GDK_KEY_R && keys::kp_add == GDK_KEY_KP_Add &&
              keys::kp_subtract == GDK_KEY_KP_Subtract && keys::left == GDK_KEY_Left &&
              keys::up == GDK_KEY_Up && keys::right == GDK_KEY_Right && keys::down == GDK_KEY_Down);

// Appends the items of a menu node to a menu shell, their menus below them.
void append_items(GtkWidget* shell, const std::vector<MenuNode>& nodes, gpointer app) {
    for (const MenuNode& node : nodes) {
        GtkWidget* item = gtk_menu_item_new_with_label(node.label.c_str());
        if (!node.items.empty()) {
            GtkWidget* menu = gtk_menu_new();
            append_items(menu, node.items, app);
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), menu);
        }
        if (node.connected) g_signal_connect(item, "activate", G_CALLBACK(menu_response), app);
        gtk_menu_shell_append(GTK_MENU_SHELL(shell), item);
    }
}

void on_pause_clicked(GtkButton*, gpointer app) {
    static_cast<App*>(app)->pause_resume_simulation();
}

gboolean on_progress_delete(GtkWidget*, GdkEvent*, gpointer data) {
    // The window offers no close: a close request only stops the label updates.
    auto* app = static_cast<App*>(data);
    Held  held(LockId::p_window, "progress_window_destroy_call_back");
    app->p_window_data.is_running = 0;
    return TRUE;
}

void on_message_close(GtkButton*, gpointer app) {
    static_cast<App*>(app)->hide_default_message_window();
}

gboolean on_message_delete(GtkWidget*, GdkEvent*, gpointer) {
    return TRUE;
}

// The progress and message windows: 300 x 100, a menu-like window without a
// close button and of fixed size; on_delete answers a close request.
void fit_small_window(GtkWidget* window, GtkWidget* content, const char* title, GCallback on_delete,
                      gpointer app) {
    gtk_container_add(GTK_CONTAINER(window), content);
    gtk_window_set_default_size(GTK_WINDOW(window), 300, 100);
    gtk_window_set_title(GTK_WINDOW(window), title);
    g_signal_connect(window, "delete-event", on_delete, app);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_MENU);
    gtk_window_set_deletable(GTK_WINDOW(window), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
}

} // namespace

App::App(AppOptions options)
    : options_(std::move(options)),
      ui_(UiDispatcher([alive = std::weak_ptr<int>(alive_)](UiDispatcher::Task task) {
          post_to_main_loop(alive, std::move(task));
      })),
      progress_hook_(p_window_data, interface_flags, ui_,
                     ProgressHook::Actions{[this] { update_labels(); },
                                           [this](int second) { log_screen_shot(second); }}),
      controller_(
          RunServices{[this] { return run_core_once(); },
                      [](const std::string& master) {
                          return create_master_file_from_file(master, std::cout).status;
                      },
                      [this] { progress_window_show(); },
                      [this](int status) { quit_main_loop(status); },
                      [this](std::string title, std::string text) { show_dlg(title, text); },
                      [this] { reset_view(); }, [this] { make_snapshot_folder(); },
                      options_.sleep_ms, &std::cout},
          ui_),
      commands_(
          view_, active_run_,
          CommandUi{[this](const std::string& t, const std::string& x) { show_dlg(t, x); },
                    [this](const std::string& t, const std::string& x) { core_message(t, x); },
                    [this](const std::string& t, const std::string& l, int& v, int& ok) {
                        show_input_dlg_one(t, l, v, ok);
                    },
                    [this](const std::string& t, const std::string& l1, const std::string& l2,
                           int& v1, int& v2,
                           int& ok) { show_input_dlg_two(t, l1, l2, v1, v2, ok); },
                    [this] { show_exit_dlg(); }, [this] { choose_single_mode(); },
                    [this] { choose_batch_mode(); }, [this] { interface_pause_simulation(); },
                    [this] {
                        if (gui_main_data.DrawingArea != nullptr)
                            gtk_widget_queue_draw(gui_main_data.DrawingArea);
                    },
                    [this] { repaint_held_run(); }}) {}

App::~App() {
    shut_down(); // no core thread outlives the state it uses
    if (status_timer_ != 0) g_source_remove(status_timer_);
    if (command_line_timer_ != 0) g_source_remove(command_line_timer_);
    alive_.reset();
    for (GtkWidget* w : {p_window.window, message_window.window, gui_main_data.window})
        if (w != nullptr) gtk_widget_destroy(w);
}

void App::start(const std::string& master_file) {
    tmp_var = 0;
    version_text_ = format_version();
    title_ = std::string("Velmorantis Interface") + " - " + version_text_;
    set_default_config(interface_flags);
    if (options_.read_config)
        read_interface_config_file(options_.config_name, interface_flags, std::cout);
    {
        Held held(LockId::gui, "main");
        gui_main_data.gui_draw_width.store(kDrawWidth);
        gui_main_data.gui_draw_height.store(kDrawHeight);
        for (int c = 0; c < kOverlayColourCount; ++c)
            for (int k = 0; k < 3; ++k)
                gui_main_data.gui_user_surface_colors[c][k] = kOverlayColours[c][k] / 255.0;
    }
    view_.reset_view();
    view_.set_redraw_poster([this] {
        ui_.post([this] {
            view_.redraw_taken();
            if (gui_main_data.DrawingArea != nullptr)
                gtk_widget_queue_draw(gui_main_data.DrawingArea);
        });
    });
    create_message_window();
    hide_default_message_window();
    {
        Held held(LockId::p_window, "init_progress_window_data");
        p_window_data = ProgressTexts{};
    }
    progress_hook_.reset_global_simulation_time();
    build_main_window();
    status_timer_ = g_timeout_add(
        kStatusTickMs,
        [](gpointer app) -> gboolean { return static_cast<App*>(app)->status_bar_updater(); },
        this);
    if (!master_file.empty()) {
        special_batch_mode_master_file_ = master_file;
        command_line_timer_ = g_timeout_add(
            kCommandLineDelayMs,
            [](gpointer data) -> gboolean {
                auto* app = static_cast<App*>(data);
                app->command_line_timer_ = 0;
                if (app->controller().start_special_batch_mode())
                    app->quick_velmorantis_run(app->special_batch_mode_master_file_);
                return G_SOURCE_REMOVE;
            },
            this);
    }
}

void App::build_main_window() {
    auto& g = gui_main_data;
    g.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(g.window), title_.c_str());
    g_signal_connect(g.window, "delete-event", G_CALLBACK(on_delete_main), this);
    g_signal_connect(g.window, "key-release-event", G_CALLBACK(key_event), this);
    g_signal_connect(g.window, "key-press-event", G_CALLBACK(key_event_press), this);
    gui_build_menues();

    g.DrawingArea = gtk_drawing_area_new();
    g.StatusLabel = gtk_label_new(kStatusStart);
    g.Separator = gtk_separator_new(GTK_ORIENTATION_HORIZONTAL);
    g.RunSimulation_Button = gtk_button_new_with_label("Run Simulation");
    gtk_widget_set_size_request(g.DrawingArea, kDrawWidth, kDrawHeight);

    g.box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    g.hbox = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(g.box), g.menu_bar, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(g.box), g.DrawingArea, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(g.box), g.Separator, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(g.box), g.hbox, FALSE, FALSE, 0);
    gtk_widget_set_halign(g.StatusLabel, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(g.hbox), g.StatusLabel, TRUE, TRUE, 5);
    gtk_box_pack_start(GTK_BOX(g.hbox), g.RunSimulation_Button, FALSE, FALSE, 0);

    gtk_widget_add_events(g.DrawingArea, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                             GDK_BUTTON_RELEASE_MASK | GDK_KEY_PRESS_MASK |
                                             GDK_KEY_RELEASE_MASK);
    g_signal_connect(g.DrawingArea, "draw", G_CALLBACK(on_draw), this);
    g_signal_connect(g.DrawingArea, "size-allocate", G_CALLBACK(on_size_allocate), this);
    g_signal_connect(g.DrawingArea, "button-press-event", G_CALLBACK(button_press_callback), this);
    g_signal_connect(g.DrawingArea, "motion-notify-event", G_CALLBACK(motion_notify_event), this);
    g_signal_connect(g.DrawingArea, "button-release-event", G_CALLBACK(button_release_callback),
                     this);
    g_signal_connect(g.RunSimulation_Button, "clicked", G_CALLBACK(on_run_clicked), this);

    gtk_widget_set_sensitive(g.RunSimulation_Button, FALSE);
    gtk_container_add(GTK_CONTAINER(g.window), g.box);
    gtk_widget_show_all(g.window);
}

void App::gui_build_menues() {
    auto& g = gui_main_data;
    g.menu_bar = gtk_menu_bar_new();
    // The top-level items carry their menus, an empty one included.
    for (const MenuNode& top : menu_tree()) {
        GtkWidget* item = gtk_menu_item_new_with_label(top.label.c_str());
        GtkWidget* menu = gtk_menu_new();
        append_items(menu, top.items, this);
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), menu);
        gtk_menu_shell_append(GTK_MENU_SHELL(g.menu_bar), item);
        if (top.label == "File") g.file_menu = menu;
    }
}

// --- dialogs ------------------------------------------------------------------

void App::show_dlg(const std::string& title, const std::string& text) {
    if (options_.dialog_sink) {
        options_.dialog_sink(title, text);
        return;
    }
    GtkWidget* dialog = gtk_message_dialog_new(GTK_WINDOW(gui_main_data.window), GTK_DIALOG_MODAL,
                                               GTK_MESSAGE_QUESTION, GTK_BUTTONS_OK, nullptr);
    set_show_dlg_info(dialog, title, text);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

std::optional<std::vector<std::string>> App::run_input_dlg(const std::string&              title,
                                                           const std::vector<std::string>& labels) {
    if (options_.input_sink) return options_.input_sink(title, labels);
    GtkWidget*              dialog = nullptr;
    std::vector<GtkWidget*> entries;
    {
        Held held(LockId::gui, "show_input_dlg");
        dialog = gtk_dialog_new_with_buttons(title.c_str(), GTK_WINDOW(gui_main_data.window),
                                             GTK_DIALOG_MODAL, "gtk-ok", GTK_RESPONSE_OK,
                                             "gtk-cancel", GTK_RESPONSE_CANCEL, nullptr);
        GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
        for (const auto& label : labels) {
            GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
            GtkWidget* entry = gtk_entry_new();
            gtk_box_pack_start(GTK_BOX(row), gtk_label_new(label.c_str()), FALSE, FALSE, 0);
            gtk_box_pack_start(GTK_BOX(row), entry, TRUE, TRUE, 0);
            gtk_box_pack_start(GTK_BOX(area), row, FALSE, FALSE, 0);
            entries.push_back(entry);
        }
        gtk_widget_show_all(dialog);
    }
    // Only OK reads the entries: cancel and the close control (which
    // answers GTK_RESPONSE_DELETE_EVENT) both cancel.
    std::optional<std::vector<std::string>> texts;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        texts.emplace();
        for (GtkWidget* e : entries) texts->emplace_back(gtk_entry_get_text(GTK_ENTRY(e)));
    }
    gtk_widget_destroy(dialog);
    return texts;
}

void App::show_input_dlg_one(const std::string& title, const std::string& label, int& value,
                             int& ok) {
    const auto texts = run_input_dlg(title, {label});
    ok = texts && !texts->empty() ? 1 : 0;
    if (ok == 1) value = leading_integer((*texts)[0]);
}

void App::show_input_dlg_two(const std::string& title, const std::string& label1,
                             const std::string& label2, int& value1, int& value2, int& ok) {
    const auto texts = run_input_dlg(title, {label1, label2});
    ok = texts && texts->size() >= 2 ? 1 : 0;
    if (ok == 1) {
        value1 = leading_integer((*texts)[0]);
        value2 = leading_integer((*texts)[1]);
    }
}

void App::show_exit_dlg() {
    bool yes = false;
    if (options_.exit_sink) {
        yes = options_.exit_sink();
    } else {
        GtkWidget* dialog = nullptr;
        {
            Held held(LockId::gui, "show_exit_dlg");
            dialog = gtk_dialog_new_with_buttons("Exit", GTK_WINDOW(gui_main_data.window),
                                                 GTK_DIALOG_MODAL, "gtk-yes", GTK_RESPONSE_YES,
                                                 "gtk-no", GTK_RESPONSE_NO, nullptr);
            GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
            gtk_box_pack_start(GTK_BOX(area), gtk_label_new("Sure about exiting ?"), FALSE, FALSE,
                               0);
            gtk_widget_show_all(dialog);
        }
        yes = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_YES;
        gtk_widget_destroy(dialog);
    }
    if (yes) quit_main_loop(0);
}

void App::set_show_dlg_title(GtkWidget* dialog, const std::string& title) {
    gchar* safe = g_markup_escape_text(title.c_str(), -1);
    gtk_message_dialog_set_markup(
        GTK_MESSAGE_DIALOG(dialog),
        (std::string("<span size='x-large' weight='ultrabold'>") + safe + "</span>").c_str());
    g_free(safe);
}

void App::set_show_dlg_msg(GtkWidget* dialog, const std::string& text) {
    gchar* safe = g_markup_escape_text(text.c_str(), -1);
    gtk_message_dialog_format_secondary_markup(GTK_MESSAGE_DIALOG(dialog), "%s", safe);
    g_free(safe);
}

void App::set_show_dlg_info(GtkWidget* dialog, const std::string& title, const std::string& text) {
    set_show_dlg_title(dialog, title);
    set_show_dlg_msg(dialog, text);
}

// --- nearest-object reports ------------------------------------------------------

void App::show_text(const DialogText& t) {
    show_dlg(t.title, t.text);
}

void App::show_nearest_link(const LinkReport& r) {
    show_text(dlg_message_nearest_link(r));
}
void App::show_nearest_node(const NodeReport& r) {
    show_text(dlg_message_nearest_node(r));
}
void App::show_nearest_veh(const VehicleReport& r) {
    show_text(dlg_message_nearest_vehicle(r));
}
void App::show_nearest_signal(const SignalReport& r) {
    show_text(dlg_message_nearest_signal(r));
}
void App::show_nearest_stop_sign(int link, float wx, float wy) {
    show_text(dlg_message_nearest_stop_sign(link, wx, wy));
}
void App::show_nearest_yield_sign(int link, float wx, float wy) {
    show_text(dlg_message_nearest_yield_sign(link, wx, wy));
}
void App::show_nearest_incident(int incident, float wx, float wy) {
    show_text(dlg_message_nearest_incident(incident, wx, wy));
}
void App::show_nearest_loop_detector(int station, float wx, float wy) {
    show_text(dlg_message_nearest_loop_detector(station, wx, wy));
}

void App::show_no_nearest_link(float px, float py, float wx, float wy) {
    show_text(dlg_message_no_nearest(NearestKind::link, px, py, wx, wy));
}
void App::show_no_nearest_node(float px, float py, float wx, float wy) {
    show_text(dlg_message_no_nearest(NearestKind::node, px, py, wx, wy));
}
void App::show_no_nearest_veh(float px, float py, float wx, float wy) {
    show_text(dlg_message_no_nearest(NearestKind::vehicle, px, py, wx, wy));
}
void App::show_no_nearest_signal(float px, float py, float wx, float wy) {
    show_text(dlg_message_no_nearest(NearestKind::signal, px, py, wx, wy));
}
void App::show_no_nearest_stop_sign(float px, float py, float wx, float wy) {
    show_text(dlg_message_no_nearest(NearestKind::stop_sign, px, py, wx, wy));
}
void App::show_no_nearest_yield_sign(float px, float py, float wx, float wy) {
    show_text(dlg_message_no_nearest(NearestKind::yield_sign, px, py, wx, wy));
}
void App::show_no_nearest_incident(float px, float py, float wx, float wy) {
    show_text(dlg_message_no_nearest(NearestKind::incident, px, py, wx, wy));
}
void App::show_no_nearest_loop_detector(float px, float py, float wx, float wy) {
    std::printf("%f\n%f\n%f\n%f\n", static_cast<double>(px), static_cast<double>(py),
                static_cast<double>(wx), static_cast<double>(wy));
    std::fflush(stdout);
    show_text(dlg_message_no_nearest(NearestKind::loop_detector, px, py, wx, wy));
}

std::string App::fetch_file(const char* title) {
    if (options_.choose_file) return options_.choose_file(title);
    GtkWidget* chooser = nullptr;
    {
        Held held(LockId::gui, "fetch_master_file");
        chooser = gtk_file_chooser_dialog_new(
            title, GTK_WINDOW(gui_main_data.window), GTK_FILE_CHOOSER_ACTION_OPEN, "gtk-ok",
            GTK_RESPONSE_ACCEPT, "gtk-cancel", GTK_RESPONSE_CANCEL, nullptr);
    }
    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            path = name;
            g_free(name);
        }
    }
    gtk_widget_destroy(chooser);
    return path;
}

// --- run modes ------------------------------------------------------------------

bool App::prepare_master_copy(const std::string& master_file) {
    const CopyResult copy = create_master_file_from_file(master_file, std::cout);
    if (copy.status == CopyStatus::ok) return true;
    show_dlg("Master File Copy Failed", copy_failure_text(copy.status, master_file));
    return false;
}

void App::choose_single_mode() {
    if (is_velmorantis_running()) {
        show_dlg("Warning", "Velmorantis already running");
        return;
    }
    controller_.run_mode = kRunModeSingle;
    const std::string path = fetch_file("Choose Master File");
    if (path.empty()) {
        std::cout << "No File Selected\n";
        return;
    }
    const bool ready = prepare_master_copy(path);
    gtk_widget_set_sensitive(gui_main_data.RunSimulation_Button, ready ? TRUE : FALSE);
}

void App::choose_batch_mode() {
    if (is_velmorantis_running()) {
        show_dlg("Warning", "Velmorantis already running");
        return;
    }
    controller_.run_mode = kRunModeBatch;
    const std::string path = fetch_file("Choose Batch File");
    controller_.files_to_run.clear();
    if (path.empty()) {
        std::cout << "No File Selected\n";
    } else {
        int count = 0;
        controller_.files_to_run = read_batch_file(path, count, std::cout);
    }
    gtk_widget_set_sensitive(gui_main_data.RunSimulation_Button, TRUE);
}

void App::simulation_button_clicked() {
    debug_write_to_console("Simulation Button Clicked !\n");
    gtk_widget_set_sensitive(gui_main_data.RunSimulation_Button, FALSE);
    {
        Held held(LockId::gui, "simulation_button_clicked");
        set_label(gui_main_data.StatusLabel, kStatusLaunch);
    }
    create_progress_window();
    if (!controller_.launch())
        show_dlg("Velmorantis Launch Error", "Internal Error: Unknown Velmorantis launch Mode");
}

void App::quick_velmorantis_run(const std::string& master_file) {
    if (!file_exists(master_file)) {
        core_message("Master File Non Existant", "The input master file does not exist");
        ui_.post([this] { quit_main_loop(1); });
        return;
    }
    const CopyResult copy = create_master_file_from_file(master_file, std::cout);
    if (copy.status != CopyStatus::ok) {
        core_message("Master File Copy Failed", copy_failure_text(copy.status, master_file));
        ui_.post([this] { quit_main_loop(1); });
        return;
    }
    command_line_timer_ = g_timeout_add(
        kQuickRunDelayMs,
        [](gpointer data) -> gboolean {
            auto* app = static_cast<App*>(data);
            app->command_line_timer_ = 0;
            app->controller().run_mode = kRunModeSingle;
            app->simulation_button_clicked();
            return G_SOURCE_REMOVE;
        },
        this);
}

void App::quit_main_loop(int status) {
    if (status != 0) exit_status_ = status;
    quit_requested_ = true;
    if (gtk_main_level() > 0) gtk_main_quit();
}

CoreOutcome App::run_core_once() {
    auto s = std::make_unique<Sim>();
    s->fe = this;
    s->draw = &view_;
    // A held run resumes at once and pacing sleeps: short waits.
    s->platform.wait_ms = sleep_milliseconds;
    // The step and pacing chosen before the run apply from its first report
    // (its input phase starts it free and unpaced).
    pacing_applied_.store(false);
    {
        std::lock_guard<std::mutex> hold(current_sim_mutex_);
        current_sim_ = s.get();
        // The window closed between the controller's last look and now.
        if (controller_.stop_requested()) stop_simulation(*s);
    }
    CoreOutcome outcome = CoreOutcome::returned;
    try {
        if (options_.core_run) options_.core_run(*s);
    } catch (const FatalRunError&) {
        outcome = CoreOutcome::fatal;
    }
    {
        std::lock_guard<std::mutex> hold(current_sim_mutex_);
        current_sim_ = nullptr;
        // The program is closing: the run's files are closed; its tables (a
        // few hundred MB) are released with the App, not while the closing
        // window waits for this thread.
        if (controller_.stop_requested()) retired_sim_ = std::move(s);
    }
    return outcome;
}

bool App::with_current_sim(const std::function<void(Sim&)>& fn) {
    std::lock_guard<std::mutex> hold(current_sim_mutex_);
    if (current_sim_ == nullptr) return false;
    fn(*current_sim_);
    return true;
}

App::CoreCall App::call_core_parked(const std::function<void(Sim&)>& fn,
                                    std::chrono::milliseconds        limit) {
    CoreCall result = CoreCall::not_running;
    // The run state stays published (the core thread cannot end its run)
    // while this holds the mutex.
    with_current_sim(
        [&](Sim& s) { result = call_when_parked(s, limit, fn) ? CoreCall::done : CoreCall::busy; });
    if (result == CoreCall::busy)
        core_message("Simulation Busy",
                     "The simulation did not pause in time; please pause it and try again.");
    else if (result == CoreCall::not_running)
        core_message(kNoRunTitle, kNoRunText);
    return result;
}

void App::reset_view() {
    view_.reset_view();
}

void App::screen_shot() {
    view_.screen_shot(
        local_now(), [this] { return progress_hook_.global_simulation_time(); }, std::cout);
}

void App::log_screen_shot(int second) {
    // The folder is named before the run's core thread starts.
    const std::filesystem::path folder = std::filesystem::current_path() / screen_shot_folder_name_;
    view_.log_screen_shot(folder, local_now(), second, std::cout);
}

void App::make_snapshot_folder() {
    if (interface_flags.log_screen_shots == 0) return;
    const std::tm local = local_now();
    char          name[128];
    std::snprintf(name, sizeof name, "%04i%02i%02i_%02i%02i%02i", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    screen_shot_folder_name_ = name;
    std::error_code ec;
    std::filesystem::create_directories(screen_shot_folder_name_, ec);
}

void App::shut_down() {
    // The controller starts no further run; a run already published is asked
    // to stop here, one published later by run_core_once (same mutex).
    controller_.request_stop();
    with_current_sim([](Sim& s) { stop_simulation(s); });
    controller_.join();
}

bool App::status_bar_updater() {
    ++tmp_var;
    Held held(LockId::gui, "status_bar_updater");
    set_label(gui_main_data.StatusLabel, is_velmorantis_running() ? kStatusBusy : kStatusReady);
    return TRUE;
}

// --- progress window ------------------------------------------------------------

void App::create_progress_window() {
    auto& w = p_window;
    if (w.window == nullptr) {
        w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        w.vbox = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        w.hbox = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
        for (auto& label : w.label_line) {
            label = gtk_label_new("..");
            gtk_box_pack_start(GTK_BOX(w.vbox), label, TRUE, TRUE, 0);
        }
        w.pause_button = gtk_button_new_with_label(kPauseText);
        w.screenshot_button = gtk_button_new_with_label("Take ScreenShot");
        gtk_box_pack_start(GTK_BOX(w.hbox), w.pause_button, TRUE, TRUE, 0);
        gtk_box_pack_start(GTK_BOX(w.hbox), w.screenshot_button, TRUE, TRUE, 0);
        gtk_box_pack_start(GTK_BOX(w.vbox), w.hbox, TRUE, TRUE, 0);
        fit_small_window(w.window, w.vbox, "Simulation Progress", G_CALLBACK(on_progress_delete),
                         this);
        g_signal_connect(w.pause_button, "clicked", G_CALLBACK(on_pause_clicked), this);
        g_signal_connect(w.screenshot_button, "clicked", G_CALLBACK(on_screenshot_clicked), this);
    }
    {
        Held held(LockId::p_window, "create_progress_window");
        p_window_data.paused_simulation = 0;
        p_window_data.is_running = 1;
    }
    set_label(w.label_line[0], kStartLabel);
    for (int k = 1; k < 5; ++k) set_label(w.label_line[k], "..");
    gtk_button_set_label(GTK_BUTTON(w.pause_button), kPauseText);
    gtk_widget_show_all(w.window);
}

void App::progress_window_show() {
    if (p_window.window == nullptr) {
        create_progress_window();
        return;
    }
    {
        Held held(LockId::p_window, "progress_window_show");
        p_window_data.is_running = 1;
    }
    gtk_widget_show_all(p_window.window);
}

void App::update_labels() {
    Held held(LockId::p_window, "update_labels");
    if (p_window_data.is_running != 1 || p_window.window == nullptr) return;
    for (int k = 0; k < 5; ++k) set_label(p_window.label_line[k], p_window_data.line[k]);
}

void App::dlg_progress_lines_nt(int t10, int tdep, int totin, int tenr, int tarr, int clock,
                                int indstp, int clocks, std::span<const int, 21> symb) {
    constexpr std::size_t kTrackMode = 11, kTrackFirst = 12, kTrackSecond = 13;
    if (!pacing_applied_.exchange(true)) {
        const int step = chosen_step_.load(), pacing = chosen_pacing_.load();
        with_current_sim([step, pacing](Sim& s) {
            if (pacing >= 0) velm::set_next_sim_time(s, pacing);
            if (step >= 0) velm::set_next_time_step(s, step);
        });
        if (step >= 0) indstp = step;
        if (pacing >= 0) clocks = pacing;
    }
    // Called on the run's own thread: its processor time is the run's, holds
    // and pacing waits not counted (the clock handed in is elapsed time).
    (void)clock;
    progress_hook_.report(ProgressReport{t10, tdep, totin, tenr, tarr, thread_processor_tenths(),
                                         indstp, clocks, symb[kTrackMode], symb[kTrackFirst],
                                         symb[kTrackSecond]});
}

void App::destroy_default_progress_window() {
    // Closing the program does not wait to hide the window.
    if (!controller_.stop_requested()) {
        if (options_.sleep_ms)
            options_.sleep_ms(kProgressHideDelayMs);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(kProgressHideDelayMs));
    }
    ui_.post([this] {
        {
            Held held(LockId::p_window, "destroy_default_progress_window");
            p_window_data.is_running = 0;
        }
        if (p_window.window != nullptr) gtk_widget_hide(p_window.window);
    });
}

void App::pause_resume_simulation() {
    int paused = 0;
    {
        Held held(LockId::p_window, "pause_resume_simulation");
        paused = p_window_data.paused_simulation;
    }
    if (paused == 1) {
        // Both layers drawn anew before the run goes on, when the core is
        // parked; a core still finishing its tick draws on by itself.
        with_current_sim([](Sim& s) {
            if (core_parked(s)) repaint(s);
            resume_simulation(s);
        });
        if (p_window.pause_button != nullptr)
            gtk_button_set_label(GTK_BUTTON(p_window.pause_button), kPauseText);
        progress_hook_.show_step_mode(kRunFree);
    } else {
        with_current_sim([](Sim& s) { pause_simulation(s); });
        if (p_window.pause_button != nullptr)
            gtk_button_set_label(GTK_BUTTON(p_window.pause_button), kResumeText);
        progress_hook_.show_step_mode(kPaused);
    }
    Held held(LockId::p_window, "pause_resume_simulation");
    p_window_data.paused_simulation = paused == 1 ? 0 : 1;
}

void App::repaint_held_run() {
    // While the core is parked the window thread may draw from its state: the
    // view mapped anew and everything drawn at the current second.
    with_current_sim([](Sim& s) {
        if (!core_parked(s)) return;
        viewport(s, 0);
        repaint(s);
    });
}

void App::hold_run(bool hold) {
    int paused = 0;
    {
        Held held(LockId::p_window, "hold_run");
        paused = p_window_data.paused_simulation;
    }
    if (!with_current_sim([](Sim&) {})) return;
    if ((paused == 1) != hold) {
        pause_resume_simulation();
        return;
    }
    // The button agrees already; the run may have been held by a step mode.
    with_current_sim([hold](Sim& s) {
        if (hold)
            velm::pause_simulation(s);
        else
            velm::resume_simulation(s);
    });
    progress_hook_.show_step_mode(hold ? kPaused : kRunFree);
}

void App::interface_pause_simulation() {
    int paused = 0;
    {
        Held held(LockId::p_window, "interface_pause_simulation");
        paused = p_window_data.paused_simulation;
    }
    if (paused == 0 && p_window.pause_button != nullptr) pause_resume_simulation();
}

// --- the commands' way into the run -------------------------------------------------

bool App::ActiveRun::running() {
    return app_.with_current_sim([](Sim&) {});
}
bool App::ActiveRun::simulation_paused() {
    int paused = 0;
    app_.with_current_sim([&](Sim& s) { velm::simulation_paused(s, paused); });
    return paused == 1;
}
// The keys hold and resume the run as the pause button does, so its label
// and the step line agree with the run.
void App::ActiveRun::pause_simulation() {
    app_.hold_run(true);
}
void App::ActiveRun::resume_simulation() {
    app_.hold_run(false);
}
void App::ActiveRun::set_next_time_step(int value) {
    if (app_.with_current_sim([value](Sim& s) { velm::set_next_time_step(s, value); }))
        app_.progress_hook_.show_step_mode(value);
    else
        app_.chosen_step_.store(value);
}
void App::ActiveRun::set_next_sim_time(int value) {
    if (!app_.with_current_sim([value](Sim& s) { velm::set_next_sim_time(s, value); }))
        app_.chosen_pacing_.store(value);
}
void App::ActiveRun::track_stuff(int mode, int vehicle, int vehicle_class, int origin,
                                 int destination, int zone) {
    app_.with_current_sim([&](Sim& s) {
        velm::track_stuff(s, mode, vehicle, vehicle_class, origin, destination, zone);
    });
}
void App::ActiveRun::diable_all_tracking() {
    app_.with_current_sim([](Sim& s) { velm::diable_all_tracking(s); });
}
bool App::ActiveRun::findcent_new(int mode, int& x, int& y, int number) {
    return app_.call_core_parked([&](Sim& s) { velm::findcent_new(s, mode, x, y, number); }) ==
           CoreCall::done;
}
bool App::ActiveRun::nearest(NearestQuery kind, float x, float y) {
    using Entry = void (*)(Sim&, float, float, int&);
    static constexpr Entry kEntries[] = {nullptr,
                                         velm::nearest_link,
                                         velm::nearest_vehicle,
                                         velm::nearest_node,
                                         velm::nearest_signal,
                                         velm::nearest_stop_sign,
                                         velm::nearest_yield_sign,
                                         velm::nearest_incident,
                                         velm::nearest_loop_detector};
    if (kind <= kNoQuery || kind > kQueryLoopDetector) return false;
    int found = -1;
    return app_.call_core_parked([&](Sim& s) { kEntries[kind](s, x, y, found); }) == CoreCall::done;
}

// --- message window ---------------------------------------------------------------

void App::create_message_window() {
    auto& m = message_window;
    {
        Held held(LockId::message_box, "create_message_window");
        if (non_modal_message_box.was_created == 1) return;
        non_modal_message_box.was_created = 1;
    }
    m.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    m.vbox = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    m.message_holder = gtk_label_new(kStartLabel);
    m.close_button = gtk_button_new_with_label("Close");
    gtk_box_pack_start(GTK_BOX(m.vbox), m.message_holder, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(m.vbox), m.close_button, TRUE, TRUE, 0);
    fit_small_window(m.window, m.vbox, "Velmorantis Message -- Loading ...",
                     G_CALLBACK(on_message_delete), this);
    g_signal_connect(m.close_button, "clicked", G_CALLBACK(on_message_close), this);
    gtk_widget_show_all(m.window);
}

void App::hide_default_message_window() {
    {
        Held held(LockId::message_box, "hide_default_message_window");
        non_modal_message_box.is_hidden = 1;
    }
    if (message_window.window != nullptr) gtk_widget_hide(message_window.window);
}

void App::core_message(std::string_view title, std::string_view text) {
    {
        Held held(LockId::message_box, "core_message");
        non_modal_message_box.set_text(title, text);
    }
    ui_.post([this] {
        {
            Held held(LockId::message_box, "message_window_show");
            non_modal_message_box.is_hidden = 0;
        }
        if (message_window.window != nullptr) gtk_widget_show_all(message_window.window);
    });
    ui_.post([this] { message_window_update_text_on_screen(); });
}

void App::message_window_update_text_on_screen() {
    Held held(LockId::message_box, "message_window_update_text_on_screen");
    if (message_window.window == nullptr) return;
    gtk_window_set_title(GTK_WINDOW(message_window.window),
                         non_modal_message_box.message_title.c_str());
    set_label(message_window.message_holder, non_modal_message_box.the_message);
}

} // namespace velm::gui
