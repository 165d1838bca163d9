/*
 * The front end of velto.exe on Windows: the process's entry. Velto is made
 * for a Pocket PC screen; on an ordinary desktop it would move the desktop's
 * windows and change its work area. So it runs only where the screen is no
 * larger than the largest Pocket PC screens (480 x 640, either way round),
 * and otherwise ends at once, silently, with exit code 0, before reading or
 * writing anything.
 *
 * It also keeps the reports of the mouse moving over a tray icon, which a
 * desktop taskbar sends and a Pocket PC's does not, from the icon's owner.
 */
#include "platform/platform.h"

#undef wWinMain

#define POCKET_PC_MAX_SHORT_SIDE 480
#define POCKET_PC_MAX_LONG_SIDE 640

static BOOL PocketPcScreen(void)
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    int shortSide = width < height ? width : height;
    int longSide = width < height ? height : width;
    return shortSide <= POCKET_PC_MAX_SHORT_SIDE && longSide <= POCKET_PC_MAX_LONG_SIDE;
}

#undef Shell_NotifyIconW

/* The callback message of the program's tray icons, once one was added. */
static UINT TrayCallbackMessage;
/* The property under which a tray icon's owner keeps its own window procedure. */
static const WCHAR OriginalProcProperty[] = L"VeltoOriginalWndProc";

static LRESULT CALLBACK TrayOwnerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC original = (WNDPROC)GetPropW(window, OriginalProcProperty);
    if (message == TrayCallbackMessage && lParam == WM_MOUSEMOVE)
        return 0;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)original);
        RemovePropW(window, OriginalProcProperty);
    }
    return CallWindowProcW(original, window, message, wParam, lParam);
}

BOOL PlatformShellNotifyIconW(DWORD message, NOTIFYICONDATAW* record)
{
    if (message == NIM_ADD && (record->uFlags & NIF_MESSAGE) && record->hWnd != NULL) {
        TrayCallbackMessage = record->uCallbackMessage;
        if (GetPropW(record->hWnd, OriginalProcProperty) == NULL) {
            LONG_PTR original = GetWindowLongPtrW(record->hWnd, GWLP_WNDPROC);
            if (SetPropW(record->hWnd, OriginalProcProperty, (HANDLE)original))
                SetWindowLongPtrW(record->hWnd, GWLP_WNDPROC, (LONG_PTR)TrayOwnerWndProc);
        }
    }
    return Shell_NotifyIconW(message, record);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show)
{
    if (!PocketPcScreen())
        return 0;
    return VeltoWinMain(instance, previous, commandLine, show);
}
