#include "sim/rfid_frame_reader.h"

#include <algorithm>
#include <array>

#include "sim/ccd_laser_engine.h"

namespace tessel::sim {

namespace {

constexpr std::size_t kHeaderBytes = 6;  // 01 LL 00 03 04 CMD
constexpr std::size_t kMaxPending = 4096;

struct ProtocolCode {
    std::uint8_t selectByte;
    int protocol;
    std::uint8_t inventoryCommand;
};
constexpr std::array<ProtocolCode, 4> kProtocols{{
    {0x09, 3, 0xA0}, {0x0C, 5, 0xB0}, {0x13, 8, 0x34}, {0x00, 16, 0x14}}};

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::string line(std::string_view text) { return std::string(text) + "\r\n"; }

}  // namespace

void RfidFrameReader::hear(std::span<const std::uint8_t> bytes, platform::Micros t) {
    for (auto b : bytes) {
        if (isHexDigit(char(b))) pending_.push_back(char(b));
    }
    if (pending_.size() > kMaxPending) pending_.clear();
    while (pending_.size() >= 4) {
        const auto head = ccd::fromHex(std::string_view(pending_).substr(0, 4));
        const std::size_t length = head ? (*head)[1] : 0;
        if (!head || (*head)[0] != 0x01 || length < kHeaderBytes + 2) {
            pending_.erase(0, 2);  // not the start of a frame: look one byte further
            continue;
        }
        if (pending_.size() < 2 * length) return;
        const std::string text = pending_.substr(0, 2 * length);
        pending_.erase(0, 2 * length);
        std::string upper = text;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        record(upper);
        execute(*ccd::fromHex(text), t);
    }
}

void RfidFrameReader::execute(const TagBytes& frame, platform::Micros t) {
    const std::uint8_t command = frame[5];
    if (command == 0xFE) return reply(version_, t);
    if (command == 0xF0 || command == 0xF1) return reply(line("Register write request."), t);
    if (command == 0x10 && frame.size() >= 12) {
        for (const auto& p : kProtocols) {
            if (p.selectByte == frame[9]) protocol_ = p.protocol;
        }
        return reply(line("Register write request."), t);
    }
    if (command == 0x18) return reply(blockCommand(frame), t);
    for (const auto& p : kProtocols) {
        if (p.inventoryCommand == command) return reply(inventory(command), t);
    }
}

std::string RfidFrameReader::inventory(std::uint8_t command) const {
    const auto selected = std::find_if(kProtocols.begin(), kProtocols.end(),
                                       [&](const auto& p) { return p.protocol == protocol_; });
    std::string groups;
    if (selected != kProtocols.end() && selected->inventoryCommand == command) {
        for (const Tag& tag : field()) {
            if (protocol_ == 3) {
                if (const auto* m = std::get_if<MifareClassic>(&tag)) {
                    groups += "[" + ccd::toHex(m->uid()) + ccd::toHex(std::array{m->selectAcknowledge()}) + "]";
                }
                if (const auto* u = std::get_if<Ultralight>(&tag)) {
                    groups += "[" + ccd::toHex(u->uid()) + "00]";
                }
            } else if (protocol_ == 5) {
                if (const auto* s = std::get_if<SrTag>(&tag)) {
                    const auto uid = s->uid();
                    groups += "[50" + ccd::toHex(std::span(uid).first(4)) + "00000000]";
                }
            } else if (protocol_ == 8) {
                break;  // Tag-it answers below
            } else if (protocol_ == 16) {
                if (const auto* v = std::get_if<Iso15693Tag>(&tag)) {
                    const auto uid = v->uid();
                    const auto shown = std::span(uid).first(std::min(uidBytes_, uid.size()));
                    groups += "[,40][" + ccd::toHex(shown) + ",40]";
                }
            }
        }
    }
    if (protocol_ == 8 && selected != kProtocols.end() && selected->inventoryCommand == command &&
        !tagitInventory_.empty()) {
        groups = "[" + tagitInventory_ + "]";
    }
    return line(groups.empty() ? "[]" : groups);
}

Iso15693Tag* RfidFrameReader::isoTag() {
    if (protocol_ != 16) return nullptr;
    for (Tag& tag : field()) {
        if (auto* v = std::get_if<Iso15693Tag>(&tag)) return v;
    }
    return nullptr;
}

std::string RfidFrameReader::blockCommand(const TagBytes& frame) {
    // 01 LL 00 03 04 18 flags opcode block [data] 00 00
    if (frame.size() < 11) return "[]";
    const std::uint8_t flags = frame[6];
    const std::uint8_t opcode = frame[7];
    const std::uint8_t block = frame[8];
    if (opcode == 0x08 || opcode == 0x28) return tagitCommand(opcode, block);
    Iso15693Tag* tag = isoTag();
    if (!tag) return "[]";
    if (opcode == 0x20) {
        const auto data = tag->read(block, 1);
        return data ? "[00" + ccd::toHex(*data) + "]" : "[]";
    }
    if (opcode != 0x21 || frame.size() != 15) return "[]";
    if (needsOptionFlag_ && flags != 0x40) return "[010F]";
    const std::span<const std::uint8_t, 4> data(frame.data() + 9, 4);
    return tag->write(block, data) ? "[00]" : "[010F]";
}

std::string RfidFrameReader::tagitCommand(std::uint8_t opcode, std::uint8_t block) const {
    if (protocol_ != 8 || tagitInventory_.empty()) return "[]";
    if (opcode == 0x28) return "[00]";
    return block < tagitBlocks_.size() ? "[" + tagitBlocks_[block] + "]" : "[]";
}

}  // namespace tessel::sim
