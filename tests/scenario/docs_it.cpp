// The input reference in docs/inputs/ against the program's own readers:
// every example block ("```velm-input NAME") is read by the input phase of a
// real run, and every fixed input-file name in core/ is documented there.
#include "core/driver/driver.h"
#include "core/model/sim.h"
#include "support/samples.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

namespace fs = std::filesystem;

const fs::path kDocs = fs::path(VELM_SOURCE_DIR) / "docs" / "inputs";
constexpr int  kSeconds = 30; // long enough to depart, check and move some trips

struct Example {
    std::string page, name, text;
    int         line = 0; // line of the fence on its page
};

// Every example block of docs/inputs/, page by page in name order.
std::vector<Example> examples() {
    std::vector<fs::path> pages;
    for (const auto& f : fs::directory_iterator(kDocs))
        if (f.path().extension() == ".md") pages.push_back(f.path());
    std::sort(pages.begin(), pages.end());
    const std::regex     fence(R"(^```velm-input\s+(\S+)\s*$)");
    std::vector<Example> out;
    for (const auto& page : pages) {
        std::istringstream in(support::slurp(page));
        std::string        line;
        for (int n = 1; std::getline(in, line); ++n) {
            std::smatch m;
            if (!std::regex_match(line, m, fence)) continue;
            Example e{page.filename().string(), m[1].str(), "", n};
            for (++n; std::getline(in, line) && line != "```"; ++n) e.text += line + "\n";
            out.push_back(e);
        }
    }
    return out;
}

// The first example of each file name: the four-leg network.
std::map<std::string, std::string> first_examples(const std::vector<Example>& all) {
    std::map<std::string, std::string> first;
    for (const auto& e : all) first.emplace(e.name, e.text);
    return first;
}

const char* const kMaster = "fourleg.master";

// The master file's example with its horizon cut to kSeconds.
std::string short_master(const std::string& text) {
    std::istringstream in(text);
    std::string        out, line;
    for (int k = 1; std::getline(in, line); ++k) {
        if (k == 2)
            line = std::to_string(kSeconds) + line.substr(line.find_first_not_of("0123456789"));
        out += line + "\n";
    }
    return out;
}

struct DocRun {
    int         errt1 = 0, numerr = 0;
    std::string log, summary; // run log and summary output
    std::string all;          // every report the example network writes
};

const char* const kReports[] = {
    "runerr.out",          "output/fourleg.u10", "output/fourleg.u11",       "output/fourleg.u12",
    "output/fourleg.u14",  "output/fourleg.u15", "output/summary.out",       "output/detector.out",
    "output/en-route.out", "output/subnet.out",  "output/NB_output_Code.txt"};

// Runs the documented network with `extra` files added to (or replacing
// files of) its input folder.
DocRun run_with(const std::map<std::string, std::string>& base,
                const std::map<std::string, std::string>& extra) {
    auto s = support::memory_sim();
    s->platform.cpu_clock = [] { return 0L; };
    s->platform.sleep = [](int) {};
    s->platform.run_command = [](std::string_view) { return false; };
    std::map<std::string, std::string> files = base;
    for (const auto& [name, text] : extra) files[name] = text;
    for (const auto& [name, text] : files) {
        if (name == kMaster) continue;
        s->units.put_file("input/" + name, text);
    }
    s->units.put_file(kMaster, short_master(files.at(kMaster)));
    s->master.mastfile = kMaster;
    velmorantis(*s, 1);
    DocRun r;
    r.errt1 = s->errcount.errt1;
    r.numerr = s->errcount.numerr;
    r.log = s->units.file_text("runerr.out");
    r.summary = s->units.file_text("output/fourleg.u10");
    for (const char* f : kReports)
        r.all += std::string(f) + (s->units.exists(f) ? "\n" + s->units.file_text(f) : "") + "\n";
    return r;
}

// The files the example master file names (slots with a file), plus the
// example master itself: the base network every other example is added to.
std::map<std::string, std::string> base_network(const std::map<std::string, std::string>& first) {
    std::map<std::string, std::string> base;
    base[kMaster] = first.at(kMaster);
    std::istringstream in(first.at(kMaster));
    std::string        line;
    for (int k = 1; std::getline(in, line); ++k) {
        const auto        b = line.find_first_not_of(" \t");
        const auto        e = line.find_last_not_of(" \t\r");
        const std::string name = b == std::string::npos ? "" : line.substr(b, e - b + 1);
        if (k >= 6 && first.count(name) != 0) base[name] = first.at(name);
    }
    return base;
}

// The error codes the run log names ("Error 710530", "Error       142340"),
// less the warnings of a horizon cut short: demand and incidents of the
// hour that go on past kSeconds.
std::set<std::string> codes_beyond_the_cut(const std::string& log) {
    const std::set<std::string> cut = {"142340", "152220", "152240"};
    const std::regex            code(R"(Error\s+(\d{6,7}))");
    std::set<std::string>       out;
    for (std::sregex_iterator m(log.begin(), log.end(), code), end; m != end; ++m)
        if (cut.count((*m)[1].str()) == 0) out.insert((*m)[1].str());
    return out;
}

