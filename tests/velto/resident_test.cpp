// Resident mode: start-up, the main window and the button in the taskbar, the
// tray icon and its taps, replacing a running copy, and shutdown.
#include "velto/velto_test.h"

#include <algorithm>

using namespace velto_test;

namespace {

constexpr UINT WM_TRAYNOTIFY = 2259;
constexpr UINT CMD_FOREGROUND = 1024;
constexpr WPARAM OK_COMMAND = 0x10000001;

class ResidentTest : public VeltoTest {
protected:
    HWND MainWindowOf(DWORD velto)
    {
        for (HWND w : device.WindowsOf(velto)) {
            if (device.ClassName(w) == u"Velto")
                return w;
        }
        return nullptr;
    }

    HWND ButtonWindowOf(DWORD velto)
    {
        for (HWND w : device.WindowsOf(velto)) {
            if (device.ClassName(w) == u"VeltoButton")
                return w;
        }
        return nullptr;
    }

    // What the foreground monitor reports: the caption buttons of a window.
    void ReportForeground(DWORD velto, WORD flags, HWND window)
    {
        device.Post(MainWindowOf(velto), WM_COMMAND, MAKEWPARAM(CMD_FOREGROUND, flags), (LPARAM)window);
        device.Settle();
    }

    // A running copy with the OK and close tray icons switched on.
    DWORD StartWithProxyIcons()
    {
        device.InstallShell();
        device.RegSetDword(SETTINGS_KEY, u"OkButton", 1);
        device.RegSetDword(SETTINGS_KEY, u"CloseButton", 1);
        return Start();
    }

    // Lets the double-click time pass, so that the next tap counts.
    void PauseBetweenTaps() { device.Advance(600); }

    // A tap on a tray icon; a menu that it opens is dismissed.
    void Tap(DWORD velto, UINT id, UINT mouse = WM_LBUTTONDOWN)
    {
        device.TrayMouse(MainWindowOf(velto), id, mouse);
        device.Settle();
        if (device.OpenMenus() > 0) {
            device.DismissMenu();
            device.Settle();
        }
    }

    std::vector<UINT> TrayIds(HWND owner)
    {
        std::vector<UINT> ids;
        for (auto& icon : device.Tray()) {
            if (icon.owner == owner)
                ids.push_back(icon.id);
        }
        return ids;
    }

    // The last bitmap drawn into the button: its resource id and source x.
    std::pair<int, LONG> LastFace(HWND button)
    {
        auto drawn = device.Drawn(button);
        for (auto it = drawn.rbegin(); it != drawn.rend(); ++it) {
            if (it->kind == cesim::DrawOp::BLIT)
                return {it->bitmap_id, it->source.x};
        }
        return {0, -1};
    }

