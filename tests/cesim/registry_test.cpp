// The registry of the simulated device: keys and values as a program sees
// them, the faults a test can inject, and the test's own view of the store.
#include "sim_support.h"

#include <cstring>

using simtest::DeviceTest;
using simtest::Pump;
using simtest::ErrorOf;

namespace {

class cesimRegistry : public DeviceTest {};

std::vector<uint8_t> Bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> out;
    for (int b : list)
        out.push_back((uint8_t)b);
    return out;
}

// The bytes of a REG_SZ as a program writes it: UTF-16LE with its terminator.
std::vector<uint8_t> SzBytes(const std::u16string& text)
{
    std::vector<uint8_t> out;
    for (char16_t c : text) {
        out.push_back((uint8_t)(c & 0xFF));
        out.push_back((uint8_t)(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

HKEY Create(HKEY root, const char16_t* path, DWORD* disposition = nullptr, LONG* status = nullptr)
{
    HKEY key = (HKEY)0x1;
    LONG r = RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                             disposition);
    if (status)
        *status = r;
    return key;
}

// ---------------------------------------------------------------- keys

TEST_F(cesimRegistry, CreateKeyMakesNestedKeysAndThenOpensThem)
{
    DWORD disposition[4] = {};
    LONG status[4] = {-1, -1, -1, -1};
    LONG openMissing = 0, openExisting = -1;
    HKEY missing = (HKEY)0x1, existing = nullptr;
    Run([&] {
        HKEY deep = Create(HKEY_CURRENT_USER, u"Software\\Velto\\Deep", &disposition[0], &status[0]);
        HKEY again = Create(HKEY_CURRENT_USER, u"Software\\Velto\\Deep", &disposition[1], &status[1]);
        HKEY shouting = Create(HKEY_CURRENT_USER, u"SOFTWARE\\velto\\DEEP", &disposition[2], &status[2]);
        HKEY velto = Create(HKEY_CURRENT_USER, u"Software\\Velto", nullptr, nullptr);
        HKEY child = Create(velto, u"Child", &disposition[3], &status[3]);  // relative to an open key
        openMissing = RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Nothing", 0, KEY_QUERY_VALUE, &missing);
        openExisting = RegOpenKeyExW(velto, u"deep", 0, KEY_QUERY_VALUE, &existing);
        for (HKEY k : {deep, again, shouting, velto, child, existing})
            RegCloseKey(k);
        return 0;
    });
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ERROR_SUCCESS, status[i]) << i;
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition[0]);
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition[1]);
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition[2]);
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition[3]);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, openMissing);
    EXPECT_EQ(nullptr, missing);
    EXPECT_EQ(ERROR_SUCCESS, openExisting);
    EXPECT_NE(nullptr, existing);
    EXPECT_TRUE(device().RegKeyExists("HKEY_CURRENT_USER\\Software"));
    EXPECT_TRUE(device().RegKeyExists("HKCU\\Software\\Velto\\Deep"));
    EXPECT_TRUE(device().RegKeyExists("HKCU\\software\\VELTO\\deep"));
    EXPECT_TRUE(device().RegKeyExists("HKCU\\Software\\Velto\\Child"));
    EXPECT_FALSE(device().RegKeyExists("HKCU\\Software\\Nothing"));
    EXPECT_FALSE(device().RegKeyExists("HKLM\\Software\\Velto"));  // the other root is apart
}

TEST_F(cesimRegistry, ValueNamesIgnoreCase)
{
    LONG read = -1;
    DWORD value = 0, size = sizeof(value), type = 0;
    Run([&] {
        HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        DWORD one = 1, two = 2;
        RegSetValueExW(k, u"Width", 0, REG_DWORD, (const BYTE*)&one, 4);
        RegSetValueExW(k, u"WIDTH", 0, REG_DWORD, (const BYTE*)&two, 4);  // the same value
        read = RegQueryValueExW(k, u"width", nullptr, &type, (LPBYTE)&value, &size);
        RegCloseKey(k);
        return 0;
    });
    EXPECT_EQ(ERROR_SUCCESS, read);
    EXPECT_EQ(2u, value);
    EXPECT_EQ((DWORD)REG_DWORD, type);
    EXPECT_EQ(1u, device().RegValueNames("HKCU\\Software\\Velto").size());
    EXPECT_EQ(2u, device().RegGetDword("HKCU\\Software\\Velto", u"wIdTh").value_or(0));
}

