#include "CurlUrlDownloader.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <curl/curl.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "CurlGlobal.h"
#include "CurlMultiDriver.h"
#include "ResumeCheck.h"
#include "StalePartFiles.h"

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
        // What a killed or crashed earlier save of the same file left behind.
        RemoveStalePartFiles(folder, base);
        thread_local std::mt19937 random{std::random_device{}()};
        std::uniform_int_distribution<unsigned> digit(0, 35);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string suffix;
            for (int i = 0; i < 6; ++i) {
                suffix += "0123456789abcdefghijklmnopqrstuvwxyz"[digit(random)];
            }
            std::string name = ".";
            name += base;
            name += '.';
            name += suffix;
            name += ".part";
            const fs::path candidate = folder / name;
            // 0666 minus the user's umask: the permissions any new file gets.
            fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                path_ = candidate;
                if (HoldPartFile(fd_) && !StillNamed()) {
                    // Taken for stale and removed before the lock was on.
                    path_.clear();
                    Discard();
                    continue;
                }
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

    // Empties the file for a new copy from byte 0.
    bool Restart() {
        if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
            writeErrno_ = errno;
            return false;
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
    // True while the file's name still leads to the file this holds open.
    bool StillNamed() const {
        struct stat named {};
        struct stat held {};
        return ::stat(path_.c_str(), &named) == 0 && ::fstat(fd_, &held) == 0 &&
               named.st_dev == held.st_dev && named.st_ino == held.st_ino;
    }

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

// What the callbacks learn about the answers while curl runs, and what a save
// keeps from one try to the next.
struct Transfer {
    CURL* curl = nullptr;
    PartFile* file = nullptr;
    std::string statusLine;

    // The try under way.
    unsigned retry = 0;           // its number among the tries again, 0 for the first
    std::uint64_t rangeFrom = 0;  // the first byte it asks for, 0 for the whole file
    bool requestSent = false;
    bool answerStarted = false;  // the headers of the final answer have arrived
    bool answerOk = false;       // ... and its body belongs in the file
    bool refused = false;        // a body was refused because it does not
    bool mismatch = false;       // the answer cannot continue the file: start again from 0
    std::string etag;            // these three of the answer under way
    std::string lastModified;
    std::string contentRange;

    // The file, across the tries.
    bool started = false;         // a 2xx answer has come: a break may be tried again
    std::string validator;        // If-Range for the rest of that answer's file; empty: none
    std::uint64_t announced = 0;  // its length, 0 when unknown
    std::uint64_t received = 0;   // the bytes the temporary file holds

    // Receiving pauses once a turn of curl has taken this long, and goes on
    // after the event loop has had its turn.
    Clock::time_point turnStart;
    std::chrono::milliseconds turnBudget{0};
    bool tookSome = false;  // in this turn; each turn takes at least one buffer
    bool paused = false;

    void StartTurn() {
        turnStart = Clock::now();
        tookSome = false;
    }

    void StartTry(unsigned number, std::uint64_t from) {
        retry = number;
        rangeFrom = from;
        requestSent = answerStarted = answerOk = refused = mismatch = paused = false;
    }

    void TakeAnswer(long status) {
        answerStarted = true;
        if (rangeFrom > 0 && (status == 206 || status == 416)) {
            // Only the rest of the same file continues it: a range from where
            // the file stopped, of the length the file had.
            const std::optional<ContentRange> range = ParseContentRange(contentRange);
            answerOk =
                status == 206 && range && range->first == rangeFrom && range->total == announced;
            mismatch = !answerOk;
            return;
        }
        answerOk = IsHttpSuccess(status);
        if (!answerOk) {
            return;
        }
        // A whole file (the server ignored the range, or the file changed):
        // it replaces whatever the temporary file holds.
        if (received > 0 && !file->Restart()) {
            answerOk = false;
            return;
        }
        received = 0;
        curl_off_t length = -1;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        announced = length > 0 ? static_cast<std::uint64_t>(length) : 0;
        // Without a length no Content-Range can be checked against it.
        validator = announced > 0 ? IfRangeValidator(etag, lastModified) : std::string();
        started = true;
    }
};

// Hands the transfer's state to the progress receiver at every change of phase
// and, between them, at least once per interval. It is called from the event
// loop, after a turn of curl or from a timer, never from inside curl.
class Reporter {
public:
    Reporter(IDownloadProgress& progress, const std::string& url, const Transfer& t,
             std::chrono::milliseconds interval, std::size_t retries)
        : progress_(progress), url_(url), t_(t), interval_(interval), retries_(retries) {}

    unsigned Phase() const {
        if (t_.retry > 0 && !t_.answerOk) {
            return BindStatus::kRetrying;
        }
        if (t_.answerStarted) {
            return beginReported_ ? BindStatus::kDownloadingData : BindStatus::kBeginDownloadData;
        }
        return t_.requestSent ? BindStatus::kSendingRequest : BindStatus::kConnecting;
    }

    bool Due() const { return Phase() != lastCode_ || Clock::now() - last_ >= interval_; }

    // False when the receiver asked to abandon the transfer.
    bool Report(unsigned code) {
        lastCode_ = code;
        beginReported_ = beginReported_ || code == BindStatus::kBeginDownloadData;
        std::string text;
        if (code == BindStatus::kRetrying) {
            text = std::to_string(t_.retry) + "/" + std::to_string(retries_);
        } else if (code != BindStatus::kSendingRequest && code != BindStatus::kDownloadingData) {
            text = url_;
        }
        const bool goOn = progress_.OnProgress(t_.received, t_.announced, code, text);
        last_ = Clock::now();
        return goOn;
    }

    bool ReportIfDue() { return !Due() || Report(Phase()); }

private:
    IDownloadProgress& progress_;
    const std::string& url_;
    const Transfer& t_;
    const std::chrono::milliseconds interval_;
    const std::size_t retries_;
    unsigned lastCode_ = 0;
    bool beginReported_ = false;
    Clock::time_point last_ = Clock::now();
};

int OnRequestReady(void* user, char*, char*, int, int) {
    static_cast<Transfer*>(user)->requestSent = true;
    return CURL_PREREQFUNC_OK;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        // Every answer, an interim one included, has its own headers.
        t->etag.clear();
        t->lastModified.clear();
        t->contentRange.clear();
    }
    KeepStatusLine(t->statusLine, line);
    if (const auto etag = HeaderValue(line, "ETag")) {
        t->etag = *etag;
    } else if (const auto modified = HeaderValue(line, "Last-Modified")) {
        t->lastModified = *modified;
    } else if (const auto range = HeaderValue(line, "Content-Range")) {
        t->contentRange = *range;
    } else if (line == "\r\n" || line == "\n") {
        long status = 0;
        curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &status);
        // An interim 1xx answer ends its headers too; only the final one counts.
        if (status >= 200) {
            t->TakeAnswer(status);
        }
    }
    return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (!t->answerOk) {
        // An error page is not the episode, nor is a range that does not
        // continue the file: nothing of it reaches the disk.
        t->refused = true;
        return 0;
    }
    if (t->tookSome && Clock::now() - t->turnStart >= t->turnBudget) {
        // curl keeps these bytes and hands them over again when unpaused.
        t->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (!t->file->Write(data, bytes)) {
        return 0;
    }
    t->received += bytes;
    t->tookSome = true;
    return bytes;
}

