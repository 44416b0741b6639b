#pragma once
// The RFID module of the model-index-4 terminal, as a device model.
//
// It speaks both frame formats (0x02... for format A, 0x01... for format B), runs the key
// handshake with its own random bytes, checks the link bytes of secured commands, answers only
// at its configured speed and serves every module command from the tags in its field.
//
// Conventions of this module: a request it cannot verify (checksum, length, link bytes) gets no
// answer. A command that fails on the tag is answered with status 1 in format B and, since
// format A has no status, with the command byte 0xFF in format A. The link words are dropped when
// the host sets the line (a port reopen), and those of format A after the disconnect step 0x13 17.

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <vector>

#include "platform/virtual_serial.h"
#include "sim/tag_models.h"

namespace tessel::sim {

class RfidModuleSim final : public platform::DeviceModel {
  public:
    enum class Fault {
        None,            // a normal answer, to let earlier answers through
        Silence,         // no answer
        BadChecksum,     // the answer's checksum is off by one
        WrongLinkBytes,  // the answer's link bytes differ from the request's
        ForeignCommand,  // the answer carries another command byte
        NonZeroStatus,   // status 2 (format B); the failure answer in format A
        LongData,        // 40 extra data bytes after the real ones
        HugeFrame,       // an answer of more than 2048 bytes
        Stall,           // the answer's second half follows after the stall pause
        EscapedStart,    // the answer follows 0x10, its start byte and 0xBB
    };

    struct Config {
        std::uint32_t speed = 19200;
        std::array<std::uint8_t, 4> key{};
        std::uint32_t seed = 1;
        platform::Micros replyDelay{500};
        // The mode byte a format B handshake answers with; nullopt echoes the request's.
        std::optional<std::uint8_t> formatBMode;
        std::array<std::uint8_t, 8> versionFirst{'S', 'N', '0', '0', '0', '4', '2', '7'};
        std::array<std::uint8_t, 4> versionSecond{'V', '3', '.', '1'};
    };

    explicit RfidModuleSim(Config config);

    // The next `times` answers (handshakes included) misbehave, after those already queued.
    void misbehave(Fault fault, int times = 1);
    void setReplyDelay(platform::Micros delay) { config_.replyDelay = delay; }
    // Gap a stalled answer leaves between the last byte of its first half and the first byte
    // of its second half.
    void setStallGap(platform::Micros gap) { stallGap_ = gap; }

    // Puts a tag into the field and returns it; it stays at that address until clearField().
    template <class T>
    T& insert(T tag) {
        return std::get<T>(field_.emplace_back(std::move(tag)));
    }
    void clearField() { field_.clear(); }

    void setSpeed(std::uint32_t speed) { config_.speed = speed; }

    // Command bytes of the requests accepted, handshakes included, in order.
    const std::vector<std::uint8_t>& commands() const { return commands_; }
    int handshakes() const { return handshakes_; }
    // Requests dropped for a wrong checksum, length or link bytes.
    int rejected() const { return rejected_; }
    // The last option set with 0x11.
    std::uint8_t option() const { return option_; }

    void attach(platform::DeviceLink& link) override { link_ = &link; }
    void detach(platform::DeviceLink& link) override {
        if (link_ == &link) link_ = nullptr;
    }
    void receive(std::span<const std::uint8_t> bytes, platform::Micros t) override;
    void lineChanged(const platform::LineState&, platform::Micros) override;

  private:
    struct Link {
        std::array<std::uint8_t, 4> a{};
        std::array<std::uint8_t, 4> b{};
        std::uint8_t s1 = 0, s2 = 0;
    };
    // A verified request: its payload and how to answer it.
    struct Request {
        bool formatB = false;
        bool linked = false;                // format A: the answer carries link bytes
        std::vector<std::uint8_t> payload;  // command and parameters
        std::uint8_t address = 0;
        std::uint8_t modeByte = 0;
        std::uint8_t s1 = 0, s2 = 0;  // link bytes to put on the answer
    };
    struct Answer {
        std::uint8_t command = 0;
        std::uint8_t status = 0;
        std::vector<std::uint8_t> data;
    };

    void takeFrame(std::span<const std::uint8_t> frame, platform::Micros t);
    std::optional<Request> verifyA(std::vector<std::uint8_t> content);
    std::optional<Request> verifyB(const std::vector<std::uint8_t>& content);
    // Advances the link words and accepts the request's link bytes when they match.
    static bool checkLink(Link& link, std::uint8_t s1, std::uint8_t s2);
    static void deriveBytes(Link& link);
    Link newLink(std::span<const std::uint8_t, 8> r) const;

    Answer execute(const Request& request);
    Answer handshake(const Request& request, Request& reply);
    Answer tagCommand(std::uint8_t command, std::span<const std::uint8_t> params);
    struct Damage {
        bool silent = false;
        bool badChecksum = false;
        bool stalled = false;
        bool escapedStart = false;
    };
    Damage applyFault(Answer& answer, Request& reply);
    void send(const Request& request, const Answer& answer, const Damage& damage,
              platform::Micros t);

    // The first tag of type T in the field that `fits`.
    template <class T, class Fits>
    T* find(Fits fits);

    Config config_;
    platform::DeviceLink* link_ = nullptr;
    std::mt19937 random_;
    std::vector<std::uint8_t> input_;
    std::deque<Tag> field_;
    std::deque<Fault> faults_;
    std::optional<Link> linkA_;
    std::optional<Link> linkB_;
    char protocol_ = 0;
    std::uint8_t option_ = 0;
    std::vector<std::uint8_t> commands_;
    int handshakes_ = 0;
    int rejected_ = 0;
    platform::Micros stallGap_{60000};
};

}  // namespace tessel::sim
