#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "HttpClient.h"

// IHttpClient over one libcurl easy handle, which keeps cookies and open
// connections between requests. Sends Accept "text/html, */*" and the User-Agent
// "Mozilla/3.0 (compatible; Indy Library)", speaks only http and https, and never
// follows a redirect.
class CurlHttpClient final : public IHttpClient {
public:
    struct Options {
        long connectTimeoutSeconds = 15;
        // A transfer slower than lowSpeedBytesPerSecond for lowSpeedSeconds is
        // abandoned, so a stalled server cannot block the window for long.
        long lowSpeedBytesPerSecond = 64;
        long lowSpeedSeconds = 15;
        // Upper bound of a whole request, whatever the speed.
        long totalTimeoutSeconds = 120;
        // A feed larger than this is refused rather than held in memory.
        std::size_t maxBodyBytes = std::size_t{256} * 1024 * 1024;
    };

    CurlHttpClient();
    explicit CurlHttpClient(const Options& options);
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    HttpResult Get(const std::string& url) override;
    HttpResult Head(const std::string& url) override;
    HttpResult GetFirstByte(const std::string& url) override;

    static const char* const kAccept;
    static const char* const kUserAgent;

private:
    enum class Request { Get, Head, FirstByte };
    HttpResult Perform(const std::string& url, Request request);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};
