#pragma once
// The RFID reader driven by frames written as hexadecimal text (reader kind 6), as a device
// model at 115200 bit/s.
//
// A frame is 01 LL 00 03 04 CMD params 00 00 in hexadecimal (either case; other characters
// between digits are skipped); LL gives its length, so frames need no terminator. Replies are
// text with results in square brackets, lines ended by CR LF except the block commands' results:
//   FE        the version line
//   F0, F1    the register settings: "Register write request."
//   10 .. P   protocol selection (09 type A, 0C type B, 13 Tag-it, 00 ISO 15693)
//   A0 / B0 / 34 / 14   inventory of the selected protocol: one group per tag in the field
//             ("[UID SAK]", "[50 PUPI 00000000]", ISO 15693 "[,40]" for the empty first slot
//             then "[UID least significant first,40]"); "[]" when nothing answers
//   18 00 20 B            ISO 15693 read block: "[00" data "]", "[]" when it fails
//   18 F 21 B data        ISO 15693 write block (F 00 or 40): "[00]", or "[010F]" refused
//   18 00 08 B           Tag-it read block: the group text set for the block, "[]" without one
//   18 00 28 B data      Tag-it write block: "[00]" (the groups set stay as they are)
// An inventory for another protocol than the selected one finds nothing. Unknown commands get
// no reply.

#include <string>

#include "sim/rfid_reader_model.h"

namespace tessel::sim {

class RfidFrameReader final : public RfidReaderModel {
  public:
    static constexpr std::uint32_t kBaud = 115200;

    RfidFrameReader() : RfidReaderModel(kBaud) {}

    void setVersion(std::string version) { version_ = std::move(version); }
    // ISO 15693 tags that take a write only with the option flag.
    void setWriteNeedsOptionFlag(bool needs) { needsOptionFlag_ = needs; }
    // Bytes of an ISO 15693 UID the inventory reports (8 normally).
    void setUidBytes(std::size_t n) { uidBytes_ = n; }
    int protocol() const { return protocol_; }
    // A Tag-it transponder in the field, given as the reader reports it: the inventory group
    // text and one group text per block (the tag models have no Tag-it tag).
    void setTagit(std::string inventoryGroup, std::vector<std::string> blockGroups) {
        tagitInventory_ = std::move(inventoryGroup);
        tagitBlocks_ = std::move(blockGroups);
    }

  private:
    void hear(std::span<const std::uint8_t> bytes, platform::Micros t) override;
    void resetParser() override { pending_.clear(); }

    void execute(const TagBytes& frame, platform::Micros t);
    std::string inventory(std::uint8_t command) const;
    std::string blockCommand(const TagBytes& frame);
    std::string tagitCommand(std::uint8_t opcode, std::uint8_t block) const;
    Iso15693Tag* isoTag();

    std::string version_ = "\r\nFR-6 RFID reader V2.14\r\n";
    std::string pending_;
    int protocol_ = 0;
    bool needsOptionFlag_ = false;
    std::size_t uidBytes_ = 8;
    std::string tagitInventory_;
    std::vector<std::string> tagitBlocks_;
};

}  // namespace tessel::sim
