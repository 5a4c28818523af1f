#include "TestHttpServer.h"

#include <chrono>
#include <memory>
#include <stdexcept>

TestHttpServer::TestHttpServer() {
    // Stop() waits for idle keep-alive connections to time out; keep that short.
    server_.set_keep_alive_timeout(1);
}

TestHttpServer::~TestHttpServer() {
    Stop();
}

void TestHttpServer::Start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("test server could not bind to 127.0.0.1");
    }
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!server_.is_running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("test server did not start");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void TestHttpServer::Stop() {
    if (thread_.joinable()) {
        server_.stop();
        thread_.join();
    }
}

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestHttpServer::ServeBytes(const std::string& path, std::string bytes,
                                const std::string& contentType) {
    auto shared = std::make_shared<std::string>(std::move(bytes));
    server_.Get(path, [shared, contentType](const httplib::Request&, httplib::Response& res) {
        res.set_content(*shared, contentType);
    });
}
