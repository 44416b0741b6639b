#include "browser/settings/section_access.h"

#include "browser/settings/caller_check.h"
#include "browser/settings/text8.h"

namespace tessel::settings {
namespace {

void checkRefs(const SectionSpec& section, std::span<const KeyRef> refs) {
    expectCaller(refs.size() == section.keys.size(), "one reference per key of the section");
    for (std::size_t i = 0; i < refs.size(); ++i) {
        const bool isText = section.keys[i].kind == KeyKind::Text;
        const bool fits = std::holds_alternative<std::nullptr_t>(refs[i]) ||
                          (isText ? std::holds_alternative<std::u16string*>(refs[i])
                                  : std::holds_alternative<int*>(refs[i]));
        expectCaller(fits, "reference type does not match the key kind");
    }
}

void readKey(const IniStore& store, const IniSection* from, std::string_view key, KeyRef ref) {
    if (int* const* number = std::get_if<int*>(&ref); number && *number) {
        store.getInt(from, key, **number);
    } else if (std::u16string* const* text = std::get_if<std::u16string*>(&ref); text && *text) {
        store.getString(from, key, **text);
    }
}

void writeKey(IniStore& store, IniSection* to, std::string_view key, KeyRef ref) {
    if (int* const* number = std::get_if<int*>(&ref); number && *number) {
        store.setInt(to, key, **number);
    } else if (std::u16string* const* text = std::get_if<std::u16string*>(&ref); text && *text) {
        store.setString(to, key, fromEightBit(toEightBit(**text)));
    }
}

}  // namespace

bool accessSection(IniStore& store, char direction, const SectionSpec& section,
                   std::span<const KeyRef> refs) {
    expectCaller(direction == 'r' || direction == 'w', "direction is 'r' or 'w'");
    checkRefs(section, refs);
    if (direction == 'r') {
        const IniSection* from = store.findSection(section.name);
        if (!from) return false;
        for (std::size_t i = 0; i < refs.size(); ++i) {
            readKey(store, from, section.keys[i].name, refs[i]);
        }
    } else {
        IniSection* to = store.addSection(section.name);
        for (std::size_t i = 0; i < refs.size(); ++i) {
            writeKey(store, to, section.keys[i].name, refs[i]);
        }
    }
    return true;
}

bool accessSection(IniStore& store, char direction, const SectionSpec& section,
                   std::initializer_list<KeyRef> refs) {
    return accessSection(store, direction, section, std::span(refs.begin(), refs.size()));
}

std::vector<KeyRef> generalRefs(BrowserOptions& o) {
    return {&o.lockScreen,         &o.password,          &o.homeUrl,
            &o.loadIniWhenStart,   &o.updateIniWhenExit, &o.goodReadBeepFileIdx,
            &o.warningBeepFileIdx, &o.vibrationTime,     &o.keyboardEmu,
            &o.enableLed,          &o.buzzerDuration,    &o.buzzerFreq,
            &o.showWifiSignal,     &o.showBattery,       &o.disablePictures,
            &o.autoEnter,          &o.autoEnterChar,     &o.prefixStr,
            &o.suffixStr,          &o.displayCodeType,   &o.displayCodeLength,
            &o.displayUid,         &o.displayUserData,   &o.delimiter};
}

}  // namespace tessel::settings
