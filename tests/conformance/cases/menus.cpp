// Popup menus: where TrackPopupMenuEx puts them, what a tap chooses and how
// the choice comes back, owner-drawn items, and where the stylus was.
#include "fixture.h"

#include <atomic>

using namespace conformance;

namespace {

const UINT QUIT_IN_MENU = WM_USER + 3, DESTROY_IN_MENU = WM_USER + 4, ASKED = WM_USER + 5;

struct Menus {
    HMENU menu, sub, deep;
};
MEASUREITEMSTRUCT g_measured;
DRAWITEMSTRUCT g_drawn, g_selected;  // the last draw, the last draw of a selected item
int g_draws;
WPARAM g_command;
std::atomic<int> g_paints;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MEASUREITEM: {
        MEASUREITEMSTRUCT* m = (MEASUREITEMSTRUCT*)lParam;
        g_measured = *m;
        m->itemWidth = 42;
        m->itemHeight = 18;
        return TRUE;
    }
    case WM_DRAWITEM:
        g_drawn = *(DRAWITEMSTRUCT*)lParam;
        if (g_drawn.itemState & ODS_SELECTED)
            g_selected = g_drawn;
        ++g_draws;
        return TRUE;
    case WM_PAINT:
        ++g_paints;
        break;
    case WM_COMMAND:
        g_command = wParam;
        return 0;
    case QUIT_IN_MENU:
        PostQuitMessage(5);
        return 0;
    case DESTROY_IN_MENU:
        DestroyWindow(hwnd);
        return 0;
    case ASKED:
        return (LRESULT)wParam * 10 + 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND Owner()
{
    HWND owner = MakeWindow(TEXT("Owner"), TEXT("owner"), WS_POPUP | WS_VISIBLE, RECT{0, 0, 20, 20}, NULL, 0,
                            OwnerProc);
    SetForegroundWindow(owner);
    UpdateWindow(owner);
    g_command = 0;
    g_draws = 0;
    g_selected = DRAWITEMSTRUCT{};
    return owner;
}

// "Abc" (11), "Sub" holding "Xyz" (12) and "Deep" holding "Two" (15), a grayed
// "Off" (13), a separator, and an owner-drawn item 0x20004 with its data.
Menus Build()
{
    Menus m;
    m.menu = CreatePopupMenu();
    m.sub = CreatePopupMenu();
    m.deep = CreatePopupMenu();
    EXPECT_TRUE(AppendMenuW(m.deep, MF_STRING, 15, TEXT("Two")));
    EXPECT_TRUE(AppendMenuW(m.sub, MF_STRING, 12, TEXT("Xyz")));
    EXPECT_TRUE(AppendMenuW(m.sub, MF_POPUP, (UINT_PTR)m.deep, TEXT("Deep")));
    EXPECT_TRUE(AppendMenuW(m.menu, MF_STRING, 11, TEXT("Abc")));
    EXPECT_TRUE(AppendMenuW(m.menu, MF_POPUP, (UINT_PTR)m.sub, TEXT("Sub")));
    EXPECT_TRUE(AppendMenuW(m.menu, MF_GRAYED, 13, TEXT("Off")));
    EXPECT_TRUE(AppendMenuW(m.menu, MF_SEPARATOR, 0, NULL));
    EXPECT_TRUE(AppendMenuW(m.menu, MF_OWNERDRAW, 0x20004, (LPCWSTR)(UINT_PTR)0x5150));
    return m;
}

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// A point of the screen outside a rectangle.
POINT Outside(const RECT& r) { return POINT{r.left > 20 ? 5 : 230, r.top > 20 ? 5 : 300}; }

bool ItemShown(HMENU menu, int index)
{
    RECT r = MenuItemRect(menu, index);
    return r.right > r.left;
}

// Tracks the menu at the point and dismisses it once it shows: where it was
// on the screen. Nothing is chosen.
RECT TrackedMenuRect(HMENU menu, UINT flags, POINT at, HWND owner)
{
    RECT r = {0, 0, 0, 0};
    std::atomic<bool> read(false);
    Later([&] {
        r = OpenMenuRect();
        read = true;
        DismissMenu();
    },
          MenuOpen);
    EXPECT_EQ(0, TrackPopupMenuEx(menu, TPM_RETURNCMD | flags, at.x, at.y, owner, NULL));
    WaitFor([&] { return read.load() && !MenuOpen(); });
    return r;
}

// Where the menu opens for each alignment, kept on the screen.
TEST(Menus, TrackPopupMenuExAlignsTheMenuAtThePointOnTheScreen)
{
    struct Case {
        UINT flags;
        POINT at;
    };
    const Case cases[] = {
        {TPM_LEFTALIGN | TPM_TOPALIGN, {100, 100}}, {TPM_CENTERALIGN | TPM_VCENTERALIGN, {100, 100}},
        {TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {100, 100}}, {TPM_RIGHTALIGN, {240, 100}},
        {0, {220, 300}},  {TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {10, 10}},
        {TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {240, 294}},  // against the taskbar, as the task menu opens
    };
    RunAsProgram([&] {
        HWND owner = Owner();
        Menus m = Build();
        const RECT screen = RectOf(GetDesktopWindow());
        for (const Case& c : cases) {
            const RECT r = TrackedMenuRect(m.menu, c.flags, c.at, owner);
            const std::string where = "flags " + std::to_string(c.flags) + " at " + std::to_string(c.at.x) + "," +
                                      std::to_string(c.at.y) + ": " + Show(r);
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= screen.right && r.bottom <= screen.bottom) << where;
            EXPECT_TRUE(r.right - r.left >= 42 && r.bottom - r.top >= 4 * 18) << where;
            if (c.at.x == 100) {  // the point is the named corner, edge middle or centre
                const UINT h = c.flags & (TPM_CENTERALIGN | TPM_RIGHTALIGN);
                const UINT v = c.flags & (TPM_VCENTERALIGN | TPM_BOTTOMALIGN);
                const LONG x = h == TPM_RIGHTALIGN ? r.right : h == TPM_CENTERALIGN ? (r.left + r.right) / 2 : r.left;
                const LONG y = v == TPM_BOTTOMALIGN ? r.bottom : v == TPM_VCENTERALIGN ? (r.top + r.bottom) / 2 : r.top;
                EXPECT_LE(std::abs(x - 100), 1) << where;
                EXPECT_LE(std::abs(y - 100), 1) << where;
            }
            if (c.at.x == 240) {
                EXPECT_EQ(240, r.right) << where;
                EXPECT_TRUE(c.at.y != 294 || r.bottom == 294) << where;
            }
        }
        DestroyMenu(m.menu);
    });
}

