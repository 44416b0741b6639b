// Tag operations of RfidReader: scan, user data, block read and write, login and the write
// operation, per reader kind.

#include <algorithm>

#include "browser/rfid/rfid_reader.h"

namespace tessel::rfid {

namespace {

constexpr std::uint32_t kCommandTimeoutMs = 1000;
constexpr std::uint32_t kSelectReplyTimeoutMs = 3000;
constexpr std::uint32_t kRetryPauseMs = 100;
constexpr int kLoginKeyTextLength = 14;
constexpr std::size_t kMaxBlock = 255;  // block numbers travel in one byte

// The frame reader's rotation and the module's fixed order.
constexpr std::array<int, 4> kProtocolOrder{kProtocol15693, kProtocol14443A, kProtocolTagit,
                                            kProtocol14443B};

std::size_t rotationStart(int protocol) {
    const auto* at = std::find(kProtocolOrder.begin(), kProtocolOrder.end(), protocol);
    return at == kProtocolOrder.end() ? 0 : std::size_t(at - kProtocolOrder.begin());
}

// Appends block data cut to [firstOffset, lastOffset] where the block is the first or last of
// the range; `keep` bytes of each block are used.
void appendCut(Bytes& out, Bytes block, std::size_t keep, int blockNo, const BlockRange& range) {
    if (block.size() > keep) block.resize(keep);
    if (blockNo == range.last) block.resize(std::min(block.size(), std::size_t(range.lastOffset) + 1));
    if (blockNo == range.first) {
        block.erase(block.begin(),
                    block.begin() + long(std::min(block.size(), std::size_t(range.firstOffset))));
    }
    out.insert(out.end(), block.begin(), block.end());
}

}  // namespace

// ---- scan

void RfidReader::storeRequest(const TagRequest& r, bool formKey) {
    request = r;
    if (!formKey || r.keyText.size() == kLoginKeyTextLength) return;
    request.keyText = (r.keyType == 0 ? "AA" : "BB") + r.keyText;
}

void RfidReader::classify(std::string_view uidText) {
    Classification c;
    switch (kind()) {
        case ReaderType::RfidText: c = classifyTextLine(uidText); break;
        case ReaderType::RfidFrame: c = classifyFrameTag(protocol, uidText); break;
        default: c = classifyModuleTag(protocol, uidText); break;
    }
    tag.code = c.code;
    tag.typeName = std::move(c.name);
    tag.uid = std::move(c.uid);
}

bool RfidReader::scan(const TagRequest& r, RfidTagResult& result) {
    bool found = false;
    switch (kind()) {
        case ReaderType::RfidText:
            port_.portLock.wait(platform::kInfinite);
            port_.lastError = 0;
            storeRequest(r, true);
            found = scanText();
            power(false);
            break;
        case ReaderType::RfidFrame:
            port_.portLock.wait(platform::kInfinite);
            if (ensureOpen()) {
                storeRequest(r, false);
                found = scanFrame();
            }
            break;
        case ReaderType::RfidModule:
            port_.portLock.wait(platform::kInfinite);
            storeRequest(r, false);
            found = scanModule();
            break;
        default:
            return false;
    }
    if (found) result = tag;
    if (found && kind() != ReaderType::RfidText) port_.idleSemaphore.release();
    port_.portLock.release();
    return found;
}

bool RfidReader::scanText() {
    if (!power(true)) return false;
    Bytes line;
    tag = {};
    if (!port_.readReply(line, kSelectReplyTimeoutMs)) return false;
    if (line.empty()) {
        port_.lastError = kRfidNoTag;
        return false;
    }
    if (line.size() == 1) {
        port_.lastError = selectReplyError(static_cast<char>(line[0]));
        return false;
    }
    classify(asText(line));
    readUserData();
    return true;
}

bool RfidReader::scanFrame() {
    std::size_t at = rotationStart(protocol);
    for (std::size_t tried = 0; tried < kProtocolOrder.size(); ++tried, at = (at + 1) % 4) {
        if (kProtocolOrder[at] != protocol) {
            protocol = kProtocolOrder[at];
            if (!selectProtocol()) return false;
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (frameAttempt()) return true;
            port_.clock().sleepMs(kRetryPauseMs);
        }
    }
    return false;
}

bool RfidReader::frameAttempt() {
    if (!power(true)) return false;
    Bytes reply;
    const bool answered = port_.readReply(reply, kCommandTimeoutMs);
    power(false);
    if (!answered) return false;
    return takeFrameTag(asText(reply));
}

bool RfidReader::takeFrameTag(std::string_view reply) {
    const auto uid = reply.empty() ? std::nullopt : frameUid(protocol, reply);
    if (!uid) {
        port_.lastError = kRfidNoTag;
        tag.uid.clear();
        return false;
    }
    std::string text = *uid;
    if (protocol == kProtocol14443B && text.size() >= 10) text = text.substr(2, 8);
    if (protocol == kProtocolTagit && text.size() == 20) {
        const Bytes bytes = decodeHex(text);
        tagitFlag = bytes.size() > 9 ? bytes[8] : 0;
        tagitBlocks = bytes.size() > 9 ? bytes[9] : 0;
        text = text.substr(4, 8);
    }
    classify(text);
    if (tag.code == kTag15693 && tag.uid.size() != 16) return false;
    readUserData();
    return true;
}

bool RfidReader::scanModule() {
    protocol = kProtocol15693;
    for (int p : kProtocolOrder) {
        protocol = p;
        if (!power(true)) continue;
        classify(tag.uid);
        readUserData();
        power(false);
        return true;
    }
    return false;
}

// ---- module power-on: fetch the tag's UID text (code byte first)

bool RfidReader::moduleScan() {
    switch (protocol) {
        case kProtocol14443A: return moduleScanTypeA();
        case kProtocol14443B: return moduleScanTypeB();
        case kProtocol15693: return moduleScan15693();
        default: return false;
    }
}

bool RfidReader::moduleScanTypeA() {
    TypeAAnswer answer;
    if (!linkCall(link_.selectProtocol(kPortNumber, 'A')) ||
        !linkCall(link_.requestTypeA(kPortNumber, 1, answer))) {
        return false;
    }
    tag = {};
    tag.uid = std::string(1, static_cast<char>(answer.answerToRequest & 0xFF)) +
              encodeHex(answer.uid);
    return true;
}

bool RfidReader::moduleScanTypeB() {
    if (!linkCall(link_.selectProtocol(kPortNumber, 's'))) return false;
    std::uint8_t chip = 0;
    bool initiated = link_.srInitiate(kPortNumber, chip) == LinkResult::Success;
    if (!initiated) {
        port_.clock().sleepMs(kRetryPauseMs);
        initiated = link_.srInitiate(kPortNumber, chip) == LinkResult::Success;
    }
    Bytes joined;
    for (std::uint8_t block = 4; initiated && block-- > 0;) {
        std::array<std::uint8_t, 2> data{};
        initiated = link_.sr176ReadBlock(kPortNumber, block, data) == LinkResult::Success;
        joined.insert(joined.end(), data.begin(), data.end());
    }
    tag = {};
    if (initiated) {
        tag.uid = std::string(1, '\x06') + encodeHex(joined);
        return true;
    }
    std::array<std::uint8_t, 8> uid{};
    if (!linkCall(link_.srix4kGetUid(kPortNumber, uid))) return false;
    tag.uid = std::string(1, '\x07') + encodeHex(uid);
    return true;
}

bool RfidReader::moduleScan15693() {
    IsoInventory inventory;
    if (!linkCall(link_.selectProtocol(kPortNumber, '1')) ||
        !linkCall(link_.isoInventory(kPortNumber, 0x26, 0, 0, {}, inventory))) {
        return false;
    }
    Bytes uid(inventory.uid.rbegin(), inventory.uid.rend());
    tag = {};
    tag.uid = std::string(1, static_cast<char>(inventory.first)) + encodeHex(uid);
    return true;
}

// ---- user data

bool RfidReader::findBlockSize() {
    if (kind() == ReaderType::RfidFrame) {
        tag.blockSize = tag.code == kTagMifare ? 16 : 4;
        return true;
    }
    if (kind() == ReaderType::RfidModule) {
        tag.blockSize = tag.code == kTagUltralight ? 4
                        : tag.code == kTagMifare   ? 16
                        : tag.code == kTagSr176    ? 2
                                                   : 4;
        return true;
    }
    if (tag.code == kTagUltralight || tag.code == kTagMifare || tag.code == 4) {
        tag.blockSize = tag.code == kTagUltralight ? 4 : tag.code == kTagMifare ? 16 : 8;
        return true;
    }
    const Bytes block0 = readBlock(0);
    if (block0.empty()) return false;
    tag.blockSize = static_cast<int>(block0.size());
    // Tags that the select line cannot tell apart differ in their block size.
    struct Promotion { TagCode from; int size; TagCode to; };
    static constexpr Promotion kPromotions[] = {{kTagSr176, 4, kTagSrix4k}, {11, 8, 12}, {14, 8, 15}};
    for (const auto& p : kPromotions) {
        if (tag.code == p.from && tag.blockSize == p.size) {
            tag.code = p.to;
            tag.typeName = std::string(tagType(p.to).name);
        }
    }
    return true;
}

bool RfidReader::readUserData() {
    tag.userData.clear();
    if (tag.uid.empty() || tag.code == kTagUnknown || request.length == 0) return false;
    if (!findBlockSize()) return false;
    const auto range = blockRange(tag.code, tag.blockSize, request.start, request.length);
    if (!range) return false;
    if (kind() == ReaderType::RfidFrame) {
        if (!readFrameUserData(*range)) return false;
    } else {
        readTextUserData(*range);
    }
    return !tag.userData.empty();
}

// Text reader and module: block by block, Mifare sectors logged in (text reader) and their
// trailers skipped on the default page.
void RfidReader::readTextUserData(const BlockRange& range) {
    const bool mifare = tag.code == kTagMifare;
    const std::size_t keep = tag.code == kTagUltralight ? 4 : kMaxBlock + 1;
    int sector = -1;
    for (int block = range.first; block <= range.last; ++block) {
        if (mifare && kind() == ReaderType::RfidText && block / 4 != sector) {
            if (!login(block / 4)) return;
            sector = block / 4;
        }
        if (mifare && request.start < 0 && isSectorTrailer(block)) continue;
        Bytes data = readBlock(block);
        if (data.empty()) continue;
        appendCut(tag.userData, std::move(data), keep, block, range);
    }
}

bool RfidReader::readFrameUserData(const BlockRange& range) {
    if (tag.code != kTagTagit && tag.code != kTag15693 && tag.code != kTagTexas) return true;
    int last = range.last;
    if (tag.code == kTagTagit) {
        if (tagitFlag == 0 || tagitBlocks == 0) return false;
        last = std::min(last, tagitBlocks - 1);
    }
    Bytes joined;
    for (int block = range.first; block <= last; ++block) {
        const Bytes data = readFrameBlock(block);
        if (data.empty()) return false;
        joined.insert(joined.end(), data.begin(), data.end());
    }
    const std::size_t drop = std::min(joined.size(), std::size_t(range.firstOffset));
    joined.erase(joined.begin(), joined.begin() + long(drop));
    if (joined.size() > std::size_t(request.length)) joined.resize(std::size_t(request.length));
    tag.userData = std::move(joined);
    return true;
}

// ---- blocks

Bytes RfidReader::readBlock(int block) {
    if (block < 0 || block > int(kMaxBlock)) return {};
    switch (kind()) {
        case ReaderType::RfidText: return readTextBlock(block);
        case ReaderType::RfidFrame: return readFrameBlock(block);
        case ReaderType::RfidModule: return readModuleBlock(block);
        default: return {};
    }
}

Bytes RfidReader::readTextBlock(int block) {
    const std::string command = (firmwareVariant != 0 ? "rb" : "r") + hex2(unsigned(block));
    Bytes reply;
    if (!transact(command, kCommandTimeoutMs, 2, reply)) return {};
    if (reply.size() == 1 && blockReplyError(char(reply[0])) != 0) {
        port_.lastError = blockReplyError(char(reply[0]));
        return {};
    }
    return decodeHex(asText(reply));
}

Bytes RfidReader::readFrameBlock(int block) {
    const auto b = static_cast<std::uint8_t>(block);
    Bytes reply;
    if (tag.code == kTagTagit) {
        if (!transact(blockFrame(0, kFrameReadTagit, b), kCommandTimeoutMs, 2, reply)) return {};
        const auto group = frameResult(protocol, asText(reply));
        if (!group) return {};
        return decodeTagitGroup(*group).value_or(Bytes{});
    }
    if (tag.code != kTag15693 && tag.code != kTagTexas) return {};
    if (!transact(blockFrame(0, kFrameRead15693, b), kCommandTimeoutMs, 2, reply)) return {};
    return frame15693Data(asText(reply)).value_or(Bytes{});
}

Bytes RfidReader::readModuleBlock(int block) {
    const auto b = static_cast<std::uint8_t>(block);
    switch (tag.code) {
        case kTagUltralight: {
            std::array<std::uint8_t, 16> out{};
            if (!linkCall(link_.ultralightRead(kPortNumber, b, out))) return {};
            return Bytes(out.begin(), out.begin() + 4);
        }
        case kTagMifare: {
            std::array<std::uint8_t, 16> out{};
            const auto keyType = request.keyType == 1 ? MifareKeyType::B : MifareKeyType::A;
            if (!linkCall(link_.mifareRead(kPortNumber, keyType, b, moduleKey(), out))) return {};
            return Bytes(out.begin(), out.end());
        }
        case kTagSr176: {
            std::array<std::uint8_t, 2> out{};
            if (!linkCall(link_.sr176ReadBlock(kPortNumber, b, out))) return {};
            return Bytes(out.begin(), out.end());
        }
        case kTagSrix4k: {
            std::array<std::uint8_t, 4> out{};
            if (!linkCall(link_.srix4kReadBlock(kPortNumber, b, out))) return {};
            return Bytes(out.begin(), out.end());
        }
        case 9: case 10: case 11: case 13: case 14: case 16: {
            std::array<std::uint8_t, 4> out{};
            std::size_t length = 0;
            if (!linkCall(link_.isoReadBlocks(kPortNumber, 0x22, moduleIsoUid(), b, 1, out, length))) {
                return {};
            }
            return Bytes(out.begin(), out.begin() + long(length));
        }
        default:
            return {};
    }
}

IsoUid RfidReader::moduleIsoUid() const {
    // The UID text is most significant byte first; the module wants it the other way round.
    const Bytes bytes = decodeHex(tag.uid);
    IsoUid uid{};
    for (std::size_t i = 0; i < uid.size() && i < bytes.size(); ++i) {
        uid[i] = bytes[bytes.size() - 1 - i];
    }
    return uid;
}

SectorKey RfidReader::moduleKey() const {
    const Bytes bytes = decodeHex(request.keyText);
    SectorKey key{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), key.size()), key.begin());
    return key;
}

