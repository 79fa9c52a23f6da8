// Cooperative platooning set-up: the reader of "platoon.dat" (classes, lanes,
// settings, what it writes), the switch-off without "veh_parameters.dat", bad
// files and records, the link-membership test and the work tables' lifetime.
#include "core/energy/energy.h"
#include "core/energy/platoon.h"

#include "support/memory_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using support::lines_of;

constexpr const char* kSettings = "0.8 7.0 5.0 0.2 0.9 1 1 11000 1.5\n";

struct Setup : ::testing::Test {
    support::MemoryRun run;
    std::string        console;

    Setup() {
        run.s.link2.mlnum = 20;
        run.s.units.set_console([this](std::string_view t) {
            console.append(t);
            console.push_back('\n');
        });
        run.s.units.put_file("veh_parameters.dat", "types\n");
    }
    // Reads a platoon file of the given settings line, count and records.
    void read(const std::string& settings, const std::string& count,
              const std::vector<std::string>& records) {
        std::string text = "Platoons on the test links\n" + settings + count + "\n";
        for (const auto& r : records) text += r + "\n";
        run.s.units.put_file("platoon.dat", text);
        platoon_activation(run.s);
    }
    const mod_platoon& pl() const { return run.s.platoon; }
    int                member(int l) {
                       int res = -1;
                       link_tobe_platooned(run.s, l, res);
                       return res;
    }
    std::vector<int> lanes(int l) const {
        std::vector<int> out;
        for (int k = 1; k <= kPlatoonLanes; ++k) out.push_back(pl().platooning_on_lanes_flag(l, k));
        return out;
    }
    int errors_711210() const {
        int n = 0;
        for (const auto& line : lines_of(run.log()))
            if (line.find("platoon.dat Error") != std::string::npos &&
                line.find("711210") != std::string::npos)
                ++n;
        return n;
    }
};

