// Loads the built libraries as the browser does and calls their entry points against fake host
// folders.

#include "browser/reader/system_services.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "browser/reader/system_services_abi.h"
#include "platform/device_fs.h"
#include "platform/library_loader.h"
#include "terminal/status_channel.h"

namespace tessel::terminal {
namespace {

namespace fs = std::filesystem;
namespace abi = reader::abi;

const std::array<const char*, 5> kLibraryFiles = {
    "K210CE_SYS.dll", "K220CE_SYS.dll", "K230CE_SYS.dll", "K240CE_SYS.DLL", "KP30SystemAPI.dll"};

void writeFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SystemServicesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("system_services_test_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "device");
        setenv("TESSEL_PROC_ROOT", (root_ / "proc").c_str(), 1);
        setenv("TESSEL_SYS_ROOT", (root_ / "sys").c_str(), 1);
        setenv("TESSEL_ETC_ROOT", (root_ / "etc").c_str(), 1);
        setenv("TESSEL_DEV_ROOT", (root_ / "dev").c_str(), 1);
        setenv("TESSEL_DEVICE_ROOT", (root_ / "device").c_str(), 1);
        setenv("TESSEL_SOUND_DEVICE", "hw:CARD=TesselNoSuchCard", 1);
        unsetenv("TESSEL_LED");
    }
    void TearDown() override {
        for (const auto& handle : handles_) {
            dlclose(handle);
        }
        for (const char* name : {"TESSEL_PROC_ROOT", "TESSEL_SYS_ROOT", "TESSEL_ETC_ROOT",
                                 "TESSEL_DEV_ROOT", "TESSEL_DEVICE_ROOT", "TESSEL_SOUND_DEVICE"}) {
            unsetenv(name);
        }
        fs::remove_all(root_);
    }

    void* load(const char* file) {
        void* handle = dlopen((fs::path(TESSEL_SYSTEM_LIBRARY_DIR) / file).c_str(), RTLD_NOW);
        EXPECT_NE(handle, nullptr) << dlerror();
        handles_.push_back(handle);
        return handle;
    }

    template <typename Fn>
    Fn entry(const char* name, const char* file = "K240CE_SYS.DLL") {
        auto fn = reinterpret_cast<Fn>(dlsym(load(file), name));
        EXPECT_NE(fn, nullptr) << name;
        return fn;
    }

    std::string statusLines() { return readFile(root_ / "device" / kStatusFileName); }

