// The menus' commands, the keys and the first mouse button, with a fake run
// and fake dialogs: what reaches the run, the view box, the zoom centre and
// the overlay.
#include "frontend/commands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace velm::gui {
namespace {

constexpr std::uint32_t kRed = 0xfff44336;  // overlay colour 0
constexpr std::uint32_t kBlue = 0xff2196f3; // overlay colour 1

std::string call(const char* name, std::initializer_list<int> args) {
    std::string s = name;
    for (int a : args) s += " " + std::to_string(a);
    return s;
}

// Records every call the commands make into the run.
class FakeRun final : public RunLink {
  public:
    bool                     active = true;
    std::vector<std::string> calls;
    // What findcent_new answers: the core pixel, or a rejected number.
    int  centre_x = 0, centre_y = 0;
    bool reject = false;

    bool running() override { return active; }
    bool simulation_paused() override { return !calls.empty() && calls.back() == "pause"; }
    void pause_simulation() override { calls.push_back("pause"); }
    void resume_simulation() override { calls.push_back("resume"); }
    void set_next_time_step(int v) override { calls.push_back(call("step", {v})); }
    void set_next_sim_time(int v) override { calls.push_back(call("pacing", {v})); }
    void track_stuff(int m, int v, int c, int o, int d, int z) override {
        calls.push_back(call("track", {m, v, c, o, d, z}));
    }
    void diable_all_tracking() override { calls.push_back("untrack"); }
    bool findcent_new(int mode, int& x, int& y, int number) override {
        calls.push_back(call("findcent", {mode, x, y, number}));
        if (reject) {
            x = y = 0;
            messages.push_back("Invalid Node Number");
        } else {
            x = centre_x, y = centre_y;
        }
        return true;
    }
    bool nearest(NearestQuery kind, float x, float y) override {
        calls.push_back(call("nearest", {int(kind), int(x), int(y)}));
        return true;
    }
    std::vector<std::string> messages;
};

// The dialogs answered from a queue of entry texts (nothing: cancel).
struct Harness {
    View                                        view;
    FakeRun                                     run;
    std::vector<std::string>                    shown;   // title: text
    std::vector<std::string>                    asked;   // input dialog titles
    std::deque<std::optional<std::vector<int>>> answers; // entries of the next dialog
    int                                         redraws = 0, exits = 0, pauses = 0;
    int                                         view_changes = 0;
    Commands                                    commands{view, run, ui()};

    CommandUi ui() {
        CommandUi u;
        u.show_dlg = [this](const std::string& t, const std::string& x) {
            shown.push_back(t + ": " + x);
        };
        u.core_message = [this](const std::string& t, const std::string& x) {
            run.messages.push_back(t + ": " + x);
        };
        u.input_one = [this](const std::string& t, const std::string&, int& v, int& ok) {
            int unused = 0;
            answer(t, v, unused, ok);
        };
        u.input_two = [this](const std::string& t, const std::string&, const std::string&, int& a,
                             int& b, int& ok) { answer(t, a, b, ok); };
        u.exit_dlg = [this] { ++exits; };
        u.single_mode = [this] { shown.push_back("single"); };
        u.batch_mode = [this] { shown.push_back("batch"); };
        u.interface_pause = [this] {
            ++pauses;
            run.pause_simulation();
        };
        u.queue_redraw = [this] { ++redraws; };
        u.view_changed = [this] { ++view_changes; };
        return u;
    }
    void answer(const std::string& title, int& a, int& b, int& ok) {
        asked.push_back(title);
        ok = 0;
        if (answers.empty() || !answers.front()) {
            if (!answers.empty()) answers.pop_front();
            return;
        }
        const std::vector<int> v = *answers.front();
        answers.pop_front();
        ok = 1;
        a = v.at(0);
        if (v.size() > 1) b = v[1];
    }
    std::uint32_t overlay_pixel(int x, int y) {
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480);
        cairo_t*         cr = cairo_create(image);
        view.paint_overlay(cr);
        cairo_destroy(cr);
        cairo_surface_flush(image);
        const unsigned char* row = cairo_image_surface_get_data(image) +
                                   std::ptrdiff_t(y) * cairo_image_surface_get_stride(image);
        const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(row)[x];
        cairo_surface_destroy(image);
        return p;
    }
    void set_view(const gui_box& box, point_float centre) {
        view.edit_view([&](gui_box& b, point_float& c) {
            b = box;
            c = centre;
        });
    }
    void click(double x0, double y0, double x1, double y1) {
        commands.button_press(1, true, x0, y0);
        commands.button_release(1, x1, y1);
    }
};

