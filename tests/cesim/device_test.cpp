// The test side of the device itself: misuse of the Device API throws
// cesim::Error with a message that says what was wrong, and trouble on a
// simulated thread comes back to the test instead of passing unseen.
#include "sim_support.h"

#include <set>
#include <stdexcept>

using simtest::DeviceTest;
using simtest::MakeWindow;
using simtest::Pump;
using simtest::ExpectErrorSays;

namespace {

class cesimDevice : public DeviceTest {};

TEST_F(cesimDevice, UnknownWindowHandlesAreRefused)
{
    const HWND bogus = (HWND)0x7777;
    ExpectErrorSays([&] { device().Rect(bogus); }, {"Rect", std::to_string((uintptr_t)bogus)});
    EXPECT_THROW(device().IsAlive(bogus), cesim::Error);
    EXPECT_THROW(device().Visible(bogus), cesim::Error);
    EXPECT_THROW(device().Title(bogus), cesim::Error);
    EXPECT_THROW(device().ClassName(bogus), cesim::Error);
    EXPECT_THROW(device().Parent(bogus), cesim::Error);
    EXPECT_THROW(device().ProcessOf(bogus), cesim::Error);
    EXPECT_THROW(device().Received(bogus), cesim::Error);
    EXPECT_THROW(device().PositionsSet(bogus), cesim::Error);
    EXPECT_THROW(device().Post(bogus, WM_USER, 0, 0), cesim::Error);
    EXPECT_THROW(device().DestroyWindow(bogus), cesim::Error);
    EXPECT_THROW(device().SetShellDesktop(bogus), cesim::Error);
}

TEST_F(cesimDevice, DestroyedWindowsCanBeReadButNotUsed)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND w = AddFixtureWindow(other, u"W", u"w");
    device().DestroyWindow(w);
    EXPECT_FALSE(device().IsAlive(w));
    EXPECT_EQ(u"w", device().Title(w));
    ExpectErrorSays([&] { device().Post(w, WM_USER, 0, 0); }, {"destroyed"});
    EXPECT_THROW(device().DestroyWindow(w), cesim::Error);
    EXPECT_THROW(device().AddWindow(other, simtest::FixtureWindowFields{u"C", u"c", WS_VISIBLE, 0, RECT{0, 0, 1, 1}, w}),
                 cesim::Error);
}

TEST_F(cesimDevice, AddWindowOnlyToTheTestsOwnLiveProcesses)
{
    simtest::FixtureWindowFields fields;
    fields.class_name = u"W";
    DWORD program = Run([&] { return Pump(); });
    ExpectErrorSays([&] { device().AddWindow(program, fields); }, {"not one of the test's own"});
    ExpectErrorSays([&] { device().AddWindow(0xDEAD, fields); }, {std::to_string(0xDEAD)});

    DWORD mine = device().AddProcess(u"mine.exe");
    simtest::FixtureWindowFields nameless;
    EXPECT_THROW(device().AddWindow(mine, nameless), cesim::Error);
    simtest::FixtureWindowFields swapped = fields;
    swapped.rect = RECT{10, 10, 0, 0};
    EXPECT_THROW(device().AddWindow(mine, swapped), cesim::Error);
    EXPECT_THROW(device().AddProcess(u""), cesim::Error);
}

TEST_F(cesimDevice, AFixtureProcessKeepsItsClassNamesApartInMoreThanCase)
{
    DWORD mine = device().AddProcess(u"mine.exe");
    AddFixtureWindow(mine, u"Panel", u"one");
    AddFixtureWindow(mine, u"Panel", u"two");  // the same class again is fine
    ExpectErrorSays([&] { AddFixtureWindow(mine, u"PANEL", u"three"); }, {"Panel"});
    DWORD theirs = device().AddProcess(u"theirs.exe");
    EXPECT_NO_THROW(AddFixtureWindow(theirs, u"PANEL", u"four"));  // another process may
}

TEST_F(cesimDevice, TrayMouseOnAMissingIconIsRefused)
{
    HWND w = nullptr;
    Run([&] {
        w = MakeWindow(u"Tray", u"t", 0, RECT{0, 0, 10, 10});
        return Pump();
    });
    ExpectErrorSays([&] { device().TrayMouse(w, 9, WM_LBUTTONDOWN); }, {"TrayMouse", "9"});
    EXPECT_THROW(device().TapTrayIcon(w, 9), cesim::Error);
    EXPECT_FALSE(device().FindTrayIcon(w, 9).has_value());
}

TEST_F(cesimDevice, OnlyOneDeviceAtATime)
{
    ExpectErrorSays([] { cesim::Device second; }, {"already exists"});
    // the first one is unharmed
    DWORD pid = Run([] { return 3; });
    EXPECT_EQ(3u, device().ExitCode(pid));
}

TEST_F(cesimDevice, ProcessQueriesNeedAKnownProcess)
{
    EXPECT_THROW(device().Running(0xDEAD), cesim::Error);
    EXPECT_THROW(device().ExitCode(0xDEAD), cesim::Error);
    EXPECT_THROW(device().ThreadCount(0xDEAD), cesim::Error);
    EXPECT_THROW(device().OpenHandles(0xDEAD, "event"), cesim::Error);
    EXPECT_THROW(device().WindowsOf(0xDEAD), cesim::Error);
    DWORD pid = Run([] { return Pump(); });
    ExpectErrorSays([&] { device().OpenHandles(pid, "mutex"); }, {"mutex"});
}

