/* The application shell: entry, resident mode and the main window. */
#ifndef VELTO_APP_H
#define VELTO_APP_H

#include "app/velto.h"

/* Runs the program until its main window is closed; the exit code. */
int RunResident(LPCWSTR className, LPCWSTR windowTitle);

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
