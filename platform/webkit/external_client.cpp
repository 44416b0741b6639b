#include "platform/webkit/external_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessel::platform::webkit {

bool sendAll(int fd, ByteSpan bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<ExternalReply> ExternalClient::call(const ExternalRequest& request) {
    if (fd_ < 0) connect();
    if (fd_ < 0) return std::nullopt;
    auto reply = exchange(request);
    if (!reply) disconnect();
    return reply;
}

void ExternalClient::connect() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.empty() || path_.size() >= sizeof(address.sun_path)) return;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
        disconnect();
}

void ExternalClient::disconnect() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::optional<ExternalReply> ExternalClient::exchange(const ExternalRequest& request) {
    if (!sendAll(fd_, frame(encodeRequest(request)))) return std::nullopt;
    Bytes in;
    for (;;) {
        const FrameSplit split = splitFrame(in);
        if (split.status == FrameSplit::Status::Complete) return decodeReply(split.payload);
        if (split.status == FrameSplit::Status::Invalid) return std::nullopt;
        std::uint8_t chunk[4096];
        const ssize_t n = ::recv(fd_, chunk, sizeof(chunk), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        in.insert(in.end(), chunk, chunk + n);
    }
}

}  // namespace tessel::platform::webkit
