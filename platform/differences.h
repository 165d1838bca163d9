/*
 * Where desktop Windows (and Wine) differ from Windows CE, and what we do.
 *
 * One row for each difference, in this order: its name; what Windows CE
 * does; what desktop Windows does; what velto.exe does on Windows (in
 * platform/platform.h and platform/windows.cpp); why Windows CE answers as it
 * does; and the page of Windows CE's API reference that documents it.
 *
 * Each row has a case in tests/conformance that states both answers under the
 * row's name (CE_DIFFERENCE), which prints the row when the case fails; a test
 * keeps the rows and the cases in step. Only differences in what a call
 * answers are rows: a name that desktop Windows' headers lack but whose call
 * answers alike (WS_EX_CAPTIONOKBTN, GCL_HICON) is settled in platform.h alone.
 */
#ifndef VELTO_PLATFORM_DIFFERENCES_H
#define VELTO_PLATFORM_DIFFERENCES_H

#define PLATFORM_DIFFERENCES(ROW)                                                                                    \
    ROW(BARE_TOP_LEVEL_WINDOW, "top-level window, style WS_VISIBLE alone", "no caption, no border",                  \
        "an overlapped window: caption, border, a minimum size",                                                     \
        "a top-level window without WS_CAPTION becomes a popup (`CreateWindowExW`)",                                 \
        "CE has no overlapped windows", "CreateWindowEx (Windows CE 4.0 API reference)")                             \
    ROW(MODULE_FILE_OF_A_PROCESS, "`GetModuleFileNameW` (process handle)", "takes a handle from `OpenProcess`",     \
        "takes modules of this process only",                                                                        \
        "a process handle is answered by `QueryFullProcessImageNameW`; `PLATFORM_PROCESS_ACCESS` is the access it "  \
        "needs",                                                                                                     \
        "CE names another program's file from its process handle", "GetModuleFileName (Windows CE 4.0)")             \
    ROW(DESKTOP_WINDOW, "`GetDesktopWindow`", "the shell's desktop window (\"DesktopExplorerWindow\", \"Desktop\")", \
        "the root window at (0, 0)", "the shell's desktop window when there is one, else the root window",          \
        "the shell's window is CE's desktop window", "GetDesktopWindow (Windows CE API reference)")                  \
    ROW(MOVING_THE_DESKTOP_WINDOW, "`SetWindowPos` on `GetDesktopWindow`'s window", "moves the desktop window",     \
        "the root window: the call fails, nothing moves (Wine too)", "nothing",                                      \
        "CE's desktop window is an ordinary window of the shell", "GetDesktopWindow (Windows CE API reference)")     \
    ROW(TRAY_NOTIFICATIONS, "tray icon notifications", "taps: the stylus gives no reports without touching",        \
        "also the mouse moving over an icon, which Velto would take for a tap, ignoring the real tap that follows "  \
        "within the double-click time",                                                                              \
        "the owner of a tray icon does not get the move reports (`Shell_NotifyIconW`, platform/windows.cpp)",        \
        "a stylus does not hover: CE reports taps only", "Shell_NotifyIcon (Windows CE 4.0)")                        \
    ROW(INVALIDATE_NO_WINDOW, "`InvalidateRect` (null window)", "does nothing, answers FALSE",                       \
        "repaints every window of the screen", "does nothing", "CE takes no action on a null window",               \
        "InvalidateRect (Windows CE API reference)")                                                                 \
    ROW(SYS_COLOR_INDEX, "`GetSysColor` index", "carries the flag 0x40000000", "the bare index",                     \
        "`SYS_COLOR_INDEX_FLAG` is 0", "CE's system colours are flagged indexes", "GetSysColor (Windows CE 4.0)")    \
    ROW(REGISTRY_ACCESS_MASK, "registry access mask", "ignored", "mask 0 refuses reads and writes",                 \
        "`PLATFORM_KEY_ACCESS` asks for query, set and create", "CE keeps no access rights on a key",               \
        "RegOpenKeyEx (Windows CE 4.0)")                                                                             \
    ROW(TRAY_RECORD_SIZE, "tray record size", "152 bytes (32-bit handles) only", "a record of any of its sizes",     \
        "`PLATFORM_TRAY_RECORD_SIZE` is the first version's size", "CE's record ends at the 64-character tip",       \
        "NOTIFYICONDATA (Windows CE 4.0)")                                                                           \
    ROW(THE_SCREEN, "the screen (`SPI_SETWORKAREA`, moving other programs' windows)",                               \
        "the Pocket PC's own screen, 240 x 320", "whatever display it has: an ordinary desktop",                     \
        "velto.exe runs only on a screen no larger than 480 x 640, and otherwise ends at once with exit code 0 "     \
        "(platform/windows.cpp)",                                                                                    \
        "a Pocket PC's screen is the device's own", "GetSystemMetrics (Windows CE 4.0)")                             \
    ROW(PROGRAM_ICON_SIZE, "`LoadIconW` (a program's icon)", "the image nearest 32 x 32, at its own size",          \
        "stretched to 32 x 32", "the image nearest 32 x 32, at its own size (`CreateIconFromResourceEx`)",           \
        "CE keeps a program's icon at its own size", "LoadIcon (Windows CE 4.0)")                                    \
    ROW(WORK_AREA, "the work area", "one system-wide work area", "(Wine) a work area per process",                  \
        "nothing: the conformance cases cover both", "CE keeps one work area for the system",                      \
        "SystemParametersInfo (Windows CE API reference)")                                                          \
    ROW(OWNER_DRAWN_MENU_FRAME, "popup menu around owner-drawn items", "as wide as the widest item, no frame",       \
        "each owner-drawn item twice the menu font's average character wider, and a 3-pixel margin on either side", \
        "`PlatformMenuFrameWidth` says what the menu adds, so that the task menu's items leave room for it",          \
        "CE's menu is as wide as its widest item", "WM_MEASUREITEM (Windows CE 4.0)")

#endif
