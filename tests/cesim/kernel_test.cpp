// The kernel of the simulated device: the virtual clock, sleeping and
// waiting, events (named ones shared between processes), threads, handles,
// how a process ends, and what a settle does with a thread that never waits.
#include "sim_support.h"

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

using simtest::DeviceTest;
using simtest::Pump;

namespace {

class cesimKernel : public DeviceTest {};

// ---------------------------------------------------------------- the clock

TEST_F(cesimKernel, TickCountIsTheVirtualClock)
{
    device().SetTick(1000);
    DWORD seen[3] = {};
    DWORD pid = Run([&] {
        seen[0] = GetTickCount();
        return Pump();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // real time does not count
    device().RunInProcess(pid, [&] {
        seen[1] = GetTickCount();
        return 0;
    });
    device().Advance(250);
    device().RunInProcess(pid, [&] {
        seen[2] = GetTickCount();
        return 0;
    });
    EXPECT_EQ(1000u, seen[0]);
    EXPECT_EQ(1000u, seen[1]);
    EXPECT_EQ(1250u, seen[2]);
    EXPECT_EQ(1250u, device().Tick());
}

TEST_F(cesimKernel, TickCountWrapsPast32Bits)
{
    device().SetTick(0xFFFFFF00u);
    DWORD before = 0, after = 0;
    std::atomic<bool> woke{false};
    Run([&] {
        before = GetTickCount();
        Sleep(0x200);  // its deadline lies beyond the wrap
        after = GetTickCount();
        woke = true;
        return 0;
    });
    device().Advance(0x1FF);
    EXPECT_FALSE(woke);
    EXPECT_EQ(0xFFu, device().Tick());
    device().Advance(1);
    EXPECT_TRUE(woke);
    EXPECT_EQ(0xFFFFFF00u, before);
    EXPECT_EQ(0x100u, after);
    EXPECT_EQ(0x200u, after - before);
}

TEST_F(cesimKernel, SleepWakesExactlyAtItsDeadline)
{
    device().SetTick(500);
    std::atomic<int> woke{0};
    DWORD at[2] = {};
    Run([&] {
        Sleep(100);
        at[0] = GetTickCount();
        ++woke;
        Sleep(100);
        at[1] = GetTickCount();
        ++woke;
        return 0;
    });
    EXPECT_EQ(0, woke);
    device().Advance(99);
    EXPECT_EQ(0, woke);
    device().Advance(1);
    EXPECT_EQ(1, woke);
    EXPECT_EQ(600u, at[0]);
    device().Advance(250);  // well past the second deadline in one step
    EXPECT_EQ(2, woke);
    EXPECT_EQ(700u, at[1]);  // woken at its deadline, not at the end of the step
    EXPECT_EQ(850u, device().Tick());
}

TEST_F(cesimKernel, SleepZeroReturnsAndSleepInfiniteDoesNot)
{
    std::atomic<bool> pastZero{false}, pastInfinite{false};
    DWORD afterZero = 1;
    Run([&] {
        Sleep(0);
        afterZero = GetTickCount();
        pastZero = true;
        Sleep(INFINITE);
        pastInfinite = true;
        return 0;
    });
    EXPECT_TRUE(pastZero);
    EXPECT_EQ(0u, afterZero);
    device().Advance(10000000);
    EXPECT_FALSE(pastInfinite);
}

// ---------------------------------------------------------------- waiting

TEST_F(cesimKernel, WaitTimesOutAtItsDeadline)
{
    device().SetTick(100);
    std::atomic<bool> done{false};
    DWORD result = 0, at = 0, immediate = 0;
    Run([&] {
        HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        immediate = WaitForSingleObject(e, 0);
        result = WaitForSingleObject(e, 50);
        at = GetTickCount();
        done = true;
        return 0;
    });
    EXPECT_EQ(WAIT_TIMEOUT, immediate);
    device().Advance(49);
    EXPECT_FALSE(done);
    device().Advance(1);
    EXPECT_TRUE(done);
    EXPECT_EQ(WAIT_TIMEOUT, result);
    EXPECT_EQ(150u, at);
}

TEST_F(cesimKernel, WaitReturnsWhenSignalledBeforeItsDeadline)
{
    std::atomic<bool> done{false};
    DWORD result = 0, at = 0;
    HANDLE e = nullptr;
    DWORD pid = Run([&] {
        e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        result = WaitForSingleObject(e, 1000);
        at = GetTickCount();
        done = true;
        return Pump();
    });
    device().Advance(30);
    EXPECT_FALSE(done);
    device().RunInProcess(pid, [&] { return (DWORD)SetEvent(e); });
    EXPECT_TRUE(done);
    EXPECT_EQ(WAIT_OBJECT_0, result);
    EXPECT_EQ(30u, at);
}

TEST_F(cesimKernel, AnInfiniteWaitLastsUntilTheSignal)
{
    std::atomic<bool> done{false};
    DWORD result = 0;
    HANDLE e = nullptr;
    DWORD pid = Run([&] {
        e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        result = WaitForSingleObject(e, INFINITE);
        done = true;
        return Pump();
    });
    device().Advance(5000000);
    EXPECT_FALSE(done);
    device().RunInProcess(pid, [&] { return (DWORD)SetEvent(e); });
    EXPECT_TRUE(done);
    EXPECT_EQ(WAIT_OBJECT_0, result);
}

TEST_F(cesimKernel, WaitingOnAnUnknownHandleFails)
{
    DWORD result = 0, error = 0;
    Run([&] {
        result = WaitForSingleObject((HANDLE)0x7777, 0);
        error = GetLastError();
        return 0;
    });
    EXPECT_EQ(WAIT_FAILED, result);
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, error);
}

// ---------------------------------------------------------------- events

TEST_F(cesimKernel, ManualResetEventsStaySetAutoResetEventsReleaseOneWait)
{
    DWORD manual[4] = {}, automatic[4] = {};
    BOOL set = FALSE, reset = FALSE;
    Run([&] {
        HANDLE m = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        manual[0] = WaitForSingleObject(m, 0);
        manual[1] = WaitForSingleObject(m, 0);
        reset = ResetEvent(m);
        manual[2] = WaitForSingleObject(m, 0);
        set = SetEvent(m);
        manual[3] = WaitForSingleObject(m, 0);

        HANDLE a = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        automatic[0] = WaitForSingleObject(a, 0);
        SetEvent(a);
        automatic[1] = WaitForSingleObject(a, 0);
        automatic[2] = WaitForSingleObject(a, 0);
        SetEvent(a);
        SetEvent(a);  // setting a set event changes nothing
        automatic[3] = WaitForSingleObject(a, 0) + 10 * WaitForSingleObject(a, 0);
        return 0;
    });
    EXPECT_TRUE(set);
    EXPECT_TRUE(reset);
    EXPECT_EQ(WAIT_OBJECT_0, manual[0]);
    EXPECT_EQ(WAIT_OBJECT_0, manual[1]);
    EXPECT_EQ(WAIT_TIMEOUT, manual[2]);
    EXPECT_EQ(WAIT_OBJECT_0, manual[3]);
    EXPECT_EQ(WAIT_TIMEOUT, automatic[0]);
    EXPECT_EQ(WAIT_OBJECT_0, automatic[1]);
    EXPECT_EQ(WAIT_TIMEOUT, automatic[2]);
    EXPECT_EQ(WAIT_OBJECT_0 + 10 * WAIT_TIMEOUT, automatic[3]);
}

TEST_F(cesimKernel, SettingAnUnknownHandleFails)
{
    BOOL set = TRUE, reset = TRUE, setThread = TRUE;
    DWORD error = 0;
    Run([&] {
        set = SetEvent((HANDLE)0x7777);
        error = GetLastError();
        reset = ResetEvent((HANDLE)0x7777);
        HANDLE t = CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
        setThread = SetEvent(t);  // a thread is not an event
        return 0;
    });
    EXPECT_FALSE(set);
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, error);
    EXPECT_FALSE(reset);
    EXPECT_FALSE(setThread);
}

TEST_F(cesimKernel, OneSetOfAnAutoResetEventReleasesOneOfTwoWaiters)
{
    HANDLE e = nullptr;
    std::atomic<int> released{0};
    DWORD pid = Run([&] {
        e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        return Pump();
    });
    for (int i = 0; i < 2; ++i) {
        device().RunInProcess(pid, [&] {
            HANDLE t = CreateThread(
                nullptr, 0,
                [](LPVOID p) -> DWORD {
                    auto* args = (std::pair<HANDLE, std::atomic<int>*>*)p;
                    WaitForSingleObject(args->first, INFINITE);
                    ++*args->second;
                    delete args;
                    return 0;
                },
                new std::pair<HANDLE, std::atomic<int>*>(e, &released), 0, nullptr);
            CloseHandle(t);
            return 0;
        });
    }
    EXPECT_EQ(0, released);
    device().RunInProcess(pid, [&] { return (DWORD)SetEvent(e); });
    EXPECT_EQ(1, released);
    device().RunInProcess(pid, [&] { return (DWORD)SetEvent(e); });
    EXPECT_EQ(2, released);
}

// Counters of the set-and-reset tests, shared with their thread functions.
std::atomic<int> g_released{0};
std::atomic<int> g_taken_late{0};
constexpr int ROUNDS = 20;

// Each millisecond: set the event and take the signal straight back.
DWORD WINAPI SetAndReset(LPVOID event)
{
    for (int i = 0; i < ROUNDS; ++i) {
        Sleep(1);  // by now the waiter waits again
        SetEvent((HANDLE)event);
        ResetEvent((HANDLE)event);
    }
    return 0;
}

// Each millisecond: set the event and wait on it at once ourselves.
DWORD WINAPI SetAndTake(LPVOID event)
{
    for (int i = 0; i < ROUNDS; ++i) {
        Sleep(1);
        SetEvent((HANDLE)event);
        if (WaitForSingleObject((HANDLE)event, 0) == WAIT_OBJECT_0)
            ++g_taken_late;
    }
    return 0;
}

// SetEvent releases the threads that wait at that moment; a ResetEvent that
// follows at once does not take the release back.
TEST_F(cesimKernel, SetEventReleasesTheWaitersEvenIfResetAtOnce)
{
    static std::mutex mu;
    static std::set<DWORD> releasedAt;  // one entry per round that released the waiter
    releasedAt.clear();
    Run([&] {
        HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        CloseHandle(CreateThread(nullptr, 0, SetAndReset, e, 0, nullptr));
        for (;;) {
            if (WaitForSingleObject(e, INFINITE) == WAIT_OBJECT_0) {
                DWORD now = GetTickCount();
                std::lock_guard<std::mutex> g(mu);
                releasedAt.insert(now);
            }
        }
        return 0;
    });
    device().Advance(ROUNDS);
    std::lock_guard<std::mutex> g(mu);
    EXPECT_EQ((size_t)ROUNDS, releasedAt.size());
}

// An auto-reset event set while a thread waits on it goes to that thread;
// a wait that starts afterwards finds it reset.
TEST_F(cesimKernel, AnAutoResetEventGoesToTheThreadAlreadyWaiting)
{
    g_released = 0;
    g_taken_late = 0;
    Run([&] {
        HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        CloseHandle(CreateThread(nullptr, 0, SetAndTake, e, 0, nullptr));
        for (;;) {
            if (WaitForSingleObject(e, INFINITE) == WAIT_OBJECT_0)
                ++g_released;
        }
        return 0;
    });
    device().Advance(ROUNDS);
    EXPECT_EQ(ROUNDS, g_released);
    EXPECT_EQ(0, g_taken_late);
}

TEST_F(cesimKernel, NamedEventsAreSharedBetweenProcesses)
{
    HANDLE first = nullptr, second = nullptr, other = nullptr;
    DWORD firstError = 1, secondError = 0, otherError = 1;
    DWORD secondInitially = 0, otherInitially = 0;
    std::atomic<int> releases{0};
    DWORD a = Run(
        [&] {
            first = CreateEventW(nullptr, TRUE, FALSE, u"Velto.Ready");
            firstError = GetLastError();
            return Pump();
        },
        u"a.exe");
    DWORD b = Run(
        [&] {
            // another kind and another initial state: the existing event wins
            second = CreateEventW(nullptr, FALSE, TRUE, u"Velto.Ready");
            secondError = GetLastError();
            secondInitially = WaitForSingleObject(second, 0);
            other = CreateEventW(nullptr, FALSE, TRUE, u"velto.ready");  // names are case-sensitive
            otherError = GetLastError();
            otherInitially = WaitForSingleObject(other, 0);
            WaitForSingleObject(second, INFINITE);
            ++releases;
            WaitForSingleObject(second, INFINITE);  // still set: a manual-reset event
            ++releases;
            return Pump();
        },
        u"b.exe");
    EXPECT_NE(nullptr, first);
    EXPECT_EQ(0u, firstError);
    EXPECT_NE(nullptr, second);
    EXPECT_NE(first, second);
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, secondError);
    EXPECT_EQ(WAIT_TIMEOUT, secondInitially);
    EXPECT_EQ(0u, otherError);
    EXPECT_EQ(WAIT_OBJECT_0, otherInitially);
    EXPECT_EQ(0, releases);
    device().RunInProcess(a, [&] { return (DWORD)SetEvent(first); });
    EXPECT_EQ(2, releases);
    EXPECT_EQ(2, device().OpenHandles(b, "event"));
}

