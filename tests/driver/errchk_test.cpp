#include "core/driver/errchk.h"
#include "support/memory_run.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace velm {
namespace {

const std::string kHeading = "         \n"
                             " ---------------------------------------------\n"
                             "  11. Error check flag settings      \n";
const std::string kNoValues = "      - No error check values set \n";

struct ErrchkTest : ::testing::Test {
    ErrchkTest() {
        s->filenam.path1 = "in\\dir\\";
        s->pathnam.lpath[1] = 7;
        for (int& v : s->errflg.errchk) v = 5; // left over: must be cleared
    }
    std::string log() const { return s->units.file_text("runerr.out"); }
    int         sw(int k) const { return s->errflg.errchk[k]; }

    std::unique_ptr<Sim> s = support::logged_sim();
};

// 50 values: switch k holds k * 100 - 1 for odd k and -k for even k.
std::string value(int k) {
    return std::to_string(k % 2 ? k * 100 - 1 : -k);
}

TEST_F(ErrchkTest, AbsentFileLeavesEverySwitchZero) {
    rderrchk(*s);
    for (int k = 1; k <= 50; ++k) EXPECT_EQ(sw(k), 0) << k;
    EXPECT_EQ(log(), kHeading + kNoValues);
    EXPECT_FALSE(s->units.is_open(kUnitInput));
}

TEST_F(ErrchkTest, FiftyValuesReadAlikeOnAnyLines) {
    std::string ten_per_line = "Switches for the test run\n";
    std::string scattered = "Switches for the test run\n";
    for (int k = 1; k <= 50; ++k) {
        ten_per_line += value(k) + (k % 10 ? " " : "\n");
        // 1, 2, 3, ... values per line, commas and blanks mixed.
        scattered += value(k) + (k == 1 || k == 3 || k == 6 || k == 10 || k == 15 || k == 21 ||
                                         k == 28 || k == 36 || k == 45
                                     ? "\n"
                                     : ", ");
    }
    scattered += "\n";
    std::string first_log;
    for (const std::string& text : {ten_per_line, scattered}) {
        SCOPED_TRACE(text);
        s = support::logged_sim();
        s->filenam.path1 = "in\\dir\\*"; // only the first lpath characters count
        s->pathnam.lpath[1] = 7;
        s->units.put_file("in\\dir\\err_chk.dat", text);
        rderrchk(*s);
        for (int k = 1; k <= 50; ++k) EXPECT_EQ(std::to_string(sw(k)), value(k)) << k;
        if (first_log.empty()) first_log = log();
        EXPECT_EQ(log(), first_log);
        EXPECT_FALSE(s->units.is_open(kUnitInput));
    }
    EXPECT_EQ(first_log, kHeading + "      - Error check file:" + "Switches for the test run" +
                             std::string(15, ' ') + "\n" +
                             "             99   -2  299   -4  499   -6  699   -8  899  -10\n"
                             "           1099  -12 1299  -14 1499  -16 1699  -18 1899  -20\n"
                             "           2099  -22 2299  -24 2499  -26 2699  -28 2899  -30\n"
                             "           3099  -32 3299  -34 3499  -36 3699  -38 3899  -40\n"
                             "           4099  -42 4299  -44 4499  -46 4699  -48 4899  -50\n"
                             "      - Read in error check values\n");
}

TEST_F(ErrchkTest, ThirtyValuesOnlyKeepWhatWasRead) {
    std::string text = "Only thirty\n";
    for (int k = 1; k <= 30; ++k) text += std::to_string(k) + (k % 10 ? " " : "\n");
    s->units.put_file("in\\dir\\err_chk.dat", text);
    rderrchk(*s);
    for (int k = 1; k <= 30; ++k) EXPECT_EQ(sw(k), k);
    for (int k = 31; k <= 50; ++k) EXPECT_EQ(sw(k), 0);
    EXPECT_EQ(log(), kHeading + "      - Error check file:" + "Only thirty" + std::string(29, ' ') +
                         "\n" + kNoValues);
    EXPECT_FALSE(s->units.is_open(kUnitInput));
}

TEST_F(ErrchkTest, DamagedFilesKeepTheValuesBeforeTheFault) {
    struct Case {
        const char* text;
        int         kept; // switches 1..kept read
    } const cases[] = {
        {"", 0}, // empty: no title
        {"title only\n", 0},
        {"t\n1 2 3 4 5 6 12.0 8\n", 6}, // not a whole number
        {"t\n1 2 3 x 5\n", 3},
        {"t\n1,,2\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        s = support::logged_sim();
        s->units.put_file("err_chk.dat", c.text); // no input directory
        rderrchk(*s);
        for (int k = 1; k <= 50; ++k) EXPECT_EQ(sw(k), k <= c.kept ? k : 0) << k;
        EXPECT_TRUE(log().ends_with(kNoValues));
        EXPECT_EQ(s->errcount.errt1, 0); // never an error
        EXPECT_EQ(s->errcount.numerr, 0);
    }
}

TEST_F(ErrchkTest, TitleIsCutToFortyCharactersAndWideValuesOverflow) {
    std::string text = std::string(45, 'T') + "\n-123456";
    for (int k = 2; k <= 50; ++k) text += " 0";
    s->units.put_file("in\\dir\\err_chk.dat", text + "\n");
    rderrchk(*s);
    EXPECT_EQ(sw(1), -123456); // kept as read: values are not range-checked
    const std::string l = log();
    EXPECT_NE(l.find("      - Error check file:" + std::string(40, 'T') + "\n"), std::string::npos);
    EXPECT_NE(l.find("\n          *****    0    0"), std::string::npos);
}

} // namespace
} // namespace velm
