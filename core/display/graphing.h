#pragma once
// World-to-pixel mapping and the core's drawing primitives. A primitive takes
// world coordinates in km and pen numbers, decides whether the object lies in
// the display square, maps it to pixels through window tn and hands it to the
// drawing bridge. The plain names draw on the moving layer, the names ending
// in _f on the fixed layer. With no bridge (Sim::draw null) nothing is drawn,
// but what a primitive hands back to its caller is the same.
#include "core/display/drawing_bridge.h"
#include "core/model/sim.h"

#include <span>
#include <string_view>

namespace velm {

inline constexpr int kPens = 20; // pens 0..19

// --- mapping -------------------------------------------------------------------
// Sets window tn: pixel box (x1, y1)-(x2, y2), world box (xmin, ymin)-(xmax,
// ymax). Both x values of the pixel box come before both y values.
void window(Sim& s, int tn, float x1, float x2, float y1, float y2, float xmin, float xmax,
            float ymin, float ymax);
// World to pixel through window tn. False ("no mapping", outputs untouched)
// when the window has a zero pixel or world extent or the result is not
// finite. Input and output may be the same variables.
bool transform(const Sim& s, int tn, float xin0, float yin0, float& xout, float& yout);
// Pixel to world through window tn; false as for transform.
bool reverse(const Sim& s, int tn, float xin0, float yin0, float& xout, float& yout);
// Adds 1 to flag when the world point lies strictly inside window tn's world box.
void chkpnt(const Sim& s, int tn, float x1, float y1, int& flag);
// The palette index of pen cin; false (cout untouched) for a pen outside
// 0..19, which the checked build reports as the caller's bug.
bool newpen(int cin, int& cout);

// --- calls into the bridge (pixels and palette indices) -------------------------
void clearscrn(Sim& s);
void clearscrn_fixed(Sim& s);
// Empties the devices layer and forgets what each device showed on it.
void clearscrn_devices(Sim& s);
void plot_c(Sim& s, float x1, float y1, float x2, float y2, int col);
void plot_c_f(Sim& s, float x1, float y1, float x2, float y2, int col);
void setpix(Sim& s, float x1, float x2, int c);
void setpix_f(Sim& s, float x1, float x2, int c);
void circle(Sim& s, float x1, float x2, float r, int col);
void circle_f(Sim& s, float x1, float x2, float r, int col);
void fill(Sim& s, std::span<const PixelPoint> points, int c);
void fill_f(Sim& s, std::span<const PixelPoint> points, int c);

// --- shapes (world km, pens) -------------------------------------------------------
// A straight line, drawn when one of ten samples from (x2, y2) towards (x1,
// y1), (x1, y1) itself excluded, lies in the display square. thi is not used.
void line(Sim& s, int tn, float x1, float y1, float x2, float y2, float thi, int col);
void line_f(Sim& s, int tn, float x1, float y1, float x2, float y2, float thi, int col);
// A line handed to `line` when either end lies in the display square.
void mline(Sim& s, int tn, float x1, float y1, float x2, float y2, float thi, int col, int nsteps);
// nsteps dashes from (x2, y2) towards (x1, y1), each fract of its step.
void dline(Sim& s, int tn, float x1, float y1, float x2, float y2, float thi, int col, int nsteps,
           float fract);
void dline_f(Sim& s, int tn, float x1, float y1, float x2, float y2, float thi, int col, int nsteps,
             float fract);
// An axis-aligned symbol of type mt and world size ms centred at (x1, y1).
void marker(Sim& s, int tn, float x1, float y1, int mt, float ms, int c);
void marker_f(Sim& s, int tn, float x1, float y1, int mt, float ms, int c);
// A symbol along (dx, dy); k stretches the +u half of types 8 and 9, and a k
// of -1 or less is set to -1 in the caller's variable.
void dxmarker(Sim& s, int tn, float x1, float y1, float dx, float dy, float& k, int mt, float ms,
              int c);
void dxmarker_f(Sim& s, int tn, float x1, float y1, float dx, float dy, float& k, int mt, float ms,
                int c);
// Movement arrows at (x1, y1); (dx, dy) points against the direction of
// travel; the hundreds, tens and units digits of mt (1 = shown) select the
// left, through and right arrows. k is not used.
void dxarrow(Sim& s, int tn, float x1, float y1, float dx, float dy, float k, int mt, float ms,
             int c);
void dxarrow_f(Sim& s, int tn, float x1, float y1, float dx, float dy, float k, int mt, float ms,
               int c);
// A filled quadrilateral with corners 1, 2, 3, 4 (the arguments carry corner 4
// before corner 3), drawn when a sample on the diagonal from corner 3 to
// corner 1 lies strictly inside window tn.
void fillbox(Sim& s, int tn, float a1, float b1, float a2, float b2, float a4, float b4, float a3,
             float b3, int c);
void fillbox_f(Sim& s, int tn, float a1, float b1, float a2, float b2, float a4, float b4, float a3,
               float b3, int c);
// On the devices layer: a marker, movement arrows, a filled disc of world
// radius ms, and the erasure of the square of world half-side ms (and a two
// pixel margin) around (x1, y1).
void marker_d(Sim& s, int tn, float x1, float y1, int mt, float ms, int c);
void dxarrow_d(Sim& s, int tn, float x1, float y1, float dx, float dy, int mt, float ms, int c);
void disc_d(Sim& s, int tn, float x1, float y1, float ms, int c);
void erase_d(Sim& s, int tn, float x1, float y1, float ms);
// Labels are not drawn.
void text(Sim& s, int tn, float x, float y, std::string_view txt, float ts, int c, float ang,
          int loc);

// --- the rest of the family (no step of a run calls them) ----------------------------
void box(Sim& s, int tn, float xmin, float ymin, float xmax, float ymax, int c);
// Outline of a box of length size along (dx, dy) and width size * asp, in pen 0.
void abox(Sim& s, int tn, float xcen, float ycen, float size, float asp, float dx, float dy);
void croshair(Sim& s, int tn, float xmin, float ymin, float xmax, float ymax, int c);
void fillin(Sim& s, int tn, float xmin, float ymin, float xmax, float ymax, int c);
// A dot at every point whose x is positive (as many points as both spans hold).
void markers(Sim& s, int tn, std::span<const float> x, std::span<const float> y, int mt, float ms,
             int c);
void setcolor(Sim& s);
void plot_c_empty(Sim& s, float x1, float y1, float x2, float y2, int col);
void getpix(Sim& s, float x, float y, int& c);
void mov_cur(Sim& s, float x1, float y1);
void shf_cur(Sim& s, float x1, float y1, float x2, float y2);
void textplot(Sim& s);
void findmouse(Sim& s);
void rnewpen(Sim& s);
void plot(Sim& s);

} // namespace velm
