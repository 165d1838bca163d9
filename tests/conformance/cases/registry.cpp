// The registry: keys (volatile ones too), values of each type and size, reads
// into buffers too small, missing values, strings stored without their
// terminator, closing keys, and the access mask.
#include "fixture.h"

#include <cstring>
#include <vector>

using namespace conformance;

namespace {

const WCHAR CASE_KEY[] = TEXT("Software\\VeltoConformance");

// The case's own key, empty: it goes before and after the case.
HKEY FreshKey()
{
    DropRegistryKey(HKEY_CURRENT_USER, CASE_KEY);
    HKEY key = NULL;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, CASE_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                                             NULL));
    return key;
}

void DropKey(HKEY key)
{
    RegCloseKey(key);
    DropRegistryKey(HKEY_CURRENT_USER, CASE_KEY);
}

std::vector<BYTE> Bytes(const void* data, size_t size)
{
    return std::vector<BYTE>((const BYTE*)data, (const BYTE*)data + size);
}

// ---------------------------------------------------------------- reading values

const WCHAR HELLO[] = TEXT("Hello");               // 12 bytes with its terminator
const WCHAR WITHOUT_END[] = TEXT("abcX");          // stored as its first 6 bytes
const WCHAR TWO_STRINGS[] = TEXT("a\0b\0");        // REG_MULTI_SZ: 10 bytes
const DWORD NUMBER = 0x11223344;

struct Query {
    const char* what;
    const WCHAR* name;
    int buffer;  // bytes offered; -1: no data buffer
    bool size_given;
    LONG status;
    DWORD size;  // as returned (not looked at when status is neither success nor more data)
    DWORD type;
    const void* data;  // what is read, when it is read (null: not looked at)
};

const Query QUERIES[] = {
    {"a string with room", TEXT("Name"), 64, true, ERROR_SUCCESS, 12, REG_SZ, HELLO},
    {"a string in its exact size", TEXT("Name"), 12, true, ERROR_SUCCESS, 12, REG_SZ, HELLO},
    {"the name in another case", TEXT("NAME"), 64, true, ERROR_SUCCESS, 12, REG_SZ, HELLO},
    {"a buffer too small", TEXT("Name"), 4, true, ERROR_MORE_DATA, 12, REG_SZ, NULL},
    {"a buffer of no bytes", TEXT("Name"), 0, true, ERROR_MORE_DATA, 12, REG_SZ, NULL},
    {"no buffer asks for the size", TEXT("Name"), -1, true, ERROR_SUCCESS, 12, REG_SZ, NULL},
    {"a buffer without its size", TEXT("Name"), 64, false, ERROR_INVALID_PARAMETER, 0, 0, NULL},
    {"a missing value", TEXT("Absent"), 64, true, ERROR_FILE_NOT_FOUND, 0, 0, NULL},
    {"a number", TEXT("Number"), 64, true, ERROR_SUCCESS, 4, REG_DWORD, &NUMBER},
    {"a number into too small a buffer", TEXT("Number"), 2, true, ERROR_MORE_DATA, 4, REG_DWORD, NULL},
    {"two strings", TEXT("Multi"), 64, true, ERROR_SUCCESS, 10, REG_MULTI_SZ, TWO_STRINGS},
    {"no data at all", TEXT("None"), 64, true, ERROR_SUCCESS, 0, REG_NONE, NULL},
    {"a string stored without its terminator", TEXT("Unended"), 64, true, ERROR_SUCCESS, 6, REG_SZ, WITHOUT_END},
    {"a string without its terminator filling the buffer", TEXT("Unended"), 6, true, ERROR_SUCCESS, 6, REG_SZ,
     WITHOUT_END},
    {"the default value (empty name)", TEXT(""), 64, true, ERROR_SUCCESS, 12, REG_SZ, HELLO},
    {"the default value (no name)", NULL, 64, true, ERROR_SUCCESS, 12, REG_SZ, HELLO},
};

