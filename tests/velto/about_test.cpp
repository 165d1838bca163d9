// The About box: opened from the task menu, over the desktop window, closed
// by OK, cancel or the OK proxy.
#include "velto/menu_test.h"

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

class AboutLayoutTest : public AboutTest, public ::testing::WithParamInterface<cesim::TaskbarEdge> {};

TEST_P(AboutLayoutTest, BoxCoversTheDesktopWindowWithItsOkButton)
{
    cesim::Shell shell = device.InstallShell(cesim::ShellNames::STANDARD, GetParam());
    StartVelto();
    const RECT desktop = device.Rect(shell.desktop);

    for (int opening = 0; opening < 2; ++opening) {
        HWND box = OpenAbout();
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(desktop, device.Rect(box));
        EXPECT_TRUE(device.Visible(box));
        EXPECT_EQ(box, device.Foreground());
        EXPECT_EQ((DWORD)WS_EX_CAPTIONOKBTN, device.ExStyle(box));
        EXPECT_EQ((DWORD)(WS_POPUP | DS_SETFONT | WS_VISIBLE), device.Style(box));
        EXPECT_EQ(main, device.Dialog()->owner);
        EXPECT_TRUE(device.Style(main) & WS_DISABLED);

        auto controls = device.Dialog()->controls;
        ASSERT_EQ(3u, controls.size());
        EXPECT_EQ(101, controls[0].icon_id);
        EXPECT_EQ(u"Velto Version 0.9 build 7", controls[1].text);
        EXPECT_EQ(u"Copyright (C) 2026 Zav", controls[2].text);
        for (auto& control : controls) {
            EXPECT_EQ(0xFFFF, control.id);
            EXPECT_EQ(box, device.Parent(control.window));
        }
        // (11, 17) in dialog units of the 8-point font, from the box's corner.
        EXPECT_EQ(desktop.left + 16, controls[0].rect.left);
        EXPECT_EQ(desktop.top + 27, controls[0].rect.top);

        // Closed by OK, and the second time as a window: that cancels it.
        if (opening == 0)
            device.Post(box, WM_COMMAND, IDOK, 0);
        else
            device.Post(box, WM_CLOSE, 0, 0);
        device.Settle();
        EXPECT_FALSE(device.IsAlive(box));
        EXPECT_FALSE(device.Style(main) & WS_DISABLED);
    }
}

INSTANTIATE_TEST_SUITE_P(Taskbar, AboutLayoutTest,
                         ::testing::Values(cesim::TaskbarEdge::BOTTOM, cesim::TaskbarEdge::TOP),
                         [](const ::testing::TestParamInfo<cesim::TaskbarEdge>& info) {
                             return std::string(info.param == cesim::TaskbarEdge::TOP ? "top" : "bottom");
                         });

// Only the low word of the command counts: OK and cancel close the box, whatever the high word.
struct Command {
    const char* name;
    WPARAM wParam;
    bool closes;
};

void PrintTo(const Command& value, std::ostream* out) { *out << value.name; }

class AboutCommandTest : public AboutTest, public ::testing::WithParamInterface<Command> {};

TEST_P(AboutCommandTest, OkAndCancelCloseTheBox)
{
    device.InstallShell();
    StartVelto();
    HWND box = OpenAbout();
    device.Post(box, WM_COMMAND, GetParam().wParam, 0);
    device.Settle();
    EXPECT_EQ(!GetParam().closes, device.IsAlive(box));
    EXPECT_EQ(GetParam().closes, !device.Dialog().has_value());
    EXPECT_TRUE(device.Running(velto));
}

INSTANTIATE_TEST_SUITE_P(Box, AboutCommandTest,
                         ::testing::Values(Command{"ok", IDOK, true}, Command{"cancel", IDCANCEL, true},
                                           Command{"ok_proxy", OK_COMMAND, true},
                                           Command{"cancel_with_code", 0x00050002, true},
                                           Command{"none", 0, false}, Command{"three", 3, false},
                                           Command{"other_with_ok_code", 0x10000003, false},
                                           Command{"ok_in_the_high_word", 0x00010000, false}),
                         [](const ::testing::TestParamInfo<Command>& info) { return std::string(info.param.name); });

// While the box is open the program's other messages keep coming.
TEST_F(AboutTest, TrayTapsAndReportsAreHandledWhileTheBoxIsOpen)
{
    device.InstallShell();
    device.RegSetDword(SETTINGS_KEY, u"OkButton", 1);
    StartVelto();
    HWND box = OpenAbout();

    // The monitor reports the box itself, which carries the OK button.
    device.RunInProcess(velto, [&]() -> DWORD {
        return (DWORD)SendMessageW(main, WM_COMMAND, MAKEWPARAM(1024, 0x08), (LPARAM)box);
    });
    EXPECT_EQ((std::vector<UINT>{0, 3}), TrayIds());

    OpenMenu();
    device.DismissMenu();
    device.Settle();

    // The OK proxy closes the box.
    device.Advance(600);
    device.TrayMouse(main, 3, WM_LBUTTONDOWN);
    device.Settle();
    EXPECT_FALSE(device.IsAlive(box));
    EXPECT_FALSE(device.Dialog().has_value());
}

}  // namespace
