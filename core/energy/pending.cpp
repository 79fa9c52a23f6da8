// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/energy/energy.h"

namespace velm {

void rd_ecodrive(Sim&) {}
void rd_eccs(Sim&) {}
void rd_ecaccms(Sim&) {}
void platoon_activation(Sim&) {}
void init_platoon(Sim&) {}
void init_cd_platooning_data(Sim&) {}

void end_platoon(Sim&) {}

} // namespace velm
