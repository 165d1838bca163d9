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
 *   move X Y                    the pointer to a screen point, no tap
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

/* The down and the up each carry the point: Wine may take its cursor back
   to where the X pointer is, or not have moved it yet, when the tap comes,
   and a tap without a point lands there. */
static void Tap(int x, int y)
{
    SetCursorPos(x, y);
    INPUT inputs[2];
    ZeroMemory(inputs, sizeof(inputs));
    for (int i = 0; i < 2; ++i) {
        inputs[i].type = INPUT_MOUSE;
        /* The middle of the pixel, in the 0..65535 of an absolute move. */
        inputs[i].mi.dx = (x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
        inputs[i].mi.dy = (y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
        inputs[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
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

/* Each command takes the whole argument vector: argv[1] is its name,
   argv[2] on its arguments, as many as its row in the table says. */
static HWND FindNamed(LPCWSTR className, LPCWSTR title)
{
    HWND window = FindWindowW(Name(className), Name(title));
    if (window == NULL)
        fprintf(stderr, "probe.exe: no window \"%ls\" \"%ls\"\n", className, title);
    return window;
}

static int CommandWait(int, wchar_t** argv)
{
    HWND window = WaitWindow(Name(argv[2]), Name(argv[3]), (DWORD)Number(argv[4]));
    if (window == NULL) {
        fprintf(stderr, "probe.exe: no window \"%ls\" \"%ls\" within %ls ms\n", argv[2], argv[3], argv[4]);
        return 1;
    }
    PrintWindow(window);
    return 0;
}

static int CommandGone(int, wchar_t** argv)
{
    DWORD start = GetTickCount();
    while (FindWindowW(Name(argv[2]), Name(argv[3])) != NULL) {
        if (GetTickCount() - start >= (DWORD)Number(argv[4])) {
            fprintf(stderr, "probe.exe: window \"%ls\" \"%ls\" still there after %ls ms\n", argv[2], argv[3], argv[4]);
            return 1;
        }
        Sleep(POLL_MS);
    }
    return 0;
}

static int CommandList(int, wchar_t**)
{
    EnumWindows(PrintEnumProc, 0);
    return 0;
}

static int CommandChildren(int, wchar_t** argv)
{
    HWND parent = FindNamed(argv[2], argv[3]);
    if (parent == NULL)
        return 1;
    EnumChildWindows(parent, PrintEnumProc, 0);
    return 0;
}

/* trayslot N, taptray N */
static int CommandTraySlot(int, wchar_t** argv)
{
    POINT centre;
    if (!TraySlot((int)Number(argv[2]), &centre)) {
        fprintf(stderr, "probe.exe: Wine's taskbar (Shell_TrayWnd) is not there\n");
        return 1;
    }
    if (wcscmp(argv[1], L"taptray") == 0)
        Tap(centre.x, centre.y);
    printf("%ld %ld\n", centre.x, centre.y);
    return 0;
}

/* tray CLASS TITLE ID, waittray CLASS TITLE ID present|absent MS */
static int CommandTray(int argc, wchar_t** argv)
{
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
            fprintf(stderr, "probe.exe: tray icon %ls of \"%ls\" not %ls within %ls ms\n", argv[4], argv[2], argv[5],
                    argv[6]);
            return 1;
        }
        Sleep(POLL_MS);
    }
}

static int CommandReg(int, wchar_t**)
{
    return PrintSettings();
}

static int CommandSetReg(int, wchar_t** argv)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Zav\\Velto", 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) !=
        ERROR_SUCCESS) {
        fprintf(stderr, "probe.exe: cannot open Velto's settings key\n");
        return 1;
    }
    DWORD value = (DWORD)Number(argv[3]);
    LONG result = RegSetValueExW(key, argv[2], 0, REG_DWORD, (const BYTE*)&value, 4);
    RegFlushKey(key);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 0 : 1;
}

static int CommandClick(int, wchar_t** argv)
{
    Tap((int)Number(argv[2]), (int)Number(argv[3]));
    return 0;
}

static int CommandMove(int, wchar_t** argv)
{
    return SetCursorPos((int)Number(argv[2]), (int)Number(argv[3])) ? 0 : 1;
}

static int CommandKey(int, wchar_t** argv)
{
    PressKey((WORD)Number(argv[2]));
    return 0;
}

/* post or send CLASS TITLE MSG WPARAM LPARAM */
static int CommandMessage(int, wchar_t** argv)
{
    HWND window = FindNamed(argv[2], argv[3]);
    if (window == NULL)
        return 1;
    UINT message = (UINT)Number(argv[4]);
    WPARAM wParam = (WPARAM)Number(argv[5]);
    LPARAM lParam = (LPARAM)Number(argv[6]);
    if (wcscmp(argv[1], L"post") == 0)
        return PostMessageW(window, message, wParam, lParam) ? 0 : 1;
    printf("%lld\n", (long long)SendMessageW(window, message, wParam, lParam));
    return 0;
}

static int CommandActivate(int, wchar_t** argv)
{
    HWND window = FindNamed(argv[2], argv[3]);
    return window != NULL && SetForegroundWindow(window) ? 0 : 1;
}

static int CommandForeground(int, wchar_t**)
{
    HWND window = GetForegroundWindow();
    if (window == NULL) {
        printf("none\n");
        return 1;
    }
    PrintWindow(window);
    return 0;
}

static int CommandWaitForeground(int, wchar_t** argv)
{
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

/* menu MS, nomenu MS */
static int CommandMenu(int, wchar_t** argv)
{
    BOOL wantMenu = wcscmp(argv[1], L"menu") == 0;
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

/* menutime notify COUNT, menutime tray SLOT COUNT, menutime at X Y COUNT */
static int CommandMenuTime(int argc, wchar_t** argv)
{
    LPCWSTR way = argv[2];
    int count = (int)Number(argv[argc - 1]);
    if (count < 1 || count > MAX_TRIALS)
        return Usage();
    if (wcscmp(way, L"notify") == 0 && argc == 4)
        return MenuTime(FALSE, TRUE, 0, 0, count);
    if (wcscmp(way, L"tray") == 0 && argc == 5)
        return MenuTime(TRUE, FALSE, (int)Number(argv[3]), 0, count);
    if (wcscmp(way, L"at") == 0 && argc == 6)
        return MenuTime(FALSE, FALSE, (int)Number(argv[3]), (int)Number(argv[4]), count);
    return Usage();
}

static int CommandProxyTime(int, wchar_t** argv)
{
    HWND target = FindWindowW(Name(argv[2]), Name(argv[3]));
    HWND other = FindWindowW(Name(argv[4]), Name(argv[5]));
    int count = (int)Number(argv[6]);
    if (target == NULL || other == NULL || count < 1 || count > MAX_TRIALS) {
        fprintf(stderr, "probe.exe: proxytime needs both windows and 1 to %d trials\n", MAX_TRIALS);
        return 1;
    }
    return ProxyTime(target, other, count);
}

static int CommandScreen(int, wchar_t**)
{
    printf("%d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return 0;
}

/* The commands: name, the fewest and the most arguments after the name, and
   what runs them. */
static const struct {
    LPCWSTR name;
    int fewest, most;
    int (*run)(int argc, wchar_t** argv);
} Commands[] = {
    { L"wait", 3, 3, CommandWait },
    { L"gone", 3, 3, CommandGone },
    { L"list", 0, 0, CommandList },
    { L"children", 2, 2, CommandChildren },
    { L"trayslot", 1, 1, CommandTraySlot },
    { L"taptray", 1, 1, CommandTraySlot },
    { L"tray", 3, 3, CommandTray },
    { L"waittray", 5, 5, CommandTray },
    { L"reg", 0, 0, CommandReg },
    { L"setreg", 2, 2, CommandSetReg },
    { L"click", 2, 2, CommandClick },
    { L"move", 2, 2, CommandMove },
    { L"key", 1, 1, CommandKey },
    { L"post", 5, 5, CommandMessage },
    { L"send", 5, 5, CommandMessage },
    { L"activate", 2, 2, CommandActivate },
    { L"foreground", 0, 0, CommandForeground },
    { L"waitforeground", 3, 3, CommandWaitForeground },
    { L"menu", 1, 1, CommandMenu },
    { L"nomenu", 1, 1, CommandMenu },
    { L"menutime", 2, 4, CommandMenuTime },
    { L"proxytime", 5, 5, CommandProxyTime },
    { L"screen", 0, 0, CommandScreen },
};

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage();
    for (size_t i = 0; i < sizeof(Commands) / sizeof(Commands[0]); ++i) {
        if (wcscmp(argv[1], Commands[i].name) == 0 && argc - 2 >= Commands[i].fewest && argc - 2 <= Commands[i].most)
            return Commands[i].run(argc, argv);
    }
    return Usage();
}
