// The window under a display: its widgets at start, the status line, the
// message and progress windows, single and batch runs from the window, and
// the program run from the command line and closed during its run.
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "core/display/lane_geometry.h"
#include "core/display/picking.h"
#include "core/driver/driver.h"
#include "core/driver/run_control.h"
#include "core/model/step_probe.h"
#include "frontend/app.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

namespace velm::gui {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

bool display_ready() {
    static const bool ok = gtk_init_check(nullptr, nullptr);
    return ok;
}

// Without a display the window tests skip, except under CI (the CI variable
// set), where a window test that cannot run is a failure.
bool under_ci() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && *ci != '\0';
}

#define REQUIRE_DISPLAY()                                                                          \
    if (display_ready()) {                                                                         \
    } else if (under_ci())                                                                         \
        FAIL() << "no display can be opened under CI: the window tests cannot run";                \
    else                                                                                           \
        GTEST_SKIP() << "no display can be opened: window tests skipped"

// Runs the main loop until the condition holds or the time is up.
template <class Pred> bool pump_until(Pred pred, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

void pump_for(std::chrono::milliseconds span) {
    pump_until([] { return false; }, span);
}

std::string label_text(GtkWidget* label) {
    return gtk_label_get_text(GTK_LABEL(label));
}

std::vector<GtkWidget*> children(GtkWidget* container) {
    std::vector<GtkWidget*> out;
    GList*                  list = gtk_container_get_children(GTK_CONTAINER(container));
    for (GList* l = list; l != nullptr; l = l->next) out.push_back(GTK_WIDGET(l->data));
    g_list_free(list);
    return out;
}

// The item of a menu shell with this label.
GtkWidget* menu_item(GtkWidget* shell, const std::string& label) {
    for (GtkWidget* w : children(shell))
        if (GTK_IS_MENU_ITEM(w) && label == gtk_menu_item_get_label(GTK_MENU_ITEM(w))) return w;
    return nullptr;
}

GtkWidget* submenu(GtkWidget* item) {
    return gtk_menu_item_get_submenu(GTK_MENU_ITEM(item));
}

// A master file of the smallest layout (format 1), titled so a run can tell
// which copy it read.
std::string tiny_master(const std::string& title) {
    std::string text = title + "\n600 0 0 1 0\ninput\\*\noutput\\*\n";
    for (int k = 1; k <= 19; ++k) text += "none\n";
    return text;
}

std::string first_line(const std::string& name) {
    const std::string text = support::slurp(name);
    return text.substr(0, text.find('\n'));
}

// A latch the fake core waits on.
class Gate {
  public:
    void open() {
        {
            std::lock_guard<std::mutex> hold(m_);
            open_ = true;
        }
        cv_.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> hold(m_);
        cv_.wait(hold, [this] { return open_; });
    }

  private:
    std::mutex              m_;
    std::condition_variable cv_;
    bool                    open_ = false;
};

struct Fixture {
    support::TempDir         dir{true};
    std::vector<std::string> dialogs;
    std::string              chosen;
    AppOptions               options(CoreRun core) {
                      AppOptions o;
                      o.core_run = std::move(core);
                      o.read_config = false;
                      o.dialog_sink = [this](const std::string& t, const std::string& x) {
            dialogs.push_back(t + ": " + x);
        };
                      o.choose_file = [this](const std::string&) { return chosen; };
                      return o;
    }
    // The named sample copied into the working folder, with the "interact"
    // folder its detector exchange files go to, its master file chosen; the
    // copy's folder.
    fs::path place_sample(const std::string& name) {
        const fs::path copy = dir.path() / name;
        fs::copy(fs::path(VELM_SOURCE_DIR) / "samples" / name, copy, fs::copy_options::recursive);
        fs::create_directories(dir.path() / "interact");
        chosen = (fs::path(name) / (name + ".master")).string();
        return copy;
    }
};

TEST(Window, WidgetsAndStateAtStart) {
    REQUIRE_DISPLAY();
    Fixture f;
    App     app(f.options(nullptr));
    app.start("");
    const auto& g = app.gui_main_data;
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(g.window)),
                 "Velmorantis Interface - 3.3.58 (1858)");
    EXPECT_EQ(children(g.box),
              (std::vector<GtkWidget*>{g.menu_bar, g.DrawingArea, g.Separator, g.hbox}));
    EXPECT_EQ(children(g.hbox), (std::vector<GtkWidget*>{g.StatusLabel, g.RunSimulation_Button}));
    EXPECT_EQ(label_text(g.StatusLabel), "Velmorantis Interface Starting ... Done.");
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(g.RunSimulation_Button)), "Run Simulation");
    EXPECT_FALSE(gtk_widget_get_sensitive(g.RunSimulation_Button));
    int w = 0, h = 0;
    gtk_widget_get_size_request(g.DrawingArea, &w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_TRUE(gtk_widget_get_visible(g.window));

    GtkWidget* file = menu_item(g.menu_bar, "File");
    ASSERT_NE(file, nullptr);
    GtkWidget* new_sim = menu_item(submenu(file), "New Simulation");
    ASSERT_NE(new_sim, nullptr);
    EXPECT_NE(menu_item(submenu(new_sim), "Single Mode"), nullptr);
    EXPECT_NE(menu_item(submenu(new_sim), "Batch Mode"), nullptr);

    // The message window exists and is hidden; no progress window yet.
    ASSERT_NE(app.message_window.window, nullptr);
    EXPECT_FALSE(gtk_widget_get_visible(app.message_window.window));
    EXPECT_EQ(app.p_window.window, nullptr);
    EXPECT_EQ(app.version_text(), "3.3.58 (1858)");
    EXPECT_DOUBLE_EQ(g.gui_user_surface_colors[1][2], 243.0 / 255.0);

    // The picture of the window at start for the documentation, on request.
    if (const char* shot = std::getenv("VELMSIMS_START_SCREENSHOT")) {
        pump_for(500ms);
        GdkWindow* win = gtk_widget_get_window(g.window);
        GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(win, 0, 0, gdk_window_get_width(win),
                                                       gdk_window_get_height(win));
        ASSERT_NE(pixbuf, nullptr);
        EXPECT_TRUE(gdk_pixbuf_save(pixbuf, shot, "png", nullptr, nullptr));
        g_object_unref(pixbuf);
    }

    // The status timer replaces the start text after 1.5 s.
    EXPECT_TRUE(
        pump_until([&] { return label_text(g.StatusLabel) == "Ready for simulation"; }, 5s));
    EXPECT_GE(app.tmp_var, 1);
    app.shut_down();
}

TEST(Window, SingleRunFromTheMenuAndTheStatusLine) {
    REQUIRE_DISPLAY();
    Fixture     f;
    Gate        gate;
    std::string title_seen;
    App         app(f.options([&](Sim&) {
        title_seen = first_line(kDefaultMasterFile);
        gate.wait();
    }));
    app.start("");
    const auto& g = app.gui_main_data;
    GtkWidget* modes = submenu(menu_item(submenu(menu_item(g.menu_bar, "File")), "New Simulation"));

    // Cancel changes nothing; a file that cannot be read is reported and keeps
    // the button insensitive.
    f.chosen = "";
    gtk_menu_item_activate(GTK_MENU_ITEM(menu_item(modes, "Single Mode")));
    EXPECT_FALSE(gtk_widget_get_sensitive(g.RunSimulation_Button));
    f.chosen = f.dir.file("missing.master");
    gtk_menu_item_activate(GTK_MENU_ITEM(menu_item(modes, "Single Mode")));
    ASSERT_EQ(f.dialogs.size(), 1u);
    EXPECT_EQ(f.dialogs[0].rfind("Master File Copy Failed: ", 0), 0u);
    EXPECT_FALSE(gtk_widget_get_sensitive(g.RunSimulation_Button));

    f.chosen = f.dir.write("runs/a.master", tiny_master("Run A"));
    gtk_menu_item_activate(GTK_MENU_ITEM(menu_item(modes, "Single Mode")));
    EXPECT_TRUE(gtk_widget_get_sensitive(g.RunSimulation_Button));
    EXPECT_EQ(first_line(kDefaultMasterFile), "Run A");

    gtk_button_clicked(GTK_BUTTON(g.RunSimulation_Button));
    EXPECT_FALSE(gtk_widget_get_sensitive(g.RunSimulation_Button));
    EXPECT_EQ(label_text(g.StatusLabel), "Starting Velmorantis ...");
    ASSERT_NE(app.p_window.window, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(app.p_window.window));
    EXPECT_EQ(label_text(app.p_window.label_line[0]), "Initializing Simulation");
    ASSERT_TRUE(pump_until([&] { return app.is_velmorantis_running(); }));
    app.status_bar_updater();
    EXPECT_EQ(label_text(g.StatusLabel), "Busy .. Velmorantis running ...");
    // A new choice is refused while the run is active.
    gtk_menu_item_activate(GTK_MENU_ITEM(menu_item(modes, "Batch Mode")));
    EXPECT_EQ(f.dialogs.back(), "Warning: Velmorantis already running");

    gate.open();
    ASSERT_TRUE(pump_until([&] { return !app.is_velmorantis_running(); }));
    app.status_bar_updater();
    EXPECT_EQ(label_text(g.StatusLabel), "Ready for simulation");
    EXPECT_EQ(title_seen, "Run A");
    EXPECT_FALSE(gtk_widget_get_sensitive(g.RunSimulation_Button));
    EXPECT_FALSE(app.quit_requested()); // only a command-line run quits
    app.shut_down();
}

TEST(Window, BatchFromTheWindowCopiesWaitsRunsAndWaits) {
    REQUIRE_DISPLAY();
    Fixture                  f;
    std::mutex               m;
    std::vector<std::string> events;
    auto                     note = [&](std::string e) {
        std::lock_guard<std::mutex> hold(m);
        events.push_back(std::move(e));
    };
    AppOptions o = f.options([&](Sim&) { note("run " + first_line(kDefaultMasterFile)); });
    o.sleep_ms = [&](int ms) {
        note("wait " + std::to_string(ms) + " after copy of " + first_line(kDefaultMasterFile));
    };
    App app(std::move(o));
    app.start("");
    f.dir.write("batch/one.master", tiny_master("Run One"));
    f.dir.write("batch/two.master", tiny_master("Run Two"));
    f.chosen = f.dir.write("batch/list.bat", "My batch\n2\none.master\ntwo.master\n");
    app.choose_batch_mode();
    ASSERT_TRUE(gtk_widget_get_sensitive(app.gui_main_data.RunSimulation_Button));
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    ASSERT_TRUE(pump_until([&] { return app.controller().wait_finished(0ms); }));
    const std::vector<std::string> expected{
        "wait 3000 after copy of Run One", "run Run One", "wait 3000 after copy of Run One",
        "wait 3000 after copy of Run Two", "run Run Two", "wait 3000 after copy of Run Two"};
    EXPECT_EQ(events, expected);
    EXPECT_TRUE(f.dialogs.empty());
    app.shut_down();
}

