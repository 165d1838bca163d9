// The test side of the simulated Pocket PC.
//
// A Device is the whole simulated world: the screen, the shell's windows,
// other programs, the registry, the tray, the clock. Tests set it up with
// fixtures, start programs on it, act as the user, and read the effects.
// Misuse of this API (an unknown handle, a bad path, a broken fixture) throws
// cesim::Error with a message that says what was wrong.
#pragma once

#include <cesim/win32.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cesim {

struct Error : std::logic_error {
    using std::logic_error::logic_error;
};

// A message that a fixture window received.
struct ReceivedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool sent;   // sent (synchronously) rather than posted
    DWORD tick;  // GetTickCount when it arrived
};

// A shell tray icon as the shell holds it.
struct TrayIcon {
    HWND owner;
    UINT id;
    UINT flags;
    UINT callback_message;
    HICON icon;
    DWORD record_size;  // cbSize of the record that added or last changed it
};

// One drawing operation that reached a window or an open menu.
struct DrawOp {
    enum Kind { FILL, BLIT, TEXT, ICON } kind;
    RECT dest;           // in the window's client coordinates; TEXT: the opaque rectangle
    HBITMAP bitmap;      // BLIT: the bitmap selected into the source
    int bitmap_id;       // BLIT: its resource id, 0 when not from a resource
    POINT source;        // BLIT: top-left corner in the bitmap; TEXT: the text's origin
    DWORD rop;           // BLIT: raster operation
    HBRUSH brush;        // FILL
    std::u16string text{};     // TEXT: the characters drawn
    UINT options = 0;          // TEXT: the ETO_ options; ICON: the DI_ flags
    COLORREF text_colour = 0;  // TEXT: the device context's colours when it was drawn
    COLORREF back_colour = 0;
    HICON icon = nullptr;      // ICON: the icon, drawn at dest (its size included)
    int icon_id = 0;           // ICON: its resource id, 0 when not from a resource
    SIZE icon_size{};          // ICON: the icon's own size: which of its program's images was drawn
};

// A call that activated a window, or asked for it: the device keeps them in order.
struct Activation {
    HWND window;       // the top-level window
    std::string call;  // the program's platform call (SetForegroundWindow, SetWindowPos, ShowWindow,
                       // CreateWindowExW, DestroyWindow handing the foreground on, ...); for what the
                       // test did itself, the Device method (SetForeground, ShowWindow, DestroyWindow,
                       // Settle or Advance when a fixture window closed on WM_CLOSE); "(thread
                       // ending)" when a program's thread ended with the foreground window
    bool foreground;   // it became the foreground window; false for one that never does (the taskbar)
};

// The simulated system font: every character is the same size.
constexpr int FONT_CHAR_WIDTH = 6;
constexpr int FONT_HEIGHT = 13;

// The system colours (GetSysColor) of the simulated device.
constexpr COLORREF SYS_MENU = 0x00E8E8E8;
constexpr COLORREF SYS_MENUTEXT = 0x00202020;
constexpr COLORREF SYS_HIGHLIGHT = 0x00800000;
constexpr COLORREF SYS_HIGHLIGHTTEXT = 0x00F0FFFF;
constexpr COLORREF SYS_WINDOW = 0x00FFFFFF;
constexpr COLORREF SYS_WINDOWTEXT = 0x00000000;
// What a new device context holds before a program sets its colours.
constexpr COLORREF DC_TEXT_COLOUR = 0x00000000;
constexpr COLORREF DC_BACK_COLOUR = 0x00FFFFFF;

// An icon or bitmap that a program loaded from its resources.
struct ImageInfo {
    int resource_id;
    int width;
    int height;
    int bits_per_pixel;
};

// The class a window was created with, as its program registered it.
struct WindowClassInfo {
    UINT style;
    HICON icon;            // Image() tells which resource it came from
    HBRUSH background;
    int background_stock;  // the stock object index of the background brush, -1 for any other
};

struct RegistryValue {
    DWORD type;
    std::vector<uint8_t> data;
};

