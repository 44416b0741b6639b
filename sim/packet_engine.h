#pragma once
// The packet-protocol scan engines: 2D imagers (kinds 3 and 8) and long-range lasers (kinds 4
// and 9), one class parameterised by kind.
//
// Every packet, both ways: length L (bytes without the checksum), opcode, source (0x04 host,
// 0x00 engine), status, L - 4 bytes, then the checksum (two's complement of the 16-bit byte sum,
// high byte first). A host packet with a bad checksum is answered with NAK cause 1 (resend);
// an unknown opcode with NAK cause 2; a parameter send or imager mode the engine cannot take
// with NAK cause 6. The engine's replies:
//   A3 revision request   A4 packet with the revision text of the kind
//   C6 parameter send     ACK (04 D0 00 00); parameter 9C changes the speed after the ACK
//                         (0x06 9600, 0x07 19200, 0x08 38400, 0x0B 115200)
//   C7 parameter request  C6 00 00 FF followed by number/value pairs of the known parameters
//   C8 defaults           ACK, then factory parameters and 9600 baud
//   C4/C5 aim off/on      ACK
//   E4 start decode       ACK, then after the decode delay the queued decode (decode mode) or
//                         the captured image (imager mode)
//   E5 stop decode        ACK; ends a scan, a decode in progress or an image transfer
//   F7 imager mode        ACK (mode 0 decode, 1 capture one image at the next trigger;
//                         lasers take mode 0 only)
//   D0 04 03              next packet of a multi-packet decode or of an image
//   D1 04 00 01           resend of the last packet of an image
// Decode messages (opcode F3): L F3 00 status type data. Long data goes out as a status-2
// continuation (every packet carries the type; each is acknowledged before the next comes; the
// last has status 0) or as the kind's 0x99 record:
//   kinds 3/8: first packet 99, real type, packet count, packet number, 2-byte total length, data;
//              further packets 99 then data; all acknowledged; the last has status 0;
//   kinds 4/9: one packet 99, real type, part count, then each part as 00, 2-byte length, data.
// Images (opcode B1): the first packet carries a 10-byte preamble (total image size, 4 bytes
// high first; the file format byte; 5 zero bytes) before the image bytes; every packet but the
// last has status 2 and waits for its acknowledgement.
// Parameter 0x8A (scan mode) 4 or 7 makes the engine scan continuously.

#include <map>
#include <string>

#include "sim/engine_model.h"

namespace tessel::sim {

enum class PacketKind : std::uint8_t {
    Imager2D = 3,
    LongRange1D = 4,
    Imager2D4507 = 8,
    LongRange1D955 = 9,
};

namespace packet {
inline constexpr std::uint8_t kHostSource = 0x04;
inline constexpr std::uint8_t kEngineSource = 0x00;

inline constexpr std::uint8_t kRevisionRequest = 0xA3;
inline constexpr std::uint8_t kRevisionReply = 0xA4;
inline constexpr std::uint8_t kImageData = 0xB1;
inline constexpr std::uint8_t kAimOff = 0xC4;
inline constexpr std::uint8_t kAimOn = 0xC5;
inline constexpr std::uint8_t kParamSend = 0xC6;
inline constexpr std::uint8_t kParamRequest = 0xC7;
inline constexpr std::uint8_t kParamDefaults = 0xC8;
inline constexpr std::uint8_t kAck = 0xD0;
inline constexpr std::uint8_t kNak = 0xD1;
inline constexpr std::uint8_t kStartDecode = 0xE4;
inline constexpr std::uint8_t kStopDecode = 0xE5;
inline constexpr std::uint8_t kDecodeData = 0xF3;
inline constexpr std::uint8_t kImagerMode = 0xF7;

inline constexpr std::uint8_t kStatusLast = 0x00;
inline constexpr std::uint8_t kStatusMore = 0x02;
inline constexpr std::uint8_t kStatusBetweenPackets = 0x03;
inline constexpr std::uint8_t kStatusPermanent = 0x08;
inline constexpr std::uint8_t kNoBeep = 0xFF;
inline constexpr std::uint8_t kMultiPacketType = 0x99;

inline constexpr std::uint8_t kNakResend = 0x01;
inline constexpr std::uint8_t kNakBadContext = 0x02;
inline constexpr std::uint8_t kNakDenied = 0x06;

// Largest L; a packet carries at most kMaxLength - 4 bytes after its header.
inline constexpr std::size_t kMaxLength = 0xFF;
inline constexpr std::size_t kImagePreamble = 10;

// A parameter number: a plain number 0x00-0xEF, or a prefix 0xF0/0xF1/0xF2 and a number; the
// 0xF4 mark in front says the value is two bytes (high first) instead of one.
struct ParamId {
    bool wide = false;
    std::uint8_t prefix = 0;  // 0: none
    std::uint8_t number = 0;

