// Velto under Wine, a real implementation of the Win32 API: velto.exe on a
// 240 x 320 Pocket PC screen with the shell stand-in, observed by a probe
// process from outside. What Wine cannot show from another process (the
// work area, which Wine keeps per process; class names, which it compares
// without regard to case within a process) is left to the simulated
// device's tests.
#include "wine_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using namespace wine_test;

namespace {

constexpr int LONG_WAIT = 30000;  // generous: Wine on a busy machine
// Keys and window messages as the probe takes them.
constexpr int VK_RETURN_KEY = 0x0D;
constexpr int VK_UP_KEY = 0x26;
constexpr int VK_RIGHT_KEY = 0x27;
const std::string WM_NULL_MESSAGE = "0x0000";
const std::string WM_CLOSE_MESSAGE = "0x0010";
const std::string WM_COMMAND_MESSAGE = "0x0111";
constexpr const char* DIALOG_CLASS = "#32770";
constexpr unsigned long CAPTION_OK_STYLE = 0x80000000;  // WS_EX_CAPTIONOKBTN

const Rect TOP_TASKBAR{0, 0, 240, 26};
const Rect TOP_DESKTOP{0, 26, 240, 320};
const Rect BOTTOM_TASKBAR{0, 294, 240, 320};
const Rect BOTTOM_DESKTOP{0, 0, 240, 294};

const Window* Find(const std::vector<Window>& windows, const std::string& className, const std::string& title)
{
    auto it = std::find_if(windows.begin(), windows.end(),
                           [&](const Window& w) { return w.className == className && w.title == title; });
    return it == windows.end() ? nullptr : &*it;
}

size_t Count(const std::vector<Window>& windows, const std::string& className)
{
    return std::count_if(windows.begin(), windows.end(),
                         [&](const Window& w) { return w.className == className; });
}

// The eight settings values in the order Velto reads them, with the tray
// button and monitoring switches off and the given placement.
std::vector<std::string> StoredSettings(unsigned onTop)
{
    return {"CloseButton 4 4 0", "OkButton 4 4 0", "Monitoring 4 4 0", "DesktopName 1 16 \"Desktop\"",
            "DesktopClass 1 44 \"DesktopExplorerWindow\"", "TaskbarName 1 2 \"\"", "TaskbarClass 1 20 \"HHTaskBar\"",
            "TaskBarOnTop 4 4 " + std::to_string(onTop), "AutoHide 4 4 0"};
}

// Waits until a condition holds, at most timeoutMs.
template <typename Done>
bool WaitFor(Done done, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Plays an action (a tap) until its effect shows, waiting up to EFFECT_WAIT
// after each play, and prints the plays. Velto ignores a tap within the
// double-click time of its start or of its last tap (the first half of a
// double tap), and a test cannot see when Velto started to listen; a second
// play, long after both, must count, so needing more fails. A tap that
// counted is never played again, since its effect shows first.
constexpr int EFFECT_WAIT = 3000;

template <typename Done>
bool Retry(WineSession& session, const std::vector<std::string>& action, Done done, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int plays = 0;
    bool shown;
    do {
        session.Probe(action);
        ++plays;
    } while (!(shown = WaitFor(done, EFFECT_WAIT)) && std::chrono::steady_clock::now() < deadline);
    std::cout << "[ PLAYS    ] " << action[0] << " " << action[1] << ": " << plays << "\n";
    EXPECT_LE(plays, 2) << "more plays than an ignored tap explains";
    return shown;
}

// Waits until Velto's tray icon `id` is "present" or "absent".
bool TrayIcon(WineSession& session, const char* id, const char* state = "present")
{
    return session.Probe({"waittray", "Velto", "Velto", id, state, "30000"}).exitCode == 0;
}

// Closes one of the shell's windows and waits until it is gone.
bool CloseShellWindow(WineSession& session, const char* className, const char* title)
{
    session.Probe({"post", className, title, WM_CLOSE_MESSAGE, "0", "0"});
    return session.Probe({"gone", className, title, "30000"}).exitCode == 0;
}

// The proxy's two modes: OK for a dialog with the OK caption button, close
// for an ordinary window. Each with its sample window, its tray icon, and
// the sample's whole log once the proxy has answered it.
struct ProxyMode {
    const char* name;
    const char* setting;    // the switch of its tray icon
    const char* kind;       // samples.exe's kind of window
    const char* title;
    unsigned long okStyle;  // the window's WS_EX_CAPTIONOKBTN bit
    const char* icon;       // offered while the window is in front
    const char* otherIcon;  // not offered then
    const char* log;
};

void PrintTo(const ProxyMode& mode, std::ostream* out) { *out << mode.name; }

const ProxyMode MODES[] = {
    {"ok", "OkButton", "dialog", "Sample dialog", CAPTION_OK_STYLE, "3", "4",
     "ready\nSample dialog: WM_COMMAND 0x10000001 0x0\n"},
    {"close", "CloseButton", "windows", "Notes", 0, "4", "3", "ready\nNotes: WM_CLOSE\n"},
};

std::string SampleLog(WineSession& session, const ProxyMode& mode)
{
    return session.Dir() + "/" + mode.name + ".log";
}

// Brings the mode's window to the front and waits until Velto's foreground
// monitor answers with the mode's tray icon.
bool BringForward(WineSession& session, const ProxyMode& mode)
{
    session.Probe({"activate", "VeltoSample", mode.title});
    return TrayIcon(session, mode.icon);
}

// Plays an action (a tap or a click) until the sample has logged the
// proxy's answer and nothing else; the sample then ends.
void ExpectAnswered(WineSession& session, const std::vector<std::string>& action, pid_t sample,
                    const ProxyMode& mode)
{
    std::string log = SampleLog(session, mode);
    ASSERT_TRUE(Retry(session, action, [&] { return session.ReadFile(log) == mode.log; }, LONG_WAIT))
        << session.ReadFile(log);
    EXPECT_EQ(session.WaitExit(sample, LONG_WAIT), 0);
    EXPECT_EQ(session.ReadFile(log), mode.log);
}

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info)
{
    return info.param.name;
}

}  // namespace

