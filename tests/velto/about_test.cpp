// The About box: opened from the task menu, over the desktop window, closed
// by OK, cancel or the OK proxy.
#include "velto/velto_test.h"

using namespace velto_test;

namespace {

class AboutTest : public MenuTest {
protected:
    HWND OpenAbout()
    {
        Choose({u"Settings", u"About Velto"});
        auto dialog = device.Dialog();
        EXPECT_TRUE(dialog.has_value());
        return dialog ? dialog->window : nullptr;
    }
};

// The taskbar's edge, and a work area of the shell's own that differs from
// the desktop window's rectangle (right 0: the layout's own).
struct AboutLayout {
    const char* name;
    cesim::TaskbarEdge edge;
    RECT work_area;
};

void PrintTo(const AboutLayout& layout, std::ostream* out) { *out << layout.name; }

class AboutLayoutTest : public AboutTest, public ::testing::WithParamInterface<AboutLayout> {};

TEST_P(AboutLayoutTest, BoxCoversTheDesktopWindowEachTimeItOpens)
{
    cesim::Shell shell = device.InstallShell(cesim::ShellNames::STANDARD, GetParam().edge);
    if (GetParam().work_area.right != 0)
        device.SetWorkArea(GetParam().work_area);
    Start();
    device.SetWorkArea(RECT{0, 40, 240, 280});  // the desktop window's rectangle counts, not the work area
    const RECT desktop = device.Rect(shell.desktop);
    for (UINT closing : {(UINT)WM_COMMAND, (UINT)WM_CLOSE}) {
        HWND box = OpenAbout();
        EXPECT_EQ(desktop, device.Rect(box));
        EXPECT_TRUE(device.Visible(box));
        EXPECT_EQ(box, device.Foreground());
        EXPECT_EQ((DWORD)(WS_POPUP | WS_VISIBLE | DS_SETFONT), device.Style(box));  // the template's style, shown
        EXPECT_EQ((DWORD)WS_EX_CAPTIONOKBTN, device.ExStyle(box));
        EXPECT_EQ(main, device.Dialog()->owner);
        EXPECT_TRUE(device.Style(main) & WS_DISABLED);
        auto controls = device.Dialog()->controls;
        ASSERT_EQ(3u, controls.size());
        EXPECT_EQ(ICON_APP, controls[0].icon_id);
        EXPECT_EQ(u"Velto Version 0.9 build 7", controls[1].text);
        EXPECT_EQ(u"Copyright (C) 2026 Zav", controls[2].text);
        // (11, 17) in dialog units of the 8-point font, from the box's corner.
        EXPECT_EQ((RECT{desktop.left + 16, desktop.top + 27, desktop.left + 46, desktop.top + 60}), controls[0].rect);

        // OK closes it; so does closing it as a window, which cancels it.
        device.Post(box, closing, closing == WM_COMMAND ? IDOK : 0, 0);
        device.Settle();
        EXPECT_FALSE(device.IsAlive(box));
        EXPECT_FALSE(device.Style(main) & WS_DISABLED);
    }
}

INSTANTIATE_TEST_SUITE_P(Taskbar, AboutLayoutTest,
                         ::testing::Values(AboutLayout{"bottom", cesim::TaskbarEdge::BOTTOM, RECT{}},
                                           AboutLayout{"top", cesim::TaskbarEdge::TOP, RECT{}},
                                           AboutLayout{"work_area_apart", cesim::TaskbarEdge::BOTTOM,
                                                       RECT{0, 30, 200, 260}}), RowName);

// Only the low word of the command counts: OK and cancel close the box, whatever the high word.
TEST_F(AboutTest, OnlyOkAndCancelCloseTheBox)
{
    device.InstallShell();
    Start();
    HWND box = OpenAbout();
    for (WPARAM other : {0x0u, 0x3u, 0x10000003u, 0x00010000u}) {
        device.Post(box, WM_COMMAND, other, 0);
        device.Settle();
        EXPECT_TRUE(device.IsAlive(box)) << other;
    }
    for (WPARAM closing : {0x1u, 0x2u, 0x10000001u, 0x00050002u}) {
        device.Post(box, WM_COMMAND, closing, 0);
        device.Settle();
        EXPECT_FALSE(device.IsAlive(box)) << closing;
        EXPECT_FALSE(device.Dialog().has_value());
        box = OpenAbout();
    }
}

// While the box is open the program's other messages keep coming: the
// monitor reports the box, which carries the OK button, and the OK proxy closes it.
TEST_F(AboutTest, TrayTapsAndReportsAreHandledWhileTheBoxIsOpen)
{
    device.InstallShell();
    device.RegSetDword(SETTINGS_KEY, u"OkButton", 1);
    Start();
    HWND box = OpenAbout();
    device.Advance(MONITOR_PERIOD);  // the monitor reports the box and its OK button
    EXPECT_EQ((std::vector<UINT>{0, 3}), TrayIds());
    OpenMenu();  // a tap on the tray icon opens the menu over the box
    Dismiss();
    device.SetForeground(box);
    TapTray(TRAY_ID_OK);  // the monitor sees the box again; the OK icon closes it
    EXPECT_FALSE(device.IsAlive(box));
    EXPECT_FALSE(device.Style(main) & WS_DISABLED);
}

// The button in the taskbar is the same OK proxy.
TEST_F(AboutTest, TheButtonInTheTaskbarClosesTheBox)
{
    device.InstallShell();
    Start();
    HWND box = OpenAbout();
    PauseBetweenTaps();  // the monitor reports the box meanwhile
    TapButton();
    EXPECT_FALSE(device.IsAlive(box));
}

}  // namespace
