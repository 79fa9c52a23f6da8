#pragma once
// Entry header of network display: the routines other subsystems call.
#include "core/model/sim.h"

#include <string_view>

namespace velm {

// Drawing window to the network extent.
void viewport(Sim& s, int t);
// The static network on the fixed drawing layer.
void plotnet(Sim& s, int ind1, int ind2);
// Animation base factor from the number of links.
void setanim_spd(Sim& s, int mlnum);

// --- called by the time loop and the end of run ------------------------------
// Ramp meters on the moving layer.
void prmpmet(Sim& s);
// Text of the vehicle selected in the window.
void shw_veh(Sim& s);
// Animation periods animspd(2) and animspd(3).
void chkanimspd(Sim& s, int t10);
// Clears the moving layer.
void clearscrn(Sim& s);
// Detectors on the moving layer.
void pdetloc(Sim& s);
// Vehicles on the moving layer.
void vehpos3(Sim& s, int flag);
// Keyboard poll of the older interface; key 1 would stop the run.
void checkkey(Sim& s, int t10, int& key, int pd_ot3);
// Refreshes the view at the end of the tick.
void redraw_and_adjust(Sim& s);
// Signal heads on the moving layer.
void psignal(Sim& s, int flag);

// Progress report: hands the tick, the four vehicle counters, the processor
// clock (tenths of a second), indstp, clocks and the display switches symb to
// the front end's progress hook; mastitle is not passed on.
void update(Sim& s, int t10, int tdep, int totin, int tenr, int tarr, int clock, int indstp,
            int clocks, std::string_view mastitle);
// Oriented symbol of size k (world units; k <= -1 is set to -1) at (x1, y1)
// along (dx, dy) on layer tn, symbol type mt, width ms, colour c.
void dxmarker(Sim& s, int tn, float x1, float y1, float dx, float dy, float& k, int mt, float ms,
              int c);

} // namespace velm
