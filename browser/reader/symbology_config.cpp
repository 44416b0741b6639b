#include "browser/reader/symbology_config.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>

#include "browser/reader/engine_interpret.h"

namespace tessel::reader {

namespace {

constexpr std::uint32_t kCommandTimeoutMs = 1000;
constexpr int kParamRetries = 5;
constexpr std::uint32_t kReopenBaud = 115200;
constexpr std::uint32_t kReopenPauseMs = 200;

// A broken promise of the caller (wrong value count): going on would touch the wrong option.
void expectCaller(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "symbology: caller bug: %s\n", what);
        std::abort();
    }
}

std::uint32_t rangeMask(const CcdSlot& slot) { return (1u << (slot.hi - slot.lo + 1)) - 1u; }

std::size_t valueBytes(ParamCoding coding) {
    return coding == ParamCoding::Byte ? 1 : coding == ParamCoding::AimTime ? 0 : 2;
}

int decodeValue(ParamCoding coding, ByteView bytes) {
    switch (coding) {
        case ParamCoding::Byte:
            return bytes[0];
        case ParamCoding::Wide:
            return bytes[0] << 8 | bytes[1];
        case ParamCoding::ExposureCode:
            return exposureFromCode(static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]));
        case ParamCoding::AimTime:
            break;
    }
    return 0;
}

// The wire of a slot that travels as a parameter on this engine, or null.
const ParamWire* paramWire(const PacketSlot& slot, ReaderType type) {
    const ParamWire* wire = slot.wire(type);
    return wire && wire->coding != ParamCoding::AimTime ? wire : nullptr;
}

bool startsWith(ByteView bytes, std::size_t pos, ByteView prefix) {
    return pos + prefix.size() <= bytes.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin() + static_cast<long>(pos));
}

// Slot indices on the engine, longest parameter first, so that a prefixed number is not taken
// for the plain number that follows its prefix.
std::vector<std::size_t> matchOrder(const PacketOperation& op, ReaderType type) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < op.slots.size(); ++i) {
        if (paramWire(op.slots[i], type)) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return paramWire(op.slots[a], type)->param.size() >
               paramWire(op.slots[b], type)->param.size();
    });
    return order;
}

}  // namespace

Bytes encodeParamRequest(const PacketOperation& operation, ReaderType type) {
    Bytes numbers;
    for (std::size_t index : operation.requestOrder) {
        if (const ParamWire* wire = paramWire(operation.slots[index], type)) {
            numbers.insert(numbers.end(), wire->param.begin(), wire->param.end());
        }
    }
    return encodePacket(kOpcodeParameterRequest, 0x00, numbers);
}

std::optional<std::vector<std::optional<int>>> parseParamReply(const PacketOperation& operation,
                                                               ReaderType type, ByteView reply) {
    constexpr std::uint8_t kHeader[] = {kOpcodeParameterSend, 0x00, 0x00, 0xFF};
    if (!startsWith(reply, 1, kHeader)) return std::nullopt;
    std::vector<std::optional<int>> values(operation.slots.size());
    const std::vector<std::size_t> order = matchOrder(operation, type);
    std::size_t pos = 5;
    while (pos < reply.size()) {
        bool matched = false;
        for (std::size_t index : order) {
            const ParamWire& wire = *paramWire(operation.slots[index], type);
            const std::size_t at = pos + wire.param.size();
            if (!startsWith(reply, pos, wire.param) ||
                at + valueBytes(wire.coding) > reply.size()) {
                continue;
            }
            values[index] = decodeValue(wire.coding, reply.subspan(at, valueBytes(wire.coding)));
            pos = at + valueBytes(wire.coding);
            matched = true;
            break;
        }
        if (!matched) ++pos;
    }
    return values;
}

Bytes encodeParamValue(const PacketSlot& slot, ReaderType type, int value) {
    const ParamWire* wire = paramWire(slot, type);
    if (!wire) return {};
    Bytes out = wire->param;
    if (slot.kind == SlotKind::Flag) value = value != 0 ? 1 : 0;
    std::uint16_t sent = static_cast<std::uint16_t>(value);
    if (wire->coding == ParamCoding::ExposureCode) sent = exposureCode(value);
    if (valueBytes(wire->coding) == 2) out.push_back(static_cast<std::uint8_t>(sent >> 8));
    out.push_back(static_cast<std::uint8_t>(sent));
    return out;
}

// ---- Dispatch ----

bool SymbologyConfig::configure(std::string_view section, char mode,
                                std::initializer_list<int*> values) {
    return configure(section, mode, std::span<int* const>(values.begin(), values.size()));
}

bool SymbologyConfig::configure(std::string_view section, char mode, std::span<int* const> values) {
    if (mode != 'r' && mode != 'w') return false;
    if (port_->type == ReaderType::CcdLaser) {
        const CcdOperation* op = findCcdOperation(section);
        if (!op) return false;
        expectCaller(values.size() == op->slots.size(), "value count differs from the section's");
        return configureCcd(*op, mode, values);
    }
    const PacketOperation* op =
        isPacketType(port_->type) ? findPacketOperation(section, port_->type) : nullptr;
    if (!op) return false;
    expectCaller(values.size() == op->slots.size(), "value count differs from the section's");
    return configurePacket(*op, mode, values);
}

