/* The task menu. For now a tap on the tray icon shows the icon as active and
   brings the main window forward; the menu itself is still to come. */
#include "taskmenu/taskmenu.h"
#include "app/app.h"

int ShowTaskMenu(HWND mainWindow)
{
    NotifyTrayIcon(NIM_MODIFY, mainWindow, TRAY_ID_MAIN, NIF_ICON, IconTrayActive);
    SetForegroundWindow(mainWindow);
    NotifyTrayIcon(NIM_MODIFY, mainWindow, TRAY_ID_MAIN, NIF_ICON, IconTray);
    return 0;
}

void MeasureTaskItem(HWND, MEASUREITEMSTRUCT*)
{
}

void DrawTaskItem(const DRAWITEMSTRUCT*)
{
}
