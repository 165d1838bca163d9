// Fixtures that show what a device shows: windows above the screen, shell
// windows among look-alikes, icons of several sizes, and the activation log.
#include "sim_support.h"

#include <tuple>

using namespace simtest;

namespace {

class cesimFixtures : public DeviceTest {};

// A window whose top is above the screen keeps its signed edges through the
// fixture, GetWindowRect, SetWindowPos and the WM_MOVE it gets.
TEST_F(cesimFixtures, WindowsAboveAndLeftOfTheScreenKeepNegativeEdges)
{
    DWORD other = device().AddProcess(u"other.exe");
    HWND above = device().AddWindow(other, {u"Above", u"above", WS_VISIBLE, 0, {-5, -40, 100, 60}});
    HWND own = nullptr;
    RunToEnd([&] {
        RECT read{};
        GetWindowRect(above, &read);
        EXPECT_RECT((RECT{-5, -40, 100, 60}), read);
        own = MakeWindow(u"Own", u"own", WS_VISIBLE, RECT{0, 0, 50, 50});
        SetWindowPos(own, nullptr, -20, -30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    });
    EXPECT_RECT((RECT{-20, -30, 30, 20}), device().Rect(own));
    auto moves = Log().Of(own, WM_MOVE);
    ASSERT_EQ(1u, moves.size());
    EXPECT_EQ(-20, (short)LOWORD(moves[0].lParam));
    EXPECT_EQ(-30, (short)HIWORD(moves[0].lParam));
}

// Shell windows among look-alikes: FindWindowW takes the frontmost window
// that matches every name it is given. The work area is the shell's own
// setting, whatever the desktop window's rectangle.
TEST_F(cesimFixtures, LookAlikesAreToldApartByEveryNameAndTheWorkAreaStandsApart)
{
    cesim::Shell shell = device().InstallShell();
    DWORD other = device().AddProcess(u"other.exe");
    HWND decoy = device().AddWindow(other, {u"DesktopExplorerWindow", u"Decoy"});
    HWND namesake = device().AddWindow(other, {u"Namesake", u"Desktop"});
    device().SetWorkArea(RECT{0, 30, 200, 260});
    RunToEnd([&] {
        EXPECT_EQ(shell.desktop, FindWindowW(u"DesktopExplorerWindow", u"Desktop"));
        EXPECT_EQ(decoy, FindWindowW(u"DesktopExplorerWindow", nullptr));
        EXPECT_EQ(namesake, FindWindowW(nullptr, u"Desktop"));
        EXPECT_EQ(namesake, FindWindowW(u"Namesake", u"Desktop"));
        EXPECT_EQ(nullptr, FindWindowW(u"Namesake", u"Decoy"));
        RECT desktop{}, area{};
        GetWindowRect(GetDesktopWindow(), &desktop);
        EXPECT_RECT((RECT{0, 0, 240, 294}), desktop);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        EXPECT_RECT((RECT{0, 30, 200, 260}), area);
    });
    EXPECT_EQ("cesim: SetWorkArea: the work area has its edges swapped",
              ErrorOf([&] { device().SetWorkArea(RECT{0, 30, 200, 20}); }));
}

// ExtractIconExW takes the image nearest each size as it is; DrawIconEx
// records the icon's own size beside the size it was drawn at.
TEST_F(cesimFixtures, ProgramFileIconsComeInTheSizeAskedForAndTheDrawingSaysWhich)
{
    DWORD other = device().AddProcess(u"other.exe");
    device().SetProgramFileIcons(other, u"\\Windows\\two.exe", {SIZE{16, 16}, SIZE{32, 32}});
    device().SetProgramFileIcons(other, u"\\Windows\\large.exe", {SIZE{32, 32}});
    device().SetProgramFile(other, u"\\Windows\\none.exe", false);
    HWND canvas = device().AddWindow(other, {u"Canvas", u"canvas"});
    HICON large = nullptr, small = nullptr, small_of_large = nullptr;
    RunToEnd([&] {
        ExtractIconExW(u"\\Windows\\two.exe", 0, &large, nullptr, 1);
        ExtractIconExW(u"\\Windows\\two.exe", 0, nullptr, &small, 1);
        ExtractIconExW(u"\\Windows\\large.exe", 0, nullptr, &small_of_large, 1);
        HICON none = nullptr;
        EXPECT_EQ(0u, ExtractIconExW(u"\\Windows\\none.exe", 0, nullptr, &none, 1));
        HDC dc = GetDC(canvas);
        DrawIconEx(dc, 4, 5, large, 16, 16, 0, nullptr, DI_NORMAL);
        DrawIconEx(dc, 30, 5, small, 0, 0, 0, nullptr, DI_NORMAL);
        ReleaseDC(canvas, dc);
    });
    EXPECT_EQ(32, device().Image(large).width);
    EXPECT_EQ(16, device().Image(small).height);
    EXPECT_EQ(32, device().Image(small_of_large).width);  // never stretched
    auto drawn = device().Drawn(canvas);
    ASSERT_EQ(2u, drawn.size());
    EXPECT_EQ(32, drawn[0].icon_size.cx);
    EXPECT_RECT((RECT{4, 5, 20, 21}), drawn[0].dest);
    EXPECT_EQ(16, drawn[1].icon_size.cy);
    EXPECT_RECT((RECT{30, 5, 46, 21}), drawn[1].dest);
    EXPECT_EQ("cesim: SetProgramFileIcons: an image is at least 1 x 1 pixels, not 0 x 16",
              ErrorOf([&] { device().SetProgramFileIcons(other, u"x.exe", {SIZE{0, 16}}); }));
}

// Every call that activates a window is logged with its name, in order; the
// taskbar, which never takes the foreground, is logged when a call asks.
TEST_F(cesimFixtures, EveryActivationIsLoggedWithItsCallTheTaskbarIncluded)
{
    cesim::Shell shell = device().InstallShell();
    DWORD other = device().AddProcess(u"other.exe");
    HWND notes = device().AddWindow(other, {u"Notes", u"notes"});
    device().SetForeground(notes);
    HWND own = nullptr;
    RunToEnd([&] {
        own = MakeWindow(u"Own", u"own", WS_VISIBLE, RECT{0, 0, 50, 50});
        SetForegroundWindow(notes);
        SetWindowPos(shell.taskbar, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        SetWindowPos(notes, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetForegroundWindow(shell.taskbar);
        ShowWindow(own, SW_SHOW);
    });
    // The program has ended: its window handed the foreground on.
    std::vector<std::tuple<HWND, std::string, bool>> got;
    for (const cesim::Activation& a : device().Activations())
        got.emplace_back(a.window, a.call, a.foreground);
    std::vector<std::tuple<HWND, std::string, bool>> expected{
        {notes, "SetForeground", true},         {own, "CreateWindowExW", true},
        {notes, "SetForegroundWindow", true},   {shell.taskbar, "SetWindowPos", false},
        {shell.taskbar, "SetForegroundWindow", false}, {own, "ShowWindow", true},
        {notes, "(thread ending)", true}};
    EXPECT_EQ(expected, got);
    device().ClearActivations();
    EXPECT_TRUE(device().Activations().empty());
}

}  // namespace
