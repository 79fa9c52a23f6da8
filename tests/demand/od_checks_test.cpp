#include "core/demand/demand.h"
#include "demand_fixture.h"

#include <functional>
#include <gtest/gtest.h>

namespace velm {
namespace {

using testing::contains;
using testing::DemandSim;

// One valid record 1 (zone 1 to 2, 0..1800 s of a 3600-s run), then a change.
struct Case {
    const char*                     what;
    std::function<void(DemandSim&)> change;
    std::vector<int>                codes;
    int                             errt1;
};

TEST(OdChecks, BoundariesOfEachCheck) {
    const Case cases[] = {
        {"valid", [](DemandSim&) {}, {}, 0},
        {"Krand 1", [](DemandSim& t) { t.s.oddat.rand(1) = 1.0f; }, {}, 0},
        {"Krand -1", [](DemandSim& t) { t.s.oddat.rand(1) = -1.0f; }, {}, 0},
        {"Krand 1.01", [](DemandSim& t) { t.s.oddat.rand(1) = 1.01f; }, {142100}, 1},
        {"shares 0.99995", [](DemandSim& t) { t.s.oddat.kvtyp(1, 5, 2) = 0.99995f; }, {}, 0},
        {"shares 0.9998", [](DemandSim& t) { t.s.oddat.kvtyp(1, 5, 2) = 0.9998f; }, {142120}, 1},
        {"PCU 0.5", [](DemandSim& t) { t.s.oddat.veheq(1) = 0.5f; }, {}, 0},
        {"PCU 10", [](DemandSim& t) { t.s.oddat.veheq(1) = 10.0f; }, {}, 0},
        {"PCU -2", [](DemandSim& t) { t.s.oddat.veheq(1) = -2.0f; }, {}, 0},
        {"PCU 0.4", [](DemandSim& t) { t.s.oddat.veheq(1) = 0.4f; }, {142410}, 1},
        {"PCU 10.5", [](DemandSim& t) { t.s.oddat.veheq(1) = 10.5f; }, {142420}, 1},
        {"rate 10000", [](DemandSim& t) { t.s.oddat.numod(1) = 10000.0f; }, {}, 0},
        {"rate 10000.5", [](DemandSim& t) { t.s.oddat.numod(1) = 10000.5f; }, {142520}, 1},
        {"negative rate", [](DemandSim& t) { t.s.oddat.numod(1) = -1.0f; }, {142510}, 1},
        {"same zones", [](DemandSim& t) { t.s.oddat.d(1) = 1; }, {142200}, 1},
        {"origin 411", [](DemandSim& t) { t.s.oddat.o(1) = 411; }, {142210}, 1},
        {"destination 411", [](DemandSim& t) { t.s.oddat.d(1) = 411; }, {142220}, 1},
        {"origin 0", [](DemandSim& t) { t.s.oddat.o(1) = 0; }, {142230}, 1},
        {"destination -3", [](DemandSim& t) { t.s.oddat.d(1) = -3; }, {142240}, 1},
        {"origin not coded", [](DemandSim& t) { t.s.graph1.ntyp(1) = 0; }, {142400}, 1},
        {"ends before it begins", [](DemandSim& t) { t.s.oddat.demstr(1) = 2000.0f; }, {142300}, 1},
        {"starts before 0", [](DemandSim& t) { t.s.oddat.demstr(1) = -1.0f; }, {142310}, 1},
        {"starts after the run",
         [](DemandSim& t) {
             t.s.oddat.demstr(1) = 3601.0f;
             t.s.oddat.demend(1) = 3700.0f;
         },
         {142320, 142340},
         0},
        {"destination not coded", [](DemandSim& t) { t.s.graph1.ntyp(2) = 0; }, {142420}, 1},
        {"origin invalid type 5", [](DemandSim& t) { t.s.graph1.ntyp(1) = 5; }, {142440}, 1},
        {"origin destination-only", [](DemandSim& t) { t.s.graph1.ntyp(1) = 2; }, {142440}, 1},
        {"destination origin-only", [](DemandSim& t) { t.s.graph1.ntyp(2) = 3; }, {142460}, 1},
        {"first above highest", [](DemandSim& t) { t.s.oddat.fodp = 3; }, {142025}, 1},
        {"first below 1", [](DemandSim& t) { t.s.oddat.fodp = 0; }, {142020}, 1},
        {"last below 1", [](DemandSim& t) { t.s.oddat.lodp = 0; }, {142033}, 1},
    };
    for (const auto& c : cases) {
        DemandSim t;
        t.put_record(1, 1, 2, 100.0f, 0.0f, 0.0f, 1800.0f);
        c.change(t);
        checkod(t.s);
        EXPECT_EQ(t.codes(), c.codes) << c.what << "\n" << t.log();
        EXPECT_EQ(t.s.errcount.errt1, c.errt1) << c.what;
        EXPECT_EQ(t.s.errcount.numerr, static_cast<int>(c.codes.size())) << c.what;
    }
}

TEST(OdChecks, LastBelowFirstNamesBoth) {
    DemandSim t;
    for (int n = 1; n <= 9; ++n) t.put_record(n, 1, 2, 10.0f, 0.0f, 0.0f, 100.0f);
    t.s.oddat.fodp = 8;
    t.s.oddat.lodp = 5;
    checkod(t.s);
    EXPECT_EQ(t.codes(), std::vector<int>{142030});
    EXPECT_TRUE(contains(t.log(), " The last     O-D =            5  is greater than            8"
                                  "  which is a minimum."))
        << t.log();
}

// A pass looks at every record before the next kind of check begins.
TEST(OdChecks, PassesRunInOrderOverAllRecords) {
    DemandSim t;
    t.put_record(3, 7, 7, 10.0f, 0.0f, 0.0f, 100.0f); // same zones: pass 2
    t.put_record(5, 1, 2, 10.0f, 2.0f, 0.0f, 100.0f); // Krand 2: pass 1
    checkod(t.s);
    EXPECT_EQ(t.codes(), std::vector<int>{142100});

    // Within one record the zone equality comes before the range checks.
    DemandSim u;
    u.put_record(1, 500, 500, 10.0f, 0.0f, 0.0f, 100.0f);
    checkod(u.s);
    EXPECT_EQ(u.codes(), std::vector<int>{142200});

    // Warnings found before a fatal finding are reported with it.
    DemandSim w;
    w.put_record(1, 1, 2, 10.0f, 0.0f, 0.0f, 4000.0f);
    w.put_record(2, 2, 1, 10.0f, 0.0f, 0.0f, 5000.0f);
    w.put_record(3, 1, 3, -5.0f, 0.0f, 0.0f, 100.0f);
    checkod(w.s);
    EXPECT_EQ(w.codes(), (std::vector<int>{142340, 142510}));
    EXPECT_TRUE(contains(w.log(),
                         "  Total of            2  O-D flows  continue after the simulation ends."))
        << w.log();
    EXPECT_EQ(w.s.errcount.numerr, 2);
    EXPECT_EQ(w.s.errcount.errt1, 1);
}

TEST(OdChecks, AbsentRecordsAreSkipped) {
    DemandSim t;
    t.put_record(1, 1, 2, 10.0f, 0.0f, 0.0f, 100.0f);
    t.put_record(4, 2, 3, 10.0f, 0.0f, 0.0f, 100.0f);
    t.s.oddat.o(2) = -1; // records 2 and 3 were never read
    checkod(t.s);
    EXPECT_TRUE(t.codes().empty()) << t.log();
}

} // namespace
} // namespace velm
