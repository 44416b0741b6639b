// Interpretation of engine replies fed arbitrary bytes: revision texts, version texts, the text
// engine's configuration block and decodes of both engine families with any host options.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "browser/reader/engine_interpret.h"

using namespace tessel::reader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::uint8_t flags = data[0];
    const std::size_t split = data[1] % (size - 2 + 1);
    const std::span<const std::uint8_t> rest(data + 2, size - 2);
    const std::span<const std::uint8_t> decode = rest.first(split);
    const std::span<const std::uint8_t> block = rest.subspan(split);

    HostOptions options;
    options.convertToEAN13 = flags & 1;
    options.transmitEan13CheckDigit = flags & 2;
    options.transmitUpcACheckDigit = flags & 4;
    options.ean128Separator = flags & 8 ? '|' : 0;

    ScanResult ccd = interpretCcd(decode, options, block);
    applyHostFilter(ccd, block);
    interpretPacket(decode);

    for (ReaderType type : {ReaderType::Imager2D, ReaderType::LongRange1D, ReaderType::Imager2D4507,
                            ReaderType::LongRange1D955}) {
        identifyRevision(type, rest);
        versionFromRevision(type, rest);
    }
    const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
    formatHexBlock(parseHexBlock(text));
    return 0;
}
