#include "core/driver/charcon.h"

namespace velm {

namespace {
// Right-justified digits of ix in `width` characters, or only fill characters
// when ix is outside lo..hi. A negative value gets its sign just before the
// leading digit (the range leaves room for it).
void fixed_width(int ix, std::string& y, int flag, int width, long lo, long hi) {
    y.assign(static_cast<std::size_t>(width), flag == 1 ? ' ' : '0');
    const long v = ix;
    if (v < lo || v > hi) return;
    long        a = v < 0 ? -v : v;
    std::size_t pos = y.size();
    do {
        y[--pos] = static_cast<char>('0' + a % 10);
        a /= 10;
    } while (a > 0);
    if (v < 0) y[--pos] = '-';
}
} // namespace

void charcon2(int ix, std::string& y, int flag) {
    fixed_width(ix, y, flag, 2, 0, 99);
}
void charcon3(int ix, std::string& y, int flag) {
    fixed_width(ix, y, flag, 3, 0, 999);
}
void charcon5(int ix, std::string& y, int flag) {
    fixed_width(ix, y, flag, 5, -9999, 99999);
}
void charcon7(int ix, std::string& y, int flag) {
    fixed_width(ix, y, flag, 7, 0, 9999999);
}

} // namespace velm
