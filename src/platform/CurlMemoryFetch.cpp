#include "CurlMemoryFetch.h"

#include <utility>

#include "CurlHttpClient.h"

namespace {

CurlHttpClient::Options FetchOptions(std::size_t maxBytes, const CurlLimits& limits) {
    CurlHttpClient::Options options;
    options.connectTimeoutSeconds = limits.connectTimeoutSeconds;
    options.lowSpeedBytesPerSecond = limits.lowSpeedBytesPerSecond;
    options.lowSpeedSeconds = limits.lowSpeedSeconds;
    options.totalTimeoutSeconds = limits.totalTimeoutSeconds;
    options.maxBodyBytes = maxBytes;
    return options;
}

}  // namespace

CurlMemoryFetch::CurlMemoryFetch(std::size_t maxBytes, CurlLimits limits)
    : client_(std::make_unique<CurlHttpClient>(FetchOptions(maxBytes, limits))) {}

CurlMemoryFetch::~CurlMemoryFetch() {
    Cancel();
}

bool CurlMemoryFetch::Running() const {
    return request_ != nullptr;
}

void CurlMemoryFetch::Cancel() {
    request_.reset();
}

void CurlMemoryFetch::Start(const std::string& url, Done done) {
    Cancel();
    request_ = client_->Start(IHttpClient::Method::Get, url,
                              [this, done = std::move(done)](HttpResult fetched) {
                                  // Running() is false by the time `done` runs.
                                  const std::unique_ptr<HttpRequest> ended = std::move(request_);
                                  if (done) {
                                      done({std::move(fetched.body), std::move(fetched.error)});
                                  }
                              });
}