    int MenuOpenings() { return (int)device.Calls("TrackPopupMenuEx"); }
};

TEST_F(ResidentTest, StartUpCreatesTheMainWindowTheButtonAndTheTrayIcon)
{
    cesim::Shell shell = device.InstallShell();
    DWORD velto = Start();
    ASSERT_TRUE(device.Running(velto));

    HWND main = MainWindowOf(velto);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(main, device.Find(u"Velto", u"Velto"));
    EXPECT_EQ(nullptr, device.Parent(main));
    EXPECT_EQ((DWORD)WS_VISIBLE, device.Style(main));
    EXPECT_EQ((DWORD)WS_EX_TOOLWINDOW, device.ExStyle(main));
    EXPECT_EQ((RECT{0, 0, 0, 0}), device.Rect(main));

    HWND button = ButtonWindowOf(velto);
    ASSERT_NE(nullptr, button);
    EXPECT_EQ(shell.taskbar, device.Parent(button));
    EXPECT_EQ((DWORD)(WS_CHILD | WS_VISIBLE), device.Style(button));
    EXPECT_EQ(u"", device.Title(button));
    EXPECT_EQ((RECT{216, 296, 240, 320}), device.Rect(button));  // (216, 2) in the taskbar

    auto tray = device.Tray();
    ASSERT_EQ(1u, tray.size());
    EXPECT_EQ(main, tray[0].owner);
    EXPECT_EQ(0u, tray[0].id);
    EXPECT_EQ((UINT)(NIF_MESSAGE | NIF_ICON), tray[0].flags);
    EXPECT_EQ(WM_TRAYNOTIFY, tray[0].callback_message);
    EXPECT_EQ(152u, tray[0].record_size);
    cesim::ImageInfo icon = device.Image(tray[0].icon);
    EXPECT_EQ(113, icon.resource_id);
    EXPECT_EQ(16, icon.width);
    EXPECT_EQ(4, icon.bits_per_pixel);

    EXPECT_EQ(1, device.OpenHandles(velto, "event"));
    EXPECT_EQ(0, device.OpenHandles(velto, "registry"));
}

TEST_F(ResidentTest, ButtonShowsTheCloseFaceAtRestOnItsGreyBackground)
{
    device.InstallShell();
    DWORD velto = Start();
    HWND button = ButtonWindowOf(velto);
    auto drawn = device.Drawn(button);
    ASSERT_EQ(2u, drawn.size());
    EXPECT_EQ(cesim::DrawOp::FILL, drawn[0].kind);  // the class's light grey background
    EXPECT_EQ((RECT{0, 0, 24, 24}), drawn[0].dest);
    const cesim::DrawOp& face = drawn[1];
    EXPECT_EQ(cesim::DrawOp::BLIT, face.kind);
    EXPECT_EQ(111, face.bitmap_id);
    EXPECT_EQ((RECT{2, 2, 22, 22}), face.dest);  // 20 x 20, never stretched
    EXPECT_EQ(0, face.source.x);
    EXPECT_EQ(0, face.source.y);
    EXPECT_EQ((DWORD)SRCCOPY, face.rop);
    cesim::ImageInfo bitmap = device.Image(face.bitmap);
    EXPECT_EQ(40, bitmap.width);
    EXPECT_EQ(20, bitmap.height);
    EXPECT_EQ(8, bitmap.bits_per_pixel);
    EXPECT_EQ(0, device.OpenHandles(velto, "dc"));  // the paint released what it took
}

TEST_F(ResidentTest, ButtonFollowsTheTaskbarAtTheTop)
{
    device.InstallShell(cesim::ShellNames::STANDARD, cesim::TaskbarEdge::TOP);
    DWORD velto = Start();
    EXPECT_EQ((RECT{216, 2, 240, 26}), device.Rect(ButtonWindowOf(velto)));
}

TEST_F(ResidentTest, WithoutATaskbarTheProgramRunsWithoutItsButton)
{
    device.RegSetDword(SETTINGS_KEY, u"CloseButton", 1);
    DWORD velto = Start();
    ASSERT_TRUE(device.Running(velto));
    EXPECT_EQ(nullptr, ButtonWindowOf(velto));
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds(MainWindowOf(velto)));

    // Reports still set the tray icons.
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100});
    ReportForeground(velto, 0x10, dialog);
    EXPECT_EQ((std::vector<UINT>{0, 4}), TrayIds(MainWindowOf(velto)));
}

TEST_F(ResidentTest, CapitalSwitchStartsResidentMode)
{
    device.InstallShell();
    DWORD velto = Start(u"-TASKBAR_UP");
    EXPECT_TRUE(device.Running(velto));
    EXPECT_EQ(0, device.WorkAreaSets());
}

TEST_F(ResidentTest, ClosingTheMainWindowShutsDownInOrder)
{
    DWORD velto = StartWithProxyIcons();
    HWND main = MainWindowOf(velto);
    HWND button = ButtonWindowOf(velto);
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100});
    ReportForeground(velto, 0x18, dialog);
    ASSERT_EQ(3u, TrayIds(main).size());

    device.Post(main, WM_CLOSE, 0, 0);
    device.Settle();

    EXPECT_FALSE(device.Running(velto));
    EXPECT_EQ(0u, device.ExitCode(velto));
    EXPECT_FALSE(device.IsAlive(main));
    EXPECT_FALSE(device.IsAlive(button));
    EXPECT_TRUE(device.Tray().empty());
    EXPECT_EQ(0, device.OpenHandles(velto, "event"));
    EXPECT_EQ(0, device.OpenHandles(velto, "thread"));
    EXPECT_EQ(0, device.OpenHandles(velto, "registry"));
    EXPECT_TRUE(device.Received(dialog).empty());  // shutdown sends nothing to the target
}

