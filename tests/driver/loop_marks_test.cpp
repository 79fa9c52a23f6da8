// The checkpoint codes and profiler marks of a tick, against the loop's
// design typed below: each step with its condition, the checkpoint codes
// written before it and the mark that follows it. The tests run the real loop
// on an empty network with the checkpoint trace on, record every step, code
// and mark of chosen ticks, and compare with the sequence the design gives
// for those ticks. A mark or code moved past a step, renumbered, dropped or
// added turns them red.
#include "driver/loop_fixture.h"

#include "core/driver/time_loop.h"
#include "core/model/step_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace velm {
namespace {

using velm::testing::LoopRun;

// What a tick's conditions read.
struct Tick {
    const Sim& s;
    int        t10;
    int        t;
    bool       sec;
    bool       poll_due;    // cclock >= nxtchk at the head of the tick
    int        trees_built; // classes whose rebuild second this is
};

using When = std::function<bool(const Tick&)>;

struct Row {
    std::vector<std::string> steps;          // as the loop names them
    When                     when;           // the step's condition
    std::vector<int>         checkpoints{};  // written before the step
    int                      mark = 0;       // after the step; 0: none
    bool                     mark_always{};  // the mark follows even a skipped step
    int                      inner_mark = 0; // marked inside the step
};

const When every = [](const Tick&) { return true; };
const When each_second = [](const Tick& k) { return k.sec; };

int tenths(const Tick& k, int n) {
    return k.t10 % n;
}

// The tick after its clock is set, in order; the per-second
// block is its own table, run in place of its row.
const std::vector<Row>& tick_design() {
    static const std::vector<Row> rows = {
        {{"sub_dyn_lnk_spd_ctrl"}, every, {}, 600},
        {{"check_pause"}, every},
        {{"calc_seg_lane_speed", "print_segemnt_data"},
         [](const Tick& k) { return k.s.lane_target.lane_tar_enbld == 1 && k.sec; }},
        {{"pause_request"}, [](const Tick& k) { return tenths(k, 100) == 0; }},
        // 611 charges the pause wait, lane targeting and the pause file, paced or not.
        {{"pace_tick"},
         [](const Tick& k) { return k.t10 % 2 == 1 && k.s.subtim.pacing() > 0; },
         {},
         611,
         true,
         100},
        {{"setrmpmet", "prmpmet"}, every, {}, 612},
        {{"update"},
         [](const Tick& k) {
             const int indstp = k.s.subtim.step_mode();
             return tenths(k, 100) == 0 || (k.s.set1.tenr > 0 && k.sec) ||
                    k.s.subtim.pacing() > 0 || (indstp >= 1 && indstp <= 10);
         },
         {1},
         613},
        {{"settrn"}, every, {}, 614},
        {{"dis_rep"}, [](const Tick& k) { return tenths(k, 50) == 0; }},
        {{"<per-second block>"}, each_second},
        {{"fun_nbsig"}, [](const Tick& k) { return k.s.nbsig.fmt_nbsig == 1; }},
        {{"highway_spd_harm_run"},
         [](const Tick& k) { return k.s.highway_spdharm.highway_spdharm_activation_flag == 1; }},
        {{"fun_divc"}, [](const Tick& k) { return k.s.divc.fmt_divc == 1; }},
        {{"prepsignal", "setsignal2"},
         [](const Tick& k) { return k.s.atms.mitrefl(1) > 0 && tenths(k, 10) == 1; }},
        {{"setsignal1", "setsignal2"}, [](const Tick& k) { return k.s.atms.mitrefl(1) <= 0; }},
        {{}, every, {}, 241}, // after the signal states, whichever ran
        {{"sortlist"}, [](const Tick& k) { return tenths(k, 10) == 1; }, {400}},
        {{"lanpos"}, every, {410}},
        {{"moveveh"}, every, {410}, 410},
        {{"enternet"}, every, {500}, 420},
        {{"vehpos2"}, every, {600}, 530},
        {{"srtque"}, every, {610}, 251},
        {{"vehpos2b"}, every, {620}, 252},
        {{"spilback"}, every, {630}, 253},
        {{"vehpos7"}, [](const Tick& k) { return k.s.vehplot.timspc == 1 && k.sec; }, {640}, 710},
        {{"lanpos"}, every, {700}, 254},
        {{"vehpos5"}, every, {}, 255},
        {{"shw_veh"}, every},
        {{"vehpos1"}, every, {800, 810}, 256},
        {{"updtacci"}, each_second, {820}, 220},
        {{"chkanimspd"}, each_second, {900}},
        {{"clearscrn"},
         [](const Tick& k) { return tenths(k, k.s.subtim.animspd(3)) == 1; },
         {},
         616},
        {{"pdetloc"}, [](const Tick& k) { return tenths(k, k.s.subtim.animspd(3)) == 0; }, {}, 617},
        {{"vehpos3"}, [](const Tick& k) { return tenths(k, k.s.subtim.animspd(2)) == 0; }, {}, 618},
        {{"compfuel"}, each_second, {1100}, 540},
        {{"checkkey"},
         [](const Tick& k) {
             return k.sec || k.s.subtim.step_mode() == 1 || k.s.subtim.pacing() > 0 || k.poll_due;
         },
         {1110},
         630},
        {{"dynflow"}, [](const Tick& k) { return tenths(k, 5) == 0; }, {1120}, 220},
        {{}, every, {1130}, 730}, // the stop test of a tick that goes on
        {{"redraw_and_adjust"}, every, {1200}},
    };
    return rows;
}

bool minute(const Tick& k) {
    return k.t % 60 == 0;
}
bool later_minute(const Tick& k) {
    return k.t > 0 && minute(k);
}

const std::vector<Row>& second_design() {
    static const std::vector<Row> rows = {
        {{"sigact"}, every, {}, 245},
        {{"comp_tcol"}, every},
        // 611 charges the collision statistics and the line, written or not.
        {{"progress_line"}, [](const Tick& k) { return k.t % 600 == 0; }, {}, 611, true},
        {{"cputime", "arrival", "rsflwhis"}, minute},
        {{"uptimhis"}, every, {}, 620},
        {{"offopt"}, [](const Tick& k) { return k.t10 > 0; }, {}, 244},
        {{"resetvid"}, [](const Tick& k) { return tenths(k, 60) == 0; }, {}, 640},
        {{}, minute, {}, 260}, // management programs: the fixture has none
        {{"detreset", "det_sum", "detreport"}, every, {}, 320},
        {{"rampflow", "comprmp1", "updatrmp"},
         [](const Tick& k) {
             const int every_s = k.s.rmpmeter.rmptm;
             return k.t > 0 && every_s > 0 && k.t % every_s == 0;
         }},
        {{"meter_history"}, every, {}, 330},
        {{"settolplz"}, later_minute},
        {{"addnfnt"}, later_minute},
        {{"read3"},
         [](const Tick& k) {
             const int p = k.s.signal.dsigper;
             return p > 0 && k.t > 0 && k.t % p == 0;
         }},
        {{"readsgnl"},
         [](const Tick& k) {
             const int p = k.s.signal.dsigper;
             return p < 0 && k.t % -p == 0;
         }},
        {{"qtime"}, every, {}, 600},
        {{"systimer", "decdept"}, [](const Tick& k) { return k.t % 30 == 0; }, {}, 210},
        {{"lossum"},
         [](const Tick& k) {
             const int p = k.s.trees.pd_ot1;
             return p != 0 && k.s.pathnam.filuse[10] == 1 && k.t % std::abs(p) == 0 &&
                    k.t < k.s.set1.simtim1 && (k.t > 0 || p > 0);
         }},
        {{"rebuild_trees"}, [](const Tick& k) { return k.t > 0; }, {100}, 710, false, 310},
        {{"chk_enrt"}, every, {}, 720},
        // periodic listings: the fixture uses none of their files
        {{},
         [](const Tick& k) {
             const int p = k.s.trees.pd_ot2;
             return p != 0 && k.t % std::abs(p) == 0;
         },
         {201},
         730},
        {{"plumset", "travelset"}, minute, {}, 270},
        {{"incid"}, [](const Tick& k) { return k.t % 5 == 0; }, {}, 280},
        {{"resetflow"}, every, {300}, 290},
        {{"optsignal"}, later_minute},
        {{"sig_his"}, minute, {}, 243},
        {{"psignal"}, every, {}, 246},
        {{"pincident"}, every, {}, 615},
    };
    return rows;
}

std::string cp(int code) {
    return "checkpoint " + std::to_string(code);
}
std::string mk(int flag) {
    return "mark " + std::to_string(flag);
}

void expand(const std::vector<Row>& rows, const Tick& k, std::vector<std::string>& out) {
    for (const Row& r : rows) {
        const bool runs = r.when(k);
        if (runs) {
            for (int c : r.checkpoints) out.push_back(cp(c));
            for (const auto& st : r.steps) {
                if (st == "<per-second block>") {
                    expand(second_design(), k, out);
                    continue;
                }
                out.push_back(st);
            }
            const int inner = r.inner_mark == 310 ? (k.t > 0 ? k.trees_built : 0) : 1;
            if (r.inner_mark != 0)
                for (int i = 0; i < inner; ++i) out.push_back(mk(r.inner_mark));
        }
        if (r.mark != 0 && (runs || r.mark_always)) out.push_back(mk(r.mark));
    }
}

// Every step, checkpoint code and mark of the run, by tick; a run of pacing
// marks counts as one (their number follows the clock).
class Trace final : public StepProbe {
  public:
    explicit Trace(Sim& s) : s_(s) {
        for (const auto* table : {&tick_design(), &second_design()})
            for (const Row& r : *table) names_.insert(r.steps.begin(), r.steps.end());
    }
    void step(std::string_view name) override {
        if (name == "sub_dyn_lnk_spd_ctrl")
            poll_due[s_.control.t10] = s_.subtim.cclock >= s_.subtim.nxtchk;
        if (names_.count(std::string(name)) != 0) add(std::string(name));
    }
    void checkpoint(int code) override { add(cp(code)); }
    void mark(int flag) override {
        const std::string m = mk(flag);
        if (flag == 100 && !at(s_.control.t10).empty() && at(s_.control.t10).back() == m) return;
        add(m);
    }
    std::vector<std::string>& at(int t10) { return by_tick[t10]; }

