/*
 * A probe run inside Wine by the end-to-end tests and the tour: it reads
 * windows, tray icons and registry values, and plays input, from a process
 * of its own. Not part of Velto. One command per run; output on standard
 * output, errors on standard error; exit code 0 on success, 1 when a wait
 * timed out or the thing asked for does not exist, 2 on a bad command line.
 *
 * A CLASS or TITLE of "-" stands for any (a null name).
 *
 *   wait CLASS TITLE MS         wait until the window exists; print it
 *   gone CLASS TITLE MS         wait until no such window exists
 *   list                        every top-level window, one a line
 *   children CLASS TITLE        the child windows of that window
 *   trayslot N                  the centre of tray icon slot N in Wine's
 *                               taskbar (0 is the rightmost)
 *   taptray N                   a tap on tray icon slot N
 *   tray CLASS TITLE ID         "present" or "absent": the tray icon ID of
 *                               that window
 *   waittray CLASS TITLE ID present|absent MS
 *   reg                         Velto's registry values: NAME TYPE SIZE DATA
 *   setreg NAME VALUE           store a REG_DWORD value of Velto's settings
 *   click X Y                   a tap (mouse down and up) at a screen point
 *   key VK                      press and release a virtual key
 *   post CLASS TITLE MSG WPARAM LPARAM
 *   send CLASS TITLE MSG WPARAM LPARAM
 *   activate CLASS TITLE        bring the window to the foreground
 *   foreground                  the foreground window
 *   waitforeground CLASS TITLE MS
 *   screen                      the screen size
 *   menu MS                     wait until a popup menu is on screen; print it
 *   nomenu MS                   wait until no popup menu is on screen
 *   menutime tray SLOT COUNT    COUNT times: a tap on tray slot SLOT (or at
 *   menutime at X Y COUNT       the point X Y, or a tap on Velto's tray icon 0
 *   menutime notify COUNT       passed to Velto as the shell passes it, for
 *                               when Wine's taskbar has no room left for the
 *                               tray), the time until a popup menu is on
 *                               screen, then Escape; prints the median and
 *                               the worst in milliseconds
 *   proxytime CLASS TITLE OTHER_CLASS OTHER_TITLE COUNT
 *                               COUNT times: the window to the front, the
 *                               time until Velto's OK tray icon (3) is
 *                               there; then the other window to the front
 *                               and until the icon is gone
 *
 * A window prints as: HWND PID VISIBLE EXSTYLE STYLE LEFT TOP RIGHT BOTTOM
 * "CLASS" "TITLE" (numbers in hex for handles and styles).
 */
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#define POLL_MS 20

static LPCWSTR Name(LPCWSTR argument)
{
    return wcscmp(argument, L"-") == 0 ? NULL : argument;
}

static long long Number(LPCWSTR text)
{
    return wcstoll(text, NULL, 0);
}

static void PrintWindow(HWND window)
{
    WCHAR className[256];
    WCHAR title[256];
    className[0] = 0;
    title[0] = 0;
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, title, 256);
    RECT rect = { 0, 0, 0, 0 };
    GetWindowRect(window, &rect);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    printf("%llx %lu %d %lx %lx %ld %ld %ld %ld \"%ls\" \"%ls\"\n", (unsigned long long)(ULONG_PTR)window, pid,
           IsWindowVisible(window) ? 1 : 0, (unsigned long)GetWindowLongW(window, GWL_EXSTYLE),
           (unsigned long)GetWindowLongW(window, GWL_STYLE), rect.left, rect.top, rect.right, rect.bottom, className,
           title);
}

static BOOL CALLBACK PrintEnumProc(HWND window, LPARAM)
{
    PrintWindow(window);
    return TRUE;
}

static HWND WaitWindow(LPCWSTR className, LPCWSTR title, DWORD timeout)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowW(className, title);
        if (window != NULL)
            return window;
        if (GetTickCount() - start >= timeout)
            return NULL;
        Sleep(POLL_MS);
    }
}

