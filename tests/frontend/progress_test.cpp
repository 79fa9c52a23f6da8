#include "frontend/locks.h"
#include "frontend/progress.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace velm::gui {
namespace {

TEST(ProgressTexts, TimeText) {
    const std::pair<int, const char*> cases[] = {
        {754, "      75.4 - 00:01:15.4"},
        {0, "       0.0 - 00:00:00.0"},
        {36000, "    3600.0 - 01:00:00.0"},
        {863999, "   86399.9 - 23:59:59.9"},
    };
    for (const auto& [ticks, text] : cases) EXPECT_EQ(time_text(ticks), text) << ticks;
}

TEST(ProgressTexts, StepAndSpeedTextsKeepThePreviousTextForOtherValues) {
    const std::pair<int, const char*> steps[] = {
        {0, "Continuous "},   {1, "Deci-Second"},    {10, "1 Second   "},   {100, "10 Seconds "},
        {600, "1 Minute   "}, {6000, "10 Minutes "}, {36000, "1  Hour    "}};
    for (const auto& [value, text] : steps) {
        std::string s = "previous";
        EXPECT_TRUE(step_text(value, s));
        EXPECT_EQ(s, text);
    }
    const std::pair<int, const char*> speeds[] = {
        {0, "Maximum"},          {10, "Real Time x10.0"},  {20, "Real Time x 5.0"},
        {50, "Real Time x 2.0"}, {100, "Real Time x 1.0"}, {200, "Real Time x 0.5"}};
    for (const auto& [value, text] : speeds) {
        std::string s = "previous";
        EXPECT_TRUE(speed_text(value, s));
        EXPECT_EQ(s, text);
    }
    std::string kept = "1 Minute   ";
    EXPECT_FALSE(step_text(7, kept));
    EXPECT_EQ(kept, "1 Minute   ");
    kept = "Maximum";
    EXPECT_FALSE(speed_text(150, kept));
    EXPECT_EQ(kept, "Maximum");
}

TEST(ProgressTexts, TrackingLines) {
    struct Case {
        int         mode, p, q;
        const char* text;
    };
    const Case cases[] = {
        {1, 1234, 0, " Tracking Vehicle:     1234"},
        {2, 3, 0, " Tracking Vehicle Class:        3"},
        {3, 12, 345, " Tracking O-D Pair:       12 -      345"},
        {4, 7, 0, " Tracking Origin  :        7"},
        {5, 8, 0, " Tracking Destination :        8"},
        {6, 0, 0, " Tracking Lane Changes"},
        {9, 0, 0, " Tracking Accelerating Vehicles"},
        {13, 0, 0, " Vehicles Diverted En-Route"},
        {14, 0, 0, "No Special Tracking Active"},
        {0, 0, 0, "No Special Tracking Active"},
        {-1, 0, 0, "No Special Tracking Active"},
    };
    for (const auto& c : cases) EXPECT_EQ(tracking_text(c.mode, c.p, c.q), c.text) << c.mode;
}

TEST(ProgressTexts, FiveLinesOfOneCall) {
    ProgressTexts  x;
    ProgressReport r;
    r.t10 = 754;
    r.tdep = 10;
    r.totin = 2;
    r.tenr = 5;
    r.tarr = 3;
    r.clock = 12;
    r.indstp = 1;
    r.clocks = 100;
    format_progress_lines(r, x);
    EXPECT_EQ(x.line[0], " Update: VELMORANTIS 3.3.58");
    EXPECT_EQ(x.line[1],
              "TIME: Simulation:      75.4 - 00:01:15.4       -       CPU:       1.2 - 00:00:01.2");
    EXPECT_EQ(x.line[2], "VEHICLES:  Departed:      10 Deferred:       2 En-route:       5 "
                         "Arrived:       3");
    EXPECT_EQ(x.line[3], "Time Step: Deci-Second-  Target Speed: Real Time x 1.0");
    EXPECT_EQ(x.line[4], "No Special Tracking Active");
    // Values outside the tables leave the last texts in place.
    r.indstp = 5;
    r.clocks = 33;
    format_progress_lines(r, x);
    EXPECT_EQ(x.line[3], "Time Step: Deci-Second-  Target Speed: Real Time x 1.0");
    EXPECT_EQ(progress_log_line(75, x),
              "[75] = " + x.line[1] + " | " + x.line[2] + " | " + x.line[3] + " | " + x.line[4]);
}

struct HookRecord {
    int              posts = 0;
    std::vector<int> snapshots;
};

TEST(ProgressHook, LogsSecondZeroAndEveryTickOfSecondThousand) {
    support::TempDir dir;
    ProgressTexts    texts;
    InterfaceFlags   flags{1, 1};
    UiDispatcher     now;
    HookRecord       rec;
    ProgressHook     hook(texts, flags, now,
                          {[&] { ++rec.posts; }, [&](int s) { rec.snapshots.push_back(s); }},
                          dir.file("velmsims_log.txt"));
    std::vector<int> ticks{0, 5, 10, 9990};
    for (int t = 10000; t <= 10009; ++t) ticks.push_back(t);
    ticks.push_back(10010);
    for (int t : ticks) {
        ProgressReport r;
        r.t10 = t;
        hook.report(r);
    }
    EXPECT_EQ(rec.posts, static_cast<int>(ticks.size()));
    EXPECT_EQ(hook.global_simulation_time(), 10010);
    // Second 0 twice (ticks 0 and 5), second 1000 ten times.
    EXPECT_EQ(rec.snapshots,
              (std::vector<int>{0, 0, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000}));
    std::istringstream       log(support::slurp(dir.file("velmsims_log.txt")));
    std::vector<std::string> lines;
    for (std::string l; std::getline(log, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0].rfind("[0] = TIME: Simulation:       0.0 - 00:00:00.0", 0), 0u);
    EXPECT_EQ(lines[1].rfind("[0] = TIME: Simulation:       0.5 - 00:00:00.5", 0), 0u);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(lines[static_cast<std::size_t>(2 + k)].rfind(
                      "[1000] = TIME: Simulation:    1000." + std::to_string(k) + " - 00:16:40." +
                          std::to_string(k),
                      0),
                  0u)
            << k;
}

TEST(ProgressHook, NothingLoggedWhenSwitchedOffOrUnwritable) {
    support::TempDir dir;
    ProgressTexts    texts;
    InterfaceFlags   off{0, 0};
    UiDispatcher     now;
    int              snapshots = 0;
    ProgressHook     quiet(texts, off, now, {nullptr, [&](int) { ++snapshots; }},
                           dir.file("velmsims_log.txt"));
    quiet.report(ProgressReport{});
    EXPECT_FALSE(std::filesystem::exists(dir.file("velmsims_log.txt")));
    EXPECT_EQ(snapshots, 0);

    InterfaceFlags on{0, 1};
    ProgressHook   blocked(texts, on, now, {}, dir.path().string()); // a folder: cannot open
    blocked.report(ProgressReport{});
    EXPECT_EQ(texts.line[4], "No Special Tracking Active");
}

TEST(ProgressHook, TheHookHoldsTheProgressLockWhileFormatting) {
    ProgressTexts  texts;
    InterfaceFlags flags;
    UiDispatcher   now;
    ProgressHook   hook(texts, flags, now, {});
    lock_p_window("test");
    std::atomic<bool> done{false};
    std::thread       core([&] {
        ProgressReport r;
        r.t10 = 30;
        hook.report(r);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done.load());
    EXPECT_EQ(texts.line[1], "");
    unlock_p_window_n("test");
    core.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(hook.global_simulation_time(), 30);
}

} // namespace
} // namespace velm::gui
