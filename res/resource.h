/* Resource ids of Velto, shared by the resource script and the program. */
#ifndef VELTO_RESOURCE_H
#define VELTO_RESOURCE_H

/* Strings */
#define IDS_WINDOW_TITLE        1       /* title of the main window */
#define IDS_CLASS_NAME          3       /* class of the main window */
#define IDS_MENU_TASKBAR        201
#define IDS_MENU_TRAY           202
#define IDS_MENU_ONTOP          203
#define IDS_MENU_MONITORING     204
#define IDS_MENU_OK_BUTTON      205
#define IDS_MENU_CLOSE_BUTTON   206
#define IDS_MENU_SETTINGS       207
#define IDS_MENU_CLOSE_ALL      208
#define IDS_MENU_ABOUT          209
#define IDS_DESKTOP_NAME        500
#define IDS_DESKTOP_CLASS       501
#define IDS_TASKBAR_NAME        502     /* deliberately holds no text */
#define IDS_TASKBAR_CLASS       503
#define IDS_TOPMENU_NAME        504
#define IDS_TOPMENU_CLASS       505

/* Icons */
#define IDI_APP                 101     /* "ok" in a circle, 16x16 and 32x32 */
#define IDI_OK                  104     /* tray icon of the OK proxy */
#define IDI_CLOSE               105     /* tray icon of the close proxy */
#define IDI_TRAY_ACTIVE         106     /* tray icon while the task menu is open */
#define IDI_ARROWS_LARGE        107     /* the tray arrows at 32x32 */
#define IDI_CLOSE_GLYPH         109     /* close mark at the right end of task items */
#define IDI_TRAY                113     /* the program's tray icon */

/* Bitmaps: 40x20, a 20x20 face at rest on the left, pressed on the right */
#define IDB_BUTTON_OK           110
#define IDB_BUTTON_CLOSE        111
#define IDB_BUTTON_IDLE         112

/* Dialogs */
#define IDD_ABOUT               103

#endif
