#pragma once
// A run state with in-memory files, an open run log and summary output, and a
// small zone system: zones 1..9 are origins and destinations, 10 a
// destination only, 11 an origin only, 12 an ordinary node.
#include "support/memory_run.h"

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace velm::testing {

// The shared in-memory run and text helpers, under the names these tests use.
using namespace velm::support;

class DemandSim : public MemoryRun {
  public:
    DemandSim() {
        for (int z = 1; z <= 9; ++z) s.graph1.ntyp(z) = 1;
        s.graph1.ntyp(10) = 2;
        s.graph1.ntyp(11) = 3;
        s.graph1.ntyp(12) = 4;
        s.set1.simtim1 = 3600;
        s.filenam.files(4) = "od.dat";
    }

    // The error codes written by the demand reader and checks, in order.
    std::vector<int> codes() const { return MemoryRun::codes(4); }

    // A record straight into the tables: cumulative shares all on class 1.
    void put_record(int n, int o, int d, float rate, float krand, float start, float end) {
        auto& od = s.oddat;
        od.o(n) = o;
        od.d(n) = d;
        od.numod(n) = rate;
        od.rand(n) = krand;
        od.demstr(n) = start;
        od.demend(n) = end;
        od.kvtyp(n, 1, 1) = 1.0f;
        for (int k = 1; k <= kClasses; ++k) {
            od.kvtyp(n, k, 2) = 1.0f;
            od.odcol(n, k) = 2;
        }
        od.veheq(n) = 1.0f;
        od.vehocc(n) = 1.0f;
        od.vehper1(n) = 1;
        od.maodp = std::max(od.maodp, n);
        od.lodp = od.maodp;
        od.fodp = 1;
        od.max_od_time = std::max(od.max_od_time, static_cast<int>(end));
    }
};

} // namespace velm::testing
