/* The settings Velto keeps in the registry, and the names by which it knows
   the shell's desktop and taskbar windows. */
#ifndef VELTO_SETTINGS_H
#define VELTO_SETTINGS_H

#include "app/velto.h"

struct SettingsRecord {
    DWORD CloseButton;   /* close proxy tray icon on */
    DWORD OkButton;      /* OK proxy tray icon on */
    DWORD Monitoring;    /* pull foreground windows below the taskbar */
    DWORD TaskBarOnTop;  /* taskbar at the top of the screen */
    DWORD AutoHide;      /* copy of the shell's auto-hide value */
    WCHAR DesktopName[STRING_CHARS];
    WCHAR DesktopClass[STRING_CHARS];
    WCHAR TaskbarName[STRING_CHARS];
    WCHAR TaskbarClass[STRING_CHARS];
};

extern SettingsRecord Settings;

/* Refreshes Settings from the registry, writing back what cannot be read,
   and moves the taskbar when its stored placement changed. 1 once the
   settings key was opened, else 0. */
int LoadSettings(void);

/* Stores the four switches. 1 after the writes, else 0. */
int SaveSettings(void);

/* The monitor thread reads Monitoring and the shell's class names while the
   main thread may be rewriting them: every write to the record and those
   reads hold this lock, so that the monitor sees whole values. The entry
   sets it up before the first load. */
void InitSettingsLock(void);
void LockSettings(void);
void UnlockSettings(void);

/* Whether a window is one of the shell's own: its class is DesktopClass or
   TaskbarClass, compared whole and case-sensitively. Any thread may ask. */
BOOL IsShellWindow(HWND window);

#endif