// ---------------------------------------------------------------- switches

struct SwitchCase {
    const char* name;
    const char* argument;
    int storedOnTop;   // -1: nothing stored yet
    unsigned onTop;    // the placement afterwards
};

void PrintTo(const SwitchCase& c, std::ostream* out) { *out << c.name; }

class TaskbarSwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(TaskbarSwitch, PlacesTheShellWindowsAndStoresThePlacement)
{
    const SwitchCase& c = GetParam();
    WineSession session(std::string("switch_") + c.name);
    session.StartShell();
    pid_t sample = session.StartSample({"windows", "Notes"});
    if (c.storedOnTop >= 0)
        session.SetSetting("TaskBarOnTop", c.storedOnTop);

    Result run = session.Run({VeltoExe(), c.argument});
    EXPECT_EQ(run.exitCode, 0) << run.err;

    std::vector<Window> windows = session.Windows();
    const Window* taskbar = Find(windows, "HHTaskBar", "");
    const Window* desktop = Find(windows, "DesktopExplorerWindow", "Desktop");
    const Window* notes = Find(windows, "VeltoSample", "Notes");
    ASSERT_TRUE(taskbar && desktop && notes);
    EXPECT_EQ(taskbar->rect, c.onTop ? TOP_TASKBAR : BOTTOM_TASKBAR);
    EXPECT_TRUE(taskbar->visible);
    EXPECT_EQ(desktop->rect, c.onTop ? TOP_DESKTOP : BOTTOM_DESKTOP);
    // An ordinary window is moved to the desktop window's corner, not sized.
    EXPECT_EQ(notes->rect, (Rect{0, c.onTop ? 26L : 0L, 240, c.onTop ? 320L : 294L}));
    EXPECT_EQ(session.Settings(), StoredSettings(c.onTop));
    // A command-line run leaves no window behind.
    EXPECT_EQ(Count(windows, "Velto"), 0u);
    EXPECT_EQ(session.WaitExit(sample, 0), -1);  // still running
}

