#include "FaultyFileServer.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <stdexcept>

#include "LoopbackListener.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The value of header `name` (lower case) in the request head, or "".
std::string HeaderIn(const std::string& head, const std::string& name) {
    std::istringstream lines(head);
    std::string line;
    while (std::getline(lines, line)) {
        const auto colon = line.find(':');
        if (colon != std::string::npos && Lower(line.substr(0, colon)) == name) {
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            value.erase(value.find_last_not_of("\r ") + 1);
            return value;
        }
    }
    return {};
}

}  // namespace

FaultyFileServer::FaultyFileServer(File file, std::vector<Step> script, File next)
    : file_(std::move(file)), next_(std::move(next)), script_(std::move(script)) {
    listener_ = ListenOnLoopback(port_, "file server");
    thread_ = std::thread([this] { Run(); });
}

FaultyFileServer::FaultyFileServer(File file, std::vector<Step> script)
    : FaultyFileServer(std::move(file), std::move(script), File{}) {}

FaultyFileServer::~FaultyFileServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

std::string FaultyFileServer::Url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/episode.mp3";
}

std::vector<std::string> FaultyFileServer::Requests() const {
    std::lock_guard guard(lock_);
    return requests_;
}

std::string FaultyFileServer::Header(std::size_t request, const std::string& name) const {
    const std::vector<std::string> requests = Requests();
    return request < requests.size() ? HeaderIn(requests[request], Lower(name)) : "(no request)";
}

void FaultyFileServer::Run() {
    while (!stop_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0) {
            continue;
        }
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && !stop_) {
            pollfd readable{connection, POLLIN, 0};
            if (::poll(&readable, 1, 50) <= 0) {
                continue;
            }
            const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(got));
        }
        if (request.starts_with("GET ")) {
            Answer(connection, request.substr(0, request.find("\r\n\r\n")));
        }
        ::close(connection);
    }
}

void FaultyFileServer::Answer(int connection, const std::string& request) {
    std::size_t index = 0;
    {
        std::lock_guard guard(lock_);
        index = requests_.size();
        requests_.push_back(request.substr(std::min(request.size(), request.find("\r\n") + 2)));
    }
    if (beforeAnswer) {
        beforeAnswer(index);
    }
    const Step step = index < script_.size() ? script_[index] : Step{};
    if (step.fault == Fault::Change || step.fault == Fault::ChangeUnchecked) {
        current_ = &next_;
    }
    const File& file = *current_.load();
    const std::size_t size = file.bytes.size();

    std::string head;
    switch (step.fault) {
        case Fault::Status503:
            head = "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n";
            break;
        case Fault::Status404:
            head = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n";
            break;
        case Fault::Redirect:
            head = "HTTP/1.1 302 Found\r\nLocation: /elsewhere.mp3\r\nContent-Length: 0\r\n";
            break;
        default:
            break;
    }
    if (!head.empty()) {
        head += "Connection: close\r\n\r\n";
        SendAll(connection, head.data(), head.size());
        return;
    }

    // A range is honoured while If-Range names this very file.
    std::size_t from = 0;
    const std::string range = HeaderIn(request, "range");
    const std::string ifRange = HeaderIn(request, "if-range");
    const bool strongTag = !file.etag.empty() && !file.etag.starts_with("W/");
    const bool same = ifRange.empty() || (strongTag && ifRange == file.etag) ||
                      (file.etag.empty() && ifRange == file.lastModified);
    const bool ranged = range.starts_with("bytes=") && step.fault != Fault::IgnoreRange &&
                        (same || step.fault == Fault::ChangeUnchecked);
    if (ranged) {
        from = std::stoull(range.substr(6));
    }
    if (ranged && (from >= size || step.fault == Fault::Unsatisfiable)) {
        head = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
               std::to_string(size) + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        SendAll(connection, head.data(), head.size());
        return;
    }
    if (ranged && step.fault == Fault::WrongOffset) {
        from = std::min(size - 1, from + 1000);
    }
    head = ranged ? "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) +
                        "-" + std::to_string(size - 1) + "/" + std::to_string(size) + "\r\n"
                  : "HTTP/1.1 200 OK\r\n";
    head += "Content-Type: audio/mpeg\r\nAccept-Ranges: bytes\r\nConnection: close\r\n";
    if (file.sendLength) {
        head += "Content-Length: " + std::to_string(size - from) + "\r\n";
    }
    if (!file.etag.empty()) {
        head += "ETag: " + file.etag + "\r\n";
    }
    if (!file.lastModified.empty()) {
        head += "Last-Modified: " + file.lastModified + "\r\n";
    }
    head += "\r\n";
    const bool breaks = step.fault == Fault::ResetAt || step.fault == Fault::CloseAt ||
                        step.fault == Fault::StallAt;
    const std::size_t end = breaks ? std::clamp(step.at, from, size) : size;
    if (!SendAll(connection, head.data(), head.size()) ||
        !SendAll(connection, file.bytes.data() + from, end - from)) {
        return;
    }
    if (step.fault == Fault::ResetAt) {
        // Only once the client holds every byte sent, so that where the body
        // stops does not depend on timing; a zero linger time then sends a
        // reset instead of a clean end.
        WaitUntilSent(connection);
        linger reset{1, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    } else if (step.fault == Fault::StallAt) {
        char byte;
        while (!stop_) {
            pollfd gone{connection, POLLIN, 0};
            if (::poll(&gone, 1, 50) > 0 && ::recv(connection, &byte, 1, 0) <= 0) {
                break;
            }
        }
    } else {
        ::shutdown(connection, SHUT_WR);
    }
}

bool FaultyFileServer::SendAll(int connection, const char* data, std::size_t size) {
    while (size > 0) {
        if (stop_) {
            return false;
        }
        pollfd writable{connection, POLLOUT, 0};
        if (::poll(&writable, 1, 50) <= 0) {
            continue;
        }
        const ssize_t sent =
            ::send(connection, data, std::min<std::size_t>(size, 1 << 20), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void FaultyFileServer::WaitUntilSent(int connection) {
    int unsent = 1;
    while (!stop_ && ::ioctl(connection, SIOCOUTQ, &unsent) == 0 && unsent > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