TEST_F(cesimKernel, ANamedEventGoesWithItsLastHandle)
{
    DWORD errors[3] = {};
    DWORD state = 0;
    DWORD a = Run(
        [&] {
            HANDLE h = CreateEventW(nullptr, TRUE, TRUE, u"Velto.Once");
            HANDLE again = CreateEventW(nullptr, TRUE, FALSE, u"Velto.Once");
            errors[0] = GetLastError();
            CloseHandle(h);
            CloseHandle(again);
            HANDLE fresh = CreateEventW(nullptr, TRUE, FALSE, u"Velto.Once");
            errors[1] = GetLastError();
            state = WaitForSingleObject(fresh, 0);  // the new initial state
            return 0;
        },
        u"a.exe");
    EXPECT_FALSE(device().Running(a));
    // the ending process closed its last handle to it, so the name is free again
    Run(
        [&] {
            CreateEventW(nullptr, TRUE, FALSE, u"Velto.Once");
            errors[2] = GetLastError();
            return 0;
        },
        u"b.exe");
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, errors[0]);
    EXPECT_EQ(0u, errors[1]);
    EXPECT_EQ(WAIT_TIMEOUT, state);
    EXPECT_EQ(0u, errors[2]);
}

// ---------------------------------------------------------------- threads and handles

