// Kernel: handles, events, threads, waits and the clock.
//
// Time is virtual: GetTickCount reads the device's clock, and Sleep and the
// time-outs of waits park the thread until the test advances the clock past
// their deadline. Named events are shared by every process, as on Windows CE.
#include "world.h"

#include <algorithm>

namespace cesim {

// Registry keys and each kind of kernel object have a value range of their
// own, so that a handle of one kind is never taken for another.
HANDLE World::NewHandle(HandleEntry entry)
{
    int range = entry.kind == HandleEntry::REGISTRY ? 0 : 1 + (int)entry.object->kind;
    uintptr_t& last = next_handle_of[range];
    if (last == 0)
        last = 0x60000000u + ((uintptr_t)range << 24);
    last += 4;
    if (entry.object)
        ++entry.object->references;
    handles[last] = std::move(entry);
    return (HANDLE)last;
}

HandleEntry* World::FindHandle(HANDLE h, HandleEntry::Kind kind)
{
    auto it = handles.find((uintptr_t)h);
    if (it == handles.end() || it->second.kind != kind)
        return nullptr;
    return &it->second;
}

void World::CloseHandleEntry(Lock&, HANDLE h)
{
    auto it = handles.find((uintptr_t)h);
    if (it == handles.end())
        return;
    KernelObject* object = it->second.object;
    handles.erase(it);
    if (object != nullptr && --object->references == 0 && !object->name.empty())
        named_objects.erase(object->name);
}

static KernelObject* Object(Call& c, HANDLE h)
{
    HandleEntry* e = c.w.FindHandle(h, HandleEntry::KERNEL);
    if (e == nullptr) {
        SetError(c.self, ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return e->object;
}

static bool Signaled(KernelObject* o)
{
    switch (o->kind) {
    case KernelObject::EVENT:
        return o->signaled;
    case KernelObject::THREAD:
        return o->thread->finished;
    case KernelObject::PROCESS:
        return o->process->exited;
    }
    return false;
}

extern "C" {

DWORD WINAPI GetLastError(void)
{
    Call c("GetLastError");
    return c.self->last_error;
}

void WINAPI SetLastError(DWORD error)
{
    Call c("SetLastError");
    c.self->last_error = error;
}

int WINAPI lstrlenW(LPCWSTR text)
{
    Call c("lstrlenW");
    int length = 0;
    if (text != NULL)
        while (text[length] != 0)
            ++length;
    return length;
}

DWORD WINAPI GetTickCount(void)
{
    Call c("GetTickCount");
    return c.w.Tick();
}

void WINAPI Sleep(DWORD milliseconds)
{
    Call c("Sleep");
    if (milliseconds == 0)
        return;
    std::optional<uint64_t> deadline;
    if (milliseconds != INFINITE)
        deadline = c.w.now + milliseconds;
    while (!deadline || c.w.now < *deadline)
        c.w.Park(c.lk, c.self, "Sleep", deadline, false);
}

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name)
{
    Call c("CreateEventW");
    Text text = ToText(name);
    KernelObject* object = nullptr;
    if (!text.empty()) {
        auto it = c.w.named_objects.find(text);
        if (it != c.w.named_objects.end()) {
            if (it->second->kind != KernelObject::EVENT) {
                SetError(c.self, ERROR_INVALID_HANDLE);
                return nullptr;
            }
            object = it->second;
        }
    }
    if (object != nullptr) {
        SetError(c.self, ERROR_ALREADY_EXISTS);
    } else {
        c.w.objects.push_back(std::make_unique<KernelObject>());
        object = c.w.objects.back().get();
        object->kind = KernelObject::EVENT;
        object->manual_reset = manualReset != FALSE;
        object->signaled = initialState != FALSE;
        object->name = text;
        if (!text.empty())
            c.w.named_objects[text] = object;
        SetError(c.self, ERROR_SUCCESS);
    }
    return c.w.NewHandle(HandleEntry{HandleEntry::KERNEL, c.self->process, object, {}});
}

BOOL WINAPI SetEvent(HANDLE event)
{
    Call c("SetEvent");
    KernelObject* o = Object(c, event);
    if (o == nullptr || o->kind != KernelObject::EVENT) {
        SetError(c.self, ERROR_INVALID_HANDLE);  // none, or of another kind
        return FALSE;
    }
    SyncRelease(o);
    // The threads waiting now are released now, whatever happens to the event
    // next: all of them for a manual-reset event, the first for an auto-reset one.
    for (auto& t : c.w.threads) {
        if (!t->parked || t->waiting_on != o)
            continue;
        t->wait_satisfied = true;
        c.w.Wake(t.get());
        if (!o->manual_reset)
            return TRUE;
    }
    o->signaled = true;
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE event)
{
    Call c("ResetEvent");
    KernelObject* o = Object(c, event);
    if (o == nullptr || o->kind != KernelObject::EVENT) {
        SetError(c.self, ERROR_INVALID_HANDLE);  // none, or of another kind
        return FALSE;
    }
    o->signaled = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    Call c("WaitForSingleObject");
    KernelObject* o = Object(c, handle);
    if (o == nullptr)
        return WAIT_FAILED;
    auto fault = o->name.empty() ? c.w.wait_faults.end() : c.w.wait_faults.find(o->name);
    if (fault != c.w.wait_faults.end()) {
        if (fault->second > 0 && --fault->second == 0)
            c.w.wait_faults.erase(fault);
        SetError(c.self, ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::optional<uint64_t> deadline;
    if (milliseconds != INFINITE)
        deadline = c.w.now + milliseconds;
    // A thread or process is waited for through its own object, so that its end wakes the waiter.
    const void* waited = o->kind == KernelObject::THREAD    ? (const void*)o->thread
                         : o->kind == KernelObject::PROCESS ? (const void*)o->process
                                                            : (const void*)o;
    for (;;) {
        if (Signaled(o)) {
            if (o->kind == KernelObject::EVENT && !o->manual_reset)
                o->signaled = false;
            SyncAcquire(waited == o ? (const void*)o : waited);
            return WAIT_OBJECT_0;
        }
        if (deadline && c.w.now >= *deadline)
            return WAIT_TIMEOUT;
        c.w.Park(c.lk, c.self, "WaitForSingleObject", deadline, false, waited);
        if (c.self->wait_satisfied) {
            c.self->wait_satisfied = false;
            SyncAcquire(o);
            return WAIT_OBJECT_0;
        }
    }
}

BOOL WINAPI CloseHandle(HANDLE handle)
{
    Call c("CloseHandle");
    if (c.w.FindHandle(handle, HandleEntry::KERNEL) == nullptr) {
        SetError(c.self, ERROR_INVALID_HANDLE);
        return FALSE;
    }
    c.w.CloseHandleEntry(c.lk, handle);
    return TRUE;
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, DWORD, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                           LPDWORD threadId)
{
    Call c("CreateThread");
    if (start == nullptr) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Process* p = c.self->process;
    Thread* t = c.w.NewThread(c.lk, p, Utf8(p->exe_name) + " thread " + std::to_string(p->threads.size()), true);
    c.w.objects.push_back(std::make_unique<KernelObject>());
    KernelObject* object = c.w.objects.back().get();
    object->kind = KernelObject::THREAD;
    object->thread = t;
    if (threadId)
        *threadId = t->id;
    HANDLE h = c.w.NewHandle(HandleEntry{HandleEntry::KERNEL, p, object, {}});
    c.w.StartThread(c.lk, t, [start, parameter]() -> DWORD { return start(parameter); });
    return h;
}

BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode)
{
    Call c("GetExitCodeThread");
    KernelObject* o = Object(c, thread);
    if (o == nullptr || o->kind != KernelObject::THREAD || exitCode == nullptr)
        return FALSE;
    *exitCode = o->thread->exit_code;
    return TRUE;
}

DWORD WINAPI GetCurrentThreadId(void)
{
    Call c("GetCurrentThreadId");
    return c.self->id;
}

DWORD WINAPI GetCurrentProcessId(void)
{
    Call c("GetCurrentProcessId");
    return c.self->process->id;
}

// Critical sections: a thread that finds one taken parks until it is left.
static LockObject* LockOf(Call& c, LPCRITICAL_SECTION section, const char* call)
{
    LockObject* lock = section ? (LockObject*)section->cesim_lock : nullptr;
    for (auto& l : c.w.locks) {
        if (l.get() == lock)
            return lock;
    }
    c.w.Fail(std::string("cesim: ") + call + " was given a critical section that was never initialised");
    return nullptr;
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    Call c("InitializeCriticalSection");
    if (section == nullptr) {
        c.w.Fail("cesim: InitializeCriticalSection was given no critical section");
        return;
    }
    c.w.locks.push_back(std::make_unique<LockObject>());
    section->cesim_lock = c.w.locks.back().get();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    Call c("DeleteCriticalSection");
    LockObject* lock = LockOf(c, section, "DeleteCriticalSection");
    if (lock == nullptr)
        return;
    if (lock->owner != nullptr)
        c.w.Fail("cesim: DeleteCriticalSection: the critical section is still held");
    auto& locks = c.w.locks;
    locks.erase(std::remove_if(locks.begin(), locks.end(), [lock](auto& l) { return l.get() == lock; }), locks.end());
    section->cesim_lock = nullptr;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section)
{
    Call c("EnterCriticalSection");
    LockObject* lock = LockOf(c, section, "EnterCriticalSection");
    if (lock == nullptr)
        return;
    while (lock->owner != nullptr && lock->owner != c.self)
        c.w.Park(c.lk, c.self, "EnterCriticalSection", std::nullopt, false, lock);
    lock->owner = c.self;
    ++lock->count;
    SyncAcquire(lock);
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    Call c("LeaveCriticalSection");
    LockObject* lock = LockOf(c, section, "LeaveCriticalSection");
    if (lock == nullptr)
        return;
    if (lock->owner != c.self) {
        c.w.Fail("cesim: LeaveCriticalSection by a thread that does not hold the critical section");
        return;
    }
    SyncRelease(lock);
    if (--lock->count == 0) {
        lock->owner = nullptr;
        c.w.WakeWaitersOn(lock);
    }
}

// Windows CE ignores the access mask and the inheritance flag.
HANDLE WINAPI OpenProcess(DWORD, BOOL, DWORD processId)
{
    Call c("OpenProcess");
    Process* p = c.w.FindProcess(processId);
    if (p == nullptr || p->exited) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    c.w.objects.push_back(std::make_unique<KernelObject>());
    KernelObject* object = c.w.objects.back().get();
    object->kind = KernelObject::PROCESS;
    object->process = p;
    return c.w.NewHandle(HandleEntry{HandleEntry::KERNEL, c.self->process, object, {}});
}

}  // extern "C"

}  // namespace cesim