TEST(Window, MessageWindowShowsTheLastMessage) {
    REQUIRE_DISPLAY();
    Fixture f;
    App     app(f.options(nullptr));
    app.start("");
    GtkWidget* window = app.message_window.window;
    const auto title = [&] { return std::string(gtk_window_get_title(GTK_WINDOW(window))); };
    const auto text = [&] { return label_text(app.message_window.message_holder); };

    app.core_message("First  ", "one");
    app.core_message(std::string(250, 'T'), std::string(3000, 'x'));
    pump_for(100ms);
    EXPECT_TRUE(gtk_widget_get_visible(window));
    EXPECT_EQ(title(), std::string(127, 'T'));
    EXPECT_EQ(text(), std::string(3000, 'x'));

    gtk_button_clicked(GTK_BUTTON(app.message_window.close_button));
    EXPECT_FALSE(gtk_widget_get_visible(window));
    EXPECT_EQ(text(), std::string(3000, 'x')); // kept while hidden

    // From the core thread, with trailing blanks kept.
    std::thread core([&] { app.core_message("Paused  ", "Simulation paused at 60 s "); });
    core.join();
    pump_for(100ms);
    EXPECT_TRUE(gtk_widget_get_visible(window));
    EXPECT_EQ(title(), "Paused  ");
    EXPECT_EQ(text(), "Simulation paused at 60 s ");
    app.shut_down();
}

TEST(Window, ProgressLinesAndThePauseButtonReachTheRun) {
    REQUIRE_DISPLAY();
    Fixture          f;
    std::atomic<int> phase{0}; // 1 paused seen, 2 resumed seen
    AppOptions       o = f.options([&](Sim& s) {
        std::array<int, 21> symb{};
        symb[11] = 1; // tracking one vehicle
        symb[12] = 1234;
        for (int t10 = 0; phase.load() < 2; ++t10) {
            FrontEnd* fe = s.fe; // as the core calls it
            fe->dlg_progress_lines_nt(t10, 0, 0, t10, 0, 0, s.subtim.step_mode(), 0, symb);
            if (phase.load() == 0 && s.subtim.step_mode() == 1) phase = 1;
            if (phase.load() == 1 && s.subtim.step_mode() == 0) phase = 2;
            std::this_thread::sleep_for(1ms);
        }
        s.fe->destroy_default_progress_window();
    });
    o.sleep_ms = [](int) {};
    App app(std::move(o));
    // Should a check fail, the fake run still ends before the App goes.
    struct EndRun {
        std::atomic<int>& phase;
        ~EndRun() { phase = 2; }
    } end_run{phase};
    app.start("");
    f.chosen = f.dir.write("a.master", tiny_master("Run A"));
    app.choose_single_mode();
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    const auto& p = app.p_window;
    ASSERT_TRUE(pump_until([&] {
        return label_text(p.label_line[0]) == " Update: VELMORANTIS 3.3.58" &&
               label_text(p.label_line[4]) == " Tracking Vehicle:     1234";
    }));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(p.window)), "Simulation Progress");

    gtk_button_clicked(GTK_BUTTON(p.pause_button));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(p.pause_button)), "Resume Simulation");
    ASSERT_TRUE(pump_until([&] { return phase.load() == 1; }));
    gtk_button_clicked(GTK_BUTTON(p.pause_button));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(p.pause_button)), "Pause Simulation");
    ASSERT_TRUE(pump_until([&] { return app.controller().wait_finished(0ms); }));
    // The end of the horizon hides the window and stops the label updates.
    ASSERT_TRUE(pump_until([&] { return !gtk_widget_get_visible(p.window); }));
    EXPECT_GT(app.progress_hook().global_simulation_time(), 0);
    app.shut_down();
}

// --- drawing -----------------------------------------------------------------------

std::uint32_t png_pixel(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* row =
        cairo_image_surface_get_data(s) + std::ptrdiff_t(y) * cairo_image_surface_get_stride(s);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

// The files of a folder whose names end in suffix.
std::vector<fs::path> files_ending(const fs::path& folder, const std::string& suffix) {
    std::vector<fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(e.path());
    }
    return out;
}

struct Png {
    explicit Png(const fs::path& name)
        : s(cairo_image_surface_create_from_png(name.string().c_str())) {}
    ~Png() { cairo_surface_destroy(s); }
    bool             ok() const { return cairo_surface_status(s) == CAIRO_STATUS_SUCCESS; }
    cairo_surface_t* s;
};

// The core draws a black line on the fixed layer and a white point on the
// moving layer; the screen shot button writes them out, and a resize of the
// window gives new, empty layers of the drawing area's size.
TEST(Window, CoreDrawingReachesTheLayersTheShotsAndFollowsResizing) {
    REQUIRE_DISPLAY();
    Fixture          f;
    Gate             gate;
    std::atomic<int> layer_height{0};
    App              app(f.options([&](Sim& s) {
        float w = 0, h = 0;
        s.draw->return_drawing_area_sizes(w, h);
        plot_c_f(s, 100, 100, 300, 100, 21);
        setpix(s, 200, 200, 22);
        s.draw->redraw_drawing_area();
        layer_height = int(h);
        gate.wait();
    }));
    struct Open { // should a check fail, the fake run still ends
        Gate& gate;
        ~Open() { gate.open(); }
    } open{gate};
    app.start("");
    f.chosen = f.dir.write("a.master", tiny_master("Run A"));
    app.choose_single_mode();
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    ASSERT_TRUE(pump_until([&] { return layer_height.load() > 0; }));
    pump_for(100ms);
    const int h = layer_height.load();
    EXPECT_EQ(app.view().drawing_height(), h) << "the layers follow the drawing area";

    gtk_button_clicked(GTK_BUTTON(app.p_window.screenshot_button));
    const auto network = files_ending(f.dir.path(), "_Network_0.png");
    const auto cars = files_ending(f.dir.path(), "_Cars_0.png");
    const auto user = files_ending(f.dir.path(), "_User_0.png");
    ASSERT_EQ(network.size(), 1u);
    ASSERT_EQ(cars.size(), 1u);
    ASSERT_EQ(user.size(), 1u);
    Png net(network[0]), car(cars[0]);
    ASSERT_TRUE(net.ok() && car.ok());
    // Row h - y holds core pixel y; antialiased edges keep the colour's hue.
    const std::uint32_t line = png_pixel(net.s, 200, h - 100),
                        point = png_pixel(car.s, 200, h - 200);
    EXPECT_GE(line >> 24, 0x7fu);
    EXPECT_EQ(line & 0xffffffu, 0u) << "black";
    EXPECT_GE(point >> 24, 0x7fu);
    EXPECT_EQ(point & 0xffu, point >> 24) << "white";
    EXPECT_EQ(png_pixel(net.s, 200, h - 200), 0u);
    EXPECT_EQ(png_pixel(car.s, 200, h - 100), 0u);

    // A larger window: the drawing area, the layers and the view box follow.
    const gui_box before = app.view().view_box();
    const int     w0 = app.view().drawing_width();
    gtk_window_resize(GTK_WINDOW(app.gui_main_data.window), w0 + 200, h + 300);
    ASSERT_TRUE(pump_until([&] { return app.view().drawing_width() > w0; }))
        << "the drawing area did not grow";
    pump_for(100ms);
    int lw = 0, lh = 0;
    app.view().layers.sizes(lw, lh);
    EXPECT_EQ(lw, app.view().drawing_width());
    EXPECT_EQ(lh, app.view().drawing_height());
    EXPECT_GT(app.view().view_box().bottom.x, before.bottom.x);
    app.view().layers.with_layers([&](cairo_surface_t* fixed, cairo_surface_t*) {
        EXPECT_EQ(cairo_image_surface_get_width(fixed), lw);
        EXPECT_EQ(png_pixel(fixed, 200, h - 100), 0u) << "the new layer is empty";
        EXPECT_EQ(png_pixel(fixed, 200, lh - 100), 0u) << "the new layer is empty";
    });
    gate.open();
    ASSERT_TRUE(pump_until([&] { return app.controller().wait_finished(0ms); }));
    app.shut_down();
}

// The corridor sample run from the window with periodic snapshots on: the
// core's primitives reach the layers, the screen shot button writes the three
// images, and the run's folder holds snapshots.
TEST(Program, CorridorRunDrawsTakesShotsAndLogsSnapshots) {
    REQUIRE_DISPLAY();
    constexpr int  kHorizon = 1005;
    Fixture        f;
    const fs::path corridor = f.place_sample("corridor");
    {
        // The horizon (the first number of line 2) cut.
        std::string       master = support::slurp((corridor / "corridor.master").string());
        const std::size_t line2 = master.find('\n') + 1;
        master.replace(line2, master.find_first_of(" \t", line2) - line2, std::to_string(kHorizon));
        f.dir.write("corridor/corridor.master", master);
    }
    f.dir.write(kInterfaceConfigFile, "log_screenshots = on\n");
    // At the first vehicle step the display square is mapped onto the layers
    // and its diagonal drawn on the fixed layer, as the network drawing does.
    class Diagonal : public StepProbe {
      public:
        explicit Diagonal(Sim& s) : s_(s) {}
        void step(std::string_view name) override {
            if (done_ || name != "moveveh") return;
            const auto& d = s_.set2;
            viewport(s_, 0);
            line_f(s_, 1, d.xmin(1), d.ymin(1), d.xmax(1), d.ymax(1), 1, 15);
            done_ = true;
        }

      private:
        Sim& s_;
        bool done_ = false;
    };
    AppOptions o = f.options([](Sim& s) {
        Diagonal probe(s);
        s.probe = &probe;
        velmorantis_main_file_input(s);
        s.probe = nullptr;
    });
    o.read_config = true;
    App app(std::move(o));
    app.start("");
    app.choose_single_mode();
    ASSERT_TRUE(f.dialogs.empty());
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    ASSERT_TRUE(pump_until([&] { return app.controller().wait_finished(0ms); }, 240s));
    EXPECT_GT(app.view().layers.calls(), 0) << "no primitive reached the layers";

    gtk_button_clicked(GTK_BUTTON(app.p_window.screenshot_button));
    const int  tick = app.progress_hook().global_simulation_time();
    const auto suffix = [&](const char* what) {
        return std::string("_") + what + "_" + std::to_string(tick) + ".png";
    };
    const auto network = files_ending(f.dir.path(), suffix("Network"));
    ASSERT_EQ(network.size(), 1u) << "no network image of tick " << tick;
    EXPECT_EQ(files_ending(f.dir.path(), suffix("Cars")).size(), 1u);
    EXPECT_EQ(files_ending(f.dir.path(), suffix("User")).size(), 1u);
    Png net(network[0]);
    ASSERT_TRUE(net.ok());
    // The diagonal crosses the middle of the view box.
    const gui_box box = app.view().view_box();
    const int     h = cairo_image_surface_get_height(net.s);
    const int     cx = int((box.top.x + box.bottom.x) / 2),
              cy = h - int((box.top.y + box.bottom.y) / 2);
    std::uint32_t darkest = 0;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            darkest = std::max(darkest, png_pixel(net.s, cx + dx, cy + dy) >> 24);
    EXPECT_GT(darkest, 0u) << "the diagonal is not in the screen shot";

    // Snapshots at second 0 and 1000, in the run's dated folder.
    const auto snapshots = files_ending(f.dir.path(), ".png");
    int        logged = 0;
    for (const auto& p : snapshots)
        if (p.filename().string().find("_SnapShot_log_") != std::string::npos) {
            ++logged;
            EXPECT_NE(p.parent_path(), f.dir.path()) << "a snapshot outside the run folder";
            Png snap(p);
            EXPECT_TRUE(snap.ok());
        }
    EXPECT_EQ(logged, 2);
    app.shut_down();
}

// Pixels of an image that hold some colour.
int painted_pixels(cairo_surface_t* image) {
    int n = 0;
    for (int y = 0; y < cairo_image_surface_get_height(image); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(image); ++x)
            n += (png_pixel(image, x, y) >> 24) != 0;
    return n;
}

int painted_pixels(const fs::path& png) {
    Png image(png);
    return image.ok() ? painted_pixels(image.s) : -1;
}

