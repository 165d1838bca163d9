/* The task menu: a tap on the tray icon opens it against the taskbar with
   the ordinary windows that have a title, "Settings" and "Close All". Window
   items are drawn by the program: the window's icon, its title, and the
   close glyph at the right end, where a tap closes the window instead of
   activating it. */
#include "taskmenu/taskmenu.h"
#include "app/app.h"
#include "proxy/proxy.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "taskbar/taskbar.h"

/* A taskbar whose top edge lies below this counts as at the bottom. */
#define TASKBAR_BOTTOM_LIMIT 100
/* The height the menu hangs from when there is no taskbar: a y coordinate,
   not the screen's width, which it happens to equal. */
#define MENU_ANCHOR_Y_DEFAULT 240

/* Geometry of a window item, from its rectangle's edges. */
#define ITEM_ICON_LEFT 4
#define ITEM_ICON_SIZE 16
#define ITEM_IMAGE_RISE 18   /* icon and glyph stand this far above the bottom */
#define ITEM_TEXT_LEFT 24    /* the icon's room, left of the title */
#define ITEM_GLYPH_ROOM 20   /* the glyph's room, right of the title */
#define ITEM_TEXT_TOP 4
#define ITEM_GLYPH_LEFT 18   /* the glyph starts this far left of the right edge */
#define ITEM_GLYPH_SIZE 16   /* the glyph's own size, at which it is drawn */
/* A tap right of this x on a window item closes the window: the menu ends at
   the screen's right edge, and the strip is as wide as the glyph. */
#define CLOSE_STRIP_LEFT (SCREEN_WIDTH - ITEM_GLYPH_SIZE)
#define ITEM_EXTRA_WIDTH (ITEM_TEXT_LEFT + ITEM_GLYPH_ROOM)
#define ITEM_EXTRA_HEIGHT 6
/* What a title cut short ends in. */
#define ELLIPSIS 0x2026
/* The first half of a character beyond 16 bits. */
#define HIGH_SURROGATE_FIRST 0xD800
#define HIGH_SURROGATE_LAST 0xDBFF

/* Set while the menu is open: the menu's loop dispatches tray taps, and a tap
   then must not open a second menu over the first. */
static LONG MenuOpen;

/* Appends a string-table text as a menu item; 0 when the text is missing. */
static int AppendStringItem(HMENU menu, UINT flags, UINT_PTR id, UINT stringId)
{
    WCHAR text[STRING_CHARS];
    if (LoadStringW(GetModuleHandleW(NULL), stringId, text, STRING_CHARS) == 0)
        return 0;
    return AppendMenuW(menu, flags, id, text);
}

static UINT CheckFlag(DWORD setting)
{
    return setting ? MF_CHECKED : 0;
}

BOOL CALLBACK TaskItemEnumProc(HWND window, LPARAM menu)
{
    if (!IsOrdinaryWindow(window))
        return TRUE;
    WCHAR title[NAME_CHARS];
    if (GetWindowTextW(window, title, NAME_CHARS) == 0 || title[0] == 0)
        return TRUE;
    AppendMenuW((HMENU)menu, MF_OWNERDRAW, (UINT_PTR)window, NULL);
    return TRUE;
}

