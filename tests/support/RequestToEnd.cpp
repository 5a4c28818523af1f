#include "RequestToEnd.h"

#include <chrono>

#include "WaitUntil.h"
#include "feed/LinkCheck.h"

HttpResult RequestToEnd(IHttpClient& http, IHttpClient::Method method, const std::string& url) {
    std::optional<HttpResult> result;
    const auto request = http.Start(method, url, [&](HttpResult r) { result = std::move(r); });
    if (!WaitUntil([&] { return result.has_value(); }, std::chrono::minutes(3))) {
        return {0, {}, {}, "the request did not end"};
    }
    return *result;
}

std::optional<std::string> LinkCheckToEnd(IHttpClient& http, const std::string& link) {
    std::optional<std::optional<std::string>> result;
    const TLinkCheck check(http, link, [&](std::optional<std::string> error) { result = error; });
    if (!WaitUntil([&] { return result.has_value(); }, std::chrono::minutes(3))) {
        return "the check did not end";
    }
    return *result;
}
