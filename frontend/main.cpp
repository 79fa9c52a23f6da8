// The desktop program: the window on the main thread, each run on a core thread.
#include "core/driver/driver.h"
#include "frontend/app.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    // The master file of a command-line run, whole, whatever its length.
    const std::string master_file = argc > 1 ? argv[1] : "";
    if (!gtk_init_check(&argc, &argv)) {
        std::cerr << "velmsims: cannot open the display\n";
        return 1;
    }
    velm::gui::AppOptions options;
    options.core_run = [](velm::Sim& s) { velm::velmorantis_main_file_input(s); };
    auto* app = new velm::gui::App(std::move(options));
    app->start(master_file);
    gtk_main();
    // The window has closed: a run still active stops at its next tick and
    // writes its run summary and closes its files before shut_down returns.
    app->shut_down();
    // Nothing is left to write: end without tearing down the toolkit and the
    // run tables, which only delays the exit the user asked for.
    const int status = app->exit_status();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}
