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
// The program's own, outside the classic range: the connection broke off and
// the transfer waits to try again or is trying again.
constexpr unsigned kRetrying = 1000;
}  // namespace BindStatus

// Receives a transfer's progress on the thread that runs the transfer, from
// that thread's event loop.
class IDownloadProgress {
public:
    virtual ~IDownloadProgress() = default;

    // `progress` is the number of bytes received so far, `progressMax` the size
    // the server announced, or 0 while it is unknown. `statusText` is the URL for
    // the codes that name one, and for kRetrying the try's number and the most
    // tries there are ("1/3"). Returns false to abandon the transfer.
    virtual bool OnProgress(std::uint64_t progress, std::uint64_t progressMax, unsigned statusCode,
                            const std::string& statusText) = 0;
};

enum class DownloadOutcome { Ok, Aborted, Failed };

struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::Failed;
    std::string error;  // for Failed: the HTTP status line, the network or the file error
};

// Copies one URL into one file. The call returns when the transfer has ended;
// meanwhile it runs the calling thread's Qt event loop (a QCoreApplication must
// exist), so every window stays live, and the transfer moves on in any event
// loop that a handler opens inside it, a modal box's included.
//
// Progress is reported from that event loop, from the start of the transfer to
// its end, at every change of phase and at short intervals whether or not data
// arrives; never from within another report, so a receiver that runs an event
// loop of its own gets none until it returns. A report that returns false ends
// the transfer at once, also from inside a nested event loop. The last report
// of a complete transfer has the code kEndDownloadData. An exception the
// receiver throws ends the transfer and leaves the call.
//
// A transfer whose connection breaks off after a 2xx answer (a reset, a close
// before the end, a stall, a 5xx) tries again by itself and asks for the rest
// of the same file; a file is never put together from two versions of it.
// Between the break and the next answer's data the reports carry kRetrying,
// and `progress` stays where it was unless the transfer starts again from 0.
//
// When the application is told to quit before the transfer has ended, it is
// stopped and reported as Failed. Only a complete transfer (a 2xx answer with
// all the bytes it announced) replaces the target; after a failure or an abort
// the target is as it was before and nothing else is left behind.
class IUrlDownloader {
public:
    virtual ~IUrlDownloader() = default;

    virtual DownloadResult DownloadToFile(const std::string& url,
                                          const std::filesystem::path& target,
                                          IDownloadProgress& progress) = 0;
};
