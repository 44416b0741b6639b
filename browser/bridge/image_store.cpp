#include "browser/bridge/image_store.h"

#include <filesystem>
#include <fstream>

namespace tessel::bridge {

std::optional<std::string> saveScanImage(const platform::DeviceFs& fs,
                                         std::string_view programFolder, const LocalTime& time,
                                         std::span<const std::uint8_t> picture, int formatValue) {
    const std::string folder = std::string(programFolder) + kImagesFolder;
    const std::string path = folder + imageFileName(time, picture, formatValue);
    if (const auto hostFolder = fs.toHost(folder)) {
        std::error_code ignored;  // a folder that cannot be made shows up as a file that cannot
        std::filesystem::create_directories(*hostFolder, ignored);
    }
    const auto hostPath = fs.toHost(path);
    if (!hostPath) return std::nullopt;
    std::ofstream file(*hostPath, std::ios::binary | std::ios::trunc);
    if (!file) return std::nullopt;
    file.write(reinterpret_cast<const char*>(picture.data()),
               static_cast<std::streamsize>(picture.size()));
    file.close();
    if (!file) {
        std::error_code ignored;
        std::filesystem::remove(*hostPath, ignored);
        return std::nullopt;
    }
    return path;
}

}  // namespace tessel::bridge
