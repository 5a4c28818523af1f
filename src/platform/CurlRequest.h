#pragma once

#include <string>
#include <string_view>

#include <curl/curl.h>

// What every request of the program has in common, whether it fetches a feed,
// checks a link or saves an episode.

struct CurlLimits {
    long connectTimeoutSeconds = 15;
    // A transfer slower than lowSpeedBytesPerSecond for lowSpeedSeconds is
    // abandoned, so a stalled server cannot hold the caller for long.
    long lowSpeedBytesPerSecond = 64;
    long lowSpeedSeconds = 15;
    // Upper bound of a whole request; 0 for none.
    long totalTimeoutSeconds = 0;
};

// Sets the URL and the program's request conventions on `curl`: Accept
// "text/html, */*", the program's User-Agent, http and https only, no redirect
// followed, no proxy, HTTP/1.1, and the limits. Returns the header list, which
// must stay alive until the transfer has ended and is freed with
// curl_slist_free_all.
curl_slist* ApplyRequestConventions(CURL* curl, const std::string& url, const CurlLimits& limits);

// Keeps `headerLine` in `statusLine` when it is a status line. Every answer (an
// interim 100 Continue included) starts with its own; the last one kept is the
// answer to the request.
void KeepStatusLine(std::string& statusLine, std::string_view headerLine);

// The text a user is shown for a transfer that curl ended with `code`.
std::string CurlErrorText(CURLcode code, const char* errorBuffer);

// The text a user is shown for an answer that is not a success: its status line.
std::string HttpStatusErrorText(long status, const std::string& statusLine);

inline bool IsHttpSuccess(long status) {
    return status >= 200 && status <= 299;
}