INSTANTIATE_TEST_SUITE_P(
    Wine, TaskbarSwitch,
    ::testing::Values(SwitchCase{"up", "-taskbar_up", -1, 1}, SwitchCase{"down", "-taskbar_down", 1, 0},
                      SwitchCase{"move", "-taskbar_move", 0, 1}, SwitchCase{"hide", "-taskbar_hide", 1, 0},
                      SwitchCase{"switch", "-taskbar_switch", -1, 1},
                      SwitchCase{"switch_from_top", "-taskbar_switch", 1, 0},
                      // An unknown switch changes nothing: the registry gets its defaults only.
                      SwitchCase{"unknown", "-taskbar_left", -1, 0}),
    RowName<SwitchCase>);

// On a screen larger than a Pocket PC's, velto.exe ends at once and leaves
// the desktop, the registry and the tray alone.
TEST(WineLargeScreen, VeltoRefusesToRunAndChangesNothing)
{
    WineSession session("large_screen", "800x600");
    session.StartShell();
    EXPECT_EQ(session.Run({VeltoExe(), "-taskbar_up"}).exitCode, 0);
    EXPECT_EQ(session.Run({VeltoExe()}).exitCode, 0);

    std::vector<Window> windows = session.Windows();
    const Window* taskbar = Find(windows, "HHTaskBar", "");
    ASSERT_TRUE(taskbar);
    EXPECT_EQ(taskbar->rect, BOTTOM_TASKBAR);
    EXPECT_EQ(Count(windows, "Velto"), 0u);
    EXPECT_TRUE(session.Children("HHTaskBar", "").empty());
    EXPECT_EQ(session.Settings(), std::vector<std::string>{"no settings key"});
}

// ---------------------------------------------------------------- resident

TEST(WineResident, StartsReplacesItsRunningCopyAndEndsOnClose)
{
    WineSession session("resident");
    session.StartShell();
    // Its tray icon is there too: StartVelto waits for it.
    pid_t first = session.StartVelto();

    std::vector<Window> windows = session.Windows();
    const Window* main = Find(windows, "Velto", "Velto");
    ASSERT_TRUE(main);
    // The hidden main window: a tool window of no size, no caption or border.
    EXPECT_EQ(main->rect, (Rect{0, 0, 0, 0}));
    EXPECT_EQ(main->exStyle & 0x80, 0x80u);
    EXPECT_EQ(main->style & 0x00C00000, 0u) << std::hex << main->style;

    // The button sits inside the taskbar, at its right end, 2 pixels down.
    std::vector<Window> inTaskbar = session.Children("HHTaskBar", "");
    ASSERT_EQ(inTaskbar.size(), 1u);
    EXPECT_EQ(inTaskbar[0].className, "VeltoButton");
    EXPECT_EQ(inTaskbar[0].rect, (Rect{216, 296, 240, 320}));
    EXPECT_EQ(inTaskbar[0].pid, main->pid);

    // A second copy closes the first and takes its place.
    pid_t second = session.Start({VeltoExe()});
    EXPECT_EQ(session.WaitExit(first, LONG_WAIT), 0);
    windows = session.Windows();
    ASSERT_EQ(Count(windows, "Velto"), 1u);
    const Window* newMain = Find(windows, "Velto", "Velto");
    EXPECT_NE(newMain->pid, main->pid);
    EXPECT_TRUE(TrayIcon(session, "0"));
    inTaskbar = session.Children("HHTaskBar", "");
    ASSERT_EQ(inTaskbar.size(), 1u);
    EXPECT_EQ(inTaskbar[0].pid, newMain->pid);

    // WM_CLOSE ends it with exit code 0, its windows gone.
    EXPECT_EQ(session.Probe({"post", "Velto", "Velto", WM_CLOSE_MESSAGE, "0", "0"}).exitCode, 0);
    EXPECT_EQ(session.WaitExit(second, LONG_WAIT), 0);
    EXPECT_EQ(Count(session.Windows(), "Velto"), 0u);
    EXPECT_TRUE(session.Children("HHTaskBar", "").empty());
}

