// The page file of the headless program and the JSON-line document it shapes.

#include "platform/headless/page_file.h"

#include <gtest/gtest.h>

#include "platform/headless/json_line.h"

namespace tessel::platform::headless {
namespace {

using Outcome = PageCall::Outcome;

TEST(PageFile, LinesNameFunctionsAndHowTheyEnd) {
    std::string error;
    const auto page = parsePageFile(
        "# failure test\r\n\n  onScanBarcode = return \nonScanRFID=throw\r\n"
        "onScanImage=fail 0x8002000E\nonScanBarcodeError=fail 80004005",
        error);
    ASSERT_TRUE(page) << error;
    EXPECT_EQ(*page, (PageFunctions{{u"onScanBarcode", {Outcome::Returned, 0}},
                                    {u"onScanRFID", {Outcome::Threw, 0}},
                                    {u"onScanImage", {Outcome::Failed, 0x8002000E}},
                                    {u"onScanBarcodeError", {Outcome::Failed, 0x80004005}}}));
    EXPECT_TRUE(parsePageFile("", error)->empty());
}

TEST(PageFile, BadLinesAreNamedByNumber) {
    std::string error;
    EXPECT_FALSE(parsePageFile("onA=return\nonB", error));
    EXPECT_EQ(error, "line 2: expected NAME=ACTION");
    EXPECT_FALSE(parsePageFile("=throw", error));
    EXPECT_EQ(error, "line 1: expected NAME=ACTION");
    EXPECT_FALSE(parsePageFile("\n\nonA=skip", error));
    EXPECT_EQ(error, "line 3: unknown action \"skip\"");
    for (const char* bad : {"onA=fail", "onA=fail 0x", "onA=fail 12G", "onA=fail 123456789"}) {
        EXPECT_FALSE(parsePageFile(bad, error)) << bad;
    }
}

TEST(JsonLineDocument, PrintsEveryCallWithHowItEnded) {
    std::vector<std::string> lines;
    std::string error;
    JsonLineDocument page([&](const std::string& l) { lines.push_back(l); },
                          parsePageFile("onA=return\nonB=throw\nonC=fail 8002000e", error));
    const std::u16string args[] = {std::u16string(u"x\0\u00ff", 3)};
    EXPECT_EQ(page.call(u"onA", args).outcome, Outcome::Returned);
    EXPECT_EQ(page.call(u"onB", args).outcome, Outcome::Threw);
    const PageCall failed = page.call(u"onC", {});
    EXPECT_EQ(failed.outcome, Outcome::Failed);
    EXPECT_EQ(failed.failure, 0x8002000Eu);
    EXPECT_EQ(page.call(u"onD", {}).outcome, Outcome::Missing);
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{
            "{\"call\":\"onA\",\"args\":[\"x\\u0000\xc3\xbf\"]}",
            "{\"call\":\"onB\",\"args\":[\"x\\u0000\xc3\xbf\"],\"outcome\":\"threw\"}",
            "{\"call\":\"onC\",\"args\":[],\"outcome\":\"failed\",\"failure\":\"0x8002000e\"}",
            "{\"call\":\"onD\",\"args\":[],\"outcome\":\"missing\"}"}));

    // Without a page file every function exists.
    JsonLineDocument open([&](const std::string& l) { lines.push_back(l); });
    EXPECT_EQ(open.call(u"onD", {}).outcome, Outcome::Returned);
    EXPECT_EQ(documentLine(u"\\tmp.htm"), "{\"document\":\"\\\\tmp.htm\"}");
    EXPECT_EQ(invokeFailureLine(u"onB", u"DISP_E_EXCEPTION"),
              "{\"invokeFailure\":\"onB\",\"text\":\"DISP_E_EXCEPTION\"}");
}

}  // namespace
}  // namespace tessel::platform::headless
