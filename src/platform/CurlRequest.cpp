#include "CurlRequest.h"

#include "CurlHttpClient.h"

namespace {

std::string_view TrimLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    return line;
}

}  // namespace

curl_slist* ApplyRequestConventions(CURL* curl, const std::string& url, const CurlLimits& limits) {
    curl_slist* headers =
        curl_slist_append(nullptr, (std::string("Accept: ") + CurlHttpClient::kAccept).c_str());

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    // Feed and media links come from an untrusted feed: no file://, no other schemes.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, CurlHttpClient::kUserAgent);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, limits.totalTimeoutSeconds);
    return headers;
}

void KeepStatusLine(std::string& statusLine, std::string_view headerLine) {
    if (headerLine.starts_with("HTTP/")) {
        statusLine = std::string(TrimLineEnd(headerLine));
    }
}

std::string CurlErrorText(CURLcode code, const char* errorBuffer) {
    return errorBuffer != nullptr && errorBuffer[0] != '\0' ? std::string(errorBuffer)
                                                            : std::string(curl_easy_strerror(code));
}

std::string HttpStatusErrorText(long status, const std::string& statusLine) {
    return statusLine.empty() ? "HTTP status " + std::to_string(status) : statusLine;
}