// One easy handle on a multi handle that the event loop drives.
struct Session {
    CurlMultiDriver driver;
    CURL* easy = curl_easy_init();
    curl_slist* headers = nullptr;
    bool added = false;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() {
        Detach();
        curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }

    void Detach() {
        if (added) {
            added = false;
            driver.Remove(easy);
        }
    }

    // The request of a try: the whole file, or the rest of it from `from` on,
    // on condition that it is still the file that `validator` names.
    void SetRequest(const std::string& url, const CurlLimits& limits, std::uint64_t from,
                    const std::string& validator) {
        curl_slist_free_all(headers);
        headers = ApplyRequestConventions(easy, url, limits);
        // Never a range without its condition.
        curl_slist* conditional =
            from > 0 ? curl_slist_append(headers, ("If-Range: " + validator).c_str()) : nullptr;
        curl_easy_setopt(easy, CURLOPT_RANGE,
                         conditional != nullptr ? (std::to_string(from) + "-").c_str() : nullptr);
    }
};

// How the event loop of a try or a wait ended.
enum class LoopEnd { Running, Done, Abandoned, MultiFailed };

// Runs the tries of a transfer and the waits between them in a local event
// loop. The transfer moves on in whatever event loop runs, this one or one
// that a handler opens inside it (a modal box): the driver works from socket
// and timer events.
class TransferLoop {
public:
    TransferLoop(Session& s, Transfer& t, Reporter& reporter, std::chrono::milliseconds interval)
        : s_(s), t_(t), reporter_(reporter) {
        s_.driver.onDone = [this](CURL* easy, CURLcode result) {
            if (easy == s_.easy) {
                TryEnded(result);
            }
        };
        s_.driver.onError = [this](CURLMcode failed) {
            multiCode_ = failed;
            Finish(LoopEnd::MultiFailed);
        };
        s_.driver.beforeTurn = [this] { t_.StartTurn(); };
        s_.driver.afterTurn = [this] {
            ReportIfDue();
            // The turn has ended, which is what the pause was for: curl reads on
            // at its next turn, after the events that wait have been handled.
            Resume();
        };
        idle_.setInterval(interval);
        QObject::connect(&idle_, &QTimer::timeout, [this] { ReportIfDue(); });
        // For a transfer that paused again while it was being resumed.
        resume_.setSingleShot(true);
        resume_.setInterval(0);
        QObject::connect(&resume_, &QTimer::timeout, [this] { Resume(); });
        wait_.setSingleShot(true);
        QObject::connect(&wait_, &QTimer::timeout, [this] {
            Start();
            // Each try again is reported as it starts, however soon it ends.
            ReportIfDue();
        });
    }

