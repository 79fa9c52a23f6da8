// Lane targeting over the corridor sample (4 minutes): with no connected class
// it changes nothing but its summary echo, and with class 1 connected it
// moves class 1 out of the penalised curb lane before the first merge.
#include "core/driver/driver.h"
#include "core/io/units.h"
#include "core/model/sim.h"
#include "core/model/step_probe.h"
#include "support/samples.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace velm {
namespace {

constexpr int  kSeconds = 240;
constexpr char kOla[] = "input/ola.dat";
constexpr int  kTakingPart[] = {2, 3}; // freeway km 0-2 and km 2-3
constexpr int  kPenalised = 3;         // curb lane's last 500 m before the merge

const std::vector<std::string> kOutputs = {"runerr.out",
                                           "moverr.out",
                                           "output/corridor.u10",
                                           "output/corridor.u11",
                                           "output/corridor.u12",
                                           "output/en-route.out",
                                           "output/detector.out",
                                           "interact/dettrig.trg",
                                           "interact/t0000001.det",
                                           "interact/t0000002.det",
                                           "interact/t0000003.det",
                                           "interact/t0000004.det"};

// Class-1 vehicle-seconds per lane of the taking-part links, sampled each second.
struct LaneShares : StepProbe {
    Sim*                               s = nullptr;
    std::map<int, std::array<long, 4>> per_link; // link -> lanes 1..3 (0 unused)
    void                               step(std::string_view name) override {
        if (name != "check_pause" || s->control.t10 % 10 != 0) return;
        for (const int l : kTakingPart)
            for (int i = 1; i <= s->link2.ntqu(l); ++i) {
                                              const int car = s->vehicle.big(s->link2.nbqu(l) + i);
                                              const int vid = s->vehindx.vehid(car);
                                              const int lane = s->oddat.vlan(vid, 1);
                                              if (s->oddat.vtyp(car) == 1 && lane >= 1 && lane <= 3) ++per_link[l][lane];
            }
    }
    double share(int l, int lane) const {
        const auto& a = per_link.at(l);
        return static_cast<double>(a[static_cast<std::size_t>(lane)]) /
               static_cast<double>(a[1] + a[2] + a[3]);
    }
};

struct CorridorRun {
    std::map<std::string, std::string> files;
    LaneShares                         shares;
    int                                errt1 = 0;
};

// The corridor with its "ola.dat" as given, replaced, or ("") removed.
CorridorRun run(const std::string* ola) {
    CorridorRun r;
    auto        s = support::sample_sim("corridor", kSeconds);
    if (ola == nullptr)
        s->units.remove(kOla);
    else if (!ola->empty())
        s->units.put_file(kOla, *ola);
    r.shares.s = s.get();
    s->probe = &r.shares;
    velmorantis(*s, 1);
    s->probe = nullptr;
    r.errt1 = s->errcount.errt1;
    for (const auto& f : kOutputs)
        if (s->units.exists(f)) r.files[f] = s->units.file_text(f);
    return r;
}

// The summary output without the lane-targeting echo (its line and the title line after it).
std::string without_echo(const std::string& summary) {
    std::string out;
    bool        skip_next = false;
    int         echoes = 0;
    for (const auto& line : support::lines_of(summary)) {
        if (skip_next) {
            skip_next = false;
            continue;
        }
        if (line.find("Open Lane targeting file:") != std::string::npos) {
            skip_next = true;
            ++echoes;
            continue;
        }
        out += line + "\n";
    }
    EXPECT_EQ(echoes, 1);
    return out;
}

// The first line where two texts part, for the failure message.
std::string first_difference(const std::string& a, const std::string& b) {
    const auto la = support::lines_of(a), lb = support::lines_of(b);
    for (std::size_t i = 0; i < std::max(la.size(), lb.size()); ++i) {
        const std::string x = i < la.size() ? la[i] : "<end>", y = i < lb.size() ? lb[i] : "<end>";
        if (x != y) return "line " + std::to_string(i + 1) + ":\n  " + x + "\n  " + y;
    }
    return "";
}

TEST(LaneTargetingCorridor, NoConnectedClassChangesNothingButTheEcho) {
    auto        s = support::sample_sim("corridor", kSeconds);
    std::string ola = s->units.file_text(kOla);
    ASSERT_FALSE(ola.empty()) << "the corridor sample has no " << kOla;
    const std::string connected = " 1 0 0 0 0 ";
    const auto        at = ola.find(connected);
    ASSERT_NE(at, std::string::npos);
    ola.replace(at, connected.size(), " 0 0 0 0 0 ");

    const CorridorRun plain = run(nullptr);
    const CorridorRun off = run(&ola);
    ASSERT_EQ(plain.errt1, 0);
    ASSERT_EQ(off.errt1, 0);
    ASSERT_EQ(plain.files.size(), off.files.size());
    for (const auto& [name, text] : plain.files) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(off.files.count(name));
        const std::string got =
            name == "output/corridor.u10" ? without_echo(off.files.at(name)) : off.files.at(name);
        EXPECT_TRUE(got == text) << first_difference(got, text);
    }
}

TEST(LaneTargetingCorridor, ConnectedClassLeavesThePenalisedCurbLane) {
    const std::string as_given;
    const CorridorRun plain = run(nullptr);
    const CorridorRun on = run(&as_given);
    ASSERT_EQ(on.errt1, 0);
    for (const int l : kTakingPart)
        for (int lane = 1; lane <= 3; ++lane) {
            RecordProperty("link" + std::to_string(l) + "_lane" + std::to_string(lane) + "_plain",
                           std::to_string(plain.shares.share(l, lane)));
            RecordProperty("link" + std::to_string(l) + "_lane" + std::to_string(lane) + "_on",
                           std::to_string(on.shares.share(l, lane)));
            std::printf("link %d lane %d class-1 share: %.3f without, %.3f with lane targeting\n",
                        l, lane, plain.shares.share(l, lane), on.shares.share(l, lane));
        }
    EXPECT_LT(on.shares.share(kPenalised, 1), plain.shares.share(kPenalised, 1));
    EXPECT_NE(on.files.at("output/corridor.u10"), plain.files.at("output/corridor.u10"));
}

} // namespace
} // namespace velm
