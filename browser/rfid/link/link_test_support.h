#pragma once
// Test and benchmark support: a serial port that passes every call on to another port, for
// wrappers that change or watch only part of what crosses the line.

#include <memory>
#include <utility>

#include "platform/serial_port.h"

namespace tessel::rfid {

class ForwardingPort : public platform::SerialPort {
  public:
    explicit ForwardingPort(std::unique_ptr<platform::SerialPort> port) : port_(std::move(port)) {}

    bool configure(const platform::LineSettings& line) override { return port_->configure(line); }
    platform::LineSettings settings() const override { return port_->settings(); }
    bool setRts(bool on) override { return port_->setRts(on); }
    bool setDtr(bool on) override { return port_->setDtr(on); }
    std::optional<bool> cts() override { return port_->cts(); }
    bool purge() override { return port_->purge(); }
    bool readByte(std::uint8_t& out, platform::Millis timeout) override {
        return port_->readByte(out, timeout);
    }
    std::size_t write(std::span<const std::uint8_t> bytes, platform::Millis timeout) override {
        return port_->write(bytes, timeout);
    }
    bool drain(platform::Millis timeout) override { return port_->drain(timeout); }
    int lastError() const override { return port_->lastError(); }

  private:
    std::unique_ptr<platform::SerialPort> port_;
};

}  // namespace tessel::rfid
