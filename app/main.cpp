/* Entry: load the names and the settings, then either place the taskbar once
   (a -taskbar switch on the command line) or stay resident. */
#include "app/app.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "taskbar/taskbar.h"

HINSTANCE AppInstance;
DWORD LastTapTick;

/* The placement a -taskbar switch asks for, given the current one;
   -1 when the command line names no known switch. */
static LONG SwitchedPlacement(LPCWSTR commandLine, DWORD onTop)
{
    if (wcsstr(commandLine, TEXT("-taskbar_up")))
        return 1;
    if (wcsstr(commandLine, TEXT("-taskbar_down")))
        return 0;
    if (wcsstr(commandLine, TEXT("-taskbar_move")) || wcsstr(commandLine, TEXT("-taskbar_hide")) ||
        wcsstr(commandLine, TEXT("-taskbar_switch")))
        return onTop == 0 ? 1 : 0;
    return -1;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    AppInstance = instance;
    LastTapTick = GetTickCount();
    InitSettingsLock();

    WCHAR className[STRING_CHARS];
    WCHAR windowTitle[STRING_CHARS];
    className[0] = 0;
    windowTitle[0] = 0;
    LoadStringW(instance, IDS_CLASS_NAME, className, STRING_CHARS);
    LoadStringW(instance, IDS_WINDOW_TITLE, windowTitle, STRING_CHARS);

    /* The shell's names as built in; no monitor runs yet, so these writes
       need not hold the settings lock. */
    LoadStringW(instance, IDS_DESKTOP_NAME, Settings.DesktopName, STRING_CHARS);
    LoadStringW(instance, IDS_DESKTOP_CLASS, Settings.DesktopClass, STRING_CHARS);
    LoadStringW(instance, IDS_TASKBAR_NAME, Settings.TaskbarName, STRING_CHARS);
    LoadStringW(instance, IDS_TASKBAR_CLASS, Settings.TaskbarClass, STRING_CHARS);

    LoadSettings();

    if (!wcsstr(commandLine, TEXT("-taskbar")))
        return RunResident(className, windowTitle);

    LONG onTop = SwitchedPlacement(commandLine, Settings.TaskBarOnTop);
    if (onTop < 0)
        return 0;
    Settings.TaskBarOnTop = (DWORD)onTop;
    SaveSettings();
    PlaceTaskbar(Settings.TaskBarOnTop);
    return 0;
}
