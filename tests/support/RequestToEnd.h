#pragma once

#include <optional>
#include <string>

#include "platform/HttpClient.h"

// Runs one request, or one link check, to its end with the event loop turning:
// for tests of the client and the check themselves.
HttpResult RequestToEnd(IHttpClient& http, IHttpClient::Method method, const std::string& url);
std::optional<std::string> LinkCheckToEnd(IHttpClient& http, const std::string& link);
