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

extern HINSTANCE AppInstance;  /* the program's module, for its resources */
extern DWORD LastTapTick;      /* tick count of the last accepted tap, or of the start */

/* Whole, case-sensitive comparison of a name with one of the identity
   strings, one UTF-16 unit at a time. It never reads past the identity
   string's buffer: a name that would run beyond it does not match. */
inline BOOL SameText(const WCHAR* name, const WCHAR* identity)
{
    for (int i = 0; i < STRING_CHARS; ++i) {
        if (name[i] != identity[i])
            return FALSE;
        if (name[i] == 0)
            return TRUE;
    }
    return FALSE;
}

#endif
