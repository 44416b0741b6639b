#pragma once
// What the two serial RFID reader simulators share: the speed they listen at, the tags in their
// field (the tag models of tag_models.h), the faults they can be told to commit, and unplugging.
//
// Speed: the reader hears only bytes sent at its own speed, 8 data bits, no parity; anything
// else is garbled on the wire and drops a half-received command.
//
// Faults: misbehave(fault, n) spoils the next n replies:
//   Silence    no reply;
//   ErrorChar  the single error character set with setErrorChar ("F" by default) and CR LF in
//              place of the reply (the frame reader sends it too, though it has no such reply);
//   Truncate   only the first half of the reply, with no line end;
//   NulBytes   a NUL byte before every byte of the reply;
//   Endless    bytes without end or pause (more than any reply buffer holds).
// unplug() takes the reader off the line until plugIn().

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/virtual_serial.h"
#include "sim/tag_models.h"

namespace tessel::sim {

class RfidReaderModel : public platform::DeviceModel {
  public:
    enum class Fault { Silence, ErrorChar, Truncate, NulBytes, Endless };
    static constexpr std::size_t kEndlessBytes = 70 * 1024;

    explicit RfidReaderModel(std::uint32_t baud) : baud_(baud) {}

    void attach(platform::DeviceLink& link) override { link_ = &link; }
    void detach(platform::DeviceLink& link) override {
        if (link_ == &link) link_ = nullptr;
    }
    void receive(std::span<const std::uint8_t> bytes, platform::Micros t) final;

    std::uint32_t baud() const { return baud_; }
    void setBaud(std::uint32_t baud) { baud_ = baud; }

    template <class T>
    T& insert(T tag) {
        return std::get<T>(field_.emplace_back(std::move(tag)));
    }
    void clearField() { field_.clear(); }

    void misbehave(Fault fault, int times = 1);
    void setErrorChar(char c) { errorChar_ = c; }
    void unplug() { plugged_ = false; }
    void plugIn() { plugged_ = true; }
    void setReplyDelay(platform::Micros d) { replyDelay_ = d; }

    // Every command heard whole, in order.
    const std::vector<std::string>& commands() const { return commands_; }
    void clearCommands() { commands_.clear(); }

  protected:
    virtual void hear(std::span<const std::uint8_t> bytes, platform::Micros t) = 0;
    virtual void resetParser() = 0;

    // Sends a reply after the reply delay, spoiled by the next fault if one is pending.
    void reply(std::string_view text, platform::Micros t);
    void record(std::string command) { commands_.push_back(std::move(command)); }

    std::deque<Tag>& field() { return field_; }
    const std::deque<Tag>& field() const { return field_; }

  private:
    void sendRaw(std::string_view text, platform::Micros at);

    platform::DeviceLink* link_ = nullptr;
    std::uint32_t baud_;
    bool plugged_ = true;
    char errorChar_ = 'F';
    platform::Micros replyDelay_{500};
    std::deque<Tag> field_;
    std::deque<Fault> faults_;
    std::vector<std::string> commands_;
};

}  // namespace tessel::sim
