/* The About box, from dialog template 103: the program's icon, its version
   and the legal notice, over the whole desktop window, with the OK button in
   its caption. */
#include "about/about.h"
#include "res/resource.h"

void RunAboutBox(HWND owner)
{
    HRSRC found = FindResourceW(AppInstance, MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
    HGLOBAL loaded = LoadResource(AppInstance, found);
    DialogBoxIndirectParamW(AppInstance, (LPCDLGTEMPLATEW)loaded, owner, AboutDlgProc, 0);
}

/* The box takes the desktop window's place; the caption's OK button is set
   again at run time. When the desktop's rectangle cannot be read the box
   keeps its template's place. */
static void InitAboutBox(HWND dialog)
{
    SetWindowLongW(dialog, GWL_EXSTYLE, GetWindowLongW(dialog, GWL_EXSTYLE) | WS_EX_CAPTIONOKBTN);
    RECT desktop;
    if (!GetWindowRect(GetDesktopWindow(), &desktop))
        return;
    SetWindowPos(dialog, HWND_TOP, desktop.left, desktop.top, desktop.right - desktop.left,
                 desktop.bottom - desktop.top, SWP_SHOWWINDOW);
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitAboutBox(dialog);
        return TRUE;
    case WM_COMMAND:
        /* The OK that the proxy posts carries 0x1000 in the high word. */
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
