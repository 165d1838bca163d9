/* The task menu behind the tray icon. */
#ifndef VELTO_TASKMENU_H
#define VELTO_TASKMENU_H

#include "app/velto.h"

/* The menu's own commands; any other command is the handle of a window. */
#define MENU_CLOSE_ALL 2
#define MENU_ABOUT 3
#define MENU_ONTOP 4
#define MENU_MONITORING 5
#define MENU_OK_BUTTON 7
#define MENU_CLOSE_BUTTON 8

/* Builds the menu afresh, tracks it against the taskbar and carries out the
   command chosen. */
int ShowTaskMenu(HWND mainWindow);

BOOL CALLBACK TaskItemEnumProc(HWND window, LPARAM menu);
BOOL CALLBACK CloseAllEnumProc(HWND window, LPARAM unused);

/* Owner-drawn window items of the task menu. */
void MeasureTaskItem(HWND window, MEASUREITEMSTRUCT* measure);
void DrawTaskItem(const DRAWITEMSTRUCT* draw);

#endif
