// The window manager: classes, windows, z-order, positions.
//
// Client areas are the whole window: the device draws no frames or captions.
// Top-level windows are kept front first; WS_EX_TOPMOST windows stay in front
// of the others. Window handles are never reused.
#include "world.h"

#include <algorithm>

namespace cesim {

// ---------------------------------------------------------------- the model

Window* World::AnyWindowObject(HWND h)
{
    auto it = windows.find((uintptr_t)h);
    return it == windows.end() ? nullptr : it->second.get();
}

Window* World::FindWindowObject(HWND h)
{
    Window* w = AnyWindowObject(h);
    return (w != nullptr && w->alive) ? w : nullptr;
}

Window* World::NewWindow(Lock&, WindowClass* cls, Thread* thread)
{
    next_window += 4;
    auto w = std::make_unique<Window>();
    w->handle = (HWND)next_window;
    w->cls = cls;
    w->class_name = cls->name;
    w->proc = cls->proc;
    w->thread = thread;
    Window* raw = w.get();
    windows[next_window] = std::move(w);
    return raw;
}

std::vector<Window*>& World::Siblings(Window* w) { return w->parent ? w->parent->children : top_level; }

RECT World::ScreenRect(Window* w)
{
    RECT r = w->rect;
    for (Window* p = w->parent; p != nullptr; p = p->parent) {
        r.left += p->rect.left;
        r.right += p->rect.left;
        r.top += p->rect.top;
        r.bottom += p->rect.top;
    }
    return r;
}

POINT World::ClientOrigin(Window* w)
{
    RECT r = ScreenRect(w);
    return POINT{r.left, r.top};
}

bool World::VisibleOnScreen(Window* w)
{
    for (; w != nullptr; w = w->parent) {
        if (!(w->style & WS_VISIBLE))
            return false;
    }
    return true;
}

static bool IsTopmost(Window* w) { return w->parent == nullptr && (w->exstyle & WS_EX_TOPMOST); }

void World::PlaceInZOrder(Window* w, HWND after)
{
    auto& list = Siblings(w);
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    if (after == HWND_TOPMOST && !w->parent) {
        w->exstyle |= WS_EX_TOPMOST;
        after = HWND_TOP;
    } else if (after == HWND_NOTOPMOST && !w->parent) {
        w->exstyle &= ~WS_EX_TOPMOST;
        after = HWND_TOP;
    } else if (after == HWND_BOTTOM && !w->parent) {
        w->exstyle &= ~WS_EX_TOPMOST;
    }
    size_t at;
    if (after == HWND_TOP) {
        at = 0;
        if (!IsTopmost(w)) {
            while (at < list.size() && IsTopmost(list[at]))
                ++at;
        }
    } else if (after == HWND_BOTTOM) {
        at = list.size();
    } else {
        auto it = std::find(list.begin(), list.end(), FindWindowObject(after));
        at = it == list.end() ? 0 : (size_t)(it - list.begin()) + 1;
    }
    list.insert(list.begin() + (long)at, w);
}

void World::Show(Window* w)
{
    if (!(w->style & WS_VISIBLE)) {
        w->needs_paint = true;
        w->needs_erase = true;
        WakeForMessages(w->thread);
    }
    w->style |= WS_VISIBLE;
}

void World::NotifyMoved(Lock& lk, Window* w, RECT old)
{
    const RECT now = w->rect;
    if (!w->alive)
        return;
    if (now.left != old.left || now.top != old.top)
        Send(lk, w, WM_MOVE, 0, MAKELPARAM(now.left, now.top), true);
    if (w->alive && (now.right - now.left != old.right - old.left || now.bottom - now.top != old.bottom - old.top))
        Send(lk, w, WM_SIZE, 0, MAKELPARAM(now.right - now.left, now.bottom - now.top), true);
}

void World::LogActivation(Window* w, bool foreground)
{
    Thread* self = SelfOrNull();
    const char* by = self != nullptr ? (self->call ? self->call : "(thread ending)")
                                     : (test_call ? test_call : "(device)");
    activations.push_back(Activation{w->handle, by, foreground});
}

void World::ActivationRefused(Window* w)
{
    while (w->parent != nullptr)
        w = w->parent;
    LogActivation(w, false);
}

void World::Activate(Lock& lk, Window* w)
{
    while (w != nullptr && w->parent != nullptr)
        w = w->parent;
    if (w != nullptr) {
        PlaceInZOrder(w, HWND_TOP);
        LogActivation(w, true);
    }
    Window* old = foreground;
    if (old == w)
        return;
    foreground = w;
    // The program's windows are told; fixture windows do not record it. A
    // window of another thread learns it when that thread next takes messages.
    auto tell = [&](Window* to, WORD state, Window* other) {
        if (to == nullptr || !to->alive || to->fixture || to->thread->finished || to->thread->killed)
            return;
        HWND other_handle = other ? other->handle : nullptr;
        Send(lk, to, WM_ACTIVATE, MAKEWPARAM(state, 0), (LPARAM)other_handle, to->thread == SelfOrNull());
    };
    tell(old, WA_INACTIVE, w);
    if (foreground == w)
        tell(w, WA_ACTIVE, old);
}

// The next window below the one that goes that can take the foreground
// (visible and enabled, a tool window too), else the front-most one above it.
Window* World::NextActive(Window* gone)
{
    auto takes = [gone](Window* t) {
        return t != gone && t->alive && t->activatable && (t->style & WS_VISIBLE) && !(t->style & WS_DISABLED);
    };
    auto at = std::find(top_level.begin(), top_level.end(), gone);
    auto below = std::find_if(at == top_level.end() ? at : at + 1, top_level.end(), takes);
    if (below != top_level.end())
        return *below;
    auto above = std::find_if(top_level.begin(), at, takes);
    return above != at ? *above : nullptr;
}

void World::Deactivate(Lock& lk, Window* w)
{
    if (foreground == w)
        Activate(lk, NextActive(w));
}

static bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

Window* World::WindowAt(POINT screen)
{
    Window* found = nullptr;
    const std::vector<Window*>* level = &top_level;
    for (;;) {
        Window* hit = nullptr;
        for (Window* w : *level) {
            if (w->alive && (w->style & WS_VISIBLE) && Contains(ScreenRect(w), screen)) {
                hit = w;
                break;
            }
        }
        if (hit == nullptr)
            return found;
        found = hit;
        level = &hit->children;
    }
}

WindowClass* World::FindClass(Process* p, const Text& name)
{
    if (p != nullptr) {
        for (auto& c : p->classes) {
            if (c->registered && SameNoCase(c->name, name))
                return c.get();
        }
    }
    return SystemClass(name);
}

WindowClass* World::SystemClass(const Text& name)
{
    for (auto& c : system_classes) {
        if (SameNoCase(c->name, name))
            return c.get();
    }
    return nullptr;
}

void World::DestroyWindowTree(Lock& lk, Window* w, bool notify)
{
    if (!w->alive)
        return;
    w->style &= ~WS_VISIBLE;
    if (notify && !w->fixture)
        CallProc(lk, w, WM_DESTROY, 0, 0);
    std::vector<Window*> children = w->children;
    for (Window* child : children)
        DestroyWindowTree(lk, child, notify && child->thread == SelfOrNull());
    if (!w->alive)
        return;
    w->alive = false;
    Window* next = foreground == w ? NextActive(w) : nullptr;  // found from w's place
    auto& list = Siblings(w);
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    if (shell_desktop == w)
        shell_desktop = nullptr;
    AnswerPending(w);
    if (foreground == w)
        Activate(lk, next);
    auto& posted = w->thread->posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(), [w](const QueuedMessage& m) { return m.hwnd == w->handle; }),
                 posted.end());
}

