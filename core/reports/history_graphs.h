#pragma once
// History graphs of the on-line graph facility and the frame every graph of
// the facility shares: the texts, the point arrays, the hand-over to the
// plotting routine, the minute-ring windows and the "not enough points"
// message. No step of a run calls them; the answers a user gives to a graph's
// prompts arrive as arguments and are checked here.
#include "core/model/sim.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace velm {

inline constexpr int kGraphTitles = 5;
inline constexpr int kGraphTitleWidth = 80;
inline constexpr int kGraphLegends = 7;
inline constexpr int kGraphLegendWidth = 25;
inline constexpr int kGraphPoints = 2000; // leading dimension of the point arrays
inline constexpr int kGraphCurves = 7;
inline constexpr int kGraphCurveKind = 1; // curves against a continuous axis
inline constexpr int kGraphBarKind = 2;   // frequency bars

// What a graph routine did.
enum class GraphResult {
    plotted,  // handed its series to the plotting routine
    no_graph, // showed the "not enough points" message
    refused,  // a selection or answer out of range: no output, nothing changed
};

// One graph's texts and point arrays; column k of the arrays belongs to curve k.
class GraphFrame {
  public:
    explicit GraphFrame(int ld = kGraphPoints, int curves = kGraphCurves);
    // Text k (1-based) padded with blanks, or cut, to its width.
    void               title(int k, const std::string& text);
    void               legend(int k, const std::string& text);
    float&             x(int i, int k) { return px_[index(i, k)]; }
    float&             y(int i, int k) { return py_[index(i, k)]; }
    int                ld() const { return ld_; }
    int                curves() const { return curves_; }
    const std::string& title(int k) const { return titles_[static_cast<std::size_t>(k - 1)]; }
    // Hands np points of c curves to the plotting routine.
    void plot(Sim& s, int kind, int np, int c) const;

  private:
    std::size_t                            index(int i, int k) const;
    int                                    ld_, curves_;
    std::vector<float>                     px_, py_;
    std::array<std::string, kGraphTitles>  titles_;
    std::array<std::string, kGraphLegends> legend_;
};

// The message that a graph has too few points, titled with the graph's name.
void nograph(Sim& s, const std::string& title);
// Hands np points of `curves` curves to the plotting routine, or, with no
// point, shows the message titled `name`.
GraphResult hand_over(Sim& s, const GraphFrame& f, const std::string& name, int kind, int np,
                      int curves);

// The last-hour window of the minute rings: minutes first..last (at most 60),
// first = 1 while t <= 3540 s, then t/60 - 58; last = t/60 + lead.
struct MinuteWindow {
    int first = 1, last = 0;
};
MinuteWindow last_hour(int t, int lead);
// The slot of run minute m (from 1) in a ring of 60 minutes.
int hour_ring_slot(int m);

// A series over the run's per-minute history (the 2000-minute ring): point 1
// is (0, 0), point i >= 2 holds history minute i - 1 at x = (i - 1) 60 s, read
// through the ring's slot rule. Once the run has more minutes than the arrays
// hold, the series shows the latest ones (the older ones are overwritten in
// the ring) and starts without (0, 0). Returns the number of points; with one
// point or none the caller shows the "not enough points" message.
int minute_series(GraphFrame& f, int t10, int curve, const std::function<float(int slot)>& value);

// The trip filter of the trip graphs (the answers to their prompts).
struct TripFilter {
    int ind2 =
        1; // 1 all, 2 from iorg, 3 to idst, 4 from iorg to idst, 5 departing in [stim, etim] s
    int iorg = 0, idst = 0;
    int stim = 0, etim = 0;
};

// One link's last hour; ind 1..9.
GraphResult flow_his(Sim& s, int ind, int ilink);
// One signal's last hour; ind 1..4.
GraphResult cyc_his(Sim& s, int ind, int isig);
// One trip's last 45 seconds on the network; ind 1..3.
GraphResult lst_pos(Sim& s, int ind, int iveh);
// One quantity of every completed trip against its departure; ind1 1..11.
GraphResult triptime(Sim& s, int ind1, const TripFilter& f);
// Departure frequencies, rates and trip-length distributions; ind1 1..6.
GraphResult dept_his(Sim& s, int ind1, const TripFilter& f);
// Cumulative departures and arrivals, zone frequencies, trip-length and
// trip-time distributions; ind1 1..7.
GraphResult arr_his(Sim& s, int ind1, const TripFilter& f);

} // namespace velm
