// The conformance fixture under Wine: the body runs on a fresh thread of the
// test process, other programs are conformance_helper.exe started beside it,
// time is real (with generous bounds), taps are real input.
#include "fixture.h"

#include <cstdio>

namespace conformance {

namespace {

// A Later action on a thread of its own.
struct Task {
    std::function<void()> act;
    std::function<bool()> ready;
    HANDLE previous;  // the action asked for before this one
};

HANDLE g_tasks[16];
int g_task_count = 0;

DWORD WINAPI RunBody(LPVOID param)
{
    Guarded(*(const std::function<void()>*)param);
    return 0;
}

DWORD WINAPI RunTask(LPVOID param)
{
    Task* task = (Task*)param;
    // One after the other, as they were asked for.
    if (task->previous != NULL)
        WaitForSingleObject(task->previous, INFINITE);
    if (task->ready && !WaitFor(task->ready, 10000 / 4))
        ADD_FAILURE() << "what Later waits for did not come within 10 s";
    else
        Guarded(task->act);
    delete task;
    return 0;
}

// Waits for a thread to end, handling what is sent to the caller meanwhile.
void Join(HANDLE thread, DWORD bound_ms, const char* what)
{
    if (WaitForSingleObject(thread, bound_ms) != WAIT_OBJECT_0) {
        ADD_FAILURE() << what << " did not end within " << bound_ms / 1000 << " s";
        TerminateThread(thread, 1);
    }
    CloseHandle(thread);
}

BOOL CALLBACK FindMenuWindow(HWND window, LPARAM param)
{
    WCHAR cls[16];
    if (IsWindowVisible(window) && GetClassNameW(window, cls, 16) > 0 && lstrcmpW(cls, L"#32768") == 0) {
        *(HWND*)param = window;
        return FALSE;
    }
    return TRUE;
}

HWND OpenMenuWindow()
{
    HWND found = NULL;
    EnumWindows(FindMenuWindow, (LPARAM)&found);
    return found;
}

}  // namespace

void Prepare()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

bool OnCe() { return false; }

DWORD WaitBound(DWORD bound_ms) { return bound_ms * 4; }

void RunAsProgram(const std::function<void()>& body)
{
    g_task_count = 0;
    HANDLE thread = CreateThread(NULL, 0, RunBody, (LPVOID)&body, 0, NULL);
    if (thread == NULL) {
        ADD_FAILURE() << "CreateThread failed: " << GetLastError();
        return;
    }
    Join(thread, 120000, "the program");
    for (int i = 0; i < g_task_count; ++i)
        Join(g_tasks[i], 20000, "an action of Later");
    g_task_count = 0;
    // The program's windows went with its thread; its classes go now.
    for (const std::basic_string<WCHAR>& name : ClassesMade())
        UnregisterClassW(name.c_str(), GetModuleHandleW(NULL));
    ClassesMade().clear();
}

void Later(const std::function<void()>& act, const std::function<bool()>& ready)
{
    if (g_task_count == (int)(sizeof g_tasks / sizeof g_tasks[0])) {
        ADD_FAILURE() << "too many actions of Later";
        return;
    }
    HANDLE thread = CreateThread(NULL, 0, RunTask, new Task{act, ready, g_task_count > 0 ? g_tasks[g_task_count - 1] : NULL},
                                 0, NULL);
    if (thread == NULL)
        ADD_FAILURE() << "CreateThread failed: " << GetLastError();
    else
        g_tasks[g_task_count++] = thread;
}

void Tap(POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    INPUT inputs[2];
    ZeroMemory(inputs, sizeof inputs);
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void PocketPcShell() {}

// Wine's taskbar draws the tray icons right to left in the order they were
// added, each a small icon with a 2-pixel border on either side.
void TapTrayIcon(HWND, UINT)
{
    HWND tray = FindWindowW(L"Shell_TrayWnd", NULL);
    RECT r;
    if (tray == NULL || !GetWindowRect(tray, &r)) {
        ADD_FAILURE() << "TapTrayIcon: Wine's taskbar (Shell_TrayWnd) is not there";
        return;
    }
    int width = GetSystemMetrics(SM_CXSMICON) + 4;
    INPUT move;
    ZeroMemory(&move, sizeof move);
    move.type = INPUT_MOUSE;
    move.mi.dx = (r.right - width / 2) * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = ((r.top + r.bottom) / 2) * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &move, sizeof move);
    Sleep(100);
    Tap(POINT{r.right - width / 2, (r.top + r.bottom) / 2});
}

bool MenuOpen() { return OpenMenuWindow() != NULL; }

SIZE IconSize(HICON icon)
{
    ICONINFO info;
    SIZE size = {0, 0};
    BITMAP colour;
    if (!GetIconInfo(icon, &info))
        return size;
    if (GetObjectW(info.hbmColor, sizeof colour, &colour))
        size = SIZE{colour.bmWidth, colour.bmHeight};
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
            if (GetPixel(dc, x, y) == background)
                continue;
            bool first = r.right == r.left;
            r.left = first || x < r.left ? x : r.left;
            r.top = first || y < r.top ? y : r.top;
            r.right = first || x + 1 > r.right ? x + 1 : r.right;
            r.bottom = first || y + 1 > r.bottom ? y + 1 : r.bottom;
        }
    }
    ReleaseDC(window, dc);
    return r;
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

