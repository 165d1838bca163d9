/*
 * Sample programs for the Pocket PC screen under Wine. Not part of Velto:
 * they give its proxy and its task menu something to act on, and tell on
 * standard output what reached them, one line a message:
 *
 *   samples.exe dialog TITLE          a dialog with the OK button in its
 *                                     caption (WS_EX_CAPTIONOKBTN); OK ends it
 *   samples.exe windows TITLE...      one window with a close button
 *                                     (WS_SYSMENU) per title, in one process
 *   samples.exe paints TITLE...       the same, and each says when it is
 *                                     painted ("TITLE: WM_PAINT")
 *   samples.exe large TITLE...        the same windows, each made 416 x 471,
 *                                     as some desktop programs open: Wine
 *                                     makes them as large as its desktop and
 *                                     their frame, over Wine's taskbar
 *   samples.exe owned TITLE...        the same windows, owned by a hidden one,
 *                                     so that Wine's taskbar shows no button
 *                                     for them (for many windows at once)
 *   samples.exe faces VELTO_EXE       a sheet of every icon and button face
 *                                     read out of velto.exe's own resources
 *   samples.exe menu N                a window that shows a plain popup menu
 *                                     of N string items on a tap, where
 *                                     Velto's task menu shows (to compare)
 *
 * Every line reads "TITLE: WM_COMMAND 0x10000001 0x0" or "TITLE: WM_CLOSE".
 * The process ends when its last window is gone.
 */
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#ifndef WS_EX_CAPTIONOKBTN
#define WS_EX_CAPTIONOKBTN 0x80000000L
#endif

#include "res/resource.h"

#define SCREEN_WIDTH 240
#define DESKTOP_HEIGHT 294
#define LARGE_WIDTH 416
#define LARGE_HEIGHT 471
#define MAX_WINDOWS 600

static LONG OpenWindows;
static HMODULE VeltoImage; /* velto.exe, loaded as data for the faces sheet */
static int PlainMenuItems; /* the menu sample: items of its popup menu */
static BOOL ReportPaints;

static void ShowPlainMenu(HWND window)
{
    HMENU menu = CreatePopupMenu();
    for (int i = 1; i <= PlainMenuItems; ++i) {
        WCHAR text[32];
        swprintf(text, 32, L"Window %d", i);
        AppendMenuW(menu, MF_STRING, i, text);
    }
    SetForegroundWindow(window);
    TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN, SCREEN_WIDTH, DESKTOP_HEIGHT, window,
                     NULL);
    DestroyMenu(menu);
}

/* The sheet of faces: each image drawn by the platform from velto.exe. */
static void PaintFaces(HWND window)
{
    static const struct {
        int id;
        const WCHAR* label;
    } icons[] = { { IDI_TRAY, L"tray" },          { IDI_TRAY_ACTIVE, L"menu open" }, { IDI_OK, L"OK tray" },
                  { IDI_CLOSE, L"close tray" },   { IDI_CLOSE_GLYPH, L"close glyph" }, { IDI_APP, L"program" },
                  { IDI_ARROWS_LARGE, L"arrows" } };
    static const struct {
        int id;
        const WCHAR* label;
    } bitmaps[] = { { IDB_BUTTON_OK, L"button: OK" },
                    { IDB_BUTTON_CLOSE, L"button: close" },
                    { IDB_BUTTON_IDLE, L"button: idle" } };
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, (HBRUSH)GetStockObject(WHITE_BRUSH));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    for (int i = 0; i < 7; ++i) {
        int x = 6 + (i % 4) * 58;
        int y = 6 + (i / 4) * 62;
        HICON icon = (HICON)LoadImageW(VeltoImage, MAKEINTRESOURCEW(icons[i].id), IMAGE_ICON, 32, 32, 0);
        HICON small = (HICON)LoadImageW(VeltoImage, MAKEINTRESOURCEW(icons[i].id), IMAGE_ICON, 16, 16, 0);
        if (icon != NULL)
            DrawIconEx(dc, x, y, icon, 32, 32, 0, NULL, DI_NORMAL);
        if (small != NULL)
            DrawIconEx(dc, x + 36, y + 16, small, 16, 16, 0, NULL, DI_NORMAL);
        RECT label = { x - 4, y + 34, x + 56, y + 60 };
        DrawTextW(dc, icons[i].label, -1, &label, DT_CENTER | DT_WORDBREAK);
        if (icon != NULL)
            DestroyIcon(icon);
        if (small != NULL)
            DestroyIcon(small);
    }
    HDC faceDc = CreateCompatibleDC(dc);
    for (int i = 0; i < 3; ++i) {
        int y = 140 + i * 46;
        HBITMAP bitmap = LoadBitmapW(VeltoImage, MAKEINTRESOURCEW(bitmaps[i].id));
        if (bitmap != NULL) {
            HGDIOBJ previous = SelectObject(faceDc, bitmap);
            /* At rest and pressed, each twice as large as on the screen. */
            StretchBlt(dc, 8, y, 40, 40, faceDc, 0, 0, 20, 20, SRCCOPY);
            StretchBlt(dc, 56, y, 40, 40, faceDc, 20, 0, 20, 20, SRCCOPY);
            SelectObject(faceDc, previous);
            DeleteObject(bitmap);
        }
        RECT label = { 104, y, client.right - 4, y + 40 };
        WCHAR text[64];
        swprintf(text, 64, L"%ls\n(at rest, pressed)", bitmaps[i].label);
        DrawTextW(dc, text, -1, &label, DT_LEFT | DT_WORDBREAK);
    }
    DeleteDC(faceDc);
    SelectObject(dc, previousFont);
    EndPaint(window, &paint);
}

