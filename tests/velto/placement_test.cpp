// Taskbar placement: the two layouts, which windows follow the desktop, and
// how the shell's windows are found.
#include "velto/velto_test.h"

#include <algorithm>
#include <optional>

using namespace velto_test;

namespace {

class PlacementTest : public VeltoTest {};

// Each layout also tells every top-level window that the work area changed.
TEST_F(PlacementTest, TopAndBottomLayoutsHaveTheirExactGeometry)
{
    cesim::Shell shell = device.InstallShell();
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 0, 240, 294});
    const Msg changed{WM_SETTINGCHANGE, SENT, SPI_SETWORKAREA, 0};
    RunOnce(u"-taskbar_up");
    ExpectTopLayout(shell);
    EXPECT_TRUE(Received(notes, {changed}, {WM_SETTINGCHANGE}));
    RunOnce(u"-taskbar_down");  // loading the stored 1 places the taskbar at the top first
    ExpectBottomLayout(shell);
    EXPECT_TRUE(Received(notes, {changed, changed, changed}, {WM_SETTINGCHANGE}));
}

TEST_F(PlacementTest, OrdinaryWindowsMoveToTheDesktopCornerKeepingTheirSize)
{
    cesim::Shell shell = device.InstallShell();
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 0, 240, 294});
    HWND tall = AddWindow(u"Tall", u"Tall", RECT{5, 0, 245, 320});
    HWND untitled = AddWindow(u"Untitled", u"", RECT{30, 40, 130, 90});
    HWND hidden = AddWindow(u"Hidden", u"Hidden", RECT{10, 10, 110, 110}, 0);
    HWND tool = AddWindow(u"Tool", u"Tool", RECT{20, 40, 120, 140}, WS_VISIBLE, WS_EX_TOOLWINDOW);
    HWND other_desktop = AddWindow(u"DesktopExplorerWindow", u"Other", RECT{1, 2, 41, 42});
    // in front of the taskbar, so that only the title tells them apart
    HWND other_taskbar = AddWindow(u"HHTaskBar", u"Second bar", RECT{3, 4, 43, 44}, WS_VISIBLE, WS_EX_TOPMOST);
    AddWindow(u"Notes", u"Desktop", RECT{6, 7, 46, 47});  // the desktop's title alone is not the desktop
    // Another program's class that differs only in letter case is an ordinary window.
    DWORD lookalikes = device.AddProcess(u"lookalike.exe");
    HWND lookalike = AddWindow(u"hhtaskbar", u"Look-alike", RECT{50, 60, 90, 100}, WS_VISIBLE, 0, lookalikes);

    RunOnce(u"-taskbar_up");

    EXPECT_EQ((RECT{0, 26, 240, 320}), device.Rect(notes));
    EXPECT_EQ((RECT{0, 26, 240, 346}), device.Rect(tall));  // never resized
    EXPECT_EQ((RECT{0, 26, 100, 76}), device.Rect(untitled));
    EXPECT_EQ((RECT{0, 26, 40, 66}), device.Rect(lookalike));
    EXPECT_EQ((RECT{10, 10, 110, 110}), device.Rect(hidden));
    EXPECT_EQ((RECT{20, 40, 120, 140}), device.Rect(tool));
    EXPECT_EQ((RECT{1, 2, 41, 42}), device.Rect(other_desktop));
    EXPECT_EQ((RECT{3, 4, 43, 44}), device.Rect(other_taskbar));
    ExpectTopLayout(shell);

    RunOnce(u"-taskbar_down");
    EXPECT_EQ((RECT{0, 0, 240, 294}), device.Rect(notes));
    EXPECT_EQ((RECT{0, 0, 240, 320}), device.Rect(tall));
    EXPECT_EQ((RECT{10, 10, 110, 110}), device.Rect(hidden));
}

TEST_F(PlacementTest, TaskbarIsRaisedToTheFrontAndTheDesktopKeepsItsPlace)
{
    cesim::Shell shell = device.InstallShell();
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 0, 240, 294});
    HWND front = AddWindow(u"Front", u"Front", RECT{0, 0, 50, 50}, WS_VISIBLE, WS_EX_TOPMOST);
    HWND below = AddWindow(u"Below", u"Below", RECT{0, 0, 50, 50});
    device.StartFunction(u"lower.exe", [below] {  // beneath the desktop window
        return (int)SetWindowPos(below, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    });
    device.Settle();
    ASSERT_EQ(front, device.TopLevel().front());
    ASSERT_EQ(below, device.TopLevel().back());

    RunOnce(u"-taskbar_up");

    // Moving the taskbar activates it (it never takes the foreground); the desktop is not activated.
    std::vector<std::pair<HWND, std::string>> shell_activations;
    for (const cesim::Activation& a : device.Activations()) {
        if (a.window == shell.taskbar || a.window == shell.desktop)
            shell_activations.push_back({a.window, a.call});
    }
    EXPECT_EQ((std::vector<std::pair<HWND, std::string>>{{shell.taskbar, "SetWindowPos"}}), shell_activations);
    std::vector<HWND> order = device.TopLevel();
    EXPECT_EQ(shell.taskbar, order.front());
    ASSERT_EQ(below, order.back());
    EXPECT_EQ(shell.desktop, order[order.size() - 2]);
    // The aligned windows keep their order among themselves.
    EXPECT_LT(std::find(order.begin(), order.end(), front), std::find(order.begin(), order.end(), notes));
}

