// Messages on the simulated device: queues and the message loop, sending
// across threads, closing, painting, the test's own posts, and the shell's
// tray icons with their callback messages.
#include "sim_support.h"

#include <atomic>
#include <cstdlib>

using simtest::DeviceTest;
using simtest::Log;
using simtest::MakeWindow;
using simtest::Pump;

namespace {

class cesimMessages : public DeviceTest {};

constexpr UINT M1 = WM_USER + 1;
constexpr UINT M2 = WM_USER + 2;
constexpr UINT M3 = WM_USER + 3;
constexpr UINT M4 = WM_USER + 4;

NOTIFYICONDATAW IconRecord(HWND owner, UINT id, UINT flags, UINT callback, HICON icon)
{
    NOTIFYICONDATAW nid{};
    nid.cbSize = 152;  // the Windows CE record, whatever this compiler makes of the struct
    nid.hWnd = owner;
    nid.uID = id;
    nid.uFlags = flags;
    nid.uCallbackMessage = callback;
    nid.hIcon = icon;
    return nid;
}

// ---------------------------------------------------------------- the loop

TEST_F(cesimMessages, PostedMessagesArriveInOrderAndQuitComesAfterThem)
{
    HWND w = nullptr;
    std::vector<UINT> order;
    std::vector<HWND> targets;
    std::vector<LRESULT> results;
    BOOL last = -2;
    UINT lastMessage = 0;
    simtest::CurrentHandler() = [](HWND, UINT m, WPARAM wParam, LPARAM, LRESULT* r) {
        if (m >= M1 && m <= M4) {
            *r = (LRESULT)wParam * 10 + 1;
            return true;
        }
        return false;
    };
    DWORD pid = Run([&] {
        w = MakeWindow(u"Queue", u"q", 0, RECT{0, 0, 10, 10});  // hidden: no paint to get in the way
        PostMessageW(w, M1, 1, 0);
        PostMessageW(w, M2, 2, 0);
        PostMessageW(nullptr, M3, 3, 0);  // to the thread itself
        PostQuitMessage(5);
        PostMessageW(w, M4, 4, 0);  // still before the quit
        MSG msg;
        BOOL got;
        while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
            order.push_back(msg.message);
            targets.push_back(msg.hwnd);
            results.push_back(DispatchMessageW(&msg));
        }
        last = got;
        lastMessage = msg.message;
        return (int)msg.wParam;
    });
    EXPECT_EQ((std::vector<UINT>{M1, M2, M3, M4}), order);
    EXPECT_EQ((std::vector<HWND>{w, w, nullptr, w}), targets);
    EXPECT_EQ((std::vector<LRESULT>{11, 21, 0, 41}), results);
    EXPECT_EQ(0, last);
    EXPECT_EQ((UINT)WM_QUIT, lastMessage);
    EXPECT_FALSE(device().Running(pid));
    EXPECT_EQ(5u, device().ExitCode(pid));
    EXPECT_EQ((std::vector<UINT>{M1, M2, M4}), Log().MessagesOf(w, {WM_CREATE, WM_DESTROY}));
}

TEST_F(cesimMessages, GetMessageFiltersByWindowAndRange)
{
    HWND a = nullptr, b = nullptr;
    MSG got[3]{};
    Run([&] {
        a = MakeWindow(u"Queue", u"a", 0, RECT{0, 0, 10, 10});
        b = MakeWindow(u"Queue", u"b", 0, RECT{0, 0, 10, 10});
        PostMessageW(a, M1, 0, 0);
        PostMessageW(b, M2, 0, 0);
        PostMessageW(a, M3, 0, 0);
        GetMessageW(&got[0], b, 0, 0);
        GetMessageW(&got[1], nullptr, M3, M4);
        GetMessageW(&got[2], nullptr, 0, 0);
        return 0;
    });
    EXPECT_EQ(b, got[0].hwnd);
    EXPECT_EQ((UINT)M2, got[0].message);
    EXPECT_EQ((UINT)M3, got[1].message);
    EXPECT_EQ((UINT)M1, got[2].message);
}

