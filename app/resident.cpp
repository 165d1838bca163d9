/* Resident mode: the images, the main window and the button in the taskbar,
   the tray icon, the message loop, and the orderly shutdown. The main window
   is visible but of size 0 at the screen's corner, a tool window that no
   list of windows shows; every notification of the program arrives there. */
#include "app/app.h"
#include "about/about.h"
#include "proxy/proxy.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "taskmenu/taskmenu.h"

HICON IconTray;
HICON IconTrayActive;
HICON IconCloseGlyph;
HWND MainWindow;
HANDLE MonitorEvent;
volatile LONG StopFlag;

/* How long shutdown waits for the monitor thread to end. */
#define MONITOR_STOP_WAIT 10000

/* The monitor's event has a name so that another program can open it and
   park the monitor (reset) or wake it (set); such programs, our tests and
   tools among them, know it by this name, which therefore stays as it is. */
#define MONITOR_EVENT_NAME TEXT("AygshellEvent_")

static HANDLE MonitorThread;  /* the monitor, waited for at shutdown */

BOOL NotifyTrayIcon(DWORD message, HWND owner, UINT id, UINT flags, HICON icon)
{
    NOTIFYICONDATAW record;
    ZeroMemory(&record, sizeof(record));
    record.cbSize = PLATFORM_TRAY_RECORD_SIZE;
    record.hWnd = owner;
    record.uID = id;
    record.uFlags = flags;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = icon;
    return Shell_NotifyIconW(message, &record);
}

BOOL AcceptTap(void)
{
    if (GetTickCount() - LastTapTick <= GetDoubleClickTime())
        return FALSE;
    LastTapTick = GetTickCount();
    return TRUE;
}

/* The program's own icons, then the proxy's icons and faces. */
static void LoadImages(void)
{
    IconTray = LoadIconW(AppInstance, MAKEINTRESOURCEW(IDI_TRAY));
    IconTrayActive = LoadIconW(AppInstance, MAKEINTRESOURCEW(IDI_TRAY_ACTIVE));
    IconCloseGlyph = LoadIconW(AppInstance, MAKEINTRESOURCEW(IDI_CLOSE_GLYPH));
    LoadProxyImages();
}

static void RegisterWindowClass(LPCWSTR className, WNDPROC windowProc)
{
    WNDCLASSW windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = AppInstance;
    windowClass.hIcon = LoadIconW(AppInstance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
}

static void Shutdown(void)
{
    DestroyProxyButton();
    NotifyTrayIcon(NIM_DELETE, MainWindow, TRAY_ID_MAIN, NIF_MESSAGE | NIF_ICON, IconTray);
    DeleteProxyIcons(MainWindow);

    /* Raise the flag before waking the monitor, so that it ends when it wakes. */
    InterlockedExchange(&StopFlag, 1);
    SetEvent(MonitorEvent);
    if (MonitorThread != NULL) {
        WaitForSingleObject(MonitorThread, MONITOR_STOP_WAIT);
        CloseHandle(MonitorThread);
        MonitorThread = NULL;
    }
    CloseHandle(MonitorEvent);
    MonitorEvent = NULL;
}

int RunResident(LPCWSTR className, LPCWSTR windowTitle)
{
    LoadImages();

    /* A copy that is already running makes way for this one. */
    HWND running = FindWindowW(className, windowTitle);
    if (running != NULL)
        PostMessageW(running, WM_CLOSE, 0, 0);

    RegisterWindowClass(className, MainWndProc);
    RegisterWindowClass(BUTTON_CLASS, ButtonWndProc);

    HWND taskbar = FindWindowW(Settings.TaskbarClass, Settings.TaskbarName);
    MainWindow = CreateWindowExW(WS_EX_TOOLWINDOW, className, windowTitle, WS_VISIBLE, 0, 0, 0, 0, NULL, NULL,
                                 AppInstance, NULL);
    /* Without a main window there is nothing to run: no button is left in
       the taskbar, and no tray icon, event or thread is made. */
    if (MainWindow == NULL)
        return 0;
    CreateProxyButton(taskbar);

    NotifyTrayIcon(NIM_ADD, MainWindow, TRAY_ID_MAIN, NIF_MESSAGE | NIF_ICON, IconTray);
    MonitorEvent = CreateEventW(NULL, TRUE, TRUE, MONITOR_EVENT_NAME);
    MonitorThread = CreateThread(NULL, 0, MonitorThreadProc, NULL, 0, NULL);

    MSG msg;
    msg.wParam = 0;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    Shutdown();
    return (int)msg.wParam;
}

/* A tap on one of the tray icons. The button-up that follows a tap falls
   within the double-click time and is not counted again. */
static void OnTrayNotify(HWND window, UINT id, UINT mouseMessage)
{
    if (!AcceptTap())
        return;
    switch (id) {
    case TRAY_ID_MAIN:
        if (mouseMessage == WM_LBUTTONDOWN)
            ShowTaskMenu(window);
        break;
    case TRAY_ID_OK:
        PostToTarget(BUTTON_OK, TRUE);
        break;
    case TRAY_ID_CLOSE:
        PostToTarget(BUTTON_CLOSE, TRUE);
        break;
    }
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_DRAWITEM:
        DrawTaskItem((const DRAWITEMSTRUCT*)lParam);
        return 0;
    case WM_MEASUREITEM:
        MeasureTaskItem(window, (MEASUREITEMSTRUCT*)lParam);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case CMD_FOREGROUND:
            FollowForeground(MainWindow, HIWORD(wParam), (HWND)lParam);
            return 0;
        case CMD_ABOUT:
            RunAboutBox(window);
            return 0;
        }
        break;
    case WM_TRAYNOTIFY:
        OnTrayNotify(window, (UINT)wParam, (UINT)lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
