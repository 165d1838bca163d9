// The simulated device's own side of its window manager and menus: the
// shell fixture, the desktop window and work area that tests set, fixture
// windows and what they record, the user's foreground choices, the system's
// device context of an open menu, and processes that have ended. What the
// platform does is in the conformance suite (tests/conformance).
#include "sim_support.h"

using simtest::DeviceTest;
using simtest::Log;
using simtest::MakeWindow;
using simtest::Pump;

namespace {

class cesimWindows : public DeviceTest {};

// What an EnumWindows callback saw.
struct Visits {
    std::vector<HWND> seen;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param)
{
    ((Visits*)param)->seen.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> Handles(std::initializer_list<HWND> list) { return std::vector<HWND>(list); }

TEST_F(cesimWindows, WithoutAShellTheDesktopWindowIsTheScreen)
{
    HWND desktop = nullptr, anyWindow = (HWND)1;
    RECT r{};
    BOOL isWindow = FALSE;
    Visits all;
    Run([&] {
        desktop = GetDesktopWindow();
        GetWindowRect(desktop, &r);
        isWindow = IsWindow(desktop);
        anyWindow = FindWindowW(nullptr, nullptr);
        EnumWindows(Visit, (LPARAM)&all);
        return 0;
    });
    EXPECT_NE(nullptr, desktop);
    EXPECT_EQ(device().DesktopWindow(), desktop);
    EXPECT_TRUE(isWindow);
    EXPECT_RECT((RECT{0, 0, 240, 320}), r);
    EXPECT_EQ(nullptr, anyWindow);
    EXPECT_TRUE(all.seen.empty());
    EXPECT_TRUE(device().TopLevel().empty());
}


TEST_F(cesimWindows, TheShellsDesktopIsTheDesktopWindowAndFollowsSetWindowPos)
{
    cesim::Shell shell = device().InstallShell();
    EXPECT_EQ(u"DesktopExplorerWindow", device().ClassName(shell.desktop));
    EXPECT_EQ(u"Desktop", device().Title(shell.desktop));
    EXPECT_EQ(u"HHTaskBar", device().ClassName(shell.taskbar));
    EXPECT_EQ(u"", device().Title(shell.taskbar));
    EXPECT_TRUE(device().ExStyle(shell.taskbar) & WS_EX_TOPMOST);
    EXPECT_EQ(Handles({shell.taskbar, shell.desktop}), device().TopLevel());
    EXPECT_RECT((RECT{0, 294, 240, 320}), device().Rect(shell.taskbar));

    HWND desktop = nullptr, taskbar = nullptr;
    RECT before{}, after{};
    Run([&] {
        desktop = GetDesktopWindow();
        taskbar = FindWindowW(u"HHTaskBar", u"");
        GetWindowRect(desktop, &before);
        SetWindowPos(desktop, HWND_BOTTOM, 0, 26, 240, 294, SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(GetDesktopWindow(), &after);
        return 0;
    });
    EXPECT_EQ(shell.desktop, desktop);
    EXPECT_EQ(shell.taskbar, taskbar);
    EXPECT_RECT((RECT{0, 0, 240, 294}), before);
    EXPECT_RECT((RECT{0, 26, 240, 320}), after);
    EXPECT_RECT((RECT{0, 26, 240, 320}), device().Rect(device().DesktopWindow()));
    EXPECT_EQ(shell.desktop, device().DesktopWindow());
}


TEST_F(cesimWindows, ShellVariants)
{
    cesim::Shell shell = device().InstallShell(cesim::ShellNames::TOP_MENU, cesim::TaskbarEdge::TOP);
    EXPECT_EQ(u"TOP MENU", device().ClassName(shell.desktop));
    EXPECT_EQ(u"TOP MENU", device().Title(shell.desktop));
    EXPECT_RECT((RECT{0, 26, 240, 320}), device().Rect(shell.desktop));
    EXPECT_RECT((RECT{0, 0, 240, 26}), device().Rect(shell.taskbar));
    EXPECT_RECT((RECT{0, 26, 240, 320}), device().WorkArea());
    EXPECT_EQ(shell.process, device().ProcessOf(shell.desktop));
    EXPECT_EQ(shell.process, device().ProcessOf(shell.taskbar));
}


TEST_F(cesimWindows, TheDesktopWindowCanBeChangedAndFallsBackToTheScreen)
{
    HWND screen = device().DesktopWindow();
    cesim::Shell shell = device().InstallShell();
    DWORD other = device().AddProcess(u"other.exe");
    HWND mine = AddFixtureWindow(other, u"MyDesk", u"desk");
    HWND seen[3] = {};
    DWORD pid = Run([&] { return Pump(); });
    auto desktopNow = [&] {
        HWND d = nullptr;
        device().RunInProcess(pid, [&] {
            d = GetDesktopWindow();
            return 0;
        });
        return d;
    };
    device().SetShellDesktop(mine);
    seen[0] = desktopNow();
    device().SetShellDesktop(nullptr);
    seen[1] = desktopNow();
    device().SetShellDesktop(shell.desktop);
    device().DestroyWindow(shell.desktop);
    seen[2] = desktopNow();
    EXPECT_EQ(mine, seen[0]);
    EXPECT_EQ(screen, seen[1]);
    EXPECT_EQ(screen, seen[2]);
    EXPECT_EQ(screen, device().DesktopWindow());
}


TEST_F(cesimWindows, WorkAreaDefaultsAndFollowsTheShell)
{
    EXPECT_RECT((RECT{0, 0, 240, 320}), device().WorkArea());
    RECT seen[2]{};
    BOOL ok = FALSE;
    DWORD pid = Run([&] {
        ok = SystemParametersInfoW(SPI_GETWORKAREA, 0, &seen[0], 0);
        return Pump();
    });
    device().InstallShell();
    device().RunInProcess(pid, [&] { return (DWORD)SystemParametersInfoW(SPI_GETWORKAREA, 0, &seen[1], 0); });
    EXPECT_TRUE(ok);
    EXPECT_RECT((RECT{0, 0, 240, 320}), seen[0]);
    EXPECT_RECT((RECT{0, 0, 240, 294}), seen[1]);
    EXPECT_EQ(0, device().WorkAreaSets());
}


// The device counts the program's sets of the work area; the test's own set
// is not one of them.
TEST_F(cesimWindows, TheDeviceCountsTheProgramsWorkAreaSets)
{
    Run([&] {
        RECT area{0, 26, 240, 320};
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, SPIF_UPDATEINIFILE);
        return 0;
    });
    EXPECT_EQ(1, device().WorkAreaSets());

    device().SetWorkArea(RECT{0, 0, 200, 200});
    RECT fromTest{};
    Run([&] {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &fromTest, 0);
        return 0;
    });
    EXPECT_RECT((RECT{0, 0, 200, 200}), fromTest);
    EXPECT_EQ(1, device().WorkAreaSets());
}


TEST_F(cesimWindows, FixtureChildrenArePlacedInTheirParent)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND parent = AddFixtureWindow(other, u"P", u"p", WS_VISIBLE, RECT{0, 26, 240, 320});
    HWND child = AddFixtureWindow(other, u"C", u"c", WS_VISIBLE, RECT{10, 10, 50, 30}, parent);
    EXPECT_RECT((RECT{10, 36, 50, 56}), device().Rect(child));
    EXPECT_EQ(parent, device().Parent(child));
    EXPECT_TRUE(device().Style(child) & WS_CHILD);
    std::vector<HWND> mine = device().WindowsOf(other);
    EXPECT_EQ(2u, mine.size());
}


