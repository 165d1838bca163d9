/*
 * Velto's platform layer on Windows, checked under Wine: a program of the
 * tests built with platform/platform.h as Velto is, printing what the calls
 * that the layer maps answer.
 *
 *   platform_check.exe module PID    the file name of process PID, the way
 *                                    the task menu asks for it
 *   platform_check.exe own           this program's own file name
 *   platform_check.exe desktop       class and title of GetDesktopWindow's
 *                                    window and its rectangle
 *   platform_check.exe classicon     whether a window of a class with an icon
 *                                    and one of a class without show one,
 *                                    read the way the task menu reads it
 *                                    (Wine answers only for windows of the
 *                                    asking process)
 *   platform_check.exe moveroot      whether SetWindowPos moves the root
 *                                    window, and the root's rectangle after
 *   platform_check.exe iconsize      width and height of this program's icons
 *                                    1 (made at 16 x 16 only) and 2 (16 x 16
 *                                    and 32 x 32) as LoadIconW loads them
 */
#include "platform/platform.h"

#include <stdio.h>
#include <stdlib.h>

int wmain(int argc, wchar_t** argv)
{
    WCHAR buffer[1024];
    if (argc == 3 && wcscmp(argv[1], L"module") == 0) {
        HANDLE process = OpenProcess(PLATFORM_PROCESS_ACCESS, FALSE, (DWORD)wcstoul(argv[2], NULL, 0));
        if (process == NULL) {
            printf("no process\n");
            return 1;
        }
        DWORD chars = GetModuleFileNameW((HMODULE)process, buffer, 1024);
        CloseHandle(process);
        printf("%lu %ls\n", chars, chars ? buffer : L"");
        return chars ? 0 : 1;
    }
    if (argc == 2 && wcscmp(argv[1], L"own") == 0) {
        DWORD chars = GetModuleFileNameW(NULL, buffer, 1024);
        printf("%lu %ls\n", chars, chars ? buffer : L"");
        return chars ? 0 : 1;
    }
    if (argc == 2 && wcscmp(argv[1], L"desktop") == 0) {
        HWND desktop = GetDesktopWindow();
        WCHAR title[256];
        buffer[0] = 0;
        title[0] = 0;
        GetClassNameW(desktop, buffer, 1024);
        GetWindowTextW(desktop, title, 256);
        RECT rect = { 0, 0, 0, 0 };
        GetWindowRect(desktop, &rect);
        printf("\"%ls\" \"%ls\" %ld %ld %ld %ld\n", buffer, title, rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    if (argc == 2 && wcscmp(argv[1], L"classicon") == 0) {
        WNDCLASSW windowClass;
        ZeroMemory(&windowClass, sizeof(windowClass));
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(NULL);
        windowClass.hIcon = LoadIconW(NULL, (LPCWSTR)IDI_APPLICATION);
        windowClass.lpszClassName = L"WithIcon";
        RegisterClassW(&windowClass);
        windowClass.hIcon = NULL;
        windowClass.lpszClassName = L"WithoutIcon";
        RegisterClassW(&windowClass);
        HWND with = CreateWindowExW(0, L"WithIcon", L"", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        HWND without = CreateWindowExW(0, L"WithoutIcon", L"", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        HICON expected = LoadIconW(NULL, (LPCWSTR)IDI_APPLICATION);
        HICON icon = (HICON)GetClassLongW(with, GCL_HICON);
        printf("%s %s\n", icon == NULL ? "none" : icon == expected ? "icon" : "another icon",
               GetClassLongW(without, GCL_HICON) == 0 ? "none" : "icon");
        return 0;
    }
    if (argc == 2 && wcscmp(argv[1], L"moveroot") == 0) {
        /* The root window: the parent of every top-level window. */
        HWND root = GetAncestor(GetTopWindow(NULL), GA_PARENT);
        BOOL moved = SetWindowPos(root, HWND_BOTTOM, 0, 26, 240, 294, SWP_NOZORDER | SWP_NOACTIVATE);
        RECT rect = { 0, 0, 0, 0 };
        GetWindowRect(root, &rect);
        printf("%d %ld %ld %ld %ld\n", moved ? 1 : 0, rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    if (argc == 2 && wcscmp(argv[1], L"iconsize") == 0) {
        for (int id = 1; id <= 2; ++id) {
            HICON icon = LoadIconW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(id));
            ICONINFO info;
            BITMAP bitmap;
            if (icon == NULL || !GetIconInfo(icon, &info) ||
                !GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap)) {
                printf("no icon %d\n", id);
                return 1;
            }
            printf("%s%ld %ld", id > 1 ? " " : "", bitmap.bmWidth, bitmap.bmHeight);
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
        printf("\n");
        return 0;
    }
    fprintf(stderr, "usage: platform_check.exe module PID | own | desktop | classicon | moveroot | iconsize\n");
    return 2;
}