// A tap on an item: TPM_RETURNCMD returns its id; without it the choice is
// posted as WM_COMMAND and the call returns nonzero. A grayed item chooses
// nothing; a submenu opens beside its item; a tap outside dismisses.
// GetMessagePos afterwards is where the tap was.
TEST(Menus, TapsChooseAndTheChoiceComesBack)
{
    RunAsProgram([&] {
        HWND owner = Owner();
        Menus m = Build();
        POINT tapped = {0, 0};
        std::atomic<int> taps(0);
        auto tapItem = [&](HMENU menu, int index) {
            tapped = Centre(MenuItemRect(menu, index));
            ++taps;
            Tap(tapped);
        };
        Later([&] { tapItem(m.menu, 0); }, MenuOpen);
        EXPECT_EQ(11, TrackPopupMenuEx(m.menu, TPM_RETURNCMD, 100, 100, owner, NULL));
        WaitFor([&] { return taps == 1; });
        EXPECT_EQ((DWORD)MAKELONG(tapped.x, tapped.y), GetMessagePos());
        EXPECT_EQ(0u, g_command);

        Later([&] { tapItem(m.menu, 2); }, MenuOpen);                // "Off" is grayed
        Later([&] { tapItem(m.menu, 1); }, [&] { return MenuOpen(); });  // "Sub" opens
        Later([&] { tapItem(m.sub, 0); }, [&] { return ItemShown(m.sub, 0); });
        EXPECT_NE(0, TrackPopupMenuEx(m.menu, 0, 100, 100, owner, NULL));
        MSG msg;
        while (g_command == 0 && GetMessageW(&msg, NULL, 0, 0) > 0)
            DispatchMessageW(&msg);
        EXPECT_EQ(12u, LOWORD(g_command));

        // The whole id comes back, above 0xFFFF too, and from two levels down
        // (opening rightwards from the left edge); the tapped item is drawn selected.
        Later([&] { tapItem(m.menu, 4); }, MenuOpen);
        EXPECT_EQ(0x20004, TrackPopupMenuEx(m.menu, TPM_RETURNCMD, 100, 100, owner, NULL));
        EXPECT_EQ(0x20004u, g_selected.itemID);
        EXPECT_EQ((UINT)ODA_SELECT, g_selected.itemAction);
        Later([&] { tapItem(m.menu, 1); }, MenuOpen);
        Later([&] { tapItem(m.sub, 1); }, [&] { return ItemShown(m.sub, 1); });
        Later([&] { tapItem(m.deep, 0); }, [&] { return ItemShown(m.deep, 0); });
        EXPECT_EQ(15, TrackPopupMenuEx(m.menu, TPM_RETURNCMD, 10, 100, owner, NULL));

        Later([&] { Tap(Outside(OpenMenuRect())); }, MenuOpen);
        EXPECT_EQ(0, TrackPopupMenuEx(m.menu, TPM_RETURNCMD | TPM_RIGHTALIGN, 240, 100, owner, NULL));
        DestroyMenu(m.menu);
    });
}