    ~TransferLoop() {
        s_.driver.onDone = nullptr;
        s_.driver.onError = nullptr;
        s_.driver.beforeTurn = nullptr;
        s_.driver.afterTurn = nullptr;
    }

    TransferLoop(const TransferLoop&) = delete;
    TransferLoop& operator=(const TransferLoop&) = delete;

    // After each try: true to try again after `delay`, with the request
    // already set; false when the transfer ends with this try.
    std::function<bool(CURLcode result, std::chrono::milliseconds& delay)> tryAgain;

    // Until the transfer is done (its last try ended), abandoned by the
    // receiver or failed in curl; Running when the application was told to
    // quit first. An exception of the receiver is thrown from here, once the
    // loop has ended.
    LoopEnd Run() {
        end_ = LoopEnd::Running;
        Start();
        idle_.start();
        if (end_ == LoopEnd::Running) {
            loop_.exec();
        }
        idle_.stop();
        resume_.stop();
        wait_.stop();
        s_.Detach();
        if (receiverError_) {
            std::rethrow_exception(receiverError_);
        }
        return end_;
    }

    CURLMcode MultiError() const { return multiCode_; }

private:
    // Decided here, in whatever event loop runs (a modal box's too), so that a
    // try again does not wait for this loop's turn.
    void TryEnded(CURLcode result) {
        s_.Detach();
        std::chrono::milliseconds delay{0};
        if (end_ == LoopEnd::Running && tryAgain(result, delay)) {
            wait_.start(delay);
        } else {
            Finish(LoopEnd::Done);
        }
    }

    void Start() {
        multiCode_ = s_.driver.Add(s_.easy);
        if (multiCode_ != CURLM_OK) {
            Finish(LoopEnd::MultiFailed);
        } else {
            s_.added = true;
        }
    }

    void Finish(LoopEnd how) {
        if (end_ != LoopEnd::Running) {
            return;
        }
        end_ = how;
        // Stopped here, not when Run returns: that may wait for a modal box
        // that is open above this loop.
        s_.Detach();
        wait_.stop();
        loop_.quit();
    }

    // A receiver that runs an event loop of its own gets no report from within
    // it; nor may its exception cross Qt's event loop.
    void ReportIfDue() {
        if (end_ != LoopEnd::Running || reporting_) {
            return;
        }
        reporting_ = true;
        bool goOn = true;
        try {
            goOn = reporter_.ReportIfDue();
        } catch (...) {
            receiverError_ = std::current_exception();
            goOn = false;
        }
        reporting_ = false;
        if (!goOn) {
            Finish(LoopEnd::Abandoned);
        }
    }

    void Resume() {
        if (end_ != LoopEnd::Running || !t_.paused) {
            return;
        }
        t_.paused = false;
        t_.StartTurn();
        // Hands over the bytes kept at the pause, through OnBody, at once, and
        // asks the driver for a turn of curl as soon as the loop can.
        const CURLcode resumed = curl_easy_pause(s_.easy, CURLPAUSE_CONT);
        if (resumed != CURLE_OK) {
            TryEnded(resumed);
        } else if (t_.paused) {
            resume_.start();
        }
    }

    Session& s_;
    Transfer& t_;
    Reporter& reporter_;
    QEventLoop loop_;
    QTimer idle_;
    QTimer resume_;
    QTimer wait_;
    LoopEnd end_ = LoopEnd::Running;
    CURLMcode multiCode_ = CURLM_OK;
    bool reporting_ = false;
    std::exception_ptr receiverError_;
};

// How a try ended: with the whole file, with a break that another try may
// mend, or with a fault that would only repeat.
enum class TryEnd { Complete, Broken, Failed };

struct TryOutcome {
    TryEnd end = TryEnd::Failed;
    std::string error;  // what the user is told if no try mends it
};