static void Report(HWND window, const char* what)
{
    WCHAR title[256];
    title[0] = 0;
    GetWindowTextW(window, title, 256);
    printf("%ls: %s\n", title, what);
    fflush(stdout);
}

static void PaintSample(HWND window, BOOL dialog)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, (HBRUSH)GetStockObject(WHITE_BRUSH));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    WCHAR title[256];
    title[0] = 0;
    GetWindowTextW(window, title, 256);
    RECT text = { 10, 10, client.right - 10, client.bottom - 10 };
    WCHAR body[512];
    if (dialog)
        swprintf(body, 512, L"%ls\n\nThis dialog has the OK button in its caption. Desktop Windows does not draw "
                            L"that button: tap Velto's button in the taskbar, or its OK tray icon.", title);
    else
        swprintf(body, 512, L"%ls\n\nA window with a close button.", title);
    DrawTextW(dc, body, -1, &text, DT_LEFT | DT_WORDBREAK);
    SelectObject(dc, previous);
    EndPaint(window, &paint);
}

static LRESULT CALLBACK SampleWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BOOL dialog = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN) != 0;
    switch (message) {
    case WM_PAINT:
        if (ReportPaints)
            Report(window, "WM_PAINT");
        if (VeltoImage != NULL)
            PaintFaces(window);
        else
            PaintSample(window, dialog);
        return 0;
    case WM_LBUTTONDOWN:
        if (PlainMenuItems > 0)
            ShowPlainMenu(window);
        return 0;
    case WM_COMMAND: {
        char line[64];
        snprintf(line, sizeof(line), "WM_COMMAND 0x%llx 0x%llx", (unsigned long long)wParam,
                 (unsigned long long)lParam);
        Report(window, line);
        if (LOWORD(wParam) == IDOK && dialog)
            DestroyWindow(window);
        return 0;
    }
    case WM_CLOSE:
        Report(window, "WM_CLOSE");
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        if (--OpenWindows == 0)
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3 || (wcscmp(argv[1], L"dialog") != 0 && wcscmp(argv[1], L"windows") != 0 &&
                     wcscmp(argv[1], L"faces") != 0 && wcscmp(argv[1], L"menu") != 0 &&
                     wcscmp(argv[1], L"paints") != 0 && wcscmp(argv[1], L"owned") != 0 &&
                     wcscmp(argv[1], L"large") != 0)) {
        fprintf(stderr, "usage: samples.exe dialog TITLE | windows TITLE... | paints TITLE... | large TITLE... | "
                        "owned TITLE... | faces VELTO_EXE | menu N\n");
        return 2;
    }
    ReportPaints = wcscmp(argv[1], L"paints") == 0;
    if (wcscmp(argv[1], L"faces") == 0) {
        VeltoImage = LoadLibraryExW(argv[2], NULL, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (VeltoImage == NULL) {
            fprintf(stderr, "samples.exe: cannot read the resources of %ls (error %lu)\n", argv[2], GetLastError());
            return 1;
        }
        argv[2] = (wchar_t*)L"Velto's faces";
    }
    if (wcscmp(argv[1], L"menu") == 0) {
        PlainMenuItems = _wtoi(argv[2]);
        if (PlainMenuItems <= 0 || PlainMenuItems > MAX_WINDOWS) {
            fprintf(stderr, "samples.exe: menu takes 1 to %d items\n", MAX_WINDOWS);
            return 2;
        }
        argv[2] = (wchar_t*)L"Plain menu";
    }
    if (argc - 2 > MAX_WINDOWS) {
        fprintf(stderr, "samples.exe: at most %d windows\n", MAX_WINDOWS);
        return 2;
    }
    HINSTANCE instance = GetModuleHandleW(NULL);
    WNDCLASSW windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = SampleWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(NULL, (LPCWSTR)IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    windowClass.lpszClassName = L"VeltoSample";
    RegisterClassW(&windowClass);

    BOOL dialog = wcscmp(argv[1], L"dialog") == 0;
    BOOL large = wcscmp(argv[1], L"large") == 0;
    HWND owner = NULL;
    if (wcscmp(argv[1], L"owned") == 0)
        owner = CreateWindowExW(0, L"VeltoSample", L"", WS_POPUP, 0, 0, 0, 0, NULL, NULL, instance, NULL);
    for (int i = 2; i < argc; ++i) {
        DWORD exStyle = dialog ? WS_EX_CAPTIONOKBTN | WS_EX_DLGMODALFRAME : 0;
        DWORD style = dialog ? WS_POPUP | WS_CAPTION : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        HWND window = CreateWindowExW(exStyle, L"VeltoSample", argv[i], style, 0, 0,
                                      large ? LARGE_WIDTH : SCREEN_WIDTH, large ? LARGE_HEIGHT : DESKTOP_HEIGHT,
                                      owner, NULL, instance, NULL);
        if (window == NULL) {
            fprintf(stderr, "samples.exe: cannot create window %d (error %lu)\n", i - 1, GetLastError());
            return 1;
        }
        ++OpenWindows;
        ShowWindow(window, SW_SHOW);
    }
    printf("ready\n");
    fflush(stdout);

    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
