#include "browser/reader/system_services.h"

#include <array>

namespace tessel::reader {

namespace {

template <typename Fn>
Fn resolve(const platform::Library& library, const char* name) {
    return reinterpret_cast<Fn>(library.symbol(name));
}

}  // namespace

std::string notificationLibraryFile(ModelIndex model) {
    switch (model) {
        case ModelIndex::K210:
            return "K210CE_SYS.dll";
        case ModelIndex::K220:
            return "K220CE_SYS.dll";
        case ModelIndex::K230:
            return "K230CE_SYS.dll";
        case ModelIndex::K240:
            return "K240CE_SYS.DLL";
        default:
            return {};
    }
}

NotificationBinding NotificationBinding::bind(platform::LibraryLoader& loader, ModelIndex model) {
    NotificationBinding binding;
    const std::string file = notificationLibraryFile(model);
    if (file.empty()) return binding;
    binding.library_ = loader.load("\\Windows\\" + file);
    if (!binding.library_) return binding;
    const platform::Library& library = *binding.library_;
    binding.buzzerOff_ = resolve<TesselSetBuzzerOffFn>(library, abi::kSetBuzzerOff);
    binding.buzzerOn_ = resolve<TesselSetBuzzerOnFn>(library, abi::kSetBuzzerOn);
    binding.ledLight_ = resolve<TesselSetLedLightFn>(library, abi::kSetLedLight);
    binding.vibratorPower_ = resolve<TesselSetVibratorPowerFn>(library, abi::kSetVibratorPower);
    binding.sysInfo_ = resolve<TesselGetSysInfoFn>(library, abi::kGetSysInfo);
    if (model == ModelIndex::K240) {
        binding.set2D5V_ = resolve<TesselSet2D5VFn>(library, abi::kSet2D5V);
    }
    return binding;
}

void NotificationBinding::setBuzzerOn(std::uint32_t frequency, std::uint32_t duration) const {
    if (buzzerOn_) buzzerOn_(frequency, duration);
}

void NotificationBinding::setBuzzerOff() const {
    if (buzzerOff_) buzzerOff_();
}

void NotificationBinding::setLedLight(std::uint32_t led, bool on) const {
    if (ledLight_) ledLight_(led, on ? 1 : 0);
}

void NotificationBinding::setVibratorPower(bool on) const {
    if (vibratorPower_) vibratorPower_(on ? 1 : 0);
}

std::optional<StatusBinding> StatusBinding::bind(platform::LibraryLoader& loader) {
    struct Candidate {
        const char* file;
        Terminal terminal;
        bool hasStatus;
    };
    static constexpr std::array<Candidate, 5> kCandidates{{
        {"K210CE_SYS.dll", Terminal::K210, true},
        {"K220CE_SYS.dll", Terminal::K220, false},
        {"K230CE_SYS.dll", Terminal::K230, false},
        {"K240CE_SYS.DLL", Terminal::K240, true},
        {"KP30SystemAPI.dll", Terminal::KP30, true},
    }};
    for (const Candidate& candidate : kCandidates) {
        auto library = loader.load(candidate.file);
        if (!library) continue;
        StatusBinding binding;
        binding.terminal_ = candidate.terminal;
        if (candidate.hasStatus) {
            binding.currentStatus_ =
                resolve<TesselGetCurrentStatusFn>(*library, abi::kGetCurrentStatus);
            binding.sysInfo_ = resolve<TesselGetSysInfoFn>(*library, abi::kGetSysInfo);
        }
        binding.library_ = std::move(library);
        return binding;
    }
    return std::nullopt;
}

std::optional<std::int32_t> StatusBinding::signalDbm() const {
    if (!currentStatus_) return std::nullopt;
    std::array<std::uint8_t, TESSEL_STATUS_RECORD_SIZE> record{};
    if (currentStatus_(record.data()) != 0) return std::nullopt;
    return abi::readSignal(record);
}

std::optional<SysInfo> StatusBinding::sysInfo() const {
    if (!sysInfo_) return std::nullopt;
    std::array<std::uint8_t, TESSEL_SYSINFO_RECORD_SIZE> record{};
    if (sysInfo_(record.data()) != 0) return std::nullopt;
    return SysInfo{abi::readText(record, TESSEL_SYSINFO_SERIAL_OFFSET),
                   abi::readText(record, TESSEL_SYSINFO_DATE_OFFSET),
                   abi::readText(record, TESSEL_SYSINFO_OS_OFFSET)};
}

}  // namespace tessel::reader
