// Taskbar placement: the two layouts, which windows follow the desktop, and
// how the shell's windows are found.
#include "velto/velto_test.h"

#include <algorithm>
#include <optional>

using namespace velto_test;

namespace {

class PlacementTest : public VeltoTest {};

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
    std::vector<HWND> shell_activations;
    for (const cesim::Activation& a : device.Activations()) {
        if (a.window == shell.taskbar || a.window == shell.desktop)
            shell_activations.push_back(a.window);
    }
    EXPECT_EQ(std::vector<HWND>{shell.taskbar}, shell_activations);
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
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 0, 50, 50}, WS_VISIBLE, WS_EX_TOPMOST);  // before the taskbar
    if (c.stored)
        device.RegSet(SETTINGS_KEY, u"TaskBarOnTop", c.stored->type, c.stored->data);
    RunOnce(u"-taskbar");
    if (c.top)
        ExpectTopLayout(shell);
    else
        ExpectBottomLayout(shell);
    EXPECT_TRUE(Received(notes, WorkAreaChanged(c.placed), {WM_SETTINGCHANGE}));
    EXPECT_EQ(c.placed ? shell.taskbar : notes, device.TopLevel().front());  // a placement raises the taskbar
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

// How the desktop window is found: by the names stored, else by the names
// built in, else by the top-menu shell's names, which are never stored; with
// none of them the screen window stands in. The window found moves below the
// taskbar; every program's window is aligned to the corner of the screen
// window (GetDesktopWindow), wherever that stands.
using Names = std::pair<std::u16string, std::u16string>;  // title and class

struct DesktopIdentity {
    const char* name;
    std::optional<cesim::ShellNames> shell;  // none: no shell at all
    bool names_alone;  // the shell's desktop is not the screen window: only its names find it
    std::optional<Names> stored;  // DesktopName and DesktopClass before the run
    bool own_desk;  // a window of the test's own bears the stored names, at the bottom layout's place
    std::vector<Names> decoys;  // windows that bear one of the names alone
    RECT screen;  // where the screen window ends
    Names stored_after;
};

void PrintTo(const DesktopIdentity& c, std::ostream* out) { *out << c.name; }

class DesktopIdentityTest : public PlacementTest, public ::testing::WithParamInterface<DesktopIdentity> {};

TEST_P(DesktopIdentityTest, FindsTheDesktopWindow)
{
    const DesktopIdentity& c = GetParam();
    std::optional<cesim::Shell> shell;
    if (c.shell)
        shell = device.InstallShell(*c.shell);
    if (c.names_alone)
        device.SetShellDesktop(nullptr);
    if (c.stored) {
        device.RegSetString(SETTINGS_KEY, u"DesktopName", c.stored->first);
        device.RegSetString(SETTINGS_KEY, u"DesktopClass", c.stored->second);
    }
    HWND own_desk = c.own_desk ? AddWindow(c.stored->second, c.stored->first, BOTTOM_DESKTOP) : nullptr;
    for (const Names& decoy : c.decoys)
        AddWindow(decoy.second, decoy.first, RECT{0, 0, 10, 10});
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{10, 10, 240, 294});

    RunOnce(u"-taskbar_up");

    EXPECT_EQ(TOP_DESKTOP, device.Rect(own_desk ? own_desk : shell ? shell->desktop : device.DesktopWindow()));
    EXPECT_EQ(TOP_DESKTOP, device.WorkArea());
    if (shell)
        EXPECT_EQ(TOP_TASKBAR, device.Rect(shell->taskbar));
    EXPECT_EQ(c.screen, device.Rect(device.DesktopWindow()));
    EXPECT_EQ((RECT{c.screen.left, c.screen.top, c.screen.left + 230, c.screen.top + 284}), device.Rect(notes));
    EXPECT_EQ(c.stored_after.first, device.RegGetString(SETTINGS_KEY, u"DesktopName"));
    EXPECT_EQ(c.stored_after.second, device.RegGetString(SETTINGS_KEY, u"DesktopClass"));
}

const Names BUILT_IN{u"Desktop", u"DesktopExplorerWindow"};
const Names MY_DESK{u"My Desk", u"MyDeskClass"}, GONE{u"Gone", u"GoneClass"};
constexpr auto STANDARD = cesim::ShellNames::STANDARD;
constexpr RECT SCREEN{0, 0, 240, 320};

INSTANTIATE_TEST_SUITE_P(
    Desktop, DesktopIdentityTest,
    ::testing::Values(
        DesktopIdentity{"no_shell_the_screen_window_stands_in", {}, false, {}, false, {}, TOP_DESKTOP, BUILT_IN},
        // Neither the first fallback's class nor its title alone finds a desktop.
        DesktopIdentity{"top_menu_shell_by_the_second_fallback_never_stored", cesim::ShellNames::TOP_MENU, true, {},
                        false, {{u"Elsewhere", u"DesktopExplorerWindow"}, {u"Desktop", u"Notes"}}, SCREEN, BUILT_IN},
        // The system's desktop window is now a program's window, aligned to its own corner.
        DesktopIdentity{"stored_names_that_find_a_window_are_used", STANDARD, false, MY_DESK, true, {}, BOTTOM_DESKTOP,
                        MY_DESK},
        // Neither the stored class nor the stored title alone finds a desktop; nothing is rewritten.
        DesktopIdentity{"stored_names_that_find_no_window_fall_back", STANDARD, true, GONE, false,
                        {{u"Elsewhere", u"GoneClass"}, {u"Gone", u"Notes"}}, SCREEN, GONE}),
    RowName);

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
