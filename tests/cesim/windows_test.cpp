// The window manager of the simulated device: finding and enumerating
// windows, names, positions and z-order, visibility, classes, destruction,
// the desktop window, the work area and the test's own (fixture) windows.
#include "sim_support.h"

using simtest::DeviceTest;
using simtest::Log;
using simtest::MakeWindow;
using simtest::Pump;

namespace {

class cesimWindows : public DeviceTest {};

// What an EnumWindows callback saw.
struct Visits {
    std::vector<HWND> seen;
    size_t stop_after = 0;  // 0: never stop
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param)
{
    auto* v = (Visits*)param;
    v->seen.push_back(hwnd);
    return !(v->stop_after != 0 && v->seen.size() >= v->stop_after);
}

std::vector<HWND> Handles(std::initializer_list<HWND> list) { return std::vector<HWND>(list); }

// ---------------------------------------------------------------- FindWindowW

TEST_F(cesimWindows, FindWindowComparesClassAndTitleWholeAndWithoutCase)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND a = AddFixtureWindow(other, u"Alpha", u"First Window");
    HWND b = AddFixtureWindow(other, u"AlphaBeta", u"First");
    HWND found[8] = {};
    Run([&] {
        found[0] = FindWindowW(u"alpha", u"FIRST WINDOW");
        found[1] = FindWindowW(u"ALPHA", nullptr);
        found[2] = FindWindowW(u"Alph", nullptr);           // a prefix of both classes
        found[3] = FindWindowW(nullptr, u"fIRST");
        found[4] = FindWindowW(nullptr, u"First Win");      // a prefix of a's title
        found[5] = FindWindowW(u"alphabeta", u"first window");  // b's class with a's title
        found[6] = FindWindowW(u"Alpha ", nullptr);         // a trailing blank is part of the name
        found[7] = FindWindowW(u"alphabeta", u"first");
        return 0;
    });
    EXPECT_EQ(a, found[0]);
    EXPECT_EQ(a, found[1]);
    EXPECT_EQ(nullptr, found[2]);
    EXPECT_EQ(b, found[3]);
    EXPECT_EQ(nullptr, found[4]);
    EXPECT_EQ(nullptr, found[5]);
    EXPECT_EQ(nullptr, found[6]);
    EXPECT_EQ(b, found[7]);
}

TEST_F(cesimWindows, FindWindowEmptyTitleMatchesOnlyAnEmptyTitle)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND untitled = AddFixtureWindow(other, u"Bar", u"");
    HWND named = AddFixtureWindow(other, u"Bar", u"Named");  // in front of the untitled one
    HWND found[4] = {};
    Run([&] {
        found[0] = FindWindowW(u"Bar", u"");
        found[1] = FindWindowW(u"Bar", nullptr);
        found[2] = FindWindowW(nullptr, u"");
        found[3] = FindWindowW(u"Other", u"");
        return 0;
    });
    EXPECT_EQ(untitled, found[0]);
    EXPECT_EQ(named, found[1]);
    EXPECT_EQ(untitled, found[2]);
    EXPECT_EQ(nullptr, found[3]);
}

TEST_F(cesimWindows, FindWindowLooksAtTopLevelWindowsOnlyFrontFirstHiddenIncluded)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND back = AddFixtureWindow(other, u"Same", u"back");
    HWND parent = AddFixtureWindow(other, u"Holder", u"holder");
    AddFixtureWindow(other, u"Kid", u"kid", WS_VISIBLE, RECT{0, 0, 10, 10}, parent);
    HWND hidden = AddFixtureWindow(other, u"Same", u"hidden", 0);
    HWND front = AddFixtureWindow(other, u"Same", u"front");
    HWND found[5] = {};
    Run([&] {
        found[0] = FindWindowW(u"Kid", nullptr);
        found[1] = FindWindowW(nullptr, u"kid");
        found[2] = FindWindowW(u"same", nullptr);
        found[3] = FindWindowW(nullptr, u"HIDDEN");
        found[4] = FindWindowW(nullptr, nullptr);
        return 0;
    });
    EXPECT_EQ(nullptr, found[0]);
    EXPECT_EQ(nullptr, found[1]);
    EXPECT_EQ(front, found[2]);
    EXPECT_EQ(hidden, found[3]);
    EXPECT_EQ(front, found[4]);
    ASSERT_FALSE(device().TopLevel().empty());
    EXPECT_EQ(front, device().TopLevel().front());
    EXPECT_EQ(back, device().TopLevel().back());
}

TEST_F(cesimWindows, FindWindowSkipsDestroyedWindows)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND gone = AddFixtureWindow(other, u"Gone", u"gone");
    device().DestroyWindow(gone);
    HWND found = gone;
    Run([&] {
        found = FindWindowW(u"Gone", nullptr);
        return 0;
    });
    EXPECT_EQ(nullptr, found);
}

// Windows CE compares window names without regard to case over the whole of
// Unicode (a Russian device's windows have Cyrillic titles), not just ASCII.
TEST_F(cesimWindows, FindWindowIgnoresCaseOutsideLatin1Too)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND desk = AddFixtureWindow(other, u"Рабочий", u"Рабочий стол");
    HWND greek = AddFixtureWindow(other, u"Greek", u"Επιφανεια");
    HWND found[3] = {};
    Run([&] {
        found[0] = FindWindowW(nullptr, u"РАБОЧИЙ СТОЛ");
        found[1] = FindWindowW(u"рабочий", nullptr);
        found[2] = FindWindowW(nullptr, u"ΕΠΙΦΑΝΕΙΑ");
        return 0;
    });
    EXPECT_EQ(desk, found[0]);
    EXPECT_EQ(desk, found[1]);
    EXPECT_EQ(greek, found[2]);
}

// ---------------------------------------------------------------- EnumWindows

