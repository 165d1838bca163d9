// The world: simulated threads, the virtual clock, processes.
#include "world.h"

#include "gdi.h"
#include "registry.h"
#include "resources.h"
#include "ui.h"

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace cesim {

#if defined(__SANITIZE_THREAD__)
extern "C" {
void AnnotateIgnoreSyncBegin(const char* file, int line);
void AnnotateIgnoreSyncEnd(const char* file, int line);
void AnnotateIgnoreReadsBegin(const char* file, int line);
void AnnotateIgnoreReadsEnd(const char* file, int line);
void AnnotateIgnoreWritesBegin(const char* file, int line);
void AnnotateIgnoreWritesEnd(const char* file, int line);
void __tsan_acquire(void* address);
void __tsan_release(void* address);
}

void WorldMutex::lock()
{
    AnnotateIgnoreSyncBegin(__FILE__, __LINE__);
    m_.lock();
    AnnotateIgnoreSyncEnd(__FILE__, __LINE__);
    AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
    AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
}

void WorldMutex::unlock()
{
    AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
    AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
    AnnotateIgnoreSyncBegin(__FILE__, __LINE__);
    m_.unlock();
    AnnotateIgnoreSyncEnd(__FILE__, __LINE__);
}

void SyncRelease(const void* address) { __tsan_release(const_cast<void*>(address)); }
void SyncAcquire(const void* address) { __tsan_acquire(const_cast<void*>(address)); }
#else
void WorldMutex::lock() { m_.lock(); }
void WorldMutex::unlock() { m_.unlock(); }
void SyncRelease(const void*) {}
void SyncAcquire(const void*) {}
#endif

World* World::instance_ = nullptr;
static thread_local Thread* tls_thread = nullptr;

// A number from the environment; fallback when unset, a clear error when malformed.
static long EnvNumber(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    if (text == nullptr || *text == 0)
        return fallback;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (*end != 0 || value < 0)
        throw Error(std::string("cesim: the environment variable ") + name + " must be a whole number >= 0, not \"" +
                    text + "\"");
    return value;
}

World::World()
{
    if (instance_ != nullptr)
        throw Error("cesim: a Device already exists; only one simulated device can run at a time");
    // CESIM_FREE_RUNNING=1: simulated threads run as the host schedules them
    // (for ThreadSanitizer); CESIM_SETTLE_LIMIT_MS: how long a settle waits
    // for a thread that keeps running (5000 by default).
    free_running = EnvNumber("CESIM_FREE_RUNNING", 0) != 0;
    settle_limit = std::chrono::milliseconds(EnvNumber("CESIM_SETTLE_LIMIT_MS", 5000));
    registry = std::make_unique<RegistryData>();
    ui = std::make_unique<UiData>();
    InitGdi(*this);
    // The bare screen: what GetDesktopWindow returns while no shell desktop exists.
    Process* system = NewProcessUnlocked(u"nk.exe", true);
    Lock lk(mu);
    auto cls = std::make_unique<WindowClass>();
    cls->name = u"#32769";
    WindowClass* screen_class = cls.get();
    system_classes.push_back(std::move(cls));
    desktop_root = NewWindow(lk, screen_class, system->main_thread);
    desktop_root->style = WS_VISIBLE | WS_POPUP;
    desktop_root->rect = RECT{0, 0, 240, 320};
    desktop_root->fixture = true;
    // The screen is not one of the top-level windows that programs enumerate.
    top_level.clear();
    instance_ = this;
}

World::~World()
{
    {
        Lock lk(mu);
        // Every thread unwinds at once, token or not.
        free_running = true;
        for (auto& t : threads) {
            if (t->real && !t->finished) {
                t->killed = true;
                Wake(t.get());
                t->cv.notify_all();
            }
        }
    }
    for (auto& t : threads) {
        if (t->os.joinable())
            t->os.join();
    }
    for (auto& p : processes) {
        if (p->image != nullptr)
            CloseImage(p->image);
    }
    instance_ = nullptr;
}

World& World::Get()
{
    if (instance_ == nullptr)
        throw Error("cesim: no simulated device exists; create a cesim::Device first");
    return *instance_;
}

World* World::Current() { return instance_; }

Call::Call(const char* name, bool counted) : w(World::Get()), lk(w.mu), self(w.Self(lk, name)), outer(self->call)
{
    if (self->call_depth == 0) {
        self->call = name;
        if (counted) {
            ++w.calls[name];
            ++self->calls[name];
        }
    }
    ++self->call_depth;
}

Call::~Call()
{
    if (--self->call_depth == 0)
        self->call = outer;
}

Nested::Nested() : t(tls_thread)
{
    if (t)
        ++t->call_depth;
}

Nested::~Nested()
{
    if (t)
        --t->call_depth;
}

Window* Call::Live(HWND h)
{
    Window* window = w.FindWindowObject(h);
    if (window == nullptr)
        SetError(self, ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

Thread* World::SelfOrNull() { return tls_thread; }

void SetError(Thread* t, DWORD error)
{
    if (t != nullptr)
        t->last_error = error;
}

Thread* World::Self(Lock&, const char* call)
{
    Thread* t = tls_thread;
    if (t == nullptr)
        throw Error(std::string("cesim: ") + call +
                    " was called from a thread that is not a simulated thread; tests act through cesim::Device");
    if (t->killed)
        throw ThreadKilled{};
    t->activity = call;
    return t;
}

Thread* World::NewThread(Lock&, Process* process, std::string name, bool real)
{
    auto t = std::make_unique<Thread>();
    t->id = next_id++;
    t->process = process;
    t->name = std::move(name);
    t->real = real;
    Thread* raw = t.get();
    threads.push_back(std::move(t));
    process->threads.push_back(raw);
    return raw;
}

void World::StartThread(Lock&, Thread* t, std::function<DWORD()> body)
{
    ++runnable;  // counted from now, so a settle cannot slip in before it runs
    t->activity = "starting";
    if (!free_running) {
        ready.push_back(t);
        HandOn();
    }
    SyncRelease(t);
    t->os = std::thread([this, t, body = std::move(body)] {
        tls_thread = t;
        DWORD code = 0;
        try {
            {
                Lock lk(mu);
                WaitForToken(lk, t);
                SyncAcquire(t);
            }
            code = body();
        } catch (ThreadKilled&) {
            code = 0;
        } catch (std::exception& e) {
            Lock lk(mu);
            failures.push_back("simulated thread '" + t->name + "' failed: " + e.what());
        }
        Lock lk(mu);
        if (!t->finished)
            FinishThread(lk, t, code);
    });
}

void World::Park(Lock& lk, Thread* t, const char* activity, std::optional<uint64_t> deadline, bool takes_messages,
                 const void* waiting_on)
{
    if (t->killed)
        throw ThreadKilled{};
    t->parked = true;
    t->takes_messages = takes_messages;
    t->deadline = deadline;
    t->waiting_on = waiting_on;
    t->activity = activity;
    SyncRelease(&settled);  // what it did so far, for the test that settles
    --runnable;
    if (holder == t) {
        holder = nullptr;
        HandOn();
    }
    if (runnable == 0)
        settled.notify_all();
    t->cv.wait(lk, [this, t] { return !t->parked && (free_running || holder == t); });
    SyncAcquire(t);  // what its waker did before waking it
    if (t->killed)
        throw ThreadKilled{};
}

void World::Wake(Thread* t)
{
    if (!t->parked)
        return;
    t->parked = false;
    t->takes_messages = false;
    t->deadline.reset();
    t->waiting_on = nullptr;
    ++t->wakeups;
    ++runnable;
    SyncRelease(t);
    if (free_running) {
        t->cv.notify_one();
        return;
    }
    ready.push_back(t);
    HandOn();
}

void World::HandOn()
{
    if (free_running || holder != nullptr || !settling || ready.empty())
        return;
    holder = ready.front();
    ready.pop_front();
    holder->cv.notify_one();
}

void World::WaitForToken(Lock& lk, Thread* t)
{
    t->cv.wait(lk, [this, t] { return free_running || holder == t; });
}

void World::WakeWaitersOn(const void* object)
{
    for (auto& t : threads) {
        if (t->parked && t->waiting_on == object)
            Wake(t.get());
    }
}

void World::WakeForMessages(Thread* t)
{
    if (t->parked && t->takes_messages)
        Wake(t);
}

void World::Fail(std::string message) { failures.push_back(std::move(message)); }

void World::ThrowIfFailed()
{
    if (failures.empty())
        return;
    std::string all;
    for (auto& f : failures)
        all += f + "\n";
    failures.clear();
    throw Error(all);
}

void World::Settle(Lock& lk)
{
    struct Settling {
        World& w;
        explicit Settling(World& world) : w(world)
        {
            w.settling = true;
            w.HandOn();
        }
        ~Settling() { w.settling = false; }
    } settling_now(*this);
    for (;;) {
        if (!settled.wait_for(lk, settle_limit, [this] { return runnable == 0; })) {
            std::ostringstream out;
            out << "cesim: the device did not settle within " << settle_limit.count()
                << " ms of real time; still running:";
            for (auto& t : threads) {
                if (t->real && !t->finished && !t->parked && (free_running || holder == t.get()))
                    out << "\n  thread " << t->id << " '" << t->name << "' of " << Narrow(t->process->exe_name)
                        << ", last in " << t->activity;
            }
            throw Error(out.str());
        }
        if (!RunFixtures(lk))
            break;
    }
    SyncAcquire(&settled);  // the test reads what the threads did
    ThrowIfFailed();
}

void World::Advance(Lock& lk, uint64_t ms)
{
    const uint64_t target = now + ms;
    Settle(lk);
    for (;;) {
        std::optional<uint64_t> next;
        for (auto& t : threads) {
            if (t->parked && t->deadline && *t->deadline <= target && (!next || *t->deadline < *next))
                next = t->deadline;
        }
        if (!next)
            break;
        if (*next > now)
            now = *next;
        for (auto& t : threads) {
            if (t->parked && t->deadline && *t->deadline <= now)
                Wake(t.get());
        }
        Settle(lk);
    }
    now = target;
}

// ---------------------------------------------------------------- processes

Process* World::NewProcessUnlocked(Text exe_name, bool fixture)
{
    Lock lk(mu);
    return NewProcess(lk, std::move(exe_name), fixture);
}

Process* World::NewProcess(Lock& lk, Text exe_name, bool fixture)
{
    auto p = std::make_unique<Process>();
    p->id = next_id++;
    p->exe_name = exe_name;
    p->path = u"\\Windows\\" + exe_name;
    p->module = (HINSTANCE)(uintptr_t)(0x10000000u + (p->id << 16));
    p->fixture = fixture;
    Process* raw = p.get();
    processes.push_back(std::move(p));
    raw->main_thread = NewThread(lk, raw, Narrow(exe_name) + " main", !fixture);
    return raw;
}

Process* World::FindProcess(DWORD id)
{
    for (auto& p : processes) {
        if (p->id == id)
            return p.get();
    }
    return nullptr;
}

Process* World::ProcessOfModule(HINSTANCE module)
{
    for (auto& p : processes) {
        if (p->module == module && !p->exited)
            return p.get();
    }
    return nullptr;
}

void World::FinishThread(Lock& lk, Thread* t, DWORD code)
{
    SyncRelease(t);  // for a thread that waits for this one to end
    SyncRelease(&settled);
    t->finished = true;
    t->exit_code = code;
    if (t->real && !t->parked)
        --runnable;
    t->parked = false;
    ready.erase(std::remove(ready.begin(), ready.end(), t), ready.end());
    if (holder == t) {
        holder = nullptr;
        HandOn();
    }
    // Messages sent to it are answered; its windows go with it.
    std::deque<SentPtr> unanswered;
    unanswered.swap(t->incoming);
    for (const SentPtr& m : unanswered)
        Answer(m, 0);
    for (auto& entry : windows) {
        Window* w = entry.second.get();
        if (w->alive && w->thread == t)
            DestroyWindowTree(lk, w, false);
    }
    WakeWaitersOn(t);
    if (t == t->process->main_thread && !t->process->exited)
        ExitProcess(lk, t->process, code);
    if (runnable == 0)
        settled.notify_all();
}

std::map<std::string, int> World::CountHandles(Process* p)
{
    std::map<std::string, int> n;
    for (const char* kind : {"window", "class", "menu", "dc", "icon", "bitmap", "registry", "event", "thread",
                             "process"})
        n[kind] = 0;
    for (auto& entry : windows)
        n["window"] += entry.second->alive && entry.second->thread->process == p;
    for (auto& c : p->classes)
        n["class"] += c->registered;
    for (auto& m : ui->menus)
        n["menu"] += m.second->alive && m.second->owner == p;
    for (auto& d : gdi->dcs)
        n["dc"] += d.second.owner == p;
    for (auto& i : gdi->icons)
        n["icon"] += i.second.owner == p;
    for (auto& b : gdi->bitmaps)
        n["bitmap"] += b.second.owner == p;
    for (auto& h : handles) {
        if (h.second.owner == p)
            ++n[h.second.kind == HandleEntry::REGISTRY ? "registry" : KindName(h.second.object)];
    }
    return n;
}

void World::ExitProcess(Lock& lk, Process* p, DWORD code)
{
    // What the process left behind, for leak accounting; then the system
    // takes it all back.
    p->handles_at_exit = CountHandles(p);
    p->exited = true;
    p->exit_code = code;
    for (Thread* t : p->threads) {
        if (t->real && !t->finished) {
            t->killed = true;
            Wake(t);
        }
    }
    for (auto& entry : windows) {
        Window* w = entry.second.get();
        if (w->alive && w->thread->process == p)
            DestroyWindowTree(lk, w, false);
    }
    for (auto& c : p->classes)
        c->registered = false;
    std::vector<uintptr_t> owned;
    for (auto& h : handles) {
        if (h.second.owner == p)
            owned.push_back(h.first);
    }
    for (uintptr_t h : owned)
        CloseHandleEntry(lk, (HANDLE)h);
    WakeWaitersOn(p);
}

const char* World::KindName(const KernelObject* o)
{
    switch (o->kind) {
    case KernelObject::EVENT:
        return "event";
    case KernelObject::THREAD:
        return "thread";
    case KernelObject::PROCESS:
        return "process";
    }
    return "unknown";
}

}  // namespace cesim
