// The shell: tray icons and the work area.
#include "fixture.h"

#include "res/resource.h"

#include <algorithm>
#include <atomic>
#include <string>

using namespace conformance;

namespace {

const UINT TRAY_MESSAGE = WM_APP + 1;

NOTIFYICONDATAW Record(HWND owner, UINT id)
{
    NOTIFYICONDATAW record = {};
    record.cbSize = PLATFORM_TRAY_RECORD_SIZE;
    record.hWnd = owner;
    record.uID = id;
    record.uFlags = NIF_MESSAGE | NIF_ICON;
    record.uCallbackMessage = TRAY_MESSAGE;
    record.hIcon = LoadIconW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDI_TRAY));
    return record;
}

// A script of tray calls on icons 7 and 8 of one window: A add, M modify,
// D delete, lower case for icon 8; what each call returned (1 or 0).
struct TrayScript {
    const char* what;
    const char* script;
    const char* results;
};

const TrayScript TRAY_SCRIPTS[] = {
    {"an add of an icon already there leaves one", "AADD", "1010"},
    {"modify and delete of an icon that is not there", "MDAMDM", "001110"},
    {"each id is an icon of its own", "AaDmdM", "111110"},
};

TEST(Shell, TrayIconsByWindowAndId)
{
    RunAsProgram([] {
        HWND owner = MakeWindow(TEXT("TrayOwner"), TEXT("tray"), WS_POPUP, RECT{0, 0, 10, 10});
        for (const TrayScript& row : TRAY_SCRIPTS) {
            std::string results;
            for (const char* op = row.script; *op != 0; ++op) {
                NOTIFYICONDATAW record = Record(owner, *op >= 'a' ? 8 : 7);
                DWORD message = (*op | 0x20) == 'a' ? NIM_ADD : (*op | 0x20) == 'm' ? NIM_MODIFY : NIM_DELETE;
                results += Shell_NotifyIconW(message, &record) ? '1' : '0';
            }
            EXPECT_EQ(row.results, results) << row.what;
        }
        DestroyWindow(owner);
    });
}

// Windows CE's shell takes the record of its own size only; desktop
// Windows takes a record of any of its sizes.
TEST(Shell, TheTrayRecordSize)
{
    RunAsProgram([] {
        HWND owner = MakeWindow(TEXT("TrayOwner"), TEXT("tray"), WS_POPUP, RECT{0, 0, 10, 10});
        NOTIFYICONDATAW record = Record(owner, 7);
        record.cbSize = sizeof(NOTIFYICONDATAW);
        EXPECT_EQ(CE_DIFFERENCE(TRAY_RECORD_SIZE, FALSE, TRUE),
                  Shell_NotifyIconW(NIM_ADD, &record));
        record.cbSize = PLATFORM_TRAY_RECORD_SIZE;
        EXPECT_EQ(CE_DIFFERENCE(TRAY_RECORD_SIZE, TRUE, FALSE),
                  Shell_NotifyIconW(NIM_ADD, &record));
        EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &record));
        DestroyWindow(owner);
    });
}

// ---------------------------------------------------------------- the work area

int g_settingChanges;
WPARAM g_settingChanged;

LRESULT CALLBACK SettingsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTINGCHANGE) {
        ++g_settingChanges;
        g_settingChanged = wParam;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Setting the work area tells every top-level window, of every program and
// hidden ones too, when the change is stored and sent (SPIF_UPDATEINIFILE |
// SPIF_SENDCHANGE), and only then. Windows CE has one work area for the
// system, Wine one for each process.
TEST(Shell, TheWorkArea)
{
    OtherProgram other;
    HWND shown = other.AddWindow({TEXT("Shown"), TEXT("s")});
    HWND hidden = other.AddWindow({TEXT("Hidden"), TEXT("h"), WS_POPUP});
    HWND child = other.AddWindow({TEXT("Child"), TEXT("c"), WS_VISIBLE | WS_CHILD, 0, {0, 0, 5, 5}, shown});
    const RECT theirs = other.WorkArea();
    const RECT last = {0, 0, 240, 300};
    RunAsProgram([&] {
        g_settingChanges = 0;
        MakeWindow(TEXT("Mine"), TEXT("mine"), WS_VISIBLE | WS_POPUP, RECT{0, 0, 10, 10}, NULL, 0, SettingsProc);
        RECT now = {0, 0, 0, 0};
        ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &now, 0));
        EXPECT_TRUE(now.right > now.left && now.bottom > now.top) << Show(now);
        struct Row {
            RECT area;
            UINT flags;
            int told;
        };
        const Row rows[] = {
            {{0, 26, 240, 320}, 0, 0},
            {{0, 0, 240, 294}, SPIF_SENDCHANGE, 0},
            {{0, 26, 240, 320}, SPIF_UPDATEINIFILE, 0},
            {last, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE, 1},
        };
        for (const Row& row : rows) {
            int told = g_settingChanges;
            EXPECT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, (LPVOID)&row.area, row.flags));
            EXPECT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &now, 0));
            EXPECT_RECT(row.area, now);
            EXPECT_EQ(row.told, g_settingChanges - told) << row.flags;
        }
        EXPECT_EQ((WPARAM)SPI_SETWORKAREA, g_settingChanged);
        EXPECT_FALSE(SystemParametersInfoW(0x1234, 0, &now, SPIF_SENDCHANGE));
    });
    EXPECT_RECT(CE_DIFFERENCE(WORK_AREA, last, theirs),
                other.WorkArea());
    for (HWND w : {shown, hidden}) {
        std::vector<Received> heard = other.ReceivedBy(w, WM_SETTINGCHANGE);
        ASSERT_EQ(1u, heard.size());
        EXPECT_EQ((WPARAM)SPI_SETWORKAREA, heard[0].wParam);
        EXPECT_TRUE(heard[0].sent);
    }
    EXPECT_EQ(0, other.Count(child, WM_SETTINGCHANGE));
}

