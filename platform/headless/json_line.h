#pragma once
// JSON lines for the headless program: each page callback and each message box becomes one
// line on its output, so scripts can follow the browser from outside.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/headless/page_file.h"
#include "platform/page_script.h"
#include "platform/ui.h"

namespace tessel::platform::headless {

// A JSON string literal of UTF-16 text (UTF-8 out, control characters and unpaired surrogates
// escaped as \uXXXX).
std::string jsonString(std::u16string_view text);

// {"call":"onScanBarcode","args":["Code 39","1234"]}
std::string callLine(std::u16string_view name, std::span<const std::u16string> args);
// A call that did not return adds how it ended: "threw", "missing", or "failed" with the code:
// {"call":"onScanRFID","args":["M","04A1B2",""],"outcome":"failed","failure":"0x8002000e"}
std::string callLine(std::u16string_view name, std::span<const std::u16string> args,
                     const PageCall& outcome);
// A page that completed loading; callbacks reach it from now on: {"document":"\\tmp.htm"}
std::string documentLine(std::u16string_view url);
// A page callback that failed in the page, with the text the program keeps for it:
// {"invokeFailure":"onScanBarcode","text":"DISP_E_EXCEPTION"}
std::string invokeFailureLine(std::u16string_view function, std::u16string_view text);
// A text keyboard emulation typed into the focused field (either mode): {"typed":"<4006\u000d"}
std::string typedLine(std::u16string_view text);
// {"messageBox":"Do you want to quit?","caption":"Warning"}
std::string messageBoxLine(const ui::MessageBoxSpec& box);

// A document that writes each call as a line. Without a page file every function exists and
// returns nothing; with one, the file says which exist and how they end.
class JsonLineDocument final : public PageDocument {
public:
    explicit JsonLineDocument(std::function<void(const std::string&)> out,
                              std::optional<PageFunctions> page = std::nullopt)
        : out_(std::move(out)), page_(std::move(page)) {}
    PageCall call(std::u16string_view name, std::span<const std::u16string> args) override;

private:
    std::function<void(const std::string&)> out_;
    std::optional<PageFunctions> page_;
};

}  // namespace tessel::platform::headless
