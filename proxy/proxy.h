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

/* The class of the button in the taskbar, by which other programs know it. */
#define BUTTON_CLASS TEXT("VeltoButton")

/* Loads the faces of the button and of the OK and close tray icons, kept
   for the life of the program. */
void LoadProxyImages(void);

/* Makes the button at the right end of the taskbar, standing for close
   until the first report; without a taskbar there is no button. */
void CreateProxyButton(HWND taskbar);

/* The monitor's report of the window in front and its caption buttons: the
   proxies act on that window from now on, as its buttons say. */
void FollowForeground(HWND owner, WORD flags, HWND window);

/* At shutdown: the button goes and the proxies act on no window any more;
   then, once the main tray icon is gone, the OK and close tray icons go. */
void DestroyProxyButton(void);
void DeleteProxyIcons(HWND owner);

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