static BOOL TrayIconPresent(HWND owner, UINT id)
{
    NOTIFYICONDATAW record;
    ZeroMemory(&record, sizeof(record));
    record.cbSize = NOTIFYICONDATAW_V1_SIZE;
    record.hWnd = owner;
    record.uID = id;
    return Shell_NotifyIconW(NIM_MODIFY, &record);
}

/* Wine's taskbar draws the tray icons itself, right to left in the order
   they were added: each a small icon with a 2-pixel border on either side,
   the first at the right end of "Shell_TrayWnd". The centre of slot N. */
static BOOL TraySlot(int slot, POINT* centre)
{
    HWND tray = FindWindowW(L"Shell_TrayWnd", NULL);
    RECT rect;
    if (tray == NULL || !GetWindowRect(tray, &rect))
        return FALSE;
    int width = GetSystemMetrics(SM_CXSMICON) + 4;
    centre->x = rect.right - width * slot - width / 2;
    centre->y = (rect.top + rect.bottom) / 2;
    return TRUE;
}

static void Tap(int x, int y)
{
    SetCursorPos(x, y);
    INPUT inputs[2];
    ZeroMemory(inputs, sizeof(inputs));
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

static void PressKey(WORD key)
{
    INPUT inputs[2];
    ZeroMemory(inputs, sizeof(inputs));
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = key;
    inputs[1].type = INPUT_KEYBOARD;
    inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

static int PrintSettings(void)
{
    static const WCHAR* const names[] = { L"CloseButton", L"OkButton", L"Monitoring", L"DesktopName",
                                          L"DesktopClass", L"TaskbarName", L"TaskbarClass", L"TaskBarOnTop" };
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Zav\\Velto", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        printf("no settings key\n");
        return 1;
    }
    for (int i = 0; i < 8; ++i) {
        BYTE data[1024];
        DWORD type = 0;
        DWORD size = sizeof(data) - 2;
        if (RegQueryValueExW(key, names[i], NULL, &type, data, &size) != ERROR_SUCCESS) {
            printf("%ls missing\n", names[i]);
            continue;
        }
        if (type == REG_DWORD && size == 4)
            printf("%ls %lu %lu %lu\n", names[i], type, size, *(DWORD*)data);
        else {
            data[size] = 0;
            data[size + 1] = 0;
            printf("%ls %lu %lu \"%ls\"\n", names[i], type, size, (WCHAR*)data);
        }
    }
    RegCloseKey(key);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Shell\\AutoHide", 0, KEY_QUERY_VALUE, &key) ==
        ERROR_SUCCESS) {
        DWORD value = 0;
        DWORD type = 0;
        DWORD size = 4;
        if (RegQueryValueExW(key, NULL, NULL, &type, (BYTE*)&value, &size) == ERROR_SUCCESS)
            printf("AutoHide %lu %lu %lu\n", type, size, value);
        RegCloseKey(key);
    }
    return 0;
}

static double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

static int CompareTimes(const void* a, const void* b)
{
    double x = *(const double*)a;
    double y = *(const double*)b;
    return x < y ? -1 : x > y ? 1 : 0;
}

static void PrintTimes(double* times, int count)
{
    qsort(times, count, sizeof(double), CompareTimes);
    double median = count % 2 ? times[count / 2] : (times[count / 2 - 1] + times[count / 2]) / 2;
    printf("median %.1f worst %.1f trials %d\n", median, times[count - 1], count);
}

static HWND VisibleMenu(void)
{
    HWND menu = FindWindowW(L"#32768", NULL);
    return menu != NULL && IsWindowVisible(menu) ? menu : NULL;
}

#define MAX_TRIALS 200
#define MONITOR_PERIOD_MS 250
#define MEASURE_TIMEOUT 30000

/* Velto's tray callback message, and how Wine's taskbar passes a tap on
   one of its icons on to the icon's window. */
