#pragma once
// Presents a Dispatch object as the page's external object: a call by method name is a name
// look-up, then an invoke with the script's arguments in automation order.
//
//   DeviceScriptObject device(host);
//   DispatchExternal external(device);
//   webView.setExternal(external);
//
// An unknown name answers UnknownMethod; a failed invoke (DISP_E_EXCEPTION and any other
// failure code) answers Error; otherwise the result is the script's value.

#include "browser/bridge/automation.h"
#include "platform/page_script.h"

namespace tessel::bridge {

class DispatchExternal final : public platform::PageExternal {
public:
    // target must outlive the adapter.
    explicit DispatchExternal(Dispatch& target) : target_(target) {}

    platform::ExternalReply call(std::u16string_view method,
                                 std::span<const platform::ScriptValue> args) override;

private:
    Dispatch& target_;
};

}  // namespace tessel::bridge
