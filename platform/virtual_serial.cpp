#include "platform/virtual_serial.h"

#include <algorithm>
#include <cerrno>

namespace tessel::platform {

VirtualSerialPort::VirtualSerialPort(VirtualClock& clock, DeviceModel& model)
    : clock_(clock), model_(&model) {
    model.port_ = this;
    model.attach(*this);
}

VirtualSerialPort::~VirtualSerialPort() {
    if (!model_) return;
    if (model_->port_ == this) model_->port_ = nullptr;
    model_->detach(*this);
}

DeviceModel::~DeviceModel() {
    if (port_) port_->model_ = nullptr;
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
    deliverUntil(clock_.now());
    auto state = model_ ? model_->cts(clock_.now()) : std::nullopt;
    lastError_ = state ? 0 : ENOTTY;
    return state;
}

bool VirtualSerialPort::purge() {
    const Micros now = clock_.now();
    deliverUntil(now);
    // A write on the wire reaches the device only as far as it got.
    if (!output_.empty()) {
        Outgoing& cut = output_.front();
        const auto left = std::upper_bound(cut.leaves.begin(), cut.leaves.end(), now);
        const std::size_t sent = std::size_t(left - cut.leaves.begin());
        if (sent > 0 && model_) model_->receive(std::span(cut.bytes).first(sent), cut.leaves[sent - 1]);
        hostBusyUntil_ = sent > 0 ? cut.leaves[sent - 1] : now;
        output_.clear();
    }
    while (!input_.empty() && input_.front().at <= now) input_.pop_front();
    return true;
}

bool VirtualSerialPort::readByte(std::uint8_t& out, Millis timeout) {
    const Micros deadline = clock_.now() + timeout;
    // Output that leaves before the next byte arrives may make the device answer sooner.
    while (!output_.empty() && output_.front().leaves.back() <= deadline &&
           (input_.empty() || output_.front().leaves.back() < input_.front().at)) {
        clock_.advanceTo(output_.front().leaves.back());
        deliverUntil(clock_.now());
    }
    if (input_.empty() || input_.front().at > deadline) {
        clock_.advanceTo(deadline);
        deliverUntil(deadline);
        lastError_ = ETIMEDOUT;
        return false;
    }
    clock_.advanceTo(input_.front().at);
    deliverUntil(clock_.now());
    out = input_.front().byte;
    input_.pop_front();
    return true;
}

std::size_t VirtualSerialPort::write(std::span<const std::uint8_t> bytes, Millis) {
    deliverUntil(clock_.now());
    if (bytes.empty()) return 0;
    // The output queue takes the bytes at once; they leave as the wire carries them.
    const Micros start = std::max(clock_.now(), hostBusyUntil_);
    Outgoing outgoing{{bytes.begin(), bytes.end()}, {}};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        outgoing.leaves.push_back(start + characterTime(line_.settings, i + 1));
    }
    hostBusyUntil_ = outgoing.leaves.back();
    output_.push_back(std::move(outgoing));
    return bytes.size();
}

bool VirtualSerialPort::drain(Millis timeout) {
    const Micros deadline = clock_.now() + timeout;
    if (!output_.empty() && hostBusyUntil_ > deadline) {
        clock_.advanceTo(deadline);
        deliverUntil(deadline);
        lastError_ = ETIMEDOUT;
        return false;
    }
    if (!output_.empty()) clock_.advanceTo(hostBusyUntil_);
    deliverUntil(clock_.now());
    return true;
}

std::size_t VirtualSerialPort::pendingInput() const { return input_.size(); }

std::size_t VirtualSerialPort::pendingOutput() const {
    std::size_t pending = 0;
    for (const Outgoing& outgoing : output_) {
        pending += std::size_t(outgoing.leaves.end() - std::upper_bound(outgoing.leaves.begin(),
                                                                        outgoing.leaves.end(),
                                                                        clock_.now()));
    }
    return pending;
}

void VirtualSerialPort::deliverUntil(Micros t) {
    while (!output_.empty() && output_.front().leaves.back() <= t) {
        const Outgoing outgoing = std::move(output_.front());
        output_.pop_front();
        if (model_) model_->receive(outgoing.bytes, outgoing.leaves.back());
    }
}

void VirtualSerialPort::send(std::span<const std::uint8_t> bytes, Micros at) {
    Micros start = std::max({at, deviceBusyUntil_, clock_.now()});
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        input_.push_back({bytes[i], start + characterTime(line_.settings, i + 1)});
    }
    if (!bytes.empty()) deviceBusyUntil_ = input_.back().at;
}

void VirtualSerialPort::notifyLine() {
    deliverUntil(clock_.now());
    if (model_) model_->lineChanged(line_, clock_.now());
}

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
