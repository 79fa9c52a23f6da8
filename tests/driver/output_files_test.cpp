// The numbered output files: which slots open, the summary output's banner,
// and the fallbacks when the output directory is missing.
#include "core/driver/driver.h"
#include "core/io/writers.h"
#include "driver_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace velm {
namespace {

using testing::has_line;
using testing::lines_of;
using testing::memory_sim;

// Slot names: slot k named "fk.out" for the output slots, "none" elsewhere.
void name_slots(Sim& s, const std::string& dir) {
    for (int k = 1; k <= kMasterSlots; ++k) s.filenam.files(k) = "none";
    for (int k = 10; k <= 19; ++k) s.filenam.files(k) = "f" + std::to_string(k) + ".out";
    s.filenam.files(25) = "f25.out";
    s.filenam.files(28) = "summary.out";
    s.filenam.files(30) = "timespac.out";
    s.filenam.path2 = dir;
    s.pathnam.lpath[2] = static_cast<int>(dir.size());
    s.filenam.mastitle = "Output test";
}

TEST(OutputFiles, SlotsOpenedByOutputRateTwo) {
    for (int pd_ot2 : {0, 60}) {
        SCOPED_TRACE(pd_ot2);
        auto s = memory_sim();
        s->units.open_write(kUnitRunLog, "runerr.out");
        name_slots(*s, "out\\");
        s->filenam.files(16) = "NONE";
        s->trees.pd_ot2 = pd_ot2;
        filename(*s);
        for (int k : {10, 11, 15, 17, 18, 19, 25}) {
            EXPECT_EQ(s->pathnam.filuse[k], 1) << k;
            EXPECT_TRUE(s->units.is_open(k)) << k;
            EXPECT_TRUE(s->units.exists("out\\f" + std::to_string(k) + ".out")) << k;
        }
        for (int k : {12, 13, 14}) EXPECT_EQ(s->pathnam.filuse[k], pd_ot2 != 0 ? 1 : 0) << k;
        EXPECT_EQ(s->pathnam.filuse[16], 0);
        EXPECT_FALSE(s->units.is_open(16));
        EXPECT_EQ(s->errcount.errt1, 0);
    }
}

TEST(OutputFiles, SummaryOutputNamedNoneBecomesDefaultU10) {
    for (const char* none : {"none", "NONE"}) {
        auto s = memory_sim();
        s->units.open_write(kUnitRunLog, "runerr.out");
        name_slots(*s, "out\\");
        s->filenam.files(10) = none;
        filename(*s);
        EXPECT_EQ(s->filenam.files(10), "DEFAULT.U10");
        EXPECT_EQ(s->pathnam.filuse[10], 1);
        EXPECT_TRUE(s->units.exists("out\\DEFAULT.U10"));
    }
}

TEST(OutputFiles, BannerListsSlotsOneTo29) {
    auto s = memory_sim();
    s->units.open_write(kUnitRunLog, "runerr.out");
    name_slots(*s, "out\\");
    filename(*s);
    const auto lines = lines_of(s->units.file_text("out\\f10.out"));
    ASSERT_GE(lines.size(), 36u);
    EXPECT_EQ(lines[0], "  === VELMORANTIS FORMATTED OUTPUT FILE ===   ");
    EXPECT_EQ(lines[1].size(), 44u);
    // The release line names the release and its date.
    EXPECT_THAT(lines[1],
                ::testing::MatchesRegex("  VELMORANTIS Release [0-9]+\\.[0-9]+\\.[0-9]+ "
                                        "of [0-9]+ [A-Z][a-z][a-z] [0-9][0-9][0-9][0-9] *"));
    EXPECT_EQ(lines[3], "       Master File: Output test" + std::string(289, ' '));
    EXPECT_EQ(lines[5], " 0. Input and Output Data File Names:");
    EXPECT_EQ(lines[6], "     - File:  1 is: none" + std::string(196, ' '));
    EXPECT_EQ(lines[6 + 27], "     - File: 28 is: summary.out" + std::string(189, ' '));
    EXPECT_EQ(lines[6 + 28].substr(0, 20), "     - File: 29 is: ");
    EXPECT_EQ(lines[6 + 29], "");
    EXPECT_EQ(s->units.file_text("out\\f10.out").find("timespac.out"), std::string::npos);
}

// Runs filename with files on disk in a fresh temporary working directory.
class OnDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("velm_output_files_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path dir_, old_;
};

// Every named output slot that cannot be created is named and counted as a
// report not written; none of them ends the run, and each stays unused.
TEST_F(OnDisk, MissingOutputDirectoryFallsBackAndNamesEverySlotNotWritten) {
    auto s = std::make_unique<Sim>();
    s->units.open_write(kUnitRunLog, "runerr.out");
    name_slots(*s, "missing\\");
    s->filenam.files(11) = "none";
    filename(*s);
    // Slot 10 falls back to the working directory, without counting as open.
    EXPECT_TRUE(std::filesystem::exists("f10.out"));
    EXPECT_EQ(s->pathnam.filuse[10], 0);
    EXPECT_EQ(s->errcount.errt1, 0);
    // Not where they were asked for: slot 10, and 15 to 19 and 25 (11 is
    // unused, 12 to 14 are not opened without a listing period).
    EXPECT_EQ(s->errcount.errt2, 7);
    EXPECT_EQ(s->errcount.numerr, 7);
    for (int k : {15, 16, 17, 18, 19, 25}) {
        EXPECT_EQ(s->pathnam.filuse[static_cast<std::size_t>(k)], 0) << k;
        EXPECT_FALSE(s->units.is_open(k)) << k;
    }
    s->units.close_all();
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_TRUE(has_line(log, "  - File 10 could not be openend in specified  subdirectory "));
    EXPECT_TRUE(has_line(log, "    Output subdirectory likely does not exist  "));
    EXPECT_TRUE(has_line(log, " Output file not written: missing\\f10.out")) << log;
    EXPECT_TRUE(has_line(log, "  -File:  15f15.out" + std::string(193, ' ') + " Cannot be opened"));
    for (int k : {15, 16, 17, 18, 19, 25})
        EXPECT_TRUE(
            has_line(log, " Output file not written: missing\\f" + std::to_string(k) + ".out"))
            << k << log;
    EXPECT_NE(s->units.file_text("f10.out").find("     - File: 15 is: f15.out"), std::string::npos);
}

TEST_F(OnDisk, SummaryOutputThatCannotBeOpenedGoesToTheRunLog) {
    auto s = std::make_unique<Sim>();
    s->units.open_write(kUnitRunLog, "runerr.out");
    name_slots(*s, "missing\\");
    s->filenam.files(10) = "nodir\\f10.out";
    filename(*s);
    EXPECT_EQ(s->errcount.errt1, 1);
    EXPECT_EQ(s->pathnam.filuse[10], 0);
    wfree(s->units, kUnitRunLog, " run log line");
    s->units.line(kUnitSummary, "a summary line");
    s->units.close_all();
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_NE(log.find("  -File:  10nodir\\f10.out"), std::string::npos);
    EXPECT_NE(log.find("the summary output follow"), std::string::npos);
    EXPECT_TRUE(has_line(log, "  run log line"));
    EXPECT_TRUE(has_line(log, "a summary line"));
    EXPECT_EQ(s->units.is_open(kUnitSummary), false);
}

} // namespace
} // namespace velm