    fs::path root_;
    std::vector<void*> handles_;
};

TEST_F(SystemServicesTest, EveryModelFileExportsEveryEntryPoint) {
    for (const char* file : kLibraryFiles) {
        void* handle = load(file);
        ASSERT_NE(handle, nullptr) << file;
        for (const char* name :
             {abi::kSetBuzzerOff, abi::kSetBuzzerOn, abi::kSetLedLight, abi::kSetVibratorPower,
              abi::kGetSysInfo, abi::kSet2D5V, abi::kGetCurrentStatus}) {
            EXPECT_NE(dlsym(handle, name), nullptr) << file << " " << name;
        }
        // Nothing of the code inside leaks out to clash with the program that loads it.
        EXPECT_EQ(dlsym(handle, "_ZN6tessel8terminal6setLedB5cxx11ERKNS0_4HostEb"), nullptr);
    }
}

TEST_F(SystemServicesTest, StatusRecordHoldsTheWirelessSignal) {
    const auto getStatus = entry<TesselGetCurrentStatusFn>(abi::kGetCurrentStatus);
    std::array<std::uint8_t, TESSEL_STATUS_RECORD_SIZE> record;

    record.fill(0xAA);
    writeFile(root_ / "proc/net/wireless",
              "Inter-| sta-|   Quality        |   Discarded packets               | Missed | WE\n"
              " face | tus | link level noise |  nwid  crypt   frag  retry   misc | beacon | 22\n"
              " wlan0: 0000   54.  -63.  -256        0      0      0      0      0        0\n");
    ASSERT_EQ(getStatus(record.data()), 0);
    EXPECT_EQ(abi::readSignal(record), -63);
    EXPECT_EQ(record[0], 0);

    fs::remove(root_ / "proc/net/wireless");
    ASSERT_EQ(getStatus(record.data()), 0);
    EXPECT_EQ(abi::readSignal(record), 0);

    EXPECT_NE(getStatus(nullptr), 0);
}

TEST_F(SystemServicesTest, SysInfoComesFromDmiAndOsRelease) {
    const auto getSysInfo = entry<TesselGetSysInfoFn>(abi::kGetSysInfo, "KP30SystemAPI.dll");
    std::array<std::uint8_t, TESSEL_SYSINFO_RECORD_SIZE> record{};

    writeFile(root_ / "sys/class/dmi/id/product_serial", "To Be Filled By O.E.M.\n");
    writeFile(root_ / "sys/class/dmi/id/board_serial", "BRD-0042\n");
    writeFile(root_ / "sys/class/dmi/id/bios_date", "03/14/2023\n");
    writeFile(root_ / "etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    ASSERT_EQ(getSysInfo(record.data()), 0);
    EXPECT_EQ(abi::readText(record, TESSEL_SYSINFO_SERIAL_OFFSET), "BRD-0042");
    EXPECT_EQ(abi::readText(record, TESSEL_SYSINFO_DATE_OFFSET), "03/14/2023");
    EXPECT_EQ(abi::readText(record, TESSEL_SYSINFO_OS_OFFSET), "Debian GNU/Linux 12 (bookworm)");

    // A host without DMI data or os-release.
    fs::remove_all(root_ / "sys");
    fs::remove_all(root_ / "etc");
    writeFile(root_ / "proc/sys/kernel/osrelease", "6.1.0-13-amd64\n");
    ASSERT_EQ(getSysInfo(record.data()), 0);
    EXPECT_EQ(abi::readText(record, TESSEL_SYSINFO_SERIAL_OFFSET), "Unknown");
    EXPECT_EQ(abi::readText(record, TESSEL_SYSINFO_DATE_OFFSET), "Unknown");
    EXPECT_EQ(abi::readText(record, TESSEL_SYSINFO_OS_OFFSET), "Linux 6.1.0-13-amd64");

    EXPECT_NE(getSysInfo(nullptr), 0);
}

TEST_F(SystemServicesTest, LongTextsDoNotRunIntoTheNextField) {
    const auto getSysInfo = entry<TesselGetSysInfoFn>(abi::kGetSysInfo);
    std::array<std::uint8_t, TESSEL_SYSINFO_RECORD_SIZE> record{};
    writeFile(root_ / "sys/class/dmi/id/product_serial", std::string(120, 'S') + "\n");
    writeFile(root_ / "sys/class/dmi/id/bios_date", "Thursday 14 March 2023\n");
    writeFile(root_ / "etc/os-release", "PRETTY_NAME=\"" + std::string(150, 'O') + "\"\n");

    ASSERT_EQ(getSysInfo(record.data()), 0);
    EXPECT_EQ(abi::readText(record, TESSEL_SYSINFO_SERIAL_OFFSET), std::string(79, 'S'));
    EXPECT_EQ(abi::readText(record, TESSEL_SYSINFO_DATE_OFFSET), "Thursday 14 Mar");
    EXPECT_EQ(abi::readText(record, TESSEL_SYSINFO_OS_OFFSET), std::string(100, 'O'));
}

TEST_F(SystemServicesTest, LedIsDrivenAndEveryCallReported) {
    const fs::path led = root_ / "sys/class/leds/tessel::goodread";
    writeFile(led / "max_brightness", "255\n");
    writeFile(led / "brightness", "0\n");
    const auto setLed = entry<TesselSetLedLightFn>(abi::kSetLedLight);

    setLed(2, 1);
    EXPECT_EQ(readFile(led / "brightness"), "255\n");
    setLed(2, 0);
    EXPECT_EQ(readFile(led / "brightness"), "0\n");
    setLed(1, 1);
    EXPECT_EQ(readFile(led / "brightness"), "0\n");

    EXPECT_EQ(statusLines(),
              "{\"library\":\"K240CE_SYS.DLL\",\"call\":\"SetLEDLight\",\"args\":[2,1],"
              "\"device\":\"" +
                  led.string() +
                  "\"}\n"
                  "{\"library\":\"K240CE_SYS.DLL\",\"call\":\"SetLEDLight\",\"args\":[2,0],"
                  "\"device\":\"" +
                  led.string() +
                  "\"}\n"
                  "{\"library\":\"K240CE_SYS.DLL\",\"call\":\"SetLEDLight\",\"args\":[1,1],"
                  "\"device\":\"\"}\n");
}

TEST_F(SystemServicesTest, NotificationBindingLoadsTheLibraryFromTheDeviceWindowsFolder) {
    const fs::path device = root_ / "device";
    fs::create_directories(device / "Windows");
    fs::copy_file(fs::path(TESSEL_SYSTEM_LIBRARY_DIR) / "K220CE_SYS.dll",
                  device / "Windows" / "K220CE_SYS.dll");
    platform::DlLibraryLoader loader({}, platform::DeviceFs(device));

    const auto binding = reader::NotificationBinding::bind(loader, reader::ModelIndex::K220);
    ASSERT_TRUE(binding.loaded()) << loader.lastError();
    binding.setVibratorPower(true);
    EXPECT_EQ(statusLines(),
              "{\"library\":\"K220CE_SYS.dll\",\"call\":\"SetVibratorPower\",\"args\":[1],"
              "\"device\":\"\"}\n");
    EXPECT_FALSE(reader::NotificationBinding::bind(loader, reader::ModelIndex::K230).loaded());
}

TEST_F(SystemServicesTest, MissingHostDevicesAreReportedWithoutWaiting) {
    // An input device that claims rumble but whose node is no device at all.
    writeFile(root_ / "sys/class/input/event4/device/capabilities/ff", "107030000 0\n");
    writeFile(root_ / "dev/input/event4", "");
    const auto buzzerOn = entry<TesselSetBuzzerOnFn>(abi::kSetBuzzerOn, "K210CE_SYS.dll");
    const auto buzzerOff = entry<TesselSetBuzzerOffFn>(abi::kSetBuzzerOff, "K210CE_SYS.dll");
    const auto vibrate = entry<TesselSetVibratorPowerFn>(abi::kSetVibratorPower, "K210CE_SYS.dll");

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(buzzerOn(2700, 300), 0);
    EXPECT_EQ(buzzerOff(), 0);
    EXPECT_EQ(vibrate(1), 0);
    EXPECT_EQ(vibrate(0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    EXPECT_EQ(statusLines(),
              "{\"library\":\"K210CE_SYS.dll\",\"call\":\"SetBuzzerON\",\"args\":[2700,300],"
              "\"device\":\"\"}\n"
              "{\"library\":\"K210CE_SYS.dll\",\"call\":\"SetBuzzerOFF\",\"args\":[],"
              "\"device\":\"\"}\n"
              "{\"library\":\"K210CE_SYS.dll\",\"call\":\"SetVibratorPower\",\"args\":[1],"
              "\"device\":\"\"}\n"
              "{\"library\":\"K210CE_SYS.dll\",\"call\":\"SetVibratorPower\",\"args\":[0],"
              "\"device\":\"\"}\n");
}

TEST_F(SystemServicesTest, BuzzerPlaysOnTheSoundDevice) {
    setenv("TESSEL_SOUND_DEVICE", "null", 1);  // ALSA's null device: no sound card needed
    const auto buzzerOn = entry<TesselSetBuzzerOnFn>(abi::kSetBuzzerOn);
    const auto buzzerOff = entry<TesselSetBuzzerOffFn>(abi::kSetBuzzerOff);

    buzzerOn(2700, 3);
    buzzerOff();
    buzzerOff();  // nothing left to stop
    EXPECT_EQ(statusLines(),
              "{\"library\":\"K240CE_SYS.DLL\",\"call\":\"SetBuzzerON\",\"args\":[2700,3],"
              "\"device\":\"null\"}\n"
              "{\"library\":\"K240CE_SYS.DLL\",\"call\":\"SetBuzzerOFF\",\"args\":[],"
              "\"device\":\"null\"}\n"
              "{\"library\":\"K240CE_SYS.DLL\",\"call\":\"SetBuzzerOFF\",\"args\":[],"
              "\"device\":\"\"}\n");
}

TEST(StatusChannel, EscapesTextsForJson) {
    EXPECT_EQ(toJsonLine({"K2\"0\\", "Set2D5V", {1}, "/dev/x\n\xE9"}),
              "{\"library\":\"K2\\\"0\\\\\",\"call\":\"Set2D5V\",\"args\":[1],"
              "\"device\":\"/dev/x\\u000a\\u00e9\"}\n");
}

}  // namespace
}  // namespace tessel::terminal
