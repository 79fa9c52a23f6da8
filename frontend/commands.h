#pragma once
// The window's commands, free of the toolkit: the menu tree, what each menu
// item does, the keys, and the first mouse button's press, drag and release
// over the drawing area. The window hands over labels, key values and mouse
// positions; the run is reached through RunLink, dialogs through CommandUi.
#include "frontend/view.h"
#include "frontend/view_box.h"

#include <functional>
#include <string>
#include <vector>

namespace velm::gui {

inline constexpr int kVersion[4] = {3, 3, 58, 1858};

// One item of the menu bar or of a menu. Top-level items always carry a menu
// (which may be empty); other items carry one when they have items.
struct MenuNode {
    std::string           label;
    bool                  connected = false; // its "activate" reaches menu_response
    std::vector<MenuNode> items;
};
// The eight menus in display order.
const std::vector<MenuNode>& menu_tree();

// Key values (the toolkit's key symbols) that act on release.
namespace keys {
inline constexpr unsigned a = 0x061, c = 0x063, p = 0x070, r = 0x072, x = 0x078, z = 0x07a;
inline constexpr unsigned P = 0x050, R = 0x052;
inline constexpr unsigned kp_add = 0xffab, kp_subtract = 0xffad;
inline constexpr unsigned left = 0xff51, up = 0xff52, right = 0xff53, down = 0xff54;
} // namespace keys

// The "Short Help" dialog's title and text.
std::string short_help_title();
std::string keyboard_map();

inline constexpr const char* kNoRunTitle = "No Simulation";
inline constexpr const char* kNoRunText = "No simulation is running.";

// Nearest-object kinds of a "Locate Nearest" query, in menu order.
enum NearestQuery : int {
    kNoQuery = 0,
    kQueryLink,
    kQueryVehicle,
    kQueryNode,
    kQuerySignal,
    kQueryStopSign,
    kQueryYieldSign,
    kQueryIncident,
    kQueryLoopDetector,
};

// What the commands ask of the active run. With no run active the settings
// change nothing (each run starts free, unpaced and untracked).
class RunLink {
  public:
    virtual ~RunLink() = default;
    virtual bool running() = 0;
    // True when the run is held (its step word says so).
    virtual bool simulation_paused() = 0;
    virtual void pause_simulation() = 0;
    virtual void resume_simulation() = 0;
    virtual void set_next_time_step(int value) = 0;
    virtual void set_next_sim_time(int value) = 0;
    virtual void track_stuff(int mode, int vehicle, int vehicle_class, int origin, int destination,
                             int zone) = 0;
    virtual void diable_all_tracking() = 0;
    // With the run parked: the core pixel (y upward) to centre on, or the
    // core's own message and (0, 0) for a number it rejects. False when the
    // call could not be made (the message window says why).
    virtual bool findcent_new(int mode, int& x, int& y, int number) = 0;
    // With the run parked: the entry routine of the kind at a core pixel.
    virtual bool nearest(NearestQuery kind, float x, float y) = 0;
};

// The window's side of the commands.
struct CommandUi {
    std::function<void(const std::string&, const std::string&)>             show_dlg;
    std::function<void(const std::string&, const std::string&)>             core_message;
    std::function<void(const std::string&, const std::string&, int&, int&)> input_one;
    std::function<void(const std::string&, const std::string&, const std::string&, int&, int&,
                       int&)>
                          input_two;
    std::function<void()> exit_dlg;
    std::function<void()> single_mode;
    std::function<void()> batch_mode;
    // Pauses as the progress window's button does (nothing when it reads
    // "Resume Simulation" already).
    std::function<void()> interface_pause;
    // Asks the toolkit to repaint the drawing area.
    std::function<void()> queue_redraw;
    // The view box or zoom centre changed: a held run draws its picture anew
    // at once (a running one follows at the end of its tick).
    std::function<void()> view_changed;
};

class Commands {
  public:
    Commands(View& view, RunLink& run, CommandUi ui);

    // The handler of every connected menu item, by its exact label.
    void menu_response(const std::string& label);
    // A key released; true for every key (no key goes further).
    bool key_event(unsigned keyval);
    // Button events over the drawing area (toolkit pixels).
    void button_press(unsigned button, bool single_press, double x, double y);
    void motion(bool button1_held, double x, double y);
    void button_release(unsigned button, double x, double y);

    // The run held and its thread started: the view keys would repaint then,
    // but the thread is never counted as started, so no step calls it.
    bool started_and_paused();

    int         nearest_stuff_flag() const { return nearest_stuff_flag_; }
    gui_point   origin_click();
    gui_point   release_click();
    point_float nearest_object_click() const { return nearest_object_click_; }

  private:
    gui_point area() const { return view_.drawing_window_size(); }
    int       layer_height();
    void      center_on(int mode);
    void      track_with_dialog(const std::string& label);
    void      clear_overlay() { view_.clear_user_surface(); }
    // After a change of the view: the held run's picture, then the screen.
    void view_changed();

    View&     view_;
    RunLink&  run_;
    CommandUi ui_;
    int       nearest_stuff_flag_ = kNoQuery;
    int       thread_started_ = 0;
    // Under the user-drawing lock.
    gui_point   origin_{-1, -1};
    gui_point   release_{-1, -1};
    point_float nearest_object_click_{-1, -1};
};

} // namespace velm::gui
