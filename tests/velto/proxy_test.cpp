// The caption-button proxy: the monitor thread that watches the foreground
// window, the button in the taskbar and the OK and close tray icons.
#include "velto/velto_test.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

using namespace velto_test;

namespace {

constexpr auto TOP = cesim::TaskbarEdge::TOP;
constexpr auto BOTTOM = cesim::TaskbarEdge::BOTTOM;

class ProxyTest : public VeltoTest {
protected:
    cesim::Shell shell{};

    // Velto running with these settings stored, past the double-click time
    // after its start, so that the next tap counts.
    void StartWithSettings(bool ok_icon = true, bool close_icon = true, bool monitoring = false,
                           cesim::TaskbarEdge edge = BOTTOM)
    {
        shell = device.InstallShell(cesim::ShellNames::STANDARD, edge);
        StoreSettings({{u"OkButton", ok_icon}, {u"CloseButton", close_icon}, {u"Monitoring", monitoring}});
        StoreOnTop(edge == TOP);
        Start();
        PauseBetweenTaps();
    }

    HWND Window(DWORD style, DWORD exstyle = 0, RECT rect = RECT{0, 40, 200, 200},
                const std::u16string& class_name = u"Dialog")
    {
        return AddWindow(class_name, u"Window", rect, style, exstyle);
    }

    // The tap that the button passes on to the taskbar, at the button's point (10, 10).
    static Msg TaskbarTap(UINT message)
    {
        return Msg{message, SENT, message == WM_LBUTTONDOWN ? (WPARAM)MK_LBUTTON : 0, MAKELPARAM(226, 12)};
    }
};

// Each report of the window in front sets the button's face from the caption
// flags alone and the OK and close tray icons from the flags and the
// settings, the close icon added before the OK icon, and repaints the button
// on its erased background.
struct ReportCase {
    const char* name;
    bool ok_icon, close_icon;  // the settings
    DWORD style, exstyle;      // the window in front
    int face;
    std::vector<UINT> tray;
};

void PrintTo(const ReportCase& c, std::ostream* out) { *out << c.name; }

class ReportTest : public ProxyTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ReportTest, TheButtonAndTheTrayIconsFollowTheForegroundWindow)
{
    const ReportCase& c = GetParam();
    StartWithSettings(c.ok_icon, c.close_icon);
    HWND window = Window(c.style, c.exstyle);
    device.ClearDrawn(button);
    BringToFront(window);  // one period
    EXPECT_EQ((std::vector<std::string>{"fill", FaceName(c.face) + " at rest"}), Painted());
    EXPECT_EQ(c.tray, TrayIds());
    for (UINT id : {TRAY_ID_OK, TRAY_ID_CLOSE}) {
        if (auto icon = device.FindTrayIcon(main, id))
            EXPECT_EQ(id == TRAY_ID_OK ? ICON_OK : ICON_CLOSE, device.Image(icon->icon).resource_id);
    }
    // A tap on the button acts on the window when it has a button to offer
    // (the idle button's taps go on to the taskbar: IdleButtonTest); it never
    // activates the window.
    device.ClearActivations();
    TapButton();
    for (const cesim::Activation& a : device.Activations())
        EXPECT_NE(window, a.window) << "activated by " << a.call;
    const std::vector<Msg> acted = c.face == FACE_OK ? std::vector<Msg>{OK_POSTED}
                                   : c.face == FACE_CLOSE ? std::vector<Msg>{CLOSE_POSTED}
                                                           : std::vector<Msg>{};
    EXPECT_TRUE(Received(window, acted));
    if (c.face != FACE_IDLE)
        EXPECT_TRUE(Received(shell.taskbar, {}));

