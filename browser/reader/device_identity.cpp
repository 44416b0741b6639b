#include "browser/reader/device_identity.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tessel::reader {

ModelIndex modelFromIdent(std::string_view ident) {
    static constexpr std::array<std::pair<std::string_view, ModelIndex>, 5> kModels{{
        {"DEVK220CE", ModelIndex::K220},
        {"DEVK230CE", ModelIndex::K230},
        {"DEVK240CE", ModelIndex::K240},
        {"DEVK210CE", ModelIndex::K210},
        {"Pocket_PC", ModelIndex::PocketPc},
    }};
    for (const auto& [text, model] : kModels) {
        if (ident == text) return model;
    }
    return ModelIndex::Unknown;
}

namespace {

// A wait of ms that can never become an endless one.
std::uint32_t boundedWait(std::uint64_t ms) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, platform::kInfinite - 1));
}

// A text value of at most 100 bytes, as the terminal reads it; empty when absent or not text.
std::string readIdentText(const platform::Registry::Key& key, std::string_view name) {
    const auto value = key.read(name);
    if (!value || value->type != platform::RegValue::Type::Sz) return {};
    return value->text.substr(0, 100);
}

}  // namespace

ModelIndex detectModel(platform::Registry& registry) {
    const auto key = registry.open(platform::Hive::LocalMachine, "Ident");
    if (!key) return ModelIndex::Unknown;
    std::string ident = readIdentText(*key, "DeviceModel");
    if (ident.empty()) ident = readIdentText(*key, "Name");
    return modelFromIdent(ident);
}

std::optional<std::string> soundFile(int index) {
    static constexpr std::array<std::string_view, 9> kSounds{"Default", "Hwandsw", "MenuPop",
                                                             "MsgBox",  "Notify",  "VoicBeep",
                                                             "Alarm2",  "Alarm3",  "LowBatt"};
    if (index < 1 || index > static_cast<int>(kSounds.size())) return std::nullopt;
    return "\\Windows\\" + std::string(kSounds[index - 1]);
}

Notifier::Notifier(const NotificationBinding& binding, platform::SoundPlayer& sounds,
                   platform::Clock& clock, ModelIndex model)
    : binding_(binding),
      sounds_(sounds),
      model_(model),
      ledWait_(0, 1, clock),
      buzzerWait_(0, 1, clock),
      vibratorWait_(0, 1, clock) {}

void Notifier::playSound(int index) {
    if (const auto file = soundFile(index)) sounds_.play(*file, kSoundFlags);
}

void Notifier::buzz(std::uint32_t duration, std::uint32_t frequency) {
    if (duration == 0) return;
    binding_.setBuzzerOn(frequency, duration);
    buzzerWait_.wait(boundedWait(std::min<std::uint32_t>(duration, 255) * 100));
    binding_.setBuzzerOff();
}

void Notifier::flashLed(std::uint32_t ms) {
    if (ms == 0) return;
    binding_.setLedLight(2, true);
    ledWait_.wait(boundedWait(model_ == ModelIndex::K240 ? std::max<std::uint32_t>(ms, 400) : ms));
    binding_.setLedLight(2, false);
}

void Notifier::vibrate(std::uint32_t units) {
    if (units == 0) return;
    binding_.setVibratorPower(true);
    vibratorWait_.wait(boundedWait(std::uint64_t{units} * 500));
    binding_.setVibratorPower(false);
}

void Notifier::goodRead(const GoodReadSignal& signal) {
    if (signal.enableLed) flashLed(100);
    buzz(signal.buzzerDuration, signal.buzzerFreq);
    playSound(signal.goodReadBeepFileIdx);
}

void Notifier::interrupt() {
    ledWait_.release();
    buzzerWait_.release();
    vibratorWait_.release();
}

}  // namespace tessel::reader
