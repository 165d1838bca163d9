// Popup menus: building them, and tracking one modally on the screen.
//
// A tracked menu is laid out in the system font: a string item is 18 pixels
// high and 24 pixels wider than its text, a separator 6 pixels high, and an
// owner-drawn item takes the size its owner gives in WM_MEASUREITEM (the
// platform proposes width 0 and height 18). The menu is as wide as its widest
// item, has no border, is placed by the alignment flags against the point it
// was given and is then moved onto the screen where it would stick out. A
// submenu opens beside its item, to the right where there is room, else to
// the left. Owner-drawn items are painted into a device context of the
// system's; what they paint is recorded with the menu, in the coordinates of
// their own menu.
//
// The simulated user acts on the innermost open menu through the Device: a
// tap on a command item chooses it (an owner-drawn item is first painted
// selected), a tap on a submenu's item opens the submenu, a tap outside every
// open menu dismisses the menu; GetMessagePos gives the tap's point
// afterwards. While the menu is open, the thread's messages keep being
// handled (World::ModalLoop).
#include "gdi.h"
#include "ui.h"

#include <algorithm>

namespace cesim {

namespace {

constexpr int STRING_ITEM_HEIGHT = FONT_HEIGHT + 5;
constexpr int STRING_ITEM_MARGIN = 24;
constexpr int SEPARATOR_HEIGHT = 6;
constexpr RECT SCREEN{0, 0, 240, 320};
constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;

MenuObject* FindMenu(World& w, HMENU menu)
{
    auto it = w.ui->menus.find((uintptr_t)menu);
    return it == w.ui->menus.end() || !it->second->alive ? nullptr : it->second.get();
}

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// Moves a rectangle onto the screen, keeping its size.
RECT OntoScreen(RECT r)
{
    LONG dx = 0, dy = 0;
    if (r.right > SCREEN.right)
        dx = SCREEN.right - r.right;
    if (r.left + dx < SCREEN.left)
        dx = SCREEN.left - r.left;
    if (r.bottom > SCREEN.bottom)
        dy = SCREEN.bottom - r.bottom;
    if (r.top + dy < SCREEN.top)
        dy = SCREEN.top - r.top;
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

void Destroy(World& w, MenuObject* m)
{
    m->alive = false;
    for (auto& item : m->items) {
        if (item.flags & MF_POPUP) {
            if (MenuObject* sub = FindMenu(w, (HMENU)item.id))
                Destroy(w, sub);
        }
    }
}

// Asks the owner to paint one owner-drawn item of an open menu.
void DrawItem(Call& c, TrackedMenu& t, size_t level, size_t index, UINT action, UINT state)
{
    MenuLevel& l = t.levels[level];
    const RECT r = l.item_rects[index];
    const RECT& m = l.rect;
    DRAWITEMSTRUCT draw{ODT_MENU, 0, (UINT)l.items[index].id, action, state, (HWND)l.menu, t.dc,
                        RECT{r.left - m.left, r.top - m.top, r.right - m.left, r.bottom - m.top},
                        l.items[index].data};
    Window* owner = c.w.FindWindowObject(t.owner);
    if (owner != nullptr)
        c.w.CallProc(c.lk, owner, WM_DRAWITEM, 0, (LPARAM)&draw);
}

void PaintLevel(Call& c, TrackedMenu& t, size_t level)
{
    for (size_t i = 0; i < t.levels[level].items.size(); ++i) {
        if (t.levels[level].items[i].flags & MF_OWNERDRAW)
            DrawItem(c, t, level, i, ODA_DRAWENTIRE, 0);
    }
}

// Measures a menu, places it and paints its owner-drawn items. parent_item is
// the screen rectangle of the item that opened a submenu, null for the main menu.
void OpenLevel(Call& c, TrackedMenu& t, MenuObject* menu, HMENU handle, const RECT* parent_item)
{
    MenuLevel level;
    level.menu = handle;
    level.items = menu->items;
    std::vector<SIZE> sizes;
    for (const MenuItem& item : level.items) {
        SIZE size{0, STRING_ITEM_HEIGHT};
        if (item.flags & MF_SEPARATOR) {
            size.cy = SEPARATOR_HEIGHT;
        } else if (item.flags & MF_OWNERDRAW) {
            MEASUREITEMSTRUCT measure{ODT_MENU, 0, (UINT)item.id, 0, STRING_ITEM_HEIGHT, item.data};
            if (Window* owner = c.w.FindWindowObject(t.owner))
                c.w.CallProc(c.lk, owner, WM_MEASUREITEM, 0, (LPARAM)&measure);
            size = SIZE{(LONG)measure.itemWidth, (LONG)measure.itemHeight};
        } else {
            size.cx = (LONG)item.text.size() * FONT_CHAR_WIDTH + STRING_ITEM_MARGIN;
        }
        sizes.push_back(size);
    }
    LONG width = 0, height = 0;
    for (const SIZE& s : sizes) {
        width = std::max(width, s.cx);
        height += s.cy;
    }
    RECT r;
    if (parent_item == nullptr) {
        const LONG x = t.anchor.x, y = t.anchor.y;
        LONG left = (t.flags & TPM_RIGHTALIGN) ? x - width : (t.flags & TPM_CENTERALIGN) ? x - width / 2 : x;
        LONG top = (t.flags & TPM_BOTTOMALIGN) ? y - height : (t.flags & TPM_VCENTERALIGN) ? y - height / 2 : y;
        r = RECT{left, top, left + width, top + height};
    } else {
        const RECT& parent = t.levels.back().rect;
        LONG left = parent.right + width <= SCREEN.right ? parent.right : parent.left - width;
        r = RECT{left, parent_item->top, left + width, parent_item->top + height};
    }
    level.rect = OntoScreen(r);
    LONG top = level.rect.top;
    for (const SIZE& s : sizes) {
        level.item_rects.push_back(RECT{level.rect.left, top, level.rect.right, top + s.cy});
        top += s.cy;
    }
    t.levels.push_back(level);
    PaintLevel(c, t, t.levels.size() - 1);
}

// The menu's own input; true once the menu is over.
bool Step(Call& c, TrackedMenu& t)
{
    while (!t.done && !t.inputs.empty()) {
        MenuInput in = t.inputs.front();
        t.inputs.pop_front();
        if (in.kind == MenuInput::DISMISS) {
            t.done = true;
            break;
        }
        if (in.kind == MenuInput::REPAINT) {
            for (size_t level = 0; level < t.levels.size(); ++level)
                PaintLevel(c, t, level);
            continue;
        }
        // The tap is the last input the thread retrieved.
        c.w.cursor = in.pt;
        c.self->last_message = MSG{t.owner, WM_LBUTTONUP, 0, MAKELPARAM(in.pt.x, in.pt.y), c.w.Tick(), in.pt};
        size_t level = t.levels.size(), index = 0;
        for (size_t k = t.levels.size(); k-- > 0 && level == t.levels.size();) {
            for (size_t i = 0; i < t.levels[k].item_rects.size(); ++i) {
                if (Inside(t.levels[k].item_rects[i], in.pt)) {
                    level = k;
                    index = i;
                }
            }
        }
        if (level == t.levels.size()) {
            t.done = true;  // outside the menu
            break;
        }
        const MenuItem item = t.levels[level].items[index];
        if (item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED))
            continue;
        if (item.flags & MF_POPUP) {
            t.levels.resize(level + 1);
            if (MenuObject* sub = FindMenu(c.w, (HMENU)item.id)) {
                const RECT parent_item = t.levels[level].item_rects[index];
                OpenLevel(c, t, sub, (HMENU)item.id, &parent_item);
            }
            continue;
        }
        if (item.flags & MF_OWNERDRAW)
            DrawItem(c, t, level, index, ODA_SELECT, ODS_SELECTED);
        t.result = item.id;
        t.done = true;
    }
    if (c.w.FindWindowObject(t.owner) == nullptr)
        t.done = true;  // the owner has gone
    return t.done;
}

}  // namespace

extern "C" {

HMENU WINAPI CreatePopupMenu(void)
{
    Call c("CreatePopupMenu");
    auto& ui = *c.w.ui;
    ui.next_menu += 4;
    auto menu = std::make_unique<MenuObject>();
    menu->owner = c.self->process;
    ui.menus[ui.next_menu] = std::move(menu);
    return (HMENU)ui.next_menu;
}

BOOL WINAPI AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text)
{
    Call c("AppendMenuW");
    MenuObject* m = FindMenu(c.w, menu);
    if (m == nullptr || ((flags & MF_POPUP) && FindMenu(c.w, (HMENU)id) == nullptr)) {
        SetError(c.self, ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    MenuItem item;
    item.flags = flags;
    item.id = id;
    // An owner-drawn item's pointer is its data, not text; a separator has none.
    if (!(flags & (MF_OWNERDRAW | MF_SEPARATOR)))
        item.text = ToText(text);
    if (flags & MF_OWNERDRAW)
        item.data = (ULONG_PTR)text;
    m->items.push_back(item);
    return TRUE;
}

// Destroys the menu and, as on Windows, every submenu it holds.
BOOL WINAPI DestroyMenu(HMENU menu)
{
    Call c("DestroyMenu");
    MenuObject* m = FindMenu(c.w, menu);
    if (m == nullptr) {
        SetError(c.self, ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    Destroy(c.w, m);
    return TRUE;
}

BOOL WINAPI TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS)
{
    Call c("TrackPopupMenuEx");
    MenuObject* m = FindMenu(c.w, menu);
    if (m == nullptr) {
        SetError(c.self, ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    Window* o = c.Live(owner);
    if (o == nullptr)
        return FALSE;
    if (o->thread != c.self) {
        SetError(c.self, ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto& ui = *c.w.ui;
    ui.tracked.push_back(std::make_unique<TrackedMenu>());
    TrackedMenu& t = *ui.tracked.back();
    t.thread = c.self;
    t.owner = owner;
    t.flags = flags;
    t.anchor = POINT{x, y};
    t.dc = NewSystemDc(c.w, &t.drawn);
    // The menu closes however the call ends, also when its thread is ended inside it.
    struct Close {
        TrackedMenu& t;
        ~Close() { t.open = false; }
    } close{t};
    OpenLevel(c, t, m, menu, nullptr);
    c.w.ModalLoop(c.lk, c.self, "TrackPopupMenuEx (the menu is open)", [&] { return Step(c, t); });
    UINT_PTR result = t.done ? t.result : 0;
    if (flags & TPM_RETURNCMD)
        return (BOOL)result;
    if (result != 0) {
        if (Window* w = c.w.FindWindowObject(owner))
            c.w.Post(c.lk, w, WM_COMMAND, result, 0);
    }
    return result != 0;
}

}  // extern "C"

}  // namespace cesim