TEST_F(Setup, ClassCodeDigitsSelectClassesLeftToRight) {
    const struct {
        const char* code;
        int         want[kClasses];
    } cases[] = {{"11000", {1, 1, 0, 0, 0}},
                 {"1", {0, 0, 0, 0, 1}},
                 {"0", {0, 0, 0, 0, 0}},
                 {"10101", {1, 0, 1, 0, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        console.clear();
        read(std::string("0.6 6 10 0.1 0.8 0 1 ") + c.code + " 1.0\n", "1", {"3 1 0 0 0 0 0 0 0"});
        EXPECT_EQ(pl().platoon_activation_flag, 1);
        for (int k = 1; k <= kClasses; ++k) {
            EXPECT_EQ(pl().target_veh_class_2[static_cast<std::size_t>(k)], c.want[k - 1]) << k;
            EXPECT_NE(console.find(
                          free_line("platooning class " + std::to_string(k) + ":", c.want[k - 1])),
                      std::string::npos)
                << k;
        }
    }
}

TEST_F(Setup, LaneFlagsApplyOnlyUnderTheLanesFlag) {
    const std::vector<int> lane1{1, 0, 0, 0, 0, 0, 0, 0}, all(kPlatoonLanes, 1),
        none(kPlatoonLanes, 0);
    read("0.6 6 10 0.1 0.8 0 0 10000 1.0\n", "1", {"3 1 0 0 0 0 0 0 0"});
    EXPECT_EQ(lanes(3), all);
    read("0.6 6 10 0.1 0.8 0 1 10000 1.0\n", "1", {"3 1 0 0 0 0 0 0 0"});
    EXPECT_EQ(lanes(3), lane1);
    EXPECT_EQ(lanes(4), none); // flags of an earlier read are gone
    // A link listed twice: the second record's flags; the list holds it twice.
    read("0.6 6 10 0.1 0.8 0 1 10000 1.0\n", "2", {"3 1 0 0 0 0 0 0 0", "3 0 1 1 0 0 0 0 0"});
    EXPECT_EQ(lanes(3), (std::vector<int>{0, 1, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pl().number_links, 2);
    EXPECT_EQ(member(3), 1);
    EXPECT_EQ(member(4), 0);
}

TEST_F(Setup, EmptyListPlatoonsNoLink) {
    read(kSettings, "0", {});
    EXPECT_EQ(pl().platoon_activation_flag, 1);
    for (int l : {1, 3, 20}) EXPECT_EQ(member(l), 0) << l;
}

TEST_F(Setup, SettingsAndWhatTheReaderWrites) {
    read(kSettings, "2", {"3 1 0 0 0 0 0 0 0", "7 1 1 0 0 0 0 0 0"});
    const auto& p = pl();
    EXPECT_FLOAT_EQ(p.target_t_hat, 0.8f);
    EXPECT_FLOAT_EQ(p.sj, 7.0f);
    EXPECT_FLOAT_EQ(p.lambda, 5.0f);
    EXPECT_FLOAT_EQ(p.epsilon_factor, 0.2f);
    EXPECT_FLOAT_EQ(p.reduction_factor, 0.9f);
    EXPECT_EQ(p.next_link_flag, 1);
    EXPECT_EQ(p.lanes_flag, 1);
    EXPECT_FLOAT_EQ(p.t_hat_threshold, 1.5f);
    EXPECT_EQ(p.link_ids_for_platoon(1), 3);
    EXPECT_EQ(p.link_ids_for_platoon(2), 7);
    EXPECT_EQ(
        lines_of(run.summary()),
        (std::vector<std::string>{" Checking the platoon.dat", "      Reading Platoon File",
                                  free_line("     - Platoon File:", "Platoons on the test links"),
                                  " Checking the veh_parameters.dat"}));
    EXPECT_NE(console.find(free_line("Target t^ = ", 0.8f)), std::string::npos);
    EXPECT_EQ(run.s.errcount.numerr, 0);
}

TEST_F(Setup, WithoutItsFilesPlatooningStaysOff) {
    // No "platoon.dat": the two checking lines only, and the built-in settings.
    platoon_activation(run.s);
    EXPECT_EQ(pl().platoon_activation_flag, 0);
    EXPECT_FLOAT_EQ(pl().target_t_hat, 0.6f);
    EXPECT_FLOAT_EQ(pl().epsilon_factor, 0.1f);
    EXPECT_EQ(lines_of(run.summary()),
              (std::vector<std::string>{" Checking the platoon.dat",
                                        " Checking the veh_parameters.dat"}));
    // "platoon.dat" without "veh_parameters.dat": off, and the console says so.
    run.s.units.remove("veh_parameters.dat");
    read(kSettings, "1", {"3 1 0 0 0 0 0 0 0"});
    EXPECT_EQ(pl().platoon_activation_flag, 0);
    EXPECT_NE(console.find(" File veh_parameters.dat is unavailable to read veh Parameters ... "
                           "Platooning deactivated."),
              std::string::npos);
}

TEST_F(Setup, BadFilesAndRecordsGiveTheirCode) {
    const struct {
        const char*              label;
        std::string              settings, count;
        std::vector<std::string> records;
        int                      flag;  // platooning on afterwards
        int                      links; // links kept
    } cases[] = {
        {"settings line short", "0.6 6 10 0.1 0.8 0 1\n", "1", {"3 1 0 0 0 0 0 0 0"}, 0, 0},
        {"class code not whole", "0.6 6 10 0.1 0.8 0 1 1.5e4 1.0\n", "1", {"3 1"}, 0, 0},
        {"target time gap 0", "0 6 10 0.1 0.8 0 1 10000 1.0\n", "1", {"3 1 0 0 0 0 0 0 0"}, 0, 0},
        {"count negative", kSettings, "-2", {}, 0, 0},
        {"record with too few values", kSettings, "2", {"3 1 0 0 0 0 0 0 0", "4 1 0"}, 0, 0},
        {"records missing", kSettings, "3", {"3 1 0 0 0 0 0 0 0"}, 0, 0},
        {"link 5000 skipped", kSettings, "2", {"5000 1 0 0 0 0 0 0 0", "4 1 0 0 0 0 0 0 0"}, 1, 1},
        {"link 0 skipped", kSettings, "2", {"0 1 0 0 0 0 0 0 0", "4 1 0 0 0 0 0 0 0"}, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const int lines_before = errors_711210(), count_before = run.s.errcount.numerr;
        read(c.settings, c.count, c.records);
        EXPECT_EQ(errors_711210() - lines_before, 1);
        EXPECT_EQ(run.s.errcount.numerr - count_before, 1);
        EXPECT_EQ(pl().platoon_activation_flag, c.flag);
        EXPECT_EQ(pl().number_links, c.links);
        int listed = 0;
        link_tobe_platooned(run.s, 4, listed);
        EXPECT_EQ(listed, c.links);
        // Nothing stops the run: the vehicle parameter check still follows.
        EXPECT_NE(lines_of(run.summary()).back().find("Checking the veh_parameters.dat"),
                  std::string::npos);
    }
}

TEST_F(Setup, MoreThanAThousandLinksKeepTheFirstThousand) {
    std::vector<std::string> records;
    for (int i = 1; i <= kPlatoonLinks + 2; ++i)
        records.push_back(std::to_string(i) + " 1 0 0 0 0 0 0 0");
    read(kSettings, std::to_string(kPlatoonLinks + 2), records);
    EXPECT_EQ(errors_711210(), 1);
    EXPECT_EQ(pl().platoon_activation_flag, 1);
    EXPECT_EQ(pl().number_links, kPlatoonLinks);
    EXPECT_EQ(member(kPlatoonLinks), 1);
    EXPECT_EQ(member(kPlatoonLinks + 1), 0);
}

TEST_F(Setup, WorkTablesLiveFromInitToEnd) {
    read(kSettings, "1", {"3 1 0 0 0 0 0 0 0"});
    init_platoon(run.s);
    init_cd_platooning_data(run.s);
    EXPECT_EQ(pl().respective_table_length.hi(), kPlatoonLanes);
    EXPECT_EQ(pl().vehicle_ids_per_lane.hi2(), kPlatoonLaneVehicles);
    EXPECT_EQ(pl().vehicle_data_platoon_per_lane.hi1(), 2 * kPlatoonLanes);
    end_platoon(run.s);
    EXPECT_EQ(pl().respective_table_length.hi(), 0);
    EXPECT_EQ(pl().vehicle_ids_per_lane.hi1(), 0);
    EXPECT_EQ(pl().vehicle_acc_per_lane_flag.hi1(), 0);
    EXPECT_EQ(pl().vehicle_data_per_lane.hi1(), 0);
    EXPECT_EQ(pl().vehicle_data_platoon_per_lane.hi1(), 0);
    EXPECT_EQ(pl().link_ids_for_platoon.hi(), 0);
    EXPECT_EQ(pl().platooning_on_lanes_flag.hi1(), 0);
    EXPECT_EQ(member(3), 0);
}

} // namespace
} // namespace velm
