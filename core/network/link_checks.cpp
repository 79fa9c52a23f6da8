// The link checks: end nodes, opposing links, and the model's limits on
// lengths, speeds, flows, dispersion, lanes, densities, control codes and
// phases. Checks run in groups; a group starts only when the one before it
// passed every link.
#include "core/io/writers.h"
#include "core/network/network.h"

#include <cmath>
#include <cstdlib>
#include <functional>

namespace velm {

namespace {

constexpr int kNegativeOpposingCode = 122540; // an opposing entry below 0
constexpr int kBadControlCode = 122570;       // control code 10000 or 10003

struct LinkChecker {
    Sim& s;
    int  l = 0;

    // A failed check: counted, code line, detail lines, a blank line.
    template <class... T> void report(int code, const T&... detail) {
        s.errcount.numerr += 1;
        wfree(s.units, kUnitRunLog, "Input File 2  Error ", code);
        wfree(s.units, kUnitRunLog, detail...);
    }
    // A hard failure: reported, then the checks end.
    template <class... T> bool hard(int code, const T&... detail) {
        report(code, detail...);
        wfree(s.units, kUnitRunLog, " ");
        s.errcount.errt1 += 1;
        return false;
    }
    // A hard failure whose detail line names the link and its end nodes.
    template <class... T> bool pair(int code, const T&... detail) {
        return hard(code, "Link=", l, " from:", s.link1.frnode(l), " to:", s.link1.tonode(l),
                    detail...);
    }

