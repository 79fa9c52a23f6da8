// libFuzzer target: the whole input phase of the tiny sample with one of its
// files (chosen by the first byte) replaced by the rest of the input.
#include "fuzz/tiny_sample.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velm::fuzz::run_fuzz_input(VELM_SOURCE_DIR "/samples/tiny", data, size);
    return 0;
}
