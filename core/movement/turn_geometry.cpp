// The turn direction of a movement from one link into the next.
#include "core/io/writers.h"
#include "core/movement/movement.h"

#include <algorithm>

namespace velm {

namespace {} // namespace

void turn_ang(Sim& s, int mlin, const Array1<float>& ang, int nl, int ldest, float& relang,
              int& idir) {
    relang = kStraightOn;
    idir = 2;
    if (ldest < 1) return; // no next link: the trip ends here, or it is not known yet
    const int top = std::min(mlin, ang.hi());
    if (ldest > top || nl < 1 || nl > top) {
        // A link beyond the heading table: reported, and taken as straight on.
        wfree(s.units, kUnitRunLog, " Error detected: ", " from nl=", nl, " ldest=", ldest);
        wfree(s.units, kUnitRunLog, blanks(17), " this exceeds maximum=", mlin);
        return;
    }
    crelang2(s, ang(nl), ang(ldest), relang);
    if (relang > kLeftAbove)
        idir = 1;
    else if (relang < kRightBelow)
        idir = 3;
}

} // namespace velm
