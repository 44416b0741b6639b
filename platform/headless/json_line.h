#pragma once
// JSON lines for the headless program: each page callback and each message box becomes one
// line on its output, so scripts can follow the browser from outside.

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/page_script.h"
#include "platform/ui.h"

namespace tessel::platform::headless {

// A JSON string literal of UTF-16 text (UTF-8 out, control characters and unpaired surrogates
// escaped as \uXXXX).
std::string jsonString(std::u16string_view text);

// {"call":"onScanBarcode","args":["Code 39","1234"]}
std::string callLine(std::u16string_view name, std::span<const std::u16string> args);
// {"messageBox":"Do you want to quit?","caption":"Warning"}
std::string messageBoxLine(const ui::MessageBoxSpec& box);

// A document whose every function exists, returns nothing and writes its call as a line.
class JsonLineDocument final : public PageDocument {
public:
    explicit JsonLineDocument(std::function<void(const std::string&)> out) : out_(std::move(out)) {}
    PageCall call(std::u16string_view name, std::span<const std::u16string> args) override {
        out_(callLine(name, args));
        return PageCall{PageCall::Outcome::Returned, {}, 0};
    }

private:
    std::function<void(const std::string&)> out_;
};

}  // namespace tessel::platform::headless
