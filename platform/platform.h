/*
 * The one door from Velto's code to the platform.
 *
 * On Windows this is the real Windows API. Elsewhere it is the simulated
 * Pocket PC that the tests run against. The handful of things that only
 * Windows CE has, or that desktop Windows does differently, are settled here
 * so that the rest of the program is written for Windows CE alone.
 */
#ifndef VELTO_PLATFORM_H
#define VELTO_PLATFORM_H

#ifdef _WIN32

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#include <wchar.h>

/* The OK button in a window's caption: a Windows CE extended style. */
#ifndef WS_EX_CAPTIONOKBTN
#define WS_EX_CAPTIONOKBTN 0x80000000L
#endif

/* Windows CE passes system colour indexes to GetSysColor with this flag;
   desktop Windows takes the bare index. */
#define SYS_COLOR_INDEX_FLAG 0

/* Windows CE ignores the access mask of a registry key; desktop Windows
   refuses reads and writes on a key opened with mask 0. */
#define PLATFORM_KEY_ACCESS (KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY)

/* Size of the tray icon record up to and including its 64-character tip:
   152 bytes with Windows CE's 32-bit handles. */
#define PLATFORM_TRAY_RECORD_SIZE NOTIFYICONDATAW_V1_SIZE

/* Windows CE opens a process with no access rights; desktop Windows needs
   these to read its module name. */
#define PLATFORM_PROCESS_ACCESS (PROCESS_QUERY_INFORMATION | PROCESS_VM_READ)

/* A class's icon is a 32-bit class value on Windows CE; 64-bit desktop
   Windows keeps it pointer-sized. */
#ifdef _WIN64
#define GCL_HICON GCLP_HICON
#define GetClassLongW GetClassLongPtrW
#endif

#else /* the simulated Pocket PC */

#include <cesim/win32.h>

#define SYS_COLOR_INDEX_FLAG 0x40000000
#define PLATFORM_KEY_ACCESS 0
/* Windows CE takes no access rights when a process is opened. */
#define PLATFORM_PROCESS_ACCESS 0
#define PLATFORM_TRAY_RECORD_SIZE 152

#endif

#endif
