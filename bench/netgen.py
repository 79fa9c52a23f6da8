#!/usr/bin/env python3
"""Writes complete run folders (master file, input/ and output/) for the
console program: the three sample networks and scalable networks for the
performance harness.

  netgen.py corridor-sample DIR         10-km freeway, two on-ramps, one off-ramp
  netgen.py arterial-sample DIR         five signalised junctions, a stop-controlled and a yield-controlled side street
  netgen.py grid-sample DIR             6 x 6 signalised grid, 20 zones, incident
  netgen.py corridor DIR --vehicles V   freeway scaled so about V vehicles are on it
  netgen.py grid DIR --vehicles V       signalised grid scaled to about V vehicles

Every file is written with the same numbers for the same arguments, so a
generated folder can be kept in the repository and regenerated bit for bit.
"""
import argparse
import heapq
import math
import os
import random

# Seconds of each demand interval of the time-varying profiles.
INTERVAL = 300
# Vehicle spots of the run's link vehicle lists: the links' lanes x length x
# jam density must fit in them.
VEHICLE_STORE = 480000


def write(path, lines):
    with open(path, "w", newline="\n") as f:
        for line in lines:
            f.write(line.rstrip() + "\n")


class Net:
    """Nodes, links, signals, demand and incidents of one run folder."""

    def __init__(self, title):
        self.title = title
        self.nodes = []  # (number, x km, y km, type, macro code)
        self.links = []  # dict per link
        self.signals = []  # (number, cycle, offset, [(green, intergreen)])
        # Per signal number, the settings of the extended layout: actuation
        # code digits, cluster, optimisation setting, class call weights and
        # per phase (minimum green, maximum green, extension). Empty: the
        # standard layout.
        self.signal_control = {}
        # (origin, destination, veh/h, krand, start, end, shares, pcu[, probe code])
        self.demand = []
        self.incidents = []  # (link, km from, km to, start, end, lane code)
        # Detector stations: (number, type, link, zone start km, zone km, poll s);
        # written with the exchange-file period when there are any.
        self.stations = []
        self.exchange = 0
        self.speed_changes = []  # (link, factor of its free speed, start s, end s)
        # Ramp meters: (number, link, upstream meter, start, minimum, maximum
        # veh/h, occupancy threshold, [Q1, Q2, In, Out, Upst, Mrg, Dwst, Nxt]),
        # controlled every meter_period s.
        self.meters = []
        self.meter_period = 20
        self.node_xy = {}

    def node(self, n, x, y, typ):
        # Coordinates must be positive: the drawing origin sits 1 km off the network.
        x, y = x + 1.0, y + 1.0
        macro = -n if typ <= 3 else 0
        self.nodes.append((n, x, y, typ, macro))
        self.node_xy[n] = (x, y)

    def link(self, a, b, speed, sat, lanes, name, control=0, ph1=0, ph2=0,
             spdcap=None, jam=140, connector=False, length=None, surv=0):
        ax, ay = self.node_xy[a]
        bx, by = self.node_xy[b]
        if length is None:
            length = round(math.hypot(bx - ax, by - ay), 3)
        self.links.append(dict(n=len(self.links) + 1, a=a, b=b, length=length,
                               speed=-speed if connector else speed, sat=sat, lanes=lanes,
                               spdcap=spdcap if spdcap else round(0.55 * speed),
                               jam=jam, control=control, ph1=ph1, ph2=ph2, surv=surv,
                               name=name))
        return len(self.links)

    def spots(self):
        return sum(abs(k["lanes"]) * k["length"] * k["jam"] for k in self.links)

    def save(self, folder, master_name, horizon, seed, route_lines, rate1, rate2, outputs):
        os.makedirs(os.path.join(folder, "input"), exist_ok=True)
        os.makedirs(os.path.join(folder, "output"), exist_ok=True)
        keep = os.path.join(folder, "output", ".keep")
        if not os.path.exists(keep):
            open(keep, "w").close()
        inp = lambda name: os.path.join(folder, "input", name)

        lines = [self.title + " nodes", "%d  1.0  1.0" % len(self.nodes)]
        for n, x, y, typ, macro in self.nodes:
            lines.append("%-5d %8.3f %8.3f  %d  %d  0" % (n, x, y, typ, macro))
        write(inp("nodes.dat"), lines)

        lines = [self.title + " links", "%d  1.0  1.0  1.0  1.0  1.0" % len(self.links)]
        # Field 20, the surveillance code: one digit per class (ten-thousands
        # digit class 1 .. units digit class 5); a 1 lets that class's rebuilt
        # trees read the link's measured travel time.
        for k in self.links:
            lines.append("%-5d %5d %5d %6.3f %5d %5d %3d  0 %4d %4d  0 0 0  0 0  %5d %3d %3d  0 %d  %s"
                         % (k["n"], k["a"], k["b"], k["length"], k["speed"], k["sat"],
                            k["lanes"], k["spdcap"], k["jam"], k["control"], k["ph1"],
                            k["ph2"], k["surv"], k["name"]))
        write(inp("links.dat"), lines)

        if self.signals and self.signal_control:
            # Extended layout: per signal its actuation code (the decimals of
            # the signal number), coordination cluster, per phase green,
            # minimum and maximum green, extension and intergreen, the
            # optimisation setting, two optimisation constants, the call
            # weight of each class and no approach list (every link calls).
            lines = [self.title + " signals", "-%d" % len(self.signals), "1"]
            for n, cycle, offset, phases in self.signals:
                assert abs(sum(g + i for g, i in phases) - cycle) < 1e-6
                c = self.signal_control[n]
                lo, hi = max(cycle - 30, 40), cycle + 60
                body = "  ".join("%d %d %d %d %d" % (g, mn, mx, ext, i)
                                 for (g, i), (mn, mx, ext) in zip(phases, c["limits"]))
                lines.append("%-8s %4d %4d %4d %2d %4d  %d   %s   %d  0.1 1.0  %s  0"
                             % ("%d.%s" % (n, c["actuation"]) if c["actuation"] else str(n),
                                cycle, lo, hi, c["cluster"], offset, len(phases), body,
                                c["phasopt"], " ".join("%g" % w for w in c["weights"])))
        elif self.signals:
            lines = [self.title + " signals", "%d  1  %d" % (len(self.signals), 2 * horizon)]
            lines.append("1")
            for n, cycle, offset, phases in self.signals:
                assert abs(sum(g + i for g, i in phases) - cycle) < 1e-6
                lo, hi = max(cycle - 30, 40), cycle + 60
                body = "  ".join("%d %d" % p for p in phases)
                lines.append("%-4d %4d %4d %4d %4d  %d   %s   0"
                             % (n, cycle, lo, hi, offset, len(phases), body))
        else:
            lines = [self.title + " signals: none", "0"]
        write(inp("signals.dat"), lines)

        # A record's tenth item is its vehicle type; any typed record puts the
        # file in the long layout (negative count, class factors, occupancy
        # and type on every record).
        typed = any(len(rec) > 9 for rec in self.demand)
        count = "-%d  0  0  1.0  1 1 1 1 1" if typed else "%d  0  0  1.0"
        lines = [self.title + " demand", count % len(self.demand)]
        for i, rec in enumerate(self.demand, 1):
            o, d, rate, krand, t0, t1, shares, pcu = rec[:8]
            probe = rec[8] if len(rec) > 8 else 0
            line = ("%-6d %4d %4d %8.1f %4.1f %6d %6d  %s  %g  %.1f"
                    % (i, o, d, rate, krand, t0, t1,
                       " ".join("%.2f" % x for x in shares), probe, pcu))
            if typed:
                line += "  1.0  %d" % (rec[9] if len(rec) > 9 else 1)
            lines.append(line)
        write(inp("demand.dat"), lines)

        # Long layout: blocked section in km from the link start, lane code with
        # one digit per lane (units digit = lane 1, the right-most; 1 = closed).
        lines = [self.title + " incidents", "%d" % -len(self.incidents)]
        for i, (l, km0, km1, t0, t1, code) in enumerate(self.incidents, 1):
            lines.append("%d  %d  %.3f  %.3f  %d  %d  %d" % (i, l, km0, km1, t0, t1, code))
        write(inp("incidents.dat"), lines)

        if self.stations:
            # Types 1..9 report one record per station, 10 and above one per lane.
            lines = [self.title + " detector stations",
                     "%d  %d" % (len(self.stations), self.exchange)]
            for n, typ, l, km0, zone, poll in self.stations:
                lines.append("%-4d  %2d  %3d  %.3f  %.3f  %3d" % (n, typ, l, km0, zone, poll))
            write(inp("stations.dat"), lines)
            # The exchange report files go to "interact" under the run folder.
            os.makedirs(os.path.join(folder, "interact"), exist_ok=True)
            keep = os.path.join(folder, "interact", ".keep")
            if not os.path.exists(keep):
                open(keep, "w").close()

        # Scheduled free-speed changes: written only when the network has some.
        if self.speed_changes:
            lines = [self.title + " speed schedule", "%d" % len(self.speed_changes)]
            for i, (l, factor, t0, t1) in enumerate(self.speed_changes, 1):
                lines.append("%d  %d  %.2f  %d  %d" % (i, l, factor, t0, t1))
            write(inp("spd_ctrl.dat"), lines)

        if self.meters:
            lines = [self.title + " ramp meters",
                     "%d  %d" % (len(self.meters), self.meter_period)]
            for n, l, up, start, lo, hi, thr, det in self.meters:
                lines.append("%-3d %4d  1  %3d  %5d %5d %5d  %3d   %s"
                             % (n, l, up, start, lo, hi, thr, " ".join("%3d" % d for d in det)))
            write(inp("meters.dat"), lines)

        named = dict(outputs)
        if self.stations:
            named[21] = "stations.dat"
        if self.meters:
            named[23] = "meters.dat"
        slots = ["none"] * max([19] + list(named))
        slots[0:5] = ["nodes.dat", "links.dat", "signals.dat", "demand.dat", "incidents.dat"]
        for slot, name in named.items():
            slots[slot - 1] = name
        master = [self.title, "%d.%03d  %d  %d  %d  0" % (horizon, seed, rate1, rate2,
                                                       2 if len(route_lines) == 2 else 3)]
        master += route_lines
        master += ["input\\*   folder of the input files", "output\\*  folder of the reports"]
        master += slots
        write(os.path.join(folder, master_name), master)


