#include "CurlMemoryFetch.h"

#include <string_view>
#include <utility>

#include <QMetaObject>

#include "CurlMultiDriver.h"

struct CurlMemoryFetch::Transfer {
    CURL* curl = nullptr;
    curl_slist* headers = nullptr;
    std::string url;
    std::string statusLine;
    std::string body;
    std::size_t maxBytes = 0;
    bool tooLarge = false;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    Done done;

    ~Transfer() {
        curl_easy_cleanup(curl);
        curl_slist_free_all(headers);
    }
};

namespace {

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    KeepStatusLine(*static_cast<std::string*>(user), std::string_view(data, size * count));
    return size * count;
}

}  // namespace

CurlMemoryFetch::CurlMemoryFetch(CurlLimits limits)
    : limits_(limits), driver_(std::make_unique<CurlMultiDriver>()) {
    driver_->onDone = [this](CURL*, CURLcode code) { Finish(code); };
    driver_->onError = [this](CURLMcode) { Finish(CURLE_FAILED_INIT); };
}

CurlMemoryFetch::~CurlMemoryFetch() {
    Cancel();
}

bool CurlMemoryFetch::Running() const {
    return transfer_ != nullptr;
}

void CurlMemoryFetch::Cancel() {
    if (transfer_) {
        driver_->Remove(transfer_->curl);
        transfer_.reset();
    }
}

void CurlMemoryFetch::Start(const std::string& url, std::size_t maxBytes, Done done) {
    Cancel();
    auto transfer = std::make_unique<Transfer>();
    transfer->url = url;
    transfer->maxBytes = maxBytes;
    transfer->done = std::move(done);
    transfer->curl = curl_easy_init();
    if (transfer->curl == nullptr || !driver_->Valid()) {
        // Reported like any failed transfer: later, from the event loop.
        transfer_ = std::move(transfer);
        QMetaObject::invokeMethod(
            driver_.get(), [this] { Finish(CURLE_FAILED_INIT); }, Qt::QueuedConnection);
        return;
    }
    CURL* curl = transfer->curl;
    transfer->headers = ApplyRequestConventions(curl, transfer->url, limits_);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, transfer->errorBuffer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer->statusLine);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, transfer.get());
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* user) {
            auto* t = static_cast<Transfer*>(user);
            const size_t bytes = size * count;
            if (t->body.size() + bytes > t->maxBytes) {
                t->tooLarge = true;
                return size_t{0};  // curl abandons the transfer
            }
            t->body.append(data, bytes);
            return bytes;
        });
    transfer_ = std::move(transfer);
    if (driver_->Add(curl) != CURLM_OK) {
        QMetaObject::invokeMethod(
            driver_.get(), [this] { Finish(CURLE_FAILED_INIT); }, Qt::QueuedConnection);
    }
}

void CurlMemoryFetch::Finish(int code) {
    if (!transfer_) {
        return;  // cancelled, or a new fetch has begun
    }
    std::unique_ptr<Transfer> transfer = std::move(transfer_);
    if (transfer->curl != nullptr) {
        driver_->Remove(transfer->curl);
    }
    long status = 0;
    if (transfer->curl != nullptr) {
        curl_easy_getinfo(transfer->curl, CURLINFO_RESPONSE_CODE, &status);
    }
    Result result;
    if (transfer->tooLarge) {
        result.error = "The answer from " + transfer->url + " is larger than " +
                       std::to_string(transfer->maxBytes) + " bytes";
    } else if (code != CURLE_OK) {
        result.error = CurlErrorText(static_cast<CURLcode>(code), transfer->errorBuffer);
    } else if (!IsHttpSuccess(status)) {
        result.error = HttpStatusErrorText(status, transfer->statusLine);
    } else {
        result.body = std::move(transfer->body);
    }
    const Done done = std::move(transfer->done);
    transfer.reset();
    if (done) {
        done(std::move(result));
    }
}
