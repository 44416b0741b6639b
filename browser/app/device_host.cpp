#include "browser/app/device_host.h"

#include "browser/settings/text8.h"

namespace tessel::app {

bridge::SystemInformation systemInformationOf(const reader::StatusBinding* status) {
    using Status = bridge::SystemInformation::Status;
    if (!status || !status->hasSysInfo()) return {};
    const std::optional<reader::SysInfo> info = status->sysInfo();
    if (!info) return {Status::Failed, {}, {}, {}};
    return {Status::Ok, info->serialNumber, info->manufactureDate, info->osVersion};
}

reader::ReaderType DeviceHost::readerType(int port) const {
    return port == 1 ? parts_.readers.barcodeKind() : parts_.readers.rfidKind();
}

void DeviceHost::setCheckBox(int controlId, bool checked) {
    if (controlId == bridge::kBarcodeCheckBox) parts_.hooks.setBarcodeCheck(checked);
    if (controlId == bridge::kRfidCheckBox) parts_.hooks.setRfidCheck(checked);
}

void DeviceHost::enableControl(int controlId, bool enabled) {
    if (controlId == bridge::kRfidReaderButton) parts_.hooks.enableRfidReaderButton(enabled);
}

void DeviceHost::tickTrayMenuItem(int itemId, bool ticked) {
    if (MainDialog* main = parts_.mainDialog()) main->tickTrayItem(itemId, ticked);
}

void DeviceHost::playSoundFile(std::u16string_view path, std::uint32_t flags) {
    parts_.sounds.play(settings::toEightBit(path), flags);
}

// The message's wParam, taken as the 32-bit value the page sees.
std::int32_t DeviceHost::signalLevel() const {
    const MainDialog* main = parts_.mainDialog();
    return main ? static_cast<std::int32_t>(main->lastSignal()) : 0;
}

void DeviceHost::setSignalLevel(std::int32_t level) {
    if (MainDialog* main = parts_.mainDialog())
        main->setLastSignal(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(level)));
}

std::int32_t DeviceHost::batteryLevel() const {
    const MainDialog* main = parts_.mainDialog();
    return main ? static_cast<std::int32_t>(main->lastBattery()) : 0;
}

}  // namespace tessel::app
