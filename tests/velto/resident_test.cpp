// Resident mode: start-up, the main window and the button in the taskbar, the
// tray icon and its taps, replacing a running copy, and shutdown.
#include "velto/velto_hooks.h"
#include "velto/velto_test.h"

#include <algorithm>
#include <tuple>

using namespace velto_test;

namespace {

class ResidentTest : public VeltoTest {
protected:
    // A tap on a tray icon; a menu that it opens is dismissed.
    void Tap(UINT id, UINT mouse = WM_LBUTTONDOWN)
    {
        TrayMouse(id, mouse);
        if (device.OpenMenus() > 0) {
            device.DismissMenu();
            device.Settle();
        }
    }

    int MenuOpenings() { return (int)device.Calls("TrackPopupMenuEx"); }
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
    EXPECT_EQ((UINT)(NIF_MESSAGE | NIF_ICON), tray[0].flags);
    EXPECT_EQ(WM_TRAYNOTIFY, tray[0].callback_message);
    EXPECT_EQ(152u, tray[0].record_size);
    cesim::ImageInfo icon = device.Image(tray[0].icon);
    EXPECT_EQ(ICON_TRAY, icon.resource_id);
    EXPECT_EQ(16, icon.width);
    EXPECT_EQ(4, icon.bits_per_pixel);

    // Both classes: redrawn on any resize, the program's icon, the light grey stock brush.
    for (HWND w : {main, button}) {
        cesim::WindowClassInfo cls = device.Class(w);
        EXPECT_EQ((UINT)(CS_HREDRAW | CS_VREDRAW), cls.style) << cesim::Utf8(device.ClassName(w));
        EXPECT_EQ(ICON_APP, device.Image(cls.icon).resource_id) << cesim::Utf8(device.ClassName(w));
        EXPECT_EQ(LTGRAY_BRUSH, cls.background_stock) << cesim::Utf8(device.ClassName(w));
    }
    // The icons and bitmaps are loaded once, at the start: their handles are
    // all there now, and stay as they are (checked when the test ends).
    EXPECT_EQ(6, device.OpenHandles(velto, "icon"));
    EXPECT_EQ(3, device.OpenHandles(velto, "bitmap"));

    // The monitor's event, known by its name, is manual-reset and starts
    // signalled: waits do not reset it.
    EXPECT_EQ(1, device.OpenHandles(velto, "event"));
    std::vector<DWORD> waits;
    device.RunInProcess(velto, [&] {
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, u"AygshellEvent_");  // opens Velto's
        waits.push_back(WaitForSingleObject(event, 0));
        waits.push_back(WaitForSingleObject(event, 0));
        CloseHandle(event);
        return (DWORD)0;
    });
    EXPECT_EQ((std::vector<DWORD>{WAIT_OBJECT_0, WAIT_OBJECT_0}), waits);
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
    cesim::ImageInfo bitmap = device.Image(device.Drawn(button).at(1).bitmap);
    EXPECT_EQ(40, bitmap.width);
    EXPECT_EQ(20, bitmap.height);
    EXPECT_EQ(8, bitmap.bits_per_pixel);
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

TEST_F(ResidentTest, ClosingTheMainWindowShutsDownInOrder)
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
    EXPECT_EQ(0, device.OpenHandles(velto, "event"));
    EXPECT_EQ(0, device.OpenHandles(velto, "registry"));
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
    EXPECT_EQ(0, device.OpenHandles(first, "event"));
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
    const int base = MenuOpenings();
    for (const auto& [pause, mouse, opened] : c.taps) {
        const int before = MenuOpenings();
        device.Advance(pause);
        Tap(TRAY_ID_MAIN, mouse);
        EXPECT_EQ(base + opened, MenuOpenings()) << "after a pause of " << pause << " ms";
        if (MenuOpenings() > before) {
            EXPECT_EQ(main, device.Foreground());
            EXPECT_EQ(ICON_TRAY, TrayImage(TRAY_ID_MAIN));  // back to normal
        }
    }
}

constexpr UINT DOWN = WM_LBUTTONDOWN, UP = WM_LBUTTONUP;

