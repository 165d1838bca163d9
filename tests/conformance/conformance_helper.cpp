// The other program of a conformance case under Wine: it makes the windows
// that the case asks for and tells what they received. One request a line
// on its standard input, one answer a line on its standard output:
//   hello                                 -> ok
//   window CLASS TITLE STYLE EXSTYLE LEFT TOP RIGHT BOTTOM PARENT ICON
//                                         -> the window's handle
//   destroy HWND                          -> ok
//   workarea                              -> LEFT TOP RIGHT BOTTOM, as this program reads it
//   received HWND MESSAGE                 -> COUNT, then WPARAM LPARAM SENT for each
//   quit                                  -> (ends)
// Class and title are UTF-16 code units in hex, 4 digits each ("-": empty);
// handles and styles are hex; an error answers "!" and why.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define WM_REQUEST (WM_APP + 1)

struct Record {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    BOOL sent;
};

static Record g_records[20000];
static int g_record_count;
static char g_answer[65536];

static LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_record_count < (int)(sizeof g_records / sizeof g_records[0]))
        g_records[g_record_count++] = Record{window, message, wParam, lParam, InSendMessage()};
    return DefWindowProcW(window, message, wParam, lParam);
}

static void Unhex(const char* text, WCHAR* out, int capacity)
{
    int n = 0;
    if (strcmp(text, "-") != 0) {
        for (const char* p = text; p[0] && p[1] && p[2] && p[3] && n < capacity - 1; p += 4) {
            char digits[5] = {p[0], p[1], p[2], p[3], 0};
            out[n++] = (WCHAR)strtoul(digits, NULL, 16);
        }
    }
    out[n] = 0;
}

// An icon of one size, for a window class.
static HICON MakeIcon(int size)
{
    int bytes = (size + 15) / 16 * 2 * size;
    BYTE* and_bits = (BYTE*)calloc(bytes, 1);
    BYTE* xor_bits = (BYTE*)calloc(bytes, 1);
    HICON icon = CreateIcon(GetModuleHandleW(NULL), size, size, 1, 1, and_bits, xor_bits);
    free(and_bits);
    free(xor_bits);
    return icon;
}

static void Handle(char* request)
{
    char word[16], cls_hex[1024], title_hex[1024], parent[32];
    unsigned long style, exstyle, message;
    long left, top, right, bottom;
    int icon;
    unsigned long long window;
    strcpy(g_answer, "ok");
    if (sscanf(request, "%15s", word) != 1) {
        strcpy(g_answer, "! empty request");
    } else if (strcmp(word, "hello") == 0) {
    } else if (strcmp(word, "window") == 0 &&
               sscanf(request, "window %1023s %1023s %lx %lx %ld %ld %ld %ld %31s %d", cls_hex, title_hex, &style,
                      &exstyle, &left, &top, &right, &bottom, parent, &icon) == 10) {
        WCHAR cls[256], title[256];
        Unhex(cls_hex, cls, 256);
        Unhex(title_hex, title, 256);
        WNDCLASSW wc;
        if (!GetClassInfoW(GetModuleHandleW(NULL), cls, &wc)) {
            ZeroMemory(&wc, sizeof wc);
            wc.lpfnWndProc = RecordingProc;
            wc.hInstance = GetModuleHandleW(NULL);
            wc.hIcon = icon != 0 ? MakeIcon(icon) : NULL;
            wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
            wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
            wc.lpszClassName = cls;
            RegisterClassW(&wc);
        }
        // Shown without taking the foreground, as the user has not brought it there.
        HWND made = CreateWindowExW(exstyle, cls, title, style & ~WS_VISIBLE, left, top, right - left, bottom - top,
                                    (HWND)(ULONG_PTR)strtoull(parent, NULL, 16), NULL, GetModuleHandleW(NULL), NULL);
        if (made != NULL && (style & WS_VISIBLE))
            ShowWindow(made, SW_SHOWNOACTIVATE);
        if (made == NULL)
            sprintf(g_answer, "! CreateWindowExW failed: %lu", GetLastError());
        else
            sprintf(g_answer, "%llx", (unsigned long long)(ULONG_PTR)made);
    } else if (strcmp(word, "destroy") == 0 && sscanf(request, "destroy %llx", &window) == 1) {
        if (!DestroyWindow((HWND)(ULONG_PTR)window))
            strcpy(g_answer, "! DestroyWindow failed");
    } else if (strcmp(word, "workarea") == 0) {
        RECT area = {0, 0, 0, 0};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        sprintf(g_answer, "%ld %ld %ld %ld", area.left, area.top, area.right, area.bottom);
    } else if (strcmp(word, "received") == 0 && sscanf(request, "received %llx %lu", &window, &message) == 2) {
        int count = 0;
        for (int i = 0; i < g_record_count; ++i)
            count += g_records[i].window == (HWND)(ULONG_PTR)window && g_records[i].message == message;
        int at = sprintf(g_answer, "%d", count);
        for (int i = 0; i < g_record_count && at < (int)sizeof g_answer - 64; ++i) {
            const Record& r = g_records[i];
            if (r.window == (HWND)(ULONG_PTR)window && r.message == message)
                at += sprintf(g_answer + at, " %llx %llx %d", (unsigned long long)r.wParam,
                              (unsigned long long)r.lParam, r.sent ? 1 : 0);
        }
    } else {
        sprintf(g_answer, "! unknown request: %.200s", request);
    }
}

// Requests run on the main thread, which owns the windows.
static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_REQUEST) {
        Handle((char*)lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static HWND g_control;

static DWORD WINAPI ReadRequests(LPVOID param)
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
    static char line[4096];
    for (;;) {
        int n = 0;
        DWORD got = 0;
        char c;
        while (ReadFile(in, &c, 1, &got, NULL) && got == 1 && c != '\n') {
            if (n < (int)sizeof line - 1 && c != '\r')
                line[n++] = c;
        }
        line[n] = 0;
        if (got == 0 || strcmp(line, "quit") == 0)
            break;
        SendMessageW(g_control, WM_REQUEST, 0, (LPARAM)line);
        size_t length = strlen(g_answer);
        g_answer[length] = '\n';
        WriteFile(out, g_answer, (DWORD)length + 1, &got, NULL);
    }
    PostMessageW(g_control, WM_QUIT, 0, 0);
    return 0;
}

int wmain(void)
{
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof wc);
    wc.lpfnWndProc = ControlProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"ConformanceHelperControl";
    RegisterClassW(&wc);
    g_control = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    HANDLE reader = CreateThread(NULL, 0, ReadRequests, NULL, 0, NULL);
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    WaitForSingleObject(reader, 5000);
    return 0;
}