// Options whose core runs the chosen master file with a probe that
// make_probe(run state) builds for the run.
template <class MakeProbe> AppOptions probed_run(Fixture& f, MakeProbe make_probe) {
    return f.options([make_probe](Sim& s) {
        auto probe = make_probe(s);
        s.probe = &probe;
        velmorantis_main_file_input(s);
        s.probe = nullptr;
    });
}

// Holds the run, as the pause button does, at the end of the first tick after
// 30 s that redrew the vehicles with vehicles en route.
class HoldEnRoute : public StepProbe {
  public:
    HoldEnRoute(Sim& s, std::atomic<bool>& held) : s_(s), held_(held) {}
    void step(std::string_view name) override {
        const int t10 = s_.control.t10;
        if (held_.load() || name != "redraw_and_adjust" || t10 < 300 || s_.set1.tenr == 0 ||
            t10 % s_.subtim.animspd(2) != 0)
            return;
        pause_simulation(s_);
        held_.store(true);
    }

  private:
    Sim&               s_;
    std::atomic<bool>& held_;
};

// The corridor and the grid samples run in the window: the core draws the
// network and animates the vehicles, a screen shot while the run is held
// shows both layers painted, and "Resume Simulation" paints both layers anew
// from the held run before it goes on. The run is held (as the pause button
// holds it) at the end of a tick that redrew the vehicles, so the vehicle
// layer is not caught between a clear and the next redraw.
TEST(Program, SamplesAreAnimatedAndRepaintedOnResume) {
    REQUIRE_DISPLAY();
    for (const char* name : {"corridor", "grid"}) {
        SCOPED_TRACE(name);
        Fixture f;
        f.place_sample(name);
        std::atomic<bool> held{false};
        App               app(probed_run(f, [&held](Sim& s) { return HoldEnRoute(s, held); }));
        app.start("");
        app.choose_single_mode();
        ASSERT_TRUE(f.dialogs.empty());
        gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
        ASSERT_TRUE(pump_until([&] { return held.load(); }, 240s)) << "no vehicle was drawn";
        gtk_button_clicked(GTK_BUTTON(app.p_window.pause_button));
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(app.p_window.pause_button)),
                     "Resume Simulation");
        ASSERT_EQ(app.call_core_parked([](Sim&) {}), App::CoreCall::done);

        gtk_button_clicked(GTK_BUTTON(app.p_window.screenshot_button));
        const int  tick = app.progress_hook().global_simulation_time();
        const auto shot = [&](const char* what) {
            const auto found = files_ending(f.dir.path(), std::string("_") + what + "_" +
                                                              std::to_string(tick) + ".png");
            return found.size() == 1 ? painted_pixels(found[0]) : -1;
        };
        // The corridor, long and thin at its true proportions, paints about 950.
        EXPECT_GT(shot("Network"), 500) << "the network layer of the shot is empty";
        EXPECT_GT(shot("Cars"), 0) << "the vehicle layer of the shot is empty";

        // Emptied by hand, both layers are painted again by the resume.
        app.view().layers.clear_drawing();
        gtk_button_clicked(GTK_BUTTON(app.p_window.pause_button));
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(app.p_window.pause_button)),
                     "Pause Simulation");
        app.view().layers.with_layers([](cairo_surface_t* fixed, cairo_surface_t* moving) {
            EXPECT_GT(painted_pixels(fixed), 500) << "the network was not repainted";
            EXPECT_GT(painted_pixels(moving), 0) << "the vehicles were not repainted";
        });
        app.shut_down();
    }
}

// Calls into the core's state wait for the core to park: with no run, or a
// core that never reaches its pause, the call is not made and the message
// window says why.
TEST(Window, CallsIntoTheCoreWaitForItToPark) {
    REQUIRE_DISPLAY();
    Fixture           f;
    Gate              gate;
    std::atomic<bool> started{false};
    App               app(f.options([&](Sim&) {
        started = true;
        gate.wait(); // inside its tick: never parked
    }));
    struct Open {
        Gate& gate;
        ~Open() { gate.open(); }
    } open{gate};
    app.start("");
    int calls = 0;
    EXPECT_EQ(app.call_core_parked([&](Sim&) { ++calls; }), App::CoreCall::not_running);
    pump_for(100ms);
    EXPECT_EQ(app.non_modal_message_box.message_title, "No Simulation");
    f.chosen = f.dir.write("a.master", tiny_master("Run A"));
    app.choose_single_mode();
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    ASSERT_TRUE(pump_until([&] { return started.load(); }));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(app.call_core_parked([&](Sim&) { ++calls; }, 200ms), App::CoreCall::busy);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
    pump_for(100ms);
    EXPECT_EQ(app.non_modal_message_box.message_title, "Simulation Busy");
    EXPECT_EQ(calls, 0);
    gate.open();
    ASSERT_TRUE(pump_until([&] { return app.controller().wait_finished(0ms); }));
    app.shut_down();
}

// --- the program itself -----------------------------------------------------------

// The sample with the fewest bytes that has a master file.
fs::path smallest_sample() {
    fs::path        best;
    std::uintmax_t  best_size = 0;
    const fs::path  root = fs::path(VELM_SOURCE_DIR) / "samples";
    std::error_code ec;
    for (const auto& d : fs::directory_iterator(root, ec)) {
        if (!d.is_directory()) continue;
        bool           has_master = false;
        std::uintmax_t size = 0;
        for (const auto& e : fs::recursive_directory_iterator(d.path())) {
            if (!e.is_regular_file()) continue;
            size += e.file_size();
            has_master = has_master || e.path().extension() == ".master";
        }
        if (has_master && (best.empty() || size < best_size)) {
            best = d.path();
            best_size = size;
        }
    }
    return best;
}

fs::path master_of(const fs::path& folder) {
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".master") return e.path();
    return {};
}

int run_program(const fs::path& where, const std::string& args) {
    const std::string command = "cd '" + where.string() +
                                "' && timeout 300 '" VELMSIMS_PROGRAM "' " + args +
                                " > console.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Program, CommandLineRunOfTheSmallestSampleQuitsWithItsOutputs) {
    REQUIRE_DISPLAY();
    const fs::path sample = smallest_sample();
    ASSERT_FALSE(sample.empty()) << "no sample network under samples/";
    support::TempDir work;
    fs::copy(sample, work.path() / sample.filename(), fs::copy_options::recursive);
    const fs::path master = fs::relative(master_of(work.path() / sample.filename()), work.path());
    const auto     start = std::chrono::steady_clock::now();
    EXPECT_EQ(run_program(work.path(), "'" + master.string() + "'"), 0)
        << support::slurp(work.file("console.txt"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 240s);
    // The run read the copy, wrote its run log in the working directory and
    // its summary output into the sample's output folder.
    EXPECT_TRUE(fs::exists(work.path() / kDefaultMasterFile));
    EXPECT_GT(fs::file_size(work.path() / "runerr.out"), 0u);
    bool summary = false;
    for (const auto& e : fs::directory_iterator(work.path() / sample.filename() / "output"))
        summary = summary || (e.is_regular_file() && e.file_size() > 0);
    EXPECT_TRUE(summary) << "no output written";
}

TEST(Program, MissingCommandLineMasterFileEndsTheProgram) {
    REQUIRE_DISPLAY();
    support::TempDir work;
    const auto       start = std::chrono::steady_clock::now();
    EXPECT_EQ(run_program(work.path(), "no_such.master"), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_FALSE(fs::exists(work.path() / kDefaultMasterFile));
}

// The simulated time of the core's latest tick, published for the window thread.
class TickProbe : public StepProbe {
  public:
    TickProbe(const Sim& s, std::atomic<int>& t10) : s_(s), t10_(t10) {}
    void step(std::string_view) override { t10_.store(s_.control.t10); }

  private:
    const Sim&        s_;
    std::atomic<int>& t10_;
};

// A run of the real core from the window, paused and resumed from the progress
// window while the core thread runs (the threading test for ThreadSanitizer):
// while paused the simulated time stands still, after the resume it goes on.
TEST(Program, RealRunFromTheWindowPausedAndResumed) {
    REQUIRE_DISPLAY();
    const fs::path sample = smallest_sample();
    ASSERT_FALSE(sample.empty()) << "no sample network under samples/";
    Fixture          f;
    std::atomic<int> t10{0};
    fs::copy(sample, f.dir.path() / sample.filename(), fs::copy_options::recursive);
    App app(probed_run(f, [&t10](Sim& s) { return TickProbe(s, t10); }));
    app.start("");
    f.chosen = (fs::path(sample.filename()) / master_of(sample).filename()).string();
    app.choose_single_mode();
    ASSERT_TRUE(f.dialogs.empty());
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    ASSERT_TRUE(pump_until([&] { return t10.load() > 0; }, 60s)) << "the run never ticked";

    gtk_button_clicked(GTK_BUTTON(app.p_window.pause_button));
    // The core parks at the head of its next tick and polls once a second.
    pump_for(1200ms);
    const int paused_at = t10.load();
    pump_for(1500ms);
    EXPECT_EQ(t10.load(), paused_at) << "simulated time moved while paused";
    EXPECT_TRUE(app.is_velmorantis_running()) << "the run ended instead of pausing";

    gtk_button_clicked(GTK_BUTTON(app.p_window.pause_button));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(app.p_window.pause_button)), "Pause Simulation");
    ASSERT_TRUE(pump_until([&] { return app.controller().wait_finished(0ms); }, 240s));
    EXPECT_GT(t10.load(), paused_at) << "the run did not go on after the resume";
    EXPECT_FALSE(app.is_velmorantis_running());
    EXPECT_GT(fs::file_size(f.dir.path() / "runerr.out"), 0u);
    app.shut_down();
}

// --- closing the window during a run -------------------------------------------------

// The top-level window of process pid whose title begins with prefix (0 when
// there is none yet).
Window window_of(Display* d, long pid, const std::string& prefix) {
    const Atom   pid_atom = XInternAtom(d, "_NET_WM_PID", True);
    Window       root = DefaultRootWindow(d), parent = 0, *kids = nullptr;
    unsigned int n = 0;
    Window       found = 0;
    if (pid_atom == None || !XQueryTree(d, root, &root, &parent, &kids, &n)) return 0;
    for (unsigned int k = 0; k < n && found == 0; ++k) {
        Atom           type = None;
        int            format = 0;
        unsigned long  items = 0, after = 0;
        unsigned char* data = nullptr;
        long           owner = -1;
        if (XGetWindowProperty(d, kids[k], pid_atom, 0, 1, False, XA_CARDINAL, &type, &format,
                               &items, &after, &data) == Success &&
            data != nullptr && items == 1)
            owner = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
        if (data != nullptr) XFree(data);
        char* name = nullptr;
        if (owner == pid && XFetchName(d, kids[k], &name) && name != nullptr) {
            if (std::string(name).rfind(prefix, 0) == 0) found = kids[k];
        }
        if (name != nullptr) XFree(name);
    }
    if (kids != nullptr) XFree(kids);
    return found;
}

// What a window manager sends when the user closes a window.
void send_close(Display* d, Window w) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &ev);
    XFlush(d);
}

// The last simulated second of the progress log ("[second] = ..." lines), -1
// before the first line.
int last_logged_second(const fs::path& log) {
    std::istringstream in(support::slurp(log.string()));
    int                last = -1;
    for (std::string line; std::getline(in, line);)
        if (line.size() > 1 && line[0] == '[') last = std::atoi(line.c_str() + 1);
    return last;
}

std::vector<std::string> text_lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream       in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// The value at the end of a run-log line "    - <label> : value".
long summary_value(const std::vector<std::string>& lines, const std::string& label) {
    for (const auto& l : lines)
        if (l.find(label) != std::string::npos) return std::atol(l.c_str() + l.find(':') + 1);
    return -1;
}

