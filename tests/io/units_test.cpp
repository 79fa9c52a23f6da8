#include "core/io/units.h"

#include "core/io/free_reader.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace velm {
namespace {

struct MemoryUnits : ::testing::Test {
    MemoryUnits() { u.use_memory_files(); }
    Units u;
};

TEST_F(MemoryUnits, WriteReplaceAppendAndRead) {
    ASSERT_TRUE(u.open_write(10, "out\\sum.u10"));
    u.line(10, "first");
    u.put(10, "sec");
    u.line(10, "ond");
    // What an open unit wrote is visible before it is closed.
    EXPECT_EQ(u.file_text("out/sum.u10"), "first\nsecond\n");
    EXPECT_EQ(u.name(10), "out\\sum.u10"); // the name as given, for the run log
    u.close(10);
    EXPECT_FALSE(u.is_open(10));

    ASSERT_TRUE(u.open_write(10, "out\\sum.u10", /*append=*/true));
    u.line(10, "third");
    u.close(10);
    EXPECT_EQ(u.file_text("out\\sum.u10"), "first\nsecond\nthird\n");

    ASSERT_TRUE(u.open_write(10, "out\\sum.u10"));
    u.close(10);
    EXPECT_TRUE(u.exists("out/sum.u10"));
    EXPECT_EQ(u.file_text("out/sum.u10"), "");

    u.put_file("in\\nodes.dat", "title\n1 2\n");
    ASSERT_TRUE(u.open_read(1, "in/nodes.dat"));
    EXPECT_TRUE(u.is_input(1));
    FreeReader  rd(u.in(1));
    std::string title;
    int         a = 0, b = 0;
    ASSERT_TRUE(rd.text_line(title));
    ASSERT_EQ(rd.record(a, b), ReadResult::ok);
    EXPECT_EQ(b, 2);
    EXPECT_FALSE(u.open_read(2, "in/missing.dat"));
    EXPECT_FALSE(u.is_open(2));
}

TEST_F(MemoryUnits, CloseOneRangeAndAll) {
    for (int unit : {1, 9, 10, 11, 19, 25})
        ASSERT_TRUE(u.open_write(unit, "f" + std::to_string(unit)));
    u.close_range(10, 19);
    std::vector<int> open;
    for (int unit : {1, 9, 10, 11, 19, 25})
        if (u.is_open(unit)) open.push_back(unit);
    EXPECT_EQ(open, (std::vector<int>{1, 9, 25}));
    u.close(9);
    EXPECT_FALSE(u.is_open(9));
    u.close_all();
    EXPECT_FALSE(u.is_open(1));
    EXPECT_FALSE(u.is_open(25));
    EXPECT_TRUE(u.is_open(kUnitConsole)); // the console is always there
}

TEST_F(MemoryUnits, RemovingAFileThatIsBeingWrittenLosesOnlyThatFile) {
    ASSERT_TRUE(u.open_write(12, "trig.trg"));
    u.line(12, "before");
    EXPECT_TRUE(u.remove("trig.trg"));
    EXPECT_FALSE(u.exists("trig.trg"));
    u.line(12, "after"); // goes nowhere, and must not touch freed memory
    u.close(12);
    EXPECT_FALSE(u.exists("trig.trg"));
    EXPECT_FALSE(u.remove("trig.trg"));
}

TEST_F(MemoryUnits, ConsoleLinesGoToTheSink) {
    std::vector<std::string> lines;
    u.set_console([&](std::string_view t) { lines.emplace_back(t); });
    u.line(kUnitConsole, " Inside PopBox");
    EXPECT_EQ(lines, (std::vector<std::string>{" Inside PopBox"}));
}

TEST(Units, DiskFilesUseHostPathsForBackslashNames) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("velm_units_" + std::to_string(::getpid()));
    fs::create_directories(dir / "out");
    const std::string base = dir.string() + "\\out\\";
    {
        Units u;
        ASSERT_TRUE(u.open_write(10, base + "a.u10"));
        u.line(10, "line");
        EXPECT_EQ(u.file_text(base + "a.u10"), "line\n"); // flushed for the reader
        u.close(10);
        EXPECT_TRUE(fs::is_regular_file(dir / "out" / "a.u10"));
        u.put_file(base + "b.dat", "1 2\n");
        ASSERT_TRUE(u.open_read(1, base + "b.dat"));
        u.close(1);
        EXPECT_TRUE(u.remove(base + "b.dat"));
        EXPECT_FALSE(u.exists(base + "b.dat"));
        EXPECT_FALSE(u.open_read(1, base + "b.dat"));
    }
    fs::remove_all(dir);
}

