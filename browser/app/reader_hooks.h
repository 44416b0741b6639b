#pragma once
// The reader messages of the main window: trigger keys go to TriggerKeys, results to a
// DecodeSink. Other messages are left alone.

#include "browser/app/decode_sink.h"
#include "browser/app/shell_hooks.h"
#include "browser/app/trigger_keys.h"

namespace tessel::app {

class ReaderHooks : public ShellHooks {
public:
    ReaderHooks(TriggerKeys& keys, DecodeSink& sink) : keys_(keys), sink_(sink) {}

    void readerMessage(Msg msg, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    TriggerKeys& keys_;
    DecodeSink& sink_;
};

}  // namespace tessel::app