TEST_F(cesimWindows, EnumWindowsGoesFrontFirstWithHiddenWindowsAndWithoutChildren)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND a = AddFixtureWindow(other, u"A", u"a");
    HWND b = AddFixtureWindow(other, u"B", u"b", 0);
    HWND c = AddFixtureWindow(other, u"C", u"c");
    HWND child = AddFixtureWindow(other, u"K", u"k", WS_VISIBLE, RECT{0, 0, 5, 5}, c);
    Visits all;
    BOOL result = FALSE;
    Run([&] {
        result = EnumWindows(Visit, (LPARAM)&all);
        return 0;
    });
    EXPECT_TRUE(result);
    EXPECT_EQ(Handles({c, b, a}), all.seen);
    EXPECT_EQ(device().TopLevel(), all.seen);
    EXPECT_EQ(all.seen.end(), std::find(all.seen.begin(), all.seen.end(), child));
    EXPECT_EQ(all.seen.end(), std::find(all.seen.begin(), all.seen.end(), device().DesktopWindow()));
}

TEST_F(cesimWindows, EnumWindowsStopsWhenTheCallbackSaysSo)
{
    DWORD other = device().AddProcess(u"other.exe");
    AddFixtureWindow(other, u"A", u"a");
    HWND b = AddFixtureWindow(other, u"B", u"b");
    HWND c = AddFixtureWindow(other, u"C", u"c");
    Visits two;
    two.stop_after = 2;
    BOOL result = TRUE;
    Run([&] {
        result = EnumWindows(Visit, (LPARAM)&two);
        return 0;
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(Handles({c, b}), two.seen);
}

// ---------------------------------------------------------------- names

TEST_F(cesimWindows, ClassNameAndTextAreCutToTheBuffer)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND w = AddFixtureWindow(other, u"Abcdef", u"Hello");
    struct Read {
        int n;
        WCHAR buffer[10];
    };
    Read cls[5], text[5];
    const int capacities[5] = {1, 7, 4, 10, 0};
    Run([&] {
        for (int i = 0; i < 5; ++i) {
            std::fill(std::begin(cls[i].buffer), std::end(cls[i].buffer), u'#');
            std::fill(std::begin(text[i].buffer), std::end(text[i].buffer), u'#');
            cls[i].n = GetClassNameW(w, cls[i].buffer, capacities[i]);
            // text: capacity 6 is the exact fit of "Hello"
            text[i].n = GetWindowTextW(w, text[i].buffer, capacities[i] == 7 ? 6 : capacities[i]);
        }
        return 0;
    });
    // capacity 1: room for the terminator only
    EXPECT_EQ(0, cls[0].n);
    EXPECT_EQ(u'\0', cls[0].buffer[0]);
    EXPECT_EQ(u'#', cls[0].buffer[1]);
    EXPECT_EQ(0, text[0].n);
    EXPECT_EQ(u'\0', text[0].buffer[0]);
    // exact fit
    EXPECT_EQ(6, cls[1].n);
    EXPECT_EQ(u"Abcdef", std::u16string(cls[1].buffer));
    EXPECT_EQ(u'#', cls[1].buffer[7]);
    EXPECT_EQ(5, text[1].n);
    EXPECT_EQ(u"Hello", std::u16string(text[1].buffer));
    EXPECT_EQ(u'#', text[1].buffer[6]);
    // shorter than the name: cut, and still terminated
    EXPECT_EQ(3, cls[2].n);
    EXPECT_EQ(u"Abc", std::u16string(cls[2].buffer));
    EXPECT_EQ(u'#', cls[2].buffer[4]);
    EXPECT_EQ(3, text[2].n);
    EXPECT_EQ(u"Hel", std::u16string(text[2].buffer));
    // roomy
    EXPECT_EQ(6, cls[3].n);
    EXPECT_EQ(u"Abcdef", std::u16string(cls[3].buffer));
    EXPECT_EQ(5, text[3].n);
    EXPECT_EQ(u"Hello", std::u16string(text[3].buffer));
    // no room at all: nothing written
    EXPECT_EQ(0, cls[4].n);
    EXPECT_EQ(u'#', cls[4].buffer[0]);
    EXPECT_EQ(0, text[4].n);
    EXPECT_EQ(u'#', text[4].buffer[0]);
}

TEST_F(cesimWindows, NamesOfAnUnknownWindowAreEmpty)
{
    int n[2] = {-1, -1};
    DWORD error = 0;
    WCHAR buffer[8] = {u'x', u'x'};
    Run([&] {
        n[0] = GetClassNameW((HWND)0x7777, buffer, 8);
        error = GetLastError();
        n[1] = GetWindowTextW((HWND)0x7777, buffer, 8);
        return 0;
    });
    EXPECT_EQ(0, n[0]);
    EXPECT_EQ(0, n[1]);
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, error);
    EXPECT_EQ(u'\0', buffer[0]);
}

TEST_F(cesimWindows, WindowThreadAndProcessOfAFixtureWindow)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND w = AddFixtureWindow(other, u"W", u"w");
    DWORD pid = 0, tid = 0, mine = 0;
    HWND own = nullptr;
    DWORD ownPid = 0, ownTid = 0;
    DWORD probe = Run([&] {
        tid = GetWindowThreadProcessId(w, &pid);
        own = MakeWindow(u"Own", u"own", 0, RECT{0, 0, 10, 10});
        ownTid = GetWindowThreadProcessId(own, &ownPid);
        mine = GetCurrentThreadId();
        return Pump();
    });
    EXPECT_EQ(other, pid);
    EXPECT_NE(0u, tid);
    EXPECT_EQ(probe, ownPid);
    EXPECT_EQ(mine, ownTid);
    EXPECT_EQ(other, device().ProcessOf(w));
    EXPECT_EQ(probe, device().ProcessOf(own));
}