TEST_F(PlacementTest, HiddenTaskbarIsShownByEitherLayout)
{
    DWORD shell = device.AddProcess(u"shell32.exe");
    HWND desktop = AddWindow(u"DesktopExplorerWindow", u"Desktop", BOTTOM_DESKTOP, WS_VISIBLE, 0, shell);
    device.SetShellDesktop(desktop);
    HWND taskbar = AddWindow(u"HHTaskBar", u"", BOTTOM_TASKBAR, 0, 0, shell);
    ASSERT_FALSE(device.Visible(taskbar));
    RunOnce(u"-taskbar_down");
    EXPECT_TRUE(device.Visible(taskbar));
    EXPECT_EQ(BOTTOM_TASKBAR, device.Rect(taskbar));
}

// The placement stored, read by a run that places nothing itself: the
// taskbar moves only when the stored value differs from the 0 that every run
// starts with. Any nonzero word is the top, and is kept as it is; a value of
// another type that fits in four bytes is taken as its bytes ("1" is 0x31); a
// value that is missing or too large is rewritten from memory.
struct StoredPlacement {
    const char* name;
    cesim::TaskbarEdge edge;  // where the taskbar stands before the run
    std::optional<cesim::RegistryValue> stored;
    bool top;
    int placed;  // times the taskbar was placed
    cesim::RegistryValue after;
};

void PrintTo(const StoredPlacement& c, std::ostream* out) { *out << c.name; }

class StoredPlacementTest : public PlacementTest, public ::testing::WithParamInterface<StoredPlacement> {};

TEST_P(StoredPlacementTest, MovesTheTaskbarOnlyWhenItDiffersFromZero)
{
    const StoredPlacement& c = GetParam();
    cesim::Shell shell = device.InstallShell(cesim::ShellNames::STANDARD, c.edge);
    if (c.stored)
        device.RegSet(SETTINGS_KEY, u"TaskBarOnTop", c.stored->type, c.stored->data);
    RunOnce(u"-taskbar");
    if (c.top)
        ExpectTopLayout(shell);
    else
        ExpectBottomLayout(shell);
    EXPECT_EQ(c.placed, device.WorkAreaSets());
    EXPECT_EQ(c.placed, device.PositionsSet(shell.taskbar));
    EXPECT_EQ(c.placed, device.PositionsSet(shell.desktop));
    EXPECT_EQ(c.after.type, device.RegGet(SETTINGS_KEY, u"TaskBarOnTop")->type);
    EXPECT_EQ(c.after.data, device.RegGet(SETTINGS_KEY, u"TaskBarOnTop")->data);
}

constexpr auto AT_TOP = cesim::TaskbarEdge::TOP, AT_BOTTOM = cesim::TaskbarEdge::BOTTOM;
const cesim::RegistryValue ZERO{REG_DWORD, {0, 0, 0, 0}}, ONE{REG_DWORD, {1, 0, 0, 0}}, TWO{REG_DWORD, {2, 0, 0, 0}};

INSTANTIATE_TEST_SUITE_P(
    Stored, StoredPlacementTest,
    ::testing::Values(StoredPlacement{"first_run", AT_BOTTOM, std::nullopt, false, 0, ZERO},
                      StoredPlacement{"missing_with_the_taskbar_at_the_top", AT_TOP, std::nullopt, true, 0, ZERO},
                      StoredPlacement{"zero_with_the_taskbar_at_the_top", AT_TOP, ZERO, true, 0, ZERO},
                      StoredPlacement{"one", AT_BOTTOM, ONE, true, 1, ONE},
                      StoredPlacement{"two", AT_BOTTOM, TWO, true, 1, TWO},
                      StoredPlacement{"string_one", AT_BOTTOM, cesim::RegistryValue{REG_SZ, TextBytes(u"1")}, true, 1,
                                      cesim::RegistryValue{REG_SZ, TextBytes(u"1")}},
                      StoredPlacement{"too_large", AT_TOP, cesim::RegistryValue{REG_BINARY, {1, 0, 0, 0, 0}}, true, 0,
                                      ZERO}),
    RowName);

