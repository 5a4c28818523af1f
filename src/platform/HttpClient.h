#pragma once

#include <functional>
#include <memory>
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

// A request on its way. Destroying it abandons the request: its result is then
// never delivered.
class HttpRequest {
public:
    virtual ~HttpRequest() = default;
};

// An HTTP client whose requests move on in the event loop of the thread that
// made it, so that no caller waits for the network. Redirects are never
// followed: only a 2xx answer from the URL itself counts as success.
class IHttpClient {
public:
    enum class Method {
        Get,   // the body of a 2xx answer
        Head,  // success only for a 2xx answer
        // GET of the first byte only (Range: bytes=0-0); success for a 2xx
        // answer, whether or not the server honours the range. For servers
        // that refuse HEAD but answer GET.
        FirstByte,
    };
    using Done = std::function<void(HttpResult)>;

    virtual ~IHttpClient() = default;

    // Starts a request and returns at once. `done` is called once, from the
    // event loop and never before this returns, unless the request is destroyed
    // first.
    virtual std::unique_ptr<HttpRequest> Start(Method method, const std::string& url,
                                               Done done) = 0;
};
