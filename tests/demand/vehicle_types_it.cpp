// A bad vehicle type in "veh_parameters.dat" ends the console program with a
// failure status, after the run log and the box have said why.
#include "support/samples.h"
#include "support/temp_dir.h"

#include "support/text.h"
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace velm {
namespace {

namespace fs = std::filesystem;

TEST(VehicleTypesRun, BadTypeNumberEndsTheProgramWithAFailureStatus) {
    const support::TempDir work;
    const fs::path&        dir = work.path();
    support::copy_sample("tiny", dir);
    {
        std::ofstream f(dir / "input" / "veh_parameters.dat", std::ios::binary);
        f << "types\n1 0 0\n"
             "26 1 1500 4.5 0.55 0.7 120 60 0.85 0.3 2.2 1.5 0.03 4 0.9 1000 -0.7 0.95 0.1 0.9"
             " 0.8 0.92 0.6 0.05 40 1.2 0.001 0.0002 0.00003 0.4\n";
    }
    const int status = support::run_console(dir, "--master tiny.master");
    ASSERT_NE(status, -1) << "the program did not exit";
    EXPECT_NE(status, 0);
    const std::string log = support::slurp(dir / "runerr.out");
    EXPECT_NE(log.find(" Error reading  vehicle vehicle parameters file at line            3"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Vehicle type           26 not allowed"), std::string::npos);
    const std::string console = support::slurp(dir / "console.txt");
    EXPECT_NE(console.find("Total Number of errors is:       1"), std::string::npos) << console;
}

} // namespace
} // namespace velm
