#include "browser/settings/persistence.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/imaging.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"
#include "platform/virtual_serial.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"

namespace tessel::settings {
namespace {

using reader::Bytes;
using reader::ReaderType;
using sim::PacketKind;
namespace packet = sim::packet;

constexpr char16_t kModulePath[] = u"\\Program Files\\Tessel\\browser.exe";

class FakeRfid final : public reader::RfidReader {
  public:
    bool start(reader::ReaderPort& port, ReaderType request) override {
        requests.push_back(request);
        if (kind == ReaderType::None) port.lastError = ENOENT;
        port.type = kind;
        return kind != ReaderType::None;
    }
    bool stopIfFree() override { return true; }
    void close() override {}

    ReaderType kind = ReaderType::None;
    std::vector<ReaderType> requests;
};

class FakeIdle final : public RfidIdleTime {
  public:
    std::uint32_t seconds() const override { return value; }
    void setSeconds(std::uint32_t s) override { value = s; }
    std::uint32_t value = 20;
};

class PersistenceTest : public ::testing::Test {
  protected:
    // One run of the program: what the main window builds, fresh at every start.
    struct Program {
        explicit Program(PersistenceTest& t)
            : manager({t.opener, t.clock, t.registry, t.loader, platform::jpegImaging(), &t.rfid}),
              settings({store, options, manager, platform::DeviceFs(t.dir.path()), kModulePath,
                        &t.idle}) {}
        ~Program() { manager.shutdown(); }
        void start() {
            settings.loadSettingsAtStart([this] { ++threadStarts; });
        }
        std::optional<std::u16string> quit() {
            options.updateIniWhenExit = 1;
            return settings.saveSettingsAtExit();
        }

        IniStore store;
        BrowserOptions options;
        reader::ReaderManager manager;
        SettingsPersistence settings;
        int threadStarts = 0;
    };

    PersistenceTest() {
        registry.create(platform::Hive::LocalMachine, "Ident")
            ->set("DeviceModel", platform::RegValue::sz("DEVK220CE"));
        std::filesystem::create_directories(iniPath().parent_path());
    }

