// Learned speed harmonisation at weaving sections: the controller file and
// its learned tables, the states, the decisions and the weaving cap.
#include "harmonisation_fixture.h"

#include "support/text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_control::HarmRun;

constexpr int kLink = 1; // controlled link; stations: 1 ramp, 2 weaving, 3 congestion, 4 cap

struct ShqlRun : HarmRun {
    ShqlRun() {
        link(kLink);
        link(2);
        link(3, 1);
        link(4);
        station(1, 3);
        station(2, 2);
        station(3, 4);
        station(4, kLink);
    }
    void read(const std::string& text) {
        s.units.put_file("input_shql.dat", text);
        rd_shql(s);
    }
    // One controller, interval 30 s, actions 2000..1000 by 100, exploiting from
    // `explore_until` s; state definition fmt; counted class 1.
    void controller(int fmt, int explore_until = 10000, int nstat = 12) {
        read("weaving\n1 " + std::to_string(fmt) + " " + std::to_string(nstat) +
             "\n1 1 2 3 1 1 725 30 1000 2000 100 1.0 " + std::to_string(explore_until) + " 4 1\n");
        ASSERT_EQ(s.shql.shql_enabled, 1) << log();
    }
    // A table file of controller 1 whose row a holds a + st / 100 in column st.
    static std::string table(int nstat) {
        std::ostringstream out;
        for (int a = 1; a <= kShqlMax; ++a) {
            out << 1;
            for (int st = 1; st <= nstat; ++st) out << ' ' << a + st / 100.0;
            out << '\n';
        }
        return out.str();
    }
    // Every number of a table file, row by row.
    std::vector<float> numbers(const char* file) const {
        std::vector<float> v;
        std::istringstream in(s.units.file_text(file));
        for (float x = 0.0f; in >> x;) v.push_back(x);
        return v;
    }
};

constexpr float kAbove = 1500.0f; // veh/h/lane at 30 km/h: 50 veh/km, critical is 25
constexpr float kSlow = 30.0f;

TEST(ShqlState, EachDefinitionFromTheStationsLastPolls) {
    struct Case {
        const char* what;
        int         fmt;
        float       ramp, ramp_v, cong, cong_v;
        int         by_class, other; // exit counts of the congestion link
        int         state;
    };
    for (const Case c : {
             Case{"1: ramp and congestion above critical", 1, kAbove, kSlow, kAbove, kSlow, 0, 0,
                  6},
             Case{"1: nothing above critical", 1, 500, 90, 500, 90, 0, 0, 1},
             Case{"2: no ramp flow", 2, 0, 0, 500, 90, 0, 0, 8},
             Case{"2: ramp equal to congestion", 2, 500, 90, 500, 90, 0, 0, 4},
             Case{"3: ramp 450, congestion below", 3, 450, 90, 500, 90, 0, 0, 5},
             Case{"3: ramp 450, congestion above", 3, 450, 90, kAbove, kSlow, 0, 0, 25},
             Case{"4: congestion below critical", 4, 0, 0, 500, 90, 5, 5, 1},
             Case{"4: no vehicle counted", 4, 0, 0, kAbove, kSlow, 0, 0, 12},
             Case{"4: share 0.5", 4, 0, 0, kAbove, kSlow, 5, 5, 7},
             Case{"4: share 1.0", 4, 0, 0, kAbove, kSlow, 3, 0, 12},
         }) {
        ShqlRun r;
        r.controller(c.fmt);
        r.poll(1, c.ramp, c.ramp_v);
        r.poll(2, 500.0f, 90.0f);
        r.poll(3, c.cong, c.cong_v);
        r.s.shql.flowvt(4, 1) = c.by_class;
        r.s.shql.flowvt(4, 2) = c.other;
        fun_shql(r.s, kLink, 300);
        EXPECT_EQ(r.s.shql.stat_pre(1), c.state) << c.what;
        if (c.fmt == 4) {
            EXPECT_EQ(r.s.shql.flowvt(4, 1), 0) << c.what; // counted afresh
        }
    }
}

