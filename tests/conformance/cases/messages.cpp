// Messages: the queue and the message loop, sending between threads,
// closing, painting, and where a message says the stylus was.
#include "fixture.h"

using namespace conformance;

namespace {

const UINT M1 = WM_USER + 1, M2 = WM_USER + 2, M3 = WM_USER + 3, M4 = WM_USER + 4;

// What the recording procedure saw, on every thread of the program.
struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    DWORD thread;
};
CRITICAL_SECTION g_lock;
Seen g_seen[256];
int g_seen_count;
// The answer to M1..M4: wParam * 10 + 1, or what an answer function says.
LRESULT (*g_answer)(HWND, UINT, WPARAM);

bool g_logging;

// The log of one body, made at its start: what the windows of the body's
// thread get once it has ended (they go with it) is not logged.
struct Log {
    Log()
    {
        InitializeCriticalSection(&g_lock);
        g_seen_count = 0;
        g_logging = true;
    }
    ~Log()
    {
        g_logging = false;
        g_answer = NULL;
        DeleteCriticalSection(&g_lock);
    }
};

LRESULT CALLBACK Recording(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_logging && (message == WM_PAINT || message == WM_ERASEBKGND || message == WM_DESTROY ||
                      message == WM_CLOSE || (message >= M1 && message <= M4))) {
        EnterCriticalSection(&g_lock);
        if (g_seen_count < 256)
            g_seen[g_seen_count++] = Seen{hwnd, message, wParam, GetCurrentThreadId()};
        LeaveCriticalSection(&g_lock);
    }
    if (message >= M1 && message <= M4)
        return g_answer != NULL ? g_answer(hwnd, message, wParam) : (LRESULT)wParam * 10 + 1;
    if (message == WM_PAINT) {
        // The whole client area is to be painted; BeginPaint erases first when asked.
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        EXPECT_TRUE(dc != NULL);
        EXPECT_TRUE(SameRect(client, ps.rcPaint)) << Show(ps.rcPaint);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (message == WM_CLOSE && GetWindowLongW(hwnd, GWL_ID) == 1)
        return 0;  // a window that stays open
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The messages one window got, in order.
std::vector<UINT> SeenBy(HWND window)
{
    std::vector<UINT> out;
    EnterCriticalSection(&g_lock);
    for (int i = 0; i < g_seen_count; ++i) {
        if (g_seen[i].window == window)
            out.push_back(g_seen[i].message);
    }
    LeaveCriticalSection(&g_lock);
    return out;
}

int CountSeen(HWND window, UINT message)
{
    int n = 0;
    for (UINT m : SeenBy(window))
        n += m == message;
    return n;
}

DWORD ThreadThatHandled(HWND window, UINT message)
{
    DWORD thread = 0;
    EnterCriticalSection(&g_lock);
    for (int i = 0; i < g_seen_count; ++i) {
        if (g_seen[i].window == window && g_seen[i].message == message)
            thread = g_seen[i].thread;
    }
    LeaveCriticalSection(&g_lock);
    return thread;
}

HWND Window(const WCHAR* title, DWORD style = WS_POPUP)
{
    return MakeWindow(TEXT("Logged"), title, style, RECT{0, 0, 100, 80}, NULL, 0, Recording);
}

int Pump()
{
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return (int)msg.wParam;
}

// ---------------------------------------------------------------- the loop

TEST(Messages, PostedMessagesArriveInOrderAndQuitComesAfterThem)
{
    RunAsProgram([&] {
        Log log;
        HWND w = Window(TEXT("q"));  // hidden: no paint to get in the way
        HWND gone = Window(TEXT("gone"));
        PostMessageW(w, M1, 1, 0);
        PostMessageW(gone, M1, 9, 0);
        PostMessageW(w, M2, 2, 0);
        PostMessageW(NULL, M3, 3, 0);  // to the thread itself
        PostMessageW(gone, M3, 9, 0);
        DestroyWindow(gone);           // takes its posted messages with it
        PostQuitMessage(5);
        PostMessageW(w, M4, 4, 0);     // still before the quit
        struct Posted {
            HWND hwnd;
            UINT message;
            WPARAM wParam;
        };
        const Posted expected[] = {{w, M1, 1}, {w, M2, 2}, {NULL, M3, 3}, {w, M4, 4}};
        const LRESULT results[] = {11, 21, 0, 41};
        MSG msg;
        int i = 0;
        BOOL got;
        while ((got = GetMessageW(&msg, NULL, 0, 0)) > 0) {
            ASSERT_LT(i, 4) << "more than was posted: " << msg.message;
            EXPECT_EQ(expected[i].hwnd, msg.hwnd) << i;
            EXPECT_EQ(expected[i].message, msg.message) << i;
            EXPECT_EQ(expected[i].wParam, msg.wParam) << i;
            EXPECT_EQ(results[i], DispatchMessageW(&msg)) << i;
            ++i;
        }
        EXPECT_EQ(4, i);
        EXPECT_EQ(0, got);
        EXPECT_EQ((UINT)WM_QUIT, msg.message);
        EXPECT_EQ(5u, msg.wParam);
    });
}

TEST(Messages, GetMessageFiltersByWindowAndRange)
{
    RunAsProgram([&] {
        HWND a = Window(TEXT("a")), b = Window(TEXT("b"));
        PostMessageW(a, M1, 0, 0);
        PostMessageW(b, M2, 0, 0);
        PostMessageW(a, M3, 0, 0);
        MSG got;
        GetMessageW(&got, b, 0, 0);
        EXPECT_EQ(b, got.hwnd);
        EXPECT_EQ(M2, got.message);
        GetMessageW(&got, NULL, M3, M4);
        EXPECT_EQ(M3, got.message);
        GetMessageW(&got, NULL, 0, 0);
        EXPECT_EQ(M1, got.message);
    });
}

// MSG.time is when the message was posted, not when it was taken.
TEST(Messages, MessageTimeIsWhenItWasPosted)
{
    RunAsProgram([&] {
        HWND w = Window(TEXT("q"));
        DWORD before = GetTickCount();
        PostMessageW(w, M1, 0, 0);
        DWORD posted = GetTickCount();
        Sleep(200);
        MSG got;
        GetMessageW(&got, NULL, 0, 0);
        EXPECT_EQ(M1, got.message);
        EXPECT_LE(before, got.time);
        EXPECT_LE(got.time, posted);
    });
}

// ---------------------------------------------------------------- sending

struct Receiver {
    HWND window;
    DWORD thread;
    DWORD delay;  // ms before it takes messages
    HANDLE ready;
    volatile LONG taking;  // set once it takes messages
};

DWORD WINAPI ReceiverThread(LPVOID param)
{
    Receiver* r = (Receiver*)param;
    r->window = Window(TEXT("receiver"));
    r->thread = GetCurrentThreadId();
    SetEvent(r->ready);
    Sleep(r->delay);
    if (r->delay >= 1000)
        return 3;  // ends without taking a message
    InterlockedExchange(&r->taking, 1);
    return (DWORD)Pump();
}

HANDLE StartReceiver(Receiver* r, DWORD delay)
{
    r->delay = delay;
    r->ready = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE thread = CreateThread(NULL, 0, ReceiverThread, r, 0, NULL);
    WaitForSingleObject(r->ready, INFINITE);
    CloseHandle(r->ready);
    return thread;
}

HWND g_mine;

// M2 to the receiver: it sends M1 back to the sender's window meanwhile.
LRESULT CallsBack(HWND hwnd, UINT message, WPARAM wParam)
{
    if (message == M2)
        return SendMessageW(g_mine, M1, 7, 0) + 1;  // 71 + 1
    return (LRESULT)wParam * 10 + 1;
}

// The sender waits until the receiver's thread takes messages; the message
// is handled on the receiver's thread; a thread waiting for its own send
// handles what is sent to it meanwhile, so two threads sending to each
// other do not deadlock. SetWindowPos on the receiver's window waits for
// it as a send does, even when nothing moves.
TEST(Messages, SendMessageWaitsForTheReceiversThread)
{
    RunAsProgram([&] {
        Log log;
        Receiver r = {};
        HANDLE thread = StartReceiver(&r, 100);  // busy for a while first
        EXPECT_TRUE(SetWindowPos(r.window, NULL, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
        EXPECT_EQ(1, InterlockedCompareExchange(&r.taking, 0, 0));
        EXPECT_EQ(21, SendMessageW(r.window, M1, 2, 0));
        EXPECT_EQ(r.thread, ThreadThatHandled(r.window, M1));
        g_mine = Window(TEXT("mine"));
        g_answer = CallsBack;
        EXPECT_EQ(72, SendMessageW(r.window, M2, 0, 0));
        EXPECT_EQ(GetCurrentThreadId(), ThreadThatHandled(g_mine, M1));
        g_answer = NULL;
        PostMessageW(r.window, WM_QUIT, 0, 0);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        // A thread that ends without taking a message: its window goes, and the send is answered 0.
        thread = StartReceiver(&r, 1000);
        EXPECT_EQ(0, SendMessageW(r.window, M1, 5, 0));
        EXPECT_EQ(0, CountSeen(r.window, M1));
        EXPECT_FALSE(IsWindow(r.window));
        WaitForSingleObject(thread, INFINITE);
        DWORD code = 0;
        GetExitCodeThread(thread, &code);
        EXPECT_EQ(3u, code);
        CloseHandle(thread);
    });
}

// ---------------------------------------------------------------- closing

// Another program's window hears what is posted to it as posted, what is
// sent as sent, and closes on a posted WM_CLOSE as well.
TEST(Messages, DefWindowProcDestroysAWindowOnWmClose)
{
    OtherProgram other;
    HWND theirs = other.AddWindow({TEXT("Theirs"), TEXT("theirs")});
    RunAsProgram([&] {
        EXPECT_TRUE(PostMessageW(theirs, WM_COMMAND, 0x10000001, 0));
        SendMessageW(theirs, WM_COMMAND, 0x10000002, 0);
        EXPECT_TRUE(PostMessageW(theirs, WM_CLOSE, 0, 0));
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(theirs); }));
        std::string heard;  // in either order: the other program takes them as it goes
        for (const Received& r : other.ReceivedBy(theirs, WM_COMMAND))
            heard += std::to_string(r.wParam & 0xF) + (r.sent ? " sent " : " posted ");
        EXPECT_TRUE(heard == "1 posted 2 sent " || heard == "2 sent 1 posted ") << heard;
        EXPECT_EQ(1, other.Count(theirs, WM_CLOSE));

        Log log;
        HWND plain = Window(TEXT("p")), keeps = Window(TEXT("k")), posted = Window(TEXT("q"));
        SetWindowLongW(keeps, GWL_ID, 1);
        SendMessageW(plain, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(plain));
        EXPECT_EQ(1, CountSeen(plain, WM_DESTROY));
        SendMessageW(keeps, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(keeps));
        EXPECT_EQ(0, CountSeen(keeps, WM_DESTROY));
        PostMessageW(posted, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(posted));  // not yet taken
        MSG msg;
        GetMessageW(&msg, posted, 0, 0);
        DispatchMessageW(&msg);
        EXPECT_FALSE(IsWindow(posted));
        EXPECT_EQ((std::vector<UINT>{WM_CLOSE, WM_DESTROY}), SeenBy(posted));
    });
}

