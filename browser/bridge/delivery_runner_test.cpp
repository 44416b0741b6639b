#include "browser/bridge/delivery_runner.h"

#include <gtest/gtest.h>

namespace tessel::bridge {
namespace {

// Records each page call and the keyboard calls made before it.
class RecordingPage final : public platform::PageDocument {
public:
    explicit RecordingPage(const platform::RecordingKeyboard& keyboard) : keyboard_(keyboard) {}

    platform::PageCall call(std::u16string_view name,
                            std::span<const std::u16string> args) override {
        calls.push_back({std::u16string(name), {args.begin(), args.end()}});
        keysBeforeCall = keyboard_.calls().size();
        return {platform::PageCall::Outcome::Threw, {}, 0};
    }

    std::vector<std::pair<std::u16string, ScanArgs>> calls;
    std::size_t keysBeforeCall = 0;

private:
    const platform::RecordingKeyboard& keyboard_;
};

class Runner : public ::testing::Test {
protected:
    Runner() { invoker.setDocument(page); }

    platform::RecordingKeyboard keyboard;
    platform::VirtualClock clock;
    KeyboardEmulation keys{keyboard, clock};
    platform::Semaphore vibration{0, 1, clock};
    platform::Semaphore goodRead{0, 1, clock};
    std::vector<std::u16string> shown;
    ScriptInvoker invoker;
    std::shared_ptr<RecordingPage> page = std::make_shared<RecordingPage>(keyboard);
    DeliveryRunner runner{keys, vibration, goodRead,
                          [this](std::u16string_view text) { shown.emplace_back(text); }, invoker};
};

TEST_F(Runner, BarcodeIsTypedSignalledShownAndCalledEvenWhenThePageThrows) {
    settings::BrowserOptions options;
    options.keyboardEmu = 1;
    const BarcodeScan scan{reader::ReaderType::CcdLaser, 'A', "Code 39", {'A', 'B', 'C'}};
    runner.run(deliverBarcode(scan, options, 0));
    runner.run(deliverBarcode(scan, options, 0));

    // Typed before the call: a post of ABC and the carriage-return press, each time.
    EXPECT_EQ(page->keysBeforeCall, 6u);
    EXPECT_EQ(shown, (std::vector<std::u16string>(2, u"type : Code 39\r\ncode : ABC")));
    ASSERT_EQ(page->calls.size(), 2u);
    EXPECT_EQ(page->calls[1].first, u"onScanBarcode");
    EXPECT_EQ(page->calls[1].second, (ScanArgs{u"A", u"ABC"}));
    // Two scans while nobody took the first signal leave one signal of each kind pending.
    EXPECT_EQ(vibration.count(), 1);
    EXPECT_EQ(goodRead.count(), 1);
}

TEST_F(Runner, ErrorsOnlyCallThePage) {
    runner.run(*deliverScanError(kRfidPort, 30004));
    EXPECT_TRUE(keyboard.calls().empty());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(vibration.count(), 0);
    ASSERT_EQ(page->calls.size(), 1u);
    EXPECT_EQ(page->calls[0].first, u"onScanRfidError");
    EXPECT_EQ(page->calls[0].second, (ScanArgs{u"30004"}));
}

}  // namespace
}  // namespace tessel::bridge
