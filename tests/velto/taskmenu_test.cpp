// The task menu: its tree, where it opens, the window list and what each
// command does.
#include "velto/menu_test.h"

using namespace velto_test;

namespace {

constexpr UINT MF_STRING_ITEM = 0;

class TaskMenuTest : public MenuTest {
protected:
    // The ids of the main menu's items, in order.
    std::vector<UINT_PTR> MainIds(const cesim::MenuInfo& menu)
    {
        std::vector<UINT_PTR> ids;
        for (auto& item : menu.levels.at(0).items)
            ids.push_back(item.id);
        return ids;
    }

    int SetEvents()
    {
        return set_events;
    }

    int set_events = 0;
    void WatchEvent()
    {
        device.OnEventSet(u"AygshellEvent_", [this] { ++set_events; });
    }
};

// Where the taskbar is decides the order, the anchor and the alignment.
struct Placement {
    const char* name;
    std::optional<RECT> taskbar;
    UINT flags;
    POINT anchor;
    bool close_all_first;
};

void PrintTo(const Placement& value, std::ostream* out) { *out << value.name; }

class PlacementTest : public TaskMenuTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(PlacementTest, MenuOpensAgainstTheTaskbarInItsOrder)
{
    const Placement& p = GetParam();
    if (p.taskbar)
        AddWindow(u"HHTaskBar", u"", *p.taskbar, WS_VISIBLE | WS_POPUP, WS_EX_TOPMOST);
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 26, 240, 320});
    StartVelto();
    // Another window is in front when the tray icon is tapped.
    device.RunInProcess(velto, [&]() -> DWORD { return (DWORD)SetForegroundWindow(notes); });
    ASSERT_EQ(notes, device.Foreground());

    cesim::MenuInfo menu = OpenMenu();
    EXPECT_EQ(main, menu.owner);
    EXPECT_EQ(p.flags, menu.flags);
    EXPECT_EQ(p.anchor.x, menu.anchor.x);
    EXPECT_EQ(p.anchor.y, menu.anchor.y);
    const cesim::MenuLevelInfo& top = menu.levels.at(0);
    EXPECT_EQ(240, top.rect.right);
    EXPECT_EQ(p.anchor.y, (p.flags & TPM_BOTTOMALIGN) ? top.rect.bottom : top.rect.top);

    const UINT_PTR settings = top.items.at(p.close_all_first ? 1 : 2).id;
    std::vector<UINT_PTR> expected = p.close_all_first ? std::vector<UINT_PTR>{2, settings, 0, (UINT_PTR)notes}
                                                       : std::vector<UINT_PTR>{(UINT_PTR)notes, 0, settings, 2};
    EXPECT_EQ(expected, MainIds(menu));
    std::vector<UINT> flags;
    std::vector<std::u16string> texts;
    for (auto& item : top.items) {
        flags.push_back(item.flags);
        texts.push_back(item.text);
    }
    std::vector<UINT> expected_flags = p.close_all_first
                                           ? std::vector<UINT>{MF_STRING_ITEM, MF_POPUP, MF_SEPARATOR, MF_OWNERDRAW}
                                           : std::vector<UINT>{MF_OWNERDRAW, MF_SEPARATOR, MF_POPUP, MF_STRING_ITEM};
    EXPECT_EQ(expected_flags, flags);
    std::vector<std::u16string> expected_texts = p.close_all_first
                                                     ? std::vector<std::u16string>{u"Close All", u"Settings", u"", u""}
                                                     : std::vector<std::u16string>{u"", u"", u"Settings", u"Close All"};
    EXPECT_EQ(expected_texts, texts);

    // While the menu is open the tray icon shows its active face, and the main window is in front.
    EXPECT_EQ(106, device.Image(device.FindTrayIcon(main, 0)->icon).resource_id);
    EXPECT_EQ(main, device.Foreground());

    device.DismissMenu();
    device.Settle();
    EXPECT_EQ(0, device.OpenMenus());
    EXPECT_EQ(113, device.Image(device.FindTrayIcon(main, 0)->icon).resource_id);
    EXPECT_EQ(0, device.OpenHandles(velto, "menu"));  // the whole tree is destroyed
    EXPECT_TRUE(device.Received(notes).empty());      // a dismissed menu does nothing
    EXPECT_EQ(0, device.WorkAreaSets());
}