    auto operator<=>(const ParamId&) const = default;
};
constexpr ParamId param(std::uint8_t number) { return {false, 0, number}; }
constexpr ParamId param(std::uint8_t prefix, std::uint8_t number) {
    return {false, prefix, number};
}
constexpr ParamId wideParam(std::uint8_t prefix, std::uint8_t number) {
    return {true, prefix, number};
}
// The parameter's bytes as they appear in a message.
Bytes encode(ParamId id);
// Reads one parameter number from bytes at pos, advancing pos; nullopt when it runs out.
std::optional<ParamId> parseParamId(std::span<const std::uint8_t> bytes, std::size_t& pos);

inline constexpr ParamId kSpeedParam = param(0x9C);
inline constexpr ParamId kScanModeParam = param(0x8A);
inline constexpr ParamId kImageFormatParam = param(0xF0, 0x30);
inline constexpr std::uint8_t kBmpFormat = 3;

std::uint16_t checksum(std::span<const std::uint8_t> bytes);
// L, opcode, source, status, body, checksum.
Bytes makePacket(std::uint8_t opcode, std::uint8_t source, std::uint8_t status,
                 std::span<const std::uint8_t> body);
// A host command as the host sends it (source 0x04), with its checksum.
Bytes hostPacket(std::uint8_t opcode, std::uint8_t status, std::span<const std::uint8_t> body = {});
// Whether bytes hold one whole packet (L + 2 bytes) whose checksum holds.
bool checksumOk(std::span<const std::uint8_t> packet);

// The speed code of parameter 0x9C for a baud rate, and back; nullopt when unknown.
std::optional<std::uint8_t> speedCode(std::uint32_t baud);
std::optional<std::uint32_t> speedOf(std::uint8_t code);

// The revision text each kind answers with.
Bytes defaultRevision(PacketKind kind);
// The factory parameter table of a kind.
std::map<ParamId, std::uint16_t> factoryParameters(PacketKind kind);
}  // namespace packet

class PacketEngine final : public EngineModel {
public:
    explicit PacketEngine(PacketKind kind, std::uint32_t baud = 9600);

    PacketKind kind() const { return kind_; }
    // The 2D imagers (kinds 3 and 8) capture images; the lasers refuse imager mode 1.
    bool imager() const {
        return kind_ == PacketKind::Imager2D || kind_ == PacketKind::Imager2D4507;
    }

    const Bytes& revision() const { return revision_; }
    void setRevision(Bytes text) { revision_ = std::move(text); }

    // A parameter's current value; nullopt when the engine does not know the number.
    std::optional<std::uint16_t> parameter(packet::ParamId id) const;
    void setParameter(packet::ParamId id, std::uint16_t value) { params_[id] = value; }

    bool aiming() const { return aiming_; }
    // Whether a software trigger is pulled (start decode, no stop decode since).
    bool triggered() const { return triggered_; }
    std::uint8_t imagerMode() const { return imagerMode_; }

    // The picture the next capture in imager mode sends (its bytes as a file, e.g. a JPEG).
    // Without one the engine sends its scene (sim/pictures.h) as a BMP when its image file
    // format parameter is 3, else as a JPEG.
    void setImage(Bytes image) { image_ = std::move(image); }
    // Most data bytes per decode or image packet (at most kMaxLength - 5 for decodes).
    void setMaxPacketData(std::size_t n) { maxPacketData_ = n; }
    // Image packets sent, counting resends.
    std::size_t imagePacketsSent() const { return imagePacketsSent_; }

private:
    void hear(std::span<const std::uint8_t> bytes, Micros t) override;
    void resetParser() override { input_.clear(); }
    bool scanning() const override;
    void sendDecode(const Decode& decode, Micros at) override;
    Bytes refusal() const override;

    void handlePacket(std::span<const std::uint8_t> packet, Micros t);
    void handleAck(std::uint8_t status, Micros t);
    void handleParamSend(std::span<const std::uint8_t> body, Micros t);
    void handleParamRequest(std::span<const std::uint8_t> body, Micros t);
    void startDecode(Micros t);
    void sendNak(std::uint8_t cause, Micros t);
    void ack(Micros t);
    // Sends the next packet of the message in progress.
    void sendNextPacket(Micros at);

    std::vector<Bytes> decodePackets(const Decode& decode) const;
    std::vector<Bytes> imagePackets() const;
    std::size_t dataPerPacket(std::size_t header) const;

    PacketKind kind_;
    Bytes revision_;
    std::map<packet::ParamId, std::uint16_t> params_;
    bool aiming_ = false;
    bool triggered_ = false;
    std::uint8_t imagerMode_ = 0;
    Bytes image_;
    std::size_t maxPacketData_ = packet::kMaxLength - 5;

    Bytes input_;
    Micros lastInput_{0};

    // A multi-packet decode or image on its way: the packets and how many went out.
    std::vector<Bytes> outgoing_;
    std::size_t sent_ = 0;
    bool outgoingIsImage_ = false;
    std::size_t imagePacketsSent_ = 0;
};

}  // namespace tessel::sim
