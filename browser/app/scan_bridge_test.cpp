// Scan delivery on the window thread against simulated readers on the virtual port: what is
// typed, signalled, shown and called for barcodes, tags, images and decode errors.

#include "browser/app/scan_bridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "browser/bridge/notification_workers.h"
#include "platform/headless/fake_web_view.h"
#include "platform/headless/headless_ui.h"
#include "platform/sound.h"
#include "platform/temp_dir.h"
#include "platform/virtual_serial.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"
#include "sim/rfid_text_reader.h"

namespace tessel::app {
namespace {

using platform::PageCall;
using platform::headless::FakeDocument;
using Args = std::vector<std::u16string>;

// The text a character-mode recording shows: posted runs and the keys pressed between them.
std::u16string typedText(const platform::RecordingKeyboard& keyboard) {
    std::u16string text;
    for (const auto& call : keyboard.calls()) {
        if (const auto* post = std::get_if<platform::RecordingKeyboard::Post>(&call)) {
            for (std::uint32_t c : post->characters) text += static_cast<char16_t>(c);
        } else {
            const auto& key = std::get<platform::RecordingKeyboard::KeyEvent>(call);
            if ((key.flags & 2) == 0) text += static_cast<char16_t>(key.virtualKey);
        }
    }
    return text;
}

PageCall returned() { return {PageCall::Outcome::Returned, {}, 0}; }

class ScanBridgeTest : public ::testing::Test {
  protected:
    ScanBridgeTest() {
        registry.create(platform::Hive::LocalMachine, "Ident")
            ->set("DeviceModel", platform::RegValue::sz("DEVK220CE"));
        for (const char16_t* name : {u"onScanBarcode", u"onScanRFID", u"onScanImage",
                                     u"onScanBarcodeError", u"onScanRfidError"})
            page->define(name, [](auto) { return returned(); });
        bridge.documentChanged(page);
    }

    void startEngine(platform::DeviceModel& engine, reader::ReaderType kind) {
        opener.plug("COM1:", engine);
        ASSERT_TRUE(manager.start(kind, reader::ReaderType::None));
    }
    void read() {
        reader::ScanResult result;
        ASSERT_TRUE(manager.readBarcode(3000, result));
        bridge.onDecode(1);
    }
    Args lastArgs(std::u16string_view function) const {
        for (auto it = page->calls().rbegin(); it != page->calls().rend(); ++it)
            if (it->name == function) return it->args;
        return {{u"<no call>"}};
    }

    platform::TempDir root;
    platform::DeviceFs fs{root.path()};
    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    platform::Registry registry{root.path() / "registry.txt", clock};
    platform::TableLibraryLoader loader;
    rfid::RfidLink link{opener, clock};
    rfid::FrameReaderFlags flags;
    rfid::ManagedRfidReader rfid{link, flags, {.idleThread = false}};
    reader::ReaderManager manager{
        {opener, clock, registry, loader, platform::jpegImaging(), &rfid}};
    platform::headless::HeadlessToolkit toolkit;
    platform::RecordingSoundPlayer sounds;
    ManagerReaders readers{{manager, rfid, toolkit, clock, sounds, [](auto, auto, auto) {}}};
    ManagerScanResults results{readers};

    settings::BrowserOptions options;
    int pageState = 0;
    platform::RecordingKeyboard keyboard;
    bridge::KeyboardEmulation keys{keyboard, clock};
    platform::Semaphore vibration{0, 1, clock};
    platform::Semaphore goodRead{0, 1, clock};
    std::vector<std::u16string> shown;
    std::vector<std::u16string> navigations;
    std::shared_ptr<FakeDocument> page = std::make_shared<FakeDocument>();
    ScanBridge::Parts partsWith(platform::Semaphore& vibrationWake,
                                platform::Semaphore& goodReadWake) {
        return {results,
                options,
                [this] { return pageState; },
                keys,
                vibrationWake,
                goodReadWake,
                [this](std::u16string_view text) { shown.emplace_back(text); },
                [this](std::u16string_view path) { navigations.emplace_back(path); },
                fs,
                u"\\Program Files\\Tessel\\",
                [] { return bridge::LocalTime{2012, 3, 3, 14, 5, 9}; }};
    }
    ScanBridge bridge{partsWith(vibration, goodRead)};
};

TEST_F(ScanBridgeTest, TextEngineBarcodeIsTypedSignalledShownAndCalledWithItsLetter) {
    sim::CcdLaserEngine ccd;
    startEngine(ccd, reader::ReaderType::CcdLaser);
    ccd.queueDecode({'A', {'1', '2', '3'}});
    read();
    EXPECT_EQ(typedText(keyboard), u"123\r");
    EXPECT_TRUE(vibration.tryWait());
    EXPECT_TRUE(goodRead.tryWait());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], u"type : Code 39\r\ncode : 123");
    EXPECT_EQ(lastArgs(u"onScanBarcode"), (Args{u"A", u"123"}));
}

