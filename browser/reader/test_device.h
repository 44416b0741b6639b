#pragma once
// Test support: a device model that answers each write of the host as a test tells it, byte by
// byte at exact times, on a virtual serial line.

#include <functional>
#include <optional>
#include <vector>

#include "platform/virtual_serial.h"

namespace tessel::reader::testing {

using Bytes = std::vector<std::uint8_t>;
using platform::Micros;

// One byte of an answer and the time from the arrival of the byte before it (or from the end of
// the host's write) to its own arrival; nullopt: back to back at the line rate.
struct TimedByte {
    std::uint8_t byte;
    std::optional<Micros> gap;
};
using Answer = std::vector<TimedByte>;

inline Answer backToBack(const Bytes& bytes) {
    Answer answer;
    for (std::uint8_t b : bytes) answer.push_back({b, std::nullopt});
    return answer;
}

class ScriptedDevice final : public platform::DeviceModel {
  public:
    // Called with each write of the host and the line it came on; returns the answer.
    using Script = std::function<Answer(const Bytes& written, const platform::LineState& line)>;

    void onWrite(Script script) { script_ = std::move(script); }
    // Answers the next writes with these answers, in order, then stays silent.
    void answerInTurn(std::vector<Answer> answers) {
        onWrite([answers = std::move(answers), next = std::size_t{0}](
                    const Bytes&, const platform::LineState&) mutable {
            return next < answers.size() ? answers[next++] : Answer{};
        });
    }
    void setCts(std::optional<bool> cts) { cts_ = cts; }
    // CTS follows RTS, as on an engine cable.
    void ctsFollowsRts() { followRts_ = true; }

    const std::vector<Bytes>& writes() const { return writes_; }
    const platform::LineState& line() const { return line_; }

    void attach(platform::DeviceLink& link) override { link_ = &link; }
    void receive(std::span<const std::uint8_t> bytes, Micros t) override {
        writes_.emplace_back(bytes.begin(), bytes.end());
        if (!script_) return;
        const Micros character = platform::characterTime(line_.settings);
        Micros arrival = t;
        for (const TimedByte& b : script_(writes_.back(), line_)) {
            arrival += b.gap.value_or(character);
            link_->send(std::span(&b.byte, 1), arrival - character);
        }
    }
    void lineChanged(const platform::LineState& line, Micros) override { line_ = line; }
    std::optional<bool> cts(Micros) const override {
        return followRts_ ? std::optional<bool>(line_.rts) : cts_;
    }

  private:
    platform::DeviceLink* link_ = nullptr;
    Script script_;
    std::vector<Bytes> writes_;
    platform::LineState line_;
    std::optional<bool> cts_;
    bool followRts_ = false;
};

}  // namespace tessel::reader::testing