// Owner-drawn items are measured and drawn by their owner, in the menu's
// client coordinates. An item appended checked shows its check mark. The
// menu's loop answers what other threads send meanwhile and paints the owner.
TEST(Menus, OwnerDrawnItemsAreMeasuredAndDrawnByTheOwner)
{
    RunAsProgram([&] {
        HWND owner = Owner();
        Menus m = Build();
        EXPECT_TRUE(AppendMenuW(m.menu, MF_STRING | MF_CHECKED, 14, TEXT("On")));
        POINT origin = {0, 0};
        RECT item = {0, 0, 0, 0};
        const int items[3] = {0, 2, 5};  // "Abc", the grayed "Off", the checked "On"
        bool checked[3] = {false, false, false};
        LRESULT answered = 0;
        bool painted = false;
        Later([&] {
            origin = OpenMenuClientOrigin();
            item = MenuItemRect(m.menu, 4);
            for (int k = 0; k < 3; ++k)
                checked[k] = MenuItemChecked(m.menu, items[k]);
            answered = SendMessageW(owner, ASKED, 6, 0);
            const int paints = g_paints;
            InvalidateRect(owner, NULL, FALSE);
            painted = WaitFor([&] { return g_paints > paints; });
            DismissMenu();
        },
              [] { return MenuOpen() && g_draws > 0; });
        TrackPopupMenuEx(m.menu, TPM_RETURNCMD, 60, 40, owner, NULL);  // away from the screen's corner
        EXPECT_EQ(61, answered);
        EXPECT_TRUE(painted);
        EXPECT_FALSE(checked[0]);
        EXPECT_FALSE(checked[1]);
        EXPECT_TRUE(checked[2]);
        const RECT& drawn = g_drawn.rcItem;
        EXPECT_RECT(item, (RECT{drawn.left + origin.x, drawn.top + origin.y, drawn.right + origin.x,
                                drawn.bottom + origin.y}));
        EXPECT_EQ((UINT)ODT_MENU, g_measured.CtlType);
        EXPECT_EQ(0x20004u, g_measured.itemID);
        EXPECT_EQ(0x5150u, g_measured.itemData);
        EXPECT_EQ((UINT)ODT_MENU, g_drawn.CtlType);
        EXPECT_EQ(0x20004u, g_drawn.itemID);
        EXPECT_EQ(0x5150u, g_drawn.itemData);
        EXPECT_EQ((UINT)ODA_DRAWENTIRE, g_drawn.itemAction);
        EXPECT_TRUE(g_drawn.hDC != NULL);
        EXPECT_EQ(18, g_drawn.rcItem.bottom - g_drawn.rcItem.top);
        EXPECT_LE(42, g_drawn.rcItem.right - g_drawn.rcItem.left);
        DestroyMenu(m.menu);

        // A menu of that item alone: what the menu adds around it is what
        // Velto leaves room for.
        HMENU alone = CreatePopupMenu();
        EXPECT_TRUE(AppendMenuW(alone, MF_OWNERDRAW, 0x20004, (LPCWSTR)(UINT_PTR)0x5150));
        const RECT r = TrackedMenuRect(alone, 0, {0, 0}, owner);
        const LONG added = r.right - r.left - 42;
        EXPECT_EQ(PlatformMenuFrameWidth(), added) << Show(r);
        EXPECT_EQ(CE_DIFFERENCE(OWNER_DRAWN_MENU_FRAME, true, false), added == 0);
        DestroyMenu(alone);
    });
}

// Opens the menu and posts message to its owner while it is open: whether
// the menu ended within bound_ms (if not, it is dismissed). Nothing is chosen.
bool MenuEndsOn(HWND owner, HMENU menu, UINT message, DWORD bound_ms)
{
    std::atomic<bool> ended(false), acted(false);
    Later([&] {
        PostMessageW(owner, message, 0, 0);
        ended = WaitFor([] { return !MenuOpen(); }, bound_ms);
        if (!ended)
            DismissMenu();
        acted = true;
    },
          MenuOpen);
    EXPECT_EQ(0, TrackPopupMenuEx(menu, TPM_RETURNCMD, 100, 100, owner, NULL));
    WaitFor([&] { return acted.load(); }, bound_ms + 2000);
    return ended;
}

// A quit posted while the menu is open ends the menu and is left for the
// thread's own loop; so does the owner going.
TEST(Menus, TheMenuEndsOnAQuitOrWhenItsOwnerGoes)
{
    RunAsProgram([&] {
        HWND owner = Owner();
        Menus m = Build();
        const bool ended = MenuEndsOn(owner, m.menu, QUIT_IN_MENU, 500);
        // The quit is left for the thread's own loop (a guard message ends the wait if it was lost).
        Later([&] {
            Sleep(300);
            PostMessageW(owner, WM_USER, 0, 0);
        });
        MSG msg;
        BOOL got;
        while ((got = GetMessageW(&msg, NULL, 0, 0)) > 0 && msg.message != WM_USER)
            DispatchMessageW(&msg);
        EXPECT_DOCUMENTED(ended, "Wine 8's menu loop goes on after WM_QUIT, where Windows' modal loops end");
        EXPECT_DOCUMENTED(got == 0, "Wine 8's menu loop takes WM_QUIT, where Windows' modal loops leave it for the "
                                    "thread's own loop");
        EXPECT_EQ(got == 0 ? 5u : 0u, msg.wParam) << "the quit's code, or the guard message's";
        EXPECT_TRUE(MenuEndsOn(owner, m.menu, DESTROY_IN_MENU, 2000));
        EXPECT_FALSE(IsWindow(owner));
        DestroyMenu(m.menu);
    });
}

}  // namespace
