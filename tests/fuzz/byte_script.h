#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vindle {

// Reads a fuzz input from the front, one field after the other. Past the end every field reads
// as zero, so any input, even an empty one, describes a complete scenario and hand-made seeds
// stay readable: each byte means what the harness reads it as, in order.
class ByteScript {
  public:
    ByteScript(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t Byte() { return m_position < m_size ? m_data[m_position++] : 0; }

    // Two bytes, big-endian.
    std::uint16_t Word() {
        const std::uint16_t high = Byte();
        return static_cast<std::uint16_t>(high << 8 | Byte());
    }

    // A byte folded into 0 .. bound - 1.
    int Below(int bound) { return bound > 0 ? Byte() % bound : 0; }

    std::vector<std::uint8_t> Bytes(std::size_t count) {
        std::vector<std::uint8_t> bytes(count);
        for (std::uint8_t& byte : bytes) {
            byte = Byte();
        }
        return bytes;
    }

    bool AtEnd() const { return m_position >= m_size; }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

// One fuzz input, run by the harness that defines it (fuzz_entry.cpp hands libFuzzer's inputs to
// it).
void FuzzInput(ByteScript& script);

}  // namespace vindle
