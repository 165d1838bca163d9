// What the test side of the device shares: the world locked for the length
// of one Device call, and the checks that turn a test's unknown handle or id
// into an error that says what was wrong.
#pragma once

#include "world.h"

#include <string>

namespace cesim {

// The world with its lock taken; the lock goes when the Device call ends:
//     auto&& [w, lk] = LockWorld();
struct LockedWorld {
    World& w;
    Lock lk;
};

inline LockedWorld LockWorld()
{
    World& w = World::Get();
    return LockedWorld{w, Lock(w.mu)};
}

inline Window* TestWindow(World& w, HWND h, const char* what)
{
    Window* win = w.AnyWindowObject(h);
    if (win == nullptr)
        throw Error(std::string("cesim: ") + what + ": no window has the handle " + std::to_string((uintptr_t)h));
    return win;
}

inline Window* LiveWindow(World& w, HWND h, const char* what)
{
    Window* win = TestWindow(w, h, what);
    if (!win->alive)
        throw Error(std::string("cesim: ") + what + ": the window " + std::to_string((uintptr_t)h) +
                    " has been destroyed");
    return win;
}

inline Process* TestProcess(World& w, DWORD id, const char* what)
{
    Process* p = w.FindProcess(id);
    if (p == nullptr)
        throw Error(std::string("cesim: ") + what + ": no process has the id " + std::to_string(id));
    return p;
}

// Names the Device method that runs on the test's thread, for the activation log.
struct TestCall {
    World& w;
    const char* saved;
    TestCall(World& world, const char* name) : w(world), saved(world.test_call) { w.test_call = name; }
    ~TestCall() { w.test_call = saved; }
};

}  // namespace cesim
