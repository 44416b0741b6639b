#include "browser/app/program_readers.h"

#include "platform/imaging.h"

namespace tessel::app {

ProgramReaders::ProgramReaders(ProgramReaderParts parts)
    : link_(parts.ports, parts.clock),
      rfid_(link_),
      manager_({parts.ports, parts.clock, parts.registry, parts.loader, platform::jpegImaging(), &rfid_}),
      readers_({manager_, rfid_, parts.toolkit, parts.clock, parts.sounds, std::move(parts.target),
                parts.progress},
               std::move(parts.startUp)),
      keys_({manager_, readers_.threads(), [this] { return rfid_.reader(); }, std::move(parts.options),
             std::move(parts.resultBox)}),
      hooks_(keys_, parts.sink) {}

}  // namespace tessel::app
