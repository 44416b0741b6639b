// Parses arbitrary bytes as a registry file; what it keeps must survive writing and reading back.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel::platform;
    const std::string text =
        formatRegistry(parseRegistry(std::string_view(reinterpret_cast<const char*>(data), size)));
    if (formatRegistry(parseRegistry(text)) != text) std::abort();
    return 0;
}
