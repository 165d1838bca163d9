// The conformance fixture under Wine: the body runs on a fresh thread of the
// test process, other programs are copies of conformance.exe started beside
// it, time is real (with generous bounds), taps are real input.
#include "fixture.h"

// The real call, which the cases reach through NotifyIcon.
#undef Shell_NotifyIconW

#include <algorithm>
#include <memory>
#include <utility>

namespace conformance {

namespace {

// The program that stands in for the shell's desktop window.
std::unique_ptr<OtherProgram> g_shell;

DWORD WINAPI RunBody(LPVOID param)
{
    RunBodyThenLater(*(const std::function<void()>*)param);
    return 0;
}

// The open popup menu's window: the first visible one of the menus' class.
HWND OpenMenuWindow()
{
    HWND menu = FindWindowExW(NULL, NULL, L"#32768", NULL);
    while (menu != NULL && !IsWindowVisible(menu))
        menu = FindWindowExW(NULL, menu, L"#32768", NULL);
    return menu;
}

// Under Wine the X server's own pointer stays where it is while a menu holds
// the pointer (SetCursorPos does not move it then), and whenever a window
// comes or goes under it, Wine moves its cursor back there, late on a loaded
// machine. The X pointer therefore waits in a corner of Wine's taskbar,
// where no case opens a menu, so that such a late move never lands on a
// menu item between a tap's down and up.
const POINT PARKED = {0, 339};

}  // namespace

bool OnCe() { return false; }

void RunAsProgram(const std::function<void()>& body)
{
    SetCursorPos(PARKED.x, PARKED.y);  // no menu is open yet to hold the pointer
    HANDLE thread = CreateThread(NULL, 0, RunBody, (LPVOID)&body, 0, NULL);
    if (thread == NULL) {
        ADD_FAILURE() << "CreateThread failed: " << GetLastError();
        return;
    }
    if (WaitForSingleObject(thread, 120000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the program did not end within 120 s";
        TerminateThread(thread, 1);
    }
    CloseHandle(thread);
    g_shell.reset();
    // The program's windows went with its thread; its classes go now.
    for (const std::basic_string<WCHAR>& name : ClassesMade())
        UnregisterClassW(name.c_str(), GetModuleHandleW(NULL));
    ClassesMade().clear();
}

// The stylus goes down and up at the point itself (each event carries it),
// not wherever the cursor was moved meanwhile (see PARKED).
void Tap(POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        // The middle of the pixel, in the 0..65535 of an absolute move.
        input.mi.dx = (screen.x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
        input.mi.dy = (screen.y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void PocketPcShell()
{
    g_shell = std::make_unique<OtherProgram>();
    g_shell->AddWindow({L"DesktopExplorerWindow", L"Desktop"});
}

// The tray icons that the program has now, in the order they were added.
static std::vector<std::pair<HWND, UINT>> g_tray_icons;

BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* record)
{
    BOOL done = Shell_NotifyIconW(message, record);
    const std::pair<HWND, UINT> icon(record->hWnd, record->uID);
    if (done && message == NIM_ADD)
        g_tray_icons.push_back(icon);
    else if (done && message == NIM_DELETE)
        g_tray_icons.erase(std::remove(g_tray_icons.begin(), g_tray_icons.end(), icon), g_tray_icons.end());
    return done;
}

// Wine's taskbar draws the tray icons right to left in the order they were
// added, each a small icon with a 2-pixel border on either side.
void TapTrayIcon(HWND owner, UINT id)
{
    auto icon = std::find(g_tray_icons.begin(), g_tray_icons.end(), std::make_pair(owner, id));
    HWND tray = FindWindowW(L"Shell_TrayWnd", NULL);
    RECT r;
    if (icon == g_tray_icons.end()) {
        ADD_FAILURE() << "TapTrayIcon: the program has no such tray icon";
        return;
    }
    if (tray == NULL || !GetWindowRect(tray, &r)) {
        ADD_FAILURE() << "TapTrayIcon: Wine's taskbar (Shell_TrayWnd) is not there";
        return;
    }
    int width = GetSystemMetrics(SM_CXSMICON) + 4;
    POINT at = {r.right - width * (int)(icon - g_tray_icons.begin()) - width / 2, (r.top + r.bottom) / 2};
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &move, sizeof move);
    Sleep(100);
    Tap(at);
}

void ClockBeforeItsWrap(DWORD) {}

DWORD SetEventAndWait(HANDLE ready, HANDLE wait) { return SignalObjectAndWait(ready, wait, INFINITE, FALSE); }

void AwaitWaiting(HANDLE ready) { WaitForSingleObject(ready, INFINITE); }

void DropRegistryKey(HKEY root, const WCHAR* path) { RegDeleteTreeW(root, path); }

POINT OpenMenuClientOrigin()
{
    POINT origin = {0, 0};
    HWND menu = OpenMenuWindow();
    if (menu == NULL)
        ADD_FAILURE() << "OpenMenuClientOrigin: no menu is open";
    else
        ClientToScreen(menu, &origin);
    return origin;
}

bool MenuItemChecked(HMENU menu, int index)
{
    UINT state = GetMenuState(menu, index, MF_BYPOSITION);
    return state != (UINT)-1 && (state & MF_CHECKED) != 0;
}

POINT BlitSource(HWND window, HBITMAP bitmap, RECT dest)
{
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const SIZE size = BitmapSize(bitmap);
    const int w = dest.right - dest.left, h = dest.bottom - dest.top;
    std::vector<COLORREF> shown;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            shown.push_back(GetPixel(dc, dest.left + x, dest.top + y));
    }
    POINT found = {-1, -1};
    for (int oy = 0; found.x < 0 && oy + h <= size.cy; ++oy) {
        for (int ox = 0; found.x < 0 && ox + w <= size.cx; ++ox) {
            bool same = true;
            for (int i = 0; same && i < w * h; ++i)
                same = GetPixel(memory, ox + i % w, oy + i / w) == shown[i];
            if (same)
                found = POINT{ox, oy};
        }
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(window, dc);
    return found;
}

bool MenuOpen() { return OpenMenuWindow() != NULL; }

SIZE IconSize(HICON icon)
{
    ICONINFO info;
    if (!GetIconInfo(icon, &info))
        return SIZE{0, 0};
    SIZE size = BitmapSize(info.hbmColor);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

RECT PaintedRect(HWND window)
{
    RECT client, r = {0, 0, 0, 0};
    HDC dc = GetDC(window);
    GetClientRect(window, &client);
    COLORREF background = GetPixel(dc, client.right - 1, client.bottom - 1);
    for (int y = 0; y < 64 && y < client.bottom; ++y) {
        for (int x = 0; x < 64 && x < client.right; ++x) {
            RECT pixel = {x, y, x + 1, y + 1};
            if (GetPixel(dc, x, y) != background)
                UnionRect(&r, &r, &pixel);
        }
    }
    ReleaseDC(window, dc);
    return r;
}

bool FilledWith(HWND window, HBRUSH brush)
{
    LOGBRUSH logical = {};
    RECT c = {0, 0, 0, 0};
    GetObjectW(brush, sizeof logical, &logical);
    GetClientRect(window, &c);
    HDC dc = GetDC(window);
    const bool filled = GetPixel(dc, 0, 0) == logical.lbColor &&
                        GetPixel(dc, c.right - 1, c.bottom - 1) == logical.lbColor;
    ReleaseDC(window, dc);
    return filled;
}

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP b;
    SIZE size = {0, 0};
    if (GetObjectW(bitmap, sizeof b, &b))
        size = SIZE{b.bmWidth, b.bmHeight};
    return size;
}

void DismissMenu()
{
    HWND menu = OpenMenuWindow();
    if (menu == NULL)
        ADD_FAILURE() << "DismissMenu: no menu is open";
    else
        PostMessageW(menu, WM_CANCELMODE, 0, 0);
}

RECT OpenMenuRect()
{
    HWND menu = OpenMenuWindow();
    RECT r = {0, 0, 0, 0};
    if (menu == NULL)
        ADD_FAILURE() << "OpenMenuRect: no menu is open";
    else
        GetWindowRect(menu, &r);
    return r;
}

// An item's rectangle once the menu's own window is on the screen with it
// (Wine knows a submenu's items before it has placed the submenu).
RECT MenuItemRect(HMENU menu, int index)
{
    HWND shown = FindWindowExW(NULL, NULL, L"#32768", NULL);
    while (shown != NULL && !(IsWindowVisible(shown) && (HMENU)SendMessageW(shown, MN_GETHMENU, 0, 0) == menu))
        shown = FindWindowExW(NULL, shown, L"#32768", NULL);
    RECT r = {0, 0, 0, 0}, window = {0, 0, 0, 0}, both;
    if (shown == NULL || !GetMenuItemRect(NULL, menu, index, &r) || !GetWindowRect(shown, &window) ||
        !IntersectRect(&both, &r, &window) || !EqualRect(&both, &r))
        SetRectEmpty(&r);
    return r;
}


// ---- other programs: conformance.exe itself, started with --other-program.
// It makes the windows that a case asks for and tells what they received:
// one Request down one pipe, one Answer up the other.

namespace {

enum Verb { HELLO, WINDOW, DESTROY, WORKAREA, RECEIVED };

struct Request {
    Verb verb = HELLO;
    HWND window = NULL;  // the window to destroy or ask about; a new window's parent
    UINT message = 0;
    WCHAR class_name[64] = {}, title[64] = {};  // a new window's
    DWORD style = 0, exstyle = 0;
    RECT rect = {};
    int icon_size = 0;
};

struct Answer {
    bool ok = false;
    HWND window = NULL;
    RECT area = {};
    int count = 0;
    Received received[256] = {};
};

// Reads or writes all of a request or an answer.
bool Transfer(HANDLE pipe, void* data, DWORD size, bool write)
{
    for (DWORD done = 0, n = 0; done < size; done += n) {
        char* at = (char*)data + done;
        if (!(write ? WriteFile(pipe, at, size - done, &n, NULL) : ReadFile(pipe, at, size - done, &n, NULL)) || n == 0)
            return false;
    }
    return true;
}

// What the other program's windows received, oldest first.
std::vector<std::pair<HWND, Received>> g_received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_received.push_back({window, Received{message, wParam, lParam, InSendMessage() != FALSE}});
    return DefWindowProcW(window, message, wParam, lParam);
}

// An icon of one size, for a window class.
HICON MakeIcon(int size)
{
    std::vector<BYTE> and_bits((size + 15) / 16 * 2 * size), xor_bits(and_bits.size());
    return CreateIcon(GetModuleHandleW(NULL), size, size, 1, 1, and_bits.data(), xor_bits.data());
}

void Serve(const Request& q, Answer& a)
{
    a.ok = true;
    if (q.verb == WINDOW) {
        WNDCLASSW wc;
        if (!GetClassInfoW(GetModuleHandleW(NULL), q.class_name, &wc)) {
            ZeroMemory(&wc, sizeof wc);
            wc.lpfnWndProc = RecordingProc;
            wc.hInstance = GetModuleHandleW(NULL);
            wc.hIcon = q.icon_size != 0 ? MakeIcon(q.icon_size) : NULL;
            wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
            wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
            wc.lpszClassName = q.class_name;
            RegisterClassW(&wc);
        }
        // Shown without taking the foreground, as the user has not brought it there.
        a.window = CreateWindowExW(q.exstyle, q.class_name, q.title, q.style & ~WS_VISIBLE, q.rect.left, q.rect.top,
                                   q.rect.right - q.rect.left, q.rect.bottom - q.rect.top, q.window, NULL,
                                   GetModuleHandleW(NULL), NULL);
        if (a.window != NULL && (q.style & WS_VISIBLE))
            ShowWindow(a.window, SW_SHOWNOACTIVATE);
        a.ok = a.window != NULL;
    } else if (q.verb == DESTROY) {
        a.ok = DestroyWindow(q.window) != FALSE;
    } else if (q.verb == WORKAREA) {
        a.ok = SystemParametersInfoW(SPI_GETWORKAREA, 0, &a.area, 0) != FALSE;
    } else if (q.verb == RECEIVED) {
        for (const std::pair<HWND, Received>& r : g_received) {
            if (r.first == q.window && r.second.message == q.message && a.count < 256)
                a.received[a.count++] = r.second;
        }
    }
}

// The other program's life: its windows are served while it waits for the
// next request, until the case closes its end of the pipe.
int OtherProgramMain(HANDLE from, HANDLE to)
{
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DWORD waiting = 0;
        if (!PeekNamedPipe(from, NULL, 0, NULL, &waiting, NULL))
            return 0;
        if (waiting < sizeof(Request)) {
            MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        Request q;
        Answer a;
        if (!Transfer(from, &q, sizeof q, false))
            return 0;
        Serve(q, a);
        Transfer(to, &a, sizeof a, true);
    }
}

}  // namespace

struct OtherProgram::Impl {
    HANDLE process = NULL;
    HANDLE to = NULL;    // its requests
    HANDLE from = NULL;  // its answers
    CRITICAL_SECTION lock;

    Answer Ask(const Request& q, const char* what)
    {
        Answer a;
        EnterCriticalSection(&lock);
        bool spoke = Transfer(to, (void*)&q, sizeof q, true) && Transfer(from, &a, sizeof a, false);
        LeaveCriticalSection(&lock);
        if (!spoke || !a.ok)
            ADD_FAILURE() << "the other program could not " << what;
        return a;
    }
};

OtherProgram::OtherProgram() : impl_(new Impl)
{
    InitializeCriticalSection(&impl_->lock);
    // A copy of conformance.exe in the prefix's temporary folder, so that its
    // file is not the program's own.
    WCHAR own[MAX_PATH], path[MAX_PATH], command[] = L"other.exe --other-program";
    GetModuleFileNameW(NULL, own, MAX_PATH);
    GetTempPathW(MAX_PATH - 10, path);
    lstrcatW(path, L"other.exe");
    CopyFileW(own, path, TRUE);  // the first program of the suite copies it
    file_ = path;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE childIn = NULL, childOut = NULL;
    CreatePipe(&childIn, &impl_->to, &inherit, 0);
    CreatePipe(&impl_->from, &childOut, &inherit, 0);
    SetHandleInformation(impl_->to, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(impl_->from, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = childIn;
    start.hStdOutput = childOut;
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info;
    if (!CreateProcessW(path, command, NULL, NULL, TRUE, 0, NULL, NULL, &start, &info)) {
        ADD_FAILURE() << "cannot start " << Utf8(path) << ": " << GetLastError();
    } else {
        impl_->process = info.hProcess;
        CloseHandle(info.hThread);
        id_ = info.dwProcessId;
        impl_->Ask(Request{HELLO}, "start");
    }
    CloseHandle(childIn);
    CloseHandle(childOut);
}

OtherProgram::~OtherProgram()
{
    CloseHandle(impl_->to);  // the other program ends
    if (impl_->process != NULL) {
        if (WaitForSingleObject(impl_->process, 20000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the other program did not end within 20 s";
            TerminateProcess(impl_->process, 1);
        }
        CloseHandle(impl_->process);
    }
    CloseHandle(impl_->from);
    DeleteCriticalSection(&impl_->lock);
    delete impl_;
}

HWND OtherProgram::AddWindow(const TheirWindow& window)
{
    Request q{WINDOW};
    lstrcpynW(q.class_name, window.class_name, 64);
    lstrcpynW(q.title, window.title, 64);
    q.style = window.style;
    q.exstyle = window.exstyle;
    q.rect = window.rect;
    q.window = window.parent;
    q.icon_size = window.icon_size;
    return impl_->Ask(q, "make a window").window;
}

void OtherProgram::Destroy(HWND window) { impl_->Ask(Request{DESTROY, window}, "destroy a window"); }

RECT OtherProgram::WorkArea() { return impl_->Ask(Request{WORKAREA}, "read the work area").area; }

std::vector<Received> OtherProgram::ReceivedBy(HWND window, UINT message)
{
    Answer a = impl_->Ask(Request{RECEIVED, window, message}, "tell what a window received");
    return std::vector<Received>(a.received, a.received + a.count);
}

void Prepare()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (wcsstr(GetCommandLineW(), L" --other-program") != NULL)
        ExitProcess(OtherProgramMain(GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE)));
}

}  // namespace conformance
