/*
 * The one door from Velto's code to the platform.
 *
 * On Windows this is the real Windows API. Elsewhere it is the simulated
 * Pocket PC that the tests run against. The handful of things that only
 * Windows CE has, or that desktop Windows does differently, are settled here
 * so that the rest of the program is written for Windows CE alone.
 *
 * Where desktop Windows (and Wine) differ from Windows CE, and what we do.
 * Each row has a case in tests/conformance that states both answers under
 * the row's first cell (CE_DIFFERENCE); a test keeps the two in step.
 *
 * | Call or value | Windows CE | Desktop Windows | What we do on Windows |
 * |---|---|---|---|
 * | top-level window, style WS_VISIBLE alone | no caption, no border | an overlapped window: caption, border, a minimum size | a top-level window without WS_CAPTION becomes a popup (`CreateWindowExW`) |
 * | `GetModuleFileNameW` (process handle) | takes a handle from `OpenProcess` | takes modules of this process only | a process handle is answered by `QueryFullProcessImageNameW`; `PLATFORM_PROCESS_ACCESS` is the access it needs |
 * | `GetDesktopWindow` | the shell's desktop window ("DesktopExplorerWindow", "Desktop") | the root window at (0, 0) | the shell's desktop window when there is one, else the root window |
 * | `SetWindowPos` on `GetDesktopWindow`'s window without a shell desktop | moves the desktop window | the root window: the call fails, nothing moves (Wine too) | nothing |
 * | `GetClassLongW` (`GCL_HICON`) | 32 bits, the class icon | 64-bit: no `GCL_HICON`, handles in `GetClassLongPtrW` | `GCL_HICON` is -14, the call reads the pointer-sized slot |
 * | tray icon notifications | taps: the stylus gives no reports without touching | also the mouse moving over an icon, which Velto would take for a tap, ignoring the real tap that follows within the double-click time | the owner of a tray icon does not get the move reports (`Shell_NotifyIconW`, platform/windows.cpp) |
 * | `InvalidateRect` (null window) | does nothing | repaints every window of the screen | does nothing |
 * | `WS_EX_CAPTIONOKBTN` | the OK button in a caption | no such style | the CE bit value, 0x80000000 |
 * | `GetSysColor` index | carries the flag 0x40000000 | the bare index | `SYS_COLOR_INDEX_FLAG` is 0 |
 * | registry access mask | ignored | mask 0 refuses reads and writes | `PLATFORM_KEY_ACCESS` asks for query, set and create |
 * | tray record size | 152 bytes (32-bit handles) | the record has grown | `PLATFORM_TRAY_RECORD_SIZE` is the first version's size |
 * | `SPI_SETWORKAREA` and moving other programs' windows | the Pocket PC's own screen | rearranges an ordinary desktop | velto.exe runs only on a screen no larger than 480 x 640, and otherwise ends at once with exit code 0 (platform/windows.cpp) |
 * | `LoadIconW` (a program's icon) | the image nearest 32 x 32, at its own size | stretched to 32 x 32 | the image nearest 32 x 32, at its own size (`CreateIconFromResourceEx`) |
 * | the work area | one system-wide work area | (Wine) a work area per process | nothing: the conformance cases cover both |
 * | popup menu around owner-drawn items | as wide as the widest item, no frame | each owner-drawn item twice the menu font's average character wider, and a 3-pixel margin on either side | `PlatformMenuFrameWidth` says what the menu adds, so that the task menu's items leave room for it |
 */
#ifndef VELTO_PLATFORM_H
#define VELTO_PLATFORM_H

#ifdef _WIN32

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#include <wchar.h>

/* The OK button in a window's caption: a Windows CE extended style. */
#ifndef WS_EX_CAPTIONOKBTN
#define WS_EX_CAPTIONOKBTN 0x80000000L
#endif

/* Windows CE passes system colour indexes to GetSysColor with this flag;
   desktop Windows takes the bare index. */
#define SYS_COLOR_INDEX_FLAG 0

/* Windows CE ignores the access mask of a registry key; desktop Windows
   refuses reads and writes on a key opened with mask 0. */
#define PLATFORM_KEY_ACCESS (KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY)

/* Size of the tray icon record up to and including its 64-character tip:
   152 bytes with Windows CE's 32-bit handles. */
