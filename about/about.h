/* The About box. */
#ifndef VELTO_ABOUT_H
#define VELTO_ABOUT_H

#include "app/velto.h"

/* Runs the About box modally, owned by owner; returns when it is closed. */
void RunAboutBox(HWND owner);

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
