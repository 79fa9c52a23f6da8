// One benchmark scenario: runs a master file in the working directory with the
// console program's core and prints one line of figures for the harness
// (scripts/run-bench.sh):
//   mean_vehicles peak_vehicles ticks cpu_seconds peak_rss_kb
// Vehicles on the network are sampled once per simulated second; CPU time and
// peak resident memory come from getrusage.
#include "core/driver/driver.h"
#include "core/model/sim.h"
#include "core/model/step_probe.h"

#include <cstdio>
#include <memory>
#include <string>
#include <sys/resource.h>

namespace {

class Counter final : public velm::StepProbe {
  public:
    explicit Counter(const velm::Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name != "moveveh") return;
        ++ticks;
        if (s_.control.t10 % 10 != 0) return;
        ++seconds;
        sum += s_.set1.tenr;
        if (s_.set1.tenr > peak) peak = s_.set1.tenr;
    }
    long   ticks = 0, seconds = 0, peak = 0;
    double sum = 0;

  private:
    const velm::Sim& s_;
};

double cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velm_bench_scenario MASTER-FILE\n");
        return 2;
    }
    auto s = std::make_unique<velm::Sim>();
    s->units.set_console([](std::string_view) {});
    Counter counter(*s);
    s->probe = &counter;
    s->master.mastfile = argv[1];
    const double start = cpu_seconds();
    velm::velmorantis(*s, 1);
    const double cpu = cpu_seconds() - start;
    rusage       u{};
    getrusage(RUSAGE_SELF, &u);
    if (s->errcount.errt1 != 0) {
        std::fprintf(stderr, "run ended with fatal errors: see runerr.out\n");
        return 1;
    }
    const double mean =
        counter.seconds > 0 ? counter.sum / static_cast<double>(counter.seconds) : 0;
    std::printf("%.0f %ld %ld %.2f %ld\n", mean, counter.peak, counter.ticks, cpu, u.ru_maxrss);
    return 0;
}
