#pragma once
// ScriptInvoker: calls a global function of the current page by name with text arguments.
//
//   ScriptInvoker invoker;
//   invoker.setDocument(page);                       // on every completed navigation
//   Variant result;
//   invoker.invoke(u"onScanBarcode", {u"41", u"ABC"}, result);
//
// Nothing is shown to the user: invoke answers false and, when the page function itself failed,
// keeps a failure text (failureText()) that the next failure overwrites.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/bridge/automation.h"
#include "platform/page_script.h"

namespace tessel::bridge {

// The texts handed to one page callback, in the order of the function's parameters.
using ScanArgs = std::vector<std::u16string>;

class ScriptInvoker {
public:
    // Holds document (none: nullptr) in place of the previous one, which is released.
    void setDocument(std::shared_ptr<platform::PageDocument> document);

    // Calls the page function name with args. True only when the function ran and returned;
    // result then holds its return value. result is reset first: an I4, Error or Bool keeps its
    // type with value 0, anything else becomes I4 0. No document or no such function: false,
    // failure text unchanged. The function threw or the engine refused the call: false, and the
    // failure text names the reason.
    bool invoke(std::u16string_view name, const ScanArgs& args, Variant& result);

    const std::u16string& failureText() const { return failureText_; }

private:
    void keepFailure(std::u16string_view name, HResult code);

    std::shared_ptr<platform::PageDocument> document_;
    std::u16string failureText_;
};

}  // namespace tessel::bridge
