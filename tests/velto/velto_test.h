// What the tests of Velto share: a simulated Pocket PC with the shell, one
// way to run Velto on it, ways to look at the screen, the registry and the
// messages that other programs' windows received, and ways to use its menu.
#pragma once

#include <cesim/device.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const RECT& r, std::ostream* out)
{
    *out << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace velto_test {

constexpr const char* MAKER_KEY = "HKEY_CURRENT_USER\\Software\\Zav";
constexpr const char* SETTINGS_KEY = "HKEY_CURRENT_USER\\Software\\Zav\\Velto";
constexpr const char* AUTOHIDE_KEY = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Shell\\AutoHide";

// The tray's message to Velto, and the OK command Velto posts to a window.
constexpr UINT WM_TRAYNOTIFY = 2259;
constexpr WPARAM OK_COMMAND = 0x10000001;  // IDOK with 0x1000 in the high word
constexpr DWORD MONITOR_PERIOD = 250;
constexpr UINT DOUBLE_CLICK_TIME = 500;  // the device's, unless a test sets another

// The main window's tray icons.
constexpr UINT TRAY_ID_MAIN = 0, TRAY_ID_OK = 3, TRAY_ID_CLOSE = 4;

// Velto's images by resource id: icons, and the button's faces.
constexpr int ICON_APP = 101, ICON_OK = 104, ICON_CLOSE = 105, ICON_TRAY_ACTIVE = 106, ICON_CLOSE_GLYPH = 109,
              ICON_TRAY = 113;
constexpr int FACE_OK = 110, FACE_CLOSE = 111, FACE_IDLE = 112;

// How the task menu is tracked: from its top right corner below a taskbar at
// the top (or with no taskbar), from its bottom right corner above one at the bottom.
constexpr UINT MENU_HANGS = TPM_RETURNCMD | TPM_RIGHTALIGN;
constexpr UINT MENU_STANDS = TPM_RETURNCMD | TPM_RIGHTALIGN | TPM_BOTTOMALIGN;

// Caption buttons as window styles: the close button, the OK button.
constexpr DWORD CLOSE_STYLE = WS_VISIBLE | WS_SYSMENU;
constexpr DWORD OK_EXSTYLE = WS_EX_CAPTIONOKBTN;

// The two layouts of the screen.
constexpr RECT TOP_TASKBAR{0, 0, 240, 26};
constexpr RECT TOP_DESKTOP{0, 26, 240, 320};
constexpr RECT BOTTOM_TASKBAR{0, 294, 240, 320};
constexpr RECT BOTTOM_DESKTOP{0, 0, 240, 294};

// Where a tap lands on the button in the taskbar at the bottom.
constexpr POINT ON_THE_BUTTON{230, 310};

// Whether simulated threads run as the host schedules them (the
// ThreadSanitizer build): tests of one particular interleaving skip then.
inline bool FreeRunning()
{
    const char* mode = std::getenv("CESIM_FREE_RUNNING");
    return mode != nullptr && std::string(mode) != "0";
}

// Names a table's case after its row's `name`.
constexpr auto RowName = [](const auto& info) { return std::string(info.param.name); };

// A message as a row of a table: what a window is expected to receive.
struct Msg {
    UINT message;
    bool sent;  // SENT or POSTED
    WPARAM wParam;
    LPARAM lParam;
};
constexpr bool SENT = true, POSTED = false;

// What Velto posts to another program's window: OK, and close.
constexpr Msg OK_POSTED{WM_COMMAND, POSTED, OK_COMMAND, 0};
constexpr Msg CLOSE_POSTED{WM_CLOSE, POSTED, 0, 0};

// What a top-level window of another program hears when Velto sets the work
// area n times.
inline std::vector<Msg> WorkAreaChanged(int n) { return std::vector<Msg>(n, {WM_SETTINGCHANGE, SENT, SPI_SETWORKAREA, 0}); }

inline std::string Describe(const Msg& m)
{
    static const std::map<UINT, const char*> names = {
        {WM_CLOSE, "WM_CLOSE"},           {WM_COMMAND, "WM_COMMAND"},         {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
        {WM_LBUTTONUP, "WM_LBUTTONUP"},   {WM_SETTINGCHANGE, "WM_SETTINGCHANGE"},
    };
    std::ostringstream out;
    auto name = names.find(m.message);
    if (name != names.end())
        out << name->second;
    else
        out << "message 0x" << std::hex << m.message;
    out << std::hex << (m.sent ? " sent" : " posted") << ", wParam 0x" << m.wParam << ", lParam 0x" << m.lParam;
    return out.str();
}

class VeltoTest : public ::testing::Test {
protected:
    cesim::Device device;
    DWORD apps = 0;  // a program of the test's own, for ordinary windows
    // The copy started last, its main window and its button in the taskbar.
    DWORD velto = 0;
    HWND main = nullptr;
    HWND button = nullptr;

    void SetUp() override { apps = device.AddProcess(u"apps.exe"); }

    // Starts Velto and lets it run until it waits or ends.
    DWORD Start(const std::u16string& command_line = u"")
    {
        velto = device.Start(VELTO_IMAGE, command_line);
        started.push_back(velto);
        device.Settle();
        main = MainWindowOf(velto);
        button = ButtonWindowOf(velto);
        return velto;
    }

    // Every copy that a test started ends by leaving nothing behind but what
    // it keeps for its life: the icons and bitmaps it loaded at start-up and
    // its two window classes. One still running is closed first.
    void TearDown() override
    {
        for (DWORD copy : started) {
            if (device.Running(copy)) {
                if (HWND copy_main = MainWindowOf(copy))
                    device.Post(copy_main, WM_CLOSE, 0, 0);
                device.Advance(MONITOR_PERIOD);
                if (device.Running(copy))
                    device.Advance(10000);  // a monitor held up somewhere
            }
            ASSERT_FALSE(device.Running(copy)) << "Velto did not end when its main window was closed";
            auto left = device.Handles(copy);
            const bool resident = left["class"] > 0;
            std::map<std::string, int> expected = left;
            for (auto& kind : expected)
                kind.second = 0;
            if (resident) {
                expected["icon"] = 6;  // the five of its own and the class icon
                expected["bitmap"] = 3;
                expected["class"] = 2;
            }
            EXPECT_EQ(expected, left) << "what Velto left behind when it ended";
        }
    }

    std::vector<DWORD> started;

    // A command-line run: it must end, with exit code 0.
    DWORD RunOnce(const std::u16string& command_line)
    {
        DWORD copy = Start(command_line);
        EXPECT_FALSE(device.Running(copy)) << "Velto did not end after " << cesim::Utf8(command_line);
        EXPECT_EQ(0u, device.ExitCode(copy));
        return copy;
    }

    HWND AddWindow(const std::u16string& class_name, const std::u16string& title, RECT rect,
                   DWORD style = WS_VISIBLE, DWORD exstyle = 0, DWORD process = 0)
    {
        return AddWindow({.class_name = class_name, .title = title, .style = style, .exstyle = exstyle, .rect = rect},
                         process);
    }

    HWND AddWindow(const cesim::WindowOptions& options, DWORD process = 0)
    {
        return device.AddWindow(process ? process : apps, options);
    }

    HWND MainWindowOf(DWORD copy) { return WindowOfClass(copy, u"Velto"); }
    HWND ButtonWindowOf(DWORD copy) { return WindowOfClass(copy, u"VeltoButton"); }

    HWND WindowOfClass(DWORD copy, const std::u16string& class_name)
    {
        for (HWND w : device.WindowsOf(copy)) {
            if (device.ClassName(w) == class_name)
                return w;
        }
        return nullptr;
    }

    // Closes Velto's main window as a newer copy does, and lets the monitor
    // finish the period it is in.
    void Stop(DWORD copy)
    {
        device.Post(MainWindowOf(copy), WM_CLOSE, 0, 0);
        device.Advance(MONITOR_PERIOD);
    }

    // A copy that has ended well, with exit code 0 (what it left behind is
    // checked when the test ends).
    void ExpectEnded(DWORD copy)
    {
        EXPECT_FALSE(device.Running(copy));
        EXPECT_EQ(0u, device.ExitCode(copy));
    }

    // Stores these 32-bit settings, by value name.
    void StoreSettings(std::initializer_list<std::pair<const char16_t*, DWORD>> values)
    {
        for (const auto& [name, value] : values)
            device.RegSetDword(SETTINGS_KEY, name, value);
    }

    // Whether a window received exactly these messages, in this order (only
    // those of the kinds in `only`, when given); else the first difference.
    ::testing::AssertionResult Received(HWND window, const std::vector<Msg>& expected,
                                        std::initializer_list<UINT> only = {})
    {
        std::vector<Msg> got;
        for (const cesim::ReceivedMessage& m : device.Received(window)) {
            if (only.size() == 0 || std::find(only.begin(), only.end(), m.message) != only.end())
                got.push_back(Msg{m.message, m.sent, m.wParam, m.lParam});
        }
        for (size_t i = 0; i < std::max(got.size(), expected.size()); ++i) {
            auto failure = ::testing::AssertionFailure() << "message " << i + 1 << ": expected ";
            if (i == got.size())
                return failure << Describe(expected[i]) << ", nothing more came";
            if (i == expected.size())
                return failure << "nothing more, got " << Describe(got[i]);
            const Msg& e = expected[i];
            const Msg& g = got[i];
            if (e.message != g.message || e.sent != g.sent || e.wParam != g.wParam || e.lParam != g.lParam)
                return failure << Describe(e) << ", got " << Describe(g);
        }
        return ::testing::AssertionSuccess();
    }

    // The ids of the main window's tray icons, in the order they were added.
    std::vector<UINT> TrayIds()
    {
        std::vector<UINT> ids;
        for (auto& icon : device.Tray()) {
            if (icon.owner == main)
                ids.push_back(icon.id);
        }
        return ids;
    }

    // The resource id of the image a tray icon of the main window shows.
    int TrayImage(UINT id) { return device.Image(device.FindTrayIcon(main, id).value().icon).resource_id; }

    // The last bitmap drawn into the button: its resource id and source x.
    std::pair<int, LONG> LastFace()
    {
        auto drawn = device.Drawn(button);
        for (auto it = drawn.rbegin(); it != drawn.rend(); ++it) {
            if (it->kind == cesim::DrawOp::BLIT)
                return {it->bitmap_id, it->source.x};
        }
        return {0, -1};
    }

    // What the button painted, op by op: "fill" for its background erased
    // with its class's brush; "OK face at rest" for the left 20 x 20 frame of
    // the OK face copied to (2, 2), "pressed" for the right one; anything else
    // as "other".
    std::vector<std::string> Painted()
    {
        std::vector<std::string> ops;
        for (const cesim::DrawOp& op : device.Drawn(button)) {
            if (op.kind == cesim::DrawOp::FILL && op.dest == RECT{0, 0, 24, 24} &&
                op.brush == device.Class(button).background)
                ops.push_back("fill");
            else if (op.kind == cesim::DrawOp::BLIT && op.dest == RECT{2, 2, 22, 22} && op.source.y == 0 &&
                     op.rop == SRCCOPY && (op.source.x == 0 || op.source.x == 20))
                ops.push_back(FaceName(op.bitmap_id) + (op.source.x == 0 ? " at rest" : " pressed"));
            else
                ops.push_back("other");
        }
        return ops;
    }

    static std::string FaceName(int bitmap_id)
    {
        return bitmap_id == FACE_OK      ? "OK face"
               : bitmap_id == FACE_CLOSE ? "close face"
               : bitmap_id == FACE_IDLE  ? "idle face"
                                         : "bitmap " + std::to_string(bitmap_id);
    }

    // The user brings a window to the front; the monitor sees it within a period.
    void BringToFront(HWND window)
    {
        device.SetForeground(window);
        device.Advance(MONITOR_PERIOD);
    }

    // Lets the double-click time pass, so that the next tap counts.
    void PauseBetweenTaps() { device.Advance(DOUBLE_CLICK_TIME + 100); }

    void TapButton()
    {
        device.Tap(ON_THE_BUTTON);
        device.Settle();
    }

    // A mouse message on one of the main window's tray icons, handled.
    void TrayMouse(UINT id = TRAY_ID_MAIN, UINT mouse = WM_LBUTTONDOWN)
    {
        device.TrayMouse(main, id, mouse);
        device.Settle();
    }

    void StoreOnTop(DWORD value) { device.RegSetDword(SETTINGS_KEY, u"TaskBarOnTop", value); }
    std::optional<DWORD> StoredOnTop() const { return device.RegGetDword(SETTINGS_KEY, u"TaskBarOnTop"); }

    void ExpectTopLayout(const cesim::Shell& shell) { ExpectLayout(shell, TOP_TASKBAR, TOP_DESKTOP); }
    void ExpectBottomLayout(const cesim::Shell& shell) { ExpectLayout(shell, BOTTOM_TASKBAR, BOTTOM_DESKTOP); }

    void ExpectLayout(const cesim::Shell& shell, RECT taskbar, RECT desktop)
    {
        EXPECT_EQ(taskbar, device.Rect(shell.taskbar));
        EXPECT_EQ(desktop, device.Rect(shell.desktop));
        EXPECT_EQ(desktop, device.WorkArea());
        EXPECT_TRUE(device.Visible(shell.taskbar));
        EXPECT_TRUE(device.Visible(shell.desktop));
    }
};

// A REG_SZ value's bytes: the text, then the null unless told otherwise.
inline std::vector<uint8_t> TextBytes(const std::u16string& text, bool terminated = true)
{
    std::vector<uint8_t> data;
    for (char16_t c : text + std::u16string(terminated ? 1 : 0, u'\0')) {
        data.push_back((uint8_t)(c & 0xFF));
        data.push_back((uint8_t)(c >> 8));
    }
    return data;
}

// What the tests of the task menu and the About box share: taps on the tray
// icon and on the open menu, and the menu written out.
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
