/*
 * The front end of velto.exe on Windows: the process's entry. Velto is made
 * for a Pocket PC screen; on an ordinary desktop it would move the desktop's
 * windows and change its work area. So it runs only where the screen is no
 * larger than the largest Pocket PC screens (480 x 640, either way round),
 * and otherwise ends at once, silently, with exit code 0, before reading or
 * writing anything.
 */
#include "platform/platform.h"

#undef wWinMain

#define POCKET_PC_MAX_SHORT_SIDE 480
#define POCKET_PC_MAX_LONG_SIDE 640

static BOOL PocketPcScreen(void)
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    int shortSide = width < height ? width : height;
    int longSide = width < height ? height : width;
    return shortSide <= POCKET_PC_MAX_SHORT_SIDE && longSide <= POCKET_PC_MAX_LONG_SIDE;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show)
{
    if (!PocketPcScreen())
        return 0;
    return VeltoWinMain(instance, previous, commandLine, show);
}
