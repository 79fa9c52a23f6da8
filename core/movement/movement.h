#pragma once
// Entry header of vehicle movement: the routines other subsystems call.
#include "core/model/sim.h"

namespace velm {

// Relative angles of two link headings (degrees, headings in [0, 360)).
// crelang1: ang3 = ang2 - ang1 brought into (0, 360]; 180 = opposite directions.
void crelang1(Sim& s, float ang1, float ang2, float& ang3);
// crelang2: as crelang1 on ang2 - ang1 + 180; 180 = straight on, 270 a left
// turn of 90 degrees, 90 a right turn, 360 a U-turn.
void crelang2(Sim& s, float ang1, float ang2, float& ang3);
// Turn type from link linkin into link linkout: 1 left when the relative angle
// (crelang2 of their headings) is above 180 + angle, 3 right when below
// 180 - angle, else 2 through. flag 1 writes a trace to the run log.
void turntype(Sim& s, int linkin, int linkout, int& trntyp, int flag, int angle);
// Relative angle (crelang2) and turn direction (1 left above 225, 2 through
// 135..225, 3 right below 135) from link nl into link ldest, with the headings
// ang of a link table of size mlin. No next link (ldest < 1) is straight on.
void turn_ang(Sim& s, int mlin, const Array1<float>& ang, int nl, int ldest, float& relang,
              int& idir);

// --- called by the input phase ---------------------------------------------
// Empties the vehicle index: no trip on the network, every slot free.
void initvid(Sim& s);
// Detector-station file of master slot 21.
void rddetloc(Sim& s);
// Optional lane-change parameters "lanechange.dat".
void rdwvedat(Sim& s);
// Lane capacity losses of the incidents active at the current second.
void incid(Sim& s);
// Detector accumulators of the stations whose polling period ends at t.
void detreset(Sim& s, int t);

// --- called by the time loop and the end of run ------------------------------
// Rebuilds the order in which moveveh serves the links; nlact: links in it.
void sortlist(Sim& s, int t, int mnodenum, int& nlact);
// First vehicle of every lane and each vehicle's rank (flag -1: all links).
void lanpos(Sim& s, int flag, int t10);
// Link transfers and trip ends at the link ends.
void moveveh(Sim& s, int t, int t10);
// New vehicles onto their first links (errt1 + 1 when the slots run out).
void enternet(Sim& s, int t, int t10);
// Positions over 0.1 s.
void vehpos2(Sim& s, int t10);
// Re-sorts every link's vehicle list by position, front first.
void srtque(Sim& s);
// Nearest followers in the side lanes.
void vehpos2b(Sim& s, int t10);
// Free entry space per lane and link.
void spilback(Sim& s);
// Next link of trip car's path (flag 1) or the link after it (flag 2) into
// ldest; -1 when the path ends. t is not used.
void nextlink(Sim& s, int car, int t, int& ldest, int flag);
// Target lane vlan(vid, 2) on link ldest for trip car now on link nl; ind
// names the caller in the error line.
void nextlane(Sim& s, int car, int t, int ldest, int nl, int ind);
// Fills the look-ahead of trip car (next link, link after, connection indices,
// turn types) from its path; ind 1 first moves the trip on to its next link
// (link transfer), ind 2 keeps the current link (network entry).
void new_link(Sim& s, int car, int ind);
// Message sign at the end of link nl, evaluated once per link: iflag = 1 when
// it has just told trip car (class vt) to follow another class's routing.
void chk_cms(Sim& s, int car, int nl, int vt, int t, int& iflag);
// Credits the detectors of link nl passed by one vehicle's step from dold to
// dnew m (speed km/h, lane lan, class vt); flag1 and flag2 are the marker pair
// of the caller's pass (flag1 -1 at its start: no station named).
void chkdetin(Sim& s, int& flag1, int& flag2, int nl, float dold, float dnew, float spd, int lan,
              int vt);
// Stop-line decisions, lane choice and lane changes.
void vehpos5(Sim& s, int t10);
// Gap acceptance of trip car, the head of a lane of link nl near its end, at
// time tr (s) against the head vehicles of the opposing links; wttim is the
// time it began waiting (999999: not waiting). flag = 1: it must yield this
// tick. merge is set to 1 when a merge conflict is met (left alone otherwise).
void opslfac(Sim& s, int car, int nl, int& flag, float tr, float wttim, int& merge);
// Conflict between a movement (entering and leaving headings a_veh_in,
// a_veh_ot, degrees) and an opposing one (a_ops_in, a_ops_ot): con 1 merge
// (same exit), 2 or 3 crossing, negative none; pri 1 when the movement has
// priority by geometry. c is not used.
void ops_ang(Sim& s, float c, float a_veh_in, float a_veh_ot, float a_ops_in, float a_ops_ot,
             int& con, int& pri);
// New speeds.
void vehpos1(Sim& s, int t10);
// Compacts the network-slot tables.
void resetvid(Sim& s);
// Detector summary file "detector.out".
void det_sum(Sim& s, int t);
// Detector exchange files (errt1 + 1 when one cannot be opened).
void detreport(Sim& s, int t);
// Occupied links, queued vehicles and turning counts.
void qtime(Sim& s);
// Removes entered trips from the departure list (maxtrp: its capacity).
void decdept(Sim& s, int t, int& nondept, int maxtrp);
// Adds the vehicles and queues of every link to the report accumulators.
void resetflow(Sim& s);
// Incident display bookkeeping.
void pincident(Sim& s);

} // namespace velm
