// Host status texts (/proc/net/wireless, os-release, DMI fields, input capabilities) fed
// arbitrary bytes.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "terminal/host_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tessel::terminal::wirelessSignalDbm(text);
    tessel::terminal::osReleaseName(text);
    tessel::terminal::dmiValue(text);
    tessel::terminal::capabilityBit(text, size % 512);
    return 0;
}
