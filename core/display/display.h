#pragma once
// Entry header of network display: the routines other subsystems call.
#include "core/model/sim.h"

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string_view>

namespace velm {

// Maps the network's display square onto the host's view box (window 1).
void viewport(Sim& s, int t);
// The static network on the fixed drawing layer (clears both layers first);
// the links are drawn only when ind2 = 1.
void plotnet(Sim& s, int ind1, int ind2);
// A digest of the lane sections an incident blocks now (0 when none); plotnet
// records the one it drew, and the end-of-tick refresh redraws the network
// when it changes.
std::uint64_t blocked_lanes_digest(const Sim& s);
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
// Refreshes the view at the end of the tick and asks the host to show it.
void redraw_and_adjust(Sim& s);
// When the host's view box or the blocked lanes have changed: every layer
// cleared, window 1 mapped anew, the network and the devices redrawn.
void refresh_viewport(Sim& s);
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

// --- called by the host's window thread while the core is parked ------------
// The network, the devices and the vehicles drawn anew.
void repaint(Sim& s);
// Centres view 2 on a point in m (ind 1: xi, yi), node (2), link (3) or trip
// (4) number idi, or on the world point (xi, yi) (5). xi, yi come back as the
// centre's core pixel (y upward), truncated; mode 5 returns them unchanged.
// An invalid number is answered in the message window and changes nothing.
void findcent_new(Sim& s, int ind, int& xi, int& yi, int idi);

// --- the rest of the family (no step of a run calls them) ---------------------
// Band widths by link value xwidth[l] (largest x_max) in pens icolor[l], on
// the moving layer; both spans are indexed by link number (element 0 unused).
void plotwidth(Sim& s, std::span<const float> xwidth, float x_max, std::span<const int> icolor,
               std::string_view mes, std::string_view label);
// ind1 = 1: the two edges of link ind2 highlighted and its report composed;
// otherwise the report of node ind2.
void closlink(Sim& s, int ind1, int ind2);
// i2 = flag1 = 0, then repaint.
void endview(Sim& s, int& i2, int& flag1, int t);
// The older centring: its prompts go to the console and its answers are read
// from `answers` (mode 1 a point in m, 2 node, 3 link, 4 trip, 5 a pixel
// position). An answer that cannot be read changes nothing.
void findcent(Sim& s, int ind, std::istream& answers);
// Shifts view 2 a tenth of its side: i1 1 up, 2 down, 3 left, 4 right; i2 = flag2 = 1.
void panning(Sim& s, int i1, int& i2, int& flag2, float spd);
// View 2 back to the display square, then szoombox(boxsiz).
void fullscre(Sim& s, int i1, int i2, int flag2, float boxsiz);
// Windows 3 and 4: view 2 shrunk by the share boxsiz of its side from each edge.
void szoombox(Sim& s, float boxsiz);
// Animation base factor animspd(1) = i (at least 1).
void anim_spd(Sim& s, int i);
void zooming(Sim& s);
void zoomwin(Sim& s);

} // namespace velm