TEST_F(cesimMessages, GetMessageForAnUnknownWindowFails)
{
    BOOL got = 0;
    DWORD error = 0;
    Run([&] {
        MSG msg;
        got = GetMessageW(&msg, (HWND)0x7777, 0, 0);
        error = GetLastError();
        return 0;
    });
    EXPECT_EQ(-1, got);
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, error);
}

TEST_F(cesimMessages, PostingToADestroyedWindowFails)
{
    BOOL posted = TRUE;
    DWORD error = 0;
    Run([&] {
        HWND w = MakeWindow(u"Queue", u"q", 0, RECT{0, 0, 10, 10});
        DestroyWindow(w);
        posted = PostMessageW(w, M1, 0, 0);
        error = GetLastError();
        return 0;
    });
    EXPECT_FALSE(posted);
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, error);
}

// Destroying a window takes the messages still posted to it out of the queue.
TEST_F(cesimMessages, PostedMessagesOfADestroyedWindowAreDropped)
{
    HWND gone = nullptr, kept = nullptr;
    std::vector<UINT> taken;
    std::vector<HWND> targets;
    Run([&] {
        gone = MakeWindow(u"Queue", u"gone", 0, RECT{0, 0, 10, 10});
        kept = MakeWindow(u"Queue", u"kept", 0, RECT{0, 0, 10, 10});
        PostMessageW(gone, M1, 0, 0);
        PostMessageW(kept, M2, 0, 0);
        PostMessageW(gone, M3, 0, 0);
        DestroyWindow(gone);
        PostQuitMessage(0);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            taken.push_back(msg.message);
            targets.push_back(msg.hwnd);
            DispatchMessageW(&msg);
        }
        return 0;
    });
    EXPECT_EQ((std::vector<UINT>{M2}), taken);
    EXPECT_EQ((std::vector<HWND>{kept}), targets);
}

// MSG.time is when the message was posted, not when it was taken.
TEST_F(cesimMessages, MessageTimeIsWhenItWasPosted)
{
    device().SetTick(20000);
    HWND w = nullptr;
    MSG got{};
    Run([&] {
        w = MakeWindow(u"Queue", u"q", 0, RECT{0, 0, 10, 10});
        Sleep(100);  // busy while the message comes in
        GetMessageW(&got, nullptr, 0, 0);
        return 0;
    });
    device().Post(w, M1, 0, 0);
    device().Advance(100);
    EXPECT_EQ((UINT)M1, got.message);
    EXPECT_EQ(20000u, got.time);
}

// ---------------------------------------------------------------- sending

TEST_F(cesimMessages, SendMessageBlocksTheSenderUntilTheReceiverHandlesIt)
{
    device().SetTick(1000);
    HWND target = nullptr;
    DWORD receiverThread = 0;
    std::atomic<bool> returned{false};
    LRESULT result = 0;
    DWORD returnedAt = 0;
    simtest::CurrentHandler() = [&](HWND h, UINT m, WPARAM wParam, LPARAM, LRESULT* r) {
        if (h == target && m == M1) {
            *r = (LRESULT)wParam * 2;
            return true;
        }
        return false;
    };
    Run(
        [&] {
            target = MakeWindow(u"Receiver", u"r", 0, RECT{0, 0, 10, 10});
            receiverThread = GetCurrentThreadId();
            Sleep(100);  // not taking messages yet
            return Pump();
        },
        u"receiver.exe");
    Run(
        [&] {
            result = SendMessageW(target, M1, 21, 0);
            returnedAt = GetTickCount();
            returned = true;
            return 0;
        },
        u"sender.exe");
    EXPECT_FALSE(returned);
    EXPECT_EQ(0, Log().Count(target, M1));
    device().Advance(99);
    EXPECT_FALSE(returned);
    device().Advance(1);
    EXPECT_TRUE(returned);
    EXPECT_EQ(42, result);
    EXPECT_EQ(1100u, returnedAt);
    auto handled = Log().Of(target, M1);
    ASSERT_EQ(1u, handled.size());
    EXPECT_EQ(receiverThread, handled[0].thread);
}

