// Resident mode: start-up, the main window and the button in the taskbar, the
// tray icon and its taps, replacing a running copy, and shutdown.
#include "velto/velto_test.h"

#include <algorithm>
#include <tuple>

using namespace velto_test;

namespace {

class ResidentTest : public VeltoTest {
protected:
    // A mouse message on a tray icon; whether it opened the menu, which is dismissed.
    bool Tap(UINT id, UINT mouse = WM_LBUTTONDOWN)
    {
        TrayMouse(id, mouse);
        if (device.OpenMenus() == 0)
            return false;
        EXPECT_EQ(ICON_TRAY_ACTIVE, TrayImage(TRAY_ID_MAIN));
        device.DismissMenu();
        device.Settle();
        return true;
    }
};

TEST_F(ResidentTest, StartUpCreatesTheMainWindowTheButtonAndTheTrayIcon)
{
    cesim::Shell shell = device.InstallShell();
    // Neither the taskbar's class nor its empty title alone finds the taskbar.
    AddWindow(u"HHTaskBar", u"Bar", RECT{0, 0, 10, 10}, WS_VISIBLE, WS_EX_TOPMOST);
    AddWindow(u"Notes", u"", RECT{0, 0, 10, 10}, WS_VISIBLE, WS_EX_TOPMOST);
    Start();
    ASSERT_TRUE(device.Running(velto));
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(main, device.Find(u"Velto", u"Velto"));
    EXPECT_EQ(nullptr, device.Parent(main));
    EXPECT_EQ((DWORD)WS_VISIBLE, device.Style(main));
    EXPECT_EQ((DWORD)WS_EX_TOOLWINDOW, device.ExStyle(main));
    EXPECT_EQ((RECT{0, 0, 0, 0}), device.Rect(main));

    ASSERT_NE(nullptr, button);
    EXPECT_EQ(shell.taskbar, device.Parent(button));
    EXPECT_EQ((DWORD)(WS_CHILD | WS_VISIBLE), device.Style(button));
    EXPECT_EQ(0u, device.ExStyle(button));
    EXPECT_EQ(u"", device.Title(button));
    EXPECT_EQ((RECT{216, 296, 240, 320}), device.Rect(button));  // (216, 2) in the taskbar

    auto tray = device.Tray();
    ASSERT_EQ(1u, tray.size());
    EXPECT_EQ(main, tray[0].owner);
    EXPECT_EQ(TRAY_ID_MAIN, tray[0].id);
    EXPECT_EQ(ICON_TRAY, device.Image(tray[0].icon).resource_id);

    // Both classes: the program's icon, the light grey stock brush, and no
    // double-clicks (a quick second tap on the button stays a tap, which the
    // button ignores itself within the double-click time).
    for (HWND w : {main, button}) {
        cesim::WindowClassInfo cls = device.Class(w);
        EXPECT_FALSE(cls.style & CS_DBLCLKS) << cesim::Utf8(device.ClassName(w));
        EXPECT_EQ(ICON_APP, device.Image(cls.icon).resource_id) << cesim::Utf8(device.ClassName(w));
        EXPECT_EQ(LTGRAY_BRUSH, cls.background_stock) << cesim::Utf8(device.ClassName(w));
    }

    // The monitor's event, which another program opens by its name, is
    // manual-reset and starts signalled: waits do not reset it.
    DWORD probe = device.StartFunction(u"probe.exe", [] {
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, u"AygshellEvent_");  // opens Velto's
        DWORD first = WaitForSingleObject(event, 0);
        DWORD second = WaitForSingleObject(event, 0);
        CloseHandle(event);
        return (int)(first == WAIT_OBJECT_0 && second == WAIT_OBJECT_0);
    });
    device.Settle();
    EXPECT_EQ(1u, device.ExitCode(probe));
    EXPECT_EQ(0, device.OpenHandles(velto, "registry"));
}

TEST_F(ResidentTest, ButtonShowsTheCloseFaceAtRestOnItsGreyBackground)
{
    if (FreeRunning())
        GTEST_SKIP() << "the monitor's first report may come before the first paint";
    device.InstallShell();
    Start();
    // The first paint, then the repaint after the monitor's first report (the
    // main window itself in front: no caption buttons, the idle face), each on
    // the class's light grey background, the face 20 x 20, never stretched.
    EXPECT_EQ((std::vector<std::string>{"fill", "close face at rest", "fill", "idle face at rest"}), Painted());
    EXPECT_EQ(0, device.OpenHandles(velto, "dc"));  // the paint released what it took
}

// The taskbar is found by its title too: a window of its class with another
// title, in front of it, does not get the button.
TEST_F(ResidentTest, ButtonFollowsTheTaskbarAtTheTop)
{
    cesim::Shell shell = device.InstallShell(cesim::ShellNames::STANDARD, cesim::TaskbarEdge::TOP);
    AddWindow(u"HHTaskBar", u"Decoy", BOTTOM_TASKBAR, WS_VISIBLE | WS_POPUP, WS_EX_TOPMOST);
    Start();
    EXPECT_EQ(shell.taskbar, device.Parent(button));
    EXPECT_EQ((RECT{216, 2, 240, 26}), device.Rect(button));
}

