#include "CurlHttpClient.h"

#include <string_view>
#include <unordered_map>
#include <utility>

#include <QMetaObject>
#include <QObject>

#include <curl/curl.h>

#include "CurlGlobal.h"
#include "CurlMultiDriver.h"
#include "CurlRequest.h"

const char* const CurlHttpClient::kAccept = "text/html, */*";
const char* const CurlHttpClient::kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

namespace {

class Transfer;

std::string SizeText(std::size_t bytes) {
    constexpr std::size_t kMb = std::size_t{1024} * 1024;
    return bytes >= kMb && bytes % kMb == 0 ? std::to_string(bytes / kMb) + " MB"
                                            : std::to_string(bytes) + " bytes";
}

}  // namespace

// What the client's requests share; each request keeps it alive.
struct CurlHttpClient::Shared {
    Options options;
    CURLSH* share = nullptr;
    CurlMultiDriver driver;
    std::unordered_map<CURL*, Transfer*> running;

    ~Shared() {
        // Every transfer is gone by now: each held this alive.
        curl_share_cleanup(share);
    }
};

namespace {

class Transfer final : public HttpRequest {
public:
    Transfer(std::shared_ptr<CurlHttpClient::Shared> shared, IHttpClient::Method method,
             std::string url, IHttpClient::Done done)
        : shared_(std::move(shared)),
          method_(method),
          url_(std::move(url)),
          done_(std::move(done)) {
        // A server that ignores the range sends the whole file; one byte is enough.
        maxBody_ = method_ == IHttpClient::Method::FirstByte ? 1 : shared_->options.maxBodyBytes;
    }

    ~Transfer() override {
        Detach();
        curl_easy_cleanup(curl_);
        curl_slist_free_all(headers_);
    }

    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    void Begin() {
        curl_ = curl_easy_init();
        if (curl_ == nullptr || !shared_->driver.Valid()) {
            FailLater();
            return;
        }
        const CurlHttpClient::Options& o = shared_->options;
        const CurlLimits limits{o.connectTimeoutSeconds, o.lowSpeedBytesPerSecond,
                                o.lowSpeedSeconds, o.totalTimeoutSeconds};
        headers_ = ApplyRequestConventions(curl_, url_, limits);
        // An empty cookie file switches the cookie engine on without reading a
        // file; the share keeps the cookies for as long as the client lives.
        curl_easy_setopt(curl_, CURLOPT_SHARE, shared_->share);
        curl_easy_setopt(curl_, CURLOPT_COOKIEFILE, "");
        curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorBuffer_);
        curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
        curl_easy_setopt(curl_, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
        curl_easy_setopt(curl_, CURLOPT_WRITEDATA, this);
        if (method_ == IHttpClient::Method::Head) {
            curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
        } else if (method_ == IHttpClient::Method::FirstByte) {
            curl_easy_setopt(curl_, CURLOPT_RANGE, "0-0");
        }
        if (shared_->driver.Add(curl_) != CURLM_OK) {
            FailLater();
            return;
        }
        shared_->running[curl_] = this;
    }

    // curl ended the transfer with `code`. The caller's `done` may destroy
    // this request, so nothing here is touched after it.
    void Finish(CURLcode code) {
        Detach();
        HttpResult result;
        if (curl_ != nullptr) {
            curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &result.status);
        }
        result.statusLine = std::move(statusLine_);
        const bool firstByte = method_ == IHttpClient::Method::FirstByte;
        if (tooLarge_ && firstByte) {
            if (!IsHttpSuccess(result.status)) {
                result.error = HttpStatusErrorText(result.status, result.statusLine);
            }
        } else if (tooLarge_) {
            result.error = "The answer from " + url_ + " is larger than " + SizeText(maxBody_);
        } else if (code != CURLE_OK) {
            result.error = CurlErrorText(code, errorBuffer_);
        } else if (!IsHttpSuccess(result.status)) {
            result.error = HttpStatusErrorText(result.status, result.statusLine);
        }
        if (result.Ok() && method_ == IHttpClient::Method::Get) {
            result.body = std::move(body_);
        }
        const IHttpClient::Done done = std::move(done_);
        done_ = nullptr;
        if (done) {
            done(std::move(result));
        }
    }

private:
    static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
        KeepStatusLine(static_cast<Transfer*>(user)->statusLine_,
                       std::string_view(data, size * count));
        return size * count;
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<Transfer*>(user);
        const size_t bytes = size * count;
        if (self->body_.size() + bytes > self->maxBody_) {
            self->tooLarge_ = true;
            return 0;  // makes curl abandon the transfer
        }
        self->body_.append(data, bytes);
        return bytes;
    }

    // A transfer that could not begin is reported like any failed one: later,
    // from the event loop, and not at all once the request is gone.
    void FailLater() {
        QMetaObject::invokeMethod(
            &context_, [this] { Finish(CURLE_FAILED_INIT); }, Qt::QueuedConnection);
    }

    void Detach() {
        if (curl_ != nullptr && shared_->running.erase(curl_) > 0) {
            shared_->driver.Remove(curl_);
        }
    }

    std::shared_ptr<CurlHttpClient::Shared> shared_;
    IHttpClient::Method method_;
    std::string url_;
    IHttpClient::Done done_;
    CURL* curl_ = nullptr;
    curl_slist* headers_ = nullptr;
    std::string statusLine_;
    std::string body_;
    std::size_t maxBody_ = 0;
    bool tooLarge_ = false;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    // Queued reports die with the request.
    QObject context_;
};

}  // namespace

CurlHttpClient::CurlHttpClient() : CurlHttpClient(Options{}) {}

CurlHttpClient::CurlHttpClient(const Options& options) {
    EnsureCurlGlobalInit();
    shared_ = std::make_shared<Shared>();
    shared_->options = options;
    shared_->share = curl_share_init();
    curl_share_setopt(shared_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(shared_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(shared_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    Shared* shared = shared_.get();
    shared->driver.onDone = [shared](CURL* easy, CURLcode code) {
        const auto it = shared->running.find(easy);
        if (it != shared->running.end()) {
            it->second->Finish(code);
        }
    };
    // curl itself failed: every request running ends with that failure.
    shared->driver.onError = [shared](CURLMcode) {
        while (!shared->running.empty()) {
            shared->running.begin()->second->Finish(CURLE_FAILED_INIT);
        }
    };
}

CurlHttpClient::~CurlHttpClient() = default;

std::unique_ptr<HttpRequest> CurlHttpClient::Start(Method method, const std::string& url,
                                                   Done done) {
    auto transfer = std::make_unique<Transfer>(shared_, method, url, std::move(done));
    transfer->Begin();
    return transfer;
}
