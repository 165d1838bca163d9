// The window manager: finding and enumerating windows, names, classes,
// styles, visibility, positions, z-order and activation.
#include "fixture.h"

#include <algorithm>

using namespace conformance;

namespace {

// ---------------------------------------------------------------- FindWindowW

// Several windows of one class with other titles, and of one title with
// other classes, some at negative coordinates; the front one of each kind
// was made last.
struct FindCase {
    const WCHAR* cls;
    const WCHAR* title;
    int expected;  // index into the windows below, -1 for none
};

TEST(Windows, FindWindowComparesWholeNamesWithoutCaseFrontFirst)
{
    OtherProgram other;
    const TheirWindow windows[] = {
        {TEXT("Alpha"), TEXT("First Window")},                                    // 0
        {TEXT("AlphaBeta"), TEXT("First"), WS_VISIBLE | WS_POPUP, 0, {-20, -30, 100, 40}},  // 1
        {TEXT("Same"), TEXT("back")},                                             // 2
        {TEXT("Same"), TEXT("hidden"), WS_POPUP},                                 // 3
        {TEXT("Same"), TEXT("front"), WS_VISIBLE | WS_POPUP, 0, {-240, 0, -10, 50}},  // 4
        {TEXT("Other"), TEXT("front")},                                           // 5
        {TEXT("Bar"), TEXT("")},                                                  // 6
        {TEXT("Bar"), TEXT("Named")},                                             // 7
        {TEXT("Рабочий"), TEXT("Рабочий стол")},                                  // 8: case beyond ASCII
        {TEXT("Greek"), TEXT("Επιφανεια")},                                       // 9
    };
    std::vector<HWND> w;
    for (const TheirWindow& s : windows)
        w.push_back(other.AddWindow(s));
    HWND holder = w[7];
    other.AddWindow({TEXT("Kid"), TEXT("kid"), WS_VISIBLE | WS_CHILD, 0, {0, 0, 10, 10}, holder});
    HWND gone = other.AddWindow({TEXT("Gone"), TEXT("gone")});
    other.Destroy(gone);
    const FindCase cases[] = {
        {TEXT("alpha"), TEXT("FIRST WINDOW"), 0},
        {TEXT("ALPHA"), NULL, 0},
        {TEXT("Alph"), NULL, -1},               // a prefix of both classes
        {NULL, TEXT("fIRST"), 1},
        {NULL, TEXT("First Win"), -1},          // a prefix of a title
        {TEXT("alphabeta"), TEXT("first window"), -1},  // one's class with the other's title
        {TEXT("Alpha "), NULL, -1},             // a trailing blank is part of the name
        {TEXT("alphabeta"), TEXT("first"), 1},
        {TEXT("same"), NULL, 4},                // the front one of the class
        {TEXT("Same"), TEXT("back"), 2},
        {NULL, TEXT("HIDDEN"), 3},              // hidden windows count
        {NULL, TEXT("front"), 5},               // the front one of the title
        {TEXT("Same"), TEXT("front"), 4},
        {TEXT("Other"), TEXT("back"), -1},
        {TEXT("Bar"), TEXT(""), 6},             // an empty title matches only an empty title
        {TEXT("Bar"), NULL, 7},
        {TEXT("Other"), TEXT(""), -1},
        {TEXT("Kid"), NULL, -1},                // top-level windows only
        {NULL, TEXT("kid"), -1},
        {TEXT("Gone"), NULL, -1},               // destroyed
        {NULL, TEXT("РАБОЧИЙ СТОЛ"), 8},
        {TEXT("рабочий"), NULL, 8},
        {NULL, TEXT("ΕΠΙΦΑΝΕΙΑ"), 9},
    };
    RunAsProgram([&] {
        for (const FindCase& c : cases) {
            HWND found = FindWindowW(c.cls, c.title);
            EXPECT_EQ(c.expected < 0 ? (HWND)NULL : w[c.expected], found)
                << "class " << Utf8(c.cls) << (c.cls ? "" : "(none)") << ", title " << Utf8(c.title)
                << (c.title ? "" : "(none)");
        }
    });
}

// ---------------------------------------------------------------- EnumWindows

struct Visits {
    std::vector<HWND> seen;
    size_t stop_after;  // 0: never stop
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param)
{
    Visits* v = (Visits*)param;
    v->seen.push_back(hwnd);
    return !(v->stop_after != 0 && v->seen.size() >= v->stop_after);
}

// The windows of ours among what EnumWindows saw, in its order.
std::vector<HWND> Ours(const std::vector<HWND>& seen, const std::vector<HWND>& ours)
{
    std::vector<HWND> out;
    for (HWND h : seen) {
        if (std::find(ours.begin(), ours.end(), h) != ours.end())
            out.push_back(h);
    }
    return out;
}

// The order EnumWindows gives the listed windows, front first.
std::vector<HWND> ZOrder(const std::vector<HWND>& ours)
{
    Visits all = {{}, 0};
    EnumWindows(Visit, (LPARAM)&all);
    return Ours(all.seen, ours);
}

TEST(Windows, EnumWindowsGoesFrontFirstWithHiddenWindowsWithoutChildrenUntilTold)
{
    OtherProgram other;
    HWND a = other.AddWindow({TEXT("A"), TEXT("a"), WS_VISIBLE | WS_POPUP | WS_SYSMENU, WS_EX_CAPTIONOKBTN});
    HWND b = other.AddWindow({TEXT("B"), TEXT("b"), WS_POPUP, WS_EX_TOOLWINDOW});
    HWND c = other.AddWindow({TEXT("C"), TEXT("c"), WS_VISIBLE | WS_POPUP, 0, {0, -10, 240, 320}});
    HWND child = other.AddWindow({TEXT("K"), TEXT("k"), WS_VISIBLE | WS_CHILD, 0, {10, 10, 50, 30}, c});
    RunAsProgram([&] {
        // Another program's child window, placed in its parent.
        EXPECT_RECT((RECT{10, 0, 50, 20}), RectOf(child));
        EXPECT_EQ(c, GetParent(child));
        EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_CHILD);
        // Its caption buttons as its styles give them.
        EXPECT_TRUE(GetWindowLongW(a, GWL_STYLE) & WS_SYSMENU);
        EXPECT_TRUE(GetWindowLongW(a, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN);
        EXPECT_FALSE(GetWindowLongW(c, GWL_STYLE) & WS_SYSMENU);
        EXPECT_TRUE(GetWindowLongW(b, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
        EXPECT_FALSE(GetWindowLongW(a, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
        EXPECT_FALSE(IsWindowVisible(b));
        EXPECT_TRUE(IsWindowVisible(a));
        Visits all = {{}, 0};
        EXPECT_TRUE(EnumWindows(Visit, (LPARAM)&all));
        EXPECT_EQ((std::vector<HWND>{c, b, a}), Ours(all.seen, {a, b, c, child}));
        EXPECT_EQ(all.seen.end(), std::find(all.seen.begin(), all.seen.end(), GetDesktopWindow()));
        EXPECT_FALSE(all.seen.empty());
        // Stopped by the callback after two: the front two of all.
        Visits two = {{}, 2};
        EXPECT_FALSE(EnumWindows(Visit, (LPARAM)&two));
        EXPECT_EQ((std::vector<HWND>{all.seen[0], all.seen[1]}), two.seen);
    });
}

// ---------------------------------------------------------------- names

// A window of another program, read with buffers of each size: cut to the
// buffer and terminated, the count without the terminator, nothing written
// without room.
TEST(Windows, ClassNameAndTitleAreCutToTheBuffer)
{
    struct Read {
        int capacity;
        int cls_count;
        const char* cls;
        int title_count;
        const char* title;
    };
    const Read reads[] = {
        {1, -1, NULL, 0, ""},             // room for the terminator only (the class name: Wine writes none)
        {6, 5, "Abcde", 5, "Hello"},      // the title fits exactly
        {7, 6, "Abcdef", 5, "Hello"},     // the class name fits exactly
        {4, 3, "Abc", 3, "Hel"},          // shorter than either
        {0, 0, NULL, 0, NULL},            // no room at all: nothing written
    };
    OtherProgram other;
    HWND w = other.AddWindow({TEXT("Abcdef"), TEXT("Hello")});
    RunAsProgram([&] {
        for (const Read& r : reads) {
            WCHAR cls[10], title[10];
            for (int i = 0; i < 10; ++i)
                cls[i] = title[i] = (WCHAR)'#';
            int cls_count = GetClassNameW(w, cls, r.capacity);
            EXPECT_EQ(r.title_count, GetWindowTextW(w, title, r.capacity)) << r.capacity;
            if (r.cls_count < 0)
                continue;
            EXPECT_EQ(r.cls_count, cls_count) << r.capacity;
            if (r.cls == NULL) {
                EXPECT_EQ((WCHAR)'#', cls[0]);
                EXPECT_EQ((WCHAR)'#', title[0]);
                continue;
            }
            cls[9] = title[9] = 0;
            EXPECT_EQ(r.cls, Utf8(cls)) << r.capacity;
            EXPECT_EQ(r.title, Utf8(title)) << r.capacity;
            EXPECT_EQ((WCHAR)'#', cls[r.cls_count + 1]) << "written beyond the terminator";
        }
    });
}

TEST(Windows, CallsOnAWindowThatIsGoneFail)
{
    RunAsProgram([&] {
        HWND gone = MakeWindow(TEXT("Gone"), TEXT("gone"), WS_POPUP, RECT{0, 0, 10, 10});
        DestroyWindow(gone);
        WCHAR buffer[8] = {(WCHAR)'x', (WCHAR)'x'};
        EXPECT_EQ(0, GetClassNameW(gone, buffer, 8));
        EXPECT_EQ(0, GetWindowTextW(gone, buffer, 8));
        EXPECT_EQ((WCHAR)0, buffer[0]);
        EXPECT_FALSE(IsWindow(gone));
        EXPECT_FALSE(IsWindowVisible(gone));
        SetLastError(0);
        EXPECT_EQ(0, GetWindowLongW(gone, GWL_STYLE));
        EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
        SetLastError(0);
        EXPECT_FALSE(SetWindowPos(gone, HWND_TOP, 0, 0, 1, 1, 0));
        EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
        EXPECT_FALSE(DestroyWindow(gone));
        SetLastError(0);
        EXPECT_FALSE(PostMessageW(gone, WM_USER, 0, 0));
        EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
        MSG msg;
        EXPECT_EQ(-1, GetMessageW(&msg, gone, 0, 0));
        RECT r = {1, 2, 3, 4};
        EXPECT_FALSE(GetWindowRect(gone, &r));
    });
}

// ---------------------------------------------------------------- creation, styles, longs

LRESULT CALLBACK KeepsTitle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        return TRUE;  // handled: the title stays
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// What CreateWindowExW was given reads back through the window's longs and
// names; SetWindowTextW on a window of the calling program goes through
// WM_SETTEXT, so that the window's procedure decides.
TEST(Windows, CreatedWindowsKeepStylesIdsAndTitles)
{
    RunAsProgram([&] {
        HWND top = MakeWindow(TEXT("Frame"), TEXT("Top"), WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100}, NULL,
                              WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
        EnsureClass(TEXT("Pane"));
        HWND child = CreateWindowExW(0, TEXT("Pane"), TEXT("c"), WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top,
                                     (HMENU)(UINT_PTR)77, GetModuleHandleW(NULL), NULL);
        HWND hidden = MakeWindow(TEXT("Frame"), TEXT(""), WS_POPUP, RECT{0, 0, 10, 10});
        ASSERT_TRUE(top != NULL && child != NULL && hidden != NULL);
        EXPECT_EQ((DWORD)(WS_POPUP | WS_VISIBLE), (DWORD)GetWindowLongW(top, GWL_STYLE) & (WS_POPUP | WS_VISIBLE | WS_CHILD | WS_CAPTION));
        EXPECT_EQ((DWORD)(WS_EX_TOOLWINDOW | WS_EX_TOPMOST),
                  (DWORD)GetWindowLongW(top, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_DLGMODALFRAME));
        EXPECT_EQ((DWORD)WS_CHILD, (DWORD)GetWindowLongW(child, GWL_STYLE) & (WS_CHILD | WS_POPUP));
        EXPECT_EQ(0u, (DWORD)GetWindowLongW(hidden, GWL_STYLE) & WS_VISIBLE);
        EXPECT_EQ(77, GetWindowLongW(child, GWL_ID));
        EXPECT_EQ("Top", TitleOf(top));
        EXPECT_EQ("", TitleOf(hidden));
        EXPECT_EQ("Frame", ClassOf(top));
        EXPECT_EQ(top, GetParent(child));
        EXPECT_EQ((HWND)NULL, GetParent(top));
        // SetWindowLongW answers the previous value.
        LONG ex = GetWindowLongW(top, GWL_EXSTYLE);
        EXPECT_EQ(ex, SetWindowLongW(top, GWL_EXSTYLE, ex & ~WS_EX_TOOLWINDOW));
        EXPECT_EQ(0, GetWindowLongW(top, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
        // The OK button in the caption: a Windows CE style. Desktop Windows has
        // no such style, but keeps the bit, which is all that a call reads.
        SetWindowLongW(top, GWL_EXSTYLE, GetWindowLongW(top, GWL_EXSTYLE) | WS_EX_CAPTIONOKBTN);
        EXPECT_EQ((DWORD)WS_EX_CAPTIONOKBTN, (DWORD)GetWindowLongW(top, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN);
        SetWindowLongW(child, GWL_STYLE, GetWindowLongW(child, GWL_STYLE) & ~WS_VISIBLE);
        EXPECT_FALSE(IsWindowVisible(child));

        HWND plain = MakeWindow(TEXT("Texted"), TEXT("Old"), WS_POPUP, RECT{0, 0, 10, 10});
        HWND keeps = MakeWindow(TEXT("Keeps"), TEXT("Old"), WS_POPUP, RECT{0, 0, 10, 10}, NULL, 0, KeepsTitle);
        EXPECT_TRUE(SetWindowTextW(plain, TEXT("New")));
        SetWindowTextW(keeps, TEXT("New"));
        EXPECT_EQ("New", TitleOf(plain));
        EXPECT_EQ("Old", TitleOf(keeps));
    });
}

// A top-level window given WS_VISIBLE and nothing else: Windows CE has no
// overlapped windows, desktop Windows gives it a caption and border.
TEST(Windows, TopLevelWindowWithoutCaptionStyle)
{
    RunAsProgram([&] {
        HWND w = MakeWindow(TEXT("Bare"), TEXT("bare"), WS_VISIBLE, RECT{10, 20, 110, 120});
        ASSERT_TRUE(w != NULL);
        RECT client = {0, 0, 0, 0};
        GetClientRect(w, &client);
        EXPECT_EQ(CE_DIFFERENCE(BARE_TOP_LEVEL_WINDOW, (DWORD)0, (DWORD)WS_CAPTION),
                  (DWORD)GetWindowLongW(w, GWL_STYLE) & WS_CAPTION);
        EXPECT_EQ(CE_DIFFERENCE(BARE_TOP_LEVEL_WINDOW, true, false),
                  SameRect(RECT{0, 0, 100, 100}, client))
            << Show(client);
        // Velto's call makes it as Windows CE does, on both.
        HWND velto = VELTO_CALL(CreateWindowExW)(0, TEXT("Bare"), TEXT("velto"), WS_VISIBLE, 10, 20, 100, 100, NULL,
                                                 NULL, GetModuleHandleW(NULL), NULL);
        GetClientRect(velto, &client);
        EXPECT_EQ(0u, (DWORD)GetWindowLongW(velto, GWL_STYLE) & WS_CAPTION);
        EXPECT_RECT((RECT{0, 0, 100, 100}), client);
    });
}

// ---------------------------------------------------------------- classes

// Classes belong to the process that registered them; within it a name is
// registered once, whatever its case.
TEST(Windows, ClassesBelongToTheirProcess)
{
    OtherProgram other;
    other.AddWindow({TEXT("OnlyTheirs"), TEXT("theirs")});
    RunAsProgram([&] {
        WNDCLASSW wc;
        ZeroMemory(&wc, sizeof wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(NULL);
        wc.lpszClassName = TEXT("Panel");
        EXPECT_NE(0, RegisterClassW(&wc));
        SetLastError(0);
        EXPECT_EQ(0, RegisterClassW(&wc));
        EXPECT_EQ((DWORD)ERROR_CLASS_ALREADY_EXISTS, GetLastError());
        // Names are compared without regard to case, as atoms are.
        wc.lpszClassName = TEXT("PANEL");
        EXPECT_EQ(0, RegisterClassW(&wc));
        // A negative count of extra bytes is refused; one too large to
        // allocate fails as well (Wine's error says invalid parameter).
        wc.lpszClassName = TEXT("Extra");
        for (int* count : {&wc.cbClsExtra, &wc.cbWndExtra}) {
            *count = -1;
            SetLastError(0);
            EXPECT_EQ(0, RegisterClassW(&wc));
            EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
            *count = 0x40000000;
            EXPECT_EQ(0, RegisterClassW(&wc));
            *count = 0;
        }
        HWND w = CreateWindowExW(0, TEXT("panel"), TEXT(""), WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                 GetModuleHandleW(NULL), NULL);
        EXPECT_EQ("Panel", ClassOf(w));
        // Another program's class is not this one's.
        EXPECT_EQ((HWND)NULL, CreateWindowExW(0, TEXT("OnlyTheirs"), TEXT(""), WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                              GetModuleHandleW(NULL), NULL));
        // A class with a window cannot be unregistered; without one it can.
        HWND p = CreateWindowExW(0, TEXT("Panel"), TEXT(""), WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                 GetModuleHandleW(NULL), NULL);
        EXPECT_EQ("Panel", ClassOf(p));
        EXPECT_FALSE(UnregisterClassW(TEXT("Panel"), GetModuleHandleW(NULL)));
        EXPECT_EQ((DWORD)ERROR_CLASS_HAS_WINDOWS, GetLastError());
        DestroyWindow(p);
        DestroyWindow(w);
        EXPECT_TRUE(UnregisterClassW(TEXT("pANEL"), GetModuleHandleW(NULL)));
        SetLastError(0);
        EXPECT_FALSE(UnregisterClassW(TEXT("NoSuchClass"), GetModuleHandleW(NULL)));
        EXPECT_EQ((DWORD)ERROR_CLASS_DOES_NOT_EXIST, GetLastError());
    });
}

// ---------------------------------------------------------------- visibility

TEST(Windows, VisibilityFollowsTheParents)
{
    RunAsProgram([&] {
        HWND p = MakeWindow(TEXT("Frame"), TEXT("p"), WS_POPUP, RECT{0, 0, 100, 100});
        HWND c = MakeWindow(TEXT("Pane"), TEXT("c"), WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, p);
        EXPECT_FALSE(IsWindowVisible(c));  // its own style says visible, its parent is not
        EXPECT_TRUE(GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE);
        EXPECT_FALSE(ShowWindow(p, SW_SHOW));  // the previous visibility
        EXPECT_TRUE(IsWindowVisible(c));
        EXPECT_TRUE(ShowWindow(c, SW_HIDE));
        EXPECT_FALSE(IsWindowVisible(c));
        EXPECT_TRUE(IsWindowVisible(p));
    });
}

// ---------------------------------------------------------------- SetWindowPos

// Another program's window moved and sized with the flags the program uses.
TEST(Windows, SetWindowPosMovesAndSizesByItsFlags)
{
    struct Step {
        int x, y, cx, cy;
        UINT flags;
        RECT expected;
    };
    const UINT quiet = SWP_NOZORDER | SWP_NOACTIVATE;
    const Step steps[] = {
        {10, 20, 100, 50, quiet, {10, 20, 110, 70}},
        {30, 40, 999, 999, SWP_NOSIZE | quiet, {30, 40, 130, 90}},
        {999, 999, 60, 70, SWP_NOMOVE | quiet, {30, 40, 90, 110}},
        {-20, -30, 0, 0, SWP_NOSIZE | quiet, {-20, -30, 40, 40}},  // above and left of the screen
        {0, 0, -5, -5, SWP_NOMOVE | quiet, {-20, -30, -20, -30}},  // a negative size is none
    };
    OtherProgram other;
    HWND w = other.AddWindow({TEXT("W"), TEXT("w")});
    RunAsProgram([&] {
        HWND fg = GetForegroundWindow();
        for (const Step& s : steps) {
            EXPECT_TRUE(SetWindowPos(w, HWND_TOP, s.x, s.y, s.cx, s.cy, s.flags));
            EXPECT_RECT(s.expected, RectOf(w));
        }
        EXPECT_EQ(fg, GetForegroundWindow());
    });
}

// The insert-after values, on four windows of another program and two
// topmost ones; d in front of the four, top2 of the two.
TEST(Windows, SetWindowPosPlacesInTheZOrder)
{
    OtherProgram other;
    HWND a = other.AddWindow({TEXT("A"), TEXT("a")});
    HWND b = other.AddWindow({TEXT("B"), TEXT("b")});
    HWND c = other.AddWindow({TEXT("C"), TEXT("c")});
    HWND top = other.AddWindow({TEXT("T"), TEXT("t"), WS_VISIBLE | WS_POPUP, WS_EX_TOPMOST, {0, 294, 240, 320}});
    HWND d = other.AddWindow({TEXT("D"), TEXT("d")});  // made after it, still behind the topmost one
    HWND top2 = other.AddWindow({TEXT("T2"), TEXT("t2"), WS_VISIBLE | WS_POPUP, WS_EX_TOPMOST, {0, 294, 240, 320}});
    const std::vector<HWND> ours = {a, b, c, d, top, top2};
    struct Step {
        HWND window, after;
        UINT flags;
        std::vector<HWND> order;
    };
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    const Step steps[] = {
        {NULL, NULL, 0, {top2, top, d, c, b, a}},
        {a, HWND_TOP, keep, {top2, top, a, d, c, b}},
        {a, HWND_BOTTOM, keep, {top2, top, d, c, b, a}},
        {a, HWND_TOP, keep | SWP_NOZORDER, {top2, top, d, c, b, a}},     // stays where it is
        {c, HWND_BOTTOM, keep | SWP_NOZORDER, {top2, top, d, c, b, a}},  // so does this one
        {a, c, keep, {top2, top, d, c, a, b}},                           // just behind c
        {top, HWND_TOP, keep, {top, top2, d, c, a, b}},                  // in front of the topmost ones ...
        {b, HWND_TOP, keep, {top, top2, b, d, c, a}},                    // ... and still one of them
        {top, HWND_BOTTOM, keep, {top2, b, d, c, a, top}},               // no longer topmost
    };
    RunAsProgram([&] {
        HWND fg = GetForegroundWindow();
        for (const Step& s : steps) {
            if (s.window != NULL) {
                EXPECT_TRUE(SetWindowPos(s.window, s.after, 0, 0, 0, 0, s.flags));
            }
            EXPECT_EQ(s.order, ZOrder(ours)) << "step " << (&s - steps);
        }
        EXPECT_EQ(0, GetWindowLongW(top, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_NE(0, GetWindowLongW(top2, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_EQ(fg, GetForegroundWindow());
    });
}

// SWP_SHOWWINDOW shows; without SWP_NOACTIVATE the window comes to the
// front and is activated, whatever SWP_NOZORDER says.
TEST(Windows, SetWindowPosShowsAndActivates)
{
    OtherProgram other;
    HWND a = other.AddWindow({TEXT("A"), TEXT("a")});
    HWND hidden = other.AddWindow({TEXT("H"), TEXT("h"), WS_POPUP});
    HWND b = other.AddWindow({TEXT("B"), TEXT("b")});
    const std::vector<HWND> ours = {a, hidden, b};
    RunAsProgram([&] {
        HWND fg = GetForegroundWindow();
        const UINT keep = SWP_NOMOVE | SWP_NOSIZE;
        // Moved without SWP_SHOWWINDOW, a hidden window stays hidden.
        EXPECT_TRUE(SetWindowPos(hidden, NULL, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
        EXPECT_FALSE(IsWindowVisible(hidden));
        EXPECT_RECT((RECT{5, 6, 245, 300}), RectOf(hidden));
        SetWindowPos(hidden, HWND_TOP, 0, 0, 0, 0, keep | SWP_SHOWWINDOW | SWP_NOACTIVATE);
        EXPECT_TRUE(IsWindowVisible(hidden));
        EXPECT_EQ(fg, GetForegroundWindow());
        SetWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, keep | SWP_NOZORDER);
        EXPECT_EQ(a, GetForegroundWindow());
        // The activated window comes to the front (under Wine once the other
        // program has taken its activation).
        EXPECT_TRUE(WaitFor([&] { return ZOrder(ours) == std::vector<HWND>{a, hidden, b}; }));
        SetWindowPos(b, HWND_TOP, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        EXPECT_EQ(a, GetForegroundWindow());
        ShowWindow(hidden, SW_HIDE);
        SetWindowPos(hidden, HWND_TOP, 0, 0, 0, 0, keep | SWP_SHOWWINDOW);
        EXPECT_TRUE(IsWindowVisible(hidden));
        EXPECT_EQ(hidden, GetForegroundWindow());
    });
}

// A resize reaches the window as WM_SIZE with the new client size.
LRESULT CALLBACK RecordsSize(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SIZE)
        SetWindowLongW(hwnd, GWL_ID, (LONG)lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(Windows, ResizingSendsWmSize)
{
    RunAsProgram([&] {
        HWND w = MakeWindow(TEXT("Sized"), TEXT("s"), WS_POPUP, RECT{0, 0, 50, 50}, NULL, 0, RecordsSize);
        SetWindowPos(w, NULL, 0, 0, 120, 80, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(MAKELONG(120, 80), GetWindowLongW(w, GWL_ID));
    });
}

// ---------------------------------------------------------------- foreground

// Every way a window comes to the front goes one way: the old foreground
// window hears WA_INACTIVE and the new one WA_ACTIVE, each naming the
// other. Hiding or destroying the foreground window hands the foreground on
// to the next window that can take it.
struct Activation {
    HWND window;
    WPARAM state;
    LPARAM other;
};
Activation g_activations[16];
int g_activation_count;

LRESULT CALLBACK RecordsActivation(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ACTIVATE && g_activation_count < 16)
        g_activations[g_activation_count++] = Activation{hwnd, LOWORD(wParam), lParam};
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(Windows, ForegroundPassesOnWhenTheForegroundWindowHidesOrGoes)
{
    OtherProgram other;
    HWND theirs = other.AddWindow({TEXT("Theirs"), TEXT("theirs")});
    RunAsProgram([&] {
        g_activation_count = 0;
        const RECT r = {0, 0, 100, 100};
        HWND first = MakeWindow(TEXT("Main"), TEXT("first"), WS_POPUP | WS_VISIBLE, r, NULL, 0, RecordsActivation);
        HWND second = MakeWindow(TEXT("Main"), TEXT("second"), WS_POPUP | WS_VISIBLE, r, NULL, 0, RecordsActivation);
        EXPECT_EQ(second, GetForegroundWindow());
        ShowWindow(second, SW_HIDE);
        EXPECT_EQ(first, GetForegroundWindow());
        ASSERT_GE(g_activation_count, 4);
        const Activation expected[] = {
            {first, WA_INACTIVE, (LPARAM)second},
            {second, WA_ACTIVE, (LPARAM)first},
            {second, WA_INACTIVE, (LPARAM)first},
            {first, WA_ACTIVE, (LPARAM)second},
        };
        for (int i = 0; i < 4; ++i) {
            const Activation& got = g_activations[g_activation_count - 4 + i];
            EXPECT_EQ(expected[i].window, got.window) << i;
            EXPECT_EQ(expected[i].state, got.state) << i;
            EXPECT_EQ(expected[i].other, got.other) << i;
        }
        // The user's choice: another program's window, which comes to the top.
        EXPECT_TRUE(SetForegroundWindow(theirs));
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == theirs; }));  // Wine: once the other program took it
        EXPECT_TRUE(WaitFor([&] { return ZOrder({first, theirs}) == std::vector<HWND>{theirs, first}; }));
        EXPECT_TRUE(SetForegroundWindow(first));
        EXPECT_EQ(first, GetForegroundWindow());
        EXPECT_DOCUMENTED((ZOrder({first, theirs}) == std::vector<HWND>{first, theirs}),
                          "Wine 8 activates a window of the calling thread without raising it");
        // The next window below the one that goes takes the foreground, a
        // tool window too, even with another window above the one that goes.
        HWND tool = MakeWindow(TEXT("Main"), TEXT("tool"), WS_POPUP | WS_VISIBLE, r, NULL, WS_EX_TOOLWINDOW);
        ShowWindow(second, SW_SHOW);
        EXPECT_EQ(second, GetForegroundWindow());
        ShowWindow(second, SW_HIDE);
        EXPECT_EQ(tool, GetForegroundWindow());
        HWND third = MakeWindow(TEXT("Main"), TEXT("third"), WS_POPUP | WS_VISIBLE, r);
        EXPECT_EQ(third, GetForegroundWindow());
        SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        EXPECT_EQ((std::vector<HWND>{first, third, tool}), ZOrder({first, third, tool}));
        DestroyWindow(third);
        EXPECT_EQ(tool, GetForegroundWindow());
    });
}

// ---------------------------------------------------------------- children, points

std::string At(POINT p) { return std::to_string(p.x) + "," + std::to_string(p.y); }

// Children move with their parent, which may be another program's window.
// (A tap on such a child is left to Velto's own tests under Wine, which tap
// its button in the taskbar: here, under Wine, the tap now and then never
// reached the child's loop, for a cause not yet found.)
TEST(Windows, ChildrenMoveWithTheirParentAndMapWindowPoints)
{
    OtherProgram other;
    HWND bar = other.AddWindow({TEXT("Bar"), TEXT("bar"), WS_VISIBLE | WS_POPUP, WS_EX_TOPMOST, {0, 294, 240, 320}});
    RunAsProgram([&] {
        HWND p = MakeWindow(TEXT("Frame"), TEXT("frame"), WS_POPUP | WS_VISIBLE, RECT{10, 20, 210, 220});
        HWND c = MakeWindow(TEXT("Pane"), TEXT("pane"), WS_CHILD | WS_VISIBLE, RECT{5, 7, 55, 57}, p);
        HWND g = MakeWindow(TEXT("Pane"), TEXT("grand"), WS_CHILD | WS_VISIBLE, RECT{1, 1, 11, 11}, c);
        EXPECT_RECT((RECT{15, 27, 65, 77}), RectOf(c));
        SetWindowPos(p, NULL, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_RECT((RECT{45, 67, 95, 117}), RectOf(c));
        EXPECT_RECT((RECT{46, 68, 56, 78}), RectOf(g));
        RECT client = {-1, -1, -1, -1};
        GetClientRect(c, &client);
        EXPECT_RECT((RECT{0, 0, 50, 50}), client);
        POINT point = {1, 2};
        EXPECT_EQ(MAKELONG(45, 67), MapWindowPoints(c, NULL, &point, 1));
        EXPECT_EQ("46,69", At(point));
        MapWindowPoints(NULL, c, &point, 1);
        EXPECT_EQ("1,2", At(point));
        POINT pair[2] = {{0, 0}, {10, 10}};
        MapWindowPoints(g, p, pair, 2);
        EXPECT_EQ("6,8 16,18", At(pair[0]) + " " + At(pair[1]));
        EXPECT_EQ(p, GetParent(c));
        EXPECT_EQ(c, GetParent(g));
        SetWindowPos(c, NULL, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);  // in the parent
        EXPECT_RECT((RECT{60, 90, 110, 140}), RectOf(c));
        EXPECT_RECT((RECT{61, 91, 71, 101}), RectOf(g));

        HWND button = MakeWindow(TEXT("Button"), TEXT(""), WS_CHILD | WS_VISIBLE, RECT{216, 2, 240, 26}, bar);
        EXPECT_EQ(bar, GetParent(button));
        EXPECT_RECT((RECT{216, 296, 240, 320}), RectOf(button));
        POINT in_bar = {10, 10};
        MapWindowPoints(button, bar, &in_bar, 1);
        EXPECT_EQ("226,12", At(in_bar));
    });
}

// ---------------------------------------------------------------- destruction

HWND g_destroying_parent, g_destroying_child;
BOOL g_child_alive_in_parents_destroy;
int g_destroy_order[2];
int g_destroy_count;

LRESULT CALLBACK RecordsDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        if (hwnd == g_destroying_parent)
            g_child_alive_in_parents_destroy = IsWindow(g_destroying_child);
        if (g_destroy_count < 2)
            g_destroy_order[g_destroy_count++] = hwnd == g_destroying_parent ? 1 : 2;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

DWORD WINAPI DestroyOnAnotherThread(LPVOID window)
{
    return DestroyWindow((HWND)window) ? 0 : GetLastError();
}

DWORD WINAPI MakeWindowAndEnd(LPVOID out)
{
    *(HWND*)out = MakeWindow(TEXT("Short"), TEXT("short-lived"), WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10});
    return 0;
}

TEST(Windows, DestroyWindowGoesParentFirstAndOnlyOnItsThread)
{
    RunAsProgram([&] {
        g_destroy_count = 0;
        HWND q = MakeWindow(TEXT("Frame"), TEXT("q"), WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
        HWND p = MakeWindow(TEXT("Doomed"), TEXT("p"), WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100}, NULL, 0,
                            RecordsDestroy);
        HWND c = MakeWindow(TEXT("Doomed"), TEXT("c"), WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, p);
        g_destroying_parent = p;
        g_destroying_child = c;
        // Another thread cannot destroy it.
        HANDLE t = CreateThread(NULL, 0, DestroyOnAnotherThread, p, 0, NULL);
        WaitForSingleObject(t, INFINITE);
        DWORD refused = 0;
        GetExitCodeThread(t, &refused);
        CloseHandle(t);
        EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, refused);
        EXPECT_TRUE(IsWindow(p));
        EXPECT_EQ(p, GetForegroundWindow());
        EXPECT_TRUE(DestroyWindow(p));
        EXPECT_TRUE(g_child_alive_in_parents_destroy);
        EXPECT_EQ(2, g_destroy_count);
        EXPECT_EQ(1, g_destroy_order[0]);
        EXPECT_EQ(2, g_destroy_order[1]);
        EXPECT_FALSE(IsWindow(p));
        EXPECT_FALSE(IsWindow(c));
        EXPECT_EQ(q, GetForegroundWindow());
        // The windows of a thread go when it ends.
        HWND brief = NULL;
        t = CreateThread(NULL, 0, MakeWindowAndEnd, &brief, 0, NULL);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        EXPECT_TRUE(brief != NULL);
        EXPECT_FALSE(IsWindow(brief));
    });
}

// ---------------------------------------------------------------- the desktop window

// Velto's call answers as Windows CE's on both platforms: the bare screen
// while there is no shell, then the shell's desktop window.
TEST(Windows, TheDesktopWindow)
{
    RECT screen = {0, 0, 0, 0};
    RunAsProgram([&] {
        screen = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        HWND bare = VELTO_CALL(GetDesktopWindow)();
        EXPECT_EQ("#32769", ClassOf(bare));
        EXPECT_EQ("", TitleOf(bare));
        EXPECT_RECT(screen, RectOf(bare));
    });
    PocketPcShell();
    RunAsProgram([&] {
        HWND shells = VELTO_CALL(GetDesktopWindow)();
        EXPECT_EQ("DesktopExplorerWindow", ClassOf(shells));
        EXPECT_EQ("Desktop", TitleOf(shells));
        EXPECT_RECT((RECT{0, 0, 240, 294}), RectOf(shells));

        HWND desktop = GetDesktopWindow();
        EXPECT_TRUE(IsWindow(desktop));
        EXPECT_EQ(CE_DIFFERENCE(DESKTOP_WINDOW, std::string("DesktopExplorerWindow"), std::string("#32769")),
                  ClassOf(desktop));
        BOOL moved = SetWindowPos(desktop, HWND_BOTTOM, 0, 26, 240, 294, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(CE_DIFFERENCE(MOVING_THE_DESKTOP_WINDOW, TRUE, FALSE),
                  moved);
        EXPECT_RECT(CE_DIFFERENCE(MOVING_THE_DESKTOP_WINDOW, (RECT{0, 26, 240, 320}), screen),
                    RectOf(GetDesktopWindow()));
    });
}

// ---------------------------------------------------------------- InvalidateRect

int g_paints;

LRESULT CALLBACK CountsPaints(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
        ++g_paints;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(Windows, InvalidateRectOfNoWindow)
{
    RunAsProgram([&] {
        HWND w = MakeWindow(TEXT("Painted"), TEXT("p"), WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50}, NULL, 0,
                            CountsPaints);
        UpdateWindow(w);
        g_paints = 0;
        EXPECT_FALSE(VELTO_CALL(InvalidateRect)(NULL, NULL, TRUE));  // Velto's call does nothing on both
        UpdateWindow(w);
        EXPECT_EQ(0, g_paints);
        BOOL result = InvalidateRect(NULL, NULL, TRUE);
        UpdateWindow(w);
        EXPECT_EQ(CE_DIFFERENCE(INVALIDATE_NO_WINDOW, FALSE, TRUE),
                  result);
        EXPECT_EQ(CE_DIFFERENCE(INVALIDATE_NO_WINDOW, 0, 1),
                  g_paints);
    });
}

}  // namespace
