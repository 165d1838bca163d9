// The simulated device's own side of its window manager and menus: the
// shell fixture, the desktop window and work area that tests set, fixture
// windows and what they record, the user's foreground choices, the system's
// device context of an open menu, and processes that have ended. What the
// platform does is in the conformance suite (tests/conformance).
#include "sim_support.h"

#include <tuple>

using simtest::DeviceTest;
using simtest::Log;
using simtest::MakeWindow;
using simtest::Pump;

namespace {

class cesimWindows : public DeviceTest {
protected:
    // What a fixture window received, oldest first.
    using Record = std::tuple<UINT, bool, WPARAM, LPARAM, DWORD>;  // message, sent, wParam, lParam, tick
    std::vector<Record> ReceivedBy(HWND window)
    {
        std::vector<Record> out;
        for (const cesim::ReceivedMessage& m : device().Received(window))
            out.emplace_back(m.message, m.sent, m.wParam, m.lParam, m.tick);
        return out;
    }
};

TEST_F(cesimWindows, WithoutAShellTheDesktopWindowIsTheScreen)
{
    HWND desktop = nullptr;
    RunToEnd([&] {
        desktop = GetDesktopWindow();
        EXPECT_TRUE(IsWindow(desktop));
        RECT r{}, area{};
        GetWindowRect(desktop, &r);
        EXPECT_RECT((RECT{0, 0, 240, 320}), r);
        EXPECT_EQ(nullptr, FindWindowW(nullptr, nullptr));
        int enumerated = 0;
        EnumWindows(
            [](HWND, LPARAM count) -> BOOL {
                ++*(int*)count;
                return TRUE;
            },
            (LPARAM)&enumerated);
        EXPECT_EQ(0, enumerated);
        EXPECT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
        EXPECT_RECT((RECT{0, 0, 240, 320}), area);
    });
    EXPECT_NE(nullptr, desktop);
    EXPECT_EQ(device().DesktopWindow(), desktop);
    EXPECT_TRUE(device().TopLevel().empty());
    EXPECT_RECT((RECT{0, 0, 240, 320}), device().WorkArea());
}

// The shell fixture in each of its forms: its two windows, where they are,
// the work area it leaves, and the desktop window that follows SetWindowPos.
TEST_F(cesimWindows, TheShellsWindowsAndItsDesktopWindow)
{
    const struct {
        cesim::ShellNames names;
        cesim::TaskbarEdge edge;
        const char16_t* desktopClass;
        const char16_t* desktopTitle;
        RECT desktop, taskbar;
        RECT moved;  // where the program moves the desktop window
    } rows[] = {
        {cesim::ShellNames::STANDARD, cesim::TaskbarEdge::BOTTOM, u"DesktopExplorerWindow", u"Desktop",
         {0, 0, 240, 294}, {0, 294, 240, 320}, {0, 26, 240, 320}},
        {cesim::ShellNames::TOP_MENU, cesim::TaskbarEdge::TOP, u"TOP MENU", u"TOP MENU",
         {0, 26, 240, 320}, {0, 0, 240, 26}, {0, 0, 240, 294}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(cesim::Utf8(row.desktopClass));
        FreshDevice();
        DWORD pid = Run([] { return Pump(); });  // the program runs before the shell comes
        cesim::Shell shell = device().InstallShell(row.names, row.edge);
        EXPECT_EQ(row.desktopClass, device().ClassName(shell.desktop));
        EXPECT_EQ(row.desktopTitle, device().Title(shell.desktop));
        EXPECT_EQ(u"HHTaskBar", device().ClassName(shell.taskbar));
        EXPECT_EQ(u"", device().Title(shell.taskbar));
        EXPECT_TRUE(device().ExStyle(shell.taskbar) & WS_EX_TOPMOST);
        EXPECT_EQ((std::vector<HWND>{shell.taskbar, shell.desktop}), device().TopLevel());
        EXPECT_EQ(shell.process, device().ProcessOf(shell.desktop));
        EXPECT_EQ(shell.process, device().ProcessOf(shell.taskbar));
        EXPECT_RECT(row.taskbar, device().Rect(shell.taskbar));
        EXPECT_RECT(row.desktop, device().Rect(shell.desktop));
        EXPECT_RECT(row.desktop, device().WorkArea());

        device().RunInProcess(pid, [&] {  // checks made in the program, which RunInProcess waits for
            HWND desktop = GetDesktopWindow();
            EXPECT_EQ(shell.desktop, desktop);
            EXPECT_EQ(shell.taskbar, FindWindowW(u"HHTaskBar", u""));
            RECT r{}, area{};
            GetWindowRect(desktop, &r);
            EXPECT_RECT(row.desktop, r);
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
            EXPECT_RECT(row.desktop, area);
            const RECT& to = row.moved;
            SetWindowPos(desktop, HWND_BOTTOM, to.left, to.top, to.right - to.left, to.bottom - to.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            GetWindowRect(GetDesktopWindow(), &r);
            EXPECT_RECT(row.moved, r);
            return 0u;
        });
        EXPECT_RECT(row.moved, device().Rect(device().DesktopWindow()));
        EXPECT_EQ(shell.desktop, device().DesktopWindow());
    }
}

TEST_F(cesimWindows, TheDesktopWindowCanBeChangedAndFallsBackToTheScreen)
{
    HWND screen = device().DesktopWindow();
    cesim::Shell shell = device().InstallShell();
    DWORD other = device().AddProcess(u"other.exe");
    HWND mine = device().AddWindow(other, {u"MyDesk", u"desk"});
    std::vector<HWND> seen;
    DWORD pid = Run([&] { return Pump(); });
    auto readDesktop = [&] {
        device().RunInProcess(pid, [&] {
            seen.push_back(GetDesktopWindow());
            return 0u;
        });
    };
    device().SetShellDesktop(mine);
    readDesktop();
    device().SetShellDesktop(nullptr);
    readDesktop();
    device().SetShellDesktop(shell.desktop);
    device().DestroyWindow(shell.desktop);
    readDesktop();
    EXPECT_EQ((std::vector<HWND>{mine, screen, screen}), seen);
    EXPECT_EQ(screen, device().DesktopWindow());
}

// The program and the test set and read one work area.
TEST_F(cesimWindows, TheProgramAndTheTestShareTheWorkArea)
{
    RunToEnd([] {
        RECT area{0, 26, 240, 320};
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, SPIF_UPDATEINIFILE);
    });
    EXPECT_RECT((RECT{0, 26, 240, 320}), device().WorkArea());
    device().SetWorkArea(RECT{0, 0, 200, 200});
    RunToEnd([] {
        RECT area{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        EXPECT_RECT((RECT{0, 0, 200, 200}), area);
    });
}

TEST_F(cesimWindows, FixtureWindowsRecordSentMessagesAtOnceAndPostedOnesAtSettle)
{
    device().SetTick(5000);
    DWORD other = device().AddProcess(u"other.exe");
    HWND f = device().AddWindow(other, {u"F", u"f"});
    RunToEnd([&] {
        EXPECT_TRUE(PostMessageW(f, WM_USER + 1, 1, 2));
        EXPECT_EQ(0, SendMessageW(f, WM_USER + 2, 3, 4));
    });
    // The sent one first: the posted one came when the device settled.
    EXPECT_EQ((std::vector<Record>{{WM_USER + 2, true, 3, 4, 5000}, {WM_USER + 1, false, 1, 2, 5000}}),
              ReceivedBy(f));

    device().Advance(100);
    device().Post(f, WM_USER + 3, 5, 6);
    EXPECT_EQ(2u, device().Received(f).size());  // not before the device settles
    device().Settle();
    EXPECT_EQ(Record(WM_USER + 3, false, 5, 6, 5100), ReceivedBy(f).back());
}

// A fixture's child is placed in its parent and goes with it.
TEST_F(cesimWindows, FixtureWindowsCloseOrIgnoreWmClose)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND closes = device().AddWindow(other, {u"Closes", u"c", WS_VISIBLE, 0, {0, 26, 240, 320}});
    HWND inner = device().AddWindow(other, {u"Inner", u"i", WS_VISIBLE, 0, {10, 10, 50, 30}, closes});
    HWND stubborn = device().AddWindow(other, {u"Stubborn", u"s", WS_VISIBLE, 0, {0, 0, 240, 294}, nullptr, false});
    HWND postedClose = device().AddWindow(other, {u"Posted", u"p"});
    EXPECT_RECT((RECT{10, 36, 50, 56}), device().Rect(inner));
    EXPECT_EQ(closes, device().Parent(inner));
    EXPECT_TRUE(device().Style(inner) & WS_CHILD);
    EXPECT_EQ(4u, device().WindowsOf(other).size());
    RunToEnd([&] {
        SendMessageW(closes, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(closes));
        SendMessageW(stubborn, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(stubborn));
        PostMessageW(postedClose, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(postedClose));  // not yet delivered
    });
    EXPECT_FALSE(device().IsAlive(closes));
    EXPECT_FALSE(device().IsAlive(inner));
    EXPECT_TRUE(device().IsAlive(stubborn));
    EXPECT_EQ((std::vector<Record>{{WM_CLOSE, true, 0, 0, 0}}), ReceivedBy(stubborn));
    EXPECT_FALSE(device().IsAlive(postedClose));
    EXPECT_EQ(std::vector<HWND>{stubborn}, device().TopLevel());
}

// The user brings a window to the front, or leaves none there; the taskbar
// and hidden windows never take it.
TEST_F(cesimWindows, TheUserChoosesTheForegroundWindow)
{
    cesim::Shell shell = device().InstallShell();
    DWORD other = device().AddProcess(u"other.exe");
    HWND hidden = device().AddWindow(other, {u"H", u"h", 0});
    simtest::ExpectErrorSays([&] { device().SetForeground(hidden); }, {"hidden"});
    device().SetForeground(shell.desktop);
    EXPECT_EQ(shell.desktop, device().Foreground());
    device().ShowWindow(shell.desktop, false);
    EXPECT_EQ(nullptr, device().Foreground());
    EXPECT_FALSE(device().Visible(shell.desktop));
    device().ShowWindow(shell.desktop, true);
    device().SetForeground(shell.desktop);
    device().SetForeground(nullptr);
    EXPECT_EQ(nullptr, device().Foreground());
    simtest::ExpectErrorSays([&] { device().SetForeground(shell.taskbar); }, {"never"});
}

// Owner-drawn items are measured and painted into a device context of the
// system's, which the program cannot let go. The program has tray icon 1
// and tracks "Abc" (11), "Sub" holding "Xyz" (12), a grayed "Off" (13) and
// an owner-drawn item 0x20004.
TEST_F(cesimWindows, OwnerDrawnMenuItemsPaintIntoTheSystemsDeviceContext)
{
    static HWND owner;
    owner = nullptr;
    MEASUREITEMSTRUCT measured{};
    DRAWITEMSTRUCT drawn{};
    int released = -1;
    BOOL deleted = -1;
    simtest::CurrentHandler() = [&](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT*) {
        if (message == WM_MEASUREITEM)
            measured = *(MEASUREITEMSTRUCT*)lParam;
        if (message == WM_DRAWITEM) {
            drawn = *(DRAWITEMSTRUCT*)lParam;
            SelectObject(drawn.hDC, GetStockObject(SYSTEM_FONT));
            released = ReleaseDC(owner, drawn.hDC);
            deleted = DeleteDC(drawn.hDC);
        }
        return false;
    };
    DWORD program = Run([] {
        owner = MakeWindow(u"Owner", u"owner", WS_VISIBLE, RECT{0, 0, 10, 10});
        NOTIFYICONDATAW record{152, owner, 1, NIF_MESSAGE, WM_USER + 1, nullptr, {}};
        Shell_NotifyIconW(NIM_ADD, &record);
        HMENU menu = CreatePopupMenu(), sub = CreatePopupMenu();
        AppendMenuW(sub, MF_STRING, 12, u"Xyz");
        AppendMenuW(menu, MF_STRING, 11, u"Abc");
        AppendMenuW(menu, MF_POPUP, (UINT_PTR)sub, u"Sub");
        AppendMenuW(menu, MF_GRAYED, 13, u"Off");
        AppendMenuW(menu, MF_OWNERDRAW, 0x20004, nullptr);
        TrackPopupMenuEx(menu, TPM_RETURNCMD, 0, 0, owner, nullptr);
        DestroyMenu(menu);
        return Pump();
    });
    EXPECT_EQ(0u, measured.itemWidth);  // what the platform proposes
    EXPECT_EQ(18u, measured.itemHeight);
    EXPECT_RECT((RECT{0, 54, 42, 72}), drawn.rcItem);  // in the menu's own coordinates
    EXPECT_EQ(0, released);
    EXPECT_EQ(FALSE, deleted);
    EXPECT_EQ(0, device().OpenHandles(program, "dc"));
}

TEST_F(cesimWindows, EndedProcessesCannotBeOpened)
{
    DWORD gone = Run([] { return 0; }, u"gone.exe");
    DWORD other = device().AddProcess(u"other.exe");
    RunToEnd([&] {
        EXPECT_NE(nullptr, OpenProcess(0, FALSE, other));
        EXPECT_EQ(nullptr, OpenProcess(0, FALSE, gone));
        EXPECT_EQ(0u, GetSysColor(COLOR_MENU));  // without the index flag
    });
}

}  // namespace
