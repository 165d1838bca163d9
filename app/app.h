/* The application shell: entry, resident mode and the main window, and what
   the other parts reach through it. */
#ifndef VELTO_APP_H
#define VELTO_APP_H

#include "app/velto.h"

/* Private messages of the main window. WM_TRAYNOTIFY is the callback message
   of every tray icon, which the shell sends for each tap on one: 2259 (0x8D3)
   lies above WM_USER, in the range a window class keeps for messages of its
   own, so that no message of the system is taken for a tap. */
#define WM_TRAYNOTIFY 2259    /* wParam: tray icon id; lParam: the mouse message */
#define CMD_FOREGROUND 1024   /* WM_COMMAND: caption flags in the high word, window in lParam */
#define CMD_ABOUT 40003       /* WM_COMMAND: open the About box */

/* Tray icons of the main window. */
#define TRAY_ID_MAIN 0
#define TRAY_ID_OK 3
#define TRAY_ID_CLOSE 4

/* The OK command posted to another program's window: IDOK with 0x1000 in the
   high word. The close command is a plain WM_CLOSE. */
#define OK_COMMAND_WPARAM 0x10000001

extern HICON IconTray;        /* the tray icon */
extern HICON IconTrayActive;  /* the tray icon while the task menu is open */
extern HICON IconCloseGlyph;  /* drawn at the right end of task items */
extern HWND MainWindow;        /* visible at 0 x 0, of size 0; owns the tray icons, hears every notification */
extern HANDLE MonitorEvent;    /* set while the monitor runs, reset to park it */
extern volatile LONG StopFlag; /* 1 once shutdown has begun; the monitor then ends */

/* Whether shutdown has begun; the monitor thread asks after each step. */
inline BOOL Stopping(void)
{
    return InterlockedCompareExchange(&StopFlag, 0, 0) != 0;
}

/* Runs the program until its main window is closed; the exit code. */
int RunResident(LPCWSTR className, LPCWSTR windowTitle);

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* Adds, changes or deletes one of the owner's tray icons. */
BOOL NotifyTrayIcon(DWORD message, HWND owner, UINT id, UINT flags, HICON icon);

/* The tap debounce shared by the tray icons and the taskbar button: a tap
   counts only when more than the double-click time has passed since the
   last one that counted. */
BOOL AcceptTap(void);

#endif
