/* The task menu behind the tray icon. */
#ifndef VELTO_TASKMENU_H
#define VELTO_TASKMENU_H

#include "app/velto.h"

int ShowTaskMenu(HWND mainWindow);

/* Owner-drawn window items of the task menu. */
void MeasureTaskItem(HWND window, MEASUREITEMSTRUCT* measure);
void DrawTaskItem(const DRAWITEMSTRUCT* draw);

#endif