struct WorkerArgs {
    DWORD id_inside = 0;
    DWORD ticks = 0;
};

DWORD WINAPI Worker(LPVOID param)
{
    auto* args = (WorkerArgs*)param;
    args->id_inside = GetCurrentThreadId();
    Sleep(10);
    args->ticks = GetTickCount();
    return 42;
}

TEST_F(cesimKernel, CreateThreadRunsAndCanBeWaitedFor)
{
    WorkerArgs args;
    DWORD tid = 0, codeWhileRunning = 0, codeAfter = 0, waited = 0;
    BOOL gotCode = FALSE;
    std::atomic<bool> done{false};
    DWORD mainThread = 0, processId = 0;
    DWORD pid = Run([&] {
        mainThread = GetCurrentThreadId();
        processId = GetCurrentProcessId();
        HANDLE t = CreateThread(nullptr, 0, Worker, &args, 0, &tid);
        GetExitCodeThread(t, &codeWhileRunning);
        waited = WaitForSingleObject(t, INFINITE);
        gotCode = GetExitCodeThread(t, &codeAfter);
        CloseHandle(t);
        done = true;
        return Pump();
    });
    EXPECT_EQ(2, device().ThreadCount(pid));
    EXPECT_FALSE(done);
    device().Advance(10);
    EXPECT_TRUE(done);
    EXPECT_EQ(pid, processId);
    EXPECT_NE(0u, tid);
    EXPECT_NE(mainThread, tid);
    EXPECT_EQ(tid, args.id_inside);
    EXPECT_EQ(10u, args.ticks);
    EXPECT_EQ(STILL_ACTIVE, codeWhileRunning);
    EXPECT_EQ(WAIT_OBJECT_0, waited);
    EXPECT_TRUE(gotCode);
    EXPECT_EQ(42u, codeAfter);
    EXPECT_EQ(1, device().ThreadCount(pid));
    EXPECT_EQ(0, device().OpenHandles(pid, "thread"));
}

