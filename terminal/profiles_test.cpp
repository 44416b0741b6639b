#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "browser/reader/device_identity.h"
#include "browser/reader/engine.h"
#include "browser/reader/system_services.h"
#include "browser/rfid/rfid_reader.h"
#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/serial_posix.h"
#include "platform/temp_dir.h"
#include "terminal/control_line.h"
#include "terminal/device_root_filler.h"
#include "terminal/profiles.h"
#include "terminal/wav.h"

namespace tessel::terminal {
namespace {

namespace fs = std::filesystem;
using reader::ModelIndex;
using reader::ReaderType;

// A device root filled from stand-in libraries and a small demo folder.
class Filler : public ::testing::Test {
  protected:
    Filler() {
        for (const Profile& p : profiles()) sources_.write(fs::path("lib") / p.libraryFile, p.libraryFile);
        sources_.write("demo/index.htm", "<html>start</html>");
        sources_.write("demo/demo.js", "function onScanBarcode() {}");
    }

    void fill(std::string_view name, PortMap ports = {}) {
        std::string error;
        ASSERT_TRUE(fillDeviceRoot(*findProfile(name), root_.path(), sources(), ports, error)) << error;
    }
    FillSources sources() const { return {sources_.path() / "lib", sources_.path() / "demo"}; }

    platform::Registry registry() {
        return platform::Registry(platform::Registry::fileOf(platform::DeviceFs(root_.path())));
    }
    std::optional<std::string> portMap(const char* name) {
        auto reg = registry();
        auto key = reg.open(platform::Hive::LocalMachine, platform::kPortMapKey);
        auto value = key ? key->read(name) : std::nullopt;
        return value ? std::optional(value->text) : std::nullopt;
    }

