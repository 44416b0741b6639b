#include "tools/probe_settings.h"

#include <gtest/gtest.h>

#include "browser/reader/engine_port_fixture.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"

namespace tessel::tools {
namespace {

using reader::ReaderType;
namespace packet = sim::packet;

class ProbeSettings : public reader::testing::EnginePortTest {
  protected:
    void connectAndRead(platform::DeviceModel& engine, ReaderType type, std::uint32_t baud) {
        connect(engine, type, baud);
        config.readAll();
    }

    static void load(settings::IniStore& store, std::string_view text) {
        ASSERT_TRUE(store.loadBytes(
            std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
    }

    // The lines of one section of text, without its header and the blank line after it.
    static std::string section(const std::string& text, const std::string& name) {
        const auto start = text.find("[" + name + "]\r\n");
        if (start == std::string::npos) return "<missing>";
        const auto body = start + name.size() + 4;
        return text.substr(body, text.find("\r\n\r\n", body) - body + 2);
    }
};

TEST_F(ProbeSettings, ExportWritesTheImagersSectionsAsTheBrowserDoes) {
    sim::PacketEngine engine(sim::PacketKind::Imager2D, 115200);
    engine.setParameter(packet::param(0x88), 37);
    engine.setParameter(packet::param(0x12), 6);
    connectAndRead(engine, ReaderType::Imager2D, 115200);
    settings::IniStore store;
    exportEngineSettings(config, ReaderType::Imager2D, store);
    const std::string text = store.text();
    // The browser's store keeps names in lower case; the reader section comes first.
    EXPECT_LT(text.find("[Barcode Reader 2D]"), text.find("[Codabar 2D/1D_LR]"));
    // Decode time-out in tenths of the engine's unit, the fraction dropped.
    EXPECT_EQ(section(text, "Barcode Reader 2D"),
              "has2d=1\r\nenablebarcode=1\r\nlaserontime=3\r\ndecodingillumination=1\r\n"
              "decodeaimingpattern=1\r\nimgfocus=0\r\n");
    EXPECT_EQ(section(text, "Code39 2D/1D_LR"),
              "enable=1\r\ntrioptic=0\r\ncode39tocode32=0\r\ncode32prefix=0\r\n"
              "checkdigitverification=0\r\ntransmitcheckdigit=0\r\nfullascii=0\r\nlength1=6\r\n"
              "length2=55\r\n");
    EXPECT_EQ(section(text, "Image 2D").find("snapshotModeTimeout"), std::string::npos);
    EXPECT_EQ(section(text, "Image 2D").find("enable="), std::string::npos);
    EXPECT_EQ(section(text, "Matrix25 2D"), "<missing>");
}

TEST_F(ProbeSettings, ApplySendsOnlyWhatDiffersAndItsOwnExportSendsNothing) {
    sim::PacketEngine engine(sim::PacketKind::Imager2D, 115200);
    connectAndRead(engine, ReaderType::Imager2D, 115200);
    settings::IniStore exported;
    exportEngineSettings(config, ReaderType::Imager2D, exported);
    engine.clearCommands();
    EXPECT_EQ(importEngineSettings(config, ReaderType::Imager2D, exported), 0);
    EXPECT_TRUE(engine.commands().empty());

    settings::IniStore file;
    load(file,
         "[Code39 2D/1D_LR]\r\nlength1=7\r\nenable=1\r\n[Barcode Reader 2D]\r\nlaserOnTime=5\r\n"
         "hasCCD=1\r\n[Code39 CCD/Laser]\r\nenable=0\r\n");
    EXPECT_EQ(importEngineSettings(config, ReaderType::Imager2D, file), 0);
    ASSERT_EQ(engine.commands().size(), 2u);
    EXPECT_EQ(engine.commands()[0], packet::hostPacket(0xC6, 0x08, sim::Bytes{0xFF, 0x88, 50}));
    EXPECT_EQ(engine.commands()[1], packet::hostPacket(0xC6, 0x08, sim::Bytes{0xFF, 0x12, 7}));
}

TEST_F(ProbeSettings, TextEngineRoundTripsThroughTheFile) {
    sim::CcdLaserEngine ccd;
    connectAndRead(ccd, ReaderType::CcdLaser, 115200);
    settings::IniStore store;
    exportEngineSettings(config, ReaderType::CcdLaser, store);
    const std::string text = store.text();
    EXPECT_EQ(section(text, "Barcode Reader CCD/Laser"),
              "hasccd=1\r\nenablebarcode=1\r\nredundancy=0\r\nlaserontime=3\r\nscanmode=6\r\n");

    settings::IniStore file;
    load(file, "[MSI CCD/Laser]\r\nlength1=20\r\n");
    ccd.clearCommands();
    EXPECT_EQ(importEngineSettings(config, ReaderType::CcdLaser, file), 0);
    ASSERT_EQ(ccd.commands().size(), 1u);
    EXPECT_EQ(ccd.configBlock()[18] & 0x7F, 20);
}

TEST(ProbeSettingsArguments, SettingsTakesNoValueAndApplyTakesAFile) {
    std::string error;
    const std::vector<std::string> args{"--settings", "--apply", "engine.ini", "--model", "2"};
    const auto options = parseProbeArguments(args, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->settings);
    EXPECT_EQ(options->applyFile, "engine.ini");
    EXPECT_EQ(options->model, reader::ModelIndex::K230);
    const std::vector<std::string> missing{"--apply"};
    EXPECT_FALSE(parseProbeArguments(missing, error));
}

}  // namespace
}  // namespace tessel::tools