TEST_F(ScanBridgeTest, ImagerBarcodeGetsHexCodeTypeAndCodePageText) {
    sim::PacketEngine imager(sim::PacketKind::Imager2D, 115200);
    startEngine(imager, reader::ReaderType::Imager2D);
    imager.queueDecode({1, {'A', 'B'}});
    read();
    EXPECT_EQ(lastArgs(u"onScanBarcode"), (Args{u"01", u"AB"}));
    // Data Matrix text is decoded in the system code page, NULs shown as spaces.
    imager.queueDecode({27, {0xC3, 0xA9, 0x00, 'x'}});
    read();
    EXPECT_EQ(lastArgs(u"onScanBarcode"), (Args{u"1b", u"\u00e9 x"}));
}

TEST_F(ScanBridgeTest, PrefixSuffixAndAutoEnterPlacementInBothKeyboardModes) {
    sim::CcdLaserEngine ccd;
    startEngine(ccd, reader::ReaderType::CcdLaser);
    options.prefixStr = u"<";
    options.suffixStr = u">";
    options.displayCodeType = 1;
    options.displayCodeLength = 1;
    options.autoEnter = 2;
    options.autoEnterChar = 2;  // tab, in front of everything
    ccd.queueDecode({'A', {'4', '2'}});
    read();
    EXPECT_EQ(typedText(keyboard), u"\t<Code 39,42,2>");

    // Key strokes: "a" is the A key without shift; "None" types no enter character at all.
    const std::size_t before = keyboard.calls().size();
    options.keyboardEmu = 2;
    options.prefixStr = options.suffixStr = u"";
    options.displayCodeType = options.displayCodeLength = 0;
    options.autoEnterChar = 0;
    ccd.queueDecode({'A', {'a'}});
    read();
    std::vector<std::uint8_t> downs;
    const auto calls = keyboard.calls();
    for (std::size_t i = before; i < calls.size(); ++i) {
        const auto& key = std::get<platform::RecordingKeyboard::KeyEvent>(calls[i]);
        if ((key.flags & 2) == 0) downs.push_back(key.virtualKey);
    }
    EXPECT_EQ(downs, (std::vector<std::uint8_t>{65}));  // shift up is flagged key-up
    EXPECT_EQ(lastArgs(u"onScanBarcode"), (Args{u"A", u"a"}));
}

// The good-read workers woken by a scan run the vibrator and the LED, buzzer and sound.
TEST_F(ScanBridgeTest, ScanWakesTheGoodReadWorkers) {
    options.vibrationTime = 2;
    options.enableLed = 1;
    options.buzzerDuration = 3;
    options.goodReadBeepFileIdx = 5;
    platform::VirtualClock signalClock;
    platform::RecordingSoundPlayer sounds;
    reader::NotificationBinding binding;
    reader::Notifier notifier{binding, sounds, signalClock, reader::ModelIndex::K220};
    bridge::NotificationWorkers workers(
        notifier, [this] { return options; }, signalClock);
    ScanBridge signalling{partsWith(workers.vibration(), workers.goodRead())};
    signalling.documentChanged(page);
    sim::CcdLaserEngine ccd;
    startEngine(ccd, reader::ReaderType::CcdLaser);
    ccd.queueDecode({'A', {'1'}});
    reader::ScanResult result;
    ASSERT_TRUE(manager.readBarcode(3000, result));
    signalling.onDecode(1);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((sounds.requests().empty() || signalClock.waits().size() < 3) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    workers.stop();
    auto waits = signalClock.waits();
    std::sort(waits.begin(), waits.end());  // the two workers run side by side
    EXPECT_EQ(waits, (std::vector<platform::Micros>{platform::Millis(100), platform::Millis(300),
                                                    platform::Millis(1000)}));
    EXPECT_EQ(sounds.requests(), (std::vector<platform::RecordingSoundPlayer::Request>{
                                     {"\\Windows\\Notify", reader::kSoundFlags}}));
    EXPECT_EQ(lastArgs(u"onScanBarcode"), (Args{u"A", u"1"}));
}

TEST_F(ScanBridgeTest, ReaderPageStopsTypingButNotTheCallback) {
    sim::CcdLaserEngine ccd;
    startEngine(ccd, reader::ReaderType::CcdLaser);
    pageState = -1;
    ccd.queueDecode({'A', {'9'}});
    read();
    EXPECT_TRUE(keyboard.calls().empty());
    EXPECT_EQ(lastArgs(u"onScanBarcode"), (Args{u"A", u"9"}));
}

TEST_F(ScanBridgeTest, TagFromTheRfidReaderGoesToOnScanRfid) {
    sim::RfidTextReader text{1, 57600};
    text.insert(sim::MifareClassic(sim::MifareClassic::Kind::S50, {0xA1, 0xB2, 0xC3, 0xD4}));
    opener.plug("COM2:", text);
    registry.create(platform::Hive::LocalMachine, "Ident")
        ->set("DeviceModel", platform::RegValue::sz("DEVK230CE"));  // a text reader terminal
    ASSERT_TRUE(manager.start(reader::ReaderType::None, reader::ReaderType::Auto));
    rfid::RfidTagResult tag;
    ASSERT_TRUE(rfid.reader()->scan({-1, 0, "FFFFFFFFFFFF", 0}, tag));
    bridge.onDecode(2);
    EXPECT_EQ(typedText(keyboard), u"A1B2C3D4\r");
    EXPECT_TRUE(vibration.tryWait());
    EXPECT_TRUE(goodRead.tryWait());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], u"type : ISO14443 Type A, Mifare family\r\nuid : A1B2C3D4\r\nuser data : ");
    EXPECT_EQ(lastArgs(u"onScanRFID"), (Args{u"M", u"A1B2C3D4", u""}));
}

