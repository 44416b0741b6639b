#pragma once
// The symbology configuration operations: one per settings section, mode 'r' (read the engine's
// values into the caller's) or 'w' (send the caller's values), one optional value per slot of
// the section's operation (symbology_tables.h) in slot order; a null value is neither read nor
// written. For example:
//
//   int enable = 1, length1 = 4, length2 = 55;
//   config.configure("Code93 2D/1D_LR", 'w', {&enable, &length1, &length2});
//
// The text engine (CcdLaser) edits bits of port 1's configuration block under the port lock and
// stores the whole block with "SAVE"; a failed save puts the block back. Packet engines request
// and send numbered parameters; a per-operation cache of the last values read or written decides
// what a write sends, and a failed write leaves it alone. Every operation fails without effect
// for a mode other than 'r' or 'w', an engine the section does not belong to, or a text-engine
// block shorter than 30 bytes.

#include <initializer_list>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "browser/reader/reader_port.h"
#include "browser/reader/symbology_tables.h"

namespace tessel::reader {

// ---- Pure parameter messages ----

// The parameter request of an operation on an engine: L C7 04 00 and its numbers, in request
// order (without checksum).
Bytes encodeParamRequest(const PacketOperation& operation, ReaderType type);

// Walks a parameter reply (L C6 00 00 FF, then number/value pairs) from index 5: a byte run
// that equals one of the operation's parameters is followed by its value; anything else is
// skipped. Returns nullopt when the reply does not begin that way; otherwise one value per slot,
// nullopt for the slots the reply did not carry.
std::optional<std::vector<std::optional<int>>> parseParamReply(const PacketOperation& operation,
                                                               ReaderType type, ByteView reply);

// The number/value pairs that send value for slot on an engine of type.
Bytes encodeParamValue(const PacketSlot& slot, ReaderType type, int value);

// ---- The operations ----

using KeyValues = std::map<std::string, int, std::less<>>;

class SymbologyConfig {
  public:
    // port is port 1; it must outlive this object.
    explicit SymbologyConfig(ReaderPort& port) : port_(&port) {}
    // Moves to a rebuilt port 1; caches and host options stay.
    void setPort(ReaderPort& port) { port_ = &port; }

    // The operation of section for the port's current engine; values.size() must equal the
    // operation's slot count (a caller bug otherwise).
    bool configure(std::string_view section, char mode, std::span<int* const> values);
    bool configure(std::string_view section, char mode, std::initializer_list<int*> values);

    // By key name: 'r' fills values with every keyed slot the engine has; 'w' sends the keys
    // present in values. Keys the section does not know are ignored.
    bool configure(std::string_view section, char mode, KeyValues& values);

    // The slot keys of section for the port's current engine, in slot order (empty for a value
    // that no settings key carries); empty when the engine has no such section.
    std::vector<std::string_view> keys(std::string_view section) const;

    // Reads every packet-engine section the port's engine has, which fills the caches, so that
    // later writes send only what differs from the engine.
    void readAll();

    // Text engine at close: the three host-held EAN-13/UPC-A options go into their engine bits
    // exactly, and the block is saved. Does not take the port lock.
    bool closingWrite();

    // The host-held text-engine options that shape decodes.
    HostOptions hostOptions() const;
    // The scan mode last written to the engine (the text engine's on a successful save).
    int scanMode = 6;

  private:
    bool configureCcd(const CcdOperation& op, char mode, std::span<int* const> values);
    bool writeCcd(const CcdOperation& op, std::span<int* const> values);
    bool saveBlock(const Bytes& before);
    int readCcdSlot(const CcdSlot& slot) const;
    void writeCcdSlot(const CcdSlot& slot, int value);
    int& hostField(HostField field);

    bool configurePacket(const PacketOperation& op, char mode, std::span<int* const> values);
    bool readPacket(const PacketOperation& op, std::span<int* const> values);
    bool writePacket(const PacketOperation& op, std::span<int* const> values);

    ReaderPort* port_;
    std::map<HostField, int> hostValues_;
    std::map<const PacketOperation*, std::vector<int>> cache_;
};

}  // namespace tessel::reader