// ---------------------------------------------------------------- reading values

TEST_F(cesimRegistry, AMissingValueIsFileNotFound)
{
    device().RegSetDword("HKCU\\Software\\Velto", u"Present", 1);
    LONG status = 0;
    DWORD type = 77, size = 4;
    BYTE data[4] = {9, 9, 9, 9};
    Run([&] {
        HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        status = RegQueryValueExW(k, u"Absent", nullptr, &type, data, &size);
        RegCloseKey(k);
        return 0;
    });
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, status);
    EXPECT_EQ(Bytes({9, 9, 9, 9}), std::vector<uint8_t>(data, data + 4));
}

TEST_F(cesimRegistry, ASmallBufferGetsMoreDataAndTheSizeAndStaysUntouched)
{
    device().RegSetString("HKCU\\Software\\Velto", u"Name", u"Hello");  // 12 bytes
    LONG small = 0, exact = -1;
    DWORD smallSize = 4, exactSize = 12, type = 0;
    BYTE smallBuffer[8], exactBuffer[14];
    std::memset(smallBuffer, 0xAB, sizeof smallBuffer);
    std::memset(exactBuffer, 0xAB, sizeof exactBuffer);
    Run([&] {
        HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        small = RegQueryValueExW(k, u"Name", nullptr, &type, smallBuffer, &smallSize);
        exact = RegQueryValueExW(k, u"Name", nullptr, nullptr, exactBuffer, &exactSize);
        RegCloseKey(k);
        return 0;
    });
    EXPECT_EQ(ERROR_MORE_DATA, small);
    EXPECT_EQ(12u, smallSize);
    EXPECT_EQ((DWORD)REG_SZ, type);
    for (BYTE b : smallBuffer)
        EXPECT_EQ(0xAB, b);
    EXPECT_EQ(ERROR_SUCCESS, exact);
    EXPECT_EQ(12u, exactSize);
    EXPECT_EQ(SzBytes(u"Hello"), std::vector<uint8_t>(exactBuffer, exactBuffer + 12));
    EXPECT_EQ(0xAB, exactBuffer[12]);
}

TEST_F(cesimRegistry, NullDataAsksForTheSize)
{
    device().RegSet("HKCU\\Software\\Velto", u"Blob", REG_BINARY, Bytes({1, 2, 3, 4, 5}));
    LONG status = -1, typeOnly = -1, badSize = 0;
    DWORD size = 0, type = 0, type2 = 0;
    Run([&] {
        HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        status = RegQueryValueExW(k, u"Blob", nullptr, &type, nullptr, &size);
        typeOnly = RegQueryValueExW(k, u"Blob", nullptr, &type2, nullptr, nullptr);
        BYTE data[8];
        badSize = RegQueryValueExW(k, u"Blob", nullptr, nullptr, data, nullptr);  // data without its size
        RegCloseKey(k);
        return 0;
    });
    EXPECT_EQ(ERROR_SUCCESS, status);
    EXPECT_EQ(5u, size);
    EXPECT_EQ((DWORD)REG_BINARY, type);
    EXPECT_EQ(ERROR_SUCCESS, typeOnly);
    EXPECT_EQ((DWORD)REG_BINARY, type2);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, badSize);
}

