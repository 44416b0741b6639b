#include "sim/rfid_module.h"

#include <algorithm>

namespace tessel::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kStartA = 0x02;
constexpr std::uint8_t kStartB = 0x01;
constexpr std::uint8_t kEnd = 0x03;
constexpr std::uint8_t kEscape = 0x10;
constexpr std::uint8_t kHandshake = 0x17;
constexpr std::uint8_t kUnlinked = 0xF6;
constexpr std::uint8_t kFailureA = 0xFF;
constexpr std::size_t kInputLimit = 8192;

std::uint8_t sum(std::span<const std::uint8_t> bytes) {
    std::uint8_t s = 0;
    for (std::uint8_t b : bytes) s = std::uint8_t(s + b);
    return s;
}

// Start byte, stuffed content and checksum, end byte.
Bytes frameOf(std::uint8_t start, const Bytes& content, std::uint8_t checksum) {
    Bytes out{start};
    auto put = [&](std::uint8_t b) {
        if (b == kStartA || b == kEnd || b == kEscape || (start == kStartB && b == kStartB)) {
            out.push_back(kEscape);
        }
        out.push_back(b);
    };
    for (std::uint8_t b : content) put(b);
    put(checksum);
    out.push_back(kEnd);
    return out;
}

struct FrameSpan {
    std::size_t begin = 0;
    std::size_t end = 0;  // one past the end byte
};

// The first whole frame in the input. An unescaped start byte inside a frame (the host gave up
// on a frame half sent) begins a new one.
std::optional<FrameSpan> findFrame(const Bytes& in) {
    std::optional<std::size_t> begin;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const std::uint8_t b = in[i];
        const bool start = b == kStartA || (b == kStartB && (!begin || in[*begin] == kStartB));
        if (start) {
            begin = i;
        } else if (begin && b == kEscape) {
            ++i;
        } else if (begin && b == kEnd) {
            return FrameSpan{*begin, i + 1};
        }
    }
    return std::nullopt;
}

Bytes unstuff(std::span<const std::uint8_t> inner) {
    Bytes out;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == kEscape && i + 1 < inner.size()) ++i;
        out.push_back(inner[i]);
    }
    return out;
}

Bytes rotated(Bytes bytes, std::size_t left) {
    if (!bytes.empty()) {
        std::rotate(bytes.begin(), bytes.begin() + long(left % bytes.size()), bytes.end());
    }
    return bytes;
}

template <class T>
std::uint32_t word(const T& b) {
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}

}  // namespace

RfidModuleSim::RfidModuleSim(Config config) : config_(config), random_(config.seed) {}

void RfidModuleSim::misbehave(Fault fault, int times) {
    for (int i = 0; i < times; ++i) faults_.push_back(fault);
}

void RfidModuleSim::lineChanged(const platform::LineState&, platform::Micros) {
    input_.clear();
    linkA_.reset();
    linkB_.reset();
}

void RfidModuleSim::receive(std::span<const std::uint8_t> bytes, platform::Micros t) {
    // At another speed the module sees only noise.
    if (!link_ || link_->line().settings.baud != config_.speed) {
        input_.clear();
        return;
    }
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    while (const std::optional<FrameSpan> found = findFrame(input_)) {
        const Bytes frame(input_.begin() + long(found->begin), input_.begin() + long(found->end));
        input_.erase(input_.begin(), input_.begin() + long(found->end));
        takeFrame(frame, t);
    }
    if (input_.size() > kInputLimit) input_.clear();
}

void RfidModuleSim::takeFrame(std::span<const std::uint8_t> frame, platform::Micros t) {
    Bytes content = unstuff(frame.subspan(1, frame.size() - 2));
    if (content.empty() || sum(std::span(content).first(content.size() - 1)) != content.back()) {
        ++rejected_;
        return;
    }
    content.pop_back();
    std::optional<Request> request =
        frame[0] == kStartB ? verifyB(content) : verifyA(std::move(content));
    if (!request || request->payload.empty()) {
        ++rejected_;
        return;
    }
    commands_.push_back(request->payload[0]);

    Request reply = *request;
    Answer answer =
        request->payload[0] == kHandshake ? handshake(*request, reply) : execute(*request);
    const Damage damage = faults_.empty() ? Damage{} : applyFault(answer, reply);
    if (!damage.silent) send(reply, answer, damage, t);
}

