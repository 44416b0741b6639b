#pragma once
// The reader manager: owns port 1 (scan engine) and port 2 (RFID reader), finds out at start-up
// which reader sits on each, configures the scan engine, reads barcodes and captures images for
// the reader threads, switches the software trigger and releases everything at exit.
//
//   ReaderManager manager({opener, clock, registry, loader, imaging, &rfid});
//   if (!manager.start(ReaderType::Auto, ReaderType::Auto)) show(manager.messageText());
//   ScanResult result;
//   if (manager.readBarcode(3000, result)) deliver(result);
//
// Operations return a success flag; the reason of a failure is in the port's last error (an
// errno value, or kNoDecode). A scan engine that vanishes (unplugged, EIO, hang-up) is closed;
// the next read or trigger reopens it at the type and speed found at start-up and carries on,
// and fails at once with the open error while it is away.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "browser/reader/engine.h"
#include "browser/reader/reader_port.h"
#include "browser/reader/rfid_reader.h"
#include "browser/reader/symbology_config.h"
#include "browser/reader/system_services.h"
#include "platform/imaging.h"
#include "platform/library_loader.h"
#include "platform/registry.h"

namespace tessel::reader {

// The progress window of an image capture.
class ImageProgressWindow {
  public:
    virtual ~ImageProgressWindow() = default;
    virtual void setRange(int low, int high) = 0;
    virtual void setPosition(int position) = 0;
};

inline constexpr const char* kBarcodeFailsText = "The barcode scanner fails, error code = %d\r\n";
inline constexpr const char* kNoBarcodeText = "No barcode scanner is installed.\r\n";
inline constexpr const char* kRfidFailsText = "The RFID scanner fails, error code = %d";
inline constexpr const char* kNoRfidText = "No RFID scanner is installed.\r\n";
inline constexpr std::uint32_t kDefaultTimeOfPowerOn = 20;

// What the manager works with; everything must outlive it. rfid may be null (no RFID support:
// an RFID request finds nothing). The loader should resolve device paths through the device
// file system (DlLibraryLoader with a DeviceFs) for the notification binding.
struct ReaderManagerParts {
    platform::SerialPortOpener& opener;
    platform::Clock& clock;
    platform::Registry& registry;
    platform::LibraryLoader& loader;
    platform::Imaging& imaging;
    RfidReader* rfid = nullptr;
};

class ReaderManager {
  public:
    explicit ReaderManager(ReaderManagerParts parts);
    ~ReaderManager();
    ReaderManager(const ReaderManager&) = delete;
    ReaderManager& operator=(const ReaderManager&) = delete;

    // Detects the model, then starts port 1 for barcodeRequest and port 2 for rfidRequest (None:
    // leave the port alone; Auto: detect; or one reader type), each only when not open, and
    // binds the notification library. True when either port started; failures are in
    // messageText().
    bool start(ReaderType barcodeRequest, ReaderType rfidRequest);
    const std::string& messageText() const { return message_; }

    // One barcode with a decode time-out; fails at once while the barcode reader is unavailable.
    bool readBarcode(std::uint32_t timeoutMs, ScanResult& out);
    // One picture from a packet imager; post-processed (turned by 180 degrees) on models K220,
    // K230 and K210. Fails on the generic handheld or while the barcode reader is unavailable.
    bool captureImage(std::uint32_t timeoutMs, ImageProgressWindow* progress, Bytes& image);

    // Software trigger of port 1 (a text engine in scan mode 3).
    bool trigger(bool on);
    // Closes and reopens port 1 at 115200 after a 600 ms pause.
    bool resetPort1();
    // Trigger off on the chosen readers; the RFID part never waits for port 2's lock. A triggered
    // read or image capture in progress on port 1 is told to end instead: its wait gives up
    // within kDecodeWaitSliceMs and the reading thread turns the trigger off itself, so that
    // the port never has two threads on it.
    bool stop(bool barcode, bool rfid);
    // Teardown: the wait of a read or capture in progress on port 1 ends within
    // kDecodeWaitSliceMs, and every later one at once, until close(1). A listening read then
    // gives the port lock back at once.
    void interruptReads();

    // Brings device 1 (the scan engine) or 2 (the RFID reader) back to its factory settings. A
    // packet engine takes its factory parameters, which leave it at its power-up speed: the
    // port finds it again, sets the link up and rereads every parameter, as at start-up. The
    // text engine is given its factory configuration block. The RFID reader's one factory
    // setting here is its idle time, back to 20 s. False when the device does not answer.
    bool restoreFactorySettings(int device);
    // The About box's decoder version of the reader on port 1 or 2; empty when none answers.
    std::string decoderVersion(int portNumber);
    // timeOfPowerOn: seconds of idleness after which a frame reader is switched off.
    std::uint32_t timeOfPowerOn() const { return timeOfPowerOn_; }
    void setTimeOfPowerOn(std::uint32_t seconds);

    // Closes one port (1 or 2) and rebuilds it; port 1 first gives a text engine back its
    // host-held options.
    void close(int portNumber);
    // Closes both ports and frees the notification library.
    void shutdown();

    ReaderType scannerType(int portNumber) const { return port(portNumber).type; }
    int lastError(int portNumber) const { return port(portNumber).lastError; }
    ModelIndex model() const { return model_; }
    const ScanResult& lastResult() const { return port1_->result; }
    const Bytes& processedImage() const { return port1_->processedImage; }
    bool barcodeAvailable() const { return barcodeAvailable_; }
    bool rfidAvailable() const { return rfidAvailable_; }
    void setBarcodeAvailable(bool on) { barcodeAvailable_ = on; }
    void setRfidAvailable(bool on) { rfidAvailable_ = on; }

    ReaderPort& port(int portNumber) { return portNumber == 1 ? *port1_ : *port2_; }
    const ReaderPort& port(int portNumber) const { return portNumber == 1 ? *port1_ : *port2_; }
    SymbologyConfig& symbology() { return symbology_; }
    const NotificationBinding& notificationBinding() const { return binding_; }

  private:
    bool startPort1(ReaderType request);
    bool configurePort1();
    bool restorePacketDefaults();
    bool restoreEngineFactorySettings();
    void writeStartupValues();
    bool startPort2(ReaderType request);

    // Which read runs on port 1, so that stop() knows whether the trigger is its to switch.
    enum class ActiveRead : std::uint8_t { None, Listening, Triggered };
    class ReadScope;
    bool stopBarcode();

    bool listens() const;
    bool readListening(ScanResult& out);
    bool readTriggered(ScanResult& out);
    bool postProcess(const Bytes& received, Bytes& image);
    bool ensurePort1();
    void noteFailure();

    ReaderManagerParts parts_;
    std::unique_ptr<ReaderPort> port1_;
    std::unique_ptr<ReaderPort> port2_;
    SymbologyConfig symbology_;
    AimToggle aimToggle_;
    NotificationBinding binding_;
    std::string message_;
    ModelIndex model_ = ModelIndex::Unknown;
    bool barcodeAvailable_ = false;
    bool rfidAvailable_ = false;
    std::uint32_t workingSpeed_ = 0;  // port 1's speed once its engine was found
    bool port1Lost_ = false;          // port 1 closed because its device went away
    std::uint32_t timeOfPowerOn_ = kDefaultTimeOfPowerOn;
    std::mutex readMutex_;  // guards the two fields below
    ActiveRead activeRead_ = ActiveRead::None;
    bool readsInterrupted_ = false;  // teardown began
};

}  // namespace tessel::reader
