#pragma once
// Cooperative platooning: the following law, the dynamic limits, the drag
// reduction by platoon position and the next-link lookups that the platoon
// step is built from (and its tests call one by one).
#include "core/model/sim.h"

namespace velm {

inline constexpr int kErrPlatoonFile = 711210; // "platoon.dat": record skipped or file unreadable

// What the platoon step reads of a vehicle: the type row its class selects.
struct PlatoonVehicle {
    float m = 0.0f;   // mass, kg
    float mta = 0.0f; // share of the mass on the driven axle
    float mu = 0.0f;  // tyre-road friction
    float P = 0.0f;   // engine power, kW
    float eta = 0.0f; // driveline efficiency
    float Cd = 0.0f;  // drag coefficient
    float A = 0.0f;   // frontal area, m2
    float cr0 = 0.0f; // rolling resistance: Cr, then its speed and constant terms
    float cr1 = 0.0f;
    float cr2 = 0.0f;
};

// True when link is one of the platooning links read from "platoon.dat".
bool platoon_link_listed(const mod_platoon& pl, int link);

// The parameters of class vt (1..5): the vehicle-type row of the same number.
PlatoonVehicle platoon_vehicle(const Sim& s, int vt);

// A position (m from the link start) and speed (m/s).
struct PlatoonState {
    float x = 0.0f;
    float v = 0.0f;
};

// The sine and cosine of a link's slope, taken once per link from its grade
// (rise over run). A grade converts to it wherever a slope is asked for.
struct LinkSlope {
    LinkSlope(float grade);
    float sin_t, cos_t;
};

// Dynamic limits at speed v (m/s) on a slope, with drag coefficient cd:
// resistance r (N), the power- and traction-bound a_max and the braking-bound
// a_min (m/s2). A type without mass or power has no a_max.
struct DynamicLimits {
    float r = 0.0f;
    float a_max = 0.0f;
    float a_min = 0.0f;
};
DynamicLimits compute_bounds(const PlatoonVehicle& p, LinkSlope slope, float v, float cd);
// The same for a vehicle with nothing ahead, both limits scaled by the
// reduction factor rf.
DynamicLimits compute_bounds_no_front(const PlatoonVehicle& p, LinkSlope slope, float v, float cd,
                                      float rf);

// Drag factor min(1, a gap^b + c) when 0 < gap < gap_0, else 1.
float compute_cd_factor_r(float a, float b, float c, float gap, float gap_0);
// Drag factor of the vehicle of rank veh_rank (1 = front) in a lane of
// platoon_size vehicles, with its gaps to the vehicles ahead and behind (m).
float compute_cd_factor(const mod_platoon& pl, int platoon_size, int veh_rank, float gap_front,
                        float gap_back);

// Acceleration (m/s2) of the follower f behind the front vehicle v by the
// following law, held within the limits of p at the front vehicle's speed
// with the follower's drag factor.
float compute_acceleration(const mod_platoon& pl, const PlatoonVehicle& p, LinkSlope slope,
                           float cd_factor, PlatoonState f, PlatoonState v);
// The follower's state one tick on: the position moves at the old speed.
PlatoonState compute_new_velocity(const mod_platoon& pl, const PlatoonVehicle& p, LinkSlope slope,
                                  float cd_factor, PlatoonState f, PlatoonState v, float& acx);

// The vehicle nearest the rear in the target lane of the next link of trip
// car (a lane's first vehicle): its position on that link (m) and smoothed
// speed (m/s). out_flag 1 when it is a platoon vehicle on a platooning lane;
// -1 next link unknown, final or not listed; -2 nothing found; -3 a vehicle
// of another class.
void get_veh_data_of_next_link(const Sim& s, int car, float& r_vel, float& r_pos, int& out_flag);
// The same for any vehicle in that lane: out_flag 1 when found, else -1.
void get_veh_data_of_next_link_enforce_car_following(const Sim& s, int car, float& r_vel,
                                                     float& r_pos, int& out_flag);

// Time derivative of a vehicle state: res_x = v, res_v = a.
void veh_motion(float x, float v, float a, float& res_x, float& res_v);

} // namespace velm