INSTANTIATE_TEST_SUITE_P(
    Taskbar, PlacementTest,
    ::testing::Values(Placement{"top_edge_100", RECT{0, 100, 240, 126}, 0x108, POINT{240, 126}, true},
                      Placement{"top_edge_101", RECT{0, 101, 240, 127}, 0x128, POINT{240, 101}, false},
                      Placement{"at_the_top", RECT{0, 0, 240, 26}, 0x108, POINT{240, 26}, true},
                      Placement{"at_the_bottom", RECT{0, 294, 240, 320}, 0x128, POINT{240, 294}, false},
                      Placement{"none", std::nullopt, 0x108, POINT{240, 240}, true}),
    [](const ::testing::TestParamInfo<Placement>& info) { return std::string(info.param.name); });

TEST_F(TaskMenuTest, SettingsSubmenusCarryTheStoredSwitches)
{
    device.InstallShell();
    device.RegSetDword(SETTINGS_KEY, u"Monitoring", 1);
    device.RegSetDword(SETTINGS_KEY, u"CloseButton", 1);
    StartVelto();

    auto checks = [this] {
        cesim::MenuInfo menu = OpenMenu();
        const auto& settings = menu.levels.at(0).items.at(2);
        EXPECT_EQ(u"Settings", settings.text);
        std::vector<std::pair<std::u16string, UINT_PTR>> items;
        std::vector<std::pair<std::u16string, UINT>> switches;
        for (auto& item : settings.submenu) {
            items.push_back({item.text, (item.flags & MF_POPUP) ? 0 : item.id});
            for (auto& sub : item.submenu)
                switches.push_back({sub.text + u"=" + cesim::U16(std::to_string(sub.id)), sub.flags});
        }
        EXPECT_EQ((std::vector<std::pair<std::u16string, UINT_PTR>>{{u"TaskBar", 0}, {u"Tray", 0}, {u"About Velto", 3}}),
                  items);
        EXPECT_EQ((UINT)MF_POPUP, settings.submenu.at(0).flags);
        EXPECT_EQ((UINT)MF_POPUP, settings.submenu.at(1).flags);
        EXPECT_EQ(0u, settings.submenu.at(2).flags);
        device.DismissMenu();
        device.Settle();
        return switches;
    };
    using Switches = std::vector<std::pair<std::u16string, UINT>>;
    EXPECT_EQ((Switches{{u"OnTop=4", 0}, {u"Monitoring=5", MF_CHECKED}, {u"Ok button=7", 0},
                        {u"Close button=8", MF_CHECKED}}),
              checks());

    // Another program changes the stored settings: the next menu shows them.
    device.RegSetDword(SETTINGS_KEY, u"Monitoring", 0);
    device.RegSetDword(SETTINGS_KEY, u"OkButton", 7);
    EXPECT_EQ((Switches{{u"OnTop=4", 0}, {u"Monitoring=5", 0}, {u"Ok button=7", MF_CHECKED},
                        {u"Close button=8", MF_CHECKED}}),
              checks());
}

TEST_F(TaskMenuTest, WindowListHoldsVisibleTitledOrdinaryWindowsInZOrder)
{
    cesim::Shell shell = device.InstallShell();
    HWND inbox = AddWindow(u"Inbox", u"Inbox", RECT{0, 0, 240, 294});
    AddWindow(u"Hidden", u"Hidden", RECT{0, 0, 240, 294}, 0);
    AddWindow(u"Tool", u"Tool", RECT{0, 0, 10, 10}, WS_VISIBLE, WS_EX_TOOLWINDOW);
    AddWindow(u"Untitled", u"", RECT{0, 0, 240, 294});
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 0, 240, 294});
    StartVelto();

    cesim::MenuInfo menu = OpenMenu();
    std::vector<UINT_PTR> ids = MainIds(menu);
    ids.resize(ids.size() - 3);  // the separator, "Settings" and "Close All"
    // The taskbar has no title; Velto's own window is a tool window.
    EXPECT_EQ((std::vector<UINT_PTR>{(UINT_PTR)notes, (UINT_PTR)inbox, (UINT_PTR)shell.desktop}), ids);
}