void expect_box(View& v, float x0, float y0, float x1, float y1) {
    const gui_box b = v.view_box();
    EXPECT_NEAR(b.top.x, x0, 0.01);
    EXPECT_NEAR(b.top.y, y0, 0.01);
    EXPECT_NEAR(b.bottom.x, x1, 0.01);
    EXPECT_NEAR(b.bottom.y, y1, 0.01);
}

void expect_centre(View& v, float x, float y) {
    const point_float c = v.center_of_zoom();
    EXPECT_FLOAT_EQ(c.x, x);
    EXPECT_FLOAT_EQ(c.y, y);
}

std::vector<std::string> labels(const std::vector<MenuNode>& nodes) {
    std::vector<std::string> out;
    for (const auto& n : nodes) out.push_back(n.label);
    return out;
}

TEST(Commands, TheMenuTreeInDisplayOrder) {
    const auto& tree = menu_tree();
    EXPECT_EQ(labels(tree),
              (std::vector<std::string>{"File", "Edit", "Display", "Tracking", "Simulation Speed",
                                        "Statistics & Data", "Help", "Quit"}));
    for (const auto& top : tree) EXPECT_FALSE(top.connected) << top.label;
    EXPECT_TRUE(tree[5].items.empty());
    const auto& display = tree[2].items;
    ASSERT_EQ(display.size(), 2u);
    EXPECT_FALSE(display[0].connected);
    EXPECT_FALSE(display[1].connected);
    EXPECT_EQ(labels(display[1].items),
              (std::vector<std::string>{"X-Y Coordinates", "Node Location", "Link Location",
                                        "Vehicle Location", "Mouse Click"}));
    const auto& speed = tree[4].items;
    ASSERT_EQ(speed.size(), 2u);
    EXPECT_TRUE(speed[0].connected); // "Set Next Simulation Time Step": connected, no action
    EXPECT_EQ(speed[0].items.back().label, "To End Of Simulation");
    EXPECT_EQ(speed[1].items.back().label, "CPU Maximum");
    ASSERT_EQ(tree[3].items.size(), 1u);
    EXPECT_EQ(tree[3].items[0].items.size(), 15u);
    EXPECT_EQ(tree[3].items[0].items.front().label, "REMOVE ALL TRACKING");
    EXPECT_EQ(tree[3].items[0].items.back().label, "Vehicles passed under VMS/CMS");
}