    platform::TempDir sources_;
    platform::TempDir root_;
};

struct ProfileCase {
    const char* name;
    ModelIndex model;
};

class EachProfile : public Filler, public ::testing::WithParamInterface<ProfileCase> {};

// The browser must recognise the model from the registry the profile writes, and find the
// library it binds for that model in \Windows.
TEST_P(EachProfile, RegistryGivesTheModelAndWindowsHoldsItsLibrary) {
    const auto [name, model] = GetParam();
    fill(name);
    auto reg = registry();
    EXPECT_EQ(reader::detectModel(reg), model);
    const Profile profile = *findProfile(name);
    const std::string notificationFile = reader::notificationLibraryFile(model);
    if (!notificationFile.empty()) {
        EXPECT_EQ(notificationFile, profile.libraryFile);
    }
    EXPECT_EQ(root_.read(fs::path("Windows") / profile.libraryFile), profile.libraryFile);
    // The module's link library runs only on the model-index-4 terminal.
    EXPECT_EQ(profile.port2 == ReaderType::RfidModule, model == ModelIndex::K240);
    // The browser looks for any reader at its first start: what is fitted must be among the
    // kinds the model's automatic detection tries.
    const auto engines = reader::detectionOrder(ReaderType::Auto, model);
    EXPECT_TRUE(std::ranges::any_of(engines, [&](const auto& step) { return step.type == profile.port1; }));
    if (profile.port2 != ReaderType::None) {
        const auto tags = rfid::RfidReader::detectionOrder(ReaderType::Auto, model);
        EXPECT_NE(std::ranges::find(tags, profile.port2), tags.end());
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, EachProfile,
                         ::testing::Values(ProfileCase{"K210", ModelIndex::K210},
                                           ProfileCase{"K220", ModelIndex::K220},
                                           ProfileCase{"K230", ModelIndex::K230},
                                           ProfileCase{"K240", ModelIndex::K240},
                                           ProfileCase{"KP30", ModelIndex::Unknown},
                                           ProfileCase{"generic", ModelIndex::PocketPc}));

TEST(Profiles, ReadersSitOnTheirPortsAndScreensAreOfTheThreeClasses) {
    const std::set<ReaderType> port2Kinds{ReaderType::None, ReaderType::RfidText, ReaderType::RfidFrame,
                                          ReaderType::RfidModule};
    for (const Profile& p : profiles()) {
        SCOPED_TRACE(p.name);
        EXPECT_TRUE(p.port1 == ReaderType::CcdLaser || reader::isPacketType(p.port1));
        EXPECT_TRUE(port2Kinds.contains(p.port2));
        const bool kp30 = p.libraryFile == "KP30SystemAPI.dll";
        EXPECT_EQ(p.screen.height, kp30 ? 384 : p.screen.width * 4 / 3);
        EXPECT_TRUE(p.screen.width == 240 || p.screen.width == 480);
    }
    EXPECT_EQ(findProfile("kp30")->name, "KP30");
    EXPECT_FALSE(findProfile("K250"));
}

TEST_F(Filler, RefillingForAnotherModelLeavesOneLibraryAndKeepsTheBrowsersFiles) {
    fill("K210", {"/dev/pts/7", "/dev/pts/8"});
    root_.write("Program Files/Tessel/browserINI.txt", "[General]\r\n");
    fill("K240", {"/dev/pts/9", ""});

    // The browser binds the first library that loads, so a K210 library left over would make
    // the K240 root a K210.
    EXPECT_FALSE(fs::exists(root_.path() / "Windows" / "K210CE_SYS.dll"));
    EXPECT_TRUE(fs::exists(root_.path() / "Windows" / "K240CE_SYS.DLL"));
    EXPECT_EQ(portMap("COM1"), "/dev/pts/9");
    EXPECT_EQ(portMap("COM2"), std::nullopt);  // no stale pty from the earlier run
    EXPECT_EQ(root_.read("Program Files/Tessel/browserINI.txt"), "[General]\r\n");
    EXPECT_EQ(root_.read("Program Files/Tessel/index.htm"), "<html>start</html>");
    EXPECT_EQ(root_.read("Program Files/Tessel/test.htm"), "<html>start</html>");  // the home page

    clearPortMap(root_.path());
    EXPECT_EQ(portMap("COM1"), std::nullopt);
}

TEST_F(Filler, MissingLibraryIsAClearFailure) {
    fs::remove(sources_.path() / "lib" / "K230CE_SYS.dll");
    std::string error;
    EXPECT_FALSE(fillDeviceRoot(*findProfile("K230"), root_.path(), sources(), {}, error));
    EXPECT_NE(error.find("K230CE_SYS.dll"), std::string::npos) << error;
}

TEST_F(Filler, BuiltInSoundsAreFoundByTheirNamesWithoutExtension) {
    fill("K220");
    for (const BuiltInSound& sound : builtInSounds()) {
        const auto wav = root_.read(fs::path("Windows") / (std::string(sound.name) + ".wav"));
        EXPECT_EQ(wav.substr(0, 4), "RIFF") << sound.name;
    }
    EXPECT_EQ(builtInSounds().size(), 9u);
    EXPECT_EQ(builtInSounds().front().name, "Default");
    EXPECT_EQ(builtInSounds().back().name, "LowBatt");
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(Wav, HeaderSizesMatchTheSamples) {
    const Tone tones[] = {{1000, 100}, {0, 25}};
    const auto wav = toneWav(tones);
    const std::uint32_t samples = (100 + 25) * kWavSampleRate / 1000;
    ASSERT_EQ(wav.size(), 44 + samples * 2);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(le32(wav, 24), kWavSampleRate);
    EXPECT_EQ(le32(wav, 40), samples * 2);
    // The silent tail is silent.
    EXPECT_EQ(wav.back(), 0);
    EXPECT_EQ(wav[wav.size() - 2], 0);
}

TEST(ControlLine, BarcodeTypesAndEscapedData) {
    std::string error;
    auto c = parseControlLine("barcode A Hello world%0D%00\n", error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->kind, ControlCommand::Kind::Barcode);
    EXPECT_EQ(c->codeType, 'A');
    const std::string expected("Hello world\r\0", 13);
    EXPECT_EQ(std::string(c->data.begin(), c->data.end()), expected);

    c = parseControlLine("barcode 27 %e9", error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->codeType, 27);
    EXPECT_EQ(c->data, std::vector<std::uint8_t>{0xE9});

    for (const char* bad : {"barcode 256 x", "barcode 1", "barcode 1 ", "barcode 12x x", "barcode 1 %4",
                            "barcode 1 %zz", "barcode", "scan 1 x", ""}) {
        EXPECT_FALSE(parseControlLine(bad, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(ControlLine, TagUidsOfFourOrSevenBytesOrNone) {
    std::string error;
    auto c = parseControlLine("tag 0A1b2C3d", error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->kind, ControlCommand::Kind::Tag);
    EXPECT_EQ(c->data, (std::vector<std::uint8_t>{0x0A, 0x1B, 0x2C, 0x3D}));
    EXPECT_EQ(parseControlLine("tag 04112233445566\r\n", error)->data.size(), 7u);
    EXPECT_TRUE(parseControlLine("tag none", error)->data.empty());
    for (const char* bad : {"tag", "tag 0A1B2C", "tag 0A1B2C3D4", "tag 0A1B2C3G", "tag +A1B2C3D"})
        EXPECT_FALSE(parseControlLine(bad, error)) << bad;
}

TEST(ControlLine, PowerSourceAndSignalStrength) {
    std::string error;
    EXPECT_TRUE(parseControlLine("power mains\r\n", error)->onMains);
    auto c = parseControlLine("power battery", error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->kind, ControlCommand::Kind::Power);
    EXPECT_FALSE(c->onMains);
    c = parseControlLine("signal -128", error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->kind, ControlCommand::Kind::Signal);
    EXPECT_EQ(c->signalDbm, -128);
    EXPECT_EQ(parseControlLine("signal 0", error)->signalDbm, 0);
    for (const char* bad : {"power", "power Mains", "power mains ", "signal", "signal -129", "signal 1",
                            "signal -60dBm", "signal  -60", "signal 99999999999"}) {
        EXPECT_FALSE(parseControlLine(bad, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace tessel::terminal
