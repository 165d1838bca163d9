// The kernel: the clock, sleeping and waiting, events, threads, critical
// sections and handles, as a program sees them.
#include "fixture.h"

#include <functional>
#include <string>

using namespace conformance;

namespace {

// A value that no handle of a program has.
const HANDLE NO_HANDLE = (HANDLE)(UINT_PTR)0x7777;

// ---------------------------------------------------------------- time

// The tick count is 32 bits: past 0xFFFFFFFF it goes on from 0, and the
// difference of two readings, taken as unsigned, is the time between them.
TEST(Kernel, TheClockMovesWhileAProgramSleepsAndTheDoubleClickTimeIsHalfASecond)
{
    ClockBeforeItsWrap(20);
    RunAsProgram([] {
        DWORD start = GetTickCount();
        Sleep(0);  // gives up the rest of the turn, no more
        Sleep(30);
        const DWORD now = GetTickCount();
        EXPECT_NE(start, now);
        EXPECT_LT(now - start, 0x10000000u) << start << " to " << now;
        if (OnlyOnCe("the machine's clock cannot be set near its wrap")) {
            EXPECT_LT(now, start) << "the count goes on from 0";
        }
        EXPECT_EQ(500u, GetDoubleClickTime());
    });
}

// ---------------------------------------------------------------- events

// One event, a script of calls on it: S SetEvent, R ResetEvent, w a wait
// that does not wait (time-out 0), whose results read 1 (signalled) or
// 0 (timed out).
struct EventScript {
    const char* what;
    BOOL manual_reset;
    BOOL initially_set;
    const char* script;
    const char* waits;
};

const EventScript EVENT_SCRIPTS[] = {
    {"manual reset stays set until reset", TRUE, TRUE, "wwRwSw", "1101"},
    {"manual reset, set twice, reset once", TRUE, FALSE, "SSRw", "0"},
    {"auto reset, one wait takes the signal", FALSE, FALSE, "wSwwSSww", "01010"},
    {"auto reset, set at creation", FALSE, TRUE, "ww", "10"},
    {"auto reset, reset before the wait", FALSE, TRUE, "Rw", "0"},
};

TEST(Kernel, EventsManualAndAutoReset)
{
    RunAsProgram([] {
        for (const EventScript& row : EVENT_SCRIPTS) {
            std::string waits;
            HANDLE event = CreateEventW(NULL, row.manual_reset, row.initially_set, NULL);
            ASSERT_NE((HANDLE)NULL, event);
            for (const char* op = row.script; *op != 0; ++op) {
                if (*op == 'S')
                    EXPECT_TRUE(SetEvent(event)) << row.what;
                else if (*op == 'R')
                    EXPECT_TRUE(ResetEvent(event)) << row.what;
                else
                    waits += WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? '1' : '0';
            }
            EXPECT_TRUE(CloseHandle(event));
            EXPECT_EQ(row.waits, waits) << row.what;
        }
    });
}

// Named events: a second CreateEventW of a name gives a new handle to the
// existing event, whatever kind and state it asks for; names differ in case;
// the name is free again once its last handle is closed.
TEST(Kernel, NamedEvents)
{
    RunAsProgram([] {
        SetLastError(77);
        HANDLE first = CreateEventW(NULL, TRUE, FALSE, TEXT("Velto.Conformance"));
        EXPECT_EQ(0u, GetLastError());
        HANDLE second = CreateEventW(NULL, FALSE, TRUE, TEXT("Velto.Conformance"));
        EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
        ASSERT_NE((HANDLE)NULL, second);
        EXPECT_NE(first, second);
        EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(second, 0));  // the first one's state
        SetEvent(first);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 0));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 0));  // and its kind: manual reset

        SetLastError(77);
        HANDLE other = CreateEventW(NULL, TRUE, FALSE, TEXT("velto.conformance"));
        EXPECT_EQ(0u, GetLastError());
        EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(other, 0));

        CloseHandle(first);
        CloseHandle(second);
        HANDLE fresh = CreateEventW(NULL, TRUE, FALSE, TEXT("Velto.Conformance"));
        EXPECT_EQ(0u, GetLastError());
        EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(fresh, 0));  // its own initial state
        CloseHandle(fresh);
        CloseHandle(other);
    });
}

// ---------------------------------------------------------------- waiting

struct Waiter {
    HANDLE event;
    DWORD timeout;
    DWORD result;
    HANDLE waiting;  // set as the wait begins (null: none)
};

DWORD WINAPI WaitOnEvent(LPVOID param)
{
    Waiter* w = (Waiter*)param;
    w->result = w->waiting != NULL ? SetEventAndWait(w->waiting, w->event) : WaitForSingleObject(w->event, w->timeout);
    return 0;
}