TEST_F(cesimMessages, AThreadWaitingInGetMessageHandlesSentMessagesAtOnce)
{
    device().SetTick(700);
    HWND target = nullptr;
    LRESULT result = 0;
    DWORD at = 0;
    simtest::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h == target && m == M1) {
            *r = 99;
            return true;
        }
        return false;
    };
    Run(
        [&] {
            target = MakeWindow(u"Receiver", u"r", 0, RECT{0, 0, 10, 10});
            return Pump();
        },
        u"receiver.exe");
    DWORD sender = Run(
        [&] {
            result = SendMessageW(target, M1, 0, 0);
            at = GetTickCount();
            return 0;
        },
        u"sender.exe");
    EXPECT_FALSE(device().Running(sender));
    EXPECT_EQ(99, result);
    EXPECT_EQ(700u, at);
}

TEST_F(cesimMessages, AThreadWaitingForItsOwnSendHandlesMessagesSentToIt)
{
    HWND mine = nullptr, theirs = nullptr;
    DWORD myThread = 0;
    LRESULT result = 0;
    std::atomic<bool> returned{false};
    simtest::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h == theirs && m == M1) {
            *r = SendMessageW(mine, M2, 0, 0) + 1;  // calls back while the first send waits
            return true;
        }
        if (h == mine && m == M2) {
            *r = 10;
            return true;
        }
        return false;
    };
    Run(
        [&] {
            theirs = MakeWindow(u"Theirs", u"t", 0, RECT{0, 0, 10, 10});
            return Pump();
        },
        u"theirs.exe");
    Run(
        [&] {
            mine = MakeWindow(u"Mine", u"m", 0, RECT{0, 0, 10, 10});
            myThread = GetCurrentThreadId();
            result = SendMessageW(theirs, M1, 0, 0);
            returned = true;
            return Pump();
        },
        u"mine.exe");
    EXPECT_TRUE(returned);
    EXPECT_EQ(11, result);
    auto back = Log().Of(mine, M2);
    ASSERT_EQ(1u, back.size());
    EXPECT_EQ(myThread, back[0].thread);
}

TEST_F(cesimMessages, TwoThreadsSendingToEachOtherDoNotDeadlock)
{
    HWND a = nullptr, b = nullptr;
    LRESULT fromB = 0, fromA = 0;
    std::atomic<int> finished{0};
    simtest::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h == a && m == M1) {
            *r = 1;
            return true;
        }
        if (h == b && m == M2) {
            *r = 2;
            return true;
        }
        return false;
    };
    Run(
        [&] {
            a = MakeWindow(u"A", u"a", 0, RECT{0, 0, 10, 10});
            Sleep(10);
            fromB = SendMessageW(b, M2, 0, 0);
            ++finished;
            return Pump();
        },
        u"a.exe");
    Run(
        [&] {
            b = MakeWindow(u"B", u"b", 0, RECT{0, 0, 10, 10});
            fromA = SendMessageW(a, M1, 0, 0);  // a's thread sleeps: this waits
            ++finished;
            return Pump();
        },
        u"b.exe");
    EXPECT_EQ(0, finished);
    device().Advance(10);  // now a sends to b while b still waits for a
    EXPECT_EQ(2, finished);
    EXPECT_EQ(1, fromA);
    EXPECT_EQ(2, fromB);
}

TEST_F(cesimMessages, AMessageSentToAThreadThatEndsIsAnsweredWithZero)
{
    HWND target = nullptr;
    std::atomic<bool> returned{false};
    LRESULT result = -1;
    simtest::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m == M1) {
            *r = 5;
            return true;
        }
        return false;
    };
    DWORD receiver = Run(
        [&] {
            target = MakeWindow(u"Receiver", u"r", 0, RECT{0, 0, 10, 10});
            Sleep(50);
            return 3;  // ends without ever taking a message
        },
        u"receiver.exe");
    Run(
        [&] {
            result = SendMessageW(target, M1, 0, 0);
            returned = true;
            return 0;
        },
        u"sender.exe");
    EXPECT_FALSE(returned);
    device().Advance(50);
    EXPECT_TRUE(returned);
    EXPECT_EQ(0, result);
    EXPECT_EQ(0, Log().Count(target, M1));
    EXPECT_EQ(3u, device().ExitCode(receiver));
    EXPECT_FALSE(device().IsAlive(target));
}

