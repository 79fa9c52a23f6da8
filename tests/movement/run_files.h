#pragma once
// Input texts for end-to-end runs of small test networks: the master file
// (nodes, links, signals, demand and incidents in "input", reports in
// "output") and a demand file of steady flows.
#include <cstdio>
#include <string>
#include <vector>

namespace velm::testing_movement {

struct Flow {
    int   o, d;
    float rate; // veh/h
};

// One demand record per flow over 0..end s, class 1, random headways.
inline std::string demand_file(const std::vector<Flow>& flows, int end) {
    std::string out = "Test demand\n" + std::to_string(flows.size()) + "  0  0  1.0\n";
    int         n = 0;
    for (const auto& f : flows) {
        char line[160];
        std::snprintf(line, sizeof line, "%d  %d  %d  %.1f  -1  0  %d  1 0 0 0 0  0  1\n", ++n, f.o,
                      f.d, static_cast<double>(f.rate), end);
        out += line;
    }
    return out;
}

// A master file running `horizon` s (seed 123) with the summary output only.
inline std::string master_file(int horizon) {
    std::string m = "Test network\n" + std::to_string(horizon) + ".123  0  0  1  0\n";
    m += "input\\*   folder of the input files\noutput\\*  folder of the reports\n";
    m += "nodes.dat\nlinks.dat\nsignals.dat\ndemand.dat\nincidents.dat\n";
    m += "none\nnone\nnone\nnone\nsummary.u10\n";
    for (int k = 11; k <= 19; ++k) m += "none\n";
    return m;
}

} // namespace velm::testing_movement
