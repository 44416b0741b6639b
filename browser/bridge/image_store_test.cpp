#include "browser/bridge/image_store.h"

#include <gtest/gtest.h>

#include "platform/temp_dir.h"

namespace tessel::bridge {
namespace {

const LocalTime kTime{2012, 3, 3, 14, 5, 9};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ImageStore : public ::testing::Test {
protected:
    platform::TempDir root;
    platform::DeviceFs fs{root.path()};
    const std::vector<std::uint8_t> jpeg{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10};
};

TEST_F(ImageStore, WritesUnderImagesMakingTheFoldersAndReplacing) {
    root.write("diskonchip/App/browserINI.txt", "");
    const auto path = saveScanImage(fs, "\\DiskOnChip\\App\\", kTime, jpeg, 3);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, "\\DiskOnChip\\App\\images\\120303140509.jpg");
    const auto file = root.path() / "diskonchip/App/images/120303140509.jpg";
    EXPECT_EQ(readFile(file), std::string("\xFF\xD8\xFF\xE0\x00\x10", 6));

    const std::vector<std::uint8_t> shorter{0xFF, 0xD8, 0xFF};
    ASSERT_TRUE(saveScanImage(fs, "\\DiskOnChip\\App\\", kTime, shorter, 0));
    EXPECT_EQ(readFile(file), "\xFF\xD8\xFF");
}

TEST_F(ImageStore, NothingWhenTheFileCannotBeCreated) {
    root.write("App/images", "a file where the folder should be");
    EXPECT_FALSE(saveScanImage(fs, "\\App\\", kTime, jpeg, 0));
    EXPECT_FALSE(saveScanImage(fs, "\\..\\outside\\", kTime, jpeg, 0));
}

}  // namespace
}  // namespace tessel::bridge