// A thread that waits for the answer to SendMessageW can be ended with its
// process; the receiver then handles (or drops) the message without
// touching the sender's vanished wait. Returns what went wrong, 0 for nothing.
int SenderEndsWhileWaiting(cesim::Device& device)
{
    static HWND target;
    static std::atomic<int> handled;
    target = nullptr;
    handled = 0;
    simtest::CurrentHandler() = [](HWND h, UINT m, WPARAM wParam, LPARAM lParam, LRESULT* r) {
        if (h == target && m == M1) {
            if (wParam != 0x1234 || lParam != 0x5678)
                handled += 100;  // garbage arrived
            ++handled;
            *r = 1;
            return true;
        }
        return false;
    };
    device.StartFunction(u"receiver.exe", [] {
        target = MakeWindow(u"Receiver", u"r", 0, RECT{0, 0, 10, 10});
        Sleep(100);  // busy while the sender goes away
        return Pump();
    });
    device.Settle();
    DWORD sender = device.StartFunction(u"sender.exe", [] {
        CloseHandle(CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                SendMessageW(target, M1, 0x1234, 0x5678);
                return 0;
            },
            nullptr, 0, nullptr));
        Sleep(10);
        return 0;  // ends the process and its waiting thread
    });
    device.Settle();
    device.Advance(10);
    if (device.Running(sender) || device.ThreadCount(sender) != 0)
        return 1;
    device.Advance(90);  // the receiver takes messages again
    device.Post(target, M2, 0, 0);
    device.Settle();
    if (handled > 1)
        return 2;
    if (Log().Count(target, M2) != 1)
        return 3;
    return 0;
}

TEST_F(cesimMessages, ASenderThatEndsWhileWaitingLeavesTheReceiverSound)
{
    EXPECT_EQ(0, SenderEndsWhileWaiting(device()));
}

// The receiver is still at a message when its sender's process ends: the
// receiver finishes it and answers nobody, and nothing of the sender's
// vanished wait is touched.
TEST_F(cesimMessages, ASenderThatEndsWhileItsMessageIsHandledLeavesTheReceiverSound)
{
    static HWND target;
    static std::atomic<int> finished;
    target = nullptr;
    finished = 0;
    simtest::CurrentHandler() = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h == target && m == M1) {
            Sleep(100);  // still at it when the sender goes
            ++finished;
            *r = 1;
            return true;
        }
        return false;
    };
    Run([] {
        target = MakeWindow(u"Receiver", u"r", 0, RECT{0, 0, 10, 10});
        return Pump();
    }, u"receiver.exe");
    DWORD sender = Run([] {
        CloseHandle(CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD { return (DWORD)SendMessageW(target, M1, 0, 0); }, nullptr, 0, nullptr));
        Sleep(10);
        return 0;
    }, u"sender.exe");
    device().Advance(10);
    EXPECT_FALSE(device().Running(sender));
    device().Advance(90);
    EXPECT_EQ(1, finished);
    device().Post(target, M2, 0, 0);
    device().Settle();
    EXPECT_EQ(1, Log().Count(target, M2));
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
    cesim::WindowOptions busy;
    busy.class_name = u"Busy";
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
    EXPECT_NE(std::string::npos, simtest::ErrorOf([&] { device().AnswerHeld(slow, 0); }).find("holds no message"));
}

// ---------------------------------------------------------------- closing

TEST_F(cesimMessages, DefWindowProcDestroysAWindowOnWmClose)
{
    HWND plain = nullptr, keeps = nullptr, posted = nullptr;
    BOOL alive[2] = {TRUE, FALSE};
    simtest::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h == keeps && m == WM_CLOSE) {
            *r = 0;
            return true;
        }
        return false;
    };
    Run([&] {
        plain = MakeWindow(u"Closing", u"p", 0, RECT{0, 0, 10, 10});
        keeps = MakeWindow(u"Closing", u"k", 0, RECT{0, 0, 10, 10});
        posted = MakeWindow(u"Closing", u"q", 0, RECT{0, 0, 10, 10});
        SendMessageW(plain, WM_CLOSE, 0, 0);
        alive[0] = IsWindow(plain);
        SendMessageW(keeps, WM_CLOSE, 0, 0);
        alive[1] = IsWindow(keeps);
        PostMessageW(posted, WM_CLOSE, 0, 0);
        return Pump();
    });
    EXPECT_FALSE(alive[0]);
    EXPECT_EQ(1, Log().Count(plain, WM_DESTROY));
    EXPECT_TRUE(alive[1]);
    EXPECT_EQ(0, Log().Count(keeps, WM_DESTROY));
    EXPECT_FALSE(device().IsAlive(posted));
    EXPECT_EQ((std::vector<UINT>{WM_CLOSE, WM_DESTROY}), Log().MessagesOf(posted, {WM_CREATE}));
    EXPECT_EQ(0u, device().Calls("DestroyWindow"));  // DefWindowProcW's own steps are not the program's calls
}