TEST_F(cesimWindows, FixtureWindowsRecordSentMessagesAtOnceAndPostedOnesAtSettle)
{
    device().SetTick(5000);
    DWORD other = device().AddProcess(u"other.exe");
    HWND f = AddFixtureWindow(other, u"F", u"f");
    LRESULT sendResult = -1;
    size_t seenDuringRun = 99;
    BOOL posted = FALSE;
    Run([&] {
        posted = PostMessageW(f, WM_USER + 1, 1, 2);
        sendResult = SendMessageW(f, WM_USER + 2, 3, 4);
        Sleep(100);
        return 0;
    });
    seenDuringRun = device().Received(f).size();
    device().Advance(100);
    auto got = device().Received(f);
    EXPECT_TRUE(posted);
    EXPECT_EQ(0, sendResult);
    EXPECT_EQ(2u, seenDuringRun);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ((UINT)WM_USER + 2, got[0].message);
    EXPECT_TRUE(got[0].sent);
    EXPECT_EQ(3u, got[0].wParam);
    EXPECT_EQ(4, got[0].lParam);
    EXPECT_EQ((UINT)WM_USER + 1, got[1].message);
    EXPECT_FALSE(got[1].sent);
    EXPECT_EQ(1u, got[1].wParam);
    EXPECT_EQ(2, got[1].lParam);
    EXPECT_EQ(5000u, got[1].tick);

    device().Post(f, WM_USER + 3, 5, 6);
    EXPECT_EQ(2u, device().Received(f).size());  // not before the device settles
    device().Settle();
    got = device().Received(f);
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ((UINT)WM_USER + 3, got[2].message);
    EXPECT_FALSE(got[2].sent);
    EXPECT_EQ(5100u, got[2].tick);
}


