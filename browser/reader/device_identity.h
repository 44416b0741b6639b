#pragma once
// Which terminal this is, and the good-read signals: LED, buzzer, sound file and vibrator.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "browser/reader/reader_types.h"
#include "browser/reader/system_services.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "platform/semaphore.h"
#include "platform/sound.h"

namespace tessel::reader {

// The model named by an identity text ("DEVK240CE" → K240); Unknown for anything else.
ModelIndex modelFromIdent(std::string_view ident);

// Reads "DeviceModel" (or, when it is empty, "Name") of HKEY_LOCAL_MACHINE\Ident. Unknown when the
// key cannot be opened.
ModelIndex detectModel(platform::Registry& registry);

// Device path of a sound of the list ("\Windows\Default" for 1 … "\Windows\LowBatt" for 9);
// nullopt for any other index.
std::optional<std::string> soundFile(int index);

// The play-sound flags used for every sound: file name, no wait.
inline constexpr std::uint32_t kSoundFlags = platform::kSoundFileName | platform::kSoundNoWait;

// The settings that shape a good-read signal.
struct GoodReadSignal {
    bool enableLed = false;
    std::uint32_t buzzerDuration = 0;  // 100 ms units
    std::uint32_t buzzerFreq = 0;
    int goodReadBeepFileIdx = 0;
};

// The signalling operations. Each blocks its caller for its duration; the waits are semaphores
// used as interruptible sleeps on the clock, so interrupt() (at shutdown) cuts them short and a
// virtual clock records the requested lengths. Waits happen even when the library lacks the entry
// point, so the timing never depends on the library.
class Notifier {
  public:
    // binding, sounds and clock must outlive the notifier.
    Notifier(const NotificationBinding& binding, platform::SoundPlayer& sounds,
             platform::Clock& clock, ModelIndex model);

    void setModel(ModelIndex model) { model_ = model; }

    // Plays sound index of the list without waiting; other indices play nothing.
    void playSound(int index);
    // Sounds the buzzer for min(duration, 255) × 100 ms; the library still gets duration.
    void buzz(std::uint32_t duration, std::uint32_t frequency);
    // Lights the good-read LED for ms (at least 400 ms on the K240).
    void flashLed(std::uint32_t ms);
    // Runs the vibrator for units × 500 ms.
    void vibrate(std::uint32_t units);
    // LED for 100 ms when enabled, then buzzer, then the good-read sound.
    void goodRead(const GoodReadSignal& signal);

    // Ends every wait in progress (each semaphore is released once).
    void interrupt();

  private:
    const NotificationBinding& binding_;
    platform::SoundPlayer& sounds_;
    ModelIndex model_;
    platform::Semaphore ledWait_;
    platform::Semaphore buzzerWait_;
    platform::Semaphore vibratorWait_;
};

}  // namespace tessel::reader
