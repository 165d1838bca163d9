// Menus and dialogs of the simulated device: the objects behind HMENU, the
// menus being tracked and the dialogs running modally.
#pragma once

#include "world.h"

namespace cesim {

struct MenuItem {
    UINT flags = 0;
    UINT_PTR id = 0;  // the command id, or the submenu of an MF_POPUP item
    Text text;
    ULONG_PTR data = 0;  // an owner-drawn item's data: AppendMenuW's pointer, handed back as itemData
};

struct MenuObject {
    Process* owner = nullptr;
    bool alive = true;
    std::vector<MenuItem> items;
};

// One menu of a tracked menu tree on the screen: the main menu, or a
// submenu that a tap opened beside its parent.
struct MenuLevel {
    HMENU menu = nullptr;
    RECT rect{};                  // on the screen
    std::vector<MenuItem> items;  // as they stood when it opened
    std::vector<RECT> item_rects; // on the screen
};

// What the simulated user does to an open menu; the menu's loop acts on it.
struct MenuInput {
    enum Kind { TAP, DISMISS, REPAINT } kind;
    POINT pt;
};

struct TrackedMenu {
    Thread* thread = nullptr;
    HWND owner = nullptr;
    UINT flags = 0;
    POINT anchor{};
    std::vector<MenuLevel> levels;
    std::deque<MenuInput> inputs;
    HDC dc = nullptr;  // the system's device context that owner-draw requests paint into
    std::vector<DrawOp> drawn;
    bool open = true;
    bool done = false;
    UINT_PTR result = 0;
};

struct DialogState {
    Thread* thread = nullptr;
    HWND window = nullptr;
    HWND owner = nullptr;
    DLGPROC proc = nullptr;
    LPARAM init_param = 0;  // handed to the dialog procedure with WM_INITDIALOG
    bool ended = false;
    INT_PTR result = 0;
    std::vector<HWND> controls;
    std::vector<int> control_icons;  // resource id of an icon control's image, else 0
};

struct UiData {
    std::map<uintptr_t, std::unique_ptr<MenuObject>> menus;
    uintptr_t next_menu = 0x50000000;  // menus have a value range of their own
    std::vector<std::unique_ptr<TrackedMenu>> tracked;  // every menu tracked, the latest last
    std::vector<std::unique_ptr<DialogState>> dialogs;  // every dialog run, the latest last
    WindowClass* dialog_class = nullptr;
    WindowClass* static_class = nullptr;
};

}  // namespace cesim
