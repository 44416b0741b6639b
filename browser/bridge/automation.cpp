#include "browser/bridge/automation.h"

#include <array>
#include <utility>

namespace tessel::bridge {
namespace {

constexpr std::array<std::pair<HResult, std::string_view>, 11> kErrorNames{{
    {DISP_E_UNKNOWNINTERFACE, "DISP_E_UNKNOWNINTERFACE"},
    {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND"},
    {DISP_E_PARAMNOTFOUND, "DISP_E_PARAMNOTFOUND"},
    {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH"},
    {DISP_E_NONAMEDARGS, "DISP_E_NONAMEDARGS"},
    {DISP_E_BADVARTYPE, "DISP_E_BADVARTYPE"},
    {DISP_E_EXCEPTION, "DISP_E_EXCEPTION"},
    {DISP_E_OVERFLOW, "DISP_E_OVERFLOW"},
    {DISP_E_UNKNOWNLCID, "DISP_E_UNKNOWNLCID"},
    {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT"},
    {DISP_E_PARAMNOTOPTIONAL, "DISP_E_PARAMNOTOPTIONAL"},
}};

}  // namespace

std::optional<std::string_view> dispatchErrorName(HResult code) {
    for (const auto& [value, name] : kErrorNames) {
        if (value == code) return name;
    }
    return std::nullopt;
}

Variant Variant::r8(double v) {
    Variant out;
    out.type_ = VarType::R8;
    out.real_ = v;
    return out;
}

Variant Variant::bstr(std::u16string text) {
    Variant out;
    out.type_ = VarType::Bstr;
    out.text_ = std::move(text);
    return out;
}

Variant toVariant(const platform::ScriptValue& value) {
    struct Convert {
        Variant operator()(std::monostate) const { return Variant(); }
        Variant operator()(bool v) const { return Variant::boolean(v); }
        Variant operator()(std::int32_t v) const { return Variant::i4(v); }
        Variant operator()(double v) const { return Variant::r8(v); }
        Variant operator()(const std::u16string& v) const { return Variant::bstr(v); }
    };
    return std::visit(Convert{}, value);
}

platform::ScriptValue toScriptValue(const Variant& value) {
    switch (value.type()) {
        case VarType::I4:
        case VarType::Error:
            return value.integer();
        case VarType::Bool:
            return value.integer() != 0;
        case VarType::R8:
            return value.real();
        case VarType::Bstr:
            return value.text();
        case VarType::Empty:
            break;
    }
    return std::monostate{};
}

}  // namespace tessel::bridge