TEST(Commands, StepPacingAndPlainTrackingReachTheRun) {
    struct Case {
        const char* label;
        std::string call;
    };
    const Case cases[] = {
        {"0.1 Seconds", "step 1"},
        {"1 Seconds", "step 10"},
        {"10 Seconds", "step 100"},
        {"60 Seconds", "step 600"},
        {"600 Seconds", "step 6000"},
        {"3600 Seconds", "step 36000"},
        {"To End Of Simulation", "step 0"},
        {"Real-Time x 0.5", "pacing 200"},
        {"Real-Time x 1.0", "pacing 100"},
        {"Real-Time x 2.0", "pacing 50"},
        {"Real-Time x 5.0", "pacing 20"},
        {"Real-Time x 10.0", "pacing 10"},
        {"CPU Maximum", "pacing 0"},
        {"REMOVE ALL TRACKING", "untrack"},
        {"Lane changing vehicles", "track 6 6 6 6 6 6"},
        {"Stopped vehicles", "track 7 7 7 7 7 7"},
        {"Decelerating vehicles", "track 8 8 8 8 8 8"},
        {"Accelerating vehicles", "track 9 9 9 9 9 9"},
        {"Probes trip start", "track 10 10 10 10 10 10"},
        {"Probes on every link", "track 11 11 11 11 11 11"},
        {"Probes every second", "track 12 12 12 12 12 12"},
        {"Vehicles diverted on route", "track 13 13 13 13 13 13"},
        {"Vehicles passed under VMS/CMS", "track 14 14 14 14 14 14"},
    };
    for (const auto& c : cases) {
        Harness h;
        h.commands.menu_response(c.label);
        EXPECT_EQ(h.run.calls, std::vector<std::string>{c.call}) << c.label;
        EXPECT_TRUE(h.asked.empty()) << c.label << ": no dialog";
    }
}

TEST(Commands, TrackingDialogsPassTheirNumbersAndCancelChangesNothing) {
    struct Case {
        const char*      label;
        std::vector<int> entries;
        std::string      title, call;
    };
    const Case cases[] = {
        {"Individual vehicle", {12}, "Track Individual Vehicle", "track 1 12 0 0 0 0"},
        {"Vehicle type", {3}, "Track Vehicle Type", "track 2 0 3 0 0 0"},
        {"OD pair", {12, 34}, "Track OD Pair", "track 3 0 0 12 34 0"},
        {"Origin zone", {7}, "Track Origin Zone", "track 4 0 0 0 0 7"},
        {"Destination zone", {9}, "Track Destination Zone", "track 5 0 0 0 0 9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Harness h;
        h.answers.push_back(c.entries);
        h.commands.menu_response(c.label);
        EXPECT_EQ(h.asked, std::vector<std::string>{c.title});
        EXPECT_EQ(h.run.calls, std::vector<std::string>{c.call});

        Harness cancelled;
        cancelled.answers.push_back(std::nullopt);
        cancelled.commands.menu_response(c.label);
        EXPECT_EQ(cancelled.asked.size(), 1u);
        EXPECT_TRUE(cancelled.run.calls.empty());

        // With no run there is nothing to track: no dialog.
        Harness idle;
        idle.run.active = false;
        idle.commands.menu_response(c.label);
        EXPECT_TRUE(idle.asked.empty());
        EXPECT_TRUE(idle.run.calls.empty());
    }
}

TEST(Commands, MessagesExitAndRunModes) {
    struct Case {
        const char* label;
        std::string shown;
    };
    const Case cases[] = {
        {"Zoom", "Zoom: See Help > About for instructions about the zoom"},
        {"About", "Feature: Feature Not Yet Implemented"},
        {"End Simulation", "Feature: Feature Not Yet Implemented"},
        {"Single Mode", "single"},
        {"Batch Mode", "batch"},
    };
    for (const auto& c : cases) {
        Harness h;
        h.commands.menu_response(c.label);
        EXPECT_EQ(h.shown, std::vector<std::string>{c.shown}) << c.label;
        EXPECT_TRUE(h.run.calls.empty()) << c.label;
    }
    Harness h;
    h.commands.menu_response("Short Help");
    ASSERT_EQ(h.shown.size(), 1u);
    EXPECT_EQ(h.shown[0].rfind("VELMORANTIS 3.3.58 Desktop\nInterface 3.3.58 (1858)\n: "
                               "Interface Commands:\na\t\t\t: Zoom out full\n",
                               0),
              0u)
        << h.shown[0];
    EXPECT_NE(h.shown[0].find("Click and Drag -> Zoom Box\nPLEASE REPORT BUGS TO : "),
              std::string::npos);
    // Items that only carry a menu, and "Mouse Click", do nothing.
    for (const char* label : {"New Simulation", "Set Next Simulation Time Step",
                              "Set Maximum Simulation Speed", "Mouse Click"})
        h.commands.menu_response(label);
    EXPECT_EQ(h.shown.size(), 1u);
    EXPECT_TRUE(h.run.calls.empty());
    EXPECT_EQ(h.exits, 0);
    h.commands.menu_response("Exit");
    EXPECT_EQ(h.exits, 1);
}

TEST(Commands, LocateNearestPausesAndTheNextReleasePicksAndResumes) {
    const char* const kinds[] = {"Link",      "Vehicle",    "Node",     "Signal",
                                 "Stop Sign", "Yield Sign", "Incident", "Loop Detector"};
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(kinds[k]);
        Harness h;
        h.commands.menu_response(kinds[k]);
        EXPECT_EQ(h.run.calls, std::vector<std::string>{"pause"});
        EXPECT_EQ(h.commands.nearest_stuff_flag(), k + 1);
        h.click(200, 100, 201, 102);
        EXPECT_EQ(h.run.calls, (std::vector<std::string>{
                                   "pause", call("nearest", {k + 1, 201, 378}), "resume"}));
        EXPECT_EQ(h.commands.nearest_stuff_flag(), 0);
        // The next click only sets the centre.
        h.click(300, 300, 300, 300);
        EXPECT_EQ(h.run.calls.size(), 3u);
    }
    // The top-left corner reaches the core as (0, H).
    Harness h;
    h.commands.menu_response("Signal");
    h.click(0, 0, 0, 0);
    EXPECT_EQ(h.run.calls[1], "nearest 4 0 480");
    // With no run a click only disarms the query.
    Harness idle;
    idle.run.active = false;
    idle.commands.menu_response("Link");
    idle.click(10, 10, 10, 10);
    EXPECT_EQ(idle.run.calls, std::vector<std::string>{"pause"});
    EXPECT_EQ(idle.commands.nearest_stuff_flag(), 0);
}

