#pragma once
// The automation vocabulary shared by the page bridge: result codes, the Variant value and a
// small Dispatch interface (look up method names, invoke by identifier).
//
// Only the parts the bridge uses exist. Text is UTF-16 and may hold NUL characters.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "platform/page_script.h"

namespace tessel::bridge {

using HResult = std::uint32_t;
using DispId = std::int32_t;
using Lcid = std::uint32_t;

inline constexpr HResult S_OK = 0x00000000;
inline constexpr HResult S_FALSE = 0x00000001;
inline constexpr HResult E_NOTIMPL = 0x80004001;
inline constexpr HResult E_NOINTERFACE = 0x80004002;
inline constexpr HResult DISP_E_UNKNOWNINTERFACE = 0x80020001;
inline constexpr HResult DISP_E_MEMBERNOTFOUND = 0x80020003;
inline constexpr HResult DISP_E_PARAMNOTFOUND = 0x80020004;
inline constexpr HResult DISP_E_TYPEMISMATCH = 0x80020005;
inline constexpr HResult DISP_E_UNKNOWNNAME = 0x80020006;
inline constexpr HResult DISP_E_NONAMEDARGS = 0x80020007;
inline constexpr HResult DISP_E_BADVARTYPE = 0x80020008;
inline constexpr HResult DISP_E_EXCEPTION = 0x80020009;
inline constexpr HResult DISP_E_OVERFLOW = 0x8002000A;
inline constexpr HResult DISP_E_UNKNOWNLCID = 0x8002000C;
inline constexpr HResult DISP_E_BADPARAMCOUNT = 0x8002000E;
inline constexpr HResult DISP_E_PARAMNOTOPTIONAL = 0x8002000F;

inline constexpr DispId kDispIdUnknown = -1;
// The system default locale, used for every name look-up and call the bridge makes.
inline constexpr Lcid kSystemDefaultLocale = 0x0800;

// The platform's own name of a dispatch error code ("DISP_E_EXCEPTION"); nullopt for codes
// without one of their own.
std::optional<std::string_view> dispatchErrorName(HResult code);

enum class VarType : std::uint16_t {
    Empty = 0,     // VT_EMPTY
    I4 = 3,        // VT_I4
    R8 = 5,        // VT_R8, for numbers a page returns that do not fit 32 bits
    Bstr = 8,      // VT_BSTR
    Error = 10,    // VT_ERROR
    Bool = 11,     // VT_BOOL
};

// An automation value. A Bool holds 0 or -1 (VARIANT_TRUE) as the platform does.
class Variant {
public:
    Variant() = default;
    static Variant i4(std::int32_t v) { return Variant(VarType::I4, v); }
    static Variant error(std::int32_t code) { return Variant(VarType::Error, code); }
    static Variant boolean(bool v) { return Variant(VarType::Bool, v ? -1 : 0); }
    static Variant r8(double v);
    static Variant bstr(std::u16string text);

    VarType type() const { return type_; }
    std::int32_t integer() const { return integer_; }  // I4, Error and Bool
    double real() const { return real_; }
    const std::u16string& text() const { return text_; }

    // Sets the number of an I4, Error or Bool value and keeps its type.
    void setInteger(std::int32_t v) { integer_ = v; }
    // Back to Empty, releasing any text.
    void clear() { *this = Variant(); }

    bool operator==(const Variant&) const = default;

private:
    Variant(VarType type, std::int32_t v) : type_(type), integer_(v) {}

    VarType type_ = VarType::Empty;
    std::int32_t integer_ = 0;
    double real_ = 0;
    std::u16string text_;
};

// Conversions between script values and automation values: undefined is Empty, a boolean Bool,
// a whole number I4, another number R8, a text Bstr. An Error becomes its code as a number.
Variant toVariant(const platform::ScriptValue& value);
platform::ScriptValue toScriptValue(const Variant& value);

// A scriptable object: method names map to identifiers, which are then invoked.
class Dispatch {
public:
    virtual ~Dispatch() = default;
    // Fills ids (same length as names) for the names asked; DISP_E_UNKNOWNNAME when none matched.
    virtual HResult getIDsOfNames(std::span<const std::u16string> names, std::span<DispId> ids,
                                  Lcid locale) = 0;
    // Calls method id. args are in the automation order: the last script argument first.
    // result may be null when the caller wants no result.
    virtual HResult invoke(DispId id, Lcid locale, std::span<const Variant> args,
                           Variant* result) = 0;
};

}  // namespace tessel::bridge
