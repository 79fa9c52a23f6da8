// The desktop program: the window on the main thread, each run on a core thread.
#include "core/driver/driver.h"
#include "frontend/app.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

int main(int argc, char** argv) {
    // "--traces" anywhere asks every run for its trace files; it is taken out
    // of the arguments before the toolkit and the master file see them.
    bool traces = false;
    int  kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--traces")
            traces = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    // The master file of a command-line run, whole, whatever its length.
    const std::string master_file = argc > 1 ? argv[1] : "";
    if (!gtk_init_check(&argc, &argv)) {
        std::cerr << "velmsims: cannot open the display\n";
        return 1;
    }
    velm::gui::AppOptions options;
    options.core_run = [traces](velm::Sim& s) {
        s.write_traces = traces;
        velm::velmorantis_main_file_input(s);
    };
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
