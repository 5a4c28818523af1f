#include "HoldingServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

#include "LoopbackListener.h"

struct HoldingServer::Connection {
    int fd = -1;
    std::string request;
    bool RequestComplete() const { return request.find("\r\n\r\n") != std::string::npos; }
};

HoldingServer::HoldingServer() {
    listener_ = ListenOnLoopback(port_, "holding server");
    thread_ = std::thread([this] { Run(); });
}

HoldingServer::~HoldingServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

std::string HoldingServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HoldingServer::Release(std::string answer) {
    const std::lock_guard<std::mutex> locked(lock_);
    answer_ = std::move(answer);
}

std::optional<std::string> HoldingServer::Answer() {
    const std::lock_guard<std::mutex> locked(lock_);
    return answer_;
}

namespace {

// Sent whole (the answers are small), then a clean end.
void Send(int fd, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
}

}  // namespace

// False when the client has closed its end.
bool HoldingServer::Read(Connection& connection) {
    char buffer[4096];
    const ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got > 0) {
        // A request larger than this is no feed request; only its head matters.
        if (connection.request.size() < 64 * 1024) {
            connection.request.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

void HoldingServer::Run() {
    std::vector<Connection> held;
    while (!stop_) {
        std::vector<pollfd> watched;
        for (const Connection& connection : held) {
            watched.push_back({connection.fd, POLLIN, 0});
        }
        watched.push_back({listener_, POLLIN, 0});
        ::poll(watched.data(), watched.size(), 20);
        const std::optional<std::string> answer = Answer();
        std::vector<Connection> kept;
        for (std::size_t i = 0; i < held.size(); ++i) {
            Connection& connection = held[i];
            bool open = watched[i].revents == 0 || Read(connection);
            if (!open) {
                ++gaveUp_;
            } else if (answer && connection.RequestComplete()) {
                Send(connection.fd, *answer);
                ++answered_;
                open = false;
            }
            if (open) {
                kept.push_back(std::move(connection));
            } else {
                ::close(connection.fd);
            }
        }
        held = std::move(kept);
        if (watched.back().revents & POLLIN) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                ++accepted_;
                held.push_back({fd, {}});
            }
        }
    }
    for (const Connection& connection : held) {
        ::close(connection.fd);
    }
}
