#include "browser/reader/engine_codec.h"

#include <algorithm>
#include <cassert>

namespace tessel::reader {

using platform::Millis;

std::uint16_t packetChecksum(ByteView packet) {
    std::uint16_t sum = 0;
    for (std::uint8_t b : packet) sum = static_cast<std::uint16_t>(sum + b);
    return static_cast<std::uint16_t>(0x10000 - sum);
}

Bytes withChecksum(ByteView packet) {
    Bytes framed(packet.begin(), packet.end());
    const std::uint16_t sum = packetChecksum(packet);
    framed.push_back(static_cast<std::uint8_t>(sum >> 8));
    framed.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return framed;
}

Bytes frameCcdCommand(std::string_view command) {
    Bytes frame(30, 0xFF);
    frame.push_back(kEsc);
    frame.insert(frame.end(), command.begin(), command.end());
    frame.push_back(kCr);
    return frame;
}

Bytes encodePacket(std::uint8_t opcode, std::uint8_t status, ByteView params) {
    assert(params.size() <= 0xFF - 4);
    Bytes packet{static_cast<std::uint8_t>(4 + params.size()), opcode, 0x04, status};
    packet.insert(packet.end(), params.begin(), params.end());
    return packet;
}

Bytes encodeParameterSend(ByteView pairs) {
    Bytes params{0xFF};
    params.insert(params.end(), pairs.begin(), pairs.end());
    return encodePacket(kOpcodeParameterSend, 0x08, params);
}

Bytes encodeSpeedSwitch(std::uint32_t baud) {
    const std::uint8_t code = baud == 115200 ? 0x0B : baud == 38400 ? 0x08 : 0x06;
    const std::array<std::uint8_t, 2> pair{0x9C, code};
    return encodeParameterSend(pair);
}

Bytes encodeImagerMode(std::uint8_t mode) { return {0x05, 0xF7, 0x00, 0x00, mode}; }

bool isNegativeAck(ByteView reply) {
    return reply.size() >= 5 && reply[0] == 0x05 && reply[1] == kOpcodeNak && reply[2] == 0x00 &&
           reply[3] == 0x00;
}

namespace {

// Reads count bytes into out (when given) with timeout each.
bool readInto(ByteSource& source, std::size_t count, Millis timeout, Bytes* out) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t b = 0;
        if (!source.readByte(b, timeout)) return false;
        if (out) out->push_back(b);
    }
    return true;
}

// Reads the two checksum bytes that end a packet, when they come. They are not checked; taking
// them off the line keeps them from being read as the start of the next packet, since a purge
// drops only bytes that have already arrived.
void skipChecksum(ByteSource& source) {
    std::uint8_t b = 0;
    if (source.readByte(b, kNextByteTimeout)) source.readByte(b, kNextByteTimeout);
}

// Reads count bytes into out, then the packet's checksum; false when a byte did not come.
bool readPacketRest(ByteSource& source, std::size_t count, Bytes* out) {
    if (!readInto(source, count, kNextByteTimeout, out)) return false;
    skipChecksum(source);
    return true;
}

ReplyStatus completeIf(bool read) { return read ? ReplyStatus::Complete : ReplyStatus::TimedOut; }

ReplyStatus readUntil(ByteSource& source, std::uint8_t end, Millis firstTimeout, Bytes& out,
                      bool textEngine) {
    std::uint8_t b = 0;
    Millis timeout = firstTimeout;
    for (bool first = true;; first = false, timeout = kNextByteTimeout) {
        if (!source.readByte(b, timeout)) return ReplyStatus::TimedOut;
        if (b == end) break;
        if (out.size() >= kMaxReplyBytes) return ReplyStatus::Malformed;
        if (textEngine && first && b == kEsc) continue;
        if (!textEngine && b == 0) continue;
        out.push_back(b);
    }
    if (!textEngine && !out.empty() && out.back() == kCr) out.pop_back();
    return ReplyStatus::Complete;
}

