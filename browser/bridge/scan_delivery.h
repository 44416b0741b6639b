#pragma once
// What the main window does with a finished scan, as pure functions over the scan and the
// options: the text to type, the result box text, and the page callback with its arguments.
//
//   const Delivery d = deliverBarcode(scan, options, pageState);
//   if (d.typed) keys.type(*d.typed, d.keyStrokes);
//   if (d.notify) { vibration.release(); goodRead.release(); }
//   if (d.resultBox) resultBox.setText(*d.resultBox);
//   invoker.invoke(d.function, d.args, result);
//
// The caller does the I/O in that order; nothing here touches a device, a window or a file.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "browser/bridge/script_invoker.h"
#include "browser/reader/device_identity.h"
#include "browser/reader/reader_types.h"
#include "browser/rfid/tag_types.h"
#include "browser/settings/browser_options.h"

namespace tessel::bridge {

// One barcode as the scan-engine port holds it, with the kind of engine that read it.
struct BarcodeScan {
    reader::ReaderType engine = reader::ReaderType::None;
    std::int32_t codeType = 0;
    std::string codeTypeName;
    std::vector<std::uint8_t> data;
};

struct Delivery {
    std::optional<std::u16string> typed;  // for keyboard emulation, when it is on
    bool keyStrokes = false;              // keyboardEmu 2: typed as key strokes
    bool notify = false;                  // wake the vibration and good-read workers
    std::optional<std::u16string> resultBox;
    std::u16string function;  // the page callback
    ScanArgs args;
};

// Page callbacks.
inline constexpr char16_t kOnScanBarcode[] = u"onScanBarcode";
inline constexpr char16_t kOnScanRfid[] = u"onScanRFID";
inline constexpr char16_t kOnScanImage[] = u"onScanImage";
inline constexpr char16_t kOnScanBarcodeError[] = u"onScanBarcodeError";
inline constexpr char16_t kOnScanRfidError[] = u"onScanRfidError";

// The decode and error messages name the port in wParam.
inline constexpr int kBarcodePort = 1;
inline constexpr int kRfidPort = 2;

// The data as shown and handed on: one character per byte, except that the 2D imagers' PDF417,
// Data Matrix and QR Code text is decoded in the system code page with NULs turned to spaces.
std::u16string displayData(reader::ReaderType engine, std::int32_t codeType,
                           std::span<const std::uint8_t> data);

// The code type argument: the letter itself for the CCD/laser engine, else "%02x".
std::u16string codeTypeText(reader::ReaderType engine, std::int32_t codeType);

// The tag family letter of a tag code ("I", "M", "Z", "S", "T", "V"); other codes give the one
// character of that code.
std::u16string familyLetter(std::int32_t tagCode);

// The character autoEnterChar selects (1 CR, 2 tab, 3 space, 4 comma, 5 semicolon); nullopt for
// "None" and every other value, so nothing is typed for them.
std::optional<char16_t> autoEnterCharacter(int autoEnterChar);

// The typed texts. The prefix goes before everything the scan contributes and the suffix after
// it; the auto-enter character goes after the suffix (autoEnter 1) or before the prefix (2).
std::u16string barcodeKeyboardText(const settings::BrowserOptions& options,
                                   std::u16string_view codeTypeName, std::u16string_view data);
std::u16string tagKeyboardText(const settings::BrowserOptions& options, std::u16string_view uid);

// Handling of a decode message. pageState is negative while the reader settings page is shown,
// which stops typing but not the callback.
Delivery deliverBarcode(const BarcodeScan& scan, const settings::BrowserOptions& options,
                        int pageState);
Delivery deliverTag(const rfid::RfidTagResult& tag, const settings::BrowserOptions& options,
                    int pageState);
// Handling of a decode error message: the port's last error as "%d"; nullopt for another port.
std::optional<Delivery> deliverScanError(int port, std::int32_t lastError);
// Handling of an image message once the file is written: the callback with its path.
Delivery deliverImage(std::u16string path);

struct LocalTime {
    int year = 0;  // e.g. 2012
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The folder, under the program folder, that holds saved images.
inline constexpr char kImagesFolder[] = "images\\";

// The file name of a saved image: the time as yymmddhhmmss and an extension that matches the
// picture's own signature (".bmp" for a bitmap, ".jpg" for JPEG). A picture of neither kind is
// named by formatValue (3 bitmap, else JPEG).
std::string imageFileName(const LocalTime& time, std::span<const std::uint8_t> picture,
                          int formatValue);

// The good-read signal and the vibration length the options ask for; a negative length from
// the file counts as 0.
reader::GoodReadSignal goodReadSignal(const settings::BrowserOptions& options);
std::uint32_t vibrationUnits(const settings::BrowserOptions& options);

}  // namespace tessel::bridge