TEST_F(ResidentTest, WithoutATaskbarTheProgramRunsWithoutItsButton)
{
    device.RegSetDword(SETTINGS_KEY, u"CloseButton", 1);
    Start();
    ASSERT_TRUE(device.Running(velto));
    EXPECT_EQ(nullptr, button);
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds());

    // Reports still set the tray icons.
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100}, CLOSE_STYLE);
    BringToFront(dialog);
    EXPECT_EQ((std::vector<UINT>{0, 4}), TrayIds());
}

// Without a main window there is nothing to run: the copy ends at once, well,
// with no tray icon and no monitor (the teardown sees what else it left).
TEST_F(ResidentTest, WithoutAMainWindowTheProgramEndsAtOnce)
{
    device.InstallShell();
    device.FailWindowCreation(u"Velto");
    Start();
    ExpectEnded(velto);
    EXPECT_TRUE(device.Tray().empty());
}

// The copy ends with its windows and tray icons gone; the window it was
// acting on hears nothing of it.
TEST_F(ResidentTest, ClosingTheMainWindowEndsTheCopyAndLeavesTheTargetAlone)
{
    device.InstallShell();
    StoreSettings({{u"OkButton", 1}, {u"CloseButton", 1}});
    Start();
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100}, CLOSE_STYLE, OK_EXSTYLE);
    BringToFront(dialog);
    ASSERT_EQ(3u, TrayIds().size());

    Stop(velto);

    ExpectEnded(velto);
    EXPECT_FALSE(device.IsAlive(main));
    EXPECT_FALSE(device.IsAlive(button));
    EXPECT_TRUE(device.Tray().empty());
    EXPECT_TRUE(Received(dialog, {}));  // shutdown sends nothing to the target
}

TEST_F(ResidentTest, SecondCopyReplacesTheFirst)
{
    cesim::Shell shell = device.InstallShell();
    DWORD first = Start();
    HWND first_main = MainWindowOf(first);
    DWORD second = Start();
    device.Advance(MONITOR_PERIOD);  // the first copy's monitor ends its period

    ExpectEnded(first);
    EXPECT_FALSE(device.IsAlive(first_main));
    EXPECT_TRUE(device.Running(second));

    HWND second_main = MainWindowOf(second);
    auto tray = device.Tray();
    ASSERT_EQ(1u, tray.size());
    EXPECT_EQ(second_main, tray[0].owner);
    EXPECT_EQ(TRAY_ID_MAIN, tray[0].id);
    // One button in the taskbar: the new copy's.
    int buttons = 0;
    for (HWND w : device.WindowsOf(second))
        buttons += device.Parent(w) == shell.taskbar;
    EXPECT_EQ(1, buttons);
    EXPECT_EQ(nullptr, ButtonWindowOf(first));
}

// The copy already running is found by its class and title and asked to close
// with a posted WM_CLOSE; the new copy does not wait for it.
TEST_F(ResidentTest, ARunningCopyIsAskedToCloseWithAPostedCloseMessage)
{
    device.InstallShell();
    HWND other = AddWindow({.class_name = u"Velto", .title = u"Velto", .rect = {0, 0, 0, 0}, .closes_on_close = false});
    // Neither the class nor the title alone makes a running copy.
    HWND same_class = AddWindow(u"Velto", u"Notes", RECT{0, 0, 10, 10});
    HWND same_title = AddWindow(u"Notes", u"Velto", RECT{0, 0, 10, 10});
    Start();
    EXPECT_TRUE(device.Running(velto));
    EXPECT_TRUE(Received(same_class, {}));
    EXPECT_TRUE(Received(same_title, {}));
    EXPECT_TRUE(Received(other, {CLOSE_POSTED}));
}

// Taps on the tray icon, each after a pause, and the menus opened so far
// after each: a tap within the double-click time of the last one (or of the
// start) counts for nothing, and a button-up on its own counts as a tap
// though it opens nothing.
struct TapCase {
    const char* name;
    DWORD start_tick;         // 0: the device's own
    UINT double_click_time;   // 0: the device's own
    std::vector<std::tuple<DWORD, UINT, int>> taps;  // the pause in ms, the mouse message, menus opened
};

void PrintTo(const TapCase& c, std::ostream* out) { *out << c.name; }

class TapTest : public ResidentTest, public ::testing::WithParamInterface<TapCase> {};

TEST_P(TapTest, TapsWithinTheDoubleClickTimeAreIgnored)
{
    const TapCase& c = GetParam();
    device.InstallShell();
    if (c.start_tick)
        device.SetTick(c.start_tick);
    if (c.double_click_time)
        device.SetDoubleClickTime(c.double_click_time);
    Start();
    int opened = 0;
    for (const auto& [pause, mouse, expected] : c.taps) {
        device.Advance(pause);
        opened += Tap(TRAY_ID_MAIN, mouse);
        EXPECT_EQ(expected, opened) << "after a pause of " << pause << " ms";
    }
}