// ---------------------------------------------------------------- painting

TEST_F(cesimMessages, InvalidationsBeforeTheNextPaintMakeOnePaint)
{
    HWND w = nullptr, hidden = nullptr;
    simtest::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h == w && m == M1) {
            InvalidateRect(w, nullptr, FALSE);
            InvalidateRect(w, nullptr, TRUE);
            InvalidateRect(w, nullptr, FALSE);
            *r = 0;
            return true;
        }
        if (h == w && m == M2) {
            ShowWindow(hidden, SW_SHOWNA);
            *r = 0;
            return true;
        }
        return false;
    };
    DWORD pid = Run([&] {
        w = MakeWindow(u"Painted", u"p", WS_VISIBLE, RECT{0, 0, 100, 80});
        hidden = MakeWindow(u"Painted", u"h", 0, RECT{0, 0, 100, 80});
        return Pump();
    });
    EXPECT_EQ(1, Log().Count(w, WM_PAINT));  // the first paint of a new window
    EXPECT_EQ(0, Log().Count(hidden, WM_PAINT));

    device().Post(w, M1, 0, 0);
    device().Settle();
    EXPECT_EQ(2, Log().Count(w, WM_PAINT));

    // from another thread of the program, too
    device().RunInProcess(pid, [&] { return (DWORD)InvalidateRect(w, nullptr, FALSE); });
    EXPECT_EQ(3, Log().Count(w, WM_PAINT));

    // a hidden window is painted when it is shown, not before
    device().RunInProcess(pid, [&] { return (DWORD)InvalidateRect(hidden, nullptr, TRUE); });
    EXPECT_EQ(0, Log().Count(hidden, WM_PAINT));
    device().Post(w, M2, 0, 0);
    device().Settle();
    EXPECT_EQ(1, Log().Count(hidden, WM_PAINT));
    EXPECT_EQ(3, Log().Count(w, WM_PAINT));
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

TEST_F(cesimMessages, UpdateWindowPaintsAtOnceAndOnlyOnce)
{
    HWND w = nullptr;
    int paintsInUpdate = -1;
    Run([&] {
        w = MakeWindow(u"Painted", u"p", WS_VISIBLE, RECT{0, 0, 100, 80});
        UpdateWindow(w);
        paintsInUpdate = Log().Count(w, WM_PAINT);
        UpdateWindow(w);  // nothing left to paint
        return Pump();
    });
    EXPECT_EQ(1, paintsInUpdate);
    EXPECT_EQ(1, Log().Count(w, WM_PAINT));
}