// The program runs the tiny network with demand for a whole week-long horizon
// (it cannot end by itself during the test); the user closes the main window
// once the run is past its 2000th second. The program must end within a
// second, with every file the run wrote complete: the run log ends with the
// run summary of the second the run stopped at, and the vehicles then on the
// network are all listed.
TEST(Program, ClosingTheWindowDuringARunStopsItAndEndsEveryFile) {
    REQUIRE_DISPLAY();
    Display* x = XOpenDisplay(nullptr);
    ASSERT_NE(x, nullptr) << "no X display: the close request cannot be sent";
    constexpr int    kHorizon = 604000;
    support::TempDir work;
    const fs::path   tiny = fs::path(VELM_SOURCE_DIR) / "samples" / "tiny";
    fs::copy(tiny, work.path() / "tiny", fs::copy_options::recursive);
    {
        // The sample's master file and demand stretched over the horizon.
        std::string master = support::slurp((tiny / "tiny.master").string());
        master.replace(master.find('\n') + 1, 3, std::to_string(kHorizon));
        work.write("tiny/tiny.master", master);
        work.write("tiny/input/demand.dat", "Tiny demand over the whole horizon\n1  0  0  1.0\n"
                                            "1  1  2  300  0  0  " +
                                                std::to_string(kHorizon) +
                                                "   1  0  0  0  0   0  1\n");
        work.write("velmsims_interface.config", "log_file = on\n");
    }
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Child: only calls that are safe after fork in a threaded process.
        if (chdir(work.path().c_str()) != 0) _exit(127);
        const int out = open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0) _exit(127);
        dup2(out, 1);
        dup2(out, 2);
        execl(VELMSIMS_PROGRAM, VELMSIMS_PROGRAM, "tiny/tiny.master", static_cast<char*>(nullptr));
        _exit(127);
    }
    int        status = 0;
    bool       ended = false;
    const auto reap = [&] {
        if (!ended && waitpid(pid, &status, WNOHANG) == pid) ended = true;
        return ended;
    };
    struct Reaper { // should a check fail, the program does not outlive the test
        pid_t pid;
        bool& ended;
        ~Reaper() {
            if (!ended) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    } reaper{pid, ended};
    const auto console = [&] { return support::slurp(work.file("console.txt")); };

    const auto wait_for = [&](auto pred, std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!pred()) {
            if (reap() || std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    };
    ASSERT_TRUE(
        wait_for([&] { return last_logged_second(work.path() / kProgressLogFile) >= 2000; }, 240s))
        << "the run did not reach its 2000th second\n"
        << console();
    const Window main_window = window_of(x, pid, "Velmorantis Interface");
    ASSERT_NE(main_window, 0u) << "the main window of the program was not found";
    const auto closed_at = std::chrono::steady_clock::now();
    send_close(x, main_window);
    XCloseDisplay(x);
    while (!reap() && std::chrono::steady_clock::now() - closed_at < 30s)
        std::this_thread::sleep_for(5ms);
    const auto took = std::chrono::steady_clock::now() - closed_at;
    ASSERT_TRUE(ended) << "the program did not end after its window was closed\n" << console();
    EXPECT_LT(took, 1s) << "ended " << std::chrono::duration<double>(took).count()
                        << " s after the close\n"
                        << console();
    ASSERT_TRUE(WIFEXITED(status)) << console();
    EXPECT_EQ(WEXITSTATUS(status), 0) << console();

    // The run log: the stop line, then the run summary as its last lines.
    const std::string              log = support::slurp(work.file("runerr.out"));
    const std::vector<std::string> lines = text_lines(log);
    ASSERT_GE(lines.size(), 14u) << log;
    const long clock = summary_value(lines, "- Simulation clock time");
    EXPECT_GE(clock, 2000);
    EXPECT_LT(clock, kHorizon);
    const std::string stop_line = " Run stopped on request at simulation clock";
    EXPECT_NE(log.find(stop_line), std::string::npos) << log;
    EXPECT_EQ(lines[lines.size() - 14], "  D. Simulation summary statistics: ");
    EXPECT_NE(lines[lines.size() - 2].find("- last vehicle exit at"), std::string::npos);
    EXPECT_EQ(summary_value(lines, "- Number of errors found"), 0);

    // Every vehicle on the network when the run stopped is listed.
    const long en_route = summary_value(lines, "- Current vehicles en-route");
    ASSERT_GT(en_route, 0);
    const std::vector<std::string> listed =
        text_lines(support::slurp((work.path() / "tiny" / "output" / "en-route.out").string()));
    EXPECT_EQ(static_cast<long>(listed.size()), en_route + 2);

    // Every file the program wrote ends with a whole line.
    int written = 0;
    for (const auto& e : fs::recursive_directory_iterator(work.path())) {
        if (!e.is_regular_file() || e.file_size() == 0) continue;
        const std::string text = support::slurp(e.path().string());
        ++written;
        EXPECT_EQ(text.back(), '\n') << e.path() << " ends in the middle of a line";
    }
    EXPECT_GE(written, 4);
}

// --- dialogs --------------------------------------------------------------------

namespace dialogs {

// The answer to the next modal dialog: texts for its entries, then a response.
struct Answer {
    std::vector<std::string> entries;
    int                      response;
    std::string              seen_title; // the dialog's window title or primary text
    std::string              seen_text;  // a message dialog's secondary text
    bool                     given = false;
};

void collect_entries(GtkWidget* w, std::vector<GtkWidget*>& out) {
    if (GTK_IS_ENTRY(w)) out.push_back(w);
    if (GTK_IS_CONTAINER(w))
        for (GtkWidget* c : children(w)) collect_entries(c, out);
}

gboolean answer_now(gpointer data) {
    auto*      a = static_cast<Answer*>(data);
    GtkDialog* dialog = nullptr;
    GList*     tops = gtk_window_list_toplevels();
    for (GList* l = tops; l != nullptr; l = l->next)
        if (GTK_IS_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
            dialog = GTK_DIALOG(l->data);
    g_list_free(tops);
    if (dialog == nullptr) return G_SOURCE_CONTINUE;
    std::vector<GtkWidget*> entries;
    collect_entries(gtk_dialog_get_content_area(dialog), entries);
    for (std::size_t i = 0; i < entries.size() && i < a->entries.size(); ++i)
        gtk_entry_set_text(GTK_ENTRY(entries[i]), a->entries[i].c_str());
    if (GTK_IS_MESSAGE_DIALOG(dialog)) {
        gchar *text = nullptr, *secondary = nullptr;
        g_object_get(dialog, "text", &text, "secondary-text", &secondary, nullptr);
        a->seen_title = text != nullptr ? text : "";
        a->seen_text = secondary != nullptr ? secondary : "";
        g_free(text);
        g_free(secondary);
    } else {
        const gchar* title = gtk_window_get_title(GTK_WINDOW(dialog));
        a->seen_title = title != nullptr ? title : "";
    }
    a->given = true;
    gtk_dialog_response(dialog, a->response);
    return G_SOURCE_REMOVE;
}

// Answers the next modal dialog once the main loop runs inside it.
void schedule(Answer& a) {
    g_timeout_add(20, answer_now, &a);
}

} // namespace dialogs

TEST(Window, InputDialogsReadTheLeadingNumberAndCountCloseAsCancel) {
    REQUIRE_DISPLAY();
    Fixture f;
    App     app(f.options([](Sim&) {}));
    app.start("");
    struct Case {
        const char*              name;
        std::vector<std::string> entries;
        int                      response;
        int                      ok, value1, value2;
    };
    const Case cases[] = {
        {"OK", {"12abc", "abc"}, GTK_RESPONSE_OK, 1, 12, 0},
        {"OK, too large", {"99999999999", " -4"}, GTK_RESPONSE_OK, 1, 0, -4},
        {"cancel", {"5", "6"}, GTK_RESPONSE_CANCEL, 0, 77, 88},
        {"close control", {"5", "6"}, GTK_RESPONSE_DELETE_EVENT, 0, 77, 88},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs::Answer one{c.entries, c.response, {}, {}, false};
        dialogs::schedule(one);
        int value = 77, ok = -1;
        app.show_input_dlg_one("Centre on Node", "Node:", value, ok);
        EXPECT_TRUE(one.given);
        EXPECT_EQ(one.seen_title, "Centre on Node");
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(value, c.value1);

        dialogs::Answer two{c.entries, c.response, {}, {}, false};
        dialogs::schedule(two);
        int v1 = 77, v2 = 88;
        ok = -1;
        app.show_input_dlg_two("Centre on Point", "X (m):", "Y (m):", v1, v2, ok);
        EXPECT_TRUE(two.given);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(v1, c.value1);
        EXPECT_EQ(v2, c.value2);
    }
    app.shut_down();
}

TEST(Window, ReportDialogAndExitDialogAnsweredByTheUser) {
    REQUIRE_DISPLAY();
    Fixture    f;
    AppOptions o = f.options([](Sim&) {});
    o.dialog_sink = nullptr; // the real modal dialog
    App app(std::move(o));
    app.start("");

    dialogs::Answer report{{}, GTK_RESPONSE_OK, {}, {}, false};
    dialogs::schedule(report);
    app.show_nearest_stop_sign(12, 0.5f, 1.0f);
    ASSERT_TRUE(report.given);
    EXPECT_NE(report.seen_title.find(">Nearest Stop Sign</span>"), std::string::npos);
    EXPECT_EQ(report.seen_text,
              "Link:         12\nMouse Coordinates: x=      0.500 y=      1.000\n");

    // Texts with markup characters are shown literally.
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION,
                                               GTK_BUTTONS_OK, "x");
    App::set_show_dlg_info(dialog, "A & B <1>", "x < y & z");
    dialogs::Answer literal{{}, GTK_RESPONSE_OK, {}, {}, false};
    dialogs::schedule(literal);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    EXPECT_NE(literal.seen_title.find(">A &amp; B &lt;1&gt;</span>"), std::string::npos);
    EXPECT_EQ(literal.seen_text, "x &lt; y &amp; z");

    dialogs::Answer no{{}, GTK_RESPONSE_NO, {}, {}, false};
    dialogs::schedule(no);
    app.show_exit_dlg();
    EXPECT_TRUE(no.given);
    EXPECT_EQ(no.seen_title, "Exit");
    EXPECT_FALSE(app.quit_requested());

    dialogs::Answer yes{{}, GTK_RESPONSE_YES, {}, {}, false};
    dialogs::schedule(yes);
    app.show_exit_dlg();
    EXPECT_TRUE(app.quit_requested());
    app.shut_down();
}

// --- picks on a held sample run -------------------------------------------------

// Counts the signal heads (circles) the core draws.
class CountingBridge : public DrawingBridge {
  public:
    void clear_drawing_area(Layer) override {}
    void clear_box(Layer, float, float, float, float) override {}
    void draw_point(Layer, float, float, int) override { ++marks; }
    void draw_disc(Layer, float, float, float, int) override {}
    void draw_circle(Layer, float, float, float, int) override { ++circles; }
    void draw_line(Layer, float, float, float, float, float, int) override { ++marks; }
    void draw_polygone_a(Layer, int, std::span<const PixelPoint>) override {}
    void draw_rectangle(Layer, float, float, float, float, int, int) override {}
    void draw_rectangle_fill(Layer, float, float, float, float, int) override {}
    void return_drawing_area_sizes(float& w, float& h) override { w = h = 0; }
    void get_virtual_screen(float& x0, float& y0, float& x1, float& y1) override {
        x0 = y0 = x1 = y1 = 0;
    }
    void redraw_drawing_area() override {}
    int  circles = 0;
    int  marks = 0; // points and lines
};

// The core pixel of a world point (km) in the network window.
struct Click {
    float x = 0, y = 0;
};
Click pixel_of(const Sim& s, float wx, float wy) {
    Click c;
    EXPECT_TRUE(transform(s, 1, wx, wy, c.x, c.y));
    return c;
}

// The first link of the run whose end carries `control` (any signal when 0).
int link_with_control(const Sim& s, int control) {
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        const int ts = s.link3.tsignal(l);
        if (s.link4.llength(l) > 0 &&
            (control == 0 ? ts >= 1 && ts <= kLastSignalCode : ts == control))
            return l;
    }
    return 0;
}

