// A fuzzer for the stored settings: any contents of the eight values and of
// the shell's auto-hide value, and keys that cannot be opened, then
// LoadSettings, SaveSettings, LoadSettings on the simulated device. Every
// input must leave terminated identity strings, flags that hold the stored
// bytes or were repaired, every unreadable value rewritten with the right
// type and size, and nothing written that the settings store does not write.
//
// Input: one byte of key faults (bit 0: the maker's key, bit 1: the shell's
// auto-hide key, bit 2: the settings key cannot be opened), then for each
// value in turn one byte (0: missing; else the type in the low 4 bits, and
// bit 7 adds 256 to the length), one byte of length, and the data.
#include <cesim/device.h>

#include "res/resource.h"
#include "settings/settings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const MAKER_KEY = "HKEY_CURRENT_USER\\Software\\Zav";
const char* const SETTINGS_KEY = "HKEY_CURRENT_USER\\Software\\Zav\\Velto";
const char* const AUTOHIDE_KEY = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Shell\\AutoHide";

// Each value with its field in memory: a 32-bit word, or an identity string
// with its default text.
struct Value {
    const char* key;
    const char16_t* name;
    DWORD* flag;
    const WCHAR* text;
    const char16_t* default_text;
};

const Value VALUES[] = {
    {SETTINGS_KEY, u"CloseButton", &Settings.CloseButton, nullptr, nullptr},
    {SETTINGS_KEY, u"OkButton", &Settings.OkButton, nullptr, nullptr},
    {SETTINGS_KEY, u"Monitoring", &Settings.Monitoring, nullptr, nullptr},
    {SETTINGS_KEY, u"DesktopName", nullptr, Settings.DesktopName, u"Desktop"},
    {SETTINGS_KEY, u"DesktopClass", nullptr, Settings.DesktopClass, u"DesktopExplorerWindow"},
    {SETTINGS_KEY, u"TaskbarName", nullptr, Settings.TaskbarName, u""},
    {SETTINGS_KEY, u"TaskbarClass", nullptr, Settings.TaskbarClass, u"HHTaskBar"},
    {SETTINGS_KEY, u"TaskBarOnTop", &Settings.TaskBarOnTop, nullptr, nullptr},
    {AUTOHIDE_KEY, u"", &Settings.AutoHide, nullptr, nullptr},
};
constexpr int COUNT = sizeof(VALUES) / sizeof(VALUES[0]);

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "settings fuzzer: %s\n", what.c_str());
    std::abort();
}

std::vector<uint8_t> Dword(uint32_t v) { return {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)}; }

