#pragma once
// A serial line that exists only in memory, on a VirtualClock.
//
// The host end is a SerialPort; the far end is a DeviceModel. Bytes travel at the line rate the
// host set. A write only queues its bytes, as a serial driver does: they leave one character
// time after another, a purge discards those that have not left yet, and drain() waits for the
// last one. Each write reaches the model once its last character has crossed the wire (what a
// purge cut short reaches it cut short). What the model sends arrives byte by byte, each a
// character time after the one before. A host read or drain that waits advances the clock to
// the next event or by its time-out, so a test runs exactly and instantly, without threads.

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace tessel::platform {

// What the device sees of the host's side of the line.
struct LineState {
    LineSettings settings;
    bool rts = false;
    bool dtr = false;
};

// The device's side of the wire, handed to a model when it is attached.
class DeviceLink {
public:
    virtual ~DeviceLink() = default;
    // Sends bytes, the first starting no earlier than `at` and not before earlier output has
    // finished, each one character time (at the host's current settings) after the previous.
    virtual void send(std::span<const std::uint8_t> bytes, Micros at) = 0;
    // The host's current line settings and modem outputs.
    virtual LineState line() const = 0;
    virtual Micros now() const = 0;
};

// A device on the far end of a virtual line.
class VirtualSerialPort;

class DeviceModel {
public:
    // A port still joined to the model loses its device, as when a cable is pulled.
    virtual ~DeviceModel();
    virtual void attach(DeviceLink& link) = 0;
    // The link is going away (its port closed): a model that kept it must forget it, when it is
    // still the one attached.
    virtual void detach(DeviceLink& /*link*/) {}
    // The host's bytes, delivered when the last of them has arrived (at time t).
    virtual void receive(std::span<const std::uint8_t> bytes, Micros t) = 0;
    // The host changed speed or a modem output.
    virtual void lineChanged(const LineState&, Micros) {}
    // The device's clear-to-send output; nullopt when the line has no modem lines.
    virtual std::optional<bool> cts(Micros) const { return std::nullopt; }

private:
    friend class VirtualSerialPort;
    VirtualSerialPort* port_ = nullptr;  // the port joined last
};

class VirtualSerialPort final : public SerialPort, private DeviceLink {
public:
    // Either may go first: a port whose model is gone reads nothing and its writes go nowhere.
    VirtualSerialPort(VirtualClock& clock, DeviceModel& model);
    ~VirtualSerialPort() override;

    bool configure(const LineSettings& line) override;
    LineSettings settings() const override;
    bool setRts(bool on) override;
    bool setDtr(bool on) override;
    std::optional<bool> cts() override;
    bool purge() override;
    bool readByte(std::uint8_t& out, Millis timeout) override;
    std::size_t write(std::span<const std::uint8_t> bytes, Millis timeout) override;
    bool drain(Millis timeout) override;
    int lastError() const override { return lastError_; }

    // Bytes sent by the device that the host has not read, arrived or still on the wire.
    std::size_t pendingInput() const;
    // Bytes written by the host that have not left the port yet.
    std::size_t pendingOutput() const;

private:
    struct Arrival {
        std::uint8_t byte;
        Micros at;
    };

    // One write in the output queue; byte i has left at leaves[i].
    struct Outgoing {
        std::vector<std::uint8_t> bytes;
        std::vector<Micros> leaves;
    };

    // Hands the model every queued write whose last byte has left by t, in order.
    void deliverUntil(Micros t);
    void send(std::span<const std::uint8_t> bytes, Micros at) override;
    LineState line() const override { return line_; }
    Micros now() const override { return clock_.now(); }
    void notifyLine();

    VirtualClock& clock_;
    friend class DeviceModel;
    DeviceModel* model_;  // null once the model is gone
    LineState line_;
    std::deque<Arrival> input_;
    std::deque<Outgoing> output_;
    Micros deviceBusyUntil_{0};
    Micros hostBusyUntil_{0};
    int lastError_ = 0;
};

// Opens virtual ports by name; each name is joined to one model.
class VirtualPortOpener final : public SerialPortOpener {
public:
    explicit VirtualPortOpener(VirtualClock& clock) : clock_(clock) {}
    // "COM1:" → model. The model must outlive every port opened on it.
    void plug(const std::string& name, DeviceModel& model) { models_[name] = &model; }
    void unplug(const std::string& name) { models_.erase(name); }
    std::unique_ptr<SerialPort> open(std::string_view name, int& error) override;

private:
    VirtualClock& clock_;
    std::map<std::string, DeviceModel*, std::less<>> models_;
};

}  // namespace tessel::platform
