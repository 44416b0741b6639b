#pragma once
// One serial reader port and its transport: open and close, speed and time-outs, command framing
// per reader type with retries, and reading replies and decode messages.
//
// Every operation blocks its caller; callers serialise through portLock. Operations return a
// success flag and leave the reason of a failure in lastError (an errno value of the port, or a
// reader code such as kNoDecode set by the engine layer). Nothing is retried except by transact.

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "browser/reader/engine_codec.h"
#include "browser/reader/reader_types.h"
#include "platform/clock.h"
#include "platform/semaphore.h"
#include "platform/serial_port.h"

namespace tessel::reader {

inline constexpr std::uint32_t kInitialDecodeTimeoutMs = 3000;
inline constexpr std::uint32_t kInitialSpeed = 9600;
// How often a wait for a decode or a picture looks whether it was interrupted.
inline constexpr std::uint32_t kDecodeWaitSliceMs = 50;

class ReaderPort {
  public:
    // number is 1 or 2; the device is "COM<number>:". opener and clock must outlive the port; the
    // clock serves every sleep and semaphore wait of the port.
    ReaderPort(int number, platform::SerialPortOpener& opener, platform::Clock& clock);
    ~ReaderPort();
    ReaderPort(const ReaderPort&) = delete;
    ReaderPort& operator=(const ReaderPort&) = delete;

    int number() const { return number_; }
    std::string deviceName() const;
    platform::Clock& clock() const { return clock_; }

    // Opens the device for reading and writing and purges both directions. On failure the port
    // stays closed and lastError holds the system error.
    bool openPort();
    // Purges and closes an open port; nothing for a closed one.
    void closePort();
    bool isOpen() const { return serial_ != nullptr; }

    // Sets baud with 8 data bits, no parity, one stop bit, no CTS flow control and RTS off, and
    // remembers the speed.
    bool setSpeed(std::uint32_t baud);
    std::uint32_t speed() const { return speed_; }

    // Sets the total read ('r') or write ('w') time-out in ms. Returns whether the value changed;
    // the port is left alone when it did not. Both are 0 when the port opens: a read or write
    // before they are set gives up at once.
    bool setTimeout(std::uint32_t ms, char direction);
    std::uint32_t readTimeoutMs() const { return readTimeoutMs_; }
    std::uint32_t writeTimeoutMs() const { return writeTimeoutMs_; }

    // One byte within the read time-out. Inside a DecodeWait the time-out is waited in slices of
    // kDecodeWaitSliceMs, and the read fails with ECANCELED once the wait was interrupted; the
    // bytes on the line and the total time-out are the same either way.
    bool readByte(std::uint8_t& out);

    // Ends the wait for a decode or a picture in progress on another thread within one slice,
    // and every later one at once, until clearDecodeInterrupt(). Reads outside a DecodeWait
    // (command replies) are not affected.
    void interruptDecodeWait() { decodeInterrupted_ = true; }
    void clearDecodeInterrupt() { decodeInterrupted_ = false; }
    bool decodeInterrupted() const { return decodeInterrupted_; }

    // Marks the reads of its scope, on the reading thread, as the wait for a decode or a picture.
    class DecodeWait {
      public:
        explicit DecodeWait(ReaderPort& port) : port_(port) { port_.inDecodeWait_ = true; }
        ~DecodeWait() { port_.inDecodeWait_ = false; }
        DecodeWait(const DecodeWait&) = delete;
        DecodeWait& operator=(const DecodeWait&) = delete;

      private:
        ReaderPort& port_;
    };

    // Purges both directions (unread input, such as the checksum of the last reply, is dropped),
    // then writes every byte and waits until they have left the port, all within the write
    // time-out. Success only when all bytes went out.
    bool writeFrame(std::span<const std::uint8_t> bytes);

    // Sends command in the framing of the reader type and, when reply is given, reads the answer,
    // up to retries attempts:
    //   CcdLaser     ESC…CR frame; the answer is read with 1000 ms; "NG" is a failed attempt.
    //   packet types checksum appended, written inside the line handshake; the answer is one
    //                packet read with timeoutMs; a negative acknowledgement is a failed attempt.
    //   RfidText, RfidFrame  sent as they are; the answer is read with 1000 ms.
    // The write time-out is set to timeoutMs first. With a reply wanted and retries < 1 nothing
    // is sent and the result is failure. Other reader types fail.
    bool transact(std::span<const std::uint8_t> command, std::uint32_t timeoutMs, Bytes* reply,
                  int retries);
    bool transact(std::string_view command, std::uint32_t timeoutMs, Bytes* reply, int retries);

    // Clears out and reads one reply in the framing of the reader type, the first byte awaited
    // for timeoutMs. decodeMode (packet types) reads a whole decode message, acknowledging
    // between packets.
    bool readReply(Bytes& out, std::uint32_t timeoutMs, bool decodeMode = false);

    // The RTS/CTS exchange around each packet write. Its outcome is not examined: the write goes
    // ahead in any case.
    void raiseLine();
    void lowerLine();

    // RTS on or off, outside the handshake.
    bool setRts(bool on);

    // The open port, or null.
    platform::SerialPort* serial() const { return serial_.get(); }

    // Fields kept for the layers above.
    ModelIndex model = ModelIndex::Unknown;  // copied from the manager once detected
    ReaderType type = ReaderType::None;
    std::uint32_t decodeTimeout = kInitialDecodeTimeoutMs;
    int lastError = 0;
    Bytes data;  // the last reply or decode message

    int triggerState = 0;
    platform::Semaphore portLock;
    platform::Semaphore idleSemaphore;
    platform::Semaphore aimSemaphore;
    std::uint32_t aimDurtion = 0;  // aim time in 100 ms units
    ScanResult result;
    Bytes configBlock;     // text engine only
    Bytes processedImage;  // the last image after post-processing

    // The port as a byte source for the reply readers: each wait becomes the read time-out
    // (set only when it changes), and decode messages are acknowledged between packets.
    class Source;

  private:
    bool writeAll(std::span<const std::uint8_t> bytes);
    bool transactText(const Bytes& frame, Bytes* reply, int retries);
    bool transactPacket(const Bytes& frame, std::uint32_t timeoutMs, Bytes* reply, int retries);
    bool failPort();
    bool usesIoControlCts() const;
    bool waitForCts(bool asserted);

    const int number_;
    platform::SerialPortOpener& opener_;
    platform::Clock& clock_;
    std::unique_ptr<platform::SerialPort> serial_;
    std::uint32_t speed_ = kInitialSpeed;
    std::uint32_t readTimeoutMs_ = 0;
    std::uint32_t writeTimeoutMs_ = 0;
    std::atomic<bool> decodeInterrupted_{false};
    bool inDecodeWait_ = false;  // the reading thread's own
};

class ReaderPort::Source final : public DecodeSource {
  public:
    explicit Source(ReaderPort& port) : port_(port) {}
    bool readByte(std::uint8_t& out, platform::Millis timeout) override;
    void acknowledge() override;

  private:
    ReaderPort& port_;
};

}  // namespace tessel::reader
