#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "CurlRequest.h"

class CurlMultiDriver;

// One GET of a small file into memory, moved on by the event loop (no call
// waits): http and https only, the program's request conventions, at most
// `maxBytes` of body. The result arrives through `done` from the event loop,
// once per Start; Cancel or a new Start drops the transfer and its result.
// For the thread that made it.
class CurlMemoryFetch {
public:
    struct Result {
        std::string body;
        // Empty on success: the status line, curl's reason or the size.
        std::string error;
    };
    using Done = std::function<void(Result)>;

    explicit CurlMemoryFetch(CurlLimits limits = {});
    ~CurlMemoryFetch();
    CurlMemoryFetch(const CurlMemoryFetch&) = delete;
    CurlMemoryFetch& operator=(const CurlMemoryFetch&) = delete;

    void Start(const std::string& url, std::size_t maxBytes, Done done);
    void Cancel();
    bool Running() const;

private:
    struct Transfer;
    void Finish(int code);

    CurlLimits limits_;
    std::unique_ptr<CurlMultiDriver> driver_;
    std::unique_ptr<Transfer> transfer_;
};