TEST_F(ResidentTest, SecondCopyReplacesTheFirst)
{
    cesim::Shell shell = device.InstallShell();
    DWORD first = Start();
    HWND first_main = MainWindowOf(first);
    DWORD second = Start();

    EXPECT_FALSE(device.Running(first));
    EXPECT_EQ(0u, device.ExitCode(first));
    EXPECT_FALSE(device.IsAlive(first_main));
    EXPECT_TRUE(device.Running(second));

    HWND second_main = MainWindowOf(second);
    auto tray = device.Tray();
    ASSERT_EQ(1u, tray.size());
    EXPECT_EQ(second_main, tray[0].owner);
    EXPECT_EQ(0u, tray[0].id);
    // One button in the taskbar: the new copy's.
    int buttons = 0;
    for (HWND w : device.WindowsOf(second))
        buttons += device.Parent(w) == shell.taskbar;
    EXPECT_EQ(1, buttons);
    EXPECT_EQ(nullptr, ButtonWindowOf(first));
    EXPECT_EQ(0, device.OpenHandles(first, "event"));
}

TEST_F(ResidentTest, TapsWithinTheDoubleClickTimeAreIgnored)
{
    device.InstallShell();
    DWORD velto = Start();
    HWND main = MainWindowOf(velto);
    int base = MenuOpenings();

    // Just after start-up.
    device.Advance(500);
    Tap(velto, 0);
    EXPECT_EQ(base, MenuOpenings());

    device.Advance(1);  // 501 ms: more than the double-click time
    Tap(velto, 0);
    EXPECT_EQ(base + 1, MenuOpenings());
    EXPECT_EQ(main, device.Foreground());
    EXPECT_EQ(113, device.Image(device.FindTrayIcon(main, 0)->icon).resource_id);  // back to normal

    // The button-up of that tap, and another tap, come too soon.
    Tap(velto, 0, WM_LBUTTONUP);
    device.Advance(500);
    Tap(velto, 0);
    EXPECT_EQ(base + 1, MenuOpenings());

    // A button-up on its own counts as a tap, though it opens nothing.
    device.Advance(501);
    Tap(velto, 0, WM_LBUTTONUP);
    Tap(velto, 0);
    EXPECT_EQ(base + 1, MenuOpenings());
}

TEST_F(ResidentTest, TheDebounceHoldsAcrossTheTickCountWrap)
{
    device.InstallShell();
    device.SetTick(0xFFFFFF00u);
    DWORD velto = Start();
    int base = MenuOpenings();
    device.Advance(0x100);  // the tick count is 0 now
    Tap(velto, 0);
    EXPECT_EQ(base, MenuOpenings());
    device.Advance(245);  // 501 ms after start
    Tap(velto, 0);
    EXPECT_EQ(base + 1, MenuOpenings());
}

TEST_F(ResidentTest, DoubleClickTimeComesFromThePlatform)
{
    device.InstallShell();
    device.SetDoubleClickTime(200);
    DWORD velto = Start();
    int base = MenuOpenings();
    device.Advance(201);
    Tap(velto, 0);
    EXPECT_EQ(base + 1, MenuOpenings());
}

TEST_F(ResidentTest, ProxyTrayIconsSendOkAndCloseToALiveTarget)
{
    DWORD velto = StartWithProxyIcons();
    HWND main = MainWindowOf(velto);
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100});

    ReportForeground(velto, 0x18, dialog);
    // The close icon is added before the OK icon.
    EXPECT_EQ((std::vector<UINT>{0, 4, 3}), TrayIds(main));
    EXPECT_EQ(104, device.Image(device.FindTrayIcon(main, 3)->icon).resource_id);
    EXPECT_EQ(105, device.Image(device.FindTrayIcon(main, 4)->icon).resource_id);
    EXPECT_EQ(110, LastFace(ButtonWindowOf(velto)).first);  // OK wins over close

    PauseBetweenTaps();
    Tap(velto, 3);
    auto got = device.Received(dialog);
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ((UINT)WM_COMMAND, got[0].message);
    EXPECT_EQ(OK_COMMAND, got[0].wParam);
    EXPECT_EQ(0, got[0].lParam);
    EXPECT_FALSE(got[0].sent);
    EXPECT_EQ(dialog, device.Foreground());

    // Every mouse message acts on these icons, a button-up too.
    PauseBetweenTaps();
    Tap(velto, 4, WM_LBUTTONUP);
    got = device.Received(dialog);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ((UINT)WM_CLOSE, got[1].message);
    EXPECT_EQ(0u, got[1].wParam);
    EXPECT_FALSE(device.IsAlive(dialog));

    // The target has gone: nothing more is sent.
    PauseBetweenTaps();
    Tap(velto, 3);
    EXPECT_EQ(2u, device.Received(dialog).size());
}

