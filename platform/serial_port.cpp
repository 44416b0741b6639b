#include "platform/serial_port.h"

namespace tessel::platform {

Micros characterTime(const LineSettings& line, std::size_t characters) {
    const std::uint64_t bits =
        1u + line.dataBits + (line.parity == Parity::None ? 0u : 1u) + line.stopBits;
    const std::uint64_t baud = line.baud == 0 ? 1 : line.baud;
    // Rounded up so that n characters never take less than n * bits / baud.
    return Micros((bits * characters * 1'000'000 + baud - 1) / baud);
}

}  // namespace tessel::platform
