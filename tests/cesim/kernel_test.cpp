// The kernel of the simulated device itself: the virtual clock and the
// deadlines it wakes, what a settle does with a thread that never waits,
// the order of threads due together, how a process ends, and the one
// namespace of named events (the handles a program holds are counted in
// device_test.cpp). How the kernel calls behave is held against Wine by the
// conformance suite (tests/conformance).
#include "sim_support.h"

#include <atomic>
#include <cstdlib>

using simtest::DeviceTest;
using simtest::Pump;

namespace {

class cesimKernel : public DeviceTest {};

// ---------------------------------------------------------------- the clock

// GetTickCount reads the device's clock, which moves only when the test
// advances it; a program that sleeps or waits with a time-out wakes exactly
// at its deadline, also when one step goes past it, and also past the wrap.
struct Deadline {
    const char* what;
    DWORD start;
    DWORD steps[3];      // the test's advances, one after the other
    int woke_after;      // the step after which the program is past its wait (-1: never)
    DWORD woke_at;       // GetTickCount after the wait
    bool wait;           // WaitForSingleObject on an event never set, rather than Sleep
    DWORD ms;
};

const Deadline DEADLINES[] = {
    {"sleep", 500, {99, 1, 0}, 1, 600, false, 100},
    {"sleep, one step well past", 500, {250, 0, 0}, 0, 600, false, 100},
    {"sleep past the wrap", 0xFFFFFF00u, {0x1FF, 1, 0}, 1, 0x100, false, 0x200},
    {"sleep for ever", 0, {10000000, 0, 0}, -1, 0, false, INFINITE},
    {"wait", 100, {49, 1, 0}, 1, 150, true, 50},
    {"wait for ever", 0, {5000000, 0, 0}, -1, 0, true, INFINITE},
};

TEST_F(cesimKernel, SleepsAndWaitsEndExactlyAtTheirDeadlineOfTheVirtualClock)
{
    for (const Deadline& row : DEADLINES) {
        FreshDevice();
        device().SetTick(row.start);
        std::atomic<bool> woke{false};
        DWORD before = 0, after = 0;
        Run([&] {
            HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            before = GetTickCount();
            if (row.wait)
                WaitForSingleObject(never, row.ms);
            else
                Sleep(row.ms);
            after = GetTickCount();
            woke = true;
            return 0;
        });
        EXPECT_EQ(row.start, before) << row.what;
        for (int step = 0; step < 3; ++step) {
            device().Advance(row.steps[step]);
            EXPECT_EQ(row.woke_after >= 0 && step >= row.woke_after, (bool)woke) << row.what << ", step " << step;
        }
        if (row.woke_after >= 0)
            EXPECT_EQ(row.woke_at, after) << row.what;
    }
}

TEST_F(cesimKernel, TheClockStandsStillBetweenAdvances)
{
    device().SetTick(1000);
    DWORD pid = Run([] { return Pump(); });
    auto now = [&] { return device().RunInProcess(pid, [] { return GetTickCount(); }); };
    EXPECT_EQ(1000u, now());
    EXPECT_EQ(1000u, now());
    device().Advance(250);
    EXPECT_EQ(1250u, now());
    EXPECT_EQ(1250u, device().Tick());
}

// ---------------------------------------------------------------- named events

// Every process shares one namespace of named events, and the name is free
// again when the last handle to it goes, an ending process's included.
TEST_F(cesimKernel, NamedEventsAreSharedBetweenProcessesUntilTheLastHandleGoes)
{
    HANDLE first = nullptr;
    std::atomic<int> releases{0};
    DWORD a = Run([&] {
        first = CreateEventW(nullptr, TRUE, FALSE, u"Velto.Ready");
        return Pump();
    }, u"a.exe");
    DWORD b = Run([&] {
        CreateEventW(nullptr, FALSE, TRUE, u"Velto.Ready");
        EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
        HANDLE second = CreateEventW(nullptr, FALSE, TRUE, u"Velto.Ready");
        WaitForSingleObject(second, INFINITE);
        ++releases;
        return 0;
    }, u"b.exe");
    EXPECT_EQ(0, releases);
    device().RunInProcess(a, [&] { return (DWORD)SetEvent(first); });
    EXPECT_EQ(1, releases);
    EXPECT_FALSE(device().Running(b));  // so its checks were made
    device().RunInProcess(a, [&] { return (DWORD)CloseHandle(first); });
    RunToEnd([] {
        CreateEventW(nullptr, TRUE, FALSE, u"Velto.Ready");
        EXPECT_EQ(0u, GetLastError());
    });
}

// ---------------------------------------------------------------- processes

TEST_F(cesimKernel, AProcessEndsWhenItsFirstThreadReturnsAndTakesItsThreadsAlong)
{
    static std::atomic<bool> sleeperWoke, waiterWoke;
    sleeperWoke = false;
    waiterWoke = false;
    HWND w = nullptr;
    DWORD pid = Run([&] {
        HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                Sleep(INFINITE);
                sleeperWoke = true;
                return 0;
            },
            nullptr, 0, nullptr);
        CreateThread(
            nullptr, 0,
            [](LPVOID e) -> DWORD {
                WaitForSingleObject((HANDLE)e, INFINITE);
                waiterWoke = true;
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

// ---------------------------------------------------------------- settling

std::atomic<bool> g_stopSpinning{false};

// The limit is a millisecond of real time: the test does not wait on it.
TEST_F(cesimKernel, SettleGivesUpOnAThreadThatNeverWaits)
{
    g_stopSpinning = false;
    device().SetSettleLimit(std::chrono::milliseconds(1));
    device().StartFunction(u"spinner.exe", [] {
        while (!g_stopSpinning)
            GetTickCount();  // busy, but never waiting
        return 0;
    });
    simtest::ExpectErrorSays([&] { device().Settle(); }, {"did not settle within 1 ms", "spinner.exe"});
    g_stopSpinning = true;
    device().SetSettleLimit(std::chrono::seconds(5));
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
        FreshDevice();
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
