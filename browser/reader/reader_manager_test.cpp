#include "browser/reader/reader_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/temp_dir.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"
#include "sim/pictures.h"

namespace tessel::reader {
namespace {

using platform::Millis;
using sim::PacketKind;
namespace packet = sim::packet;

// Ports whose device can vanish as a USB adapter does: reads and writes fail with EIO while it
// is gone, and opening fails with ENOENT.
class VanishingOpener final : public platform::SerialPortOpener {
  public:
    explicit VanishingOpener(platform::SerialPortOpener& inner) : inner_(inner) {}
    std::unique_ptr<platform::SerialPort> open(std::string_view name, int& error) override {
        if (gone) {
            error = ENOENT;
            return nullptr;
        }
        auto port = inner_.open(name, error);
        return port ? std::make_unique<Port>(std::move(port), gone) : nullptr;
    }
    bool gone = false;

  private:
    class Port final : public platform::SerialPort {
      public:
        Port(std::unique_ptr<platform::SerialPort> inner, const bool& gone)
            : inner_(std::move(inner)), gone_(gone) {}
        bool configure(const platform::LineSettings& l) override {
            return ok() && inner_->configure(l);
        }
        platform::LineSettings settings() const override { return inner_->settings(); }
        bool setRts(bool on) override { return ok() && inner_->setRts(on); }
        bool setDtr(bool on) override { return ok() && inner_->setDtr(on); }
        std::optional<bool> cts() override { return gone_ ? std::nullopt : inner_->cts(); }
        bool purge() override { return ok() && inner_->purge(); }
        bool readByte(std::uint8_t& out, Millis t) override {
            return ok() && inner_->readByte(out, t);
        }
        std::size_t write(std::span<const std::uint8_t> b, Millis t) override {
            return ok() ? inner_->write(b, t) : 0;
        }
        bool drain(Millis t) override { return ok() && inner_->drain(t); }
        int lastError() const override { return gone_ ? EIO : inner_->lastError(); }

      private:
        bool ok() const { return !gone_; }
        std::unique_ptr<platform::SerialPort> inner_;
        const bool& gone_;
    };
    platform::SerialPortOpener& inner_;
};

class FakeRfid final : public RfidReader {
  public:
    ReaderType kind = ReaderType::RfidModule;
    bool start(ReaderPort& port, ReaderType) override {
        port.lastError = openError;
        if (openError == 0) port.type = kind;
        return openError == 0;
    }
    bool stopIfFree() override { return true; }
    void close() override { ++closes; }

    int openError = 0;
    int closes = 0;
};

class Progress final : public ImageProgressWindow {
  public:
    void setRange(int low, int high) override { range = {low, high}; }
    void setPosition(int p) override { positions.push_back(p); }
    std::pair<int, int> range{-1, -1};
    std::vector<int> positions;
};

class ManagerTest : public ::testing::Test {
  protected:
    ManagerTest() { setModel("DEVK220CE"); }

    void setModel(const char* ident) {
        registry.create(platform::Hive::LocalMachine, "Ident")
            ->set("DeviceModel", platform::RegValue::sz(ident));
    }
    void plug(platform::DeviceModel& engine) { opener.plug("COM1:", engine); }

    // Waits of at least 200 ms: the pauses, not the line's handshake polls.
    std::vector<Millis> pauses() const {
        std::vector<Millis> out;
        for (auto w : clock.waits()) {
            if (w >= Millis(200)) out.push_back(std::chrono::duration_cast<Millis>(w));
        }
        return out;
    }

