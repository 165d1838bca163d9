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
    const WindowSpec specs[] = {
        {TEXT("Alpha"), TEXT("First Window")},                                    // 0
        {TEXT("AlphaBeta"), TEXT("First"), WS_VISIBLE | WS_POPUP, 0, {-20, -30, 100, 40}},  // 1
        {TEXT("Same"), TEXT("back")},                                             // 2
        {TEXT("Same"), TEXT("hidden"), WS_POPUP},                                 // 3
        {TEXT("Same"), TEXT("front"), WS_VISIBLE | WS_POPUP, 0, {-240, 0, -10, 50}},  // 4
        {TEXT("Other"), TEXT("front")},                                           // 5
        {TEXT("Bar"), TEXT("")},                                                  // 6
        {TEXT("Bar"), TEXT("Named")},                                             // 7
    };
    std::vector<HWND> w;
    for (const WindowSpec& s : specs)
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

TEST(Windows, EnumWindowsGoesFrontFirstWithHiddenWindowsWithoutChildrenUntilTold)
{
    OtherProgram other;
    HWND a = other.AddWindow({TEXT("A"), TEXT("a")});
    HWND b = other.AddWindow({TEXT("B"), TEXT("b"), WS_POPUP});
    HWND c = other.AddWindow({TEXT("C"), TEXT("c")});
    HWND child = other.AddWindow({TEXT("K"), TEXT("k"), WS_VISIBLE | WS_CHILD, 0, {0, 0, 5, 5}, c});
    RunAsProgram([&] {
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

}  // namespace
