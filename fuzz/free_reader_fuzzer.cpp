// libFuzzer target: the free-format reader on arbitrary text.
#include "fuzz/free_reader_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velm::fuzz::read_free_text(data, size);
    return 0;
}
