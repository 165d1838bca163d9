// What the tests of Velto share: a simulated Pocket PC with the shell, and
// ways to run Velto on it and look at the screen and the registry.
#pragma once

#include <cesim/device.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <ostream>
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

constexpr UINT WM_TRAYNOTIFY = 2259;
constexpr UINT CMD_FOREGROUND = 1024;
constexpr WPARAM OK_COMMAND = 0x10000001;
constexpr DWORD MONITOR_PERIOD = 250;

// Caption buttons as window styles: the close button, the OK button.
constexpr DWORD CLOSE_STYLE = WS_VISIBLE | WS_SYSMENU;
constexpr DWORD OK_EXSTYLE = WS_EX_CAPTIONOKBTN;

// The two layouts of the screen.
constexpr RECT TOP_TASKBAR{0, 0, 240, 26};
constexpr RECT TOP_DESKTOP{0, 26, 240, 320};
constexpr RECT BOTTOM_TASKBAR{0, 294, 240, 320};
constexpr RECT BOTTOM_DESKTOP{0, 0, 240, 294};

// Whether simulated threads run as the host schedules them (the
// ThreadSanitizer build): tests of one particular interleaving skip then.
inline bool FreeRunning()
{
    const char* mode = std::getenv("CESIM_FREE_RUNNING");
    return mode != nullptr && std::string(mode) != "0";
}

class VeltoTest : public ::testing::Test {
protected:
    cesim::Device device;
    DWORD apps = 0;  // a program of the test's own, for ordinary windows

    void SetUp() override { apps = device.AddProcess(u"apps.exe"); }

    // Starts Velto and lets it run until it waits or ends.
    DWORD Start(const std::u16string& command_line = u"")
    {
        DWORD velto = device.Start(VELTO_IMAGE, command_line);
        started.push_back(velto);
        device.Settle();
        return velto;
    }

    // Every copy that a test started ends by leaving nothing behind but what
    // it keeps for its life: the icons and bitmaps it loaded at start-up and
    // its two window classes. One still running is closed first.
    void TearDown() override
    {
        device.ClearEventWatchers();  // they may hold the finished test's locals
        for (DWORD velto : started) {
            if (device.Running(velto)) {
                if (HWND main = MainWindowOf(velto))
                    device.Post(main, WM_CLOSE, 0, 0);
                device.Advance(MONITOR_PERIOD);
                if (device.Running(velto))
                    device.Advance(10000);  // a monitor held up somewhere
            }
            ASSERT_FALSE(device.Running(velto)) << "Velto did not end when its main window was closed";
            auto left = device.Handles(velto);
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
        DWORD velto = Start(command_line);
        EXPECT_FALSE(device.Running(velto)) << "Velto did not end after " << cesim::Utf8(command_line);
        EXPECT_EQ(0u, device.ExitCode(velto));
        return velto;
    }

    HWND AddWindow(const std::u16string& class_name, const std::u16string& title, RECT rect,
                   DWORD style = WS_VISIBLE, DWORD exstyle = 0, DWORD process = 0)
    {
        cesim::WindowOptions options;
        options.class_name = class_name;
        options.title = title;
        options.rect = rect;
        options.style = style;
        options.exstyle = exstyle;
        return device.AddWindow(process ? process : apps, options);
    }

    HWND MainWindowOf(DWORD velto) { return WindowOfClass(velto, u"Velto"); }
    HWND ButtonWindowOf(DWORD velto) { return WindowOfClass(velto, u"VeltoButton"); }

    HWND WindowOfClass(DWORD velto, const std::u16string& class_name)
    {
        for (HWND w : device.WindowsOf(velto)) {
            if (device.ClassName(w) == class_name)
                return w;
        }
        return nullptr;
    }

    // Closes Velto's main window as a newer copy does, and lets the monitor
    // finish the period it is in.
    void Stop(DWORD velto)
    {
        device.Post(MainWindowOf(velto), WM_CLOSE, 0, 0);
        device.Advance(MONITOR_PERIOD);
    }

    // The ids of the tray icons a window owns, in the order they were added.
    std::vector<UINT> TrayIds(HWND owner)
    {
        std::vector<UINT> ids;
        for (auto& icon : device.Tray()) {
            if (icon.owner == owner)
                ids.push_back(icon.id);
        }
        return ids;
    }

    // The last bitmap drawn into the button: its resource id and source x.
    std::pair<int, LONG> LastFace(HWND button)
    {
        auto drawn = device.Drawn(button);
        for (auto it = drawn.rbegin(); it != drawn.rend(); ++it) {
            if (it->kind == cesim::DrawOp::BLIT)
                return {it->bitmap_id, it->source.x};
        }
        return {0, -1};
    }

    // The user brings a window to the front; the monitor sees it within a period.
    void BringToFront(HWND window)
    {
        device.SetForeground(window);
        device.Advance(MONITOR_PERIOD);
    }

    // Lets the double-click time pass, so that the next tap counts.
    void PauseBetweenTaps() { device.Advance(600); }

    void StoreOnTop(DWORD value) { device.RegSetDword(SETTINGS_KEY, u"TaskBarOnTop", value); }
    std::optional<DWORD> StoredOnTop() const { return device.RegGetDword(SETTINGS_KEY, u"TaskBarOnTop"); }

    void ExpectTopLayout(const cesim::Shell& shell)
    {
        EXPECT_EQ(TOP_TASKBAR, device.Rect(shell.taskbar));
        EXPECT_EQ(TOP_DESKTOP, device.Rect(shell.desktop));
        EXPECT_EQ(TOP_DESKTOP, device.WorkArea());
        EXPECT_TRUE(device.Visible(shell.taskbar));
        EXPECT_TRUE(device.Visible(shell.desktop));
    }

    void ExpectBottomLayout(const cesim::Shell& shell)
    {
        EXPECT_EQ(BOTTOM_TASKBAR, device.Rect(shell.taskbar));
        EXPECT_EQ(BOTTOM_DESKTOP, device.Rect(shell.desktop));
        EXPECT_EQ(BOTTOM_DESKTOP, device.WorkArea());
        EXPECT_TRUE(device.Visible(shell.taskbar));
        EXPECT_TRUE(device.Visible(shell.desktop));
    }
};

// A REG_SZ value's bytes: the text, then the null unless told otherwise.
inline std::vector<uint8_t> TextBytes(const std::u16string& text, bool terminated = true)
{
    std::vector<uint8_t> data;
    for (char16_t c : text) {
        data.push_back((uint8_t)(c & 0xFF));
        data.push_back((uint8_t)(c >> 8));
    }
    if (terminated) {
        data.push_back(0);
        data.push_back(0);
    }
    return data;
}

}  // namespace velto_test
