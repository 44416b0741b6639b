#pragma once
// The trigger keys ("WM_USER1DOWN"/"WM_USER2DOWN" and their "UP"), on the window thread. A press
// empties the result box and wakes the reader thread the fitted engine needs (or toggles
// continuous scanning on a CCD/laser engine in scan mode 3); in RFID write mode it writes the
// tag itself and shows the tag read back. A release stops a read in progress, except on the
// CCD/laser engine and while image capture is on.
//
//   TriggerKeys keys({manager, threads, [&] { return rfid.reader(); }, options, resultBox});
//   keys.down();
//   keys.up();

#include <functional>
#include <string>
#include <string_view>

#include "browser/app/reader_threads.h"
#include "browser/reader/reader_manager.h"
#include "browser/rfid/rfid_reader.h"
#include "browser/settings/browser_options.h"

namespace tessel::app {

inline constexpr char16_t kCannotWriteTag[] = u"Cannot write data to tag.";

struct TriggerParts {
    reader::ReaderManager& manager;
    ReaderThreads& threads;
    // The RFID reader found on port 2; null when there is none.
    std::function<rfid::RfidReader*()> rfid;
    // The main window's options.
    std::function<const settings::BrowserOptions&()> options;
    // Sets the reader settings page's result box.
    std::function<void(std::u16string_view)> resultBox;
};

class TriggerKeys {
public:
    // How long a press that ends continuous scanning waits for each of its semaphores.
    static constexpr std::uint32_t kTakeBackMs = 10;

    explicit TriggerKeys(TriggerParts parts) : parts_(std::move(parts)) {}

    void down();
    void up();
    // Hands the current options to the reader threads.
    void publishOptions() { parts_.threads.publishOptions(parts_.options()); }

private:
    void barcodeDown(const settings::BrowserOptions& options);
    void ccdLaserDown();
    void toggleContinuous();
    void rfidDown(const settings::BrowserOptions& options);
    void writeTag(const settings::BrowserOptions& options);

    TriggerParts parts_;
};

}  // namespace tessel::app
