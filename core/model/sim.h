#pragma once
// The run state: every table of one run, grouped by topic, plus the run's open
// files. One Sim is created per run, on the heap; two runs never share state.
// Each topic table is a struct named for its module (mod_link1) and is held
// here under the name without the prefix (s.link1).
#include "core/io/units.h"
#include "core/model/mod_control.h"
#include "core/model/mod_errcount.h"
#include "core/model/mod_filenam.h"
#include "core/model/frontend.h"
#include "core/platform/platform.h"

namespace velm {

struct Sim {
    Units     units;          // open files of this run, by unit number
    Platform  platform;       // clock, sleep and external commands
    FrontEnd* fe = nullptr;   // the hosting program's message window; null: console only

    // Run driver and master file.
    mod_control  control;
    mod_set1     set1;
    mod_set2     set2;
    mod_errcount errcount;
    mod_filenam  filenam;
    mod_pathnam  pathnam;
    mod_master   master;
    mod_rndnum   rndnum;
    mod_errflg   errflg;
    // (topic tables of later subsystems are added below, one line each)
};

} // namespace velm