bool SymbologyConfig::configure(std::string_view section, char mode, KeyValues& values) {
    const std::vector<std::string_view> slotKeys = keys(section);
    if (slotKeys.empty()) return false;
    std::vector<int> working(slotKeys.size(), 0);
    std::vector<int*> refs(slotKeys.size(), nullptr);
    for (std::size_t i = 0; i < slotKeys.size(); ++i) {
        if (slotKeys[i].empty()) continue;
        const auto found = values.find(slotKeys[i]);
        if (found != values.end()) working[i] = found->second;
        if (mode == 'r' || found != values.end()) refs[i] = &working[i];
    }
    if (!configure(section, mode, refs)) return false;
    if (mode == 'r') {
        for (std::size_t i = 0; i < slotKeys.size(); ++i) {
            if (refs[i]) values[std::string(slotKeys[i])] = working[i];
        }
    }
    return true;
}

std::vector<std::string_view> SymbologyConfig::keys(std::string_view section) const {
    std::vector<std::string_view> out;
    if (port_->type == ReaderType::CcdLaser) {
        if (const CcdOperation* op = findCcdOperation(section)) {
            for (const CcdSlot& slot : op->slots) out.push_back(slot.key);
        }
    } else if (isPacketType(port_->type)) {
        if (const PacketOperation* op = findPacketOperation(section, port_->type)) {
            for (const PacketSlot& slot : op->slots)
                out.push_back(slot.wire(port_->type) ? slot.key : "");
        }
    }
    return out;
}

void SymbologyConfig::readAll() {
    for (const PacketOperation& op : packetOperations()) {
        if (!op.on(port_->type)) continue;
        KeyValues values;
        configure(op.section, 'r', values);
    }
}

HostOptions SymbologyConfig::hostOptions() const {
    auto value = [&](HostField field) {
        const auto found = hostValues_.find(field);
        return found == hostValues_.end() ? 0 : found->second;
    };
    HostOptions options;
    options.transmitEan13CheckDigit = value(HostField::TransmitEan13CheckDigit) != 0;
    options.convertToEAN13 = value(HostField::ConvertToEAN13) != 0;
    options.transmitUpcACheckDigit = value(HostField::TransmitUpcACheckDigit) != 0;
    options.ean128Separator = static_cast<std::uint8_t>(value(HostField::Ean128Separator));
    return options;
}

// ---- Text engine ----

int& SymbologyConfig::hostField(HostField field) { return hostValues_[field]; }

int SymbologyConfig::readCcdSlot(const CcdSlot& slot) const {
    const std::uint8_t byte = port_->configBlock[slot.byte];
    switch (slot.place) {
        case CcdPlace::Bits:
            return static_cast<int>((byte >> slot.lo) & rangeMask(slot));
        case CcdPlace::InvertedBit:
            return (byte >> slot.lo) & 1u ? 0 : 1;
        case CcdPlace::Host:
            break;
    }
    const auto found = hostValues_.find(slot.host);
    return found == hostValues_.end() ? 0 : found->second;
}

void SymbologyConfig::writeCcdSlot(const CcdSlot& slot, int value) {
    std::uint8_t& byte = port_->configBlock[slot.byte];
    const auto setBits = [&](std::uint32_t bits) {
        const std::uint32_t mask = rangeMask(slot) << slot.lo;
        byte = static_cast<std::uint8_t>((byte & ~mask) | ((bits << slot.lo) & mask));
    };
    switch (slot.place) {
        case CcdPlace::Bits:
            setBits(slot.lo == slot.hi ? (value != 0) : static_cast<std::uint32_t>(value));
            return;
        case CcdPlace::InvertedBit:
            setBits(value != 0 ? 0 : 1);
            return;
        case CcdPlace::Host:
            hostField(slot.host) = value;
            // A host option switched on also switches its engine bit on; off leaves it alone.
            if (value == 1 && slot.host != HostField::Ean128Separator) setBits(1);
            return;
    }
}

bool SymbologyConfig::configureCcd(const CcdOperation& op, char mode,
                                   std::span<int* const> values) {
    if (port_->configBlock.size() < kMinConfigBlock) return false;
    port_->portLock.wait(platform::kInfinite);
    bool done = true;
    if (mode == 'r') {
        for (std::size_t i = 0; i < op.slots.size(); ++i) {
            if (values[i]) *values[i] = readCcdSlot(op.slots[i]);
        }
    } else {
        done = writeCcd(op, values);
    }
    port_->portLock.release();
    return done;
}

