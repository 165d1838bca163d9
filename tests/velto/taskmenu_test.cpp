// The task menu: its tree, where it opens, the window list and what each
// command does.
#include "velto/velto_test.h"

using namespace velto_test;

namespace {

class TaskMenuTest : public MenuTest {};

// Where the taskbar is decides the order, the anchor and the alignment.
struct Placement {
    const char* name;
    std::optional<RECT> taskbar;
    UINT flags;
    LONG anchor_y;
    std::string items;
    std::optional<RECT> decoy = std::nullopt;  // a window of the taskbar's class with a title, in front of it
};

// The menu with nothing checked, read from the taskbar's side: hanging from a
// taskbar above it, or standing on one below it.
const std::string SETTINGS_ITEMS =
    "Settings>(TaskBar>(OnTop#4|Monitoring#5)|Tray>(Ok button#7|Close button#8)|About Velto#3)";
const std::string HANGING = "Close All#2|" + SETTINGS_ITEMS + "|-|[Notes]|[Inbox]";
const std::string STANDING = "[Notes]|[Inbox]|-|" + SETTINGS_ITEMS + "|Close All#2";

void PrintTo(const Placement& value, std::ostream* out) { *out << value.name; }

class MenuPlacementTest : public TaskMenuTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(MenuPlacementTest, MenuOpensAgainstTheTaskbarInItsOrder)
{
    const Placement& p = GetParam();
    if (p.taskbar)
        AddWindow(u"HHTaskBar", u"", *p.taskbar, WS_VISIBLE | WS_POPUP, WS_EX_TOPMOST);
    if (p.decoy)
        AddWindow(u"HHTaskBar", u"Decoy", *p.decoy, WS_VISIBLE | WS_POPUP, WS_EX_TOPMOST);
    // A window of the taskbar's class with another title is not the taskbar.
    AddWindow(u"HHTaskBar", u"Other bar", RECT{0, 200, 240, 226}, WS_VISIBLE | WS_POPUP,
              WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 26, 240, 320});
    AddWindow(u"Hidden", u"Hidden", RECT{0, 0, 240, 294}, 0);
    AddWindow(u"Tool", u"Tool", RECT{0, 0, 10, 10}, WS_VISIBLE, WS_EX_TOOLWINDOW);
    AddWindow(u"Untitled", u"", RECT{0, 0, 240, 294});
    AddWindow(u"Inbox", u"Inbox", RECT{0, 0, 240, 294});
    Start();
    // Another window is in front when the tray icon is tapped.
    device.SetForeground(notes);

    cesim::MenuInfo menu = OpenMenu();
    EXPECT_EQ(main, menu.owner);
    EXPECT_EQ(p.flags, menu.flags);
    EXPECT_EQ(240, menu.anchor.x);
    EXPECT_EQ(p.anchor_y, menu.anchor.y);
    const cesim::MenuLevelInfo& top = menu.levels.at(0);
    EXPECT_EQ(240, top.rect.right);
    EXPECT_EQ(p.anchor_y, (p.flags & TPM_BOTTOMALIGN) ? top.rect.bottom : top.rect.top);
    EXPECT_EQ(p.items, Describe(top.items));
    // While the menu is open the tray icon shows its active face, and the main window is in front.
    EXPECT_EQ(ICON_TRAY_ACTIVE, TrayImage(TRAY_ID_MAIN));
    EXPECT_EQ(main, device.Foreground());

    Dismiss();
    EXPECT_EQ(ICON_TRAY, TrayImage(TRAY_ID_MAIN));
    EXPECT_EQ(0, device.OpenHandles(velto, "menu"));  // the whole tree is destroyed
    EXPECT_TRUE(Received(notes, {}));  // a dismissed menu does nothing
    EXPECT_EQ(main, device.Foreground());
}

INSTANTIATE_TEST_SUITE_P(
    Taskbar, MenuPlacementTest,
    ::testing::Values(Placement{"top_edge_100", RECT{0, 100, 240, 126}, MENU_HANGS, 126, HANGING},
                      Placement{"top_edge_101", RECT{0, 101, 240, 127}, MENU_STANDS, 101, STANDING},
                      Placement{"decoy_in_front", RECT{0, 101, 240, 127}, MENU_STANDS, 101, "[Decoy]|" + STANDING,
                                RECT{0, 100, 240, 126}},
                      Placement{"above_the_screen", RECT{0, -20, 240, 6}, MENU_HANGS, 6, HANGING},
                      Placement{"none", std::nullopt, MENU_HANGS, 240, HANGING}), RowName);