TEST_F(cesimKernel, CloseHandleOfAnUnknownHandleFails)
{
    BOOL results[3] = {TRUE, FALSE, TRUE};
    DWORD errors[2] = {};
    Run([&] {
        results[0] = CloseHandle((HANDLE)0x7777);
        errors[0] = GetLastError();
        HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        results[1] = CloseHandle(e);
        results[2] = CloseHandle(e);
        errors[1] = GetLastError();
        return 0;
    });
    EXPECT_FALSE(results[0]);
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, errors[0]);
    EXPECT_TRUE(results[1]);
    EXPECT_FALSE(results[2]);
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, errors[1]);
}

TEST_F(cesimKernel, OpenHandlesAreCountedByKindWhileRunningAndAtTheEnd)
{
    HANDLE spare = nullptr;
    DWORD pid = Run([&] {
        CreateEventW(nullptr, TRUE, FALSE, nullptr);
        spare = CreateEventW(nullptr, FALSE, FALSE, u"Velto.Counted");
        CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Counted", 0, nullptr, 0, 0, nullptr, &key, nullptr);
        Sleep(10);
        return 0;
    });
    EXPECT_EQ(2, device().OpenHandles(pid, "event"));
    EXPECT_EQ(1, device().OpenHandles(pid, "thread"));
    EXPECT_EQ(1, device().OpenHandles(pid, "registry"));
    device().RunInProcess(pid, [&] { return (DWORD)CloseHandle(spare); });
    EXPECT_EQ(1, device().OpenHandles(pid, "event"));
    device().Advance(10);
    EXPECT_FALSE(device().Running(pid));
    // what the program left open when it ended
    EXPECT_EQ(1, device().OpenHandles(pid, "event"));
    EXPECT_EQ(1, device().OpenHandles(pid, "thread"));
    EXPECT_EQ(1, device().OpenHandles(pid, "registry"));
}

