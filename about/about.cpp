/* The About box, from dialog template 103. The dialog itself is not run yet:
   the template is found and loaded, and the call returns at once. */
#include "about/about.h"
#include "res/resource.h"

void RunAboutBox(HWND)
{
    HRSRC found = FindResourceW(AppInstance, MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
    LoadResource(AppInstance, found);
}