std::optional<RfidModuleSim::Request> RfidModuleSim::verifyA(Bytes content) {
    Request request;
    const bool plain = content.size() >= 2 && content[0] == content.size();
    if (plain && (content[1] == kHandshake || content[1] == kUnlinked || !linkA_)) {
        request.linked = content[1] == kHandshake || linkA_.has_value();
        request.payload.assign(content.begin() + 1, content.end());
        return request;
    }
    if (!linkA_ || content.size() < 4) return std::nullopt;
    request.s1 = content[content.size() - 2];
    request.s2 = content.back();
    if (!checkLink(*linkA_, request.s1, request.s2)) return std::nullopt;
    content.resize(content.size() - 2);
    const Bytes body = rotated(content, content.size() - request.s1 % content.size());
    if (body[0] != body.size()) return std::nullopt;
    request.linked = true;
    request.payload.assign(body.begin() + 1, body.end());
    return request;
}

std::optional<RfidModuleSim::Request> RfidModuleSim::verifyB(const Bytes& c) {
    if (c.size() < 5 || (std::size_t(c[0]) << 8 | c[1]) != c.size()) return std::nullopt;
    Request request;
    request.formatB = true;
    request.address = c[2];
    request.modeByte = c[3];
    const std::uint8_t command = c[4];
    if (command == kUnlinked) {
        request.payload.assign(c.begin() + 4, c.end());
        return request;
    }
    if (c.size() < 7) return std::nullopt;
    request.payload.assign(c.begin() + 4, c.end() - 2);
    request.s1 = c[c.size() - 2];
    request.s2 = c.back();
    if (command != kHandshake && request.modeByte != 0) {
        if (!linkB_ || !checkLink(*linkB_, request.s1, request.s2)) return std::nullopt;
    }
    return request;
}

bool RfidModuleSim::checkLink(Link& link, std::uint8_t s1, std::uint8_t s2) {
    Link next = link;
    const std::uint32_t b = word(next.b) + word(next.a);
    for (std::size_t i = 0; i < 4; ++i) next.b[i] = std::uint8_t(b >> (8 * i));
    deriveBytes(next);
    if (next.s1 != s1 || next.s2 != s2) return false;
    link = next;
    return true;
}

void RfidModuleSim::deriveBytes(Link& link) {
    const auto& b = link.b;
    const bool odd = b[0] & 1;
    link.s1 = b[2] ^ (odd ? b[0] : b[1]);
    link.s2 = b[3] ^ (odd ? b[1] : b[0]);
}

RfidModuleSim::Link RfidModuleSim::newLink(std::span<const std::uint8_t, 8> r) const {
    const auto& k = config_.key;
    Link link;
    link.a = {std::uint8_t(r[2] ^ k[2]), std::uint8_t(r[1] ^ k[1]), std::uint8_t(r[7] ^ k[3]),
              std::uint8_t(r[5] ^ k[1])};
    link.b = {std::uint8_t(r[0] ^ k[0]), std::uint8_t(r[4] ^ k[0]), std::uint8_t(r[6] ^ k[2]),
              std::uint8_t(r[3] ^ k[3])};
    deriveBytes(link);
    return link;
}

RfidModuleSim::Answer RfidModuleSim::handshake(const Request& request, Request& reply) {
    ++handshakes_;
    std::array<std::uint8_t, 8> r{};
    for (auto& b : r) b = std::uint8_t(random_());
    const Link link = newLink(r);
    Answer answer{kHandshake, 0, {}};
    if (!request.formatB) {
        linkA_ = link;
        reply.s1 = link.s1;
        reply.s2 = link.s2;
        answer.data.assign(r.begin(), r.end());
        return answer;
    }
    const std::uint8_t asked = request.payload.size() > 1 ? request.payload[1] : 0;
    const std::uint8_t mode = config_.formatBMode.value_or(asked);
    linkB_ = mode == 0 ? std::nullopt : std::optional<Link>(link);
    reply.s1 = reply.s2 = 0;
    answer.data.push_back(mode);
    answer.data.insert(answer.data.end(), r.begin(), r.end());
    return answer;
}

