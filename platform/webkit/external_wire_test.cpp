#include "platform/webkit/external_wire.h"

#include <gtest/gtest.h>

namespace tessel::platform::webkit {
namespace {

const std::u16string kAwkward{u"a\0\"\n\u00e9\U0001F600\xD800", 8};

TEST(ExternalWire, RequestsRoundTripWithEveryValueKind) {
    const ExternalRequest request{ExternalRequest::Kind::Call, u"playSound",
                                  {std::monostate{}, true, std::int32_t{-1}, 2.5, kAwkward}};
    const Bytes payload = encodeRequest(request);
    EXPECT_EQ(decodeRequest(payload), request);
    const ExternalRequest hello{ExternalRequest::Kind::Hello, {}, {}};
    EXPECT_EQ(decodeRequest(encodeRequest(hello)), hello);
}

TEST(ExternalWire, RequestLayoutIsLittleEndianUtf16) {
    const ExternalRequest request{ExternalRequest::Kind::Call, u"A", {std::int32_t{0x01020304}}};
    const Bytes expected{'C', 1, 0, 0, 0, 'A', 0, 1, 0, 0, 0, 2, 4, 3, 2, 1};
    EXPECT_EQ(encodeRequest(request), expected);
}

TEST(ExternalWire, RepliesRoundTrip) {
    for (const ExternalReply& reply :
         {ExternalReply{ExternalReply::Status::Ok, kAwkward},
          ExternalReply{ExternalReply::Status::Ok, std::int32_t{100}},
          ExternalReply{ExternalReply::Status::UnknownMethod, {}},
          ExternalReply{ExternalReply::Status::Error, {}}}) {
        const auto decoded = decodeReply(encodeReply(reply));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->status, reply.status);
        EXPECT_EQ(decoded->value, reply.value);
    }
}

TEST(ExternalWire, MalformedPayloadsAreRefused) {
    const Bytes good = encodeRequest({ExternalRequest::Kind::Call, u"getVendor", {kAwkward}});
    for (std::size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(decodeRequest(ByteSpan(good).first(cut))) << cut;
    Bytes trailing = good;
    trailing.push_back(0);
    EXPECT_FALSE(decodeRequest(trailing));
    EXPECT_FALSE(decodeRequest(Bytes{'X', 0, 0, 0, 0, 0, 0, 0, 0}));
    // A text count far beyond the payload, and an argument count beyond it.
    EXPECT_FALSE(decodeRequest(Bytes{'C', 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(decodeRequest(Bytes{'C', 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(decodeReply(Bytes{3, 0}));        // no such status
    EXPECT_FALSE(decodeReply(Bytes{0, 1, 2}));     // a boolean other than 0 or 1
    EXPECT_FALSE(decodeReply(Bytes{0, 9}));        // no such value tag
}

TEST(ExternalWire, FramesSplitAtEveryChunking) {
    const Bytes payload{1, 2, 3};
    Bytes stream = frame(payload);
    const Bytes second = frame(Bytes{});
    stream.insert(stream.end(), second.begin(), second.end());
    for (std::size_t have = 0; have < 7; ++have)
        EXPECT_EQ(splitFrame(ByteSpan(stream).first(have)).status, FrameSplit::Status::Incomplete);
    const FrameSplit first = splitFrame(stream);
    ASSERT_EQ(first.status, FrameSplit::Status::Complete);
    EXPECT_EQ(Bytes(first.payload.begin(), first.payload.end()), payload);
    const FrameSplit next = splitFrame(ByteSpan(stream).subspan(first.consumed));
    EXPECT_EQ(next.status, FrameSplit::Status::Complete);
    EXPECT_EQ(next.consumed, 4u);
    EXPECT_EQ(splitFrame(Bytes{0xFF, 0xFF, 0xFF, 0x7F}).status, FrameSplit::Status::Invalid);
}

}  // namespace
}  // namespace tessel::platform::webkit
