// The test side of the device: loaded images, and the open menus and dialogs.
#include "device_side.h"
#include "gdi.h"
#include "ui.h"

namespace cesim {

// ---------------------------------------------------------------- images

namespace {

// What the device knows of an icon or a bitmap, by its handle in that kind's table.
template <typename Table>
ImageInfo ImageIn(const Table& table, uintptr_t handle, const char* kind)
{
    auto it = table.find(handle);
    if (it == table.end())
        throw Error("cesim: Image: " + std::to_string(handle) + " is not " + kind);
    return ImageInfo{it->second.resource_id, it->second.width, it->second.height, it->second.bits_per_pixel};
}

}  // namespace

ImageInfo Device::Image(HICON icon) const
{
    auto&& [w, lk] = LockWorld();
    return ImageIn(w.gdi->icons, (uintptr_t)icon, "an icon");
}

ImageInfo Device::Image(HBITMAP bitmap) const
{
    auto&& [w, lk] = LockWorld();
    return ImageIn(w.gdi->bitmaps, (uintptr_t)bitmap, "a bitmap");
}

// ---------------------------------------------------------------- menus and dialogs

namespace {

std::vector<MenuItemInfo> ItemsInfo(World& w, const std::vector<MenuItem>& items, int depth)
{
    std::vector<MenuItemInfo> out;
    for (const MenuItem& item : items) {
        MenuItemInfo info{item.flags, item.id, item.text, {}};
        if ((item.flags & MF_POPUP) && depth < 8) {
            auto it = w.ui->menus.find(item.id);
            if (it != w.ui->menus.end())
                info.submenu = ItemsInfo(w, it->second->items, depth + 1);
        }
        out.push_back(info);
    }
    return out;
}

TrackedMenu* InnermostOpenMenu(World& w)
{
    for (auto it = w.ui->tracked.rbegin(); it != w.ui->tracked.rend(); ++it) {
        if ((*it)->open)
            return it->get();
    }
    return nullptr;
}

void MenuAction(MenuInput input, const char* what)
{
    auto&& [w, lk] = LockWorld();
    TrackedMenu* t = InnermostOpenMenu(w);
    if (t == nullptr)
        throw Error(std::string("cesim: ") + what + ": no menu is open");
    t->inputs.push_back(input);
    w.WakeForMessages(t->thread);
}

}  // namespace

std::optional<MenuInfo> Device::Menu() const
{
    auto&& [w, lk] = LockWorld();
    TrackedMenu* t = InnermostOpenMenu(w);
    if (t == nullptr && !w.ui->tracked.empty())
        t = w.ui->tracked.back().get();
    if (t == nullptr)
        return std::nullopt;
    MenuInfo info{t->open, t->owner, t->flags, t->anchor, {}, t->drawn, 0, 0};
    for (const MenuLevel& level : t->levels)
        info.levels.push_back(MenuLevelInfo{level.menu, level.rect, ItemsInfo(w, level.items, 0), level.item_rects});
    if (DcObject* d = FindDc(w, t->dc)) {
        info.text_colour = d->text_colour;
        info.back_colour = d->back_colour;
    }
    return info;
}

int Device::OpenMenus() const
{
    auto&& [w, lk] = LockWorld();
    int n = 0;
    for (auto& t : w.ui->tracked)
        n += t->open;
    return n;
}

void Device::TapMenu(POINT at) { MenuAction(MenuInput{MenuInput::TAP, at}, "TapMenu"); }

void Device::DismissMenu() { MenuAction(MenuInput{MenuInput::DISMISS, POINT{0, 0}}, "DismissMenu"); }

void Device::RepaintMenu() { MenuAction(MenuInput{MenuInput::REPAINT, POINT{0, 0}}, "RepaintMenu"); }

std::optional<DialogInfo> Device::Dialog() const
{
    auto&& [w, lk] = LockWorld();
    for (auto it = w.ui->dialogs.rbegin(); it != w.ui->dialogs.rend(); ++it) {
        DialogState& d = **it;
        if (w.FindWindowObject(d.window) == nullptr || d.ended)
            continue;
        DialogInfo info{d.window, d.owner, d.init_param, {}};
        for (size_t i = 0; i < d.controls.size(); ++i) {
            Window* c = w.AnyWindowObject(d.controls[i]);
            info.controls.push_back(DialogControlInfo{c->handle, c->class_name, c->title, d.control_icons[i], c->id,
                                                      c->style, w.ScreenRect(c)});
        }
        return info;
    }
    return std::nullopt;
}

}  // namespace cesim
