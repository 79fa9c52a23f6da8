// A bad vehicle type in "veh_parameters.dat" ends the console program with a
// failure status, after the run log and the box have said why.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace velm {
namespace {

namespace fs = std::filesystem;

std::string read_all(const fs::path& p) {
    std::ifstream      in(p, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(VehicleTypesRun, BadTypeNumberEndsTheProgramWithAFailureStatus) {
    const fs::path dir = fs::temp_directory_path() / "velm_vehicle_types_it";
    fs::remove_all(dir);
    fs::copy(fs::path(VELM_SOURCE_DIR) / "samples" / "tiny", dir, fs::copy_options::recursive);
    {
        std::ofstream f(dir / "input" / "veh_parameters.dat", std::ios::binary);
        f << "types\n1 0 0\n"
             "26 1 1500 4.5 0.55 0.7 120 60 0.85 0.3 2.2 1.5 0.03 4 0.9 1000 -0.7 0.95 0.1 0.9"
             " 0.8 0.92 0.6 0.05 40 1.2 0.001 0.0002 0.00003 0.4\n";
    }
    const std::string cmd = "cd '" + dir.string() + "' && '" + VELM_CONSOLE_PROGRAM +
                            "' --master tiny.master > console.txt 2>&1";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
    const std::string log = read_all(dir / "runerr.out");
    EXPECT_NE(log.find(" Error reading  vehicle vehicle parameters file at line            3"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Vehicle type           26 not allowed"), std::string::npos);
    const std::string console = read_all(dir / "console.txt");
    EXPECT_NE(console.find("Total Number of errors is:       1"), std::string::npos) << console;
    fs::remove_all(dir);
}

} // namespace
} // namespace velm