    std::filesystem::path iniPath() const {
        return dir.path() / "Program Files" / "Tessel" / "browserINI.txt";
    }
    void writeFile(std::string_view bytes) const {
        std::ofstream(iniPath(), std::ios::binary) << bytes;
    }
    std::string readFile() const {
        std::ifstream in(iniPath(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The section headers of a file, in order.
    static std::vector<std::string> headers(const std::string& text) {
        std::vector<std::string> out;
        for (std::size_t at = text.find("\r\n["); at != std::string::npos;
             at = text.find("\r\n[", at + 1)) {
            out.push_back(text.substr(at + 3, text.find(']', at) - at - 3));
        }
        return out;
    }
    // The lines of one section of a file, as one text.
    static std::string section(const std::string& text, std::string_view name) {
        const std::string header = "\r\n[" + std::string(name) + "]\r\n";
        const std::size_t at = text.find(header);
        if (at == std::string::npos) return "(missing)";
        const std::size_t begin = at + header.size();
        const std::size_t end = text.find("\r\n[", begin);
        return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    }
    // The parameter sends the engine received since the last clear.
    static std::vector<Bytes> paramSends(const sim::PacketEngine& engine) {
        std::vector<Bytes> out;
        for (const Bytes& command : engine.commands()) {
            if (command.size() > 1 && command[1] == 0xC6) out.push_back(command);
        }
        return out;
    }
    static bool carries(const Bytes& command, Bytes pair) {
        return std::search(command.begin(), command.end(), pair.begin(), pair.end()) !=
               command.end();
    }

    platform::TempDir dir;
    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    platform::Registry registry{dir.path() / "registry.txt", clock};
    platform::TableLibraryLoader loader;
    FakeRfid rfid;
    FakeIdle idle;
};

const std::string kDefaultGeneral =
    "password=\r\nhomeurl=\r\nloadiniwhenstart=1\r\nupdateiniwhenexit=1\r\n"
    "goodreadbeepfileidx=1\r\nwarningbeepfileidx=2\r\nvibrationtime=0\r\nkeyboardemu=1\r\n"
    "enableled=0\r\nbuzzerduration=0\r\nbuzzerfreq=1\r\nshowwifisignal=0\r\nshowbattery=0\r\n"
    "disablepictures=0\r\nautoenter=1\r\nautoenterchar=1\r\nprefixstr=\r\nsuffixstr=\r\n"
    "displaycodetype=0\r\ndisplaycodelength=0\r\ndisplayuid=1\r\ndisplayuserdata=0\r\n"
    "delimiter=44\r\n";

TEST(SettingsPath, IsTheProgramFolderWithTheFileName) {
    EXPECT_EQ(settingsPathFor(u"\\Program Files\\Tessel\\browser.exe"),
              u"\\Program Files\\Tessel\\browserINI.txt");
    EXPECT_EQ(settingsPathFor(u"\\browser.exe"), u"\\browserINI.txt");
    EXPECT_EQ(settingsPathFor(u"browser.exe"), u"browser.exe\\browserINI.txt");
}

TEST(DetectionRequests, FollowThePresenceKeysOfAnImportingFile) {
    struct Case {
        const char* file;
        ReaderType barcode, rfid;
        bool import;
    };
    const Case cases[] = {
        {"", ReaderType::Auto, ReaderType::Auto, false},
        {"[General]\nloadIniWhenStart=0\n[Barcode Reader 2D]\nhas2D=1\n", ReaderType::Auto,
         ReaderType::Auto, false},
        {"[Other]\nx=1\n", ReaderType::Auto, ReaderType::Auto, false},
        {"[General]\nloadIniWhenStart=1\n", ReaderType::None, ReaderType::None, true},
        {"[General]\nloadIniWhenStart=1\n[Barcode Reader 1D_LR]\nhas1DLR=1\nhas1D_955=1\n"
         "[Barcode Reader 2D]\nhas2D_4507=1\n[RFID]\nhasRfid=1\n",
         ReaderType::Imager2D4507, ReaderType::Auto, true},
        {"[General]\nloadIniWhenStart=1\n[Barcode Reader 1D_LR]\nhas1D_955=1\n[RFID]\nhasRfid=6\n",
         ReaderType::LongRange1D955, ReaderType::RfidFrame, true},
        {"[General]\nloadIniWhenStart=1\n[Barcode Reader CCD/Laser]\nhasCCD=1\n"
         "[Barcode Reader 2D]\nhas2D=1\n[RFID]\nhasRfid=7\n",
         ReaderType::CcdLaser, ReaderType::RfidModule, true},
    };
    for (const Case& c : cases) {
        IniStore store;
        const std::string_view text = c.file;
        store.loadBytes(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        const DetectionRequests requests = detectionRequests(store);
        EXPECT_EQ(requests.barcode, c.barcode) << c.file;
        EXPECT_EQ(requests.rfid, c.rfid) << c.file;
        EXPECT_EQ(requests.import, c.import) << c.file;
    }
}

TEST_F(PersistenceTest, FirstStartWithoutAFileWritesGeneralThenTheEngineThenRfid) {
    sim::CcdLaserEngine ccd;
    opener.plug("COM1:", ccd);
    rfid.kind = ReaderType::RfidText;
    Program program(*this);
    program.start();
    EXPECT_EQ(program.threadStarts, 1);
    EXPECT_EQ(rfid.requests, std::vector{ReaderType::Auto});
    EXPECT_EQ(program.manager.scannerType(1), ReaderType::CcdLaser);

    EXPECT_EQ(program.quit(), std::nullopt);
    const std::string file = readFile();
    EXPECT_TRUE(file.starts_with("\r\n[General]\r\n" + kDefaultGeneral + "\r\n[Barcode Reader "
                                 "CCD/Laser]\r\nhasccd=1\r\nenablebarcode=1\r\nredundancy=0\r\n"
                                 "laserontime=3\r\nscanmode=6\r\n"))
        << file;
    EXPECT_EQ(headers(file),
              (std::vector<std::string>{
                  "General", "Barcode Reader CCD/Laser", "CodaBar CCD/Laser", "ISBT128 CCD/Laser",
                  "Code128 CCD/Laser", "Ean128 CCD/Laser", "Code39 CCD/Laser", "Code93 CCD/Laser",
                  "EAN-13,UPC-A CCD/Laser", "EAN-8 CCD/Laser", "GTIN CCD/Laser",
                  "Industrial25 CCD/Laser", "Interleaved25 CCD/Laser", "Matrix25 CCD/Laser",
                  "MSI CCD/Laser", "Negative barcode CCD/Laser", "Pharmacode CCD/Laser",
                  "Plessey CCD/Laser", "RSS CCD/Laser", "Telepen CCD/Laser", "UPC-E CCD/Laser",
                  "RFID"}));
    EXPECT_EQ(section(file, "Code39 CCD/Laser"),
              "enable=1\r\ncheckdigitverification=0\r\ntransmitcheckdigit=1\r\nfullascii=0\r\n"
              "transmitstartstopchar=0\r\n");
    EXPECT_TRUE(file.ends_with(
        "\r\n[RFID]\r\nhasrfid=5\r\nenablerfid=1\r\nrfidrw=0\r\nrfidreadstartbyte=-1\r\n"
        "rfidreadlength=10\r\ndisplayuserdatabyhex=0\r\nrfidwritestartbyte=-1\r\n"
        "rfidwritecontent=\r\nishexcontent=0\r\nmifareloginkeya=A1B2C3D4E5F6\r\n"
        "m_rfidsecuritykeytype=0\r\n"))
        << file;
}

TEST_F(PersistenceTest, TheImagerDecodeTimeoutTravelsAsSecondsInTheFile) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    opener.plug("COM1:", engine);
    {
        Program first(*this);
        first.start();
        ASSERT_EQ(engine.parameter(packet::param(0x88)), 30);
        EXPECT_EQ(first.quit(), std::nullopt);
    }
    const std::string file = readFile();
    EXPECT_EQ(headers(file),
              (std::vector<std::string>{
                  "General", "Barcode Reader 2D", "Codabar 2D/1D_LR", "Code11 2D",
                  "Code128 2D/1D_LR", "Code39 2D/1D_LR", "Code93 2D/1D_LR", "Composite 2D",
                  "Industrial25 2D/1D_LR", "EAN,JAN 2D/1D_LR", "Interleaved25 2D/1D_LR",
                  "MacroPDF 2D", "Miscellaneous Option 2D/1D_LR", "MSI 2D/1D_LR", "PostalCode 2D",
                  "RSS 2D/1D_LR", "2D Symbologies", "UPC 2D/1D_LR", "Symbology security level, 2D",
                  "Image 2D"}));
    const std::string reader = section(file, "Barcode Reader 2D");
    EXPECT_TRUE(reader.starts_with("has2d=1\r\nenablebarcode=1\r\nlaserontime=3\r\n")) << reader;
    EXPECT_EQ(reader.find("scanmode"), std::string::npos);
    const std::string image = section(file, "Image 2D");
    EXPECT_TRUE(image.starts_with("enable=0\r\n")) << image;
    EXPECT_EQ(image.find("snapshotmodetimeout"), std::string::npos);

    // The next start imports 3 seconds as 30 tenths.
    engine.setParameter(packet::param(0x88), 50);
    {
        Program second(*this);
        second.start();
        EXPECT_EQ(engine.parameter(packet::param(0x88)), 30);
    }
    // A file changed by hand: 7 seconds reach the engine as 70, in a parameter send.
    std::string edited = readFile();
    edited.replace(edited.find("laserontime=3"), 13, "laserontime=7");
    writeFile(edited);
    engine.clearCommands();
    {
        Program third(*this);
        third.start();
        EXPECT_EQ(engine.parameter(packet::param(0x88)), 70);
        const auto sends = paramSends(engine);
        EXPECT_TRUE(std::any_of(sends.begin(), sends.end(),
                                [](const Bytes& s) { return carries(s, {0x88, 70}); }));
    }

    // Seconds beyond the engine's byte stop at 25 instead of wrapping (or overflowing).
    for (const char* seconds : {"99999", "2147483647"}) {
        edited = readFile();
        const std::size_t at = edited.find("laserontime=");
        edited.replace(at, edited.find("\r\n", at) - at, std::string("laserontime=") + seconds);
        writeFile(edited);
        Program next(*this);
        next.start();
        EXPECT_EQ(engine.parameter(packet::param(0x88)), 250) << seconds;
    }
}

TEST_F(PersistenceTest, AFileWithoutImportIsReadForThatKeyAloneAndWrittenBackWhole) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    opener.plug("COM1:", engine);
    writeFile("\r\n[General]\r\nloadIniWhenStart=0\r\nhomeUrl=http://elsewhere\r\n"
              "\r\n[code39 2d/1d_lr]\r\nenable=0\r\n"
              "\r\n[vendor extra]\r\nalpha=1\r\nbeta=Two Words\r\n");
    Program program(*this);
    program.start();
    EXPECT_EQ(rfid.requests, std::vector{ReaderType::Auto});
    EXPECT_EQ(program.manager.scannerType(1), ReaderType::Imager2D);
    EXPECT_EQ(program.options.homeUrl, u"");
    EXPECT_EQ(program.options.loadIniWhenStart, 1);
    EXPECT_EQ(engine.parameter(packet::param(0x00)), 1);  // the start-up value, not the file's

    EXPECT_EQ(program.quit(), std::nullopt);
    const std::string file = readFile();
    EXPECT_TRUE(
        file.starts_with("\r\n[general]\r\nloadiniwhenstart=1\r\nhomeurl=\r\npassword=\r\n"))
        << file;
    EXPECT_EQ(section(file, "code39 2d/1d_lr"), "enable=0\r\n");
    EXPECT_NE(file.find("\r\n[vendor extra]\r\nalpha=1\r\nbeta=Two Words\r\n\r\n[Barcode Reader 2D]"),
              std::string::npos)
        << file;
}

TEST_F(PersistenceTest, ImportWithoutPresenceKeysLooksForNoReader) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    opener.plug("COM1:", engine);
    rfid.kind = ReaderType::RfidText;
    writeFile("[General]\r\nloadIniWhenStart=1\r\n[RFID]\r\nhasRfid=0\r\n");
    Program program(*this);
    program.start();
    EXPECT_TRUE(engine.commands().empty());
    EXPECT_TRUE(rfid.requests.empty());
    EXPECT_EQ(program.threadStarts, 0);
    EXPECT_EQ(program.manager.scannerType(1), ReaderType::None);
    EXPECT_FALSE(program.manager.barcodeAvailable());
    EXPECT_FALSE(program.manager.rfidAvailable());
}

TEST_F(PersistenceTest, A2DPresenceKeyOnACcdTerminalLooksOnlyForA2DEngine) {
    sim::CcdLaserEngine ccd;
    opener.plug("COM1:", ccd);
    writeFile("[General]\r\nloadIniWhenStart=1\r\n[Barcode Reader 2D]\r\nhas2D=1\r\n");
    Program program(*this);
    program.start();
    EXPECT_EQ(program.manager.scannerType(1), ReaderType::None);
    EXPECT_EQ(program.threadStarts, 0);
    for (const Bytes& command : ccd.commands()) {
        EXPECT_NE(std::string(command.begin(), command.end()).substr(0, 3), "REV");
    }
}

TEST_F(PersistenceTest, A2DExportKeepsExistingSectionsButRefreshesUpc) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    opener.plug("COM1:", engine);
    writeFile("[General]\r\nloadIniWhenStart=1\r\n[Barcode Reader 2D]\r\nhas2D=1\r\n"
              "[Code39 2D/1D_LR]\r\nenable=0\r\nlength1=7\r\n"
              "[UPC 2D/1D_LR]\r\nenableUPC_A=0\r\n");
    Program program(*this);
    program.start();
    EXPECT_EQ(program.threadStarts, 1);
    EXPECT_EQ(engine.parameter(packet::param(0x00)), 0);  // imported
    EXPECT_EQ(engine.parameter(packet::param(0x12)), 7);
    EXPECT_EQ(engine.parameter(packet::param(0x13)), 55);  // not in the file: left alone
    EXPECT_EQ(engine.parameter(packet::param(0x01)), 0);

