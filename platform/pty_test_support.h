#pragma once
// Test support for the pseudo-terminal tests: a device that echoes what it hears, remembering
// the host's speed at each reception.

#include <vector>

#include "platform/virtual_serial.h"

namespace tessel::platform {

class EchoModel final : public DeviceModel {
public:
    void attach(DeviceLink& link) override { link_ = &link; }
    void receive(std::span<const std::uint8_t> bytes, Micros t) override {
        heardAtBaud.push_back(link_->line().settings.baud);
        link_->send(bytes, t);
    }
    // Sends bytes of its own at time `at` (call through PtyDevice::withModel).
    void say(std::span<const std::uint8_t> bytes, Micros at) { link_->send(bytes, at); }
    Micros now() const { return link_->now(); }

    std::vector<std::uint32_t> heardAtBaud;

private:
    DeviceLink* link_ = nullptr;
};

}  // namespace tessel::platform
