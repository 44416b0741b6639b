#include "sim/engine_model.h"

#include <cassert>

namespace tessel::sim {

void EngineModel::receive(std::span<const std::uint8_t> bytes, Micros t) {
    if (!plugged_ || !link_) return;
    const platform::LineSettings& line = link_->line().settings;
    if (line.baud != baud_ || line.dataBits != 8 || line.parity != platform::Parity::None) {
        resetParser();
        return;
    }
    hear(bytes, t);
}

std::optional<bool> EngineModel::cts(Micros) const {
    if (!plugged_ || !modemLines_) return std::nullopt;
    return rts_;
}

void EngineModel::queueDecode(Decode decode) {
    decodes_.push_back(std::move(decode));
    if (attached() && plugged_) flushDecodes(now());
}

void EngineModel::misbehave(Fault fault, int times) {
    assert(times == kForever || times > 0);
    faults_.push_back({fault, times});
}

std::optional<Fault> EngineModel::pendingFault() const {
    if (faults_.empty()) return std::nullopt;
    return faults_.front().fault;
}

std::optional<Fault> EngineModel::takeFault() {
    if (faults_.empty()) return std::nullopt;
    const Fault fault = faults_.front().fault;
    int& remaining = faults_.front().remaining;
    if (remaining != kForever && --remaining == 0) faults_.pop_front();
    return fault;
}

bool EngineModel::acceptCommand(Micros t) {
    const auto fault = pendingFault();
    if (fault != Fault::Silence && fault != Fault::Nak) return true;
    takeFault();
    if (fault == Fault::Nak) sendRaw(refusal(), replyTime(t));
    return false;
}

bool EngineModel::emit(std::span<const std::uint8_t> message, Micros at) {
    const auto fault = takeFault();
    if (!fault) {
        sendRaw(message, at);
        return true;
    }
    switch (*fault) {
        case Fault::Silence:
            return false;
        case Fault::DropPacket:
            return true;
        case Fault::Nak:
            sendRaw(refusal(), at);
            return true;
        case Fault::Garbage:
            sendRaw(garbage(message.size()), at);
            return true;
        case Fault::StrayBytes: {
            Bytes spoiled = garbage(2);
            spoiled.insert(spoiled.end(), message.begin(), message.end());
            sendRaw(spoiled, at);
            return true;
        }
        case Fault::Truncate:
            sendRaw(message.first(message.size() / 2), at);
            return true;
    }
    return true;
}

void EngineModel::sendRaw(std::span<const std::uint8_t> bytes, Micros at) {
    if (link_ && plugged_ && !bytes.empty()) link_->send(bytes, at);
}

std::optional<Decode> EngineModel::nextDecode() {
    if (decodes_.empty()) return std::nullopt;
    Decode decode = std::move(decodes_.front());
    decodes_.pop_front();
    return decode;
}

void EngineModel::flushDecodes(Micros at) {
    while (scanning() && !decodes_.empty()) sendDecode(*nextDecode(), at);
}

Bytes EngineModel::garbage(std::size_t n) {
    // A xorshift sequence: meaningless but the same in every run.
    Bytes out(n);
    for (auto& byte : out) {
        noise_ ^= noise_ << 13;
        noise_ ^= noise_ >> 17;
        noise_ ^= noise_ << 5;
        byte = static_cast<std::uint8_t>(noise_);
    }
    return out;
}

}  // namespace tessel::sim
