// libFuzzer's entry point, shared by every harness: each input is read as a ByteScript.

#include <cstddef>
#include <cstdint>

#include "fuzz/byte_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vindle::ByteScript script(data, size);
    vindle::FuzzInput(script);
    return 0;
}
