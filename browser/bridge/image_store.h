#pragma once
// Saving a captured picture in the program's "images" folder before the page hears of it.
//
//   if (auto path = saveScanImage(fs, "\\DiskOnChip\\App\\", now, picture, options.imageFileFormat))
//       invoker.invoke(kOnScanImage, {fromEightBit(*path)}, result);

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "browser/bridge/scan_delivery.h"
#include "platform/device_fs.h"

namespace tessel::bridge {

// Writes picture as programFolder (a device path ending in "\") + "images\" + the name of
// imageFileName(), replacing any file of that name, and returns the file's device path. Missing
// folders are created on the way. Nullopt when the file cannot be created or not every byte is
// written; a partly written file is removed, so the page never gets half a picture.
std::optional<std::string> saveScanImage(const platform::DeviceFs& fs,
                                         std::string_view programFolder, const LocalTime& time,
                                         std::span<const std::uint8_t> picture, int formatValue);

}  // namespace tessel::bridge
