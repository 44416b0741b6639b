#pragma once
// The readers of the browser program, put together: the RFID link and reader of port 2, the
// reader manager, the shell's reader access with the reader threads, the trigger keys, and the
// reader messages routed to a decode sink.
//
//   ProgramReaders readers({ports, clock, registry, loader, toolkit, sounds, target, options, sink});
//   BrowserApp app({context, loader, &registry, readers.access(), readers.hooks(), ...}, ...);

#include <functional>
#include <string>

#include "browser/app/manager_readers.h"
#include "browser/app/reader_hooks.h"
#include "browser/app/trigger_keys.h"
#include "browser/rfid/link/rfid_link.h"

namespace tessel::app {

struct ProgramReaderParts {
    platform::SerialPortOpener& ports;  // "COM1:" and "COM2:"
    platform::Clock& clock;
    platform::Registry& registry;
    platform::LibraryLoader& loader;
    platform::ui::Toolkit& toolkit;
    platform::SoundPlayer& sounds;
    MessageTarget target;  // the main window's message handling
    std::function<const settings::BrowserOptions&()> options;  // the main window's options
    DecodeSink& sink;
    std::function<void(std::u16string_view)> resultBox = [](std::u16string_view) {};
    ManagerReaders::StartUp startUp = ManagerReaders::detectAndStart;
    CaptureProgress* progress = nullptr;  // the progress window of image captures
};

class ProgramReaders {
public:
    explicit ProgramReaders(ProgramReaderParts parts);

    ReaderAccess& access() { return readers_; }
    ShellHooks& hooks() { return hooks_; }
    ManagerReaders& readers() { return readers_; }

private:
    rfid::RfidLink link_;
    rfid::ManagedRfidReader rfid_;
    reader::ReaderManager manager_;
    ManagerReaders readers_;
    TriggerKeys keys_;
    ReaderHooks hooks_;
};

}  // namespace tessel::app