std::string joined(const std::set<std::string>& codes) {
    std::string out;
    for (const auto& c : codes) out += " " + c;
    return out;
}

// The title of an example: its first line, as far as every reader echoes it.
std::string title_of(const std::string& text) {
    return text.substr(0, std::min<std::size_t>(text.find('\n'), 30));
}

TEST(DocsInputs, TheDocumentedNetworkRunsCleanly) {
    const auto all = examples();
    ASSERT_FALSE(all.empty()) << "no example in " << kDocs;
    const auto first = first_examples(all);
    ASSERT_EQ(first.count(kMaster), 1u) << "docs/inputs has no example master file";
    const auto base = base_network(first);
    // The four-leg network: nodes, links, signals, demand, incidents, lane
    // striping, stations.
    EXPECT_GE(base.size(), 8u);
    const DocRun r = run_with(base, {});
    EXPECT_EQ(r.errt1, 0) << r.log;
    // The one finding: the hour's demand goes on past the cut horizon.
    EXPECT_EQ(r.numerr, 1) << r.log;
    EXPECT_NE(r.log.find("142340"), std::string::npos) << r.log;
    EXPECT_EQ(joined(codes_beyond_the_cut(r.log)), "") << r.log;
    for (const auto& [name, text] : base) {
        if (name == kMaster) continue;
        EXPECT_NE(r.summary.find(title_of(text)), std::string::npos)
            << name << ": its title is not echoed, so the file was not read";
    }
    EXPECT_NE(r.log.find("Scheduled departures"), std::string::npos) << r.log;
}

// Files that only run beside another documented file.
const std::map<std::string, std::vector<std::string>> kNeeds = {
    {"platoon.dat", {"veh_parameters.dat"}},
    {"emission.dat", {"input_eccs.dat"}},
};

TEST(DocsInputs, EveryExampleIsReadWithoutAnError) {
    const auto all = examples();
    const auto first = first_examples(all);
    ASSERT_EQ(first.count(kMaster), 1u);
    const auto   base = base_network(first);
    const DocRun plain = run_with(base, {});
    for (const auto& e : all) {
        if (e.name == kMaster || (base.count(e.name) != 0 && base.at(e.name) == e.text)) continue;
        SCOPED_TRACE(e.page + ":" + std::to_string(e.line) + " " + e.name);
        std::map<std::string, std::string> extra{{e.name, e.text}};
        if (auto it = kNeeds.find(e.name); it != kNeeds.end())
            for (const auto& n : it->second) extra[n] = first.at(n);
        const DocRun r = run_with(base, extra);
        EXPECT_EQ(r.errt1, 0) << r.log;
        EXPECT_EQ(joined(codes_beyond_the_cut(r.log)), "") << r.log;
        // Read: its title is echoed, or, for a file that echoes nothing, the
        // run differs from the network without it.
        const bool echoed = r.all.find(title_of(e.text)) != std::string::npos;
        EXPECT_TRUE(echoed || r.all != plain.all)
            << "neither echoed nor of any effect: the file was not read";
    }
}

// A broken example must fail the check above: the same run with one value
// of the link example spoiled reports an error.
TEST(DocsInputs, ABrokenExampleIsCaught) {
    const auto  first = first_examples(examples());
    auto        base = base_network(first);
    std::string links = base.at("links.dat");
    const auto  at = links.find("0.15");
    ASSERT_NE(at, std::string::npos);
    links.replace(at, 4, "x.15");
    const DocRun r = run_with(base, {{"links.dat", links}});
    EXPECT_GT(r.errt1, 0) << r.log;
}

// Every fixed input-file name in core/ (a quoted "name.dat" or "name.vlm")
// is named somewhere in docs/inputs/.
TEST(DocsInputs, EveryInputFileNameIsDocumented) {
    std::string docs;
    for (const auto& f : fs::directory_iterator(kDocs))
        if (f.path().extension() == ".md") docs += support::slurp(f.path());
    const std::regex      quoted(R"re("([A-Za-z0-9_]+\.(dat|vlm))")re");
    std::set<std::string> names;
    for (const auto& f : fs::recursive_directory_iterator(fs::path(VELM_SOURCE_DIR) / "core")) {
        if (f.path().extension() != ".cpp" && f.path().extension() != ".h") continue;
        const std::string text = support::slurp(f.path());
        for (std::sregex_iterator m(text.begin(), text.end(), quoted), end; m != end; ++m)
            names.insert((*m)[1].str());
    }
    EXPECT_GE(names.size(), 40u);
    std::string missing;
    for (const auto& n : names)
        if (docs.find(n) == std::string::npos) missing += " " + n;
    EXPECT_TRUE(missing.empty()) << "input files not named in docs/inputs/:" << missing;
}

} // namespace
} // namespace velm
