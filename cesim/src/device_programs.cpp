// The test side of the device: programs started on it, the clock, and the
// counters of calls and wake-ups.
#include "device_side.h"
#include "resources.h"

namespace cesim {

// ---------------------------------------------------------------- programs

bool Device::Running(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    return !TestProcess(w, process, "Running")->exited;
}

DWORD Device::ExitCode(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    return TestProcess(w, process, "ExitCode")->exit_code;
}

int Device::ThreadCount(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    int n = 0;
    for (Thread* t : TestProcess(w, process, "ThreadCount")->threads)
        n += t->real && !t->finished;
    return n;
}

std::map<std::string, int> Device::Handles(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    Process* p = TestProcess(w, process, "Handles");
    return p->exited ? p->handles_at_exit : w.CountHandles(p);
}

int Device::OpenHandles(DWORD process, const std::string& kind) const
{
    auto all = Handles(process);
    auto it = all.find(kind);
    if (it == all.end()) {
        std::string kinds;
        for (auto& k : all)
            kinds += (kinds.empty() ? "\"" : ", \"") + k.first + "\"";
        throw Error("cesim: OpenHandles: the kinds of handle are " + kinds + ", not \"" + kind + "\"");
    }
    return it->second;
}

DWORD Device::Start(const std::string& image_path, const std::u16string& command_line, const std::u16string& exe_name)
{
    World& w = World::Get();
    void* image = OpenImage(image_path);
    auto entry = (int (*)(HINSTANCE, HINSTANCE, LPWSTR, int))FindImageSymbol(image, "wWinMain");
    if (entry == nullptr) {
        CloseImage(image);
        throw Error("cesim: " + image_path + " has no wWinMain; it is not a program image");
    }
    auto resources = LoadImageResources(image, image_path);
    Lock lk(w.mu);
    Process* p = w.NewProcess(lk, exe_name, false);
    p->image = image;
    p->resources = resources;
    auto line = std::make_shared<std::u16string>(command_line);
    HINSTANCE module = p->module;
    w.StartThread(lk, p->main_thread, [entry, module, line]() -> DWORD {
        return (DWORD)entry(module, nullptr, line->data(), SW_SHOW);
    });
    return p->id;
}

DWORD Device::StartFunction(const std::u16string& exe_name, std::function<int()> main,
                             const std::string& resource_file)
{
    if (!main)
        throw Error("cesim: StartFunction needs a function to run");
    std::shared_ptr<ResourceSet> resources;
    if (!resource_file.empty()) {
        resources = std::make_shared<ResourceSet>();
        resources->file = ResourceFile::Read(resource_file);
    }
    auto&& [w, lk] = LockWorld();
    Process* p = w.NewProcess(lk, exe_name, false);
    p->resources = resources;
    w.StartThread(lk, p->main_thread, [main]() -> DWORD { return (DWORD)main(); });
    return p->id;
}

namespace {

// A thread of the test's own, started in a running program to make the
// test's call there; `what` names the Device method for its errors.
Thread* StartTestThread(World& w, Lock& lk, DWORD process, std::function<DWORD()> fn, const char* what)
{
    if (!fn)
        throw Error(std::string("cesim: ") + what + " needs a function to run");
    Process* p = TestProcess(w, process, what);
    if (p->exited || p->fixture)
        throw Error(std::string("cesim: ") + what + ": process " + std::to_string(process) +
                    " is not a running program");
    Thread* t = w.NewThread(lk, p, what, true);
    w.StartThread(lk, t, std::move(fn));
    return t;
}

}  // namespace

DWORD Device::RunInProcess(DWORD process, std::function<DWORD()> fn)
{
    auto&& [w, lk] = LockWorld();
    Thread* t = StartTestThread(w, lk, process, std::move(fn), "RunInProcess");
    w.Settle(lk);
    if (!t->finished)
        throw Error("cesim: RunInProcess: the call is still waiting after the device settled (in " + t->activity + ")");
    return t->exit_code;
}

DWORD Device::StartInProcess(DWORD process, std::function<DWORD()> fn)
{
    auto&& [w, lk] = LockWorld();
    return StartTestThread(w, lk, process, std::move(fn), "StartInProcess")->id;
}

std::vector<DWORD> Device::Threads(DWORD process) const
{
    auto&& [w, lk] = LockWorld();
    std::vector<DWORD> ids;
    for (Thread* t : TestProcess(w, process, "Threads")->threads) {
        if (t->real && !t->finished)
            ids.push_back(t->id);
    }
    return ids;
}

// ---------------------------------------------------------------- time

void Device::Settle()
{
    auto&& [w, lk] = LockWorld();
    TestCall named(w, "Settle");
    w.Settle(lk);
}

void Device::Advance(DWORD ms)
{
    auto&& [w, lk] = LockWorld();
    TestCall named(w, "Advance");
    w.Advance(lk, ms);
}

std::optional<DWORD> Device::NextDeadline() const
{
    World& w = World::Get();
    Lock lk(w.mu);
    std::optional<uint64_t> next;
    for (auto& t : w.threads) {
        if (t->parked && t->deadline && (!next || *t->deadline < *next))
            next = t->deadline;
    }
    if (!next)
        return std::nullopt;
    return (DWORD)(*next > w.now ? *next - w.now : 0);
}

DWORD Device::Tick() const
{
    auto&& [w, lk] = LockWorld();
    return w.Tick();
}

void Device::SetTick(DWORD tick)
{
    auto&& [w, lk] = LockWorld();
    w.tick_base = (uint32_t)(tick - (uint32_t)w.now);
}

void Device::SetSettleLimit(std::chrono::milliseconds limit)
{
    if (limit.count() <= 0)
        throw Error("cesim: SetSettleLimit needs a limit of at least 1 ms");
    auto&& [w, lk] = LockWorld();
    w.settle_limit = limit;
}

// ---------------------------------------------------------------- counters

uint64_t Device::Calls(const std::string& api) const
{
    auto&& [w, lk] = LockWorld();
    auto it = w.calls.find(api);
    return it == w.calls.end() ? 0 : it->second;
}

namespace {

uint64_t CallsOf(const Thread* t, const std::string& api)
{
    if (api.empty()) {
        uint64_t n = 0;
        for (auto& entry : t->calls)
            n += entry.second;
        return n;
    }
    auto it = t->calls.find(api);
    return it == t->calls.end() ? 0 : it->second;
}

Thread* TestThread(World& w, DWORD id, const char* what)
{
    for (auto& t : w.threads) {
        if (t->id == id && t->real)
            return t.get();
    }
    throw Error(std::string("cesim: ") + what + ": no simulated thread has the id " + std::to_string(id));
}

}  // namespace

uint64_t Device::Calls(DWORD process, const std::string& api) const
{
    auto&& [w, lk] = LockWorld();
    uint64_t n = 0;
    for (Thread* t : TestProcess(w, process, "Calls")->threads)
        n += CallsOf(t, api);
    return n;
}

uint64_t Device::ThreadCalls(DWORD thread, const std::string& api) const
{
    auto&& [w, lk] = LockWorld();
    return CallsOf(TestThread(w, thread, "ThreadCalls"), api);
}

uint64_t Device::Wakeups(DWORD thread) const
{
    auto&& [w, lk] = LockWorld();
    return TestThread(w, thread, "Wakeups")->wakeups;
}

void Device::FailWaits(const std::u16string& event_name, int times)
{
    if (event_name.empty() || times == 0 || times < -1)
        throw Error("cesim: FailWaits needs an event name and a count of at least 1 (or -1 for always)");
    auto&& [w, lk] = LockWorld();
    w.wait_faults[event_name] = times;
}

}  // namespace cesim
