// The settings store: what a first run writes, how damaged values are
// repaired, and what happens when the registry cannot be used.
#include "velto/velto_test.h"

using namespace velto_test;

namespace {

std::vector<uint8_t> Dword(DWORD v) { return {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)}; }

class SettingsTest : public VeltoTest {};

TEST_F(SettingsTest, FirstRunStoresEveryValueFromMemory)
{
    device.InstallShell();
    RunOnce(u"-taskbar");

    std::vector<std::u16string> names = {u"CloseButton",  u"OkButton",    u"Monitoring",   u"DesktopName",
                                         u"DesktopClass", u"TaskbarName", u"TaskbarClass", u"TaskBarOnTop"};
    EXPECT_EQ(names, device.RegValueNames(SETTINGS_KEY));
    for (const char16_t* flag : {u"CloseButton", u"OkButton", u"Monitoring", u"TaskBarOnTop"}) {
        auto value = device.RegGet(SETTINGS_KEY, flag);
        ASSERT_TRUE(value) << cesim::Utf8(flag);
        EXPECT_EQ((DWORD)REG_DWORD, value->type);
        EXPECT_EQ(Dword(0), value->data);
    }
    EXPECT_EQ(TextBytes(u"Desktop"), device.RegGet(SETTINGS_KEY, u"DesktopName")->data);
    EXPECT_EQ(TextBytes(u"DesktopExplorerWindow"), device.RegGet(SETTINGS_KEY, u"DesktopClass")->data);
    EXPECT_EQ(TextBytes(u"HHTaskBar"), device.RegGet(SETTINGS_KEY, u"TaskbarClass")->data);
    // The empty taskbar title is stored as its terminating null alone.
    auto taskbar_name = device.RegGet(SETTINGS_KEY, u"TaskbarName");
    EXPECT_EQ((DWORD)REG_SZ, taskbar_name->type);
    EXPECT_EQ((std::vector<uint8_t>{0, 0}), taskbar_name->data);
    // The shell's auto-hide key is created with its default value.
    EXPECT_EQ(0u, device.RegGetDword(AUTOHIDE_KEY, u""));
}

TEST_F(SettingsTest, StoredValuesAreNotRewritten)
{
    device.InstallShell();
    device.RegSetDword(AUTOHIDE_KEY, u"", 1);
    device.RegSetDword(SETTINGS_KEY, u"Monitoring", 1);
    device.RegSetString(SETTINGS_KEY, u"TaskbarClass", u"MyBar");
    RunOnce(u"-taskbar");
    EXPECT_EQ(1u, device.RegGetDword(AUTOHIDE_KEY, u""));
    EXPECT_EQ(1u, device.RegGetDword(SETTINGS_KEY, u"Monitoring"));
    EXPECT_EQ(u"MyBar", device.RegGetString(SETTINGS_KEY, u"TaskbarClass"));
}

TEST_F(SettingsTest, SavingWritesOnlyTheFourSwitchesAndFlushes)
{
    cesim::Shell shell = device.InstallShell();
    HWND listener = AddWindow(u"Listener", u"", RECT{0, 0, 10, 10}, 0);  // hears the work area change
    device.FailKeyOpen(SETTINGS_KEY, 1);  // the load cannot open the key; the save can
    RunOnce(u"-taskbar_up");
    std::vector<std::u16string> saved = {u"Monitoring", u"CloseButton", u"OkButton", u"TaskBarOnTop"};
    EXPECT_EQ(saved, device.RegValueNames(SETTINGS_KEY));
    for (const auto& name : saved)
        EXPECT_EQ((DWORD)REG_DWORD, device.RegGet(SETTINGS_KEY, name)->type) << cesim::Utf8(name);
    EXPECT_EQ(1u, StoredOnTop());
    EXPECT_TRUE(Received(listener, WorkAreaChanged(1), {WM_SETTINGCHANGE}));
    ExpectTopLayout(shell);

    // What was saved outlives a restart of the device, and the next run applies it.
    device.RestartRegistry();
    RunOnce(u"-taskbar");
    EXPECT_EQ(1u, StoredOnTop());
    EXPECT_TRUE(Received(listener, WorkAreaChanged(2), {WM_SETTINGCHANGE}));
}

// Each flag is read into its own field and saved from it under its own name.
TEST_F(SettingsTest, FlagsAreReadAndSavedUnderTheirOwnNames)
{
    device.InstallShell();
    StoreSettings({{u"CloseButton", 2}, {u"OkButton", 3}, {u"Monitoring", 4}});
    RunOnce(u"-taskbar_up");
    EXPECT_EQ(2u, device.RegGetDword(SETTINGS_KEY, u"CloseButton"));
    EXPECT_EQ(3u, device.RegGetDword(SETTINGS_KEY, u"OkButton"));
    EXPECT_EQ(4u, device.RegGetDword(SETTINGS_KEY, u"Monitoring"));
    EXPECT_EQ(1u, StoredOnTop());
}

