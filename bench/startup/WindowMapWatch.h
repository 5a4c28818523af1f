#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

struct xcb_connection_t;

// Watches an X display for top-level windows being mapped, so that a program's
// launch can be timed to the moment its window appears. Without a window
// manager every top-level window is a child of the root window.
class WindowMapWatch {
public:
    using Clock = std::chrono::steady_clock;

    explicit WindowMapWatch(const std::string& display);
    ~WindowMapWatch();
    WindowMapWatch(const WindowMapWatch&) = delete;
    WindowMapWatch& operator=(const WindowMapWatch&) = delete;

    // When the first top-level window of process `pid` (its _NET_WM_PID) was
    // seen mapped; nothing when none was by `deadline`.
    std::optional<Clock::time_point> WaitForWindowOf(pid_t pid, Clock::time_point deadline);

private:
    std::optional<pid_t> WindowPid(unsigned window);

    xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
    unsigned pidAtom_ = 0;
};
