// The progress report of the time loop, handed to the hosting program.
#include "core/display/display.h"
#include "core/driver/run_control.h"

#include <array>

namespace velm {

void update(Sim& s, int t10, int tdep, int totin, int tenr, int tarr, int clock, int indstp,
            int clocks, std::string_view mastitle) {
    (void)mastitle;
    if (s.fe == nullptr) return;
    // A snapshot of the display switches: the tracking words may change on
    // the window thread at any time.
    std::array<int, kDisplaySwitches + 1> symb{};
    for (int i = 1; i <= kDisplaySwitches; ++i)
        symb[static_cast<std::size_t>(i)] = tracking_word(s, i);
    s.fe->dlg_progress_lines_nt(t10, tdep, totin, tenr, tarr, clock, indstp, clocks, symb);
}

} // namespace velm