    platform::TempDir dir;
    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    VanishingOpener vanishing{opener};
    platform::Registry registry{dir.path() / "registry.txt", clock};
    platform::TableLibraryLoader loader;
    FakeRfid rfid;
    ReaderManager manager{{vanishing, clock, registry, loader, platform::jpegImaging(), &rfid}};
};

TEST_F(ManagerTest, DetectionOrderFollowsModelAndRequest) {
    struct Case {
        const char* ident;
        ReaderType request;
        PacketKind engine;
        std::uint32_t baud;
        std::vector<Millis> pauses;  // after the 500 ms settling
    };
    const Case cases[] = {
        {"DEVK210CE", ReaderType::Auto, PacketKind::Imager2D4507, 115200, {Millis(2500)}},
        {"DEVK210CE", ReaderType::Auto, PacketKind::LongRange1D955, 38400, {}},
        {"DEVK220CE", ReaderType::Auto, PacketKind::LongRange1D, 38400, {}},
        {"Pocket_PC", ReaderType::Auto, PacketKind::Imager2D, 115200, {Millis(3000)}},
        {"DEVK220CE", ReaderType::Imager2D4507, PacketKind::Imager2D4507, 115200, {Millis(3000)}},
    };
    for (const Case& c : cases) {
        const std::string label = std::string(c.ident) + " kind " + std::to_string(int(c.engine));
        setModel(c.ident);
        sim::PacketEngine engine(c.engine, c.baud);
        plug(engine);
        clock.clearWaits();
        ReaderManager fresh{{opener, clock, registry, loader, platform::jpegImaging(), nullptr}};
        ASSERT_TRUE(fresh.start(c.request, ReaderType::None)) << label;
        EXPECT_EQ(fresh.scannerType(1), static_cast<ReaderType>(c.engine)) << label;
        auto waits = pauses();
        ASSERT_FALSE(waits.empty()) << label;
        EXPECT_EQ(waits.front(), Millis(500)) << label;
        waits.erase(waits.begin());
        EXPECT_EQ(waits, c.pauses) << label;
        fresh.shutdown();
    }
}

TEST_F(ManagerTest, K210TriesOnlyTheNewerLaserThenTheNewerImager) {
    setModel("DEVK210CE");
    sim::CcdLaserEngine ccd;  // the one engine a K210 never looks for
    plug(ccd);
    EXPECT_FALSE(manager.start(ReaderType::Auto, ReaderType::None));
    EXPECT_TRUE(ccd.commands().empty());
    EXPECT_EQ(pauses(), (std::vector<Millis>{Millis(500), Millis(2500)}));
    EXPECT_EQ(manager.messageText(), kNoBarcodeText);
    EXPECT_FALSE(manager.barcodeAvailable());
}

TEST_F(ManagerTest, StartTextsForMissingAndFailingReaders) {
    // Nothing on COM1 (open fails), request 0 for RFID: only the barcode text.
    EXPECT_FALSE(manager.start(ReaderType::Auto, ReaderType::None));
    EXPECT_EQ(manager.messageText(), "The barcode scanner fails, error code = 2\r\n");

    ReaderManager second{{opener, clock, registry, loader, platform::jpegImaging(), &rfid}};
    rfid.openError = 5;
    EXPECT_FALSE(second.start(ReaderType::None, ReaderType::Auto));
    EXPECT_EQ(second.messageText(), "The RFID scanner fails, error code = 5");

    ReaderManager third{{opener, clock, registry, loader, platform::jpegImaging(), nullptr}};
    EXPECT_FALSE(third.start(ReaderType::None, ReaderType::Auto));
    EXPECT_EQ(third.messageText(), kNoRfidText);
}

TEST_F(ManagerTest, BarcodeRequest0LeavesPort1Closed) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    plug(engine);
    EXPECT_TRUE(manager.start(ReaderType::None, ReaderType::Auto));
    EXPECT_FALSE(manager.port(1).isOpen());
    EXPECT_TRUE(engine.commands().empty());
    EXPECT_EQ(manager.messageText(), "");
    EXPECT_EQ(manager.scannerType(2), ReaderType::RfidModule);
}

TEST_F(ManagerTest, StartUpConfiguresAnImagerWithTheStartupValues) {
    sim::PacketEngine engine(PacketKind::Imager2D, 9600);
    engine.setParameter(packet::param(0x12), 9);  // Code 39 length1
    plug(engine);
    ASSERT_TRUE(manager.start(ReaderType::Auto, ReaderType::None));
    EXPECT_EQ(manager.scannerType(1), ReaderType::Imager2D);
    EXPECT_EQ(engine.baud(), 115200u);
    EXPECT_EQ(engine.parameter(packet::param(0x12)), 4);
    EXPECT_EQ(engine.parameter(packet::param(0x13)), 55);
    EXPECT_EQ(engine.parameter(packet::param(0xF0, 0x55)), 1);  // composite CC-C
    EXPECT_EQ(engine.parameter(packet::param(0x89)), 6);
    EXPECT_EQ(engine.parameter(packet::kScanModeParam), 8);
    EXPECT_EQ(manager.symbology().scanMode, 8);
    manager.shutdown();  // while the engine, a local, still stands
}

TEST_F(ManagerTest, StartUpResetsALongRangeLaserAndFindsItAgain) {
    sim::PacketEngine engine(PacketKind::LongRange1D, 38400);
    engine.setParameter(packet::param(0x4E), 7);
    plug(engine);
    ASSERT_TRUE(manager.start(ReaderType::LongRange1D, ReaderType::None));
    EXPECT_EQ(engine.baud(), 38400u);  // back up from the defaults' 9600
    EXPECT_EQ(engine.parameter(packet::param(0x4E)), 2);
    EXPECT_EQ(engine.parameter(packet::param(0x4D)), 1);
    EXPECT_EQ(engine.parameter(packet::param(0x88)), 30);
    manager.shutdown();  // while the engine, a local, still stands
}

TEST_F(ManagerTest, StartUpWritesTheTextEnginesBlock) {
    sim::CcdLaserEngine ccd;
    Bytes block = ccd.configBlock();
    block[0] = 0;  // every symbology off
    ccd.setConfigBlock(block);
    plug(ccd);
    ASSERT_TRUE(manager.start(ReaderType::CcdLaser, ReaderType::None));
    EXPECT_EQ(ccd.scanMode(), 6);
    EXPECT_EQ(ccd.configBlock()[21], 3);       // laser on time
    EXPECT_TRUE(ccd.configBlock()[0] & 0x80);  // Code 39
    EXPECT_TRUE(manager.symbology().hostOptions().convertToEAN13);
    manager.shutdown();  // while the engine, a local, still stands
}

TEST_F(ManagerTest, ReadsNothingWhileTheBarcodeReaderIsUnavailable) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    plug(engine);
    ASSERT_TRUE(manager.start(ReaderType::Imager2D, ReaderType::None));
    manager.setBarcodeAvailable(false);
    engine.clearCommands();
    engine.queueDecode({1, {'A', 'B'}});
    ScanResult result;
    EXPECT_FALSE(manager.readBarcode(3000, result));
    Bytes image;
    EXPECT_FALSE(manager.captureImage(3000, nullptr, image));
    EXPECT_TRUE(engine.commands().empty());