TEST_F(ResidentTest, ProxyTrayIconsSendNothingToAHiddenOrMissingTarget)
{
    DWORD velto = StartWithProxyIcons();
    HWND main = MainWindowOf(velto);
    HWND hidden = AddWindow(u"Dialog", u"Hidden", RECT{0, 0, 100, 100}, 0);
    HWND foreground = device.Foreground();

    ReportForeground(velto, 0x18, hidden);
    PauseBetweenTaps();
    Tap(velto, 3);
    PauseBetweenTaps();
    Tap(velto, 4);
    EXPECT_TRUE(device.Received(hidden).empty());
    EXPECT_EQ(foreground, device.Foreground());

    // A report of no caption buttons names no target and removes the icons.
    ReportForeground(velto, 0, nullptr);
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds(main));
    EXPECT_EQ(112, LastFace(ButtonWindowOf(velto)).first);
    PauseBetweenTaps();
    device.Post(main, WM_TRAYNOTIFY, 4, WM_LBUTTONDOWN);
    device.Settle();
    EXPECT_TRUE(device.Received(hidden).empty());
}

TEST_F(ResidentTest, ReportsSetTheButtonFaceAndTheIconsTheSettingsAllow)
{
    device.InstallShell();
    device.RegSetDword(SETTINGS_KEY, u"CloseButton", 1);
    DWORD velto = Start();
    HWND main = MainWindowOf(velto);
    HWND button = ButtonWindowOf(velto);
    HWND window = AddWindow(u"App", u"App", RECT{0, 0, 100, 100});

    ReportForeground(velto, 0x10, window);
    EXPECT_EQ((std::vector<UINT>{0, 4}), TrayIds(main));
    EXPECT_EQ(111, LastFace(button).first);

    // OkButton is off: the face shows OK, but no OK icon appears.
    ReportForeground(velto, 0x08, window);
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds(main));
    EXPECT_EQ(110, LastFace(button).first);
    EXPECT_EQ(0, LastFace(button).second);  // the frame at rest

    // A repeated report leaves one icon per id.
    ReportForeground(velto, 0x10, window);
    ReportForeground(velto, 0x10, window);
    EXPECT_EQ((std::vector<UINT>{0, 4}), TrayIds(main));
}

TEST_F(ResidentTest, OtherTrayIdsAndCommandsDoNothing)
{
    device.InstallShell();
    DWORD velto = Start();
    HWND main = MainWindowOf(velto);
    int base = MenuOpenings();
    PauseBetweenTaps();
    device.Post(main, WM_TRAYNOTIFY, 7, WM_LBUTTONDOWN);
    device.Post(main, WM_COMMAND, 12345, 0);
    device.Settle();
    EXPECT_EQ(base, MenuOpenings());
    EXPECT_TRUE(device.Running(velto));
    // The unknown id still counted as a tap.
    Tap(velto, 0);
    EXPECT_EQ(base, MenuOpenings());
}

}  // namespace

namespace {

// The main window hands owner-draw requests and the About command on.
TEST_F(ResidentTest, MainWindowRoutesAboutAndOwnerDrawRequests)
{
    device.InstallShell();
    DWORD velto = Start();
    HWND main = MainWindowOf(velto);

    device.Post(main, WM_COMMAND, MAKEWPARAM(40003, 0), 0);
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

}  // namespace

namespace {

// Shutdown raises StopFlag and then sets the monitor's event, so that a
// monitor parked on the reset event wakes up and sees that it must end.
TEST_F(ResidentTest, ShutdownRaisesTheStopFlagBeforeSettingTheMonitorEvent)
{
    device.InstallShell();
    DWORD velto = Start();
    auto stop_flag = (volatile LONG*)device.Symbol(velto, "StopFlag");
    ASSERT_NE(nullptr, stop_flag);
    std::vector<LONG> seen;
    device.OnEventSet(u"AygshellEvent_", [&] { seen.push_back((LONG)*stop_flag); });

    device.Post(MainWindowOf(velto), WM_CLOSE, 0, 0);
    device.Settle();

    EXPECT_FALSE(device.Running(velto));
    EXPECT_EQ((std::vector<LONG>{1}), seen);
}

}  // namespace
