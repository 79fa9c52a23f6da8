#pragma once
// Error counters of the run.
namespace velm {
struct mod_errcount {
    int errt1 = 0; // fatal errors: a positive count ends the run at the next guard
    int errt2 = 0; // output files not created where asked (reports not written)
    int errl1 = 0; // error check levels, echoed on the summary output
    int errl2 = 0;
    int numerr = 0; // all errors and warnings reported
    // Required input files that failed: each is in errt1 twice, once where
    // its reader stopped and once for the file.
    int counted_twice = 0;
};
} // namespace velm