RfidModuleSim::Answer RfidModuleSim::execute(const Request& request) {
    const std::uint8_t command = request.payload[0];
    const std::span<const std::uint8_t> params = std::span(request.payload).subspan(1);
    Answer answer{command, 0, {}};
    switch (command) {
        case 0x11:
            if (params.empty()) break;
            option_ = params[0];
            return answer;
        case 0x13:
            if (params.empty()) break;
            if (params[0] == 17) linkA_.reset();
            return answer;
        case 0x1B:
            return answer;
        case 0x19:
            answer.data.assign(config_.versionFirst.begin(), config_.versionFirst.end());
            answer.data.insert(answer.data.end(), config_.versionSecond.begin(),
                               config_.versionSecond.end());
            return answer;
        case 0x1F:
            if (params.empty() || (params[0] != 'A' && params[0] != 's' && params[0] != '1')) {
                break;
            }
            protocol_ = char(params[0]);
            return answer;
        default:
            return tagCommand(command, params);
    }
    answer.status = 1;
    return answer;
}

template <class T, class Fits>
T* RfidModuleSim::find(Fits fits) {
    for (Tag& tag : field_) {
        T* t = std::get_if<T>(&tag);
        if (t && fits(*t)) return t;
    }
    return nullptr;
}

RfidModuleSim::Answer RfidModuleSim::tagCommand(std::uint8_t command,
                                                std::span<const std::uint8_t> p) {
    Answer answer{command, 0, {}};
    auto put = [&](const auto& bytes) {
        answer.data.insert(answer.data.end(), bytes.begin(), bytes.end());
        return answer;
    };
    auto fail = [&] {
        answer.status = 1;
        answer.data.clear();
        return answer;
    };
    auto any = [](const auto&) { return true; };
    auto srKind = [](SrTag::Kind kind) {
        return [kind](const SrTag& t) { return t.kind() == kind; };
    };
    auto* mifare = protocol_ == 'A' ? find<MifareClassic>(any) : nullptr;
    auto* ultralight = protocol_ == 'A' ? find<Ultralight>(any) : nullptr;
    auto* sr = protocol_ == 's' ? find<SrTag>(any) : nullptr;
    auto* sr176 = protocol_ == 's' ? find<SrTag>(srKind(SrTag::Kind::SR176)) : nullptr;
    auto* srix = protocol_ == 's' ? find<SrTag>(srKind(SrTag::Kind::SRIX4K)) : nullptr;
    auto* iso = protocol_ == '1' ? find<Iso15693Tag>(any) : nullptr;
    auto key = [&] {
        MifareClassic::Key k{};
        std::copy_n(p.begin() + 2, k.size(), k.begin());
        return k;
    };

    switch (command) {
        case 0x20: {  // request type A: UID, answer to request (low byte first), select ack
            if (protocol_ != 'A' || (!mifare && !ultralight)) return fail();
            const bool m = mifare != nullptr;
            const std::uint16_t atq = m ? mifare->answerToRequest() : ultralight->answerToRequest();
            put(m ? mifare->uid() : ultralight->uid());
            answer.data.push_back(std::uint8_t(atq));
            answer.data.push_back(std::uint8_t(atq >> 8));
            answer.data.push_back(m ? mifare->selectAcknowledge()
                                    : ultralight->selectAcknowledge());
            return answer;
        }
        case 0x21: {
            if (!mifare || p.size() < 8) return fail();
            auto block = mifare->read(p[0], p[1], key());
            return block ? put(*block) : fail();
        }
        case 0x22: {
            if (!mifare || p.size() < 24) return fail();
            MifareClassic::Block data{};
            std::copy_n(p.begin() + 8, data.size(), data.begin());
            return mifare->write(p[0], p[1], key(), data) ? answer : fail();
        }
        case 0x2E: {
            if (!ultralight || p.empty()) return fail();
            auto pages = ultralight->read(p[0]);
            return pages ? put(*pages) : fail();
        }
        case 0x2F: {
            if (!ultralight || p.size() < 5) return fail();
            return ultralight->write(p[0], {p[1], p[2], p[3], p[4]}) ? answer : fail();
        }
        case 0x41:
            if (!sr) return fail();
            answer.data.push_back(sr->chipId());
            return answer;
        case 0x43:
        case 0x46: {
            SrTag* tag = command == 0x43 ? sr176 : srix;
            if (!tag || p.empty()) return fail();
            auto block = tag->readBlock(p[0]);
            return block ? put(*block) : fail();
        }
        case 0x44:
        case 0x47: {
            SrTag* tag = command == 0x44 ? sr176 : srix;
            if (!tag || p.size() < 1 + tag->blockSize()) return fail();
            return tag->writeBlock(p[0], p.subspan(1, tag->blockSize())) ? answer : fail();
        }
        case 0x49:
            return srix ? put(srix->uid()) : fail();
        case 0x60:
            if (!iso || p.size() < 11) return fail();
            answer.data.push_back(iso->dsfid());
            return put(iso->uid());
        case 0x64:
        case 0x65: {
            const std::size_t need = command == 0x64 ? 11 : 14;
            if (!iso || p.size() < need) return fail();
            const bool addressed = p[0] & 0x20;
            if (addressed && !std::equal(p.begin() + 1, p.begin() + 9, iso->uid().begin())) {
                return fail();
            }
            if (command == 0x65) {
                return iso->write(p[9], p.subspan<10, 4>()) ? answer : fail();
            }
            auto blocks = iso->read(p[9], p[10]);
            return blocks ? put(*blocks) : fail();
        }
        default:
            return fail();
    }
}