// The check marks show what is stored at the moment the menu opens.
TEST_F(TaskMenuTest, SwitchesShowTheStoredSettings)
{
    device.InstallShell();
    StoreSettings({{u"Monitoring", 1}, {u"CloseButton", 1}});
    Start();
    auto settings = [this] {
        std::string items = Describe(OpenMenu().levels.at(0).items);
        Dismiss();
        return items;
    };
    EXPECT_EQ("[Desktop]|-|Settings>(TaskBar>(OnTop#4|Monitoring#5*)|Tray>(Ok button#7|Close button#8*)|About "
              "Velto#3)|Close All#2",
              settings());
    StoreSettings({{u"Monitoring", 0}, {u"OkButton", 7}});
    EXPECT_EQ("[Desktop]|-|Settings>(TaskBar>(OnTop#4|Monitoring#5)|Tray>(Ok button#7*|Close button#8*)|About "
              "Velto#3)|Close All#2",
              settings());
}

// A tap on a window's item activates it; at its right end it closes it, but never the desktop.
struct WindowTap {
    const char* name;
    bool desktop;
    LONG x;
    bool closes;
    bool activates;
    bool hidden;  // while the menu is open: a window still there is acted on
    bool no_shell;  // no taskbar, so no button either
    const char16_t* notes_class = u"Notes";  // the taskbar's class: listed with its title, and not the desktop
};

void PrintTo(const WindowTap& value, std::ostream* out) { *out << value.name; }

class WindowTapTest : public TaskMenuTest, public ::testing::WithParamInterface<WindowTap> {};

TEST_P(WindowTapTest, RightEndClosesTheRestActivates)
{
    const WindowTap& t = GetParam();
    cesim::Shell shell = t.no_shell ? cesim::Shell{} : device.InstallShell();
    HWND notes = AddWindow(t.notes_class, std::u16string(60, u'N'), RECT{0, 0, 240, 294});
    Start();
    HWND target = t.desktop ? shell.desktop : notes;

    EXPECT_EQ(240, OpenMenu().levels.at(0).rect.right);  // Notes's title, too long, is cut
    if (t.hidden)
        device.ShowWindow(target, false);
    TapItem(target, t.x);
    EXPECT_EQ(0, device.OpenMenus());
    EXPECT_EQ(t.activates ? target : main, device.Foreground());
    EXPECT_TRUE(Received(target, t.closes ? std::vector<Msg>{CLOSE_POSTED} : std::vector<Msg>{}));
}

INSTANTIATE_TEST_SUITE_P(Item, WindowTapTest,
                         ::testing::Values(WindowTap{"x224_activates", false, 224, false, true},
                                           WindowTap{"x225_closes", false, 225, true, false},
                                           WindowTap{"desktop_x224_activates", true, 224, false, true},
                                           WindowTap{"desktop_x225_stays", true, 225, false, false},
                                           WindowTap{"hidden_x225_closes", false, 225, true, false, true},
                                           WindowTap{"no_shell_x224_activates", false, 224, false, true, false,
                                                     true},
                                           WindowTap{"taskbar_class_x225_closes", false, 225, true, false, false,
                                                     false, u"HHTaskBar"}), RowName);

// Window handles serve as command ids: one whose low 16 bits equal the OnTop
// command is still that window, whole. A window gone by then is left alone.
TEST_F(TaskMenuTest, WindowHandlesStayWholeAsCommandIds)
{
    device.InstallShell();
    device.SetNextWindowHandle(0x20004);
    HWND window = AddWindow(u"App", u"App", RECT{0, 0, 240, 294});
    HWND gone = AddWindow(u"Gone", u"Gone", RECT{0, 0, 240, 294});
    Start();
    OpenMenu();
    device.DestroyWindow(gone);
    TapItem(gone);
    EXPECT_EQ(main, device.Foreground());
    OpenMenu();
    EXPECT_EQ(u"App", device.Menu()->drawn.front().text);
    TapItem(window);
    EXPECT_EQ(window, device.Foreground());
}

