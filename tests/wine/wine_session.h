// A Pocket PC screen under Wine for one test: its own X server (Xvfb), its
// own Wine prefix made fresh from the prepared template, the shell stand-in,
// and ways to start Velto and the sample programs and to ask the probe.
// Everything it started is ended when it goes. Its logs stay in
// build/native/wine/tests/NAME, with a screenshot when the test failed (and
// those of the run before in NAME.before); the wineserver's own complaints go
// to run1.err, as it is started by the first program. VELTO_WINE_KEEP=1 keeps
// its Wine prefix too.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace wine_test {

struct Rect {
    long left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};
std::ostream& operator<<(std::ostream& out, const Rect& r);

// One window as the probe prints it.
struct Window {
    std::string handle;  // hex, no prefix
    unsigned long pid = 0;
    bool visible = false;
    unsigned long exStyle = 0, style = 0;
    Rect rect;
    std::string className, title;
};

struct Result {
    int exitCode = -1;  // -1: did not end in time
    std::string out, err;
};

class WineSession {
public:
    // desktop: the size of Wine's desktop, "240x340" for the Pocket PC's
    // screen with Wine's taskbar below it.
    explicit WineSession(const std::string& name, const std::string& desktop = "240x340");
    ~WineSession();
    WineSession(const WineSession&) = delete;
    WineSession& operator=(const WineSession&) = delete;

    // Runs a Windows program to its end (at most timeoutMs).
    Result Run(const std::vector<std::string>& args, int timeoutMs = 60000);
    // Starts one in the background; its standard output goes to a file.
    pid_t Start(const std::vector<std::string>& args, const std::string& outFile = "");
    // Waits for a started program to end; its exit code, or -1 on time-out.
    int WaitExit(pid_t pid, int timeoutMs);

    Result Probe(const std::vector<std::string>& args);
    // The probe's windows: top level, or the children of one window.
    std::vector<Window> Windows();
    std::vector<Window> Children(const std::string& className, const std::string& title);
    bool WaitWindow(const std::string& className, const std::string& title, int timeoutMs, Window* found = nullptr);
    // Waits until a popup menu is on screen (Wine keeps hidden ones too).
    bool WaitMenu(int timeoutMs, Window* found = nullptr);
    // The registry values of Velto as "NAME TYPE SIZE DATA" lines.
    std::vector<std::string> Settings();
    void SetSetting(const std::string& name, unsigned value);

    // The shell stand-in, started and waited for.
    void StartShell();
    // A sample program (samples.exe KIND TITLE...), waited for until the
    // window of the last title is there (found: that window); its log goes
    // to logFile.
    pid_t StartSample(const std::vector<std::string>& args, const std::string& logFile = "", Window* found = nullptr);
    // Velto resident, waited for until its main window and its tray icon are there.
    pid_t StartVelto();

    const std::string& Dir() const { return dir_; }
    // A file's text, without the carriage returns of Windows programs' lines.
    std::string ReadFile(const std::string& path) const;

private:
    void Open(const std::string& name, const std::string& desktop);
    void StartXvfb();  // sets xvfb_ and display_
    bool ProbeWindow(const std::vector<std::string>& args, Window* found);
    pid_t Launch(const std::vector<std::string>& args, const std::string& outFile, const std::string& errFile);
    void StopAll();

    std::string dir_, prefix_, display_;
    pid_t xvfb_ = -1;
    std::vector<pid_t> started_;
    int counter_ = 0;
};

std::string VeltoExe();
std::string ToolExe(const char* name);

}  // namespace wine_test
