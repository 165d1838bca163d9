// The simulated Pocket PC's state: one world behind one mutex.
//
// Program threads are real threads; time is virtual. Every platform call that
// would block parks its thread on its own condition variable, and the test
// side settles (waits until every simulated thread is parked) and advances the
// clock. Objects live as long as the world, so handles held by tests or by the
// program never dangle; a destroyed window or an exited process is marked, not
// freed.
#pragma once

#include <cesim/device.h>
#include <cesim/win32.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cesim {

// The world's lock. In the ThreadSanitizer build it does not count as
// synchronisation between threads, and what the device does while holding
// it is not watched: the races that matter are the program's, and the only
// orderings between simulated threads are the platform's own (sends, posts,
// events, waits, critical sections, threads starting and ending), marked
// where they happen with SyncRelease and SyncAcquire.
class WorldMutex {
public:
    void lock();
    void unlock();

private:
    std::mutex m_;
};

using Lock = std::unique_lock<WorldMutex>;
using Text = std::u16string;

// A happens-before edge for ThreadSanitizer from every SyncRelease on an
// address to the SyncAcquire on it that follows; nothing in other builds.
void SyncRelease(const void* address);
void SyncAcquire(const void* address);

struct Process;
struct Thread;
struct Window;
struct WindowClass;
struct ResourceSet;
struct UiData;

// Thrown inside a simulated thread whose process has ended, to unwind it.
struct ThreadKilled {};

struct QueuedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;  // GetTickCount when it was posted
    POINT pt{};  // the screen point: a tap's own, else where the last tap was
};

// A message sent to a window of another thread (or held by a fixture window),
// waiting to be handled. It is shared by its sender and its receiver, so that
// either can end first: a sender that goes leaves it abandoned (sender null),
// a receiver that goes answers it with 0.
struct SentMessage {
    Window* target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    Thread* sender;  // null for a notification, or once the sender has gone
    bool done = false;
    LRESULT result = 0;
    // The platform's own work on the receiver's thread, instead of the window procedure.
    std::function<LRESULT(Lock&)> work = nullptr;
};
using SentPtr = std::shared_ptr<SentMessage>;

struct Thread {
    DWORD id = 0;
    Process* process = nullptr;
    std::string name;
    bool real = false;  // a real OS thread; fixture programs have a virtual one
    std::thread os;

    // scheduling
    bool parked = false;
    bool takes_messages = false;  // parked in a wait that sent messages end
    std::optional<uint64_t> deadline;
    const void* waiting_on = nullptr;
    bool wait_satisfied = false;  // an object it waited on was handed to it
    std::string activity;  // what the thread is doing, for diagnostics
    std::condition_variable_any cv;
    uint64_t wakeups = 0;  // times it was woken from a park

    // platform calls the program made on this thread, by name
    std::map<std::string, uint64_t> calls;
    int call_depth = 0;  // > 0 inside a platform call: nested calls are the platform's own
    const char* call = nullptr;  // the program's platform call it is in, outermost

    // messages
    std::deque<QueuedMessage> posted;
    std::deque<SentPtr> incoming;
    bool quit = false;
    int quit_code = 0;
    MSG last_message{};

    bool finished = false;
    bool killed = false;
    DWORD exit_code = STILL_ACTIVE;
    DWORD last_error = 0;
};

struct WindowClass {
    Process* owner = nullptr;  // null: a system class
    Text name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HBRUSH background = nullptr;
    bool registered = true;
};

struct Window {
    HWND handle = nullptr;
    bool alive = true;
    WindowClass* cls = nullptr;
    Text class_name;
    Text title;
    DWORD style = 0;
    DWORD exstyle = 0;
    RECT rect{};  // relative to the parent's client area; screen for top-level windows
    Window* parent = nullptr;
    std::vector<Window*> children;  // front first
    Thread* thread = nullptr;
    WNDPROC proc = nullptr;
    LONG user_data = 0;
    LONG id = 0;

