// Scan delivery over arbitrary reader bytes: code-page decoding of 2D text, the typed text in
// both keyboard modes, the result box and callback arguments, and the saved image's name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "browser/bridge/keyboard_emulation.h"
#include "browser/bridge/scan_delivery.h"
#include "platform/code_page.h"

using namespace tessel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::span<const std::uint8_t> bytes(data + 4, size - 4);

    // The first bytes choose the engine, the code type and the output options.
    settings::BrowserOptions options;
    options.keyboardEmu = data[0] % 3;
    options.autoEnter = (data[0] >> 2) % 3;
    options.autoEnterChar = static_cast<std::int8_t>(data[1]);
    options.displayCodeType = data[2] & 1;
    options.displayCodeLength = (data[2] >> 1) & 1;
    options.delimiter = data[2] >> 2;
    const bridge::BarcodeScan scan{static_cast<reader::ReaderType>(data[3] % 10), data[1],
                                   "Code", {bytes.begin(), bytes.end()}};

    const std::u16string decoded = platform::decodeSystemCodePage(bytes);
    if (decoded.size() > 2 * bytes.size()) std::abort();

    const bridge::Delivery d = bridge::deliverBarcode(scan, options, 0);
    if (d.args.size() != 2) std::abort();
    if (d.typed) {
        platform::RecordingKeyboard keyboard;
        platform::VirtualClock clock;
        bridge::KeyboardEmulation(keyboard, clock).type(*d.typed, d.keyStrokes);
    }
    bridge::imageFileName({2012, 3, 3, 14, 5, 9}, bytes, data[1]);
    return 0;
}