// Reading a unit that holds no input file is reported to the run's handler
// and then thrown, never a process abort, in every build.
TEST_F(MemoryUnits, ReadingAUnitWithoutAnInputFileIsAFault) {
    u.put_file("in.dat", "1\n");
    ASSERT_TRUE(u.open_write(9, "log.out"));
    ASSERT_TRUE(u.open_read(1, "in.dat"));
    u.close(1);
    struct Case {
        const char* what;
        int         unit;
    } const cases[] = {{"never opened", 4}, {"open for writing", 9}, {"closed", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        u.on_read_fault({});
        try {
            u.in(c.unit);
            ADD_FAILURE() << "no fault";
        } catch (const UnitNotReadable& e) {
            EXPECT_EQ(e.unit(), c.unit);
        }
        std::vector<int> reported;
        u.on_read_fault([&](int unit) { reported.push_back(unit); });
        EXPECT_THROW(u.in(c.unit), UnitNotReadable) << "a handler that returns";
        EXPECT_EQ(reported, std::vector<int>{c.unit});
    }
}

// A device that refuses writes (a full disk) is noticed on the write that
// fails, the flush or the close, whichever comes first, and the unit's name is
// kept once per opening; a file that takes its writes is never named.
TEST(Units, WritesTheDeviceRefusesNameTheFile) {
    namespace fs = std::filesystem;
    ASSERT_TRUE(fs::exists("/dev/full")) << "the full-device cases need /dev/full";
    const fs::path dir = fs::temp_directory_path() / ("velm_full_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::create_symlink("/dev/full", dir / "full.out");
    const std::string full = (dir / "full.out").string(), good = (dir / "good.out").string();
    struct Case {
        const char* what;
        int         lines; // lines written before the unit ends
        void (*end)(Units&, int);
    } const cases[] = {
        {"one short line, closed", 1, [](Units& u, int unit) { u.close(unit); }},
        {"one short line, flushed", 1, [](Units& u, int unit) { u.flush(unit); }},
        {"all flushed", 1, [](Units& u, int) { u.flush_all(); }},
        {"more than a buffer, refused while writing", 20000, [](Units&, int) {}},
        {"closed with the others", 3, [](Units& u, int) { u.close_all(); }},
        {"closed in a range", 3, [](Units& u, int unit) { u.close_range(unit, unit); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Units u;
        ASSERT_TRUE(u.open_write(11, full));
        ASSERT_TRUE(u.open_write(12, good));
        for (int k = 0; k < c.lines; ++k) {
            u.line(11, "a line of a report");
            u.line(12, "a line of a report");
        }
        c.end(u, 11);
        c.end(u, 12);
        EXPECT_EQ(u.take_write_failures(), std::vector<std::string>{full});
        EXPECT_TRUE(u.take_write_failures().empty()); // taken once
        u.close_all();
        EXPECT_TRUE(u.take_write_failures().empty()); // named once per opening
    }
    fs::remove_all(dir);
}

#ifdef VELM_CHECKED
TEST(UnitsDeathTest, WriteToAClosedUnitIsReported) {
    Units u;
    u.use_memory_files();
    EXPECT_DEATH(u.line(9, "lost"), "unit 9");
    u.put_file("x", "");
    ASSERT_TRUE(u.open_read(1, "x"));
    EXPECT_DEATH(u.line(1, "into an input"), "unit 1");
}
#endif

} // namespace
} // namespace velm