    // The next window in front has nothing to offer: both icons go, and the
    // report names no window, so that a tap on either icon that was already
    // on its way acts on nothing.
    HWND plain = Window(WS_VISIBLE);
    BringToFront(plain);
    EXPECT_EQ((std::vector<UINT>{TRAY_ID_MAIN}), TrayIds());
    EXPECT_EQ(FACE_IDLE, LastFace().first);
    for (UINT id : {TRAY_ID_OK, TRAY_ID_CLOSE}) {
        PauseBetweenTaps();
        device.Post(main, WM_TRAYNOTIFY, id, WM_LBUTTONDOWN);
        device.Settle();
    }
    EXPECT_TRUE(Received(plain, {}));
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ReportTest,
    ::testing::Values(
        ReportCase{"NoCaptionButtons", true, true, WS_VISIBLE, 0, FACE_IDLE, {0}},
        ReportCase{"CloseButton", true, true, CLOSE_STYLE, 0, FACE_CLOSE, {0, 4}},
        ReportCase{"OkButton", true, true, WS_VISIBLE, OK_EXSTYLE, FACE_OK, {0, 3}},
        ReportCase{"BothButtons", true, true, CLOSE_STYLE, OK_EXSTYLE, FACE_OK, {0, 4, 3}},
        ReportCase{"ToolWindowWithOk", true, true, WS_VISIBLE, OK_EXSTYLE | WS_EX_TOOLWINDOW, FACE_OK, {0, 3}},
        ReportCase{"BothIconsOff", false, false, CLOSE_STYLE, OK_EXSTYLE, FACE_OK, {0}},
        ReportCase{"OkIconOnly", true, false, CLOSE_STYLE, OK_EXSTYLE, FACE_OK, {0, 3}},
        ReportCase{"CloseIconOnly", false, true, CLOSE_STYLE, OK_EXSTYLE, FACE_OK, {0, 4}},
        ReportCase{"CloseButtonOkIconOnly", true, false, CLOSE_STYLE, 0, FACE_CLOSE, {0}}), RowName);

// The main window's commands, as any program may post them: 1024 with the
// caption flags in the high word reports the window in lParam (0x08 an OK
// button, 0x10 a close button, other bits nothing), 40003 opens the About
// box, and a command of no meaning does nothing.
struct CommandCase {
    const char* name;
    WPARAM command;
    int face;  // the face repainted, or 0 for none
    std::vector<UINT> tray;
    bool about;
};

class CommandTest : public ProxyTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandTest, AnyProgramMayPostTheMainWindowsCommands)
{
    const CommandCase& c = GetParam();
    StartWithSettings();
    HWND window = Window(WS_VISIBLE);
    device.ClearDrawn(button);
    device.Post(main, WM_COMMAND, c.command, (LPARAM)window);
    device.Settle();  // the monitor sleeps on: what changes is the command's
    const std::vector<std::string> painted = {"fill", FaceName(c.face) + " at rest"};
    EXPECT_EQ(c.face ? painted : std::vector<std::string>(), Painted());
    EXPECT_EQ(c.tray, TrayIds());
    EXPECT_EQ(c.about, device.Dialog().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandTest,
    ::testing::Values(CommandCase{"OkAndClose", MAKEWPARAM(1024, 0x18), FACE_OK, {0, 4, 3}, false},
                      CommandCase{"Close", MAKEWPARAM(1024, 0x10), FACE_CLOSE, {0, 4}, false},
                      CommandCase{"Ok", MAKEWPARAM(1024, 0x08), FACE_OK, {0, 3}, false},
                      CommandCase{"OtherBits", MAKEWPARAM(1024, (WORD)~0x18), FACE_IDLE, {0}, false},
                      CommandCase{"About", MAKEWPARAM(40003, 0), 0, {0}, true},
                      CommandCase{"NoMeaning", 12345, 0, {0}, false}), RowName);

// A window seen once is examined once while it stays in front and alive:
// reported once.
TEST_F(ProxyTest, TheSameLiveWindowIsExaminedOnce)
{
    StartWithSettings(true, true, true, TOP);
    HWND window = Window(CLOSE_STYLE, OK_EXSTYLE, RECT{0, 0, 100, 100});
    device.ClearDrawn(button);
    BringToFront(window);
    device.Advance(40 * MONITOR_PERIOD);
    EXPECT_EQ((std::vector<std::string>{"fill", "OK face at rest"}), Painted());
}

// A window that was hidden when it came to the front is reported as having
// nothing to offer, once, and is not looked at again while it stays hidden
// nor when it shows itself.
TEST_F(ProxyTest, AWindowHiddenWhenItCameToTheFrontKeepsItsEmptyReport)
{
    StartWithSettings();
    HWND window = Window(CLOSE_STYLE, OK_EXSTYLE);
    device.SetForeground(window);
    device.SetStyles(window, WS_SYSMENU, OK_EXSTYLE);
    device.ClearDrawn(button);
    device.Advance(3 * MONITOR_PERIOD);
    device.SetStyles(window, CLOSE_STYLE, OK_EXSTYLE);
    device.Advance(4 * MONITOR_PERIOD);
    EXPECT_EQ(window, device.Foreground());
    EXPECT_EQ((std::vector<std::string>{"fill", "idle face at rest"}), Painted());
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds());
}