    std::map<int, std::vector<std::string>> by_tick;
    std::map<int, bool>                     poll_due;

  private:
    void                  add(std::string e) { by_tick[s_.control.t10].push_back(std::move(e)); }
    Sim&                  s_;
    std::set<std::string> names_;
};

// Where two sequences part, for the failure message.
std::string first_difference(const std::vector<std::string>& got,
                             const std::vector<std::string>& want) {
    std::size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    auto at = [i](const std::vector<std::string>& v) { return i < v.size() ? v[i] : "(end)"; };
    return "first difference at " + std::to_string(i) + ": ran " + at(got) + ", design " + at(want);
}

struct TickCase {
    const char*                   label;
    std::function<void(LoopRun&)> arrange;
    std::vector<int>              ticks;
    int                           trees_built = 0; // classes rebuilt at each second after 0
};

void check_ticks(const TickCase& c) {
    SCOPED_TRACE(c.label);
    LoopRun run(60);
    Sim&    s = run.s;
    s.errflg.errchk[30] = 1; // the checkpoint trace
    c.arrange(run);
    Trace trace(s);
    s.probe = &trace;
    ASSERT_TRUE(time_loop(s)) << run.log();
    s.probe = nullptr;
    for (int t10 : c.ticks) {
        SCOPED_TRACE("tick " + std::to_string(t10));
        const Tick k{s, t10, t10 / 10, t10 % 10 == 0, trace.poll_due[t10], c.trees_built};
        std::vector<std::string> want;
        expand(tick_design(), k, want);
        EXPECT_EQ(trace.at(t10), want) << first_difference(trace.at(t10), want);
    }
}

// Every switch of the tick on, busy statistics, one class rebuilding its
// trees every second, listings and summaries on their periods.
void busy(LoopRun& run) {
    Sim& s = run.s;
    testing::every_tick_switch_on(s);
    s.set1.tenr = 2; // progress every second
    s.trees.pd_ot1 = 30;
    s.pathnam.filuse[10] = 1;
    s.trees.pd_ot2 = 20;
    s.rmpmeter.rmptm = 15;
    s.subtim.animspd(2) = 3;
    s.subtim.animspd(3) = 4;
    s.set1.trefrq(2, 1) = 5; // a fifth of 5 s: a rebuild each second
    s.oddat.totvtn(2, 1) = 1.0f;
}

TEST(LoopMarks, SecondTicksFollowTheDesign) {
    const std::vector<TickCase> cases = {
        {"plain", [](LoopRun&) {}, {0, 10, 50, 600}},
        {"busy", busy, {0, 10, 300, 450, 600}, 1},
    };
    for (const auto& c : cases) check_ticks(c);
}

TEST(LoopMarks, OddTicksFollowTheDesign) {
    const std::vector<TickCase> cases = {
        {"plain", [](LoopRun&) {}, {1, 5, 15, 599}},
        {"busy", busy, {1, 3, 5, 11, 599}, 1},
        {"external signals", [](LoopRun& run) { run.s.atms.mitrefl(1) = 1; }, {1, 3, 11}},
        {"paced",
         [](LoopRun& run) {
             run.clock_step = 1;
             run.s.subtim.set_pacing(10);
         },
         {1, 3, 25}},
    };
    for (const auto& c : cases) check_ticks(c);
}

} // namespace
} // namespace velm