#define VELTO_TRAY_MESSAGE 0x8D3
static BOOL NotifyTap(void)
{
    HWND velto = FindWindowW(L"Velto", L"Velto");
    return velto != NULL && SendNotifyMessageW(velto, VELTO_TRAY_MESSAGE, 0, WM_LBUTTONDOWN) &&
           SendNotifyMessageW(velto, VELTO_TRAY_MESSAGE, 0, WM_LBUTTONUP);
}

/* A tap and the time until the popup menu it opens is on screen. */
static int MenuTime(BOOL tray, BOOL notify, int a, int b, int count)
{
    static double times[MAX_TRIALS];
    int done = 0;
    while (done < count) {
        POINT point = { a, b };
        if (tray && !TraySlot(a, &point))
            return 1;
        /* Taps closer together than the double-click time would not count. */
        Sleep(GetDoubleClickTime() + 100);
        LARGE_INTEGER start, now;
        QueryPerformanceCounter(&start);
        if (!notify)
            Tap(point.x, point.y);
        else if (!NotifyTap()) {
            fprintf(stderr, "probe.exe: Velto is not running\n");
            return 1;
        }
        DWORD began = GetTickCount();
        while (VisibleMenu() == NULL && GetTickCount() - began < MEASURE_TIMEOUT)
            Sleep(1);
        QueryPerformanceCounter(&now);
        if (VisibleMenu() == NULL) {
            fprintf(stderr, "probe.exe: no menu within %d ms of the tap\n", MEASURE_TIMEOUT);
            return 1;
        }
        times[done++] = Milliseconds(start, now);
        PressKey(VK_ESCAPE);
        while (VisibleMenu() != NULL && GetTickCount() - began < 2 * MEASURE_TIMEOUT)
            Sleep(5);
    }
    PrintTimes(times, count);
    return 0;
}

/* A window to the front and the time until Velto offers OK for it. */
static int ProxyTime(HWND target, HWND other, int count)
{
    static double times[MAX_TRIALS];
    HWND velto = FindWindowW(L"Velto", L"Velto");
    if (velto == NULL) {
        fprintf(stderr, "probe.exe: Velto is not running\n");
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        SetForegroundWindow(other);
        DWORD began = GetTickCount();
        while (TrayIconPresent(velto, 3) && GetTickCount() - began < MEASURE_TIMEOUT)
            Sleep(5);
        /* The icon goes at one of the monitor's polls: start each trial at
           a different point of its period, spread evenly over the trials,
           or every trial would wait the whole period. */
        Sleep((DWORD)(i * MONITOR_PERIOD_MS / count));
        LARGE_INTEGER start, now;
        QueryPerformanceCounter(&start);
        SetForegroundWindow(target);
        began = GetTickCount();
        while (!TrayIconPresent(velto, 3) && GetTickCount() - began < MEASURE_TIMEOUT)
            Sleep(1);
        QueryPerformanceCounter(&now);
        if (!TrayIconPresent(velto, 3)) {
            fprintf(stderr, "probe.exe: no OK tray icon within %d ms\n", MEASURE_TIMEOUT);
            return 1;
        }
        times[i] = Milliseconds(start, now);
    }
    PrintTimes(times, count);
    return 0;
}

