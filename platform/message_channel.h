#pragma once
// Registered window messages across processes, and the single-instance rule.
//
// The browser of a device root listens on a Unix-domain socket in that root. Another process
// (tessel-send, a second browser start) connects, writes one request line and reads one reply
// line:
//
//   request  "post NAME WPARAM LPARAM\n"   a registered message by name, e.g. "post WM_USER1DOWN 0 0"
//            "raise\n"                      a second start asks the running window to the front
//            "close\n"                      the title bar's close button, from outside
//   reply    "ok\n" once the window thread has handled it, or "error TEXT\n"
//
// NAME is 1 to 64 letters, digits and "_"; WPARAM is a decimal 0..4294967295 and LPARAM a
// decimal -2147483648..2147483647. The encoder and parser are pure; the server and client do the
// socket work.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace tessel::platform {

struct ChannelRequest {
    enum class Kind { Post, Raise, Close };
    Kind kind = Kind::Post;
    std::string name;
    std::uint32_t wParam = 0;
    std::int32_t lParam = 0;
    bool operator==(const ChannelRequest&) const = default;
};

inline constexpr std::size_t kMaxMessageName = 64;
inline constexpr std::size_t kMaxRequestLine = 128;

bool validMessageName(std::string_view name);
// The request line, with its "\n"; the name must be valid.
std::string encodeRequest(const ChannelRequest& request);
// One request line, with or without its "\n"; nullopt for anything else.
std::optional<ChannelRequest> parseRequest(std::string_view line);

// The socket and lock files of a device root's browser.
std::filesystem::path channelSocketPath(const std::filesystem::path& deviceRoot);
std::filesystem::path channelLockPath(const std::filesystem::path& deviceRoot);

// The listening side. open() takes the device root's instance lock: a second browser on the
// same root gets OtherRunning. Requests are answered one at a time on the server's own thread;
// the handler returns the reply text without its "\n" ("ok" or "error ...").
class MessageServer {
public:
    using Handler = std::function<std::string(const ChannelRequest&)>;
    enum class Opened { Ok, OtherRunning, Failed };

    static std::unique_ptr<MessageServer> open(const std::filesystem::path& deviceRoot,
                                               Opened& result, std::string& error);
    ~MessageServer();
    MessageServer(const MessageServer&) = delete;
    MessageServer& operator=(const MessageServer&) = delete;

    void start(Handler handler);
    // Stops the thread and removes the socket; the lock goes with the object.
    void stop();

private:
    MessageServer(int lockFd, int listenFd, int wakeRead, int wakeWrite, std::filesystem::path socket);
    void serve();
    void answer(int fd);

    int lockFd_;
    int listenFd_;
    int wakeRead_;
    int wakeWrite_;
    std::filesystem::path socket_;
    Handler handler_;
    std::thread thread_;
};

// Sends one request to the browser of a device root and returns its reply without "\n";
// nullopt with a reason in error when no browser listens there or it does not answer.
std::optional<std::string> sendRequest(const std::filesystem::path& deviceRoot,
                                       const ChannelRequest& request, std::string& error);

}  // namespace tessel::platform
