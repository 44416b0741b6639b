// The parameter-reply walk fed arbitrary engine bytes. The first input byte picks the packet
// engine and the second the configuration operation; the rest is the reply.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "browser/reader/symbology_config.h"

using namespace tessel::reader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static constexpr std::array<ReaderType, 4> kTypes{ReaderType::Imager2D, ReaderType::LongRange1D,
                                                      ReaderType::Imager2D4507,
                                                      ReaderType::LongRange1D955};
    const ReaderType type = kTypes[data[0] % kTypes.size()];
    const auto& operations = packetOperations();
    const PacketOperation& op = operations[data[1] % operations.size()];
    const std::span<const std::uint8_t> reply(data + 2, size - 2);
    if (const auto values = parseParamReply(op, type, reply)) {
        for (std::size_t i = 0; i < values->size(); ++i) {
            if ((*values)[i]) encodeParamValue(op.slots[i], type, *(*values)[i]);
        }
    }
    encodeParamRequest(op, type);
    return 0;
}
