// Long use: many menu openings over many windows, many changes of the
// foreground window, many copies replacing each other. Velto's handles stay
// where they were, and every copy that ends leaves only what it keeps for
// its life (checked when the test ends).
#include "velto/velto_test.h"

using namespace velto_test;

namespace {

class StressTest : public MenuTest {};

TEST_F(StressTest, LongUseLeavesTheHandleCountsFlat)
{
    device.InstallShell();
    StoreSettings({{u"OkButton", 1}, {u"CloseButton", 1}, {u"Monitoring", 1}});
    // Windows of programs with and without icons of their own.
    DWORD with_icon = device.AddProcess(u"mail.exe");
    device.SetProgramFile(with_icon, u"\\Windows\\mail.exe", true);
    std::vector<HWND> windows;
    for (int i = 0; i < 40; ++i) {
        windows.push_back(AddWindow(i % 2 ? u"Mail" : u"Note", u"Window " + cesim::U16(std::to_string(i)),
                                    RECT{0, i % 2 ? 0 : 40, 200, 200}, i % 3 ? CLOSE_STYLE : WS_VISIBLE,
                                    i % 4 ? 0 : OK_EXSTYLE, i % 2 ? with_icon : apps));
    }
    Start();
    device.SetDoubleClickTime(0);
    device.Advance(1);
    const auto baseline = device.Handles(velto);

    for (int i = 0; i < 1000; ++i) {
        TrayMouse();
        ASSERT_EQ(1, device.OpenMenus());
        device.RepaintMenu();
        device.DismissMenu();
        device.Advance(1);
    }
    EXPECT_EQ(baseline, device.Handles(velto)) << "after 1000 menu openings";

    for (int i = 0; i < 1000; ++i) {
        device.SetForeground(windows[(size_t)i % windows.size()]);
        device.Advance(MONITOR_PERIOD);
    }
    EXPECT_EQ(baseline, device.Handles(velto)) << "after 1000 foreground changes";

    for (int i = 0; i < 200; ++i) {
        Start();
        device.Advance(MONITOR_PERIOD);  // the copy before ends
    }
    EXPECT_EQ(baseline, device.Handles(velto)) << "in the 200th copy";
    int running = 0;
    for (DWORD copy : started)
        running += device.Running(copy);
    EXPECT_EQ(1, running);
}

class FaultTest : public MenuTest {};

// The shell's windows go away under a running copy: it goes on, with its tray
// icons, which follow the window in front without the button, and its menu,
// and still shuts down in order.
TEST_F(FaultTest, TheShellsWindowsDestroyedWhileVeltoRuns)
{
    cesim::Shell shell = device.InstallShell();
    StoreSettings({{u"OkButton", 1}, {u"CloseButton", 1}});
    Start();
    device.DestroyWindow(shell.taskbar);  // the button goes with it
    device.DestroyWindow(shell.desktop);
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100}, CLOSE_STYLE, OK_EXSTYLE);
    BringToFront(dialog);
    EXPECT_EQ((std::vector<UINT>{0, 4, 3}), TrayIds());
    OpenMenu();
    Dismiss();
    EXPECT_TRUE(device.Running(velto));
}

// Titles and class names longer than the 1024 characters Velto reads, and a
// command line of several thousand characters, are cut, not overrun: only
// AddressSanitizer sees an overrun.
TEST_F(FaultTest, SanitizerLongNamesAndALongCommandLine)
{
    device.InstallShell();
    device.RegSetDword(SETTINGS_KEY, u"Monitoring", 1);
    std::u16string long_class(3000, u'C'), long_title(3000, u'T');
    HWND window = AddWindow(long_class, long_title, RECT{0, 0, 100, 100}, CLOSE_STYLE);
    Start();
    BringToFront(window);
    OpenMenu();
    device.RepaintMenu();
    Dismiss();
    EXPECT_TRUE(device.Running(velto));

    std::u16string line(5000, u'x');
    RunOnce(line + u" -taskbar_up " + line);
    EXPECT_EQ(1u, *StoredOnTop());
}

// The foreground window is destroyed while the monitor is in the middle of
// its pass (held up moving it): the rest of the pass fails quietly.
TEST_F(FaultTest, AForegroundWindowDestroyedInTheMiddleOfAPass)
{
    device.InstallShell(cesim::ShellNames::STANDARD, cesim::TaskbarEdge::TOP);
    StoreSettings({{u"Monitoring", 1}, {u"CloseButton", 1}, {u"TaskBarOnTop", 1}});
    Start();
    HWND window = AddWindow({.class_name = u"Slow", .style = CLOSE_STYLE, .rect = {0, 0, 100, 100}, .holds_sends = true},
                            device.AddProcess(u"slow.exe"));
    BringToFront(window);
    ASSERT_FALSE(device.HeldSends(window).empty());
    device.DestroyWindow(window);  // answers what it held with 0
    device.Settle();
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds());
    EXPECT_EQ(FACE_IDLE, LastFace().first);
}

}  // namespace