TEST_F(cesimRegistry, DataOfAnyTypeIsReadAsItsBytes)
{
    device().RegSetDword("HKCU\\Software\\Velto", u"Dword", 0x11223344);
    device().RegSet("HKCU\\Software\\Velto", u"Multi", REG_MULTI_SZ, Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
    device().RegSet("HKCU\\Software\\Velto", u"None", REG_NONE, {});
    device().RegSet("HKCU\\Software\\Velto", u"", REG_SZ, SzBytes(u"default"));
    struct Read {
        LONG status;
        DWORD type;
        std::vector<uint8_t> data;
    };
    Read reads[4];
    const char16_t* names[4] = {u"Dword", u"Multi", u"None", nullptr};
    Run([&] {
        HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        for (int i = 0; i < 4; ++i) {
            BYTE buffer[64];
            DWORD size = sizeof buffer;
            reads[i].status = RegQueryValueExW(k, names[i], nullptr, &reads[i].type, buffer, &size);
            reads[i].data.assign(buffer, buffer + size);
        }
        RegCloseKey(k);
        return 0;
    });
    for (auto& r : reads)
        EXPECT_EQ(ERROR_SUCCESS, r.status);
    EXPECT_EQ((DWORD)REG_DWORD, reads[0].type);
    EXPECT_EQ(Bytes({0x44, 0x33, 0x22, 0x11}), reads[0].data);
    EXPECT_EQ((DWORD)REG_MULTI_SZ, reads[1].type);
    EXPECT_EQ(Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}), reads[1].data);
    EXPECT_EQ((DWORD)REG_NONE, reads[2].type);
    EXPECT_TRUE(reads[2].data.empty());
    EXPECT_EQ((DWORD)REG_SZ, reads[3].type);  // a null name is the key's default value
    EXPECT_EQ(SzBytes(u"default"), reads[3].data);
}

// ---------------------------------------------------------------- writing values

TEST_F(cesimRegistry, SetValueReplacesTypeAndData)
{
    LONG status[3] = {-1, -1, -1};
    Run([&] {
        HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        DWORD one = 1;
        status[0] = RegSetValueExW(k, u"Mode", 0, REG_DWORD, (const BYTE*)&one, 4);
        const char16_t text[] = u"top";
        status[1] = RegSetValueExW(k, u"Mode", 0, REG_SZ, (const BYTE*)text, sizeof text);
        status[2] = RegSetValueExW(k, u"Empty", 0, REG_BINARY, nullptr, 0);
        RegCloseKey(k);
        return 0;
    });
    for (LONG s : status)
        EXPECT_EQ(ERROR_SUCCESS, s);
    auto mode = device().RegGet("HKCU\\Software\\Velto", u"Mode");
    ASSERT_TRUE(mode.has_value());
    EXPECT_EQ((DWORD)REG_SZ, mode->type);
    EXPECT_EQ(SzBytes(u"top"), mode->data);
    EXPECT_EQ(u"top", device().RegGetString("HKCU\\Software\\Velto", u"Mode").value_or(u"?"));
    auto empty = device().RegGet("HKCU\\Software\\Velto", u"Empty");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ((DWORD)REG_BINARY, empty->type);
    EXPECT_TRUE(empty->data.empty());
    EXPECT_EQ((std::vector<std::u16string>{u"Mode", u"Empty"}), device().RegValueNames("HKCU\\Software\\Velto"));
}

TEST_F(cesimRegistry, SetValueWithDataMissingIsRefused)
{
    LONG status = 0;
    Run([&] {
        HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        status = RegSetValueExW(k, u"Broken", 0, REG_BINARY, nullptr, 4);
        RegCloseKey(k);
        return 0;
    });
    EXPECT_NE(ERROR_SUCCESS, status);
    EXPECT_FALSE(device().RegGet("HKCU\\Software\\Velto", u"Broken").has_value());
}

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

