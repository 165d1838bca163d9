// Message queues: posting, sending across threads, the message loop.
//
// Each thread has a queue of posted messages, a queue of messages sent to it
// by other threads, a quit flag and its windows' pending paints. A thread
// handles messages sent to it whenever it waits in GetMessageW or for the
// answer to a message of its own. Windows of fixture programs are served by
// the device itself: what is posted to them arrives when the device settles,
// what is sent to them is answered at once; they record all of it.
#include "world.h"

#include <algorithm>

namespace cesim {

LRESULT World::CallProc(Lock& lk, Window* w, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = w->proc;
    HWND h = w->handle;
    if (proc == nullptr)
        return 0;
    Unlocked unlocked(lk);
    InProgram program(SelfOrNull());
    return proc(h, message, wParam, lParam);
}

LRESULT World::FixtureReceive(Lock& lk, Window* w, UINT message, WPARAM wParam, LPARAM lParam, bool sent)
{
    w->received.push_back(ReceivedMessage{message, wParam, lParam, sent, Tick()});
    if (message == WM_CLOSE && w->closes_on_close)
        DestroyWindowTree(lk, w, false);
    return 0;
}

void World::Answer(const SentPtr& m, LRESULT result)
{
    if (m->done)
        return;
    SyncRelease(m.get());
    m->done = true;
    m->result = result;
    if (m->sender != nullptr)
        Wake(m->sender);
}

// Waits for the answer to a message that sits in queue (a thread's incoming
// messages, or a fixture window's held ones), handling what is sent to this
// thread meanwhile. A sender that is ended here takes its message back, or
// leaves it abandoned if the receiver is already at it.
LRESULT World::WaitForAnswer(Lock& lk, Thread* self, const SentPtr& m, std::deque<SentPtr>& queue)
{
    struct Withdraw {
        const SentPtr& m;
        std::deque<SentPtr>& queue;
        ~Withdraw()
        {
            if (m->done)
                return;
            queue.erase(std::remove(queue.begin(), queue.end(), m), queue.end());
            m->sender = nullptr;
        }
    } withdraw{m, queue};
    while (!m->done) {
        if (!HandleIncoming(lk, self))
            Park(lk, self, "SendMessageW (waiting for the answer)", std::nullopt, true);
    }
    SyncAcquire(m.get());
    return m->result;
}

LRESULT World::Send(Lock& lk, Window* w, UINT message, WPARAM wParam, LPARAM lParam, bool wait)
{
    Thread* self = SelfOrNull();
    if (w->fixture) {
        LRESULT result = FixtureReceive(lk, w, message, wParam, lParam, true);
        if (!w->holds_sends || !wait || self == nullptr || !w->alive)
            return result;
        auto m = std::make_shared<SentMessage>(SentMessage{w, message, wParam, lParam, self});
        SyncRelease(m.get());
        w->held.push_back(m);
        return WaitForAnswer(lk, self, m, w->held);
    }
    if (w->thread == self)
        return CallProc(lk, w, message, wParam, lParam);
    if (w->thread->finished)
        return 0;
    if (!wait) {
        auto m = std::make_shared<SentMessage>(SentMessage{w, message, wParam, lParam, nullptr});
        SyncRelease(m.get());
        w->thread->incoming.push_back(m);
        WakeForMessages(w->thread);
        return 0;
    }
    if (self == nullptr)
        throw Error("cesim: a message can only be sent and waited for from a simulated thread");
    auto m = std::make_shared<SentMessage>(SentMessage{w, message, wParam, lParam, self});
    SyncRelease(m.get());
    Thread* receiver = w->thread;
    receiver->incoming.push_back(m);
    WakeForMessages(receiver);
    return WaitForAnswer(lk, self, m, receiver->incoming);
}

LRESULT World::OnWindowsThread(Lock& lk, Window* w, const std::function<LRESULT(Lock&)>& work)
{
    Thread* self = SelfOrNull();
    if (w->thread == self || self == nullptr || (w->fixture && !w->holds_sends))
        return work(lk);
    // Shown as the first message the window's thread would take for it.
    auto m = std::make_shared<SentMessage>(SentMessage{w, WM_WINDOWPOSCHANGING, 0, 0, self});
    m->work = work;
    SyncRelease(m.get());
    if (w->fixture) {
        w->held.push_back(m);  // the test's answer does the work
        return WaitForAnswer(lk, self, m, w->held);
    }
    if (w->thread->finished)
        return 0;
    Thread* receiver = w->thread;
    receiver->incoming.push_back(m);
    WakeForMessages(receiver);
    return WaitForAnswer(lk, self, m, receiver->incoming);
}

bool World::HandleIncoming(Lock& lk, Thread* self)
{
    if (self->incoming.empty())
        return false;
    SentPtr m = self->incoming.front();
    self->incoming.pop_front();
    // Answered whatever happens, also when this thread is ended while at it.
    struct Answering {
        World& w;
        const SentPtr& m;
        LRESULT result = 0;
        ~Answering() { w.Answer(m, result); }
    } answering{*this, m};
    SyncAcquire(m.get());
    if (m->target->alive)
        answering.result = m->work ? m->work(lk) : CallProc(lk, m->target, m->message, m->wParam, m->lParam);
    return true;
}

void World::AnswerPending(Window* w)
{
    for (auto& t : threads) {
        auto& q = t->incoming;
        for (auto it = q.begin(); it != q.end();) {
            if ((*it)->target != w) {
                ++it;
                continue;
            }
            SentPtr m = *it;
            it = q.erase(it);
            Answer(m, 0);
        }
    }
    std::deque<SentPtr> held;
    held.swap(w->held);
    for (const SentPtr& m : held)
        Answer(m, 0);
}

void World::Post(Lock&, Window* w, UINT message, WPARAM wParam, LPARAM lParam)
{
    PostAt(w, message, wParam, lParam, cursor);
}

void World::PostAt(Window* w, UINT message, WPARAM wParam, LPARAM lParam, POINT pt)
{
    SyncRelease(&w->thread->posted);
    w->thread->posted.push_back(QueuedMessage{w->handle, message, wParam, lParam, Tick(), pt});
    if (w->thread->real)
        WakeForMessages(w->thread);
}

bool World::RunFixtures(Lock& lk)
{
    bool any = false;
    for (auto& t : threads) {
        if (t->real)
            continue;
        while (!t->posted.empty()) {
            QueuedMessage m = t->posted.front();
            t->posted.pop_front();
            any = true;
            if (Window* w = FindWindowObject(m.hwnd))
                FixtureReceive(lk, w, m.message, m.wParam, m.lParam, false);
        }
    }
    return any;
}

static bool InRange(UINT message, UINT low, UINT high)
{
    return (low == 0 && high == 0) || (message >= low && message <= high);
}

extern "C" {

BOOL WINAPI GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax)
{
    Call c("GetMessageW");
    World& w = c.w;
    Thread* self = c.self;
    if (msg == nullptr || (window != nullptr && w.FindWindowObject(window) == nullptr)) {
        SetError(self, msg == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    for (;;) {
        if (w.HandleIncoming(c.lk, self))
            continue;
        for (auto it = self->posted.begin(); it != self->posted.end(); ++it) {
            if ((window == nullptr || it->hwnd == window) && InRange(it->message, filterMin, filterMax)) {
                SyncAcquire(&self->posted);
                *msg = MSG{it->hwnd, it->message, it->wParam, it->lParam, it->time, it->pt};
                self->posted.erase(it);
                self->last_message = *msg;
                return msg->message != WM_QUIT;
            }
        }
        if (self->quit && window == nullptr) {
            self->quit = false;
            *msg = MSG{nullptr, WM_QUIT, (WPARAM)self->quit_code, 0, w.Tick(), w.cursor};
            self->last_message = *msg;
            return FALSE;
        }
        if (InRange(WM_PAINT, filterMin, filterMax)) {
            for (auto& entry : w.windows) {
                Window* win = entry.second.get();
                if (win->alive && win->thread == self && win->needs_paint && w.VisibleOnScreen(win) &&
                    (window == nullptr || win->handle == window)) {
                    *msg = MSG{win->handle, WM_PAINT, 0, 0, w.Tick(), w.cursor};
                    return TRUE;
                }
            }
        }
        w.Park(c.lk, self, "GetMessageW (waiting for a message)", std::nullopt, true);
    }
}

BOOL WINAPI TranslateMessage(const MSG*)
{
    Call c("TranslateMessage");
    return FALSE;
}

LRESULT WINAPI DispatchMessageW(const MSG* msg)
{
    Call c("DispatchMessageW");
    if (msg == nullptr)
        return 0;
    Window* w = c.w.FindWindowObject(msg->hwnd);
    if (w == nullptr || w->thread != c.self)
        return 0;
    return c.w.CallProc(c.lk, w, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Call c("PostMessageW");
    if (window == nullptr) {
        SyncRelease(&c.self->posted);
        c.self->posted.push_back(QueuedMessage{nullptr, message, wParam, lParam, c.w.Tick(), c.w.cursor});
        return TRUE;
    }
    Window* w = c.Live(window);
    if (w == nullptr)
        return FALSE;
    c.w.Post(c.lk, w, message, wParam, lParam);
    return TRUE;
}

LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Call c("SendMessageW");
    Window* w = c.Live(window);
    if (w == nullptr)
        return 0;
    return c.w.Send(c.lk, w, message, wParam, lParam, true);
}

void WINAPI PostQuitMessage(int exitCode)
{
    Call c("PostQuitMessage");
    c.self->quit = true;
    c.self->quit_code = exitCode;
}

LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        Call c("DefWindowProcW");
        if (c.w.FindWindowObject(window) == nullptr)
            return 0;
    }
    Nested platform;
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_SETTEXT: {
        Call c("DefWindowProcW", false);
        if (Window* w = c.w.FindWindowObject(window))
            w->title = ToText((LPCWSTR)lParam);
        return TRUE;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush;
        {
            Call c("DefWindowProcW", false);
            Window* w = c.w.FindWindowObject(window);
            brush = w ? w->cls->background : nullptr;
        }
        if (brush == nullptr)
            return 0;
        RECT r;
        GetClientRect(window, &r);
        FillRect((HDC)wParam, &r, brush);
        return 1;
    }
    }
    return 0;
}

DWORD WINAPI GetMessagePos(void)
{
    Call c("GetMessagePos");
    return (DWORD)MAKELONG(c.self->last_message.pt.x, c.self->last_message.pt.y);
}

}  // extern "C"

}  // namespace cesim