// With no foreground window every pass reports that there is nothing to
// offer, since no window is remembered as seen.
TEST_F(ProxyTest, WithoutAForegroundWindowEveryPeriodReportsNothing)
{
    StartWithSettings();
    BringToFront(Window(CLOSE_STYLE));
    device.SetForeground(nullptr);
    device.ClearDrawn(button);
    device.Advance(3 * MONITOR_PERIOD);
    const std::string idle = "idle face at rest";
    EXPECT_EQ((std::vector<std::string>{"fill", idle, "fill", idle, "fill", idle}), Painted());
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds());
}

// With Monitoring on, a newly activated window that starts above the work
// area is pulled down to it, and keeps its size. A hidden window is fitted
// too, and stays hidden; a pass that cannot read the work area leaves the
// window where it is.
enum Twist { PLAIN, HIDDEN, WORK_AREA_FAILS };

struct FitCase {
    const char* name;
    bool monitoring;
    cesim::TaskbarEdge edge;
    RECT window;
    DWORD exstyle;
    const char16_t* class_name;
    RECT work_area;  // left 0, top 0 and right 0: the layout's own
    RECT expected;
    Twist twist = PLAIN;
};

void PrintTo(const FitCase& c, std::ostream* out) { *out << c.name; }

class FitTest : public ProxyTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(FitTest, NewForegroundWindowsAreFittedBelowTheWorkAreaTop)
{
    const FitCase& c = GetParam();
    StartWithSettings(false, false, c.monitoring, c.edge);
    if (c.work_area.right != 0)
        device.SetWorkArea(c.work_area);
    device.FailWorkAreaQuery(c.twist == WORK_AREA_FAILS);
    HWND window = AddWindow(c.class_name, u"Window", c.window, WS_VISIBLE, c.exstyle);
    device.SetForeground(window);
    if (c.twist == HIDDEN)
        device.SetStyles(window, 0, 0);
    HWND above = AddWindow(u"Other", u"Other", RECT{0, 0, 10, 10});  // placed in front, not activated
    device.Advance(MONITOR_PERIOD);
    EXPECT_EQ(c.expected, device.Rect(window));
    EXPECT_EQ(c.twist != HIDDEN, device.Visible(window));
    // neither raised nor activated again
    auto order = device.TopLevel();
    EXPECT_LT(std::find(order.begin(), order.end(), above), std::find(order.begin(), order.end(), window));
}

