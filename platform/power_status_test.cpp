#include "platform/power_status.h"

#include <gtest/gtest.h>

#include "platform/temp_dir.h"

namespace tessel::platform {
namespace {

void supply(const TempDir& root, const std::string& name, const std::string& type,
            const std::string& online) {
    const auto folder = root.path() / "class/power_supply" / name;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "type") << type << "\n";
    if (!online.empty()) std::ofstream(folder / "online") << online << "\n";
}

TEST(PowerStatus, NoSupplyIsUndetermined) {
    TempDir root;
    EXPECT_EQ(SysfsPowerStatus(root.path()).acLineStatus(), kAcUnknown);
    supply(root, "BAT0", "Battery", "");
    EXPECT_EQ(SysfsPowerStatus(root.path()).acLineStatus(), kAcUnknown);
}

TEST(PowerStatus, AnyOnlineMainsSupplyMeansMains) {
    TempDir root;
    supply(root, "BAT0", "Battery", "");
    supply(root, "AC", "Mains", "0");
    EXPECT_EQ(SysfsPowerStatus(root.path()).acLineStatus(), kAcOffline);
    supply(root, "usb", "USB", "1");
    EXPECT_EQ(SysfsPowerStatus(root.path()).acLineStatus(), kAcOnline);
}

TEST(PowerStatus, FoldIsOrderFree) {
    EXPECT_EQ(foldSupply(foldSupply(kAcUnknown, "Mains", "1"), "USB", "0"), kAcOnline);
    EXPECT_EQ(foldSupply(foldSupply(kAcUnknown, "USB", "0"), "Mains", "1\n"), kAcOnline);
    EXPECT_EQ(foldSupply(kAcUnknown, "Mains", ""), kAcOffline);
}

}  // namespace
}  // namespace tessel::platform