ReplyStatus readUntilSilence(ByteSource& source, Millis firstTimeout, Bytes& out) {
    std::uint8_t b = 0;
    if (!source.readByte(b, firstTimeout)) return ReplyStatus::TimedOut;
    out.push_back(b);
    while (source.readByte(b, kFrameSilence)) {
        if (out.size() >= kMaxReplyBytes) return ReplyStatus::Malformed;
        out.push_back(b);
    }
    return ReplyStatus::Complete;
}

ReplyStatus readPacket(ByteSource& source, Millis firstTimeout, Bytes& out) {
    std::uint8_t length = 0;
    if (!source.readByte(length, firstTimeout)) return ReplyStatus::TimedOut;
    out.push_back(length);
    if (length == 0) return ReplyStatus::Malformed;
    return completeIf(readPacketRest(source, length - 1u, &out));
}

}  // namespace

ReplyStatus readReply(ByteSource& source, ReaderType type, Millis firstTimeout, Bytes& out) {
    out.clear();
    switch (type) {
        case ReaderType::CcdLaser:
            return readUntil(source, kCr, firstTimeout, out, true);
        case ReaderType::RfidText:
            return readUntil(source, kLf, firstTimeout, out, false);
        case ReaderType::RfidFrame:
            return readUntilSilence(source, firstTimeout, out);
        default:
            assert(isPacketType(type));
            return readPacket(source, firstTimeout, out);
    }
}

namespace {

// The header of the first packet of a decode message, after the length and opcode.
struct DecodeHeader {
    std::uint8_t length = 0;
    std::uint8_t status = 0;
    std::uint8_t barcodeType = 0;
};

// Long-range engines: the real barcode type, one skipped byte, then the record's parts, where
// each 0x00 byte goes together with the two bytes after it. A record that stops arriving ends
// with what came.
ReplyStatus readLongRangeRecord(ByteSource& source, std::uint8_t length, Bytes& out) {
    if (length < 6) return ReplyStatus::Malformed;
    if (!readInto(source, 1, kNextByteTimeout, &out)) return ReplyStatus::TimedOut;
    std::size_t remaining = length - 6u;
    std::uint8_t b = 0;
    std::size_t dropping = 1;  // the byte after the real type
    for (; remaining > 0; --remaining) {
        if (!source.readByte(b, kNextByteTimeout)) return ReplyStatus::Complete;
        if (dropping > 0) {
            --dropping;
        } else if (b == 0) {
            dropping = 2;
        } else {
            out.push_back(b);
        }
    }
    skipChecksum(source);
    return ReplyStatus::Complete;
}

// Imagers: the first packet's data after a 4-byte record header, then further packets, each
// acknowledged, until one with status 0.
ReplyStatus readImagerRecord(DecodeSource& source, std::uint8_t length, Bytes& out) {
    if (length < 10) return ReplyStatus::Malformed;
    if (!readInto(source, 1, kNextByteTimeout, &out)) return ReplyStatus::TimedOut;
    if (!readInto(source, 4, kNextByteTimeout, nullptr)) return ReplyStatus::TimedOut;
    if (!readPacketRest(source, length - 10u, &out)) return ReplyStatus::TimedOut;
    for (;;) {
        if (out.size() >= kMaxReplyBytes) return ReplyStatus::Malformed;
        source.acknowledge();
        Bytes header;  // length, opcode, source, status, one more byte
        if (!readInto(source, 5, kNextByteTimeout, &header)) return ReplyStatus::TimedOut;
        if (header[0] < 5) return ReplyStatus::Malformed;
        if (!readPacketRest(source, header[0] - 5u, &out)) return ReplyStatus::TimedOut;
        if (header[3] == 0) return ReplyStatus::Complete;
    }
}

// Packets that follow a first packet of status 2, each acknowledged. The message ends with what
// came when the engine falls silent, sends something other than a decode packet, or sends a
// packet whose status does not announce another.
ReplyStatus readContinuation(DecodeSource& source, Bytes& out) {
    for (;;) {
        source.acknowledge();
        Bytes header;  // length, opcode, source, status, barcode type
        if (!readInto(source, 2, kNextByteTimeout, &header)) break;
        if (header[1] != kOpcodeDecode || header[0] < 5) break;
        if (!readInto(source, 3, kNextByteTimeout, &header)) break;
        if (!readPacketRest(source, header[0] - 5u, &out)) break;
        if (header[3] != 2 || out.size() >= kMaxReplyBytes) break;
    }
    return ReplyStatus::Complete;
}

}  // namespace

