// Messages on the simulated device where the simulation itself is at stake:
// a sent message outliving its sender or receiver, fixture windows that hold
// what is sent to them, a window shown from another thread being painted,
// what DefWindowProcW draws, the test's own posts, and the shell's tray
// icons. What the platform does is in the conformance suite.
#include "sim_support.h"

#include <atomic>
#include <tuple>

using simtest::DeviceTest;
using simtest::Log;
using simtest::MakeWindow;
using simtest::Pump;

namespace {

class cesimMessages : public DeviceTest {};

constexpr UINT M1 = WM_USER + 1;
constexpr UINT M2 = WM_USER + 2;
constexpr UINT M3 = WM_USER + 3;

// 152 bytes: the Windows CE record, whatever this compiler makes of the struct.
NOTIFYICONDATAW IconRecord(HWND owner, UINT id, UINT flags, UINT callback, HICON icon, DWORD size = 152)
{
    return NOTIFYICONDATAW{size, owner, id, flags, callback, icon, {}};
}

// A thread that waits for the answer to SendMessageW can be ended with its
// process, before the receiver takes the message or while the receiver is at
// it: the receiver handles (or drops) it, answers nobody, and touches nothing
// of the sender's vanished wait.
TEST_F(cesimMessages, ASenderThatEndsMidSendLeavesTheReceiverSound)
{
    static HWND target;
    static std::atomic<int> handled;
    static bool busyInHandler;
    for (bool inHandler : {false, true}) {
        SCOPED_TRACE(inHandler ? "the sender ends while its message is handled" : "the sender ends while waiting");
        target = nullptr;
        handled = 0;
        busyInHandler = inHandler;
        simtest::CurrentHandler() = [](HWND h, UINT m, WPARAM wParam, LPARAM lParam, LRESULT* r) {
            if (h == target && m == M1) {
                if (busyInHandler)
                    Sleep(100);  // still at it when the sender goes
                if (wParam != 0x1234 || lParam != 0x5678)
                    handled += 100;  // garbage arrived
                ++handled;
                *r = 1;
                return true;
            }
            return false;
        };
        Run([] {
            target = MakeWindow(u"Receiver", u"r", 0, RECT{0, 0, 10, 10});
            if (!busyInHandler)
                Sleep(100);  // busy while the sender goes away
            return Pump();
        }, u"receiver.exe");
        DWORD sender = Run([] {
            CloseHandle(CreateThread(
                nullptr, 0, [](LPVOID) -> DWORD { return (DWORD)SendMessageW(target, M1, 0x1234, 0x5678); },
                nullptr, 0, nullptr));
            Sleep(10);
            return 0;  // ends the process and its waiting thread
        }, u"sender.exe");
        device().Advance(10);
        EXPECT_FALSE(device().Running(sender));
        EXPECT_EQ(0, device().ThreadCount(sender));
        device().Advance(90);  // the receiver takes messages again
        device().Post(target, M2, 0, 0);
        device().Settle();
        if (inHandler)
            EXPECT_EQ(1, handled);
        else
            EXPECT_LE(handled, 1);
        EXPECT_EQ(1, Log().Count(target, M2));
    }
}

// The receiver's process ends while it is at a message: the sender gets 0
// and goes on, as Windows answers it.
TEST_F(cesimMessages, AReceiverThatEndsWhileHandlingAnswersZero)
{
    static HWND target;
    target = nullptr;
    std::atomic<LRESULT> answer{-1};
    simtest::CurrentHandler() = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h == target && m == M1) {
            Sleep(100);  // the process ends meanwhile
            *r = 5;
            return true;
        }
        return false;
    };
    DWORD receiver = Run([] {
        CloseHandle(CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                target = MakeWindow(u"Receiver", u"r", 0, RECT{0, 0, 10, 10});
                return (DWORD)Pump();
            },
            nullptr, 0, nullptr));
        Sleep(50);
        return 0;
    }, u"receiver.exe");
    Run([&] {
        answer = SendMessageW(target, M1, 0, 0);
        return Pump();
    }, u"sender.exe");
    EXPECT_EQ(-1, answer);
    device().Advance(50);
    EXPECT_FALSE(device().Running(receiver));
    EXPECT_EQ(0, answer);
}