TEST(Commands, CenterOnPausesAsksAndMarksTheCentre) {
    {
        // A node the core accepts: its pixel (y upward) becomes the centre (y downward).
        Harness h;
        h.run.centre_x = 100, h.run.centre_y = 80;
        h.answers.push_back(std::vector<int>{17});
        h.commands.menu_response("Node Location");
        EXPECT_EQ(h.pauses, 1);
        EXPECT_EQ(h.asked, std::vector<std::string>{"Center Screen on Node"});
        EXPECT_EQ(h.run.calls, (std::vector<std::string>{"pause", "findcent 2 0 0 17"}));
        // The view moves the node's pixel to the middle, the zoom centre.
        expect_centre(h.view, 320, 240);
        expect_box(h.view, 220, 160, 860, 640);
        EXPECT_EQ(h.overlay_pixel(310, 240), kRed) << "the square mark";
        EXPECT_EQ(h.view_changes, 1) << "a held run is drawn anew at once";
        EXPECT_EQ(h.redraws, 1);
        // "z" now zooms around it: the node stays in the middle.
        h.commands.key_event(keys::z);
        expect_centre(h.view, 320, 240);
        expect_box(h.view, 120, 80, 1400, 1040);
    }
    {
        // A rejected number: the core's message, still paused, the view kept.
        Harness h;
        h.run.reject = true;
        h.answers.push_back(std::vector<int>{999});
        h.commands.menu_response("Node Location");
        EXPECT_EQ(h.run.messages, std::vector<std::string>{"Invalid Node Number"});
        EXPECT_EQ(h.run.calls, (std::vector<std::string>{"pause", "findcent 2 0 0 999"}));
        expect_centre(h.view, 320, 240);
        expect_box(h.view, 0, 0, 640, 480);
        EXPECT_EQ(h.view_changes, 0);
    }
    {
        // The X-Y dialog gives x and y, the other modes the number.
        struct Case {
            const char*      label;
            std::vector<int> entries;
            std::string      title, call;
        };
        const Case cases[] = {
            {"X-Y Coordinates",
             {1500, 2500},
             "Center Screen on X-Y Coordinates",
             "findcent 1 1500 2500 0"},
            {"Link Location", {4}, "Center Screen on Link", "findcent 3 0 0 4"},
            {"Vehicle Location", {5}, "Center Screen on Vehicle", "findcent 4 0 0 5"},
        };
        for (const auto& c : cases) {
            Harness h;
            h.answers.push_back(c.entries);
            h.commands.menu_response(c.label);
            EXPECT_EQ(h.asked, std::vector<std::string>{c.title}) << c.label;
            ASSERT_EQ(h.run.calls.size(), 2u) << c.label;
            EXPECT_EQ(h.run.calls[1], c.call);
        }
    }
    {
        // Cancelled: paused, nothing asked of the core, the centre kept.
        Harness h;
        h.answers.push_back(std::nullopt);
        h.commands.menu_response("Link Location");
        EXPECT_EQ(h.run.calls, std::vector<std::string>{"pause"});
        expect_centre(h.view, 320, 240);
    }
    {
        // No run: the "not running" message, no dialog.
        Harness h;
        h.run.active = false;
        h.commands.menu_response("Vehicle Location");
        EXPECT_TRUE(h.asked.empty());
        EXPECT_TRUE(h.run.calls.empty());
        EXPECT_EQ(h.run.messages,
                  std::vector<std::string>{std::string(kNoRunTitle) + ": " + kNoRunText});
    }
}