TEST_F(cesimDevice, RunInProcessNeedsARunningProgram)
{
    DWORD fixture = device().AddProcess(u"fixture.exe");
    EXPECT_THROW(device().RunInProcess(fixture, [] { return 0u; }), cesim::Error);
    DWORD ended = Run([] { return 0; });
    EXPECT_THROW(device().RunInProcess(ended, [] { return 0u; }), cesim::Error);
    EXPECT_THROW(device().RunInProcess(0xDEAD, [] { return 0u; }), cesim::Error);
    DWORD running = Run([] { return Pump(); });
    ExpectErrorSays([&] { device().RunInProcess(running, [] { Sleep(INFINITE); return 0u; }); }, {"still waiting"});
    EXPECT_THROW(device().StartFunction(u"empty.exe", nullptr), cesim::Error);
    EXPECT_THROW(device().Symbol(running, "wWinMain"), cesim::Error);  // no program image behind it
}

TEST_F(cesimDevice, ReceivedIsForFixtureWindowsOnly)
{
    HWND w = nullptr;
    Run([&] {
        w = MakeWindow(u"Mine", u"m", 0, RECT{0, 0, 10, 10});
        return Pump();
    });
    EXPECT_THROW(device().Received(w), cesim::Error);
    EXPECT_THROW(device().DestroyWindow(w), cesim::Error);  // only the program may destroy its windows
    EXPECT_TRUE(device().IsAlive(w));
}

TEST_F(cesimDevice, PlatformCallsFromTheTestThreadAreRefused)
{
    ExpectErrorSays([] { GetTickCount(); }, {"GetTickCount", "not a simulated thread"});
    EXPECT_THROW(FindWindowW(nullptr, nullptr), cesim::Error);
}

TEST_F(cesimDevice, AFailureOnASimulatedThreadComesBackAtTheNextSettle)
{
    device().StartFunction(u"broken.exe", []() -> int { throw std::runtime_error("the program tripped"); });
    ExpectErrorSays([&] { device().Settle(); }, {"the program tripped", "broken.exe"});
    EXPECT_NO_THROW(device().Settle());  // reported once
}

TEST_F(cesimDevice, CallCountsAreKept)
{
    Run([] {
        GetTickCount();
        GetTickCount();
        FindWindowW(nullptr, nullptr);
        return 0;
    });
    EXPECT_EQ(2u, device().Calls("GetTickCount"));
    EXPECT_EQ(1u, device().Calls("FindWindowW"));
    EXPECT_EQ(0u, device().Calls("SendMessageW"));
}

}  // namespace

namespace {

class cesimHandles : public DeviceTest {};

// Every kind of handle has a value range of its own, so that one kind is
// never taken for another; Handles and OpenHandles count each kind a program
// holds, now and, when it ended, what it left open.
TEST_F(cesimHandles, EachKindHasItsOwnRangeAndIsCountedByItsOwner)
{
    std::vector<std::pair<std::string, uintptr_t>> made;
    BOOL crossed[3] = {TRUE, TRUE, TRUE};
    HANDLE spare = nullptr;
    DWORD pid = device().StartFunction(
        u"probe.exe",
        [&] {
            HWND window = MakeWindow(u"Counted", u"w", 0, RECT{0, 0, 10, 10});
            HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            HKEY key = nullptr;
            RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Probe", 0, nullptr, 0, 0, nullptr, &key, nullptr);
            HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(113));
            HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(110));
            HDC dc = GetDC(window);
            HMENU menu = CreatePopupMenu();
            spare = CreateEventW(nullptr, FALSE, FALSE, u"Velto.Counted");
            CreateThread(
                nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
            made = {{"window", (uintptr_t)window}, {"event", (uintptr_t)event}, {"registry", (uintptr_t)key},
                    {"icon", (uintptr_t)icon},     {"bitmap", (uintptr_t)bitmap}, {"dc", (uintptr_t)dc},
                    {"menu", (uintptr_t)menu}};
            crossed[0] = DestroyIcon((HICON)bitmap);
            crossed[1] = CloseHandle((HANDLE)key);
            crossed[2] = DeleteDC((HDC)icon);
            Sleep(10);
            return 0;
        },
        VELTO_RES);
    device().Settle();
    std::set<uintptr_t> ranges;
    for (auto& m : made)
        ranges.insert(m.second >> 24);
    EXPECT_EQ(made.size(), ranges.size()) << "two kinds share a value range";
    EXPECT_EQ((std::vector<BOOL>{FALSE, FALSE, FALSE}), std::vector<BOOL>(crossed, crossed + 3));
    auto now = device().Handles(pid);
    for (auto& m : made)
        EXPECT_EQ(m.first == "event" ? 2 : 1, now[m.first]) << m.first;
    EXPECT_EQ(1, now["class"]);
    EXPECT_EQ(1, now["thread"]);  // the one it made: the first thread comes without a handle
    device().RunInProcess(pid, [&] { return (DWORD)CloseHandle(spare); });
    EXPECT_EQ(1, device().OpenHandles(pid, "event"));
    device().Advance(10);
    EXPECT_FALSE(device().Running(pid));
    EXPECT_EQ(1, device().OpenHandles(pid, "event"));
    EXPECT_EQ(1, device().OpenHandles(pid, "thread"));
    EXPECT_EQ(1, device().OpenHandles(pid, "registry"));
}

}  // namespace