std::vector<uint8_t> TextData(const char16_t* text)
{
    std::vector<uint8_t> data;
    for (const char16_t* c = text; *c; ++c) {
        data.push_back((uint8_t)*c);
        data.push_back((uint8_t)(*c >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    return data;
}

uint32_t Overlay(const std::vector<uint8_t>& data)
{
    uint32_t v = 0;
    for (size_t i = 0; i < data.size(); ++i)
        v |= (uint32_t)data[i] << (8 * i);
    return v;
}

void Check(const uint8_t* input, size_t size)
{
    size_t at = 0;
    auto next = [&]() -> uint8_t { return at < size ? input[at++] : 0; };
    const uint8_t faults = next();
    std::optional<cesim::RegistryValue> stored[COUNT];
    cesim::Device device;
    for (int i = 0; i < COUNT; ++i) {
        uint8_t kind = next();
        if (kind == 0)
            continue;
        size_t length = next() + ((kind & 0x80) ? 256 : 0);
        cesim::RegistryValue v{(DWORD)(kind & 0x0F), {}};
        for (size_t k = 0; k < length && at < size; ++k)
            v.data.push_back(input[at++]);
        device.RegSet(VALUES[i].key, VALUES[i].name, v.type, v.data);
        stored[i] = v;
    }
    const bool maker_fails = faults & 1, autohide_fails = faults & 2, settings_fails = faults & 4;
    if (maker_fails)
        device.FailKeyOpen(MAKER_KEY);
    if (autohide_fails)
        device.FailKeyOpen(AUTOHIDE_KEY);
    if (settings_fails)
        device.FailKeyOpen(SETTINGS_KEY);

    std::memset(&Settings, 0, sizeof(Settings));
    device.StartFunction(u"velto.exe", [] {
        HINSTANCE self = GetModuleHandleW(nullptr);
        InitSettingsLock();
        LoadStringW(self, IDS_DESKTOP_NAME, Settings.DesktopName, STRING_CHARS);
        LoadStringW(self, IDS_DESKTOP_CLASS, Settings.DesktopClass, STRING_CHARS);
        LoadStringW(self, IDS_TASKBAR_NAME, Settings.TaskbarName, STRING_CHARS);
        LoadStringW(self, IDS_TASKBAR_CLASS, Settings.TaskbarClass, STRING_CHARS);
        LoadSettings();
        SaveSettings();
        LoadSettings();
        return 0;
    }, VELTO_RES);
    device.Settle();

    for (const Value& v : VALUES) {
        size_t n = 0;
        while (v.text && n < STRING_CHARS && v.text[n] != 0)
            ++n;
        if (n > STRING_CHARS - 1)
            Fail(cesim::Utf8(v.name) + " is not terminated within 99 characters");
    }
    const bool settings_open = !maker_fails && !settings_fails;
    for (int i = 0; i < COUNT; ++i) {
        const Value& v = VALUES[i];
        const std::string name = cesim::Utf8(v.name[0] ? v.name : u"(AutoHide default)");
        const bool autohide = i == COUNT - 1;
        const bool opened = autohide ? !maker_fails && !autohide_fails : settings_open;
        auto now = device.RegGet(v.key, v.name);
        if (!opened) {
            // Nothing is read or written under a key that cannot be opened.
            bool same = stored[i] ? (now && now->type == stored[i]->type && now->data == stored[i]->data) : !now;
            if (!same)
                Fail(name + " was changed under a key that could not be opened");
            if (v.flag && *v.flag != 0)
                Fail(name + " changed in memory though its key could not be opened");
            continue;
        }
        if (!now)
            Fail(name + " is missing afterwards");
        if (v.text) {
            bool readable = stored[i] && stored[i]->data.size() <= 200;
            std::vector<uint8_t> expected = readable ? stored[i]->data : TextData(v.default_text);
            DWORD type = readable ? stored[i]->type : (DWORD)REG_SZ;
            if (now->type != type || now->data != expected)
                Fail(name + " holds what it should not: type " + std::to_string(now->type) + ", " +
                     std::to_string(now->data.size()) + " bytes");
            continue;
        }
        bool readable = stored[i] && stored[i]->data.size() <= 4;
        uint32_t expected = readable ? Overlay(stored[i]->data) : 0;
        if (*v.flag != expected)
            Fail(name + " is " + std::to_string(*v.flag) + " in memory, not " + std::to_string(expected));
        // The flags are all stored again by SaveSettings; the auto-hide value
        // only when it could not be read.
        bool rewritten = !autohide || !readable;
        if (rewritten && (now->type != REG_DWORD || now->data != Dword(expected)))
            Fail(name + " was not stored as a 4-byte REG_DWORD of its value");
        if (!rewritten && (now->type != stored[i]->type || now->data != stored[i]->data))
            Fail(name + " was rewritten though it could be read");
    }
    if (settings_open && device.RegValueNames(SETTINGS_KEY).size() != 8)
        Fail("the settings key holds " + std::to_string(device.RegValueNames(SETTINGS_KEY).size()) +
             " values, not 8");
    if (!maker_fails && !device.RegValueNames(MAKER_KEY).empty())
        Fail("values were written under the maker's key");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        Check(data, size);
    } catch (const cesim::Error& e) {
        Fail(std::string("the simulated device refused: ") + e.what());
    }
    return 0;
}
