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
    if (!app->shut_down()) {
        // The core did not stop: end now, without destroying what it still uses.
        std::cerr << "velmsims: the simulation did not stop in time; ending\n";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    const int status = app->exit_status();
    delete app;
    return status;
}