// ---------------------------------------------------------------- painting

// Takes messages until the window has had its nth paint (a paint comes
// only when nothing is posted).
void PumpUntilPainted(HWND w, int n)
{
    MSG msg;
    while (CountSeen(w, WM_PAINT) < n && GetMessageW(&msg, NULL, 0, 0) > 0)
        DispatchMessageW(&msg);
}

// Invalidations before the next paint make one paint; a hidden window is
// painted once shown, not before; UpdateWindow paints at once and only
// once; posted messages come before a paint; BeginPaint sends WM_ERASEBKGND
// when an invalidation asked for it, and only then.
TEST(Messages, InvalidationsMakeOnePaintWhenTheWindowIsShown)
{
    RunAsProgram([&] {
        Log log;
        HWND w = Window(TEXT("p"), WS_POPUP | WS_VISIBLE);
        HWND hidden = Window(TEXT("h"));
        UpdateWindow(w);
        EXPECT_EQ(1, CountSeen(w, WM_PAINT));
        UpdateWindow(w);  // nothing left to paint
        EXPECT_EQ(1, CountSeen(w, WM_PAINT));
        InvalidateRect(w, NULL, FALSE);
        InvalidateRect(w, NULL, TRUE);
        InvalidateRect(w, NULL, FALSE);
        InvalidateRect(hidden, NULL, TRUE);
        PostMessageW(w, M1, 0, 0);
        PumpUntilPainted(w, 2);
        // (A new window is erased once too, inside its first paint or, under Wine, as it is shown.)
        std::vector<UINT> seen = SeenBy(w);
        EXPECT_EQ(1, CountSeen(w, WM_ERASEBKGND) - 1);
        EXPECT_EQ((std::vector<UINT>{M1, WM_PAINT, WM_ERASEBKGND}), std::vector<UINT>(seen.end() - 3, seen.end()));
        EXPECT_EQ(0, CountSeen(hidden, WM_PAINT));
        ShowWindow(hidden, SW_SHOWNA);
        PumpUntilPainted(hidden, 1);
        UpdateWindow(w);
        EXPECT_EQ(2, CountSeen(w, WM_PAINT));
        InvalidateRect(w, NULL, FALSE);
        UpdateWindow(w);
        EXPECT_EQ(3, CountSeen(w, WM_PAINT));
        EXPECT_EQ(2, CountSeen(w, WM_ERASEBKGND));
    });
}