BOOL CALLBACK CloseAllEnumProc(HWND window, LPARAM)
{
    if (!IsProgramWindow(window))
        return TRUE;
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

/* The monitor runs while any of its three uses is on; with none left it is
   parked, and the proxy icons and the button's face are cleared. */
static void ApplyMonitorRule(HWND mainWindow)
{
    if (Settings.OkButton || Settings.CloseButton || Settings.Monitoring) {
        SetEvent(MonitorEvent);
        return;
    }
    ResetEvent(MonitorEvent);
    UpdateTrayButtons(mainWindow, 0);
}

/* The monitor reads Monitoring on its own thread: the switch is turned under
   the settings lock. */
static void ToggleSetting(DWORD* setting)
{
    LockSettings();
    *setting = *setting ? 0 : 1;
    UnlockSettings();
    SaveSettings();
}

/* A window's item: the strip at the right end closes the window (never the
   desktop), the rest brings it to the foreground. */
static void ActOnWindow(HWND window, UINT tapX)
{
    if (!IsWindow(window))
        return;
    if (tapX > CLOSE_STRIP_LEFT) {
        if (!IsDesktopWindow(window))
            PostMessageW(window, WM_CLOSE, 0, 0);
        return;
    }
    SetForegroundWindow(window);
}

static void ActOnCommand(HWND mainWindow, UINT command, UINT tapX)
{
    switch (command) {
    case 0:
        break;
    case MENU_CLOSE_ALL:
        EnumWindows(CloseAllEnumProc, 0);
        break;
    case MENU_ABOUT:
        PostMessageW(mainWindow, WM_COMMAND, CMD_ABOUT, 0);
        break;
    case MENU_ONTOP:
        ToggleSetting(&Settings.TaskBarOnTop);
        PlaceTaskbar(Settings.TaskBarOnTop);
        break;
    case MENU_MONITORING:
        ToggleSetting(&Settings.Monitoring);
        ApplyMonitorRule(mainWindow);
        break;
    case MENU_OK_BUTTON:
        ToggleSetting(&Settings.OkButton);
        ApplyMonitorRule(mainWindow);
        break;
    case MENU_CLOSE_BUTTON:
        ToggleSetting(&Settings.CloseButton);
        ApplyMonitorRule(mainWindow);
        break;
    default:
        ActOnWindow((HWND)(UINT_PTR)command, tapX);
        break;
    }
}

/* The menu opens against the taskbar as it is now: above it when it lies at
   the bottom, below it at the top, and at the default height without one. */
static int MenuAnchor(BOOL* atBottom)
{
    RECT taskbarRect = { 0, 0, 0, 0 };
    HWND taskbar = FindWindowW(Settings.TaskbarClass, Settings.TaskbarName);
    if (taskbar != NULL)
        GetWindowRect(taskbar, &taskbarRect);
    *atBottom = taskbar != NULL && taskbarRect.top > TASKBAR_BOTTOM_LIMIT;
    if (taskbar == NULL)
        return MENU_ANCHOR_Y_DEFAULT;
    return *atBottom ? taskbarRect.top : taskbarRect.bottom;
}

/* The menu and its submenus, built afresh for every opening. */
struct TaskMenus {
    HMENU main;
    HMENU settings;
    HMENU taskbar;
    HMENU tray;
};

/* Fills the menus with the settings reloaded and the windows as they are. */
static void BuildTaskMenu(const TaskMenus* menus, BOOL atBottom)
{
    /* The check marks show what is stored. */
    LoadSettings();

    AppendStringItem(menus->settings, MF_POPUP, (UINT_PTR)menus->taskbar, IDS_MENU_TASKBAR);
    AppendStringItem(menus->settings, MF_POPUP, (UINT_PTR)menus->tray, IDS_MENU_TRAY);
    AppendStringItem(menus->settings, 0, MENU_ABOUT, IDS_MENU_ABOUT);
    AppendStringItem(menus->taskbar, CheckFlag(Settings.TaskBarOnTop), MENU_ONTOP, IDS_MENU_ONTOP);
    AppendStringItem(menus->taskbar, CheckFlag(Settings.Monitoring), MENU_MONITORING, IDS_MENU_MONITORING);
    AppendStringItem(menus->tray, CheckFlag(Settings.OkButton), MENU_OK_BUTTON, IDS_MENU_OK_BUTTON);
    AppendStringItem(menus->tray, CheckFlag(Settings.CloseButton), MENU_CLOSE_BUTTON, IDS_MENU_CLOSE_BUTTON);

    /* "Close All" sits next to the taskbar, the windows farthest from it. */
    if (atBottom) {
        EnumWindows(TaskItemEnumProc, (LPARAM)menus->main);
        AppendMenuW(menus->main, MF_SEPARATOR, 0, NULL);
        AppendStringItem(menus->main, MF_POPUP, (UINT_PTR)menus->settings, IDS_MENU_SETTINGS);
        AppendStringItem(menus->main, 0, MENU_CLOSE_ALL, IDS_MENU_CLOSE_ALL);
    } else {
        AppendStringItem(menus->main, 0, MENU_CLOSE_ALL, IDS_MENU_CLOSE_ALL);
        AppendStringItem(menus->main, MF_POPUP, (UINT_PTR)menus->settings, IDS_MENU_SETTINGS);
        AppendMenuW(menus->main, MF_SEPARATOR, 0, NULL);
        EnumWindows(TaskItemEnumProc, (LPARAM)menus->main);
    }
}

/* Tracks the menu with the tray icon in its active face, and destroys it;
   the command chosen (0 for none) and the x of the tap that chose it. */
static UINT TrackTaskMenu(HWND mainWindow, const TaskMenus* menus, BOOL atBottom, int anchorY, UINT* tapX)
{
    NotifyTrayIcon(NIM_MODIFY, mainWindow, TRAY_ID_MAIN, NIF_ICON, IconTrayActive);
    SetForegroundWindow(mainWindow);
    UINT flags = TPM_RETURNCMD | TPM_RIGHTALIGN | (atBottom ? TPM_BOTTOMALIGN : 0);
    UINT command = (UINT)TrackPopupMenuEx(menus->main, flags, SCREEN_WIDTH, anchorY, mainWindow, NULL);
    *tapX = LOWORD(GetMessagePos());

    DestroyMenu(menus->main);
    DestroyMenu(menus->settings);
    DestroyMenu(menus->taskbar);
    DestroyMenu(menus->tray);
    NotifyTrayIcon(NIM_MODIFY, mainWindow, TRAY_ID_MAIN, NIF_ICON, IconTray);
    return command;
}

int ShowTaskMenu(HWND mainWindow)
{
    if (MenuOpen)
        return 0;
    MenuOpen = 1;

    /* Made from the top of the tree down, in the order a tap opens them (the
       list's initialisation keeps that order), and destroyed in it too. */
    TaskMenus menus = { CreatePopupMenu(), CreatePopupMenu(), CreatePopupMenu(), CreatePopupMenu() };
    /* Where the taskbar is now decides the order and the anchor: read it
       before the settings are reloaded, which may move it. */
    BOOL atBottom = FALSE;
    int anchorY = MenuAnchor(&atBottom);
    BuildTaskMenu(&menus, atBottom);
    UINT tapX = 0;
    UINT command = TrackTaskMenu(mainWindow, &menus, atBottom, anchorY, &tapX);
    MenuOpen = 0;

    ActOnCommand(mainWindow, command, tapX);
    return 0;
}

/* The title of the window that an item stands for: FALSE when the window has
   gone or has no title. */
static BOOL ReadItemTitle(HWND window, WCHAR* title, int* length)
{
    title[0] = 0;
    *length = 0;
    if (!IsWindow(window))
        return FALSE;
    *length = GetWindowTextW(window, title, NAME_CHARS);
    return *length > 0 && title[0] != 0;
}

/* Measures a title in the device context's font; one wider than room is cut
   to the characters that fit with an ellipsis after them, never between the
   two halves of a surrogate pair. The length and extent are the title's as
   it stands then; FALSE when it could not be measured. */
static BOOL FitTitle(HDC dc, WCHAR* title, int* length, int room, SIZE* extent)
{
    if (!GetTextExtentExPointW(dc, title, *length, 0, NULL, NULL, extent))
        return FALSE;
    if (extent->cx <= room)
        return TRUE;
    WCHAR ellipsis = ELLIPSIS;
    SIZE ellipsisExtent = { 0, 0 };
    GetTextExtentExPointW(dc, &ellipsis, 1, 0, NULL, NULL, &ellipsisExtent);
    /* Fewer characters fit than the whole title has: the ellipsis takes the
       place of one of them. The title is read by its length from here on. */
    int fit = 0;
    GetTextExtentExPointW(dc, title, *length, room - ellipsisExtent.cx, &fit, NULL, extent);
    if (fit > 0 && title[fit - 1] >= HIGH_SURROGATE_FIRST && title[fit - 1] <= HIGH_SURROGATE_LAST)
        --fit;
    title[fit] = ELLIPSIS;
    *length = fit + 1;
    return GetTextExtentExPointW(dc, title, *length, 0, NULL, NULL, extent);
}

/* An item is never wider than the screen leaves it once the menu has added
   its frame: its title is cut to fit, and so the menu never runs off the
   screen and the close strip lies under the glyph. */
void MeasureTaskItem(HWND window, MEASUREITEMSTRUCT* measure)
{
    if (measure->CtlType != ODT_MENU)
        return;
    HDC dc = GetDC(window);
    WCHAR title[NAME_CHARS];
    int length;
    if (ReadItemTitle((HWND)(UINT_PTR)measure->itemID, title, &length)) {
        SIZE extent = { 0, 0 };
        int room = SCREEN_WIDTH - PlatformMenuFrameWidth() - ITEM_EXTRA_WIDTH;
        if (FitTitle(dc, title, &length, room, &extent)) {
            measure->itemWidth = (UINT)(extent.cx + ITEM_EXTRA_WIDTH);
            measure->itemHeight = (UINT)(extent.cy + ITEM_EXTRA_HEIGHT);
        }
    }
    if (dc != NULL)
        ReleaseDC(window, dc);
}

/* The small icon of the program that owns the window, extracted from its
   program file; NULL when there is none. The caller destroys it. */
static HICON ExtractOwnerIcon(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PLATFORM_PROCESS_ACCESS, FALSE, processId);
    if (process == NULL)
        return NULL;
    HICON icon = NULL;
    WCHAR path[NAME_CHARS];
    if (GetModuleFileNameW((HMODULE)process, path, NAME_CHARS) > 0)
        ExtractIconExW(path, 0, NULL, &icon, 1);
    CloseHandle(process);
    return icon;
}