// A value of another type that fits in four bytes is taken as its bytes (the
// placement's rows show it); a larger one cannot be read and is replaced by
// the value in memory.
TEST_F(SettingsTest, FlagsTooLargeAreRepairedFromMemory)
{
    device.RegSet(SETTINGS_KEY, u"Monitoring", REG_SZ, TextBytes(u"on please"));
    device.RegSet(SETTINGS_KEY, u"OkButton", REG_BINARY, {1, 0, 0, 0, 0});
    RunOnce(u"-taskbar");
    EXPECT_EQ(0u, device.RegGetDword(SETTINGS_KEY, u"Monitoring"));
    EXPECT_EQ(0u, device.RegGetDword(SETTINGS_KEY, u"OkButton"));
}

// An identity string of 99 characters is read whole; one of 100 or more does
// not fit and is replaced by the text in memory.
TEST_F(SettingsTest, IdentityStringsUpToNinetyNineCharactersAreReadWhole)
{
    cesim::Shell shell = device.InstallShell();
    std::u16string title99(99, u'd');
    HWND custom = AddWindow(u"Custom", title99, RECT{0, 0, 240, 294});
    device.RegSetString(SETTINGS_KEY, u"DesktopName", title99);
    device.RegSetString(SETTINGS_KEY, u"DesktopClass", u"Custom");
    device.RegSetString(SETTINGS_KEY, u"TaskbarName", std::u16string(100, u't'));

    RunOnce(u"-taskbar_up");

    EXPECT_EQ(TOP_DESKTOP, device.Rect(custom));
    EXPECT_EQ(title99, device.RegGetString(SETTINGS_KEY, u"DesktopName"));
    EXPECT_EQ(u"", device.RegGetString(SETTINGS_KEY, u"TaskbarName"));
    EXPECT_EQ(TOP_TASKBAR, device.Rect(shell.taskbar));
}

// A stored text need not end in a null. It is ended where its characters end,
// and one that fills the whole buffer loses its last character.
TEST_F(SettingsTest, UnterminatedIdentityStringsEndWhereTheirCharactersEnd)
{
    cesim::Shell shell = device.InstallShell();
    DWORD other = device.AddProcess(u"bars.exe");
    HWND short_bar = AddWindow(u"HHTask", u"", RECT{0, 100, 240, 126}, WS_VISIBLE, 0, other);
    std::u16string title100(100, u'x');
    HWND desk99 = AddWindow(u"Desk", title100.substr(0, 99), RECT{0, 0, 240, 294});
    // Shorter than the default "HHTaskBar", which it overwrites in memory.
    device.RegSet(SETTINGS_KEY, u"TaskbarClass", REG_SZ, TextBytes(u"HHTask", false));
    device.RegSet(SETTINGS_KEY, u"DesktopName", REG_SZ, TextBytes(title100, false));
    device.RegSetString(SETTINGS_KEY, u"DesktopClass", u"Desk");

    RunOnce(u"-taskbar_up");

    EXPECT_EQ(TOP_TASKBAR, device.Rect(short_bar));
    EXPECT_EQ(TOP_DESKTOP, device.Rect(desk99));
    // Now just a window, aligned to the system's desktop window at (0, 0).
    EXPECT_EQ((RECT{0, 0, 240, 26}), device.Rect(shell.taskbar));
    // Such values are used, not repaired.
    EXPECT_EQ(TextBytes(title100, false), device.RegGet(SETTINGS_KEY, u"DesktopName")->data);
}

// A key that cannot be opened: the switch still places the taskbar, and the
// keys that could be opened are used.
struct UnavailableKey {
    const char* name;
    const char* key;
    bool stored_on_top;  // TaskBarOnTop stored as 1 before a plain run; else -taskbar_up
    bool maker_created;
    size_t settings_values;  // 0: the settings key is not created
    bool autohide_repaired;
};

void PrintTo(const UnavailableKey& c, std::ostream* out) { *out << c.name; }

class UnavailableKeyTest : public SettingsTest, public ::testing::WithParamInterface<UnavailableKey> {};

TEST_P(UnavailableKeyTest, IsLeftAloneAndTheRestStillWorks)
{
    const UnavailableKey& c = GetParam();
    cesim::Shell shell = device.InstallShell();
    device.FailKeyOpen(c.key);
    if (c.stored_on_top)
        StoreOnTop(1);
    RunOnce(c.stored_on_top ? u"-taskbar" : u"-taskbar_up");
    ExpectTopLayout(shell);
    EXPECT_EQ(c.maker_created, device.RegKeyExists(MAKER_KEY));
    EXPECT_EQ(c.settings_values != 0, device.RegKeyExists(SETTINGS_KEY));
    if (c.settings_values)
        EXPECT_EQ(c.settings_values, device.RegValueNames(SETTINGS_KEY).size());
    if (c.autohide_repaired)
        EXPECT_EQ(0u, device.RegGetDword(AUTOHIDE_KEY, u""));
    else
        EXPECT_FALSE(device.RegKeyExists(AUTOHIDE_KEY));
}

