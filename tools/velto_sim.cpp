// velto-sim: runs Velto on a simulated Pocket PC and shows what it changed.
//
//   velto-sim [--taskbar-top] [--stored-top N] [--] [velto arguments...]
//
// The device has the standard shell with its taskbar at the bottom (or at the
// top with --taskbar-top), a visible program window, a hidden one and a tool
// window. --stored-top N stores TaskBarOnTop = N in the registry first. Velto
// runs with the remaining arguments as its command line; the screen, the work
// area and Velto's registry values are printed before and after. Without a
// -taskbar switch Velto stays resident: its windows and tray icons are shown,
// then its main window is closed.
#include <cesim/device.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const SETTINGS_KEY = "HKEY_CURRENT_USER\\Software\\Zav\\Velto";

std::string Rect(RECT r)
{
    char text[96];
    std::snprintf(text, sizeof text, "(%ld, %ld)-(%ld, %ld)", (long)r.left, (long)r.top, (long)r.right,
                  (long)r.bottom);
    return text;
}

void Show(const char* heading, cesim::Device& device, const cesim::Shell& shell, HWND notes, HWND hidden,
          HWND tool)
{
    std::printf("%s\n", heading);
    std::printf("  taskbar      %s%s\n", Rect(device.Rect(shell.taskbar)).c_str(),
                device.Visible(shell.taskbar) ? "" : " hidden");
    std::printf("  desktop      %s\n", Rect(device.Rect(shell.desktop)).c_str());
    std::printf("  work area    %s\n", Rect(device.WorkArea()).c_str());
    std::printf("  \"Notes\"      %s\n", Rect(device.Rect(notes)).c_str());
    std::printf("  hidden       %s\n", Rect(device.Rect(hidden)).c_str());
    std::printf("  tool window  %s\n", Rect(device.Rect(tool)).c_str());
    if (!device.RegKeyExists(SETTINGS_KEY)) {
        std::printf("  registry     (no settings stored)\n");
        return;
    }
    for (const auto& name : device.RegValueNames(SETTINGS_KEY)) {
        auto value = device.RegGet(SETTINGS_KEY, name);
        std::string shown;
        if (value->type == REG_DWORD && value->data.size() == 4) {
            shown = std::to_string(*device.RegGetDword(SETTINGS_KEY, name));
        } else if (value->type == REG_SZ) {
            std::u16string text;
            for (size_t i = 0; i + 1 < value->data.size(); i += 2) {
                char16_t c = (char16_t)(value->data[i] | value->data[i + 1] << 8);
                if (c == 0)
                    break;
                text += c;
            }
            shown = "\"" + cesim::Utf8(text) + "\"";
        } else {
            shown = "(type " + std::to_string(value->type) + ", " + std::to_string(value->data.size()) + " bytes)";
        }
        std::printf("  %-12s %s\n", cesim::Utf8(name).c_str(), shown.c_str());
    }
}

// What the foreground monitor costs: per period while the same window stays
// in front, and while it is parked on its reset event.
void ShowMonitorCost(cesim::Device& device, DWORD velto)
{
    std::vector<DWORD> threads = device.Threads(velto);
    if (threads.size() < 2)
        return;
    const DWORD monitor = threads[1];
    const int periods = 100;
    device.Advance(250);
    const char* names[] = {"GetForegroundWindow", "IsWindow", "WaitForSingleObject", "Sleep"};
    uint64_t before[4], all = device.ThreadCalls(monitor);
    for (int k = 0; k < 4; ++k)
        before[k] = device.ThreadCalls(monitor, names[k]);
    device.Advance(periods * 250);
    std::printf("  monitor, same window in front: %.2f platform calls a period (",
                (double)(device.ThreadCalls(monitor) - all) / periods);
    for (int k = 0; k < 4; ++k)
        std::printf("%s%s %.2f", k ? ", " : "", names[k], (double)(device.ThreadCalls(monitor, names[k]) - before[k]) / periods);
    std::printf(")\n");
    device.RunInProcess(velto, [] {
        HANDLE event = CreateEventW(nullptr, TRUE, TRUE, u"AygshellEvent_");
        ResetEvent(event);
        CloseHandle(event);
        return (DWORD)0;
    });
    device.Advance(250);
    all = device.ThreadCalls(monitor);
    uint64_t wakeups = device.Wakeups(monitor);
    device.Advance(periods * 250);
    std::printf("  monitor, parked: %llu platform calls and %llu wake-ups in %d periods\n",
                (unsigned long long)(device.ThreadCalls(monitor) - all),
                (unsigned long long)(device.Wakeups(monitor) - wakeups), periods);
}