TEST(Commands, OnlyTheListedKeysActAndOnlyInTheirCase) {
    const gui_box kDoubled{{-320, -240}, {960, 720}};
    struct Case {
        const char* name;
        unsigned    key;
        float       x0, y0, x1, y1;
    };
    const Case cases[] = {
        {"A", 0x041, -320, -240, 960, 720},
        {"Z", 0x05a, -320, -240, 960, 720},
        {"X", 0x058, -320, -240, 960, 720},
        {"main +", 0x02b, -320, -240, 960, 720},
        {"main -", 0x02d, -320, -240, 960, 720},
        {"a", keys::a, 0, 0, 640, 480},
        {"z", keys::z, -960, -720, 1600, 1200},
        {"keypad +", keys::kp_add, -960, -720, 1600, 1200},
        {"x", keys::x, -213.33f, -160, 853.33f, 640},
        {"keypad -", keys::kp_subtract, -213.33f, -160, 853.33f, 640},
        {"Up", keys::up, -320, -230.4f, 960, 729.6f},
        {"Down", keys::down, -320, -249.6f, 960, 710.4f},
        {"Left", keys::left, -310.4f, -240, 969.6f, 720},
        {"Right", keys::right, -329.6f, -240, 950.4f, 720},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.set_view(kDoubled, {320, 240});
        EXPECT_TRUE(h.commands.key_event(c.key));
        expect_box(h.view, c.x0, c.y0, c.x1, c.y1);
        EXPECT_TRUE(h.run.calls.empty());
        // A view key that acts has the held run's picture drawn anew at once.
        const bool acted = !(c.x0 == -320 && c.y0 == -240 && c.x1 == 960 && c.y1 == 720);
        EXPECT_EQ(h.view_changes, acted ? 1 : 0);
        EXPECT_EQ(h.redraws, acted ? 1 : 0);
    }
    // "a" then "z" with the centre in the middle.
    Harness h;
    h.set_view(kDoubled, {100, 100});
    h.commands.key_event(keys::a);
    expect_centre(h.view, 320, 240);
    h.commands.key_event(keys::z);
    expect_box(h.view, -320, -240, 960, 720);
    expect_centre(h.view, 320, 240);
    // "z" with the centre on the left edge changes nothing.
    h.set_view({{0, 0}, {640, 480}}, {0, 240});
    h.commands.key_event(keys::z);
    expect_box(h.view, 0, 0, 640, 480);
    expect_centre(h.view, 0, 240);

    // Pause and resume in either case; "c" clears the overlay and repaints.
    for (unsigned key : {keys::p, keys::P, keys::r, keys::R}) h.commands.key_event(key);
    EXPECT_EQ(h.run.calls, (std::vector<std::string>{"pause", "pause", "resume", "resume"}));
    h.view.draw_zoom_cross({50, 50}, 1);
    ASSERT_EQ(h.overlay_pixel(65, 50), kBlue);
    const int redraws = h.redraws, changes = h.view_changes;
    h.commands.key_event(keys::c);
    EXPECT_EQ(h.overlay_pixel(65, 50), 0u);
    EXPECT_EQ(h.redraws, redraws + 1);
    EXPECT_EQ(h.view_changes, changes) << "c changes no view";
    // Held, every view key has the picture drawn anew at once.
    h.commands.key_event(keys::p);
    for (unsigned key : {keys::a, keys::z, keys::x, keys::up}) h.commands.key_event(key);
    EXPECT_EQ(h.redraws, redraws + 5);
    EXPECT_EQ(h.view_changes, changes + 4);
    // "z" clears the overlay too.
    h.set_view({{0, 0}, {640, 480}}, {320, 240});
    h.view.draw_zoom_cross({50, 50}, 1);
    h.commands.key_event(keys::z);
    EXPECT_EQ(h.overlay_pixel(65, 50), 0u);
}

