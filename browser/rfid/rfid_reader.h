#pragma once
// RfidReader: the RFID reader on port 2, of whichever of the three kinds is fitted.
//
// It works on the manager's ReaderPort for port 2 (its serial line, speed, port lock, idle
// semaphore as the activity signal, last error) and, for the module of model index 4, on an
// RfidLink whose handle is the port number. Every operation returns a success flag (or a byte
// count) and leaves the reason of a failure in port.lastError: an errno value or a reader code
// of rfid_codec.h. Nothing here shows a message.
//
// What the reader manager calls for port 2:
//
//   rfid::RfidReader rfid(port2, link);        // port2.model set to the terminal's model index
//   if (!rfid.start(ReaderType::Auto)) report(rfid.lastError());
//   rfid.kind();                                // RfidText, RfidFrame, RfidModule or None
//   rfid.scan({-1, 80, "A1B2C3D4E5F6", 0}, result);  // RFID read thread
//   rfid.write(start, data, keyText, keyType);  // window thread, write mode
//   rfid.powerOffIfFree();                      // Stop: never blocks
//   rfid.setIdleSeconds(timeOfPowerOn);
//   rfid.version();                             // About box
//   rfid.close();                               // Close(2) and shutdown
//
// Scan and write take the port lock themselves; the idle thread of a frame reader takes it
// before closing the port.

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "browser/reader/reader_port.h"
#include "browser/rfid/link/rfid_link.h"
#include "browser/rfid/rfid_codec.h"
#include "browser/rfid/tag_types.h"
#include "platform/semaphore.h"

namespace tessel::rfid {

using reader::ReaderType;

// The two frames a frame reader needs once per process run; each flag is set once its frame
// was answered and never cleared.
struct FrameReaderFlags {
    std::atomic<bool> gainControlSent{false};
    std::atomic<bool> inputSelectionSent{false};
};
FrameReaderFlags& processFrameReaderFlags();

// Parameters of one tag operation.
struct TagRequest {
    int start = -1;            // byte address, or -1 for the tag type's default page
    int length = 0;            // bytes of user data wanted; 0 reads none
    std::string keyText;       // 12 hexadecimal digits, or 14 with the "AA"/"BB" prefix
    int keyType = 0;           // 0 key A, 1 key B
};

class RfidReader {
  public:
    static constexpr int kPortNumber = 2;
    static constexpr std::uint32_t kTextSpeed = 57600;
    static constexpr std::uint32_t kTextStartSpeed = 9600;
    static constexpr std::uint32_t kFrameSpeed = 115200;
    static constexpr std::uint32_t kModuleSpeed = 19200;
    static constexpr std::string_view kModuleKeyText = "5AC33CA5";
    static constexpr std::uint32_t kDefaultIdleSeconds = 20;

    struct Options {
        // false: no idle thread is started; idleOnce() runs one round of it (tests).
        bool idleThread = true;
    };

    // port is port 2 and must outlive the reader, as must link and flags.
    RfidReader(reader::ReaderPort& port, RfidLink& link, FrameReaderFlags& flags,
               Options options);
    RfidReader(reader::ReaderPort& port, RfidLink& link)
        : RfidReader(port, link, processFrameReaderFlags(), Options{}) {}
    ~RfidReader();
    RfidReader(const RfidReader&) = delete;
    RfidReader& operator=(const RfidReader&) = delete;

    // ---- start-up and shutdown (reader manager)

    // Port start: open, detect, then per kind: text reader port closed and initialised; frame
    // reader idle thread and initialisation, port left open; module nothing more. A failed
    // detection closes the port and leaves kind() None. Initialisation failures do not fail it.
    bool start(ReaderType request);
    // Opens port 2: on model index 4 through the link (19200 bit/s, 550 ms settle, once more
    // after 2000 ms) followed by set option 8; otherwise the serial port.
    bool openPort();
    // request RfidText/RfidFrame alone; RfidModule, then RfidText; anything else by model:
    // K220 frame; K230 and Pocket PC text; K240 module; K210 and unknown module, text, frame.
    bool detect(ReaderType request);
    static std::vector<ReaderType> detectionOrder(ReaderType request, reader::ModelIndex model);
    bool identify(std::uint32_t speed);
    bool negotiate();
    bool initialise();
    // Ends the idle thread (waiting up to 500 ms for its exit signal, then for the thread),
    // closes the link (model index 4) or the port, and resets the reader's fields.
    void close();