TryOutcome JudgeTry(const Transfer& t, const PartFile& file, CURLcode code,
                    const char* errorBuffer) {
    long status = 0;
    curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &status);
    if (file.WriteFailed()) {
        return {TryEnd::Failed, file.WriteError()};
    }
    if (t.mismatch) {
        return {TryEnd::Broken, HttpStatusErrorText(status, t.statusLine)};
    }
    if (t.refused || (code == CURLE_OK && !IsHttpSuccess(status))) {
        // A server error after the file had started may pass; a missing file
        // or a redirect (never followed, as with the first request) would
        // only come again.
        const bool passing = t.started && status >= 500;
        return {passing ? TryEnd::Broken : TryEnd::Failed,
                HttpStatusErrorText(status, t.statusLine)};
    }
    if (code != CURLE_OK) {
        return {t.started && IsBrokenConnection(code) ? TryEnd::Broken : TryEnd::Failed,
                CurlErrorText(code, errorBuffer)};
    }
    if (t.announced > 0 && t.received != t.announced) {
        return {TryEnd::Broken, "The transfer ended after " + std::to_string(t.received) + " of " +
                                    std::to_string(t.announced) + " bytes"};
    }
    return {TryEnd::Complete, {}};
}

}  // namespace

CurlUrlDownloader::CurlUrlDownloader() : CurlUrlDownloader(Options{}) {}

CurlUrlDownloader::CurlUrlDownloader(Options options) : options_(std::move(options)) {
    EnsureCurlGlobalInit();
}

DownloadResult CurlUrlDownloader::DownloadToFile(const std::string& url, const fs::path& target,
                                                 IDownloadProgress& progress) {
    if (url.empty() || target.empty()) {
        return {DownloadOutcome::Failed, "No URL or no file name given"};
    }
    if (QCoreApplication::instance() == nullptr) {
        return {DownloadOutcome::Failed, "The transfer needs the program's event loop"};
    }
    PartFile file;
    std::string error;
    if (!file.Create(target, error)) {
        return {DownloadOutcome::Failed, error};
    }

    char errorBuffer[CURL_ERROR_SIZE] = {};
    Transfer t;
    t.file = &file;
    t.turnBudget = options_.turnBudget;
    const std::vector<std::chrono::milliseconds>& delays = options_.retryDelays;
    Reporter reporter(progress, url, t, options_.progressInterval, delays.size());
    Session s;
    if (!s.driver.Valid() || s.easy == nullptr) {
        return {DownloadOutcome::Failed, "The transfer could not be set up"};
    }
    t.curl = s.easy;
    s.SetRequest(url, options_.limits, 0, {});
    curl_easy_setopt(s.easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(s.easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(s.easy, CURLOPT_BUFFERSIZE, options_.receiveBufferBytes);
    curl_easy_setopt(s.easy, CURLOPT_PREREQFUNCTION, OnRequestReady);
    curl_easy_setopt(s.easy, CURLOPT_PREREQDATA, &t);
    curl_easy_setopt(s.easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(s.easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(s.easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(s.easy, CURLOPT_WRITEDATA, &t);

    if (!reporter.Report(BindStatus::kConnecting)) {
        return {DownloadOutcome::Aborted, {}};
    }
    TransferLoop loop(s, t, reporter, options_.progressInterval);
    TryOutcome last;            // of the last try
    std::uint64_t reached = 0;  // the most bytes the file has held
    std::size_t inARow = 0;     // tries again since the file last grew
    loop.tryAgain = [&](CURLcode result, std::chrono::milliseconds& delay) {
        last = JudgeTry(t, file, result, errorBuffer);
        if (last.end != TryEnd::Broken) {
            return false;
        }
        // A connection that brought new bytes broke off: the network came back
        // at least once, so the count starts again, without a wait.
        const bool grew = t.received > reached;
        reached = std::max(reached, t.received);
        inARow = grew ? 0 : inARow;
        if (inARow == delays.size()) {
            return false;
        }
        delay = grew ? std::chrono::milliseconds(0) : delays[inARow];
        // The rest of the same file, or, when that cannot be asked for or
        // checked, all of it again.
        const bool resume =
            !t.mismatch && !t.validator.empty() && t.received > 0 && t.received < t.announced;
        t.StartTry(static_cast<unsigned>(++inARow), resume ? t.received : 0);
        s.SetRequest(url, options_.limits, t.rangeFrom, t.validator);
        errorBuffer[0] = '\0';
        return true;
    };
    switch (loop.Run()) {
        case LoopEnd::Running:
            return {DownloadOutcome::Failed, "The transfer was stopped: the program is ending"};
        case LoopEnd::Abandoned:
            return {DownloadOutcome::Aborted, {}};
        case LoopEnd::MultiFailed:
            return {DownloadOutcome::Failed, curl_multi_strerror(loop.MultiError())};
        case LoopEnd::Done:
            break;
    }
    if (last.end != TryEnd::Complete) {
        return {DownloadOutcome::Failed, last.error};
    }
    if (!reporter.Report(BindStatus::kEndDownloadData)) {
        return {DownloadOutcome::Aborted, {}};
    }
    if (!file.Commit(target, error)) {
        return {DownloadOutcome::Failed, error};
    }
    return {DownloadOutcome::Ok, {}};
}