def profile(i, n):
    """Demand factor of interval i of n: rises to 1.1 at mid-run, falls again."""
    x = (i + 0.5) / n
    return round(0.45 + 0.65 * math.sin(math.pi * x) ** 1.5, 3)


def corridor_sample(folder):
    net = Net("Corridor: 10-km three-lane freeway, two on-ramps, one off-ramp")
    # Zones: 1 upstream end, 2 and 3 on-ramps, 4 off-ramp, 5 downstream end.
    fwy = [(1001, 0.0), (1002, 2.0), (1003, 3.0), (1004, 4.5), (1005, 6.0), (1006, 7.0),
           (1007, 8.0), (1008, 10.0)]
    net.node(1, -0.3, 0.0, 3)
    net.node(2, 2.7, -0.3, 3)
    net.node(3, 5.7, -0.3, 3)
    net.node(4, 8.3, -0.3, 2)
    net.node(5, 10.3, 0.0, 2)
    for n, x in fwy:
        net.node(n, x, 0.0, 4)
    net.link(1, 1001, 100, 1900, 3, "Upstream entry", connector=True)
    for (a, xa), (b, xb) in zip(fwy, fwy[1:]):
        net.link(a, b, 110, 2000, 3, "Freeway km %.1f-%.1f" % (xa, xb), spdcap=80, jam=130)
    net.link(1008, 5, 100, 1900, 3, "Downstream exit", connector=True)
    ramp_a = net.link(2, 1003, 60, 1800, 1, "On-ramp A", spdcap=45)
    ramp_b = net.link(3, 1005, 60, 1800, 1, "On-ramp B", spdcap=45)
    net.link(1007, 4, 60, 1800, 1, "Off-ramp C", spdcap=45)
    # Detector stations, 30-s polls, for ramp metering at each merge: on the
    # ramp 75 m before its end (one record per poll), then across the main
    # line 200 m upstream of the merge, 50 m past it and 1 km past it (one
    # record per lane): 1-4 at on-ramp A (km 3), 5-8 at on-ramp B (km 6).
    by_name = {k["name"]: k for k in net.links}
    for first, ramp, up, at in ((1, ramp_a, "Freeway km 2.0-3.0", "Freeway km 3.0-4.5"),
                                (5, ramp_b, "Freeway km 4.5-6.0", "Freeway km 6.0-7.0")):
        r = net.links[ramp - 1]
        net.stations.append((first, 1, ramp, round(r["length"] - 0.075, 3), 0.005, 30))
        u = by_name[up]
        net.stations.append((first + 1, 10, u["n"], round(u["length"] - 0.2, 3), 0.005, 30))
        a = by_name[at]
        net.stations.append((first + 2, 10, a["n"], 0.05, 0.005, 30))
        net.stations.append((first + 3, 10, a["n"], round(min(1.0, a["length"] - 0.1), 3),
                             0.005, 30))
    net.exchange = 60
    # A work zone at 60 % of the free speed on the freeway between the two
    # on-ramps (km 3-6) from minute 2 to minute 30, and a short variable limit
    # (80 %) on km 0-2 from second 60 to second 180.
    for l in (4, 5):
        net.speed_changes.append((l, 0.6, 120, 1800))
    net.speed_changes.append((2, 0.8, 60, 180))
    # A meter at the end of each on-ramp, controlled every 20 s between 800 and
    # 1800 veh/h. The ramp station is the meter's queue detector Q2 (there is
    # none further up the ramp and none just past the meter, so no Q1, In or
    # Out); upstream, merge and downstream are the main-line stations of its
    # merge, and meter A watches station 6, upstream of merge B, as its next
    # station. Meter B hands its queue estimate to meter A.
    net.meters.append((1, ramp_a, 0, 1200, 800, 1800, 300, [0, 1, 0, 0, 2, 3, 4, 6]))
    net.meters.append((2, ramp_b, 1, 1200, 800, 1800, 300, [0, 5, 0, 0, 6, 7, 8, 0]))
    # Peak flows veh/h: the section after on-ramp B carries about 6100 veh/h at
    # the peak, above what three lanes discharge, so a queue grows back from
    # the merge and dissolves as demand falls.
    peaks = [(1, 5, 3300), (1, 4, 700), (2, 5, 700), (2, 4, 150), (3, 5, 1000)]
    n = 3600 // INTERVAL
    for o, d, peak in peaks:
        for i in range(n):
            net.demand.append((o, d, round(peak * profile(i, n)), 0.5, i * INTERVAL,
                               (i + 1) * INTERVAL, (0.92, 0.08, 0, 0, 0), 1.0))
    net.save(folder, "corridor.master", 3600, 457, ["300 300 300 300 300", "0 0 0 0 0"],
             300, 300, {10: "corridor.u10", 11: "corridor.u11", 12: "corridor.u12"})
    # Lane targeting: class 1 (92 % of the traffic) is connected and gets lane
    # advice on the freeway links upstream of on-ramp A (km 0-3), cut into
    # 250-m segments; the curb lane's last 500 m before the merge at km 3 is
    # penalised, so connected drivers are steered out of it before the ramp.
    upstream = [by_name["Freeway km 0.0-2.0"]["n"], by_name["Freeway km 2.0-3.0"]["n"]]
    write(os.path.join(folder, "input", "ola.dat"), [
        "Corridor lane targeting: class 1 connected, km 0-3",
        # on, share, target class, roadside units, range m, lookback, range cv,
        # period ticks, speed cv, weight, curb-lane weight, lane-distance
        # weight, speed-change weight, classes 1-5, acceleration lanes, ramp
        # rate, segment m
        "1 0.92 1 0 500 0 0.0 10 0.05 0.5 0.0 0.05 0.0 1 0 0 0 0 0 0 250.0",
        "1 -0.3",
        "%d 1 2" % upstream[1],
        "Links that take part",
        str(len(upstream)),
    ] + [str(n) for n in upstream])
    write_corridor_harmonisation(folder, [k["n"] for k in net.links
                                          if k["name"].startswith("Freeway")],
                                 by_name["Freeway km 3.0-4.5"]["n"],
                                 by_name["Freeway km 4.5-6.0"]["n"])
    # Subnetwork trace around on-ramp B: the freeway link into the merge, the
    # ramp and the freeway link out of it (link, zone code, type code; a
    # negative type is traced and printed with its sign). Each vehicle that
    # leaves one of them gets a record in output/subnet.out.
    write(os.path.join(folder, "input", "subnet.dat"),
          ["Corridor: links around on-ramp B", "3", "5  3  1", "%d  3  2" % ramp_b, "6  3  -1"])
    write_corridor_eco_cruise(folder)
    write_builtin_vehicle_types(folder, "Corridor: the built-in vehicle types")
    between = [k["n"] for k in net.links if k["name"].startswith("Freeway")
               and 3.0 <= float(k["name"].split()[2].split("-")[0]) < 8.0]
    write_corridor_platooning(folder, between)


