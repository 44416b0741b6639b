#include "platform/webkit/external_wire.h"

#include <bit>
#include <cstring>

namespace tessel::platform::webkit {
namespace {

enum class Tag : std::uint8_t { None = 0, Boolean = 1, Integer = 2, Number = 3, Text = 4 };

void putU32(Bytes& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putU64(Bytes& out, std::uint64_t v) {
    for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putText(Bytes& out, std::u16string_view text) {
    putU32(out, static_cast<std::uint32_t>(text.size()));
    for (const char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
}

struct ValueWriter {
    Bytes& out;
    void operator()(std::monostate) const { out.push_back(std::uint8_t(Tag::None)); }
    void operator()(bool b) const {
        out.push_back(std::uint8_t(Tag::Boolean));
        out.push_back(b ? 1 : 0);
    }
    void operator()(std::int32_t i) const {
        out.push_back(std::uint8_t(Tag::Integer));
        putU32(out, static_cast<std::uint32_t>(i));
    }
    void operator()(double d) const {
        out.push_back(std::uint8_t(Tag::Number));
        putU64(out, std::bit_cast<std::uint64_t>(d));
    }
    void operator()(const std::u16string& s) const {
        out.push_back(std::uint8_t(Tag::Text));
        putText(out, s);
    }
};

void putValue(Bytes& out, const ScriptValue& value) { std::visit(ValueWriter{out}, value); }

// Reads from a payload; every read checks the bytes left, and a failed read leaves ok false.
class Reader {
public:
    explicit Reader(ByteSpan bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ == bytes_.size(); }

    std::uint8_t u8() {
        if (!need(1)) return 0;
        return bytes_[pos_++];
    }
    std::uint64_t uint(int width) {
        if (!need(static_cast<std::size_t>(width))) return 0;
        std::uint64_t v = 0;
        for (int i = 0; i < width; ++i) v |= std::uint64_t(bytes_[pos_++]) << (8 * i);
        return v;
    }
    std::u16string text() {
        const std::uint64_t count = uint(4);
        if (!ok_ || count > (bytes_.size() - pos_) / 2) return fail<std::u16string>();
        std::u16string s(static_cast<std::size_t>(count), u'\0');
        for (char16_t& unit : s) unit = static_cast<char16_t>(uint(2));
        return s;
    }
    ScriptValue value() {
        switch (static_cast<Tag>(u8())) {
            case Tag::None: return std::monostate{};
            case Tag::Boolean: return boolean();
            case Tag::Integer: return static_cast<std::int32_t>(static_cast<std::uint32_t>(uint(4)));
            case Tag::Number: return std::bit_cast<double>(uint(8));
            case Tag::Text: return text();
        }
        return fail<ScriptValue>();
    }

private:
    bool boolean() {
        const std::uint8_t b = u8();
        if (b > 1) ok_ = false;
        return b == 1;
    }
    bool need(std::size_t n) {
        if (!ok_ || bytes_.size() - pos_ < n) ok_ = false;
        return ok_;
    }
    template <typename T>
    T fail() {
        ok_ = false;
        return T{};
    }

    ByteSpan bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

bool validKind(std::uint8_t kind) {
    return kind == std::uint8_t(ExternalRequest::Kind::Hello) ||
           kind == std::uint8_t(ExternalRequest::Kind::Call);
}

bool validStatus(std::uint8_t status) {
    return status <= std::uint8_t(ExternalReply::Status::Error);
}

}  // namespace

Bytes frame(ByteSpan payload) {
    Bytes out;
    out.reserve(kFrameHeader + payload.size());
    putU32(out, static_cast<std::uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

FrameSplit splitFrame(ByteSpan bytes) {
    if (bytes.size() < kFrameHeader) return {};
    std::size_t length = 0;
    for (std::size_t i = 0; i < kFrameHeader; ++i) length |= std::size_t(bytes[i]) << (8 * i);
    if (length > kMaxPayload) return {FrameSplit::Status::Invalid, {}, 0};
    if (bytes.size() - kFrameHeader < length) return {};
    return {FrameSplit::Status::Complete, bytes.subspan(kFrameHeader, length), kFrameHeader + length};
}

Bytes encodeRequest(const ExternalRequest& request) {
    Bytes out;
    out.push_back(static_cast<std::uint8_t>(request.kind));
    putText(out, request.method);
    putU32(out, static_cast<std::uint32_t>(request.args.size()));
    for (const ScriptValue& arg : request.args) putValue(out, arg);
    return out;
}

std::optional<ExternalRequest> decodeRequest(ByteSpan payload) {
    Reader in(payload);
    const std::uint8_t kind = in.u8();
    if (!in.ok() || !validKind(kind)) return std::nullopt;
    ExternalRequest request{static_cast<ExternalRequest::Kind>(kind), in.text(), {}};
    const std::uint64_t count = in.uint(4);
    // Each value takes at least its tag byte, so the count cannot exceed the bytes left.
    if (!in.ok() || count > payload.size()) return std::nullopt;
    for (std::uint64_t i = 0; i < count && in.ok(); ++i) request.args.push_back(in.value());
    if (!in.ok() || !in.atEnd()) return std::nullopt;
    return request;
}

Bytes encodeReply(const ExternalReply& reply) {
    Bytes out;
    out.push_back(static_cast<std::uint8_t>(reply.status));
    putValue(out, reply.value);
    return out;
}

std::optional<ExternalReply> decodeReply(ByteSpan payload) {
    Reader in(payload);
    const std::uint8_t status = in.u8();
    if (!in.ok() || !validStatus(status)) return std::nullopt;
    ExternalReply reply{static_cast<ExternalReply::Status>(status), in.value()};
    if (!in.ok() || !in.atEnd()) return std::nullopt;
    return reply;
}

}  // namespace tessel::platform::webkit
