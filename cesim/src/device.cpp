// The test side of the device: the device itself and the fixtures a test sets up.
#include "device_side.h"
#include "gdi.h"

namespace cesim {

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

}  // namespace cesim
