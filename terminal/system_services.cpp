// Entry points of the substitute system-services library. The same code is built under each
// terminal model's library file name; every call reads the host afresh, drives what the host
// has, and reports itself on the status channel. No exception leaves an entry point.

#include <dlfcn.h>

#include <cstring>
#include <initializer_list>
#include <span>
#include <type_traits>

#include "browser/reader/system_services_abi.h"
#include "terminal/devices.h"
#include "terminal/host.h"
#include "terminal/status_channel.h"

#define TESSEL_EXPORT extern "C" __attribute__((visibility("default")))

namespace tessel::terminal {
namespace {

constexpr std::int32_t kSuccess = 0;
constexpr std::int32_t kFailure = -1;

// The file name this copy of the library was loaded under ("K240CE_SYS.DLL").
std::string libraryName() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&libraryName), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return std::filesystem::path(info.dli_fname).filename().string();
}

template <typename Call>
std::int32_t guarded(Call call) noexcept {
    try {
        return call();
    } catch (...) {
        return kFailure;
    }
}

// Drives a device through `drive`, which returns the host device it used, and reports the call.
template <typename Drive>
std::int32_t notify(const char* call, std::initializer_list<std::uint32_t> args,
                    Drive drive) noexcept {
    return guarded([&] {
        const Host host = Host::fromEnvironment();
        report(host.deviceRoot, {libraryName(), call, std::vector(args), drive(host)});
        return kSuccess;
    });
}

Buzzer& buzzer() {
    static Buzzer instance;
    return instance;
}

Vibrator& vibrator() {
    static Vibrator instance;
    return instance;
}

// The longest text that fits before the field that follows it in the record.
constexpr std::size_t kSerialRoom = TESSEL_SYSINFO_DATE_OFFSET - TESSEL_SYSINFO_SERIAL_OFFSET - 1;
constexpr std::size_t kDateRoom = TESSEL_SYSINFO_OS_OFFSET - TESSEL_SYSINFO_DATE_OFFSET - 1;

std::string_view cut(std::string_view text, std::size_t room) { return text.substr(0, room); }

}  // namespace
}  // namespace tessel::terminal

using namespace tessel::terminal;

TESSEL_EXPORT std::int32_t SetBuzzerON(std::uint32_t frequency, std::uint32_t duration) {
    return notify("SetBuzzerON", {frequency, duration},
                  [&](const Host& host) { return buzzer().on(host, frequency, duration); });
}

TESSEL_EXPORT std::int32_t SetBuzzerOFF() {
    return notify("SetBuzzerOFF", {}, [](const Host&) { return buzzer().off(); });
}

TESSEL_EXPORT std::int32_t SetLEDLight(std::uint32_t led, std::uint32_t on) {
    // Number 2 is the good-read LED, the only one the host stands in for.
    return notify("SetLEDLight", {led, on}, [&](const Host& host) {
        return led == 2 ? setLed(host, on != 0) : std::string();
    });
}

TESSEL_EXPORT std::int32_t SetVibratorPower(std::uint32_t on) {
    return notify("SetVibratorPower", {on},
                  [&](const Host& host) { return vibrator().set(host, on != 0); });
}

TESSEL_EXPORT std::int32_t Set2D5V(std::uint32_t on) {
    // The engine's supply is not switchable on the host; the call is only reported.
    return notify("Set2D5V", {on}, [](const Host&) { return std::string(); });
}

TESSEL_EXPORT std::int32_t GetCurrentStatus(void* record) {
    if (record == nullptr) {
        return kFailure;
    }
    return guarded([&] {
        std::span<std::uint8_t, TESSEL_STATUS_RECORD_SIZE> bytes(static_cast<std::uint8_t*>(record),
                                                                 TESSEL_STATUS_RECORD_SIZE);
        std::memset(bytes.data(), 0, bytes.size());
        tessel::reader::abi::writeSignal(bytes, readSignalDbm(Host::fromEnvironment()));
        return kSuccess;
    });
}

TESSEL_EXPORT std::int32_t GetSysInfo(void* record) {
    if (record == nullptr) {
        return kFailure;
    }
    return guarded([&] {
        const HostIdentity identity = readIdentity(Host::fromEnvironment());
        std::span<std::uint8_t, TESSEL_SYSINFO_RECORD_SIZE> bytes(
            static_cast<std::uint8_t*>(record), TESSEL_SYSINFO_RECORD_SIZE);
        std::memset(bytes.data(), 0, bytes.size());
        // Each text is cut to end before the next field begins, so that none runs into another.
        using tessel::reader::abi::writeText;
        writeText(bytes, TESSEL_SYSINFO_SERIAL_OFFSET, cut(identity.serialNumber, kSerialRoom));
        writeText(bytes, TESSEL_SYSINFO_DATE_OFFSET, cut(identity.manufactureDate, kDateRoom));
        writeText(bytes, TESSEL_SYSINFO_OS_OFFSET, identity.osVersion);
        return kSuccess;
    });
}

static_assert(std::is_same_v<decltype(&SetBuzzerON), TesselSetBuzzerOnFn>);
static_assert(std::is_same_v<decltype(&SetBuzzerOFF), TesselSetBuzzerOffFn>);
static_assert(std::is_same_v<decltype(&SetLEDLight), TesselSetLedLightFn>);
static_assert(std::is_same_v<decltype(&SetVibratorPower), TesselSetVibratorPowerFn>);
static_assert(std::is_same_v<decltype(&Set2D5V), TesselSet2D5VFn>);
static_assert(std::is_same_v<decltype(&GetCurrentStatus), TesselGetCurrentStatusFn>);
static_assert(std::is_same_v<decltype(&GetSysInfo), TesselGetSysInfoFn>);
