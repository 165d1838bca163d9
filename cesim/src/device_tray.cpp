// The test side of the device: the shell's tray as a test reads it, and the
// user's taps on its icons.
#include "device_side.h"

namespace cesim {

std::vector<TrayIcon> Device::Tray() const
{
    auto&& [w, lk] = LockWorld();
    return w.tray;
}

std::optional<TrayIcon> Device::FindTrayIcon(HWND owner, UINT id) const
{
    auto&& [w, lk] = LockWorld();
    for (auto& icon : w.tray) {
        if (icon.owner == owner && icon.id == id)
            return icon;
    }
    return std::nullopt;
}

void Device::TrayMouse(HWND owner, UINT id, UINT mouse_message, POINT at)
{
    auto&& [w, lk] = LockWorld();
    w.cursor = at;
    for (auto& icon : w.tray) {
        if (icon.owner != owner || icon.id != id)
            continue;
        Window* win = w.FindWindowObject(owner);
        if (win != nullptr && (icon.flags & NIF_MESSAGE))
            w.Post(lk, win, icon.callback_message, id, mouse_message);

        return;
    }
    throw Error("cesim: TrayMouse: the tray has no icon " + std::to_string(id) + " of window " +
                std::to_string((uintptr_t)owner));
}

void Device::TapTrayIcon(HWND owner, UINT id)
{
    TrayMouse(owner, id, WM_LBUTTONDOWN);
    TrayMouse(owner, id, WM_LBUTTONUP);
}

}  // namespace cesim
