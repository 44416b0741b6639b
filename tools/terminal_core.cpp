#include "tools/terminal_core.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"
#include "sim/rfid_frame_reader.h"
#include "sim/rfid_module.h"
#include "sim/rfid_text_reader.h"

namespace tessel::tools {
namespace {

namespace fs = std::filesystem;
using reader::ReaderType;
using terminal::ControlCommand;

constexpr std::size_t kMaxRequest = 4096;

std::string presentBarcode(platform::DeviceModel& model, const ControlCommand& command) {
    static_cast<sim::EngineModel&>(model).queueDecode({command.codeType, command.data});
    return "ok";
}

// Any RFID simulator with a field of tags (clearField, insert) takes a presented tag this way.
template <class Reader>
std::string presentTag(platform::DeviceModel& model, const ControlCommand& command) {
    auto& reader = static_cast<Reader&>(model);
    reader.clearField();
    const auto& uid = command.data;
    if (uid.size() == 4) {
        reader.insert(sim::MifareClassic(sim::MifareClassic::Kind::S50, {uid[0], uid[1], uid[2], uid[3]}));
    } else if (uid.size() == 7) {
        std::array<std::uint8_t, 7> id{};
        std::copy(uid.begin(), uid.end(), id.begin());
        reader.insert(sim::Ultralight(id));
    }
    return "ok";
}

template <class Model, auto... arguments>
std::unique_ptr<platform::DeviceModel> make() {
    return std::make_unique<Model>(arguments...);
}

std::unique_ptr<platform::DeviceModel> makeRfidModule() {
    return std::make_unique<sim::RfidModuleSim>(sim::RfidModuleSim::Config{});
}

// One row per reader kind that has a simulator: how to make it and how to hand it a request.
// A new simulator is one more row.
struct SimulatorRow {
    ReaderType kind;
    std::unique_ptr<platform::DeviceModel> (*make)();
    std::string (*present)(platform::DeviceModel&, const ControlCommand&);
};

using sim::PacketEngine;
using sim::PacketKind;
const std::array kSimulators{
    SimulatorRow{ReaderType::CcdLaser, make<sim::CcdLaserEngine>, presentBarcode},
    SimulatorRow{ReaderType::Imager2D, make<PacketEngine, PacketKind::Imager2D, 115200u>, presentBarcode},
    SimulatorRow{ReaderType::LongRange1D, make<PacketEngine, PacketKind::LongRange1D, 38400u>, presentBarcode},
    SimulatorRow{ReaderType::Imager2D4507, make<PacketEngine, PacketKind::Imager2D4507, 115200u>,
                 presentBarcode},
    SimulatorRow{ReaderType::LongRange1D955, make<PacketEngine, PacketKind::LongRange1D955, 38400u>,
                 presentBarcode},
    SimulatorRow{ReaderType::RfidText, make<sim::RfidTextReader, 1, 9600u>,
                 presentTag<sim::RfidReaderModel>},
    SimulatorRow{ReaderType::RfidFrame, make<sim::RfidFrameReader>, presentTag<sim::RfidReaderModel>},
    SimulatorRow{ReaderType::RfidModule, makeRfidModule, presentTag<sim::RfidModuleSim>},
};

const SimulatorRow* simulatorOf(ReaderType kind) {
    const auto it = std::ranges::find(kSimulators, kind, &SimulatorRow::kind);
    return it == kSimulators.end() ? nullptr : &*it;
}

bool socketAddress(const fs::path& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof(address.sun_path)) return false;
    std::strcpy(address.sun_path, path.c_str());
    return true;
}

// Listens on path; the socket is bound under a temporary name and renamed into place, so that a
// client never finds the name before it accepts connections.
int listenOn(const fs::path& path, std::string& error) {
    const fs::path temporary = path.string() + ".new";
    sockaddr_un address;
    if (!socketAddress(temporary, address)) {
        error = "control socket path too long: " + temporary.string();
        return -1;
    }
    ::unlink(temporary.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot open the control socket " + path.string() + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

// Reads up to the first LF or the end of input, at most kMaxRequest bytes, waiting at most
// timeoutMs for each piece; false when the line did not complete.
bool readLine(int fd, int timeoutMs, std::string& line) {
    char buffer[512];
    while (line.size() <= kMaxRequest) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) return false;
        if (n == 0) return true;
        line.append(buffer, static_cast<std::size_t>(n));
        const auto end = line.find('\n');
        if (end != std::string::npos) {
            line.resize(end);
            return true;
        }
    }
    return false;
}

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (n <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

struct SimulatedTerminal::Fitted {
    int port;
    const SimulatorRow* row;
    std::unique_ptr<platform::DeviceModel> model;
    std::unique_ptr<platform::PtyDevice> pty;  // stops before the model goes
};

fs::path controlSocketPath(const fs::path& root) { return root / "terminal.sock"; }

SimulatedTerminal::SimulatedTerminal(fs::path root) : root_(std::move(root)) {}

SimulatedTerminal::~SimulatedTerminal() {
    if (control_ >= 0) {
        ::close(control_);
        ::unlink(controlSocketPath(root_).c_str());
    }
    terminal::clearPortMap(root_);
}

std::unique_ptr<SimulatedTerminal> SimulatedTerminal::start(const terminal::Profile& profile,
                                                            const fs::path& root,
                                                            const terminal::FillSources& sources,
                                                            std::ostream& notes, std::string& error) {
    std::unique_ptr<SimulatedTerminal> terminal(new SimulatedTerminal(root));
    terminal::PortMap ports;
    for (const auto& [port, kind, path] : {std::tuple{1, profile.port1, &ports.com1},
                                           std::tuple{2, profile.port2, &ports.com2}}) {
        if (kind == ReaderType::None) continue;
        const SimulatorRow* row = simulatorOf(kind);
        const std::string name(terminal::readerKindName(kind));
        if (!row) {
            notes << "COM" << port << ": no simulator for " << name << " yet; left out of the port map\n";
            continue;
        }
        auto fitted = std::make_unique<Fitted>(Fitted{port, row, row->make(), nullptr});
        int errorCode = 0;
        fitted->pty = platform::PtyDevice::start(*fitted->model, {}, errorCode);
        if (!fitted->pty) {
            error = "cannot start the " + name + " simulator: " + std::strerror(errorCode);
            return nullptr;
        }
        *path = fitted->pty->slavePath().string();
        notes << "COM" << port << ": " << name << " simulator on " << *path << "\n";
        terminal->fitted_.push_back(std::move(fitted));
    }
    if (!terminal::fillDeviceRoot(profile, root, sources, ports, error) ||
        !terminal::createSimulatedHost(terminal->host(), error))
        return nullptr;
    terminal->control_ = listenOn(controlSocketPath(root), error);
    if (terminal->control_ < 0) return nullptr;
    return terminal;
}

terminal::SimulatedHost SimulatedTerminal::host() const { return terminal::SimulatedHost::of(root_); }

std::string SimulatedTerminal::present(const ControlCommand& command) {
    std::string error;
    if (command.kind == ControlCommand::Kind::Power)
        return terminal::setMains(host(), command.onMains, error) ? "ok" : "error: " + error;
    if (command.kind == ControlCommand::Kind::Signal)
        return terminal::setSignal(host(), command.signalDbm, error) ? "ok" : "error: " + error;
    const int port = command.kind == ControlCommand::Kind::Barcode ? 1 : 2;
    const auto it = std::ranges::find(fitted_, port, &Fitted::port);
    if (it == fitted_.end()) return "error: no simulator runs on COM" + std::to_string(port);
    std::string answer;
    (*it)->pty->withModel([&](platform::DeviceModel& model) { answer = (*it)->row->present(model, command); });
    return answer;
}

void SimulatedTerminal::serveControl() {
    const int client = ::accept4(control_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    std::string line, error, answer;
    if (!readLine(client, 1000, line)) {
        answer = "error: request not complete";
    } else if (const auto command = terminal::parseControlLine(line, error)) {
        answer = present(*command);
    } else {
        answer = "error: " + error;
    }
    writeAll(client, answer + "\n");
    ::close(client);
}

std::string sendControl(const fs::path& root, const std::string& line) {
    sockaddr_un address;
    if (!socketAddress(controlSocketPath(root), address)) return "error: device root path too long";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const std::string reason = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return "error: no simulated terminal answers at " + controlSocketPath(root).string() + ": " + reason;
    }
    writeAll(fd, line + "\n");
    std::string answer;
    if (!readLine(fd, 5000, answer)) answer = "error: no answer from the simulated terminal";
    ::close(fd);
    return answer;
}

}  // namespace tessel::tools
