#include "browser/rfid/link/rfid_link.h"

#include <algorithm>
#include <cassert>
#include <string>

namespace tessel::rfid {
namespace {

constexpr std::uint8_t kCmdSetOption = 0x11;
constexpr std::uint8_t kCmdConfirm = 0x13;
constexpr std::uint8_t kCmdVersion = 0x19;
constexpr std::uint8_t kCmdSession = 0x1B;
constexpr std::uint8_t kCmdSelectProtocol = 0x1F;
constexpr std::uint8_t kCmdRequestA = 0x20;
constexpr std::uint8_t kCmdMifareRead = 0x21;
constexpr std::uint8_t kCmdMifareWrite = 0x22;
constexpr std::uint8_t kCmdUltralightRead = 0x2E;
constexpr std::uint8_t kCmdUltralightWrite = 0x2F;
constexpr std::uint8_t kCmdSrInitiate = 0x41;
constexpr std::uint8_t kCmdSr176Read = 0x43;
constexpr std::uint8_t kCmdSr176Write = 0x44;
constexpr std::uint8_t kCmdSrix4kRead = 0x46;
constexpr std::uint8_t kCmdSrix4kWrite = 0x47;
constexpr std::uint8_t kCmdSrix4kUid = 0x49;
constexpr std::uint8_t kCmdIsoInventory = 0x60;
constexpr std::uint8_t kCmdIsoRead = 0x64;
constexpr std::uint8_t kCmdIsoWrite = 0x65;

constexpr platform::Millis kHandshakePause{50};

// Copies data[offset...] into out, cut to its size; what the reply lacks stays zero. Returns the
// number of bytes copied.
std::size_t copyOut(const Bytes& data, std::span<std::uint8_t> out, std::size_t offset = 0) {
    std::fill(out.begin(), out.end(), 0);
    if (offset >= data.size()) return 0;
    const std::size_t n = std::min(out.size(), data.size() - offset);
    std::copy_n(data.begin() + long(offset), n, out.begin());
    return n;
}

Bytes withData(Bytes payload, std::span<const std::uint8_t> data) {
    payload.insert(payload.end(), data.begin(), data.end());
    return payload;
}

}  // namespace

std::string_view toString(LinkResult result) {
    switch (result) {
        case LinkResult::Success:
            return "success";
        case LinkResult::BadReply:
            return "reply refused the command";
        case LinkResult::ResyncFailed:
            return "handshake after protocol selection failed";
        case LinkResult::NoReply:
            return "no valid reply";
        case LinkResult::NotOpen:
            return "no open connection";
        case LinkResult::HandshakeFailed:
            return "handshake failed";
        case LinkResult::NoMemory:
            return "no memory for a context";
        case LinkResult::DisconnectNoReply:
            return "disconnect got no reply";
        case LinkResult::PortFailed:
            return "serial port cannot be opened";
        case LinkResult::NotConnected:
            return "not connected";
    }
    return "unknown link result";
}

RfidLink::RfidLink(platform::SerialPortOpener& opener, platform::Clock& clock)
    : opener_(opener), clock_(clock) {}

OpenResult RfidLink::open(int handle, std::uint32_t speed, std::string_view keyText, int mode,
                          std::uint32_t settleMs) {
    assert(handle > 0 && mode >= 0 && mode <= 4);
    auto existing = connections_.find(handle);
    if (existing != connections_.end() && existing->second.node.connected) {
        return {LinkResult::Success, existing->second.port->settings().baud};
    }
    Connection& conn = connections_[handle];
    conn.node = Node{};
    conn.node.key = parseKeyText(keyText);

    LinkResult last = LinkResult::NoReply;
    auto attempt = [&](std::uint32_t s) {
        if (!reopen(handle, conn, s)) {
            last = LinkResult::PortFailed;
            return false;
        }
        clock_.sleepMs(settleMs);
        last = connect(conn, mode);
        return last == LinkResult::Success;
    };
    if (speed != 0) {
        if (attempt(speed)) return {LinkResult::Success, speed};
        if (last == LinkResult::PortFailed) {
            connections_.erase(handle);
            return {LinkResult::PortFailed, 0};
        }
    }
    for (std::uint32_t s : kSearchSpeeds) {
        if (s != speed && attempt(s)) return {LinkResult::Success, s};
    }
    connections_.erase(handle);
    return {last, 0};
}

LinkResult RfidLink::close(int handle) {
    if (handle == 0) {
        LinkResult result = LinkResult::Success;
        while (!connections_.empty()) {
            const LinkResult r = close(connections_.begin()->first);
            if (result == LinkResult::Success) result = r;
        }
        return result;
    }
    auto it = connections_.find(handle);
    if (it == connections_.end()) return LinkResult::NotOpen;
    const LinkResult result = disconnect(it->second);
    connections_.erase(it);
    return result;
}

bool RfidLink::reopen(int handle, Connection& conn, std::uint32_t speed) {
    conn.port.reset();
    int error = 0;
    conn.port = opener_.open("COM" + std::to_string(handle) + ":", error);
    if (!conn.port) return false;
    platform::LineSettings line;
    line.baud = speed;
    if (conn.port->configure(line)) return true;
    conn.port.reset();
    return false;
}

LinkResult RfidLink::connect(Connection& conn, int mode) {
    const LinkKey key = conn.node.key;
    conn.node = Node{};
    conn.node.key = key;
    conn.node.mode = mode;
    const bool secured = mode != 0 && mode != 2;
    if (secured) {
        const LinkResult r = handshake(conn);
        if (r != LinkResult::Success) return r;
    }
    const Bytes select{kCmdSelectProtocol, 'A'};
    if (!transact(conn, select) && secured) {
        const LinkResult r = handshake(conn);
        if (r == LinkResult::HandshakeFailed) return LinkResult::ResyncFailed;
        if (r != LinkResult::Success) return r;
    }
    for (const Bytes& step :
         {Bytes{kCmdSetOption, 9}, Bytes{kCmdSession}, Bytes{kCmdConfirm, 16}}) {
        const LinkResult r = run(conn, step);
        if (r != LinkResult::Success) return r;
    }
    conn.node.connected = true;
    return LinkResult::Success;
}

LinkResult RfidLink::disconnect(Connection& conn) {
    if (!conn.node.connected) return LinkResult::NotConnected;
    LinkResult result = LinkResult::Success;
    for (const Bytes& step :
         {Bytes{kCmdSetOption, 0}, Bytes{kCmdSession}, Bytes{kCmdConfirm, 17}}) {
        result = run(conn, step);
        if (result != LinkResult::Success) break;
    }
    conn.node.connected = false;
    return result == LinkResult::NoReply ? LinkResult::DisconnectNoReply : result;
}

LinkResult RfidLink::handshake(Connection& conn) {
    Node& node = conn.node;
    const Format format = formatOf(node.mode);
    clock_.sleep(kHandshakePause);
    Bytes request{kCmdHandshake};
    if (format == Format::B) request.push_back(std::uint8_t(node.mode - 2));
    const std::optional<Reply> reply = transact(conn, request);
    if (!reply) return LinkResult::NoReply;
    const std::size_t keyOffset = format == Format::B ? 1 : 0;
    if (reply->command != kCmdHandshake || reply->status != 0 ||
        reply->data.size() < keyOffset + 8) {
        return LinkResult::HandshakeFailed;
    }
    if (format == Format::B) {
        const int mode = reply->data[0] + 2;
        if (mode > 4) return LinkResult::HandshakeFailed;
        node.mode = mode;
        if (mode == 2) return LinkResult::Success;
    }
    node.link =
        deriveLink(std::span<const std::uint8_t, 8>(reply->data.data() + keyOffset, 8), node.key);
    return LinkResult::Success;
}

std::optional<Reply> RfidLink::transact(Connection& conn, ByteSpan payload) {
    Node& node = conn.node;
    const std::uint8_t cmd = payload[0];
    const bool linked = isSecured(node.mode) && carriesLinkBytes(cmd);
    if (linked) advanceLink(node.link);
    const std::optional<LinkBytes> link =
        linked ? std::optional<LinkBytes>(node.link.bytes) : std::nullopt;

    const Format format = formatOf(node.mode);
    const Bytes frame = format == Format::A ? encodeFrameA(payload, link)
                                            : encodeFrameB(payload, node.address,
                                                           std::uint8_t(node.mode - 2), link);
    platform::SerialPort& port = *conn.port;
    port.purge();
    const platform::Millis writeTimeout{500 + 50 * frame.size()};
    if (port.write(frame, writeTimeout) != frame.size()) return std::nullopt;

    const std::optional<Bytes> raw = receive(port, format == Format::A ? kStartA : kStartB);
    if (!raw) return std::nullopt;
    std::optional<Reply> reply = format == Format::A
                                     ? decodeReplyA(*raw, ReplyCheckA{node.mode == 1, link})
                                     : decodeReplyB(*raw, node.address, cmd == kCmdUnlinked);
    if (reply) node.lastStatus = reply->status;
    return reply;
}

std::optional<Bytes> RfidLink::receive(platform::SerialPort& port, std::uint8_t start) {
    FrameCollector collector(start);
    platform::Millis timeout = kReplyTimeout;
    std::uint8_t byte = 0;
    while (port.readByte(byte, timeout)) {
        switch (collector.push(byte)) {
            case FrameCollector::State::Complete: {
                const ByteSpan bytes = collector.bytes();
                return Bytes(bytes.begin(), bytes.end());
            }
            case FrameCollector::State::Overflow:
                return std::nullopt;
            case FrameCollector::State::Collecting:
                break;
        }
        timeout = kChunkTimeout;
    }
    return std::nullopt;
}

LinkResult RfidLink::run(Connection& conn, ByteSpan payload, Bytes* data) {
    const std::optional<Reply> reply = transact(conn, payload);
    if (!reply) {
        // The module may have missed the request or answered it: agree on the link words again.
        if (isSecured(conn.node.mode)) handshake(conn);
        return LinkResult::NoReply;
    }
    if (reply->command != payload[0] || reply->status != 0) return LinkResult::BadReply;
    if (data) *data = reply->data;
    return LinkResult::Success;
}

LinkResult RfidLink::command(int handle, ByteSpan payload, Bytes* data) {
    auto it = connections_.find(handle);
    if (it == connections_.end()) return LinkResult::NotOpen;
    return run(it->second, payload, data);
}

LinkResult RfidLink::commandInto(int handle, ByteSpan payload, std::span<std::uint8_t> out,
                                 std::size_t* copied) {
    Bytes data;
    const LinkResult r = command(handle, payload, &data);
    if (r != LinkResult::Success) return r;
    const std::size_t n = copyOut(data, out);
    if (copied) *copied = n;
    return r;
}

std::uint8_t RfidLink::lastStatus(int handle) const {
    auto it = connections_.find(handle);
    return it == connections_.end() ? 0 : it->second.node.lastStatus;
}

int RfidLink::mode(int handle) const {
    auto it = connections_.find(handle);
    return it == connections_.end() ? -1 : it->second.node.mode;
}

LinkResult RfidLink::setOption(int handle, std::uint8_t option) {
    return command(handle, Bytes{kCmdSetOption, option});
}

LinkResult RfidLink::version(int handle, ModuleVersion& out) {
    Bytes data;
    const LinkResult r = command(handle, Bytes{kCmdVersion}, &data);
    if (r != LinkResult::Success) return r;
    copyOut(data, out.first);
    copyOut(data, out.second, out.first.size());
    return r;
}

LinkResult RfidLink::selectProtocol(int handle, char letter) {
    return command(handle, Bytes{kCmdSelectProtocol, std::uint8_t(letter)});
}

LinkResult RfidLink::requestTypeA(int handle, std::uint8_t p, TypeAAnswer& out) {
    Bytes data;
    const LinkResult r = command(handle, Bytes{kCmdRequestA, p}, &data);
    if (r != LinkResult::Success) return r;
    std::optional<TypeAAnswer> answer = parseTypeA(data);
    // Too short to hold the answer to request and the select acknowledge.
    if (!answer) return LinkResult::BadReply;
    out = std::move(*answer);
    return r;
}

LinkResult RfidLink::mifareRead(int handle, MifareKeyType keyType, std::uint8_t block,
                                const SectorKey& key, std::array<std::uint8_t, 16>& out) {
    return commandInto(handle, withData({kCmdMifareRead, std::uint8_t(keyType), block}, key), out);
}

LinkResult RfidLink::mifareWrite(int handle, MifareKeyType keyType, std::uint8_t block,
                                 const SectorKey& key, const std::array<std::uint8_t, 16>& data) {
    return command(handle,
                   withData(withData({kCmdMifareWrite, std::uint8_t(keyType), block}, key), data));
}

LinkResult RfidLink::ultralightRead(int handle, std::uint8_t page,
                                    std::array<std::uint8_t, 16>& out) {
    return commandInto(handle, Bytes{kCmdUltralightRead, page}, out);
}

LinkResult RfidLink::ultralightWrite(int handle, std::uint8_t page,
                                     const std::array<std::uint8_t, 4>& data) {
    return command(handle, withData({kCmdUltralightWrite, page}, data));
}

LinkResult RfidLink::srInitiate(int handle, std::uint8_t& chipId) {
    Bytes data;
    const LinkResult r = command(handle, Bytes{kCmdSrInitiate}, &data);
    if (r == LinkResult::Success) chipId = data.empty() ? 0 : data[0];
    return r;
}

LinkResult RfidLink::sr176ReadBlock(int handle, std::uint8_t block,
                                    std::array<std::uint8_t, 2>& out) {
    return commandInto(handle, Bytes{kCmdSr176Read, block}, out);
}

LinkResult RfidLink::sr176WriteBlock(int handle, std::uint8_t block,
                                     const std::array<std::uint8_t, 2>& data) {
    return command(handle, withData({kCmdSr176Write, block}, data));
}

LinkResult RfidLink::srix4kReadBlock(int handle, std::uint8_t block,
                                     std::array<std::uint8_t, 4>& out) {
    return commandInto(handle, Bytes{kCmdSrix4kRead, block}, out);
}

LinkResult RfidLink::srix4kWriteBlock(int handle, std::uint8_t block,
                                      const std::array<std::uint8_t, 4>& data) {
    return command(handle, withData({kCmdSrix4kWrite, block}, data));
}

LinkResult RfidLink::srix4kGetUid(int handle, std::array<std::uint8_t, 8>& out) {
    return commandInto(handle, Bytes{kCmdSrix4kUid}, out);
}

LinkResult RfidLink::isoInventory(int handle, std::uint8_t flags, std::uint8_t p,
                                  std::uint8_t maskLength, const std::array<std::uint8_t, 8>& mask,
                                  IsoInventory& out) {
    Bytes data;
    const LinkResult r =
        command(handle, withData({kCmdIsoInventory, flags, p, maskLength}, mask), &data);
    if (r != LinkResult::Success) return r;
    out.first = data.empty() ? 0 : data[0];
    copyOut(data, out.uid, 1);
    return r;
}

LinkResult RfidLink::isoReadBlocks(int handle, std::uint8_t flags, const IsoUid& uid,
                                   std::uint8_t first, std::uint8_t count,
                                   std::span<std::uint8_t> out, std::size_t& length) {
    length = 0;
    return commandInto(handle, withData(withData({kCmdIsoRead, flags}, uid), Bytes{first, count}),
                       out, &length);
}

LinkResult RfidLink::isoWriteBlock(int handle, std::uint8_t flags, const IsoUid& uid,
                                   std::uint8_t block, const std::array<std::uint8_t, 4>& data) {
    return command(handle,
                   withData(withData(withData({kCmdIsoWrite, flags}, uid), Bytes{block}), data));
}

}  // namespace tessel::rfid
