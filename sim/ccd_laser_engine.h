#pragma once
// The text-command CCD/laser scan engine (reader kind 2).
//
// Commands arrive as ESC, ASCII text, CR; bytes outside that frame (the host's 0xFF wake-up
// run) are ignored. Replies are the text followed by CR:
//   "VER"          the version text
//   "SET"          the configuration block, two uppercase hexadecimal digits per byte
//   "SAVE<hex>"    stores the block given in hexadecimal (at least 30 bytes): "OK", or "NG"
//                  when the text is not a whole number of hexadecimal bytes or is too short
//   "ON", "OFF"    software trigger; no reply
//   anything else  "NG"
// A decode goes out as the code type letter, the data length as three decimal digits, the
// data and CR; a no-read is "*000" (queue Decode{'*'}). The scan mode lives in bits 4-7 of
// block byte 20: modes 1, 3, 5 and 7 scan continuously, the others decode only after "ON".

#include <string>

#include "sim/engine_model.h"

namespace tessel::sim {

namespace ccd {
inline constexpr std::uint8_t kWake = 0xFF;
inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr std::uint8_t kCr = 0x0D;
inline constexpr std::size_t kWakeCount = 30;
inline constexpr std::size_t kMinBlockSize = 30;
inline constexpr std::size_t kScanModeByte = 20;
inline constexpr std::uint32_t kDefaultBaud = 115200;

// The command as the host frames it: 30 x 0xFF, ESC, text, CR.
Bytes frameCommand(std::string_view text);
// "%02X" per byte.
std::string toHex(std::span<const std::uint8_t> bytes);
// Pairs of hexadecimal digits (either case); nullopt for an odd length or a non-digit.
std::optional<Bytes> fromHex(std::string_view text);
// The engine's factory configuration block (32 bytes, scan mode 6).
Bytes defaultBlock();
// A decode message without its CR: letter, three-digit length, data.
Bytes decodeText(const Decode& decode);
}  // namespace ccd

class CcdLaserEngine final : public EngineModel {
public:
    explicit CcdLaserEngine(std::uint32_t baud = ccd::kDefaultBaud);

    const std::string& version() const { return version_; }
    void setVersion(std::string text) { version_ = std::move(text); }

    const Bytes& configBlock() const { return block_; }
    void setConfigBlock(Bytes block) { block_ = std::move(block); }
    int scanMode() const { return block_[ccd::kScanModeByte] >> 4; }
    // Whether the laser is on ("ON" received, no "OFF" since).
    bool triggered() const { return triggered_; }

private:
    void hear(std::span<const std::uint8_t> bytes, Micros t) override;
    void resetParser() override;
    bool scanning() const override;
    void sendDecode(const Decode& decode, Micros at) override;
    Bytes refusal() const override;

    void execute(const std::string& command, Micros t);
    void reply(std::string_view text, Micros t);

    std::string version_ = "CL-1100 V3.07";
    Bytes block_;
    bool triggered_ = false;
    bool inFrame_ = false;
    std::string command_;
};

}  // namespace tessel::sim