bool RfidReader::writeBlock(int block, int offset, std::span<const std::uint8_t> data,
                            bool merge) {
    if (data.empty() || block < 0 || block > int(kMaxBlock)) return false;
    Bytes content(data.begin(), data.end());
    if (merge) {
        content = readBlock(block);
        if (content.empty()) return false;
        for (std::size_t i = 0; i < data.size() && std::size_t(offset) + i < content.size(); ++i) {
            content[std::size_t(offset) + i] = data[i];
        }
    }
    switch (kind()) {
        case ReaderType::RfidText: return writeTextBlock(block, content);
        case ReaderType::RfidFrame: return writeFrameBlock(block, content);
        case ReaderType::RfidModule: return writeModuleBlock(block, content);
        default: return false;
    }
}

bool RfidReader::writeTextBlock(int block, std::span<const std::uint8_t> content) {
    const std::string command =
        (firmwareVariant != 0 ? "wb" : "w") + hex2(unsigned(block)) + encodeHex(content);
    Bytes reply;
    if (!transact(command, kCommandTimeoutMs, 3, reply)) return false;
    if (reply.size() == 1 && blockReplyError(char(reply[0])) != 0) {
        port_.lastError = blockReplyError(char(reply[0]));
        return false;
    }
    return true;
}

bool RfidReader::writeFrameBlock(int block, std::span<const std::uint8_t> content) {
    const auto b = static_cast<std::uint8_t>(block);
    Bytes reply;
    switch (tag.code) {
        case kTag15693:
            if (transact(blockFrame(0, kFrameWrite15693, b, content), kCommandTimeoutMs, 3, reply) &&
                frameWriteAccepted(asText(reply))) {
                return true;
            }
            if (!transact(blockFrame(kFrameOptionFlag, kFrameWrite15693, b, content),
                          kCommandTimeoutMs, 3, reply)) {
                return false;
            }
            // A tag that wants the option flag keeps getting it for the rest of this write.
            if (frameWriteAccepted(asText(reply))) tag.code = kTagTexas;
            return true;
        case kTagTexas:
            return transact(blockFrame(kFrameOptionFlag, kFrameWrite15693, b, content),
                            kCommandTimeoutMs, 3, reply);
        case kTagTagit:
            return transact(blockFrame(0, kFrameWriteTagit, b, content), kCommandTimeoutMs, 3,
                            reply);
        default:
            return false;
    }
}

