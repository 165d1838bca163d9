// The conformance suite: one test source, two platforms.
//
// Every case here is built twice: against the simulated Pocket PC (natively,
// `conformance`) and with mingw-w64 as `conformance.exe`, run under Wine. A
// case passes only if both platforms give its answer. How to write one:
//
//   TEST(Windows, Something)
//   {
//       OtherProgram other;                      // another program, with a process id
//       HWND theirs = other.AddWindow({TEXT("Cls"), TEXT("Title")});
//       RunAsProgram([&] {                       // the body is the program under test
//           HWND mine = CreateWindowExW(...);    // plain Win32 only, TEXT("...") for strings
//           EXPECT_EQ(theirs, FindWindowW(TEXT("Cls"), NULL));
//       });
//       EXPECT_EQ(1, other.Count(theirs, WM_CLOSE));
//   }
//
// - Win32 calls belong inside RunAsProgram: on the simulated device the body
//   runs as the first thread of a fresh process (it may create windows, pump
//   messages and start threads; the clock moves to each deadline while it
//   waits), under Wine directly in the test process. Outside the body only
//   the fixture's own calls (OtherProgram, OnCe, PocketPcShell) are made.
// - Time: Sleep and time-outs work as they are; WaitFor polls a condition
//   with a generous bound. Never assert a time.
// - Input from outside while the body waits in a modal loop (a menu, a
//   dialog): Later, Tap and the menu calls below.
// - VELTO_CALL(GetDesktopWindow)() makes the call as Velto makes it, through
//   platform/platform.h, which answers as Windows CE does on both platforms.
// - Classes made with EnsureClass go with the case; windows go with the
//   body's thread (under Wine) or its process (on the simulated device).
// - Where Windows CE and desktop Windows truly differ, a case names both
//   answers with CE_DIFFERENCE (below), under the name of the row of the
//   table in platform/differences.h, which a failure prints; a test checks
//   that every row has a case.
// - Where Wine itself is wrong against the documented behaviour, the case
//   says so with EXPECT_DOCUMENTED (below) and keeps the documented answer.
// - A check made on one platform only goes under `if (OnlyOnCe("why"))`,
//   which names why the other cannot show it.
#pragma once

#include "platform/platform.h"

