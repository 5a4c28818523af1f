#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/HttpClient.h"

// Checks that an episode's MP3 link answers before it is played or saved: a
// HEAD request whose only success is a 2xx answer from the link itself, or,
// from a server that answers HEAD with 405 or 501, a GET of the first byte.
// The check starts when made and moves on in the event loop; its result
// arrives through `done` from there: nothing when the link answers, otherwise
// the error text (the status line or the network error). Destroying the check
// abandons it, and `done` is then never called.
class TLinkCheck final {
public:
    using Done = std::function<void(std::optional<std::string> error)>;

    TLinkCheck(IHttpClient& http, std::string link, Done done);
    TLinkCheck(const TLinkCheck&) = delete;
    TLinkCheck& operator=(const TLinkCheck&) = delete;

    const std::string& Link() const { return link_; }

private:
    void HeadAnswered(const HttpResult& head);
    // `done` may destroy this check: nothing is touched after it.
    void Finish(std::optional<std::string> error);

    IHttpClient& http_;
    std::string link_;
    Done done_;
    std::unique_ptr<HttpRequest> request_;
};

// The message shown when the check fails.
std::string UnreachableLinkMessage(const std::string& link, const std::string& error);