// A fixture window that holds what is sent to it keeps its sender waiting
// until the test answers; the sender handles messages sent to it meanwhile.
TEST_F(cesimMessages, AFixtureCanHoldASentMessageUntilTheTestAnswers)
{
    DWORD other = device().AddProcess(u"busy.exe");
    cesim::WindowOptions busy{u"Busy"};
    busy.holds_sends = true;
    HWND slow = device().AddWindow(other, busy);
    HWND mine = nullptr;
    std::atomic<LRESULT> answer{-1};
    DWORD pid = Run([&] {
        mine = MakeWindow(u"Mine", u"m", 0, RECT{0, 0, 10, 10});
        answer = SendMessageW(slow, M1, 7, 8);
        return Pump();
    });
    ASSERT_EQ(1u, device().HeldSends(slow).size());
    EXPECT_EQ(M1, device().HeldSends(slow)[0].message);
    EXPECT_EQ(1u, device().Received(slow).size());
    device().StartInProcess(pid, [&] { return (DWORD)SendMessageW(mine, M2, 0, 0); });
    device().Settle();
    EXPECT_EQ(1, Log().Count(mine, M2));  // handled inside the waiting send
    EXPECT_EQ(-1, answer);
    device().AnswerHeld(slow, 42);
    device().Settle();
    EXPECT_EQ(42, answer);
    EXPECT_TRUE(device().HeldSends(slow).empty());
    simtest::ExpectErrorSays([&] { device().AnswerHeld(slow, 0); }, {"AnswerHeld", "holds no message"});
}

