#include "frontend/batch_list.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace velm::gui {
namespace {

TEST(BatchList, CountAndListedNamesDecideTheEntries) {
    struct Case {
        const char*              what;
        const char*              text;
        std::vector<std::string> names; // entries after the folder and a backslash
        const char*              console;
    };
    const Case cases[] = {
        {"count 3 with 5 names runs 3",
         "Batch\n3\na.master\nb.master\nc.master\nd\ne\n",
         {"a.master", "b.master", "c.master"},
         ""},
        {"count 3 with 2 names runs 2",
         "Batch\n3\na.master\nb.master\n",
         {"a.master", "b.master"},
         ""},
        {"line ends removed, CRLF too",
         "Batch\r\n2 runs\r\nrun 1\\m.master\r\nx.master",
         {"run 1\\m.master", "x.master"},
         ""},
        {"count 0", "Batch\n0\na.master\n", {}, ""},
        {"negative count", "Batch\n-2\na.master\n", {}, ""},
        {"missing count", "Batch\nthree\na.master\n", {}, "Error in second line\n"},
        {"no second line", "Batch\n", {}, "Error in second line\n"},
        {"empty file", "", {}, "Error in first line\n"},
    };
    for (const auto& c : cases) {
        support::TempDir         dir;
        const std::string        name = dir.write("list.bat", c.text);
        std::ostringstream       console;
        int                      count = -1;
        const auto               list = read_batch_file(name, count, console);
        std::vector<std::string> expected;
        for (const auto& n : c.names) expected.push_back(dir.path().string() + "\\" + n);
        EXPECT_EQ(list, expected) << c.what;
        EXPECT_EQ(count, static_cast<int>(expected.size())) << c.what;
        EXPECT_EQ(console.str(), c.console) << c.what;
    }
}

TEST(BatchList, UnreadableFileGivesAnEmptyList) {
    support::TempDir   dir;
    std::ostringstream console;
    int                count = 7;
    EXPECT_TRUE(read_batch_file(dir.file("missing.bat"), count, console).empty());
    EXPECT_EQ(count, 0);
    EXPECT_EQ(console.str(), "Could not open file for reading\n");
}

TEST(BatchList, FolderOfAPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a/b/c.bat", "/a/b"}, {"c.bat", "."},          {"D:\\a\\b\\run.master", "D:\\a\\b"},
        {"/x.master", "/"},     {"rel/x.master", "rel"},
    };
    for (const auto& [path, folder] : cases) EXPECT_EQ(folder_of(path), folder) << path;
}

} // namespace
} // namespace velm::gui