TEST_F(cesimWindows, WindowLongsKeepStylesIdsAndUserData)
{
    HWND top = nullptr, child = nullptr;
    LONG id[2] = {-1, -1}, oldData = -1, data = 0, exStyle = 0, style = 0, bad = -1;
    DWORD badError = 0;
    Run([&] {
        top = MakeWindow(u"Frame", u"t", WS_VISIBLE, RECT{0, 0, 100, 100}, nullptr, WS_EX_TOOLWINDOW);
        simtest::EnsureClass(u"Pane");
        child = CreateWindowExW(0, u"Pane", u"c", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top, (HMENU)(uintptr_t)77,
                                nullptr, nullptr);
        id[0] = GetWindowLongW(top, GWL_ID);
        id[1] = GetWindowLongW(child, GWL_ID);
        oldData = SetWindowLongW(top, GWL_USERDATA, 0x5A5A);
        data = GetWindowLongW(top, GWL_USERDATA);
        exStyle = GetWindowLongW(top, GWL_EXSTYLE);
        SetWindowLongW(child, GWL_STYLE, GetWindowLongW(child, GWL_STYLE) & ~WS_VISIBLE);
        style = GetWindowLongW(child, GWL_STYLE);
        bad = GetWindowLongW((HWND)0x7777, GWL_STYLE);
        badError = GetLastError();
        return Pump();
    });
    EXPECT_EQ(0, id[0]);
    EXPECT_EQ(77, id[1]);
    EXPECT_EQ(0, oldData);
    EXPECT_EQ(0x5A5A, data);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(style & WS_VISIBLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(device().Visible(child));
    EXPECT_EQ(0, bad);
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, badError);
}

// Outside its own process SetWindowTextW just changes the text, but for a
// window of the calling process it sends WM_SETTEXT, and the text changes
// when DefWindowProcW handles it.
TEST_F(cesimWindows, SetWindowTextGoesThroughWmSetText)
{
    HWND plain = nullptr, guarded = nullptr;
    std::u16string plainText, guardedText;
    simtest::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h == guarded && m == WM_SETTEXT) {
            *r = TRUE;  // keeps its title
            return true;
        }
        return false;
    };
    Run([&] {
        plain = MakeWindow(u"Texted", u"Old", 0, RECT{0, 0, 10, 10});
        guarded = MakeWindow(u"Texted", u"Old", 0, RECT{0, 0, 10, 10});
        SetWindowTextW(plain, u"New");
        SetWindowTextW(guarded, u"New");
        plainText = simtest::WindowText(plain);
        guardedText = simtest::WindowText(guarded);
        return Pump();
    });
    EXPECT_EQ(1, Log().Count(plain, WM_SETTEXT));
    EXPECT_EQ(1, Log().Count(guarded, WM_SETTEXT));
    EXPECT_EQ(u"New", plainText);
    EXPECT_EQ(u"Old", guardedText);
    EXPECT_EQ(u"Old", device().Title(guarded));
}

// ---------------------------------------------------------------- SetWindowPos

TEST_F(cesimWindows, SetWindowPosMovesAndSizes)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND w = AddFixtureWindow(other, u"W", u"w", WS_VISIBLE, RECT{0, 0, 240, 294});
    RECT seen[4];
    BOOL ok = FALSE;
    Run([&] {
        ok = SetWindowPos(w, nullptr, 10, 20, 100, 50, SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(w, &seen[0]);
        SetWindowPos(w, nullptr, 30, 40, 999, 999, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(w, &seen[1]);
        SetWindowPos(w, nullptr, 999, 999, 60, 70, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(w, &seen[2]);
        SetWindowPos(w, nullptr, 0, 0, -5, -5, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(w, &seen[3]);
        return 0;
    });
    EXPECT_TRUE(ok);
    EXPECT_RECT((RECT{10, 20, 110, 70}), seen[0]);
    EXPECT_RECT((RECT{30, 40, 130, 90}), seen[1]);
    EXPECT_RECT((RECT{30, 40, 90, 110}), seen[2]);
    EXPECT_RECT((RECT{30, 40, 30, 40}), seen[3]);  // a negative size is none
    EXPECT_RECT((RECT{30, 40, 30, 40}), device().Rect(w));
    EXPECT_EQ(4, device().PositionsSet(w));
}

TEST_F(cesimWindows, SetWindowPosOnAnUnknownWindowFails)
{
    BOOL ok = TRUE;
    DWORD error = 0;
    Run([&] {
        ok = SetWindowPos((HWND)0x7777, HWND_TOP, 0, 0, 1, 1, 0);
        error = GetLastError();
        return 0;
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, error);
}

TEST_F(cesimWindows, SetWindowPosZOrder)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND a = AddFixtureWindow(other, u"A", u"a");
    HWND b = AddFixtureWindow(other, u"B", u"b");
    HWND c = AddFixtureWindow(other, u"C", u"c");
    ASSERT_EQ(Handles({c, b, a}), device().TopLevel());
    std::vector<HWND> order[4];
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    DWORD pid = device().StartFunction(u"probe.exe", [&] { return Pump(); });
    device().Settle();
    auto step = [&](HWND w, HWND after, UINT flags) {
        device().RunInProcess(pid, [=] { return (DWORD)SetWindowPos(w, after, 0, 0, 0, 0, flags); });
        return device().TopLevel();
    };
    order[0] = step(a, HWND_TOP, keep);
    order[1] = step(a, HWND_BOTTOM, keep);
    order[2] = step(a, HWND_TOP, keep | SWP_NOZORDER);  // stays at the bottom
    order[3] = step(a, c, keep);                        // just behind c
    EXPECT_EQ(Handles({a, c, b}), order[0]);
    EXPECT_EQ(Handles({c, b, a}), order[1]);
    EXPECT_EQ(Handles({c, b, a}), order[2]);
    EXPECT_EQ(Handles({c, a, b}), order[3]);
    EXPECT_EQ(nullptr, device().Foreground());
}

TEST_F(cesimWindows, TopmostWindowsStayInFrontUntilSentToTheBottom)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND a = AddFixtureWindow(other, u"A", u"a");
    HWND top = AddFixtureWindow(other, u"T", u"t", WS_VISIBLE, RECT{0, 294, 240, 320}, nullptr, WS_EX_TOPMOST);
    HWND b = AddFixtureWindow(other, u"B", u"b");  // added last, still behind the topmost one
    EXPECT_EQ(Handles({top, b, a}), device().TopLevel());
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    std::vector<HWND> raised, sunk;
    DWORD pid = device().StartFunction(u"probe.exe", [&] { return Pump(); });
    device().Settle();
    device().RunInProcess(pid, [&] { return (DWORD)SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, keep); });
    raised = device().TopLevel();
    device().RunInProcess(pid, [&] { return (DWORD)SetWindowPos(top, HWND_BOTTOM, 0, 0, 0, 0, keep); });
    sunk = device().TopLevel();
    EXPECT_EQ(Handles({top, a, b}), raised);
    EXPECT_EQ(Handles({a, b, top}), sunk);
    EXPECT_EQ(0u, device().ExStyle(top) & WS_EX_TOPMOST);
}

TEST_F(cesimWindows, SetWindowPosShowsAndActivates)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND a = AddFixtureWindow(other, u"A", u"a");
    HWND hidden = AddFixtureWindow(other, u"H", u"h", 0);
    HWND b = AddFixtureWindow(other, u"B", u"b");
    HWND fg[4] = {};
    BOOL visible[2] = {};
    Run([&] {
        SetWindowPos(hidden, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
        visible[0] = IsWindowVisible(hidden);
        fg[0] = GetForegroundWindow();
        SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);  // activates a
        fg[1] = GetForegroundWindow();
        SetWindowPos(b, HWND_TOP, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        fg[2] = GetForegroundWindow();
        ShowWindow(hidden, SW_HIDE);
        visible[1] = IsWindowVisible(hidden);
        SetWindowPos(hidden, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);  // shows and activates
        fg[3] = GetForegroundWindow();
        return 0;
    });
    EXPECT_TRUE(visible[0]);
    EXPECT_EQ(nullptr, fg[0]);
    EXPECT_EQ(a, fg[1]);
    EXPECT_EQ(a, fg[2]);
    EXPECT_FALSE(visible[1]);
    EXPECT_EQ(hidden, fg[3]);
    EXPECT_EQ(hidden, device().Foreground());
    EXPECT_TRUE(device().Visible(hidden));
    EXPECT_EQ(hidden, device().TopLevel().front());
    EXPECT_RECT((RECT{5, 5, 245, 299}), device().Rect(b));
}

// Without SWP_NOACTIVATE the window is activated, and activation brings it
// to the top of its group whatever SWP_NOZORDER says.
TEST_F(cesimWindows, ActivatingThroughSetWindowPosRaisesEvenWithNoZOrder)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND a = AddFixtureWindow(other, u"A", u"a");
    HWND b = AddFixtureWindow(other, u"B", u"b");
    ASSERT_EQ(Handles({b, a}), device().TopLevel());
    Run([&] {
        SetWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
        return 0;
    });
    EXPECT_EQ(a, device().Foreground());
    EXPECT_EQ(Handles({a, b}), device().TopLevel());
}