INSTANTIATE_TEST_SUITE_P(
    Key, UnavailableKeyTest,
    ::testing::Values(UnavailableKey{"maker_leaves_everything_alone", MAKER_KEY, false, false, 0, false},
                      UnavailableKey{"settings_still_repairs_autohide", SETTINGS_KEY, false, true, 0, true},
                      UnavailableKey{"autohide_does_not_stop_the_load", AUTOHIDE_KEY, true, true, 8, false}), RowName);

TEST_F(SettingsTest, FailedWritesDoNotStopTheOthers)
{
    cesim::Shell shell = device.InstallShell();
    device.FailValueWrite(SETTINGS_KEY, u"TaskBarOnTop");
    device.FailValueWrite(SETTINGS_KEY, u"DesktopName");
    RunOnce(u"-taskbar_up");
    ExpectTopLayout(shell);
    EXPECT_FALSE(StoredOnTop());
    EXPECT_FALSE(device.RegGet(SETTINGS_KEY, u"DesktopName"));
    EXPECT_EQ(6u, device.RegValueNames(SETTINGS_KEY).size());
    device.RestartRegistry();  // the failed writes do not keep the others from being flushed
    EXPECT_EQ(6u, device.RegValueNames(SETTINGS_KEY).size());

    // Once writes work again, the next run stores what it could not.
    device.ClearRegistryFaults();
    RunOnce(u"-taskbar");
    EXPECT_EQ(0u, StoredOnTop());  // a new process starts from 0 and stores that
    EXPECT_EQ(u"Desktop", device.RegGetString(SETTINGS_KEY, u"DesktopName"));
}

// A running copy reloads its settings whenever its task menu opens.
class ReloadTest : public MenuTest {
protected:
    void Reload()
    {
        OpenMenu();
        Dismiss();
    }
};

TEST_F(ReloadTest, APlacementIsAppliedOnlyWhenTheStoredValueChanges)
{
    cesim::Shell shell = device.InstallShell();
    HWND listener = AddWindow(u"Listener", u"", RECT{0, 0, 10, 10}, 0);
    StoreOnTop(1);
    Start();
    ASSERT_TRUE(device.Running(velto));
    EXPECT_TRUE(Received(listener, WorkAreaChanged(1), {WM_SETTINGCHANGE}));
    ExpectTopLayout(shell);

    Reload();  // the same value again: nothing moves
    EXPECT_TRUE(Received(listener, WorkAreaChanged(1), {WM_SETTINGCHANGE}));

    StoreOnTop(2);  // another nonzero word is still a change
    Reload();
    EXPECT_TRUE(Received(listener, WorkAreaChanged(2), {WM_SETTINGCHANGE}));
    ExpectTopLayout(shell);

    device.RegDeleteValue(SETTINGS_KEY, u"TaskBarOnTop");  // restored from memory, nothing moves
    Reload();
    EXPECT_EQ(2u, StoredOnTop());
    EXPECT_TRUE(Received(listener, WorkAreaChanged(2), {WM_SETTINGCHANGE}));

    StoreOnTop(0);
    Reload();
    EXPECT_TRUE(Received(listener, WorkAreaChanged(3), {WM_SETTINGCHANGE}));
    ExpectBottomLayout(shell);
}

TEST_F(ReloadTest, ADeletedDesktopNameIsRewrittenWithTheNameInUse)
{
    device.InstallShell(cesim::ShellNames::TOP_MENU);
    Start();
    EXPECT_EQ(u"Desktop", device.RegGetString(SETTINGS_KEY, u"DesktopName"));
    device.RegDeleteValue(SETTINGS_KEY, u"DesktopName");
    device.RegDeleteValue(SETTINGS_KEY, u"OkButton");
    Reload();
    EXPECT_EQ(u"TOP MENU", device.RegGetString(SETTINGS_KEY, u"DesktopName"));
    EXPECT_EQ(u"DesktopExplorerWindow", device.RegGetString(SETTINGS_KEY, u"DesktopClass"));
    EXPECT_EQ(0u, device.RegGetDword(SETTINGS_KEY, u"OkButton"));
}

// A reload that cannot open a key leaves the settings in memory: the taskbar
// stays and the menu shows the placement in use; every key opened is closed.
// The next reload that works applies what is stored.
TEST_F(ReloadTest, AFailedLoadLeavesTheSettingsInMemory)
{
    cesim::Shell shell = device.InstallShell();
    HWND listener = AddWindow(u"Listener", u"", RECT{0, 0, 10, 10}, 0);
    StoreOnTop(1);
    Start();
    StoreOnTop(0);
    for (const char* key : {MAKER_KEY, SETTINGS_KEY}) {
        device.FailKeyOpen(key);
        std::string items = Describe(OpenMenu().levels.at(0).items);
        Dismiss();
        EXPECT_NE(std::string::npos, items.find("OnTop#4*")) << key;
        EXPECT_EQ(0, device.OpenHandles(velto, "registry")) << key;
        device.ClearRegistryFaults();
    }
    EXPECT_TRUE(Received(listener, WorkAreaChanged(1), {WM_SETTINGCHANGE}));
    ExpectTopLayout(shell);
    Reload();
    ExpectBottomLayout(shell);
}

}  // namespace