    bool group_a();
    bool group_b();
    bool group_c();
    bool group_d();
    bool group_e();
    bool group_f();
    bool group_g();
    void group_h();
};

bool node_coded(const Sim& s, int n) {
    return n >= 1 && n <= kMaxNodes && s.graph1.ntyp(n) > 0;
}

bool LinkChecker::group_a() {
    const auto& l1 = s.link1;
    if (!node_coded(s, l1.frnode(l)))
        return hard(122210, "Link=", l, " starts at node=", l1.frnode(l),
                    " which has not been coded in node file");
    if (!node_coded(s, l1.tonode(l)))
        return hard(122220, "Link=", l, " ends at node=", l1.tonode(l),
                    " which has not been coded in node file");
    if (l1.tonode(l) == l1.frnode(l))
        return hard(122230, "Link=", l, " ends at node=", l1.tonode(l),
                    " which is the same as from node ", l1.frnode(l));
    for (int o = 1; o <= kOpposingLinks; ++o) {
        const int v = l1.opslin(l, o);
        if (v > kMaxLinks)
            return hard(122250, "Link=", l, " is opposed by=", v, " which is does not exist ");
        // A negative entry names no link and must never be used to look one up.
        if (v < 0)
            return hard(kNegativeOpposingCode, "Link=", l, " is opposed by=", v,
                        " which is not a link number ");
        if (v != 0 && !(s.link4.llength(v) > 0.0f))
            return hard(122260, "Link=", l, " is opposed by=", v, " which is does not exist ");
    }
    return true;
}

bool LinkChecker::group_b() {
    const float len = s.link4.llength(l);
    const float vf = s.link4.freespd(l);
    const int   n = s.link1.nulans(l);
    if (len < 0.01f * static_cast<float>(n)) {
        s.errcount.numerr += 1;
        wfree(s.units, kUnitRunLog, "Input File 2  Error ", 122310);
        s.units.line(kUnitRunLog,
                     " Link=" + fmt_i(l, 6) + " has length=" + fmt_f(len, 9, 3) +
                         " which is less than:" + fmt_f(0.01f * static_cast<float>(n), 9, 3));
        wfree(s.units, kUnitRunLog, " km  = number of lanes * 10 m ");
        wfree(s.units, kUnitRunLog, " ");
        s.errcount.errt1 += 1;
        return false;
    }
    if (vf < 1.0f) return pair(122410, " has speed=", vf, " which is less than:", 1.0f, " km/h ");
    if (vf > 200.0f)
        return pair(122420, " has speed=", vf, " which is greater than:", 200.0f, " km/h ");
    return true;
}

bool LinkChecker::group_c() {
    const float vc = s.link1.spdvol(l, 4);
    const float vf = s.link4.freespd(l);
    if (vc < 1.0f)
        return pair(122410, " has speed at capacity =", vc, " which is less than:", 1.0f, " km/h ");
    if (vc >= vf)
        return pair(122420, " has speed-at-capacity =", vc, " which should not exceed:", vf,
                    " km/h ", "  (free speed of link) ");
    return true;
}

bool LinkChecker::group_d() {
    const float qc = s.link4.lanesat(l);
    if (qc < 100.0f)
        return pair(122450, " has lane sat flow=", qc, " which is less than:", 100.0f,
                    " veh/h/lane ");
    if (qc > 10000.0f)
        return pair(122460, " has lane sat flow=", qc, " which is greater than:", 10000.0f,
                    " veh/h/lane ");
    return true;
}

bool LinkChecker::group_e() {
    const float cov = s.link4.pltdsp(l, 1);
    const int   n = s.link1.nulans(l);
    if (cov > 0.3f) return pair(122490, " has a speed COV =", cov, " which is greater than:", 0.3f);
    if (cov < -0.3f) return pair(122495, " has a speed COV =", cov, " which is less than:", -0.3f);
    if (n < 1)
        return pair(122510, " has number of lanes=", n, " which is less than 1 and not allowed");
    if (std::abs(n) > kMaxLinkLanes)
        return pair(122520, " has number of lanes=", n, " which is greater than:", kMaxLinkLanes,
                    " lanes ");
    return true;
}

bool LinkChecker::group_f() {
    const float kj = s.link1.spdvol(l, 5);
    const float kc = s.link4.lanesat(l) / s.link1.spdvol(l, 4); // density at capacity
    if (kj < kc)
        return pair(122410, " has jam density =", kj, " which is less density at cap =", kc,
                    " veh/km ");
    if (kj >= 250.0f)
        return pair(122420, " has jam density =", kj, " which should not exceed:", 250.0f,
                    " veh/km ");
    if (kj >= 10.0f * kc)
        return pair(122430, " has jam density =", kj,
                    " which should not be 10 times den at cap:", 10.0f * kc, " veh/km");
    return true;
}

bool LinkChecker::group_g() {
    const int code = s.link3.tsignal(l);
    if (std::abs(code) > kLastControlCode)
        return pair(122560, " has signal number=", code,
                    " which is greater than absolute max:", kLastControlCode);
    if (std::abs(code) > kMaxSignals && code <= kLastSignalCode)
        return pair(122560, " has signal number=", code,
                    " which is greater than array maximum= ", kMaxSignals);
    // 10000 and 10003 name neither a signal nor a sign.
    if (code == kLastSignalCode + 1 || code == kLastControlCode)
        return pair(kBadControlCode, " has control code=", code,
                    " which is neither a signal, a stop sign (10001) nor a yield sign (10002)");
    if (s.link3.phase(l, 1, 1) == 0 && code != 0 && code <= kLastSignalCode)
        return pair(122580, " has signal phase=", s.link3.phase(l, 1, 1),
                    " which is not legal if a signal is coded ");
    for (int p = 1; p <= kPhaseSlots; ++p)
        if (std::abs(s.link3.phase(l, p, 1)) > kMaxPhases)
            return pair(122590, " has signal phase=", s.link3.phase(l, p, 1),
                        " which is greater than:", kMaxPhases);
    return true;
}

// End nodes on one spot: a warning; the to node moves 1 m in x.
void LinkChecker::group_h() {
    auto&     g = s.graph1;
    const int fr = s.link1.frnode(l), to = s.link1.tonode(l);
    if (std::fabs(g.x(fr) - g.x(to)) < 0.001f && std::fabs(g.y(fr) - g.y(to)) < 0.001f) {
        report(122820, "Link=", l, " from:", fr, " to:", to,
               " has identical to and from coordinates ");
        wfree(s.units, kUnitRunLog, " ");
        g.x(to) += 0.001f;
    }
}

} // namespace

void checklink(Sim& s) {
    LinkChecker c{s};
    using Group = bool (LinkChecker::*)();
    static constexpr Group groups[] = {
        &LinkChecker::group_a, &LinkChecker::group_b, &LinkChecker::group_c, &LinkChecker::group_d,
        &LinkChecker::group_e, &LinkChecker::group_f, &LinkChecker::group_g};
    const int ml = std::min(s.link2.mlnum, kMaxLinks);
    for (Group group : groups)
        for (c.l = 1; c.l <= ml; ++c.l)
            if (s.link4.llength(c.l) >= 0.0f && !(c.*group)()) return;
    for (c.l = 1; c.l <= ml; ++c.l)
        if (s.link4.llength(c.l) >= 0.0f) c.group_h();
}

} // namespace velm
