#include "browser/bridge/script_invoker.h"

#include <utility>

namespace tessel::bridge {
namespace {

void resetResult(Variant& result) {
    switch (result.type()) {
        case VarType::I4:
        case VarType::Error:
        case VarType::Bool:
            result.setInteger(0);
            return;
        default:
            result = Variant::i4(0);
    }
}

std::u16string widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace

void ScriptInvoker::setDocument(std::shared_ptr<platform::PageDocument> document) {
    document_ = std::move(document);
}

bool ScriptInvoker::invoke(std::u16string_view name, const ScanArgs& args, Variant& result) {
    resetResult(result);
    if (!document_) return false;
    const platform::PageCall call = document_->call(name, args);
    switch (call.outcome) {
        case platform::PageCall::Outcome::Returned:
            result = toVariant(call.value);
            return true;
        case platform::PageCall::Outcome::Missing:
            return false;
        case platform::PageCall::Outcome::Threw:
            keepFailure(name, DISP_E_EXCEPTION);
            return false;
        case platform::PageCall::Outcome::Failed:
            keepFailure(name, call.failure);
            return false;
    }
    return false;
}

// A code with a name of its own is kept as that name; any other code (a success code included,
// since the call did not return) as a sentence naming the function.
void ScriptInvoker::keepFailure(std::u16string_view name, HResult code) {
    if (const auto known = dispatchErrorName(code)) {
        failureText_ = widen(*known);
        return;
    }
    failureText_ = u"unable to execute the javascript function --> ";
    failureText_ += name;
    failureText_ += u" \nPlease verify whether the function implementation is correct.";
}

}  // namespace tessel::bridge