TEST(Registry, ValuesReadBackWithTheirTypeAndSize)
{
    RunAsProgram([] {
        HKEY key = FreshKey();
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, TEXT("Name"), 0, REG_SZ, (const BYTE*)HELLO, sizeof HELLO));
        RegSetValueExW(key, TEXT("Number"), 0, REG_DWORD, (const BYTE*)&NUMBER, sizeof NUMBER);
        RegSetValueExW(key, TEXT("Multi"), 0, REG_MULTI_SZ, (const BYTE*)TWO_STRINGS, sizeof TWO_STRINGS);
        RegSetValueExW(key, TEXT("None"), 0, REG_NONE, NULL, 0);
        RegSetValueExW(key, TEXT("Unended"), 0, REG_SZ, (const BYTE*)WITHOUT_END, 6);
        RegSetValueExW(key, NULL, 0, REG_SZ, (const BYTE*)HELLO, sizeof HELLO);
        for (const Query& q : QUERIES) {
            BYTE buffer[64];
            std::memset(buffer, 0xAB, sizeof buffer);
            DWORD size = q.buffer < 0 ? 0 : (DWORD)q.buffer, type = 0xFFFF;
            LONG status = RegQueryValueExW(key, q.name, NULL, &type, q.buffer < 0 ? NULL : buffer,
                                           q.size_given ? &size : NULL);
            EXPECT_EQ(q.status, status) << q.what;
            if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
                continue;
            if (status == ERROR_MORE_DATA) {
                EXPECT_EQ(0xAB, buffer[0]) << q.what << ": a read that does not fit leaves the buffer";
            }
            EXPECT_EQ(q.size, size) << q.what;
            EXPECT_EQ(q.type, type) << q.what;
            if (q.data != NULL) {
                EXPECT_EQ(Bytes(q.data, q.size), Bytes(buffer, size)) << q.what;
            }
        }
        BYTE buffer[64];
        DWORD size = sizeof buffer;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, TEXT("Name"), NULL, NULL, buffer, &size)) << "no type asked for";
        EXPECT_EQ(Bytes(HELLO, sizeof HELLO), Bytes(buffer, size)) << "no type asked for";
        DropKey(key);
    });
}

// ---------------------------------------------------------------- writing values and keys

TEST(Registry, WritingReplacesTypeAndDataAndNeedsTheData)
{
    RunAsProgram([] {
        HKEY key = FreshKey();
        DWORD one = 1;
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, TEXT("Mode"), 0, REG_DWORD, (const BYTE*)&one, 4));
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, TEXT("MODE"), 0, REG_SZ, (const BYTE*)HELLO, sizeof HELLO));
        DWORD type = 0, size = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, TEXT("mode"), NULL, &type, NULL, &size));
        EXPECT_EQ((DWORD)REG_SZ, type);
        EXPECT_EQ(12u, size);
        EXPECT_NE(ERROR_SUCCESS, RegSetValueExW(key, TEXT("Broken"), 0, REG_BINARY, NULL, 4));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, TEXT("Broken"), NULL, NULL, NULL, &size));
        // What a flush keeps across a restart (the device loses unflushed writes)
        // is beyond a case: no case restarts the machine it runs on.
        EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(key));
        DropKey(key);
    });
}

