/* Moving the shell's taskbar between the top and the bottom of the screen. */
#ifndef VELTO_TASKBAR_H
#define VELTO_TASKBAR_H

#include "app/velto.h"

/* Nonzero puts the taskbar at the top, 0 at the bottom; the desktop window,
   the work area and the ordinary windows follow. */
void PlaceTaskbar(DWORD onTop);

BOOL CALLBACK AlignWindowEnumProc(HWND window, LPARAM unused);

/* A visible window that is not a tool window: the kind of window that the
   placement moves, the task menu lists and "Close All" closes. */
BOOL IsOrdinaryWindow(HWND window);

#endif