constexpr RECT AT_ZERO{0, 0, 120, 400};
constexpr RECT NO_AREA{0, 0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Windows, FitTest,
    ::testing::Values(
        FitCase{"AboveTheWorkAreaMovesDown", true, TOP, AT_ZERO, 0, u"App", NO_AREA, RECT{0, 26, 120, 426}},
        FitCase{"AboveTheScreenMovesDown", true, TOP, RECT{-8, -40, 112, 60}, 0, u"App", NO_AREA,
                RECT{0, 26, 120, 126}},
        FitCase{"AtTheWorkAreaTopStays", true, TOP, RECT{5, 26, 100, 90}, 0, u"App", NO_AREA,
                RECT{5, 26, 100, 90}},
        FitCase{"OneAboveMovesAndTakesTheLeftEdge", true, TOP, RECT{5, 25, 100, 90}, 0, u"App",
                RECT{10, 26, 240, 320}, RECT{10, 26, 105, 91}},
        FitCase{"TaskbarAtTheBottomStays", true, BOTTOM, AT_ZERO, 0, u"App", NO_AREA, AT_ZERO},
        FitCase{"MonitoringOffNeverMoves", false, TOP, AT_ZERO, 0, u"App", NO_AREA, AT_ZERO},
        FitCase{"ToolWindowStays", true, TOP, AT_ZERO, WS_EX_TOOLWINDOW, u"App", NO_AREA, AT_ZERO},
        FitCase{"DesktopClassStays", true, TOP, AT_ZERO, 0, u"DesktopExplorerWindow", NO_AREA, AT_ZERO},
        FitCase{"TaskbarClassStays", true, TOP, AT_ZERO, 0, u"HHTaskBar", NO_AREA, AT_ZERO},
        FitCase{"ClassDifferingInCaseMoves", true, TOP, AT_ZERO, 0, u"hHTaskBar", NO_AREA,
                RECT{0, 26, 120, 426}},
        FitCase{"HiddenMoves", true, TOP, AT_ZERO, 0, u"App", NO_AREA, RECT{0, 26, 120, 426}, HIDDEN},
        FitCase{"UnreadableWorkAreaMovesNothing", true, TOP, AT_ZERO, 0, u"App", NO_AREA, AT_ZERO,
                WORK_AREA_FAILS}), RowName);

// The idle button is part of the taskbar: a tap goes on to the taskbar at
// the button's point (10, 10), wherever it was tapped, with the taskbar at
// either edge. The button repaints once, on a background not erased: the
// frame at rest when the release came first, and then the release goes on to
// the taskbar too; the pressed frame when the paint came first, and then the
// release finds nothing to end.
struct IdleTapCase {
    const char* name;
    cesim::TaskbarEdge edge;
    POINT at;
    bool paint_before_release;
};

void PrintTo(const IdleTapCase& c, std::ostream* out) { *out << c.name; }

class IdleButtonTest : public ProxyTest, public ::testing::WithParamInterface<IdleTapCase> {};

