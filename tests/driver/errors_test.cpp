#include "core/driver/errors.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace velm {
namespace {

struct ErrorsTest : ::testing::Test {
    ErrorsTest() {
        EXPECT_TRUE(s->units.open_write(kUnitRunLog, "runerr.out"));
        EXPECT_TRUE(s->units.open_write(kUnitSummary, "summary.out"));
    }
    std::string          console;
    support::BoxRecorder fe;
    std::unique_ptr<Sim> s = support::memory_sim(&console, &fe);
};

std::string pad(const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
}

TEST_F(ErrorsTest, ListerrByStage) {
    const std::string name = pad("in\\incident.dat", 60);
    struct Case {
        int         typerr;
        std::string run_log;
        int         counted; // added to numerr and errt1
    } const cases[] = {
        {kReadOpen, " ERROR 1020\n Cannot find file:            5  " + name + "\n\n", 1},
        {kReadTitle, " ERROR 1021\n The file            5 " + name + " contains no data\n\n", 1},
        {kReadData,
         " ERROR 1022\n Out of data/data error in file:            5 " + name +
             "\n Attempting to read to LINE          12\n\n",
         1},
        {kReadOutOfData,
         " ERROR 1023\n Out of data:            5 " + name +
             "\n Attempting to read to LINE          12\n\n",
         1},
        {5, "", 0},
        {-1, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typerr);
        auto t = support::logged_sim(support::Opened::run_log_and_summary);
        t->errcount.numerr = 4;
        t->errcount.errt1 = 2;
        listerr(*t, "in\\incident.dat", 5, 12, c.typerr, t->errcount.numerr);
        EXPECT_EQ(t->units.file_text("runerr.out"), c.run_log);
        EXPECT_EQ(t->units.file_text("summary.out"), "");
        EXPECT_EQ(t->errcount.numerr, 4 + c.counted);
        EXPECT_EQ(t->errcount.errt1, 2 + c.counted);
    }
}

TEST_F(ErrorsTest, ListerrCompleteFileGoesToTheSummaryOutput) {
    s->filenam.ftitle(5) = "Incidents of the morning peak";
    s->filenam.mastitle = "Master title";
    int count = 0;
    listerr(*s, "incident.dat", 5, 9, kReadComplete, count);
    listerr(*s, "run.master", 0, 30, kReadComplete, count);
    EXPECT_EQ(s->units.file_text("summary.out"),
              "  \n"
              "     - Complete file:   5   " +
                  pad("incident.dat", 60) + "\n" + "     - " +
                  pad("Incidents of the morning peak", 300) + "\n" +
                  // The master file (slot 0): no blank line, the master title.
                  "     - Complete file:   0   " + pad("run.master", 60) + "\n" + "     - " +
                  pad("Master title", 300) + "\n");
    EXPECT_EQ(s->units.file_text("runerr.out"), "");
    EXPECT_EQ(count, 0);
    EXPECT_EQ(s->errcount.errt1, 0);
}

TEST_F(ErrorsTest, ListerrCutsLongNamesToSixtyCharacters) {
    const std::string long_name = std::string(59, 'a') + "bcdef";
    listerr(*s, long_name, 2, 1, kReadOpen, s->errcount.numerr);
    EXPECT_EQ(s->units.file_text("runerr.out"),
              " ERROR 1020\n Cannot find file:            2  " + long_name.substr(0, 60) + "\n\n");
}

TEST_F(ErrorsTest, PopBoxWithThreeLines) {
    std::string                    title = "Incident warning   ";
    const std::vector<std::string> mes = {"Link 12 is closed   ", "", "  from 300 s "};
    pop_box(*s, 3, title, mes);
    const std::string text = "Link 12 is closed\r\r  from 300 s\r";
    ASSERT_EQ(fe.boxes.size(), 1u);
    EXPECT_EQ(fe.boxes[0].title, "Incident warning");
    EXPECT_EQ(fe.boxes[0].text, text);
    EXPECT_EQ(title, "Incident warning*");
    // The console shows the box, none of the routine's own workings.
    EXPECT_EQ(console, " TITLE = -Incident warning*-\n"
                       " Message = -" +
                           text + "*-\n");
}

TEST_F(ErrorsTest, PopBoxCutsAtStarsAndAtThreeThousandCharacters) {
    std::string                    title = "Half*title";
    const std::vector<std::string> mes = {"one", "two*three", "four"};
    pop_box(*s, 3, title, mes);
    ASSERT_EQ(fe.boxes.size(), 1u);
    EXPECT_EQ(fe.boxes[0].title, "Half");
    EXPECT_EQ(fe.boxes[0].text, "one\rtwo");

    // A count beyond the lines given is cut to them; the text to 3000.
    const std::vector<std::string> big(4, std::string(900, 'x'));
    title = "Big";
    pop_box(*s, 10, title, big);
    ASSERT_EQ(fe.boxes.size(), 2u);
    EXPECT_EQ(fe.boxes[1].text.size(), 3000u);
    EXPECT_EQ(fe.boxes[1].text.substr(2702), "\r" + std::string(297, 'x')); // 3 x (900 + CR) + 297

    // Without a front end only the console sees the box.
    s->fe = nullptr;
    title = "Quiet";
    pop_box(*s, 1, title, mes);
    EXPECT_EQ(fe.boxes.size(), 2u);
    EXPECT_EQ(support::lines_of(console).back(), " Message = -one\r*-");
}

TEST_F(ErrorsTest, FatalErrorShowsTheCountClosesTheFilesAndThrows) {
    s->units.line(kUnitRunLog, "the caller's own line");
    EXPECT_THROW(fatal_error(*s), FatalRunError);
    EXPECT_EQ(s->errcount.errt1, 1); // a termination always counts
    ASSERT_EQ(fe.boxes.size(), 1u);
    EXPECT_EQ(fe.boxes[0].title, "VELMORANTIS TERMINATION REPORT");
    EXPECT_EQ(fe.boxes[0].text, "Traffic Simulation is Terminating Pre-Maturely\r"
                                "Total Number of errors is:       1\r"
                                "\r"
                                "Please consult  RUNERR.OUT file for details\r");
    EXPECT_FALSE(s->units.is_open(kUnitRunLog));
    EXPECT_FALSE(s->units.is_open(kUnitSummary));
    EXPECT_EQ(s->units.file_text("runerr.out"), "the caller's own line\n");

    auto t = support::memory_sim(nullptr, &fe);
    t->errcount.errt1 = 1234;
    EXPECT_THROW(fatal_error(*t), FatalRunError);
    EXPECT_EQ(t->errcount.errt1, 1234);
    EXPECT_NE(fe.boxes.back().text.find("Total Number of errors is:    1234\r"), std::string::npos);
}

TEST_F(ErrorsTest, RepErrKeepsOnlyTheLatestCheckpoint) {
    std::vector<std::string> mes(4, "caller");
    rep_err(*s, 15, 410, mes);
    rep_err(*s, 250, 1130, mes);
    EXPECT_EQ(s->units.file_text("rep_err.out"), "  rep_err:         250        1130\n " +
                                                     pad("Time:       250  Code:      1130", 200) +
                                                     "\n");
    EXPECT_EQ(mes[3], "Time:       250  Code:      1130");
    EXPECT_EQ(mes[2], "caller");
    EXPECT_FALSE(s->units.is_open(kUnitCheckpoint));

    std::vector<std::string> short_mes(1, "only");
    rep_err(*s, 1, 1, short_mes); // fewer than four lines: nothing to replace
    EXPECT_EQ(short_mes[0], "only");
    EXPECT_EQ(s->units.file_text("rep_err.out").substr(0, 34),
              "  rep_err:           1           1");
}

} // namespace
} // namespace velm