DWORD WINAPI SetAfterAWhile(LPVOID event)
{
    Sleep(20);
    SetEvent((HANDLE)event);
    return 0;
}

TEST(Kernel, WaitsEndAtTheSignalOrAtTheirTimeOut)
{
    RunAsProgram([] {
        HANDLE never = CreateEventW(NULL, TRUE, FALSE, NULL);
        EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(never, 0));
        EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(never, 40));
        const DWORD timeouts[] = {5000, INFINITE};
        for (DWORD timeout : timeouts) {
            HANDLE later = CreateEventW(NULL, FALSE, FALSE, NULL);
            HANDLE setter = CreateThread(NULL, 0, SetAfterAWhile, later, 0, NULL);
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(later, timeout)) << timeout;
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(setter, 5000));
            CloseHandle(setter);
            CloseHandle(later);
        }
        CloseHandle(never);
    });
}

// Starts a thread that waits for event; returns once it waits.
HANDLE StartWaiter(Waiter* waiter)
{
    waiter->waiting = CreateEventW(NULL, FALSE, FALSE, NULL);
    HANDLE thread = CreateThread(NULL, 0, WaitOnEvent, waiter, 0, NULL);
    AwaitWaiting(waiter->waiting);
    CloseHandle(waiter->waiting);
    return thread;
}

// SetEvent releases the threads that wait at that moment, whatever follows:
// a ResetEvent at once does not take a manual-reset event's release back,
// and an auto-reset event goes to the thread already waiting, not to a wait
// that starts after the set. One set of an auto-reset event releases one of
// two waiters.
TEST(Kernel, SetEventReleasesTheThreadsWaitingThen)
{
    RunAsProgram([] {
        for (BOOL manual : {TRUE, FALSE}) {
            Waiter waiter{CreateEventW(NULL, manual, FALSE, NULL), INFINITE, 0, NULL};
            HANDLE thread = StartWaiter(&waiter);
            SetEvent(waiter.event);
            if (manual)
                ResetEvent(waiter.event);
            else
                EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(waiter.event, 0));
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000)) << manual;
            EXPECT_EQ(WAIT_OBJECT_0, waiter.result);
            CloseHandle(thread);
            CloseHandle(waiter.event);
        }

        HANDLE event = CreateEventW(NULL, FALSE, FALSE, NULL);
        Waiter waiters[2] = {{event, INFINITE, 99, NULL}, {event, INFINITE, 99, NULL}};
        HANDLE threads[2];
        for (int i = 0; i < 2; ++i)
            threads[i] = StartWaiter(&waiters[i]);
        SetEvent(event);
        EXPECT_TRUE(WaitFor([&] {
            return WaitForSingleObject(threads[0], 0) == WAIT_OBJECT_0 ||
                   WaitForSingleObject(threads[1], 0) == WAIT_OBJECT_0;
        }));
        int ended = 0;
        for (HANDLE t : threads)
            ended += WaitForSingleObject(t, 20) == WAIT_OBJECT_0;
        EXPECT_EQ(1, ended);
        SetEvent(event);
        for (HANDLE t : threads) {
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 5000));
            CloseHandle(t);
        }
        CloseHandle(event);
    });
}

// ---------------------------------------------------------------- handles

TEST(Kernel, CallsOnAHandleThatIsNoneOrOfAnotherKindFail)
{
    RunAsProgram([] {
        // A handle value closed is free for the next handle made: nothing is
        // made while the closed one is used.
        HANDLE closed = CreateEventW(NULL, TRUE, FALSE, NULL);
        EXPECT_TRUE(CloseHandle(closed));
        HANDLE thread = NULL;
        const struct {
            const char* call;
            std::function<DWORD()> make;
            DWORD expected;
        } rows[] = {
            {"CloseHandle, closed before", [&] { return (DWORD)CloseHandle(closed); }, FALSE},
            {"SetEvent, closed before", [&] { return (DWORD)SetEvent(closed); }, FALSE},
            {"WaitForSingleObject", [] { return WaitForSingleObject(NO_HANDLE, 0); }, WAIT_FAILED},
            {"SetEvent", [] { return (DWORD)SetEvent(NO_HANDLE); }, FALSE},
            {"ResetEvent", [] { return (DWORD)ResetEvent(NO_HANDLE); }, FALSE},
            {"CloseHandle", [] { return (DWORD)CloseHandle(NO_HANDLE); }, FALSE},
            {"SetEvent on a thread", [&] { return (DWORD)SetEvent(thread); }, FALSE},
        };
        for (const auto& row : rows) {
            if (thread == NULL && std::string(row.call) == "SetEvent on a thread")
                thread = CreateThread(NULL, 0, SetAfterAWhile, CreateEventW(NULL, TRUE, FALSE, NULL), 0, NULL);
            SetLastError(0);
            EXPECT_EQ(row.expected, row.make()) << row.call;
            EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError()) << row.call;
        }
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
        CloseHandle(thread);
    });
}