TEST_F(cesimWindows, FixtureWindowsCloseOrIgnoreWmClose)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND closes = AddFixtureWindow(other, u"Closes", u"c");
    HWND inner = AddFixtureWindow(other, u"Inner", u"i", WS_VISIBLE, RECT{0, 0, 5, 5}, closes);
    HWND stubborn = AddFixtureWindow(other, u"Stubborn", u"s", WS_VISIBLE, RECT{0, 0, 240, 294}, nullptr, 0, false);
    HWND postedClose = AddFixtureWindow(other, u"Posted", u"p");
    BOOL alive[3] = {TRUE, FALSE, TRUE};
    Run([&] {
        SendMessageW(closes, WM_CLOSE, 0, 0);
        alive[0] = IsWindow(closes);
        SendMessageW(stubborn, WM_CLOSE, 0, 0);
        alive[1] = IsWindow(stubborn);
        PostMessageW(postedClose, WM_CLOSE, 0, 0);
        alive[2] = IsWindow(postedClose);  // not yet delivered
        return 0;
    });
    EXPECT_FALSE(alive[0]);
    EXPECT_FALSE(device().IsAlive(closes));
    EXPECT_FALSE(device().IsAlive(inner));
    EXPECT_TRUE(alive[1]);
    EXPECT_TRUE(device().IsAlive(stubborn));
    ASSERT_EQ(1u, device().Received(stubborn).size());
    EXPECT_EQ((UINT)WM_CLOSE, device().Received(stubborn)[0].message);
    EXPECT_TRUE(alive[2]);
    EXPECT_FALSE(device().IsAlive(postedClose));
    EXPECT_EQ(Handles({stubborn}), device().TopLevel());
}

// The user brings a window to the front, or leaves none there; the taskbar
// and hidden windows never take it.
TEST_F(cesimWindows, TheUserChoosesTheForegroundWindow)
{
    cesim::Shell shell = device().InstallShell();
    DWORD other = device().AddProcess(u"other.exe");
    HWND hidden = AddFixtureWindow(other, u"H", u"h", 0);
    EXPECT_NE(std::string::npos, simtest::ErrorOf([&] { device().SetForeground(hidden); }).find("hidden"));
    device().SetForeground(shell.desktop);
    EXPECT_EQ(shell.desktop, device().Foreground());
    device().ShowWindow(shell.desktop, false);
    EXPECT_EQ(nullptr, device().Foreground());
    EXPECT_FALSE(device().Visible(shell.desktop));
    device().ShowWindow(shell.desktop, true);
    device().SetForeground(shell.desktop);
    device().SetForeground(nullptr);
    EXPECT_EQ(nullptr, device().Foreground());
    EXPECT_NE(std::string::npos, simtest::ErrorOf([&] { device().SetForeground(shell.taskbar); }).find("never"));
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
    EXPECT_EQ(0x20004u, measured.itemID);
    EXPECT_EQ(0u, measured.itemWidth);  // what the platform proposes
    EXPECT_EQ(18u, measured.itemHeight);
    EXPECT_EQ((UINT)ODA_DRAWENTIRE, drawn.itemAction);
    EXPECT_RECT((RECT{0, 54, 42, 72}), drawn.rcItem);  // in the menu's own coordinates
    EXPECT_EQ(0, released);
    EXPECT_EQ(FALSE, deleted);
    EXPECT_EQ(0, device().OpenHandles(program, "dc"));
}

TEST_F(cesimWindows, EndedProcessesCannotBeOpened)
{
    DWORD gone = Run([] { return 0; }, u"gone.exe");
    DWORD other = device().AddProcess(u"other.exe");
    HANDLE opened = nullptr, ended = (HANDLE)1;
    DWORD colour = 1;
    Run([&] {
        opened = OpenProcess(0, FALSE, other);
        ended = OpenProcess(0, FALSE, gone);
        colour = GetSysColor(COLOR_MENU);  // without the index flag
        return Pump();
    });
    EXPECT_NE(nullptr, opened);
    EXPECT_EQ(nullptr, ended);
    EXPECT_EQ(0u, colour);
}

}  // namespace
