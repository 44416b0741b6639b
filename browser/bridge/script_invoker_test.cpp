#include "browser/bridge/script_invoker.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace tessel::bridge {
namespace {

using platform::PageCall;

// A page whose global functions are C++ functions; a name that is not registered is missing.
class TestDocument final : public platform::PageDocument {
public:
    using Function = std::function<PageCall(std::span<const std::u16string>)>;

    void define(std::u16string name, Function f) { functions_[std::move(name)] = std::move(f); }

    PageCall call(std::u16string_view name, std::span<const std::u16string> args) override {
        const auto found = functions_.find(std::u16string(name));
        if (found == functions_.end()) return {};
        return found->second(args);
    }

private:
    std::map<std::u16string, Function> functions_;
};

PageCall returning(platform::ScriptValue v) {
    return {PageCall::Outcome::Returned, std::move(v), 0};
}

PageCall failing(std::uint32_t code) { return {PageCall::Outcome::Failed, {}, code}; }

const std::u16string kUnableText =
    u"unable to execute the javascript function --> f \n"
    u"Please verify whether the function implementation is correct.";

TEST(ScriptInvoker, NoDocumentOrNoFunctionIsSilent) {
    ScriptInvoker invoker;
    Variant result = Variant::bstr(u"old");
    EXPECT_FALSE(invoker.invoke(u"onScanBarcode", {u"41", u"A"}, result));
    EXPECT_TRUE(invoker.failureText().empty());
    // The text held before the call is gone even though no page ran.
    EXPECT_EQ(result, Variant::i4(0));

    auto page = std::make_shared<TestDocument>();
    page->define(u"f", [](auto) { return failing(0x80020009); });
    invoker.setDocument(page);
    EXPECT_FALSE(invoker.invoke(u"f", {}, result));
    EXPECT_EQ(invoker.failureText(), u"DISP_E_EXCEPTION");
    // A missing function leaves the last failure text as it was.
    EXPECT_FALSE(invoker.invoke(u"onScanRFID", {}, result));
    EXPECT_EQ(invoker.failureText(), u"DISP_E_EXCEPTION");
}

TEST(ScriptInvoker, ArgumentsArriveInOrderWithTheirNuls) {
    auto page = std::make_shared<TestDocument>();
    std::vector<std::u16string> seen;
    page->define(u"onScanBarcode", [&](std::span<const std::u16string> args) {
        seen.assign(args.begin(), args.end());
        return returning(std::int32_t{7});
    });
    ScriptInvoker invoker;
    invoker.setDocument(page);
    const std::u16string withNul(u"A\0B", 3);
    Variant result;
    EXPECT_TRUE(invoker.invoke(u"onScanBarcode", {u"41", withNul}, result));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], u"41");
    EXPECT_EQ(seen[1].size(), 3u);
    EXPECT_EQ(seen[1], withNul);
    EXPECT_EQ(result, Variant::i4(7));
}

TEST(ScriptInvoker, ResultIsResetByItsType) {
    auto page = std::make_shared<TestDocument>();
    ScriptInvoker invoker;
    invoker.setDocument(page);  // no functions: only the reset shows

    Variant boolean = Variant::boolean(true);
    invoker.invoke(u"f", {}, boolean);
    EXPECT_EQ(boolean, Variant::boolean(false));

    Variant error = Variant::error(5);
    invoker.invoke(u"f", {}, error);
    EXPECT_EQ(error, Variant::error(0));

    Variant real = Variant::r8(2.5);
    invoker.invoke(u"f", {}, real);
    EXPECT_EQ(real, Variant::i4(0));
}

TEST(ScriptInvoker, ReturnValuesBecomeVariants) {
    auto page = std::make_shared<TestDocument>();
    page->define(u"text", [](auto) { return returning(std::u16string(u"ok")); });
    page->define(u"none", [](auto) { return returning(std::monostate{}); });
    page->define(u"flag", [](auto) { return returning(true); });
    ScriptInvoker invoker;
    invoker.setDocument(page);
    Variant result;
    EXPECT_TRUE(invoker.invoke(u"text", {}, result));
    EXPECT_EQ(result, Variant::bstr(u"ok"));
    EXPECT_TRUE(invoker.invoke(u"none", {}, result));
    EXPECT_EQ(result.type(), VarType::Empty);
    EXPECT_TRUE(invoker.invoke(u"flag", {}, result));
    EXPECT_EQ(result, Variant::boolean(true));
}

TEST(ScriptInvoker, EveryFailureCodeKeepsItsText) {
    const std::pair<std::uint32_t, std::u16string> rows[] = {
        {0x80020001, u"DISP_E_UNKNOWNINTERFACE"}, {0x80020003, u"DISP_E_MEMBERNOTFOUND"},
        {0x80020004, u"DISP_E_PARAMNOTFOUND"},    {0x80020005, u"DISP_E_TYPEMISMATCH"},
        {0x80020007, u"DISP_E_NONAMEDARGS"},      {0x80020008, u"DISP_E_BADVARTYPE"},
        {0x80020009, u"DISP_E_EXCEPTION"},        {0x8002000A, u"DISP_E_OVERFLOW"},
        {0x8002000C, u"DISP_E_UNKNOWNLCID"},      {0x8002000E, u"DISP_E_BADPARAMCOUNT"},
        {0x8002000F, u"DISP_E_PARAMNOTOPTIONAL"},
        // The other codes of the range, other failures and success codes other than S_OK.
        {0x80020002, kUnableText}, {0x80020006, kUnableText}, {0x8002000B, kUnableText},
        {0x8002000D, kUnableText}, {0x80004005, kUnableText}, {0x00000001, kUnableText},
        {0x00000000, kUnableText},
    };
    auto page = std::make_shared<TestDocument>();
    ScriptInvoker invoker;
    invoker.setDocument(page);
    for (const auto& [code, text] : rows) {
        page->define(u"f", [code = code](auto) { return failing(code); });
        Variant result;
        EXPECT_FALSE(invoker.invoke(u"f", {}, result)) << std::hex << code;
        EXPECT_EQ(invoker.failureText(), text) << std::hex << code;
    }
}

TEST(ScriptInvoker, ThrowingFunctionAndDocumentRelease) {
    auto page = std::make_shared<TestDocument>();
    page->define(u"onScanBarcode", [](auto) { return PageCall{PageCall::Outcome::Threw, {}, 0}; });
    ScriptInvoker invoker;
    invoker.setDocument(page);
    Variant result;
    EXPECT_FALSE(invoker.invoke(u"onScanBarcode", {u"41"}, result));
    EXPECT_EQ(invoker.failureText(), u"DISP_E_EXCEPTION");

    // A success keeps the failure text; releasing the document releases its reference.
    page->define(u"onScanBarcode", [](auto) { return returning(std::monostate{}); });
    EXPECT_TRUE(invoker.invoke(u"onScanBarcode", {}, result));
    EXPECT_EQ(invoker.failureText(), u"DISP_E_EXCEPTION");
    invoker.setDocument(nullptr);
    EXPECT_EQ(page.use_count(), 1);
    EXPECT_FALSE(invoker.invoke(u"onScanBarcode", {}, result));
}

}  // namespace
}  // namespace tessel::bridge
