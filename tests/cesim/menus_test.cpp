// Menus, dialogs, taps and process handles of the simulated device, where
// Velto's own tests do not pin them: placement by every alignment, menus
// that would stick out of the screen, submenus, menus without
// TPM_RETURNCMD, the point a tap leaves behind, and waits on processes.
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
    HMENU sub = nullptr;

    // A program that tracks a menu of "Abc" (command 11), a submenu "Sub"
    // holding "Xyz" (12) and a grayed "Off" (13), from its window's procedure.
    DWORD TrackMenu(UINT flags, int x, int y)
    {
        return Run([=] {
            owner = MakeWindow(u"Owner", u"owner", WS_VISIBLE, RECT{0, 0, 10, 10});
            NOTIFYICONDATAW record{152, owner, 1, NIF_MESSAGE, WM_USER + 1, nullptr, {}};
            Shell_NotifyIconW(NIM_ADD, &record);
            HMENU menu = CreatePopupMenu();
            sub = CreatePopupMenu();
            AppendMenuW(sub, MF_STRING, 12, u"Xyz");
            AppendMenuW(menu, MF_STRING, 11, u"Abc");
            AppendMenuW(menu, MF_POPUP, (UINT_PTR)sub, u"Sub");
            AppendMenuW(menu, MF_GRAYED, 13, u"Off");
            tracked = TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
            pos = GetMessagePos();
            DestroyMenu(menu);
            return Pump();
        });
    }

    cesim::MenuLevelInfo Level(size_t i) { return device().Menu()->levels.at(i); }
};

struct Alignment {
    const char* name;
    UINT flags;
    POINT at;
    RECT expected;  // three items of 18 pixels, 42 wide
};

void PrintTo(const Alignment& value, std::ostream* out) { *out << value.name; }

class cesimMenuPlacement : public cesimMenus, public ::testing::WithParamInterface<Alignment> {};

TEST_P(cesimMenuPlacement, MenuIsPlacedByItsFlagsAndKeptOnTheScreen)
{
    const Alignment& a = GetParam();
    TrackMenu(TPM_RETURNCMD | a.flags, a.at.x, a.at.y);
    ASSERT_EQ(1, device().OpenMenus());
    EXPECT_RECT(a.expected, Level(0).rect);
    EXPECT_RECT((RECT{a.expected.left, a.expected.top + 18, a.expected.right, a.expected.top + 36}),
                Level(0).item_rects.at(1));
}

INSTANTIATE_TEST_SUITE_P(
    Flags, cesimMenuPlacement,
    ::testing::Values(Alignment{"left_top", TPM_LEFTALIGN | TPM_TOPALIGN, {100, 100}, {100, 100, 142, 154}},
                      Alignment{"centre", TPM_CENTERALIGN | TPM_VCENTERALIGN, {100, 100}, {79, 73, 121, 127}},
                      Alignment{"right_bottom", TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {100, 100}, {58, 46, 100, 100}},
                      Alignment{"past_right_bottom", 0, {220, 300}, {198, 266, 240, 320}},
                      Alignment{"past_left_top", TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {10, 10}, {0, 0, 42, 54}}),
    [](const ::testing::TestParamInfo<Alignment>& info) { return std::string(info.param.name); });

TEST_F(cesimMenus, SubmenusOpenBesideTheirItemAndTapsLeaveTheirPoint)
{
    TrackMenu(TPM_RETURNCMD, 100, 100);
    device().TapMenu(POINT{110, 130});  // "Sub"
    device().TapMenu(POINT{110, 145});  // "Off" is grayed
    device().Settle();
    ASSERT_EQ(2u, device().Menu()->levels.size());
    EXPECT_EQ(sub, Level(1).menu);
    EXPECT_RECT((RECT{142, 118, 184, 136}), Level(1).rect);  // to the right, level with "Sub"
    EXPECT_EQ(1, device().OpenMenus());

    device().TapMenu(POINT{150, 120});  // "Xyz"
    device().Settle();
    EXPECT_EQ(0, device().OpenMenus());
    EXPECT_EQ(12, tracked);
    EXPECT_EQ((DWORD)MAKELONG(150, 120), pos);
    EXPECT_EQ(0, device().OpenHandles(device().ProcessOf(owner), "menu"));  // submenus go with their menu
}

TEST_F(cesimMenus, SubmenuOpensLeftWhereTheRightHasNoRoom)
{
    TrackMenu(TPM_RETURNCMD | TPM_RIGHTALIGN, 240, 100);
    device().TapMenu(POINT{220, 130});
    device().Settle();
    EXPECT_RECT((RECT{156, 118, 198, 136}), Level(1).rect);
}