def write_corridor_eco_cruise(folder):
    """Eco cruise control for class 2, the connected vehicles: a cruise speed
    in 90-100 km/h, revised every 5 s over a 1000-m look-ahead, released to
    100 km/h when the gap to the leader falls below 30 m."""
    write(os.path.join(folder, "input", "input_eccs.dat"), [
        "Corridor eco cruise control: class 2",
        # records, on
        "1  1",
        # record, class, look-ahead m, interval s, target km/h, half band
        # km/h, spacing threshold m
        "1  2  1000.0  5  95.0  5.0  30.0"])


# The built-in vehicle types: name, kW, kg, m, share on the driven axle, drag
# coefficient, frontal area m2, driveline efficiency.
BUILTIN_TYPES = [
    ("DAZI Normal Vehicle", 119, 1900, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA LDV-1", 85, 1220, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA LDV-2", 82, 1196, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA LDV-3", 109, 1326, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA LDV-4", 79, 1116, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA LDV-5", 109, 1483, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA LDT-1", 106, 1706, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA LDT-2", 102, 1525, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA HE-1", 86, 1224, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA HE-2", 157, 1558, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA HE-3", 99, 1402, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("EPA HE-4", 85, 1262, 4.81, 0.58, 0.34, 2.73, 0.80),
    ("89 Chevrolet Corsica", 97, 1800, 4.66, 0.58, 0.34, 2.47, 0.80),
    ("94 Oldsmobile 88", 127, 1591, 5.22, 0.64, 0.31, 2.64, 0.80),
    ("94 Cutlass Supreme", 119, 1551, 4.92, 0.64, 0.36, 2.44, 0.80),
    ("95 Geo Prizm", 78, 1090, 4.39, 0.62, 0.34, 2.28, 0.80),
    ("93 Subaru Legacy", 97, 1315, 4.54, 0.56, 0.34, 2.30, 0.80),
    ("94 Mercury Villager", 113, 1823, 4.82, 0.50, 0.30, 3.21, 0.80),
    ("94 Jeep Grand Cherokee", 142, 1601, 4.55, 0.56, 0.45, 2.96, 0.80),
    ("94 Chevy Pickup", 142, 1823, 5.40, 0.60, 0.32, 3.62, 0.80),
    ("97 Toyota Celica", 97, 1315, 4.54, 0.55, 0.30, 2.30, 0.80),
    ("Light Truck (100lb/hp)", 336, 20411, 16.0, 0.35, 0.58, 10.7, 0.88),
    ("Average Truck (200lb/hp)", 261, 31751, 16.0, 0.35, 0.58, 10.7, 0.88),
    ("Heavy Truck (300lb/hp)", 261, 47626, 16.0, 0.35, 0.58, 10.7, 0.88),
    ("Bus", 336, 20411, 12.0, 0.40, 0.78, 10.7, 0.88),
]


def write_builtin_vehicle_types(folder, title):
    """"veh_parameters.dat" with the values the program has built in.

    Regression fuel model (energy model 0); every type petrol, friction 0.5,
    rolling resistance 1.75, 0.0328, 4.575, full throttle, the built-in
    electric-machine and battery values, no power-model coefficients.
    """
    lines = [title, "%d  0  0" % len(BUILTIN_TYPES)]
    for t, (_, kw, mass, length, axle, drag, area, eff) in enumerate(BUILTIN_TYPES, 1):
        lines.append("%d 1 %g %g %g 0.5 %g 80 %g %g %g  1.75 0.0328 4.575  1 1164 -0.75"
                     "  1 0.2 0.95 0  1 1 0 86.4 0.7  0 0 0 0"
                     % (t, mass, length, axle, kw, eff, drag, area))
    write(os.path.join(folder, "input", "veh_parameters.dat"), lines)


def write_corridor_platooning(folder, links):
    """Class 1 platoons in the curb lane (lane 1) of the given freeway links.

    Target time gap 0.6 s, standstill distance 6 m, gain 10 1/s, 10 % above
    the free speed allowed, 80 % of the dynamic limits used, a lane's first
    vehicle follows a platoon on its next link, lane flags apply, a pair up to
    1 s apart counts as a tight platoon.
    """
    write(os.path.join(folder, "input", "platoon.dat"),
          ["Corridor: class 1 platoons in lane 1 between on-ramp A and the off-ramp",
           "0.6 6.0 10.0 0.1 0.8 1 1 10000 1.0",
           str(len(links))] + ["%d  1 0 0 0 0 0 0 0" % l for l in links])


def write_corridor_harmonisation(folder, freeway, controlled, ahead):
    """Both speed harmonisations on the corridor's freeway links.

    Highway links: threshold 0.5 of the density at capacity, 30-s control
    period, middle zone 30 % of the link up to 300 m either side, measured on
    class 1, smoothing 0.5, fading 0.5, inflow gain 5; each freeway link feeds
    the next. Connected vehicles (class 2): 10-s interval, zone 30 % up to
    300 m, on the section before the merge at km 6 with the one after it as
    the link ahead, density band 0 to 50 % of jam density.
    """
    n = len(freeway)
    rows = [" ".join("1" if c == r + 1 else "0" for c in range(n)) for r in range(n)]
    write(os.path.join(folder, "input", "spd_highway.dat"),
          ["Corridor freeway links, each feeding the next",
           "%d 0.5 300 0.3 1 0.5 300 0.5 5" % n] + [str(l) for l in freeway] + rows)
    write(os.path.join(folder, "input", "input_SpdHarmHw.dat"),
          ["Corridor: before the merge at km 6",
           "1 10 0.3 300",
           "2 0.5 0.1 -0.1 0.1 1",
           "0.0 0.5",
           "1 01000",
           "%d %d" % (controlled, ahead)])


# The arterial's signal whose phases are chosen from its queues.
QUEUE_REWARD_SIGNAL = 3


def arterial_sample(folder):
    net = Net("Arterial: five coordinated signals, turning bays, stop-controlled side streets")
    # Signalised junctions 1001..1005 every 400 m; midblock T-junctions 1011
    # (north side street) and 1012 (south side street) between them.
    xs = [0.4 * i for i in range(5)]
    net.node(1, -0.4, 0.0, 1)
    net.node(2, 2.0, 0.0, 1)
    zone = 3
    cross = []
    for i, x in enumerate(xs):
        net.node(1001 + i, x, 0.0, 4)
        net.node(zone, x, 0.3, 1)
        net.node(zone + 1, x, -0.3, 1)
        cross.append((1001 + i, zone, zone + 1))
        zone += 2
    net.node(1011, 0.2, 0.0, 4)
    net.node(1012, 1.0, 0.0, 4)
    net.node(13, 0.2, 0.25, 1)
    net.node(14, 1.0, -0.25, 1)
    chain = [1, 1001, 1011, 1002, 1003, 1012, 1004, 1005, 2]
    # Through phase 1 (movements of slot 1, left turns permitted), protected
    # left phase 2 (slot 2 left turns only), side streets phase 3.
    def approach(a, b, name):
        sig = b - 1000 if 1001 <= b <= 1005 else 0
        if sig:
            # Two through lanes and a left-turn bay added on the left.
            net.link(a, b, 50, 1800, -3, name, control=sig, ph1=1, ph2=-2, spdcap=30)
        else:
            net.link(a, b, 50, 1800, 2, name, spdcap=30)
    for a, b in zip(chain, chain[1:]):
        approach(a, b, "Main St eastbound")
    rev = chain[::-1]
    for a, b in zip(rev, rev[1:]):
        approach(a, b, "Main St westbound")
    for j, zn, zs in cross:
        sig = j - 1000
        net.link(zn, j, 40, 1700, 1, "Cross St %d southbound" % sig, control=sig, ph1=3, spdcap=25)
        net.link(j, zn, 40, 1700, 1, "Cross St %d northbound exit" % sig, spdcap=25)
        net.link(zs, j, 40, 1700, 1, "Cross St %d northbound" % sig, control=sig, ph1=3, spdcap=25)
        net.link(j, zs, 40, 1700, 1, "Cross St %d southbound exit" % sig, spdcap=25)
    net.link(13, 1011, 30, 1500, 1, "Elm St stop", control=10001, spdcap=20)
    net.link(1011, 13, 30, 1500, 1, "Elm St exit", spdcap=20)
    net.link(14, 1012, 30, 1500, 1, "Oak St yield", control=10002, spdcap=20)
    net.link(1012, 14, 30, 1500, 1, "Oak St exit", spdcap=20)
    # 90-s cycle; offsets give an eastbound green wave at about 50 km/h.
    # Signals 1, 2, 4 and 5 in coordination cluster 1 with online offsets,
    # cycle and split optimisation each minute; signals 2 and 4 actuated, cars
    # calling one each and trucks two each, from the vehicles within 100 m of
    # the stop line. Signal 3 chooses its phases from its queues (below): no
    # cluster, no optimisation, offset 0.
    for i in range(5):
        queue_reward = i + 1 == QUEUE_REWARD_SIGNAL
        net.signals.append((i + 1, 90, 0 if queue_reward else (29 * i) % 90,
                            [(42, 4), (10, 3), (27, 4)]))
        net.signal_control[i + 1] = dict(
            actuation="12" if i + 1 in (2, 4) else "", cluster=0 if queue_reward else 1,
            phasopt=0 if queue_reward else 60,
            weights=(1, 2, 1, 1, 1), limits=[(10, 60, 3), (5, 15, 2), (8, 40, 3)])
    # A detector station 100 m before the stop line of each approach to
    # signal 3 (30-s polls, one record per lane), read by its phase choice.
    approaches = [k for k in net.links if k["b"] == 1000 + QUEUE_REWARD_SIGNAL]
    for d, k in enumerate(approaches, 1):
        net.stations.append((d, 10, k["n"], round(k["length"] - 0.1, 3), 0.005, 30))
    n = 3600 // INTERVAL
    pairs = [(1, 2, 700), (2, 1, 600)]
    sides = [z for _, zn, zs in cross for z in (zn, zs)]
    for z in sides:
        pairs += [(z, 2, 60), (z, 1, 50), (1, z, 40), (2, z, 40)]
    for a, b in zip(sides[0::2], sides[1::2]):
        pairs += [(a, b, 80), (b, a, 80)]
    pairs += [(13, 2, 60), (13, 1, 40), (14, 1, 60), (14, 2, 40), (1, 13, 30), (2, 14, 30)]
    for o, d, peak in pairs:
        for i in range(n):
            net.demand.append((o, d, round(peak * profile(i, n)), 0.5, i * INTERVAL,
                               (i + 1) * INTERVAL, (0.95, 0.05, 0, 0, 0), 1.0))
    net.save(folder, "arterial.master", 3600, 311, ["300 300 300 300 300", "0 0 0 0 0"],
             300, 300, {10: "arterial.u10", 11: "arterial.u11", 12: "arterial.u12",
                        14: "arterial.u14"})
    # Queue-reward phase choice at signal 3 every 10 s: one record with its
    # four approaches (two through lanes on Main St, the left-turn bay above
    # them; one lane on the cross street), three phases, threat points 1000,
    # weights 1, priority to the Main St through phase.
    through = [2 if k["lanes"] < 0 else abs(k["lanes"]) for k in approaches]
    write(os.path.join(folder, "input", "input_NBsig.dat"), [
        net.title + " queue-reward phase choice",
        "1  1",
        "1  %d  %d  %s  %s" % (QUEUE_REWARD_SIGNAL, len(approaches),
                               "  ".join(str(d) for d in range(1, len(approaches) + 1)),
                               "  ".join(str(h) for h in through)),
        "3  1000 1000 1000  1 1 1  10  1"])
    write_arterial_eco(folder, net)


def write_arterial_eco(folder, net):
    """Eco-driving for class 2 eastbound at signals 2 and 3, eco speed advice
    for class 2 westbound through signals 4 and 3."""
    def link(a, b):
        return next(k for k in net.links if k["a"] == a and k["b"] == b)
    # Eco-driving, model 1 (no queue estimate), advice every second: the
    # approaches to signals 2 and 3 (advice zones of 150 m and 300 m, free
    # speed again 100 m past the stop line, through phase 1) and the link
    # after signal 3, where class 2 regains free speed at a constant
    # acceleration over its first 100 m.
    records = [(link(1011, 1002), 1, 2, 150, 100),
               (link(1002, 1003), 1, 3, 300, 100),
               (link(1003, 1012), -2, 3, 100, 100)]
    lines = [net.title + " eco-driving", "%d  1" % len(records)]
    for i, (k, role, sig, dti, dtia) in enumerate(records, 1):
        lines.append("%d  %d  01000  %d  %d  1  %d  1 1 1 1 1  0  %d"
                     % (i, k["n"], role, sig, dti, dtia))
    write(os.path.join(folder, "input", "ecodrive.dat"), lines)
    # Eco speed advice without queue model, every second: the westbound link
    # into signal 4 sees signals 4 and 3 (400 m apart, 100 m to regain speed
    # after each); the link after signal 4 sees signal 3 at the end of the
    # next link (200 m on).
    two = link(1005, 1004)
    one = link(1004, 1012)
    beyond = link(1012, 1003)
    write(os.path.join(folder, "input", "ecaccms.dat"), [
        net.title + " eco speed advice",
        "2  1",
        "1  %d  01000  0  1  2   4 0 0 0 100 0   3 0 0 0 100 %d"
        % (two["n"], round(1000 * (one["length"] + beyond["length"]))),
        "2  %d  01000  %d  1  1   3 0 0 0 100 0" % (one["n"], round(1000 * beyond["length"]))])


def add_grid(net, n, spacing, lanes, cycle, zone_at, speed=50, surv=0):
    """n x n signalised grid of nodes 1001.. with zones given by zone_at(i, j);
    every link carries the surveillance code surv."""
    nid = lambda i, j: 1001 + i * n + j
    for i in range(n):
        for j in range(n):
            net.node(nid(i, j), j * spacing, i * spacing, 4)
    zones = {}
    for i in range(n):
        for j in range(n):
            z = zone_at(i, j)
            if z:
                zones[(i, j)] = z
                net.node(z, j * spacing + 0.1, i * spacing + 0.1, 1)
    sig = lambda i, j: i * n + j + 1
    green = (cycle - 8) // 2
    for i in range(n):
        for j in range(n):
            a = nid(i, j)
            for di, dj in ((0, 1), (0, -1), (1, 0), (-1, 0)):
                ii, jj = i + di, j + dj
                if 0 <= ii < n and 0 <= jj < n:
                    # East-west approaches run in phase 1, north-south in phase 2.
                    net.link(a, nid(ii, jj), speed, 1800, lanes, "Grid %d-%d" % (a, nid(ii, jj)),
                             control=sig(ii, jj), ph1=1 if di == 0 else 2, surv=surv)
            z = zones.get((i, j))
            if z:
                ew = j in (0, n - 1)
                net.link(z, a, 40, 1800, 1, "Zone %d in" % z, control=sig(i, j),
                         ph1=1 if ew else 2, length=0.2, surv=surv)
                net.link(a, z, 40, 1800, 1, "Zone %d out" % z, length=0.2, surv=surv)
    for i in range(n):
        for j in range(n):
            net.signals.append((sig(i, j), cycle, (7 * (i + j)) % cycle,
                                [(green, 4), (cycle - 8 - green, 4)]))
    return zones, nid


# Class shares of the grid sample's demand: 1 cars on periodic trees, 2
# trucks on the assignment's trees, 3 cars on trees rebuilt on measured times,
# 4 cars with their own forward search, 5 cars on the external trees.
SHARES = (0.4, 0.1, 0.3, 0.1, 0.1)


def write_external_trees(path, net, closed, period):
    """An external tree file (master slot 8 or 9): one period per set of closed
    links, one tree per period, from every zone and every link toward every
    zone along the free-flow shortest path, never through another zone and
    without U-turns."""
    zones = sorted(n for n, _, _, typ, _ in net.nodes if typ <= 3)
    is_zone = set(zones)
    maxdst = max(zones)
    links = net.links
    fft = {k["n"]: 3600.0 * k["length"] / abs(k["speed"]) for k in links}
    into = {}
    for k in links:
        into.setdefault(k["b"], []).append(k)
    lines = ["Grid: free-flow shortest paths, %d periods" % len(closed),
             "%d %d %d %d %d %d %d" % (len(closed), period, len(zones), max(zones), maxdst,
                                       len(links), len(links))]

    def entry(number, values):
        lines.append(" ".join(str(v) for v in [number] + values[:15]))
        for i in range(15, len(values), 15):
            lines.append(" ".join(str(v) for v in values[i:i + 15]))

    for p, shut in enumerate(closed, 1):
        nxt = {}  # (link, zone) -> next link, -1 at the zone
        for z in zones:
            cost = {}
            heap = []
            for k in into.get(z, []):
                if k["n"] not in shut:
                    cost[k["n"]] = fft[k["n"]]
                    nxt[(k["n"], z)] = -1
                    heapq.heappush(heap, (cost[k["n"]], k["n"]))
            while heap:
                c, n = heapq.heappop(heap)
                if c > cost[n]:
                    continue
                kn = links[n - 1]
                if kn["a"] in is_zone:
                    continue  # a trip leaves a zone, it never passes one
                for u in into.get(kn["a"], []):
                    if u["n"] in shut or u["a"] == kn["b"]:
                        continue
                    cu = c + fft[u["n"]]
                    if cu < cost.get(u["n"], float("inf")):
                        cost[u["n"]] = cu
                        nxt[(u["n"], z)] = n
                        heapq.heappush(heap, (cu, u["n"]))
        lines.append("%d 1" % p)
        lines.append("1 1.0")
        for o in zones:
            out = [k["n"] for k in links if k["a"] == o]
            entry(o, [next((l for l in out if (l, z) in nxt), 0) if z != o and z in is_zone
                      else 0 for z in range(1, maxdst + 1)])
        for k in links:
            entry(k["n"], [nxt.get((k["n"], z), 0) for z in range(1, maxdst + 1)])
    write(path, lines)


def grid_sample(folder):
    net = Net("Grid: 6 x 6 signalised grid, 20 zones, five classes, incident")
    n = 6
    border = [(i, j) for i in range(n) for j in range(n) if i in (0, n - 1) or j in (0, n - 1)]
    zone_of = {p: k + 1 for k, p in enumerate(border)}
    # Every link is surveyed for classes 3 and 4 (surveillance code 00110):
    # class 3's trees, rebuilt every 60 s, and class 4's own searches read the
    # measured link times, while class 1 keeps routing on free-flow times and
    # class 2 on the assignment's trees.
    zones, nid = add_grid(net, n, 0.5, 2, 60, lambda i, j: zone_of.get((i, j), 0), surv=110)
    # Incident: the right-hand lane of a central eastbound link of row 2
    # closed from 50 m after its start to 10 m before its stop line from
    # minute 3 to minute 35 (so that it has begun within short test runs).
    target = next(k for k in net.links if k["a"] == nid(2, 2) and k["b"] == nid(2, 3))
    net.incidents.append((target["n"], 0.05, 0.49, 180, 2100, 1))
    rng = random.Random(6)
    zl = sorted(zones.values())
    for o in zl:
        for d in zl:
            if o != d:
                for i in range(3600 // 900):
                    rate = round(rng.uniform(8, 20) * (0.8 + 0.4 * (i in (1, 2))), 1)
                    # Trips from zone 1 drive battery-electric cars (type 2).
                    # A quarter of the trips from zone 2 are probe class 3:
                    # a time-space record every second on slot 30.
                    net.demand.append((o, d, rate, 0.5, i * 900, (i + 1) * 900,
                                       SHARES, 1.0, 100.25 if o == 2 else 0,
                                       2 if o == 1 else 1))
    # A heavy west-east stream along row 2, from zone 9 to zone 10: its only
    # shortest path crosses the incident link, every detour is 1 km longer.
    # Its trips are probes (link records on slot 16), so the file shows, class
    # by class, who crossed the incident link and who went round. A second
    # stream from zone 7 (row 1) to zone 10 mostly joins row 2 before the
    # incident link, so the one lane left open there cannot carry both.
    west, east = zone_of[(2, 0)], zone_of[(2, n - 1)]
    net.demand.append((west, east, 600.0, 0.5, 0, 3600, SHARES, 1.0, 1))
    # The second stream drives plug-in hybrids (type 3), and a tenth of its
    # trips are probe class 2: a record of their speed, fuel, energy and
    # emissions every second on slot 16.
    net.demand.append((zone_of[(1, 0)], east, 300.0, 0.5, 0, 3600, SHARES, 1.0, 10, 3))
    # Two streams across the grid's diagonal carry the fuel-burning types
    # the other streams lack: full hybrids (type 4) one way and diesel
    # trucks (type 5) the other.
    sw, ne = zone_of[(n - 1, 0)], zone_of[(0, n - 1)]
    net.demand.append((sw, ne, 120.0, 0.5, 0, 3600, SHARES, 1.0, 0, 4))
    net.demand.append((ne, sw, 60.0, 0.5, 0, 3600, SHARES, 1.0, 0, 5))
    # Class 2 routes on the trees of the assignment before the run (method 5,
    # step search), one assignment per 900 s, written to output/assign.out.
    # Class 4 searches its own path at entry and every 60 s en route (method
    # 3) on the measured times of the links it surveys, with a 5 % perception
    # error; class 5 follows the external trees of slot 8 (method 6).
    route = ["2 5 2 3 6", "300 900 60 60 300", "0 0 60 60 0", "1 1 1 1 1", "20 20 20 20 20",
             "2 2 2 2 2", "1 1 1 1 1", "0 0 0.05 0.05 0"]
    divc = grid_intersection_control(net, n, nid, [(1, 2), (4, 3)])
    net.save(folder, "grid.master", 3600, 789, route, 300, 300,
             {8: "grid_trees.dat", 10: "grid.u10", 11: "grid.u11", 12: "grid.u12",
              13: "grid.u13", 14: "grid.u14", 16: "grid.u16", 19: "grid.u19",
              25: "grid.u25", 27: "grid.u27", 28: "summary.out", 30: "timespac.out",
              31: "assign.out"})
    write(os.path.join(folder, "input", "input_divc.dat"), divc)
    write_grid_vehicle_types(folder)
    # Two 1800-s periods of free-flow shortest paths; the second avoids the
    # incident link.
    write_external_trees(os.path.join(folder, "input", "grid_trees.dat"), net,
                         [set(), {target["n"]}], 1800)


def grid_intersection_control(net, n, nid, cells):
    """Puts the grid nodes at cells under distributed intersection control:
    their signals get four phases (east-west through and right, east-west
    left, north-south through and right, north-south left; the approach links
    run in both phases of their direction) and each is one intersection of
    "input_divc.dat" (legs west, south, east, north, so that the third
    departure of an approach is its left turn). Returns the file's lines."""
    records = []
    for i, j in cells:
        sn = i * n + j + 1
        node = nid(i, j)
        net.signals = [(k, c, o, [(18, 4), (6, 2), (18, 4), (6, 2)] if k == sn else p)
                       for k, c, o, p in net.signals]
        legs = [nid(i, j - 1), nid(i - 1, j), nid(i, j + 1), nid(i + 1, j)]
        approach, departure = [], []
        for leg in legs:
            into = next(k for k in net.links if k["a"] == leg and k["b"] == node)
            out = next(k for k in net.links if k["a"] == node and k["b"] == leg)
            east_west = net.node_xy[leg][1] == net.node_xy[node][1]
            into["ph1"], into["ph2"] = (1, 2) if east_west else (3, 4)
            approach.append(into["n"])
            departure.append(out["n"])
        # Clearing times: left turn 4 s, right turn 2 s, through 3 s; a
        # decision every 5 s.
        records.append("%d  %s  %s  4 2 3  5" % (sn, " ".join(map(str, approach)),
                                                  " ".join(map(str, departure))))
    return ["Grid: distributed control of two interior intersections",
            "%d 1 1" % len(records)] + records


# Types 1 to 5 of the grid sample under the power-based energy model: types 1
# to 3 with the built-in mechanics of types 1 to 3 (so the vehicles move as
# with the built-in table), engines petrol, battery electric and plug-in
# hybrid; type 4 a full hybrid, type 5 a 15-t diesel truck. Fields:
# type, engine, mass, length, axle share, adhesion, kW, motor kW, driveline
# efficiency, drag, frontal area, rolling coefficients (3), pedal, gr1, gr2,
# battery efficiency, SOC min, max and initial, motor efficiency,
# regeneration, electric buffer, battery kWh, auxiliary kW, fuel polynomial of
# wheel power (3) and the hybrid's fourth coefficient. A petrol or diesel
# engine's polynomial gives litres per second, a hybrid's (plug-in or full)
# millilitres per second, with its fourth coefficient per km/h: about
# 6 l/100 km for the petrol car, 4.4 for the hybrids on fuel and 24 for the
# truck cruising at 50 km/h.
GRID_TYPES = [
    (1, 1, 1900, 4.81, 0.58, 0.5, 119, 80, 0.80, 0.34, 2.73, 0.00035, 0.00010, 0.0000010, 0),
    (2, 3, 1220, 4.81, 0.58, 0.5, 85, 85, 0.80, 0.34, 2.73, 0, 0, 0, 0),
    (3, 4, 1196, 4.81, 0.58, 0.5, 82, 60, 0.80, 0.34, 2.73, 0.30, 0.09, 0.0010, 0.002),
    (4, 6, 1400, 4.81, 0.58, 0.5, 90, 50, 0.80, 0.30, 2.40, 0.30, 0.09, 0.0010, 0.002),
    (5, 2, 15000, 12.0, 0.45, 0.5, 250, 0, 0.85, 0.60, 8.00, 0.00080, 0.00008, 0.0000001, 0),
]


def write_grid_vehicle_types(folder):
    lines = ["Grid: petrol, battery-electric, plug-in hybrid, hybrid and diesel truck types",
             "%d  1  0" % len(GRID_TYPES)]
    for t, engine, mass, length, axle, adh, kw, motor, eff, drag, area, a0, a1, a2, a3 in GRID_TYPES:
        battery = 60.0 if engine == 3 else 12.0 if engine == 4 else 86.4
        lines.append("%d %d %g %g %g %g %g %g %g %g %g  1.75 0.0328 4.575  1 1164 -0.75"
                     "  0.95 0.2 0.95 0.9  0.9 0.6 0 %g 0.7  %g %g %g %g"
                     % (t, engine, mass, length, axle, adh, kw, motor, eff, drag, area, battery,
                        a0, a1, a2, a3))
    write(os.path.join(folder, "input", "veh_parameters.dat"), lines)


LAST_SPOTS = [0.0]


def corridor_bench(folder, vehicles, horizon):
    """Freeway with a zone pair every 10 km; trips four sections long."""
    km = 10.0
    sections = max(3, math.ceil(vehicles / (45 * km)))
    # Each section holds 3 lanes x 10 km x 130 veh/km plus two 0.4-km ramps.
    fit = int(VEHICLE_STORE * 0.98 / (3 * km * 130 + 2 * 0.4 * 130)) - 1
    sections = min(sections, fit)
    if sections > 400:
        raise SystemExit("corridor: %d vehicles need more zones than a run allows" % vehicles)
    net = Net("Bench corridor %d km" % (km * sections))
    for k in range(sections + 1):
        net.node(1001 + k, km * k, 0.0, 4)
        net.node(k + 1, km * k + 0.2, -0.3, 1)
    for k in range(sections):
        net.link(1001 + k, 1002 + k, 110, 2000, 3, "Freeway %d" % k, spdcap=80, jam=130)
    for k in range(sections + 1):
        net.link(k + 1, 1001 + k, 60, 1800, 1, "On %d" % k, spdcap=45, length=0.4)
        net.link(1001 + k, k + 1, 60, 1800, 1, "Off %d" % k, spdcap=45, length=0.4)
    span = min(4, sections)
    pairs = [(k + 1, min(k + span, sections) + 1) for k in range(sections)]
    hours = sum((d - o) * km / 100.0 for o, d in pairs)
    # Four trips share each section: 1400 veh/h each stays below what three lanes carry.
    rate = min(1400.0, vehicles / hours)
    for o, d in pairs:
        net.demand.append((o, d, round(rate, 1), 0.5, 0, horizon, (1, 0, 0, 0, 0), 1.0))
    LAST_SPOTS[0] = net.spots()
    net.save(folder, "bench.master", horizon, 101, ["600 600 600 600 600", "0 0 0 0 0"], 0, 0,
             {10: "bench.u10"})


def grid_bench(folder, vehicles, horizon, actuated=False):
    """Signalised grid with 1-km links and zones on every other node; with
    `actuated`, every signal actuated (class 1 calls) with online offset,
    cycle and split optimisation, the grid one coordination cluster."""
    n = max(3, math.ceil(math.sqrt(vehicles / 240.0)) + 1)
    # 4 n (n - 1) links of 2 lanes x 1 km x 140 veh/km and the zone connectors
    # must fit in the store.
    while n > 3 and 4 * n * (n - 1) * 2 * 140 * 1.08 > VEHICLE_STORE:
        n -= 1
    if n * n > 500 or 2 * n * (n - 1) * 2 + n * n > 4487:
        raise SystemExit("grid: %d vehicles need more signals or links than a run allows"
                         % vehicles)
    net = Net("Bench grid %d x %d" % (n, n))
    zone_of = {}
    for i in range(n):
        for j in range(n):
            if (i + j) % 2 == 0 and len(zone_of) < 410:
                zone_of[(i, j)] = len(zone_of) + 1
    zones, _ = add_grid(net, n, 1.0, 2, 60, lambda i, j: zone_of.get((i, j), 0))
    rng = random.Random(n)
    cells = sorted(zones.items(), key=lambda kv: kv[1])
    pairs = []
    for (i, j), z in cells:
        for _ in range(3):
            (di, dj), d = cells[rng.randrange(len(cells))]
            if d != z:
                pairs.append((z, d, abs(di - i) + abs(dj - j) + 0.4))
    hours = sum(km / 25.0 for _, _, km in pairs)  # signalised streets: about 25 km/h
    rate = min(500.0, vehicles / hours)
    for o, d, _ in pairs:
        net.demand.append((o, d, round(rate, 1), 0.5, 0, horizon, (1, 0, 0, 0, 0), 1.0))
    if actuated:
        for sn, cycle, _, phases in net.signals:
            net.signal_control[sn] = dict(actuation="1", cluster=1, phasopt=60,
                                          weights=(1, 1, 1, 1, 1),
                                          limits=[(5, cycle, 5)] * len(phases))
    LAST_SPOTS[0] = net.spots()
    net.save(folder, "bench.master", horizon, 202, ["600 600 600 600 600", "0 0 0 0 0"], 0, 0,
             {10: "bench.u10"})


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("kind", choices=["corridor-sample", "arterial-sample", "grid-sample",
                                    "corridor", "grid"])
    p.add_argument("folder")
    p.add_argument("--vehicles", type=int, default=1000,
                   help="target number of vehicles on the network (scalable kinds)")
    p.add_argument("--horizon", type=int, default=900, help="run length in s (scalable kinds)")
    p.add_argument("--actuated", action="store_true",
                   help="grid: every signal actuated and optimised online")
    p.add_argument("--empty", action="store_true",
                   help="same network with (almost) no demand: the memory baseline")
    a = p.parse_args()
    if a.kind == "corridor-sample":
        corridor_sample(a.folder)
    elif a.kind == "arterial-sample":
        arterial_sample(a.folder)
    elif a.kind == "grid-sample":
        grid_sample(a.folder)
    else:
        if a.kind == "corridor":
            corridor_bench(a.folder, a.vehicles, a.horizon)
        else:
            grid_bench(a.folder, a.vehicles, a.horizon, a.actuated)
        print("%s: %d vehicle spots of %d" % (a.folder, round(LAST_SPOTS[0]), VEHICLE_STORE))
        if a.empty:
            # One vehicle an hour keeps the demand file valid.
            path = os.path.join(a.folder, "input", "demand.dat")
            with open(path) as f:
                lines = f.read().splitlines()
            parts = lines[2].split()
            parts[3] = "1.0"
            write(path, [lines[0], "1  0  0  1.0", " ".join(parts)])


if __name__ == "__main__":
    main()
