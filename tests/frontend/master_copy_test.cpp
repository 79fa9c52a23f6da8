#include "frontend/master_copy.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace velm::gui {
namespace {

constexpr int kRequiredSlots = 19;

// A master file: title, run parameters, the route-choice lines, the two
// directories and the 19 required slot names.
std::vector<std::string> master_lines(const std::string&              parameters,
                                      const std::vector<std::string>& route_choice) {
    std::vector<std::string> lines{"Corridor test run", parameters};
    lines.insert(lines.end(), route_choice.begin(), route_choice.end());
    lines.push_back("input\\*");
    lines.push_back("output\\*");
    for (int k = 1; k <= kRequiredSlots; ++k) lines.push_back("slot" + std::to_string(k) + ".dat");
    return lines;
}

std::string joined(const std::vector<std::string>& lines, const char* end = "\n") {
    std::string text;
    for (const auto& l : lines) text += l + end;
    return text;
}

const std::vector<std::string> kIntervals = {"300 -600 0 900 60", "0.0 0.1 0 0 0"};
const std::vector<std::string> kFullSettings = {"2 2 2 2 2", "300 300 300 300 300", "0 0 0 0 0",
                                                "1 1 1 1 1", "20 20 20 20 20",      "2 2 2 2 2",
                                                "1 1 1 1 1", "0.0 0.0 0.0 0.0 0.0"};

TEST(MasterCopy, DirectoryLinesArePrefixedWhereTheCoreReadsThem) {
    struct Case {
        const char*              what;
        std::string              parameters;
        std::vector<std::string> route_choice;
        int                      eqtr;
        int                      input_line; // 0: nothing is prefixed
    };
    const Case cases[] = {
        {"format 1", "600.123 0 0 1 0", {}, 1, 3},
        {"format 2", "600 0 0 2 0", kIntervals, 2, 5},
        {"format 3", "600 0 0 3 0", kFullSettings, 3, 11},
        // Codes other than 2 and 3 read no route-choice lines, so the directories
        // follow the run parameters at once, and the core reads them there.
        {"format 7", "600 0 0 7 0", {}, 7, 3},
        {"format from a real", "600 0 0 1.9999 0", kIntervals, 2, 5},
        // The run parameters continue on the next line when line 2 holds fewer
        // than five values, which moves the directories down by one line.
        {"parameters over two lines", "600 0 0", {"1 0"}, 1, 4},
        {"comma separated", "600,0,0,2,0", kIntervals, 2, 5},
        // Line 2 with three values and a directory after it cannot be read as a
        // master file at all: the copy is left as it is and the core reports it.
        {"unreadable parameters", "600 0 0", {}, 0, 0},
        {"route-choice line of reals where integers are read",
         "600 0 0 2 0",
         {"300.5 600 0 900 60", "0 0 0 0 0"},
         2,
         0},
    };
    for (const auto& c : cases) {
        support::TempDir   dir(true);
        const auto         lines = master_lines(c.parameters, c.route_choice);
        const std::string  master = dir.write("runs/corridor.master", joined(lines));
        std::ostringstream console;
        const CopyResult   result = create_master_file_from_file(master, console);
        const std::string  folder = (dir.path() / "runs").string();
        ASSERT_EQ(result.status, CopyStatus::ok) << c.what;
        EXPECT_EQ(result.dirs.found, c.input_line > 0) << c.what;
        if (c.input_line > 0) {
            EXPECT_EQ(result.dirs.eqtr, c.eqtr) << c.what;
            EXPECT_EQ(result.dirs.input, c.input_line) << c.what;
            EXPECT_EQ(result.dirs.output, c.input_line + 1) << c.what;
        }
        std::vector<std::string> expected = lines;
        if (c.input_line > 0)
            for (int k : {c.input_line, c.input_line + 1})
                expected[static_cast<std::size_t>(k - 1)] =
                    folder + "\\" + expected[static_cast<std::size_t>(k - 1)] + "*";
        EXPECT_EQ(support::slurp(kDefaultMasterFile), joined(expected)) << c.what;
        EXPECT_NE(console.str().find("Folder Path = " + folder + "\n"), std::string::npos);
    }
}

TEST(MasterCopy, FolderWithBackslashesAndADirectoryWithoutStar) {
    support::TempDir dir(true);
    auto             lines = master_lines("600 0 0 3 0", kFullSettings);
    lines[10] = "in\\"; // line 11
    dir.write("a/b/run.master", joined(lines));
    const std::string  master = dir.path().string() + "\\a\\b\\run.master";
    std::ostringstream console;
    ASSERT_EQ(create_master_file_from_file(master, console).status, CopyStatus::ok);
    const std::string copy = support::slurp(kDefaultMasterFile);
    EXPECT_NE(copy.find("\n" + dir.path().string() + "\\a\\b\\in\\*\n"), std::string::npos);
    EXPECT_NE(console.str().find("tok = 4 = [3]\n"), std::string::npos);
}

TEST(MasterCopy, LineEndsAndLongLinesAreKept) {
    support::TempDir  dir(true);
    auto              lines = master_lines("600 0 0 1 0", {});
    const std::string long_name(3000, 'x');
    lines.push_back(long_name);
    const std::string  master = dir.write("m.master", joined(lines, "\r\n"));
    std::ostringstream console;
    ASSERT_EQ(create_master_file_from_file(master, console).status, CopyStatus::ok);
    const std::string copy = support::slurp(kDefaultMasterFile);
    EXPECT_NE(copy.find("\r\n" + dir.path().string() + "\\input\\**\r\n"), std::string::npos);
    EXPECT_NE(copy.find("\r\n" + long_name + "\r\n"), std::string::npos);
    EXPECT_EQ(copy.size(), joined(lines, "\r\n").size() + 2 * (dir.path().string().size() + 2));
}

TEST(MasterCopy, ChoosingTheCopyItselfLosesNothing) {
    support::TempDir dir(true);
    const auto       lines = master_lines("600 0 0 1 0", {});
    dir.write(kDefaultMasterFile, joined(lines));
    std::ostringstream console;
    ASSERT_EQ(create_master_file_from_file(kDefaultMasterFile, console).status, CopyStatus::ok);
    auto expected = lines;
    expected[2] = ".\\input\\**";
    expected[3] = ".\\output\\**";
    EXPECT_EQ(support::slurp(kDefaultMasterFile), joined(expected));
}

TEST(MasterCopy, FailuresAreReportedAndNeverLeaveAStaleCopy) {
    support::TempDir dir(true);
    dir.write(kDefaultMasterFile, "an older run\n");
    std::ostringstream console;
    const CopyResult   unread = create_master_file_from_file(dir.file("missing.master"), console);
    EXPECT_EQ(unread.status, CopyStatus::cannot_read);
    EXPECT_EQ(support::slurp(kDefaultMasterFile), "");
    EXPECT_NE(console.str().find("Could Not Open Read File for Reading\n"), std::string::npos);
    EXPECT_NE(copy_failure_text(unread.status, "missing.master").find("missing.master"),
              std::string::npos);

    const std::string  master = dir.write("m.master", joined(master_lines("600 0 0 1 0", {})));
    std::ostringstream console2;
    const CopyResult   unwritten =
        create_master_file_from_file(master, console2, dir.file("no/such/dir/copy.master"));
    EXPECT_EQ(unwritten.status, CopyStatus::cannot_write);
    EXPECT_NE(console2.str().find("Could Not Open Write File for Writing\n"), std::string::npos);
}

TEST(MasterCopy, StarGoesBeforeTheLineEnd) {
    const std::pair<const char*, const char*> cases[] = {
        {"in\\", "in\\*"}, {"in\\\n", "in\\*\n"}, {"in\\*\r\n", "in\\**\r\n"}, {"", "*"}};
    for (const auto& [line, starred] : cases) EXPECT_EQ(insert_star_in_string(line), starred);
}

} // namespace
} // namespace velm::gui
