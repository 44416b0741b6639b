// tessel-probe: tells an administrator which scan engine answers on port 1, and what it reads;
// with --port 2, which RFID reader answers and what its tags hold.

#include <iostream>
#include <string>
#include <vector>

#include "tools/probe_core.h"
#include "tools/probe_rfid.h"

int main(int argc, char** argv) {
    using namespace tessel::tools;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kProbeUsageText << kRfidProbeUsageText;
        return kProbeOk;
    }
    std::string error;
    if (wantsRfidPort(args)) {
        const auto rfidOptions = parseRfidProbeArguments(args, error);
        if (!rfidOptions) {
            std::cerr << "tessel-probe: " << error << "\n" << kRfidProbeUsageText;
            return kProbeUsage;
        }
        return runRfidProbe(*rfidOptions, tessel::platform::realClock(), std::cout, std::cerr);
    }
    const auto options = parseProbeArguments(args, error);
    if (!options) {
        std::cerr << "tessel-probe: " << error << "\n" << kProbeUsageText;
        return kProbeUsage;
    }
    return runProbe(*options, tessel::platform::realClock(), std::cout, std::cerr);
}