TEST_P(IdleButtonTest, PassesTapsToTheTaskbar)
{
    const IdleTapCase& c = GetParam();
    StartWithSettings(true, true, false, c.edge);
    device.ClearDrawn(button);
    device.MouseDown(c.at);
    if (c.paint_before_release)
        device.Settle();
    device.MouseUp(c.at);
    device.Settle();
    std::vector<Msg> passed = {TaskbarTap(WM_LBUTTONDOWN)};
    if (!c.paint_before_release)
        passed.push_back(TaskbarTap(WM_LBUTTONUP));
    EXPECT_TRUE(Received(shell.taskbar, passed, {WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ((std::vector<std::string>{c.paint_before_release ? "idle face pressed" : "idle face at rest"}),
              Painted());
}

INSTANTIATE_TEST_SUITE_P(
    Taps, IdleButtonTest,
    ::testing::Values(IdleTapCase{"AtTheBottomCorner", BOTTOM, POINT{238, 318}, false},
                      IdleTapCase{"AtTheTopCorner", TOP, POINT{238, 24}, false},
                      IdleTapCase{"AtTheBottom", BOTTOM, ON_THE_BUTTON, false},
                      IdleTapCase{"AtTheBottomPaintedBeforeTheRelease", BOTTOM, ON_THE_BUTTON, true}), RowName);

// A tap within the double-click time of the last accepted one, on the button
// or on a tray icon, is ignored whole, and so is the button's release; the
// tray icon's tap a millisecond later is taken, through the icon's own
// callback.
TEST_F(ProxyTest, TheButtonIgnoresTapsThatComeTooSoon)
{
    StartWithSettings();
    TapButton();  // on the idle button

    HWND dialog = Window(CLOSE_STYLE);
    BringToFront(dialog);
    device.Advance(300);  // 550 ms after the last tap
    TapButton();
    ASSERT_TRUE(Received(dialog, {CLOSE_POSTED}));
    device.Advance(MONITOR_PERIOD);  // the dialog has closed
    HWND next = Window(CLOSE_STYLE);
    BringToFront(next);
    size_t drawn = device.Drawn(button).size();
    TapButton();  // 500 ms after the last accepted tap: too soon
    TrayMouse(TRAY_ID_CLOSE);
    EXPECT_TRUE(Received(next, {}));
    EXPECT_EQ(drawn, device.Drawn(button).size());
    device.Advance(1);
    TrayMouse(TRAY_ID_CLOSE);
    EXPECT_TRUE(Received(next, {CLOSE_POSTED}));
}

// A target that has gone, or hides, between the report and the tap gets
// nothing from the tray icons or the button; the button still shows its
// pressed frame.
TEST_F(ProxyTest, ATargetThatWentAwayGetsNothing)
{
    StartWithSettings();
    device.SetDoubleClickTime(0);
    HWND dialog = Window(CLOSE_STYLE, OK_EXSTYLE);
    BringToFront(dialog);
    device.SetStyles(dialog, WS_SYSMENU, OK_EXSTYLE);  // hides itself, still in front
    for (UINT id : {TRAY_ID_OK, TRAY_ID_CLOSE}) {
        device.Advance(1);
        TrayMouse(id);
    }
    EXPECT_TRUE(Received(dialog, {}));
    EXPECT_EQ(dialog, device.Foreground());
    device.Advance(1);
    device.MouseDown(ON_THE_BUTTON);
    device.Settle();
    EXPECT_TRUE(Received(dialog, {}));
    EXPECT_EQ((std::pair<int, LONG>{FACE_OK, 20}), LastFace());
    device.MouseUp(ON_THE_BUTTON);
    device.DestroyWindow(dialog);
    device.Advance(1);
    TapButton();
    EXPECT_TRUE(Received(shell.taskbar, {}));
}

// A report that arrives while the main thread waits in a synchronous send of
// its own (the tap passed on to a busy taskbar) is handled there and then.
TEST_F(ProxyTest, AReportIsHandledWhileTheMainThreadWaitsInItsOwnSend)
{
    HWND busy = AddWindow({.class_name = u"HHTaskBar",
                           .exstyle = WS_EX_TOPMOST,
                           .rect = BOTTOM_TASKBAR,
                           .activates = false,
                           .holds_sends = true},
                          device.AddProcess(u"shell32.exe"));
    StoreSettings({{u"OkButton", 1}});
    Start();
    PauseBetweenTaps();
    device.MouseDown(ON_THE_BUTTON);
    device.Settle();
    ASSERT_EQ(1u, device.HeldSends(busy).size());

    HWND dialog = Window(WS_VISIBLE, OK_EXSTYLE);
    BringToFront(dialog);
    EXPECT_EQ((std::vector<UINT>{0, 3}), TrayIds());  // handled inside the waiting send
    device.AnswerHeld(busy, 0);  // so that the test can close Velto
    device.Settle();
}

// With the monitor's event reset, here by another program that opens it by
// its name, the monitor parks after the pass it is in: no reports. Shutdown
// sets the event after raising StopFlag, so a parked monitor ends at once.
TEST_F(ProxyTest, AParkedMonitorReportsNothingAndShutdownWakesIt)
{
    StartWithSettings();
    device.StartFunction(u"parker.exe", [] {
        HANDLE event = CreateEventW(nullptr, TRUE, TRUE, u"AygshellEvent_");
        ResetEvent(event);
        CloseHandle(event);
        return 0;
    });
    device.Advance(MONITOR_PERIOD);  // the pass under way ends in the wait
    BringToFront(Window(CLOSE_STYLE));
    device.Advance(20 * MONITOR_PERIOD);
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds());

    device.Post(main, WM_CLOSE, 0, 0);
    device.Settle();
    ExpectEnded(velto);
}

// A monitor that does not end (held up by a window that does not answer)
// is waited for 10 s, with the button and the tray icons already gone; then
// its handle is closed and the program ends.
TEST_F(ProxyTest, ShutdownWaitsTenSecondsForAMonitorThatDoesNotEnd)
{
    StartWithSettings(false, false, true, TOP);
    HWND window =
        AddWindow({.class_name = u"Hung", .rect = AT_ZERO, .holds_sends = true}, device.AddProcess(u"hung.exe"));
    BringToFront(window);  // the monitor moves it, and waits for it
    ASSERT_FALSE(device.HeldSends(window).empty());
    device.Post(main, WM_CLOSE, 0, 0);
    device.Advance(9999);
    EXPECT_TRUE(device.Running(velto));
    EXPECT_FALSE(device.IsAlive(button));
    EXPECT_TRUE(device.Tray().empty());
    device.Advance(1);
    ExpectEnded(velto);
}

// A wait that fails is retried after a pause of one period, not at once:
// eight failures hold the next report back by eight periods.
TEST_F(ProxyTest, AFailingWaitPausesAPeriodBeforeTheNextTry)
{
    StartWithSettings();
    device.FailWaits(u"AygshellEvent_", 8);
    device.SetForeground(Window(CLOSE_STYLE));
    device.Advance(8 * MONITOR_PERIOD);
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds());
    device.Advance(MONITOR_PERIOD);
    EXPECT_EQ((std::vector<UINT>{0, 4}), TrayIds());
    Stop(velto);
    EXPECT_FALSE(device.Running(velto));
}

// For ThreadSanitizer (free-running threads): the main thread reloads the
// settings, as every opening of the task menu does, on a tray tap that
// another program passes on just as the monitor wakes to compare class names
// and read Monitoring. A window that does not answer holds the monitor up
// when it moves it, so that its report cannot reach the main thread before
// the reload. The monitor must always see whole values.
TEST_F(ProxyTest, SanitizerSettingsReloadedWhileTheMonitorCompares)
{
    DWORD started = device.Tick();
    StartWithSettings(false, false, true, TOP);
    device.SetDoubleClickTime(0);
    static std::atomic<bool> stop;
    stop = false;
    device.StartFunction(u"tapper.exe", [velto_main = main, started] {
        while (!stop) {
            Sleep(MONITOR_PERIOD - (GetTickCount() - started) % MONITOR_PERIOD);
            PostMessageW(velto_main, WM_TRAYNOTIFY, TRAY_ID_MAIN, WM_LBUTTONDOWN);
        }
        return 0;
    });
    DWORD slow = device.AddProcess(u"slow.exe");
    HWND shell_like = AddWindow(u"DesktopExplorerWindow", u"Other desktop", AT_ZERO);
    for (int i = 0; i < 40; ++i) {
        HWND app = AddWindow({.class_name = u"App", .rect = AT_ZERO, .holds_sends = true}, slow);
        device.RegSetString(SETTINGS_KEY, u"TaskbarClass", i % 2 ? u"HHTaskBar" : u"A much longer taskbar class");
        device.SetForeground(i % 2 ? app : shell_like);
        device.Advance(MONITOR_PERIOD);
        if (device.OpenMenus() > 0)
            device.DismissMenu();
        device.DestroyWindow(app);  // answers what it held
        device.Settle();
    }
    stop = true;
    device.Advance(MONITOR_PERIOD);
    if (device.OpenMenus() > 0)
        device.DismissMenu();
    device.Settle();
    EXPECT_EQ(AT_ZERO, device.Rect(shell_like));
}

}  // namespace
