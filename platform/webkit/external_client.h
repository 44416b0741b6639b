#pragma once
// The web process's end of window.external: a blocking Unix-socket connection to the host that
// sends one request and waits for its answer (external_wire.h).
//
// It connects on first use and again after a failure, so a host that starts listening late or
// restarts is found. Not thread-safe: the web process calls it from its main thread only.

#include <optional>
#include <string>

#include "platform/webkit/external_wire.h"

namespace tessel::platform::webkit {

// Writes all of bytes to a socket, retrying after interruptions; false when the peer has gone.
bool sendAll(int fd, ByteSpan bytes);

class ExternalClient {
public:
    explicit ExternalClient(std::string path = {}) : path_(std::move(path)) {}
    ~ExternalClient() { disconnect(); }
    ExternalClient(const ExternalClient&) = delete;
    ExternalClient& operator=(const ExternalClient&) = delete;

    void setPath(std::string path) { path_ = std::move(path); }

    // One request and its answer; nullopt when the host cannot be reached or answers nonsense.
    std::optional<ExternalReply> call(const ExternalRequest& request);

private:
    void connect();
    void disconnect();
    std::optional<ExternalReply> exchange(const ExternalRequest& request);

    std::string path_;
    int fd_ = -1;
};

}  // namespace tessel::platform::webkit