// ---------------------------------------------------------------- where the stylus was

DWORD g_pos_in_tap;
MSG g_tap[2];  // the stylus down and up, as the window got them

LRESULT CALLBACK RecordsTapPos(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN) {
        g_pos_in_tap = GetMessagePos();
        g_tap[0].wParam = wParam;
        g_tap[0].lParam = lParam;
    }
    if (message == WM_LBUTTONUP) {
        g_tap[1].wParam = wParam;
        g_tap[1].lParam = lParam;
        PostQuitMessage(0);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// GetMessagePos is where the stylus was when the message was queued. The
// window under the stylus gets it down (MK_LBUTTON) and up, at the point in
// its client area.
TEST(Messages, GetMessagePosIsWhereTheTapWas)
{
    RunAsProgram([&] {
        HWND w = MakeWindow(TEXT("Tapped"), TEXT("t"), WS_POPUP | WS_VISIBLE, RECT{20, 30, 120, 130}, NULL, 0,
                            RecordsTapPos);
        SetForegroundWindow(w);
        UpdateWindow(w);
        g_pos_in_tap = 0;
        Later([] { Tap(POINT{57, 61}); });
        Pump();
        EXPECT_EQ((DWORD)MAKELONG(57, 61), g_pos_in_tap);
        EXPECT_EQ((WPARAM)MK_LBUTTON, g_tap[0].wParam);
        EXPECT_EQ(MAKELPARAM(37, 31), g_tap[0].lParam);
        EXPECT_EQ((WPARAM)0, g_tap[1].wParam);
        EXPECT_EQ(MAKELPARAM(37, 31), g_tap[1].lParam);
    });
}

}  // namespace
