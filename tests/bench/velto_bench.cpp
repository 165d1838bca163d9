// Benchmarks of Velto on the simulated device. Times include the device's
// own work; the counters are what the program asked of the platform, which
// is the figure that carries over to a real device.
#include <cesim/device.h>

#include <benchmark/benchmark.h>

#include <string>

namespace {

const char* const SETTINGS_KEY = "HKEY_CURRENT_USER\\Software\\Zav\\Velto";
constexpr DWORD PERIOD = 250;

struct Running {
    cesim::Device device;
    cesim::Shell shell;
    DWORD velto;
    DWORD monitor;
    explicit Running(bool monitoring)
    {
        shell = device.InstallShell();
        device.RegSetDword(SETTINGS_KEY, u"Monitoring", monitoring);
        velto = device.Start(VELTO_IMAGE, u"");
        device.Settle();
        monitor = device.Threads(velto).at(1);
    }
    HWND Window(const std::u16string& title)
    {
        cesim::WindowOptions o;
        o.class_name = u"App";
        o.title = title;
        o.style = WS_VISIBLE | WS_SYSMENU;
        return device.AddWindow(device.ProcessOf(shell.desktop), o);
    }
};

// One monitor period while the same window stays in front.
void MonitorIdlePass(benchmark::State& state)
{
    Running r(false);
    r.device.SetForeground(r.Window(u"Notes"));
    r.device.Advance(PERIOD);
    uint64_t calls = r.device.ThreadCalls(r.monitor);
    uint64_t foreground = r.device.ThreadCalls(r.monitor, "GetForegroundWindow");
    uint64_t is_window = r.device.ThreadCalls(r.monitor, "IsWindow");
    for (auto _ : state)
        r.device.Advance(PERIOD);
    double n = (double)state.iterations();
    state.counters["calls/pass"] = (double)(r.device.ThreadCalls(r.monitor) - calls) / n;
    state.counters["GetForegroundWindow/pass"] =
        (double)(r.device.ThreadCalls(r.monitor, "GetForegroundWindow") - foreground) / n;
    state.counters["IsWindow/pass"] = (double)(r.device.ThreadCalls(r.monitor, "IsWindow") - is_window) / n;
}
BENCHMARK(MonitorIdlePass);

// One monitor period on a new foreground window, fitted and reported.
void MonitorNewWindowPass(benchmark::State& state)
{
    Running r(true);
    HWND windows[2] = {r.Window(u"One"), r.Window(u"Two")};
    uint64_t calls = r.device.ThreadCalls(r.monitor);
    int i = 0;
    for (auto _ : state) {
        r.device.SetForeground(windows[i++ % 2]);
        r.device.Advance(PERIOD);
    }
    state.counters["calls/pass"] = (double)(r.device.ThreadCalls(r.monitor) - calls) / (double)state.iterations();
}
BENCHMARK(MonitorNewWindowPass);

// A parked monitor: no calls and no wake-ups, however long.
void ParkedMonitor(benchmark::State& state)
{
    Running r(false);
    r.device.RunInProcess(r.velto, [] {
        HANDLE event = CreateEventW(nullptr, TRUE, TRUE, u"AygshellEvent_");
        ResetEvent(event);
        CloseHandle(event);
        return (DWORD)0;
    });
    r.device.Advance(PERIOD);
    uint64_t calls = r.device.ThreadCalls(r.monitor);
    uint64_t wakeups = r.device.Wakeups(r.monitor);
    for (auto _ : state)
        r.device.Advance(PERIOD);
    state.counters["calls"] = (double)(r.device.ThreadCalls(r.monitor) - calls);
    state.counters["wakeups"] = (double)(r.device.Wakeups(r.monitor) - wakeups);
}
BENCHMARK(ParkedMonitor);

// Opens the task menu from its tray icon and dismisses it, once the
// double-click time (set to 0) has passed.
void OpenAndDismissTheMenu(Running& r, HWND main)
{
    r.device.TrayMouse(main, 0, WM_LBUTTONDOWN);
    r.device.Settle();
    r.device.DismissMenu();
    r.device.Advance(1);
}

// The settings reloaded, with every value stored, as every opening of the
// task menu reloads them: the menu over the shell's desktop window alone.
void SettingsReload(benchmark::State& state)
{
    Running r(false);
    r.device.SetDoubleClickTime(0);
    HWND main = r.device.Find(u"Velto", u"Velto");
    r.device.Advance(1);
    uint64_t queries = r.device.Calls(r.velto, "RegQueryValueExW");
    for (auto _ : state)
        OpenAndDismissTheMenu(r, main);
    state.counters["RegQueryValueExW/reload"] =
        (double)(r.device.Calls(r.velto, "RegQueryValueExW") - queries) / (double)state.iterations();
}
BENCHMARK(SettingsReload);

// Building, measuring and drawing the task menu over n windows, opened and
// dismissed: the cost should grow in step with n.
void TaskMenu(benchmark::State& state)
{
    Running r(false);
    const int n = (int)state.range(0);
    for (int i = 0; i < n; ++i)
        r.Window(u"Window " + cesim::U16(std::to_string(i)));
    r.device.SetDoubleClickTime(0);
    HWND main = r.device.Find(u"Velto", u"Velto");
    r.device.Advance(1);
    uint64_t calls = r.device.Calls(r.velto, "");
    for (auto _ : state)
        OpenAndDismissTheMenu(r, main);
    double per = (double)(r.device.Calls(r.velto, "") - calls) / (double)state.iterations();
    state.counters["calls/opening"] = per;
    state.counters["calls/window"] = per / n;
    state.SetComplexityN(n);
}
BENCHMARK(TaskMenu)->Arg(10)->Arg(100)->Arg(1000)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
