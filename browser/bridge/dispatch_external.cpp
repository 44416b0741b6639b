#include "browser/bridge/dispatch_external.h"

#include <vector>

namespace tessel::bridge {
namespace {

bool failed(HResult code) { return (code & 0x80000000u) != 0; }

}  // namespace

platform::ExternalReply DispatchExternal::call(std::u16string_view method,
                                               std::span<const platform::ScriptValue> args) {
    using Status = platform::ExternalReply::Status;
    const std::u16string name(method);
    DispId id = kDispIdUnknown;
    const HResult found = target_.getIDsOfNames({&name, 1}, {&id, 1}, kSystemDefaultLocale);
    if (failed(found) || id == kDispIdUnknown) return {Status::UnknownMethod, {}};

    // Automation passes the last script argument first.
    std::vector<Variant> variants;
    variants.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it) variants.push_back(toVariant(*it));

    Variant result;
    if (failed(target_.invoke(id, kSystemDefaultLocale, variants, &result))) {
        return {Status::Error, {}};
    }
    return {Status::Ok, toScriptValue(result)};
}

}  // namespace tessel::bridge
