#include "TransferHelpers.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include <sys/socket.h>

std::string PatternBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7919 + i / 251) & 0xFF);
    }
    return bytes;
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> PartFilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> parts;
    for (const std::string& name : FolderEntries(folder)) {
        if (name.ends_with(".part")) {
            parts.push_back(name);
        }
    }
    return parts;
}

void ServeBrokenBody(TestHttpServer& server, const std::string& path, std::size_t total,
                     std::size_t sent) {
    auto bytes = std::make_shared<std::string>(PatternBytes(total));
    server.Server().Get(path, [bytes, sent](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(
            bytes->size(), "audio/mpeg",
            [bytes, sent](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (offset >= sent) {
                    return false;  // closes the connection
                }
                const std::size_t n = std::min({length, sent - offset, std::size_t{64 * 1024}});
                return sink.write(bytes->data() + offset, n);
            });
    });
}

void SlowBody::Serve(TestHttpServer& server, const std::string& path, std::size_t total,
                     std::size_t chunk, std::chrono::milliseconds pause) {
    auto bytes = std::make_shared<std::string>(PatternBytes(total));
    server.Server().Get(path, [this, bytes, chunk, pause](const httplib::Request&,
                                                          httplib::Response& res) {
        res.set_content_provider(bytes->size(), "audio/mpeg",
                                 [this, bytes, chunk, pause](std::size_t offset, std::size_t length,
                                                             httplib::DataSink& sink) {
                                     if (stop_) {
                                         return false;
                                     }
                                     std::this_thread::sleep_for(pause);
                                     const std::size_t n = std::min(chunk, length);
                                     sent_ += n;
                                     if (!sink.write(bytes->data() + offset, n)) {
                                         ++cut_;
                                         return false;
                                     }
                                     return true;
                                 });
    });
}

void DropIdleClients(TestHttpServer& server, std::chrono::seconds idle) {
    server.Server().set_write_timeout(idle.count(), 0);
    server.Server().set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        // Accepted connections inherit it from the listening socket.
        int bytes = 32 * 1024;
        ::setsockopt(sock, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
    });
}
