#include "sim/tag_models.h"

#include <algorithm>

namespace tessel::sim {
namespace {

constexpr std::array<std::uint8_t, 4> kTransportAccess{0xFF, 0x07, 0x80, 0x69};

}  // namespace

MifareClassic::MifareClassic(Kind kind, std::array<std::uint8_t, 4> uid)
    : kind_(kind), uid_(uid), blocks_(kind == Kind::S50 ? 64 : 256) {
    Block& maker = blocks_[0];
    std::copy(uid.begin(), uid.end(), maker.begin());
    maker[4] = uid[0] ^ uid[1] ^ uid[2] ^ uid[3];
    maker[5] = selectAcknowledge();
    maker[6] = std::uint8_t(answerToRequest());
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        if (trailerOf(b) == b) setSectorKeys(b, kTransportKey, kTransportKey);
    }
}

std::size_t MifareClassic::trailerOf(std::size_t block) {
    if (block < 128) return block / 4 * 4 + 3;
    return 128 + (block - 128) / 16 * 16 + 15;
}

void MifareClassic::setSectorKeys(std::size_t sectorTrailer, const Key& keyA, const Key& keyB) {
    Block& t = blocks_.at(sectorTrailer);
    std::copy(keyA.begin(), keyA.end(), t.begin());
    std::copy(kTransportAccess.begin(), kTransportAccess.end(), t.begin() + 6);
    std::copy(keyB.begin(), keyB.end(), t.begin() + 10);
}

bool MifareClassic::authenticated(std::uint8_t keyType, std::size_t block, const Key& key) const {
    if (block >= blocks_.size() || keyType > 1) return false;
    const Block& t = blocks_[trailerOf(block)];
    return std::equal(key.begin(), key.end(), t.begin() + (keyType == 0 ? 0 : 10));
}

std::optional<MifareClassic::Block> MifareClassic::read(std::uint8_t keyType, std::size_t block,
                                                        const Key& key) const {
    if (!authenticated(keyType, block, key)) return std::nullopt;
    Block data = blocks_[block];
    if (trailerOf(block) == block) std::fill_n(data.begin(), 6, 0);
    return data;
}

bool MifareClassic::write(std::uint8_t keyType, std::size_t block, const Key& key,
                          const Block& data) {
    if (block == 0 || !authenticated(keyType, block, key)) return false;
    blocks_[block] = data;
    return true;
}

Ultralight::Ultralight(std::array<std::uint8_t, 7> uid) : uid_(uid) {
    // The cascade tag 0x88 takes part in the first check byte.
    pages_[0] = {uid[0], uid[1], uid[2], std::uint8_t(0x88 ^ uid[0] ^ uid[1] ^ uid[2])};
    pages_[1] = {uid[3], uid[4], uid[5], uid[6]};
    pages_[2] = {std::uint8_t(uid[3] ^ uid[4] ^ uid[5] ^ uid[6]), 0x48, 0x00, 0x00};
}

std::optional<std::array<std::uint8_t, 16>> Ultralight::read(std::size_t page) const {
    if (page >= kPages) return std::nullopt;
    std::array<std::uint8_t, 16> out{};
    for (std::size_t i = 0; i < 4; ++i) {
        const Page& p = pages_[(page + i) % kPages];
        std::copy(p.begin(), p.end(), out.begin() + long(4 * i));
    }
    return out;
}

bool Ultralight::write(std::size_t page, const Page& data) {
    if (page < 2 || page >= kPages) return false;
    pages_[page] = data;
    return true;
}

SrTag::SrTag(Kind kind, std::uint8_t chipId, std::uint64_t uid)
    : kind_(kind),
      chipId_(chipId),
      uid_(uid),
      blocks_(kind == Kind::SR176 ? 16 : 128, TagBytes(blockSize(), 0)) {
    if (kind_ == Kind::SR176) {
        for (std::size_t b = 0; b < 4; ++b) {
            blocks_[b] = {std::uint8_t(uid >> (16 * b)), std::uint8_t(uid >> (16 * b + 8))};
        }
    }
}

std::array<std::uint8_t, 8> SrTag::uid() const {
    std::array<std::uint8_t, 8> out{};
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = std::uint8_t(uid_ >> (8 * i));
    return out;
}

std::optional<TagBytes> SrTag::readBlock(std::size_t block) const {
    if (block >= blocks_.size()) return std::nullopt;
    return blocks_[block];
}

bool SrTag::writeBlock(std::size_t block, std::span<const std::uint8_t> data) {
    const bool uidBlock = kind_ == Kind::SR176 && block < 4;
    if (block >= blocks_.size() || uidBlock || data.size() != blockSize()) return false;
    blocks_[block].assign(data.begin(), data.end());
    return true;
}

Iso15693Tag::Iso15693Tag(std::uint8_t maker, std::uint64_t serial, std::size_t blocks,
                         std::uint8_t dsfid)
    : dsfid_(dsfid), blocks_(blocks) {
    for (std::size_t i = 0; i < 6; ++i) uid_[i] = std::uint8_t(serial >> (8 * i));
    uid_[6] = maker;
    uid_[7] = 0xE0;
}

std::optional<TagBytes> Iso15693Tag::read(std::size_t first, std::size_t count) const {
    if (count == 0 || first >= blocks_.size() || count > blocks_.size() - first) {
        return std::nullopt;
    }
    TagBytes out;
    for (std::size_t b = first; b < first + count; ++b) {
        out.insert(out.end(), blocks_[b].begin(), blocks_[b].end());
    }
    return out;
}

bool Iso15693Tag::write(std::size_t block, std::span<const std::uint8_t, 4> data) {
    if (block >= blocks_.size()) return false;
    std::copy(data.begin(), data.end(), blocks_[block].begin());
    return true;
}

}  // namespace tessel::sim