    bool needs_paint = false;
    bool needs_erase = false;

    bool activatable = true;  // false: never becomes the foreground window

    // fixture windows: how they answer, what they got
    bool fixture = false;
    bool closes_on_close = true;
    bool holds_sends = false;  // sent messages wait for the test's answer
    std::deque<SentPtr> held;
    std::vector<ReceivedMessage> received;

    std::vector<DrawOp> drawn;
};

struct Process {
    DWORD id = 0;
    Text exe_name;
    Text path;
    HINSTANCE module = nullptr;
    bool fixture = false;
    void* image = nullptr;  // dlopen handle of a program image
    std::shared_ptr<const ResourceSet> resources;
    std::vector<std::unique_ptr<WindowClass>> classes;
    std::vector<Thread*> threads;
    Thread* main_thread = nullptr;
    bool exited = false;
    DWORD exit_code = STILL_ACTIVE;
    std::map<std::string, int> handles_at_exit;
};

// A critical section: an owner and a recursion count.
struct LockObject {
    Thread* owner = nullptr;
    int count = 0;
};

// A program file on the simulated device, as ExtractIconExW reads it.
struct ProgramFile {
    std::vector<SIZE> images;  // the images of its one icon; none: no icon
};

// Kernel objects reached through HANDLEs.
struct KernelObject {
    enum Kind { EVENT, THREAD, PROCESS } kind;
    int references = 0;
    // events
    bool manual_reset = false;
    bool signaled = false;
    Text name;
    // threads
    Thread* thread = nullptr;
    // processes
    Process* process = nullptr;
};

struct HandleEntry {
    enum Kind { KERNEL, REGISTRY } kind;
    Process* owner = nullptr;
    KernelObject* object = nullptr;
    std::string key_path;  // registry: canonical path of the open key
};

class World {
public:
    World();
    ~World();

    static World& Get();      // the live world; a clear error when there is none
    static World* Current();  // may be null

    WorldMutex mu;

    // ---- threads and time (world.cpp)
    Thread* Self(Lock& lk, const char* call);  // the calling simulated thread
    Thread* SelfOrNull();
    Thread* NewThread(Lock& lk, Process* process, std::string name, bool real);
    void StartThread(Lock& lk, Thread* t, std::function<DWORD()> body);
    void Park(Lock& lk, Thread* t, const char* activity, std::optional<uint64_t> deadline, bool takes_messages,
              const void* waiting_on = nullptr);
    void Wake(Thread* t);
    void WakeWaitersOn(const void* object);
    void WakeForMessages(Thread* t);
    void Settle(Lock& lk);
    void Advance(Lock& lk, uint64_t ms);
    // The run token: in the deterministic mode one simulated thread runs at a
    // time, and only while the test settles or advances the clock. A thread
    // that parks or ends hands it to the thread that became runnable first.
    bool free_running = false;  // no token: threads run as the host schedules them
    bool settling = false;      // the test side waits in Settle or Advance
    Thread* holder = nullptr;   // the thread that holds the token
    std::deque<Thread*> ready;  // runnable threads waiting for the token, in order
    void HandOn();              // gives a free token to the next ready thread
    void WaitForToken(Lock& lk, Thread* t);
    std::chrono::milliseconds settle_limit{5000};  // real time a settle waits for a busy thread
    uint64_t now = 0;         // virtual milliseconds since the world began
    uint32_t tick_base = 0;   // GetTickCount at now == 0
    DWORD Tick() const { return (DWORD)(tick_base + now); }
    void Fail(std::string message);  // records a misuse seen on a simulated thread
    void ThrowIfFailed();

    // ---- processes (world.cpp)
    Process* NewProcess(Lock& lk, Text exe_name, bool fixture);
    Process* NewProcessUnlocked(Text exe_name, bool fixture);
    Process* FindProcess(DWORD id);
    Process* ProcessOfModule(HINSTANCE module);
    void ExitProcess(Lock& lk, Process* p, DWORD code);
    // Every live handle a process holds, by kind: "window", "class", "menu",
    // "dc", "icon", "bitmap", "registry", "event", "thread", "process".
    std::map<std::string, int> CountHandles(Process* p);
    void FinishThread(Lock& lk, Thread* t, DWORD code);

