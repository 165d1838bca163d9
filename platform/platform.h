/*
 * The one door from Velto's code to the platform.
 *
 * On Windows this is the real Windows API. Elsewhere it is the simulated
 * Pocket PC that the tests run against. The handful of things that only
 * Windows CE has, or that desktop Windows does differently, are settled here
 * so that the rest of the program is written for Windows CE alone.
 *
 * Where desktop Windows (and Wine) differ from Windows CE, and what we do
 * about it: the table in platform/differences.h.
 */
#ifndef VELTO_PLATFORM_H
#define VELTO_PLATFORM_H

#include "platform/differences.h"

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

/* The OK button in a window's caption: a Windows CE extended style, which
   desktop Windows' headers lack; it keeps the bit all the same. */
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