RECT MenuItemRect(HMENU menu, int index)
{
    RECT r = {0, 0, 0, 0};
    if (!GetMenuItemRect(NULL, menu, index, &r) || !MenuOpen())
        SetRectEmpty(&r);
    return r;
}

std::vector<std::string> DifferenceKeys() { return {}; }

// ---- other programs: conformance_helper.exe, spoken to over its standard
// input and output, one line each way.

struct OtherProgram::Impl {
    HANDLE process = NULL;
    HANDLE to = NULL;    // its standard input
    HANDLE from = NULL;  // its standard output
    CRITICAL_SECTION lock;

    std::string Ask(const std::string& line)
    {
        EnterCriticalSection(&lock);
        std::string request = line + "\n", answer;
        DWORD n = 0;
        if (WriteFile(to, request.data(), (DWORD)request.size(), &n, NULL)) {
            char c;
            while (ReadFile(from, &c, 1, &n, NULL) && n == 1 && c != '\n')
                answer += c;
        }
        LeaveCriticalSection(&lock);
        if (answer.empty() || answer[0] == '!')
            ADD_FAILURE() << "the other program refused \"" << line << "\": " << answer;
        return answer;
    }
};

namespace {

std::string Hex(const WCHAR* text)
{
    if (text == NULL || *text == 0)
        return "-";
    std::string out;
    char digits[8];
    for (const WCHAR* p = text; *p != 0; ++p) {
        snprintf(digits, sizeof digits, "%04x", (unsigned)*p);
        out += digits;
    }
    return out;
}

std::string Handle(HWND window)
{
    char text[32];
    snprintf(text, sizeof text, "%llx", (unsigned long long)(ULONG_PTR)window);
    return text;
}

}  // namespace

OtherProgram::OtherProgram() : impl_(new Impl)
{
    InitializeCriticalSection(&impl_->lock);
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/')
        --n;
    lstrcpyW(path + n, L"conformance_helper.exe");
    file_ = path;

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE childIn = NULL, childOut = NULL;
    CreatePipe(&childIn, &impl_->to, &inherit, 0);
    CreatePipe(&impl_->from, &childOut, &inherit, 0);
    SetHandleInformation(impl_->to, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(impl_->from, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW start;
    ZeroMemory(&start, sizeof start);
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = childIn;
    start.hStdOutput = childOut;
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info;
    if (!CreateProcessW(path, NULL, NULL, NULL, TRUE, 0, NULL, NULL, &start, &info)) {
        ADD_FAILURE() << "cannot start " << Utf8(path) << ": " << GetLastError();
    } else {
        impl_->process = info.hProcess;
        CloseHandle(info.hThread);
        id_ = info.dwProcessId;
        impl_->Ask("hello");
    }
    CloseHandle(childIn);
    CloseHandle(childOut);
}

OtherProgram::~OtherProgram()
{
    if (impl_->process != NULL) {
        DWORD n = 0;
        WriteFile(impl_->to, "quit\n", 5, &n, NULL);
        if (WaitForSingleObject(impl_->process, 20000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the other program did not end within 20 s";
            TerminateProcess(impl_->process, 1);
        }
        CloseHandle(impl_->process);
    }
    CloseHandle(impl_->to);
    CloseHandle(impl_->from);
    DeleteCriticalSection(&impl_->lock);
    delete impl_;
}

HWND OtherProgram::AddWindow(const WindowSpec& spec)
{
    char line[256];
    snprintf(line, sizeof line, " %lx %lx %ld %ld %ld %ld %s %d", (unsigned long)spec.style,
             (unsigned long)spec.exstyle, (long)spec.rect.left, (long)spec.rect.top, (long)spec.rect.right,
             (long)spec.rect.bottom, Handle(spec.parent).c_str(), spec.icon_size);
    std::string answer = impl_->Ask("window " + Hex(spec.class_name) + " " + Hex(spec.title) + line);
    return (HWND)(ULONG_PTR)strtoull(answer.c_str(), NULL, 16);
}

void OtherProgram::Destroy(HWND window) { impl_->Ask("destroy " + Handle(window)); }

RECT OtherProgram::WorkArea()
{
    RECT r = {0, 0, 0, 0};
    std::string answer = impl_->Ask("workarea");
    sscanf(answer.c_str(), "%ld %ld %ld %ld", &r.left, &r.top, &r.right, &r.bottom);
    return r;
}

std::vector<Received> OtherProgram::ReceivedBy(HWND window, UINT message)
{
    std::string answer = impl_->Ask("received " + Handle(window) + " " + std::to_string(message));
    std::vector<Received> out;
    const char* p = answer.c_str();
    char* end = NULL;
    unsigned long count = strtoul(p, &end, 10);
    for (unsigned long i = 0; i < count; ++i) {
        Received r;
        r.message = message;
        r.wParam = (WPARAM)strtoull(end, &end, 16);
        r.lParam = (LPARAM)strtoull(end, &end, 16);
        r.sent = strtoul(end, &end, 10) != 0;
        out.push_back(r);
    }
    return out;
}

}  // namespace conformance
