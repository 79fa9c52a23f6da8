#pragma once
// The small portable layer for what the host lacks or what tests must replace:
// backslash paths, running an external command, the processor-time clock,
// and whole-second sleep (the console is unit 6 of the unit table). Each service is a replaceable
// function so that tests neither sleep nor spawn processes.
#include <functional>
#include <string>
#include <string_view>

namespace velm {

// Turns the backslash separators of the model's file names into the host's
// separator. Used only where a file is opened, tested or removed, so texts in
// the run log keep the names as the user wrote them.
std::string native_path(std::string_view name);

// True when the (model) name is an existing regular file of the host.
bool file_exists(std::string_view name);

// True when two (model) names denote the same file: the same path once "."
// and ".." are resolved, or, on the host, the same existing file reached by
// different paths.
bool same_file(std::string_view a, std::string_view b);

// Deletes a file of the host; false when there was none. Stands in for the
// command interpreter's "erase".
bool remove_file(std::string_view name);

// Runs a command line such as "interact\atms1      60" and waits for it. The
// text holds no shell syntax: the program (a native path) is split from its
// blank-separated arguments and started without a shell. Trailing blanks are
// removed first; the exit status is not used. Returns false when the program
// could not be started. The interpreter's own "erase" (or "del") deletes the
// named files instead of starting a program.
bool run_command_line(std::string_view command);

// Processor time of this process in centiseconds (a system call on every read).
long cpu_time_cs();

// Elapsed time in centiseconds since the first read in this process, from the
// monotonic clock, which is read without a system call: the profiler reads it
// about twenty times a tick.
long run_clock_cs();

// Sleeps whole seconds.
void sleep_seconds(int seconds);

struct Platform {
    std::function<bool(std::string_view)> run_command = run_command_line;
    std::function<long()>                 cpu_clock = run_clock_cs; // the profiler's clock, cs
    std::function<void(int)>              sleep = sleep_seconds;
    // Short waits in milliseconds for a watched run: when set, a held run
    // polls its step word every kHoldPollMs and pacing sleeps until the next
    // tick is due instead of reading the clock until it is; null (the console
    // and the tests of whole-second waits): `sleep` and a clock loop serve.
    std::function<void(int)> wait_ms;
};

inline constexpr int kHoldPollMs = 20;

// Sleeps the given milliseconds.
void sleep_milliseconds(int ms);

} // namespace velm
