#pragma once
// The 50 option switches errchk(1..50) from the optional file "err_chk.dat"
// in the input directory: a title line, then the values in free format over
// as many lines as wanted. All switches are 0 when the file is absent; a
// damaged or short file keeps the values read before the fault.
#include "core/model/sim.h"

namespace velm {

// Reads the switches into s.errflg.errchk and logs them in the run log
// (unit 9). Uses unit 1, which must be free; the output files need not be
// open yet.
void rderrchk(Sim& s);

} // namespace velm