// A window of another program, created by the test.
struct WindowOptions {
    std::u16string class_name;
    std::u16string title;
    DWORD style = WS_VISIBLE;
    DWORD exstyle = 0;
    RECT rect{0, 0, 240, 294};  // screen rectangle; parent-relative for a child
    HWND parent = nullptr;
    bool closes_on_close = true;  // false: WM_CLOSE is recorded and ignored
    bool activates = true;        // false: never becomes the foreground window (the taskbar)
    // true: a message sent to it waits until the test answers it (AnswerHeld),
    // as from a program that is busy; the sender handles what is sent to it meanwhile.
    bool holds_sends = false;
    HICON class_icon = nullptr;   // the icon of its class (GetClassLongW GCL_HICON); from AddIcon
};

// An item of a menu as the simulated user sees it.
struct MenuItemInfo {
    UINT flags;           // the MF_ flags it was appended with
    UINT_PTR id;          // its command id; for an MF_POPUP item the submenu
    std::u16string text;  // empty for owner-drawn items and separators
    std::vector<MenuItemInfo> submenu;  // the items of an MF_POPUP item's submenu
};

// One menu of a tracked menu on the screen: the main menu, or a submenu that a tap opened.
struct MenuLevelInfo {
    HMENU menu;
    RECT rect;  // on the screen
    std::vector<MenuItemInfo> items;
    std::vector<RECT> item_rects;  // on the screen
};

// A menu tracked by TrackPopupMenuEx.
struct MenuInfo {
    bool open;
    HWND owner;
    UINT flags;    // the TPM_ flags it was tracked with
    POINT anchor;  // the point it was tracked at
    std::vector<MenuLevelInfo> levels;  // the main menu first, then each open submenu
    // What the owner painted for its owner-drawn items, in the coordinates of the item's menu.
    std::vector<DrawOp> drawn;
    COLORREF text_colour;  // of the device context that owner-drawn items paint into, now
    COLORREF back_colour;
};

// A control of a dialog.
struct DialogControlInfo {
    HWND window;
    std::u16string class_name;
    std::u16string text;
    int icon_id;  // the resource id of an icon control's image, else 0
    LONG id;
    DWORD style;
    RECT rect;  // on the screen
};

// A dialog run by DialogBoxIndirectParamW.
struct DialogInfo {
    HWND window;
    HWND owner;
    LPARAM init_param;  // the parameter the dialog was run with, as WM_INITDIALOG carried it
    std::vector<DialogControlInfo> controls;
};

// Where a tap on a tray icon is, unless a test says otherwise.
constexpr POINT TRAY_POINT{228, 307};

enum class ShellNames {
    STANDARD,  // desktop "DesktopExplorerWindow" titled "Desktop"
    TOP_MENU,  // desktop of class and title "TOP MENU"
};

enum class TaskbarEdge { BOTTOM, TOP };

struct Shell {
    DWORD process;
    HWND taskbar;
    HWND desktop;
};

class Device {
public:
    Device();
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // ---- fixtures
    // A program of the test's own: its windows record what they receive.
    DWORD AddProcess(const std::u16string& exe_name);
    HWND AddWindow(DWORD process, const WindowOptions& options);
    // The Pocket PC shell: taskbar "HHTaskBar" (empty title) and the desktop
    // window, with the work area between them.
    Shell InstallShell(ShellNames names = ShellNames::STANDARD, TaskbarEdge edge = TaskbarEdge::BOTTOM);
    // Makes a window the one GetDesktopWindow returns (null: the bare screen).
    void SetShellDesktop(HWND window);
    void SetWorkArea(RECT area);
    void SetDoubleClickTime(UINT ms);
    // An icon of a program of the test's own, for a window class (WindowOptions::class_icon).
    HICON AddIcon(DWORD process, int width, int height);
    // The program file of a process: its path (empty: GetModuleFileNameW fails) and
    // whether the file carries an icon for ExtractIconExW (a 32 x 32 and a 16 x 16 image).
    void SetProgramFile(DWORD process, const std::u16string& path, bool carries_icon);
    // The same with the images of the file's one icon, in the order the file lists them
    // (none: no icon). ExtractIconExW gives as the large icon the image nearest 32 x 32
    // and as the small one the image nearest 16 x 16, each at its own size.
    void SetProgramFileIcons(DWORD process, const std::u16string& path, const std::vector<SIZE>& images);
    // The next window created gets this handle (a multiple of 4, above every handle so far).
    void SetNextWindowHandle(uintptr_t handle);

