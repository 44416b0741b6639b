// The headless program's page file: any bytes give functions or an error, never a crash, and
// every function named has a name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/headless/page_file.h"

using namespace tessel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto page = platform::headless::parsePageFile(text, error);
    if (!page && error.empty()) std::abort();
    if (page) {
        for (const auto& [name, function] : *page) {
            if (name.empty()) std::abort();
        }
    }
    return 0;
}
