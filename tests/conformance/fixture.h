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
//   answers with CE_DIFFERENCE (below); its key is the first cell of the row
//   of the table of differences in platform/platform.h, and a test checks
//   that every row has a case and every case a row.
// - Where Wine itself is wrong against the documented behaviour, the case
//   says so with EXPECT_DOCUMENTED (below) and keeps the documented answer.
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

// Runs body as the program under test, to its end.
void RunAsProgram(const std::function<void()>& body);

// From inside a body: act runs on another thread of the program once ready()
// holds, polled once the program waits (for up to 10 s under Wine), each
// after the one asked for before it; the body waits for them at its end.
void Later(const std::function<void()>& act, const std::function<bool()>& ready = nullptr);

// Polls done() (Sleep between polls) until it holds or bound_ms have passed.
// Under Wine the bound is four times as long.
bool WaitFor(const std::function<bool()>& done, DWORD bound_ms = 2000);

// The stylus taps a screen point (an open menu takes it first).
void Tap(POINT screen);
// The stylus taps a tray icon of the program (under Wine: the place in
// Wine's taskbar of the first icon added, the pointer moving there first).
void TapTrayIcon(HWND owner, UINT id);
// While a menu is open: its rectangle on the screen (the innermost level),
// and an item's, by position, of one of its open levels (else all 0).
bool MenuOpen();
void DismissMenu();  // the open menu closes without a choice
RECT OpenMenuRect();
RECT MenuItemRect(HMENU menu, int index);

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
// proc (DefWindowProcW when null), with a class icon; an existing class is kept.
void EnsureClass(const WCHAR* name, WNDPROC proc = NULL, HICON icon = NULL);
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

// The keys of every CE_DIFFERENCE in the cases (the simulated device's build).
std::vector<std::string> DifferenceKeys();

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
    EXPECT_TRUE(::conformance::SameRect((expected), (actual)))                          \
        << "expected " << ::conformance::Show(expected) << ", got " << ::conformance::Show(actual)

// Where Windows CE and desktop Windows truly differ: the answer on each,
// keyed by the first cell of its row in platform/platform.h's table, with a
// one-line reason and the page of Windows CE's API reference that documents
// CE's answer. The simulated device gives the CE answer.
//   EXPECT_EQ(CE_DIFFERENCE("`InvalidateRect` (null window)", FALSE, TRUE,
//                           "CE has no repaint of every window", "InvalidateRect (Windows CE 4.0)"), result);
#define CE_DIFFERENCE(key, ce, desktop, reason, doc_page) \
    (CONFORMANCE_KEEP_KEY(key), ::conformance::OnCe() ? (ce) : (desktop))
#ifdef _WIN32
#define CONFORMANCE_KEEP_KEY(key) (void)0
#else
// Each key goes into a section of its own, which DifferenceKeys reads.
#define CONFORMANCE_KEEP_KEY(key)                                                              \
    (void)[]() -> const char* {                                                                \
        static const char entry[] __attribute__((used, section("conformance_keys"))) = key; \
        return entry;                                                                          \
    }()
#endif

// The documented answer that Wine 8 does not give: checked as it is on the
// simulated device; under Wine the case expects Wine's wrong answer, so that
// the day Wine gives the right one this fails and the mark goes.
#define EXPECT_DOCUMENTED(condition, wine_reason)                                                 \
    do {                                                                                          \
        if (::conformance::OnCe())                                                                \
            EXPECT_TRUE(condition);                                                               \
        else                                                                                      \
            EXPECT_FALSE(condition) << "Wine now gives the documented answer; drop the mark: " \
                                    << wine_reason;                                               \
    } while (0)