constexpr UINT DOWN = WM_LBUTTONDOWN, UP = WM_LBUTTONUP;

INSTANTIATE_TEST_SUITE_P(
    Taps, TapTest,
    ::testing::Values(
        // 501 ms is more than the double-click time; the button-up of that tap comes too soon.
        TapCase{"after_the_start", 0, 0, {{500, DOWN, 0}, {1, DOWN, 1}, {0, UP, 1}, {500, DOWN, 1}, {501, UP, 1},
                                          {0, DOWN, 1}}},
        // The tap 500 ms after the start is too soon and the one 501 ms after
        // counts, this one landing just before the tick count wraps, as it
        // wraps (2^32 is 0) and just after.
        TapCase{"wrap_just_before", 0xFFFFFE0Au, 0, {{500, DOWN, 0}, {1, DOWN, 1}}},
        TapCase{"wrap_at", 0xFFFFFE0Bu, 0, {{500, DOWN, 0}, {1, DOWN, 1}}},
        TapCase{"wrap_just_after", 0xFFFFFE0Cu, 0, {{500, DOWN, 0}, {1, DOWN, 1}}},
        TapCase{"double_click_time_from_the_platform", 0, 200, {{200, DOWN, 0}, {1, DOWN, 1}}}), RowName);

// Which mouse message acts on which tray icon: on the main icon the button-down
// alone opens the menu; on the OK and close icons every message brings a live
// target to the front and posts it OK or close; other ids (which only another
// program can post) do nothing. Every message counts as a tap, so that a tap
// on the button or the main icon within the double-click time after it does
// nothing.
struct TrayCase {
    const char* name;
    UINT id, mouse;
    bool menu;
    std::vector<Msg> posted;
};

void PrintTo(const TrayCase& c, std::ostream* out) { *out << c.name; }

class TrayMessageTest : public ResidentTest, public ::testing::WithParamInterface<TrayCase> {};

TEST_P(TrayMessageTest, ActsByIconAndMessage)
{
    const TrayCase& c = GetParam();
    cesim::Shell shell = device.InstallShell();
    StoreSettings({{u"OkButton", 1}, {u"CloseButton", 1}});
    Start();
    const cesim::WindowOptions dialog{.class_name = u"Dialog", .style = CLOSE_STYLE, .exstyle = OK_EXSTYLE,
                                      .rect = {0, 0, 10, 10}, .closes_on_close = false};
    HWND target = AddWindow(dialog);
    HWND other = AddWindow(dialog);
    BringToFront(target);  // the monitor reports it
    ASSERT_EQ((std::vector<UINT>{0, 4, 3}), TrayIds());
    PauseBetweenTaps();
    device.SetForeground(other);  // the tap comes before the monitor's next look
    if (device.FindTrayIcon(main, c.id))
        TrayMouse(c.id, c.mouse);
    else {
        device.Post(main, WM_TRAYNOTIFY, c.id, c.mouse);
        device.Settle();
    }
    ASSERT_EQ(c.menu ? 1 : 0, device.OpenMenus());
    if (c.menu) {
        device.DismissMenu();
        device.Settle();
    }
    EXPECT_TRUE(Received(target, c.posted));
    EXPECT_EQ(c.menu ? main : c.posted.empty() ? other : target, device.Foreground());
    device.Advance(DOUBLE_CLICK_TIME);  // the monitor reports the window in front, if new to it
    TapButton();
    EXPECT_TRUE(Received(target, c.posted));
    EXPECT_TRUE(Received(other, {}));
    EXPECT_TRUE(Received(shell.taskbar, {}, {WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_FALSE(Tap(TRAY_ID_MAIN));
}

constexpr UINT MOVE = WM_MOUSEMOVE;

INSTANTIATE_TEST_SUITE_P(
    Icons, TrayMessageTest,
    ::testing::Values(TrayCase{"main_down", TRAY_ID_MAIN, DOWN, true, {}},
                      TrayCase{"main_up", TRAY_ID_MAIN, UP, false, {}},
                      TrayCase{"main_move", TRAY_ID_MAIN, MOVE, false, {}},
                      TrayCase{"ok_down", TRAY_ID_OK, DOWN, false, {OK_POSTED}},
                      TrayCase{"ok_up", TRAY_ID_OK, UP, false, {OK_POSTED}},
                      TrayCase{"ok_move", TRAY_ID_OK, MOVE, false, {OK_POSTED}},
                      TrayCase{"close_down", TRAY_ID_CLOSE, DOWN, false, {CLOSE_POSTED}},
                      TrayCase{"close_up", TRAY_ID_CLOSE, UP, false, {CLOSE_POSTED}},
                      TrayCase{"close_move", TRAY_ID_CLOSE, MOVE, false, {CLOSE_POSTED}},
                      TrayCase{"id_1", 1, DOWN, false, {}}, TrayCase{"id_2", 2, DOWN, false, {}},
                      TrayCase{"id_5", 5, DOWN, false, {}}), RowName);

}  // namespace