// The screen that windows are placed on and the work area is set for, as
// the system metrics and the desktop's root window give it: the Pocket PC's
// own on Windows CE, whatever display a desktop has.
TEST(Shell, TheScreen)
{
    RunAsProgram([] {
        const RECT metrics = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        const RECT root = RectOf(GetDesktopWindow());
        EXPECT_RECT(root, metrics);
        EXPECT_RECT(CE_DIFFERENCE(THE_SCREEN, (RECT{0, 0, 240, 320}), root), metrics);
    });
}

// ---------------------------------------------------------------- taps on a tray icon

// What icon 7 reported with its message, icon 8 with its message as
// modified, and either with any other message.
std::string g_trayReports[3];
std::atomic<int> g_trayTapsUp;  // read by the tapping thread

LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if ((message == TRAY_MESSAGE || message == TRAY_MESSAGE + 2 || message == TRAY_MESSAGE + 3) &&
        (wParam == 7 || wParam == 8)) {
        int which = message == TRAY_MESSAGE && wParam == 7 ? 0 : message == TRAY_MESSAGE + 2 && wParam == 8 ? 1 : 2;
        g_trayReports[which] += lParam == WM_MOUSEMOVE ? 'm' : lParam == WM_LBUTTONDOWN ? 'd'
                                : lParam == WM_LBUTTONUP ? 'u' : '?';
        if (lParam == WM_LBUTTONUP)
            ++g_trayTapsUp;
    }
    if (message == TRAY_MESSAGE + 1)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

std::string Taps(std::string reports)
{
    reports.erase(std::remove(reports.begin(), reports.end(), 'm'), reports.end());
    return reports;
}

// A tap on a tray icon reports the stylus going down and up, with the
// icon's message as NIM_MODIFY last set it with NIF_MESSAGE (a modify
// without the flag keeps it). A desktop taskbar also reports the mouse
// moving over the icon; a stylus gives no such reports.
TEST(Shell, ATapOnATrayIcon)
{
    RunAsProgram([] {
        for (std::string& reports : g_trayReports)
            reports.clear();
        g_trayTapsUp = 0;
        HWND owner = MakeWindow(TEXT("TrayTapped"), TEXT("tray"), WS_POPUP, RECT{0, 0, 10, 10}, NULL, 0, TrayProc);
        NOTIFYICONDATAW record = Record(owner, 7), other = Record(owner, 8);
        ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &record));
        ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &other));
        record.uFlags = NIF_ICON;
        record.uCallbackMessage = TRAY_MESSAGE + 3;
        other.uFlags = NIF_MESSAGE;
        other.uCallbackMessage = TRAY_MESSAGE + 2;
        EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &record));
        EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &other));
        Later([owner] {
            TapTrayIcon(owner, 7);
            WaitFor([] { return g_trayTapsUp == 1; });
            TapTrayIcon(owner, 8);
            WaitFor([] { return g_trayTapsUp == 2; });
            PostMessageW(owner, TRAY_MESSAGE + 1, 0, 0);
        });
        MSG msg;
        while (GetMessageW(&msg, NULL, 0, 0) > 0)
            DispatchMessageW(&msg);
        EXPECT_EQ("du", Taps(g_trayReports[0])) << g_trayReports[0];
        EXPECT_EQ("du", Taps(g_trayReports[1])) << g_trayReports[1];
        EXPECT_EQ("", g_trayReports[2]);
        EXPECT_EQ(CE_DIFFERENCE(TRAY_NOTIFICATIONS, false, true), g_trayReports[0].find('m') != std::string::npos)
            << g_trayReports[0];
        Shell_NotifyIconW(NIM_DELETE, &record);
        Shell_NotifyIconW(NIM_DELETE, &other);
        DestroyWindow(owner);
    });
}

}  // namespace
