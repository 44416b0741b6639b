#include "platform/virtual_serial.h"

#include <algorithm>
#include <cerrno>

namespace tessel::platform {

VirtualSerialPort::VirtualSerialPort(VirtualClock& clock, DeviceModel& model)
    : clock_(clock), model_(model) {
    model_.attach(*this);
}

bool VirtualSerialPort::configure(const LineSettings& line) {
    line_.settings = line;
    notifyLine();
    return true;
}

LineSettings VirtualSerialPort::settings() const { return line_.settings; }

bool VirtualSerialPort::setRts(bool on) {
    line_.rts = on;
    notifyLine();
    return true;
}

bool VirtualSerialPort::setDtr(bool on) {
    line_.dtr = on;
    notifyLine();
    return true;
}

std::optional<bool> VirtualSerialPort::cts() {
    auto state = model_.cts(clock_.now());
    lastError_ = state ? 0 : ENOTTY;
    return state;
}

bool VirtualSerialPort::purge() {
    const Micros now = clock_.now();
    while (!input_.empty() && input_.front().at <= now) input_.pop_front();
    return true;
}

bool VirtualSerialPort::readByte(std::uint8_t& out, Millis timeout) {
    const Micros deadline = clock_.now() + timeout;
    if (input_.empty() || input_.front().at > deadline) {
        clock_.advanceTo(deadline);
        lastError_ = ETIMEDOUT;
        return false;
    }
    clock_.advanceTo(input_.front().at);
    out = input_.front().byte;
    input_.pop_front();
    return true;
}

std::size_t VirtualSerialPort::write(std::span<const std::uint8_t> bytes, Millis) {
    if (bytes.empty()) return 0;
    // The output queue takes the bytes at once; they reach the device as the wire carries them.
    const Micros start = std::max(clock_.now(), hostBusyUntil_);
    hostBusyUntil_ = start + characterTime(line_.settings, bytes.size());
    model_.receive(bytes, hostBusyUntil_);
    return bytes.size();
}

std::size_t VirtualSerialPort::pendingInput() const { return input_.size(); }

void VirtualSerialPort::send(std::span<const std::uint8_t> bytes, Micros at) {
    Micros start = std::max({at, deviceBusyUntil_, clock_.now()});
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        input_.push_back({bytes[i], start + characterTime(line_.settings, i + 1)});
    }
    if (!bytes.empty()) deviceBusyUntil_ = input_.back().at;
}

void VirtualSerialPort::notifyLine() { model_.lineChanged(line_, clock_.now()); }

std::unique_ptr<SerialPort> VirtualPortOpener::open(std::string_view name, int& error) {
    auto found = models_.find(name);
    if (found == models_.end()) {
        error = ENOENT;
        return nullptr;
    }
    error = 0;
    return std::make_unique<VirtualSerialPort>(clock_, *found->second);
}

}  // namespace tessel::platform
