#include "wine_session.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

[[noreturn]] void Fail(const std::string& what)
{
    throw std::runtime_error(what);
}

int System(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
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

// Parses one line of the probe's window listing.
bool ParseWindow(const std::string& line, Window* window)
{
    std::istringstream in(line);
    int visible = 0;
    in >> window->handle >> std::dec >> window->pid >> visible >> std::hex >> window->exStyle >> window->style >>
        std::dec >> window->rect.left >> window->rect.top >> window->rect.right >> window->rect.bottom;
    if (!in)
        return false;
    window->visible = visible != 0;
    std::string rest;
    std::getline(in, rest);
    size_t a = rest.find('"'), b = rest.find('"', a + 1), c = rest.find('"', b + 1), d = rest.rfind('"');
    if (a == std::string::npos || b == std::string::npos || c == std::string::npos || d <= c)
        return false;
    window->className = rest.substr(a + 1, b - a - 1);
    window->title = rest.substr(c + 1, d - c - 1);
    return true;
}

std::vector<Window> ParseWindows(const std::string& text)
{
    std::vector<Window> windows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
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

std::string VeltoExe()
{
    return Env("VELTO_EXE", VELTO_WIN32_DIR "/velto.exe");
}

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
            Fail(exe + " is missing: build the win32 preset first (tools/test.sh does)");
    }
    if (System("command -v wine >/dev/null && command -v Xvfb >/dev/null") != 0)
        Fail("wine or Xvfb is not installed: run tools/install-deps.sh");
    if (System(Quote(tools + "/make-prefix.sh") + " " + Quote(root + "/template") + " >/dev/null") != 0)
        Fail("cannot make the Wine prefix template in " + root + "/template");

    dir_ = root + "/tests/" + name;
    prefix_ = dir_ + "/prefix";
    System("rm -rf " + Quote(dir_));
    System("mkdir -p " + Quote(dir_));
    if (System(Quote(tools + "/new-prefix.sh") + " " + Quote(root + "/template") + " " + Quote(prefix_)) != 0)
        Fail("cannot make a Wine prefix in " + prefix_);
    if (desktop != "240x340") {
        std::string hive = ReadFile(prefix_ + "/user.reg");
        size_t at = hive.find("\"Default\"=\"240x340\"");
        if (at == std::string::npos)
            Fail("the prefix template has no 240x340 desktop to change");
        hive.replace(at, 19, "\"Default\"=\"" + desktop + "\"");
        std::ofstream(prefix_ + "/user.reg", std::ios::binary) << hive;
    }

    // An X server of its own: Xvfb picks a free display and tells its number.
    int fds[2];
    if (pipe(fds) != 0)
        Fail("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, (dir_ + "/xvfb.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string fd = std::to_string(fds[1]);
    std::vector<std::string> xargs = {"Xvfb", "-displayfd", fd, "-screen", "0", "240x340x24", "-nolisten", "tcp"};
    std::vector<char*> argv = Pointers(xargs);
    if (posix_spawnp(&xvfb_, "Xvfb", &actions, nullptr, argv.data(), environ) != 0)
        Fail("cannot start Xvfb");
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
        if (poll(&wait, 1, 1000) <= 0)
            continue;
        char buffer[32];
        ssize_t n = read(fds[0], buffer, sizeof(buffer));
        if (n <= 0)
            break;
        number.append(buffer, n);
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos)
        Fail("Xvfb did not start (see " + dir_ + "/xvfb.log)");
    display_ = ":" + number.substr(0, number.find('\n'));

    // The desktop first, so that every later program finds it made.
    Result screen = Probe({"screen"});
    std::string size = desktop;
    size[size.find('x')] = ' ';
    if (screen.exitCode != 0 || screen.out != size + "\n")
        Fail("Wine's desktop is not " + desktop + ": \"" + screen.out + "\" " + screen.err);
}

WineSession::~WineSession()
{
    // A failed test leaves a picture of its screen beside its logs.
    if (::testing::Test::HasFailure() && xvfb_ > 0)
        System("import -display " + display_ + " -window root " + Quote(dir_ + "/screen.png") + " 2>/dev/null");
    StopAll();
}