TEST_F(cesimMenus, TapOutsideDismissesAndDismissLeavesNoPoint)
{
    TrackMenu(TPM_RETURNCMD, 100, 100);
    device().TapMenu(POINT{5, 6});
    device().Settle();
    EXPECT_EQ(0, tracked);
    EXPECT_EQ((DWORD)MAKELONG(5, 6), pos);
    EXPECT_FALSE(device().Menu()->open);
    EXPECT_THROW(device().TapMenu(POINT{0, 0}), cesim::Error);
    EXPECT_THROW(device().DismissMenu(), cesim::Error);
}

// Without TPM_RETURNCMD the choice reaches the owner as a posted command.
TEST_F(cesimMenus, WithoutReturnCommandTheChoiceIsPosted)
{
    TrackMenu(0, 100, 100);
    device().TapMenu(POINT{110, 105});
    device().Settle();
    EXPECT_EQ(TRUE, tracked);
    auto commands = simtest::Log().Of(owner, WM_COMMAND);
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(11u, commands[0].wParam);
    EXPECT_EQ(0, commands[0].lParam);
}

TEST_F(cesimMenus, TapsOnTrayIconsCarryTheirPoint)
{
    DWORD seen = 0;
    simtest::CurrentHandler() = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == WM_USER + 1)
            seen = GetMessagePos();
        return false;
    };
    Run([&] {
        owner = MakeWindow(u"Owner", u"owner", WS_VISIBLE, RECT{0, 0, 10, 10});
        NOTIFYICONDATAW record{152, owner, 1, NIF_MESSAGE, WM_USER + 1, nullptr, {}};
        Shell_NotifyIconW(NIM_ADD, &record);
        return Pump();
    });
    device().TrayMouse(owner, 1, WM_LBUTTONDOWN, POINT{201, 311});
    device().Post(owner, WM_USER + 2, 0, 0);  // posted later: the pen is still there
    device().Settle();
    EXPECT_EQ((DWORD)MAKELONG(201, 311), seen);
}

// The menu's loop hands the thread's posted messages on with their own
// point, and ends when the thread quits or the owner goes.
TEST_F(cesimMenus, MenuLoopDispatchesPostedMessagesAndEndsOnQuitOrOwnerGone)
{
    for (UINT ending : {WM_USER + 3, WM_USER + 4}) {
        DWORD seen = 0;
        simtest::CurrentHandler() = [&](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT*) {
            if (message == WM_USER + 1)
                seen = GetMessagePos();
            if (message == WM_USER + 3)
                PostQuitMessage(5);
            if (message == WM_USER + 4)
                DestroyWindow(hwnd);
            return false;
        };
        DWORD program = TrackMenu(TPM_RETURNCMD, 100, 100);
        device().TapMenu(POINT{110, 130});  // opens "Sub"
        device().TrayMouse(owner, 1, WM_LBUTTONDOWN, POINT{201, 311});
        device().Settle();
        EXPECT_EQ((DWORD)MAKELONG(201, 311), seen);
        EXPECT_EQ(1, device().OpenMenus());

        device().Post(owner, ending, 0, 0);
        device().Settle();
        EXPECT_EQ(0, device().OpenMenus());
        EXPECT_EQ(0, tracked);
        if (ending == WM_USER + 3) {
            EXPECT_FALSE(device().Running(program));  // the quit is left for the message loop
            EXPECT_EQ(5u, device().ExitCode(program));
        } else {
            EXPECT_TRUE(device().Running(program));
        }
    }
}

TEST_F(cesimMenus, ProcessHandlesNameTheProgramAndAreWaitedOn)
{
    DWORD gone = Run([] { return 0; }, u"gone.exe");
    DWORD other = device().AddProcess(u"other.exe");
    device().SetProgramFile(other, u"\\Program Files\\other.exe", true);
    std::u16string name;
    DWORD wait = 0, missing = 1, ended = 1;
    UINT icons = 0;
    DWORD probe = Run([&] {
        HANDLE process = OpenProcess(0, FALSE, other);
        WCHAR buffer[64];
        DWORD n = GetModuleFileNameW((HMODULE)process, buffer, 64);
        name.assign(buffer, buffer + n);
        wait = WaitForSingleObject(process, 0);
        icons = ExtractIconExW(buffer, -1, nullptr, nullptr, 0);
        missing = (DWORD)(uintptr_t)OpenProcess(0, FALSE, 0xDEAD);
        ended = (DWORD)(uintptr_t)OpenProcess(0, FALSE, gone);
        return Pump();
    });
    EXPECT_EQ(u"\\Program Files\\other.exe", name);
    EXPECT_EQ(WAIT_TIMEOUT, wait);
    EXPECT_EQ(1u, icons);
    EXPECT_EQ(0u, missing);
    EXPECT_EQ(0u, ended);
    EXPECT_EQ(1, device().OpenHandles(probe, "process"));
    EXPECT_EQ(0, device().OpenHandles(probe, "thread"));
    EXPECT_EQ(0, device().OpenHandles(probe, "event"));
}