TEST_F(ScanBridgeTest, DecodeErrorsCarryThePortsLastErrorAndNothingElse) {
    manager.start(reader::ReaderType::Auto, reader::ReaderType::None);  // nothing on COM1
    bridge.onDecodeError(1);
    EXPECT_EQ(lastArgs(u"onScanBarcodeError"), (Args{u"2"}));  // ENOENT
    bridge.onDecodeError(2);
    EXPECT_EQ(lastArgs(u"onScanRfidError"), (Args{u"0"}));
    bridge.onDecodeError(3);
    EXPECT_EQ(page->calls().size(), 2u);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(keyboard.calls().empty());
    EXPECT_FALSE(vibration.tryWait());
}

TEST_F(ScanBridgeTest, CapturedImageIsSavedShownAndHandedToThePage) {
    sim::PacketEngine imager(sim::PacketKind::Imager2D, 115200);
    imager.setParameter(sim::packet::kImageFormatParam, sim::packet::kBmpFormat);
    startEngine(imager, reader::ReaderType::Imager2D);
    ASSERT_TRUE(readers.captureImage(3000, nullptr));
    const reader::Bytes image = readers.lastImage();
    bridge.onDecodeImage();

    // A bitmap is named ".bmp" though no option page ever set the image format.
    const std::u16string path = u"\\Program Files\\Tessel\\images\\120303140509.bmp";
    EXPECT_EQ(navigations, (std::vector<std::u16string>{path}));
    EXPECT_EQ(lastArgs(u"onScanImage"), (Args{path}));
    const auto file = root.path() / "Program Files" / "Tessel" / "images" / "120303140509.bmp";
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(reader::Bytes(std::istreambuf_iterator<char>(in), {}), image);
    EXPECT_FALSE(vibration.tryWait());  // images get no good-read signal
}

TEST_F(ScanBridgeTest, ImageThatCannotBeWrittenReachesNobody) {
    sim::PacketEngine imager(sim::PacketKind::Imager2D, 115200);
    startEngine(imager, reader::ReaderType::Imager2D);
    ASSERT_TRUE(readers.captureImage(3000, nullptr));
    std::ofstream(root.path() / "Program Files") << "a file where the folder should be";
    bridge.onDecodeImage();
    EXPECT_TRUE(navigations.empty());
    EXPECT_TRUE(page->calls().empty());
}

TEST_F(ScanBridgeTest, PageFailuresAreReportedWithTheInvokersText) {
    std::vector<std::u16string> reports;
    bridge.onInvokeFailure([&](std::u16string_view function, std::u16string_view text) {
        reports.push_back(std::u16string(function) + u": " + std::u16string(text));
    });
    auto failing = std::make_shared<FakeDocument>();
    failing->define(u"onScanBarcodeError", [](auto) {
        return PageCall{PageCall::Outcome::Threw, {}, 0};
    });
    failing->define(u"onScanRfidError", [](auto) {
        return PageCall{PageCall::Outcome::Failed, {}, 0x8002000E};
    });
    bridge.documentChanged(failing);
    bridge.onDecodeError(1);
    bridge.onDecodeError(2);
    bridge.onDecode(2);  // no onScanRFID on this page: silent
    EXPECT_EQ(reports, (std::vector<std::u16string>{u"onScanBarcodeError: DISP_E_EXCEPTION",
                                                    u"onScanRfidError: DISP_E_BADPARAMCOUNT"}));
    bridge.documentChanged(nullptr);
    bridge.onDecodeError(1);
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(failing->calls().size(), 3u);
}

// The three result messages go to the sink; the others are not its business.
TEST(ScanBridgeRouting, RegisteredMessagesReachTheSink) {
    struct Sink final : DecodeSink {
        void onDecode(std::uintptr_t w) override { seen.push_back("decode " + std::to_string(w)); }
        void onDecodeError(std::uintptr_t w) override {
            seen.push_back("error " + std::to_string(w));
        }
        void onDecodeImage() override { seen.push_back("image"); }
        std::vector<std::string> seen;
    } sink;
    EXPECT_TRUE(routeDecodeMessage(sink, Msg::Decode, 2));
    EXPECT_TRUE(routeDecodeMessage(sink, Msg::DecodeError, 1));
    EXPECT_TRUE(routeDecodeMessage(sink, Msg::DecodeImg, 1));
    EXPECT_FALSE(routeDecodeMessage(sink, Msg::User1Down, 0));
    EXPECT_FALSE(routeDecodeMessage(sink, Msg::WifiStrength, 3));
    EXPECT_EQ(sink.seen, (std::vector<std::string>{"decode 2", "error 1", "image"}));
}

}  // namespace
}  // namespace tessel::app