    ReaderType kind() const { return port_.type; }
    int lastError() const { return port_.lastError; }
    void setIdleSeconds(std::uint32_t seconds) { idleSeconds_ = seconds; }
    std::uint32_t idleSeconds() const { return idleSeconds_; }

    // ---- reader commands

    bool power(bool on);
    // Stop: powers off only when the port lock is free at once; a busy port is a failure.
    bool powerOffIfFree();
    bool ensureOpen();
    bool selectProtocol();
    // Firmware version for the About box, under the port lock; empty when the reader does not
    // answer.
    std::string version();

    // ---- tag operations

    // Finds the tag in the field; on success result gets the tag's code, name, UID and the user
    // data asked for (empty when that read failed). On failure result is left alone.
    bool scan(const TagRequest& request, RfidTagResult& result);
    // Writes data from start; returns the bytes written (0 on failure).
    int write(int start, std::span<const std::uint8_t> data, const std::string& keyText,
              int keyType);

    // Steps of the tag operations, under the caller's port lock.
    bool readUserData();
    Bytes readBlock(int block);
    // Writes data into block from offset; with merge the block is read first and keeps what
    // data does not cover, without it the block content is data.
    bool writeBlock(int block, int offset, std::span<const std::uint8_t> data, bool merge);
    bool login(int sector);
    bool findBlockSize();

    // One round of the idle thread: waits idle time on the activity signal; on a time-out
    // closes the port under the port lock. Returns whether it closed the port.
    bool idleOnce();
    bool idleThreadStarted() const { return idleStarted_; }

    // ---- state of the port (read by tests, the probe and the manager)
    int firmwareVariant = 0;  // 0 "ISO 0.9v", 1 "MultiISO 1.", 2 frame reader
    int powerState = 0;
    int protocol = kProtocolNone;
    TagRequest request;
    RfidTagResult tag;
    std::uint8_t tagitFlag = 0;
    std::uint8_t tagitBlocks = 0;
    Bytes parameterImage;

  private:
    std::string versionUnlocked();
    bool negotiateText();
    bool switchTo57600();
    bool initialiseText();
    bool initialiseFrame();
    void writeUntil(std::string_view command, std::string_view expected);
    void readParameterImage();
    bool powerText(bool on);
    bool powerFrame(bool on);
    bool powerModule(bool on);
    bool moduleScan();
    bool moduleScanTypeA();
    bool moduleScanTypeB();
    bool moduleScan15693();
    void startIdleThread();
    void stopIdleThread();
    void resetFields();

    // Transactions of the text and frame readers.
    bool transact(std::string_view command, std::uint32_t timeoutMs, int attempts, Bytes& reply);
    bool send(std::string_view command, std::uint32_t timeoutMs);

    bool scanText();
    bool scanFrame();
    bool scanModule();
    bool frameAttempt();
    bool takeFrameTag(std::string_view reply);
    void storeRequest(const TagRequest& r, bool formKey);
    void classify(std::string_view uidText);
    void readTextUserData(const BlockRange& range);
    bool readFrameUserData(const BlockRange& range);
    Bytes readTextBlock(int block);
    Bytes readFrameBlock(int block);
    Bytes readModuleBlock(int block);
    bool writeTextBlock(int block, std::span<const std::uint8_t> content);
    bool writeFrameBlock(int block, std::span<const std::uint8_t> content);
    bool writeModuleBlock(int block, std::span<const std::uint8_t> content);
    bool findTagForWrite(int start, const std::string& keyText, int keyType);
    int writeBlocks(const BlockRange& range, int start, std::span<const std::uint8_t> data);
    IsoUid moduleIsoUid() const;
    SectorKey moduleKey() const;
    bool linkCall(LinkResult result);

    reader::ReaderPort& port_;
    RfidLink& link_;
    FrameReaderFlags& flags_;
    Options options_;
    std::atomic<std::uint32_t> idleSeconds_{kDefaultIdleSeconds};  // read by the idle thread
    std::atomic<bool> stop_{false};
    platform::Semaphore exitSignal_;
    std::thread idleThread_;
    bool idleStarted_ = false;
};

}  // namespace tessel::rfid
