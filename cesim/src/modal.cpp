// The modal loop that menus and dialogs run on their thread.
//
// While a menu is tracked or a dialog runs, the thread is inside a platform
// call, not in its own message loop; this loop stands in for it. Messages
// sent by other threads are answered, and what GetMessageW would hand to the
// thread is dispatched: posted messages first, then paints. The loop's own
// input (a tap on the menu, the end of a dialog) is taken by step().
#include "world.h"

namespace cesim {

void World::ModalLoop(Lock& lk, Thread* self, const char* activity, const std::function<bool()>& step)
{
    for (;;) {
        if (HandleIncoming(lk, self))
            continue;
        if (step())
            return;
        if (self->quit)
            return;
        if (!self->posted.empty()) {
            SyncAcquire(&self->posted);
            QueuedMessage m = self->posted.front();
            self->posted.pop_front();
            self->last_message = MSG{m.hwnd, m.message, m.wParam, m.lParam, m.time, m.pt};
            Window* target = FindWindowObject(m.hwnd);
            if (target != nullptr && target->thread == self)
                CallProc(lk, target, m.message, m.wParam, m.lParam);
            continue;
        }
        Window* unpainted = nullptr;
        for (auto& entry : windows) {
            Window* win = entry.second.get();
            if (win->alive && win->thread == self && win->needs_paint && VisibleOnScreen(win)) {
                unpainted = win;
                break;
            }
        }
        if (unpainted != nullptr) {
            CallProc(lk, unpainted, WM_PAINT, 0, 0);
            continue;
        }
        Park(lk, self, activity, std::nullopt, true);
    }
}

}  // namespace cesim
