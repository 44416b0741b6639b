#include "browser/app/reader_hooks.h"

namespace tessel::app {

void ReaderHooks::readerMessage(Msg msg, std::uintptr_t wParam, std::intptr_t) {
    // The reader threads and good-read workers see the options as they are now.
    keys_.publishOptions();
    switch (msg) {
        case Msg::User1Down:
        case Msg::User2Down: keys_.down(); break;
        case Msg::User1Up:
        case Msg::User2Up: keys_.up(); break;
        case Msg::Decode: sink_.onDecode(wParam); break;
        case Msg::DecodeError: sink_.onDecodeError(wParam); break;
        case Msg::DecodeImg: sink_.onDecodeImage(); break;
        default: break;
    }
}

}  // namespace tessel::app
