// The test side of the device: fixtures, the user's input, observation.
#include "gdi.h"
#include "resources.h"
#include "ui.h"
#include "world.h"

namespace cesim {

namespace {

// The world with its lock taken; the lock goes when the Device call ends:
//     auto&& [w, lk] = LockWorld();
struct LockedWorld {
    World& w;
    Lock lk;
};

LockedWorld LockWorld()
{
    World& w = World::Get();
    return LockedWorld{w, Lock(w.mu)};
}

Window* TestWindow(World& w, HWND h, const char* what)
{
    Window* win = w.AnyWindowObject(h);
    if (win == nullptr)
        throw Error(std::string("cesim: ") + what + ": no window has the handle " + std::to_string((uintptr_t)h));
    return win;
}

Window* LiveWindow(World& w, HWND h, const char* what)
{
    Window* win = TestWindow(w, h, what);
    if (!win->alive)
        throw Error(std::string("cesim: ") + what + ": the window " + std::to_string((uintptr_t)h) +
                    " has been destroyed");
    return win;
}

Process* TestProcess(World& w, DWORD id, const char* what)
{
    Process* p = w.FindProcess(id);
    if (p == nullptr)
        throw Error(std::string("cesim: ") + what + ": no process has the id " + std::to_string(id));
    return p;
}

// Names the Device method that runs on the test's thread, for the activation log.
struct TestCall {
    World& w;
    const char* saved;
    TestCall(World& world, const char* name) : w(world), saved(world.test_call) { w.test_call = name; }
    ~TestCall() { w.test_call = saved; }
};

}  // namespace

Device::Device() { new World(); }

Device::~Device() { delete World::Current(); }

// ---------------------------------------------------------------- fixtures

DWORD Device::AddProcess(const std::u16string& exe_name)
{
    if (exe_name.empty())
        throw Error("cesim: AddProcess needs the program's file name");
    auto&& [w, lk] = LockWorld();
    return w.NewProcess(lk, exe_name, true)->id;
}

HWND Device::AddWindow(DWORD process, const WindowOptions& options)
{
    auto&& [w, lk] = LockWorld();
    Process* p = TestProcess(w, process, "AddWindow");
    if (!p->fixture)
        throw Error("cesim: AddWindow: process " + std::to_string(process) +
                    " is a running program, not one of the test's own");
    if (p->exited)
        throw Error("cesim: AddWindow: process " + std::to_string(process) + " has ended");
    if (options.class_name.empty())
        throw Error("cesim: AddWindow: a window needs a class name");
    if (options.rect.right < options.rect.left || options.rect.bottom < options.rect.top)
        throw Error("cesim: AddWindow: the rectangle of '" + Utf8(options.title) + "' has its edges swapped");
    Window* parent = nullptr;
    if (options.parent != nullptr)
        parent = LiveWindow(w, options.parent, "AddWindow (parent)");
    WindowClass* cls = nullptr;
    for (auto& c : p->classes) {
        if (c->name == options.class_name)
            cls = c.get();
    }
    if (cls == nullptr) {
        for (auto& c : p->classes) {
            if (SameNoCase(c->name, options.class_name))
                throw Error("cesim: AddWindow: process " + std::to_string(process) + " already has the class '" +
                            Utf8(c->name) + "'; class names of one program differ in more than case");
        }
        p->classes.push_back(std::make_unique<WindowClass>());
        cls = p->classes.back().get();
        cls->owner = p;
        cls->name = options.class_name;
    }
    if (options.class_icon != nullptr) {
        if (w.gdi->icons.count((uintptr_t)options.class_icon) == 0)
            throw Error("cesim: AddWindow: the class icon of '" + Utf8(options.title) + "' is not an icon");
        cls->icon = options.class_icon;
    }
    Window* win = w.NewWindow(lk, cls, p->main_thread);
    win->fixture = true;
    win->closes_on_close = options.closes_on_close;
    win->activatable = options.activates;
    win->holds_sends = options.holds_sends;
    win->title = options.title;
    win->style = options.style | (parent ? WS_CHILD : 0);
    win->exstyle = options.exstyle;
    win->rect = options.rect;
    win->parent = parent;
    w.PlaceInZOrder(win, HWND_TOP);
    return win->handle;
}

Shell Device::InstallShell(ShellNames names, TaskbarEdge edge)
{
    DWORD shell = AddProcess(u"shell32.exe");
    const bool top = edge == TaskbarEdge::TOP;
    WindowOptions desktop;
    desktop.class_name = names == ShellNames::STANDARD ? u"DesktopExplorerWindow" : u"TOP MENU";
    desktop.title = names == ShellNames::STANDARD ? u"Desktop" : u"TOP MENU";
    desktop.style = WS_VISIBLE | WS_POPUP;
    desktop.rect = top ? RECT{0, 26, 240, 320} : RECT{0, 0, 240, 294};
    HWND desktop_window = AddWindow(shell, desktop);
    WindowOptions taskbar;
    taskbar.class_name = u"HHTaskBar";
    taskbar.title = u"";
    taskbar.style = WS_VISIBLE | WS_POPUP;
    taskbar.exstyle = WS_EX_TOPMOST;
    taskbar.rect = top ? RECT{0, 0, 240, 26} : RECT{0, 294, 240, 320};
    taskbar.activates = false;
    HWND taskbar_window = AddWindow(shell, taskbar);
    auto&& [w, lk] = LockWorld();
    Window* d = w.FindWindowObject(desktop_window);
    w.PlaceInZOrder(d, HWND_BOTTOM);
    w.shell_desktop = d;
    w.work_area = top ? RECT{0, 26, 240, 320} : RECT{0, 0, 240, 294};
    return Shell{shell, taskbar_window, desktop_window};
}

void Device::SetShellDesktop(HWND window)
{
    auto&& [w, lk] = LockWorld();
    w.shell_desktop = window ? LiveWindow(w, window, "SetShellDesktop") : nullptr;
}

void Device::SetWorkArea(RECT area)
{
    if (area.right < area.left || area.bottom < area.top)
        throw Error("cesim: SetWorkArea: the work area has its edges swapped");
    auto&& [w, lk] = LockWorld();
    w.work_area = area;
}

void Device::SetDoubleClickTime(UINT ms)
{
    auto&& [w, lk] = LockWorld();
    w.double_click_time = ms;
}

HICON Device::AddIcon(DWORD process, int width, int height)
{
    auto&& [w, lk] = LockWorld();
    Process* p = TestProcess(w, process, "AddIcon");
    if (!p->fixture)
        throw Error("cesim: AddIcon: process " + std::to_string(process) +
                    " is a running program, not one of the test's own");
    if (width <= 0 || height <= 0)
        throw Error("cesim: AddIcon: an icon is at least 1 x 1 pixels, not " + std::to_string(width) + " x " +
                    std::to_string(height));
    return NewIcon(w, IconObject{0, width, height, 4, p});
}

void Device::SetProgramFile(DWORD process, const std::u16string& path, bool carries_icon)
{
    std::vector<SIZE> images;
    if (carries_icon)
        images = {SIZE{32, 32}, SIZE{16, 16}};
    SetProgramFileIcons(process, path, images);
}

void Device::SetProgramFileIcons(DWORD process, const std::u16string& path, const std::vector<SIZE>& images)
{
    for (const SIZE& image : images) {
        if (image.cx <= 0 || image.cy <= 0)
            throw Error("cesim: SetProgramFileIcons: an image is at least 1 x 1 pixels, not " +
                        std::to_string(image.cx) + " x " + std::to_string(image.cy));
    }
    auto&& [w, lk] = LockWorld();
    Process* p = TestProcess(w, process, "SetProgramFile");
    if (!p->fixture)
        throw Error("cesim: SetProgramFile: process " + std::to_string(process) +
                    " is a running program, not one of the test's own");
    p->path = path;
    if (!path.empty())
        w.program_files[path] = ProgramFile{images};
}

void Device::SetNextWindowHandle(uintptr_t handle)
{
    auto&& [w, lk] = LockWorld();
    if (handle % 4 != 0 || handle <= w.next_window || handle > 0xFFFFFFFFu)
        throw Error("cesim: SetNextWindowHandle: " + std::to_string(handle) +
                    " is not a 32-bit multiple of 4 above the last window handle " + std::to_string(w.next_window));
    w.next_window = handle - 4;
}

// ---------------------------------------------------------------- programs

bool Device::Running(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    return !TestProcess(w, process, "Running")->exited;
}

DWORD Device::ExitCode(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    return TestProcess(w, process, "ExitCode")->exit_code;
}

int Device::ThreadCount(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    int n = 0;
    for (Thread* t : TestProcess(w, process, "ThreadCount")->threads)
        n += t->real && !t->finished;
    return n;
}

std::map<std::string, int> Device::Handles(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    Process* p = TestProcess(w, process, "Handles");
    return p->exited ? p->handles_at_exit : w.CountHandles(p);
}

int Device::OpenHandles(DWORD process, const std::string& kind) const
{
    auto all = Handles(process);
    auto it = all.find(kind);
    if (it == all.end()) {
        std::string kinds;
        for (auto& k : all)
            kinds += (kinds.empty() ? "\"" : ", \"") + k.first + "\"";
        throw Error("cesim: OpenHandles: the kinds of handle are " + kinds + ", not \"" + kind + "\"");
    }
    return it->second;
}

DWORD Device::StartFunction(const std::u16string& exe_name, std::function<int()> main,
                             const std::string& resource_file)
{
    if (!main)
        throw Error("cesim: StartFunction needs a function to run");
    std::shared_ptr<ResourceSet> resources;
    if (!resource_file.empty()) {
        resources = std::make_shared<ResourceSet>();
        resources->file = ResourceFile::Read(resource_file);
    }
    auto&& [w, lk] = LockWorld();
    Process* p = w.NewProcess(lk, exe_name, false);
    p->resources = resources;
    w.StartThread(lk, p->main_thread, [main]() -> DWORD { return (DWORD)main(); });
    return p->id;
}

DWORD Device::RunInProcess(DWORD process, std::function<DWORD()> fn)
{
    auto&& [w, lk] = LockWorld();
    Process* p = TestProcess(w, process, "RunInProcess");
    if (p->exited || p->fixture)
        throw Error("cesim: RunInProcess: process " + std::to_string(process) + " is not a running program");
    Thread* t = w.NewThread(lk, p, "test call", true);
    w.StartThread(lk, t, std::move(fn));
    w.Settle(lk);
    if (!t->finished)
        throw Error("cesim: RunInProcess: the call is still waiting after the device settled (in " + t->activity + ")");
    return t->exit_code;
}

DWORD Device::StartInProcess(DWORD process, std::function<DWORD()> fn)
{
    if (!fn)
        throw Error("cesim: StartInProcess needs a function to run");
    auto&& [w, lk] = LockWorld();
    Process* p = TestProcess(w, process, "StartInProcess");
    if (p->exited || p->fixture)
        throw Error("cesim: StartInProcess: process " + std::to_string(process) + " is not a running program");
    Thread* t = w.NewThread(lk, p, "test thread", true);
    w.StartThread(lk, t, std::move(fn));
    return t->id;
}

std::vector<DWORD> Device::Threads(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    std::vector<DWORD> ids;
    for (Thread* t : TestProcess(w, process, "Threads")->threads) {
        if (t->real && !t->finished)
            ids.push_back(t->id);
    }
    return ids;
}

void* Device::Symbol(DWORD process, const std::string& name) const
{
    auto&& [w, lk] = LockWorld();
    Process* p = TestProcess(w, process, "Symbol");
    if (p->image == nullptr)
        throw Error("cesim: Symbol: process " + std::to_string(process) + " runs no program image");
    return FindImageSymbol(p->image, name.c_str());
}

void Device::ClearEventWatchers()
{
    auto&& [w, lk] = LockWorld();
    w.event_watchers.clear();
}

void Device::OnEventSet(const std::u16string& name, std::function<void()> fn)
{
    if (name.empty() || !fn)
        throw Error("cesim: OnEventSet needs an event name and a function");
    auto&& [w, lk] = LockWorld();
    w.event_watchers.emplace(name, std::move(fn));
}

// ---------------------------------------------------------------- time

void Device::Settle()
{
    auto&& [w, lk] = LockWorld();
    TestCall named(w, "Settle");
    w.Settle(lk);
}

void Device::Advance(DWORD ms)
{
    auto&& [w, lk] = LockWorld();
    TestCall named(w, "Advance");
    w.Advance(lk, ms);
}

DWORD Device::Tick() const
{
    auto&& [w, lk] = LockWorld();
    return w.Tick();
}

void Device::SetTick(DWORD tick)
{
    auto&& [w, lk] = LockWorld();
    w.tick_base = (uint32_t)(tick - (uint32_t)w.now);
}

void Device::SetSettleLimit(std::chrono::milliseconds limit)
{
    if (limit.count() <= 0)
        throw Error("cesim: SetSettleLimit needs a limit of at least 1 ms");
    auto&& [w, lk] = LockWorld();
    w.settle_limit = limit;
}

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

int Device::WorkAreaSets() const
{
    auto&& [w, lk] = LockWorld();
    return w.work_area_sets;
}

int Device::PositionsSet(HWND window) const
{
    auto&& [w, lk] = LockWorld();
    return TestWindow(w, window, "PositionsSet")->positions_set;
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

void Device::TrayMouse(HWND owner, UINT id, UINT mouse_message, POINT at)
{
    auto&& [w, lk] = LockWorld();
    w.cursor = at;
    for (auto& icon : w.tray) {
        if (icon.owner != owner || icon.id != id)
            continue;
        Window* win = w.FindWindowObject(owner);
        if (win != nullptr && (icon.flags & NIF_MESSAGE))
            w.Post(lk, win, icon.callback_message, id, mouse_message);

        return;
    }
    throw Error("cesim: TrayMouse: the tray has no icon " + std::to_string(id) + " of window " +
                std::to_string((uintptr_t)owner));
}

void Device::TapTrayIcon(HWND owner, UINT id)
{
    TrayMouse(owner, id, WM_LBUTTONDOWN);
    TrayMouse(owner, id, WM_LBUTTONUP);
}


// ---------------------------------------------------------------- tray and images

std::vector<TrayIcon> Device::Tray() const
{
    auto&& [w, lk] = LockWorld();
    return w.tray;
}

std::optional<TrayIcon> Device::FindTrayIcon(HWND owner, UINT id) const
{
    auto&& [w, lk] = LockWorld();
    for (auto& icon : w.tray) {
        if (icon.owner == owner && icon.id == id)
            return icon;
    }
    return std::nullopt;
}

ImageInfo Device::Image(HICON icon) const
{
    auto&& [w, lk] = LockWorld();
    auto it = w.gdi->icons.find((uintptr_t)icon);
    if (it == w.gdi->icons.end())
        throw Error("cesim: Image: " + std::to_string((uintptr_t)icon) + " is not an icon");
    return ImageInfo{it->second.resource_id, it->second.width, it->second.height, it->second.bits_per_pixel};
}

ImageInfo Device::Image(HBITMAP bitmap) const
{
    auto&& [w, lk] = LockWorld();
    auto it = w.gdi->bitmaps.find((uintptr_t)bitmap);
    if (it == w.gdi->bitmaps.end())
        throw Error("cesim: Image: " + std::to_string((uintptr_t)bitmap) + " is not a bitmap");
    return ImageInfo{it->second.resource_id, it->second.width, it->second.height, it->second.bits_per_pixel};
}

uint64_t Device::Calls(const std::string& api) const
{
    auto&& [w, lk] = LockWorld();
    auto it = w.calls.find(api);
    return it == w.calls.end() ? 0 : it->second;
}

namespace {

uint64_t CallsOf(const Thread* t, const std::string& api)
{
    if (api.empty()) {
        uint64_t n = 0;
        for (auto& entry : t->calls)
            n += entry.second;
        return n;
    }
    auto it = t->calls.find(api);
    return it == t->calls.end() ? 0 : it->second;
}

Thread* TestThread(World& w, DWORD id, const char* what)
{
    for (auto& t : w.threads) {
        if (t->id == id && t->real)
            return t.get();
    }
    throw Error(std::string("cesim: ") + what + ": no simulated thread has the id " + std::to_string(id));
}

}  // namespace

uint64_t Device::Calls(DWORD process, const std::string& api) const
{
    auto&& [w, lk] = LockWorld();
    uint64_t n = 0;
    for (Thread* t : TestProcess(w, process, "Calls")->threads)
        n += CallsOf(t, api);
    return n;
}

uint64_t Device::ThreadCalls(DWORD thread, const std::string& api) const
{
    auto&& [w, lk] = LockWorld();
    return CallsOf(TestThread(w, thread, "ThreadCalls"), api);
}

uint64_t Device::Wakeups(DWORD thread) const
{
    auto&& [w, lk] = LockWorld();
    return TestThread(w, thread, "Wakeups")->wakeups;
}

void Device::FailWaits(const std::u16string& event_name, int times)
{
    if (event_name.empty() || times == 0 || times < -1)
        throw Error("cesim: FailWaits needs an event name and a count of at least 1 (or -1 for always)");
    auto&& [w, lk] = LockWorld();
    w.wait_faults[event_name] = times;
}

}  // namespace cesim

namespace cesim {

// ---------------------------------------------------------------- menus and dialogs

namespace {

std::vector<MenuItemInfo> ItemsInfo(World& w, const std::vector<MenuItem>& items, int depth)
{
    std::vector<MenuItemInfo> out;
    for (const MenuItem& item : items) {
        MenuItemInfo info{item.flags, item.id, item.text, {}};
        if ((item.flags & MF_POPUP) && depth < 8) {
            auto it = w.ui->menus.find(item.id);
            if (it != w.ui->menus.end())
                info.submenu = ItemsInfo(w, it->second->items, depth + 1);
        }
        out.push_back(info);
    }
    return out;
}

TrackedMenu* InnermostOpenMenu(World& w)
{
    for (auto it = w.ui->tracked.rbegin(); it != w.ui->tracked.rend(); ++it) {
        if ((*it)->open)
            return it->get();
    }
    return nullptr;
}

void MenuAction(MenuInput input, const char* what)
{
    auto&& [w, lk] = LockWorld();
    TrackedMenu* t = InnermostOpenMenu(w);
    if (t == nullptr)
        throw Error(std::string("cesim: ") + what + ": no menu is open");
    t->inputs.push_back(input);
    w.WakeForMessages(t->thread);
}

}  // namespace

std::optional<MenuInfo> Device::Menu() const
{
    auto&& [w, lk] = LockWorld();
    TrackedMenu* t = InnermostOpenMenu(w);
    if (t == nullptr && !w.ui->tracked.empty())
        t = w.ui->tracked.back().get();
    if (t == nullptr)
        return std::nullopt;
    MenuInfo info{t->open, t->owner, t->flags, t->anchor, {}, t->drawn, 0, 0};
    for (const MenuLevel& level : t->levels)
        info.levels.push_back(MenuLevelInfo{level.menu, level.rect, ItemsInfo(w, level.items, 0), level.item_rects});
    if (DcObject* d = FindDc(w, t->dc)) {
        info.text_colour = d->text_colour;
        info.back_colour = d->back_colour;
    }
    return info;
}

int Device::OpenMenus() const
{
    auto&& [w, lk] = LockWorld();
    int n = 0;
    for (auto& t : w.ui->tracked)
        n += t->open;
    return n;
}

void Device::TapMenu(POINT at) { MenuAction(MenuInput{MenuInput::TAP, at}, "TapMenu"); }

void Device::DismissMenu() { MenuAction(MenuInput{MenuInput::DISMISS, POINT{0, 0}}, "DismissMenu"); }

void Device::RepaintMenu() { MenuAction(MenuInput{MenuInput::REPAINT, POINT{0, 0}}, "RepaintMenu"); }

std::optional<DialogInfo> Device::Dialog() const
{
    auto&& [w, lk] = LockWorld();
    for (auto it = w.ui->dialogs.rbegin(); it != w.ui->dialogs.rend(); ++it) {
        DialogState& d = **it;
        if (w.FindWindowObject(d.window) == nullptr || d.ended)
            continue;
        DialogInfo info{d.window, d.owner, d.init_param, {}};
        for (size_t i = 0; i < d.controls.size(); ++i) {
            Window* c = w.AnyWindowObject(d.controls[i]);
            info.controls.push_back(DialogControlInfo{c->handle, c->class_name, c->title, d.control_icons[i], c->id,
                                                      c->style, w.ScreenRect(c)});
        }
        return info;
    }
    return std::nullopt;
}

}  // namespace cesim
