#include "browser/bridge/scan_delivery.h"

#include <gtest/gtest.h>

namespace tessel::bridge {
namespace {

using reader::ReaderType;
using settings::BrowserOptions;

std::vector<std::uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

BarcodeScan barcode(ReaderType engine, int codeType, std::string_view data,
                    std::string name = "Code 39") {
    return {engine, codeType, std::move(name), bytes(data)};
}

BrowserOptions plainTyping() {
    BrowserOptions o;
    o.keyboardEmu = 1;
    o.autoEnter = 0;
    return o;
}

TEST(BarcodeDelivery, CodeTypeTextDependsOnTheEngine) {
    const BrowserOptions options;
    EXPECT_EQ(deliverBarcode(barcode(ReaderType::CcdLaser, 65, "X"), options, 0).args,
              (ScanArgs{u"A", u"X"}));
    EXPECT_EQ(deliverBarcode(barcode(ReaderType::Imager2D, 65, "X"), options, 0).args,
              (ScanArgs{u"41", u"X"}));
    EXPECT_EQ(codeTypeText(ReaderType::LongRange1D, 5), u"05");
    EXPECT_EQ(codeTypeText(ReaderType::Imager2D4507, 154), u"9a");
}

TEST(BarcodeDelivery, ImagerTextSymbologiesDecodeTheSystemCodePage) {
    const std::string_view raw("\xC3\xA9\0x", 4);
    EXPECT_EQ(displayData(ReaderType::Imager2D, 28, bytes(raw)), u"\u00e9 x");
    EXPECT_EQ(displayData(ReaderType::Imager2D4507, 17, bytes(raw)), u"\u00e9 x");
    // Other code types and engines keep one character per byte, NUL included.
    const std::u16string perByte(u"\u00c3\u00a9\0x", 4);
    EXPECT_EQ(displayData(ReaderType::Imager2D, 1, bytes(raw)), perByte);
    EXPECT_EQ(displayData(ReaderType::LongRange1D, 28, bytes(raw)), perByte);
}

TEST(BarcodeDelivery, ResultBoxNotifyAndCallback) {
    const Delivery d = deliverBarcode(barcode(ReaderType::CcdLaser, 'A', "ABC"), {}, 0);
    EXPECT_EQ(d.resultBox, u"type : Code 39\r\ncode : ABC");
    EXPECT_TRUE(d.notify);
    EXPECT_EQ(d.function, u"onScanBarcode");
}

TEST(BarcodeDelivery, TypedTextWithTypeLengthAndEnter) {
    BrowserOptions o;
    o.keyboardEmu = 1;
    o.displayCodeType = 1;
    o.displayCodeLength = 1;
    const Delivery d = deliverBarcode(barcode(ReaderType::CcdLaser, 'A', "ABC"), o, 0);
    EXPECT_EQ(d.typed, u"Code 39,ABC,3\r");
    EXPECT_FALSE(d.keyStrokes);

    o.keyboardEmu = 2;
    o.displayCodeType = 0;
    o.delimiter = 0;
    const Delivery strokes = deliverBarcode(barcode(ReaderType::CcdLaser, 'A', "ABC"), o, 0);
    EXPECT_EQ(strokes.typed, u"ABC3\r");
    EXPECT_TRUE(strokes.keyStrokes);
}

TEST(BarcodeDelivery, NothingTypedWhenOffOrOnTheReaderPage) {
    BrowserOptions o;
    o.keyboardEmu = 1;
    const Delivery onReaderPage = deliverBarcode(barcode(ReaderType::CcdLaser, 'A', "1"), o, -1);
    EXPECT_FALSE(onReaderPage.typed);
    EXPECT_EQ(onReaderPage.function, u"onScanBarcode");
    o.keyboardEmu = 0;
    EXPECT_FALSE(deliverBarcode(barcode(ReaderType::CcdLaser, 'A', "1"), o, 0).typed);
}

TEST(KeyboardText, PrefixAndSuffixWrapTheScanAndEnterStaysOutside) {
    BrowserOptions o = plainTyping();
    o.prefixStr = u"<";
    o.suffixStr = u">";
    o.displayCodeType = 1;
    o.displayCodeLength = 1;
    o.autoEnter = 1;
    o.autoEnterChar = 2;
    EXPECT_EQ(barcodeKeyboardText(o, u"EAN8", u"1234"), u"<EAN8,1234,4>\t");
    EXPECT_EQ(tagKeyboardText(o, u"E004"), u"<E004>\t");
    o.autoEnter = 2;
    EXPECT_EQ(barcodeKeyboardText(o, u"EAN8", u"1234"), u"\t<EAN8,1234,4>");
    o.displayUid = 0;
    EXPECT_EQ(tagKeyboardText(o, u"E004"), u"\t<>");
}

TEST(KeyboardText, NoneAndUnknownEnterCharactersTypeNothing) {
    BrowserOptions o = plainTyping();
    for (const int choice : {0, 6, -1, 13}) {
        o.autoEnterChar = choice;
        for (const int place : {1, 2}) {
            o.autoEnter = place;
            EXPECT_EQ(barcodeKeyboardText(o, u"", u"42"), u"42") << choice << " " << place;
        }
    }
    const std::u16string chosen = {*autoEnterCharacter(1), *autoEnterCharacter(2),
                                   *autoEnterCharacter(3), *autoEnterCharacter(4),
                                   *autoEnterCharacter(5)};
    EXPECT_EQ(chosen, u"\r\t ,;");
}

TEST(TagDelivery, FamilyLetterUidAndUserData) {
    BrowserOptions o;
    o.keyboardEmu = 1;
    o.displayUserDataByHex = 1;
    const rfid::RfidTagResult tag{3, "Mifare", "04A1B2", {0x41, 0x0A}, 16};
    const Delivery d = deliverTag(tag, o, 0);
    EXPECT_EQ(d.resultBox, u"type : Mifare\r\nuid : 04A1B2\r\nuser data : 410a");
    EXPECT_EQ(d.args, (ScanArgs{u"M", u"04A1B2", u"A\n"}));
    EXPECT_EQ(d.typed, u"04A1B2\r");
    EXPECT_EQ(d.function, u"onScanRFID");
    EXPECT_TRUE(d.notify);

    o.displayUserDataByHex = 0;
    EXPECT_EQ(deliverTag(tag, o, 0).resultBox, u"type : Mifare\r\nuid : 04A1B2\r\nuser data : A\n");
    EXPECT_EQ(deliverTag(rfid::RfidTagResult{}, o, 0).args[0], std::u16string(1, u'\0'));
}

TEST(TagDelivery, FamilyLetters) {
    std::u16string letters;
    for (int code = 1; code <= 16; ++code) letters += familyLetter(code);
    EXPECT_EQ(letters, u"IMMMZSZTVVVVVVVV");
    EXPECT_EQ(familyLetter(17), u"\x11");
}

TEST(ErrorDelivery, PortErrorsAsDecimalAndNothingElse) {
    const auto barcodeError = deliverScanError(1, 30001);
    ASSERT_TRUE(barcodeError);
    EXPECT_EQ(barcodeError->function, u"onScanBarcodeError");
    EXPECT_EQ(barcodeError->args, (ScanArgs{u"30001"}));
    EXPECT_FALSE(barcodeError->notify);
    EXPECT_FALSE(barcodeError->resultBox);
    EXPECT_FALSE(barcodeError->typed);
    EXPECT_EQ(deliverScanError(2, -5)->args, (ScanArgs{u"-5"}));
    EXPECT_EQ(deliverScanError(2, -5)->function, u"onScanRfidError");
    EXPECT_FALSE(deliverScanError(3, 1));
    EXPECT_EQ(deliverImage(u"\\images\\1.jpg").args, (ScanArgs{u"\\images\\1.jpg"}));
}

TEST(ImageFileName, TimeAndThePicturesOwnKind) {
    const LocalTime march{2012, 3, 3, 14, 5, 9};
    const auto jpeg = bytes("\xFF\xD8\xFF\xE0");
    const auto bitmap = bytes("BM\x36\x00");
    EXPECT_EQ(imageFileName(march, jpeg, 0), "120303140509.jpg");
    EXPECT_EQ(imageFileName({2012, 2, 1, 9, 5, 3}, jpeg, 1), "120201090503.jpg");
    // A bitmap is named as one whatever the format value says, and a JPEG as JPEG.
    EXPECT_EQ(imageFileName(march, bitmap, 0), "120303140509.bmp");
    EXPECT_EQ(imageFileName(march, jpeg, 3), "120303140509.jpg");
    // Unrecognised pictures fall back to the format value.
    EXPECT_EQ(imageFileName(march, bytes("??"), 3), "120303140509.bmp");
    EXPECT_EQ(imageFileName(march, {}, 0), "120303140509.jpg");
}

TEST(GoodReadOptions, NegativeLengthsCountAsZero) {
    BrowserOptions o;
    o.vibrationTime = -1;
    o.buzzerDuration = -20;
    o.enableLed = 1;
    o.buzzerFreq = 4;
    o.goodReadBeepFileIdx = 7;
    EXPECT_EQ(vibrationUnits(o), 0u);
    const reader::GoodReadSignal signal = goodReadSignal(o);
    EXPECT_EQ(signal.buzzerDuration, 0u);
    EXPECT_TRUE(signal.enableLed);
    EXPECT_EQ(signal.buzzerFreq, 4u);
    EXPECT_EQ(signal.goodReadBeepFileIdx, 7);
    o.vibrationTime = 3;
    EXPECT_EQ(vibrationUnits(o), 3u);
}

}  // namespace
}  // namespace tessel::bridge
