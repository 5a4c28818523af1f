#include "CurlHttpClient.h"

#include <string_view>

#include <curl/curl.h>

#include "CurlGlobal.h"

const char* const CurlHttpClient::kAccept = "text/html, */*";
const char* const CurlHttpClient::kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

namespace {

std::string_view TrimLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    return line;
}

struct RequestState {
    std::string statusLine;
    std::string body;
    std::size_t maxBody = 0;
    bool tooLarge = false;
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<RequestState*>(user);
    const std::string_view line(data, size * count);
    // Every answer (an interim 100 Continue included) starts with its own status
    // line; the last one is the answer to the request.
    if (line.starts_with("HTTP/")) {
        state->statusLine = std::string(TrimLineEnd(line));
    }
    return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<RequestState*>(user);
    const size_t bytes = size * count;
    if (state->body.size() + bytes > state->maxBody) {
        state->tooLarge = true;
        return 0;  // makes curl abandon the transfer
    }
    state->body.append(data, bytes);
    return bytes;
}

}  // namespace

struct CurlHttpClient::Impl {
    CURL* curl = nullptr;
    Options options;
};

CurlHttpClient::CurlHttpClient() : CurlHttpClient(Options{}) {}

CurlHttpClient::CurlHttpClient(const Options& options) : impl_(std::make_unique<Impl>()) {
    EnsureCurlGlobalInit();
    impl_->options = options;
    impl_->curl = curl_easy_init();
    // An empty cookie file switches the cookie engine on without reading a file,
    // so cookies live as long as this client.
    curl_easy_setopt(impl_->curl, CURLOPT_COOKIEFILE, "");
}

CurlHttpClient::~CurlHttpClient() {
    curl_easy_cleanup(impl_->curl);
}

HttpResult CurlHttpClient::Get(const std::string& url) {
    return Perform(url, false);
}

HttpResult CurlHttpClient::Head(const std::string& url) {
    return Perform(url, true);
}

HttpResult CurlHttpClient::Perform(const std::string& url, bool head) {
    HttpResult result;
    CURL* curl = impl_->curl;
    if (curl == nullptr) {
        result.error = "The HTTP client could not be created";
        return result;
    }
    const Options& o = impl_->options;
    RequestState state;
    state.maxBody = o.maxBodyBytes;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, (std::string("Accept: ") + kAccept).c_str());

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    // Feed and media links come from an untrusted feed: no file://, no other schemes.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, o.connectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, o.lowSpeedBytesPerSecond);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, o.lowSpeedSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, o.totalTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state);
    if (head) {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(headers);

    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    result.statusLine = std::move(state.statusLine);

    if (state.tooLarge) {
        result.error = "The answer from " + url + " is larger than " +
                       std::to_string(o.maxBodyBytes / (1024 * 1024)) + " MB";
    } else if (code != CURLE_OK) {
        result.error = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code);
    } else if (result.status < 200 || result.status > 299) {
        result.error = result.statusLine.empty() ? "HTTP status " + std::to_string(result.status)
                                                 : result.statusLine;
    }
    if (result.Ok() && !head) {
        result.body = std::move(state.body);
    }
    return result;
}
