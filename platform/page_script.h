#pragma once
// What crosses between the page's script and the host, whichever web view shows the page.
//
// PageDocument is the host's way into the current page: call one of its global functions by name
// with text arguments. PageExternal is the page's way out: the page's window.external object,
// whose method calls arrive on the window thread. The web view backends (the WebKit page, the
// headless and test documents) implement the first and call the second; the script bridge
// (ScriptInvoker, DeviceScriptObject) is written against both and knows nothing of the backend.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace tessel::platform {

// A script value: undefined/null, boolean, a whole number that fits 32 bits, any other number,
// or a text (UTF-16, embedded NULs allowed).
using ScriptValue = std::variant<std::monostate, bool, std::int32_t, double, std::u16string>;

struct PageCall {
    enum class Outcome {
        Returned,  // the function ran and returned value
        Threw,     // the function ran and raised an exception
        Missing,   // the page has no script, or no global function of that name
        Failed,    // the script engine refused the call with automation code failure
    };
    Outcome outcome = Outcome::Missing;
    ScriptValue value;              // with Returned
    std::uint32_t failure = 0;      // with Failed: an HRESULT such as 0x8002000E
};

class PageDocument {
public:
    virtual ~PageDocument() = default;
    // Calls the page's global function name with args in order (the first text is the
    // function's first parameter). Runs on the window thread and returns when the call is over.
    virtual PageCall call(std::u16string_view name, std::span<const std::u16string> args) = 0;
};

struct ExternalReply {
    enum class Status {
        Ok,             // value is the method's result (monostate: no result)
        UnknownMethod,  // no method of that name: the page sees a TypeError
        Error,          // the method refused its arguments or failed: the page sees an exception
    };
    Status status = Status::Ok;
    ScriptValue value;
};

class PageExternal {
public:
    virtual ~PageExternal() = default;
    // One call of window.external.method(args...) from the page, on the window thread; the
    // page's script waits for the reply.
    virtual ExternalReply call(std::u16string_view method, std::span<const ScriptValue> args) = 0;
};

}  // namespace tessel::platform
