#include "frontend/commands.h"

#include "frontend/locks.h"

#include <cstdio>
#include <iostream>
#include <utility>

namespace velm::gui {

namespace {

constexpr int    kRed = 0, kBlue = 1;    // overlay colours
constexpr double kRubberBandWidth = 2.0; // line width of the dragged box

MenuNode item(const char* label) {
    return {label, true, {}};
}

MenuNode items(const char* label, bool connected, std::vector<const char*> labels) {
    MenuNode node{label, connected, {}};
    for (const char* l : labels) node.items.push_back(item(l));
    return node;
}

const char* const kNearestLabels[] = {"Link",      "Vehicle",    "Node",     "Signal",
                                      "Stop Sign", "Yield Sign", "Incident", "Loop Detector"};

struct CentreMode {
    const char* label;
    int         mode;
    const char* title;
    const char* entry; // one entry: the number; none: the X-Y dialog
};
const CentreMode kCentreModes[] = {
    {"X-Y Coordinates", 1, "Center Screen on X-Y Coordinates", nullptr},
    {"Node Location", 2, "Center Screen on Node", "Node ID :"},
    {"Link Location", 3, "Center Screen on Link", "Link ID :"},
    {"Vehicle Location", 4, "Center Screen on Vehicle", "Vehicle ID :"},
};

// Tracking modes 6 to 14: no dialog, the mode in every argument.
const char* const kPlainTracking[] = {
    "Lane changing vehicles", "Stopped vehicles",           "Decelerating vehicles",
    "Accelerating vehicles",  "Probes trip start",          "Probes on every link",
    "Probes every second",    "Vehicles diverted on route", "Vehicles passed under VMS/CMS"};
constexpr int kFirstPlainTracking = 6;

const std::pair<const char*, int> kSteps[] = {
    {"0.1 Seconds", 1},    {"1 Seconds", 10},       {"10 Seconds", 100},        {"60 Seconds", 600},
    {"600 Seconds", 6000}, {"3600 Seconds", 36000}, {"To End Of Simulation", 0}};
const std::pair<const char*, int> kPacings[] = {{"Real-Time x 0.5", 200}, {"Real-Time x 1.0", 100},
                                                {"Real-Time x 2.0", 50},  {"Real-Time x 5.0", 20},
                                                {"Real-Time x 10.0", 10}, {"CPU Maximum", 0}};

} // namespace

const std::vector<MenuNode>& menu_tree() {
    static const std::vector<MenuNode> tree = [] {
        std::vector<MenuNode> t;
        MenuNode              file{"File", false, {}};
        file.items.push_back(items("New Simulation", true, {"Single Mode", "Batch Mode"}));
        file.items.push_back(item("Exit"));
        t.push_back(file);
        t.push_back({"Edit", false, {item("Zoom")}});
        MenuNode display{"Display", false, {}};
        MenuNode nearest{"Locate Nearest", false, {}};
        for (const char* l : kNearestLabels) nearest.items.push_back(item(l));
        display.items.push_back(nearest);
        MenuNode centre{"Center On", false, {}};
        for (const auto& c : kCentreModes) centre.items.push_back(item(c.label));
        centre.items.push_back(item("Mouse Click"));
        display.items.push_back(centre);
        t.push_back(display);
        MenuNode track = items("Track", false,
                               {"REMOVE ALL TRACKING", "Individual vehicle", "Vehicle type",
                                "OD pair", "Origin zone", "Destination zone"});
        for (const char* l : kPlainTracking) track.items.push_back(item(l));
        t.push_back({"Tracking", false, {track}});
        MenuNode speed{"Simulation Speed", false, {}};
        MenuNode steps{"Set Next Simulation Time Step", true, {}};
        for (const auto& s : kSteps) steps.items.push_back(item(s.first));
        MenuNode pacing{"Set Maximum Simulation Speed", true, {}};
        for (const auto& p : kPacings) pacing.items.push_back(item(p.first));
        speed.items = {steps, pacing};
        t.push_back(speed);
        t.push_back({"Statistics & Data", false, {}});
        t.push_back({"Help", false, {item("Short Help"), item("About")}});
        t.push_back({"Quit", false, {item("End Simulation")}});
        return t;
    }();
    return tree;
}

std::string short_help_title() {
    char text[160];
    std::snprintf(text, sizeof text, "VELMORANTIS %d.%d.%d Desktop\nInterface %d.%d.%d (%d)\n",
                  kVersion[0], kVersion[1], kVersion[2], kVersion[0], kVersion[1], kVersion[2],
                  kVersion[3]);
    return text;
}

std::string keyboard_map() {
    return "Interface Commands:\na\t\t\t: Zoom out full\nz\t\t\t: Zoom in\nx\t\t\t: Zoom out\n"
           "+\t\t\t: Zoom in\n-\t\t\t: Zoom out\nUp\t\t\t: Move simulation screen Up\n"
           "Down\t\t: Move simulation screen Down\nLeft\t\t\t: Move simulation screen Left\n"
           "Right\t\t: Move simulation screen Right\nc\t\t\t: Clear user screen\n"
           "R/r\t\t\t: Resume simulation\nP/p\t\t\t: Pause simulation\n\nOther:\n"
           "Simple Click on screen -> Define Zoom Center\nClick and Drag -> Zoom Box\n"
           "PLEASE REPORT BUGS TO : the VELMORANTIS issue tracker\n";
}

Commands::Commands(View& view, RunLink& run, CommandUi ui)
    : view_(view), run_(run), ui_(std::move(ui)) {}

int Commands::layer_height() {
    int w = 0, h = 0;
    view_.layers.sizes(w, h);
    return h;
}

gui_point Commands::origin_click() {
    Held held(LockId::user_drawing, "origin_click");
    return origin_;
}

gui_point Commands::release_click() {
    Held held(LockId::user_drawing, "release_click");
    return release_;
}

bool Commands::started_and_paused() {
    return run_.simulation_paused() && thread_started_ == 1;
}

void Commands::menu_response(const std::string& label) {
    if (label == "Single Mode") ui_.single_mode();
    if (label == "Batch Mode") ui_.batch_mode();
    if (label == "Exit") ui_.exit_dlg();
    if (label == "Zoom") ui_.show_dlg("Zoom", "See Help > About for instructions about the zoom");
    if (label == "Short Help") ui_.show_dlg(short_help_title(), keyboard_map());
    if (label == "About" || label == "End Simulation")
        ui_.show_dlg("Feature", "Feature Not Yet Implemented");
    for (int k = 0; k < int(std::size(kNearestLabels)); ++k)
        if (label == kNearestLabels[k]) {
            run_.pause_simulation();
            nearest_stuff_flag_ = kQueryLink + k;
        }
    for (const auto& c : kCentreModes)
        if (label == c.label) center_on(c.mode);
    if (label == "REMOVE ALL TRACKING") run_.diable_all_tracking();
    track_with_dialog(label);
    for (int k = 0; k < int(std::size(kPlainTracking)); ++k)
        if (label == kPlainTracking[k]) {
            const int m = kFirstPlainTracking + k;
            run_.track_stuff(m, m, m, m, m, m);
        }
    for (const auto& [l, value] : kSteps)
        if (label == l) run_.set_next_time_step(value);
    for (const auto& [l, value] : kPacings)
        if (label == l) run_.set_next_sim_time(value);
}

void Commands::track_with_dialog(const std::string& label) {
    struct Track {
        const char* label;
        int         mode;
        const char* title;
        const char* entry;
    };
    static const Track kTracks[] = {
        {"Individual vehicle", 1, "Track Individual Vehicle", "Vehicle Number:"},
        {"Vehicle type", 2, "Track Vehicle Type", "Vehicle Class:"},
        {"Origin zone", 4, "Track Origin Zone", "Origin Zone:"},
        {"Destination zone", 5, "Track Destination Zone", "Destination Zone:"},
    };
    const bool   od = label == "OD pair";
    const Track* one = nullptr;
    for (const auto& t : kTracks)
        if (label == t.label) one = &t;
    if (!od && one == nullptr) return;
    // With no run there is nothing to track: no dialog.
    if (!run_.running()) return;
    int ok = 0, a = 0, b = 0;
    if (od) {
        ui_.input_two("Track OD Pair", "Origin:", "Destination:", a, b, ok);
        if (ok == 1) run_.track_stuff(3, 0, 0, a, b, 0);
        return;
    }
    ui_.input_one(one->title, one->entry, a, ok);
    if (ok != 1) return;
    switch (one->mode) {
    case 1:
        run_.track_stuff(1, a, 0, 0, 0, 0);
        break;
    case 2:
        run_.track_stuff(2, 0, a, 0, 0, 0);
        break;
    default:
        run_.track_stuff(one->mode, 0, 0, 0, 0, a);
        break;
    }
}

void Commands::center_on(int mode) {
    if (!run_.running()) {
        ui_.core_message(kNoRunTitle, kNoRunText);
        return;
    }
    ui_.interface_pause();
    const CentreMode& c = kCentreModes[mode - 1];
    int               ok = 0, x = 0, y = 0, number = 0;
    if (c.entry == nullptr)
        ui_.input_two(c.title, "X (m) :", "Y (m) :", x, y, ok);
    else
        ui_.input_one(c.title, c.entry, number, ok);
    if (ok != 1) return;
    if (!run_.findcent_new(mode, x, y, number)) return;
    // (0, 0) answers a number the core rejected (its message says so).
    if (x == 0 && y == 0) return;
    if (mode >= 2) std::cout << "Returned (x,y) = (" << x << ',' << y << ")\n";
    // The view moves so the object's pixel comes to the middle of the area,
    // which becomes the zoom centre.
    const gui_point   size = area();
    const point_float middle{size.x / 2.0f, size.y / 2.0f};
    view_.edit_view([&](gui_box& box, point_float& zoom_centre) {
        const float dx = middle.x - float(x), dy = float(size.y) - middle.y - float(y);
        box.top.x += dx, box.bottom.x += dx;
        box.top.y += dy, box.bottom.y += dy;
        zoom_centre = middle;
    });
    clear_overlay();
    view_.draw_zoom_cross_r(middle, kRed);
    view_changed();
}

void Commands::view_changed() {
    if (ui_.view_changed) ui_.view_changed();
    if (ui_.queue_redraw) ui_.queue_redraw();
}

bool Commands::key_event(unsigned keyval) {
    const gui_point size = area();
    const auto      edit = [&](auto change) {
        view_.edit_view([&](gui_box& box, point_float& centre) { change(box, centre); });
    };
    switch (keyval) {
    case keys::p:
    case keys::P:
        run_.pause_simulation();
        return true;
    case keys::r:
    case keys::R:
        run_.resume_simulation();
        return true;
    case keys::a:
        edit([&](gui_box& box, point_float& centre) {
            zoom_out_full(size, box);
            centre = {size.x / 2.0f, size.y / 2.0f};
        });
        break;
    case keys::z:
    case keys::kp_add:
        edit([&](gui_box& box, point_float& centre) {
            gui_box out;
            if (key_zoom_in_applied_to_box(size, centre, box, out)) {
                box = out;
                centre = {size.x / 2.0f, size.y / 2.0f};
            }
        });
        clear_overlay();
        break;
    case keys::x:
    case keys::kp_subtract:
        edit([&](gui_box& box, point_float& centre) {
            gui_box out;
            if (key_zoom_out_applied_to_box(size, centre, box, out)) box = out;
        });
        break;
    case keys::up:
    case keys::down:
    case keys::left:
    case keys::right: {
        const PanDirection d = keyval == keys::up     ? PanDirection::up
                               : keyval == keys::down ? PanDirection::down
                               : keyval == keys::left ? PanDirection::left
                                                      : PanDirection::right;
        edit([&](gui_box& box, point_float&) {
            gui_box out;
            motion_key_applied_to_box(size, box, out, d);
            box = out;
        });
        break;
    }
    case keys::c:
        clear_overlay();
        ui_.queue_redraw();
        return true;
    default:
        return true;
    }
    view_changed();
    return true;
}

void Commands::button_press(unsigned button, bool single_press, double x, double y) {
    if (button != 1 || !single_press) return;
    Held held(LockId::user_drawing, "button_press_callback");
    release_ = {-1, -1};
    origin_ = clamp_to_area(area(), x, y);
}

void Commands::motion(bool button1_held, double x, double y) {
    if (!button1_held) return;
    const gui_point o = origin_click();
    if (o.x < 0) return;
    const gui_point p = clamp_to_area(area(), x, y);
    clear_overlay();
    view_.draw_rectangle_user_surface_a(o.x, o.y, p.x - o.x, p.y - o.y, kRubberBandWidth, kRed);
    ui_.queue_redraw();
}

void Commands::button_release(unsigned button, double x, double y) {
    if (button != 1) return;
    const gui_point size = area();
    nearest_object_click_ = {float(x), float(y)};
    {
        Held held(LockId::user_drawing, "button_release_callback");
        release_ = clamp_to_area(size, x, y);
        const DragOutcome d = drag_outcome(size, origin_, release_);
        if (d.kind == DragOutcome::zoom) {
            view_.edit_view([&](gui_box& box, point_float&) {
                gui_box out;
                zoom_box_to_screen_applied_to_a_box(size, d.zoom_box, out, box);
                box = out;
            });
            clear_overlay();
            view_changed();
        } else if (d.kind == DragOutcome::centring) {
            clear_overlay();
            view_.edit_view([&](gui_box&, point_float& centre) { centre = d.centre; });
            view_.draw_zoom_cross(d.centre, kBlue);
            ui_.queue_redraw();
        }
        origin_ = {-1, -1};
    }
    const int kind = std::exchange(nearest_stuff_flag_, kNoQuery);
    if (kind == kNoQuery || !run_.running()) return;
    run_.nearest(NearestQuery(kind), float(x), float(layer_height()) - float(y));
    // A completed query resumes the run, whoever paused it.
    run_.resume_simulation();
    nearest_object_click_ = {-1, -1};
}

} // namespace velm::gui