    // ---- programs
    // Loads a fresh image of the program (a shared object built for the
    // device) as a new process and starts its first thread at wWinMain.
    DWORD Start(const std::string& image_path, const std::u16string& command_line,
                const std::u16string& exe_name = u"velto.exe");
    bool Running(DWORD process) const;
    DWORD ExitCode(DWORD process) const;  // STILL_ACTIVE while it runs
    int ThreadCount(DWORD process) const;  // threads that have not ended
    // Every live handle of a process by kind ("window", "class", "menu",
    // "dc", "icon", "bitmap", "registry", "event", "thread", "process"): now
    // while it runs, or what it left behind when it ended.
    std::map<std::string, int> Handles(DWORD process) const;
    int OpenHandles(DWORD process, const std::string& kind) const;  // one kind of them
    // A process of the test's own whose first thread runs main: for testing
    // the device itself with program code written in the test.
    // With a compiled resource file (.res), the process has those resources
    // as its own, as a program image has the ones built into it.
    DWORD StartFunction(const std::u16string& exe_name, std::function<int()> main,
                        const std::string& resource_file = "");
    // Runs fn on a new thread of a running process, as code of that process,
    // and waits until the device settles. Returns what fn returned.
    DWORD RunInProcess(DWORD process, std::function<DWORD()> fn);
    // Starts fn on a new thread of a running process without waiting for it;
    // it runs when the device next settles. Returns the thread's id.
    DWORD StartInProcess(DWORD process, std::function<DWORD()> fn);
    // The ids of a process's threads that have not ended, first thread first.
    std::vector<DWORD> Threads(DWORD process) const;

    // ---- time
    // Simulated threads run only while the test settles or advances the
    // clock, one at a time, in the order in which they became runnable.
    void Settle();              // until every simulated thread waits
    void Advance(DWORD ms);     // moves the clock, waking what falls due
    DWORD Tick() const;
    // How far ahead the earliest deadline of a waiting thread lies (none: nothing waits with one).
    std::optional<DWORD> NextDeadline() const;
    void SetTick(DWORD tick);   // the clock as GetTickCount reads it now
    // How long a settle waits, in real time, for a thread that keeps running
    // before it fails (5 s unless CESIM_SETTLE_LIMIT_MS says otherwise).
    void SetSettleLimit(std::chrono::milliseconds limit);

    // ---- windows
    bool IsAlive(HWND window) const;
    RECT Rect(HWND window) const;  // screen rectangle
    bool Visible(HWND window) const;
    DWORD Style(HWND window) const;
    DWORD ExStyle(HWND window) const;
    std::u16string ClassName(HWND window) const;
    WindowClassInfo Class(HWND window) const;
    std::u16string Title(HWND window) const;
    HWND Parent(HWND window) const;
    DWORD ProcessOf(HWND window) const;
    std::vector<HWND> TopLevel() const;  // front of the z-order first
    std::vector<HWND> WindowsOf(DWORD process) const;  // alive, top-level and child
    HWND Find(const std::u16string& class_name, const std::u16string& title) const;
    HWND Foreground() const;
    HWND DesktopWindow() const;
    RECT WorkArea() const;
    std::vector<ReceivedMessage> Received(HWND window) const;
    std::vector<DrawOp> Drawn(HWND window) const;
    void ClearDrawn(HWND window);
    // Every activation since the device began or since the last ClearActivations, in order.
    std::vector<Activation> Activations() const;
    void ClearActivations();
    void DestroyWindow(HWND window);  // a fixture window goes away
    // The user brings a window (its top-level window) to the front; null
    // leaves no foreground window at all.
    void SetForeground(HWND window);
    void ShowWindow(HWND window, bool visible);  // hiding hands the foreground on
    // A fixture program changes its window's styles itself (SetWindowLongW):
    // nothing else follows, a window that hides this way keeps the foreground.
    void SetStyles(HWND window, DWORD style, DWORD exstyle);
    // Messages sent to a holds_sends fixture window that wait for an answer.
    // A program's SetWindowPos on it waits there too, shown as
    // WM_WINDOWPOSCHANGING: nothing changes until it is answered (the call
    // then answers for itself).
    std::vector<ReceivedMessage> HeldSends(HWND window) const;
    void AnswerHeld(HWND window, LRESULT result);  // answers the oldest one

