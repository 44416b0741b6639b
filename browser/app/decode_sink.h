#pragma once
// Where the reader messages that carry results go on the window thread: "WM_DECODE",
// "WM_DECODEERROR" and "WM_DECODE_IMG".

#include <cstdint>

namespace tessel::app {

class DecodeSink {
public:
    virtual ~DecodeSink() = default;
    // "WM_DECODE": wParam 1 a barcode, 2 an RFID tag; the result is taken from the reader.
    virtual void onDecode(std::uintptr_t wParam) = 0;
    // "WM_DECODEERROR": wParam 1 barcode, 2 RFID.
    virtual void onDecodeError(std::uintptr_t wParam) = 0;
    // "WM_DECODE_IMG": an image capture finished.
    virtual void onDecodeImage() = 0;
};

}  // namespace tessel::app
