// The -taskbar switches: one run that places the taskbar, stores the
// placement and ends.
#include "velto/velto_test.h"

#include <cctype>
#include <map>
#include <optional>
#include <ostream>
#include <string>

using namespace velto_test;

namespace {

struct SwitchCase {
    const char16_t* command_line;
    std::optional<DWORD> stored_before;  // TaskBarOnTop in the registry before the run; none on a first run
    DWORD stored_after;
};

void PrintTo(const SwitchCase& c, std::ostream* out)
{
    *out << "\"" << cesim::Utf8(c.command_line) << "\" with TaskBarOnTop "
         << (c.stored_before ? std::to_string(*c.stored_before) : "not stored");
}

// A readable, stable test name: the command line's letters and digits, and the
// stored placement it starts from.
std::string SwitchCaseName(const ::testing::TestParamInfo<SwitchCase>& info)
{
    std::string name;
    for (char c : cesim::Utf8(info.param.command_line)) {
        if (std::isalnum((unsigned char)c))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    const std::optional<DWORD>& before = info.param.stored_before;
    return name + (!before ? "_first_run" : *before ? "_from_top" : "_from_bottom");
}

class CommandLineTest : public VeltoTest {};

class SwitchTest : public CommandLineTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchTest, PlacesTheTaskbarStoresThePlacementAndEnds)
{
    const SwitchCase& c = GetParam();
    cesim::Shell shell = device.InstallShell();
    if (c.stored_before)
        StoreOnTop(*c.stored_before);
    HWND notes = AddWindow(u"Notes", u"Notes", RECT{0, 0, 240, 294});

    DWORD velto = RunOnce(c.command_line);

    EXPECT_EQ(c.stored_after, StoredOnTop());
    // Each layout is heard of; a stored top placement is applied once before the switch's.
    EXPECT_TRUE(Received(notes, WorkAreaChanged(c.stored_before.value_or(0) ? 2 : 1), {WM_SETTINGCHANGE}));
    if (c.stored_after) {
        ExpectTopLayout(shell);
        EXPECT_EQ((RECT{0, 26, 240, 320}), device.Rect(notes));
    } else {
        ExpectBottomLayout(shell);
        EXPECT_EQ((RECT{0, 0, 240, 294}), device.Rect(notes));
    }
    // A command-line run leaves nothing behind.
    EXPECT_TRUE(device.WindowsOf(velto).empty());
    EXPECT_TRUE(device.Tray().empty());
    device.RestartRegistry();  // what was stored outlives a restart of the device
    EXPECT_EQ(c.stored_after, StoredOnTop());
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SwitchTest,
    ::testing::Values(SwitchCase{u"-taskbar_up", 0, 1}, SwitchCase{u"-taskbar_up", 1, 1},
                      SwitchCase{u"-taskbar_down", 1, 0}, SwitchCase{u"-taskbar_down", 0, 0},
                      SwitchCase{u"-taskbar_move", 0, 1}, SwitchCase{u"-taskbar_move", 1, 0},
                      SwitchCase{u"-taskbar_hide", 0, 1}, SwitchCase{u"-taskbar_hide", 1, 0},
                      SwitchCase{u"-taskbar_switch", 0, 1}, SwitchCase{u"-taskbar_switch", 1, 0},
                      // On a first run; -taskbar_hide toggles the placement and does not hide the taskbar.
                      SwitchCase{u"-taskbar_up", std::nullopt, 1}, SwitchCase{u"-taskbar_hide", std::nullopt, 1},
                      // -taskbar_up is tested first, then -taskbar_down, then the toggles.
                      SwitchCase{u"-taskbar_down -taskbar_up", 0, 1},
                      SwitchCase{u"-taskbar_switch -taskbar_down", 1, 0},
                      SwitchCase{u"-taskbar_move -taskbar_up", 1, 1},
                      // A switch is found anywhere in the command line.
                      SwitchCase{u"/q x-taskbar_upward", 0, 1}),
    SwitchCaseName);

TEST_F(CommandLineTest, UnknownSwitchChangesNothing)
{
    cesim::Shell shell = device.InstallShell();
    HWND listener = AddWindow(u"Listener", u"", RECT{0, 0, 10, 10}, 0, WS_EX_TOPMOST);  // hidden, before the taskbar
    RunOnce(u"-taskbar");  // a first run stores every value; start from there
    auto before = device.RegValueNames(SETTINGS_KEY);
    std::map<std::u16string, cesim::RegistryValue> stored;
    for (auto& name : before)
        stored[name] = *device.RegGet(SETTINGS_KEY, name);
    std::vector<HWND> order = device.TopLevel();
    ASSERT_NE(shell.taskbar, order.front());  // so that raising the taskbar would show

    for (const char16_t* line : {u"-taskbar", u"-taskbar_left", u"-taskbarup", u"x -taskbar_Up"}) {
        RunOnce(line);
        EXPECT_TRUE(Received(listener, {}, {WM_SETTINGCHANGE})) << cesim::Utf8(line);
        EXPECT_EQ(order, device.TopLevel()) << cesim::Utf8(line);
    }
    EXPECT_EQ(before, device.RegValueNames(SETTINGS_KEY));
    for (auto& name : before) {
        EXPECT_EQ(stored[name].type, device.RegGet(SETTINGS_KEY, name)->type);
        EXPECT_EQ(stored[name].data, device.RegGet(SETTINGS_KEY, name)->data);
    }
    ExpectBottomLayout(shell);
}

// The switches are case-sensitive: in capitals they are no switch at all,
// and Velto starts resident.
TEST_F(CommandLineTest, SwitchInCapitalsIsNotASwitch)
{
    cesim::Shell shell = device.InstallShell();
    HWND listener = AddWindow(u"Listener", u"", RECT{0, 0, 10, 10}, 0);  // hears of every work area
    Start(u"-TASKBAR_UP");
    EXPECT_TRUE(device.Running(velto));
    EXPECT_TRUE(Received(listener, {}, {WM_SETTINGCHANGE}));
    ExpectBottomLayout(shell);
    EXPECT_EQ(0u, StoredOnTop());
}

}  // namespace