TEST_F(cesimMenus, SystemColoursNeedTheIndexFlag)
{
    DWORD flagged = 0, bare = 1, error = 0;
    Run([&] {
        flagged = GetSysColor(0x40000000 | COLOR_HIGHLIGHT);
        bare = GetSysColor(COLOR_HIGHLIGHT);
        error = GetLastError();
        return 0;
    });
    EXPECT_EQ(cesim::SYS_HIGHLIGHT, flagged);
    EXPECT_EQ(0u, bare);
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, error);
}

// Owner-drawn items: measured and painted by the owner into a device context
// of the system's, with their 32-bit ids whole.
TEST_F(cesimMenus, OwnerDrawnItemsAreMeasuredAndPaintedByTheOwner)
{
    std::vector<MEASUREITEMSTRUCT> measured;
    std::vector<DRAWITEMSTRUCT> drawn;
    int released = -1;
    BOOL deleted = -1;
    HGDIOBJ font_before = nullptr;
    simtest::CurrentHandler() = [&](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT*) {
        if (message == WM_MEASUREITEM) {
            auto* m = (MEASUREITEMSTRUCT*)lParam;
            measured.push_back(*m);
            m->itemWidth = 50;
            m->itemHeight = 20;
        }
        if (message == WM_DRAWITEM) {
            auto* d = (DRAWITEMSTRUCT*)lParam;
            drawn.push_back(*d);
            RECT r = d->rcItem;
            FillRect(d->hDC, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
            font_before = SelectObject(d->hDC, GetStockObject(SYSTEM_FONT));
            released = ReleaseDC(owner, d->hDC);
            deleted = DeleteDC(d->hDC);
        }
        return false;
    };
    Run([&] {
        owner = MakeWindow(u"Owner", u"owner", WS_VISIBLE, RECT{0, 0, 10, 10});
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 11, u"Abc");
        AppendMenuW(menu, MF_OWNERDRAW, 0x20004, nullptr);
        tracked = TrackPopupMenuEx(menu, TPM_RETURNCMD, 0, 0, owner, nullptr);
        return Pump();
    });
    ASSERT_EQ(1u, measured.size());
    EXPECT_EQ((UINT)ODT_MENU, measured[0].CtlType);
    EXPECT_EQ(0x20004u, measured[0].itemID);
    EXPECT_EQ(0u, measured[0].itemWidth);  // what the platform proposes
    EXPECT_EQ(18u, measured[0].itemHeight);
    ASSERT_EQ(1u, drawn.size());
    EXPECT_EQ(0x20004u, drawn[0].itemID);
    EXPECT_EQ((UINT)ODA_DRAWENTIRE, drawn[0].itemAction);
    EXPECT_EQ(0u, drawn[0].itemState);
    EXPECT_RECT((RECT{0, 18, 50, 38}), drawn[0].rcItem);  // in the menu's own coordinates
    EXPECT_EQ(0, released);  // the system's device context is not the program's to let go
    EXPECT_EQ(FALSE, deleted);
    EXPECT_NE(nullptr, font_before);
    EXPECT_EQ(0, device().OpenHandles(device().ProcessOf(owner), "dc"));

    device().TapMenu(POINT{40, 30});
    device().Settle();
    ASSERT_EQ(2u, drawn.size());
    EXPECT_EQ((UINT)ODA_SELECT, drawn[1].itemAction);
    EXPECT_EQ((UINT)ODS_SELECTED, drawn[1].itemState);
    EXPECT_EQ(0x20004, tracked);
    auto ops = device().Menu()->drawn;
    ASSERT_EQ(2u, ops.size());
    EXPECT_EQ(cesim::DrawOp::FILL, ops[0].kind);
    EXPECT_RECT((RECT{0, 18, 50, 38}), ops[0].dest);
}

}  // namespace
