#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// A TCP server on 127.0.0.1 that accepts every connection, reads the request
// and answers nothing, as a feed server that has stopped answering, until
// Release: from then on each held request and each later one gets `answer`
// (raw bytes: a whole HTTP response) and the connection is closed.
class HoldingServer {
public:
    HoldingServer();
    ~HoldingServer();
    HoldingServer(const HoldingServer&) = delete;
    HoldingServer& operator=(const HoldingServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path) const;
    void Release(std::string answer);

    int Accepted() const { return accepted_; }
    // Connections the client closed before any answer: it gave up waiting.
    int GaveUp() const { return gaveUp_; }
    int Answered() const { return answered_; }

private:
    struct Connection;
    void Run();
    bool Read(Connection& connection);
    std::optional<std::string> Answer();

    int listener_ = -1;
    int port_ = 0;
    std::mutex lock_;
    std::optional<std::string> answer_;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> gaveUp_{0};
    std::atomic<int> answered_{0};
    std::thread thread_;
};
