#include "browser/bridge/scan_delivery.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "browser/settings/text8.h"
#include "platform/code_page.h"

namespace tessel::bridge {
namespace {

using reader::ReaderType;
using settings::fromEightBit;

// Code types of the 2D imagers whose data is text in the system code page.
constexpr std::array<std::int32_t, 3> kTextSymbologies{17, 27, 28};  // PDF417, Data Matrix, QR

std::u16string ascii(const char* text) {
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string fromBytes(std::span<const std::uint8_t> bytes) {
    return std::u16string(bytes.begin(), bytes.end());
}

std::u16string hexBytes(std::span<const std::uint8_t> bytes) {
    std::u16string out;
    for (const std::uint8_t b : bytes) {
        std::array<char, 3> digits{};
        std::snprintf(digits.data(), digits.size(), "%02x", b);
        out += ascii(digits.data());
    }
    return out;
}

std::u16string decimal(std::int64_t value) { return ascii(std::to_string(value).c_str()); }

bool typesText(const settings::BrowserOptions& options, int pageState) {
    return options.keyboardEmu != 0 && pageState >= 0;
}

// The delimiter character, or nothing when delimiter is 0.
std::u16string delimiterText(const settings::BrowserOptions& options) {
    if (options.delimiter == 0) return {};
    return std::u16string(1, static_cast<char16_t>(options.delimiter));
}

std::u16string wrap(const settings::BrowserOptions& options, std::u16string body) {
    std::u16string text = options.prefixStr + body + options.suffixStr;
    const std::optional<char16_t> enter = autoEnterCharacter(options.autoEnterChar);
    if (!enter) return text;
    if (options.autoEnter == 1) return text + *enter;
    if (options.autoEnter == 2) return *enter + text;
    return text;
}

}  // namespace

std::u16string displayData(ReaderType engine, std::int32_t codeType,
                           std::span<const std::uint8_t> data) {
    const bool imager = engine == ReaderType::Imager2D || engine == ReaderType::Imager2D4507;
    const bool text = std::find(kTextSymbologies.begin(), kTextSymbologies.end(), codeType) !=
                      kTextSymbologies.end();
    if (!imager || !text) return fromBytes(data);
    std::u16string decoded = platform::decodeSystemCodePage(data);
    std::replace(decoded.begin(), decoded.end(), u'\0', u' ');
    return decoded;
}

std::u16string codeTypeText(ReaderType engine, std::int32_t codeType) {
    if (engine == ReaderType::CcdLaser) return std::u16string(1, static_cast<char16_t>(codeType));
    std::array<char, 12> digits{};
    std::snprintf(digits.data(), digits.size(), "%02x", static_cast<unsigned>(codeType));
    return ascii(digits.data());
}

std::u16string familyLetter(std::int32_t tagCode) {
    if (tagCode == 1) return u"I";
    if (tagCode >= 2 && tagCode <= 4) return u"M";
    if (tagCode == 5 || tagCode == 7) return u"Z";
    if (tagCode == 6) return u"S";
    if (tagCode == 8) return u"T";
    if (tagCode >= 9 && tagCode <= 16) return u"V";
    return std::u16string(1, static_cast<char16_t>(tagCode));
}

std::optional<char16_t> autoEnterCharacter(int autoEnterChar) {
    constexpr std::array<char16_t, 5> kCharacters{u'\r', u'\t', u' ', u',', u';'};
    if (autoEnterChar < 1 || autoEnterChar > static_cast<int>(kCharacters.size())) {
        return std::nullopt;
    }
    return kCharacters[static_cast<std::size_t>(autoEnterChar - 1)];
}

std::u16string barcodeKeyboardText(const settings::BrowserOptions& options,
                                   std::u16string_view codeTypeName, std::u16string_view data) {
    const std::u16string delimiter = delimiterText(options);
    std::u16string body;
    if (options.displayCodeType != 0) {
        body.append(codeTypeName).append(delimiter);
    }
    body.append(data);
    if (options.displayCodeLength != 0) {
        body.append(delimiter).append(decimal(static_cast<std::int64_t>(data.size())));
    }
    return wrap(options, std::move(body));
}

std::u16string tagKeyboardText(const settings::BrowserOptions& options, std::u16string_view uid) {
    return wrap(options, options.displayUid != 0 ? std::u16string(uid) : std::u16string());
}

Delivery deliverBarcode(const BarcodeScan& scan, const settings::BrowserOptions& options,
                        int pageState) {
    const std::u16string name = fromEightBit(scan.codeTypeName);
    std::u16string data = displayData(scan.engine, scan.codeType, scan.data);
    Delivery d;
    if (typesText(options, pageState)) {
        d.typed = barcodeKeyboardText(options, name, data);
        d.keyStrokes = options.keyboardEmu == 2;
    }
    d.notify = true;
    d.resultBox = u"type : " + name + u"\r\ncode : " + data;
    d.function = kOnScanBarcode;
    d.args = {codeTypeText(scan.engine, scan.codeType), std::move(data)};
    return d;
}

Delivery deliverTag(const rfid::RfidTagResult& tag, const settings::BrowserOptions& options,
                    int pageState) {
    const std::u16string uid = fromEightBit(tag.uid);
    std::u16string userData = fromBytes(tag.userData);
    Delivery d;
    if (typesText(options, pageState)) {
        d.typed = tagKeyboardText(options, uid);
        d.keyStrokes = options.keyboardEmu == 2;
    }
    d.notify = true;
    const std::u16string shownData =
        options.displayUserDataByHex != 0 ? hexBytes(tag.userData) : userData;
    d.resultBox = u"type : " + fromEightBit(tag.typeName) + u"\r\nuid : " + uid +
                  u"\r\nuser data : " + shownData;
    d.function = kOnScanRfid;
    d.args = {familyLetter(tag.code), uid, std::move(userData)};
    return d;
}

std::optional<Delivery> deliverScanError(int port, std::int32_t lastError) {
    if (port != kBarcodePort && port != kRfidPort) return std::nullopt;
    Delivery d;
    d.function = port == kBarcodePort ? kOnScanBarcodeError : kOnScanRfidError;
    d.args = {decimal(lastError)};
    return d;
}

Delivery deliverImage(std::u16string path) {
    Delivery d;
    d.function = kOnScanImage;
    d.args = {std::move(path)};
    return d;
}

std::string imageFileName(const LocalTime& time, std::span<const std::uint8_t> picture,
                          int formatValue) {
    constexpr int kBitmapFormat = 3;
    const bool bitmap = picture.size() >= 2 && picture[0] == 'B' && picture[1] == 'M';
    const bool jpeg = picture.size() >= 3 && picture[0] == 0xFF && picture[1] == 0xD8 &&
                      picture[2] == 0xFF;
    const bool asBitmap = bitmap || (!jpeg && formatValue == kBitmapFormat);
    std::array<char, 80> name{};
    std::snprintf(name.data(), name.size(), "%02d%.2d%.2d%.2d%.2d%.2d%s", time.year % 100,
                  time.month, time.day, time.hour, time.minute, time.second,
                  asBitmap ? ".bmp" : ".jpg");
    return name.data();
}

reader::GoodReadSignal goodReadSignal(const settings::BrowserOptions& options) {
    reader::GoodReadSignal signal;
    signal.enableLed = options.enableLed != 0;
    signal.buzzerDuration = static_cast<std::uint32_t>(std::max(options.buzzerDuration, 0));
    signal.buzzerFreq = static_cast<std::uint32_t>(options.buzzerFreq);
    signal.goodReadBeepFileIdx = options.goodReadBeepFileIdx;
    return signal;
}

std::uint32_t vibrationUnits(const settings::BrowserOptions& options) {
    return static_cast<std::uint32_t>(std::max(options.vibrationTime, 0));
}

}  // namespace tessel::bridge