[[noreturn]] void Usage(const char* problem)
{
    std::fprintf(stderr, "velto-sim: %s\nusage: velto-sim [--taskbar-top] [--stored-top N] [--] [velto arguments...]\n",
                 problem);
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv)
{
    bool taskbar_top = false;
    long stored_top = -1;
    std::string command_line;
    int i = 1;
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        }
        if (std::strcmp(argv[i], "--taskbar-top") == 0) {
            taskbar_top = true;
        } else if (std::strcmp(argv[i], "--stored-top") == 0) {
            if (i + 1 >= argc)
                Usage("--stored-top needs a number");
            char* end = nullptr;
            stored_top = std::strtol(argv[++i], &end, 0);
            if (*end != 0 || stored_top < 0 || stored_top > 0xFFFFFFFFL)
                Usage("--stored-top takes a number from 0 to 4294967295");
        } else if (std::strncmp(argv[i], "--", 2) == 0) {
            Usage((std::string("unknown option ") + argv[i]).c_str());
        } else {
            break;
        }
    }
    for (; i < argc; ++i) {
        if (!command_line.empty())
            command_line += ' ';
        command_line += argv[i];
    }

    try {
        cesim::Device device;
        cesim::Shell shell = device.InstallShell(cesim::ShellNames::STANDARD,
                                                 taskbar_top ? cesim::TaskbarEdge::TOP : cesim::TaskbarEdge::BOTTOM);
        DWORD other = device.AddProcess(u"notes.exe");
        cesim::WindowOptions options;
        options.class_name = u"NotesMain";
        options.title = u"Notes";
        options.rect = RECT{0, 0, 240, 294};
        HWND notes = device.AddWindow(other, options);
        options.class_name = u"NotesHidden";
        options.title = u"";
        options.style = 0;
        options.rect = RECT{10, 10, 110, 110};
        HWND hidden = device.AddWindow(other, options);
        options.class_name = u"NotesTool";
        options.style = WS_VISIBLE;
        options.exstyle = WS_EX_TOOLWINDOW;
        options.rect = RECT{20, 40, 120, 140};
        HWND tool = device.AddWindow(other, options);
        if (stored_top >= 0)
            device.RegSetDword(SETTINGS_KEY, u"TaskBarOnTop", (DWORD)stored_top);

        Show("before", device, shell, notes, hidden, tool);
        std::printf("\nvelto %s\n", command_line.c_str());
        DWORD velto = device.Start(VELTO_IMAGE, cesim::U16(command_line));
        device.Settle();
        if (device.Running(velto)) {
            std::printf("  Velto is resident\n");
            for (HWND w : device.WindowsOf(velto)) {
                std::printf("  window %-12s %s%s\n", ("\"" + cesim::Utf8(device.ClassName(w)) + "\"").c_str(),
                            Rect(device.Rect(w)).c_str(),
                            device.Parent(w) == shell.taskbar ? " inside the taskbar" : "");
            }
            for (const cesim::TrayIcon& icon : device.Tray()) {
                std::printf("  tray icon %u: icon %d\n", icon.id, device.Image(icon.icon).resource_id);
            }
            ShowMonitorCost(device, velto);
            HWND main_window = device.Find(u"Velto", u"Velto");
            if (main_window != nullptr && device.FindTrayIcon(main_window, 0)) {
                std::printf("  a tap on tray icon 0 opens the task menu:\n");
                device.Advance(1000);
                device.TrayMouse(main_window, 0, WM_LBUTTONDOWN);
                device.Settle();
                if (auto menu = device.Menu()) {
                    const cesim::MenuLevelInfo& top = menu->levels.at(0);
                    std::printf("    at %s\n", Rect(top.rect).c_str());
                    for (size_t k = 0; k < top.items.size(); ++k) {
                        const cesim::MenuItemInfo& item = top.items[k];
                        std::string text = cesim::Utf8(item.text);
                        if (item.flags & MF_SEPARATOR)
                            text = "----";
                        else if (item.flags & MF_OWNERDRAW)
                            text = "[window] " + cesim::Utf8(device.Title((HWND)item.id));
                        else if (item.flags & MF_POPUP)
                            text += " >";
                        std::printf("    %s %s\n", Rect(top.item_rects[k]).c_str(), text.c_str());
                    }
                    device.DismissMenu();
                    device.Settle();
                }
            }
            std::printf("  closing its main window\n");
            if (main_window != nullptr)
                device.Post(main_window, WM_CLOSE, 0, 0);
            device.Advance(10000);
        }
        std::printf("  exit code %lu\n\n", (unsigned long)device.ExitCode(velto));
        Show("after", device, shell, notes, hidden, tool);
    } catch (const cesim::Error& e) {
        std::fprintf(stderr, "velto-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