TEST(ShqlDecision, ActionsRewardTiesAndTheFirstDecision) {
    ShqlRun r;
    r.controller(1);
    auto& q = r.s.shql;
    ASSERT_EQ(q.shql_an(1), 11);
    for (int a = 1; a <= 11; ++a) EXPECT_FLOAT_EQ(q.shql_act(1, a), 2100.0f - 100.0f * a) << a;

    float best = -1.0f;
    EXPECT_EQ(maxsearch(r.s, 1, 4, best), 1); // all equal: the lowest action
    q.shql_tab(1, 3, 4) = q.shql_tab(1, 5, 4) = 7.0f;
    EXPECT_EQ(maxsearch(r.s, 1, 4, best), 3);
    EXPECT_EQ(best, 7.0f);

    q.ql_gamma(1) = 0.0f;
    struct Case {
        float weave; // veh/h/lane at the weaving station (saturation 2000)
        float reward;
    };
    for (const Case c : {Case{1000.0f, 2.0f}, Case{2000.0f, 2000.0f}, Case{2500.0f, 2000.0f}}) {
        r.poll(2, c.weave, 60.0f);
        q.t_pre(1) = 0.0f;
        q.stat_pre(1) = 1;
        q.shql_ac(1) = 2;
        fun_shql(r.s, kLink, 0); // no decision at 0
        EXPECT_EQ(q.t_pre(1), 0.0f);
        fun_shql(r.s, kLink, 290); // 29 s is no multiple of 30
        EXPECT_EQ(q.t_pre(1), 0.0f);
        fun_shql(r.s, kLink, 300);
        EXPECT_FLOAT_EQ(q.shql_tab(1, 2, 1), c.reward) << c.weave;
        EXPECT_FLOAT_EQ(r.s.shql.flow_weave(kLink), q.shql_act(1, q.shql_ac(1)));
    }
    EXPECT_EQ(q.shql_ar(1, 2, 1), 3);
}

TEST(ShqlTables, ExploitingFromZeroWritesTheTablesBackUnchanged) {
    ShqlRun           r;
    const std::string tab = ShqlRun::table(12);
    r.s.units.put_file("shql_table.dat", tab);
    r.s.units.put_file("shql_ar.dat", tab);
    r.controller(1, 0);
    EXPECT_FLOAT_EQ(r.s.shql.shql_tab(1, 7, 3), 7.03f);
    EXPECT_EQ(r.s.shql.shql_ar(1, 7, 3), 7);
    const std::vector<float> before = r.numbers("shql_table.dat");
    r.poll(2, 1000.0f, 60.0f);
    fun_shql(r.s, kLink, 300);
    fun_shql(r.s, kLink, 600);
    EXPECT_EQ(r.numbers("shql_table.dat"), before);
    const std::vector<float> ar = r.numbers("shql_ar.dat");
    ASSERT_EQ(ar.size(), 100u * 13u);
    EXPECT_EQ(ar[6 * 13 + 3], 7.0f);         // row 7, column 3 truncated
    EXPECT_EQ(r.s.shql.shql_ar(1, 1, 1), 1); // never credited
}

// A learned table that stops early or holds a value beyond any learning is
// named with its file and line, counted, and leaves the strategy off: no
// half-read table is ever used.
TEST(ShqlTables, ADamagedTableIsNamedAndSwitchesTheStrategyOff) {
    const std::string whole = ShqlRun::table(12);
    std::string       huge = whole;
    huge.replace(huge.find(" 7.03"), 5, " 2147483647");
    struct Case {
        const char* what;
        const char* file;
        std::string text;
        const char* named; // in the error line
    } const cases[] = {
        {"half a table", "shql_table.dat", whole.substr(0, whole.size() / 2), "shql_table.dat"},
        {"a title line only", "shql_table.dat", "learned values\n", "shql_table.dat"},
        {"a visit count at the integer limit", "shql_ar.dat", huge, "shql_ar.dat"},
    };
    for (const auto& c : cases) {
        ShqlRun r;
        r.s.units.put_file("shql_table.dat", whole);
        r.s.units.put_file(c.file, c.text);
        r.read("weaving\n1 1 12\n1 1 2 3 1 1 725 30 1000 2000 100 1.0 10000 4 1\n");
        const std::string log = r.log();
        EXPECT_EQ(r.s.shql.shql_enabled, 0) << c.what;
        EXPECT_EQ(r.s.shql.flag_shql(kLink), 0) << c.what;
        EXPECT_NE(log.find(free_line(" Error", 636090, std::string(c.named) + " line")),
                  std::string::npos)
            << c.what << "\n"
            << log;
        EXPECT_NE(log.find("line"), std::string::npos) << c.what;
        EXPECT_EQ(r.s.errcount.numerr, 1) << c.what;
        EXPECT_EQ(r.s.shql.shql_tab(1, 1, 1), 0.0f) << c.what << ": nothing half-read is kept";
        shql_save(r.s);
        EXPECT_EQ(r.s.units.file_text(c.file), c.text) << c.what << ": nothing written";
    }
}

TEST(ShqlTables, ARunEndingWhileLearningWritesItsRowsTheSameEachTime) {
    std::string first;
    for (int run = 0; run < 2; ++run) {
        ShqlRun r;
        r.s.units.put_file("shql_table.dat", ShqlRun::table(12));
        r.controller(1);
        r.poll(2, 1000.0f, 60.0f);
        for (int t10 = 300; t10 <= 3000; t10 += 300) fun_shql(r.s, kLink, t10);
        EXPECT_EQ(r.s.units.file_text("shql_table.dat"), ShqlRun::table(12)); // untouched so far
        shql_save(r.s);                                                       // the end of the run
        const std::vector<float> v = r.numbers("shql_table.dat");
        ASSERT_EQ(v.size(), 100u * 13u);
        EXPECT_NE(r.s.units.file_text("shql_table.dat"), ShqlRun::table(12));
        EXPECT_EQ(r.numbers("shql_ar.dat").size(), 100u * 13u);
        if (run == 0) {
            first = r.s.units.file_text("shql_table.dat");
        } else {
            EXPECT_EQ(r.s.units.file_text("shql_table.dat"), first);
        }
    }
}

