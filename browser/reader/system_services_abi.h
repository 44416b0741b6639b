#pragma once
/* Binary interface of the terminal's system-services library, shared by the browser (which loads
 * the library at run time) and by the substitute library built for Linux terminals.
 *
 * Every entry point is a C function resolved by name. Results of the buzzer, LED and vibrator
 * calls are not examined; GetCurrentStatus and GetSysInfo return 0 on success and fill a record
 * of at least the size given below. */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* SetBuzzerON(frequency, duration in 100 ms units): the buzzer sounds until SetBuzzerOFF. */
typedef int32_t (*TesselSetBuzzerOnFn)(uint32_t frequency, uint32_t duration);
/* SetBuzzerOFF(): the buzzer stops. */
typedef int32_t (*TesselSetBuzzerOffFn)(void);
/* SetLEDLight(led, on): LED 2 is the good-read LED; on is 1 (light) or 0 (dark). */
typedef int32_t (*TesselSetLedLightFn)(uint32_t led, uint32_t on);
/* SetVibratorPower(on): 1 runs the vibrator, 0 stops it. */
typedef int32_t (*TesselSetVibratorPowerFn)(uint32_t on);
/* GetCurrentStatus(record of TESSEL_STATUS_RECORD_SIZE bytes): 0 on success. */
typedef int32_t (*TesselGetCurrentStatusFn)(void* record);
/* GetSysInfo(record of TESSEL_SYSINFO_RECORD_SIZE bytes): 0 on success. */
typedef int32_t (*TesselGetSysInfoFn)(void* record);
/* Set2D5V(on): powers the 2D engine on model K240. */
typedef int32_t (*TesselSet2D5VFn)(uint32_t on);

/* Status record: the wireless signal strength in dBm, a signed 32-bit little-endian value at
 * byte offset 99 (unaligned). The rest of the record is reserved and zero. */
#define TESSEL_STATUS_RECORD_SIZE 256
#define TESSEL_STATUS_SIGNAL_OFFSET 99

/* System-information record: three NUL-terminated single-byte texts of up to 100 characters,
 * read from offsets 32 (serial number), 112 (manufacture date) and 128 (OS version). The fields
 * overlap when long: a writer fills them in that order, so a serial number longer than 79
 * characters or a date longer than 15 is cut by the field after it. */
#define TESSEL_SYSINFO_RECORD_SIZE 300
#define TESSEL_SYSINFO_SERIAL_OFFSET 32
#define TESSEL_SYSINFO_DATE_OFFSET 112
#define TESSEL_SYSINFO_OS_OFFSET 128
#define TESSEL_SYSINFO_TEXT_MAX 100

#ifdef __cplusplus
}

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace tessel::reader::abi {

inline constexpr const char* kSetBuzzerOff = "SetBuzzerOFF";
inline constexpr const char* kSetBuzzerOn = "SetBuzzerON";
inline constexpr const char* kSetLedLight = "SetLEDLight";
inline constexpr const char* kSetVibratorPower = "SetVibratorPower";
inline constexpr const char* kGetSysInfo = "GetSysInfo";
inline constexpr const char* kSet2D5V = "Set2D5V";
inline constexpr const char* kGetCurrentStatus = "GetCurrentStatus";

// The signal strength of a status record.
inline std::int32_t readSignal(std::span<const std::uint8_t, TESSEL_STATUS_RECORD_SIZE> record) {
    const std::uint8_t* p = record.data() + TESSEL_STATUS_SIGNAL_OFFSET;
    const std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                            std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

inline void writeSignal(std::span<std::uint8_t, TESSEL_STATUS_RECORD_SIZE> record,
                        std::int32_t dbm) {
    const auto v = static_cast<std::uint32_t>(dbm);
    for (int i = 0; i < 4; ++i) {
        record[TESSEL_STATUS_SIGNAL_OFFSET + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// The text at offset of a system-information record: up to the first NUL, at most 100 bytes.
inline std::string readText(std::span<const std::uint8_t, TESSEL_SYSINFO_RECORD_SIZE> record,
                            std::size_t offset) {
    std::string text;
    for (std::size_t i = offset; i < record.size() && i < offset + TESSEL_SYSINFO_TEXT_MAX; ++i) {
        if (record[i] == 0) break;
        text.push_back(static_cast<char>(record[i]));
    }
    return text;
}

// Stores text (cut to 100 bytes) and its terminating NUL at offset.
inline void writeText(std::span<std::uint8_t, TESSEL_SYSINFO_RECORD_SIZE> record,
                      std::size_t offset, std::string_view text) {
    const std::size_t room = record.size() - offset - 1;
    const std::size_t n = std::min({text.size(), std::size_t{TESSEL_SYSINFO_TEXT_MAX}, room});
    std::memcpy(record.data() + offset, text.data(), n);
    record[offset + n] = 0;
}

}  // namespace tessel::reader::abi
#endif
