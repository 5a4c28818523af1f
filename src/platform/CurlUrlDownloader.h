#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

#include "CurlRequest.h"
#include "UrlDownloader.h"

// IUrlDownloader over libcurl, driven by the calling thread's event loop
// (CurlMultiDriver). It sends the same request as the HTTP client (headers,
// schemes, no redirects) and writes into a temporary file beside the target,
// which is renamed over the target only when the transfer is complete. A
// broken connection is tried again (see Options::retryDelays) from where the
// file stopped, with Range and If-Range.
class CurlUrlDownloader final : public IUrlDownloader {
public:
    struct Options {
        // No upper bound for the whole transfer: an episode may take long, and
        // the low-speed limit ends a stalled one.
        CurlLimits limits{15, 64, 15, 0};
        // Longest time between two progress reports.
        std::chrono::milliseconds progressInterval{50};
        // Bytes curl receives at a time (512 KiB is the most it takes).
        long receiveBufferBytes = 512L * 1024;
        // Longest time curl goes on receiving before the event loop gets its
        // turn: on a fast link one call into curl could read for longer than a
        // window may go without handling events.
        std::chrono::milliseconds turnBudget{20};
        // The waits before the tries again after a broken connection, one per
        // try: the transfer fails when the last try breaks off too without a
        // new byte. A connection that brought new bytes before it broke is
        // tried again at once, as the first of a new count.
        std::vector<std::chrono::milliseconds> retryDelays{
            std::chrono::seconds(1), std::chrono::seconds(2), std::chrono::seconds(4)};
    };

    CurlUrlDownloader();
    explicit CurlUrlDownloader(Options options);

    DownloadResult DownloadToFile(const std::string& url, const std::filesystem::path& target,
                                  IDownloadProgress& progress) override;

private:
    Options options_;
};
