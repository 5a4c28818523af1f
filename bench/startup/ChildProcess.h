#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A program started by the benchmark, stopped (SIGTERM, then SIGKILL) when the
// object goes away. Its standard output and error go to the files named, or
// to /dev/null.
class ChildProcess {
public:
    struct Options {
        std::vector<std::string> arguments;
        // Added to the benchmark's own environment ("NAME=value").
        std::vector<std::string> environment;
        std::string stdoutPath = "/dev/null";
        std::string stderrPath = "/dev/null";
        // When not -1, this descriptor of ours becomes descriptor 3 of the child.
        int passAsFd3 = -1;
    };

    ChildProcess(const std::string& program, const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running();
    void Stop();

private:
    pid_t pid_ = -1;
};

// Reads one line that a child writes to the pipe it was given as descriptor 3
// (Xvfb's display number, dbus-daemon's address), waiting up to `seconds`.
std::string ReadLineFromPipe(int fd, int seconds);
