#pragma once

#include <atomic>
#include <string>
#include <thread>

// A TCP server on 127.0.0.1 that answers each request with `prefix` (raw bytes:
// a status line, headers and part of a body, or nothing) and then resets the
// connection, as a failing server or network does. A HEAD request gets
// `headAnswer` instead, sent whole and closed cleanly, when that is not empty.
class ResettingServer {
public:
    explicit ResettingServer(std::string prefix, std::string headAnswer = {});
    ~ResettingServer();
    ResettingServer(const ResettingServer&) = delete;
    ResettingServer& operator=(const ResettingServer&) = delete;

    std::string Url(const std::string& path) const;
    int Accepted() const { return accepted_; }

private:
    void Run();

    std::string prefix_;
    std::string headAnswer_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::thread thread_;
};