void WineSession::StopAll()
{
    if (!prefix_.empty()) {
        // Ends every process of this prefix, the wineserver last.
        std::string env = "WINEDEBUG=-all WINEPREFIX=" + Quote(prefix_) + " ";
        System(env + "wineserver -k >/dev/null 2>&1");
        System(env + "wineserver -w >/dev/null 2>&1");
    }
    for (pid_t pid : started_) {
        if (WaitExit(pid, 5000) == -1 && Running(pid)) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    started_.clear();
    if (xvfb_ > 0) {
        kill(xvfb_, SIGTERM);
        waitpid(xvfb_, nullptr, 0);
        xvfb_ = -1;
    }
    if (!dir_.empty() && Env("VELTO_WINE_KEEP", "")[0] == 0)
        System("rm -rf " + Quote(prefix_));
}

pid_t WineSession::Spawn(const std::vector<std::string>& args, const std::string& outFile, const std::string& errFile)
{
    std::vector<std::string> env = {"WINEPREFIX=" + prefix_, "DISPLAY=" + display_, "WINEDEBUG=-all",
                                    "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d"};
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        std::string key = entry.substr(0, entry.find('='));
        if (key != "WINEPREFIX" && key != "DISPLAY" && key != "WINEDEBUG" && key != "WINEDLLOVERRIDES" &&
            key != "WAYLAND_DISPLAY")
            env.push_back(entry);
    }
    std::vector<std::string> full = {"wine"};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> envp = Pointers(env), argv = Pointers(full);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.empty() ? "/dev/null" : outFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.empty() ? "/dev/null" : errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    int error = posix_spawnp(&pid, "wine", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        Fail("cannot start wine: " + std::string(strerror(error)));
    return pid;
}

Result WineSession::Run(const std::vector<std::string>& args, int timeoutMs)
{
    std::string base = dir_ + "/run" + std::to_string(++counter_);
    pid_t pid = Spawn(args, base + ".out", base + ".err");
    Result result;
    result.exitCode = WaitExit(pid, timeoutMs);
    if (result.exitCode == -1 && Running(pid)) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::ofstream(base + ".code") << result.exitCode << "\n";
    result.out = ReadFile(base + ".out");
    result.err = ReadFile(base + ".err");
    return result;
}

pid_t WineSession::Start(const std::vector<std::string>& args, const std::string& outFile)
{
    std::string base = dir_ + "/start" + std::to_string(++counter_);
    pid_t pid = Spawn(args, outFile.empty() ? base + ".out" : outFile, base + ".err");
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
            for (auto it = started_.begin(); it != started_.end(); ++it) {
                if (*it == pid) {
                    started_.erase(it);
                    break;
                }
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (done < 0)
            return -2;  // not ours, or already collected
        if (Clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool WineSession::Running(pid_t pid)
{
    return kill(pid, 0) == 0;
}

Result WineSession::Probe(const std::vector<std::string>& args)
{
    std::vector<std::string> full = {ToolExe("probe")};
    full.insert(full.end(), args.begin(), args.end());
    return Run(full, 120000);
}

std::vector<Window> WineSession::Windows()
{
    return ParseWindows(Probe({"list"}).out);
}

std::vector<Window> WineSession::Children(const std::string& className, const std::string& title)
{
    return ParseWindows(Probe({"children", className, title}).out);
}

// The one window that a probe command waits for, once it is there.
bool WineSession::ProbeWindow(const std::vector<std::string>& args, Window* found)
{
    Result result = Probe(args);
    Window window;
    if (result.exitCode != 0 || !ParseWindow(result.out, &window))
        return false;
    if (found != nullptr)
        *found = window;
    return true;
}

bool WineSession::WaitWindow(const std::string& className, const std::string& title, int timeoutMs, Window* found)
{
    return ProbeWindow({"wait", className, title, std::to_string(timeoutMs)}, found);
}

bool WineSession::WaitMenu(int timeoutMs, Window* found)
{
    return ProbeWindow({"menu", std::to_string(timeoutMs)}, found);
}

std::vector<std::string> WineSession::Settings()
{
    std::vector<std::string> lines;
    std::istringstream in(Probe({"reg"}).out);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

void WineSession::SetSetting(const std::string& name, unsigned value)
{
    Result result = Probe({"setreg", name, std::to_string(value)});
    if (result.exitCode != 0)
        Fail("cannot store " + name + ": " + result.err);
}

void WineSession::StartShell()
{
    Start({ToolExe("pocketshell")});
    if (!WaitWindow("HHTaskBar", "", 60000) || !WaitWindow("DesktopExplorerWindow", "Desktop", 60000))
        Fail("the shell stand-in did not show its windows");
}

pid_t WineSession::StartVelto(const std::vector<std::string>& args)
{
    std::vector<std::string> full = {VeltoExe()};
    full.insert(full.end(), args.begin(), args.end());
    pid_t pid = Start(full);
    if (!WaitWindow("Velto", "Velto", 60000))
        Fail("Velto's main window did not appear");
    return pid;
}

std::string WineSession::ReadFile(const std::string& path) const
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    // Windows programs end their lines with CR LF.
    std::string read = text.str();
    read.erase(std::remove(read.begin(), read.end(), '\r'), read.end());
    return read;
}

}  // namespace wine_test
