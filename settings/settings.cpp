/* The settings store: one record in memory, mirrored under
   HKEY_CURRENT_USER\Software\Zav\Velto. */
#include "settings/settings.h"
#include "res/resource.h"
#include "taskbar/taskbar.h"

SettingsRecord Settings;  /* what is stored, and the shell's window names */

static CRITICAL_SECTION SettingsLock;  /* see LockSettings in settings.h */

void InitSettingsLock(void)
{
    InitializeCriticalSection(&SettingsLock);
}

void LockSettings(void)
{
    EnterCriticalSection(&SettingsLock);
}

void UnlockSettings(void)
{
    LeaveCriticalSection(&SettingsLock);
}

BOOL IsOrdinaryWindow(HWND window)
{
    if (!IsWindow(window) || !IsWindowVisible(window))
        return FALSE;
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0;
}

/* Whether the window's class is the desktop's, or with taskbarToo the
   taskbar's; read under the lock, since the monitor asks too. */
static BOOL HasShellClass(HWND window, BOOL taskbarToo)
{
    WCHAR className[NAME_CHARS];
    className[0] = 0;
    GetClassNameW(window, className, NAME_CHARS);
    LockSettings();
    BOOL shell = SameText(className, Settings.DesktopClass) ||
                 (taskbarToo && SameText(className, Settings.TaskbarClass));
    UnlockSettings();
    return shell;
}

BOOL IsShellWindow(HWND window)
{
    return HasShellClass(window, TRUE);
}

BOOL IsDesktopWindow(HWND window)
{
    return HasShellClass(window, FALSE);
}

BOOL IsProgramWindow(HWND window)
{
    return IsOrdinaryWindow(window) && !IsShellWindow(window);
}

static HKEY OpenKey(HKEY parent, LPCWSTR path)
{
    HKEY key = NULL;
    if (RegCreateKeyExW(parent, path, 0, NULL, 0, PLATFORM_KEY_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return NULL;
    return key;
}

/* The key under which the maker's programs keep their settings. */
#define MAKER_KEY TEXT("Software\\Zav")

/* Velto's own key under the maker's; when it cannot be opened the maker's key
   is closed, and there is nothing more to do. */
static HKEY OpenSettingsKey(HKEY makerKey)
{
    HKEY settingsKey = OpenKey(makerKey, TEXT("Velto"));
    if (settingsKey == NULL)
        RegCloseKey(makerKey);
    return settingsKey;
}

/* Writes a 32-bit value as the registry's REG_DWORD. */
static void StoreWord(HKEY key, LPCWSTR name, const DWORD* field)
{
    RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)field, sizeof(DWORD));
}

/* Reads a 32-bit value into field; a value that cannot be read is written
   back from the field. The stored type is not looked at. */
static void LoadWord(HKEY key, LPCWSTR name, DWORD* field)
{
    DWORD data = *field;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key, name, NULL, NULL, (LPBYTE)&data, &size) == ERROR_SUCCESS) {
        LockSettings();
        CopyMemory(field, &data, size);
        UnlockSettings();
        return;
    }
    StoreWord(key, name, field);
}

/* Reads a text into a buffer of STRING_CHARS; a value that cannot be read,
   or does not fit, is written back from the buffer. The read goes through a
   copy so that a failed read leaves the buffer as it was. */
static void LoadText(HKEY key, LPCWSTR name, WCHAR* field)
{
    WCHAR data[STRING_CHARS];
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key, name, NULL, NULL, (LPBYTE)data, &size) == ERROR_SUCCESS) {
        /* The stored text need not carry its null: end it where the stored
           characters end, dropping the last one if all of the buffer is used. */
        DWORD chars = size / sizeof(WCHAR);
        LockSettings();
        CopyMemory(field, data, size);
        field[chars < STRING_CHARS ? chars : STRING_CHARS - 1] = 0;
        UnlockSettings();
        return;
    }
    RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)field, (lstrlenW(field) + 1) * sizeof(WCHAR));
}

static void LoadDesktopNames(UINT nameId, UINT classId)
{
    HINSTANCE module = GetModuleHandleW(NULL);
    LockSettings();
    LoadStringW(module, nameId, Settings.DesktopName, STRING_CHARS);
    LoadStringW(module, classId, Settings.DesktopClass, STRING_CHARS);
    UnlockSettings();
}

/* Makes sure the desktop window can be found under the names held, falling
   back to the built-in names. The fallbacks are never stored. */
static void CheckDesktopIdentity(void)
{
    if (FindWindowW(Settings.DesktopClass, Settings.DesktopName) != NULL)
        return;
    LoadDesktopNames(IDS_DESKTOP_NAME, IDS_DESKTOP_CLASS);
    if (FindWindowW(Settings.DesktopClass, Settings.DesktopName) != NULL)
        return;
    LoadDesktopNames(IDS_TOPMENU_NAME, IDS_TOPMENU_CLASS);
}

int LoadSettings(void)
{
    HKEY makerKey = OpenKey(HKEY_CURRENT_USER, MAKER_KEY);
    if (makerKey == NULL)
        return 0;

    HKEY autoHideKey = OpenKey(HKEY_LOCAL_MACHINE, TEXT("Software\\Microsoft\\Shell\\AutoHide"));
    if (autoHideKey != NULL) {
        LoadWord(autoHideKey, TEXT(""), &Settings.AutoHide);
        RegCloseKey(autoHideKey);
    }

    HKEY settingsKey = OpenSettingsKey(makerKey);
    if (settingsKey == NULL)
        return 0;

    LoadWord(settingsKey, TEXT("CloseButton"), &Settings.CloseButton);
    LoadWord(settingsKey, TEXT("OkButton"), &Settings.OkButton);
    LoadWord(settingsKey, TEXT("Monitoring"), &Settings.Monitoring);
    LoadText(settingsKey, TEXT("DesktopName"), Settings.DesktopName);
    LoadText(settingsKey, TEXT("DesktopClass"), Settings.DesktopClass);
    CheckDesktopIdentity();
    LoadText(settingsKey, TEXT("TaskbarName"), Settings.TaskbarName);
    LoadText(settingsKey, TEXT("TaskbarClass"), Settings.TaskbarClass);

    DWORD wasOnTop = Settings.TaskBarOnTop;
    LoadWord(settingsKey, TEXT("TaskBarOnTop"), &Settings.TaskBarOnTop);
    if (Settings.TaskBarOnTop != wasOnTop)
        PlaceTaskbar(Settings.TaskBarOnTop);

    RegCloseKey(settingsKey);
    RegCloseKey(makerKey);
    return 1;
}

int SaveSettings(void)
{
    HKEY makerKey = OpenKey(HKEY_CURRENT_USER, MAKER_KEY);
    if (makerKey == NULL)
        return 0;
    HKEY settingsKey = OpenSettingsKey(makerKey);
    if (settingsKey == NULL)
        return 0;

    StoreWord(settingsKey, TEXT("Monitoring"), &Settings.Monitoring);
    StoreWord(settingsKey, TEXT("CloseButton"), &Settings.CloseButton);
    StoreWord(settingsKey, TEXT("OkButton"), &Settings.OkButton);
    StoreWord(settingsKey, TEXT("TaskBarOnTop"), &Settings.TaskBarOnTop);

    RegFlushKey(settingsKey);
    RegCloseKey(settingsKey);
    RegCloseKey(makerKey);
    return 1;
}
