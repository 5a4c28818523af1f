#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "TestHttpServer.h"

// Bytes that differ from position to position, so that a shifted or truncated
// copy never compares equal.
std::string PatternBytes(std::size_t size);

// The names in `folder`, sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);
// The names in `folder` that end in ".part", sorted: the temporary files of
// saves in progress or left over.
std::vector<std::string> PartFilesIn(const std::filesystem::path& folder);

// A body whose Content-Length announces `total` pattern bytes but whose
// connection closes after the first `sent` of them, as a server that fails
// mid-transfer does.
void ServeBrokenBody(TestHttpServer& server, const std::string& path, std::size_t total,
                     std::size_t sent);

// A body that trickles out: `chunk` bytes every `pause`, `total` bytes in all
// with their Content-Length, until the client goes away or Stop() is called.
class SlowBody {
public:
    SlowBody() = default;
    SlowBody(const SlowBody&) = delete;
    SlowBody& operator=(const SlowBody&) = delete;
    ~SlowBody() { Stop(); }

    void Serve(TestHttpServer& server, const std::string& path, std::size_t total,
               std::size_t chunk = 16 * 1024,
               std::chrono::milliseconds pause = std::chrono::milliseconds(10));
    // Ends every body still being sent; call before the server stops.
    void Stop() { stop_ = true; }
    // Bytes handed to the server so far.
    std::size_t Sent() const { return sent_; }
    // Bodies that ended before their last byte because a write to the client
    // failed: it went away, or took nothing for the server's write time-out.
    int Cut() const { return cut_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> sent_{0};
    std::atomic<int> cut_{0};
};

// Makes `server` drop a client that takes nothing for `idle`, as servers that
// guard against stalled clients do; a small send buffer makes it notice soon.
// Call before Start().
void DropIdleClients(TestHttpServer& server, std::chrono::seconds idle);
