/* The foreground monitor: a second thread that looks at the foreground
   window every polling period and tells the main window which caption
   buttons a newly activated window carries. With Monitoring on it also pulls
   such a window below the work area's top edge. It writes no shared state:
   everything it reports goes to the main window by a synchronous send. */
#include "proxy/proxy.h"
#include "app/app.h"
#include "settings/settings.h"

static WORD CaptionFlags(LONG style, LONG exStyle)
{
    WORD flags = 0;
    if (style & WS_SYSMENU)
        flags |= CAPTION_CLOSE;
    if (exStyle & WS_EX_CAPTIONOKBTN)
        flags |= CAPTION_OK;
    return flags;
}

/* Sent, so that the main thread has handled it before the monitor goes on;
   nothing is sent while there is no main window. */
static void Report(WORD flags, HWND window)
{
    if (IsWindow(MainWindow))
        SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(CMD_FOREGROUND, flags), (LPARAM)window);
}

static BOOL MonitoringOn(void)
{
    LockSettings();
    BOOL on = Settings.Monitoring != 0;
    UnlockSettings();
    return on;
}

/* Moves the window down to the work area's top edge when it starts above
   it; the shell's own windows are never moved. The call is made also when
   the window stays where it is; when either rectangle cannot be read, the
   window is left alone this time. */
static void FitToWorkArea(HWND window)
{
    if (IsShellWindow(window))
        return;

    RECT windowRect;
    RECT workArea;
    if (!GetWindowRect(window, &windowRect) || !SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0))
        return;
    POINT to = { windowRect.left, windowRect.top };
    if (workArea.top > windowRect.top) {
        to.x = workArea.left;
        to.y = workArea.top;
    }
    SetWindowPos(window, NULL, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static void ExamineForeground(HWND window)
{
    if (window == NULL) {
        Report(0, NULL);
        return;
    }
    LONG style = GetWindowLongW(window, GWL_STYLE);
    LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    if (MonitoringOn() && !(exStyle & WS_EX_TOOLWINDOW))
        FitToWorkArea(window);

    WORD flags = CaptionFlags(style, exStyle);
    if (IsWindowVisible(window) && flags != 0)
        Report(flags, window);
    else
        Report(0, NULL);
}

DWORD WINAPI MonitorThreadProc(LPVOID)
{
    HWND remembered = NULL;
    if (Stopping())
        return 0;
    for (;;) {
        if (WaitForSingleObject(MonitorEvent, INFINITE) == WAIT_OBJECT_0) {
            HWND foreground = GetForegroundWindow();
            /* A window counts as seen as soon as it is looked at, whatever
               the examination then finds. */
            if (!IsWindow(remembered) || foreground != remembered) {
                remembered = foreground;
                ExamineForeground(foreground);
            }
        }
        /* After a pass, and after a failed wait too: a wait that keeps
           failing must not spin. */
        if (Stopping())
            return 0;
        Sleep(MONITOR_PERIOD);
        if (Stopping())
            return 0;
    }
}