// A tap on a window's item activates it; at its right end it closes it, but never the desktop.
struct WindowTap {
    const char* name;
    bool desktop;
    LONG x;
    bool closes;
    bool activates;
};

void PrintTo(const WindowTap& value, std::ostream* out) { *out << value.name; }

class WindowTapTest : public TaskMenuTest, public ::testing::WithParamInterface<WindowTap> {};

TEST_P(WindowTapTest, RightEndClosesTheRestActivates)
{
    const WindowTap& t = GetParam();
    cesim::Shell shell = device.InstallShell();
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 0, 240, 294});
    HWND other = AddWindow(u"Other", u"Other", RECT{0, 0, 240, 294});
    StartVelto();
    HWND target = t.desktop ? shell.desktop : notes;

    OpenMenu();
    TapItem((UINT_PTR)target, t.x);
    EXPECT_EQ(0, device.OpenMenus());
    EXPECT_EQ(t.activates ? target : main, device.Foreground());
    auto got = device.Received(target);
    if (t.closes) {
        ASSERT_EQ(1u, got.size());
        EXPECT_EQ((UINT)WM_CLOSE, got[0].message);
        EXPECT_EQ(0u, got[0].wParam);
        EXPECT_EQ(0, got[0].lParam);
        EXPECT_FALSE(got[0].sent);
        EXPECT_FALSE(device.IsAlive(target));
    } else {
        EXPECT_TRUE(got.empty());
        EXPECT_TRUE(device.IsAlive(target));
    }
    EXPECT_TRUE(device.Received(other).empty());
}

INSTANTIATE_TEST_SUITE_P(Item, WindowTapTest,
                         ::testing::Values(WindowTap{"x224_activates", false, 224, false, true},
                                           WindowTap{"x225_closes", false, 225, true, false},
                                           WindowTap{"x239_closes", false, 239, true, false},
                                           WindowTap{"left_end_activates", false, 200, false, true},
                                           WindowTap{"desktop_x224_activates", true, 224, false, true},
                                           WindowTap{"desktop_x225_stays", true, 225, false, false}),
                         [](const ::testing::TestParamInfo<WindowTap>& info) { return std::string(info.param.name); });

TEST_F(TaskMenuTest, AWindowThatWentAwayWhileTheMenuWasOpenIsLeftAlone)
{
    device.InstallShell();
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 0, 240, 294});
    StartVelto();
    OpenMenu();
    device.DestroyWindow(notes);
    TapItem((UINT_PTR)notes);
    EXPECT_EQ(0, device.OpenMenus());
    EXPECT_TRUE(device.Running(velto));
    EXPECT_EQ(main, device.Foreground());
}

// Window handles serve as command ids: one whose low 16 bits equal a menu
// command is still that window, whole.
TEST_F(TaskMenuTest, WindowHandlesStayWholeAsCommandIds)
{
    device.InstallShell();
    device.SetNextWindowHandle(0x20004);
    HWND window = AddWindow(u"App", u"App", RECT{0, 0, 240, 294});
    ASSERT_EQ((uintptr_t)0x20004, (uintptr_t)window);
    StartVelto();
    OpenMenu();
    auto menu = device.Menu();
    ASSERT_FALSE(menu->drawn.empty());
    EXPECT_EQ(u"App", menu->drawn.front().text);
    TapItem((UINT_PTR)window);
    EXPECT_EQ(window, device.Foreground());
    EXPECT_EQ(0u, *device.RegGetDword(SETTINGS_KEY, u"TaskBarOnTop"));  // not the OnTop command 4
    EXPECT_EQ(0, device.WorkAreaSets());
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
    HWND other_case = AddWindow(u"hhtaskbar", u"Lower", RECT{0, 0, 240, 294}, WS_VISIBLE, 0, device.AddProcess(u"x.exe"));
    StartVelto();

    Choose({u"Close All"});
    for (HWND closed : {titled, untitled, other_case}) {
        auto got = device.Received(closed);
        ASSERT_EQ(1u, got.size()) << cesim::Utf8(device.Title(closed));
        EXPECT_EQ((UINT)WM_CLOSE, got[0].message);
        EXPECT_EQ(0u, got[0].wParam);
        EXPECT_FALSE(got[0].sent);
    }
    for (HWND kept : {tool, hidden, desktop_like, shell.desktop, shell.taskbar})
        EXPECT_TRUE(device.Received(kept).empty()) << cesim::Utf8(device.Title(kept));
    EXPECT_TRUE(device.Running(velto));
}

