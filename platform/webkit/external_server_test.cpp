#include "platform/webkit/external_server.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "platform/temp_dir.h"
#include "platform/webkit/external_client.h"

namespace tessel::platform::webkit {
namespace {

class Adder final : public PageExternal {
public:
    ExternalReply call(std::u16string_view method, std::span<const ScriptValue> args) override {
        ++calls;
        if (method != u"add") return {ExternalReply::Status::UnknownMethod, {}};
        if (args.size() != 2 || !std::holds_alternative<std::int32_t>(args[0]) ||
            !std::holds_alternative<std::int32_t>(args[1]))
            return {ExternalReply::Status::Error, {}};
        return {ExternalReply::Status::Ok, std::get<std::int32_t>(args[0]) + std::get<std::int32_t>(args[1])};
    }
    int calls = 0;
};

int connectTo(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    return fd;
}

class ExternalServerTest : public ::testing::Test {
protected:
    ExternalServerTest() : server_((dir_.path() / "external").string()) { server_.setExternal(&adder_); }

    // Runs work on another thread, as a web process would, while this thread serves the socket.
    template <typename Work>
    void serveWhile(Work work) {
        std::atomic<bool> done{false};
        std::thread peer([&] {
            work();
            done = true;
        });
        while (!done) {
            g_main_context_iteration(nullptr, FALSE);
            g_usleep(200);
        }
        peer.join();
    }

    static ExternalRequest add(ScriptValue a, ScriptValue b) {
        return {ExternalRequest::Kind::Call, u"add", {std::move(a), std::move(b)}};
    }

    TempDir dir_;
    Adder adder_;
    ExternalServer server_;
};

TEST_F(ExternalServerTest, AnswersCallsAndHellosOfSeveralConnections) {
    ASSERT_TRUE(server_.listening());
    ExternalClient first(server_.path());
    ExternalClient second(server_.path());
    std::optional<ExternalReply> sum, refused, unknown, hello;
    serveWhile([&] {
        hello = first.call({ExternalRequest::Kind::Hello, {}, {}});
        sum = second.call(add(std::int32_t{2}, std::int32_t{40}));
        refused = first.call(add(std::u16string(u"2"), std::int32_t{40}));
        unknown = second.call({ExternalRequest::Kind::Call, u"Add", {}});
    });
    ASSERT_TRUE(sum && refused && unknown && hello);
    EXPECT_EQ(sum->value, ScriptValue(std::int32_t{42}));
    EXPECT_EQ(refused->status, ExternalReply::Status::Error);
    EXPECT_EQ(unknown->status, ExternalReply::Status::UnknownMethod);
    EXPECT_EQ(hello->status, ExternalReply::Status::Ok);
    EXPECT_EQ(server_.hellos(), 1u);
    EXPECT_EQ(server_.connections(), 2u);
    EXPECT_EQ(adder_.calls, 3);  // a hello is not a call
}

TEST_F(ExternalServerTest, WithoutAnExternalEveryMethodIsUnknown) {
    server_.setExternal(nullptr);
    ExternalClient client(server_.path());
    std::optional<ExternalReply> reply;
    serveWhile([&] { reply = client.call(add(std::int32_t{1}, std::int32_t{1})); });
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, ExternalReply::Status::UnknownMethod);
}

TEST_F(ExternalServerTest, AFrameArrivingByteByByteIsAnswered) {
    const int fd = connectTo(server_.path());
    const Bytes request = frame(encodeRequest(add(std::int32_t{1}, std::int32_t{2})));
    Bytes answer(64);
    ssize_t got = 0;
    serveWhile([&] {
        for (const std::uint8_t byte : request) {
            send(fd, &byte, 1, MSG_NOSIGNAL);
            g_usleep(100);
        }
        got = recv(fd, answer.data(), answer.size(), 0);
    });
    close(fd);
    ASSERT_GT(got, 0);
    const FrameSplit split = splitFrame(ByteSpan(answer).first(static_cast<std::size_t>(got)));
    ASSERT_EQ(split.status, FrameSplit::Status::Complete);
    EXPECT_EQ(decodeReply(split.payload)->value, ScriptValue(std::int32_t{3}));
}

TEST_F(ExternalServerTest, ABrokenPeerIsDroppedAndTheOthersGoOn) {
    const int broken = connectTo(server_.path());
    ExternalClient good(server_.path());
    ssize_t end = -1;
    std::optional<ExternalReply> reply;
    serveWhile([&] {
        const Bytes nonsense = frame(Bytes{'X', 1, 2});
        send(broken, nonsense.data(), nonsense.size(), MSG_NOSIGNAL);
        std::uint8_t byte = 0;
        end = recv(broken, &byte, 1, 0);  // the host closes the connection
        reply = good.call(add(std::int32_t{5}, std::int32_t{5}));
    });
    close(broken);
    EXPECT_EQ(end, 0);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->value, ScriptValue(std::int32_t{10}));
    EXPECT_EQ(server_.connections(), 1u);
}

TEST(ExternalClient, AHostThatIsNotThereGivesNoAnswer) {
    TempDir dir;
    ExternalClient client((dir.path() / "nobody").string());
    EXPECT_FALSE(client.call({ExternalRequest::Kind::Hello, {}, {}}));
}

}  // namespace
}  // namespace tessel::platform::webkit
