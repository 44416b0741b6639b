// tessel-send [--root DIR] NAME [PARAM [LPARAM]]
// tessel-send [--root DIR] --close
//
// Sends the registered message NAME to the browser running on a device root (--root, else
// TESSEL_DEVICE_ROOT) and waits until its window has handled it. One PARAM is the lParam for
// WM_BATTERYSTATE (the charge) and the wParam for every other name; two are wParam and lParam.
// --close presses the window's close button. Exits 0 when handled, 1 when no browser runs there
// or it refused, 2 on bad usage.

#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_channel.h"
#include "tools/device_root.h"

namespace {

using tessel::platform::ChannelRequest;

template <class T>
bool number(const std::string& text, T& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::optional<ChannelRequest> requestOf(const std::vector<std::string>& words) {
    if (words.size() == 1 && words[0] == "--close") return ChannelRequest{ChannelRequest::Kind::Close, {}, 0, 0};
    if (words.empty() || words.size() > 3 || !tessel::platform::validMessageName(words[0]))
        return std::nullopt;
    ChannelRequest request{ChannelRequest::Kind::Post, words[0], 0, 0};
    bool ok = true;
    if (words.size() == 2 && words[0] == "WM_BATTERYSTATE")
        ok = number(words[1], request.lParam);
    else if (words.size() >= 2)
        ok = number(words[1], request.wParam);
    if (words.size() == 3) ok = ok && number(words[2], request.lParam);
    return ok ? std::optional(request) : std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--root" && i + 1 < argc)
            root = argv[++i];
        else
            words.push_back(arg);
    }
    const auto request = requestOf(words);
    if (!request) {
        std::cerr << "usage: tessel-send [--root DIR] NAME [PARAM [LPARAM]] | --close\n";
        return 2;
    }
    const auto fs = tessel::tools::openDeviceRoot(root);
    if (!fs) {
        std::cerr << "tessel-send: no device root (--root DIR or TESSEL_DEVICE_ROOT)\n";
        return 2;
    }
    std::string error;
    const auto reply = tessel::platform::sendRequest(fs->root(), *request, error);
    if (!reply) {
        std::cerr << "tessel-send: " << error << "\n";
        return 1;
    }
    if (*reply != "ok") {
        std::cerr << "tessel-send: " << *reply << "\n";
        return 1;
    }
    return 0;
}