TEST_F(TaskMenuTest, CloseAllClosesOrdinaryWindowsTitledOrNot)
{
    cesim::Shell shell = device.InstallShell();
    HWND titled = AddWindow(u"Notes", u"Notes", RECT{0, 0, 240, 294});
    HWND untitled = AddWindow(u"Untitled", u"", RECT{0, 0, 240, 294});
    HWND tool = AddWindow(u"Tool", u"Tool", RECT{0, 0, 10, 10}, WS_VISIBLE, WS_EX_TOOLWINDOW);
    HWND hidden = AddWindow(u"Hidden", u"Hidden", RECT{0, 0, 240, 294}, 0);
    // The shell's classes are spared whatever the title; the comparison is exact.
    HWND desktop_like = AddWindow(u"DesktopExplorerWindow", u"Other", RECT{0, 0, 240, 294});
    HWND other_case =
        AddWindow(u"hhtaskbar", u"Lower", RECT{0, 0, 240, 294}, WS_VISIBLE, 0, device.AddProcess(u"x.exe"));
    Start();

    Choose({u"Close All"});
    for (HWND closed : {titled, untitled, other_case})
        EXPECT_TRUE(Received(closed, {CLOSE_POSTED})) << cesim::Utf8(device.Title(closed));
    for (HWND kept : {tool, hidden, desktop_like, shell.desktop, shell.taskbar})
        EXPECT_TRUE(Received(kept, {})) << cesim::Utf8(device.Title(kept));
}

// Each switch is toggled and stored; OnTop also moves the taskbar, which
// every top-level window hears of, and the monitor's event is set while any
// of the other three is on, else reset, which also clears the proxy icons and
// the button's face. Another program sees the event's state by its name.
TEST_F(TaskMenuTest, SwitchesToggleAreStoredAndAppliedInOrder)
{
    cesim::Shell shell = device.InstallShell();
    StoreSettings({{u"OkButton", 1}, {u"CloseButton", 5}});
    Start();
    auto event_set = [this] {
        DWORD probe = device.StartFunction(u"probe.exe", [] {
            HANDLE event = CreateEventW(nullptr, TRUE, FALSE, u"AygshellEvent_");
            DWORD state = WaitForSingleObject(event, 0);
            CloseHandle(event);
            return (int)state;
        });
        device.Settle();
        return device.ExitCode(probe) == WAIT_OBJECT_0;
    };
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100}, CLOSE_STYLE, OK_EXSTYLE);
    BringToFront(dialog);
    ASSERT_EQ((std::vector<UINT>{0, 4, 3}), TrayIds());

    struct Step {
        const char16_t* submenu;
        const char16_t* item;
        const char16_t* value;
        DWORD stored;
        bool event_set;
        std::vector<UINT> tray;
        bool report;  // reported anew: the monitor first sees Velto's window, which the menu brought forward
    };
    for (const Step& s : {Step{u"Tray", u"Ok button", u"OkButton", 0, true, {0, 4, 3}},
                          Step{u"Tray", u"Close button", u"CloseButton", 0, false, {0}},
                          Step{u"TaskBar", u"Monitoring", u"Monitoring", 1, true, {0}},
                          Step{u"Tray", u"Close button", u"CloseButton", 1, true, {0, 4}, true},
                          Step{u"Tray", u"Close button", u"CloseButton", 0, true, {0, 4}},
                          Step{u"TaskBar", u"Monitoring", u"Monitoring", 0, false, {0}},
                          // Woken with Velto's window in front, the monitor reports the dialog anew.
                          Step{u"Tray", u"Close button", u"CloseButton", 1, true, {0, 4}}}) {
        Choose({u"Settings", s.submenu, s.item});
        if (s.report)
            device.Advance(MONITOR_PERIOD);
        BringToFront(dialog);  // the user goes back to the dialog
        EXPECT_EQ(s.stored, *device.RegGetDword(SETTINGS_KEY, s.value)) << cesim::Utf8(s.item);
        EXPECT_EQ(s.event_set, event_set()) << cesim::Utf8(s.item);
        EXPECT_EQ(s.tray, TrayIds()) << cesim::Utf8(s.item);
        EXPECT_EQ(s.event_set ? FACE_OK : FACE_IDLE, LastFace().first) << cesim::Utf8(s.item);  // the dialog's OK
    }
    EXPECT_TRUE(Received(dialog, {}, {WM_SETTINGCHANGE}));

    Choose({u"Settings", u"TaskBar", u"OnTop"});
    EXPECT_EQ(1u, *device.RegGetDword(SETTINGS_KEY, u"TaskBarOnTop"));
    ExpectTopLayout(shell);
    EXPECT_TRUE(Received(dialog, WorkAreaChanged(1), {WM_SETTINGCHANGE}));
    EXPECT_EQ(MENU_HANGS, OpenMenu().flags);  // the next menu hangs from the taskbar
    Dismiss();
    Choose({u"Settings", u"TaskBar", u"OnTop"});
    EXPECT_EQ(0u, *device.RegGetDword(SETTINGS_KEY, u"TaskBarOnTop"));
    ExpectBottomLayout(shell);
}

