// Helpers shared by the simulator's own tests: a window procedure that logs
// what it gets, a message loop, and a fixture that owns the device.
//
// Program code in these tests runs on simulated threads (StartFunction,
// CreateThread, RunInProcess); the test thread only sets up, moves the clock
// and reads effects. A program that runs to its end (RunToEnd) checks what
// it sees itself; otherwise results are handed back through variables that
// the test reads after the device has settled.
#pragma once

#include <cesim/device.h>
#include <cesim/win32.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace simtest {

// One call of the logging window procedure.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD thread;  // the simulated thread the procedure ran on
};

class MessageLog {
public:
    void Add(const Seen& s)
    {
        std::lock_guard<std::mutex> g(mu_);
        seen_.push_back(s);
    }
    std::vector<Seen> Of(HWND hwnd, UINT message) const
    {
        std::lock_guard<std::mutex> g(mu_);
        std::vector<Seen> out;
        for (const Seen& s : seen_) {
            if (s.hwnd == hwnd && s.message == message)
                out.push_back(s);
        }
        return out;
    }
    int Count(HWND hwnd, UINT message) const { return (int)Of(hwnd, message).size(); }
    void Clear()
    {
        std::lock_guard<std::mutex> g(mu_);
        seen_.clear();
    }

private:
    mutable std::mutex mu_;
    std::vector<Seen> seen_;
};

// A test's own answer to a message: return true and set *result to keep
// the message from DefWindowProcW.
using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;

inline MessageLog& Log()
{
    static MessageLog log;
    return log;
}

inline Handler& CurrentHandler()
{
    static Handler handler;
    return handler;
}

inline LRESULT CALLBACK LoggingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Log().Add(Seen{hwnd, message, wParam, lParam, GetCurrentThreadId()});
    LRESULT result = 0;
    Handler& h = CurrentHandler();
    if (h && h(hwnd, message, wParam, lParam, &result))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Registers a class of the calling process that uses LoggingProc; a class
// the process already has is left as it is. Call from a simulated thread.
inline void EnsureClass(const char16_t* name, HBRUSH background = nullptr)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = LoggingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

// Creates a window with LoggingProc. Call from a simulated thread.
inline HWND MakeWindow(const char16_t* cls, const char16_t* title, DWORD style, RECT r)
{
    EnsureClass(cls);
    return CreateWindowExW(0, cls, title, style, r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// Runs the calling thread's message loop until WM_QUIT; returns its code.
inline int Pump()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return (int)msg.wParam;
}

// The message of the cesim::Error that f throws; fails the test if it throws none.
inline std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const cesim::Error& e) {
        return e.what();
    }
    ADD_FAILURE() << "no cesim::Error was thrown";
    return "";
}

// Expects f to throw a cesim::Error whose message says every one of parts.
inline void ExpectErrorSays(const std::function<void()>& f, const std::vector<std::string>& parts)
{
    std::string message = ErrorOf(f);
    for (const std::string& part : parts)
        EXPECT_NE(std::string::npos, message.find(part)) << "no \"" << part << "\" in: " << message;
}

inline std::string Show(const RECT& r)
{
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "}";
}

// Rectangles compared as text, so that a failure shows both.
#define EXPECT_RECT(expected, actual) EXPECT_EQ(::simtest::Show(expected), ::simtest::Show(actual))

// Owns the device for one test. Every suite here is named cesim...
// (cesimWindows, cesimKernel, cesimResourceBitmapDecoder, ...) so that
// `ctest -R cesim` picks them out.
// Program code may capture the test's locals by reference: once the device
// has settled its threads only wait, and tearing the device down ends them
// without running any more of their code.
class DeviceTest : public ::testing::Test {
protected:
    ~DeviceTest() override
    {
        device_.reset();  // joins every simulated thread first
        CurrentHandler() = nullptr;  // the next test starts with neither
        Log().Clear();
    }

    cesim::Device& device() { return *device_; }

    // Starts again on a new device, for a test whose rows each need their own.
    void FreshDevice()
    {
        device_.reset();
        device_ = std::make_unique<cesim::Device>();
    }

    // Starts a program whose first thread runs fn, lets it run until the
    // device settles and returns its process id.
    DWORD Run(std::function<int()> fn, const std::u16string& exe = u"probe.exe")
    {
        DWORD pid = device().StartFunction(exe, std::move(fn));
        device().Settle();
        return pid;
    }

    // Runs fn as a program that must get to its end, so that every check in
    // it has been made once the device settles.
    void RunToEnd(std::function<void()> fn)
    {
        DWORD pid = Run([fn] {
            fn();
            return 0;
        });
        EXPECT_FALSE(device().Running(pid)) << "the program did not get to its end";
    }

    std::unique_ptr<cesim::Device> device_ = std::make_unique<cesim::Device>();
};

}  // namespace simtest
