#pragma once
// The host's end of window.external: a Unix socket that the web-process extension of each web
// process connects to, served on the window thread's GLib main context.
//
// Each request frame (external_wire.h) is answered before the next one on that connection is
// read: a hello with Ok, a call with what the PageExternal answers (UnknownMethod when there is
// none). The page's script waits for each answer, and the window thread never waits on a web
// process: it only reads when the socket is readable. A connection that sends a malformed frame
// is closed.

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "platform/page_script.h"
#include "platform/webkit/external_wire.h"

namespace tessel::platform::webkit {

class ExternalServer {
public:
    // Listens at path (a new socket file) and serves the default main context.
    explicit ExternalServer(std::string path);
    ~ExternalServer();
    ExternalServer(const ExternalServer&) = delete;
    ExternalServer& operator=(const ExternalServer&) = delete;

    bool listening() const { return listenFd_ >= 0; }
    const std::string& path() const { return path_; }

    // The object calls go to; null: none. Not owned.
    void setExternal(PageExternal* external) { external_ = external; }
    // How many hellos the extensions have said: one per page whose window object was made.
    std::size_t hellos() const { return hellos_; }
    std::size_t connections() const { return connections_.size(); }

private:
    class Connection;

    void accept();
    ExternalReply answer(const ExternalRequest& request);
    void drop(int fd);

    std::string path_;
    int listenFd_ = -1;
    unsigned listenSource_ = 0;
    PageExternal* external_ = nullptr;
    std::size_t hellos_ = 0;
    std::map<int, std::unique_ptr<Connection>> connections_;
};

}  // namespace tessel::platform::webkit
