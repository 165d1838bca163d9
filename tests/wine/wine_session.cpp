#include "wine_session.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace wine_test {

namespace {

using Clock = std::chrono::steady_clock;

std::string Env(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != 0 ? value : fallback;
}

// Pointers to the strings, ended by a null pointer, as exec takes them.
std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// This process's environment with the given variables set ("NAME=VALUE"),
// without WAYLAND_DISPLAY: Wine is to use the X display it is given.
std::vector<std::string> Environment(const std::vector<std::string>& set = {})
{
    std::vector<std::string> env = set;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string name = std::string(*e, std::strcspn(*e, "=")) + "=";
        auto isSet = [&](const std::string& s) { return s.compare(0, name.size(), name) == 0; };
        if (std::none_of(set.begin(), set.end(), isSet) && name != "WAYLAND_DISPLAY=")
            env.push_back(*e);
    }
    return env;
}

// Starts a program with its standard input from /dev/null and its output
// into files (or, for "", where this process's goes).
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, const std::string& outFile,
            const std::string& errFile)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!outFile.empty())
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!errFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args = Pointers(argv), envp = Pointers(env);
    pid_t pid = -1;
    int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " + argv[0] + " (" + strerror(error) + "): run tools/install-deps.sh");
    return pid;
}

// Runs a program to its end, its error output going where this process's
// goes; its exit code (127, as a shell says, when it cannot be started).
int Call(const std::vector<std::string>& argv, const std::vector<std::string>& env = Environment())
{
    int status = 0;
    try {
        waitpid(Spawn(argv, env, "/dev/null", ""), &status, 0);
    } catch (const std::runtime_error&) {
        return 127;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Kill(pid_t pid)
{
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Parses one line of the probe's window listing: HWND PID VISIBLE EXSTYLE
// STYLE LEFT TOP RIGHT BOTTOM "CLASS" "TITLE", handle and styles in hex.
bool ParseWindow(const std::string& line, Window* window)
{
    static const std::regex format(
        R"re(([0-9a-f]+) (\d+) ([01]) ([0-9a-f]+) ([0-9a-f]+) (-?\d+) (-?\d+) (-?\d+) (-?\d+) "([^"]*)" "(.*)")re");
    std::smatch m;
    if (!std::regex_match(line, m, format))
        return false;
    *window = {m[1], std::stoul(m[2]), m[3] == "1", std::stoul(m[4], nullptr, 16), std::stoul(m[5], nullptr, 16),
               {std::stol(m[6]), std::stol(m[7]), std::stol(m[8]), std::stol(m[9])}, m[10], m[11]};
    return true;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<Window> ParseWindows(const std::string& text)
{
    std::vector<Window> windows;
    for (const std::string& line : Lines(text)) {
        Window window;
        if (ParseWindow(line, &window))
            windows.push_back(window);
    }
    return windows;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Rect& r)
{
    return out << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

std::string VeltoExe() { return Env("VELTO_EXE", VELTO_WIN32_DIR "/velto.exe"); }

std::string ToolExe(const char* name)
{
    return std::string(VELTO_WIN32_DIR "/tools/wine/") + name + ".exe";
}

WineSession::WineSession(const std::string& name, const std::string& desktop)
{
    try {
        Open(name, desktop);
    } catch (...) {
        StopAll();
        throw;
    }
}

void WineSession::Open(const std::string& name, const std::string& desktop)
{
    std::string root = Env("VELTO_WINE_DIR", VELTO_WINE_DIR);
    std::string tools = VELTO_SOURCE_DIR "/tools/wine";
    for (const std::string& exe : {VeltoExe(), ToolExe("pocketshell"), ToolExe("samples"), ToolExe("probe")}) {
        if (access(exe.c_str(), R_OK) != 0)
            throw std::runtime_error(exe + " is missing: build the win32 preset first (tools/test.sh does)");
    }
    if (Call({tools + "/make-prefix.sh", root + "/template"}) != 0)
        throw std::runtime_error("cannot make the Wine prefix template in " + root + "/template");

    dir_ = root + "/tests/" + name;
    prefix_ = dir_ + "/prefix";
    // The logs of the run before stay beside, for a run again after a failure.
    std::filesystem::remove_all(dir_ + ".before");
    if (std::filesystem::exists(dir_))
        std::filesystem::rename(dir_, dir_ + ".before");
    std::filesystem::create_directories(dir_);
    if (Call({tools + "/new-prefix.sh", root + "/template", prefix_}) != 0)
        throw std::runtime_error("cannot make a Wine prefix in " + prefix_);
    if (desktop != "240x340") {
        std::string hive = ReadFile(prefix_ + "/user.reg");
        size_t at = hive.find("\"Default\"=\"240x340\"");
        if (at == std::string::npos)
            throw std::runtime_error("the prefix template has no 240x340 desktop to change");
        hive.replace(at, 19, "\"Default\"=\"" + desktop + "\"");
        std::ofstream(prefix_ + "/user.reg", std::ios::binary) << hive;
    }

    StartXvfb();
    // The desktop first, so that every later program finds it made.
    Result screen = Probe({"screen"});
    std::string size = desktop;
    size[size.find('x')] = ' ';
    if (screen.exitCode != 0 || screen.out != size + "\n")
        throw std::runtime_error("Wine's desktop is not " + desktop + ": \"" + screen.out + "\" " + screen.err);
}

// An X server of the session's own; every C++ session starts its server here
// (the Wine tests' and the conformance suite's runner alike). Xvfb picks a
// free display and writes its number once it takes connections, so that
// sessions side by side never reach for the same one. Without -noreset it
// would reset whenever its last client leaves, refusing connections
// meanwhile; Wine's desktop leaves it about a second after the last Wine
// program of the prefix ends.
void WineSession::StartXvfb()
{
    std::string number, numberFile = dir_ + "/display";
    xvfb_ = Spawn({"Xvfb", "-displayfd", "1", "-screen", "0", "240x340x24", "-nolisten", "tcp", "-noreset"},
                  Environment(), numberFile, dir_ + "/xvfb.log");
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while ((number = ReadFile(numberFile)).find('\n') == std::string::npos) {
        if (waitpid(xvfb_, nullptr, WNOHANG) != 0)
            xvfb_ = -1;  // it ended
        if (xvfb_ == -1 || Clock::now() >= deadline)
            throw std::runtime_error("Xvfb did not start (see " + dir_ + "/xvfb.log)");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    display_ = ":" + number.substr(0, number.find('\n'));
}

WineSession::~WineSession()
{
    // A failed test leaves a picture of its screen beside its logs.
    if (::testing::Test::HasFailure() && xvfb_ > 0)
        Call({"import", "-display", display_, "-window", "root", dir_ + "/screen.png"});
    StopAll();
}

void WineSession::StopAll()
{
    if (!prefix_.empty()) {
        // Ends every process of this prefix, the wineserver last.
        std::vector<std::string> env = Environment({"WINEPREFIX=" + prefix_, "WINEDEBUG=-all"});
        Call({"wineserver", "-k"}, env);
        Call({"wineserver", "-w"}, env);
    }
    for (pid_t pid : std::vector<pid_t>(started_)) {
        if (WaitExit(pid, 5000) == -1)
            Kill(pid);
    }
    started_.clear();
    if (xvfb_ > 0) {
        kill(xvfb_, SIGTERM);
        waitpid(xvfb_, nullptr, 0);
        xvfb_ = -1;
    }
    if (!dir_.empty() && Env("VELTO_WINE_KEEP", "")[0] == 0)
        std::filesystem::remove_all(prefix_);
}

pid_t WineSession::Launch(const std::vector<std::string>& args, const std::string& outFile, const std::string& errFile)
{
    // Without address randomisation (tools/wine/screen.sh says why), and
    // with Wine's errors, which tell why a program could not start.
    std::vector<std::string> argv = {"setarch", "-R", "wine"};
    argv.insert(argv.end(), args.begin(), args.end());
    return Spawn(argv,
                 Environment({"WINEPREFIX=" + prefix_, "DISPLAY=" + display_, "WINEDEBUG=-all,err+all",
                              "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d"}),
                 outFile, errFile);
}

Result WineSession::Run(const std::vector<std::string>& args, int timeoutMs)
{
    std::string base = dir_ + "/run" + std::to_string(++counter_);
    pid_t pid = Launch(args, base + ".out", base + ".err");
    Result result;
    result.exitCode = WaitExit(pid, timeoutMs);
    if (result.exitCode == -1)
        Kill(pid);
    std::ofstream(base + ".code") << result.exitCode << "\n";
    result.out = ReadFile(base + ".out");
    result.err = ReadFile(base + ".err");
    return result;
}

pid_t WineSession::Start(const std::vector<std::string>& args, const std::string& outFile)
{
    std::string base = dir_ + "/start" + std::to_string(++counter_);
    pid_t pid = Launch(args, outFile.empty() ? base + ".out" : outFile, base + ".err");
    started_.push_back(pid);
    return pid;
}

int WineSession::WaitExit(pid_t pid, int timeoutMs)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            started_.erase(std::remove(started_.begin(), started_.end(), pid), started_.end());
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (done < 0)
            return -2;  // not ours, or already collected
        if (Clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

Result WineSession::Probe(const std::vector<std::string>& args)
{
    std::vector<std::string> full = {ToolExe("probe")};
    full.insert(full.end(), args.begin(), args.end());
    return Run(full, 120000);
}

std::vector<Window> WineSession::Windows() { return ParseWindows(Probe({"list"}).out); }

std::vector<Window> WineSession::Children(const std::string& className, const std::string& title)
{
    return ParseWindows(Probe({"children", className, title}).out);
}

// The one window that a probe command waits for, once it is there.
bool WineSession::ProbeWindow(const std::vector<std::string>& args, Window* found)
{
    Window window;
    Result result = Probe(args);
    std::string line = result.out.substr(0, result.out.find('\n'));
    return result.exitCode == 0 && ParseWindow(line, found != nullptr ? found : &window);
}

bool WineSession::WaitWindow(const std::string& className, const std::string& title, int timeoutMs, Window* found)
{
    return ProbeWindow({"wait", className, title, std::to_string(timeoutMs)}, found);
}

bool WineSession::WaitMenu(int timeoutMs, Window* found)
{
    return ProbeWindow({"menu", std::to_string(timeoutMs)}, found);
}

std::vector<std::string> WineSession::Settings() { return Lines(Probe({"reg"}).out); }

void WineSession::SetSetting(const std::string& name, unsigned value)
{
    Result result = Probe({"setreg", name, std::to_string(value)});
    if (result.exitCode != 0)
        throw std::runtime_error("cannot store " + name + ": " + result.err);
}

void WineSession::StartShell()
{
    Start({ToolExe("pocketshell")});
    if (!WaitWindow("HHTaskBar", "", 60000) || !WaitWindow("DesktopExplorerWindow", "Desktop", 60000))
        throw std::runtime_error("the shell stand-in did not show its windows");
}

pid_t WineSession::StartSample(const std::vector<std::string>& args, const std::string& logFile, Window* found)
{
    std::vector<std::string> full = {ToolExe("samples")};
    full.insert(full.end(), args.begin(), args.end());
    pid_t pid = Start(full, logFile);
    if (!WaitWindow("VeltoSample", args.back(), 60000, found))
        throw std::runtime_error("the sample window \"" + args.back() + "\" did not appear");
    return pid;
}

pid_t WineSession::StartVelto()
{
    pid_t pid = Start({VeltoExe()});
    if (!WaitWindow("Velto", "Velto", 60000))
        throw std::runtime_error("Velto's main window did not appear");
    if (Probe({"waittray", "Velto", "Velto", "0", "present", "60000"}).exitCode != 0)
        throw std::runtime_error("Velto's tray icon did not appear");
    return pid;
}

std::string WineSession::ReadFile(const std::string& path) const
{
    std::ifstream in(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // Windows programs end their lines with CR LF.
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

}  // namespace wine_test