TEST(WineResident, TheButtonTravelsWithTheTaskbarAndRunsWithoutOne)
{
    WineSession session("button_travels");
    session.StartShell();
    pid_t first = session.StartVelto();
    EXPECT_EQ(session.Run({VeltoExe(), "-taskbar_up"}).exitCode, 0);
    std::vector<Window> inTaskbar = session.Children("HHTaskBar", "");
    ASSERT_EQ(inTaskbar.size(), 1u);
    EXPECT_EQ(inTaskbar[0].rect, (Rect{216, 2, 240, 26}));
    // The running copy saw no window of its own go.
    EXPECT_EQ(Count(session.Windows(), "Velto"), 1u);

    // Without the shell's taskbar Velto still runs with its tray icon.
    ASSERT_TRUE(CloseShellWindow(session, "HHTaskBar", ""));
    pid_t alone = session.Start({VeltoExe()});
    // It closes the running copy first; only then is the tray icon its own.
    EXPECT_EQ(session.WaitExit(first, LONG_WAIT), 0);
    ASSERT_TRUE(TrayIcon(session, "0"));
    EXPECT_EQ(Count(session.Windows(), "VeltoButton"), 0u);
    session.Probe({"post", "Velto", "Velto", WM_CLOSE_MESSAGE, "0", "0"});
    EXPECT_EQ(session.WaitExit(alone, LONG_WAIT), 0);
}

// With no button in a taskbar, the button's repaint must not become a
// repaint of every window on the screen, as a null window means on desktop
// Windows.
TEST(WineResident, WithoutATaskbarTheProxyRepaintsNoOtherWindow)
{
    WineSession session("no_taskbar_repaint");
    session.StartShell();
    ASSERT_TRUE(CloseShellWindow(session, "HHTaskBar", ""));
    std::string log = session.Dir() + "/notes.log";
    session.StartSample({"paints", "Notes"}, log);
    session.StartVelto();
    // Two messages sent to Notes: after the second, any paint it had
    // pending has been handled.
    auto settle = [&] {
        session.Probe({"send", "VeltoSample", "Notes", WM_NULL_MESSAGE, "0", "0"});
        session.Probe({"send", "VeltoSample", "Notes", WM_NULL_MESSAGE, "0", "0"});
    };
    settle();
    std::string before = session.ReadFile(log);

    // The monitor's report, sent as the monitor sends it.
    for (const char* flags : {"0x00100400", "0x00080400", "0x00000400"}) {
        Result sent = session.Probe({"send", "Velto", "Velto", WM_COMMAND_MESSAGE, flags, "0"});
        ASSERT_EQ(sent.exitCode, 0) << sent.err;
    }
    settle();
    EXPECT_EQ(session.ReadFile(log), before);
    EXPECT_NE(before.find("Notes: WM_PAINT\n"), std::string::npos) << before;
}

// A tap on a tray icon reaches Velto the way Wine's taskbar delivers it: a
// real tap on the icon, which the taskbar passes on as WM_TRAYNOTIFY. Icon 0
// is the rightmost slot, the proxy's icon (3 or 4) the next one.
class WineTrayProxy : public ::testing::TestWithParam<ProxyMode> {};

TEST_P(WineTrayProxy, ATapOnTheIconAnswersTheForegroundWindow)
{
    const ProxyMode& mode = GetParam();
    WineSession session(std::string("tray_") + mode.name);
    session.StartShell();
    session.SetSetting(mode.setting, 1);
    Window found;
    pid_t sample = session.StartSample({mode.kind, mode.title}, SampleLog(session, mode), &found);
    EXPECT_EQ(found.exStyle & CAPTION_OK_STYLE, mode.okStyle);
    session.StartVelto();
    ASSERT_TRUE(BringForward(session, mode));
    EXPECT_EQ(session.Probe({"tray", "Velto", "Velto", mode.otherIcon}).out, "absent\n");
    ExpectAnswered(session, {"taptray", "1"}, sample, mode);
}

INSTANTIATE_TEST_SUITE_P(Wine, WineTrayProxy, ::testing::ValuesIn(MODES), RowName<ProxyMode>);

// ---------------------------------------------------- menu, proxy and About

