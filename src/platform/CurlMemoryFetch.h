#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "CurlRequest.h"

class CurlHttpClient;
class HttpRequest;

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

    explicit CurlMemoryFetch(std::size_t maxBytes, CurlLimits limits = {});
    ~CurlMemoryFetch();
    CurlMemoryFetch(const CurlMemoryFetch&) = delete;
    CurlMemoryFetch& operator=(const CurlMemoryFetch&) = delete;

    void Start(const std::string& url, Done done);
    void Cancel();
    bool Running() const;

private:
    // Made first and gone last: a request never outlives its client.
    std::unique_ptr<CurlHttpClient> client_;
    std::unique_ptr<HttpRequest> request_;
};
