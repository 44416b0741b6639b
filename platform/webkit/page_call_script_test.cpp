#include "platform/webkit/page_call_script.h"

#include <gtest/gtest.h>
#include <jsc/jsc.h>

#include <cmath>
#include <limits>
#include <vector>

namespace tessel::platform::webkit {
namespace {

const std::u16string kAwkward{u"q\"'\\\0\n\r\t\u00e9\u2028\U0001F600\xDC00</script>", 21};

// Runs script in a bare JavaScript engine and gives its text result.
class Engine : public ::testing::Test {
protected:
    Engine() : context_(jsc_context_new()) {}
    ~Engine() override { g_object_unref(context_); }

    std::string run(const std::string& script) {
        JSCValue* value = jsc_context_evaluate(context_, script.c_str(), static_cast<gssize>(script.size()));
        gchar* text = jsc_value_to_string(value);
        std::string out = text ? text : "";
        g_free(text);
        g_object_unref(value);
        return out;
    }
    void define(const std::string& source) { g_object_unref(jsc_context_evaluate(context_, source.c_str(), -1)); }
    PageCall call(std::u16string_view name, const std::vector<std::u16string>& args) {
        const auto answer = parsePageCallAnswer(run(pageCallScript(name, args)));
        EXPECT_TRUE(answer);
        return answer.value_or(PageCall{});
    }

    JSCContext* context_;
};

TEST(JsStringLiteral, IsAsciiWithEveryOtherUnitEscaped) {
    EXPECT_EQ(jsStringLiteral(u"ab c"), "\"ab c\"");
    EXPECT_EQ(jsStringLiteral(std::u16string(u"\"\\\0\u00e9", 4)), "\"\\u0022\\u005c\\u0000\\u00e9\"");
    EXPECT_EQ(jsStringLiteral(u"\U0001F600"), "\"\\ud83d\\ude00\"");
    for (const char c : jsStringLiteral(kAwkward)) EXPECT_TRUE(c >= 0x20 && c < 0x7F);
}

TEST_F(Engine, LiteralHoldsTheTextExactly) {
    define("function codes(s){var a=[];for(var i=0;i<s.length;i++)a.push(s.charCodeAt(i));return a.join(',');}");
    std::string expected;
    for (const char16_t unit : kAwkward) expected += (expected.empty() ? "" : ",") + std::to_string(unit);
    EXPECT_EQ(run("codes(" + jsStringLiteral(kAwkward) + ")"), expected);
}

TEST_F(Engine, ArgumentsArriveInOrderAndTextsComeBackIntact) {
    define("function echo(a, b){ return b + '|' + a; }");
    const PageCall echoed = call(u"echo", {u"first", kAwkward});
    EXPECT_EQ(echoed.outcome, PageCall::Outcome::Returned);
    EXPECT_EQ(echoed.value, ScriptValue(kAwkward + u"|first"));
}

TEST_F(Engine, OutcomesAndValueKinds) {
    define("function boom(){ throw new Error('x'); }"
           "function num(x){ return Number(x); } function yes(){ return true; }"
           "function none(){} function obj(){ return {}; } var notAFunction = 3;");
    EXPECT_EQ(call(u"absent", {}).outcome, PageCall::Outcome::Missing);
    EXPECT_EQ(call(u"notAFunction", {}).outcome, PageCall::Outcome::Missing);
    EXPECT_EQ(call(u"boom", {}).outcome, PageCall::Outcome::Threw);
    EXPECT_EQ(call(u"num", {u"-2147483648"}).value, ScriptValue(std::int32_t{-2147483647 - 1}));
    EXPECT_EQ(call(u"num", {u"2147483648"}).value, ScriptValue(2147483648.0));
    EXPECT_EQ(call(u"num", {u"0.25"}).value, ScriptValue(0.25));
    EXPECT_EQ(call(u"num", {u"1e300"}).value, ScriptValue(1e300));
    EXPECT_EQ(call(u"num", {u"-Infinity"}).value, ScriptValue(-std::numeric_limits<double>::infinity()));
    const PageCall nan = call(u"num", {u"x"});
    ASSERT_TRUE(std::holds_alternative<double>(nan.value));
    EXPECT_TRUE(std::isnan(std::get<double>(nan.value)));
    EXPECT_EQ(call(u"yes", {}).value, ScriptValue(true));
    EXPECT_EQ(call(u"none", {}).value, ScriptValue());
    EXPECT_EQ(call(u"obj", {}).value, ScriptValue());
}

TEST(PageCallAnswer, AnswersTheScriptCannotGiveAreRefused) {
    for (const char* bad : {"", "R", "Rx", "Ri", "Ri12a", "Ri99999999999", "Rs123", "Rs12g4", "Rb2",
                            "Rd", "Rdx", "MM", "T1"})
        EXPECT_FALSE(parsePageCallAnswer(bad)) << bad;
}

}  // namespace
}  // namespace tessel::platform::webkit
