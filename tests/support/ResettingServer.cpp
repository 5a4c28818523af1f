#include "ResettingServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "LoopbackListener.h"

ResettingServer::ResettingServer(std::string prefix, std::string headAnswer)
    : prefix_(std::move(prefix)), headAnswer_(std::move(headAnswer)) {
    listener_ = ListenOnLoopback(port_, "resetting server");
    thread_ = std::thread([this] { Run(); });
}

ResettingServer::~ResettingServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

std::string ResettingServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void ResettingServer::Run() {
    while (!stop_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0) {
            continue;
        }
        ++accepted_;
        // Read the request up to the end of its headers.
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd readable{connection, POLLIN, 0};
            if (::poll(&readable, 1, 2000) <= 0) {
                break;
            }
            const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(got));
        }
        if (request.starts_with("HEAD ") && !headAnswer_.empty()) {
            ::send(connection, headAnswer_.data(), headAnswer_.size(), MSG_NOSIGNAL);
            ::shutdown(connection, SHUT_WR);
            ::close(connection);
            continue;
        }
        ::send(connection, prefix_.data(), prefix_.size(), MSG_NOSIGNAL);
        // Closing with a zero linger time sends a reset instead of a clean end.
        linger reset{1, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(connection);
    }
}
