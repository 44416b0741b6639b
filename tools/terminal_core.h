#pragma once
// A simulated terminal: the fitted readers of a profile as simulators on pseudo-terminals, a
// device root filled for the profile with the ptys in its port map, its simulated power supply
// and wireless signal (terminal/simulated_host.h), and the simulator control
// (a Unix socket in the device root taking one request line per connection, see
// terminal/control_line.h, and answering "ok" or "error: reason").

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/pty_device.h"
#include "terminal/control_line.h"
#include "terminal/device_root_filler.h"
#include "terminal/simulated_host.h"

namespace tessel::tools {

// The control socket's file in a device root.
std::filesystem::path controlSocketPath(const std::filesystem::path& root);

class SimulatedTerminal {
  public:
    // Starts the simulators that exist for the profile's readers (a reader kind without one is
    // reported on notes and left out of the port map), fills the root and opens the control
    // socket. Null with a reason in error on failure.
    static std::unique_ptr<SimulatedTerminal> start(const terminal::Profile& profile,
                                                    const std::filesystem::path& root,
                                                    const terminal::FillSources& sources,
                                                    std::ostream& notes, std::string& error);
    // Stops the simulators, removes the control socket and the ports from the port map.
    ~SimulatedTerminal();

    SimulatedTerminal(const SimulatedTerminal&) = delete;
    SimulatedTerminal& operator=(const SimulatedTerminal&) = delete;

    // The listening control socket, to wait on.
    int controlFd() const { return control_; }
    // Answers one waiting control connection (a client that sends nothing for a second is
    // dropped).
    void serveControl();

    // Hands a request to the simulator it is for, or sets the simulated power source or signal;
    // "ok" or "error: reason".
    std::string present(const terminal::ControlCommand& command);

    // The simulated /proc and /sys the browser is to run with.
    terminal::SimulatedHost host() const;

  private:
    struct Fitted;
    SimulatedTerminal(std::filesystem::path root);

    std::filesystem::path root_;
    std::vector<std::unique_ptr<Fitted>> fitted_;
    int control_ = -1;
};

// Sends one request line to the simulated terminal of root and returns its answer; "error: ..."
// when it cannot be reached.
std::string sendControl(const std::filesystem::path& root, const std::string& line);

}  // namespace tessel::tools