TEST_F(cesimKernel, AProcessEndsWhenItsFirstThreadReturnsAndTakesItsThreadsAlong)
{
    std::atomic<bool> sleeperWoke{false}, waiterWoke{false};
    HWND w = nullptr;
    HANDLE never = nullptr;
    DWORD pid = Run([&] {
        never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        static std::atomic<bool>* sleeper;
        static std::atomic<bool>* waiter;
        sleeper = &sleeperWoke;
        waiter = &waiterWoke;
        CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                Sleep(INFINITE);
                *sleeper = true;
                return 0;
            },
            nullptr, 0, nullptr);
        CreateThread(
            nullptr, 0,
            [](LPVOID e) -> DWORD {
                WaitForSingleObject((HANDLE)e, INFINITE);
                *waiter = true;
                return 0;
            },
            never, 0, nullptr);
        w = simtest::MakeWindow(u"Main", u"main", WS_VISIBLE, RECT{0, 0, 100, 100});
        Sleep(10);
        return 7;
    });
    EXPECT_TRUE(device().Running(pid));
    EXPECT_EQ(STILL_ACTIVE, device().ExitCode(pid));
    EXPECT_EQ(3, device().ThreadCount(pid));
    device().Advance(10);
    EXPECT_FALSE(device().Running(pid));
    EXPECT_EQ(7u, device().ExitCode(pid));
    EXPECT_EQ(0, device().ThreadCount(pid));
    EXPECT_FALSE(device().IsAlive(w));
    EXPECT_TRUE(device().WindowsOf(pid).empty());
    EXPECT_FALSE(sleeperWoke);
    EXPECT_FALSE(waiterWoke);
}

