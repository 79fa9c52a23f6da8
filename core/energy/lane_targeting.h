#pragma once
// Lane targeting: segment speeds from connected vehicles, each vehicle's
// expected speed per lane, and the lane it is advised to take. The entry
// points the run calls are in energy.h.
#include "core/model/sim.h"

#include <vector>

namespace velm {

inline constexpr const char* kLaneTargetFile = "ola.dat";
inline constexpr const char* kLaneTargetTrace = "lane_targeting_trace.txt";
inline constexpr int         kUnitLaneTargetTrace = 2599;
inline constexpr int         kErrLaneTargetRead = 711410;   // "ola.dat" short or not numeric
inline constexpr int         kErrLaneTargetValues = 711420; // segment length or share not positive
inline constexpr int kErrLaneTargetRecord = 711430; // record naming a link or lane not there

// Builds the segment tables of links 1..mlnum for the nominal segment length
// (m), then marks the penalised cells: each penalty (link, lane, p) marks the
// last p segments of that lane.
struct LanePenalty {
    int link, lane, segments;
};
void iniialize_ola(Sim& s, float initial_distance_for_segments,
                   const std::vector<LanePenalty>& penalties);

// Speed (km/h) at density k (veh/km) on the speed-spacing relation
// 1/k = c1 + c2/(uf - u) + c3 u; uf below 0.01 veh/km.
double u_of_k(double k, double c1, double c2, double c3, double uf);

// 1 when a segment starting x_position metres ahead of the vehicle's own
// segment is within communication range, else 0.
int delta_function(const Sim& s, double x_position);

} // namespace velm
