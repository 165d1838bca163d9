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

using Bytes = std::vector<uint8_t>;

// One misuse of the Device API, and what its error must say.
struct Misuse {
    std::function<void()> action;
    std::vector<std::string> says;
};

// Every misuse throws a cesim::Error that names the call and what was
// wrong with it, and leaves the device as it was.
TEST_F(cesimDevice, MisuseThrowsAnErrorThatSaysWhatWasWrong)
{
    const HWND bogus = (HWND)0x7777;
    const std::string bogusNumber = std::to_string((uintptr_t)bogus);
    const DWORD unknown = 0xDEAD;
    DWORD fixture = device().AddProcess(u"fixture.exe");
    HWND gone = device().AddWindow(fixture, {u"W", u"w"});
    device().DestroyWindow(gone);
    device().AddWindow(fixture, {u"Panel", u"one"});
    device().AddWindow(fixture, {u"Panel", u"two"});  // the same class again is fine
    HWND mine = nullptr;
    DWORD running = Run([&] {
        mine = MakeWindow(u"Mine", u"m", 0, RECT{0, 0, 10, 10});
        return Pump();
    });
    DWORD ended = Run([] { return 0; });
    device().RegSetString("HKCU\\Software\\Velto", u"Text", u"abc");
    device().RegSetDword("HKCU\\Software\\Velto", u"Number", 1);
    device().RegSet("HKCU\\Software\\Velto", u"Short", REG_DWORD, Bytes{1, 2});
    cesim::Device& d = device();
    const Misuse rows[] = {
        // a window that never was
        {[&] { d.Rect(bogus); }, {"Rect", "no window has the handle " + bogusNumber}},
        {[&] { d.IsAlive(bogus); }, {"IsAlive", bogusNumber}},
        {[&] { d.Visible(bogus); }, {"Visible", bogusNumber}},
        {[&] { d.Title(bogus); }, {"Title", bogusNumber}},
        {[&] { d.ClassName(bogus); }, {"ClassName", bogusNumber}},
        {[&] { d.Parent(bogus); }, {"Parent", bogusNumber}},
        {[&] { d.ProcessOf(bogus); }, {"ProcessOf", bogusNumber}},
        {[&] { d.Received(bogus); }, {"Received", bogusNumber}},
        {[&] { d.Post(bogus, WM_USER, 0, 0); }, {"Post", bogusNumber}},
        {[&] { d.DestroyWindow(bogus); }, {"DestroyWindow", bogusNumber}},
        {[&] { d.SetShellDesktop(bogus); }, {"SetShellDesktop", bogusNumber}},
        // a destroyed window
        {[&] { d.Post(gone, WM_USER, 0, 0); }, {"Post", "destroyed"}},
        {[&] { d.DestroyWindow(gone); }, {"DestroyWindow", "destroyed"}},
        {[&] { d.AddWindow(fixture, {u"C", u"c", WS_VISIBLE, 0, {0, 0, 1, 1}, gone}); },
         {"AddWindow (parent)", "destroyed"}},
        // a window of a program
        {[&] { d.AddWindow(running, {u"W"}); }, {"AddWindow", "not one of the test's own"}},
        {[&] { d.Received(mine); }, {"Received", "only the test's own windows"}},
        {[&] { d.DestroyWindow(mine); }, {"DestroyWindow", "only the test's own windows"}},
        // a window without a class
        {[&] { d.AddWindow(fixture, {}); }, {"AddWindow", "class name"}},
        {[&] { d.AddWindow(fixture, {u"W", u"swapped", WS_VISIBLE, 0, {10, 10, 0, 0}}); }, {"AddWindow", "swapped"}},
        {[&] { d.AddWindow(fixture, {u"PANEL", u"three"}); }, {"AddWindow", "already has the class 'Panel'"}},
        // a process without a file
        {[&] { d.AddProcess(u""); }, {"AddProcess", "file name"}},
        // a process that never was
        {[&] { d.AddWindow(unknown, {u"W"}); }, {"AddWindow", "57005"}},
        {[&] { d.Running(unknown); }, {"Running", "no process has the id 57005"}},
        {[&] { d.ExitCode(unknown); }, {"ExitCode", "57005"}},
        {[&] { d.ThreadCount(unknown); }, {"ThreadCount", "57005"}},
        {[&] { d.OpenHandles(unknown, "event"); }, {"Handles", "57005"}},
        {[&] { d.WindowsOf(unknown); }, {"WindowsOf", "57005"}},
        {[&] { d.RunInProcess(unknown, [] { return 0u; }); }, {"RunInProcess", "57005"}},
        // a kind of handle that is not one
        {[&] { d.OpenHandles(running, "mutex"); }, {"OpenHandles", "mutex"}},
        // code in a fixture
        {[&] { d.RunInProcess(fixture, [] { return 0u; }); }, {"RunInProcess", "not a running program"}},
        // code in an ended program
        {[&] { d.RunInProcess(ended, [] { return 0u; }); }, {"RunInProcess", "not a running program"}},
        // no code
        {[&] { d.StartFunction(u"empty.exe", nullptr); }, {"StartFunction", "function"}},
        // a tray icon that is not there
        {[&] { d.TrayMouse(mine, 9, WM_LBUTTONDOWN); }, {"TrayMouse", "no icon 9"}},
        {[&] { d.TapTrayIcon(mine, 9); }, {"TrayMouse", "no icon 9"}},
        // a second device
        {[] { cesim::Device second; }, {"Device", "already exists"}},
        // a platform call from the test
        {[] { GetTickCount(); }, {"GetTickCount", "not a simulated thread"}},
        {[] { FindWindowW(nullptr, nullptr); }, {"FindWindowW", "not a simulated thread"}},
        // a registry root that is none
        {[&] { d.RegGet("HKXX\\a", u"v"); }, {"HKXX\\a", "HKEY_CURRENT_USER"}},
        {[&] { d.RegSet("HKXX\\a", u"v", REG_DWORD, Bytes{0, 0, 0, 0}); }, {"HKXX\\a"}},
        {[&] { d.RegSetDword("HKEY_CLASSES_ROOT\\a", u"v", 1); }, {"HKEY_CLASSES_ROOT\\a"}},
        {[&] { d.RegKeyExists(""); }, {"registry path ''"}},
        {[&] { d.FailKeyOpen("HKXX\\a"); }, {"HKXX\\a"}},
        {[&] { d.FailValueWrite("Software\\Velto", u"v"); }, {"Software\\Velto"}},
        // a key that is not there
        {[&] { d.RegValueNames("HKCU\\Software\\Missing"); }, {"HKCU\\Software\\Missing", "does not exist"}},
        {[&] { d.RegDeleteValue("HKCU\\Software\\Missing", u"v"); }, {"Missing", "does not exist"}},
        {[&] { d.RegDeleteKey("HKCU\\Software\\Missing"); }, {"Missing", "does not exist"}},
        // a registry root
        {[&] { d.RegDeleteKey("HKCU"); }, {"root", "HKCU"}},
        // a value that is not there
        {[&] { d.RegDeleteValue("HKCU\\Software\\Velto", u"Absent"); }, {"Absent", "does not exist"}},
        // a value of another type
        {[&] { d.RegGetDword("HKCU\\Software\\Velto", u"Text"); }, {"Text", "REG_DWORD"}},
        {[&] { d.RegGetDword("HKCU\\Software\\Velto", u"Short"); }, {"Short", "4-byte"}},
        {[&] { d.RegGetString("HKCU\\Software\\Velto", u"Number"); }, {"Number"}},
        // a restart while a program runs
        {[&] { d.RestartRegistry(); }, {"RestartRegistry", "probe.exe", "still running"}},
        // code that never ends (last: it leaves a thread of the program waiting)
        {[&] { d.RunInProcess(running, [] { Sleep(INFINITE); return 0u; }); }, {"RunInProcess", "still waiting"}},
    };
    for (const Misuse& row : rows) {
        SCOPED_TRACE(row.says[0]);
        ExpectErrorSays(row.action, row.says);
    }
    EXPECT_FALSE(device().IsAlive(gone));
    EXPECT_EQ(u"w", device().Title(gone));  // a destroyed window can still be read
    EXPECT_TRUE(device().IsAlive(mine));
    EXPECT_FALSE(device().FindTrayIcon(mine, 9).has_value());
    DWORD theirs = device().AddProcess(u"theirs.exe");
    EXPECT_NO_THROW(device().AddWindow(theirs, {u"PANEL", u"four"}));  // another process may
    EXPECT_EQ(3u, device().ExitCode(Run([] { return 3; })));  // the first device is unharmed
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

// Every kind of handle has a value range of its own, so that one kind is
// never taken for another; Handles and OpenHandles count each kind a program
// holds, now and, when it ended, what it left open.
TEST_F(cesimDevice, EachKindOfHandleHasItsOwnRangeAndIsCountedByItsOwner)
{
    std::vector<std::pair<std::string, uintptr_t>> made;
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
            EXPECT_FALSE(DestroyIcon((HICON)bitmap));  // a handle of one kind taken for another
            EXPECT_FALSE(CloseHandle((HANDLE)key));
            EXPECT_FALSE(DeleteDC((HDC)icon));
            Sleep(10);
            return 0;
        },
        VELTO_RES);
    device().Settle();
    std::set<uintptr_t> ranges;
    for (auto& m : made)
        ranges.insert(m.second >> 24);
    EXPECT_EQ(made.size(), ranges.size()) << "two kinds share a value range";
    auto now = device().Handles(pid);
    for (auto& m : made)
        EXPECT_EQ(m.first == "event" ? 2 : 1, now[m.first]) << m.first;
    EXPECT_EQ(1, now["class"]);
    EXPECT_EQ(1, now["thread"]);  // the one it made: the first thread comes without a handle
    device().RunInProcess(pid, [&] { return (DWORD)CloseHandle(spare); });
    EXPECT_EQ(1, device().OpenHandles(pid, "event"));
    device().Advance(10);
    EXPECT_FALSE(device().Running(pid));  // so every check in it was made
    EXPECT_EQ(1, device().OpenHandles(pid, "event"));
    EXPECT_EQ(1, device().OpenHandles(pid, "thread"));
    EXPECT_EQ(1, device().OpenHandles(pid, "registry"));
}

}  // namespace
