#include "browser/reader/system_services.h"

#include <gtest/gtest.h>

#include <span>

namespace tessel::reader {
namespace {

extern "C" int32_t status(void* record) {
    abi::writeSignal(std::span<std::uint8_t, TESSEL_STATUS_RECORD_SIZE>(
                         static_cast<std::uint8_t*>(record), TESSEL_STATUS_RECORD_SIZE),
                     -67);
    return 0;
}
extern "C" int32_t failingStatus(void*) { return 1; }
extern "C" int32_t sysInfo(void* record) {
    std::span<std::uint8_t, TESSEL_SYSINFO_RECORD_SIZE> r(static_cast<std::uint8_t*>(record),
                                                          TESSEL_SYSINFO_RECORD_SIZE);
    abi::writeText(r, TESSEL_SYSINFO_SERIAL_OFFSET, "SN-0042");
    abi::writeText(r, TESSEL_SYSINFO_DATE_OFFSET, "2026-12-01");
    abi::writeText(r, TESSEL_SYSINFO_OS_OFFSET, std::string(150, 'v'));
    return 0;
}

platform::TableLibraryLoader::Table statusTable() {
    return {{"GetCurrentStatus", reinterpret_cast<void*>(&status)},
            {"GetSysInfo", reinterpret_cast<void*>(&sysInfo)}};
}

TEST(StatusBinding, FirstLibraryInOrderWinsAndFixesTheTerminal) {
    platform::TableLibraryLoader loader;
    EXPECT_FALSE(StatusBinding::bind(loader));

    loader.add("KP30SystemAPI.dll", statusTable());
    loader.add("K240CE_SYS.DLL", statusTable());
    auto binding = StatusBinding::bind(loader);
    ASSERT_TRUE(binding);
    EXPECT_EQ(binding->terminal(), Terminal::K240);
    EXPECT_EQ(binding->signalDbm(), -67);
    const auto info = binding->sysInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->serialNumber, "SN-0042");
    EXPECT_EQ(info->manufactureDate, "2026-12-01");
    EXPECT_EQ(info->osVersion, std::string(100, 'v'));
}

TEST(StatusBinding, K220AndK230ResolveNoStatusEntryPoints) {
    platform::TableLibraryLoader loader;
    loader.add("K230CE_SYS.dll", statusTable());
    loader.add("K240CE_SYS.DLL", statusTable());
    auto binding = StatusBinding::bind(loader);
    ASSERT_TRUE(binding);
    EXPECT_EQ(binding->terminal(), Terminal::K230);
    EXPECT_EQ(binding->signalDbm(), std::nullopt);
    EXPECT_EQ(binding->sysInfo(), std::nullopt);
}

TEST(StatusBinding, FailedOrMissingEntryPointGivesNothing) {
    platform::TableLibraryLoader loader;
    loader.add("K210CE_SYS.dll", {{"GetCurrentStatus", reinterpret_cast<void*>(&failingStatus)}});
    auto binding = StatusBinding::bind(loader);
    ASSERT_TRUE(binding);
    EXPECT_EQ(binding->signalDbm(), std::nullopt);
    EXPECT_EQ(binding->sysInfo(), std::nullopt);
}

TEST(NotificationBinding, LibraryPerModelUnderWindows) {
    EXPECT_EQ(notificationLibraryFile(ModelIndex::K210), "K210CE_SYS.dll");
    EXPECT_EQ(notificationLibraryFile(ModelIndex::K240), "K240CE_SYS.DLL");
    EXPECT_EQ(notificationLibraryFile(ModelIndex::PocketPc), "");
    EXPECT_EQ(notificationLibraryFile(ModelIndex::Unknown), "");

    platform::TableLibraryLoader loader;
    loader.add("\\Windows\\K230CE_SYS.dll", {});
    EXPECT_TRUE(NotificationBinding::bind(loader, ModelIndex::K230).loaded());
    EXPECT_FALSE(NotificationBinding::bind(loader, ModelIndex::K220).loaded());
    loader.add("K230CE_SYS.dll", {});
    EXPECT_FALSE(NotificationBinding::bind(loader, ModelIndex::PocketPc).loaded());
}

}  // namespace
}  // namespace tessel::reader
