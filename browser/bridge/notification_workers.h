#pragma once
// The two good-read workers: one runs the vibrator, the other the LED, buzzer and sound. Each
// sleeps on its own semaphore (count 0, maximum 1) so that a scan only releases a semaphore and
// goes on; releases that arrive while a signal is still running collapse into one more signal.
//
//   NotificationWorkers workers(notifier, [&] { return optionsCopy(); }, clock);
//   DeliveryRunner runner(keys, workers.vibration(), workers.goodRead(), show, invoker);
//   ...
//   workers.stop();   // at teardown, before the notifier goes
//
// The options are asked for at each wake, so a change applies to the next scan. A negative
// vibration or buzzer length from the file counts as 0.

#include <atomic>
#include <functional>
#include <thread>

#include "browser/reader/device_identity.h"
#include "browser/settings/browser_options.h"
#include "platform/semaphore.h"

namespace tessel::bridge {

class NotificationWorkers {
public:
    using OptionsSource = std::function<settings::BrowserOptions()>;

    // Starts both threads. notifier and clock must outlive the object; options is called on the
    // worker threads, so it must be safe to call from there.
    NotificationWorkers(reader::Notifier& notifier, OptionsSource options, platform::Clock& clock);
    ~NotificationWorkers();
    NotificationWorkers(const NotificationWorkers&) = delete;
    NotificationWorkers& operator=(const NotificationWorkers&) = delete;

    platform::Semaphore& vibration() { return vibrationWake_; }
    platform::Semaphore& goodRead() { return goodReadWake_; }

    // Sets the stop flag, cuts short any signal in progress, wakes both workers once and waits
    // for them to end. Calling it again does nothing.
    void stop();

private:
    void work(platform::Semaphore& wake, void (NotificationWorkers::*signal)());
    void vibrate();
    void signalGoodRead();

    reader::Notifier& notifier_;
    OptionsSource options_;
    platform::Semaphore vibrationWake_;
    platform::Semaphore goodReadWake_;
    std::atomic<bool> stop_{false};
    std::thread vibrationThread_;
    std::thread goodReadThread_;
};

}  // namespace tessel::bridge