// Every way a window comes to the front goes one way: the old foreground
// window is told WA_INACTIVE and the new one WA_ACTIVE, each naming the other.
// Hiding the foreground window, by ShowWindow or by SetWindowPos, hands the
// foreground to the next window that can take it: never the taskbar.
TEST_F(cesimWindows, HidingTheForegroundWindowPassesTheForegroundOn)
{
    cesim::Shell shell = device().InstallShell();
    HWND first = nullptr, second = nullptr;
    HWND fg[3] = {};
    Run([&] {
        first = MakeWindow(u"Main", u"first", WS_VISIBLE, RECT{0, 0, 100, 100});
        second = MakeWindow(u"Main", u"second", WS_VISIBLE, RECT{0, 0, 100, 100});
        fg[0] = GetForegroundWindow();
        ShowWindow(second, SW_HIDE);
        fg[1] = GetForegroundWindow();
        SetWindowPos(first, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW);
        fg[2] = GetForegroundWindow();
        return Pump();
    });
    EXPECT_EQ(second, fg[0]);
    EXPECT_EQ(first, fg[1]);
    EXPECT_EQ(shell.desktop, fg[2]);  // the taskbar in front of it never takes the foreground
    auto activations = [&](HWND w) {
        std::vector<std::pair<WPARAM, LPARAM>> seen;
        for (auto& m : Log().Of(w, WM_ACTIVATE))
            seen.push_back({m.wParam, m.lParam});
        return seen;
    };
    using A = std::vector<std::pair<WPARAM, LPARAM>>;
    EXPECT_EQ((A{{WA_ACTIVE, 0}, {WA_INACTIVE, (LPARAM)second}, {WA_ACTIVE, (LPARAM)second},
                 {WA_INACTIVE, (LPARAM)shell.desktop}}),
              activations(first));
    EXPECT_EQ((A{{WA_ACTIVE, (LPARAM)first}, {WA_INACTIVE, (LPARAM)first}}), activations(second));

    // The user brings a window to the front, or leaves none there.
    EXPECT_NE(std::string::npos, simtest::ErrorOf([&] { device().SetForeground(second); }).find("hidden"));
    device().ShowWindow(shell.desktop, false);
    EXPECT_EQ(nullptr, device().Foreground());
    EXPECT_FALSE(device().Visible(shell.desktop));
    device().ShowWindow(shell.desktop, true);
    device().SetForeground(shell.desktop);
    EXPECT_EQ(shell.desktop, device().Foreground());
    device().SetForeground(nullptr);
    EXPECT_EQ(nullptr, device().Foreground());
    EXPECT_NE(std::string::npos, simtest::ErrorOf([&] { device().SetForeground(shell.taskbar); }).find("never"));
}

