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
    return proc(h, message, wParam, lParam);
}

LRESULT World::FixtureReceive(Lock& lk, Window* w, UINT message, WPARAM wParam, LPARAM lParam, bool sent)
{
    w->received.push_back(ReceivedMessage{message, wParam, lParam, sent, Tick()});
    if (message == WM_CLOSE && w->closes_on_close)
        DestroyWindowTree(lk, w, false);
    return 0;
}

LRESULT World::Send(Lock& lk, Window* w, UINT message, WPARAM wParam, LPARAM lParam, bool wait)
{
    if (w->fixture)
        return FixtureReceive(lk, w, message, wParam, lParam, true);
    Thread* self = SelfOrNull();
    if (w->thread == self)
        return CallProc(lk, w, message, wParam, lParam);
    if (w->thread->finished)
        return 0;
    if (!wait) {
        w->thread->incoming.push_back(new SentMessage{w, message, wParam, lParam, nullptr});
        WakeForMessages(w->thread);
        return 0;
    }
    if (self == nullptr)
        throw Error("cesim: a message can only be sent and waited for from a simulated thread");
    SentMessage m{w, message, wParam, lParam, self};
    Thread* receiver = w->thread;
    receiver->incoming.push_back(&m);
    WakeForMessages(receiver);
    // A sender that is ended while it waits must not leave its message behind.
    struct Withdraw {
        Thread* receiver;
        SentMessage* m;
        ~Withdraw()
        {
            if (!m->done) {
                auto& q = receiver->incoming;
                q.erase(std::remove(q.begin(), q.end(), m), q.end());
            }
        }
    } withdraw{receiver, &m};
    while (!m.done) {
        if (!HandleIncoming(lk, self))
            Park(lk, self, "SendMessageW (waiting for the answer)", std::nullopt, true);
    }
    return m.result;
}

bool World::HandleIncoming(Lock& lk, Thread* self)
{
    if (self->incoming.empty())
        return false;
    SentMessage* m = self->incoming.front();
    self->incoming.pop_front();
    LRESULT result = 0;
    if (m->target->alive)
        result = CallProc(lk, m->target, m->message, m->wParam, m->lParam);
    if (m->sender == nullptr) {
        delete m;
    } else {
        m->done = true;
        m->result = result;
        Wake(m->sender);
    }
    return true;
}

void World::AnswerPending(Window* w)
{
    for (auto& t : threads) {
        auto& q = t->incoming;
        for (auto it = q.begin(); it != q.end();) {
            SentMessage* m = *it;
            if (m->target != w) {
                ++it;
                continue;
            }
            it = q.erase(it);
            if (m->sender == nullptr) {
                delete m;
            } else {
                m->done = true;
                m->result = 0;
                Wake(m->sender);
            }
        }
    }
}

void World::Post(Lock&, Window* w, UINT message, WPARAM wParam, LPARAM lParam)
{
    w->thread->posted.push_back(QueuedMessage{w->handle, message, wParam, lParam, Tick(), cursor});
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