TEST_F(cesimMessages, BeginPaintErasesTheBackgroundWhenAsked)
{
    struct Paint {
        HDC dc;
        BOOL erase;
        RECT area;
    };
    std::vector<Paint> paints;
    std::vector<WPARAM> erasedWith;
    std::atomic<LRESULT> eraseAnswer{0};
    HWND w = nullptr;
    simtest::CurrentHandler() = [&](HWND h, UINT m, WPARAM wParam, LPARAM, LRESULT* r) {
        if (h != w)
            return false;
        switch (m) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(h, &ps);
            paints.push_back(Paint{ps.hdc, ps.fErase, ps.rcPaint});
            EndPaint(h, &ps);
            *r = 0;
            return true;
        }
        case WM_ERASEBKGND:
            erasedWith.push_back(wParam);
            *r = eraseAnswer;
            return true;
        case M1:
            InvalidateRect(h, nullptr, TRUE);
            return true;
        case M2:
            InvalidateRect(h, nullptr, FALSE);
            return true;
        }
        return false;
    };
    Run([&] {
        w = MakeWindow(u"Painted", u"p", WS_VISIBLE, RECT{0, 0, 100, 80});
        return Pump();
    });
    eraseAnswer = 1;  // the window erases for itself from now on
    device().Post(w, M1, 0, 0);
    device().Settle();
    device().Post(w, M2, 0, 0);
    device().Settle();
    ASSERT_EQ(3u, paints.size());
    ASSERT_EQ(2u, erasedWith.size());
    // a new window: erased, and the application did not do it
    EXPECT_EQ((WPARAM)paints[0].dc, erasedWith[0]);
    EXPECT_TRUE(paints[0].erase);
    EXPECT_RECT((RECT{0, 0, 100, 80}), paints[0].area);
    // asked to erase, and the window erased for itself
    EXPECT_EQ((WPARAM)paints[1].dc, erasedWith[1]);
    EXPECT_FALSE(paints[1].erase);
    // not asked to erase
    EXPECT_FALSE(paints[2].erase);
    // WM_ERASEBKGND comes from inside BeginPaint, in the paint it belongs to
    auto all = Log().MessagesOf(w, {WM_CREATE, WM_ACTIVATE, M1, M2});
    EXPECT_EQ((std::vector<UINT>{WM_PAINT, WM_ERASEBKGND, WM_PAINT, WM_ERASEBKGND, WM_PAINT}), all);
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

// ---------------------------------------------------------------- the test's posts

TEST_F(cesimMessages, TheTestCanPostToAProgramsWindow)
{
    HWND w = nullptr;
    DWORD thread = 0;
    Run([&] {
        w = MakeWindow(u"Target", u"t", 0, RECT{0, 0, 10, 10});
        thread = GetCurrentThreadId();
        return Pump();
    });
    device().Post(w, M3, 7, 8);
    device().Settle();
    auto got = Log().Of(w, M3);
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(7u, got[0].wParam);
    EXPECT_EQ(8, got[0].lParam);
    EXPECT_EQ(thread, got[0].thread);
}

// ---------------------------------------------------------------- the tray

TEST_F(cesimMessages, TappingATrayIconPostsItsCallbackMessage)
{
    HWND w = nullptr;
    BOOL added[2] = {};
    Run([&] {
        w = MakeWindow(u"Tray", u"t", 0, RECT{0, 0, 10, 10});
        NOTIFYICONDATAW withMessage = IconRecord(w, 3, NIF_MESSAGE | NIF_ICON, WM_APP + 1, (HICON)0x1234);
        added[0] = Shell_NotifyIconW(NIM_ADD, &withMessage);
        NOTIFYICONDATAW silent = IconRecord(w, 4, NIF_ICON, WM_APP + 2, (HICON)0x1234);
        added[1] = Shell_NotifyIconW(NIM_ADD, &silent);
        return Pump();
    });
    ASSERT_TRUE(added[0]);
    ASSERT_TRUE(added[1]);
    device().TapTrayIcon(w, 3);
    device().Settle();
    device().TrayMouse(w, 3, WM_LBUTTONDBLCLK);
    device().TrayMouse(w, 4, WM_LBUTTONDOWN);
    device().Settle();
    auto got = Log().Of(w, WM_APP + 1);
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ(3u, got[0].wParam);
    EXPECT_EQ(WM_LBUTTONDOWN, (UINT)got[0].lParam);
    EXPECT_EQ(3u, got[1].wParam);
    EXPECT_EQ(WM_LBUTTONUP, (UINT)got[1].lParam);
    EXPECT_EQ(WM_LBUTTONDBLCLK, (UINT)got[2].lParam);
    EXPECT_EQ(0, Log().Count(w, WM_APP + 2));
}