    manager.setBarcodeAvailable(true);
    ASSERT_TRUE(manager.readBarcode(3000, result));
    EXPECT_EQ(result.codeTypeName, "Code 39");
    EXPECT_EQ(result.data, (Bytes{'A', 'B'}));
    EXPECT_EQ(manager.lastResult(), result);
    EXPECT_FALSE(engine.triggered());
    manager.shutdown();  // while the engine, a local, still stands
}

TEST_F(ManagerTest, TextEngineInScanMode7RefusesAnUnknownCode) {
    sim::CcdLaserEngine ccd;
    plug(ccd);
    ASSERT_TRUE(manager.start(ReaderType::CcdLaser, ReaderType::None));
    KeyValues mode{{"scanMode", 7}};
    ASSERT_TRUE(manager.symbology().configure("Barcode Reader CCD/Laser", 'w', mode));
    ccd.queueDecode({'X', {'1', '2', '3'}});
    ScanResult result;
    EXPECT_FALSE(manager.readBarcode(3000, result));
    ccd.queueDecode({'H', {'1', '2', '3'}});
    ASSERT_TRUE(manager.readBarcode(3000, result));
    EXPECT_EQ(result.codeTypeName, "Code 93");
    EXPECT_FALSE(ccd.triggered());  // listened, never triggered
    manager.shutdown();  // while the engine, a local, still stands
}

TEST_F(ManagerTest, ResetWaitsForTheReadThatHoldsThePort) {
    sim::CcdLaserEngine ccd;
    plug(ccd);
    ASSERT_TRUE(manager.start(ReaderType::CcdLaser, ReaderType::None));
    ReaderPort& port = manager.port(1);
    port.portLock.wait(platform::kInfinite);  // a listening read in progress
    std::atomic<bool> done{false};
    std::thread reset([&] {
        EXPECT_TRUE(manager.resetPort1());
        done = true;
    });
    std::this_thread::sleep_for(Millis(20));
    EXPECT_FALSE(done);
    EXPECT_TRUE(port.isOpen());
    port.portLock.release();
    reset.join();
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.serial()->settings().baud, 115200u);
    manager.shutdown();
}

