// What the tests of Velto share: a simulated Pocket PC with the shell, and
// ways to run Velto on it and look at the screen and the registry.
#pragma once

#include <cesim/device.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>

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

// The two layouts of the screen.
constexpr RECT TOP_TASKBAR{0, 0, 240, 26};
constexpr RECT TOP_DESKTOP{0, 26, 240, 320};
constexpr RECT BOTTOM_TASKBAR{0, 294, 240, 320};
constexpr RECT BOTTOM_DESKTOP{0, 0, 240, 294};

class VeltoTest : public ::testing::Test {
protected:
    cesim::Device device;
    DWORD apps = 0;  // a program of the test's own, for ordinary windows

    void SetUp() override { apps = device.AddProcess(u"apps.exe"); }

    // Starts Velto and lets it run until it waits or ends.
    DWORD Start(const std::u16string& command_line = u"")
    {
        DWORD velto = device.Start(VELTO_IMAGE, command_line);
        device.Settle();
        return velto;
    }

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