    // The values change in the engine behind the program's back.
    engine.setParameter(packet::param(0x00), 1);
    engine.setParameter(packet::param(0x12), 9);
    engine.setParameter(packet::param(0x01), 1);
    EXPECT_EQ(program.quit(), std::nullopt);
    const std::string file = readFile();
    EXPECT_EQ(section(file, "code39 2d/1d_lr"), "enable=0\r\nlength1=7\r\n");
    EXPECT_TRUE(section(file, "upc 2d/1d_lr").starts_with("enableupc_a=1\r\nenableupc_e=1\r\n"))
        << file;
    // The reader section was there: only the file's own keys.
    EXPECT_EQ(section(file, "barcode reader 2d"), "has2d=1\r\n");
}

TEST_F(PersistenceTest, ARefusedSectionDoesNotStopTheImport) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    opener.plug("COM1:", engine);
    writeFile("[General]\r\nloadIniWhenStart=0\r\n");
    Program program(*this);
    program.start();
    const std::string_view text =
        "[General]\r\nhomeUrl=next\r\n[Codabar 2D/1D_LR]\r\nenable=0\r\n"
        "[Code39 2D/1D_LR]\r\nenable=0\r\n";
    ASSERT_TRUE(program.store.loadBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
    engine.misbehave(sim::Fault::Silence, 5);  // every try of the Codabar send
    program.settings.importSettings();
    EXPECT_EQ(engine.parameter(packet::param(0x07)), 1);  // Codabar refused
    EXPECT_EQ(engine.parameter(packet::param(0x00)), 0);  // Code 39 went on
    EXPECT_EQ(program.options.homeUrl, u"next");
}

TEST_F(PersistenceTest, ALongRangeExportAddsItsReaderSectionOnce) {
    sim::PacketEngine engine(PacketKind::LongRange1D955, 38400);
    opener.plug("COM1:", engine);
    registry.create(platform::Hive::LocalMachine, "Ident")
        ->set("DeviceModel", platform::RegValue::sz("DEVK210CE"));
    writeFile("[General]\r\nloadIniWhenStart=1\r\n[Barcode Reader 1D_LR]\r\nhas1D_955=1\r\n"
              "enableBarcode=0\r\nlaserOnTime=50\r\n[Code93 2D/1D_LR]\r\nlength1=6\r\n");
    Program program(*this);
    program.start();
    EXPECT_FALSE(program.manager.barcodeAvailable());
    EXPECT_EQ(engine.parameter(packet::param(0x88)), 50);
    EXPECT_EQ(engine.parameter(packet::param(0x1A)), 6);

    engine.setParameter(packet::param(0x1A), 8);
    EXPECT_EQ(program.quit(), std::nullopt);
    const std::string file = readFile();
    EXPECT_EQ(section(file, "barcode reader 1d_lr"),
              "has1d_955=1\r\nenablebarcode=0\r\nlaserontime=50\r\n");
    EXPECT_EQ(section(file, "code93 2d/1d_lr"), "length1=8\r\nenable=1\r\nlength2=55\r\n");
    const auto names = headers(file);
    EXPECT_EQ(std::vector<std::string>(names.end() - 2, names.end()),
              (std::vector<std::string>{"Code11 2D", "Chinese25"}));
}

TEST_F(PersistenceTest, RfidKeysFollowTheReaderKind) {
    rfid.kind = ReaderType::RfidFrame;
    writeFile("[General]\r\nloadIniWhenStart=1\r\n[RFID]\r\nhasRfid=6\r\nenableRfid=0\r\n"
              "rfidReadLength=4\r\nmifareLoginKeyA=FFFFFFFFFFFF\r\ntimeOfPowerOn=60\r\n");
    {
        Program program(*this);
        program.start();
        EXPECT_EQ(rfid.requests, std::vector{ReaderType::RfidFrame});
        EXPECT_FALSE(program.manager.rfidAvailable());
        EXPECT_EQ(program.options.rfidReadLength, 4);
        EXPECT_EQ(program.options.mifareLoginKeyA, u"A1B2C3D4E5F6");  // not a frame reader's
        EXPECT_EQ(idle.value, 60u);
        EXPECT_EQ(program.quit(), std::nullopt);
        const std::string rfidSection = section(readFile(), "rfid");
        EXPECT_TRUE(rfidSection.starts_with("hasrfid=6\r\nenablerfid=0\r\nrfidreadlength=4\r\n"))
            << rfidSection;
        EXPECT_NE(rfidSection.find("timeofpoweron=60\r\n"), std::string::npos);
    }
    // A time of 0 or below would close the port at once or overflow the wait: kept as it was.
    for (const char* bad : {"0", "-5"}) {
        writeFile(std::string("[General]\r\nloadIniWhenStart=1\r\n[RFID]\r\nhasRfid=6\r\n"
                              "timeOfPowerOn=") + bad + "\r\n");
        Program program(*this);
        program.start();
        EXPECT_EQ(idle.value, 60u) << bad;
    }
    rfid.kind = ReaderType::RfidText;
    writeFile("[General]\r\nloadIniWhenStart=1\r\n[RFID]\r\nhasRfid=1\r\n"
              "mifareLoginKeyA=FFFFFFFFFFFF\r\nm_rfidSecurityKeyType=1\r\ntimeOfPowerOn=90\r\n");
    Program program(*this);
    program.start();
    EXPECT_EQ(program.options.mifareLoginKeyA, u"FFFFFFFFFFFF");
    EXPECT_EQ(program.options.m_rfidSecurityKeyType, 1);
    EXPECT_EQ(idle.value, 60u);
}

TEST_F(PersistenceTest, ASaveThatFailsReportsTheStoreText) {
    Program program(*this);
    program.start();
    std::filesystem::remove_all(iniPath().parent_path());  // no folder to write into
    EXPECT_EQ(program.quit(), std::u16string(kIniWriteError));

    // A write-protected file is not replaced behind the user's back.
    std::filesystem::create_directories(iniPath().parent_path());
    writeFile("[General]\r\nhomeUrl=kept\r\n");
    std::filesystem::permissions(iniPath(), std::filesystem::perms::owner_read);
    EXPECT_EQ(program.quit(), std::u16string(kIniWriteError));
    EXPECT_EQ(readFile(), "[General]\r\nhomeUrl=kept\r\n");
}

TEST_F(PersistenceTest, AFileThatCouldNotBeReadIsNeverReplaced) {
    const std::string original = "[General]\r\nhomeUrl=precious\r\n[Vendor]\r\nkey=1\r\n";
    writeFile(original);
    std::filesystem::permissions(iniPath(), std::filesystem::perms::none);
    if (std::ifstream(iniPath())) GTEST_SKIP() << "this user reads every file";
    Program program(*this);
    program.start();
    EXPECT_EQ(program.quit(), std::u16string(kIniWriteError));
    std::filesystem::permissions(iniPath(), std::filesystem::perms::owner_all);
    EXPECT_EQ(readFile(), original);
}

TEST_F(PersistenceTest, WriteThroughOnlyWhileExportingIsOn) {
    Program program(*this);
    int lock = 1;
    const std::vector<KeyRef> refs{&lock,   nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    EXPECT_FALSE(program.settings.writeThrough("General", refs));
    EXPECT_TRUE(program.store.isEmpty());
    program.options.updateIniWhenExit = 1;
    EXPECT_TRUE(program.settings.writeThrough("General", refs));
    EXPECT_TRUE(program.settings.writeThrough("RFID", reader::KeyValues{{"hasRfid", 1}, {"x", 2}}));
    EXPECT_EQ(program.store.text(), "\r\n[General]\r\nlockscreen=1\r\n\r\n[RFID]\r\nhasrfid=1\r\n");
}

}  // namespace
}  // namespace tessel::settings
