// Menus, taps and process handles of the simulated device, where Velto's own
// tests do not pin them: placement by every alignment and on the screen,
// submenus, grayed items, choices without TPM_RETURNCMD, the point that a tap
// leaves, the end of a menu on a quit or with its owner, the system's device
// context for owner-drawn items, and processes that have ended.
#include "sim_support.h"

using simtest::DeviceTest;
using simtest::MakeWindow;
using simtest::Pump;

namespace {

class cesimMenus : public DeviceTest {
protected:
    HWND owner = nullptr;
    BOOL tracked = -1;
    DWORD pos = 0;

    // A program with tray icon 1 that tracks "Abc" (11), "Sub" holding "Xyz"
    // (12), a grayed "Off" (13) and an owner-drawn item 0x20004.
    DWORD TrackMenu(UINT flags, int x, int y)
    {
        return Run([=] {
            owner = MakeWindow(u"Owner", u"owner", WS_VISIBLE, RECT{0, 0, 10, 10});
            NOTIFYICONDATAW record{152, owner, 1, NIF_MESSAGE, WM_USER + 1, nullptr, {}};
            Shell_NotifyIconW(NIM_ADD, &record);
            HMENU menu = CreatePopupMenu(), sub = CreatePopupMenu();
            AppendMenuW(sub, MF_STRING, 12, u"Xyz");
            AppendMenuW(menu, MF_STRING, 11, u"Abc");
            AppendMenuW(menu, MF_POPUP, (UINT_PTR)sub, u"Sub");
            AppendMenuW(menu, MF_GRAYED, 13, u"Off");
            AppendMenuW(menu, MF_OWNERDRAW, 0x20004, nullptr);
            tracked = TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
            pos = GetMessagePos();
            DestroyMenu(menu);
            return Pump();
        });
    }

    RECT Level(size_t i) { return device().Menu()->levels.at(i).rect; }
};

// Four items: three of 18 pixels and the owner-drawn one of 18, 42 wide.
TEST_F(cesimMenus, MenuIsPlacedByItsFlagsAndKeptOnTheScreen)
{
    struct Case {
        UINT flags;
        POINT at;
        RECT expected;
    };
    for (const Case& c : {Case{TPM_LEFTALIGN | TPM_TOPALIGN, {100, 100}, {100, 100, 142, 172}},
                          Case{TPM_CENTERALIGN | TPM_VCENTERALIGN, {100, 100}, {79, 64, 121, 136}},
                          Case{TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {100, 100}, {58, 28, 100, 100}},
                          Case{0, {220, 300}, {198, 248, 240, 320}},
                          Case{TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {10, 10}, {0, 0, 42, 72}}}) {
        TrackMenu(TPM_RETURNCMD | c.flags, c.at.x, c.at.y);
        EXPECT_RECT(c.expected, Level(0));
        device().DismissMenu();
        device().Settle();
    }
}

TEST_F(cesimMenus, TapsOpenSubmenusChooseAndLeaveTheirPoint)
{
    DWORD seen = 0;
    simtest::CurrentHandler() = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == WM_USER + 1)
            seen = GetMessagePos();
        return false;
    };
    TrackMenu(0, 100, 100);
    device().TapMenu(POINT{110, 130});  // "Sub"
    device().TapMenu(POINT{110, 145});  // "Off" is grayed
    device().TrayMouse(owner, 1, WM_LBUTTONDOWN, POINT{201, 311});
    device().Settle();
    EXPECT_EQ((DWORD)MAKELONG(201, 311), seen);  // the menu's loop dispatched it with its own point
    ASSERT_EQ(2u, device().Menu()->levels.size());
    EXPECT_RECT((RECT{142, 118, 184, 136}), Level(1));  // to the right, level with "Sub"

    device().TapMenu(POINT{150, 120});  // "Xyz"
    device().Settle();
    EXPECT_EQ(0, device().OpenMenus());
    EXPECT_EQ(TRUE, tracked);  // without TPM_RETURNCMD the choice is posted
    EXPECT_EQ((DWORD)MAKELONG(150, 120), pos);
    auto commands = simtest::Log().Of(owner, WM_COMMAND);
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(12u, commands[0].wParam);
    EXPECT_EQ(0, device().OpenHandles(device().ProcessOf(owner), "menu"));  // submenus go with their menu
    EXPECT_THROW(device().TapMenu(POINT{0, 0}), cesim::Error);
    device().TrayMouse(owner, 1, WM_LBUTTONDOWN, POINT{7, 8});  // now through the program's own loop
    device().Settle();
    EXPECT_EQ((DWORD)MAKELONG(7, 8), seen);

    // Where the right has no room the submenu opens on the left; a tap outside dismisses.
    TrackMenu(TPM_RETURNCMD | TPM_RIGHTALIGN, 240, 100);
    device().TapMenu(POINT{220, 130});
    device().Settle();
    EXPECT_RECT((RECT{156, 118, 198, 136}), Level(1));
    device().TapMenu(POINT{5, 6});
    device().Settle();
    EXPECT_EQ(0, tracked);
    EXPECT_EQ((DWORD)MAKELONG(5, 6), pos);
}

TEST_F(cesimMenus, MenuEndsWhenItsThreadQuitsOrItsOwnerGoes)
{
    simtest::CurrentHandler() = [&](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == WM_USER + 3)
            PostQuitMessage(5);
        if (message == WM_USER + 4)
            DestroyWindow(hwnd);
        return false;
    };
    for (UINT ending : {WM_USER + 3, WM_USER + 4}) {
        DWORD program = TrackMenu(TPM_RETURNCMD, 100, 100);
        device().Post(owner, ending, 0, 0);
        device().Settle();
        EXPECT_EQ(0, device().OpenMenus());
        EXPECT_EQ(0, tracked);
        // The quit is left for the thread's message loop.
        EXPECT_EQ(ending == WM_USER + 3 ? 5u : STILL_ACTIVE, device().ExitCode(program));
    }
}

// Owner-drawn items are measured and painted into a device context of the
// system's, which the program cannot let go.
TEST_F(cesimMenus, OwnerDrawnItemsPaintIntoTheSystemsDeviceContext)
{
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
    DWORD program = TrackMenu(TPM_RETURNCMD, 0, 0);
    EXPECT_EQ(0x20004u, measured.itemID);
    EXPECT_EQ(0u, measured.itemWidth);  // what the platform proposes
    EXPECT_EQ(18u, measured.itemHeight);
    EXPECT_EQ((UINT)ODA_DRAWENTIRE, drawn.itemAction);
    EXPECT_RECT((RECT{0, 54, 42, 72}), drawn.rcItem);  // in the menu's own coordinates
    EXPECT_EQ(0, released);
    EXPECT_EQ(FALSE, deleted);
    EXPECT_EQ(0, device().OpenHandles(program, "dc"));
}

TEST_F(cesimMenus, EndedProcessesCannotBeOpened)
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
