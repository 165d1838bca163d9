// The registry of the simulated device: the faults a test can inject, the
// test's own view of the store, and keys pulled away underneath a program
// (misuse of the test's view is in device_test.cpp). How the registry calls
// behave is held against Wine by the conformance suite (tests/conformance).
#include "sim_support.h"

using simtest::DeviceTest;
using simtest::Pump;

namespace {

class cesimRegistry : public DeviceTest {};

using Bytes = std::vector<uint8_t>;

// RegCreateKeyExW as a program calls it; the key's handle in *key.
LONG Create(HKEY root, const char16_t* path, HKEY* key)
{
    return RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key, nullptr);
}

LONG SetDword(HKEY key, const char16_t* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)&value, 4);
}

// The test sees what a program wrote. A restart keeps what was flushed, with the keys
// on its path (Velto here), and what the test wrote; a value rewritten since
// goes back, a key never flushed goes, and so does a key created volatile,
// flushed or not, with every key created on its way.
TEST_F(cesimRegistry, ARestartKeepsOnlyWhatWasFlushed)
{
    device().RegSetDword("HKCU\\Software\\Test", u"Kept", 1);
    RunToEnd([] {
        HKEY k = nullptr, other = nullptr;
        Create(HKEY_CURRENT_USER, u"Software\\Velto\\Sub", &k);
        SetDword(k, u"Width", 0x01020304);
        RegSetValueExW(k, u"State", 0, REG_SZ, (const BYTE*)u"ok", 6);
        EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(k));
        RegFlushKey(k);
        SetDword(k, u"Width", 2);
        SetDword(k, u"Height", 3);
        Create(HKEY_CURRENT_USER, u"Software\\Other", &other);
        RegFlushKey(other);
        Create(HKEY_CURRENT_USER, u"Software\\Lost", &other);
        Create(HKEY_CURRENT_USER, u"Software\\Test", &other);
        SetDword(other, u"Kept", 4);
        RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Session\\Now", 0, nullptr, REG_OPTION_VOLATILE, 0, nullptr,
                        &k, nullptr);
        RegFlushKey(k);
    });
    EXPECT_EQ(2u, device().RegGetDword("HKCU\\Software\\Velto\\Sub", u"width"));
    EXPECT_EQ(u"ok", device().RegGetString("HKCU\\Software\\Velto\\Sub", u"State"));
    device().RestartRegistry();
    EXPECT_EQ(0x01020304u, device().RegGetDword("HKCU\\Software\\Velto\\Sub", u"Width"));
    EXPECT_FALSE(device().RegGet("HKCU\\Software\\Velto\\Sub", u"Height"));
    EXPECT_EQ(1u, device().RegGetDword("HKCU\\Software\\Test", u"Kept"));
    EXPECT_TRUE(device().RegKeyExists("HKCU\\Software\\Other"));
    EXPECT_FALSE(device().RegKeyExists("HKCU\\Software\\Lost"));
    EXPECT_FALSE(device().RegKeyExists("HKCU\\Software\\Session"));
}

// A program cannot delete a key it holds open, but the test can pull one away
// underneath it; the handle then answers ERROR_KEY_DELETED.
TEST_F(cesimRegistry, AnOpenKeyDeletedUnderneathReportsKeyDeleted)
{
    device().RegSetDword("HKCU\\Software\\Velto", u"Width", 1);
    HKEY k = nullptr;
    DWORD pid = Run([&] {
        Create(HKEY_CURRENT_USER, u"Software\\Velto", &k);
        return Pump();
    });
    device().RegDeleteKey("HKCU\\Software\\Velto");
    device().RunInProcess(pid, [&] {
        DWORD v = 0, size = 4;
        EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(k, u"Width", nullptr, nullptr, (LPBYTE)&v, &size));
        EXPECT_EQ(ERROR_KEY_DELETED, SetDword(k, u"Width", v));
        return 0u;
    });
    EXPECT_FALSE(device().RegKeyExists("HKCU\\Software\\Velto"));
}

// ---------------------------------------------------------------- faults
// (checks inside RunInProcess are made before it returns)

