// What the tests of the task menu and the About box share: a running copy,
// and the user's taps on the tray icon and on the open menu.
#pragma once

#include "velto/velto_test.h"

namespace velto_test {

constexpr UINT WM_TRAYNOTIFY = 2259;
constexpr WPARAM OK_COMMAND = 0x10000001;

class MenuTest : public VeltoTest {
protected:
    DWORD velto = 0;
    HWND main = nullptr;

    void StartVelto()
    {
        velto = Start();
        for (HWND w : device.WindowsOf(velto)) {
            if (device.ClassName(w) == u"Velto")
                main = w;
        }
        ASSERT_NE(nullptr, main);
    }

    // A tap on the tray icon, once the double-click time has passed.
    void TapTray()
    {
        device.Advance(600);
        device.TrayMouse(main, 0, WM_LBUTTONDOWN);
        device.Settle();
    }

    cesim::MenuInfo OpenMenu()
    {
        TapTray();
        EXPECT_EQ(1, device.OpenMenus());
        auto menu = device.Menu();
        return menu ? *menu : cesim::MenuInfo{};
    }

    // The index of the item with this id in a menu of the open tree; -1 when absent.
    static int IndexOf(const cesim::MenuLevelInfo& level, UINT_PTR id)
    {
        for (size_t i = 0; i < level.items.size(); ++i) {
            if (level.items[i].id == id)
                return (int)i;
        }
        return -1;
    }

    static int IndexOf(const cesim::MenuLevelInfo& level, const std::u16string& text)
    {
        for (size_t i = 0; i < level.items.size(); ++i) {
            if (level.items[i].text == text)
                return (int)i;
        }
        return -1;
    }

    // A tap on an item of the innermost open menu at screen x (its middle when x < 0).
    template <typename Key>
    void TapItem(Key key, LONG x = -1)
    {
        auto menu = device.Menu();
        ASSERT_TRUE(menu && menu->open);
        const cesim::MenuLevelInfo& level = menu->levels.back();
        int i = IndexOf(level, key);
        ASSERT_GE(i, 0);
        const RECT& r = level.item_rects[(size_t)i];
        device.TapMenu(POINT{x < 0 ? (r.left + r.right) / 2 : x, (r.top + r.bottom) / 2});
        device.Settle();
    }

    // Opens the menu and taps through the named items, submenu by submenu.
    void Choose(std::initializer_list<const char16_t*> path)
    {
        OpenMenu();
        for (const char16_t* text : path)
            TapItem(std::u16string(text));
        EXPECT_EQ(0, device.OpenMenus());
    }

    std::vector<UINT> TrayIds()
    {
        std::vector<UINT> ids;
        for (auto& icon : device.Tray()) {
            if (icon.owner == main)
                ids.push_back(icon.id);
        }
        return ids;
    }
};

}  // namespace velto_test