TEST(Registry, KeysAreCreatedOnceAndOpenedWithoutRegardToCase)
{
    RunAsProgram([] {
        HKEY key = FreshKey();
        struct Row {
            HKEY parent;
            const WCHAR* path;
            DWORD options;
            LONG status;
            DWORD disposition;  // when created or opened
        };
        // The options count only for the keys a call creates: every one of
        // them, and only volatile keys go under a volatile key.
        const Row rows[] = {
            {key, TEXT("Deep\\Deeper"), 0, ERROR_SUCCESS, REG_CREATED_NEW_KEY},
            {key, TEXT("Deep\\Deeper"), 0, ERROR_SUCCESS, REG_OPENED_EXISTING_KEY},
            {key, TEXT("DEEP\\deeper"), 0, ERROR_SUCCESS, REG_OPENED_EXISTING_KEY},
            {HKEY_CURRENT_USER, TEXT("Software\\VeltoConformance\\Deep"), 0, ERROR_SUCCESS, REG_OPENED_EXISTING_KEY},
            {key, TEXT("Deep\\Other"), 0, ERROR_SUCCESS, REG_CREATED_NEW_KEY},
            {key, TEXT("Deep"), REG_OPTION_VOLATILE, ERROR_SUCCESS, REG_OPENED_EXISTING_KEY},
            {key, TEXT("Deep\\Third"), 0, ERROR_SUCCESS, REG_CREATED_NEW_KEY},
            {key, TEXT("Session\\Now"), REG_OPTION_VOLATILE, ERROR_SUCCESS, REG_CREATED_NEW_KEY},
            {key, TEXT("Session\\Kept"), 0, ERROR_CHILD_MUST_BE_VOLATILE, 0},
            {key, TEXT("Session\\Now"), 0, ERROR_SUCCESS, REG_OPENED_EXISTING_KEY},
            {key, TEXT("Session\\Later"), REG_OPTION_VOLATILE, ERROR_SUCCESS, REG_CREATED_NEW_KEY},
        };
        for (const Row& row : rows) {
            HKEY made = NULL;
            DWORD disposition = 0;
            EXPECT_EQ(row.status, RegCreateKeyExW(row.parent, row.path, 0, NULL, row.options, KEY_ALL_ACCESS, NULL,
                                                  &made, &disposition)) << Utf8(row.path);
            if (row.status == ERROR_SUCCESS) {
                EXPECT_EQ(row.disposition, disposition) << Utf8(row.path);
                RegCloseKey(made);
            }
        }
        HKEY opened = NULL, missing = (HKEY)1;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key, TEXT("deep"), 0, KEY_QUERY_VALUE, &opened));
        EXPECT_NE((HKEY)NULL, opened);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(key, TEXT("Nothing"), 0, KEY_QUERY_VALUE, &missing));
        EXPECT_EQ((HKEY)NULL, missing);
        RegCloseKey(opened);
        DropKey(key);
    });
}

TEST(Registry, AClosedOrUnknownKeyIsAnInvalidHandle)
{
    RunAsProgram([] {
        HKEY key = FreshKey();
        DWORD one = 1;
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey((HKEY)(UINT_PTR)0x7777));
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExW(key, TEXT("Late"), 0, REG_DWORD, (const BYTE*)&one, 4));
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));  // a root is never closed
        DropKey(NULL);
    });
}

// Windows CE ignores the access a key is opened with; desktop Windows
// refuses reads and writes that the access does not grant.
TEST(Registry, TheAccessMask)
{
    RunAsProgram([] {
        HKEY key = FreshKey();
        HKEY none = NULL, created = NULL, program = NULL;
        DWORD one = 1, data = 0, size = sizeof data;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, CASE_KEY, 0, 0, &none));
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, CASE_KEY, 0, NULL, 0, 0, NULL, &created, NULL));
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, CASE_KEY, 0, NULL, 0, PLATFORM_KEY_ACCESS, NULL,
                                                 &program, NULL));
        const auto refused = CE_DIFFERENCE(REGISTRY_ACCESS_MASK, ERROR_SUCCESS, ERROR_ACCESS_DENIED);
        EXPECT_EQ(refused, RegSetValueExW(none, TEXT("Width"), 0, REG_DWORD, (const BYTE*)&one, 4));
        EXPECT_EQ(refused, RegSetValueExW(created, TEXT("Width"), 0, REG_DWORD, (const BYTE*)&one, 4));
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(program, TEXT("Width"), 0, REG_DWORD, (const BYTE*)&one, 4));
        EXPECT_EQ(refused, RegQueryValueExW(none, TEXT("Width"), NULL, NULL, (LPBYTE)&data, &size));
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(program, TEXT("Width"), NULL, NULL, (LPBYTE)&data, &size));
        EXPECT_EQ(1u, data);
        for (HKEY k : {none, created, program})
            RegCloseKey(k);
        DropKey(key);
    });
}

}  // namespace