// Opens the task menu with a real tap on tray icon 0; the menu window.
Window OpenTaskMenu(WineSession& session)
{
    Window menu;
    bool open = Retry(
        session, {"taptray", "0"}, [&] { return session.WaitMenu(1000, &menu); }, LONG_WAIT);
    EXPECT_TRUE(open) << "no task menu on a tap on the tray icon";
    return menu;
}

// A tap on Velto's tray icon opens the task menu, also over a window larger
// than the screen, which the shell stand-in keeps Wine's taskbar above.
TEST(WineTray, ATapOnTheMainIconOpensTheMenuOverAWindowLargerThanTheScreen)
{
    WineSession session("tray_main");
    session.StartShell();
    Window large;
    session.StartSample({"large", "Settings"}, "", &large);
    EXPECT_TRUE(large.rect.right >= 240 && large.rect.bottom >= 340) << large.rect;  // Wine's taskbar too
    session.StartVelto();
    session.Probe({"activate", "VeltoSample", "Settings"});
    OpenTaskMenu(session);
    EXPECT_EQ(session.Probe({"waitforeground", "Velto", "Velto", "30000"}).exitCode, 0);
}

void Keys(WineSession& session, std::initializer_list<int> keys)
{
    for (int key : keys)
        session.Probe({"key", std::to_string(key)});
}

// Both proxies on, a sample window for each mode (their pids in the order
// of MODES), and Velto resident.
std::vector<pid_t> StartBothModes(WineSession& session)
{
    session.StartShell();
    std::vector<pid_t> samples;
    for (const ProxyMode& mode : MODES) {
        session.SetSetting(mode.setting, 1);
        samples.push_back(session.StartSample({mode.kind, mode.title}, SampleLog(session, mode)));
    }
    session.StartVelto();
    return samples;
}

TEST(WineProxy, TheMonitorOffersOkForADialogAndCloseForAWindow)
{
    WineSession session("proxy_modes");
    StartBothModes(session);
    for (const ProxyMode& mode : MODES) {
        EXPECT_TRUE(BringForward(session, mode)) << mode.name;
        EXPECT_TRUE(TrayIcon(session, mode.otherIcon, "absent")) << mode.name;
    }
}

// The button, at the taskbar's right end, posts OK to the dialog in front,
// then WM_CLOSE to Notes.
TEST(WineProxy, ATapOnTheButtonSendsOkToTheDialogAndCloseToAWindow)
{
    WineSession session("proxy_button");
    std::vector<pid_t> samples = StartBothModes(session);
    for (size_t i = 0; i < samples.size(); ++i) {
        ASSERT_TRUE(BringForward(session, MODES[i]));
        ExpectAnswered(session, {"click", "228", "308"}, samples[i], MODES[i]);
    }
}

TEST(WineTaskMenu, CloseAllClosesEveryOrdinaryWindow)
{
    WineSession session("menu_close_all");
    session.StartShell();
    std::string log = session.Dir() + "/windows.log";
    pid_t sample = session.StartSample({"windows", "Calendar", "Contacts", "Notes"}, log);
    session.StartVelto();
    OpenTaskMenu(session);
    // The taskbar is at the bottom: "Close All" is the last item.
    Keys(session, {VK_UP_KEY, VK_RETURN_KEY});
    EXPECT_EQ(session.WaitExit(sample, LONG_WAIT), 0);
    std::string closed = session.ReadFile(log);
    for (const char* title : {"Calendar", "Contacts", "Notes"})
        EXPECT_NE(closed.find(std::string(title) + ": WM_CLOSE\n"), std::string::npos) << closed;
    std::vector<Window> windows = session.Windows();
    EXPECT_TRUE(Find(windows, "HHTaskBar", ""));
    EXPECT_TRUE(Find(windows, "DesktopExplorerWindow", "Desktop"));
    EXPECT_TRUE(Find(windows, "Velto", "Velto"));
    // Wine's taskbar, which holds the tray, is the shell's and stays: a tap
    // on Velto's tray icon opens the menu again.
    const Window* tray = Find(windows, "Shell_TrayWnd", "");
    ASSERT_TRUE(tray);
    EXPECT_TRUE(tray->visible);
    ASSERT_EQ(session.Probe({"nomenu", "30000"}).exitCode, 0);
    OpenTaskMenu(session);
}

