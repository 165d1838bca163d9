// What the tests of the task menu and the About box share: a running copy,
// taps on its tray icon and on the open menu, and the menu written out.
#pragma once

#include "velto/velto_test.h"

namespace velto_test {

class MenuTest : public VeltoTest {
protected:
    // A tap on a tray icon once the double-click time has passed.
    void TapTray(UINT id = TRAY_ID_MAIN)
    {
        PauseBetweenTaps();
        TrayMouse(id);
    }

    cesim::MenuInfo OpenMenu()
    {
        TapTray();
        EXPECT_EQ(1, device.OpenMenus());
        return device.Menu().value_or(cesim::MenuInfo{});
    }

    void Dismiss()
    {
        device.DismissMenu();
        device.Settle();
    }

    // Items written out: "text#id" (with "*" when checked, "!flags" for any
    // other flags), "text>(...)" for a submenu, "-" for a separator and
    // "[title]" for a window's item.
    std::string Describe(const std::vector<cesim::MenuItemInfo>& items)
    {
        std::string out;
        for (const auto& item : items) {
            if (!out.empty())
                out += "|";
            if (item.flags == MF_SEPARATOR && item.id == 0)
                out += "-";
            else if (item.flags == MF_OWNERDRAW)
                out += "[" + cesim::Utf8(device.Title((HWND)item.id)) + "]";
            else if (item.flags == MF_POPUP)
                out += cesim::Utf8(item.text) + ">(" + Describe(item.submenu) + ")";
            else
                out += cesim::Utf8(item.text) + "#" + std::to_string(item.id) +
                       (item.flags == MF_CHECKED ? "*" : item.flags == 0 ? "" : "!" + std::to_string(item.flags));
        }
        return out;
    }

    static bool Matches(const cesim::MenuItemInfo& item, UINT_PTR id) { return item.id == id; }
    static bool Matches(const cesim::MenuItemInfo& item, HWND window) { return item.id == (UINT_PTR)window; }
    static bool Matches(const cesim::MenuItemInfo& item, const std::u16string& text) { return item.text == text; }

    // A tap on the item with this id or text in the innermost open menu, at
    // screen x (the item's middle when x < 0).
    template <typename Key>
    void TapItem(Key key, LONG x = -1)
    {
        auto menu = device.Menu();
        ASSERT_TRUE(menu && menu->open);
        const cesim::MenuLevelInfo& level = menu->levels.back();
        for (size_t i = 0; i < level.items.size(); ++i) {
            if (Matches(level.items[i], key)) {
                const RECT& r = level.item_rects[i];
                device.TapMenu(POINT{x < 0 ? (r.left + r.right) / 2 : x, (r.top + r.bottom) / 2});
                device.Settle();
                return;
            }
        }
        FAIL() << "no such item";
    }

    // Opens the menu and taps through the named items, submenu by submenu.
    void Choose(std::initializer_list<const char16_t*> path)
    {
        OpenMenu();
        for (const char16_t* text : path)
            TapItem(std::u16string(text));
        EXPECT_EQ(0, device.OpenMenus());
    }
};

}  // namespace velto_test
