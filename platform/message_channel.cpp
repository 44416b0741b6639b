#include "platform/message_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace tessel::platform {

namespace {

constexpr int kReplyTimeoutMs = 5000;   // the window thread handles a message long before this
constexpr int kRequestTimeoutMs = 1000;  // a client that connects writes its line at once

template <class T>
bool parseNumber(std::string_view text, T& value) {
    if (text.empty() || text.size() > 11) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::optional<std::string_view> nextField(std::string_view& rest) {
    if (rest.empty()) return std::nullopt;
    auto space = rest.find(' ');
    std::string_view field = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    return field;
}

bool makeAddress(const std::filesystem::path& path, sockaddr_un& address, std::string& error) {
    const std::string text = path.string();
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (text.size() >= sizeof address.sun_path) {
        error = "socket path too long: " + text;
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

std::string systemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Reads up to a "\n" (not kept) within timeoutMs; nullopt on time-out, close or overlong lines.
std::optional<std::string> readLine(int fd, int timeoutMs) {
    std::string line;
    while (line.size() < kMaxRequestLine) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
        char c = 0;
        if (::read(fd, &c, 1) != 1) return std::nullopt;
        if (c == '\n') return line;
        line.push_back(c);
    }
    return std::nullopt;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

bool validMessageName(std::string_view name) {
    if (name.empty() || name.size() > kMaxMessageName) return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

std::string encodeRequest(const ChannelRequest& request) {
    if (request.kind == ChannelRequest::Kind::Raise) return "raise\n";
    if (request.kind == ChannelRequest::Kind::Close) return "close\n";
    return "post " + request.name + " " + std::to_string(request.wParam) + " " +
           std::to_string(request.lParam) + "\n";
}

std::optional<ChannelRequest> parseRequest(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (line == "raise") return ChannelRequest{ChannelRequest::Kind::Raise, {}, 0, 0};
    if (line == "close") return ChannelRequest{ChannelRequest::Kind::Close, {}, 0, 0};
    std::string_view rest = line;
    auto verb = nextField(rest);
    auto name = nextField(rest);
    auto w = nextField(rest);
    auto l = nextField(rest);
    if (!verb || *verb != "post" || !name || !w || !l || !rest.empty()) return std::nullopt;
    ChannelRequest request{ChannelRequest::Kind::Post, std::string(*name), 0, 0};
    if (!validMessageName(*name) || !parseNumber(*w, request.wParam) ||
        !parseNumber(*l, request.lParam))
        return std::nullopt;
    return request;
}

std::filesystem::path channelSocketPath(const std::filesystem::path& deviceRoot) {
    return deviceRoot / "tessel-browser.sock";
}

std::filesystem::path channelLockPath(const std::filesystem::path& deviceRoot) {
    return deviceRoot / "tessel-browser.lock";
}

// ---- server ----

std::unique_ptr<MessageServer> MessageServer::open(const std::filesystem::path& deviceRoot,
                                                   Opened& result, std::string& error) {
    result = Opened::Failed;
    sockaddr_un address{};
    const auto socketPath = channelSocketPath(deviceRoot);
    if (!makeAddress(socketPath, address, error)) return nullptr;
    int lockFd = ::open(channelLockPath(deviceRoot).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd < 0) {
        error = systemError("instance lock");
        return nullptr;
    }
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        result = errno == EWOULDBLOCK ? Opened::OtherRunning : Opened::Failed;
        error = result == Opened::OtherRunning ? "another browser runs on this device root"
                                               : systemError("instance lock");
        ::close(lockFd);
        return nullptr;
    }
    // The lock is ours, so a socket file left there is a dead instance's.
    ::unlink(socketPath.c_str());
    int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int wake[2] = {-1, -1};
    if (listenFd < 0 || ::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 8) != 0 || ::pipe2(wake, O_CLOEXEC) != 0) {
        error = systemError("message socket");
        if (listenFd >= 0) ::close(listenFd);
        ::close(lockFd);
        return nullptr;
    }
    result = Opened::Ok;
    return std::unique_ptr<MessageServer>(
        new MessageServer(lockFd, listenFd, wake[0], wake[1], socketPath));
}

MessageServer::MessageServer(int lockFd, int listenFd, int wakeRead, int wakeWrite,
                             std::filesystem::path socket)
    : lockFd_(lockFd), listenFd_(listenFd), wakeRead_(wakeRead), wakeWrite_(wakeWrite),
      socket_(std::move(socket)) {}

MessageServer::~MessageServer() {
    stop();
    ::close(listenFd_);
    ::close(wakeRead_);
    ::close(wakeWrite_);
    ::close(lockFd_);
}

void MessageServer::start(Handler handler) {
    handler_ = std::move(handler);
    thread_ = std::thread([this] { serve(); });
}

void MessageServer::stop() {
    if (thread_.joinable()) {
        const char byte = 0;
        (void)!::write(wakeWrite_, &byte, 1);
        thread_.join();
    }
    if (!socket_.empty()) ::unlink(socket_.c_str());
    socket_.clear();
}

void MessageServer::serve() {
    while (true) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        answer(fd);
        ::close(fd);
    }
}

void MessageServer::answer(int fd) {
    auto line = readLine(fd, kRequestTimeoutMs);
    auto request = line ? parseRequest(*line) : std::nullopt;
    std::string reply = request ? handler_(*request) : "error bad request";
    writeAll(fd, reply + "\n");
}

// ---- client ----

std::optional<std::string> sendRequest(const std::filesystem::path& deviceRoot,
                                       const ChannelRequest& request, std::string& error) {
    sockaddr_un address{};
    if (!makeAddress(channelSocketPath(deviceRoot), address, error)) return std::nullopt;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = systemError("socket");
        return std::nullopt;
    }
    std::optional<std::string> reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = "no browser runs on device root " + deviceRoot.string();
    } else if (!writeAll(fd, encodeRequest(request))) {
        error = systemError("send");
    } else if (!(reply = readLine(fd, kReplyTimeoutMs))) {
        error = "the browser did not answer";
    }
    ::close(fd);
    return reply;
}

}  // namespace tessel::platform
