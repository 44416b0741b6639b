#pragma once
// ManagerReaders: the shell's readers over the reader manager and the RFID reader of port 2. It
// runs the start-up procedure (by default: detect both ports, then start the reader threads the
// found readers need), reports kinds, switches and failure texts, does the reads the reader
// threads ask for, and at close stops the threads before it shuts the manager down.
//
//   ManagerReaders readers({manager, rfid, toolkit, clock, sounds, deliver, &progress});
//   readers.startUp();            // MainDialog's initialisation, on the window thread
//   readers.threads().singleShot().release();
//   readers.close();              // teardown: no reader thread is left when it returns

#include <functional>

#include "browser/app/reader_access.h"
#include "browser/app/reader_threads.h"
#include "browser/reader/device_identity.h"
#include "browser/reader/reader_manager.h"
#include "browser/rfid/managed_rfid_reader.h"
#include "platform/sound.h"

namespace tessel::app {

struct ManagerReadersParts {
    reader::ReaderManager& manager;
    rfid::ManagedRfidReader& rfid;
    platform::ui::Toolkit& toolkit;
    platform::Clock& clock;
    platform::SoundPlayer& sounds;
    MessageTarget target;                 // the main window's message handling
    CaptureProgress* progress = nullptr;  // the progress window of image captures
};

class ManagerReaders final : public ReaderAccess, public ReaderJobs {
public:
    // The start-up procedure: detects and opens the readers, then calls startThreads().
    using StartUp = std::function<void(ManagerReaders&)>;

    explicit ManagerReaders(ManagerReadersParts parts, StartUp startUp = detectAndStart);
    ~ManagerReaders() override;

    // Requests automatic detection on both ports and starts the threads when a reader was found.
    static void detectAndStart(ManagerReaders& readers);
    // Starts the reader threads the available readers need, and the good-read workers.
    void startThreads();

    // ReaderAccess
    void startUp() override { startUp_(*this); }
    std::u16string startupFailures() const override;
    ReaderType barcodeKind() const override { return manager_.scannerType(1); }
    ReaderType rfidKind() const override { return manager_.scannerType(2); }
    bool barcodeEnabled() const override { return manager_.barcodeAvailable(); }
    void setBarcodeEnabled(bool on) override { manager_.setBarcodeAvailable(on); }
    bool rfidEnabled() const override { return manager_.rfidAvailable(); }
    void setRfidEnabled(bool on) override { manager_.setRfidAvailable(on); }
    void close() override;

    reader::ReaderManager& manager() { return manager_; }
    rfid::ManagedRfidReader& rfid() { return rfid_; }
    ReaderThreads& threads() { return threads_; }
    reader::Notifier& notifier() { return notifier_; }
    // The last picture captured by the reader threads.
    const reader::Bytes& lastImage() const { return lastImage_; }

    // ReaderJobs, on the reader threads. A tag scanned stays with the RFID reader, the picture
    // captured here.
    bool readBarcode(std::uint32_t timeoutMs) override;
    bool captureImage(std::uint32_t timeoutMs, reader::ImageProgressWindow* progress) override;
    bool scanTag(const rfid::TagRequest& request) override;
    void stopReaders() override;

private:

    reader::ReaderManager& manager_;
    rfid::ManagedRfidReader& rfid_;
    StartUp startUp_;
    reader::Notifier notifier_;
    ReaderThreads threads_;
    reader::Bytes lastImage_;
    bool closed_ = false;
};

}  // namespace tessel::app
