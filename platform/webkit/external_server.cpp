#include "platform/webkit/external_server.h"

#include <glib-unix.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/webkit/external_client.h"

namespace tessel::platform::webkit {
namespace {

int listenAt(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 8) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

// One extension's connection: bytes gathered until a frame is whole, then answered.
class ExternalServer::Connection {
public:
    Connection(ExternalServer& server, int fd) : server_(server), fd_(fd) {
        source_ = g_unix_fd_add(fd, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                &Connection::readable, this);
    }
    ~Connection() {
        g_source_remove(source_);
        ::close(fd_);
    }

private:
    static gboolean readable(gint fd, GIOCondition, gpointer self) {
        auto* connection = static_cast<Connection*>(self);
        if (connection->serve()) return G_SOURCE_CONTINUE;
        connection->server_.drop(fd);  // deletes the connection and its source
        return G_SOURCE_CONTINUE;
    }

    // False when the peer has gone or broke the protocol.
    bool serve() {
        std::uint8_t chunk[65536];
        const ssize_t n = ::recv(fd_, chunk, sizeof(chunk), MSG_DONTWAIT);
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        if (n == 0) return false;
        pending_.insert(pending_.end(), chunk, chunk + n);
        return answerWholeFrames();
    }

    bool answerWholeFrames() {
        std::size_t used = 0;
        for (;;) {
            const FrameSplit split = splitFrame(ByteSpan(pending_).subspan(used));
            if (split.status == FrameSplit::Status::Incomplete) break;
            if (split.status == FrameSplit::Status::Invalid) return false;
            const auto request = decodeRequest(split.payload);
            used += split.consumed;
            if (!request || !sendAll(fd_, frame(encodeReply(server_.answer(*request))))) return false;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
        return true;
    }

    ExternalServer& server_;
    int fd_;
    unsigned source_ = 0;
    Bytes pending_;
};

ExternalServer::ExternalServer(std::string path) : path_(std::move(path)) {
    listenFd_ = listenAt(path_);
    if (listenFd_ < 0) {
        std::fprintf(stderr, "tessel: window.external cannot listen at %s: %s\n", path_.c_str(),
                     std::strerror(errno));
        return;
    }
    listenSource_ = g_unix_fd_add(
        listenFd_, G_IO_IN,
        [](gint, GIOCondition, gpointer self) -> gboolean {
            static_cast<ExternalServer*>(self)->accept();
            return G_SOURCE_CONTINUE;
        },
        this);
}

ExternalServer::~ExternalServer() {
    connections_.clear();
    if (listenFd_ < 0) return;
    g_source_remove(listenSource_);
    ::close(listenFd_);
    ::unlink(path_.c_str());
}

void ExternalServer::accept() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    connections_[fd] = std::make_unique<Connection>(*this, fd);
}

void ExternalServer::drop(int fd) { connections_.erase(fd); }

ExternalReply ExternalServer::answer(const ExternalRequest& request) {
    if (request.kind == ExternalRequest::Kind::Hello) {
        ++hellos_;
        return {};
    }
    if (!external_) return {ExternalReply::Status::UnknownMethod, {}};
    return external_->call(request.method, request.args);
}

}  // namespace tessel::platform::webkit
