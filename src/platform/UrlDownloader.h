#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Status codes a transfer reports with its progress (the values of the classic
// bind-status codes, so that their descriptions keep their numbers).
namespace BindStatus {
constexpr unsigned kConnecting = 2;
constexpr unsigned kBeginDownloadData = 4;
constexpr unsigned kDownloadingData = 5;
constexpr unsigned kEndDownloadData = 6;
constexpr unsigned kSendingRequest = 11;
}  // namespace BindStatus

// Receives a transfer's progress on the thread that runs the transfer.
class IDownloadProgress {
public:
    virtual ~IDownloadProgress() = default;

    // `progressMax` is 0 while the size is unknown. Returns false to abandon the
    // transfer.
    virtual bool OnProgress(std::uint64_t progress, std::uint64_t progressMax, unsigned statusCode,
                            const std::string& statusText) = 0;
};

enum class DownloadOutcome { Ok, Aborted, Failed };

struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::Failed;
    std::string error;  // for Failed: the HTTP status line or the network error
};

// Copies one URL into one file, blocking the calling thread until the transfer
// has ended. The target is replaced only by a complete transfer; after a failure
// or an abort it is as it was before.
class IUrlDownloader {
public:
    virtual ~IUrlDownloader() = default;

    virtual DownloadResult DownloadToFile(const std::string& url,
                                          const std::filesystem::path& target,
                                          IDownloadProgress& progress) = 0;
};