TEST_F(cesimMessages, ShellNotifyIconAddsModifiesAndDeletes)
{
    HWND w = nullptr;
    BOOL r[7] = {};
    std::vector<cesim::TrayIcon> afterAdd, afterSecondAdd, afterModify;
    DWORD pid = Run([&] {
        w = MakeWindow(u"Tray", u"t", 0, RECT{0, 0, 10, 10});
        return Pump();
    });
    auto call = [&](DWORD message, NOTIFYICONDATAW nid) {
        return (BOOL)device().RunInProcess(pid, [&] { return (DWORD)Shell_NotifyIconW(message, &nid); });
    };
    r[0] = call(NIM_ADD, IconRecord(w, 1, NIF_MESSAGE | NIF_ICON, WM_APP + 1, (HICON)0x1000));
    afterAdd = device().Tray();
    r[1] = call(NIM_ADD, IconRecord(w, 1, NIF_MESSAGE | NIF_ICON, WM_APP + 9, (HICON)0x2000));
    afterSecondAdd = device().Tray();
    r[2] = call(NIM_ADD, IconRecord(w, 2, NIF_ICON, 0, (HICON)0x3000));
    r[3] = call(NIM_MODIFY, IconRecord(w, 1, NIF_ICON, 0, (HICON)0x4000));
    afterModify = device().Tray();
    r[4] = call(NIM_MODIFY, IconRecord(w, 7, NIF_ICON, 0, (HICON)0x4000));
    r[5] = call(NIM_DELETE, IconRecord(w, 1, 0, 0, nullptr));
    r[6] = call(NIM_DELETE, IconRecord(w, 1, 0, 0, nullptr));

    EXPECT_TRUE(r[0]);
    ASSERT_EQ(1u, afterAdd.size());
    EXPECT_EQ(w, afterAdd[0].owner);
    EXPECT_EQ(1u, afterAdd[0].id);
    EXPECT_EQ((UINT)WM_APP + 1, afterAdd[0].callback_message);
    EXPECT_EQ((HICON)0x1000, afterAdd[0].icon);
    EXPECT_EQ(152u, afterAdd[0].record_size);
    EXPECT_TRUE(afterAdd[0].flags & NIF_MESSAGE);

    EXPECT_FALSE(r[1]);  // the same window and id again
    ASSERT_EQ(1u, afterSecondAdd.size());
    EXPECT_EQ((HICON)0x1000, afterSecondAdd[0].icon);
    EXPECT_EQ((UINT)WM_APP + 1, afterSecondAdd[0].callback_message);

    EXPECT_TRUE(r[2]);
    EXPECT_TRUE(r[3]);
    ASSERT_EQ(2u, afterModify.size());
    EXPECT_EQ((HICON)0x4000, afterModify[0].icon);
    EXPECT_EQ((UINT)WM_APP + 1, afterModify[0].callback_message);  // not part of the change

    EXPECT_FALSE(r[4]);
    EXPECT_TRUE(r[5]);
    EXPECT_FALSE(r[6]);
    EXPECT_FALSE(device().FindTrayIcon(w, 1).has_value());
    ASSERT_EQ(1u, device().Tray().size());
    EXPECT_EQ(2u, device().Tray()[0].id);
    ASSERT_TRUE(device().FindTrayIcon(w, 2).has_value());
    EXPECT_EQ((HICON)0x3000, device().FindTrayIcon(w, 2)->icon);
}

TEST_F(cesimMessages, ShellNotifyIconTakesOnlyTheWindowsCeRecord)
{
    HWND w = nullptr;
    BOOL r[3] = {TRUE, TRUE, FALSE};
    Run([&] {
        w = MakeWindow(u"Tray", u"t", 0, RECT{0, 0, 10, 10});
        NOTIFYICONDATAW nid = IconRecord(w, 1, NIF_ICON, 0, (HICON)0x1000);
        nid.cbSize = 88;  // an older desktop record
        r[0] = Shell_NotifyIconW(NIM_ADD, &nid);
        nid.cbSize = (DWORD)sizeof(NOTIFYICONDATAW) + 4;
        r[1] = Shell_NotifyIconW(NIM_ADD, &nid);
        nid.cbSize = 152;
        r[2] = Shell_NotifyIconW(NIM_ADD, &nid);
        nid.cbSize = 88;
        nid.hIcon = (HICON)0x2000;
        Shell_NotifyIconW(NIM_MODIFY, &nid);
        return Pump();
    });
    EXPECT_FALSE(r[0]);
    EXPECT_FALSE(r[1]);
    EXPECT_TRUE(r[2]);
    ASSERT_EQ(1u, device().Tray().size());
    EXPECT_EQ((HICON)0x1000, device().Tray()[0].icon);
}

}  // namespace
