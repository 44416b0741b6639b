#pragma once
// Tags for the RFID simulators: their memory, keys and the rules of reading and writing it.
//
// Each model answers the operations an RFID module performs on it; an operation the tag refuses
// (wrong key, read-only or missing block, wrong UID) returns nullopt or false.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace tessel::sim {

using TagBytes = std::vector<std::uint8_t>;

// Mifare Classic 1K (S50: 16 sectors of 4 blocks) or 4K (S70: 32 sectors of 4 blocks, then 8 of
// 16). The last block of each sector is its trailer: key A, 4 access bytes, key B. Either key
// opens its sector for reading and writing; a trailer reads back with key A hidden as zeros.
class MifareClassic {
  public:
    enum class Kind { S50, S70 };
    using Block = std::array<std::uint8_t, 16>;
    using Key = std::array<std::uint8_t, 6>;
    static constexpr Key kTransportKey{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

    MifareClassic(Kind kind, std::array<std::uint8_t, 4> uid);

    Kind kind() const { return kind_; }
    TagBytes uid() const { return TagBytes(uid_.begin(), uid_.end()); }
    std::uint16_t answerToRequest() const { return kind_ == Kind::S50 ? 0x0004 : 0x0002; }
    std::uint8_t selectAcknowledge() const { return kind_ == Kind::S50 ? 0x08 : 0x18; }
    std::size_t blockCount() const { return blocks_.size(); }
    static std::size_t trailerOf(std::size_t block);

    // keyType 0 is key A, 1 key B.
    std::optional<Block> read(std::uint8_t keyType, std::size_t block, const Key& key) const;
    // Block 0 (manufacturer data) is read-only.
    bool write(std::uint8_t keyType, std::size_t block, const Key& key, const Block& data);
    // Direct access for setting up and checking a tag.
    Block& block(std::size_t n) { return blocks_.at(n); }
    void setSectorKeys(std::size_t sectorTrailer, const Key& keyA, const Key& keyB);

  private:
    bool authenticated(std::uint8_t keyType, std::size_t block, const Key& key) const;

    Kind kind_;
    std::array<std::uint8_t, 4> uid_;
    std::vector<Block> blocks_;
};

// Mifare Ultralight: 16 pages of 4 bytes; pages 0 and 1 hold the 7-byte UID and are read-only.
// A read returns 4 pages from the one asked, wrapping at the end.
class Ultralight {
  public:
    using Page = std::array<std::uint8_t, 4>;
    static constexpr std::size_t kPages = 16;

    explicit Ultralight(std::array<std::uint8_t, 7> uid);

    TagBytes uid() const { return TagBytes(uid_.begin(), uid_.end()); }
    std::uint16_t answerToRequest() const { return 0x0044; }
    std::uint8_t selectAcknowledge() const { return 0x00; }

    std::optional<std::array<std::uint8_t, 16>> read(std::size_t page) const;
    bool write(std::size_t page, const Page& data);
    Page& page(std::size_t n) { return pages_.at(n); }

  private:
    std::array<std::uint8_t, 7> uid_;
    std::array<Page, kPages> pages_{};
};

// ISO 14443 type B short-range tags: SR176 (16 blocks of 2 bytes, the UID in blocks 0-3, which
// are read-only) and SRIX4K (128 blocks of 4 bytes, the UID apart).
class SrTag {
  public:
    enum class Kind { SR176, SRIX4K };

    SrTag(Kind kind, std::uint8_t chipId, std::uint64_t uid);

    Kind kind() const { return kind_; }
    std::uint8_t chipId() const { return chipId_; }
    // Least significant byte first.
    std::array<std::uint8_t, 8> uid() const;
    std::size_t blockSize() const { return kind_ == Kind::SR176 ? 2 : 4; }

    std::optional<TagBytes> readBlock(std::size_t block) const;
    bool writeBlock(std::size_t block, std::span<const std::uint8_t> data);

  private:
    Kind kind_;
    std::uint8_t chipId_;
    std::uint64_t uid_;
    std::vector<TagBytes> blocks_;
};

// An ISO 15693 tag: UID E0, maker byte, 6 serial bytes (most significant first), blocks of 4.
class Iso15693Tag {
  public:
    static constexpr std::uint8_t kMakerSt = 0x02;
    static constexpr std::uint8_t kMakerPhilips = 0x04;
    static constexpr std::uint8_t kMakerInfineon = 0x05;
    static constexpr std::uint8_t kMakerTexas = 0x07;
    static constexpr std::uint8_t kMakerEm = 0x16;

    Iso15693Tag(std::uint8_t maker, std::uint64_t serial, std::size_t blocks,
                std::uint8_t dsfid = 0);

    std::uint8_t dsfid() const { return dsfid_; }
    // Least significant byte first, as on the air.
    std::array<std::uint8_t, 8> uid() const { return uid_; }

    std::optional<TagBytes> read(std::size_t first, std::size_t count) const;
    bool write(std::size_t block, std::span<const std::uint8_t, 4> data);

  private:
    std::uint8_t dsfid_;
    std::array<std::uint8_t, 8> uid_{};
    std::vector<std::array<std::uint8_t, 4>> blocks_;
};

using Tag = std::variant<MifareClassic, Ultralight, SrTag, Iso15693Tag>;

}  // namespace tessel::sim
