#pragma once
// What the core calls of the program that hosts it: the desktop front end, the
// console program, or a test. The core never reaches past this interface.
#include <span>
#include <string_view>

namespace velm {

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;
    // The non-modal message window: shows a title and a text and returns at
    // once. The texts are copied; the core keeps no reference to them.
    virtual void core_message(std::string_view title, std::string_view text) = 0;

    // The progress hook, called on the core thread at the progress cadence of
    // the time loop: tick, vehicles departed, deferred, en route and arrived,
    // processor time of the run in tenths of a second, step mode (indstp),
    // pacing (clocks) and the display switches symb(1..20) as symb[1..20]
    // (symb[0] unused; 11 the tracking mode, 12 and 13 the tracked numbers).
    // Returns without waiting for the window.
    virtual void dlg_progress_lines_nt(int t10, int tdep, int totin, int tenr, int tarr, int clock,
                                       int indstp, int clocks, std::span<const int, 21> symb) {
        (void)t10, (void)tdep, (void)totin, (void)tenr, (void)tarr, (void)clock, (void)indstp,
            (void)clocks, (void)symb;
    }
    // Called once when a run has reached the end of its horizon: hides the
    // progress window (a run that ends early leaves it shown).
    virtual void destroy_default_progress_window() {}
};

} // namespace velm