bool RfidReader::writeModuleBlock(int block, std::span<const std::uint8_t> content) {
    const auto b = static_cast<std::uint8_t>(block);
    auto fixed = [&]<std::size_t N>() {
        std::array<std::uint8_t, N> out{};
        std::copy_n(content.begin(), std::min(content.size(), N), out.begin());
        return out;
    };
    switch (tag.code) {
        case kTagUltralight:
            return linkCall(link_.ultralightWrite(kPortNumber, b, fixed.operator()<4>()));
        case kTagMifare: {
            const auto keyType = request.keyType == 1 ? MifareKeyType::B : MifareKeyType::A;
            return linkCall(
                link_.mifareWrite(kPortNumber, keyType, b, moduleKey(), fixed.operator()<16>()));
        }
        case kTagSr176:
            return linkCall(link_.sr176WriteBlock(kPortNumber, b, fixed.operator()<2>()));
        case kTagSrix4k:
            link_.srix4kWriteBlock(kPortNumber, b, fixed.operator()<4>());
            return true;
        case 10: case 16:
            return linkCall(link_.isoWriteBlock(kPortNumber, 0x22, moduleIsoUid(), b, fixed.operator()<4>()));
        case kTagTexas:
            return linkCall(link_.isoWriteBlock(kPortNumber, 0x62, moduleIsoUid(), b, fixed.operator()<4>()));
        default:
            return false;
    }
}

