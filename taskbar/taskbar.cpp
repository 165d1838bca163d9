/* Taskbar placement: the taskbar along the top or the bottom edge, the
   desktop window and the work area in the band that is left. */
#include "taskbar/taskbar.h"
#include "settings/settings.h"

void PlaceTaskbar(DWORD onTop)
{
    HWND taskbar = FindWindowW(Settings.TaskbarClass, Settings.TaskbarName);
    HWND desktop = FindWindowW(Settings.DesktopClass, Settings.DesktopName);
    if (desktop == NULL)
        desktop = GetDesktopWindow();

    int desktopTop = onTop ? TASKBAR_HEIGHT : 0;
    int taskbarTop = onTop ? 0 : DESKTOP_HEIGHT;

    RECT workArea = { 0, desktopTop, SCREEN_WIDTH, desktopTop + DESKTOP_HEIGHT };
    SystemParametersInfoW(SPI_SETWORKAREA, 0, &workArea, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);

    if (desktop != NULL)
        SetWindowPos(desktop, HWND_BOTTOM, 0, desktopTop, SCREEN_WIDTH, DESKTOP_HEIGHT, SWP_NOZORDER | SWP_NOACTIVATE);
    if (taskbar != NULL)
        SetWindowPos(taskbar, HWND_TOP, 0, taskbarTop, SCREEN_WIDTH, TASKBAR_HEIGHT, SWP_SHOWWINDOW);

    EnumWindows(AlignWindowEnumProc, 0);
}

/* Moves a program's window to the desktop window's top-left corner,
   leaving tool windows and the shell's own windows where they are. */
BOOL CALLBACK AlignWindowEnumProc(HWND window, LPARAM)
{
    if (!IsProgramWindow(window))
        return TRUE;

    RECT desktop;
    if (!GetWindowRect(GetDesktopWindow(), &desktop))
        return TRUE;
    SetWindowPos(window, HWND_TOP, desktop.left, desktop.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}