    // ---- windows (windows.cpp)
    Window* FindWindowObject(HWND h);  // alive windows only
    Window* AnyWindowObject(HWND h);   // destroyed ones too
    Window* NewWindow(Lock& lk, WindowClass* cls, Thread* thread);
    void DestroyWindowTree(Lock& lk, Window* w, bool notify);
    std::vector<Window*>& Siblings(Window* w);
    RECT ScreenRect(Window* w);
    POINT ClientOrigin(Window* w);
    bool VisibleOnScreen(Window* w);
    void PlaceInZOrder(Window* w, HWND after);
    // The one activation path: makes w (its top-level window; null for none)
    // the foreground window, raises it and tells both windows by WM_ACTIVATE.
    void Activate(Lock& lk, Window* w);
    // A call asked to activate a window that never becomes the foreground
    // window (the taskbar): only the log sees it.
    void ActivationRefused(Window* w);
    void LogActivation(Window* w, bool foreground);
    std::vector<Activation> activations;
    const char* test_call = nullptr;  // the Device method running on the test's thread, for the log
    Window* NextActive(Window* gone);  // the window that takes over when the foreground goes
    void Deactivate(Lock& lk, Window* w);  // hands the foreground on if w has it
    Window* WindowAt(POINT screen);        // the visible window under a point, children first
    void Show(Window* w);  // makes it visible and due for painting
    void NotifyMoved(Lock& lk, Window* w, RECT old);  // WM_MOVE and WM_SIZE after a change
    WindowClass* FindClass(Process* p, const Text& name);
    WindowClass* SystemClass(const Text& name);
    Window* desktop_root = nullptr;  // the screen, when no shell desktop is present
    Window* shell_desktop = nullptr;
    Window* foreground = nullptr;
    std::vector<Window*> top_level;  // front first
    std::map<uintptr_t, std::unique_ptr<Window>> windows;
    std::vector<std::unique_ptr<WindowClass>> system_classes;
    uintptr_t next_window = 0x10000;
    std::vector<Text> failing_window_classes;  // CreateWindowExW fails for windows of these classes

    // ---- system parameters (system.cpp)
    RECT work_area{0, 0, 240, 320};
    bool fail_work_area_query = false;
    UINT double_click_time = 500;

