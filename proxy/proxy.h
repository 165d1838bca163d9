/* The proxy for the foreground window's caption buttons: the button in the
   taskbar and the OK and close tray icons. */
#ifndef VELTO_PROXY_H
#define VELTO_PROXY_H

#include "app/velto.h"

/* Caption buttons of the foreground window, as the monitor reports them. */
#define CAPTION_OK 0x08
#define CAPTION_CLOSE 0x10

/* What the button in the taskbar stands for. */
#define BUTTON_OK 3
#define BUTTON_CLOSE 4
#define BUTTON_NONE (-1)

/* The monitor looks at the foreground window this often, in milliseconds. */
#define MONITOR_PERIOD 250

#define BUTTON_SIZE 24  /* the button window */
#define FACE_SIZE 20    /* one frame of a button bitmap */
#define FACE_MARGIN 2

extern HWND TargetWindow;     /* the window the OK and close proxies act on */
extern LONG ButtonMode;       /* what the button stands for: BUTTON_OK, BUTTON_CLOSE or else none */
extern LONG ButtonPressed;    /* 1 from an accepted tap until the next paint or release */
extern HBITMAP BitmapClose;   /* faces of the button, each two frames: at rest, held down */
extern HBITMAP BitmapOk;
extern HBITMAP BitmapIdle;

/* Posts OK (BUTTON_OK) or close (BUTTON_CLOSE) to TargetWindow when it is
   still there and visible, after bringing it to the front if asked: the tray
   icons do, the button does not. */
void PostToTarget(LONG command, BOOL bringToFront);

/* Sets the button's face and the OK and close tray icons from the caption
   flags of the foreground window. */
int UpdateTrayButtons(HWND owner, WORD flags);

LRESULT CALLBACK ButtonWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* The monitor thread: tells the main window the caption buttons of each
   window that comes to the front, while MonitorEvent is set, until StopFlag
   is raised. */
DWORD WINAPI MonitorThreadProc(LPVOID unused);

#endif