#define PLATFORM_TRAY_RECORD_SIZE NOTIFYICONDATAW_V1_SIZE

/* The access that reading another program's file name needs. */
#define PLATFORM_PROCESS_ACCESS PROCESS_QUERY_LIMITED_INFORMATION

/* Windows CE has no overlapped windows: a top-level window without a caption
   has no frame at all. */
inline HWND PlatformCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    if (!(style & (WS_CHILD | WS_POPUP)) && (style & WS_CAPTION) == 0)
        style |= WS_POPUP;
    return CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menu, instance, param);
}

/* Windows CE names another program's file from its process handle. */
inline DWORD PlatformGetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD capacity)
{
    DWORD chars = capacity;
    if (module != NULL && QueryFullProcessImageNameW((HANDLE)module, 0, buffer, &chars))
        return chars;
    return GetModuleFileNameW(module, buffer, capacity);
}

/* The desktop window of Windows CE is the shell's. */
inline HWND PlatformGetDesktopWindow(void)
{
    HWND shell = FindWindowW(L"DesktopExplorerWindow", L"Desktop");
    return shell != NULL ? shell : GetDesktopWindow();
}

/* Windows CE loads a program's icon at its own size (platform/icon.cpp). */
HICON PlatformLoadIconW(HINSTANCE instance, LPCWSTR name);

/* Windows CE is 32-bit: a class long holds the class icon. 64-bit Windows
   keeps handles in pointer-sized slots and names no GCL_HICON. */
#ifndef GCL_HICON
#define GCL_HICON (-14)
#endif
inline ULONG_PTR PlatformGetClassLongW(HWND window, int index)
{
    return GetClassLongPtrW(window, index);
}

/* A popup menu of desktop Windows makes an owner-drawn item twice the menu
   font's average character wider than its owner asked (that average as the
   system reckons it, from the 52 letters), and keeps a 3-pixel margin on
   either side of its items. What it adds to the widest item; the menu font
   is read once. */
#define PLATFORM_MENU_MARGIN 3
inline int PlatformMenuFrameWidth(void)
{
    static int frame;
    if (frame == 0) {
        int charWidth = 0;
        NONCLIENTMETRICSW metrics;
        ZeroMemory(&metrics, sizeof(metrics));
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
            HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
            HDC dc = GetDC(NULL);
            HGDIOBJ previous = SelectObject(dc, font);
            SIZE size = { 0, 0 };
            if (GetTextExtentPoint32W(dc, L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ", 52, &size))
                charWidth = (size.cx / 26 + 1) / 2;
            SelectObject(dc, previous);
            ReleaseDC(NULL, dc);
            DeleteObject(font);
        }
        frame = 2 * charWidth + 2 * PLATFORM_MENU_MARGIN;
    }
    return frame;
}

/* Tray icons: the owner of a tray icon hears of taps only (see windows.cpp). */
BOOL PlatformShellNotifyIconW(DWORD message, NOTIFYICONDATAW* record);

inline BOOL PlatformInvalidateRect(HWND window, const RECT* rect, BOOL erase)
{
    if (window == NULL)
        return FALSE;
    return InvalidateRect(window, rect, erase);
}

#undef CreateWindowExW
#undef GetModuleFileNameW
#define CreateWindowExW PlatformCreateWindowExW
#define GetModuleFileNameW PlatformGetModuleFileNameW
#define GetDesktopWindow PlatformGetDesktopWindow
#define InvalidateRect PlatformInvalidateRect
#define GetClassLongW PlatformGetClassLongW
#define Shell_NotifyIconW PlatformShellNotifyIconW
#undef LoadIconW
#define LoadIconW PlatformLoadIconW

/* The program's entry runs behind a front end that first checks the screen
   (platform/windows.cpp). */
#define wWinMain VeltoWinMain
int WINAPI VeltoWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

#else /* the simulated Pocket PC */

#include <cesim/win32.h>

#define SYS_COLOR_INDEX_FLAG 0x40000000
#define PLATFORM_KEY_ACCESS 0
/* Windows CE takes no access rights when a process is opened. */
#define PLATFORM_PROCESS_ACCESS 0
#define PLATFORM_TRAY_RECORD_SIZE 152
/* A popup menu of Windows CE is as wide as its widest item. */
inline int PlatformMenuFrameWidth(void)
{
    return 0;
}

#endif

#endif