TEST(Commands, DragZoomsClickCentresAndTheRubberBandFollowsTheMouse) {
    Harness h;
    h.commands.button_press(1, true, 100, 100);
    EXPECT_EQ(h.commands.origin_click().x, 100);
    EXPECT_EQ(h.commands.release_click().x, -1);
    h.commands.motion(true, 300, 250);
    EXPECT_EQ(h.overlay_pixel(200, 100), kRed) << "the band's top edge";
    EXPECT_EQ(h.overlay_pixel(300, 200), kRed) << "the band's right edge";
    EXPECT_EQ(h.redraws, 1);
    h.commands.motion(true, 150, 150); // the band follows: the old edge is gone
    EXPECT_EQ(h.overlay_pixel(300, 200), 0u);
    h.commands.button_release(1, 300, 250);
    expect_box(h.view, -320, -736, 1728, 800);
    EXPECT_EQ(h.overlay_pixel(125, 100), 0u) << "the band is cleared";
    EXPECT_EQ(h.commands.origin_click().x, -1);
    EXPECT_EQ(h.commands.release_click().x, 300);

    // Dragged upward and to the left: the same box, not a mirrored view.
    Harness back;
    back.click(300, 250, 100, 100);
    expect_box(back.view, -320, -736, 1728, 800);

    // Long in one direction only: nothing.
    Harness thin;
    thin.click(100, 100, 300, 105);
    expect_box(thin.view, 0, 0, 640, 480);
    expect_centre(thin.view, 320, 240);

    // A click sets the centre and draws the blue circled cross.
    Harness c;
    c.click(100, 100, 105, 108);
    expect_box(c.view, 0, 0, 640, 480);
    expect_centre(c.view, 102.5f, 104);
    EXPECT_EQ(c.overlay_pixel(115, 104), kBlue) << "the cross's arm";
    EXPECT_EQ(c.redraws, 1);

    // Other buttons, double presses and motion without the button do nothing.
    Harness other;
    other.commands.button_press(3, true, 100, 100);
    other.commands.button_press(1, false, 100, 100);
    other.commands.motion(false, 300, 250);
    other.commands.button_release(3, 300, 250);
    EXPECT_EQ(other.commands.origin_click().x, -1);
    expect_box(other.view, 0, 0, 640, 480);
    EXPECT_EQ(other.redraws, 0);
}

} // namespace
} // namespace velm::gui
