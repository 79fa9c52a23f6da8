#include "core/driver/read_faults.h"

#include "core/driver/errors.h"
#include "core/io/writers.h"

namespace velm {

void route_read_faults(Sim& s) {
    s.units.on_read_fault([&s](int unit) {
        if (s.units.is_open(kUnitRunLog)) {
            wfree(s.units, kUnitRunLog, " FATAL ERROR");
            wfree(s.units, kUnitRunLog, " Unit", unit, " was read but holds no input file");
        }
        s.errcount.errt1 += 1;
        fatal_error(s);
    });
}

} // namespace velm