// A resize reaches the window as WM_SIZE with the new client size (through
// DefWindowProcW's handling of WM_WINDOWPOSCHANGED).
TEST_F(cesimWindows, ResizingSendsWmSize)
{
    HWND w = nullptr;
    Run([&] {
        w = MakeWindow(u"Sized", u"s", 0, RECT{0, 0, 50, 50});
        SetWindowPos(w, nullptr, 0, 0, 120, 80, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return Pump();
    });
    auto sizes = Log().Of(w, WM_SIZE);
    ASSERT_FALSE(sizes.empty()) << "no WM_SIZE reached the window";
    EXPECT_EQ(MAKELPARAM(120, 80), sizes.back().lParam);
}

// ---------------------------------------------------------------- children

TEST_F(cesimWindows, ChildWindowsMoveWithTheirParentAndMapWindowPoints)
{
    HWND p = nullptr, c = nullptr, g = nullptr;
    RECT before{}, after{}, grand{}, client{}, moved{};
    POINT toScreen{1, 2}, fromScreen{}, toParent{0, 0};
    POINT pair[2] = {{0, 0}, {10, 10}};
    int offset = 0;
    HWND parentOf = nullptr;
    Run([&] {
        p = MakeWindow(u"Frame", u"frame", WS_VISIBLE, RECT{10, 20, 210, 220});
        c = MakeWindow(u"Pane", u"pane", WS_CHILD | WS_VISIBLE, RECT{5, 7, 55, 57}, p);
        g = MakeWindow(u"Pane", u"grand", WS_CHILD | WS_VISIBLE, RECT{1, 1, 11, 11}, c);
        GetWindowRect(c, &before);
        SetWindowPos(p, nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(c, &after);
        GetWindowRect(g, &grand);
        GetClientRect(c, &client);
        offset = MapWindowPoints(c, nullptr, &toScreen, 1);
        fromScreen = toScreen;
        MapWindowPoints(nullptr, c, &fromScreen, 1);
        MapWindowPoints(c, p, &toParent, 1);
        MapWindowPoints(g, p, pair, 2);
        parentOf = GetParent(c);
        SetWindowPos(c, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);  // parent-relative
        GetWindowRect(c, &moved);
        return Pump();
    });
    EXPECT_RECT((RECT{15, 27, 65, 77}), before);
    EXPECT_RECT((RECT{45, 67, 95, 117}), after);
    EXPECT_RECT((RECT{46, 68, 56, 78}), grand);
    EXPECT_RECT((RECT{0, 0, 50, 50}), client);
    EXPECT_EQ(46, toScreen.x);
    EXPECT_EQ(69, toScreen.y);
    EXPECT_EQ(MAKELONG(45, 67), offset);
    EXPECT_EQ(1, fromScreen.x);
    EXPECT_EQ(2, fromScreen.y);
    EXPECT_EQ(5, toParent.x);
    EXPECT_EQ(7, toParent.y);
    EXPECT_EQ(6, pair[0].x);
    EXPECT_EQ(8, pair[0].y);
    EXPECT_EQ(16, pair[1].x);
    EXPECT_EQ(18, pair[1].y);
    EXPECT_EQ(p, parentOf);
    EXPECT_EQ(p, device().Parent(c));
    EXPECT_RECT((RECT{60, 90, 110, 140}), moved);
    EXPECT_RECT((RECT{60, 90, 110, 140}), device().Rect(c));
    EXPECT_RECT((RECT{61, 91, 71, 101}), device().Rect(g));
}

TEST_F(cesimWindows, FixtureChildrenArePlacedInTheirParent)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND parent = AddFixtureWindow(other, u"P", u"p", WS_VISIBLE, RECT{0, 26, 240, 320});
    HWND child = AddFixtureWindow(other, u"C", u"c", WS_VISIBLE, RECT{10, 10, 50, 30}, parent);
    EXPECT_RECT((RECT{10, 36, 50, 56}), device().Rect(child));
    EXPECT_EQ(parent, device().Parent(child));
    EXPECT_TRUE(device().Style(child) & WS_CHILD);
    std::vector<HWND> mine = device().WindowsOf(other);
    EXPECT_EQ(2u, mine.size());
}

TEST_F(cesimWindows, IsWindowVisibleFollowsTheParents)
{
    HWND p = nullptr, c = nullptr;
    BOOL v[5] = {};
    LONG style = 0;
    BOOL wasVisible[2] = {TRUE, FALSE};
    Run([&] {
        p = MakeWindow(u"Frame", u"p", 0, RECT{0, 0, 100, 100});
        c = MakeWindow(u"Pane", u"c", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, p);
        v[0] = IsWindowVisible(c);
        style = GetWindowLongW(c, GWL_STYLE);
        wasVisible[0] = ShowWindow(p, SW_SHOW);
        v[1] = IsWindowVisible(c);
        wasVisible[1] = ShowWindow(c, SW_HIDE);
        v[2] = IsWindowVisible(c);
        v[3] = IsWindowVisible(p);
        v[4] = IsWindowVisible((HWND)0x7777);
        return Pump();
    });
    EXPECT_FALSE(v[0]);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(wasVisible[0]);
    EXPECT_TRUE(v[1]);
    EXPECT_TRUE(wasVisible[1]);
    EXPECT_FALSE(v[2]);
    EXPECT_TRUE(v[3]);
    EXPECT_FALSE(v[4]);
    EXPECT_FALSE(device().Visible(c));
    EXPECT_TRUE(device().Visible(p));
}

// ---------------------------------------------------------------- classes

WNDCLASSW ClassNamed(const char16_t* name)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = simtest::LoggingProc;
    wc.lpszClassName = name;
    return wc;
}

