// The conformance fixture on the simulated Pocket PC: a fresh device for
// every case, the body as the first thread of a fresh process, the virtual
// clock moved to each deadline while it waits, other programs as the
// device's fixture processes.
#include "fixture.h"

#include <cesim/device.h>

#include <algorithm>
#include <memory>


namespace conformance {

namespace {

std::unique_ptr<cesim::Device> g_device;

cesim::Device& Dev()
{
    if (!g_device)
        throw cesim::Error("conformance: the fixture is used outside a case");
    return *g_device;
}

// A fresh device for every case.
class FreshDevice : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { g_device = std::make_unique<cesim::Device>(); }
    void OnTestEnd(const ::testing::TestInfo&) override { g_device.reset(); }
};

}  // namespace

void Prepare()
{
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshDevice);
}

bool OnCe() { return true; }

void ClockBeforeItsWrap(DWORD ms) { Dev().SetTick(0u - ms); }

void DropRegistryKey(HKEY, const WCHAR*) {}

DWORD SetEventAndWait(HANDLE ready, HANDLE wait)
{
    SetEvent(ready);
    return WaitForSingleObject(wait, INFINITE);
}

void AwaitWaiting(HANDLE ready)
{
    WaitForSingleObject(ready, INFINITE);
    Sleep(1);
}

void RunAsProgram(const std::function<void()>& body)
{
    cesim::Device& dev = Dev();
    // The program carries Velto's compiled resources, as conformance.exe does.
    DWORD pid = dev.StartFunction(
        u"program.exe",
        [&body] {
            RunBodyThenLater(body);
            return 0;
        },
        VELTO_RES);
    for (dev.Settle(); dev.Running(pid); dev.Settle()) {
        std::optional<DWORD> due = dev.NextDeadline();
        if (!due) {
            ADD_FAILURE() << "the program waits for ever";
            return;
        }
        dev.Advance(*due);
    }
}

void Tap(POINT screen)
{
    if (Dev().OpenMenus() > 0)
        Dev().TapMenu(screen);
    else
        Dev().Tap(screen);
}

void PocketPcShell() { Dev().InstallShell(); }

void TapTrayIcon(HWND owner, UINT id) { Dev().TapTrayIcon(owner, id); }

bool MenuOpen() { return Dev().OpenMenus() > 0; }

void DismissMenu() { Dev().DismissMenu(); }

RECT OpenMenuRect()
{
    std::optional<cesim::MenuInfo> menu = Dev().Menu();
    if (!menu || !menu->open)
        throw cesim::Error("conformance: OpenMenuRect: no menu is open");
    return menu->levels.back().rect;
}

// A menu's items have no border around them: the client area is the whole menu.
POINT OpenMenuClientOrigin()
{
    RECT r = OpenMenuRect();
    return POINT{r.left, r.top};
}

// The open level of menu, if index is one of its items.
static const cesim::MenuLevelInfo* OpenLevel(HMENU menu, int index)
{
    static std::optional<cesim::MenuInfo> info;
    info = Dev().Menu();
    if (info && info->open) {
        for (const cesim::MenuLevelInfo& level : info->levels) {
            if (level.menu == menu && index >= 0 && index < (int)level.item_rects.size())
                return &level;
        }
    }
    return nullptr;
}

RECT MenuItemRect(HMENU menu, int index)
{
    const cesim::MenuLevelInfo* level = OpenLevel(menu, index);
    return level != nullptr ? level->item_rects[index] : RECT{0, 0, 0, 0};
}

bool MenuItemChecked(HMENU menu, int index)
{
    const cesim::MenuLevelInfo* level = OpenLevel(menu, index);
    return level != nullptr && (level->items.at(index).flags & MF_CHECKED) != 0;
}

SIZE IconSize(HICON icon)
{
    cesim::ImageInfo image = Dev().Image(icon);
    return SIZE{image.width, image.height};
}

SIZE BitmapSize(HBITMAP bitmap)
{
    cesim::ImageInfo image = Dev().Image(bitmap);
    return SIZE{image.width, image.height};
}

RECT PaintedRect(HWND window)
{
    RECT r = {0, 0, 0, 0};
    for (const cesim::DrawOp& op : Dev().Drawn(window)) {
        if (op.kind != cesim::DrawOp::ICON && op.kind != cesim::DrawOp::BLIT)
            continue;
        bool first = r.right == r.left;
        r.left = first ? op.dest.left : std::min(r.left, op.dest.left);
        r.top = first ? op.dest.top : std::min(r.top, op.dest.top);
        r.right = first ? op.dest.right : std::max(r.right, op.dest.right);
        r.bottom = first ? op.dest.bottom : std::max(r.bottom, op.dest.bottom);
    }
    return r;
}

bool FilledWith(HWND window, HBRUSH brush)
{
    const std::vector<cesim::DrawOp> ops = Dev().Drawn(window);
    RECT c;
    GetClientRect(window, &c);
    const RECT d = ops.empty() ? RECT{0, 0, 0, 0} : ops.back().dest;
    return !ops.empty() && ops.back().kind == cesim::DrawOp::FILL && ops.back().brush == brush && d.left <= 0 &&
           d.top <= 0 && d.right >= c.right && d.bottom >= c.bottom;
}

POINT BlitSource(HWND window, HBITMAP bitmap, RECT dest)
{
    POINT source = {-1, -1};
    for (const cesim::DrawOp& op : Dev().Drawn(window)) {
        if (op.kind == cesim::DrawOp::BLIT && op.bitmap == bitmap && SameRect(op.dest, dest))
            source = op.source;
    }
    return source;
}

// ---- other programs

struct OtherProgram::Impl {};

OtherProgram::OtherProgram() : file_(u"\\Windows\\other.exe")
{
    id_ = Dev().AddProcess(u"other.exe");
    Dev().SetProgramFile(id_, file_, true);
}

OtherProgram::~OtherProgram() = default;

HWND OtherProgram::AddWindow(const TheirWindow& window)
{
    cesim::WindowOptions options;
    options.class_name = window.class_name;
    options.title = window.title;
    options.style = window.style;
    options.exstyle = window.exstyle;
    options.rect = window.rect;
    options.parent = window.parent;
    if (window.icon_size != 0)
        options.class_icon = Dev().AddIcon(id_, window.icon_size, window.icon_size);
    return Dev().AddWindow(id_, options);
}

void OtherProgram::Destroy(HWND window) { Dev().DestroyWindow(window); }

RECT OtherProgram::WorkArea() { return Dev().WorkArea(); }

std::vector<Received> OtherProgram::ReceivedBy(HWND window, UINT message)
{
    std::vector<Received> out;
    for (const cesim::ReceivedMessage& m : Dev().Received(window)) {
        if (m.message == message)
            out.push_back(Received{m.message, m.wParam, m.lParam, m.sent});
    }
    return out;
}

}  // namespace conformance
