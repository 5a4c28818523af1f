#include "CurlHttpClient.h"

#include <string_view>

#include <curl/curl.h>

#include "CurlGlobal.h"
#include "CurlRequest.h"

const char* const CurlHttpClient::kAccept = "text/html, */*";
const char* const CurlHttpClient::kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

namespace {

struct RequestState {
    std::string statusLine;
    std::string body;
    std::size_t maxBody = 0;
    bool tooLarge = false;
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<RequestState*>(user);
    KeepStatusLine(state->statusLine, std::string_view(data, size * count));
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
    return Perform(url, Request::Get);
}

HttpResult CurlHttpClient::Head(const std::string& url) {
    return Perform(url, Request::Head);
}

HttpResult CurlHttpClient::GetFirstByte(const std::string& url) {
    return Perform(url, Request::FirstByte);
}

HttpResult CurlHttpClient::Perform(const std::string& url, Request request) {
    HttpResult result;
    CURL* curl = impl_->curl;
    if (curl == nullptr) {
        result.error = "The HTTP client could not be created";
        return result;
    }
    const Options& o = impl_->options;
    RequestState state;
    // A server that ignores the range sends the whole file; one byte is enough.
    state.maxBody = request == Request::FirstByte ? 1 : o.maxBodyBytes;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    const CurlLimits limits{o.connectTimeoutSeconds, o.lowSpeedBytesPerSecond, o.lowSpeedSeconds,
                            o.totalTimeoutSeconds};
    curl_slist* headers = ApplyRequestConventions(curl, url, limits);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state);
    if (request == Request::Head) {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(curl, CURLOPT_RANGE, request == Request::FirstByte ? "0-0" : nullptr);

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_RANGE, nullptr);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(headers);

    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    result.statusLine = std::move(state.statusLine);

    if (state.tooLarge && request == Request::FirstByte) {
        if (!IsHttpSuccess(result.status)) {
            result.error = HttpStatusErrorText(result.status, result.statusLine);
        }
    } else if (state.tooLarge) {
        result.error = "The answer from " + url + " is larger than " +
                       std::to_string(o.maxBodyBytes / (1024L * 1024)) + " MB";
    } else if (code != CURLE_OK) {
        result.error = CurlErrorText(code, errorBuffer);
    } else if (!IsHttpSuccess(result.status)) {
        result.error = HttpStatusErrorText(result.status, result.statusLine);
    }
    if (result.Ok() && request != Request::Head) {
        result.body = std::move(state.body);
    }
    return result;
}
