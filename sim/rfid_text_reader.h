#pragma once
// The RFID reader with a text command set (reader kind 5), as a device model.
//
// Commands arrive without any terminator; the reader splits them by their grammar:
//   "v"                  the version line ("ISO 0.9v ..." or "MultiISO 1. ...")
//   "s"                  one line per tag in the field: family letter and UID in hexadecimal,
//                        "N" when the field is empty; the first tag becomes the selected one
//   "rXX" / "rbXX"       read block XX of the selected tag (firmware 0 / 1): hexadecimal data
//   "wXX…" / "wbXX…"     write block XX with the block's bytes in hexadecimal: the data again
//   "lSS" + 14 chars     Mifare login to sector SS with "AA"/"BB" and 12 key digits: "L"
//   "rpXX"               parameter XX in hexadecimal, or "R" for a parameter it rejects
//   "wpXXYY"             parameter XX := YY, answered with "YY"; "wp0C03" answers and then
//                        moves the reader to 57600 bit/s (or answers the refusal set)
// Errors: "N" no tag selected, "F" a block or login the tag refuses, "?" a block out of range
// or an unknown command letter (which is otherwise skipped, as the next command starts with a
// lower-case letter). Every line ends with CR LF.

#include <map>
#include <optional>
#include <string>

#include "sim/rfid_reader_model.h"

namespace tessel::sim {

class RfidTextReader final : public RfidReaderModel {
  public:
    // firmware 0 answers "v" with "ISO 0.9v…" and takes "r"/"w"; 1 with "MultiISO 1.…" and
    // takes "rb"/"wb". baud is the speed it powers up with.
    RfidTextReader(int firmware, std::uint32_t baud);

    int firmware() const { return firmware_; }
    void setVersion(std::string version) { version_ = std::move(version); }
    // "wp0C03" is answered with this character and the speed stays.
    void refuseSpeedSwitch(char reply) { speedSwitchReply_ = reply; }
    // Parameters "rp" answers with "R".
    void rejectParameter(std::uint8_t p) { rejected_[p] = true; }
    // Parameters whose writes are answered with the old value and not stored.
    void lockParameter(std::uint8_t p) { locked_[p] = true; }
    std::optional<std::uint8_t> parameter(std::uint8_t p) const;
    void setParameter(std::uint8_t p, std::uint8_t value) { parameters_[p] = value; }

  private:
    void hear(std::span<const std::uint8_t> bytes, platform::Micros t) override;
    void resetParser() override { pending_.clear(); }

    // Length of the command at the start of pending_, 0 when it is not complete yet, nullopt
    // when its first letter starts no command.
    std::optional<std::size_t> commandLength() const;
    std::size_t blockBytes() const;
    Tag* selectedTag();
    void execute(const std::string& command, platform::Micros t);
    std::string select();
    std::string readBlock(std::string_view digits);
    std::string writeBlock(std::string_view digits, std::string_view data);
    std::string login(std::string_view sector, std::string_view key);
    std::string writeParameter(std::string_view digits, platform::Micros t, bool& switchSpeed);
    void answer(const std::string& line, platform::Micros t) { reply(line + "\r\n", t); }

    int firmware_;
    std::string version_;
    std::optional<char> speedSwitchReply_;
    std::string pending_;
    std::optional<std::size_t> selected_;  // index into the field
    std::optional<std::size_t> loggedSector_;
    std::uint8_t loginKeyType_ = 0;
    MifareClassic::Key loginKey_{};
    std::map<std::uint8_t, std::uint8_t> parameters_;
    std::map<std::uint8_t, bool> rejected_;
    std::map<std::uint8_t, bool> locked_;
};

}  // namespace tessel::sim