Click at_end_node(const Sim& s, int l) {
    const int n = s.link1.tonode(l);
    return pixel_of(s, s.graph1.x(n), s.graph1.y(n));
}

// Runs the sample in the window up to the hold, makes the picks with the run
// parked, each answered by its report, and lets the run go on.
void picks_on_sample(const char* name, const std::function<void(Sim&)>& picks,
                     std::vector<std::string>&                   dialogs_seen,
                     const std::function<void(const fs::path&)>& prepare = {}) {
    Fixture        f;
    const fs::path sample = f.place_sample(name);
    if (prepare) prepare(sample);
    std::atomic<bool> held{false};
    App               app(probed_run(f, [&held](Sim& s) { return HoldEnRoute(s, held); }));
    app.start("");
    app.choose_single_mode();
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    ASSERT_TRUE(pump_until([&] { return held.load(); }, 240s)) << "the run was not held";
    gtk_button_clicked(GTK_BUTTON(app.p_window.pause_button));
    ASSERT_EQ(app.call_core_parked(picks), App::CoreCall::done);
    dialogs_seen = f.dialogs;
    const int tick = app.progress_hook().global_simulation_time();
    gtk_button_clicked(GTK_BUTTON(app.p_window.pause_button));
    EXPECT_TRUE(
        pump_until([&] { return app.progress_hook().global_simulation_time() > tick; }, 60s))
        << "the run did not resume";
    app.shut_down();
}

bool shown(const std::vector<std::string>& dialogs, const std::string& start) {
    return std::any_of(dialogs.begin(), dialogs.end(),
                       [&](const std::string& d) { return d.rfind(start, 0) == 0; });
}

// The arterial sample: signal heads, stop and yield signs are drawn, and each
// kind of pick finds its object and shows its report.
TEST(Program, PicksOnTheArterialShowTheirReports) {
    REQUIRE_DISPLAY();
    std::vector<std::string> seen;
    int                      stop = 0, yield = 0, signal = 0, node = 0, vehicle = 0, link = 0;
    int                      found_stop = -1, found_yield = -1, found_signal = -1, found_node = -1;
    int                      found_vehicle = -1, found_link = -1, drawn_heads = 0;
    picks_on_sample(
        "arterial",
        [&](Sim& s) {
            stop = link_with_control(s, kStopSignCode);
            yield = link_with_control(s, kYieldSignCode);
            const int sl = link_with_control(s, 0);
            ASSERT_GT(stop, 0);
            ASSERT_GT(yield, 0);
            ASSERT_GT(sl, 0);
            signal = s.link3.tsignal(sl);
            Click c = at_end_node(s, stop);
            nearest_stop_sign(s, c.x, c.y, found_stop);
            c = at_end_node(s, yield);
            nearest_yield_sign(s, c.x, c.y, found_yield);
            c = at_end_node(s, sl);
            nearest_signal(s, c.x, c.y, found_signal);
            node = s.link1.tonode(sl);
            nearest_node(s, c.x, c.y, found_node);
            for (int v = 1; v <= s.vehindx.mvehid && vehicle == 0; ++v)
                if (s.vehplot.xq(v, 1) > 0) vehicle = v;
            ASSERT_GT(vehicle, 0) << "no vehicle drawn";
            c = pixel_of(s, s.vehplot.xq(vehicle, 1), s.vehplot.yq(vehicle, 1));
            nearest_vehicle(s, c.x, c.y, found_vehicle);
            vehicle = s.vehindx.vehrid(vehicle);
            link = 1;
            const int f = s.link1.frnode(1), n = s.link1.tonode(1);
            c = pixel_of(s, (s.graph1.x(f) + s.graph1.x(n)) / 2,
                         (s.graph1.y(f) + s.graph1.y(n)) / 2);
            nearest_link(s, c.x, c.y, found_link);
            // Signal heads were drawn on the devices layer: once it is cleared
            // they are all drawn again (then the window's layer is cleared too,
            // so the run draws them there anew).
            CountingBridge       counter;
            DrawingBridge* const window = s.draw;
            s.draw = &counter;
            clearscrn_devices(s);
            psignal(s, 1);
            s.draw = window;
            clearscrn_devices(s);
            drawn_heads = counter.circles;
        },
        seen);
    EXPECT_EQ(found_stop, stop);
    EXPECT_EQ(found_yield, yield);
    EXPECT_EQ(found_signal, signal);
    EXPECT_EQ(found_node, node);
    EXPECT_GT(found_vehicle, 0);
    EXPECT_GT(found_link, 0);
    EXPECT_GT(drawn_heads, 0);
    EXPECT_TRUE(shown(seen, "Nearest Stop Sign: Link: "));
    EXPECT_TRUE(shown(seen, "Nearest Yield Sign: Link: "));
    EXPECT_TRUE(shown(seen, "Signal: "));
    EXPECT_TRUE(shown(seen, "Node #:  "));
    EXPECT_TRUE(shown(seen, "Vehicle = "));
    EXPECT_TRUE(shown(seen, " Link "));
    EXPECT_EQ(seen.size(), 6u);
}

// The corridor sample: its stations and metered on-ramps are drawn, and a
// loop-detector pick reports the station under the click.
TEST(Program, CorridorStationsAndMetersAreDrawnAndAStationIsPicked) {
    REQUIRE_DISPLAY();
    std::vector<std::string> seen;
    int                      station = 0, found = -1, meters = 0, marks = 0;
    picks_on_sample(
        "corridor",
        [&](Sim& s) {
            const auto& d = s.detloc;
            for (int k = 1; k <= d.mdetloc && station == 0; ++k)
                if (d.dettyp(k) > 0) station = k;
            ASSERT_GT(station, 0) << "no station in the corridor";
            const int   l = d.detlink(station);
            const float f = d.detpos(station, 1) / s.link4.llength(l);
            const int   a = s.link1.frnode(l), b = s.link1.tonode(l);
            const Click c = pixel_of(s, s.graph1.x(a) + f * (s.graph1.x(b) - s.graph1.x(a)),
                                     s.graph1.y(a) + f * (s.graph1.y(b) - s.graph1.y(a)));
            nearest_loop_detector(s, c.x, c.y, found);
            CountingBridge       counter;
            DrawingBridge* const window = s.draw;
            s.draw = &counter;
            clearscrn_devices(s);
            prmpmet(s);
            meters = counter.circles;
            pdetloc(s);
            marks = counter.marks;
            s.draw = window;
            clearscrn_devices(s);
        },
        seen);
    EXPECT_GT(found, 0);
    EXPECT_GT(meters, 0) << "no meter drawn";
    EXPECT_GT(marks, 0) << "no station drawn";
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].rfind("Nearest Detector Loop: Loop Detector: ", 0), 0u) << seen[0];
}

// The grid sample, in a copy whose incident starts at 20 s: a pick on the
// blocked section reports the incident.
TEST(Program, GridIncidentIsPicked) {
    REQUIRE_DISPLAY();
    std::vector<std::string> seen;
    int                      found = -1, active = 0;
    picks_on_sample(
        "grid",
        [&](Sim& s) {
            const auto& inc = s.incident;
            ASSERT_GE(inc.mainc, 1);
            active = inc.stinc(1) <= s.control.t && s.control.t <= inc.eninc(1) ? 1 : 0;
            const int   l = inc.lninc(1);
            const float f = (inc.inclng(1, 1) + inc.inclng(1, 2)) / 2 / s.link4.llength(l);
            const int   a = s.link1.frnode(l), b = s.link1.tonode(l);
            const Click c = pixel_of(s, s.graph1.x(a) + f * (s.graph1.x(b) - s.graph1.x(a)),
                                     s.graph1.y(a) + f * (s.graph1.y(b) - s.graph1.y(a)));
            nearest_incident(s, c.x, c.y, found);
        },
        seen,
        [](const fs::path& copy) {
            const fs::path    file = copy / "input" / "incidents.dat";
            std::string       text = support::slurp(file.string());
            const std::string from = " 180  2100 ", to = "  20  2100 ";
            const auto        at = text.find(from);
            ASSERT_NE(at, std::string::npos) << "the grid's incident record has changed";
            text.replace(at, from.size(), to);
            std::ofstream(file) << text;
        });
    EXPECT_EQ(active, 1);
    EXPECT_EQ(found, 1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].rfind("Nearest Incident: Incident:          1\n", 0), 0u) << seen[0];
}

// --- menus, keys and mouse through the real widgets ------------------------------

// The menu bar as text: one line per item, indented by its depth, "*" after
// the label of an item whose "activate" reaches a handler.
void describe_menu(GtkWidget* shell, int depth, std::string& out) {
    const guint activate = g_signal_lookup("activate", GTK_TYPE_MENU_ITEM);
    for (GtkWidget* w : children(shell)) {
        if (!GTK_IS_MENU_ITEM(w)) continue;
        out += std::string(std::size_t(depth), ' ') + gtk_menu_item_get_label(GTK_MENU_ITEM(w));
        if (g_signal_has_handler_pending(w, activate, 0, FALSE)) out += "*";
        out += "\n";
        if (GtkWidget* menu = submenu(w)) describe_menu(menu, depth + 1, out);
    }
}

// The menu item at the end of a path of labels from the menu bar.
GtkWidget* menu_path(App& app, std::initializer_list<const char*> path) {
    GtkWidget* shell = app.gui_main_data.menu_bar;
    GtkWidget* item = nullptr;
    for (const char* label : path) {
        item = shell != nullptr ? menu_item(shell, label) : nullptr;
        if (item == nullptr) {
            ADD_FAILURE() << "no menu item " << label;
            return nullptr;
        }
        shell = submenu(item);
    }
    return item;
}

void activate(App& app, std::initializer_list<const char*> path) {
    if (GtkWidget* item = menu_path(app, path)) gtk_menu_item_activate(GTK_MENU_ITEM(item));
}