RfidModuleSim::Damage RfidModuleSim::applyFault(Answer& answer, Request& reply) {
    const Fault fault = faults_.front();
    faults_.pop_front();
    Damage damage;
    switch (fault) {
        case Fault::None:
            break;
        case Fault::Silence:
            damage.silent = true;
            break;
        case Fault::BadChecksum:
            damage.badChecksum = true;
            break;
        case Fault::WrongLinkBytes:
            reply.s1 ^= 0x5A;
            reply.s2 ^= 0xA5;
            break;
        case Fault::ForeignCommand:
            answer.command ^= 0x40;
            break;
        case Fault::NonZeroStatus:
            answer.status = 2;
            answer.data.clear();
            break;
        case Fault::LongData:
            answer.data.insert(answer.data.end(), 40, 0xEE);
            break;
        case Fault::HugeFrame:
            answer.data.insert(answer.data.end(), 2100, 0x55);
            break;
        case Fault::Stall:
            damage.stalled = true;
            break;
        case Fault::EscapedStart:
            damage.escapedStart = true;
            break;
    }
    return damage;
}

void RfidModuleSim::send(const Request& request, const Answer& answer, const Damage& damage,
                         platform::Micros t) {
    Bytes content;
    std::uint8_t start = kStartA;
    if (!request.formatB) {
        // Format A has no status: a failure is its own command byte.
        const bool failed = answer.status != 0;
        content = {std::uint8_t(failed ? 2 : answer.data.size() + 2),
                   failed ? kFailureA : answer.command};
        if (!failed) content.insert(content.end(), answer.data.begin(), answer.data.end());
        if (request.linked) {
            content = rotated(content, request.s1 % content.size());
            content.push_back(request.s1);
            content.push_back(request.s2);
        }
    } else {
        start = kStartB;
        const bool trailer = answer.command != kUnlinked;
        const std::size_t length = answer.data.size() + (trailer ? 8 : 6);
        content = {std::uint8_t(length >> 8), std::uint8_t(length), request.address,
                   request.modeByte,          answer.command,       answer.status};
        content.insert(content.end(), answer.data.begin(), answer.data.end());
        if (trailer) {
            content.push_back(request.s1);
            content.push_back(request.s2);
        }
    }
    const std::uint8_t checksum = std::uint8_t(sum(content) + (damage.badChecksum ? 1 : 0));
    Bytes frame = frameOf(start, content, checksum);
    if (damage.escapedStart) frame.insert(frame.begin(), {kEscape, start, 0xBB});
    const platform::Micros at = t + config_.replyDelay;
    if (!damage.stalled) {
        link_->send(frame, at);
        return;
    }
    const std::size_t half = frame.size() / 2;
    const std::span<const std::uint8_t> bytes(frame);
    link_->send(bytes.first(half), at);
    // The first byte of the second half lands one character after it starts.
    const platform::Micros lastOfFirst = at + platform::characterTime(link_->line().settings, half);
    const platform::Micros character = platform::characterTime(link_->line().settings);
    link_->send(bytes.subspan(half), lastOfFirst + stallGap_ - character);
}

}  // namespace tessel::sim