#ifdef _WIN32
// A case tests the platform itself, not the program's door to it: the plain
// calls, without the program's stand-ins for Windows CE's behaviour.
#undef CreateWindowExW
#undef GetModuleFileNameW
#undef GetDesktopWindow
#undef InvalidateRect
#undef GetClassLongW
#undef Shell_NotifyIconW
#undef LoadIconW
#undef wWinMain
// Velto's own call, through its door to the platform: a row that makes it
// expects Windows CE's answer on both platforms.
#define VELTO_CALL(call) Platform##call
// The fixture keeps the order of the program's tray icons, for TapTrayIcon.
namespace conformance {
BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* record);
}
#define Shell_NotifyIconW ::conformance::NotifyIcon
#else
#define VELTO_CALL(call) call
#endif

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace conformance {

// True on the simulated Pocket PC, false under Wine.
bool OnCe();
// OnCe(), for a check that only the simulated device can show; why says
// what keeps Wine from showing it (printed under Wine).
bool OnlyOnCe(const char* why);

// Runs body as the program under test, to its end.
void RunAsProgram(const std::function<void()>& body);

// From inside a body: act runs on another thread of the program once ready()
// holds, polled once the program waits (for up to 10 s under Wine), each
// after the one asked for before it; the body waits for them at its end.
void Later(const std::function<void()>& act, const std::function<bool()>& ready = nullptr);

// Sets the event ready and waits for wait; AwaitWaiting(ready) returns once
// the thread that set it waits (under Wine the two are one step,
// SignalObjectAndWait; on the simulated device the clock moves only once
// every thread waits, threads running free or not).
DWORD SetEventAndWait(HANDLE ready, HANDLE wait);
void AwaitWaiting(HANDLE ready);

// Polls done() (Sleep between polls) until it holds or bound_ms have passed.
// Under Wine the bound is four times as long.
bool WaitFor(const std::function<bool()>& done, DWORD bound_ms = 2000);

// The stylus taps a screen point (an open menu takes it first).
void Tap(POINT screen);
// The stylus taps a tray icon of the program (under Wine: its place in
// Wine's taskbar, the pointer moving there first).
void TapTrayIcon(HWND owner, UINT id);
// While a menu is open: its rectangle on the screen (the innermost level),
// the screen point of its client area's top-left corner, an item's
// rectangle on the screen, by position, of one of its open levels (else all
// 0), and whether that item shows a check mark.
bool MenuOpen();
void DismissMenu();  // the open menu closes without a choice
RECT OpenMenuRect();
POINT OpenMenuClientOrigin();
RECT MenuItemRect(HMENU menu, int index);
bool MenuItemChecked(HMENU menu, int index);

// Before a body: the clock of the simulated device is set to ms before the
// tick count wraps to 0 (under Wine the clock is the machine's, left as it is).
void ClockBeforeItsWrap(DWORD ms);
// A registry key that a case made goes with the case (under Wine the
// registry outlives it; the simulated device is fresh for every case).
void DropRegistryKey(HKEY root, const WCHAR* path);

// The Pocket PC's shell: on the simulated device its desktop window and
// taskbar; under Wine a window of another program stands in for its desktop
// window ("DesktopExplorerWindow", "Desktop", 240 x 294) until the next body ends.
void PocketPcShell();

// A window of another program.
struct TheirWindow {
    const WCHAR* class_name;
    const WCHAR* title = TEXT("");
    DWORD style = WS_VISIBLE | WS_POPUP;
    DWORD exstyle = 0;
    RECT rect{0, 0, 240, 294};  // on the screen; in the parent's client area for a child
    HWND parent = NULL;         // a window of the same program
    int icon_size = 0;          // a class icon of this size (0: none)
};

// A message that a window of another program received.
struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool sent;  // sent rather than posted
};

// Another program: started with the object, ended with it. Its windows
// record what they receive. Usable outside a body and inside one.
class OtherProgram {
public:
    OtherProgram();
    ~OtherProgram();
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    DWORD Id() const { return id_; }
    // Its program file (not the program's own), which carries an icon of a
    // 32 x 32 and a 16 x 16 image.
    const WCHAR* File() const { return file_.c_str(); }
    HWND AddWindow(const TheirWindow& window);
    void Destroy(HWND window);
    // The work area as this program reads it.
    RECT WorkArea();
    // What one of its windows received of one message, oldest first.
    std::vector<Received> ReceivedBy(HWND window, UINT message);
    int Count(HWND window, UINT message) { return (int)ReceivedBy(window, message).size(); }

    struct Impl;

private:
    DWORD id_ = 0;
    std::basic_string<WCHAR> file_;
    Impl* impl_ = nullptr;
};

// ---- helpers for cases

inline bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::string Show(const RECT& r);
std::string Utf8(const WCHAR* text);
// A window's title and class name, as UTF-8.
std::string TitleOf(HWND window);
std::string ClassOf(HWND window);
RECT RectOf(HWND window);

// Registers a window class of the calling program whose procedure is
// proc (DefWindowProcW when null), with a class icon and background brush;
// an existing class is kept.
void EnsureClass(const WCHAR* name, WNDPROC proc = NULL, HICON icon = NULL, HBRUSH background = NULL);
// A window of the calling program, of a class from EnsureClass.
HWND MakeWindow(const WCHAR* cls, const WCHAR* title, DWORD style, RECT r, HWND parent = NULL, DWORD exstyle = 0,
                WNDPROC proc = NULL);
