/*
 * A Pocket PC shell stand-in for Wine: the desktop window (class
 * "DesktopExplorerWindow", title "Desktop") and the taskbar (class
 * "HHTaskBar", empty title, 26 pixels high) at the bottom of a 240 x 320
 * screen, painted to look the part. Not part of Velto: it gives velto.exe the
 * shell windows it looks for when it runs under Wine.
 *
 *   pocketshell.exe            the desktop and the taskbar, until the taskbar
 *                              is closed (WM_CLOSE)
 *
 * Wine's own taskbar (class "Shell_TrayWnd", no title), which shows the
 * tray icons below the Pocket PC screen, would be an ordinary window to
 * Velto: "Close All" would close it, taking the tray icons with it, and
 * placing the taskbar would move it. A Pocket PC has its tray in the shell's
 * own taskbar, which Velto never closes or moves, so the stand-in makes
 * Wine's taskbar a tool window, which Velto leaves alone. It also keeps it
 * above every other window (topmost): a desktop program that opens larger
 * than the Pocket PC screen would otherwise cover it, and the tray with it.
 */
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#define SCREEN_WIDTH 240
#define SCREEN_HEIGHT 320
#define TASKBAR_HEIGHT 26
#define DESKTOP_HEIGHT (SCREEN_HEIGHT - TASKBAR_HEIGHT)
#define CLOCK_TIMER 1
#define TRAY_TIMER 2
#define BUTTON_ROOM 26 /* the right end of the taskbar, where Velto's button sits */

static const COLORREF TaskbarColour = RGB(0, 40, 120);
static const COLORREF BandColour = RGB(0, 84, 166);

static HFONT CreateUiFont(int height, int weight)
{
    return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

static void FillSolid(HDC dc, int left, int top, int right, int bottom, COLORREF colour)
{
    RECT rect = { left, top, right, bottom };
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

/* The start flag: four coloured panes. */
static void DrawFlag(HDC dc, int x, int y)
{
    FillSolid(dc, x, y, x + 8, y + 8, RGB(230, 60, 30));
    FillSolid(dc, x + 9, y, x + 17, y + 8, RGB(60, 180, 60));
    FillSolid(dc, x, y + 9, x + 8, y + 17, RGB(40, 120, 230));
    FillSolid(dc, x + 9, y + 9, x + 17, y + 17, RGB(250, 200, 30));
}

static void PaintTaskbar(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillSolid(dc, 0, 0, client.right, client.bottom, TaskbarColour);
    FillSolid(dc, 0, 0, client.right, 1, RGB(90, 130, 210));
    DrawFlag(dc, 4, (client.bottom - 17) / 2);

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    HFONT bold = CreateUiFont(12, FW_BOLD);
    HGDIOBJ previous = SelectObject(dc, bold);
    RECT start = { 26, 0, 90, client.bottom };
    DrawTextW(dc, L"Start", -1, &start, DT_LEFT | DT_VCENTER | DT_SINGLELINE);

    WCHAR clock[32];
    SYSTEMTIME now;
    GetLocalTime(&now);
    wsprintfW(clock, L"%d:%02d", now.wHour, now.wMinute);
    RECT clockRect = { 90, 0, client.right - BUTTON_ROOM - 4, client.bottom };
    DrawTextW(dc, clock, -1, &clockRect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, previous);
    DeleteObject(bold);
    EndPaint(window, &paint);
}

static void PaintDesktop(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillSolid(dc, 0, 0, client.right, client.bottom, RGB(255, 255, 255));
    FillSolid(dc, 0, 0, client.right, 24, BandColour);

    SetBkMode(dc, TRANSPARENT);
    HFONT bold = CreateUiFont(12, FW_BOLD);
    HFONT plain = CreateUiFont(11, FW_NORMAL);
    HGDIOBJ previous = SelectObject(dc, bold);
    SetTextColor(dc, RGB(255, 255, 255));
    WCHAR date[64];
    date[0] = 0;
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, NULL, NULL, date, 64);
    RECT band = { 6, 0, client.right - 4, 24 };
    DrawTextW(dc, date, -1, &band, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);

    SelectObject(dc, plain);
    SetTextColor(dc, RGB(40, 40, 40));
    static const WCHAR* const lines[] = { L"Today", L"Owner: Pocket PC on Wine", L"No upcoming appointments",
                                          L"No unread messages", L"No active tasks" };
    for (int i = 0; i < 5; ++i) {
        RECT line = { 10, 34 + i * 26, client.right - 8, 34 + i * 26 + 20 };
        FillSolid(dc, 10, line.bottom + 2, client.right - 10, line.bottom + 3, RGB(210, 220, 235));
        DrawTextW(dc, lines[i], -1, &line, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
    SelectObject(dc, previous);
    DeleteObject(bold);
    DeleteObject(plain);
    EndPaint(window, &paint);
}

static LRESULT CALLBACK DesktopWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        PaintDesktop(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_WINDOWPOSCHANGING: {
        /* The desktop window stays under every other window. */
        WINDOWPOS* pos = (WINDOWPOS*)lParam;
        if (!(pos->flags & SWP_NOZORDER))
            pos->hwndInsertAfter = HWND_BOTTOM;
        return 0;
    }
    case WM_SIZE:
        InvalidateRect(window, NULL, TRUE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

/* Wine's taskbar as a tool window, out of Velto's reach, and above every
   window that is not topmost, so that the tray stays in reach. Checked on a
   timer as well, in case Wine makes its taskbar anew. */
static void KeepWineTaskbarAside(void)
{
    HWND tray = FindWindowW(L"Shell_TrayWnd", NULL);
    if (tray == NULL)
        return;
    LONG exStyle = GetWindowLongW(tray, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_TOOLWINDOW))
        SetWindowLongW(tray, GWL_EXSTYLE, exStyle | WS_EX_TOOLWINDOW);
    if (!(exStyle & WS_EX_TOPMOST))
        SetWindowPos(tray, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

static LRESULT CALLBACK TaskbarWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        PaintTaskbar(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_TIMER:
        if (wParam == TRAY_TIMER)
            KeepWineTaskbarAside();
        else
            InvalidateRect(window, NULL, FALSE);
        return 0;
    case WM_MOUSEACTIVATE:
        /* A tap on the taskbar, or on a button inside it, leaves the
           foreground window in front. */
        return MA_NOACTIVATE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static void RegisterShellClass(HINSTANCE instance, LPCWSTR name, WNDPROC proc)
{
    WNDCLASSW windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    RegisterShellClass(instance, L"DesktopExplorerWindow", DesktopWndProc);
    RegisterShellClass(instance, L"HHTaskBar", TaskbarWndProc);
    HWND desktop = CreateWindowExW(0, L"DesktopExplorerWindow", L"Desktop", WS_POPUP | WS_VISIBLE, 0, 0,
                                   SCREEN_WIDTH, DESKTOP_HEIGHT, NULL, NULL, instance, NULL);
    HWND taskbar = CreateWindowExW(WS_EX_TOPMOST, L"HHTaskBar", L"", WS_POPUP | WS_VISIBLE, 0,
                                   DESKTOP_HEIGHT, SCREEN_WIDTH, TASKBAR_HEIGHT, NULL, NULL, instance, NULL);
    if (desktop == NULL || taskbar == NULL)
        return 1;
    KeepWineTaskbarAside();
    SetWindowPos(desktop, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetTimer(taskbar, CLOCK_TIMER, 10000, NULL);
    SetTimer(taskbar, TRAY_TIMER, 200, NULL);

    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyWindow(desktop);
    return 0;
}