ReplyStatus readDecodeMessage(DecodeSource& source, ReaderType type, Millis firstTimeout,
                              Bytes& out) {
    out.clear();
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    if (!source.readByte(first, firstTimeout) || !source.readByte(second, firstTimeout)) {
        return ReplyStatus::TimedOut;
    }
    if (first == 0x05 && second == kOpcodeNak) {
        // The engine refused instead of decoding: its cause completes the five bytes.
        out = {first, second};
        return completeIf(readPacketRest(source, 3, &out));
    }
    DecodeHeader header{first};
    if (second != kOpcodeDecode) {
        std::uint8_t opcode = 0;
        if (!source.readByte(header.length, firstTimeout) ||
            !source.readByte(opcode, firstTimeout)) {
            return ReplyStatus::TimedOut;
        }
        if (opcode != kOpcodeDecode) return ReplyStatus::Malformed;
    }
    if (header.length < 5) return ReplyStatus::Malformed;
    Bytes fields;
    if (!readInto(source, 3, kNextByteTimeout, &fields)) return ReplyStatus::TimedOut;
    header.status = fields[1];
    header.barcodeType = fields[2];

    if (header.barcodeType == kMultiPacketType) {
        const bool longRange =
            type == ReaderType::LongRange1D || type == ReaderType::LongRange1D955;
        return longRange ? readLongRangeRecord(source, header.length, out)
                         : readImagerRecord(source, header.length, out);
    }
    out.push_back(header.barcodeType);
    if (!readPacketRest(source, header.length - 5u, &out)) return ReplyStatus::TimedOut;
    return header.status == 2 ? readContinuation(source, out) : ReplyStatus::Complete;
}

ReplyStatus readImageFirstPacket(ByteSource& source, Millis timeout, Bytes& out) {
    out.clear();
    std::uint8_t previous = 0;
    std::uint8_t b = 0;
    for (std::size_t skipped = 0;; ++skipped) {
        if (skipped > kMaxReplyBytes) return ReplyStatus::Malformed;
        if (!source.readByte(b, timeout)) return ReplyStatus::TimedOut;
        if (b == kOpcodeImage && skipped > 0) break;
        previous = b;
    }
    const std::uint8_t length = previous;
    if (length < 4) return ReplyStatus::Malformed;
    if (!readInto(source, 2, timeout, nullptr)) return ReplyStatus::TimedOut;
    if (!readInto(source, length - 4u, timeout, &out)) return ReplyStatus::TimedOut;
    skipChecksum(source);
    return ReplyStatus::Complete;
}

std::optional<std::uint32_t> imageTotalSize(ByteView firstPacketData) {
    if (firstPacketData.size() <= kImagePreambleBytes) return std::nullopt;
    return std::uint32_t(firstPacketData[0]) << 24 | std::uint32_t(firstPacketData[1]) << 16 |
           std::uint32_t(firstPacketData[2]) << 8 | std::uint32_t(firstPacketData[3]);
}

bool BufferSource::readByte(std::uint8_t& out, Millis) {
    if (next_ >= bytes_.size()) return false;
    out = bytes_[next_++];
    return true;
}

}  // namespace tessel::reader
