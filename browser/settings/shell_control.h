#pragma once
// What the option pages and the reader settings dialog ask of the shell around them: the main
// window (its kiosk lock, tray menu and messages) and the reader threads (decode wait and
// continuous reading). The application implements both over MainDialog and its threads.

#include <cstdint>

namespace tessel::settings {

// The reader items of the tray menu.
inline constexpr int kTrayCcdLaser = 404;
inline constexpr int kTrayLongRange = 405;
inline constexpr int kTray2D = 406;
inline constexpr int kTrayRfid = 407;

class ShellControl {
public:
    virtual ~ShellControl() = default;
    // The lock was cleared: the task bar and the address box take input again at once.
    virtual void unlockNow() = 0;
    // Ticks or unticks an item of the tray menu (404 "CCD/Laser" ... 407 "RFID").
    virtual void tickTrayItem(int item, bool ticked) = 0;
    // Sends the main window a registered message and returns when it has been handled.
    virtual void sendToMain(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

class ReadingControl {
public:
    virtual ~ReadingControl() = default;
    // The decode time-out of the reader threads, in seconds.
    virtual void setDecodeWaitSeconds(int seconds) = 0;
    // Releases the continuous reader's two trigger waits, so that it reads without a trigger.
    virtual void releaseTriggerWaits() = 0;
    // Waits up to ms on the continuous reader's trigger-idle signal (takes it when free).
    virtual void awaitTriggerIdle(std::uint32_t ms) = 0;
};

}  // namespace tessel::settings
