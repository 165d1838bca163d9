/* Resident mode and the main window. */
#include "app/app.h"

int RunResident(LPCWSTR, LPCWSTR)
{
    return 0;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}
