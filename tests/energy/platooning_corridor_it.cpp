// Cooperative platooning on the corridor sample: platoon vehicles in the curb
// lane keep their order, spacing and the free speed, and a platoon file that
// selects no class leaves every output but its own echo as a run without it.
#include "core/driver/driver.h"
#include "core/model/step_probe.h"

#include "support/lane_order.h"
#include "support/samples.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace velm {
namespace {

constexpr int kSeconds = 240;

// After each tick's movement, on every platooning lane of the listed links:
// the class-1 pairs following each other closer than 1 s (time gap over the
// law's standstill distance), and every vehicle's speed against the link's
// free speed (the highest it has had); before the sort step, the lane order
// of those links.
constexpr float kStandstill = 6.0f;  // m, the law's standstill distance
constexpr float kTight = 1.0f;       // s
constexpr float kSpeedSlack = 0.01f; // km/h

class PlatoonWatch : public StepProbe {
  public:
    explicit PlatoonWatch(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name == "srtque") {
            check_lane_order(s_, [this](const std::string& what) {
                if (order_faults++ == 0) first = "t=" + std::to_string(s_.control.t) + " " + what;
            });
            return;
        }
        if (name != "vehpos2") return;
        const auto& pl = s_.platoon;
        for (int i = 1; i <= pl.number_links; ++i) link(pl.link_ids_for_platoon(i));
    }
    int         pairs = 0, vehicle_ticks = 0, over_free = 0, order_faults = 0;
    float       top = 0.0f; // highest speed over the link's free speed, km/h
    std::string first, first_over;

  private:
    void link(int l) {
        const int base = s_.link2.nbqu(l);
        // A speed schedule may lower the free speed while vehicles drive above
        // the new one: the bound is the highest free speed the link has had.
        float& most = most_free_[l];
        most = std::max(most, s_.link1.spdvol(l, 7));
        const float uf = most;
        int         ahead = 0; // slot of the vehicle ahead in lane 1
        for (int i = 1; i <= s_.link2.ntqu(l); ++i) {
            const int car = s_.vehicle.big(base + i);
            const int vid = s_.vehindx.vehid(car);
            if (vid < 1 || s_.oddat.vlan(vid, 1) != 1) continue;
            const float kmh = s_.vehplot.spd(vid, 1);
            ++vehicle_ticks;
            top = std::max(top, kmh - uf);
            if (kmh > uf + kSpeedSlack && over_free++ == 0)
                first_over = "t=" + std::to_string(s_.control.t10 / 10.0) + " trip " +
                             std::to_string(car) + " class " + std::to_string(s_.oddat.vtyp(car)) +
                             " at " + std::to_string(kmh) + " km/h on link " + std::to_string(l) +
                             " (free speed " + std::to_string(uf) + ")";
            if (ahead > 0 && s_.oddat.vtyp(car) == 1 &&
                s_.oddat.vtyp(s_.vehindx.vehrid(ahead)) == 1) {
                const float v = kmh / 3.6f;
                const float spacing = s_.vehplot.dis(ahead, 1) - s_.vehplot.dis(vid, 1);
                if (v > 0.0f && (spacing - kStandstill) / v <= kTight) ++pairs;
            }
            ahead = vid;
        }
    }
    Sim&                 s_;
    std::map<int, float> most_free_;
};

// The platoon speed only ever lowers what car following and the caps allow:
// in the curb lane of the platooning links no vehicle passes or closes on the
// one ahead, none drives above the link's free speed, and class-1 pairs
// close to the law's time gap are rare (car following holds wider gaps).
// When the platoon speed replaced the car-following speed, a lone vehicle
// kept its entry speed and followers were driven up to 10 % above the free
// speed and through slower vehicles.
TEST(CorridorPlatoons, PlatoonVehiclesKeepOrderSpacingAndTheFreeSpeed) {
    auto s = support::sample_sim("corridor", kSeconds);
    ASSERT_NE(s->units.file_text("input/platoon.dat").find("0.6 6.0 10.0"), std::string::npos)
        << "the corridor's platoon settings changed: review the checks below";
    PlatoonWatch w(*s);
    s->probe = &w;
    velmorantis(*s, 1);
    s->probe = nullptr;
    ASSERT_EQ(s->errcount.errt1, 0);
    ASSERT_EQ(s->platoon.number_links, 0) << "released at the end of the run";
    ASSERT_GT(w.vehicle_ticks, 5000) << "too few curb-lane vehicles in " << kSeconds << " s";
    RecordProperty("tight_pair_ticks", w.pairs);
    EXPECT_EQ(w.order_faults, 0) << w.first;
    EXPECT_EQ(w.over_free, 0) << "up to " << w.top << " km/h above the free speed; first "
                              << w.first_over;
}

// The output files of a corridor run, by name (those the signature list names).
std::map<std::string, std::string> outputs(Sim& s) {
    std::map<std::string, std::string> out;
    std::ifstream in(std::filesystem::path(VELM_SOURCE_DIR) / "tests" / "scenario" /
                     "signatures.txt");
    std::string   line;
    while (std::getline(in, line)) {
        if (line.rfind("corridor/", 0) != 0) continue;
        const std::string name = line.substr(9, line.find(' ') - 9);
        out[name] = s.units.file_text(name);
    }
    return out;
}

TEST(CorridorPlatoons, NoPlatooningClassChangesNothingButTheEcho) {
    auto        with = support::sample_sim("corridor", kSeconds);
    std::string file = with->units.file_text("input/platoon.dat");
    const auto  code = file.find(" 10000 ");
    ASSERT_NE(code, std::string::npos);
    file.replace(code, 7, " 00000 ");
    with->units.put_file("input/platoon.dat", file);
    velmorantis(*with, 1);
    ASSERT_EQ(with->platoon.target_veh_class_2, (std::array<int, kClasses + 1>{}));

    auto without = support::sample_sim("corridor", kSeconds);
    ASSERT_TRUE(without->units.remove("input/platoon.dat"));
    velmorantis(*without, 1);

    auto       a = outputs(*with);
    const auto b = outputs(*without);
    ASSERT_GT(a.size(), 5u);
    // The echo: what the reader writes besides its two checking lines.
    std::string& u10 = a.at("output/corridor.u10");
    int          echo = 0;
    for (const char* line : {"      Reading Platoon File\n", "      - Platoon File:"}) {
        const auto at = u10.find(line);
        ASSERT_NE(at, std::string::npos) << line;
        u10.erase(at, u10.find('\n', at) + 1 - at);
        ++echo;
    }
    EXPECT_EQ(echo, 2);
    for (const auto& [name, text] : b) EXPECT_TRUE(a.at(name) == text) << name << " differs";
}

} // namespace
} // namespace velm
