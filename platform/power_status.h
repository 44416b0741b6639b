#pragma once
// The terminal's power status: whether it runs on mains power.
//
// The Linux reading looks at the power supplies under a sysfs root (normally /sys): a supply of
// type "Mains" or "USB" that is online means mains; such supplies all offline means battery;
// no such supply at all leaves the state undetermined.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace tessel::platform {

inline constexpr std::uint8_t kAcOffline = 0;
inline constexpr std::uint8_t kAcOnline = 1;
inline constexpr std::uint8_t kAcUnknown = 255;

// Names another sysfs root for the reading (a simulated terminal's); /sys when unset.
inline constexpr const char* kSysRootVariable = "TESSEL_SYS_ROOT";

class PowerStatus {
public:
    virtual ~PowerStatus() = default;
    // A fresh reading: kAcOffline, kAcOnline or kAcUnknown.
    virtual std::uint8_t acLineStatus() = 0;
};

// The mains state from one supply's "type" and "online" texts, folded into the state so far
// (start from kAcUnknown).
std::uint8_t foldSupply(std::uint8_t soFar, std::string_view type, std::string_view online);

class SysfsPowerStatus final : public PowerStatus {
public:
    explicit SysfsPowerStatus(std::filesystem::path sysRoot = "/sys") : root_(std::move(sysRoot)) {}
    std::uint8_t acLineStatus() override;

private:
    std::filesystem::path root_;
};

// A fixed value that a test may change at any time.
class FixedPowerStatus final : public PowerStatus {
public:
    explicit FixedPowerStatus(std::uint8_t value = kAcOffline) : value_(value) {}
    std::uint8_t acLineStatus() override { return value_.load(); }
    void set(std::uint8_t value) { value_.store(value); }

private:
    std::atomic<std::uint8_t> value_;
};

}  // namespace tessel::platform