// Each switch is toggled, stored, and acted on.
struct Toggle {
    const char* name;
    const char16_t* submenu;
    const char16_t* item;
    const char16_t* value;
};

void PrintTo(const Toggle& value, std::ostream* out) { *out << value.name; }

class ToggleTest : public TaskMenuTest, public ::testing::WithParamInterface<Toggle> {};

TEST_P(ToggleTest, ChoosingASwitchTogglesAndStoresIt)
{
    const Toggle& t = GetParam();
    device.InstallShell();
    StartVelto();
    for (DWORD expected : {1u, 0u}) {
        Choose({u"Settings", t.submenu, t.item});
        EXPECT_EQ(expected, *device.RegGetDword(SETTINGS_KEY, t.value));
    }
    // A stored non-zero value of any size counts as on, and turns off.
    device.RegSetDword(SETTINGS_KEY, t.value, 5);
    Choose({u"Settings", t.submenu, t.item});
    EXPECT_EQ(0u, *device.RegGetDword(SETTINGS_KEY, t.value));
}

INSTANTIATE_TEST_SUITE_P(Switch, ToggleTest,
                         ::testing::Values(Toggle{"OnTop", u"TaskBar", u"OnTop", u"TaskBarOnTop"},
                                           Toggle{"Monitoring", u"TaskBar", u"Monitoring", u"Monitoring"},
                                           Toggle{"OkButton", u"Tray", u"Ok button", u"OkButton"},
                                           Toggle{"CloseButton", u"Tray", u"Close button", u"CloseButton"}),
                         [](const ::testing::TestParamInfo<Toggle>& info) { return std::string(info.param.name); });

TEST_F(TaskMenuTest, OnTopMovesTheTaskbarAndTheNextMenuOpensBelowIt)
{
    cesim::Shell shell = device.InstallShell();
    StartVelto();
    Choose({u"Settings", u"TaskBar", u"OnTop"});
    ExpectTopLayout(shell);
    cesim::MenuInfo menu = OpenMenu();
    EXPECT_EQ(0x108u, menu.flags);
    EXPECT_EQ(26, menu.anchor.y);
    EXPECT_EQ(2u, menu.levels.at(0).items.at(0).id);
    device.DismissMenu();
    device.Settle();

    Choose({u"Settings", u"TaskBar", u"OnTop"});
    ExpectBottomLayout(shell);
}

// The anchor is worked out before the settings are reloaded; the reload may then move the taskbar.
TEST_F(TaskMenuTest, AStoredPlacementMovesTheTaskbarAfterTheAnchorIsTaken)
{
    cesim::Shell shell = device.InstallShell();
    StartVelto();
    StoreOnTop(1);
    cesim::MenuInfo menu = OpenMenu();
    ExpectTopLayout(shell);
    EXPECT_EQ(0x128u, menu.flags);
    EXPECT_EQ(294, menu.anchor.y);
    EXPECT_EQ(2u, menu.levels.at(0).items.back().id);
    const auto& items = menu.levels.at(0).items;
    EXPECT_EQ((UINT)MF_CHECKED, items.at(items.size() - 2).submenu.at(0).submenu.at(0).flags);  // the new value
}

