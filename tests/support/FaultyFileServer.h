#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One file served on 127.0.0.1 as a real server serves it (GET, Range
// "bytes=N-", If-Range, ETag, Last-Modified, one answer per connection), with
// the faults of real servers and networks. Each GET takes the next step of a
// script; past its end the answers are whole.
class FaultyFileServer {
public:
    struct File {
        std::string bytes{};
        std::string etag{};          // sent as given (W/"..." is weak); none when empty
        std::string lastModified{};  // none when empty
        bool sendLength = true;      // false: the end of the connection ends the body
    };

    enum class Fault {
        None,
        ResetAt,          // the body stops at byte `at` of the file, then a reset
        CloseAt,          // ... then a clean close: a short body
        StallAt,          // ... then nothing more until the client goes
        Status503,        // "503 Service Unavailable" instead of the file
        Status404,        // "404 Not Found"
        Redirect,         // "302 Found" to another path
        IgnoreRange,      // the whole file with 200, whatever was asked
        WrongOffset,      // a 206 that starts 1000 bytes later than asked
        Unsatisfiable,    // 416 to a range
        Change,           // the file is `next` from this answer on
        ChangeUnchecked,  // ... and the server ignores If-Range: a 206 of it
    };

    struct Step {
        Fault fault = Fault::None;
        std::size_t at = 0;
    };

    // `next` is the file that Change and ChangeUnchecked serve.
    FaultyFileServer(File file, std::vector<Step> script, File next);
    FaultyFileServer(File file, std::vector<Step> script);
    ~FaultyFileServer();
    FaultyFileServer(const FaultyFileServer&) = delete;
    FaultyFileServer& operator=(const FaultyFileServer&) = delete;

    std::string Url() const;
    // The header lines of each GET so far, in order ("" when it had none).
    std::vector<std::string> Requests() const;
    std::string Header(std::size_t request, const std::string& name) const;
    // The file as it is served now.
    const File& Served() const { return *current_; }
    // Called on the server's thread before GET number `index` (from 0) is
    // answered; it may hold the answer back. Set before the first request.
    std::function<void(std::size_t index)> beforeAnswer;
    // Ends a stall, a held answer and every body being sent.
    void Stop() { stop_ = true; }

private:
    void Run();
    void Answer(int connection, const std::string& request);
    bool SendAll(int connection, const char* data, std::size_t size);
    void WaitUntilSent(int connection);

    File file_;
    File next_;
    std::atomic<const File*> current_ = &file_;
    std::vector<Step> script_;
    mutable std::mutex lock_;
    std::vector<std::string> requests_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
