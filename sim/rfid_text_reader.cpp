#include "sim/rfid_text_reader.h"

#include <algorithm>

#include "sim/ccd_laser_engine.h"

namespace tessel::sim {

namespace {

constexpr std::size_t kLoginLength = 1 + 2 + 14;
constexpr std::size_t kMaxPending = 4096;

bool isHex(char c) { return ccd::fromHex(std::string{'0', c}).has_value(); }

template <class... F>
struct Visitor : F... {
    using F::operator()...;
};
template <class... F>
Visitor(F...) -> Visitor<F...>;

std::string uidLine(const Tag& tag) {
    return std::visit(
        Visitor{
            [](const MifareClassic& t) { return "M" + ccd::toHex(t.uid()); },
            [](const Ultralight& t) { return "M" + ccd::toHex(t.uid()); },
            [](const SrTag& t) {
                auto uid = t.uid();
                std::reverse(uid.begin(), uid.end());
                return "S" + ccd::toHex(uid);
            },
            [](const Iso15693Tag& t) {
                auto uid = t.uid();
                std::reverse(uid.begin(), uid.end());
                return "V" + ccd::toHex(uid);
            },
        },
        tag);
}

std::optional<std::uint8_t> hexByte(std::string_view digits) {
    const auto bytes = ccd::fromHex(digits.substr(0, 2));
    if (!bytes || bytes->size() != 1) return std::nullopt;
    return (*bytes)[0];
}

}  // namespace

RfidTextReader::RfidTextReader(int firmware, std::uint32_t baud)
    : RfidReaderModel(baud),
      firmware_(firmware),
      version_(firmware == 0 ? "ISO 0.9v4" : "MultiISO 1.2.7") {
    for (std::uint8_t p = 0x0A; p <= 0x1F; ++p) parameters_[p] = p;
}

std::optional<std::uint8_t> RfidTextReader::parameter(std::uint8_t p) const {
    const auto it = parameters_.find(p);
    if (it == parameters_.end()) return std::nullopt;
    return it->second;
}

Tag* RfidTextReader::selectedTag() {
    if (!selected_ || *selected_ >= field().size()) return nullptr;
    return &field()[*selected_];
}

std::size_t RfidTextReader::blockBytes() const {
    if (!selected_ || *selected_ >= field().size()) return 0;
    const Tag& tag = field()[*selected_];
    return std::visit(Visitor{
                          [](const MifareClassic&) -> std::size_t { return 16; },
                          [](const Ultralight&) -> std::size_t { return 4; },
                          [](const SrTag& t) -> std::size_t { return t.blockSize(); },
                          [](const Iso15693Tag&) -> std::size_t { return 4; },
                      },
                      tag);
}

std::optional<std::size_t> RfidTextReader::commandLength() const {
    const bool blockPrefix = firmware_ != 0;
    const std::size_t blockCommand = blockPrefix ? 4 : 3;
    switch (pending_[0]) {
        case 'v':
        case 's': return 1;
        case 'l': return kLoginLength;
        case 'r':
            if (pending_.size() < 2) return 0;
            return pending_[1] == 'p' ? 4 : blockCommand;
        case 'w':
            if (pending_.size() < 2) return 0;
            if (pending_[1] == 'p') return 6;
            return blockCommand + 2 * blockBytes();
        default: return std::nullopt;
    }
}

void RfidTextReader::hear(std::span<const std::uint8_t> bytes, platform::Micros t) {
    pending_.append(bytes.begin(), bytes.end());
    if (pending_.size() > kMaxPending) pending_.clear();
    while (!pending_.empty()) {
        const auto length = commandLength();
        if (!length) {
            // A letter that starts no command: skip it and resynchronise on the next one.
            if (!isHex(pending_[0])) reply("?\r\n", t);
            pending_.erase(0, 1);
            continue;
        }
        if (*length == 0 || pending_.size() < *length) return;
        const std::string command = pending_.substr(0, *length);
        pending_.erase(0, *length);
        record(command);
        execute(command, t);
    }
}

void RfidTextReader::execute(const std::string& command, platform::Micros t) {
    const std::string_view c(command);
    const std::size_t digitsAt = firmware_ != 0 ? 2 : 1;
    if (c == "v") return answer(version_, t);
    if (c == "s") return reply(select(), t);
    if (c.starts_with("rp")) {
        const auto p = hexByte(c.substr(2));
        if (!p || rejected_[*p] || !parameter(*p)) return answer("R", t);
        return answer(ccd::toHex(std::array{*parameter(*p)}), t);
    }
    if (c.starts_with("wp")) {
        bool switchSpeed = false;
        answer(writeParameter(c.substr(2), t, switchSpeed), t);
        if (switchSpeed) setBaud(57600);
        return;
    }
    if (c[0] == 'l') return answer(login(c.substr(1, 2), c.substr(3)), t);
    if (firmware_ != 0 && c.size() > 1 && c[1] != 'b') return answer("?", t);
    if (c[0] == 'r') return answer(readBlock(c.substr(digitsAt, 2)), t);
    return answer(writeBlock(c.substr(digitsAt, 2), c.substr(digitsAt + 2)), t);
}

std::string RfidTextReader::select() {
    loggedSector_.reset();
    if (field().empty()) {
        selected_.reset();
        return "N\r\n";
    }
    selected_ = 0;
    std::string lines;
    for (const Tag& tag : field()) lines += uidLine(tag) + "\r\n";
    return lines;
}

std::string RfidTextReader::login(std::string_view sector, std::string_view key) {
    auto* mifare = selectedTag() ? std::get_if<MifareClassic>(selectedTag()) : nullptr;
    const auto s = hexByte(sector);
    const auto keyBytes = ccd::fromHex(key.substr(2));
    if (!mifare) return "N";
    if (!s || !keyBytes || keyBytes->size() != 6 || (key[0] != 'A' && key[0] != 'B')) return "?";
    MifareClassic::Key k{};
    std::copy(keyBytes->begin(), keyBytes->end(), k.begin());
    const std::uint8_t type = key[0] == 'A' ? 0 : 1;
    if (!mifare->read(type, std::size_t(*s) * 4, k)) return "F";
    loggedSector_ = *s;
    loginKeyType_ = type;
    loginKey_ = k;
    return "L";
}

std::string RfidTextReader::readBlock(std::string_view digits) {
    Tag* tag = selectedTag();
    const auto block = hexByte(digits);
    if (!tag) return "N";
    if (!block) return "?";
    const auto data = std::visit(
        Visitor{
            [&](const MifareClassic& t) -> std::optional<TagBytes> {
                if (loggedSector_ != std::size_t(*block / 4)) return std::nullopt;
                auto b = t.read(loginKeyType_, *block, loginKey_);
                if (!b) return std::nullopt;
                return TagBytes(b->begin(), b->end());
            },
            [&](const Ultralight& t) -> std::optional<TagBytes> {
                auto b = t.read(*block);
                if (!b) return std::nullopt;
                return TagBytes(b->begin(), b->end());
            },
            [&](const SrTag& t) { return t.readBlock(*block); },
            [&](const Iso15693Tag& t) { return t.read(*block, 1); },
        },
        *tag);
    return data ? ccd::toHex(*data) : "F";
}

std::string RfidTextReader::writeBlock(std::string_view digits, std::string_view data) {
    Tag* tag = selectedTag();
    const auto block = hexByte(digits);
    const auto bytes = ccd::fromHex(data);
    if (!tag) return "N";
    if (!block || !bytes || bytes->size() != blockBytes()) return "?";
    const bool written = std::visit(
        Visitor{
            [&](MifareClassic& t) {
                MifareClassic::Block b{};
                std::copy(bytes->begin(), bytes->end(), b.begin());
                return loggedSector_ == std::size_t(*block / 4) &&
                       t.write(loginKeyType_, *block, loginKey_, b);
            },
            [&](Ultralight& t) {
                Ultralight::Page p{};
                std::copy(bytes->begin(), bytes->end(), p.begin());
                return t.write(*block, p);
            },
            [&](SrTag& t) { return t.writeBlock(*block, *bytes); },
            [&](Iso15693Tag& t) { return t.write(*block, std::span<const std::uint8_t, 4>(bytes->data(), 4)); },
        },
        *tag);
    return written ? std::string(data) : "F";
}

std::string RfidTextReader::writeParameter(std::string_view digits, platform::Micros,
                                           bool& switchSpeed) {
    const auto p = hexByte(digits);
    const auto value = hexByte(digits.substr(2));
    if (!p || !value) return "?";
    if (*p == 0x0C && speedSwitchReply_) return std::string(1, *speedSwitchReply_);
    if (locked_[*p]) return ccd::toHex(std::array{parameters_[*p]});
    parameters_[*p] = *value;
    switchSpeed = *p == 0x0C && *value == 0x03;
    return ccd::toHex(std::array{*value});
}

}  // namespace tessel::sim
