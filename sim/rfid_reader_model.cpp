#include "sim/rfid_reader_model.h"

#include <cassert>

namespace tessel::sim {

void RfidReaderModel::receive(std::span<const std::uint8_t> bytes, platform::Micros t) {
    if (!plugged_ || !link_) return;
    const platform::LineSettings& line = link_->line().settings;
    if (line.baud != baud_ || line.dataBits != 8 || line.parity != platform::Parity::None) {
        resetParser();
        return;
    }
    hear(bytes, t);
}

void RfidReaderModel::misbehave(Fault fault, int times) {
    assert(times > 0);
    faults_.insert(faults_.end(), std::size_t(times), fault);
}

void RfidReaderModel::reply(std::string_view text, platform::Micros t) {
    const platform::Micros at = t + replyDelay_;
    if (faults_.empty()) return sendRaw(text, at);
    const Fault fault = faults_.front();
    faults_.pop_front();
    switch (fault) {
        case Fault::Silence:
            return;
        case Fault::ErrorChar:
            return sendRaw(std::string(1, errorChar_) + "\r\n", at);
        case Fault::Truncate:
            return sendRaw(text.substr(0, text.size() / 2), at);
        case Fault::NulBytes: {
            std::string spoiled;
            for (char c : text) {
                spoiled.push_back('\0');
                spoiled.push_back(c);
            }
            return sendRaw(spoiled, at);
        }
        case Fault::Endless:
            return sendRaw(std::string(kEndlessBytes, 'A'), at);
    }
}

void RfidReaderModel::sendRaw(std::string_view text, platform::Micros at) {
    if (!link_ || !plugged_ || text.empty()) return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    link_->send(std::span(bytes, text.size()), at);
}

}  // namespace tessel::sim