// ---------------------------------------------------------------- threads

struct Worker {
    HANDLE go;
    HANDLE started;  // set once the fields below are written
    DWORD id_inside;
    DWORD error_at_start;
};

DWORD WINAPI Work(LPVOID param)
{
    Worker* w = (Worker*)param;
    w->error_at_start = GetLastError();
    w->id_inside = GetCurrentThreadId();
    SetLastError(99);
    SetEvent(w->started);
    WaitForSingleObject(w->go, INFINITE);
    return 42;
}

TEST(Kernel, AThreadRunsOnItsOwnAndEndsWithItsExitCode)
{
    RunAsProgram([] {
        Worker worker{CreateEventW(NULL, TRUE, FALSE, NULL), CreateEventW(NULL, TRUE, FALSE, NULL), 0, 1};
        SetLastError(1234);
        DWORD id = 0, code = 0;
        HANDLE thread = CreateThread(NULL, 0, Work, &worker, 0, &id);
        ASSERT_NE((HANDLE)NULL, thread);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker.started, 5000));
        EXPECT_EQ(id, worker.id_inside);
        EXPECT_NE(GetCurrentThreadId(), id);
        EXPECT_EQ(0u, worker.error_at_start);  // a thread starts with no error of its own
        EXPECT_TRUE(GetExitCodeThread(thread, &code));
        EXPECT_EQ(STILL_ACTIVE, code);
        EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(thread, 20));
        SetEvent(worker.go);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
        EXPECT_TRUE(GetExitCodeThread(thread, &code));
        EXPECT_EQ(42u, code);
        EXPECT_EQ(1234u, GetLastError());  // the other thread's error is its own
        EXPECT_TRUE(CloseHandle(thread));
        CloseHandle(worker.go);
        CloseHandle(worker.started);
    });
}

// ---------------------------------------------------------------- critical sections

struct Contender {
    CRITICAL_SECTION* section;
    HANDLE trying;  // set as it tries to enter
    volatile LONG inside;
};

DWORD WINAPI Contend(LPVOID param)
{
    Contender* c = (Contender*)param;
    SetEvent(c->trying);
    EnterCriticalSection(c->section);
    InterlockedExchange(&c->inside, 1);
    LeaveCriticalSection(c->section);
    return 0;
}

// The owner may enter again; another thread gets in once the owner has left
// as often as it entered.
TEST(Kernel, ACriticalSectionIsHeldUntilLeftAsOftenAsEntered)
{
    RunAsProgram([] {
        CRITICAL_SECTION section;
        InitializeCriticalSection(&section);
        Contender contender{&section, CreateEventW(NULL, FALSE, FALSE, NULL), 0};
        EnterCriticalSection(&section);
        EnterCriticalSection(&section);
        HANDLE thread = CreateThread(NULL, 0, Contend, &contender, 0, NULL);
        WaitForSingleObject(contender.trying, INFINITE);
        EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(thread, 20));  // a chance to get in wrongly
        EXPECT_EQ(0, InterlockedCompareExchange(&contender.inside, 0, 0));
        LeaveCriticalSection(&section);
        EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(thread, 20));
        EXPECT_EQ(0, InterlockedCompareExchange(&contender.inside, 0, 0));
        LeaveCriticalSection(&section);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
        EXPECT_EQ(1, InterlockedCompareExchange(&contender.inside, 0, 0));
        CloseHandle(thread);
        CloseHandle(contender.trying);
        DeleteCriticalSection(&section);
    });
}

TEST(Kernel, InterlockedCallsReturnTheValueBefore)
{
    RunAsProgram([] {
        volatile LONG value = 5;
        EXPECT_EQ(5, InterlockedExchange(&value, 7));
        EXPECT_EQ(7, InterlockedCompareExchange(&value, 9, 6));  // not 6: unchanged
        EXPECT_EQ(7, value);
        EXPECT_EQ(7, InterlockedCompareExchange(&value, 9, 7));
        EXPECT_EQ(9, value);
    });
}

TEST(Kernel, StringLengthCountsUpToTheTerminator)
{
    RunAsProgram([] {
        EXPECT_EQ(0, lstrlenW(TEXT("")));
        EXPECT_EQ(5, lstrlenW(TEXT("Hello")));
        EXPECT_EQ(2, lstrlenW(TEXT("ab\0cd")));
        EXPECT_EQ(0, lstrlenW(NULL));
    });
}

}  // namespace
