// The shell's tray: notification icons keyed by their window and id, as
// programs add them, and as a test reads them and taps them.
#include "device_side.h"

namespace cesim {

static TrayIcon* FindIcon(World& w, HWND owner, UINT id)
{
    for (auto& icon : w.tray) {
        if (icon.owner == owner && icon.id == id)
            return &icon;
    }
    return nullptr;
}

static void Apply(TrayIcon& icon, const NOTIFYICONDATAW& data)
{
    icon.record_size = data.cbSize;
    if (data.uFlags & NIF_MESSAGE)
        icon.callback_message = data.uCallbackMessage;
    if (data.uFlags & NIF_ICON)
        icon.icon = data.hIcon;
    icon.flags |= data.uFlags;
}

extern "C" BOOL WINAPI Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data)
{
    Call c("Shell_NotifyIconW");
    // Windows CE's record is 152 bytes; the shell takes no other size.
    if (data == nullptr || data->cbSize != 152) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TrayIcon* icon = FindIcon(c.w, data->hWnd, data->uID);
    switch (message) {
    case NIM_ADD:
        if (icon != nullptr || c.w.FindWindowObject(data->hWnd) == nullptr)
            return FALSE;
        c.w.tray.push_back(TrayIcon{data->hWnd, data->uID, 0, 0, nullptr, 0});
        Apply(c.w.tray.back(), *data);
        return TRUE;
    case NIM_MODIFY:
        if (icon == nullptr)
            return FALSE;
        Apply(*icon, *data);
        return TRUE;
    case NIM_DELETE:
        if (icon == nullptr)
            return FALSE;
        c.w.tray.erase(c.w.tray.begin() + (icon - c.w.tray.data()));
        return TRUE;
    }
    SetError(c.self, ERROR_INVALID_PARAMETER);
    return FALSE;
}

// ---------------------------------------------------------------- the test's view

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
