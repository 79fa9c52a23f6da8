#pragma once
// The eight locks of the front end, one per shared structure, each reached
// through a lock function and an unlock function named after it. The caller's
// name is passed for tracing only. A lock blocks until the mutex is free (no
// spinning); the mutexes are not recursive, and a thread never takes one it
// already holds.
//
// Order when nested, outer first: user drawing before zoom and before GUI;
// zoom before GUI; drawing before core data transfer; GUI before core data
// transfer. No front-end lock is held across a modal dialog.
#include <mutex>

namespace velm::gui {

enum class LockId {
    drawing,            // Drawing_Thread_Resources: the two drawing layers and their sizes
    gui,                // GUI_Thread_Resources: user overlay, dialog creation, status label
    user_drawing,       // GUI_User_Drawing_Resources: the click trackers
    gui_screen,         // GUI_Screen_Image: the screen-sized surface
    zoom,               // Zoom_Resources: the view box and the zoom centre
    core_data_transfer, // global_core_data_transfer: Global_Simulation_Time
    message_box,        // message_box_lock: the message window's texts
    p_window,           // progress_window_lock: the progress window and its texts
};
inline constexpr int kLockCount = 8;

// The name of a lock's mutex, for traces.
const char* lock_name(LockId id);
std::mutex& lock_mutex(LockId id);

void lock_drawing(const char* caller);
void unlock_drawing_n(const char* caller);
void unlock_drawing();
void lock_gui(const char* caller);
void unlock_gui_n(const char* caller);
void unlock_gui();
void lock_user_drawing(const char* caller);
void unlock_user_drawing_n(const char* caller);
void unlock_user_drawing();
void lock_gui_screen(const char* caller);
void unlock_gui_screen_n(const char* caller);
void lock_zoom(const char* caller);
void unlock_zoom_n(const char* caller);
void lock_core_data_transfer(const char* caller);
void unlock_core_data_transfer_n(const char* caller);
void unlock_core_data_transfer();
void lock_message_box(const char* caller);
void unlock_message_box_n(const char* caller);
void unlock_message_box();
void lock_p_window(const char* caller);
void unlock_p_window_n(const char* caller);

// Trace hooks; they print nothing.
void debug_write_to_console(const char* text);
void draw_debug_write_to_console(const char* text);

// Holds one lock for a scope (so no early return leaves it held).
class Held {
  public:
    Held(LockId id, const char* caller) : id_(id) {
        debug_write_to_console(caller);
        lock_mutex(id_).lock();
    }
    ~Held() { lock_mutex(id_).unlock(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

  private:
    LockId id_;
};

} // namespace velm::gui
