#pragma once

#include <optional>
#include <string>

class IHttpClient;

// Checks that an episode's MP3 link answers before it is played or saved: a
// HEAD request whose only success is a 2xx answer from the link itself, or,
// from a server that answers HEAD with 405 or 501, a GET of the first byte.
// Nothing when the link answers; otherwise the error text (the status line or
// the network error).
std::optional<std::string> CheckEpisodeLink(IHttpClient& http, const std::string& link);

// The message shown when the check fails.
std::string UnreachableLinkMessage(const std::string& link, const std::string& error);