INSTANTIATE_TEST_SUITE_P(
    Taps, TapTest,
    ::testing::Values(
        // 501 ms is more than the double-click time; the button-up of that tap comes too soon.
        TapCase{"after_the_start", 0, 0, {{500, DOWN, 0}, {1, DOWN, 1}, {0, UP, 1}, {500, DOWN, 1}, {501, UP, 1},
                                          {0, DOWN, 1}}},
        TapCase{"across_the_tick_count_wrap", 0xFFFFFF00u, 0, {{0x100, DOWN, 0}, {245, DOWN, 1}}},
        TapCase{"double_click_time_from_the_platform", 0, 200, {{201, DOWN, 1}}}), RowName);

TEST_F(ResidentTest, OtherTrayIdsAndCommandsDoNothing)
{
    device.InstallShell();
    Start();
    int base = MenuOpenings();
    PauseBetweenTaps();
    device.Post(main, WM_TRAYNOTIFY, 7, WM_LBUTTONDOWN);
    device.Post(main, WM_COMMAND, 12345, 0);
    device.Settle();
    EXPECT_EQ(base, MenuOpenings());
    EXPECT_TRUE(device.Running(velto));
    // The unknown id still counted as a tap.
    Tap(TRAY_ID_MAIN);
    EXPECT_EQ(base, MenuOpenings());
}

// The main window hands owner-draw requests and the About command on.
TEST_F(ResidentTest, MainWindowRoutesAboutAndOwnerDrawRequests)
{
    device.InstallShell();
    Start();

    device.Post(main, WM_COMMAND, MAKEWPARAM(CMD_ABOUT, 0), 0);
    device.Settle();
    EXPECT_EQ(1u, device.Calls("FindResourceW"));
    EXPECT_EQ(1u, device.Calls("LoadResource"));
    EXPECT_EQ(1u, device.Calls("DialogBoxIndirectParamW"));

    // The main window's own title "Velto" is 30 x 13; a request that is not
    // a menu's is left as it came.
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, (UINT)(uintptr_t)main, 0, 0, 0};
    MEASUREITEMSTRUCT other{2, 0, (UINT)(uintptr_t)main, 17, 19, 0};
    DRAWITEMSTRUCT draw{};
    LRESULT measured = -1, drawn = -1, measured_other = -1;
    device.RunInProcess(velto, [&]() -> DWORD {
        measured = SendMessageW(main, WM_MEASUREITEM, 0, (LPARAM)&measure);
        measured_other = SendMessageW(main, WM_MEASUREITEM, 0, (LPARAM)&other);
        drawn = SendMessageW(main, WM_DRAWITEM, 0, (LPARAM)&draw);
        return 0;
    });
    EXPECT_EQ(0, measured);
    EXPECT_EQ(0, measured_other);
    EXPECT_EQ(0, drawn);
    EXPECT_EQ(74u, measure.itemWidth);
    EXPECT_EQ(19u, measure.itemHeight);
    EXPECT_EQ(17u, other.itemWidth);
    EXPECT_EQ(19u, other.itemHeight);
    EXPECT_EQ(0, device.OpenHandles(velto, "dc"));
    EXPECT_TRUE(device.Running(velto));
}

// Shutdown raises StopFlag and then sets the monitor's event, so that a
// monitor parked on the reset event wakes up and sees that it must end.
TEST_F(ResidentTest, ShutdownRaisesTheStopFlagBeforeSettingTheMonitorEvent)
{
    device.InstallShell();
    Start();
    const volatile LONG* stop_flag = StopFlagOf(device, velto);
    // By then the main window has been destroyed, the button too, and the tray icon deleted.
    std::vector<std::vector<LONG>> seen;
    device.OnEventSet(u"AygshellEvent_", [&] {
        seen.push_back({(LONG)*stop_flag, device.IsAlive(main), device.IsAlive(button), (LONG)device.Tray().size()});
    });

    Stop(velto);

    EXPECT_FALSE(device.Running(velto));
    EXPECT_EQ((std::vector<std::vector<LONG>>{{1, 0, 0, 0}}), seen);
}

}  // namespace
