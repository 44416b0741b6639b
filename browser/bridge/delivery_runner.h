#pragma once
// Carries out a Delivery on the window thread, in the order the user and the page expect: type
// the text, wake the good-read workers, show the result, then call the page.
//
//   DeliveryRunner runner(keys, vibrationSemaphore, goodReadSemaphore, showResult, invoker);
//   runner.run(deliverBarcode(scan, options, pageState));
//
// The workers' semaphores have a maximum count of 1, so scans that arrive while a signal is
// still running leave at most one more signal pending.

#include <functional>
#include <string_view>

#include "browser/bridge/keyboard_emulation.h"
#include "browser/bridge/scan_delivery.h"
#include "browser/bridge/script_invoker.h"
#include "platform/semaphore.h"

namespace tessel::bridge {

class DeliveryRunner {
public:
    using ShowResult = std::function<void(std::u16string_view)>;

    // Every reference must outlive the runner.
    DeliveryRunner(KeyboardEmulation& keys, platform::Semaphore& vibration,
                   platform::Semaphore& goodRead, ShowResult showResult, ScriptInvoker& invoker)
        : keys_(keys),
          vibration_(vibration),
          goodRead_(goodRead),
          showResult_(std::move(showResult)),
          invoker_(invoker) {}

    // Runs d; the page's answer and any failure are left to the invoker. The callback's texts
    // stay held until the next delivery replaces them.
    void run(Delivery d);

private:
    KeyboardEmulation& keys_;
    platform::Semaphore& vibration_;
    platform::Semaphore& goodRead_;
    ShowResult showResult_;
    ScriptInvoker& invoker_;
    ScanArgs lastArgs_;
};

}  // namespace tessel::bridge