bool SymbologyConfig::writeCcd(const CcdOperation& op, std::span<int* const> values) {
    const Bytes before = port_->configBlock;
    for (std::size_t i = 0; i < op.slots.size(); ++i) {
        if (values[i]) writeCcdSlot(op.slots[i], *values[i]);
    }
    if (op.shared && values[op.shared->enableSlot]) {
        const SharedBit& shared = *op.shared;
        const bool partnerOn = (port_->configBlock[shared.partnerByte] >> shared.partnerBit) & 1u;
        const bool on = *values[shared.enableSlot] != 0;
        const CcdSlot sharedSlot{"", CcdPlace::Bits, shared.byte, shared.bit, shared.bit};
        if (on || !partnerOn) writeCcdSlot(sharedSlot, on ? 1 : 0);
    }
    if (port_->configBlock == before) return true;

    const auto modeSlot = std::find_if(op.slots.begin(), op.slots.end(),
                                       [](const CcdSlot& s) { return s.key == kScanModeBits.key; });
    int* const newMode = modeSlot == op.slots.end()
                             ? nullptr
                             : values[static_cast<std::size_t>(modeSlot - op.slots.begin())];
    if (newMode && scanMode == 3) {
        // Leaving scan mode 3 needs a fresh port at the engine's speed before the save.
        port_->closePort();
        port_->openPort();
        port_->setSpeed(kReopenBaud);
        port_->clock().sleepMs(kReopenPauseMs);
    }
    if (!saveBlock(before)) return false;
    if (newMode) scanMode = *newMode;
    return true;
}

bool SymbologyConfig::saveBlock(const Bytes& before) {
    Bytes reply;
    if (port_->transact("SAVE" + formatHexBlock(port_->configBlock), kCommandTimeoutMs, &reply,
                        1)) {
        return true;
    }
    port_->configBlock = before;
    return false;
}

bool SymbologyConfig::closingWrite() {
    if (port_->type != ReaderType::CcdLaser || port_->configBlock.size() < kMinConfigBlock) {
        return false;
    }
    const Bytes before = port_->configBlock;
    const HostOptions options = hostOptions();
    writeCcdSlot(kTransmitEan13CheckDigitBit, options.transmitEan13CheckDigit);
    writeCcdSlot(kConvertToEAN13Bit, options.convertToEAN13);
    writeCcdSlot(kTransmitUpcACheckDigitBit, options.transmitUpcACheckDigit);
    return saveBlock(before);
}

// ---- Packet engines ----

bool SymbologyConfig::configurePacket(const PacketOperation& op, char mode,
                                      std::span<int* const> values) {
    auto& cache = cache_[&op];
    cache.resize(op.slots.size(), 0);
    return mode == 'r' ? readPacket(op, values) : writePacket(op, values);
}

bool SymbologyConfig::readPacket(const PacketOperation& op, std::span<int* const> values) {
    const ReaderType type = port_->type;
    Bytes reply;
    if (port_->transact(encodeParamRequest(op, type), kCommandTimeoutMs, &reply, kParamRetries)) {
        const auto found = parseParamReply(op, type, reply);
        if (!found) return false;
        for (std::size_t i = 0; i < op.slots.size(); ++i) {
            if (values[i] && (*found)[i]) *values[i] = *(*found)[i];
        }
    }
    // Without a reply the caller's values stand, and are cached as they are.
    auto& cache = cache_[&op];
    for (std::size_t i = 0; i < op.slots.size(); ++i) {
        const ParamWire* wire = op.slots[i].wire(type);
        if (!values[i] || !wire) continue;
        if (wire->coding == ParamCoding::AimTime) *values[i] = static_cast<int>(port_->aimDurtion);
        cache[i] = *values[i];
    }
    return true;
}

bool SymbologyConfig::writePacket(const PacketOperation& op, std::span<int* const> values) {
    const ReaderType type = port_->type;
    auto& cache = cache_[&op];
    Bytes pairs;
    std::optional<int> newScanMode;
    for (std::size_t i = 0; i < op.slots.size(); ++i) {
        const ParamWire* wire = op.slots[i].wire(type);
        if (!values[i] || !wire) continue;
        if (wire->coding == ParamCoding::AimTime) {
            port_->aimDurtion = static_cast<std::uint32_t>(std::max(*values[i], 0));
            continue;
        }
        if (op.slots[i].key == "scanMode") newScanMode = *values[i];
        if (*values[i] == cache[i]) continue;
        const Bytes pair = encodeParamValue(op.slots[i], type, *values[i]);
        pairs.insert(pairs.end(), pair.begin(), pair.end());
    }
    if (!pairs.empty()) {
        Bytes reply;
        if (!port_->transact(encodeParameterSend(pairs), kCommandTimeoutMs, &reply,
                             kParamRetries)) {
            return false;
        }
        for (std::size_t i = 0; i < op.slots.size(); ++i) {
            if (values[i] && op.slots[i].wire(type)) cache[i] = *values[i];
        }
    }
    if (newScanMode) scanMode = *newScanMode;
    return true;
}

}  // namespace tessel::reader
