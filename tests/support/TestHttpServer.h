#pragma once

#include <string>
#include <thread>

#include <httplib.h>

// A real HTTP server on 127.0.0.1 with an ephemeral port, run in a thread for
// the life of a test. Add handlers through Server() before Start().
class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    httplib::Server& Server() { return server_; }

    // Binds and starts serving; returns once the server accepts connections.
    void Start();
    void Stop();

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string Url(const std::string& path) const;

    // Serves `bytes` at `path` for GET and HEAD, with Range support.
    void ServeBytes(const std::string& path, std::string bytes,
                    const std::string& contentType = "application/octet-stream");

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};
