// Memory of one generated scenario (bench/netgen.py) through the whole
// program, split into what the trips cost and what the vehicles on the
// network cost. Prints one line:
//   trips rss_start_kb peak_vehicles rss_at_peak_kb bytes_per_vehicle
// rss_start is the resident memory at the first tick (every trip of the run
// generated, with its first path, none on the network yet); rss_at_peak the
// resident memory when the most vehicles were on the network; bytes per
// vehicle = (rss_at_peak - rss_start) / peak vehicles. Bytes per trip =
// (rss_start - rss_start of the same network without demand) / trips, from two
// runs (scripts/run-bench.sh). Run each scenario in a fresh process.
#include "core/driver/driver.h"
#include "core/model/sim.h"
#include "core/model/step_probe.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

long resident_kb() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class Sampler final : public velm::StepProbe {
  public:
    explicit Sampler(const velm::Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name != "moveveh") return;
        if (start_kb < 0) start_kb = resident_kb();
        if (s_.control.t10 % 10 != 0) return;
        if (s_.set1.tenr > peak) {
            peak = s_.set1.tenr;
            peak_kb = resident_kb();
        }
    }
    long start_kb = -1, peak = 0, peak_kb = 0;

  private:
    const velm::Sim& s_;
};

struct Figures {
    long trips = 0, start_kb = 0, peak = 0, peak_kb = 0;
};

bool run(const char* master, Figures& f) {
    auto s = std::make_unique<velm::Sim>();
    s->units.set_console([](std::string_view) {});
    Sampler sampler(*s);
    s->probe = &sampler;
    s->master.mastfile = master;
    velm::velmorantis(*s, 1);
    if (s->errcount.errt1 != 0) return false;
    f = {s->set2.tdemand, sampler.start_kb, sampler.peak, sampler.peak_kb};
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velm_bench_memory MASTER-FILE\n");
        return 2;
    }
    Figures f;
    if (!run(argv[1], f)) {
        std::fprintf(stderr, "run ended with fatal errors: see runerr.out\n");
        return 1;
    }
    const double per_vehicle = f.peak > 0 ? 1024.0 * static_cast<double>(f.peak_kb - f.start_kb) /
                                                static_cast<double>(f.peak)
                                          : 0.0;
    std::printf("%ld %ld %ld %ld %.0f\n", f.trips, f.start_kb, f.peak, f.peak_kb, per_vehicle);
    return 0;
}