TEST_F(cesimRegistry, ClosingKeys)
{
    LONG unknown = 0, first = -1, second = 0, root = -1, useAfterClose = 0;
    int openBefore = -1;
    DWORD pid = Run([&] { return Pump(); });
    device().RunInProcess(pid, [&] {
        Create(HKEY_CURRENT_USER, u"Software\\Velto");  // left open
        return 0;
    });
    openBefore = device().OpenHandles(pid, "registry");
    device().RunInProcess(pid, [&] {
        unknown = RegCloseKey((HKEY)0x7777);
        HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Velto");
        first = RegCloseKey(k);
        second = RegCloseKey(k);
        root = RegCloseKey(HKEY_CURRENT_USER);
        DWORD v = 1;
        useAfterClose = RegSetValueExW(k, u"Late", 0, REG_DWORD, (const BYTE*)&v, 4);
        return 0;
    });
    EXPECT_EQ(1, openBefore);
    EXPECT_EQ(ERROR_INVALID_HANDLE, unknown);
    EXPECT_EQ(ERROR_SUCCESS, first);
    EXPECT_EQ(ERROR_INVALID_HANDLE, second);
    EXPECT_EQ(ERROR_SUCCESS, root);
    EXPECT_EQ(ERROR_INVALID_HANDLE, useAfterClose);
    EXPECT_EQ(1, device().OpenHandles(pid, "registry"));
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
    device().RegSet("HKLM\\Software\\Velto", u"Raw", REG_BINARY, Bytes({7, 8}));
    EXPECT_EQ(240u, device().RegGetDword("HKCU\\Software\\Velto", u"Width").value_or(0));
    EXPECT_EQ(u"Velto ✓", device().RegGetString("HKCU\\Software\\Velto", u"Name").value_or(u""));
    auto name = device().RegGet("HKCU\\Software\\Velto", u"Name");
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(SzBytes(u"Velto ✓"), name->data);
    auto raw = device().RegGet("HKEY_LOCAL_MACHINE\\Software\\Velto", u"Raw");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ((DWORD)REG_BINARY, raw->type);
    EXPECT_EQ(Bytes({7, 8}), raw->data);
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

TEST_F(cesimRegistry, MisusingTheTestsViewThrowsAClearError)
{
    std::string badRoot = ErrorOf([&] { device().RegGet("HKXX\\a", u"v"); });
    EXPECT_NE(std::string::npos, badRoot.find("HKXX\\a")) << badRoot;
    EXPECT_NE(std::string::npos, badRoot.find("HKEY_CURRENT_USER")) << badRoot;
    EXPECT_THROW(device().RegSet("HKXX\\a", u"v", REG_DWORD, Bytes({0, 0, 0, 0})), cesim::Error);
    EXPECT_THROW(device().RegSetDword("HKEY_CLASSES_ROOT\\a", u"v", 1), cesim::Error);
    EXPECT_THROW(device().RegKeyExists(""), cesim::Error);
    EXPECT_THROW(device().FailKeyOpen("HKXX\\a"), cesim::Error);
    EXPECT_THROW(device().FailValueWrite("Software\\Velto", u"v"), cesim::Error);

    std::string missingKey = ErrorOf([&] { device().RegValueNames("HKCU\\Software\\Missing"); });
    EXPECT_NE(std::string::npos, missingKey.find("HKCU\\Software\\Missing")) << missingKey;
    EXPECT_NE(std::string::npos, missingKey.find("does not exist")) << missingKey;
    EXPECT_THROW(device().RegDeleteValue("HKCU\\Software\\Missing", u"v"), cesim::Error);
    EXPECT_THROW(device().RegDeleteKey("HKCU\\Software\\Missing"), cesim::Error);
    EXPECT_THROW(device().RegFlushes("HKCU\\Software\\Missing"), cesim::Error);
    EXPECT_THROW(device().RegDeleteKey("HKCU"), cesim::Error);

    device().RegSetString("HKCU\\Software\\Velto", u"Text", u"abc");
    device().RegSetDword("HKCU\\Software\\Velto", u"Number", 1);
    device().RegSet("HKCU\\Software\\Velto", u"Short", REG_DWORD, Bytes({1, 2}));
    std::string missingValue = ErrorOf([&] { device().RegDeleteValue("HKCU\\Software\\Velto", u"Absent"); });
    EXPECT_NE(std::string::npos, missingValue.find("Absent")) << missingValue;
    EXPECT_THROW(device().RegGetDword("HKCU\\Software\\Velto", u"Text"), cesim::Error);
    EXPECT_THROW(device().RegGetDword("HKCU\\Software\\Velto", u"Short"), cesim::Error);
    EXPECT_THROW(device().RegGetString("HKCU\\Software\\Velto", u"Number"), cesim::Error);
}

}  // namespace
