#pragma once
// The free-format reader driven by arbitrary bytes: the first bytes choose
// the kind of each value asked for, the rest is the file's text. Every call
// is one the readers make; the results are checked against the reader's
// promises (a whole number can be negated, a real is finite).
#include "core/io/free_reader.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace velm::fuzz {

inline constexpr std::size_t kPlanBytes = 8;

// Runs the reader over the input; returns the number of values read.
inline int read_free_text(const std::uint8_t* data, std::size_t size) {
    const std::size_t  plan_size = size < kPlanBytes ? size : kPlanBytes;
    std::istringstream in(
        std::string(reinterpret_cast<const char*>(data) + plan_size, size - plan_size));
    FreeReader r(in);
    int        values = 0;
    for (std::size_t step = 0; step < 4096; ++step) {
        const int  op = plan_size == 0 ? 0 : data[step % plan_size] >> (2 * (step / plan_size % 4));
        ReadResult rr = ReadResult::ok;
        switch (op & 7) {
        case 0: {
            int v = 0;
            rr = r.next(v);
            if (rr == ReadResult::ok && v == INT_MIN) std::abort(); // a value that has no negation
            break;
        }
        case 1: {
            float v = 0;
            rr = r.next(v);
            if (rr == ReadResult::ok && !std::isfinite(v)) std::abort();
            break;
        }
        case 2: {
            double v = 0;
            rr = r.next(v);
            if (rr == ReadResult::ok && !std::isfinite(v)) std::abort();
            int out = 0;
            if (rr == ReadResult::ok && truncate_to_int(v, out) && out == INT_MIN) std::abort();
            break;
        }
        case 3: {
            std::string v;
            rr = r.next(v);
            break;
        }
        case 4: {
            std::string line;
            if (!r.text_line(line)) rr = ReadResult::end_of_file;
            break;
        }
        case 5:
            r.start_record();
            break;
        case 6:
            (void)r.rest();
            (void)r.last_token();
            break;
        default: {
            float a = 0, b = 0;
            int   c = 0;
            rr = r.record(a, b, c);
            break;
        }
        }
        if (rr == ReadResult::ok) ++values;
        if (rr == ReadResult::end_of_file) break;
    }
    return values;
}

} // namespace velm::fuzz
