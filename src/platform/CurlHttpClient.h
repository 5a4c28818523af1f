#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "HttpClient.h"

// IHttpClient over libcurl, its transfers moved on by the event loop of the
// thread that made it (CurlMultiDriver). Requests share cookies and open
// connections. Sends Accept "text/html, */*" and the User-Agent
// "Mozilla/3.0 (compatible; Indy Library)", speaks only http and https, and
// never follows a redirect. Its requests end before it does.
class CurlHttpClient final : public IHttpClient {
public:
    struct Options {
        long connectTimeoutSeconds = 15;
        // A transfer slower than lowSpeedBytesPerSecond for lowSpeedSeconds is
        // abandoned, so a stalled server cannot hold a request for long.
        long lowSpeedBytesPerSecond = 64;
        long lowSpeedSeconds = 15;
        // Upper bound of a whole request, whatever the speed.
        long totalTimeoutSeconds = 120;
        // A body larger than this is refused rather than held in memory.
        std::size_t maxBodyBytes = std::size_t{256} * 1024 * 1024;
    };

    CurlHttpClient();
    explicit CurlHttpClient(const Options& options);
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    std::unique_ptr<HttpRequest> Start(Method method, const std::string& url, Done done) override;

    static const char* const kAccept;
    static const char* const kUserAgent;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};
