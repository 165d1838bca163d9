// What the conformance cases share on both platforms: plain Win32 only.
#include "fixture.h"

#include <cesim/utf8.h>

#include <cstdio>

namespace conformance {

bool WaitFor(const std::function<bool()>& done, DWORD bound_ms)
{
    const DWORD bound = OnCe() ? bound_ms : bound_ms * 4;
    for (DWORD waited = 0;; waited += 10) {
        if (done())
            return true;
        if (waited >= bound)
            return false;
        Sleep(10);
    }
}

namespace {

// A Later action on a thread of its own.
struct Task {
    std::function<void()> act;
    std::function<bool()> ready;
    HANDLE previous;  // the action asked for before this one
};

// The actions the body asked for, oldest first.
std::vector<HANDLE> g_tasks;

DWORD WINAPI RunTask(LPVOID param)
{
    Task* task = (Task*)param;
    // One after the other, as they were asked for.
    if (task->previous != NULL)
        WaitForSingleObject(task->previous, INFINITE);
    // Once the program waits: on the simulated device the clock moves only
    // when every thread waits, so that ready() never runs beside the body.
    Sleep(10);
    if (task->ready && !WaitFor(task->ready, 2500))  // 10 s under Wine
        ADD_FAILURE() << "what Later waits for never came";
    else
        Guarded(task->act);
    delete task;
    return 0;
}

}  // namespace

void Later(const std::function<void()>& act, const std::function<bool()>& ready)
{
    Task* task = new Task{act, ready, g_tasks.empty() ? NULL : g_tasks.back()};
    HANDLE thread = CreateThread(NULL, 0, RunTask, task, 0, NULL);
    if (thread == NULL)
        ADD_FAILURE() << "CreateThread failed: " << GetLastError();
    else
        g_tasks.push_back(thread);
}

void RunBodyThenLater(const std::function<void()>& body)
{
    Guarded(body);
    for (HANDLE task : g_tasks) {
        if (WaitForSingleObject(task, 20000) != WAIT_OBJECT_0)
            ADD_FAILURE() << "an action of Later did not end within 20 s";
        CloseHandle(task);
    }
    g_tasks.clear();
}

void Guarded(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "thrown: " << e.what();
    }
}

std::vector<std::basic_string<WCHAR>>& ClassesMade()
{
    static std::vector<std::basic_string<WCHAR>> names;
    return names;
}

namespace {

struct Row {
    const char* name;
    const char* call;
    const char* ce;
    const char* desktop;
    const char* ours;
    const char* why;
    const char* page;
};

#define CONFORMANCE_ROW(name, call, ce, desktop, ours, why, page) {#name, call, ce, desktop, ours, why, page},
const Row ROWS[] = {PLATFORM_DIFFERENCES(CONFORMANCE_ROW)};
#undef CONFORMANCE_ROW

}  // namespace

std::vector<std::string> DifferenceRows()
{
    std::vector<std::string> names;
    for (const Row& row : ROWS)
        names.push_back(row.name);
    return names;
}

std::string Explain(Difference which)
{
    const Row& row = ROWS[(int)which];
    return std::string("a difference, ") + row.name + ": " + row.call + ": Windows CE: " + row.ce +
           "; desktop Windows: " + row.desktop + "; because " + row.why + " (" + row.page + ")";
}

bool OnlyOnCe(const char* why)
{
    if (!OnCe())
        std::printf("[ CE only  ] %s\n", why);
    return OnCe();
}

std::string Show(const RECT& r)
{
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "}";
}

std::string Utf8(const WCHAR* text)
{
    size_t length = 0;
    while (text != NULL && text[length] != 0)
        ++length;
    return utf8::FromUtf16(text, length);
}

// A window's text as one of read_text reads it.
static std::string TextOf(HWND window, int(WINAPI* read_text)(HWND, LPWSTR, int))
{
    WCHAR text[256];
    int n = read_text(window, text, 256);
    text[n > 0 ? n : 0] = 0;
    return Utf8(text);
}

std::string TitleOf(HWND window) { return TextOf(window, GetWindowTextW); }

std::string ClassOf(HWND window) { return TextOf(window, GetClassNameW); }

RECT RectOf(HWND window)
{
    RECT r = {-1, -1, -1, -1};
    GetWindowRect(window, &r);
    return r;
}

void EnsureClass(const WCHAR* name, WNDPROC proc, HICON icon, HBRUSH background)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc != NULL ? proc : DefWindowProcW;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.hIcon = icon;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    if (RegisterClassW(&wc) != 0)
        ClassesMade().push_back(name);
}

HWND MakeWindow(const WCHAR* cls, const WCHAR* title, DWORD style, RECT r, HWND parent, DWORD exstyle, WNDPROC proc)
{
    EnsureClass(cls, proc);
    return CreateWindowExW(exstyle, cls, title, style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                           NULL, GetModuleHandleW(NULL), NULL);
}

}  // namespace conformance

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    conformance::Prepare();
    return RUN_ALL_TESTS();
}