// Places a window as SetWindowPos asks, on the thread of the window.
static BOOL PlaceWindow(World& world, Lock& lk, Window* w, HWND insertAfter, int x, int y, int width, int height,
                        UINT flags)
{
    const RECT old = w->rect;
    RECT& r = w->rect;
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(width, 0);
        r.bottom = r.top + std::max(height, 0);
    }
    if (!(flags & SWP_NOMOVE)) {
        LONG cx = r.right - r.left, cy = r.bottom - r.top;
        r = RECT{x, y, x + cx, y + cy};
    }
    if (!(flags & SWP_NOZORDER))
        world.PlaceInZOrder(w, insertAfter);
    if (flags & SWP_SHOWWINDOW)
        world.Show(w);
    if (flags & SWP_HIDEWINDOW) {
        w->style &= ~WS_VISIBLE;
        world.Deactivate(lk, w);
    }
    // Activation brings the window to the top of its group, SWP_NOZORDER or not.
    if (!(flags & SWP_NOACTIVATE) && w->parent == nullptr && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED)) {
        if (w->activatable)
            world.Activate(lk, w);
        else
            world.ActivationRefused(w);
    }
    if (!w->alive)
        return TRUE;
    world.NotifyMoved(lk, w, old);
    return TRUE;
}

