// The test side of the device: the windows as a test reads them, and the
// user's taps and other programs' messages.
#include "device_side.h"
#include "gdi.h"

namespace cesim {

// ---------------------------------------------------------------- windows

bool Device::IsAlive(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    return TestWindow(w, window, "IsAlive")->alive;
}

RECT Device::Rect(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    return w.ScreenRect(TestWindow(w, window, "Rect"));
}

bool Device::Visible(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    Window* win = TestWindow(w, window, "Visible");
    return win->alive && w.VisibleOnScreen(win);
}

DWORD Device::Style(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    return TestWindow(w, window, "Style")->style;
}

DWORD Device::ExStyle(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    return TestWindow(w, window, "ExStyle")->exstyle;
}

std::u16string Device::ClassName(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    return TestWindow(w, window, "ClassName")->class_name;
}

WindowClassInfo Device::Class(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    Window* win = TestWindow(w, window, "Class");
    if (win->cls == nullptr)
        throw Error("cesim: Class: the window " + std::to_string((uintptr_t)window) + " has no class");
    auto stock = w.gdi->brushes.find((uintptr_t)win->cls->background);
    return WindowClassInfo{win->cls->style, win->cls->icon, win->cls->background,
                           stock == w.gdi->brushes.end() ? -1 : stock->second};
}

std::u16string Device::Title(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    return TestWindow(w, window, "Title")->title;
}

HWND Device::Parent(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    Window* parent = TestWindow(w, window, "Parent")->parent;
    return parent ? parent->handle : nullptr;
}

DWORD Device::ProcessOf(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    return TestWindow(w, window, "ProcessOf")->thread->process->id;
}

std::vector<HWND> Device::TopLevel() const
{
    auto&& [w, lk] = LockWorld();
    std::vector<HWND> out;
    for (Window* win : w.top_level)
        out.push_back(win->handle);
    return out;
}

std::vector<HWND> Device::WindowsOf(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    Process* p = TestProcess(w, process, "WindowsOf");
    std::vector<HWND> out;
    for (auto& entry : w.windows) {
        if (entry.second->alive && entry.second->thread->process == p)
            out.push_back(entry.second->handle);
    }
    return out;
}

HWND Device::Find(const std::u16string& class_name, const std::u16string& title) const
{
    auto&& [w, lk] = LockWorld();
    for (Window* win : w.top_level) {
        if (win->alive && win->class_name == class_name && win->title == title)
            return win->handle;
    }
    return nullptr;
}

HWND Device::Foreground() const
{
    auto&& [w, lk] = LockWorld();
    return w.foreground ? w.foreground->handle : nullptr;
}

HWND Device::DesktopWindow() const
{
    auto&& [w, lk] = LockWorld();
    return w.shell_desktop ? w.shell_desktop->handle : w.desktop_root->handle;
}

RECT Device::WorkArea() const
{
    auto&& [w, lk] = LockWorld();
    return w.work_area;
}

std::vector<ReceivedMessage> Device::Received(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    Window* win = TestWindow(w, window, "Received");
    if (!win->fixture)
        throw Error("cesim: Received: only the test's own windows record what they receive");
    return win->received;
}

std::vector<DrawOp> Device::Drawn(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    return TestWindow(w, window, "Drawn")->drawn;
}

void Device::ClearDrawn(HWND window)
{
    auto&& [w, lk] = LockWorld();
    TestWindow(w, window, "ClearDrawn")->drawn.clear();
}

std::vector<Activation> Device::Activations() const
{
    auto&& [w, lk] = LockWorld();
    return w.activations;
}

void Device::ClearActivations()
{
    auto&& [w, lk] = LockWorld();
    w.activations.clear();
}

void Device::DestroyWindow(HWND window)
{
    auto&& [w, lk] = LockWorld();
    Window* win = LiveWindow(w, window, "DestroyWindow");
    if (!win->fixture)
        throw Error("cesim: DestroyWindow: only the test's own windows can be destroyed from outside");
    TestCall named(w, "DestroyWindow");
    w.DestroyWindowTree(lk, win, false);
}

void Device::SetForeground(HWND window)
{
    auto&& [w, lk] = LockWorld();
    Window* win = window ? LiveWindow(w, window, "SetForeground") : nullptr;
    if (win != nullptr) {
        while (win->parent != nullptr)
            win = win->parent;
        if (!win->activatable || !(win->style & WS_VISIBLE))
            throw Error("cesim: SetForeground: the window " + std::to_string((uintptr_t)window) +
                        " is hidden or never becomes the foreground window");
    }
    TestCall named(w, "SetForeground");
    w.Activate(lk, win);
}

void Device::ShowWindow(HWND window, bool visible)
{
    auto&& [w, lk] = LockWorld();
    Window* win = LiveWindow(w, window, "ShowWindow");
    if (!win->fixture)
        throw Error("cesim: ShowWindow: only the test's own windows can be shown or hidden from outside");
    TestCall named(w, "ShowWindow");
    if (visible) {
        w.Show(win);
        return;
    }
    win->style &= ~WS_VISIBLE;
    w.Deactivate(lk, win);
}

void Device::SetStyles(HWND window, DWORD style, DWORD exstyle)
{
    auto&& [w, lk] = LockWorld();
    Window* win = LiveWindow(w, window, "SetStyles");
    if (!win->fixture)
        throw Error("cesim: SetStyles: only the test's own windows can be changed from outside");
    win->style = style | (win->parent ? WS_CHILD : 0);
    win->exstyle = exstyle;
}

void Device::FailWorkAreaQuery(bool fail)
{
    auto&& [w, lk] = LockWorld();
    w.fail_work_area_query = fail;
}

void Device::FailWindowCreation(const std::u16string& class_name)
{
    if (class_name.empty())
        throw Error("cesim: FailWindowCreation needs a class name");
    auto&& [w, lk] = LockWorld();
    w.failing_window_classes.push_back(class_name);
}

std::vector<ReceivedMessage> Device::HeldSends(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    std::vector<ReceivedMessage> out;
    for (auto& m : TestWindow(w, window, "HeldSends")->held)
        out.push_back(ReceivedMessage{m->message, m->wParam, m->lParam, true, 0});
    return out;
}

void Device::AnswerHeld(HWND window, LRESULT result)
{
    auto&& [w, lk] = LockWorld();
    Window* win = TestWindow(w, window, "AnswerHeld");
    if (win->held.empty())
        throw Error("cesim: AnswerHeld: the window " + std::to_string((uintptr_t)window) +
                    " holds no message waiting for an answer");
    SentPtr m = win->held.front();
    win->held.pop_front();
    if (m->work && win->alive) {
        TestCall named(w, "SetWindowPos");
        result = m->work(lk);
    }
    w.Answer(m, result);
}

// ---------------------------------------------------------------- input

namespace {

void Mouse(World& w, POINT screen, UINT message, WPARAM keys, const char* what)
{
    Window* win = w.WindowAt(screen);
    if (win == nullptr)
        throw Error(std::string("cesim: ") + what + ": no window is at (" + std::to_string(screen.x) + ", " +
                    std::to_string(screen.y) + ")");
    w.cursor = screen;
    POINT origin = w.ClientOrigin(win);
    w.PostAt(win, message, keys, MAKELPARAM(screen.x - origin.x, screen.y - origin.y), screen);
}

}  // namespace

void Device::MouseDown(POINT screen)
{
    auto&& [w, lk] = LockWorld();
    Mouse(w, screen, WM_LBUTTONDOWN, MK_LBUTTON, "MouseDown");
}

void Device::MouseUp(POINT screen)
{
    auto&& [w, lk] = LockWorld();
    Mouse(w, screen, WM_LBUTTONUP, 0, "MouseUp");
}

void Device::Tap(POINT screen)
{
    // Both at once, so that free-running threads cannot slip in between.
    auto&& [w, lk] = LockWorld();
    Mouse(w, screen, WM_LBUTTONDOWN, MK_LBUTTON, "Tap");
    Mouse(w, screen, WM_LBUTTONUP, 0, "Tap");
}

HWND Device::WindowAt(POINT screen) const
{
    auto&& [w, lk] = LockWorld();
    Window* win = w.WindowAt(screen);
    return win ? win->handle : nullptr;
}

void Device::Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto&& [w, lk] = LockWorld();
    w.Post(lk, LiveWindow(w, window, "Post"), message, wParam, lParam);
}

}  // namespace cesim
