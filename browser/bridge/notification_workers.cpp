#include "browser/bridge/notification_workers.h"

#include <utility>

#include "browser/bridge/scan_delivery.h"

namespace tessel::bridge {

NotificationWorkers::NotificationWorkers(reader::Notifier& notifier, OptionsSource options,
                                         platform::Clock& clock)
    : notifier_(notifier),
      options_(std::move(options)),
      vibrationWake_(0, 1, clock),
      goodReadWake_(0, 1, clock),
      vibrationThread_(&NotificationWorkers::work, this, std::ref(vibrationWake_),
                       &NotificationWorkers::vibrate),
      goodReadThread_(&NotificationWorkers::work, this, std::ref(goodReadWake_),
                      &NotificationWorkers::signalGoodRead) {}

NotificationWorkers::~NotificationWorkers() { stop(); }

void NotificationWorkers::stop() {
    if (stop_.exchange(true)) return;
    notifier_.interrupt();
    vibrationWake_.release();
    goodReadWake_.release();
    vibrationThread_.join();
    goodReadThread_.join();
}

void NotificationWorkers::work(platform::Semaphore& wake, void (NotificationWorkers::*signal)()) {
    while (wake.wait(platform::kInfinite) && !stop_) (this->*signal)();
}

void NotificationWorkers::vibrate() { notifier_.vibrate(vibrationUnits(options_())); }

void NotificationWorkers::signalGoodRead() { notifier_.goodRead(goodReadSignal(options_())); }

}  // namespace tessel::bridge