TEST(Window, MenuBarHoldsEveryMenuAndConnectsItsCommands) {
    REQUIRE_DISPLAY();
    Fixture f;
    App     app(f.options([](Sim&) {}));
    app.start("");
    const std::string expected = "File\n"
                                 " New Simulation*\n"
                                 "  Single Mode*\n"
                                 "  Batch Mode*\n"
                                 " Exit*\n"
                                 "Edit\n"
                                 " Zoom*\n"
                                 "Display\n"
                                 " Locate Nearest\n"
                                 "  Link*\n"
                                 "  Vehicle*\n"
                                 "  Node*\n"
                                 "  Signal*\n"
                                 "  Stop Sign*\n"
                                 "  Yield Sign*\n"
                                 "  Incident*\n"
                                 "  Loop Detector*\n"
                                 " Center On\n"
                                 "  X-Y Coordinates*\n"
                                 "  Node Location*\n"
                                 "  Link Location*\n"
                                 "  Vehicle Location*\n"
                                 "  Mouse Click*\n"
                                 "Tracking\n"
                                 " Track\n"
                                 "  REMOVE ALL TRACKING*\n"
                                 "  Individual vehicle*\n"
                                 "  Vehicle type*\n"
                                 "  OD pair*\n"
                                 "  Origin zone*\n"
                                 "  Destination zone*\n"
                                 "  Lane changing vehicles*\n"
                                 "  Stopped vehicles*\n"
                                 "  Decelerating vehicles*\n"
                                 "  Accelerating vehicles*\n"
                                 "  Probes trip start*\n"
                                 "  Probes on every link*\n"
                                 "  Probes every second*\n"
                                 "  Vehicles diverted on route*\n"
                                 "  Vehicles passed under VMS/CMS*\n"
                                 "Simulation Speed\n"
                                 " Set Next Simulation Time Step*\n"
                                 "  0.1 Seconds*\n"
                                 "  1 Seconds*\n"
                                 "  10 Seconds*\n"
                                 "  60 Seconds*\n"
                                 "  600 Seconds*\n"
                                 "  3600 Seconds*\n"
                                 "  To End Of Simulation*\n"
                                 " Set Maximum Simulation Speed*\n"
                                 "  Real-Time x 0.5*\n"
                                 "  Real-Time x 1.0*\n"
                                 "  Real-Time x 2.0*\n"
                                 "  Real-Time x 5.0*\n"
                                 "  Real-Time x 10.0*\n"
                                 "  CPU Maximum*\n"
                                 "Statistics & Data\n"
                                 "Help\n"
                                 " Short Help*\n"
                                 " About*\n"
                                 "Quit\n"
                                 " End Simulation*\n";
    std::string       seen;
    describe_menu(app.gui_main_data.menu_bar, 0, seen);
    EXPECT_EQ(seen, expected);
    // "Statistics & Data" carries an empty menu.
    GtkWidget* stats = menu_path(app, {"Statistics & Data"});
    ASSERT_NE(stats, nullptr);
    ASSERT_NE(submenu(stats), nullptr);
    EXPECT_TRUE(children(submenu(stats)).empty());

    // With no run, the run-control commands change nothing and the next run
    // starts free and unpaced; "Center On" says no run is active.
    activate(app, {"Simulation Speed", "Set Next Simulation Time Step", "0.1 Seconds"});
    activate(app, {"Simulation Speed", "Set Maximum Simulation Speed", "Real-Time x 0.5"});
    activate(app, {"Tracking", "Track", "Stopped vehicles"});
    activate(app, {"Display", "Center On", "Node Location"});
    pump_until([&] { return app.non_modal_message_box.message_title == kNoRunTitle; }, 2s);
    EXPECT_EQ(app.non_modal_message_box.message_title, kNoRunTitle);
    app.shut_down();

    std::atomic<int> step{-1}, pacing{-1}, tracking{-1};
    Fixture          g;
    App              next(g.options([&](Sim& s) {
        step = s.subtim.indstp.load();
        pacing = s.subtim.clocks.load();
        tracking = tracking_word(s, 11);
    }));
    next.start("");
    g.chosen = g.dir.write("a.master", tiny_master("Run A"));
    activate(next, {"Simulation Speed", "Set Next Simulation Time Step", "0.1 Seconds"});
    next.choose_single_mode();
    gtk_button_clicked(GTK_BUTTON(next.gui_main_data.RunSimulation_Button));
    ASSERT_TRUE(pump_until([&] { return next.controller().wait_finished(0ms); }));
    EXPECT_EQ(step.load(), 0);
    EXPECT_EQ(pacing.load(), 0);
    EXPECT_EQ(tracking.load(), 0);
    next.shut_down();
}

// Events as the toolkit delivers them from the keyboard and the mouse.
void send_key_event(GtkWidget* window, GdkEventType type, unsigned keyval) {
    GdkSeat*  seat = gdk_display_get_default_seat(gdk_display_get_default());
    GdkEvent* e = gdk_event_new(type);
    e->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    e->key.send_event = TRUE;
    e->key.keyval = keyval;
    e->key.time = GDK_CURRENT_TIME;
    gdk_event_set_device(e, gdk_seat_get_keyboard(seat));
    gtk_widget_event(window, e);
    gdk_event_free(e);
}

void send_key(GtkWidget* window, unsigned keyval) {
    send_key_event(window, GDK_KEY_PRESS, keyval);
    send_key_event(window, GDK_KEY_RELEASE, keyval);
}

void send_mouse(GtkWidget* area, GdkEventType type, double x, double y) {
    GdkSeat*  seat = gdk_display_get_default_seat(gdk_display_get_default());
    GdkEvent* e = gdk_event_new(type);
    if (type == GDK_MOTION_NOTIFY) {
        e->motion.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(area)));
        e->motion.send_event = TRUE;
        e->motion.x = x;
        e->motion.y = y;
        e->motion.state = GDK_BUTTON1_MASK;
    } else {
        e->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(area)));
        e->button.send_event = TRUE;
        e->button.button = 1;
        e->button.x = x;
        e->button.y = y;
    }
    gdk_event_set_device(e, gdk_seat_get_pointer(seat));
    gtk_widget_event(area, e);
    gdk_event_free(e);
}

void drag(GtkWidget* area, double x0, double y0, double x1, double y1) {
    send_mouse(area, GDK_BUTTON_PRESS, x0, y0);
    send_mouse(area, GDK_MOTION_NOTIFY, x1, y1);
    send_mouse(area, GDK_BUTTON_RELEASE, x1, y1);
}

void expect_view(App& app, float x0, float y0, float x1, float y1) {
    const gui_box b = app.view().view_box();
    EXPECT_NEAR(b.top.x, x0, 0.01);
    EXPECT_NEAR(b.top.y, y0, 0.01);
    EXPECT_NEAR(b.bottom.x, x1, 0.01);
    EXPECT_NEAR(b.bottom.y, y1, 0.01);
}

// The corridor sample run in the window and steered through the menus, the
// keys and the mouse: pacing, stepping, tracking, zoom and pan, a drag, a
// centring and a link pick, then "Exit" answered "yes" while it runs.
TEST(Program, CorridorSteeredByMenusKeysAndMouseThenExited) {
    REQUIRE_DISPLAY();
    Fixture f;
    f.place_sample("corridor");
    std::atomic<int>                     t10{0};
    std::deque<std::vector<std::string>> entries; // answers of the input dialogs
    std::vector<std::string>             asked;
    AppOptions o = probed_run(f, [&t10](Sim& s) { return TickProbe(s, t10); });
    o.input_sink = [&](const std::string& title,
                       const std::vector<std::string>&) -> std::optional<std::vector<std::string>> {
        asked.push_back(title);
        if (entries.empty()) return std::nullopt;
        auto e = entries.front();
        entries.pop_front();
        return e;
    };
    int exits = 0;
    o.exit_sink = [&exits] {
        ++exits;
        return true;
    };
    App app(std::move(o));
    app.start("");
    GtkWidget* window = app.gui_main_data.window;
    GtkWidget* area = app.gui_main_data.DrawingArea;
    ASSERT_TRUE(pump_until([&] { return app.view().drawing_width() > 0; }));
    ASSERT_EQ(app.view().drawing_width(), 640);
    ASSERT_EQ(app.view().drawing_height(), 480);
    activate(app, {"File", "New Simulation", "Single Mode"});
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    bool was_running = false;
    ASSERT_TRUE(pump_until(
        [&] {
            was_running = was_running || app.is_velmorantis_running();
            return t10.load() > 20 || (was_running && !app.is_velmorantis_running());
        },
        120s));
    ASSERT_GT(t10.load(), 20) << support::slurp(f.dir.file("runerr.out"));
    const auto word = [&](int i) {
        int w = -1;
        app.with_current_sim([&](Sim& s) { w = tracking_word(s, i); });
        return w;
    };
    const auto parked = [&] {
        bool p = false;
        app.with_current_sim([&](Sim& s) { p = core_parked(s); });
        return p;
    };
    const auto progress_shows = [&](const std::string& text) {
        return pump_until(
            [&] {
                for (GtkWidget* l : app.p_window.label_line)
                    if (label_text(l).find(text) != std::string::npos) return true;
                return false;
            },
            20s);
    };

    // The message commands, and "Single Mode" refused while the run goes on.
    activate(app, {"Edit", "Zoom"});
    activate(app, {"Help", "Short Help"});
    activate(app, {"Help", "About"});
    activate(app, {"Quit", "End Simulation"});
    activate(app, {"File", "New Simulation", "Single Mode"});
    ASSERT_EQ(f.dialogs.size(), 5u);
    EXPECT_EQ(f.dialogs[0], "Zoom: See Help > About for instructions about the zoom");
    EXPECT_EQ(f.dialogs[1].rfind("VELMORANTIS 3.3.58 Desktop\nInterface 3.3.58 (1858)\n: "
                                 "Interface Commands:\n",
                                 0),
              0u);
    EXPECT_EQ(f.dialogs[2], "Feature: Feature Not Yet Implemented");
    EXPECT_EQ(f.dialogs[3], "Feature: Feature Not Yet Implemented");
    EXPECT_EQ(f.dialogs[4], "Warning: Velmorantis already running");

    // Pacing, then none again: the progress window names it.
    activate(app, {"Simulation Speed", "Set Maximum Simulation Speed", "Real-Time x 2.0"});
    EXPECT_TRUE(progress_shows("Real Time x 2.0"));
    activate(app, {"Simulation Speed", "Set Maximum Simulation Speed", "CPU Maximum"});
    EXPECT_TRUE(progress_shows("Maximum"));

    // Tracking: a plain mode, a pair from its dialog, then none.
    activate(app, {"Tracking", "Track", "Stopped vehicles"});
    EXPECT_EQ(word(11), 7);
    entries.push_back({"12", "34"});
    activate(app, {"Tracking", "Track", "OD pair"});
    EXPECT_EQ(word(11), 3);
    EXPECT_EQ(word(12), 12);
    EXPECT_EQ(word(13), 34);
    activate(app, {"Tracking", "Track", "REMOVE ALL TRACKING"});
    EXPECT_EQ(word(11), 0);

    // "1 Seconds": ten more ticks, then the run holds; "To End Of Simulation" releases it.
    const int before = t10.load();
    activate(app, {"Simulation Speed", "Set Next Simulation Time Step", "1 Seconds"});
    ASSERT_TRUE(pump_until(parked, 20s)) << "the run did not hold after its step";
    const int held_at = t10.load();
    EXPECT_LE(held_at - before, 30) << "the run went on past its step";
    pump_for(300ms);
    EXPECT_EQ(t10.load(), held_at);
    activate(app, {"Simulation Speed", "Set Next Simulation Time Step", "To End Of Simulation"});
    ASSERT_TRUE(pump_until([&] { return t10.load() > held_at + 10; }, 20s));

    // "p" holds the run, "r" lets it go on; upper-case letters act too.
    send_key(window, GDK_KEY_P);
    ASSERT_TRUE(pump_until(parked, 20s));
    send_key(window, GDK_KEY_r);
    const int resumed_at = t10.load();
    ASSERT_TRUE(pump_until([&] { return t10.load() > resumed_at; }, 20s));

    // Zoom and pan from the keys, a drag to zoom, all in a 640 x 480 area.
    send_key(window, GDK_KEY_a);
    expect_view(app, 0, 0, 640, 480);
    send_key(window, GDK_KEY_Z); // upper case: nothing
    send_key(window, GDK_KEY_plus);
    expect_view(app, 0, 0, 640, 480);
    send_key_event(window, GDK_KEY_PRESS, GDK_KEY_z); // keys act on release
    expect_view(app, 0, 0, 640, 480);
    send_key_event(window, GDK_KEY_RELEASE, GDK_KEY_z);
    expect_view(app, -320, -240, 960, 720);
    send_key(window, GDK_KEY_x);
    expect_view(app, -213.33f, -160, 853.33f, 640);
    send_key(window, GDK_KEY_a);
    send_key(window, GDK_KEY_Up);
    expect_view(app, 0, 0, 640, 485);
    send_key(window, GDK_KEY_a);
    drag(area, 300, 250, 100, 100);
    expect_view(app, -320, -736, 1728, 800);
    send_key(window, GDK_KEY_a);
    drag(area, 100, 100, 105, 108);
    expect_view(app, 0, 0, 640, 480);
    EXPECT_FLOAT_EQ(app.view().center_of_zoom().x, 102.5f);
    EXPECT_FLOAT_EQ(app.view().center_of_zoom().y, 104.0f);

    // Centring on a node: the run pauses as the pause button pauses it, and
    // the view moves the node to the middle of the area, the zoom centre.
    int node = 0;
    entries.push_back({"abc"}); // no number: the core rejects node 0
    activate(app, {"Display", "Center On", "Node Location"});
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(app.p_window.pause_button)), "Resume Simulation");
    EXPECT_TRUE(parked());
    EXPECT_FLOAT_EQ(app.view().center_of_zoom().x, 102.5f) << "a rejected number moves nothing";
    EXPECT_FLOAT_EQ(app.view().center_of_zoom().y, 104.0f);
    pump_until([&] { return app.non_modal_message_box.the_message == "Invalid Node Number"; }, 2s);
    EXPECT_EQ(app.non_modal_message_box.the_message, "Invalid Node Number");
    app.with_current_sim([&](Sim& s) { node = s.link1.tonode(1); });
    entries.push_back({std::to_string(node)});
    activate(app, {"Display", "Center On", "Node Location"});
    int cx = -1, cy = -1;
    ASSERT_EQ(app.call_core_parked([&](Sim& s) { findcent_new(s, 2, cx, cy, node); }),
              App::CoreCall::done);
    EXPECT_TRUE(cx != 0 || cy != 0) << "the node was rejected";
    EXPECT_FLOAT_EQ(app.view().center_of_zoom().x, 320);
    EXPECT_FLOAT_EQ(app.view().center_of_zoom().y, 240);
    // Drawn anew at once: the node now lies in the middle of the picture.
    EXPECT_NEAR(cx, 320, 1);
    EXPECT_NEAR(cy, 240, 1);
    EXPECT_EQ(asked, (std::vector<std::string>{"Track OD Pair", "Center Screen on Node",
                                               "Center Screen on Node"}));
    gtk_button_clicked(GTK_BUTTON(app.p_window.pause_button)); // resume
    const int centred_at = t10.load();
    ASSERT_TRUE(pump_until([&] { return t10.load() > centred_at; }, 20s));

    // A link pick: "Locate Nearest" > "Link" holds the run; a click on the
    // middle of link 1 shows its report, and the run goes on.
    activate(app, {"Display", "Locate Nearest", "Link"});
    ASSERT_TRUE(pump_until(parked, 20s));
    Click mid;
    ASSERT_EQ(app.call_core_parked([&](Sim& s) {
        const int a = s.link1.frnode(1), b = s.link1.tonode(1);
        mid = pixel_of(s, (s.graph1.x(a) + s.graph1.x(b)) / 2, (s.graph1.y(a) + s.graph1.y(b)) / 2);
    }),
              App::CoreCall::done);
    f.dialogs.clear();
    send_mouse(area, GDK_BUTTON_PRESS, mid.x, 480 - mid.y);
    send_mouse(area, GDK_BUTTON_RELEASE, mid.x, 480 - mid.y);
    ASSERT_EQ(f.dialogs.size(), 1u);
    EXPECT_TRUE(shown(f.dialogs, " Link     1:")) << f.dialogs[0];
    const int picked_at = t10.load();
    ASSERT_TRUE(pump_until([&] { return t10.load() > picked_at; }, 20s)) << "no resume";

    // "Exit" answered "yes" mid-run: the main loop ends, and the program's
    // shut-down stops the run at its next tick with every file complete.
    activate(app, {"File", "Exit"});
    EXPECT_EQ(exits, 1);
    EXPECT_TRUE(app.quit_requested());
    EXPECT_TRUE(app.is_velmorantis_running());
    const auto exit_at = std::chrono::steady_clock::now();
    app.shut_down();
    EXPECT_LT(std::chrono::steady_clock::now() - exit_at, 2s);
    const std::string              log = support::slurp(f.dir.file("runerr.out"));
    const std::vector<std::string> lines = text_lines(log);
    ASSERT_GE(lines.size(), 14u) << log;
    EXPECT_NE(log.find(" Run stopped on request at simulation clock"), std::string::npos) << log;
    EXPECT_EQ(lines[lines.size() - 14], "  D. Simulation summary statistics: ");
    int written = 0;
    for (const auto& e : fs::recursive_directory_iterator(f.dir.path())) {
        if (!e.is_regular_file() || e.file_size() == 0) continue;
        ++written;
        EXPECT_EQ(support::slurp(e.path().string()).back(), '\n')
            << e.path() << " ends in the middle of a line";
    }
    EXPECT_GE(written, 4);
}

