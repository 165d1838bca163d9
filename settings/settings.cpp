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

BOOL IsShellWindow(HWND window)
{
    WCHAR className[NAME_CHARS];
    className[0] = 0;
    GetClassNameW(window, className, NAME_CHARS);
    LockSettings();
    BOOL shell = SameText(className, Settings.DesktopClass) || SameText(className, Settings.TaskbarClass);
    UnlockSettings();
    return shell;
}

static HKEY OpenKey(HKEY parent, LPCWSTR path)
{
    HKEY key = NULL;
    if (RegCreateKeyExW(parent, path, 0, NULL, 0, PLATFORM_KEY_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return NULL;
    return key;
}

static void CopyBytes(void* to, const void* from, DWORD count)
{
    for (DWORD i = 0; i < count; ++i)
        ((BYTE*)to)[i] = ((const BYTE*)from)[i];
}

/* Reads a 32-bit value into field; a value that cannot be read is written
   back from the field. The stored type is not looked at. */
static void LoadWord(HKEY key, LPCWSTR name, DWORD* field)
{
    DWORD data = *field;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key, name, NULL, NULL, (LPBYTE)&data, &size) == ERROR_SUCCESS) {
        LockSettings();
        CopyBytes(field, &data, size);
        UnlockSettings();
        return;
    }
    RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)field, sizeof(DWORD));
}

static DWORD TextBytes(const WCHAR* text)
{
    DWORD length = 0;
    while (text[length] != 0)
        ++length;
    return (length + 1) * sizeof(WCHAR);
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
        CopyBytes(field, data, size);
        field[chars < STRING_CHARS ? chars : STRING_CHARS - 1] = 0;
        UnlockSettings();
        return;
    }
    RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)field, TextBytes(field));
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
    HKEY makerKey = OpenKey(HKEY_CURRENT_USER, TEXT("Software\\Zav"));
    if (makerKey == NULL)
        return 0;

    HKEY autoHideKey = OpenKey(HKEY_LOCAL_MACHINE, TEXT("Software\\Microsoft\\Shell\\AutoHide"));
    if (autoHideKey != NULL) {
        LoadWord(autoHideKey, TEXT(""), &Settings.AutoHide);
        RegCloseKey(autoHideKey);
    }

    HKEY settingsKey = OpenKey(makerKey, TEXT("Velto"));
    if (settingsKey == NULL) {
        RegCloseKey(makerKey);
        return 0;
    }

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
    HKEY makerKey = OpenKey(HKEY_CURRENT_USER, TEXT("Software\\Zav"));
    if (makerKey == NULL)
        return 0;
    HKEY settingsKey = OpenKey(makerKey, TEXT("Velto"));
    if (settingsKey == NULL) {
        RegCloseKey(makerKey);
        return 0;
    }

    RegSetValueExW(settingsKey, TEXT("Monitoring"), 0, REG_DWORD, (const BYTE*)&Settings.Monitoring, sizeof(DWORD));
    RegSetValueExW(settingsKey, TEXT("CloseButton"), 0, REG_DWORD, (const BYTE*)&Settings.CloseButton, sizeof(DWORD));
    RegSetValueExW(settingsKey, TEXT("OkButton"), 0, REG_DWORD, (const BYTE*)&Settings.OkButton, sizeof(DWORD));
    RegSetValueExW(settingsKey, TEXT("TaskBarOnTop"), 0, REG_DWORD, (const BYTE*)&Settings.TaskBarOnTop, sizeof(DWORD));

    RegFlushKey(settingsKey);
    RegCloseKey(settingsKey);
    RegCloseKey(makerKey);
    return 1;
}
