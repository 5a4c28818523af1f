#pragma once

#include <string>

// The result of one HTTP request. `error` is empty on success; otherwise it is the
// text a user needs: the server's status line ("HTTP/1.1 404 Not Found") for an
// answer that is not a success, or the transfer library's own message.
struct HttpResult {
    long status = 0;         // the HTTP status code, 0 when no answer arrived
    std::string statusLine;  // the status line without its line ending
    std::string body;        // the response body (GET only)
    std::string error;

    bool Ok() const { return error.empty(); }
};

// A blocking HTTP client. Redirects are never followed: only a 2xx answer from
// the URL itself counts as success.
class IHttpClient {
public:
    virtual ~IHttpClient() = default;

    // GET of `url`; the body of a 2xx answer, or an error.
    virtual HttpResult Get(const std::string& url) = 0;

    // HEAD of `url`; success only for a 2xx answer.
    virtual HttpResult Head(const std::string& url) = 0;

    // GET of the first byte of `url` only (Range: bytes=0-0); success for a 2xx
    // answer, whether or not the server honours the range. For servers that
    // refuse HEAD but answer GET.
    virtual HttpResult GetFirstByte(const std::string& url) = 0;
};
