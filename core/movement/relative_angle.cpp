// Relative angles between link headings, shared by the network builder, the
// routing trees and the movement decisions.
#include "core/movement/movement.h"

namespace velm {

namespace {
float into_full_turn(float a) {
    if (a <= 0.0f)
        a += 360.0f;
    else if (a > 360.0f)
        a -= 360.0f;
    return a;
}
} // namespace

void crelang1(Sim& /*s*/, float ang1, float ang2, float& ang3) {
    ang3 = into_full_turn(ang2 - ang1);
}

void crelang2(Sim& /*s*/, float ang1, float ang2, float& ang3) {
    ang3 = into_full_turn(ang2 - ang1 + 180.0f);
}

} // namespace velm