TEST_F(cesimWindows, WindowClassesBelongToTheProcessThatRegisteredThem)
{
    ATOM one = 0, oneAgain = 1, two = 0, oneElse = 0;
    DWORD againError = 0;
    HWND w1 = nullptr, w2 = nullptr, foreign = (HWND)1;
    WCHAR name1[16] = {}, name2[16] = {};
    Run(
        [&] {
            WNDCLASSW wc = ClassNamed(u"Panel");
            one = RegisterClassW(&wc);
            WNDCLASSW upper = ClassNamed(u"PANEL");
            oneAgain = RegisterClassW(&upper);
            againError = GetLastError();
            WNDCLASSW only = ClassNamed(u"OnlyInOne");
            oneElse = RegisterClassW(&only);
            w1 = CreateWindowExW(0, u"panel", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
            GetClassNameW(w1, name1, 16);
            return Pump();
        },
        u"one.exe");
    Run(
        [&] {
            WNDCLASSW wc = ClassNamed(u"PANEL");
            two = RegisterClassW(&wc);
            w2 = CreateWindowExW(0, u"Panel", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
            GetClassNameW(w2, name2, 16);
            foreign = CreateWindowExW(0, u"OnlyInOne", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
            return Pump();
        },
        u"two.exe");
    EXPECT_NE(0, one);
    EXPECT_EQ(0, oneAgain);
    EXPECT_EQ((DWORD)ERROR_CLASS_ALREADY_EXISTS, againError);
    EXPECT_NE(0, oneElse);
    EXPECT_NE(0, two);
    ASSERT_NE(nullptr, w1);
    ASSERT_NE(nullptr, w2);
    EXPECT_EQ(u"Panel", std::u16string(name1));
    EXPECT_EQ(u"PANEL", std::u16string(name2));
    EXPECT_EQ(u"Panel", device().ClassName(w1));
    EXPECT_EQ(nullptr, foreign);
}

// A class cannot be unregistered while a window of it exists.
TEST_F(cesimWindows, UnregisterClassWaitsForTheClassesWindowsToGo)
{
    BOOL whileWindowExists = TRUE, afterwards = FALSE;
    ATOM again = 0;
    HWND w = nullptr;
    Run([&] {
        WNDCLASSW wc = ClassNamed(u"Panel");
        RegisterClassW(&wc);
        w = CreateWindowExW(0, u"Panel", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        whileWindowExists = UnregisterClassW(u"Panel", nullptr);
        DestroyWindow(w);
        afterwards = UnregisterClassW(u"panel", nullptr);
        again = RegisterClassW(&wc);
        return 0;
    });
    ASSERT_NE(nullptr, w);
    EXPECT_FALSE(whileWindowExists);
    EXPECT_TRUE(afterwards);
    EXPECT_NE(0, again);
}

// CreateWindowExW with a class the process cannot see fails with
// ERROR_CANNOT_FIND_WND_CLASS; ERROR_CLASS_DOES_NOT_EXIST is what
// UnregisterClassW reports.
TEST_F(cesimWindows, CreatingAWindowOfAnUnknownClassReportsCannotFindClass)
{
    const DWORD ERROR_CANNOT_FIND_WND_CLASS_ = 1407;
    HWND w = (HWND)1;
    DWORD createError = 0, unregisterError = 0;
    BOOL unregistered = TRUE;
    Run([&] {
        w = CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        createError = GetLastError();
        unregistered = UnregisterClassW(u"NoSuchClass", nullptr);
        unregisterError = GetLastError();
        return 0;
    });
    EXPECT_EQ(nullptr, w);
    EXPECT_EQ(ERROR_CANNOT_FIND_WND_CLASS_, createError);
    EXPECT_FALSE(unregistered);
    EXPECT_EQ((DWORD)ERROR_CLASS_DOES_NOT_EXIST, unregisterError);
}

// ---------------------------------------------------------------- destruction

TEST_F(cesimWindows, DestroyWindowSendsWmDestroyParentFirstAndTheHandleDies)
{
    HWND p = nullptr, c = nullptr, q = nullptr;
    BOOL childAliveInParentsDestroy = FALSE;
    BOOL destroyed = FALSE, again = TRUE, alive[2] = {TRUE, TRUE};
    DWORD againError = 0;
    HWND fgBefore = nullptr, fgAfter = nullptr;
    simtest::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
        if (m == WM_DESTROY && h == p)
            childAliveInParentsDestroy = IsWindow(c);
        return false;
    };
    DWORD pid = Run([&] {
        q = MakeWindow(u"Frame", u"q", WS_VISIBLE, RECT{0, 0, 100, 100});
        p = MakeWindow(u"Frame", u"p", WS_VISIBLE, RECT{0, 0, 100, 100});
        c = MakeWindow(u"Pane", u"c", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, p);
        fgBefore = GetForegroundWindow();
        destroyed = DestroyWindow(p);
        alive[0] = IsWindow(p);
        alive[1] = IsWindow(c);
        fgAfter = GetForegroundWindow();
        again = DestroyWindow(p);
        againError = GetLastError();
        return Pump();
    });
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(childAliveInParentsDestroy);
    EXPECT_FALSE(alive[0]);
    EXPECT_FALSE(alive[1]);
    EXPECT_FALSE(again);
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, againError);
    EXPECT_EQ(p, fgBefore);
    EXPECT_EQ(q, fgAfter);
    std::vector<HWND> destroyOrder;
    for (auto& s : Log().All()) {
        if (s.message == WM_DESTROY)
            destroyOrder.push_back(s.hwnd);
    }
    EXPECT_EQ(Handles({p, c}), destroyOrder);
    EXPECT_FALSE(device().IsAlive(p));
    EXPECT_FALSE(device().IsAlive(c));
    EXPECT_TRUE(device().IsAlive(q));
    EXPECT_EQ(std::vector<HWND>{q}, device().WindowsOf(pid));
}

TEST_F(cesimWindows, AThreadCannotDestroyAnotherThreadsWindow)
{
    HWND w = nullptr;
    DWORD pid = Run([&] {
        w = MakeWindow(u"Frame", u"w", WS_VISIBLE, RECT{0, 0, 100, 100});
        return Pump();
    });
    DWORD error = 0;
    DWORD result = device().RunInProcess(pid, [&] {
        BOOL ok = DestroyWindow(w);
        error = GetLastError();
        return (DWORD)ok;
    });
    EXPECT_EQ((DWORD)FALSE, result);
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, error);
    EXPECT_TRUE(device().IsAlive(w));
    EXPECT_EQ(0, Log().Count(w, WM_DESTROY));
}

TEST_F(cesimWindows, WindowsOfAThreadGoWhenItEnds)
{
    HWND w = nullptr;
    DWORD pid = Run([&] { return Pump(); });
    device().RunInProcess(pid, [&] {
        w = MakeWindow(u"Frame", u"short-lived", WS_VISIBLE, RECT{0, 0, 100, 100});
        return 0;
    });
    ASSERT_NE(nullptr, w);
    EXPECT_FALSE(device().IsAlive(w));
    EXPECT_TRUE(device().TopLevel().empty());
}

// ---------------------------------------------------------------- desktop

TEST_F(cesimWindows, WithoutAShellTheDesktopWindowIsTheScreen)
{
    HWND desktop = nullptr, anyWindow = (HWND)1;
    RECT r{};
    BOOL isWindow = FALSE;
    Visits all;
    Run([&] {
        desktop = GetDesktopWindow();
        GetWindowRect(desktop, &r);
        isWindow = IsWindow(desktop);
        anyWindow = FindWindowW(nullptr, nullptr);
        EnumWindows(Visit, (LPARAM)&all);
        return 0;
    });
    EXPECT_NE(nullptr, desktop);
    EXPECT_EQ(device().DesktopWindow(), desktop);
    EXPECT_TRUE(isWindow);
    EXPECT_RECT((RECT{0, 0, 240, 320}), r);
    EXPECT_EQ(nullptr, anyWindow);
    EXPECT_TRUE(all.seen.empty());
    EXPECT_TRUE(device().TopLevel().empty());
}

TEST_F(cesimWindows, TheShellsDesktopIsTheDesktopWindowAndFollowsSetWindowPos)
{
    cesim::Shell shell = device().InstallShell();
    EXPECT_EQ(u"DesktopExplorerWindow", device().ClassName(shell.desktop));
    EXPECT_EQ(u"Desktop", device().Title(shell.desktop));
    EXPECT_EQ(u"HHTaskBar", device().ClassName(shell.taskbar));
    EXPECT_EQ(u"", device().Title(shell.taskbar));
    EXPECT_TRUE(device().ExStyle(shell.taskbar) & WS_EX_TOPMOST);
    EXPECT_EQ(Handles({shell.taskbar, shell.desktop}), device().TopLevel());
    EXPECT_RECT((RECT{0, 294, 240, 320}), device().Rect(shell.taskbar));

    HWND desktop = nullptr, taskbar = nullptr;
    RECT before{}, after{};
    Run([&] {
        desktop = GetDesktopWindow();
        taskbar = FindWindowW(u"HHTaskBar", u"");
        GetWindowRect(desktop, &before);
        SetWindowPos(desktop, HWND_BOTTOM, 0, 26, 240, 294, SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(GetDesktopWindow(), &after);
        return 0;
    });
    EXPECT_EQ(shell.desktop, desktop);
    EXPECT_EQ(shell.taskbar, taskbar);
    EXPECT_RECT((RECT{0, 0, 240, 294}), before);
    EXPECT_RECT((RECT{0, 26, 240, 320}), after);
    EXPECT_RECT((RECT{0, 26, 240, 320}), device().Rect(device().DesktopWindow()));
    EXPECT_EQ(shell.desktop, device().DesktopWindow());
}

TEST_F(cesimWindows, ShellVariants)
{
    cesim::Shell shell = device().InstallShell(cesim::ShellNames::TOP_MENU, cesim::TaskbarEdge::TOP);
    EXPECT_EQ(u"TOP MENU", device().ClassName(shell.desktop));
    EXPECT_EQ(u"TOP MENU", device().Title(shell.desktop));
    EXPECT_RECT((RECT{0, 26, 240, 320}), device().Rect(shell.desktop));
    EXPECT_RECT((RECT{0, 0, 240, 26}), device().Rect(shell.taskbar));
    EXPECT_RECT((RECT{0, 26, 240, 320}), device().WorkArea());
    EXPECT_EQ(shell.process, device().ProcessOf(shell.desktop));
    EXPECT_EQ(shell.process, device().ProcessOf(shell.taskbar));
}

TEST_F(cesimWindows, TheDesktopWindowCanBeChangedAndFallsBackToTheScreen)
{
    HWND screen = device().DesktopWindow();
    cesim::Shell shell = device().InstallShell();
    DWORD other = device().AddProcess(u"other.exe");
    HWND mine = AddFixtureWindow(other, u"MyDesk", u"desk");
    HWND seen[3] = {};
    DWORD pid = Run([&] { return Pump(); });
    auto desktopNow = [&] {
        HWND d = nullptr;
        device().RunInProcess(pid, [&] {
            d = GetDesktopWindow();
            return 0;
        });
        return d;
    };
    device().SetShellDesktop(mine);
    seen[0] = desktopNow();
    device().SetShellDesktop(nullptr);
    seen[1] = desktopNow();
    device().SetShellDesktop(shell.desktop);
    device().DestroyWindow(shell.desktop);
    seen[2] = desktopNow();
    EXPECT_EQ(mine, seen[0]);
    EXPECT_EQ(screen, seen[1]);
    EXPECT_EQ(screen, seen[2]);
    EXPECT_EQ(screen, device().DesktopWindow());
}

// ---------------------------------------------------------------- work area

TEST_F(cesimWindows, WorkAreaDefaultsAndFollowsTheShell)
{
    EXPECT_RECT((RECT{0, 0, 240, 320}), device().WorkArea());
    RECT seen[2]{};
    BOOL ok = FALSE;
    DWORD pid = Run([&] {
        ok = SystemParametersInfoW(SPI_GETWORKAREA, 0, &seen[0], 0);
        return Pump();
    });
    device().InstallShell();
    device().RunInProcess(pid, [&] { return (DWORD)SystemParametersInfoW(SPI_GETWORKAREA, 0, &seen[1], 0); });
    EXPECT_TRUE(ok);
    EXPECT_RECT((RECT{0, 0, 240, 320}), seen[0]);
    EXPECT_RECT((RECT{0, 0, 240, 294}), seen[1]);
    EXPECT_EQ(0, device().WorkAreaSets());
}

TEST_F(cesimWindows, SettingTheWorkAreaQuietly)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND f = AddFixtureWindow(other, u"F", u"f");
    RECT read{};
    BOOL ok = FALSE;
    Run([&] {
        RECT area{0, 26, 240, 320};
        ok = SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, SPIF_UPDATEINIFILE);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &read, 0);
        return 0;
    });
    EXPECT_TRUE(ok);
    EXPECT_RECT((RECT{0, 26, 240, 320}), read);
    EXPECT_RECT((RECT{0, 26, 240, 320}), device().WorkArea());
    EXPECT_EQ(1, device().WorkAreaSets());
    EXPECT_TRUE(device().Received(f).empty());

    device().SetWorkArea(RECT{0, 0, 200, 200});
    RECT fromTest{};
    Run([&] {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &fromTest, 0);
        return 0;
    });
    EXPECT_RECT((RECT{0, 0, 200, 200}), fromTest);
    EXPECT_EQ(1, device().WorkAreaSets());
}

