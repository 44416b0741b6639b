#include "browser/reader/engine_interpret.h"

#include <gtest/gtest.h>

namespace tessel::reader {
namespace {

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// A revision reply: L A4 00 00 text.
Bytes revision(const std::string& text) {
    Bytes reply{static_cast<std::uint8_t>(4 + text.size()), 0xA4, 0x00, 0x00};
    reply.insert(reply.end(), text.begin(), text.end());
    return reply;
}

TEST(Revision, CharacterBeforeTheThirdSpaceDecidesBetweenImagerAndLongRange) {
    EXPECT_EQ(identifyRevision(ReaderType::Imager2D, revision("IM2D-R14 B05 CP ENG")),
              ReaderType::Imager2D);
    EXPECT_EQ(identifyRevision(ReaderType::LongRange1D, revision("IM2D-R14 B05 CP ENG")),
              ReaderType::Imager2D);
    // 'G' gives the long-range laser even while the imager is probed.
    EXPECT_EQ(identifyRevision(ReaderType::Imager2D, revision("LR1D-R07 B02 LG ENG")),
              ReaderType::LongRange1D);
    Bytes control = revision("A B C ");
    control[control.size() - 2] = 0x07;
    EXPECT_EQ(identifyRevision(ReaderType::Imager2D, control), ReaderType::LongRange1D);
    control[control.size() - 2] = 0x00;
    EXPECT_EQ(identifyRevision(ReaderType::Imager2D, control), ReaderType::LongRange1D);
    EXPECT_EQ(identifyRevision(ReaderType::Imager2D, revision("A B XX ")), ReaderType::None);
    EXPECT_EQ(identifyRevision(ReaderType::Imager2D, revision("ONLY TWOP SPACES")),
              ReaderType::None);
    // The search starts at index 1: a leading space (length 0x20) is not counted.
    Bytes leading = revision(std::string(22, 'x') + " P QQR");
    ASSERT_EQ(leading[0], ' ');
    EXPECT_EQ(identifyRevision(ReaderType::Imager2D, leading), ReaderType::None);
}

TEST(Revision, NewerEnginesByMarkerAndByte) {
    EXPECT_EQ(identifyRevision(ReaderType::Imager2D4507, revision("PAAAAS00-4507 R3")),
              ReaderType::Imager2D4507);
    EXPECT_EQ(identifyRevision(ReaderType::Imager2D4507, revision("xxPAAAA")),
              ReaderType::Imager2D4507);
    EXPECT_EQ(identifyRevision(ReaderType::Imager2D4507, revision("PAAA S00")), ReaderType::None);

    Bytes laser = revision("LR955V12 R2\x98 05 K");
    EXPECT_EQ(identifyRevision(ReaderType::LongRange1D955, laser), ReaderType::LongRange1D955);
    laser[15] = 0x99;
    EXPECT_EQ(identifyRevision(ReaderType::LongRange1D955, laser), ReaderType::LongRange1D955);
    laser[15] = 0x97;
    EXPECT_EQ(identifyRevision(ReaderType::LongRange1D955, laser), ReaderType::None);
    EXPECT_EQ(identifyRevision(ReaderType::LongRange1D955, revision("LR955V12 R2\x98")),
              ReaderType::None);  // 16 bytes only
}

TEST(Revision, VersionTextPerEngine) {
    EXPECT_EQ(versionFromRevision(ReaderType::Imager2D, revision("IM2D-R14 B05 CP")), "IM2D-R14");
    EXPECT_EQ(versionFromRevision(ReaderType::LongRange1D, revision("NOSPACE")), "NOSPACE");
    EXPECT_EQ(versionFromRevision(ReaderType::Imager2D4507, revision("PAAAAS00-4507 R3 XM ENG")),
              "PAAAAS00-4507 R3");
    EXPECT_EQ(versionFromRevision(ReaderType::LongRange1D955, revision("LR955V12 R2")), "LR955V12");
    EXPECT_EQ(versionFromRevision(ReaderType::Imager2D4507, Bytes{0x04}), "");
}

TEST(ConfigBlock, HexTextBothWays) {
    EXPECT_EQ(parseHexBlock("00FF1a7"), (Bytes{0x00, 0xFF, 0x1A, 0x70}));
    EXPECT_EQ(formatHexBlock(Bytes{0x00, 0xAB, 0x7F}), "00AB7F");
    const Bytes block{0x12, 0x34, 0xFE};
    EXPECT_EQ(parseHexBlock(formatHexBlock(block)), block);
}

// A configuration block with the given bits of bytes 10 and 22 set.
Bytes block(std::uint8_t byte10, std::uint8_t byte22) {
    Bytes b(32, 0);
    b[10] = byte10;
    b[22] = byte22;
    return b;
}

struct UpcCase {
    const char* decode;
    HostOptions options;
    std::uint8_t byte10;
    const char* name;
    const char* data;
};

TEST(CcdInterpret, UpcAAndEan13) {
    HostOptions allDigits;
    allDigits.transmitEan13CheckDigit = true;
    allDigits.transmitUpcACheckDigit = true;
    HostOptions noCheck;
    HostOptions toEan = allDigits;
    toEan.convertToEAN13 = true;

    const UpcCase cases[] = {
        // A leading 0 makes it UPC-A: the 0 goes, and the system number too unless kept.
        {"P0130012345678905", allDigits, 0x01, "UPC-A", "012345678905"},
        {"P0130012345678905", allDigits, 0x00, "UPC-A", "12345678905"},
        {"P0130012345678905", noCheck, 0x01, "UPC-A", "01234567890"},
        {"P0130012345678905", toEan, 0x00, "EAN-13", "0012345678905"},
        {"P0134012345678905", noCheck, 0x01, "EAN-13", "401234567890"},
        // Add-ons: the check digit sits before the 2 or 5 add-on digits.
        {"Q0150012345678905xy", noCheck, 0x01, "UPC-A addon 2", "01234567890xy"},
        {"R0184012345678905abcde", noCheck, 0x01, "EAN-13 addon 5", "401234567890abcde"},
        // Too short for UPC-A: EAN-13 rules.
        {"P0100012345", allDigits, 0x00, "EAN-13", "0012345"},
        // No data at all: there is no check digit to remove.
        {"P000", noCheck, 0x01, "EAN-13", ""},
    };
    for (const UpcCase& c : cases) {
        const ScanResult r = interpretCcd(bytesOf(c.decode), c.options, block(c.byte10, 0));
        EXPECT_EQ(r.codeType, c.decode[0]) << c.decode;
        EXPECT_EQ(r.codeTypeName, c.name) << c.decode;
        EXPECT_EQ(r.data, bytesOf(c.data)) << c.decode;
    }
}

TEST(CcdInterpret, Ean128SeparatorAndCodeId) {
    HostOptions options;
    const Bytes decode = bytesOf(
        "U011]C101\x1d"
        "10AB");
    ScanResult kept = interpretCcd(decode, options, block(0, 0));
    EXPECT_EQ(kept.codeTypeName, "EAN-128");
    EXPECT_EQ(kept.data, bytesOf("]C101\x1d"
                                 "10AB"));

    options.ean128Separator = '|';
    const ScanResult shaped = interpretCcd(decode, options, block(0, 1 << 5));
    EXPECT_EQ(shaped.data, bytesOf("01|10AB"));
}

TEST(CcdInterpret, CodeLettersAndUnknown) {
    const ScanResult code39 = interpretCcd(bytesOf("A004ABCD"), {}, {});
    EXPECT_EQ(code39.codeType, 'A');
    EXPECT_EQ(code39.codeTypeName, "Code 39");
    EXPECT_EQ(code39.data, bytesOf("ABCD"));
    EXPECT_EQ(interpretCcd(bytesOf("g001"), {}, {}).codeTypeName, "Code 11");
    EXPECT_EQ(interpretCcd(bytesOf("@003123"), {}, {}).codeTypeName, "ISBT 128");

    const ScanResult unknown = interpretCcd(bytesOf("V003xyz"), {}, {});
    EXPECT_EQ(unknown.codeType, 0);
    EXPECT_EQ(unknown.codeTypeName, "unknown");
    EXPECT_EQ(unknown.data, bytesOf("xyz"));
    // Fewer than 4 bytes keep everything.
    EXPECT_EQ(interpretCcd(bytesOf("AB"), {}, {}).data, bytesOf("AB"));
    EXPECT_EQ(interpretCcd(Bytes{}, {}, {}).codeType, 0);
}

TEST(CcdInterpret, HostFilterPassesCode128AndEan128OnlyWhenEnabled) {
    ScanResult code128 = interpretCcd(bytesOf("I003abc"), {}, {});
    EXPECT_FALSE(applyHostFilter(code128, block(0, 0x40)));
    EXPECT_TRUE(code128.data.empty());
    EXPECT_TRUE(code128.codeTypeName.empty());

    code128 = interpretCcd(bytesOf("I003abc"), {}, {});
    EXPECT_TRUE(applyHostFilter(code128, block(0, 0x80)));
    EXPECT_EQ(code128.data, bytesOf("abc"));

    ScanResult ean128 = interpretCcd(bytesOf("U003abc"), {}, {});
    EXPECT_FALSE(applyHostFilter(ean128, block(0, 0x80)));
    ean128 = interpretCcd(bytesOf("U003abc"), {}, {});
    EXPECT_TRUE(applyHostFilter(ean128, block(0, 0x40)));

    ScanResult other = interpretCcd(bytesOf("A003abc"), {}, {});
    EXPECT_TRUE(applyHostFilter(other, {}));
}

TEST(PacketInterpret, TypeByteNamesTheCode) {
    const ScanResult qr = interpretPacket(Bytes{28, 'h', 'i'});
    EXPECT_EQ(qr.codeType, 28);
    EXPECT_EQ(qr.codeTypeName, "QR Code");
    EXPECT_EQ(qr.data, bytesOf("hi"));
    EXPECT_EQ(interpretPacket(Bytes{154}).codeTypeName, "Macro Micro PDF417");
    EXPECT_EQ(interpretPacket(Bytes{52}).codeTypeName, "USPS 4CB/One Code/Intelligent Mail");

    const ScanResult unlisted = interpretPacket(Bytes{13, '1'});
    EXPECT_EQ(unlisted.codeType, 0);
    EXPECT_EQ(unlisted.codeTypeName, "unkonwn");
    EXPECT_EQ(unlisted.data, bytesOf("1"));
    EXPECT_EQ(interpretPacket(Bytes{0}).codeTypeName, "unkonwn");
}

}  // namespace
}  // namespace tessel::reader
