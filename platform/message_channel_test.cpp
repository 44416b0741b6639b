#include "platform/message_channel.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/temp_dir.h"

namespace tessel::platform {
namespace {

using Kind = ChannelRequest::Kind;

TEST(ChannelCodec, RoundTrips) {
    const ChannelRequest requests[] = {
        {Kind::Post, "WM_USER1DOWN", 0, 0},
        {Kind::Post, "WM_BATTERYSTATE", 4294967295u, -2147483647 - 1},
        {Kind::Raise, {}, 0, 0},
        {Kind::Close, {}, 0, 0},
    };
    for (const auto& request : requests) EXPECT_EQ(parseRequest(encodeRequest(request)), request);
    EXPECT_EQ(encodeRequest({Kind::Post, "WM_DECODE", 2, -1}), "post WM_DECODE 2 -1\n");
}

TEST(ChannelCodec, RefusesMalformedLines) {
    const char* bad[] = {
        "",
        "post",
        "post WM_X 1",
        "post WM_X 1 2 3",
        "post WM_X  1 2",
        "post WM-X 1 2",
        "post WM_X -1 2",
        "post WM_X 4294967296 0",
        "post WM_X 0 2147483648",
        "post WM_X 0x1 0",
        "post WM_X +1 0",
        "Post WM_X 1 2",
        "raise now",
        "post WM_X 1 2\r",
    };
    for (const char* line : bad) EXPECT_FALSE(parseRequest(line)) << line;
    EXPECT_FALSE(parseRequest("post " + std::string(65, 'A') + " 0 0"));
    EXPECT_TRUE(parseRequest("post " + std::string(64, 'A') + " 0 0"));
}

TEST(MessageChannel, RequestsReachTheHandlerAndRepliesComeBack) {
    TempDir root;
    MessageServer::Opened opened{};
    std::string error;
    auto server = MessageServer::open(root.path(), opened, error);
    ASSERT_TRUE(server) << error;
    std::vector<ChannelRequest> seen;
    server->start([&](const ChannelRequest& r) {
        seen.push_back(r);
        return r.name == "WM_REFUSED" ? std::string("error refused") : std::string("ok");
    });
    EXPECT_EQ(sendRequest(root.path(), {Kind::Post, "WM_USER1DOWN", 1, 2}, error), "ok");
    EXPECT_EQ(sendRequest(root.path(), {Kind::Post, "WM_REFUSED", 0, 0}, error), "error refused");
    server->stop();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (ChannelRequest{Kind::Post, "WM_USER1DOWN", 1, 2}));
    EXPECT_FALSE(sendRequest(root.path(), {Kind::Raise, {}, 0, 0}, error));
    EXPECT_NE(error.find("no browser runs"), std::string::npos);
}

TEST(MessageChannel, OneServerPerDeviceRootAndAStaleSocketIsReplaced) {
    TempDir root;
    std::string error;
    MessageServer::Opened opened{};
    {
        auto first = MessageServer::open(root.path(), opened, error);
        ASSERT_TRUE(first);
        auto second = MessageServer::open(root.path(), opened, error);
        EXPECT_FALSE(second);
        EXPECT_EQ(opened, MessageServer::Opened::OtherRunning);
    }
    std::ofstream(channelSocketPath(root.path())) << "left by a crash";
    auto again = MessageServer::open(root.path(), opened, error);
    ASSERT_TRUE(again) << error;
    again->start([](const ChannelRequest&) { return std::string("ok"); });
    EXPECT_EQ(sendRequest(root.path(), {Kind::Raise, {}, 0, 0}, error), "ok");
}

TEST(MessageChannel, GarbageGetsAnErrorReplyAndTheServerGoesOn) {
    TempDir root;
    std::string error;
    MessageServer::Opened opened{};
    auto server = MessageServer::open(root.path(), opened, error);
    ASSERT_TRUE(server);
    std::atomic<int> calls{0};
    server->start([&](const ChannelRequest&) {
        ++calls;
        return std::string("ok");
    });
    // A request whose name is not valid is refused before the handler.
    EXPECT_EQ(sendRequest(root.path(), {Kind::Post, "bad name", 0, 0}, error), "error bad request");
    EXPECT_EQ(sendRequest(root.path(), {Kind::Post, "WM_OK", 0, 0}, error), "ok");
    EXPECT_EQ(calls, 1);
}

TEST(MessageChannel, OverlongRootIsRefusedWithAReason) {
    std::string error;
    MessageServer::Opened opened{};
    EXPECT_FALSE(MessageServer::open("/tmp/" + std::string(200, 'x'), opened, error));
    EXPECT_EQ(opened, MessageServer::Opened::Failed);
    EXPECT_NE(error.find("too long"), std::string::npos);
}

}  // namespace
}  // namespace tessel::platform
