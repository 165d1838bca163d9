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
   main thread may be rewriting them: those reads, and every write to the
   record once the monitor may be running, hold this lock, so that the
   monitor sees whole values. The entry sets it up first; its own writes
   before resident mode (the names from the string table, a -taskbar
   switch) come before there is a monitor. */
void InitSettingsLock(void);
void LockSettings(void);
void UnlockSettings(void);

/* Which windows Velto touches, decided here alone. An ordinary window is a
   visible window that is no tool window: the task menu lists it when it has
   a title. The shell's own windows, the desktop window and the taskbar, are
   known by their classes (DesktopClass and TaskbarClass, compared whole and
   case-sensitively): "Close All" and the placement leave them be, the
   monitor never moves them, and the desktop's item in the task menu has no
   icon and does not close it. Any thread may ask. */
BOOL IsOrdinaryWindow(HWND window);
BOOL IsShellWindow(HWND window);
BOOL IsDesktopWindow(HWND window);

/* An ordinary window that is none of the shell's: "Close All" closes it,
   the placement moves it. */
BOOL IsProgramWindow(HWND window);

#endif
