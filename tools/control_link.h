#pragma once
// Carries out tessel-control's actions (tools/control_actions.h) on a simulated terminal's
// device root: messages through the browser's message channel, request lines through the
// terminal's control socket.

#include <filesystem>
#include <string>

#include "platform/clock.h"
#include "tools/control_actions.h"

namespace tessel::tools {

// One action, at once: "ok", or what went wrong ("error: ..." or the browser's refusal).
std::string perform(const std::filesystem::path& root, const ControlAction& action);

// Every action in order, each after its pause on clock; ends at the first that is not "ok" and
// returns its answer, else "ok".
std::string performAll(const std::filesystem::path& root, const ControlActions& actions, platform::Clock& clock);

}  // namespace tessel::tools
