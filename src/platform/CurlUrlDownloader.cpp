#include "CurlUrlDownloader.h"

#include <cerrno>
#include <algorithm>
#include <random>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include <curl/curl.h>

#include "CurlGlobal.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

std::string ErrnoText(int error) {
    return std::generic_category().message(error);
}

// The file a transfer writes into: hidden, in the target's folder (so that the
// final rename stays on one file system), and removed again unless the
// transfer completed and it was renamed over the target.
class PartFile {
public:
    PartFile() = default;
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    ~PartFile() { Discard(); }

    bool Create(const fs::path& target, std::string& error) {
        const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
        const std::string base = ShortName(target.filename().string());
        thread_local std::mt19937 random{std::random_device{}()};
        std::uniform_int_distribution<unsigned> digit(0, 35);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string suffix;
            for (int i = 0; i < 6; ++i) {
                suffix += "0123456789abcdefghijklmnopqrstuvwxyz"[digit(random)];
            }
            const fs::path candidate = folder / ("." + base + "." + suffix + ".part");
            // 0666 minus the user's umask: the permissions any new file gets.
            fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                path_ = candidate;
                return true;
            }
            if (errno != EEXIST) {
                break;
            }
        }
        error = "Cannot create a file in " + folder.string() + ": " + ErrnoText(errno);
        return false;
    }

    bool Write(const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(fd_, data, size);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                writeErrno_ = errno;
                return false;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    std::string WriteError() const {
        return "Cannot write to " + path_.string() + ": " + ErrnoText(writeErrno_);
    }
    bool WriteFailed() const { return writeErrno_ != 0; }

    // Closes the file and renames it over `target`.
    bool Commit(const fs::path& target, std::string& error) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            error = "Cannot write to " + path_.string() + ": " + ErrnoText(errno);
            return false;
        }
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            error = "Cannot save " + target.string() + ": " + ErrnoText(errno);
            return false;
        }
        path_.clear();
        return true;
    }

private:
    void Discard() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (!path_.empty()) {
            ::unlink(path_.c_str());
            path_.clear();
        }
    }

    // At most 64 bytes of the target's name, cut at a character boundary, so
    // that the temporary name stays within the file system's limit.
    static std::string ShortName(std::string name) {
        constexpr std::size_t kMax = 64;
        if (name.size() <= kMax) {
            return name;
        }
        std::size_t cut = kMax;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        name.resize(cut);
        return name;
    }

    fs::path path_;
    int fd_ = -1;
    int writeErrno_ = 0;
};

// What the callbacks learn about the answer while curl runs.
struct Transfer {
    CURL* curl = nullptr;
    PartFile* file = nullptr;
    std::string statusLine;
    bool requestSent = false;
    bool answerStarted = false;   // the headers of the final answer have arrived
    bool answerOk = false;        // ... and it is a 2xx answer
    bool refused = false;         // its body was refused because it is not
    std::uint64_t announced = 0;  // Content-Length, 0 when none was sent
    std::uint64_t received = 0;
};

int OnRequestReady(void* user, char*, char*, int, int) {
    static_cast<Transfer*>(user)->requestSent = true;
    return CURL_PREREQFUNC_OK;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::string_view line(data, size * count);
    KeepStatusLine(t->statusLine, line);
    if (line == "\r\n" || line == "\n") {
        long status = 0;
        curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &status);
        // An interim 1xx answer ends its headers too; only the final one counts.
        if (status >= 200) {
            t->answerStarted = true;
            t->answerOk = IsHttpSuccess(status);
            curl_off_t length = -1;
            curl_easy_getinfo(t->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            t->announced = t->answerOk && length > 0 ? static_cast<std::uint64_t>(length) : 0;
        }
    }
    return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (!t->answerOk) {
        // An error page is not the episode: nothing of it reaches the disk.
        t->refused = true;
        return 0;
    }
    if (!t->file->Write(data, bytes)) {
        return 0;
    }
    t->received += bytes;
    return bytes;
}

// One easy handle driven by its own multi handle, so that the caller's loop
// decides how long to wait for data.
struct Session {
    CURLM* multi = curl_multi_init();
    CURL* easy = curl_easy_init();
    curl_slist* headers = nullptr;
    bool added = false;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() {
        if (added) {
            curl_multi_remove_handle(multi, easy);
        }
        curl_easy_cleanup(easy);
        curl_multi_cleanup(multi);
        curl_slist_free_all(headers);
    }
};

unsigned Phase(const Transfer& t, bool beginReported) {
    if (t.answerStarted) {
        return beginReported ? BindStatus::kDownloadingData : BindStatus::kBeginDownloadData;
    }
    return t.requestSent ? BindStatus::kSendingRequest : BindStatus::kConnecting;
}

}  // namespace