TEST_F(cesimWindows, SystemParametersInfoRefusesWhatItDoesNotKnow)
{
    BOOL result = TRUE;
    RECT r{};
    Run([&] {
        result = SystemParametersInfoW(0x1234, 0, &r, SPIF_SENDCHANGE);
        return 0;
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(0, device().WorkAreaSets());
    EXPECT_RECT((RECT{0, 0, 240, 320}), device().WorkArea());
}

TEST_F(cesimWindows, SettingTheWorkAreaWithSendChangeTellsEveryTopLevelWindow)
{
    device().SetTick(4000);
    DWORD other = device().AddProcess(u"other.exe");
    HWND shown = AddFixtureWindow(other, u"Shown", u"s");
    HWND hidden = AddFixtureWindow(other, u"Hidden", u"h", 0);
    HWND child = AddFixtureWindow(other, u"Child", u"c", WS_VISIBLE, RECT{0, 0, 5, 5}, shown);
    HWND listener = nullptr, own = nullptr;
    Run(
        [&] {
            listener = MakeWindow(u"Listener", u"l", 0, RECT{0, 0, 10, 10});
            return Pump();
        },
        u"listener.exe");
    Run([&] {
        own = MakeWindow(u"Own", u"o", 0, RECT{0, 0, 10, 10});
        RECT area{0, 0, 240, 294};
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
        return Pump();
    });
    for (HWND f : {shown, hidden}) {
        auto got = device().Received(f);
        ASSERT_EQ(1u, got.size());
        EXPECT_EQ((UINT)WM_SETTINGCHANGE, got[0].message);
        EXPECT_EQ((WPARAM)SPI_SETWORKAREA, got[0].wParam);
        EXPECT_TRUE(got[0].sent);
        EXPECT_EQ(4000u, got[0].tick);
    }
    EXPECT_TRUE(device().Received(child).empty());
    auto heard = Log().Of(listener, WM_SETTINGCHANGE);
    ASSERT_EQ(1u, heard.size());
    EXPECT_EQ((WPARAM)SPI_SETWORKAREA, heard[0].wParam);
    EXPECT_EQ(1, Log().Count(own, WM_SETTINGCHANGE));
    EXPECT_EQ(1, device().WorkAreaSets());
}

// ---------------------------------------------------------------- fixture windows

TEST_F(cesimWindows, FixtureWindowsRecordSentMessagesAtOnceAndPostedOnesAtSettle)
{
    device().SetTick(5000);
    DWORD other = device().AddProcess(u"other.exe");
    HWND f = AddFixtureWindow(other, u"F", u"f");
    LRESULT sendResult = -1;
    size_t seenDuringRun = 99;
    BOOL posted = FALSE;
    Run([&] {
        posted = PostMessageW(f, WM_USER + 1, 1, 2);
        sendResult = SendMessageW(f, WM_USER + 2, 3, 4);
        Sleep(100);
        return 0;
    });
    seenDuringRun = device().Received(f).size();
    device().Advance(100);
    auto got = device().Received(f);
    EXPECT_TRUE(posted);
    EXPECT_EQ(0, sendResult);
    EXPECT_EQ(2u, seenDuringRun);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ((UINT)WM_USER + 2, got[0].message);
    EXPECT_TRUE(got[0].sent);
    EXPECT_EQ(3u, got[0].wParam);
    EXPECT_EQ(4, got[0].lParam);
    EXPECT_EQ((UINT)WM_USER + 1, got[1].message);
    EXPECT_FALSE(got[1].sent);
    EXPECT_EQ(1u, got[1].wParam);
    EXPECT_EQ(2, got[1].lParam);
    EXPECT_EQ(5000u, got[1].tick);

    device().Post(f, WM_USER + 3, 5, 6);
    EXPECT_EQ(2u, device().Received(f).size());  // not before the device settles
    device().Settle();
    got = device().Received(f);
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ((UINT)WM_USER + 3, got[2].message);
    EXPECT_FALSE(got[2].sent);
    EXPECT_EQ(5100u, got[2].tick);
}

TEST_F(cesimWindows, FixtureWindowsCloseOrIgnoreWmClose)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND closes = AddFixtureWindow(other, u"Closes", u"c");
    HWND inner = AddFixtureWindow(other, u"Inner", u"i", WS_VISIBLE, RECT{0, 0, 5, 5}, closes);
    HWND stubborn = AddFixtureWindow(other, u"Stubborn", u"s", WS_VISIBLE, RECT{0, 0, 240, 294}, nullptr, 0, false);
    HWND postedClose = AddFixtureWindow(other, u"Posted", u"p");
    BOOL alive[3] = {TRUE, FALSE, TRUE};
    Run([&] {
        SendMessageW(closes, WM_CLOSE, 0, 0);
        alive[0] = IsWindow(closes);
        SendMessageW(stubborn, WM_CLOSE, 0, 0);
        alive[1] = IsWindow(stubborn);
        PostMessageW(postedClose, WM_CLOSE, 0, 0);
        alive[2] = IsWindow(postedClose);  // not yet delivered
        return 0;
    });
    EXPECT_FALSE(alive[0]);
    EXPECT_FALSE(device().IsAlive(closes));
    EXPECT_FALSE(device().IsAlive(inner));
    EXPECT_TRUE(alive[1]);
    EXPECT_TRUE(device().IsAlive(stubborn));
    ASSERT_EQ(1u, device().Received(stubborn).size());
    EXPECT_EQ((UINT)WM_CLOSE, device().Received(stubborn)[0].message);
    EXPECT_TRUE(alive[2]);
    EXPECT_FALSE(device().IsAlive(postedClose));
    EXPECT_EQ(Handles({stubborn}), device().TopLevel());
}

}  // namespace
