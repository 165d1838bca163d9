/* What the parts of Velto share: buffer sizes, process-wide values of the
   application shell, and the exact text comparison used for class names. */
#ifndef VELTO_VELTO_H
#define VELTO_VELTO_H

#include "platform/platform.h"

/* Texts from the string table and the identity strings. */
#define STRING_CHARS 100
/* Window titles and class names read from other windows. */
#define NAME_CHARS 1024

/* Screen geometry of the Pocket PC; it is fixed and never queried. */
#define SCREEN_WIDTH 240
#define SCREEN_HEIGHT 320
#define TASKBAR_HEIGHT 26
#define DESKTOP_HEIGHT (SCREEN_HEIGHT - TASKBAR_HEIGHT)

extern HINSTANCE AppInstance;
extern DWORD LastTapTick;

/* Whole, case-sensitive comparison, one UTF-16 unit at a time. */
inline BOOL SameText(const WCHAR* a, const WCHAR* b)
{
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

#endif
