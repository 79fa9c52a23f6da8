#include "frontend/locks.h"

#include <array>

namespace velm::gui {

namespace {

struct NamedMutex {
    const char* name;
    std::mutex  mutex;
};

// In the order they are created at start-up.
std::array<NamedMutex, kLockCount>& mutexes() {
    static std::array<NamedMutex, kLockCount> table{{
        {"Drawing_Thread_Resources", {}},
        {"GUI_Thread_Resources", {}},
        {"GUI_User_Drawing_Resources", {}},
        {"GUI_Screen_Image", {}},
        {"Zoom_Resources", {}},
        {"global_core_data_transfer", {}},
        {"message_box_lock", {}},
        {"progress_window_lock", {}},
    }};
    return table;
}

void take(LockId id, const char* caller) {
    debug_write_to_console(caller);
    lock_mutex(id).lock();
}
void release(LockId id, const char* caller) {
    debug_write_to_console(caller);
    lock_mutex(id).unlock();
}

} // namespace

const char* lock_name(LockId id) {
    return mutexes()[static_cast<std::size_t>(id)].name;
}
std::mutex& lock_mutex(LockId id) {
    return mutexes()[static_cast<std::size_t>(id)].mutex;
}

void lock_drawing(const char* caller) {
    take(LockId::drawing, caller);
}
void unlock_drawing_n(const char* caller) {
    release(LockId::drawing, caller);
}
void unlock_drawing() {
    release(LockId::drawing, "");
}
void lock_gui(const char* caller) {
    take(LockId::gui, caller);
}
void unlock_gui_n(const char* caller) {
    release(LockId::gui, caller);
}
void unlock_gui() {
    release(LockId::gui, "");
}
void lock_user_drawing(const char* caller) {
    take(LockId::user_drawing, caller);
}
void unlock_user_drawing_n(const char* caller) {
    release(LockId::user_drawing, caller);
}
void unlock_user_drawing() {
    release(LockId::user_drawing, "");
}
void lock_gui_screen(const char* caller) {
    take(LockId::gui_screen, caller);
}
void unlock_gui_screen_n(const char* caller) {
    release(LockId::gui_screen, caller);
}
void lock_zoom(const char* caller) {
    take(LockId::zoom, caller);
}
void unlock_zoom_n(const char* caller) {
    release(LockId::zoom, caller);
}
void lock_core_data_transfer(const char* caller) {
    take(LockId::core_data_transfer, caller);
}
void unlock_core_data_transfer_n(const char* caller) {
    release(LockId::core_data_transfer, caller);
}
void unlock_core_data_transfer() {
    release(LockId::core_data_transfer, "");
}
void lock_message_box(const char* caller) {
    take(LockId::message_box, caller);
}
void unlock_message_box_n(const char* caller) {
    release(LockId::message_box, caller);
}
void unlock_message_box() {
    release(LockId::message_box, "");
}
void lock_p_window(const char* caller) {
    take(LockId::p_window, caller);
}
void unlock_p_window_n(const char* caller) {
    release(LockId::p_window, caller);
}

void debug_write_to_console(const char* text) {
    (void)text;
}
void draw_debug_write_to_console(const char* text) {
    (void)text;
}

} // namespace velm::gui