    // ---- messages (messages.cpp)
    LRESULT CallProc(Lock& lk, Window* w, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Send(Lock& lk, Window* w, UINT message, WPARAM wParam, LPARAM lParam, bool wait);
    void Post(Lock& lk, Window* w, UINT message, WPARAM wParam, LPARAM lParam);
    void PostAt(Window* w, UINT message, WPARAM wParam, LPARAM lParam, POINT pt);
    // Does work on w's thread, waiting for it as a send does (at once for a fixture window).
    LRESULT OnWindowsThread(Lock& lk, Window* w, const std::function<LRESULT(Lock&)>& work);
    bool HandleIncoming(Lock& lk, Thread* self);  // handles one sent message; false when none
    void AnswerPending(Window* w);  // messages sent to a window that has gone get 0
    void Answer(const SentPtr& m, LRESULT result);  // done: the sender, if any, goes on
    LRESULT WaitForAnswer(Lock& lk, Thread* self, const SentPtr& m, std::deque<SentPtr>& queue);
    bool RunFixtures(Lock& lk);
    LRESULT FixtureReceive(Lock& lk, Window* w, UINT message, WPARAM wParam, LPARAM lParam, bool sent);

    // ---- modal loops of menus and dialogs (modal.cpp)
    // Runs a modal loop on the calling thread until step() says it is over:
    // sent messages are handled, the thread's posted messages and paints are
    // dispatched as GetMessageW and DispatchMessageW would, and the thread
    // parks (taking messages) while nothing is to be done. step() runs with
    // the lock held and handles the loop's own input. A quit ends the loop
    // too; the quit stays pending for the thread's message loop.
    void ModalLoop(Lock& lk, Thread* self, const char* activity, const std::function<bool()>& step);
    POINT cursor{0, 0};  // where the last tap was, on the screen
    std::map<Text, ProgramFile> program_files;  // by path, as the process paths name them

    // ---- menus and dialogs (menus.cpp, dialogs.cpp)
    std::unique_ptr<UiData> ui;

    // ---- kernel handles (kernel.cpp)
    HANDLE NewHandle(HandleEntry entry);
    HandleEntry* FindHandle(HANDLE h, HandleEntry::Kind kind);
    void CloseHandleEntry(Lock& lk, HANDLE h);
    std::map<uintptr_t, HandleEntry> handles;
    std::vector<std::unique_ptr<KernelObject>> objects;
    std::map<Text, KernelObject*> named_objects;
    std::map<Text, int> wait_faults;  // event name: waits on it that fail (-1: all)
    std::vector<std::unique_ptr<LockObject>> locks;
    std::map<int, uintptr_t> next_handle_of;  // by range: registry keys, then each kernel kind

    static const char* KindName(const KernelObject* o);  // "event", "thread" or "process"

    // ---- bookkeeping
    std::map<std::string, uint64_t> calls;
    std::vector<std::unique_ptr<Process>> processes;
    std::vector<std::unique_ptr<Thread>> threads;
    DWORD next_id = 0x100;
    int runnable = 0;
    std::condition_variable_any settled;
    std::vector<std::string> failures;

    // ---- registry (registry.cpp)
    struct RegistryData;
    std::unique_ptr<RegistryData> registry;

    // ---- shell tray (tray.cpp)
    std::vector<TrayIcon> tray;

    // ---- drawing (gdi.cpp)
    struct GdiData;
    std::unique_ptr<GdiData> gdi;

private:
    static World* instance_;
};

// Begins a platform call: locks the world, counts the call and names the
// calling thread. Win32 calls made from a thread the device does not know
// are misuse and fail loudly. Only the program's own calls are counted: the
// calls a platform call makes on its way are not.
struct Call {
    World& w;
    Lock lk;
    Thread* self;
    const char* outer;  // the call name it replaced
    explicit Call(const char* name, bool counted = true);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    // The live window a call names; null, with the error set, when there is none.
    Window* Live(HWND h);
};

// Marks the rest of a platform call that goes on through other platform
// calls (DefWindowProcW destroying a window, say): those are not counted.
struct Nested {
    Thread* t;
    Nested();
    ~Nested();
};

// Program code called back from the platform (a window procedure, an
// enumeration callback): its calls are the program's own again.
struct InProgram {
    Thread* t;
    int saved;
    explicit InProgram(Thread* thread) : t(thread), saved(thread ? thread->call_depth : 0)
    {
        if (t)
            t->call_depth = 0;
    }
    ~InProgram()
    {
        if (t)
            t->call_depth = saved;
    }
};

// Releases the world's lock while the program runs (a window procedure, an
// enumeration callback) and takes it back afterwards, also on unwinding.
struct Unlocked {
    Lock& lk;
    explicit Unlocked(Lock& l) : lk(l) { lk.unlock(); }
    ~Unlocked() { lk.lock(); }
};

// Text (text.cpp). Case-insensitive comparison as the window manager and the
// registry do it.
bool SameNoCase(const Text& a, const Text& b);
char16_t FoldCase(char16_t c);
Text ToText(LPCWSTR s);  // null gives the empty text
std::string Narrow(const Text& s);

// Sets a thread's last error (no thread: nothing), as a failing call does
// (world.cpp).
void SetError(Thread* t, DWORD error);

}  // namespace cesim
