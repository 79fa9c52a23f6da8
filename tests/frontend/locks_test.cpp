#include "frontend/locks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>

namespace velm::gui {
namespace {

struct LockCase {
    LockId      id;
    const char* mutex;
    void (*lock)(const char*);
    void (*unlock)(const char*);
};

const LockCase kLocks[] = {
    {LockId::drawing, "Drawing_Thread_Resources", lock_drawing, unlock_drawing_n},
    {LockId::gui, "GUI_Thread_Resources", lock_gui, unlock_gui_n},
    {LockId::user_drawing, "GUI_User_Drawing_Resources", lock_user_drawing, unlock_user_drawing_n},
    {LockId::gui_screen, "GUI_Screen_Image", lock_gui_screen, unlock_gui_screen_n},
    {LockId::zoom, "Zoom_Resources", lock_zoom, unlock_zoom_n},
    {LockId::core_data_transfer, "global_core_data_transfer", lock_core_data_transfer,
     unlock_core_data_transfer_n},
    {LockId::message_box, "message_box_lock", lock_message_box, unlock_message_box_n},
    {LockId::p_window, "progress_window_lock", lock_p_window, unlock_p_window_n},
};

double thread_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A waiter blocks, without using the processor, until the holder releases
// the lock; then it gets it. Each lock guards its own mutex.
TEST(Locks, AHeldLockBlocksOtherThreadsWithoutSpinning) {
    ASSERT_EQ(std::size(kLocks), static_cast<std::size_t>(kLockCount));
    for (const auto& c : kLocks) {
        SCOPED_TRACE(c.mutex);
        EXPECT_STREQ(lock_name(c.id), c.mutex);
        c.lock("holder");
        // Every other lock is free meanwhile.
        for (const auto& other : kLocks)
            if (other.id != c.id) {
                EXPECT_TRUE(lock_mutex(other.id).try_lock()) << other.mutex;
                lock_mutex(other.id).unlock();
            }
        std::atomic<bool> acquired{false};
        double            waited_cpu = 0;
        std::thread       waiter([&] {
            const double before = thread_cpu_seconds();
            c.lock("waiter");
            waited_cpu = thread_cpu_seconds() - before;
            acquired = true;
            c.unlock("waiter");
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_FALSE(acquired.load());
        c.unlock("holder");
        waiter.join();
        EXPECT_TRUE(acquired.load());
        EXPECT_LT(waited_cpu, 0.05); // a spinning waiter would have burnt ~0.15 s
    }
}

TEST(Locks, HeldReleasesAtScopeEnd) {
    {
        Held held(LockId::zoom, "scope");
        EXPECT_FALSE(lock_mutex(LockId::zoom).try_lock());
    }
    ASSERT_TRUE(lock_mutex(LockId::zoom).try_lock());
    lock_mutex(LockId::zoom).unlock();
}

} // namespace
} // namespace velm::gui