// With the last of its three uses switched off the monitor parks: nothing is
// reported, however the foreground changes (OnTop is no use of it);
// switching one on wakes it.
TEST_F(TaskMenuTest, TurningOffTheLastUseParksTheMonitor)
{
    device.InstallShell();
    StoreSettings({{u"OkButton", 1}, {u"TaskBarOnTop", 1}});
    Start();
    HWND shown = AddWindow(u"Dialog", u"Shown", RECT{0, 0, 100, 100}, WS_VISIBLE, OK_EXSTYLE);
    BringToFront(shown);
    ASSERT_EQ((std::vector<UINT>{0, 3}), TrayIds());
    Choose({u"Settings", u"Tray", u"Ok button"});
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds());
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100}, CLOSE_STYLE, OK_EXSTYLE);
    device.SetForeground(dialog);
    device.Advance(20 * MONITOR_PERIOD);
    EXPECT_EQ(FACE_IDLE, LastFace().first);

    Choose({u"Settings", u"TaskBar", u"Monitoring"});
    device.SetForeground(dialog);
    device.Advance(MONITOR_PERIOD);
    EXPECT_EQ(FACE_OK, LastFace().first);  // the dialog is reported again
}

// The anchor is worked out before the settings are reloaded; the reload may then move the taskbar.
TEST_F(TaskMenuTest, AStoredPlacementMovesTheTaskbarAfterTheAnchorIsTaken)
{
    cesim::Shell shell = device.InstallShell();
    Start();
    StoreOnTop(1);
    cesim::MenuInfo menu = OpenMenu();
    ExpectTopLayout(shell);
    EXPECT_EQ(MENU_STANDS, menu.flags);
    EXPECT_EQ(294, menu.anchor.y);
    EXPECT_EQ("[Desktop]|-|Settings>(TaskBar>(OnTop#4*|Monitoring#5)|Tray>(Ok button#7|Close button#8)|About "
              "Velto#3)|Close All#2",
              Describe(menu.levels.at(0).items));
}

// The menu's loop still handles the monitor's reports (of a dialog that comes
// forward while the menu is open), and tray taps, which open no second menu:
// the tray icon keeps its active face.
TEST_F(TaskMenuTest, WhileTheMenuIsOpenReportsAreHandledAndTapsOpenNoOtherMenu)
{
    device.InstallShell();
    device.RegSetDword(SETTINGS_KEY, u"CloseButton", 1);
    Start();
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100}, CLOSE_STYLE, OK_EXSTYLE);
    OpenMenu();
    ASSERT_EQ((std::vector<UINT>{0}), TrayIds());
    BringToFront(dialog);
    ASSERT_EQ(1, device.OpenMenus());
    EXPECT_EQ((std::vector<UINT>{0, 4}), TrayIds());
    EXPECT_EQ(FACE_OK, LastFace().first);  // repainted while the menu is open

    for (int i = 0; i < 100; ++i)
        TapTray();
    EXPECT_EQ(1, device.OpenMenus());
    EXPECT_EQ(ICON_TRAY_ACTIVE, TrayImage(TRAY_ID_MAIN));
    Dismiss();
    OpenMenu();  // the next tap opens the menu again
}

// A later copy closes this one's main window while its menu is open: the menu goes with it.
TEST_F(TaskMenuTest, ACopyWithItsMenuOpenIsReplaced)
{
    device.InstallShell();
    Start();
    OpenMenu();
    DWORD first = velto;
    DWORD second = Start();
    device.Advance(MONITOR_PERIOD);  // the first copy's monitor ends its period
    EXPECT_FALSE(device.Running(first));
    EXPECT_EQ(0, device.OpenMenus());
    EXPECT_TRUE(device.Running(second));
    EXPECT_EQ(1u, device.Tray().size());
}

}  // namespace