// A program's SetWindowPos on such a window waits there too, even when
// nothing moves; nothing changes until the test answers.
TEST_F(cesimMessages, AFixtureHoldsSetWindowPosUntilTheTestAnswers)
{
    cesim::WindowOptions busy{u"Busy"};
    busy.holds_sends = true;
    busy.rect = RECT{0, 0, 50, 50};
    HWND slow = device().AddWindow(device().AddProcess(u"busy.exe"), busy);
    std::atomic<int> placed{0};
    Run([&] {
        placed += SetWindowPos(slow, NULL, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        placed += SetWindowPos(slow, NULL, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return Pump();
    });
    for (int held = 0; held < 2; ++held) {
        ASSERT_EQ(1u, device().HeldSends(slow).size()) << held;
        EXPECT_EQ((UINT)WM_WINDOWPOSCHANGING, device().HeldSends(slow)[0].message);
        EXPECT_EQ(held, placed);
        EXPECT_RECT((RECT{0, 0, 50, 50}), device().Rect(slow));
        EXPECT_TRUE(device().Received(slow).empty());
        device().AnswerHeld(slow, 0);
        device().Settle();
    }
    EXPECT_EQ(2, placed);
    EXPECT_RECT((RECT{5, 6, 55, 56}), device().Rect(slow));
    ASSERT_EQ(1u, device().Received(slow).size());
    EXPECT_EQ((UINT)WM_MOVE, device().Received(slow)[0].message);
}

// Showing a window from another thread leaves it needing paint; its own
// thread, waiting in GetMessageW, must get the WM_PAINT.
TEST_F(cesimMessages, AWindowShownFromAnotherThreadIsPainted)
{
    HWND hidden = nullptr, alsoHidden = nullptr;
    DWORD pid = Run([&] {
        hidden = MakeWindow(u"Painted", u"h", 0, RECT{0, 0, 100, 80});
        alsoHidden = MakeWindow(u"Painted", u"a", 0, RECT{0, 0, 100, 80});
        return Pump();
    });
    device().RunInProcess(pid, [&] { return (DWORD)ShowWindow(hidden, SW_SHOWNA); });
    device().RunInProcess(pid, [&] {
        return (DWORD)SetWindowPos(alsoHidden, nullptr, 0, 0, 0, 0,
                                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    });
    EXPECT_TRUE(device().Visible(hidden));
    EXPECT_EQ(1, Log().Count(hidden, WM_PAINT));
    EXPECT_TRUE(device().Visible(alsoHidden));
    EXPECT_EQ(1, Log().Count(alsoHidden, WM_PAINT));
}

TEST_F(cesimMessages, DefWindowProcErasesWithTheClassBrush)
{
    HWND w = nullptr;
    HBRUSH brush = nullptr;
    Run([&] {
        brush = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
        simtest::EnsureClass(u"Brushed", brush);
        w = CreateWindowExW(0, u"Brushed", u"b", WS_VISIBLE, 10, 10, 60, 40, nullptr, nullptr, nullptr, nullptr);
        return Pump();
    });
    ASSERT_NE(nullptr, brush);
    auto drawn = device().Drawn(w);
    ASSERT_EQ(1u, drawn.size());
    EXPECT_EQ(cesim::DrawOp::FILL, drawn[0].kind);
    EXPECT_EQ(brush, drawn[0].brush);
    EXPECT_RECT((RECT{0, 0, 60, 40}), drawn[0].dest);
}

// What LoggingProc saw of one message to one window: {wParam, lParam, thread} each.
std::vector<std::tuple<WPARAM, LPARAM, DWORD>> Seen(HWND window, UINT message)
{
    std::vector<std::tuple<WPARAM, LPARAM, DWORD>> out;
    for (const simtest::Seen& s : Log().Of(window, message))
        out.emplace_back(s.wParam, s.lParam, s.thread);
    return out;
}

// What the test posts reaches the program's window on its thread; the
// test's stylus on a tray icon reaches the owner only through the icon's
// callback message (a tap itself is in the conformance suite).
TEST_F(cesimMessages, TheTestsPostsAndTrayMouseReachTheProgram)
{
    HWND w = nullptr;
    DWORD thread = 0;
    BOOL added[2] = {};
    Run([&] {
        w = MakeWindow(u"Tray", u"t", 0, RECT{0, 0, 10, 10});
        thread = GetCurrentThreadId();
        NOTIFYICONDATAW withMessage = IconRecord(w, 3, NIF_MESSAGE | NIF_ICON, WM_APP + 1, (HICON)0x1234);
        added[0] = Shell_NotifyIconW(NIM_ADD, &withMessage);
        NOTIFYICONDATAW silent = IconRecord(w, 4, NIF_ICON, WM_APP + 2, (HICON)0x1234);
        added[1] = Shell_NotifyIconW(NIM_ADD, &silent);
        return Pump();
    });
    ASSERT_TRUE(added[0]);
    ASSERT_TRUE(added[1]);
    device().Post(w, M3, 7, 8);
    device().TrayMouse(w, 3, WM_LBUTTONDBLCLK);
    device().TrayMouse(w, 4, WM_LBUTTONDOWN);
    device().Settle();
    using Call = std::tuple<WPARAM, LPARAM, DWORD>;
    EXPECT_EQ((std::vector<Call>{{7, 8, thread}}), Seen(w, M3));
    EXPECT_EQ((std::vector<Call>{{3, WM_LBUTTONDBLCLK, thread}}), Seen(w, WM_APP + 1));
    EXPECT_EQ(0, Log().Count(w, WM_APP + 2));
}

// What the tray holds after each call, and what the call answers: a second
// add of an icon leaves the first, a modify changes only what its flags
// name, a delete takes only its icon, and a record of any size but Windows
// CE's changes nothing.
TEST_F(cesimMessages, TheTrayHoldsWhatShellNotifyIconLeaves)
{
    HWND w = nullptr;
    DWORD pid = Run([&] {
        w = MakeWindow(u"Tray", u"t", 0, RECT{0, 0, 10, 10});
        return Pump();
    });
    using Held = std::tuple<UINT, HICON, UINT>;  // id, icon, callback message
    const HICON A = (HICON)0x1000, B = (HICON)0x2000, C = (HICON)0x3000, D = (HICON)0x4000;
    const UINT both = NIF_MESSAGE | NIF_ICON;
    const DWORD larger = (DWORD)sizeof(NOTIFYICONDATAW) + 4;
    const std::vector<Held> two = {{1, D, WM_APP + 1}, {2, C, WM_APP + 2}};
    const struct {
        DWORD message;
        NOTIFYICONDATAW record;
        BOOL answer;
        std::vector<Held> tray;  // after the call
    } steps[] = {
        {NIM_ADD, IconRecord(w, 1, both, WM_APP + 1, A), TRUE, {{1, A, WM_APP + 1}}},
        {NIM_ADD, IconRecord(w, 1, both, WM_APP + 9, B), FALSE, {{1, A, WM_APP + 1}}},  // the same window and id
        {NIM_ADD, IconRecord(w, 2, both, WM_APP + 2, C), TRUE, {{1, A, WM_APP + 1}, {2, C, WM_APP + 2}}},
        {NIM_MODIFY, IconRecord(w, 1, NIF_ICON, 0, D), TRUE, two},  // the callback message is not part of it
        {NIM_MODIFY, IconRecord(w, 7, NIF_ICON, 0, D), FALSE, two},
        {NIM_ADD, IconRecord(w, 3, NIF_ICON, 0, A, 88), FALSE, two},  // an older desktop record
        {NIM_ADD, IconRecord(w, 3, NIF_ICON, 0, A, larger), FALSE, two},
        {NIM_MODIFY, IconRecord(w, 2, NIF_ICON, 0, A, 88), FALSE, two},
        {NIM_DELETE, IconRecord(w, 1, 0, 0, nullptr), TRUE, {{2, C, WM_APP + 2}}},
        {NIM_DELETE, IconRecord(w, 1, 0, 0, nullptr), FALSE, {{2, C, WM_APP + 2}}},
    };
    for (const auto& step : steps) {
        NOTIFYICONDATAW record = step.record;
        BOOL answer = (BOOL)device().RunInProcess(pid, [&] { return (DWORD)Shell_NotifyIconW(step.message, &record); });
        std::vector<Held> tray;
        for (const cesim::TrayIcon& icon : device().Tray())
            tray.emplace_back(icon.id, icon.icon, icon.callback_message);
        EXPECT_EQ(step.answer, answer) << "step " << (&step - steps);
        EXPECT_EQ(step.tray, tray) << "step " << (&step - steps);
    }
    ASSERT_TRUE(device().FindTrayIcon(w, 2).has_value());
    EXPECT_EQ(w, device().FindTrayIcon(w, 2)->owner);
    EXPECT_EQ(152u, device().FindTrayIcon(w, 2)->record_size);
    EXPECT_TRUE(device().FindTrayIcon(w, 2)->flags & NIF_MESSAGE);
    EXPECT_FALSE(device().FindTrayIcon(w, 1).has_value());
}

}  // namespace