// --- what the picture shows ---------------------------------------------------------

// A pixel's colour, not premultiplied, and its opacity.
struct Colour {
    int r = 0, g = 0, b = 0, a = 0;
};
Colour colour_at(cairo_surface_t* s, int x, int y) {
    const std::uint32_t p = png_pixel(s, x, y);
    Colour              c;
    c.a = int(p >> 24);
    if (c.a == 0) return c;
    c.r = int((p >> 16) & 0xff) * 255 / c.a;
    c.g = int((p >> 8) & 0xff) * 255 / c.a;
    c.b = int(p & 0xff) * 255 / c.a;
    return c;
}
// The green or amber of a head's arrows (white and grey are neither).
bool green_or_amber(const Colour& c) {
    return c.a > 0x40 && c.g > 150 && c.b < 130;
}
bool reddish(const Colour& c) {
    return c.a > 0x40 && c.r > 180 && c.g < 100;
}

// What the drawing area shows: the layers composed at the size of the area.
struct Picture {
    cairo_surface_t* s = nullptr;
    explicit Picture(View& view) {
        s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, view.drawing_width(),
                                       view.drawing_height());
        cairo_t* cr = cairo_create(s);
        view.compose(cr);
        cairo_destroy(cr);
    }
    ~Picture() { cairo_surface_destroy(s); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    int      width() const { return cairo_image_surface_get_width(s); }
    int      height() const { return cairo_image_surface_get_height(s); }
};

// The bounding box of a layer's painted pixels: x0, y0, x1, y1 (rows down).
std::array<int, 4> painted_box(cairo_surface_t* image) {
    std::array<int, 4> b{1 << 20, 1 << 20, -1, -1};
    for (int y = 0; y < cairo_image_surface_get_height(image); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(image); ++x)
            if ((png_pixel(image, x, y) >> 24) > 0x7f) {
                b[0] = std::min(b[0], x), b[1] = std::min(b[1], y);
                b[2] = std::max(b[2], x), b[3] = std::max(b[3], y);
            }
    return b;
}

// A square of the network's square window, mapped onto the view box of the
// 640 x 480 drawing area as a run maps it, is drawn square: one scale for both
// axes, the square centred in the view box.
TEST(Window, ASquareOfTheNetworkIsDrawnSquare) {
    REQUIRE_DISPLAY();
    Fixture           f;
    Gate              gate;
    std::atomic<bool> drawn{false};
    App               app(f.options([&](Sim& s) {
        auto& d = s.set2;
        d.xmin(1) = 0, d.xmax(1) = 1, d.ymin(1) = 0, d.ymax(1) = 1;
        viewport(s, 0);
        fillbox_f(s, 1, 0.25f, 0.25f, 0.75f, 0.25f, 0.25f, 0.75f, 0.75f, 0.75f, 15);
        s.draw->redraw_drawing_area();
        drawn = true;
        gate.wait();
    }));
    struct Open {
        Gate& gate;
        ~Open() { gate.open(); }
    } open{gate};
    app.start("");
    f.chosen = f.dir.write("a.master", tiny_master("Square"));
    app.choose_single_mode();
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    ASSERT_TRUE(pump_until([&] { return drawn.load(); }));
    const int w = app.view().drawing_width(), h = app.view().drawing_height();
    ASSERT_NE(w, h) << "the test needs a drawing area that is not square";
    app.view().layers.with_layers([&](cairo_surface_t* fixed, cairo_surface_t*) {
        const auto b = painted_box(fixed);
        const int  bw = b[2] - b[0] + 1, bh = b[3] - b[1] + 1;
        EXPECT_NEAR(bw, bh, 2) << "a square drawn " << bw << " x " << bh;
        EXPECT_NEAR(bh, std::min(w, h) / 2, 2) << "half the window's side";
        EXPECT_NEAR((b[0] + b[2]) / 2.0, w / 2.0, 2) << "centred across";
        EXPECT_NEAR((b[1] + b[3]) / 2.0, h / 2.0, 2) << "centred up and down";
    });
    gate.open();
    ASSERT_TRUE(pump_until([&] { return app.controller().wait_finished(0ms); }));
    app.shut_down();
}

// Holds the run at the end of the first vehicle-redrawing tick at or after
// each of the given seconds at which `ready` (on the core thread) agrees.
class HoldAt : public StepProbe {
  public:
    HoldAt(Sim& s, std::vector<int> seconds, std::atomic<int>& holds,
           std::function<bool(Sim&)> ready = {})
        : s_(s), seconds_(std::move(seconds)), holds_(holds), ready_(std::move(ready)) {}
    void step(std::string_view name) override {
        const int         t10 = s_.control.t10;
        const std::size_t next = std::size_t(holds_.load());
        if (next >= seconds_.size() || name != "redraw_and_adjust" || t10 < 10 * seconds_[next] ||
            s_.set1.tenr == 0 || t10 % s_.subtim.animspd(2) != 0)
            return;
        if (ready_ && !ready_(s_)) return;
        pause_simulation(s_);
        holds_.store(int(next) + 1);
    }

  private:
    Sim&                      s_;
    std::vector<int>          seconds_;
    std::atomic<int>&         holds_;
    std::function<bool(Sim&)> ready_;
};

// Waits for hold number n and runs look() with the core parked. The run goes
// on at resume_held(), which does not repaint: the picture is the one the run
// drew by itself.
void at_hold(App& app, std::atomic<int>& holds, int n, const std::function<void(Sim&)>& look) {
    ASSERT_TRUE(pump_until([&] { return holds.load() >= n; }, 300s)) << "no hold " << n;
    ASSERT_EQ(app.call_core_parked(look), App::CoreCall::done);
    pump_for(50ms);
}
void resume_held(App& app) {
    app.with_current_sim([](Sim& s) { resume_simulation(s); });
}