    // ---- the user and other programs
    void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void TrayMouse(HWND owner, UINT id, UINT mouse_message, POINT at = TRAY_POINT);
    void TapTrayIcon(HWND owner, UINT id);  // button down, then up
    // The stylus on the screen: the button goes down (or up) at a screen
    // point and the window under it, a child window if one is there, gets
    // WM_LBUTTONDOWN (WM_LBUTTONUP) at that point in its client coordinates.
    void MouseDown(POINT screen);
    void MouseUp(POINT screen);
    void Tap(POINT screen);  // down, then up, at one point
    HWND WindowAt(POINT screen) const;

    // ---- menus and dialogs
    // The innermost open menu; when none is open, the last one tracked.
    std::optional<MenuInfo> Menu() const;
    int OpenMenus() const;
    // A tap on the screen while a menu is open: it chooses the item under the
    // point, opens the submenu of a submenu item, or, outside every open menu,
    // dismisses the menu.
    void TapMenu(POINT at);
    void DismissMenu();  // the menu closes without a choice and without a tap
    void RepaintMenu();  // the owner is asked to paint every owner-drawn item again
    // The innermost open dialog.
    std::optional<DialogInfo> Dialog() const;

    // ---- shell tray
    std::vector<TrayIcon> Tray() const;
    std::optional<TrayIcon> FindTrayIcon(HWND owner, UINT id) const;

    // ---- resources
    ImageInfo Image(HICON icon) const;
    ImageInfo Image(HBITMAP bitmap) const;

    // ---- registry; paths start with HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE
    // (or HKCU, HKLM); an empty value name is the key's default value.
    void RegSet(const std::string& key, const std::u16string& name, DWORD type, const std::vector<uint8_t>& data);
    void RegSetDword(const std::string& key, const std::u16string& name, DWORD value);
    void RegSetString(const std::string& key, const std::u16string& name, const std::u16string& text);
    std::optional<RegistryValue> RegGet(const std::string& key, const std::u16string& name) const;
    std::optional<DWORD> RegGetDword(const std::string& key, const std::u16string& name) const;
    std::optional<std::u16string> RegGetString(const std::string& key, const std::u16string& name) const;
    void RegDeleteValue(const std::string& key, const std::u16string& name);
    void RegDeleteKey(const std::string& key);  // with everything below it
    bool RegKeyExists(const std::string& key) const;
    std::vector<std::u16string> RegValueNames(const std::string& key) const;
    // What a restart of the device does to the registry: every key a program
    // created volatile goes, with everything under it, and so do the keys and
    // values a program wrote since their key's last RegFlushKey (a value
    // rewritten since goes back to what was flushed); the rest stays (what the
    // test wrote is stored at once). Nothing else on the device changes.
    // Refused while a program runs: none outlives a restart.
    void RestartRegistry();
    // faults
    // Opening or creating the key fails: the next `times` attempts, or always (-1).
    void FailKeyOpen(const std::string& key, int times = -1);
    void FailValueWrite(const std::string& key, const std::u16string& name);
    void ClearRegistryFaults();
    // Waits on the named event fail (WAIT_FAILED): the next `times`, or all (-1).
    void FailWaits(const std::u16string& event_name, int times = -1);
    // SystemParametersInfoW(SPI_GETWORKAREA) fails while this is on.
    void FailWorkAreaQuery(bool fail);
    // CreateWindowExW fails for every window of this class, as when the system is
    // out of memory: it returns null with ERROR_NOT_ENOUGH_MEMORY and sends nothing.
    void FailWindowCreation(const std::u16string& class_name);

    // ---- counters: only the calls the program makes, not the platform's own
    uint64_t Calls(const std::string& api) const;  // by every thread
    uint64_t Calls(DWORD process, const std::string& api) const;
    // By one thread; an empty name counts every call.
    uint64_t ThreadCalls(DWORD thread, const std::string& api = "") const;
    uint64_t Wakeups(DWORD thread) const;  // times the thread was woken from a wait
};

// The UTF-16 text of an ASCII or UTF-8 string, for readable tests.
std::u16string U16(const std::string& s);
std::string Utf8(const std::u16string& s);

}  // namespace cesim
