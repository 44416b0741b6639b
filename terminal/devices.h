#pragma once
// The host's LED, vibrator and buzzer, driven where the host has them. Each operation returns
// the host device it drove, or an empty text when the host has none or it refused.

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "terminal/host.h"

namespace tessel::terminal {

// Lights or darkens the LED named by host.ledName, else the first LED of <sys>/class/leds.
std::string setLed(const Host& host, bool on);

// A rumble effect on the first input device that can play one (<sys>/class/input/event*).
class Vibrator {
  public:
    Vibrator() = default;
    ~Vibrator();
    Vibrator(const Vibrator&) = delete;
    Vibrator& operator=(const Vibrator&) = delete;

    std::string set(const Host& host, bool on);

  private:
    void stop();

    std::mutex mutex_;
    int fd_ = -1;
    int effect_ = -1;
    std::string device_;
};

// A tone on the host's sound device.
class Buzzer {
  public:
    Buzzer() = default;
    ~Buzzer();
    Buzzer(const Buzzer&) = delete;
    Buzzer& operator=(const Buzzer&) = delete;

    // Sounds frequency (Hz, kept within 100-8000) until off(), or for duration × 100 ms when
    // off() does not come (a minute when duration is 0).
    std::string on(const Host& host, std::uint32_t frequency, std::uint32_t duration);
    // Stops the tone; returns the device it was playing on, empty when none was playing.
    std::string off();

  private:
    std::string stop();

    std::mutex mutex_;
    std::jthread tone_;
    std::string device_;
};

}  // namespace tessel::terminal