// ---------------------------------------------------------------- Win32

// The most extra bytes a class or window can ask for: a Windows CE process
// lives in a 32 MB slot, so no count beyond it can be allocated.
static const int MAX_EXTRA_BYTES = 32 * 1024 * 1024;

extern "C" {

ATOM WINAPI RegisterClassW(const WNDCLASSW* wc)
{
    Call c("RegisterClassW");
    if (wc == nullptr || wc->lpszClassName == nullptr || IS_INTRESOURCE(wc->lpszClassName)) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A negative count of extra bytes is refused, as Windows refuses it; a
    // count too large to allocate fails for lack of memory. The counts are
    // not kept (no call here reads extra bytes), nor are the menu name and
    // the cursor: CE has no default menus, and no cursor without its
    // optional cursor component.
    if (wc->cbClsExtra < 0 || wc->cbWndExtra < 0) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (wc->cbClsExtra > MAX_EXTRA_BYTES || wc->cbWndExtra > MAX_EXTRA_BYTES) {
        SetError(c.self, ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    Text name = wc->lpszClassName;
    for (auto& existing : c.self->process->classes) {
        if (existing->registered && SameNoCase(existing->name, name)) {
            SetError(c.self, ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto cls = std::make_unique<WindowClass>();
    cls->owner = c.self->process;
    cls->name = name;
    cls->style = wc->style;
    cls->proc = wc->lpfnWndProc;
    cls->instance = wc->hInstance;
    cls->icon = wc->hIcon;
    cls->background = wc->hbrBackground;
    c.self->process->classes.push_back(std::move(cls));
    return (ATOM)(0xC000 + c.self->process->classes.size());
}

BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE)
{
    Call c("UnregisterClassW");
    for (auto& cls : c.self->process->classes) {
        if (cls->registered && SameNoCase(cls->name, ToText(className))) {
            for (auto& entry : c.w.windows) {
                if (entry.second->alive && entry.second->cls == cls.get()) {
                    SetError(c.self, ERROR_CLASS_HAS_WINDOWS);
                    return FALSE;
                }
            }
            cls->registered = false;
            return TRUE;
        }
    }
    SetError(c.self, ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    Call c("CreateWindowExW");
    World& w = c.w;
    WindowClass* cls = className && !IS_INTRESOURCE(className) ? w.FindClass(c.self->process, className) : nullptr;
    if (cls == nullptr) {
        SetError(c.self, ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    for (const Text& failing : w.failing_window_classes) {
        if (SameNoCase(failing, cls->name)) {
            SetError(c.self, ERROR_NOT_ENOUGH_MEMORY);  // as when the system is out of memory
            return nullptr;
        }
    }
    Window* parent_window = nullptr;
    if (style & WS_CHILD) {
        parent_window = w.FindWindowObject(parent);
        if (parent_window == nullptr) {
            SetError(c.self, ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
    }
    Window* win = w.NewWindow(c.lk, cls, c.self);
    win->title = ToText(windowName);
    win->style = style;
    win->exstyle = exStyle;
    win->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    win->parent = parent_window;
    win->id = (style & WS_CHILD) ? (LONG)(uintptr_t)menu : 0;
    w.PlaceInZOrder(win, HWND_TOP);
    win->needs_paint = true;
    win->needs_erase = true;

    CREATESTRUCTW cs{param, instance, menu, parent, height, width, y, x, (LONG)style, windowName, className, exStyle};
    if (w.CallProc(c.lk, win, WM_CREATE, 0, (LPARAM)&cs) == -1) {
        w.DestroyWindowTree(c.lk, win, true);
        return nullptr;
    }
    if (!win->alive)
        return nullptr;
    if (!parent_window && (win->style & WS_VISIBLE) && !(win->style & WS_DISABLED))
        w.Activate(c.lk, win);
    return win->handle;
}

BOOL WINAPI DestroyWindow(HWND window)
{
    Call c("DestroyWindow");
    Window* w = c.Live(window);
    if (w == nullptr)
        return FALSE;
    if (w->thread != c.self) {
        SetError(c.self, ERROR_ACCESS_DENIED);
        return FALSE;
    }
    c.w.DestroyWindowTree(c.lk, w, true);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND window)
{
    Call c("IsWindow");
    return c.w.FindWindowObject(window) != nullptr;
}

BOOL WINAPI IsWindowVisible(HWND window)
{
    Call c("IsWindowVisible");
    Window* w = c.w.FindWindowObject(window);
    return w != nullptr && c.w.VisibleOnScreen(w);
}

HWND WINAPI FindWindowW(LPCWSTR className, LPCWSTR windowName)
{
    Call c("FindWindowW");
    for (Window* w : c.w.top_level) {
        if (!w->alive)
            continue;
        if (className != nullptr && (IS_INTRESOURCE(className) || !SameNoCase(w->class_name, className)))
            continue;
        if (windowName != nullptr && !SameNoCase(w->title, windowName))
            continue;
        return w->handle;
    }
    return nullptr;
}

BOOL WINAPI EnumWindows(WNDENUMPROC proc, LPARAM param)
{
    Call c("EnumWindows");
    if (proc == nullptr) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<HWND> snapshot;
    for (Window* w : c.w.top_level)
        snapshot.push_back(w->handle);
    for (HWND h : snapshot) {
        BOOL more;
        {
            Unlocked unlocked(c.lk);
            InProgram program(c.self);
            more = proc(h, param);
        }
        if (!more)
            return FALSE;
    }
    return TRUE;
}

LONG WINAPI GetWindowLongW(HWND window, int index)
{
    Call c("GetWindowLongW");
    Window* w = c.Live(window);
    if (w == nullptr)
        return 0;
    switch (index) {
    case GWL_STYLE:
        return (LONG)w->style;
    case GWL_EXSTYLE:
        return (LONG)w->exstyle;
    case GWL_USERDATA:
        return w->user_data;
    case GWL_ID:
        return w->id;
    }
    SetError(c.self, ERROR_INVALID_PARAMETER);
    return 0;
}

LONG WINAPI SetWindowLongW(HWND window, int index, LONG value)
{
    Call c("SetWindowLongW");
    Window* w = c.Live(window);
    if (w == nullptr)
        return 0;
    LONG old;
    switch (index) {
    case GWL_STYLE:
        old = (LONG)w->style;
        w->style = (DWORD)value;
        return old;
    case GWL_EXSTYLE:
        old = (LONG)w->exstyle;
        w->exstyle = (DWORD)value;
        return old;
    case GWL_USERDATA:
        old = w->user_data;
        w->user_data = value;
        return old;
    case GWL_ID:
        old = w->id;
        w->id = value;
        return old;
    }
    SetError(c.self, ERROR_INVALID_PARAMETER);
    return 0;
}

// Copies text into a caller's buffer of capacity characters, cut to fit and
// terminated; the characters copied.
static int CopyOut(const Text& text, LPWSTR buffer, int capacity)
{
    if (buffer == nullptr || capacity <= 0)
        return 0;
    int n = std::min((int)text.size(), capacity - 1);
    std::copy(text.begin(), text.begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

int WINAPI GetClassNameW(HWND window, LPWSTR buffer, int capacity)
{
    Call c("GetClassNameW");
    Window* w = c.Live(window);
    if (w == nullptr)
        return 0;
    return CopyOut(w->class_name, buffer, capacity);
}

int WINAPI GetWindowTextW(HWND window, LPWSTR buffer, int capacity)
{
    Call c("GetWindowTextW");
    Window* w = c.w.FindWindowObject(window);
    if (w == nullptr) {
        SetError(c.self, ERROR_INVALID_WINDOW_HANDLE);
        if (buffer != nullptr && capacity > 0)
            buffer[0] = 0;
        return 0;
    }
    return CopyOut(w->title, buffer, capacity);
}

BOOL WINAPI SetWindowTextW(HWND window, LPCWSTR text)
{
    Call c("SetWindowTextW");
    Window* w = c.Live(window);
    if (w == nullptr)
        return FALSE;
    // A window of the caller's own process is asked through WM_SETTEXT.
    if (w->thread->process == c.self->process && !w->fixture)
        return (BOOL)c.w.Send(c.lk, w, WM_SETTEXT, 0, (LPARAM)text, true);
    w->title = ToText(text);
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect)
{
    Call c("GetWindowRect");
    Window* w = c.w.FindWindowObject(window);
    if (w == nullptr || rect == nullptr) {
        SetError(c.self, w == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect = c.w.ScreenRect(w);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect)
{
    Call c("GetClientRect");
    Window* w = c.w.FindWindowObject(window);
    if (w == nullptr || rect == nullptr) {
        SetError(c.self, w == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

// Another thread's window is placed on its own thread, which the caller waits for.
BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    Call c("SetWindowPos");
    Window* w = c.Live(window);
    if (w == nullptr)
        return FALSE;
    World* world = &c.w;
    Thread* caller = c.self;
    return (BOOL)c.w.OnWindowsThread(c.lk, w, [=](Lock& lk) {
        // What it does there is still this call's (the activations it makes, say).
        Thread* on = world->SelfOrNull();
        const char* outer = on != nullptr ? on->call : nullptr;
        if (on != nullptr && on != caller)
            on->call = "SetWindowPos";
        BOOL done = PlaceWindow(*world, lk, w, insertAfter, x, y, width, height, flags);
        if (on != nullptr)
            on->call = outer;
        return (LRESULT)done;
    });
}

BOOL WINAPI ShowWindow(HWND window, int command)
{
    Call c("ShowWindow");
    Window* w = c.Live(window);
    if (w == nullptr)
        return FALSE;
    BOOL was_visible = (w->style & WS_VISIBLE) != 0;
    if (command == SW_HIDE) {
        w->style &= ~WS_VISIBLE;
        c.w.Deactivate(c.lk, w);
    } else {
        c.w.Show(w);
        if (command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && w->parent == nullptr) {
            if (w->activatable)
                c.w.Activate(c.lk, w);
            else
                c.w.ActivationRefused(w);
        }
    }
    return was_visible;
}

HWND WINAPI GetParent(HWND window)
{
    Call c("GetParent");
    Window* w = c.Live(window);
    if (w == nullptr)
        return nullptr;
    return w->parent ? w->parent->handle : nullptr;
}

HWND WINAPI GetDesktopWindow(void)
{
    Call c("GetDesktopWindow");
    return c.w.shell_desktop ? c.w.shell_desktop->handle : c.w.desktop_root->handle;
}

HWND WINAPI GetForegroundWindow(void)
{
    Call c("GetForegroundWindow");
    return c.w.foreground ? c.w.foreground->handle : nullptr;
}

BOOL WINAPI SetForegroundWindow(HWND window)
{
    Call c("SetForegroundWindow");
    Window* w = c.Live(window);
    if (w == nullptr)
        return FALSE;
    while (w->parent != nullptr)
        w = w->parent;
    if (!w->activatable) {
        c.w.ActivationRefused(w);
        return FALSE;
    }
    c.w.Activate(c.lk, w);
    return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count)
{
    Call c("MapWindowPoints");
    POINT a{0, 0}, b{0, 0};
    if (from != nullptr) {
        Window* w = c.w.FindWindowObject(from);
        if (w == nullptr) {
            SetError(c.self, ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        a = c.w.ClientOrigin(w);
    }
    if (to != nullptr) {
        Window* w = c.w.FindWindowObject(to);
        if (w == nullptr) {
            SetError(c.self, ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        b = c.w.ClientOrigin(w);
    }
    LONG dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points != nullptr && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(dx, dy);
}

DWORD WINAPI GetClassLongW(HWND window, int index)
{
    Call c("GetClassLongW");
    Window* w = c.Live(window);
    if (w == nullptr)
        return 0;
    if (index == GCL_HICON)
        return (DWORD)(uintptr_t)w->cls->icon;
    SetError(c.self, ERROR_INVALID_PARAMETER);
    return 0;
}

DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD processId)
{
    Call c("GetWindowThreadProcessId");
    Window* w = c.Live(window);
    if (w == nullptr)
        return 0;
    if (processId)
        *processId = w->thread->process->id;
    return w->thread->id;
}

}  // extern "C"

}  // namespace cesim