TEST_F(cesimKernel, LastErrorBelongsToEachThread)
{
    DWORD mine = 0, theirs = 0;
    Run([&] {
        SetLastError(1234);
        HANDLE t = CreateThread(
            nullptr, 0,
            [](LPVOID out) -> DWORD {
                *(DWORD*)out = GetLastError();  // a new thread starts clean
                SetLastError(99);
                return 0;
            },
            &theirs, 0, nullptr);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        mine = GetLastError();
        return 0;
    });
    EXPECT_EQ(0u, theirs);
    EXPECT_EQ(1234u, mine);
}

// ---------------------------------------------------------------- settling

std::atomic<bool> g_stopSpinning{false};

TEST_F(cesimKernel, SettleGivesUpOnAThreadThatNeverWaits)
{
    g_stopSpinning = false;
    device().SetSettleLimit(std::chrono::milliseconds(200));
    device().StartFunction(u"spinner.exe", [] {
        while (!g_stopSpinning)
            GetTickCount();  // busy, but never waiting
        return 0;
    });
    auto started = std::chrono::steady_clock::now();
    std::string message = simtest::ErrorOf([&] { device().Settle(); });
    auto waited = std::chrono::steady_clock::now() - started;
    g_stopSpinning = true;
    EXPECT_NE(std::string::npos, message.find("did not settle within 200 ms")) << message;
    EXPECT_NE(std::string::npos, message.find("spinner.exe")) << message;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::seconds(4));
    device().Settle();  // the device recovers once the thread waits or ends
}

// Threads that become runnable together run one at a time, in the order in
// which they became runnable: due at the same tick, in the order they were
// created. The same program gives the same story on every run.
TEST_F(cesimKernel, ThreadsDueTogetherRunOneAtATimeInAFixedOrder)
{
    if (std::getenv("CESIM_FREE_RUNNING") != nullptr && std::string(std::getenv("CESIM_FREE_RUNNING")) != "0")
        GTEST_SKIP() << "free-running threads interleave as the host schedules them";
    static std::vector<int> story;
    static int busy = 0;
    static bool overlapped = false;
    std::vector<std::vector<int>> runs;
    for (int run = 0; run < 20; ++run) {
        device_.reset();
        device_ = std::make_unique<cesim::Device>();
        story.clear();
        overlapped = false;
        Run([] {
            for (int n = 1; n <= 3; ++n) {
                CloseHandle(CreateThread(
                    nullptr, 0,
                    [](LPVOID p) -> DWORD {
                        for (int round = 0; round < 3; ++round) {
                            Sleep(10);
                            overlapped = overlapped || busy != 0;
                            ++busy;
                            story.push_back((int)(intptr_t)p);
                            GetTickCount();  // a platform call in the middle of its turn
                            story.push_back((int)(intptr_t)p);
                            --busy;
                        }
                        return 0;
                    },
                    (LPVOID)(intptr_t)n, 0, nullptr));
            }
            return Pump();
        });
        device().Advance(30);
        runs.push_back(story);
        ASSERT_FALSE(overlapped) << "two simulated threads ran at once in run " << run;
    }
    const std::vector<int> expected{1, 1, 2, 2, 3, 3, 1, 1, 2, 2, 3, 3, 1, 1, 2, 2, 3, 3};
    for (auto& r : runs)
        EXPECT_EQ(expected, r);
}

}  // namespace
