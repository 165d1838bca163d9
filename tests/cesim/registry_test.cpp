// The registry of the simulated device: the faults a test can inject, the
// test's own view of the store, and keys pulled away underneath a program
// (misuse of the test's view is in device_test.cpp).
// How the registry calls behave is held against Wine by the conformance
// suite (tests/conformance).
#include "sim_support.h"

#include <cstring>

using simtest::DeviceTest;
using simtest::Pump;

namespace {

class cesimRegistry : public DeviceTest {};

using Bytes = std::vector<uint8_t>;

HKEY Create(HKEY root, const char16_t* path, DWORD* disposition = nullptr, LONG* status = nullptr)
{
    HKEY key = (HKEY)0x1;
    LONG r = RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                             disposition);
    if (status)
        *status = r;
    return key;
}

// ---------------------------------------------------------------- flushes

TEST_F(cesimRegistry, FlushesAreCountedPerKey)
{
    LONG status = -1;
    Run([&] {
        HKEY velto = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        HKEY other = Create(HKEY_CURRENT_USER, u"Software\\Other");
        status = RegFlushKey(velto);
        RegFlushKey(velto);
        RegFlushKey(other);
        RegCloseKey(velto);
        RegCloseKey(other);
        return 0;
    });
    EXPECT_EQ(ERROR_SUCCESS, status);
    EXPECT_EQ(2, device().RegFlushes("HKCU\\Software\\Velto"));
    EXPECT_EQ(1, device().RegFlushes("HKEY_CURRENT_USER\\software\\other"));
    EXPECT_EQ(0, device().RegFlushes("HKCU\\Software"));
}

// ---------------------------------------------------------------- deleted keys

// A program cannot delete a key it holds open, but the test can pull one away
// underneath it; the handle then answers ERROR_KEY_DELETED.
TEST_F(cesimRegistry, AnOpenKeyDeletedUnderneathReportsKeyDeleted)
{
    device().RegSetDword("HKCU\\Software\\Velto", u"Width", 1);
    HKEY k = nullptr;
    DWORD pid = Run([&] {
        k = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        return Pump();
    });
    device().RegDeleteKey("HKCU\\Software\\Velto");
    LONG query = 0, set = 0;
    device().RunInProcess(pid, [&] {
        DWORD v = 0, size = 4;
        query = RegQueryValueExW(k, u"Width", nullptr, nullptr, (LPBYTE)&v, &size);
        set = RegSetValueExW(k, u"Width", 0, REG_DWORD, (const BYTE*)&v, 4);
        return 0;
    });
    EXPECT_EQ(ERROR_KEY_DELETED, query);
    EXPECT_EQ(ERROR_KEY_DELETED, set);
    EXPECT_FALSE(device().RegKeyExists("HKCU\\Software\\Velto"));
}

// ---------------------------------------------------------------- faults

TEST_F(cesimRegistry, AFailingKeyCannotBeCreatedOrOpened)
{
    device().FailKeyOpen("HKCU\\Software\\Velto");
    LONG create = ERROR_SUCCESS, shouting = ERROR_SUCCESS, open = ERROR_SUCCESS, other = -1, afterClear = -1;
    HKEY failed = (HKEY)0x1;
    DWORD pid = Run([&] {
        create = RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Velto", 0, nullptr, 0, 0, nullptr, &failed, nullptr);
        HKEY k;
        Create(HKEY_CURRENT_USER, u"SOFTWARE\\VELTO", nullptr, &shouting);
        open = RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Velto", 0, 0, &k);
        RegCloseKey(Create(HKEY_CURRENT_USER, u"Software\\Other", nullptr, &other));
        return Pump();
    });
    EXPECT_NE(ERROR_SUCCESS, create);
    EXPECT_EQ(nullptr, failed);
    EXPECT_NE(ERROR_SUCCESS, shouting);
    EXPECT_NE(ERROR_SUCCESS, open);
    EXPECT_EQ(ERROR_SUCCESS, other);
    EXPECT_FALSE(device().RegKeyExists("HKCU\\Software\\Velto"));
    EXPECT_EQ(0, device().OpenHandles(pid, "registry"));

    device().ClearRegistryFaults();
    device().RunInProcess(pid, [&] {
        RegCloseKey(Create(HKEY_CURRENT_USER, u"Software\\Velto", nullptr, &afterClear));
        return 0;
    });
    EXPECT_EQ(ERROR_SUCCESS, afterClear);
    EXPECT_TRUE(device().RegKeyExists("HKCU\\Software\\Velto"));
}

TEST_F(cesimRegistry, AFailingValueCannotBeWritten)
{
    device().RegSetDword("HKCU\\Software\\Velto", u"Width", 1);
    device().FailValueWrite("HKCU\\Software\\Velto", u"Width");
    LONG failing = ERROR_SUCCESS, otherName = -1, afterClear = -1;
    HKEY k = nullptr;
    DWORD pid = Run([&] {
        k = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        DWORD v = 2;
        failing = RegSetValueExW(k, u"WIDTH", 0, REG_DWORD, (const BYTE*)&v, 4);
        otherName = RegSetValueExW(k, u"Height", 0, REG_DWORD, (const BYTE*)&v, 4);
        return Pump();
    });
    EXPECT_NE(ERROR_SUCCESS, failing);
    EXPECT_EQ(1u, device().RegGetDword("HKCU\\Software\\Velto", u"Width").value_or(0));
    EXPECT_EQ(ERROR_SUCCESS, otherName);
    EXPECT_EQ(2u, device().RegGetDword("HKCU\\Software\\Velto", u"Height").value_or(0));

    device().ClearRegistryFaults();
    device().RunInProcess(pid, [&] {
        DWORD v = 3;
        afterClear = RegSetValueExW(k, u"Width", 0, REG_DWORD, (const BYTE*)&v, 4);
        return 0;
    });
    EXPECT_EQ(ERROR_SUCCESS, afterClear);
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

TEST_F(cesimRegistry, TheTestSeesWhatTheProgramWrote)
{
    Run([&] {
        HKEY k = Create(HKEY_LOCAL_MACHINE, u"Software\\Velto");
        DWORD v = 0x01020304;
        RegSetValueExW(k, u"Flags", 0, REG_DWORD, (const BYTE*)&v, 4);
        const char16_t text[] = u"ok";
        RegSetValueExW(k, u"State", 0, REG_SZ, (const BYTE*)text, sizeof text);
        RegCloseKey(k);
        return 0;
    });
    EXPECT_EQ(0x01020304u, device().RegGetDword("HKLM\\Software\\Velto", u"flags").value_or(0));
    EXPECT_EQ(u"ok", device().RegGetString("HKLM\\Software\\Velto", u"State").value_or(u""));
}

}  // namespace