bool RfidReader::login(int sector) {
    if (sector < 0) return false;
    Bytes reply;
    const std::string command = "l" + hex2(unsigned(sector)) + request.keyText;
    return transact(command, kCommandTimeoutMs, 2, reply) && asText(reply) == "L";
}

// ---- write operation

bool RfidReader::findTagForWrite(int start, const std::string& keyText, int keyType) {
    const TagRequest find{-1, kind() == ReaderType::RfidModule ? 0 : 1, keyText, keyType};
    if (kind() != ReaderType::RfidText) {
        RfidTagResult found;
        if (!scan(find, found)) return false;
        port_.portLock.wait(platform::kInfinite);
        request.start = start;
        return true;
    }
    port_.portLock.wait(platform::kInfinite);
    storeRequest(find, true);
    if (!scanText()) {
        power(false);
        port_.portLock.release();
        return false;
    }
    request.start = start;
    return true;
}

int RfidReader::write(int start, std::span<const std::uint8_t> data, const std::string& keyText,
                      int keyType) {
    if (kind() != ReaderType::RfidText && kind() != ReaderType::RfidFrame &&
        kind() != ReaderType::RfidModule) {
        return 0;
    }
    if (!findTagForWrite(start, keyText, keyType)) return 0;
    // A scan without user data leaves the block size unknown; the write needs it.
    int written = 0;
    if (tag.blockSize > 0 || findBlockSize()) {
        if (const auto range = blockRange(tag.code, tag.blockSize, start, int(data.size()))) {
            written = writeBlocks(*range, start, data);
        }
    }
    if (kind() != ReaderType::RfidFrame) power(false);
    port_.portLock.release();
    return written;
}

int RfidReader::writeBlocks(const BlockRange& range, int start, std::span<const std::uint8_t> data) {
    const bool mifare = tag.code == kTagMifare;
    if (kind() == ReaderType::RfidFrame && tag.code != kTag15693 && tag.code != kTagTexas &&
        tag.code != kTagTagit) {
        return 0;
    }
    const std::size_t size = std::size_t(tag.blockSize);
    std::size_t used = 0;
    int sector = -1;
    for (int block = range.first; block <= range.last && used < data.size(); ++block) {
        if (mifare && kind() == ReaderType::RfidText && block / 4 != sector) {
            if (!login(block / 4)) break;
            sector = block / 4;
        }
        if (mifare && start < 0 && isSectorTrailer(block)) continue;
        const bool first = block == range.first;
        const bool last = block == range.last;
        const std::size_t offset = first ? std::size_t(range.firstOffset) : 0;
        const std::size_t want = first ? size - std::min(size, offset) : size;
        const auto chunk = data.subspan(used, std::min(want, data.size() - used));
        const bool merge = first || last || tag.code == kTagUltralight;
        if (chunk.empty() || !writeBlock(block, int(offset), chunk, merge)) break;
        used += chunk.size();
    }
    return int(used);
}

}  // namespace tessel::rfid