// The monitor runs while any of its three uses is on; when the last goes off
// its event is reset and the proxy icons and the button's face are cleared.
TEST_F(TaskMenuTest, MonitorRuleSetsOrResetsTheEvent)
{
    device.InstallShell();
    device.RegSetDword(SETTINGS_KEY, u"OkButton", 1);
    device.RegSetDword(SETTINGS_KEY, u"CloseButton", 1);
    StartVelto();
    WatchEvent();
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100});
    device.Post(main, WM_COMMAND, MAKEWPARAM(1024, 0x18), (LPARAM)dialog);
    device.Settle();
    ASSERT_EQ((std::vector<UINT>{0, 4, 3}), TrayIds());

    Choose({u"Settings", u"Tray", u"Ok button"});  // Close button is still on
    EXPECT_EQ(1, SetEvents());
    EXPECT_EQ(0u, device.Calls("ResetEvent"));
    EXPECT_EQ((std::vector<UINT>{0, 4, 3}), TrayIds());

    Choose({u"Settings", u"Tray", u"Close button"});  // the last one off
    EXPECT_EQ(1, SetEvents());
    EXPECT_EQ(1u, device.Calls("ResetEvent"));
    EXPECT_EQ((std::vector<UINT>{0}), TrayIds());
    HWND button = nullptr;
    for (HWND w : device.WindowsOf(velto)) {
        if (device.ClassName(w) == u"VeltoButton")
            button = w;
    }
    EXPECT_EQ(112, device.Drawn(button).back().bitmap_id);  // idle

    Choose({u"Settings", u"TaskBar", u"Monitoring"});
    EXPECT_EQ(2, SetEvents());
    EXPECT_EQ(1u, device.Calls("ResetEvent"));
    EXPECT_EQ(0, device.WorkAreaSets());  // only OnTop moves the taskbar
}

TEST_F(TaskMenuTest, MonitorReportsAreHandledWhileTheMenuIsOpen)
{
    device.InstallShell();
    device.RegSetDword(SETTINGS_KEY, u"CloseButton", 1);
    StartVelto();
    HWND dialog = AddWindow(u"Dialog", u"Dialog", RECT{0, 0, 100, 100});
    OpenMenu();
    // The monitor sends its report and waits for it to be handled.
    device.RunInProcess(velto, [&]() -> DWORD {
        return (DWORD)SendMessageW(main, WM_COMMAND, MAKEWPARAM(1024, 0x18), (LPARAM)dialog);
    });
    EXPECT_EQ(1, device.OpenMenus());
    EXPECT_EQ((std::vector<UINT>{0, 4}), TrayIds());
    // The button is repainted with the OK face while the menu is open.
    HWND button = nullptr;
    for (HWND w : device.WindowsOf(velto)) {
        if (device.ClassName(w) == u"VeltoButton")
            button = w;
    }
    EXPECT_EQ(110, device.Drawn(button).back().bitmap_id);
}

// Tray taps that the open menu's loop dispatches open no second menu.
TEST_F(TaskMenuTest, TapsWhileTheMenuIsOpenOpenNoOtherMenu)
{
    device.InstallShell();
    StartVelto();
    OpenMenu();
    for (int i = 0; i < 100; ++i)
        TapTray();
    EXPECT_EQ(1, device.OpenMenus());
    EXPECT_EQ(1u, device.Calls("TrackPopupMenuEx"));
    device.DismissMenu();
    device.Settle();
    EXPECT_EQ(0, device.OpenMenus());
    EXPECT_EQ(113, device.Image(device.FindTrayIcon(main, 0)->icon).resource_id);

    OpenMenu();  // the next tap opens the menu again
    EXPECT_EQ(2u, device.Calls("TrackPopupMenuEx"));
}

TEST_F(TaskMenuTest, AboutIsPostedAndOpensAfterTheMenuHasClosed)
{
    device.InstallShell();
    StartVelto();
    OpenMenu();
    TapItem(std::u16string(u"Settings"));
    TapItem(std::u16string(u"About Velto"));
    EXPECT_EQ(0, device.OpenMenus());
    EXPECT_EQ(0, device.OpenHandles(velto, "menu"));
    EXPECT_TRUE(device.Dialog().has_value());
}

}  // namespace
