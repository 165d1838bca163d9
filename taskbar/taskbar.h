/* Moving the shell's taskbar between the top and the bottom of the screen. */
#ifndef VELTO_TASKBAR_H
#define VELTO_TASKBAR_H

#include "app/velto.h"

/* Nonzero puts the taskbar at the top, 0 at the bottom; the desktop window,
   the work area and the ordinary windows follow. */
void PlaceTaskbar(DWORD onTop);

BOOL CALLBACK AlignWindowEnumProc(HWND window, LPARAM unused);

#endif