// The size of an icon or a bitmap as the platform holds it.
SIZE IconSize(HICON icon);
SIZE BitmapSize(HBITMAP bitmap);
// The smallest rectangle of a window's client area that holds what icons
// and blits drew into it (under Wine: the pixels of another colour than its
// bottom-right corner's, within 64 x 64).
RECT PaintedRect(HWND window);
// Whether a window's client area shows brush all over (under Wine: at its
// corners; on the simulated device: its last drawing was a fill with brush).
bool FilledWith(HWND window, HBRUSH brush);
// The point of bitmap that a blit copied to the top-left corner of dest in
// a window's client area (under Wine: the first whose pixels match), else {-1, -1}.
POINT BlitSource(HWND window, HBITMAP bitmap, RECT dest);

// The rows of platform/differences.h.
enum class Difference {
#define CONFORMANCE_ROW_NAME(name, ...) name,
    PLATFORM_DIFFERENCES(CONFORMANCE_ROW_NAME)
#undef CONFORMANCE_ROW_NAME
};
std::vector<std::string> DifferenceRows();
// A row written out: its name, both answers, why, and the page that documents it.
std::string Explain(Difference row);

// The answer of a platform where the two differ, printed with its row.
template <typename T>
struct CeAnswer {
    T value;
    Difference row;
};
template <typename T, typename U>
bool operator==(const CeAnswer<T>& answer, const U& actual)
{
    return answer.value == actual;
}
template <typename T>
std::ostream& operator<<(std::ostream& out, const CeAnswer<T>& answer)
{
    return out << ::testing::PrintToString(answer.value) << " (" << Explain(answer.row) << ")";
}
inline const RECT& ValueOf(const RECT& r) { return r; }
inline const RECT& ValueOf(const CeAnswer<RECT>& r) { return r.value; }
inline std::string Show(const CeAnswer<RECT>& r) { return Show(r.value) + " (" + Explain(r.row) + ")"; }

template <Difference row, typename T>
CeAnswer<T> StateDifference(const T& value)
{
    return CeAnswer<T>{value, row};
}

// The fixture's own: for main, a body or an action whose throw
// fails the case, and the classes EnsureClass registered (under Wine a
// case's classes go when it ends).
void Prepare();
void Guarded(const std::function<void()>& fn);
// Runs body, then waits for the actions of Later that it asked for.
void RunBodyThenLater(const std::function<void()>& body);
std::vector<std::basic_string<WCHAR>>& ClassesMade();

}  // namespace conformance

#define EXPECT_RECT(expected, actual)                                                    \
    EXPECT_TRUE(::conformance::SameRect(::conformance::ValueOf(expected), (actual)))    \
        << "expected " << ::conformance::Show(expected) << ", got " << ::conformance::Show(actual)

// Where Windows CE and desktop Windows truly differ: the answer on each,
// under the name of its row in platform/differences.h, which a failure
// prints with the row's reason and documentation page. The simulated device
// gives the CE answer.
//   EXPECT_EQ(CE_DIFFERENCE(INVALIDATE_NO_WINDOW, FALSE, TRUE), result);
#define CE_DIFFERENCE(row, ce, desktop) \
    ::conformance::StateDifference<::conformance::Difference::row>(::conformance::OnCe() ? (ce) : (desktop))

// The documented answer that Wine 8 does not give: checked as it is on the
// simulated device; under Wine the case expects Wine's wrong answer, so that
// the day Wine gives the right one this fails and the mark goes.
// One condition at a time: of a conjunction, Wine's failing one part would
// pass the whole.
#define EXPECT_DOCUMENTED(condition, wine_reason)                                                 \
    do {                                                                                          \
        if (::conformance::OnCe())                                                                \
            EXPECT_TRUE(condition) << wine_reason;                                                \
        else                                                                                      \
            EXPECT_FALSE(condition) << "Wine now gives the documented answer; drop the mark: " \
                                    << wine_reason;                                               \
    } while (0)
