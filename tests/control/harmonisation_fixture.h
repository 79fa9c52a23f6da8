#pragma once
// Links with the usual speed-flow curve and detector stations whose last poll
// the tests set, for the speed-harmonisation controllers.
#include "core/control/control.h"
#include "core/control/speed_harmonisation.h"
#include "core/movement/speed_caps.h"
#include "support/memory_run.h"

#include <algorithm>
#include <initializer_list>

namespace velm::testing_control {

struct HarmRun : support::MemoryRun {
    // Link l of `lanes` lanes with free speed vf, speed at capacity vc,
    // capacity qc per lane and jam density kj; 1 km long.
    void link(int l, int lanes = 2, float vf = 100.0f, float vc = 80.0f, float qc = 2000.0f,
              float kj = 120.0f) {
        auto& l1 = s.link1;
        s.link4.llength(l) = 1.0f;
        s.link2.mlnum = std::max(s.link2.mlnum, l);
        l1.nulans(l) = lanes;
        const double dvf = vf, dvc = vc, dkj = kj, dqc = qc;
        const double m = (2.0 * dvc - dvf) / ((dvf - dvc) * (dvf - dvc));
        const double c2 = 1.0 / (dkj * (1.0 / dvf + m));
        const double c1 = m * c2;
        const double c3 = ((dvc / dqc - c1) - c2 / (dvf - dvc)) / dvc;
        l1.spdvol(l, 1) = static_cast<float>(c1);
        l1.spdvol(l, 2) = static_cast<float>(c2);
        l1.spdvol(l, 3) = static_cast<float>(c3);
        l1.spdvol(l, 4) = vc;
        l1.spdvol(l, 5) = kj;
        l1.spdvol(l, 6) = qc;
        l1.spdvol(l, 7) = vf;
    }
    // Active station d on link l polled every `poll` s.
    void station(int d, int l, int poll = 1) {
        auto& dl = s.detloc;
        dl.dettyp(d) = 1;
        dl.detlink(d) = l;
        dl.dettim(d) = poll;
        dl.mdetloc = std::max(dl.mdetloc, d);
    }
    // Last poll of station d: every lane of its link at flow q veh/h and speed v.
    void poll(int d, float q, float v) {
        auto&     dl = s.detloc;
        const int lanes = std::abs(s.link1.nulans(dl.detlink(d)));
        for (int m = 1; m <= lanes; ++m) {
            dl.lndt(d, 2, 1, m) = q;
            dl.lndt(d, 2, 2, m) = v;
        }
        dl.detvol(d, 2) = static_cast<int>(q * static_cast<float>(lanes));
        dl.detspd(d, 2) = v;
        dl.detocc(d, 2) = q > 0.0f ? 1000 : 0;
    }
};

} // namespace velm::testing_control
