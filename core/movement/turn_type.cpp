// The turn type of a pair of links from their headings.
#include "core/io/writers.h"
#include "core/movement/movement.h"

namespace velm {

void turntype(Sim& s, int linkin, int linkout, int& trntyp, int flag, int angle) {
    const float ain = s.graph1.ang(linkin);
    const float aout = s.graph1.ang(linkout);
    float       rel = 0.0f;
    crelang2(s, ain, aout, rel);
    const float a = static_cast<float>(angle);
    if (rel > 180.0f + a)
        trntyp = 1;
    else if (rel < 180.0f - a)
        trntyp = 3;
    else
        trntyp = 2;
    if (flag == 1) {
        wfree(s.units, kUnitRunLog, "  ");
        wfree(s.units, kUnitRunLog, " link in ot     ", linkin, linkout);
        wfree(s.units, kUnitRunLog, " ang in ot rel  ", ain, aout, rel);
        wfree(s.units, kUnitRunLog, " turn type      ", trntyp);
    }
}

} // namespace velm