CurlUrlDownloader::CurlUrlDownloader() : CurlUrlDownloader(Options{}) {}

CurlUrlDownloader::CurlUrlDownloader(const Options& options) : options_(options) {
    EnsureCurlGlobalInit();
}

DownloadResult CurlUrlDownloader::DownloadToFile(const std::string& url, const fs::path& target,
                                                 IDownloadProgress& progress) {
    if (url.empty() || target.empty()) {
        return {DownloadOutcome::Failed, "No URL or no file name given"};
    }
    PartFile file;
    std::string error;
    if (!file.Create(target, error)) {
        return {DownloadOutcome::Failed, error};
    }

    char errorBuffer[CURL_ERROR_SIZE] = {};
    Transfer t;
    t.file = &file;
    Session s;
    if (s.multi == nullptr || s.easy == nullptr) {
        return {DownloadOutcome::Failed, "The transfer could not be set up"};
    }
    t.curl = s.easy;
    s.headers = ApplyRequestConventions(s.easy, url, options_.limits);
    curl_easy_setopt(s.easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(s.easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(s.easy, CURLOPT_BUFFERSIZE, options_.receiveBufferBytes);
    curl_easy_setopt(s.easy, CURLOPT_PREREQFUNCTION, OnRequestReady);
    curl_easy_setopt(s.easy, CURLOPT_PREREQDATA, &t);
    curl_easy_setopt(s.easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(s.easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(s.easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(s.easy, CURLOPT_WRITEDATA, &t);
    if (curl_multi_add_handle(s.multi, s.easy) != CURLM_OK) {
        return {DownloadOutcome::Failed, "The transfer could not be set up"};
    }
    s.added = true;

    const auto interval = options_.progressInterval;
    unsigned lastCode = 0;
    bool beginReported = false;
    auto lastReport = Clock::now();
    auto report = [&](unsigned code) {
        lastCode = code;
        beginReported = beginReported || code == BindStatus::kBeginDownloadData;
        const bool named =
            code != BindStatus::kSendingRequest && code != BindStatus::kDownloadingData;
        const bool goOn =
            progress.OnProgress(t.received, t.announced, code, named ? url : std::string());
        lastReport = Clock::now();
        return goOn;
    };

    if (!report(BindStatus::kConnecting)) {
        return {DownloadOutcome::Aborted, {}};
    }
    // Report at every change of phase and, between them, at least once per
    // interval whether data arrives or not: the receiver keeps the user interface
    // answering from there.
    CURLMcode multiCode = CURLM_OK;
    for (;;) {
        int running = 0;
        multiCode = curl_multi_perform(s.multi, &running);
        if (multiCode != CURLM_OK || running == 0) {
            break;
        }
        const unsigned phase = Phase(t, beginReported);
        if (phase != lastCode || Clock::now() - lastReport >= interval) {
            if (!report(phase)) {
                return {DownloadOutcome::Aborted, {}};
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            interval - (Clock::now() - lastReport));
        const int waitMs = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
        multiCode = curl_multi_poll(s.multi, nullptr, 0, waitMs, nullptr);
        if (multiCode != CURLM_OK) {
            break;
        }
    }
    if (multiCode != CURLM_OK) {
        return {DownloadOutcome::Failed, curl_multi_strerror(multiCode)};
    }

    CURLcode code = CURLE_OK;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(s.multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == s.easy) {
            code = message->data.result;
        }
    }
    long status = 0;
    curl_easy_getinfo(s.easy, CURLINFO_RESPONSE_CODE, &status);

    if (file.WriteFailed()) {
        return {DownloadOutcome::Failed, file.WriteError()};
    }
    if (t.refused || (code == CURLE_OK && !IsHttpSuccess(status))) {
        return {DownloadOutcome::Failed, HttpStatusErrorText(status, t.statusLine)};
    }
    if (code != CURLE_OK) {
        return {DownloadOutcome::Failed, CurlErrorText(code, errorBuffer)};
    }
    if (t.announced > 0 && t.received != t.announced) {
        return {DownloadOutcome::Failed, "The transfer ended after " + std::to_string(t.received) +
                                             " of " + std::to_string(t.announced) + " bytes"};
    }
    if (!report(BindStatus::kEndDownloadData)) {
        return {DownloadOutcome::Aborted, {}};
    }
    if (!file.Commit(target, error)) {
        return {DownloadOutcome::Failed, error};
    }
    return {DownloadOutcome::Ok, {}};
}