// A tap on a window's title brings it forward, one at its right end closes it; a long title is cut.
TEST(WineTaskMenu, ATapOnAWindowItemActivatesOrAtItsRightEndClosesThatWindow)
{
    WineSession session("menu_close_item");
    session.StartShell();
    std::string log = session.Dir() + "/windows.log";
    const std::string title = "Notes - a file name far too long for the screen of a Pocket PC.txt";
    session.StartSample({"windows", "Calendar", "Contacts", title}, log);
    session.StartVelto();
    for (const char* x : {"215", "232"}) {  // the first item is the topmost window; x 232 is in the strip
        Window menu = OpenTaskMenu(session);
        EXPECT_TRUE(menu.rect.left >= 0 && menu.rect.right <= 240) << menu.rect;
        session.Probe({"click", x, std::to_string(menu.rect.top + 6)});
        EXPECT_TRUE(x[1] == '3' || session.Probe({"waitforeground", "VeltoSample", title, "5000"}).exitCode == 0);
    }
    ASSERT_TRUE(WaitFor([&] { return session.ReadFile(log).find("WM_CLOSE") != std::string::npos; }, LONG_WAIT));
    EXPECT_EQ(session.ReadFile(log), "ready\n" + title + ": WM_CLOSE\n");  // one close, of that window
    EXPECT_EQ(Count(session.Windows(), "VeltoSample"), 2u);
}

TEST(WineTaskMenu, OnTopMovesTheTaskbarAndStoresTheSetting)
{
    WineSession session("menu_ontop");
    session.StartShell();
    session.StartVelto();
    OpenTaskMenu(session);
    // Settings (above Close All), then TaskBar, then its first item, OnTop.
    Keys(session, {VK_UP_KEY, VK_UP_KEY, VK_RIGHT_KEY, VK_RIGHT_KEY, VK_RETURN_KEY});
    Window taskbar;
    EXPECT_TRUE(WaitFor(
        [&] { return session.WaitWindow("HHTaskBar", "", 1000, &taskbar) && taskbar.rect == TOP_TASKBAR; }, LONG_WAIT))
        << taskbar.rect;
    EXPECT_EQ(session.Settings(), StoredSettings(1));
    std::vector<Window> inTaskbar = session.Children("HHTaskBar", "");
    ASSERT_EQ(inTaskbar.size(), 1u);
    EXPECT_EQ(inTaskbar[0].rect, (Rect{216, 2, 240, 26}));
}

TEST(WineAbout, TheAboutBoxCoversTheDesktopWindowAndClosesOnTheProxysOk)
{
    WineSession session("about");
    session.StartShell();
    session.SetSetting("OkButton", 1);
    session.StartVelto();
    OpenTaskMenu(session);
    // Settings, then its last item, "About Velto".
    Keys(session, {VK_UP_KEY, VK_UP_KEY, VK_RIGHT_KEY, VK_UP_KEY, VK_RETURN_KEY});
    Window desktop;
    ASSERT_TRUE(session.WaitWindow("DesktopExplorerWindow", "Desktop", LONG_WAIT, &desktop));
    // The box exists before it has its place (Velto places it as it opens):
    // seen as soon as it is made, it still has the template's size.
    Window about;
    WaitFor([&] { return session.WaitWindow(DIALOG_CLASS, "-", 1000, &about) && about.rect == desktop.rect; },
            LONG_WAIT);
    EXPECT_EQ(about.rect, desktop.rect);
    EXPECT_EQ(about.exStyle & CAPTION_OK_STYLE, CAPTION_OK_STYLE);

    // The box is the foreground window with the OK caption button: the OK
    // proxy is offered for it, and its tap closes the box.
    ASSERT_TRUE(TrayIcon(session, "3"));
    ASSERT_TRUE(Retry(
        session, {"taptray", "1"},
        [&] { return session.Probe({"gone", DIALOG_CLASS, "-", "1000"}).exitCode == 0; }, LONG_WAIT));
    EXPECT_TRUE(Find(session.Windows(), "Velto", "Velto"));
}
