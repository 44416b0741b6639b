#include "tools/control_link.h"

#include "tools/terminal_core.h"

namespace tessel::tools {

std::string perform(const std::filesystem::path& root, const ControlAction& action) {
    if (action.to == ControlAction::To::Terminal) return sendControl(root, action.line);
    std::string error;
    const auto reply = platform::sendRequest(root, action.message, error);
    return reply ? *reply : "error: " + error;
}

std::string performAll(const std::filesystem::path& root, const ControlActions& actions, platform::Clock& clock) {
    for (const ControlAction& action : actions) {
        if (action.after.count() > 0) clock.sleep(action.after);
        const std::string answer = perform(root, action);
        if (answer != "ok") return answer;
    }
    return "ok";
}

}  // namespace tessel::tools