TEST_F(ManagerTest, CapturedImagesAreTurnedOnTheOlderTerminals) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    engine.setParameter(packet::kImageFormatParam, packet::kBmpFormat);
    plug(engine);
    ASSERT_TRUE(manager.start(ReaderType::Imager2D, ReaderType::None));
    Progress progress;
    Bytes image;
    ASSERT_TRUE(manager.captureImage(3000, &progress, image));
    EXPECT_EQ(progress.range, (std::pair{0, 100}));
    EXPECT_EQ(progress.positions.back(), 100);
    EXPECT_EQ(platform::jpegImaging().decode(image), platform::rotate180(sim::scene()));
    EXPECT_EQ(manager.processedImage(), image);

    engine.setParameter(packet::kImageFormatParam, 1);
    ASSERT_TRUE(manager.captureImage(3000, nullptr, image));
    const Bytes jpeg = sim::sceneFile(platform::PictureFormat::Jpeg);
    EXPECT_LE(image.size(), jpeg.size());
    const auto sent = platform::jpegImaging().decode(jpeg);
    const auto turned = platform::jpegImaging().decode(image);
    ASSERT_TRUE(sent && turned);
    EXPECT_EQ(*turned, platform::rotate180(*sent));  // the lossless turn
    manager.shutdown();  // while the engine, a local, still stands
}

TEST_F(ManagerTest, K240DeliversTheImageAsReceivedAndTheHandheldCapturesNothing) {
    setModel("DEVK240CE");
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    const Bytes jpeg = sim::sceneFile(platform::PictureFormat::Jpeg);
    plug(engine);
    ASSERT_TRUE(manager.start(ReaderType::Imager2D, ReaderType::None));
    Bytes image;
    ASSERT_TRUE(manager.captureImage(3000, nullptr, image));
    EXPECT_EQ(image, jpeg);

    setModel("Pocket_PC");
    manager.shutdown();
    ASSERT_TRUE(manager.start(ReaderType::Imager2D, ReaderType::None));
    engine.clearCommands();
    EXPECT_FALSE(manager.captureImage(3000, nullptr, image));
    EXPECT_TRUE(engine.commands().empty());
}

TEST_F(ManagerTest, ReadsRecoverWhenAVanishedEngineComesBack) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    plug(engine);
    ASSERT_TRUE(manager.start(ReaderType::Imager2D, ReaderType::None));
    ScanResult result;
    engine.queueDecode({1, {'4', '2'}});  // waits for the next trigger

    vanishing.gone = true;
    EXPECT_FALSE(manager.readBarcode(3000, result));
    EXPECT_EQ(manager.lastError(1), EIO);
    EXPECT_FALSE(manager.port(1).isOpen());
    const auto before = clock.now();
    EXPECT_FALSE(manager.readBarcode(3000, result));
    EXPECT_EQ(manager.lastError(1), ENOENT);
    EXPECT_EQ(clock.now(), before);  // fails at once while away

    vanishing.gone = false;
    ASSERT_TRUE(manager.readBarcode(3000, result));
    EXPECT_EQ(result.data, (Bytes{'4', '2'}));
    EXPECT_EQ(manager.port(1).speed(), 115200u);
    manager.shutdown();  // while the engine, a local, still stands
}

TEST_F(ManagerTest, ASilentEngineFailsTheReadInTimeAndWorksWhenBack) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    plug(engine);
    ASSERT_TRUE(manager.start(ReaderType::Imager2D, ReaderType::None));
    engine.unplug();
    ScanResult result;
    const auto before = clock.now();
    EXPECT_FALSE(manager.readBarcode(3000, result));
    EXPECT_LT(clock.now() - before, Millis(5000));
    engine.plugIn();
    engine.queueDecode({1, {'7'}});
    EXPECT_TRUE(manager.readBarcode(3000, result));
    manager.shutdown();  // while the engine, a local, still stands
}

TEST_F(ManagerTest, CloseGivesTheTextEngineItsHostOptionsAndRebuildsThePort) {
    sim::CcdLaserEngine ccd;
    plug(ccd);
    ASSERT_TRUE(manager.start(ReaderType::CcdLaser, ReaderType::Auto));
    std::vector<int*> values(9, nullptr);
    int off = 0;
    values[6] = &off;  // convertToEAN13 on the host only
    ASSERT_TRUE(manager.symbology().configure("EAN-13,UPC-A CCD/Laser", 'w', values));
    EXPECT_TRUE(ccd.configBlock()[9] & 0x01);
    manager.shutdown();
    EXPECT_FALSE(ccd.configBlock()[9] & 0x01);
    EXPECT_FALSE(manager.port(1).isOpen());
    EXPECT_EQ(manager.scannerType(1), ReaderType::None);
    EXPECT_FALSE(manager.barcodeAvailable());
    EXPECT_FALSE(manager.rfidAvailable());
    EXPECT_EQ(rfid.closes, 1);
}

}  // namespace
}  // namespace tessel::reader
