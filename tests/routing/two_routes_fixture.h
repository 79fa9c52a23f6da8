#pragma once
// Whole runs on the two-route network of tests/data/rebuild: zone 1 to zone 2
// over a direct road (link 2) or a detour (links 4 and 5), with a probe that
// records which road each trip took.
#include "core/driver/driver.h"
#include "core/model/sim.h"
#include "core/model/step_probe.h"
#include "support/text.h"

#include <map>
#include <string>
#include <string_view>

namespace velm::testing_routing {

inline constexpr int kDirectRoad = 2; // the direct road
inline constexpr int kDetourRoad = 4; // first link of the detour

inline std::string two_routes_file(const std::string& name) {
    return support::data_file("rebuild", name);
}

// A master file of format code `eqtr` with the given route-choice lines, the
// network's five input files and the summary output on slot 10.
inline std::string two_routes_master(const std::string& title, int eqtr, const std::string& route) {
    std::string m = title + "\n1800.123  0  0  " + std::to_string(eqtr) + "  0\n" + route;
    m += "input\\*   folder of the input files\noutput\\*  folder of the reports\n";
    m += "nodes.dat\nlinks.dat\nsignals.dat\ndemand.dat\nincidents.dat\n";
    m += "none\nnone\nnone\nnone\nsummary.u10\n";
    for (int k = 11; k <= 19; ++k) m += "none\n";
    return m;
}

// Which of the two roads each trip took.
class RouteWatch : public StepProbe {
  public:
    explicit RouteWatch(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name != "moveveh") return;
        for (const int l : {kDirectRoad, kDetourRoad})
            for (int i = 1; i <= s_.link2.ntqu(l); ++i)
                road[s_.vehicle.big(s_.link2.nbqu(l) + i)] = l;
    }
    std::map<int, int> road; // trip -> link

  private:
    Sim& s_;
};

// Runs the master text on the network files in memory, with `links`,
// `demand` and `incidents` in place of the fixture's own when not empty.
inline void run_two_routes(Sim& s, RouteWatch& watch, const std::string& master,
                           const std::string& links, const std::string& demand,
                           const std::string& incidents) {
    s.units.use_memory_files();
    s.units.set_console([](std::string_view) {});
    s.units.put_file("test.master", master);
    s.units.put_file("input/nodes.dat", two_routes_file("nodes.dat"));
    s.units.put_file("input/signals.dat", two_routes_file("signals.dat"));
    s.units.put_file("input/links.dat", links.empty() ? two_routes_file("links.dat") : links);
    s.units.put_file("input/demand.dat", demand);
    s.units.put_file("input/incidents.dat",
                     incidents.empty() ? two_routes_file("incidents.dat") : incidents);
    s.master.mastfile = "test.master";
    s.probe = &watch;
    velmorantis(s, 1);
}

} // namespace velm::testing_routing
