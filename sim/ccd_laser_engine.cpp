#include "sim/ccd_laser_engine.h"

#include <algorithm>
#include <cstdio>

namespace tessel::sim {

namespace ccd {

namespace {

// Longest command the engine buffers; anything longer is noise and is dropped.
constexpr std::size_t kMaxCommand = 1024;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

Bytes frameCommand(std::string_view text) {
    Bytes frame(kWakeCount, kWake);
    frame.push_back(kEsc);
    frame.insert(frame.end(), text.begin(), text.end());
    frame.push_back(kCr);
    return frame;
}

std::string toHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

std::optional<Bytes> fromHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    Bytes bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

Bytes defaultBlock() {
    Bytes block(32, 0x00);
    block[0] = 0x9F;              // Code 39, Codabar, the 2 of 5 family and Code 93 on
    block[1] = 0xC9;              // EAN-13/UPC-A, EAN-8, UPC-E and Code 128 on
    block[2] = 0x02;              // Telepen AIM mode
    block[3] = 0x3F;              // GS1 DataBar: every code ID, AI and check digit transmitted
    block[4] = 0x80;              // ... the expanded code ID too
    block[5] = 0x2C;              // Code 39 and Pharmacode check digits transmitted
    block[6] = 0x50;              // 2 of 5 check digits transmitted
    block[7] = 0x90;              // Matrix 2 of 5 pattern 2
    block[9] = 0x19;              // MSI check digit transmitted, Plessey's too; EAN-13 kept
    block[10] = 0x3D;             // check digits and system number transmitted
    block[12] = 0x84;             // Industrial 2 of 5 lengths: 4 to ...
    block[13] = 0x37;             // ... 55
    block[14] = 0x84;             // Interleaved 2 of 5 lengths
    block[15] = 0x37;
    block[16] = 0x84;             // Matrix 2 of 5 lengths
    block[17] = 0x37;
    block[18] = 0x84;             // MSI lengths
    block[19] = 0x37;
    block[kScanModeByte] = 0x60;  // scan mode 6: triggered
    block[21] = 0x03;             // laser on for 3 units
    block[22] = 0xD0;             // Code 128 and EAN-128 on, ISBT 128 on
    return block;
}

Bytes decodeText(const Decode& decode) {
    char header[8];
    std::snprintf(header, sizeof header, "%c%03zu", decode.type, decode.data.size() % 1000);
    Bytes text(4 + decode.data.size());
    std::copy(header, header + 4, text.begin());
    std::copy(decode.data.begin(), decode.data.end(), text.begin() + 4);
    return text;
}

}  // namespace ccd

CcdLaserEngine::CcdLaserEngine(std::uint32_t baud)
    : EngineModel(baud), block_(ccd::defaultBlock()) {}

void CcdLaserEngine::hear(std::span<const std::uint8_t> bytes, Micros t) {
    for (auto b : bytes) {
        if (b == ccd::kEsc) {
            inFrame_ = true;
            command_.clear();
        } else if (!inFrame_) {
            continue;  // wake-up bytes and noise between commands
        } else if (b == ccd::kCr) {
            inFrame_ = false;
            recordCommand(Bytes(command_.begin(), command_.end()));
            execute(command_, t);
        } else if (command_.size() < ccd::kMaxCommand) {
            command_.push_back(static_cast<char>(b));
        } else {
            resetParser();
        }
    }
}

void CcdLaserEngine::resetParser() {
    inFrame_ = false;
    command_.clear();
}

bool CcdLaserEngine::scanning() const {
    const int mode = scanMode();
    const bool continuous = mode == 1 || mode == 3 || mode == 5 || mode == 7;
    return triggered_ || continuous;
}

void CcdLaserEngine::sendDecode(const Decode& decode, Micros at) {
    Bytes message = ccd::decodeText(decode);
    message.push_back(ccd::kCr);
    emit(message, at);
    triggered_ = false;  // one decode per trigger pull
}

Bytes CcdLaserEngine::refusal() const { return {'N', 'G', ccd::kCr}; }

void CcdLaserEngine::execute(const std::string& command, Micros t) {
    if (command == "ON") {
        triggered_ = true;
        flushDecodes(decodeTime(t));
        return;
    }
    if (command == "OFF") {
        triggered_ = false;
        return;
    }
    if (!acceptCommand(t)) return;
    if (command == "VER") {
        reply(version_, t);
    } else if (command == "SET") {
        reply(ccd::toHex(block_), t);
    } else if (command.starts_with("SAVE")) {
        auto block = ccd::fromHex(std::string_view(command).substr(4));
        if (!block || block->size() < ccd::kMinBlockSize) {
            reply("NG", t);
            return;
        }
        block_ = std::move(*block);
        reply("OK", t);
        flushDecodes(decodeTime(t));  // the new scan mode may be a continuous one
    } else {
        reply("NG", t);
    }
}

void CcdLaserEngine::reply(std::string_view text, Micros t) {
    Bytes message(text.begin(), text.end());
    message.push_back(ccd::kCr);
    emit(message, replyTime(t));
}

}  // namespace tessel::sim