TEST(ShqlReader, RefusedFileLeavesTheStrategyOffWithItsError) {
    struct Case {
        const char* text;
        const char* code;
    };
    const std::string head = "w\n1 1 12\n";
    for (const Case c : {
             Case{"w\n1 1 0\n1 1 2 3 1 1 725 30 1000 2000 100 1 0 4 1\n", "636010"},
             Case{"w\n1 1 12\n1 1 2 3 1 1 725 30 1000 2000 100 1 0 4\n", "636020"},
             Case{"w\n1 1 12\n0 1 2 3 1 1 725 30 1000 2000 100 1 0 4 1\n", "636030"},
             Case{"w\n1 1 12\n1 1 0 3 1 1 725 30 1000 2000 100 1 0 4 1\n", "636040"},
             Case{"w\n1 1 12\n1 1 2 3 9 1 725 30 1000 2000 100 1 0 4 1\n", "636050"},
             Case{"w\n1 1 12\n1 1 2 3 1 1 725 30 1000 2000 100 1 0 4 6\n", "636060"},
             Case{"w\n1 1 12\n1 1 2 3 1 1 725 30 1000 2000 0 1 0 4 1\n", "636060"},
             Case{"w\n1 1 12\n1 1 2 3 1 1 725 0 1000 2000 100 1 0 4 1\n", "636060"},
         }) {
        ShqlRun r;
        r.read(c.text);
        EXPECT_EQ(r.s.shql.shql_enabled, 0) << c.code;
        EXPECT_EQ(r.s.shql.shql_fmt, 0) << c.code;
        EXPECT_EQ(r.s.shql.flag_shql(kLink), 0) << c.code;
        EXPECT_NE(r.log().find(c.code), std::string::npos) << c.code << "\n" << r.log();
        EXPECT_NE(r.summary().find("     - No Q-Learning speed harmonization file input"),
                  std::string::npos);
    }
    ShqlRun r; // a table row naming no controller is skipped
    r.s.units.put_file("shql_table.dat", "7 1 2 3 4 5 6 7 8 9 10 11 12\n" + ShqlRun::table(12));
    r.controller(1);
    EXPECT_NE(r.log().find("636070"), std::string::npos);
    EXPECT_FLOAT_EQ(r.s.shql.shql_tab(1, 2, 1), 1.01f); // rows shift by the skipped one
}

TEST(WeavingCap, OncePerMinuteFallsAtOnceRisesOneKmhAndFreeWhenEmpty) {
    ShqlRun r;
    r.controller(1);
    auto& q = r.s.shql;
    q.spd_weave(kLink) = 60.0f;
    q.flow_weave(kLink) = 1300.0f;
    r.poll(4, 1000.0f, 50.0f); // 20 veh/km/lane: target 65
    weave_cap(r.s, kLink, 0);
    EXPECT_FLOAT_EQ(q.spd_weave(kLink), 60.0f); // the guard starts at 0
    weave_cap(r.s, kLink, 590);
    EXPECT_FLOAT_EQ(q.spd_weave(kLink), 60.0f);
    weave_cap(r.s, kLink, 600);
    weave_cap(r.s, kLink, 600); // second vehicle of the tick
    EXPECT_FLOAT_EQ(q.spd_weave(kLink), 61.0f);
    weave_cap(r.s, kLink, 1200);
    EXPECT_FLOAT_EQ(q.spd_weave(kLink), 62.0f);
    q.flow_weave(kLink) = 1000.0f; // target 50
    weave_cap(r.s, kLink, 1800);
    EXPECT_FLOAT_EQ(q.spd_weave(kLink), 50.0f);
    r.poll(4, 0.0f, 0.0f);
    weave_cap(r.s, kLink, 2400);
    EXPECT_FLOAT_EQ(q.spd_weave(kLink), 100.0f);

    // Through the cap chain: every class capped.
    r.s.oddat.vtyp(1) = 3;
    LinkStrategies ls;
    strategy_caps_link(r.s, kLink, ls);
    q.spd_weave(kLink) = 42.0f;
    EXPECT_FLOAT_EQ(strategy_caps(r.s, ls, kLink, 1, 1, 90.0f, 90.0f, 2405), 42.0f);
    strategy_caps_link(r.s, 2, ls);
    EXPECT_FLOAT_EQ(strategy_caps(r.s, ls, 2, 1, 1, 90.0f, 90.0f, 2405), 90.0f);
}

} // namespace
} // namespace velm
