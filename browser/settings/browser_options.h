#pragma once
// BrowserOptions: the option fields that the main window owns for the whole run.
//
// Every field is named by its key in browserINI.txt and starts at its default: all of "General",
// the keys of "RFID" that are not the reader manager's, the image capture switch (the `enable`
// key of "Image 2D") and the copy of the image format that names saved images.

#include <string>

namespace tessel::settings {

struct BrowserOptions {
    // "General", in the order in which the section is written.
    int lockScreen = 0;
    std::u16string password;
    std::u16string homeUrl;
    int loadIniWhenStart = 1;
    int updateIniWhenExit = 0;
    int goodReadBeepFileIdx = 1;  // 0 mute, 1-9 sound 1 to 9
    int warningBeepFileIdx = 2;
    int vibrationTime = 0;  // half seconds, 0-10
    int keyboardEmu = 1;    // 0 off, 1 characters, 2 key strokes
    int enableLed = 0;
    int buzzerDuration = 0;  // tenths of a second
    int buzzerFreq = 1;      // 500 Hz per step, 1-10
    int showWifiSignal = 0;
    int showBattery = 0;
    int disablePictures = 0;
    int autoEnter = 1;      // 0 none, 1 after the data, 2 before it
    int autoEnterChar = 1;  // 0 none, 1 CR, 2 tab, 3 space, 4 comma, 5 semicolon
    std::u16string prefixStr;
    std::u16string suffixStr;
    int displayCodeType = 0;
    int displayCodeLength = 0;
    int displayUid = 1;
    int displayUserData = 0;
    int delimiter = 44;  // character code of the field delimiter, 0 none

    // "RFID", the keys homed here.
    int rfidRW = 0;              // 0 read tags, 1 write tags
    int rfidReadStartByte = -1;  // -1: byte 0 of the tag's default page
    int rfidReadLength = 10;
    int displayUserDataByHex = 0;
    int rfidWriteStartByte = -1;
    std::u16string rfidWriteContent;
    int isHexContent = 0;
    std::u16string mifareLoginKeyA = u"A1B2C3D4E5F6";
    int m_rfidSecurityKeyType = 0;  // 0 key A, 1 key B

    // The `enable` key of "Image 2D": image capture switched on.
    int imageCapture = 0;
    // The image format last applied on the Image Capture page (1 JPEG, 3 BMP); names saved
    // images. Import and export leave it alone.
    int imageFileFormat = 0;
};

}  // namespace tessel::settings
