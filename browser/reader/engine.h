#pragma once
// The scan-engine protocols of port 1: identification, speed negotiation, link setup, the text
// engine's configuration block, the software trigger, decodes and image transfer.
//
// Every operation works on a ReaderPort through its transport; failures return false with the
// reason in the port's lastError (kNoDecode when the engine reported no decode).

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "browser/reader/reader_port.h"
#include "browser/reader/reader_types.h"

namespace tessel::reader {

// Alternates the LongRange1D trigger between aiming first and decoding at once. One per process,
// shared by every trigger of every port; starts at 1.
class AimToggle {
  public:
    // Advances the toggle and returns its new value (0 or 1).
    int advance();

  private:
    std::mutex mutex_;
    int value_ = 1;
};

// Sets the port to speed and asks the engine of the port's type who it is. A packet engine's
// revision text may change the port's type (a 'G' engine probed as Imager2D is LongRange1D).
// A CcdLaser that answers gets RTS switched on for good.
bool identify(ReaderPort& port, std::uint32_t speed);

// Finds the engine at its speeds and leaves engine and port at the working speed: CcdLaser at
// 115200 only; imagers at 115200, else 9600 and a switch to 115200; long-range engines at 38400,
// else 9600 and a switch to 38400. A refused switch leaves both at 9600 and still succeeds.
bool negotiate(ReaderPort& port);

// One candidate of a detection: the pause before it and the type to negotiate.
struct DetectionStep {
    std::uint32_t pauseMs;
    ReaderType type;
    bool operator==(const DetectionStep&) const = default;
};

// The candidates for a detection request (Auto, or one port-1 type) on a terminal model: a
// requested type alone (Imager2D4507 after a 3 s pause); for Auto, by model: K220/K230 CcdLaser,
// Imager2D, LongRange1D; K210 LongRange1D955, then Imager2D4507 after 2.5 s; others
// LongRange1D955, CcdLaser, then Imager2D4507 after 3 s, then Imager2D.
std::vector<DetectionStep> detectionOrder(ReaderType request, ModelIndex model);

// Tries the candidates in turn on an open port (pauses on the port's clock) and keeps the first
// that negotiates; the port's type ends as the engine found, or None.
bool detectEngine(ReaderPort& port, ReaderType request, ModelIndex model);

// Moves a packet engine to baud and, when it agrees, the port too. A CcdLaser needs no switch.
bool switchSpeed(ReaderPort& port, std::uint32_t baud);

// Sends the fixed parameters the system relies on (packet engines).
bool linkSetup(ReaderPort& port);

// Reads the text engine's configuration block into port.configBlock.
bool readConfiguration(ReaderPort& port);

// Software trigger, under the port lock; succeeds at once when the trigger is already in the
// requested state. A LongRange1D with an aim time aims first on every other pull: it waits
// aimDurtion × 100 ms on the aim semaphore, and a release of that semaphore cuts the aim short
// and fails the pull (no decode started).
bool trigger(ReaderPort& port, bool on, AimToggle& toggle);

// Puts a packet imager in a mode (1: capture an image).
bool imagerMode(ReaderPort& port, std::uint8_t mode);

// The engine's version text for the About box; empty when the engine does not answer.
std::string versionText(ReaderPort& port);

// Waits port.decodeTimeout for a decode and interprets it into port.result. A text engine's
// "*000" or a packet engine's negative acknowledgement means no decode (lastError kNoDecode).
bool receiveDecode(ReaderPort& port, const HostOptions& options);

// Called with the percentage of the image received so far, while it is at most 90.
using ImageProgress = std::function<void(int percent)>;

// Receives an image from a packet imager that is in imager mode and triggered. The first packet
// is awaited with port.decodeTimeout per byte; each later one is requested with an
// acknowledgement, and up to 5 resend requests when it does not come. The transfer ends when the
// announced size has arrived, or when the engine stops answering. Fails (lastError ETIMEDOUT or
// EBADMSG) only when no usable first packet came.
bool receiveImage(ReaderPort& port, const ImageProgress& progress, Bytes& image);

}  // namespace tessel::reader