TEST_F(PlacementTest, WithoutAShellTheScreenWindowStandsInForTheDesktop)
{
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 0, 240, 320});
    RunOnce(u"-taskbar_up");
    EXPECT_EQ(TOP_DESKTOP, device.WorkArea());
    EXPECT_EQ((RECT{0, 26, 240, 320}), device.Rect(device.DesktopWindow()));
    EXPECT_EQ((RECT{0, 26, 240, 346}), device.Rect(notes));
    EXPECT_EQ(1u, StoredOnTop());
}

TEST_F(PlacementTest, TopMenuShellIsFoundByTheSecondFallbackWhichIsNeverStored)
{
    cesim::Shell shell = device.InstallShell(cesim::ShellNames::TOP_MENU);
    device.SetShellDesktop(nullptr);  // so that only the names find the desktop window
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 0, 240, 294});
    // Neither the first fallback's class nor its title alone finds a desktop.
    AddWindow(u"DesktopExplorerWindow", u"Elsewhere", RECT{0, 0, 10, 10});
    AddWindow(u"Notes", u"Desktop", RECT{0, 0, 10, 10});
    RunOnce(u"-taskbar_up");
    ExpectTopLayout(shell);
    // The notes window is aligned to the unmoved screen window.
    EXPECT_EQ((RECT{0, 0, 240, 320}), device.Rect(device.DesktopWindow()));
    EXPECT_EQ((RECT{0, 0, 240, 294}), device.Rect(notes));
    // The registry keeps the names that were in memory before the check.
    EXPECT_EQ(u"Desktop", device.RegGetString(SETTINGS_KEY, u"DesktopName"));
    EXPECT_EQ(u"DesktopExplorerWindow", device.RegGetString(SETTINGS_KEY, u"DesktopClass"));
}

TEST_F(PlacementTest, StoredDesktopNamesThatFindAWindowAreUsed)
{
    cesim::Shell shell = device.InstallShell();
    HWND custom = AddWindow(u"MyDeskClass", u"My Desk", RECT{0, 0, 240, 294});
    device.RegSetString(SETTINGS_KEY, u"DesktopName", u"My Desk");
    device.RegSetString(SETTINGS_KEY, u"DesktopClass", u"MyDeskClass");
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{10, 10, 240, 294});
    RunOnce(u"-taskbar_up");
    EXPECT_EQ(TOP_DESKTOP, device.Rect(custom));
    EXPECT_EQ(TOP_TASKBAR, device.Rect(shell.taskbar));
    // The system's desktop window is now an ordinary window to be aligned, and
    // it is also the corner the windows are aligned to: it stays where it is.
    EXPECT_EQ(BOTTOM_DESKTOP, device.Rect(shell.desktop));
    EXPECT_EQ(1, device.PositionsSet(shell.desktop));
    EXPECT_EQ((RECT{0, 0, 230, 284}), device.Rect(notes));
}

TEST_F(PlacementTest, StoredDesktopNamesThatFindNoWindowFallBackWithoutBeingRewritten)
{
    cesim::Shell shell = device.InstallShell();
    device.SetShellDesktop(nullptr);  // so that only the names find the desktop window
    device.RegSetString(SETTINGS_KEY, u"DesktopName", u"Gone");
    device.RegSetString(SETTINGS_KEY, u"DesktopClass", u"GoneClass");
    // Neither the stored class nor the stored title alone finds a desktop.
    AddWindow(u"GoneClass", u"Elsewhere", RECT{0, 0, 10, 10});
    AddWindow(u"Notes", u"Gone", RECT{0, 0, 10, 10});
    RunOnce(u"-taskbar_up");
    ExpectTopLayout(shell);
    EXPECT_EQ((RECT{0, 0, 240, 320}), device.Rect(device.DesktopWindow()));
    EXPECT_EQ(u"Gone", device.RegGetString(SETTINGS_KEY, u"DesktopName"));
    EXPECT_EQ(u"GoneClass", device.RegGetString(SETTINGS_KEY, u"DesktopClass"));
}

TEST_F(PlacementTest, StoredTaskbarNamesAreUsedAsTheyStand)
{
    cesim::Shell shell = device.InstallShell();
    DWORD other_shell = device.AddProcess(u"bar.exe");
    HWND bar = AddWindow(u"MyBar", u"Bar", RECT{0, 100, 240, 126}, WS_VISIBLE, 0, other_shell);
    device.RegSetString(SETTINGS_KEY, u"TaskbarName", u"Bar");
    device.RegSetString(SETTINGS_KEY, u"TaskbarClass", u"MyBar");
    RunOnce(u"-taskbar_up");
    EXPECT_EQ(TOP_TASKBAR, device.Rect(bar));
    // "HHTaskBar" is no longer the taskbar's class, so the old bar is aligned like any window.
    EXPECT_EQ((RECT{0, 26, 240, 52}), device.Rect(shell.taskbar));
}

}  // namespace