// The arterial held the first time one of its signal heads has turned red
// after showing a green: the head shows the red plainly and nothing is left
// of the green and amber arrows it showed before.
TEST(Program, ASignalHeadShowsItsCurrentIndicationOnly) {
    REQUIRE_DISPLAY();
    Fixture f;
    f.place_sample("arterial");
    std::atomic<int> holds{0};
    int              red_link = 0;
    auto             was_green = std::make_shared<std::vector<int>>();
    App              app(probed_run(f, [&](Sim& s) {
        return HoldAt(s, {1}, holds, [&, was_green](Sim& run) {
            auto& green = *was_green;
            green.resize(std::size_t(run.link2.mlnum) + 1, 0);
            for (int l = 1; l <= run.link2.mlnum; ++l) {
                const int ts = run.link3.tsignal(l);
                if (run.link4.llength(l) <= 0 || ts < 1 || ts > kLastSignalCode) continue;
                const bool red = run.link3.signal(l, 2) < 1 && run.link3.signal(l, 1) != 5;
                if (!red) {
                    green[std::size_t(l)] = run.link3.signal(l, 2) >= 1 ? 1 : 0;
                } else if (green[std::size_t(l)] == 1) {
                    red_link = l;
                    return true;
                }
            }
            return false;
        });
    }));
    app.start("");
    app.choose_single_mode();
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    Click centre, edge;
    at_hold(app, holds, 1, [&](Sim& s) {
        const WorldPoint p = signal_head_point(s, red_link);
        centre = pixel_of(s, p.x, p.y);
        edge = pixel_of(s, p.x + kHeadSize, p.y);
    });
    ASSERT_GT(red_link, 0);
    Picture   pic(app.view());
    const int r = int(std::ceil(std::abs(edge.x - centre.x))) + 2;
    const int cx = int(centre.x), cy = pic.height() - int(centre.y);
    int       green = 0, red = 0;
    for (int y = cy - r; y <= cy + r; ++y)
        for (int x = cx - r; x <= cx + r; ++x) {
            if (x < 0 || y < 0 || x >= pic.width() || y >= pic.height()) continue;
            const Colour c = colour_at(pic.s, x, y);
            green += green_or_amber(c);
            red += reddish(c);
        }
    EXPECT_EQ(green, 0) << "green or amber left on the red head of link " << red_link;
    EXPECT_GE(red, (r - 2) * (r - 2)) << "the red of link " << red_link << " is not plain";
    resume_held(app);
    app.shut_down();
}

// The vehicle layer shows only the vehicles where they are now: held twice,
// with a vehicle picked (and highlighted) at the first hold, the second shows
// no painted pixel away from every vehicle on the network.
TEST(Program, TheVehicleLayerShowsTheVehiclesWhereTheyAreNowOnly) {
    REQUIRE_DISPLAY();
    Fixture f;
    f.place_sample("arterial");
    std::atomic<int> holds{0};
    App              app(probed_run(f, [&](Sim& s) { return HoldAt(s, {300, 330}, holds); }));
    app.start("");
    app.choose_single_mode();
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    int picked = 0;
    at_hold(app, holds, 1, [&](Sim& s) {
        for (int k = 1; k <= s.link2.mlnum && picked == 0; ++k)
            if (s.link2.ntqu(k) > 0) picked = s.vehicle.big(s.link2.nbqu(k) + 1);
        if (picked > 0) vehpos4_a(s, picked);
    });
    resume_held(app);
    ASSERT_GT(picked, 0);
    std::vector<Click> now;
    float              reach = 0;
    at_hold(app, holds, 2, [&](Sim& s) {
        for (int l = 1; l <= s.link2.mlnum; ++l)
            for (int k = 1; k <= s.link2.ntqu(l); ++k) {
                const int vid = s.vehindx.vehid(s.vehicle.big(s.link2.nbqu(l) + k));
                if (s.vehplot.xq(vid, 1) > 0)
                    now.push_back(pixel_of(s, s.vehplot.xq(vid, 1), s.vehplot.yq(vid, 1)));
            }
        const Click a = pixel_of(s, s.set2.xmin(1), s.set2.ymin(1));
        const Click b = pixel_of(s, s.set2.xmin(1) + 0.03f, s.set2.ymin(1));
        reach = std::abs(b.x - a.x) + 3; // the longest vehicle and its outline
    });
    ASSERT_FALSE(now.empty());
    int stray = 0;
    app.view().layers.with_layers([&](cairo_surface_t*, cairo_surface_t* moving) {
        const int h = cairo_image_surface_get_height(moving);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < cairo_image_surface_get_width(moving); ++x) {
                if ((png_pixel(moving, x, y) >> 24) == 0) continue;
                const bool near = std::any_of(now.begin(), now.end(), [&](const Click& c) {
                    return std::hypot(c.x - float(x), c.y - float(h - y)) <= reach;
                });
                stray += !near;
            }
    });
    EXPECT_EQ(stray, 0) << "pixels of the vehicle layer away from every vehicle";
    resume_held(app);
    app.shut_down();
}

// The grid's incident moved to 40-120 s: the blocked lane section shows its
// hatch while the incident blocks it and not before or after, with the view
// unchanged throughout.
TEST(Program, TheIncidentHatchIsShownWhileTheLaneIsBlocked) {
    REQUIRE_DISPLAY();
    Fixture        f;
    const fs::path grid = f.place_sample("grid");
    {
        const fs::path    file = grid / "input" / "incidents.dat";
        std::string       text = support::slurp(file.string());
        const std::string from = " 180  2100 ", to = "  40   120 ";
        const auto        at = text.find(from);
        ASSERT_NE(at, std::string::npos) << "the grid's incident record has changed";
        text.replace(at, from.size(), to);
        std::ofstream(file) << text;
    }
    std::atomic<int> holds{0};
    App              app(probed_run(f, [&](Sim& s) { return HoldAt(s, {30, 80, 160}, holds); }));
    app.start("");
    app.choose_single_mode();
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    // White pixels of the network layer over the blocked section's lanes.
    std::array<int, 4> box{};
    const auto         hatch = [&] {
        int white = 0;
        app.view().layers.with_layers([&](cairo_surface_t* fixed, cairo_surface_t*) {
            const int h = cairo_image_surface_get_height(fixed);
            for (int y = std::max(0, h - box[3]); y <= std::min(h - 1, h - box[1]); ++y)
                for (int x = std::max(0, box[0]); x <= box[2]; ++x) {
                    const Colour c = colour_at(fixed, x, y);
                    white += c.a > 0x7f && c.r > 230 && c.g > 230 && c.b > 230;
                }
        });
        return white;
    };
    int counts[3] = {};
    for (int n = 1; n <= 3; ++n) {
        at_hold(app, holds, n, [&](Sim& s) {
            const auto& inc = s.incident;
            const int   l = inc.lninc(1);
            const int   a = s.link1.frnode(l), b = s.link1.tonode(l);
            Click       c[2];
            for (int k = 0; k < 2; ++k) {
                const float share = inc.inclng(1, k + 1) / s.link4.llength(l);
                c[k] = pixel_of(s, s.graph1.x(a) + share * (s.graph1.x(b) - s.graph1.x(a)),
                                s.graph1.y(a) + share * (s.graph1.y(b) - s.graph1.y(a)));
            }
            const Click lane = pixel_of(s, s.set2.xmin(1) + 2 * kLaneUnit, s.set2.ymin(1));
            const Click o = pixel_of(s, s.set2.xmin(1), s.set2.ymin(1));
            const int   m = int(std::ceil(lane.x - o.x)) + 2;
            box = {int(std::min(c[0].x, c[1].x)) - m, int(std::min(c[0].y, c[1].y)) - m,
                   int(std::max(c[0].x, c[1].x)) + m, int(std::max(c[0].y, c[1].y)) + m};
        });
        counts[n - 1] = hatch();
        resume_held(app);
    }
    EXPECT_GT(counts[1], counts[0] + 5) << "no hatch during the incident";
    EXPECT_EQ(counts[2], counts[0]) << "the hatch stayed after the incident";
    app.shut_down();
}

// The arterial run from the window, held with the "p" key: the pause button
// and the step line say so at once; while held, a zoom key repaints both
// layers from the run (emptied by hand first), "r" resumes the run within a
// tenth of a second, and the progress window's CPU time leaves out the hold.
TEST(Program, AHeldRunRepaintsAtOnceAndItsKeysAgreeWithTheButton) {
    REQUIRE_DISPLAY();
    Fixture f;
    f.place_sample("arterial");
    App app(f.options([](Sim& s) { velmorantis_main_file_input(s); }));
    app.start("");
    app.choose_single_mode();
    const auto started = std::chrono::steady_clock::now();
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    GtkWidget* window = app.gui_main_data.window;
    ASSERT_TRUE(
        pump_until([&] { return app.progress_hook().global_simulation_time() > 600; }, 120s));
    const auto parked = [&] {
        bool p = false;
        app.with_current_sim([&](Sim& s) { p = core_parked(s); });
        return p;
    };
    send_key(window, GDK_KEY_p);
    ASSERT_TRUE(pump_until(parked, 5s)) << "the p key did not hold the run";
    pump_for(100ms);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(app.p_window.pause_button)), "Resume Simulation");
    EXPECT_NE(label_text(app.p_window.label_line[3]).find("Time Step: Deci-Second"),
              std::string::npos)
        << label_text(app.p_window.label_line[3]);

    // While held: the layers emptied, then a zoom in and out paints them again.
    app.view().layers.clear_drawing();
    send_key(window, GDK_KEY_z);
    pump_for(100ms);
    app.view().layers.with_all_layers(
        [](cairo_surface_t* fixed, cairo_surface_t* devices, cairo_surface_t* moving) {
            EXPECT_GT(painted_pixels(fixed), 500) << "the network was not repainted";
            EXPECT_GT(painted_pixels(devices), 0) << "the signal heads were not repainted";
            EXPECT_GT(painted_pixels(moving), 0) << "the vehicles were not repainted";
        });
    EXPECT_TRUE(parked()) << "the zoom let the run go on";

    // Held for two seconds in all; "r" lets it go on at once.
    std::this_thread::sleep_for(2s);
    send_key(window, GDK_KEY_r);
    const auto resumed = std::chrono::steady_clock::now();
    ASSERT_TRUE(pump_until([&] { return !parked(); }, 2s));
    EXPECT_LT(std::chrono::steady_clock::now() - resumed, 150ms) << "slow to resume";
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(app.p_window.pause_button)), "Pause Simulation");
    // The step line is set from the main loop: it follows within a few frames.
    EXPECT_TRUE(pump_until(
        [&] {
            return label_text(app.p_window.label_line[3]).find("Time Step: Continuous") !=
                   std::string::npos;
        },
        2s))
        << label_text(app.p_window.label_line[3]);
    const int tick = app.progress_hook().global_simulation_time();
    ASSERT_TRUE(
        pump_until([&] { return app.progress_hook().global_simulation_time() > tick; }, 30s));
    pump_for(200ms);
    // "TIME: Simulation: ... - CPU:   s.d - ...": the run's processor time.
    const std::string line = label_text(app.p_window.label_line[1]);
    const auto        at = line.find("CPU:");
    ASSERT_NE(at, std::string::npos) << line;
    const double cpu = std::atof(line.c_str() + at + 4);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(cpu, wall - 1.5) << line << " after " << wall << " s with a 2 s hold";
    app.shut_down();
}

// Step and speed chosen before "Run Simulation" apply to the run that starts:
// it is held at its first step and paced from its first report.
TEST(Program, StepAndSpeedChosenBeforeTheRunApplyToIt) {
    REQUIRE_DISPLAY();
    Fixture f;
    f.place_sample("arterial");
    App app(f.options([](Sim& s) { velmorantis_main_file_input(s); }));
    app.start("");
    app.commands().menu_response("Real-Time x 10.0");
    app.commands().menu_response("1 Seconds");
    app.choose_single_mode();
    gtk_button_clicked(GTK_BUTTON(app.gui_main_data.RunSimulation_Button));
    int step = -1, pacing = -1;
    ASSERT_TRUE(pump_until(
        [&] {
            app.with_current_sim([&](Sim& s) {
                step = s.subtim.step_mode();
                pacing = s.subtim.pacing();
            });
            return step == 10 && pacing == 10;
        },
        60s))
        << "step " << step << ", pacing " << pacing;
    app.shut_down();
}

} // namespace
} // namespace velm::gui