TEST_F(cesimRegistry, AFailingKeyCannotBeCreatedOrOpened)
{
    device().FailKeyOpen("HKCU\\Software\\Velto");
    DWORD pid = Run([] { return Pump(); });
    device().RunInProcess(pid, [] {
        HKEY failed = (HKEY)0x1, k = nullptr;
        EXPECT_NE(ERROR_SUCCESS, Create(HKEY_CURRENT_USER, u"Software\\Velto", &failed));
        EXPECT_EQ(nullptr, failed);
        EXPECT_NE(ERROR_SUCCESS, Create(HKEY_CURRENT_USER, u"SOFTWARE\\VELTO", &k));
        EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Velto", 0, 0, &k));
        EXPECT_EQ(ERROR_SUCCESS, Create(HKEY_CURRENT_USER, u"Software\\Other", &k));
        RegCloseKey(k);
        return 0u;
    });
    EXPECT_FALSE(device().RegKeyExists("HKCU\\Software\\Velto"));
    EXPECT_EQ(0, device().OpenHandles(pid, "registry"));

    device().ClearRegistryFaults();
    device().RunInProcess(pid, [] {
        HKEY k = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, Create(HKEY_CURRENT_USER, u"Software\\Velto", &k));
        RegCloseKey(k);
        return 0u;
    });
    EXPECT_TRUE(device().RegKeyExists("HKCU\\Software\\Velto"));
}

TEST_F(cesimRegistry, AFailingValueCannotBeWritten)
{
    device().RegSetDword("HKCU\\Software\\Velto", u"Width", 1);
    device().FailValueWrite("HKCU\\Software\\Velto", u"Width");
    HKEY k = nullptr;
    DWORD pid = Run([] { return Pump(); });
    device().RunInProcess(pid, [&] {
        Create(HKEY_CURRENT_USER, u"Software\\Velto", &k);
        EXPECT_NE(ERROR_SUCCESS, SetDword(k, u"WIDTH", 2));
        EXPECT_EQ(ERROR_SUCCESS, SetDword(k, u"Height", 2));
        return 0u;
    });
    EXPECT_EQ(1u, device().RegGetDword("HKCU\\Software\\Velto", u"Width").value_or(0));
    EXPECT_EQ(2u, device().RegGetDword("HKCU\\Software\\Velto", u"Height").value_or(0));

    device().ClearRegistryFaults();
    EXPECT_EQ(ERROR_SUCCESS, (LONG)device().RunInProcess(pid, [&] { return (DWORD)SetDword(k, u"Width", 3); }));
    EXPECT_EQ(3u, device().RegGetDword("HKCU\\Software\\Velto", u"Width").value_or(0));
}

// ---------------------------------------------------------------- the test's view

TEST_F(cesimRegistry, TheTestsViewRoundTrips)
{
    device().RegSetDword("HKEY_CURRENT_USER\\Software\\Velto", u"Width", 240);
    device().RegSetString("HKCU\\Software\\Velto", u"Name", u"Velto ✓");
    device().RegSet("HKLM\\Software\\Velto", u"Raw", REG_BINARY, Bytes{7, 8});
    EXPECT_EQ(240u, device().RegGetDword("HKCU\\Software\\Velto", u"Width").value_or(0));
    EXPECT_EQ(u"Velto ✓", device().RegGetString("HKCU\\Software\\Velto", u"Name").value_or(u""));
    auto name = device().RegGet("HKCU\\Software\\Velto", u"Name");
    ASSERT_TRUE(name.has_value());
    // A REG_SZ as a program writes it: UTF-16LE with its terminator.
    EXPECT_EQ((Bytes{'V', 0, 'e', 0, 'l', 0, 't', 0, 'o', 0, ' ', 0, 0x13, 0x27, 0, 0}), name->data);
    auto raw = device().RegGet("HKEY_LOCAL_MACHINE\\Software\\Velto", u"Raw");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ((DWORD)REG_BINARY, raw->type);
    EXPECT_EQ((Bytes{7, 8}), raw->data);
    EXPECT_FALSE(device().RegGet("HKCU\\Software\\Velto", u"Raw").has_value());
    EXPECT_FALSE(device().RegGet("HKCU\\Software\\Nowhere", u"Raw").has_value());  // a missing key is no value
    EXPECT_FALSE(device().RegGetDword("HKCU\\Software\\Velto", u"Nothing").has_value());
    EXPECT_FALSE(device().RegGetString("HKCU\\Software\\Velto", u"Nothing").has_value());

    EXPECT_EQ((std::vector<std::u16string>{u"Width", u"Name"}), device().RegValueNames("HKCU\\Software\\Velto"));
    device().RegDeleteValue("HKCU\\Software\\Velto", u"WIDTH");
    EXPECT_EQ((std::vector<std::u16string>{u"Name"}), device().RegValueNames("HKCU\\Software\\Velto"));

    device().RegSetDword("HKCU\\Software\\Velto\\Sub\\Deeper", u"X", 1);
    device().RegDeleteKey("HKCU\\Software\\Velto");
    EXPECT_FALSE(device().RegKeyExists("HKCU\\Software\\Velto\\Sub\\Deeper"));
    EXPECT_FALSE(device().RegKeyExists("HKCU\\Software\\Velto"));
    EXPECT_TRUE(device().RegKeyExists("HKCU\\Software"));
    EXPECT_TRUE(device().RegKeyExists("HKLM\\Software\\Velto"));
}

}  // namespace
