#pragma once
// What every simulated scan engine shares: its own line speed, the modem lines it shows, the
// barcodes it will decode next, and the faults it can be told to commit.
//
// An engine is a platform::DeviceModel. It runs on a VirtualSerialPort in tests (exact, no
// threads) and on a pseudo-terminal through platform::PtyDevice for the demo and the real
// termios port. Output is paced by the link at the host's line rate.
//
// Speed: the engine listens only at its own speed, 8 data bits, no parity. Bytes that the host
// sends in another shape are garbled on the wire, so the engine drops them together with any
// half-received command.
//
// Faults: misbehave(fault, n) spoils the engine's next n messages (replies, decode messages,
// image packets), one fault per message:
//   Silence     the engine ignores the command (or skips the message it would have sent);
//   Nak         the engine refuses the command (a NAK packet, or "NG" from the text engine);
//               in place of a decode it sends that refusal instead;
//   Garbage     the message's bytes are replaced by as many meaningless ones;
//   StrayBytes  two stray bytes go out just before the message;
//   Truncate    only the first half of the message goes out;
//   DropPacket  the message is lost on the wire, although the engine believes it was sent
//               (a resend request then brings it).
// Commands that get no reply (the host's acknowledgements, "ON", "OFF") use up no fault.
// unplug() takes the engine off the line until plugIn(): it hears nothing, sends nothing and
// shows no modem lines.

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "platform/virtual_serial.h"

namespace tessel::sim {

using Bytes = std::vector<std::uint8_t>;
using platform::Micros;

enum class Fault { Silence, Nak, Garbage, StrayBytes, Truncate, DropPacket };

// How a packet engine sends a decode (the text engine ignores this).
enum class DecodeForm {
    Auto,          // one packet when it fits, else a status-2 continuation
    Single,        // one packet
    Continuation,  // packets with status 2, each acknowledged, the last with status 0
    MultiPacket,   // the 0x99 record of the engine's kind
};

// One barcode the engine will decode.
struct Decode {
    // The text engine: the code type letter ('A' Code 39, 'P' EAN-13/UPC-A, '*' no read...).
    // Packet engines: the barcode type number (1 Code 39, 11 EAN-13, 27 Data Matrix...).
    std::uint8_t type = 0;
    Bytes data;
    DecodeForm form = DecodeForm::Auto;
};

inline constexpr int kForever = -1;

class EngineModel : public platform::DeviceModel {
public:
    // baud: the speed the engine powers up with.
    explicit EngineModel(std::uint32_t baud) : baud_(baud) {}

    void attach(platform::DeviceLink& link) override { link_ = &link; }
    void detach(platform::DeviceLink& link) override {
        if (link_ == &link) link_ = nullptr;
    }
    void receive(std::span<const std::uint8_t> bytes, Micros t) final;
    void lineChanged(const platform::LineState& line, Micros) override { rts_ = line.rts; }
    // Clear-to-send follows the host's request-to-send, as on the terminal's engine cable.
    std::optional<bool> cts(Micros) const override;

    // The engine's current speed, and a way to power it up at another one.
    std::uint32_t baud() const { return baud_; }
    void setBaud(std::uint32_t baud) { baud_ = baud; }

    // The barcode the next trigger decodes. When the engine is already scanning (triggered or
    // in a continuous scan mode) and attached, the decode goes out at once.
    void queueDecode(Decode decode);
    std::size_t queuedDecodes() const { return decodes_.size(); }

    void misbehave(Fault fault, int times = 1);
    void behave() { faults_.clear(); }

    void unplug() { plugged_ = false; }
    void plugIn() { plugged_ = true; }
    bool plugged() const { return plugged_; }
    // Whether the cable carries the modem lines (clear-to-send); true by default.
    void setModemLines(bool present) { modemLines_ = present; }

    // Engine processing time before each reply, and the time from a trigger to its decode.
    void setResponseDelay(Micros d) { responseDelay_ = d; }
    void setDecodeDelay(Micros d) { decodeDelay_ = d; }

    // Every complete command the engine has received and understood the framing of, in order
    // (text commands without their framing, packets whole with their checksum).
    const std::vector<Bytes>& commands() const { return commands_; }
    void clearCommands() { commands_.clear(); }

protected:
    // Bytes heard at the engine's own speed.
    virtual void hear(std::span<const std::uint8_t> bytes, Micros t) = 0;
    // Bytes were garbled: forget any half-received command.
    virtual void resetParser() = 0;
    // Whether the engine sends decodes without being triggered.
    virtual bool scanning() const = 0;
    // Sends a decode now (the engine is scanning).
    virtual void sendDecode(const Decode& decode, Micros at) = 0;
    // The refusal the engine sends in place of a reply.
    virtual Bytes refusal() const = 0;

    void recordCommand(Bytes command) { commands_.push_back(std::move(command)); }

    // The fault that will spoil the next message, if any, without using it up.
    std::optional<Fault> pendingFault() const;
    // Uses up the pending fault.
    std::optional<Fault> takeFault();

    // For a command with a reply: false when a pending Silence or Nak fault means the command
    // is ignored or refused (the refusal is sent here). Other faults stay for the reply.
    bool acceptCommand(Micros t);

    // Sends one message at `at`, spoiled by the pending fault if there is one. Returns whether
    // the engine believes it sent the message (false only for Silence).
    bool emit(std::span<const std::uint8_t> message, Micros at);
    // Sends bytes as they are.
    void sendRaw(std::span<const std::uint8_t> bytes, Micros at);

    // Takes the next queued decode; nullopt when none is waiting.
    std::optional<Decode> nextDecode();
    // Sends queued decodes while the engine is scanning.
    void flushDecodes(Micros at);

    Micros replyTime(Micros t) const { return t + responseDelay_; }
    Micros decodeTime(Micros t) const { return t + decodeDelay_; }
    Micros now() const { return link_ ? link_->now() : Micros(0); }
    bool attached() const { return link_ != nullptr; }

private:
    Bytes garbage(std::size_t n);

    struct PlannedFault {
        Fault fault;
        int remaining;
    };

    platform::DeviceLink* link_ = nullptr;
    std::uint32_t baud_;
    bool rts_ = false;
    bool plugged_ = true;
    bool modemLines_ = true;
    Micros responseDelay_{1000};
    Micros decodeDelay_{30000};
    std::deque<Decode> decodes_;
    std::deque<PlannedFault> faults_;
    std::vector<Bytes> commands_;
    std::uint32_t noise_ = 0x2545F491;
};

}  // namespace tessel::sim