static int Usage(void)
{
    fprintf(stderr, "probe.exe: unknown or incomplete command; see the head of tools/wine/probe.cpp\n");
    return 2;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage();
    LPCWSTR command = argv[1];

    if (wcscmp(command, L"wait") == 0 && argc == 5) {
        HWND window = WaitWindow(Name(argv[2]), Name(argv[3]), (DWORD)Number(argv[4]));
        if (window == NULL) {
            fprintf(stderr, "probe.exe: no window \"%ls\" \"%ls\" within %ls ms\n", argv[2], argv[3], argv[4]);
            return 1;
        }
        PrintWindow(window);
        return 0;
    }
    if (wcscmp(command, L"gone") == 0 && argc == 5) {
        DWORD start = GetTickCount();
        while (FindWindowW(Name(argv[2]), Name(argv[3])) != NULL) {
            if (GetTickCount() - start >= (DWORD)Number(argv[4])) {
                fprintf(stderr, "probe.exe: window \"%ls\" \"%ls\" still there after %ls ms\n", argv[2], argv[3],
                        argv[4]);
                return 1;
            }
            Sleep(POLL_MS);
        }
        return 0;
    }
    if (wcscmp(command, L"list") == 0 && argc == 2) {
        EnumWindows(PrintEnumProc, 0);
        return 0;
    }
    if (wcscmp(command, L"children") == 0 && argc == 4) {
        HWND parent = FindWindowW(Name(argv[2]), Name(argv[3]));
        if (parent == NULL) {
            fprintf(stderr, "probe.exe: no window \"%ls\" \"%ls\"\n", argv[2], argv[3]);
            return 1;
        }
        EnumChildWindows(parent, PrintEnumProc, 0);
        return 0;
    }
    if ((wcscmp(command, L"trayslot") == 0 || wcscmp(command, L"taptray") == 0) && argc == 3) {
        POINT centre;
        if (!TraySlot((int)Number(argv[2]), &centre)) {
            fprintf(stderr, "probe.exe: Wine's taskbar (Shell_TrayWnd) is not there\n");
            return 1;
        }
        if (wcscmp(command, L"taptray") == 0)
            Tap(centre.x, centre.y);
        printf("%ld %ld\n", centre.x, centre.y);
        return 0;
    }
    if ((wcscmp(command, L"tray") == 0 && argc == 5) || (wcscmp(command, L"waittray") == 0 && argc == 7)) {
        BOOL wantPresent = argc == 7 ? wcscmp(argv[5], L"present") == 0 : TRUE;
        DWORD timeout = argc == 7 ? (DWORD)Number(argv[6]) : 0;
        DWORD start = GetTickCount();
        for (;;) {
            HWND owner = FindWindowW(Name(argv[2]), Name(argv[3]));
            BOOL present = owner != NULL && TrayIconPresent(owner, (UINT)Number(argv[4]));
            if (argc == 5) {
                printf("%s\n", present ? "present" : "absent");
                return 0;
            }
            if (present == wantPresent)
                return 0;
            if (GetTickCount() - start >= timeout) {
                fprintf(stderr, "probe.exe: tray icon %ls of \"%ls\" not %ls within %ls ms\n", argv[4], argv[2],
                        argv[5], argv[6]);
                return 1;
            }
            Sleep(POLL_MS);
        }
    }
    if (wcscmp(command, L"reg") == 0 && argc == 2)
        return PrintSettings();
    if (wcscmp(command, L"setreg") == 0 && argc == 4) {
        HKEY key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Zav\\Velto", 0, NULL, 0, KEY_SET_VALUE, NULL, &key,
                            NULL) != ERROR_SUCCESS) {
            fprintf(stderr, "probe.exe: cannot open Velto's settings key\n");
            return 1;
        }
        DWORD value = (DWORD)Number(argv[3]);
        LONG result = RegSetValueExW(key, argv[2], 0, REG_DWORD, (const BYTE*)&value, 4);
        RegFlushKey(key);
        RegCloseKey(key);
        return result == ERROR_SUCCESS ? 0 : 1;
    }
    if (wcscmp(command, L"click") == 0 && argc == 4) {
        Tap((int)Number(argv[2]), (int)Number(argv[3]));
        return 0;
    }
    if (wcscmp(command, L"key") == 0 && argc == 3) {
        PressKey((WORD)Number(argv[2]));
        return 0;
    }
    if ((wcscmp(command, L"post") == 0 || wcscmp(command, L"send") == 0) && argc == 7) {
        HWND window = FindWindowW(Name(argv[2]), Name(argv[3]));
        if (window == NULL) {
            fprintf(stderr, "probe.exe: no window \"%ls\" \"%ls\"\n", argv[2], argv[3]);
            return 1;
        }
        UINT message = (UINT)Number(argv[4]);
        WPARAM wParam = (WPARAM)Number(argv[5]);
        LPARAM lParam = (LPARAM)Number(argv[6]);
        if (wcscmp(command, L"post") == 0)
            return PostMessageW(window, message, wParam, lParam) ? 0 : 1;
        printf("%lld\n", (long long)SendMessageW(window, message, wParam, lParam));
        return 0;
    }
    if (wcscmp(command, L"activate") == 0 && argc == 4) {
        HWND window = FindWindowW(Name(argv[2]), Name(argv[3]));
        if (window == NULL) {
            fprintf(stderr, "probe.exe: no window \"%ls\" \"%ls\"\n", argv[2], argv[3]);
            return 1;
        }
        return SetForegroundWindow(window) ? 0 : 1;
    }
    if (wcscmp(command, L"foreground") == 0 && argc == 2) {
        HWND window = GetForegroundWindow();
        if (window == NULL) {
            printf("none\n");
            return 1;
        }
        PrintWindow(window);
        return 0;
    }
    if (wcscmp(command, L"waitforeground") == 0 && argc == 5) {
        DWORD start = GetTickCount();
        for (;;) {
            HWND window = FindWindowW(Name(argv[2]), Name(argv[3]));
            if (window != NULL && GetForegroundWindow() == window) {
                PrintWindow(window);
                return 0;
            }
            if (GetTickCount() - start >= (DWORD)Number(argv[4])) {
                fprintf(stderr, "probe.exe: \"%ls\" \"%ls\" not in the foreground within %ls ms\n", argv[2], argv[3],
                        argv[4]);
                return 1;
            }
            Sleep(POLL_MS);
        }
    }
    if ((wcscmp(command, L"menu") == 0 || wcscmp(command, L"nomenu") == 0) && argc == 3) {
        BOOL wantMenu = wcscmp(command, L"menu") == 0;
        DWORD start = GetTickCount();
        for (;;) {
            HWND menu = VisibleMenu();
            if ((menu != NULL) == wantMenu) {
                if (menu != NULL)
                    PrintWindow(menu);
                return 0;
            }
            if (GetTickCount() - start >= (DWORD)Number(argv[2])) {
                fprintf(stderr, "probe.exe: %s within %ls ms\n", wantMenu ? "no popup menu" : "a popup menu still open",
                        argv[2]);
                return 1;
            }
            Sleep(POLL_MS);
        }
    }
    if (wcscmp(command, L"menutime") == 0 && argc == 4 && wcscmp(argv[2], L"notify") == 0) {
        int count = (int)Number(argv[3]);
        if (count < 1 || count > MAX_TRIALS)
            return Usage();
        return MenuTime(FALSE, TRUE, 0, 0, count);
    }
    if (wcscmp(command, L"menutime") == 0 && (argc == 5 || argc == 6)) {
        BOOL tray = wcscmp(argv[2], L"tray") == 0;
        int count = (int)Number(argv[argc - 1]);
        if (count < 1 || count > MAX_TRIALS || (tray ? argc != 5 : argc != 6 || wcscmp(argv[2], L"at") != 0))
            return Usage();
        return MenuTime(tray, FALSE, (int)Number(argv[3]), tray ? 0 : (int)Number(argv[4]), count);
    }
    if (wcscmp(command, L"proxytime") == 0 && argc == 7) {
        HWND target = FindWindowW(Name(argv[2]), Name(argv[3]));
        HWND other = FindWindowW(Name(argv[4]), Name(argv[5]));
        int count = (int)Number(argv[6]);
        if (target == NULL || other == NULL || count < 1 || count > MAX_TRIALS) {
            fprintf(stderr, "probe.exe: proxytime needs both windows and 1 to %d trials\n", MAX_TRIALS);
            return 1;
        }
        return ProxyTime(target, other, count);
    }
    if (wcscmp(command, L"screen") == 0 && argc == 2) {
        printf("%d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        return 0;
    }
    return Usage();
}