void DrawTaskItem(const DRAWITEMSTRUCT* draw)
{
    HDC dc = draw->hDC;
    const RECT* item = &draw->rcItem;
    BOOL selected = (draw->itemState & ODS_SELECTED) != 0;
    int textIndex = selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT;
    int backIndex = selected ? COLOR_HIGHLIGHT : COLOR_MENU;
    COLORREF oldText = SetTextColor(dc, GetSysColor(SYS_COLOR_INDEX_FLAG | textIndex));
    COLORREF oldBack = SetBkColor(dc, GetSysColor(SYS_COLOR_INDEX_FLAG | backIndex));

    HWND window = (HWND)(UINT_PTR)draw->itemID;
    WCHAR title[NAME_CHARS];
    int length;
    if (ReadItemTitle(window, title, &length)) {
        /* Cut as it was measured: the item is as wide as the widest title
           measured, and a title that fit then fits now. */
        SIZE extent = { 0, 0 };
        FitTitle(dc, title, &length, item->right - item->left - ITEM_EXTRA_WIDTH, &extent);
        ExtTextOutW(dc, item->left + ITEM_TEXT_LEFT, item->top + ITEM_TEXT_TOP, ETO_OPAQUE, item, title,
                    (UINT)length, NULL);
    }

    /* For a window that has gone nothing more is drawn. The desktop's item
       has neither icon nor glyph, nor has an item without an icon. */
    if (IsWindow(window) && !IsDesktopWindow(window)) {
        HICON extracted = NULL;
        HICON icon = (HICON)(UINT_PTR)GetClassLongW(window, GCL_HICON);
        if (icon == NULL)
            icon = extracted = ExtractOwnerIcon(window);
        if (icon != NULL) {
            int imageTop = item->bottom - ITEM_IMAGE_RISE;
            DrawIconEx(dc, item->left + ITEM_ICON_LEFT, imageTop, icon, ITEM_ICON_SIZE, ITEM_ICON_SIZE, 0, NULL,
                       DI_NORMAL);
            DrawIconEx(dc, item->right - ITEM_GLYPH_LEFT, imageTop, IconCloseGlyph, 0, 0, 0, NULL, DI_NORMAL);
        }
        /* The icon is extracted afresh at every paint: let it go at once. */
        if (extracted != NULL)
            DestroyIcon(extracted);
    }

    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
}
