// Processes: another program's process from its window, its program file,
// and the icons a program file carries.
#include "fixture.h"

#include <string>

using namespace conformance;

namespace {

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The thread and process of a window, another program's and the program's
// own. Windows CE names another program's file from its process handle;
// desktop Windows takes modules of the calling process only.
TEST(Processes, AnotherProgramFromItsWindow)
{
    OtherProgram other;
    HWND theirs = other.AddWindow({TEXT("Theirs"), TEXT("theirs")});
    RunAsProgram([&] {
        DWORD id = 0;
        EXPECT_NE(0u, GetWindowThreadProcessId(theirs, &id));
        EXPECT_EQ(other.Id(), id);
        EXPECT_NE(GetCurrentProcessId(), id);
        HWND own = MakeWindow(TEXT("Own"), TEXT("own"), WS_POPUP, RECT{0, 0, 10, 10});
        EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(own, &id));
        EXPECT_EQ(GetCurrentProcessId(), id);
        HANDLE process = OpenProcess(PLATFORM_PROCESS_ACCESS, FALSE, other.Id());
        ASSERT_NE((HANDLE)NULL, process);
        WCHAR path[260];
        DWORD length = GetModuleFileNameW((HMODULE)process, path, 260);
        EXPECT_EQ(CE_DIFFERENCE(MODULE_FILE_OF_A_PROCESS, true, false),
                  length > 0);
        if (length > 0) {
            EXPECT_TRUE(EndsWith(Utf8(path), ".exe")) << Utf8(path);
            EXPECT_NE(GetModuleFileNameW(NULL, path, 260), length);  // not the caller's own file
        }
        // Velto's call, as the task menu makes it: the other program's file and its count of characters.
        length = VELTO_CALL(GetModuleFileNameW)((HMODULE)process, path, 260);
        EXPECT_EQ(Utf8(other.File()), Utf8(path));
        EXPECT_EQ((DWORD)lstrlenW(other.File()), length);
        EXPECT_TRUE(CloseHandle(process));
        // A program file without an icon gives none.
        HICON small = NULL;
        ExtractIconExW(TEXT("\\Windows\\nowhere.exe"), 0, NULL, &small, 1);
        EXPECT_EQ((HICON)NULL, small);
    });
}

TEST(Processes, TheProgramsOwnFile)
{
    RunAsProgram([] {
        WCHAR path[260];
        DWORD length = GetModuleFileNameW(NULL, path, 260);
        EXPECT_GT(length, 0u);
        EXPECT_EQ(length, (DWORD)Utf8(path).size());
        EXPECT_TRUE(EndsWith(Utf8(path), ".exe")) << Utf8(path);
        WCHAR velto[260];
        EXPECT_EQ(length, VELTO_CALL(GetModuleFileNameW)(NULL, velto, 260));
        EXPECT_EQ(Utf8(path), Utf8(velto));
        EXPECT_EQ(length, GetModuleFileNameW(GetModuleHandleW(NULL), path, 260));
        EXPECT_EQ((HANDLE)NULL, OpenProcess(PLATFORM_PROCESS_ACCESS, FALSE, 0xFFFFFFF0));  // no such process
    });
}

// A program file's icon, extracted one size at a time: the large image and
// the small one, each a new icon of its own size. An index past the file's
// icons gives none.
TEST(Processes, TheIconsOfAProgramFile)
{
    OtherProgram other;
    RunAsProgram([&] {
        HICON large = NULL, small = NULL, none = NULL;
        EXPECT_EQ(1u, ExtractIconExW(other.File(), 0, NULL, &small, 1));
        EXPECT_EQ(1u, ExtractIconExW(other.File(), 0, &large, NULL, 1));
        ASSERT_NE((HICON)NULL, small);
        ASSERT_NE((HICON)NULL, large);
        EXPECT_NE(small, large);
        EXPECT_EQ(16, IconSize(small).cx);
        EXPECT_EQ(32, IconSize(large).cx);
        EXPECT_TRUE(DestroyIcon(small));
        EXPECT_TRUE(DestroyIcon(large));
        EXPECT_EQ(0u, ExtractIconExW(other.File(), 99, NULL, &none, 1));
        EXPECT_EQ((HICON)NULL, none);
    });
}

}  // namespace
