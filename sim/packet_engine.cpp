#include "sim/packet_engine.h"

#include <algorithm>
#include <initializer_list>

#include "sim/pictures.h"

namespace tessel::sim {

namespace packet {

namespace {

// Kinds a parameter exists on.
enum KindMask : unsigned { K3 = 1, K4 = 2, K8 = 4, K9 = 8, Imagers = K3 | K8, Lasers = K4 | K9 };
constexpr unsigned kAll = K3 | K4 | K8 | K9;

unsigned maskOf(PacketKind kind) {
    switch (kind) {
        case PacketKind::Imager2D:
            return K3;
        case PacketKind::LongRange1D:
            return K4;
        case PacketKind::Imager2D4507:
            return K8;
        case PacketKind::LongRange1D955:
            return K9;
    }
    return 0;
}

struct Factory {
    unsigned kinds;
    std::initializer_list<std::pair<ParamId, std::uint16_t>> values;
};

// Factory values of every parameter the engines know, grouped as the host's option sections
// use them.
const Factory kFactory[] = {
    // Code 39
    {kAll,
     {{param(0x00), 1},
      {param(0x0D), 0},
      {param(0x56), 0},
      {param(0xE7), 0},
      {param(0x30), 0},
      {param(0x2B), 0},
      {param(0x11), 0},
      {param(0x12), 2},
      {param(0x13), 55}}},
    // UPC and EAN
    {kAll,
     {{param(0x01), 1},
      {param(0x02), 1},
      {param(0x0C), 0},
      {param(0x10), 0},
      {param(0x50), 10},
      {param(0x28), 1},
      {param(0x29), 1},
      {param(0x2A), 0},
      {param(0x22), 1},
      {param(0x23), 1},
      {param(0x24), 0},
      {param(0x25), 0},
      {param(0x26), 0},
      {param(0x55), 0},
      {param(0x04), 1},
      {param(0x03), 1},
      {param(0x53), 0},
      {param(0x27), 0},
      {param(0x4D), 1}}},
    {Imagers, {{param(0x44), 1}}},
    // Code 128, Code 93
    {kAll,
     {{param(0x08), 1},
      {param(0x0E), 1},
      {param(0x54), 1},
      {param(0xF1, 0x41), 0},
      {param(0xDF), 10},
      {param(0x09), 1},
      {param(0x1A), 4},
      {param(0x1B), 55}}},
    // Code 11
    {K3 | K9,
     {{param(0x0A), 0}, {param(0x1C), 4}, {param(0x1D), 55}, {param(0x34), 0}, {param(0x2F), 0}}},
    // 2 of 5, Codabar, MSI
    {kAll,
     {{param(0x06), 1}, {param(0x16), 14}, {param(0x17), 0},  {param(0x31), 0}, {param(0x2C), 0},
      {param(0x52), 0}, {param(0x05), 0},  {param(0x14), 12}, {param(0x15), 0}, {param(0x07), 1},
      {param(0x18), 5}, {param(0x19), 55}, {param(0x36), 0},  {param(0x37), 0}, {param(0x0B), 0},
      {param(0x1E), 4}, {param(0x1F), 55}, {param(0x32), 0},  {param(0x2E), 0}, {param(0x33), 1}}},
    // Postal codes
    {Imagers,
     {{param(0x59), 1},
      {param(0x5A), 0},
      {param(0x5B), 1},
      {param(0x60), 0},
      {param(0xF0, 0x22), 1},
      {param(0xF0, 0x23), 1},
      {param(0xF0, 0x46), 1},
      {param(0x5F), 1}}},
    // GS1 DataBar
    {kAll,
     {{param(0xF0, 0x52), 1},
      {param(0xF0, 0x53), 1},
      {param(0xF0, 0x54), 1},
      {param(0xF0, 0x8D), 0}}},
    // Composite, security level, Macro PDF
    {Imagers,
     {{param(0xF0, 0x55), 0},
      {param(0xF0, 0x56), 0},
      {param(0xF0, 0x73), 0},
      {param(0xF0, 0x58), 0},
      {param(0xF0, 0x8E), 1},
      {param(0xF0, 0xAB), 0},
      {param(0x4E), 1},
      {param(0xF0, 0x7D), 0},
      {param(0xBC), 2},
      {param(0xB8), 0},
      {param(0xE9), 0}}},
    // 2D symbologies
    {Imagers,
     {{param(0x0F), 1},
      {param(0xE3), 0},
      {param(0x7B), 0},
      {param(0xF0, 0x24), 1},
      {param(0xF0, 0x26), 1},
      {param(0xF0, 0x25), 1}}},
    {K8,
     {{param(0xF1, 0x4C), 0},
      {param(0xF1, 0x19), 0},
      {param(0xF1, 0x4B), 0},
      {param(0xF1, 0x3D), 1},
      {param(0xF1, 0x3E), 1},
      {param(0xF1, 0x4D), 0}}},
    // Matrix 2 of 5, Chinese 2 of 5
    {K8,
     {{param(0xF1, 0x6A), 0},
      {param(0xF1, 0x6B), 14},
      {param(0xF1, 0x6C), 0},
      {param(0xF1, 0x6D), 1},
      {param(0xF1, 0x6E), 0},
      {param(0xF1, 0x6F), 0}}},
    {K8 | K9, {{param(0xF0, 0x98), 0}}},
    // Imaging
    {Imagers,
     {{param(0xF0, 0x29), 1},
      {param(0xF0, 0x2A), 1},
      {param(0xF0, 0x32), 1},
      {param(0xF0, 0xAD), 0},
      {param(0xF0, 0x68), 1},
      {param(0xF0, 0x69), 1},
      {param(0xF0, 0x43), 0},
      {param(0xF0, 0x2C), 1},
      {param(0xF0, 0x2E), 0},
      {param(0xF0, 0x2B), 1},
      {param(0xF0, 0x31), 65},
      {kImageFormatParam, 1},
      {param(0xF0, 0x2F), 0},
      {wideParam(0xF0, 0xA7), 50}}},
    {K3, {{param(0xF0, 0xA6), 0}, {param(0xF0, 0x33), 160}, {wideParam(0xF0, 0x38), 0x009D}}},
    {K8, {{param(0xF1, 0x31), 160}, {wideParam(0xF1, 0x37), 200}}},
    // Miscellaneous
    {kAll,
     {{param(0x2D), 0},
      {param(0x69), 0},
      {param(0x68), 0},
      {param(0x6A), 0},
      {param(0xEB), 0},
      {param(0x5E), 0}}},
    // Reader: laser on time, same-symbol time-out, scan mode; lasers add scan angle and
    // redundancy
    {kAll, {{param(0x88), 20}, {param(0x89), 10}, {kScanModeParam, 0}}},
    {Lasers, {{param(0xBF), 2}, {param(0x4E), 1}, {param(0x43), 0}, {param(0xED), 1}}},
    // Link: decode packet format, beeps, host handshake, speed
    {kAll, {{param(0xEC), 0}, {param(0xEE), 0}, {param(0x9B), 10}, {param(0x9F), 1}}},
    {kAll, {{kSpeedParam, 0x06}}},
};

}  // namespace

Bytes encode(ParamId id) {
    Bytes out;
    if (id.wide) out.push_back(0xF4);
    if (id.prefix != 0) out.push_back(id.prefix);
    out.push_back(id.number);
    return out;
}

std::optional<ParamId> parseParamId(std::span<const std::uint8_t> bytes, std::size_t& pos) {
    ParamId id;
    if (pos < bytes.size() && bytes[pos] == 0xF4) {
        id.wide = true;
        ++pos;
    }
    if (pos < bytes.size() && bytes[pos] >= 0xF0 && bytes[pos] <= 0xF2) id.prefix = bytes[pos++];
    if (pos >= bytes.size()) return std::nullopt;
    id.number = bytes[pos++];
    return id;
}

std::uint16_t checksum(std::span<const std::uint8_t> bytes) {
    std::uint16_t sum = 0;
    for (auto b : bytes) sum = static_cast<std::uint16_t>(sum + b);
    return static_cast<std::uint16_t>(-sum);
}

Bytes makePacket(std::uint8_t opcode, std::uint8_t source, std::uint8_t status,
                 std::span<const std::uint8_t> body) {
    Bytes out{static_cast<std::uint8_t>(4 + body.size()), opcode, source, status};
    out.insert(out.end(), body.begin(), body.end());
    const std::uint16_t sum = checksum(out);
    out.push_back(static_cast<std::uint8_t>(sum >> 8));
    out.push_back(static_cast<std::uint8_t>(sum));
    return out;
}

Bytes hostPacket(std::uint8_t opcode, std::uint8_t status, std::span<const std::uint8_t> body) {
    return makePacket(opcode, kHostSource, status, body);
}

bool checksumOk(std::span<const std::uint8_t> packet) {
    if (packet.empty() || packet.size() != packet[0] + 2u) return false;
    const auto body = packet.first(packet[0]);
    const std::uint16_t sum = checksum(body);
    return packet[packet[0]] == (sum >> 8) && packet[packet[0] + 1] == (sum & 0xFF);
}

std::optional<std::uint8_t> speedCode(std::uint32_t baud) {
    switch (baud) {
        case 9600:
            return 0x06;
        case 19200:
            return 0x07;
        case 38400:
            return 0x08;
        case 115200:
            return 0x0B;
        default:
            return std::nullopt;
    }
}

std::optional<std::uint32_t> speedOf(std::uint8_t code) {
    for (std::uint32_t baud : {9600u, 19200u, 38400u, 115200u}) {
        if (speedCode(baud) == code) return baud;
    }
    return std::nullopt;
}

Bytes defaultRevision(PacketKind kind) {
    // The host tells the kinds apart by these texts: the letter before the third space (P for
    // the 2D imager, G for the long-range laser), "PAAAA" for the newer imager, and byte 0x98 at
    // text index 11 for the newer laser.
    std::string text;
    switch (kind) {
        case PacketKind::Imager2D:
            text = "IM2D-R14 B05 CP ENG";
            break;
        case PacketKind::LongRange1D:
            text = "LR1D-R07 B02 LG ENG";
            break;
        case PacketKind::Imager2D4507:
            text = "PAAAAS00-4507 R3 XM ENG";
            break;
        case PacketKind::LongRange1D955:
            text = "LR955V12 R2\x98 05 K";
            break;
    }
    return Bytes(text.begin(), text.end());
}

std::map<ParamId, std::uint16_t> factoryParameters(PacketKind kind) {
    std::map<ParamId, std::uint16_t> table;
    const unsigned mask = maskOf(kind);
    for (const auto& group : kFactory) {
        if ((group.kinds & mask) == 0) continue;
        for (const auto& [id, value] : group.values) table[id] = value;
    }
    return table;
}

}  // namespace packet

using namespace packet;

namespace {

// A partial host packet older than this is noise: the engine starts over.
constexpr Micros kInterByteLimit{200000};

Bytes concat(std::initializer_list<std::span<const std::uint8_t>> parts) {
    Bytes out;
    for (auto part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Splits data into chunks of at most n bytes (at least one chunk, maybe empty).
std::vector<std::span<const std::uint8_t>> chunks(std::span<const std::uint8_t> data,
                                                  std::size_t n) {
    std::vector<std::span<const std::uint8_t>> out;
    for (std::size_t pos = 0; pos < data.size(); pos += n) {
        out.push_back(data.subspan(pos, std::min(n, data.size() - pos)));
    }
    if (out.empty()) out.push_back(data);
    return out;
}

}  // namespace

PacketEngine::PacketEngine(PacketKind kind, std::uint32_t baud)
    : EngineModel(baud),
      kind_(kind),
      revision_(defaultRevision(kind)),
      params_(factoryParameters(kind)) {}

std::optional<std::uint16_t> PacketEngine::parameter(ParamId id) const {
    auto found = params_.find(id);
    if (found == params_.end()) return std::nullopt;
    return found->second;
}

void PacketEngine::hear(std::span<const std::uint8_t> bytes, Micros t) {
    const Micros firstArrival = t - platform::characterTime({baud()}, bytes.size());
    if (!input_.empty() && firstArrival - lastInput_ > kInterByteLimit) input_.clear();
    lastInput_ = t;
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    while (!input_.empty()) {
        const std::size_t length = input_[0];
        if (length < 4) {
            input_.erase(input_.begin());  // cannot start a packet
            continue;
        }
        if (input_.size() < length + 2) break;
        const Bytes whole(input_.begin(), input_.begin() + static_cast<long>(length) + 2);
        input_.erase(input_.begin(), input_.begin() + static_cast<long>(length) + 2);
        if (!checksumOk(whole)) {
            sendNak(kNakResend, t);
            continue;
        }
        recordCommand(whole);
        handlePacket(whole, t);
    }
}

void PacketEngine::handlePacket(std::span<const std::uint8_t> whole, Micros t) {
    const std::uint8_t opcode = whole[1];
    const std::uint8_t status = whole[3];
    const auto body = whole.subspan(4, whole[0] - 4u);
    if (opcode == kAck) {
        handleAck(status, t);
        return;
    }
    if (opcode == kNak) {
        // A resend request: the last packet of the message in progress goes again.
        if (!outgoing_.empty() && sent_ > 0) {
            --sent_;
            sendNextPacket(replyTime(t));
        }
        return;
    }
    if (!acceptCommand(t)) return;
    switch (opcode) {
        case kRevisionRequest:
            emit(makePacket(kRevisionReply, kEngineSource, 0, revision_), replyTime(t));
            break;
        case kAimOff:
        case kAimOn:
            aiming_ = opcode == kAimOn;
            ack(t);
            break;
        case kParamSend:
            handleParamSend(body, t);
            break;
        case kParamRequest:
            handleParamRequest(body, t);
            break;
        case kParamDefaults:
            ack(t);
            params_ = factoryParameters(kind_);
            setBaud(9600);
            break;
        case kStartDecode:
            ack(t);
            startDecode(t);
            break;
        case kStopDecode:
            ack(t);
            triggered_ = false;
            outgoing_.clear();
            break;
        case kImagerMode:
            if (body.size() != 1 || body[0] > (imager() ? 1 : 0)) {
                sendNak(kNakDenied, t);
                break;
            }
            imagerMode_ = body[0];
            ack(t);
            break;
        default:
            sendNak(kNakBadContext, t);
            break;
    }
}

void PacketEngine::handleAck(std::uint8_t status, Micros t) {
    if (outgoing_.empty()) return;
    if (status == kStatusBetweenPackets && sent_ < outgoing_.size()) {
        sendNextPacket(replyTime(t));
        return;
    }
    // The last packet was acknowledged: the message is done.
    outgoing_.clear();
    flushDecodes(replyTime(t));
}

void PacketEngine::handleParamSend(std::span<const std::uint8_t> body, Micros t) {
    // Beep code, then number/value pairs. The whole message is refused when any number is
    // unknown, a value is missing or the speed code is not one the engine has.
    std::map<ParamId, std::uint16_t> changes;
    std::size_t pos = 1;
    while (pos < body.size()) {
        const auto id = parseParamId(body, pos);
        const std::size_t valueBytes = id && id->wide ? 2 : 1;
        if (!id || !params_.contains(*id) || pos + valueBytes > body.size()) {
            sendNak(kNakDenied, t);
            return;
        }
        std::uint16_t value = body[pos++];
        if (valueBytes == 2) value = static_cast<std::uint16_t>(value << 8 | body[pos++]);
        changes[*id] = value;
    }
    std::optional<std::uint32_t> newBaud;
    if (auto speed = changes.find(kSpeedParam); speed != changes.end()) {
        newBaud = speedOf(static_cast<std::uint8_t>(speed->second));
        if (!newBaud) {
            sendNak(kNakDenied, t);
            return;
        }
    }
    ack(t);
    for (const auto& [id, value] : changes) params_[id] = value;
    if (newBaud) setBaud(*newBaud);
    flushDecodes(decodeTime(t));
}

void PacketEngine::handleParamRequest(std::span<const std::uint8_t> body, Micros t) {
    Bytes reply{kNoBeep};
    std::size_t pos = 0;
    while (pos < body.size()) {
        const auto id = parseParamId(body, pos);
        if (!id) break;
        const auto value = parameter(*id);
        if (!value) continue;  // numbers the engine does not have are left out
        Bytes pair = encode(*id);
        if (id->wide) pair.push_back(static_cast<std::uint8_t>(*value >> 8));
        pair.push_back(static_cast<std::uint8_t>(*value));
        if (reply.size() + pair.size() > kMaxLength - 4) break;
        reply.insert(reply.end(), pair.begin(), pair.end());
    }
    emit(makePacket(kParamSend, kEngineSource, 0, reply), replyTime(t));
}

void PacketEngine::startDecode(Micros t) {
    if (imagerMode_ == 1) {
        // One snapshot per trigger; the engine is back in decode mode as it sends it.
        imagerMode_ = 0;
        outgoing_ = imagePackets();
        outgoingIsImage_ = true;
        sent_ = 0;
        sendNextPacket(decodeTime(t));
        return;
    }
    triggered_ = true;
    flushDecodes(decodeTime(t));
}

bool PacketEngine::scanning() const {
    if (!outgoing_.empty() || imagerMode_ != 0) return false;
    const auto mode = parameter(kScanModeParam);
    return triggered_ || mode == 4 || mode == 7;
}

void PacketEngine::sendDecode(const Decode& decode, Micros at) {
    triggered_ = false;  // one decode per trigger pull
    auto packets = decodePackets(decode);
    if (packets.size() == 1) {
        emit(packets.front(), at);
        return;
    }
    outgoing_ = std::move(packets);
    outgoingIsImage_ = false;
    sent_ = 0;
    sendNextPacket(at);
}

void PacketEngine::sendNextPacket(Micros at) {
    emit(outgoing_[sent_], at);
    ++sent_;
    if (outgoingIsImage_) ++imagePacketsSent_;
}

void PacketEngine::sendNak(std::uint8_t cause, Micros t) {
    const std::uint8_t body[] = {cause};
    sendRaw(makePacket(kNak, kEngineSource, 0, body), replyTime(t));
}

void PacketEngine::ack(Micros t) { emit(makePacket(kAck, kEngineSource, 0, {}), replyTime(t)); }

Bytes PacketEngine::refusal() const {
    const std::uint8_t body[] = {kNakDenied};
    return makePacket(kNak, kEngineSource, 0, body);
}

std::size_t PacketEngine::dataPerPacket(std::size_t header) const {
    return std::max<std::size_t>(1, std::min(maxPacketData_, kMaxLength - header));
}

std::vector<Bytes> PacketEngine::decodePackets(const Decode& decode) const {
    const std::span<const std::uint8_t> data = decode.data;
    const std::uint8_t type[] = {decode.type};
    std::vector<Bytes> packets;
    if (decode.form == DecodeForm::MultiPacket && !imager()) {
        // One packet: 99, type, part count, then each part as 00, length (2 bytes), data.
        const auto parts = chunks(data, dataPerPacket(8));
        Bytes body{kMultiPacketType, decode.type, static_cast<std::uint8_t>(parts.size())};
        for (auto part : parts) {
            if (4 + body.size() + 3 + part.size() > kMaxLength) break;  // the rest cannot fit
            body.insert(body.end(), {0x00, static_cast<std::uint8_t>(part.size() >> 8),
                                     static_cast<std::uint8_t>(part.size())});
            body.insert(body.end(), part.begin(), part.end());
        }
        packets.push_back(makePacket(kDecodeData, kEngineSource, kStatusLast, body));
        return packets;
    }
    if (decode.form == DecodeForm::MultiPacket) {
        // First packet: 99, type, count, number, total length; later ones: 99. The host always
        // expects a second packet, so a short barcode is split in two.
        auto parts = chunks(data, dataPerPacket(10));
        if (parts.size() == 1) {
            const std::size_t half = data.size() / 2;
            parts = {data.first(half), data.subspan(half)};
        }
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const std::uint8_t status = i + 1 < parts.size() ? kStatusMore : kStatusLast;
            Bytes head{kMultiPacketType};
            if (i == 0) {
                head.insert(head.end(), {decode.type, static_cast<std::uint8_t>(parts.size()), 1,
                                         static_cast<std::uint8_t>(data.size() >> 8),
                                         static_cast<std::uint8_t>(data.size())});
            }
            packets.push_back(
                makePacket(kDecodeData, kEngineSource, status, concat({head, parts[i]})));
        }
        return packets;
    }
    const auto parts = decode.form == DecodeForm::Single && data.size() <= kMaxLength - 5
                           ? chunks(data, kMaxLength - 5)
                           : chunks(data, dataPerPacket(5));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::uint8_t status = i + 1 < parts.size() ? kStatusMore : kStatusLast;
        packets.push_back(makePacket(kDecodeData, kEngineSource, status, concat({type, parts[i]})));
    }
    return packets;
}

std::vector<Bytes> PacketEngine::imagePackets() const {
    const std::uint8_t format = static_cast<std::uint8_t>(parameter(kImageFormatParam).value_or(1));
    const Bytes image = !image_.empty() ? image_
                        : sceneFile(format == kBmpFormat ? platform::PictureFormat::Bmp
                                                         : platform::PictureFormat::Jpeg);
    const auto size = static_cast<std::uint32_t>(image.size());
    Bytes payload{static_cast<std::uint8_t>(size >> 24),
                  static_cast<std::uint8_t>(size >> 16),
                  static_cast<std::uint8_t>(size >> 8),
                  static_cast<std::uint8_t>(size),
                  format,
                  0,
                  0,
                  0,
                  0,
                  0};
    payload.insert(payload.end(), image.begin(), image.end());

    // The first packet holds the whole preamble and at least one image byte.
    const std::size_t per = dataPerPacket(4);
    const std::size_t first = std::min(payload.size(), std::max(per, kImagePreamble + 1));
    std::vector<Bytes> packets;
    const std::span<const std::uint8_t> all = payload;
    auto rest = chunks(all.subspan(first), per);
    if (rest.front().empty()) rest.clear();
    packets.push_back(makePacket(kImageData, kEngineSource,
                                 rest.empty() ? kStatusLast : kStatusMore, all.first(first)));
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::uint8_t status = i + 1 < rest.size() ? kStatusMore : kStatusLast;
        packets.push_back(makePacket(kImageData, kEngineSource, status, rest[i]));
    }
    return packets;
}

}  // namespace tessel::sim
