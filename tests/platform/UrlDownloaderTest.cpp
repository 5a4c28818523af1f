#include "platform/CurlUrlDownloader.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "FaultyFileServer.h"
#include "TestHttpServer.h"
#include "TransferHelpers.h"
#include "WaitUntil.h"

namespace fs = std::filesystem;

namespace {

struct Report {
    std::uint64_t progress;
    std::uint64_t progressMax;
    unsigned code;
    std::string text;
};

// Records every report; `abandonWhen` decides when to stop the transfer.
class RecordingProgress final : public IDownloadProgress {
public:
    std::vector<Report> reports;
    std::function<bool(const Report&)> abandonWhen;

    bool OnProgress(std::uint64_t progress, std::uint64_t progressMax, unsigned statusCode,
                    const std::string& statusText) override {
        reports.push_back({progress, progressMax, statusCode, statusText});
        return !(abandonWhen && abandonWhen(reports.back()));
    }
};

// The order in which the phases of one transfer may follow each other.
int PhaseRank(unsigned code) {
    switch (code) {
        case BindStatus::kConnecting:
            return 0;
        case BindStatus::kSendingRequest:
            return 1;
        case BindStatus::kBeginDownloadData:
            return 2;
        case BindStatus::kDownloadingData:
            return 3;
        case BindStatus::kEndDownloadData:
            return 4;
        default:
            return -1;
    }
}

// Short waits before the tries again, and a stall ends after two seconds.
CurlUrlDownloader::Options QuickRetries() {
    CurlUrlDownloader::Options options;
    options.limits.lowSpeedSeconds = 2;
    options.retryDelays = {std::chrono::milliseconds(10), std::chrono::milliseconds(20),
                           std::chrono::milliseconds(40)};
    return options;
}

class UrlDownloader : public ::testing::Test {
protected:
    fs::path Folder() const { return fs::path(dir_.path().toStdString()); }
    fs::path Target() const { return Folder() / "episode.mp3"; }

    DownloadResult Download(const std::string& path) {
        return downloader_.DownloadToFile(server_.Url(path), Target(), progress_);
    }

    void TearDown() override {
        release_ = true;
        body_.Stop();
    }

    QTemporaryDir dir_;
    // What the server's handlers use outlives the server, which finishes them.
    std::string bytes_;
    std::atomic<bool> release_{false};
    SlowBody body_;
    TestHttpServer server_;
    CurlUrlDownloader downloader_{QuickRetries()};
    RecordingProgress progress_;
};

using Fault = FaultyFileServer::Fault;
using File = FaultyFileServer::File;

constexpr std::size_t kCut = 300000;
const File kStrong{.bytes = PatternBytes(1024 * 1024), .etag = "\"v1\""};
// Another version of the file, of another length.
const File kChanged{.bytes = PatternBytes(1024 * 1024 + 4321).substr(7), .etag = "\"v2\""};

struct BreakCase {
    const char* name;
    std::vector<FaultyFileServer::Step> script;
    bool saved;  // byte-exact with the file served last; else failed and nothing left
    std::size_t requests;
    bool resumes = true;    // the second request asks for the rest; else for the whole file
    bool restarts = false;  // the progress may go back to 0
    File file = kStrong;
};

}  // namespace

TEST_F(UrlDownloader, CompleteTransferSavesTheServedBytesAndReportsEachPhaseInOrder) {
    const std::string bytes = PatternBytes(3 * 1024 * 1024 + 17);
    std::mutex lock;
    httplib::Headers seen;
    server_.Server().Get("/ep.mp3", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard guard(lock);
        seen = req.headers;
        res.set_content(bytes, "audio/mpeg");
    });
    server_.Start();

    const DownloadResult r = Download("/ep.mp3");
    ASSERT_EQ(r.outcome, DownloadOutcome::Ok) << r.error;
    EXPECT_EQ(ReadFileBytes(Target()), bytes);
    EXPECT_EQ(FolderEntries(Folder()), std::vector<std::string>{"episode.mp3"});

    const auto& reports = progress_.reports;
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports.front().code, BindStatus::kConnecting);
    EXPECT_EQ(reports.front().text, server_.Url("/ep.mp3"));
    EXPECT_EQ(reports.back().code, BindStatus::kEndDownloadData);
    EXPECT_EQ(reports.back().progress, bytes.size());
    EXPECT_EQ(reports.back().progressMax, bytes.size());
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_LE(PhaseRank(reports[i - 1].code), PhaseRank(reports[i].code)) << i;
        EXPECT_LE(reports[i - 1].progress, reports[i].progress) << i;
        if (reports[i].code == BindStatus::kDownloadingData) {
            EXPECT_EQ(reports[i].progressMax, bytes.size());
        }
    }

    // The same request as the program's HTTP client.
    std::lock_guard guard(lock);
    auto header = [&](const char* name) {
        auto it = seen.find(name);
        return it == seen.end() ? std::string("(none)") : it->second;
    };
    EXPECT_EQ(header("Accept"), "text/html, */*");
    EXPECT_EQ(header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
}

TEST_F(UrlDownloader, BodyWithoutContentLengthIsSavedWholeWithAnUnknownSize) {
    bytes_ = PatternBytes(700000);
    const std::string& bytes = bytes_;
    server_.Server().Get("/stream", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider("audio/mpeg", [&](std::size_t offset, httplib::DataSink& sink) {
            const std::size_t n = std::min<std::size_t>(50000, bytes.size() - offset);
            // Without a length the end of the connection ends the body: refusing
            // to go on makes the server close it.
            return n > 0 && sink.write(bytes.data() + offset, n);
        });
    });
    server_.Start();

    const DownloadResult r = Download("/stream");
    ASSERT_EQ(r.outcome, DownloadOutcome::Ok) << r.error;
    EXPECT_EQ(ReadFileBytes(Target()), bytes);
    for (const Report& report : progress_.reports) {
        EXPECT_EQ(report.progressMax, 0u);
    }
    EXPECT_EQ(progress_.reports.back().progress, bytes.size());
}

// An error page must never be saved as the episode, nor destroy an older copy.
TEST_F(UrlDownloader, ErrorAnswersAndRedirectsFailWithTheirStatusLineAndKeepTheTarget) {
    server_.Server().Get("/missing.mp3", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content(std::string(100000, 'x'), "text/html");
    });
    server_.Server().Get("/empty-error.mp3",
                         [](const httplib::Request&, httplib::Response& res) { res.status = 503; });
    server_.Server().Get("/moved.mp3", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/elsewhere.mp3", 302);
    });
    server_.Start();
    WriteFileBytes(Target(), "the older copy");

    const std::pair<const char*, const char*> cases[] = {
        {"/missing.mp3", "HTTP/1.1 404 Not Found"},
        {"/empty-error.mp3", "HTTP/1.1 503 Service Unavailable"},
        {"/moved.mp3", "HTTP/1.1 302 Found"},
    };
    for (const auto& [path, statusLine] : cases) {
        const DownloadResult r = Download(path);
        EXPECT_EQ(r.outcome, DownloadOutcome::Failed) << path;
        EXPECT_EQ(r.error, statusLine);
        EXPECT_EQ(ReadFileBytes(Target()), "the older copy") << path;
        EXPECT_EQ(FolderEntries(Folder()), std::vector<std::string>{"episode.mp3"}) << path;
    }
}

TEST_F(UrlDownloader, ConnectionDroppedInTheBodyFailsAndLeavesNothingBehind) {
    ServeBrokenBody(server_, "/cut.mp3", 1024 * 1024, 512 * 1024);
    server_.Start();

    DownloadResult r = Download("/cut.mp3");
    EXPECT_EQ(r.outcome, DownloadOutcome::Failed);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(FolderEntries(Folder()).empty());

    WriteFileBytes(Target(), "the older copy");
    r = Download("/cut.mp3");
    EXPECT_EQ(r.outcome, DownloadOutcome::Failed);
    EXPECT_EQ(ReadFileBytes(Target()), "the older copy");
    EXPECT_EQ(FolderEntries(Folder()), std::vector<std::string>{"episode.mp3"});
}

TEST_F(UrlDownloader, AbandonedTransferRemovesItsPartialFileAndKeepsTheTarget) {
    body_.Serve(server_, "/slow.mp3", 16 * 1024 * 1024);
    server_.Start();
    WriteFileBytes(Target(), "the older copy");

    progress_.abandonWhen = [](const Report& r) { return r.progress >= 100 * 1024; };
    const DownloadResult r = Download("/slow.mp3");
    EXPECT_EQ(r.outcome, DownloadOutcome::Aborted);
    EXPECT_EQ(ReadFileBytes(Target()), "the older copy");
    EXPECT_EQ(FolderEntries(Folder()), std::vector<std::string>{"episode.mp3"});
}

// The receiver keeps a window answering from the reports, so they must go on
// while the server sends nothing.
TEST_F(UrlDownloader, ReportsContinueWhileTheServerHoldsTheBody) {
    bytes_ = PatternBytes(200000);
    const std::string& bytes = bytes_;
    std::atomic<bool>& release = release_;
    server_.Server().Get("/held.mp3", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(
            bytes.size(), "audio/mpeg",
            [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset > 0) {
                    while (!release) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    }
                    return sink.write(bytes.data() + offset, bytes.size() - offset);
                }
                return sink.write(bytes.data(), 1000);
            });
    });
    server_.Start();

    int idleReports = 0;
    progress_.abandonWhen = [&](const Report& r) {
        if (r.progress == 1000 && ++idleReports == 5) {
            release = true;
        }
        return false;
    };
    const DownloadResult r = Download("/held.mp3");
    release = true;
    ASSERT_EQ(r.outcome, DownloadOutcome::Ok) << r.error;
    EXPECT_GE(idleReports, 5);
    EXPECT_EQ(ReadFileBytes(Target()), bytes);
}

TEST_F(UrlDownloader, RefusedConnectionsForeignSchemesAndMissingFoldersFail) {
    int closedPort;
    {
        TestHttpServer closed;
        closed.Start();
        closedPort = closed.Port();
    }
    DownloadResult r = downloader_.DownloadToFile(
        "http://127.0.0.1:" + std::to_string(closedPort) + "/ep.mp3", Target(), progress_);
    EXPECT_EQ(r.outcome, DownloadOutcome::Failed);
    EXPECT_NE(r.error.find("127.0.0.1"), std::string::npos) << r.error;

    for (const char* url : {"file:///etc/passwd", "ftp://127.0.0.1/x.mp3"}) {
        r = downloader_.DownloadToFile(url, Target(), progress_);
        EXPECT_EQ(r.outcome, DownloadOutcome::Failed) << url;
        EXPECT_FALSE(r.error.empty()) << url;
    }
    EXPECT_TRUE(FolderEntries(Folder()).empty());

    server_.ServeBytes("/ep.mp3", "abc");
    server_.Start();
    r = downloader_.DownloadToFile(server_.Url("/ep.mp3"), Folder() / "no-such-folder" / "a.mp3",
                                   progress_);
    EXPECT_EQ(r.outcome, DownloadOutcome::Failed);
    EXPECT_NE(r.error.find("no-such-folder"), std::string::npos) << r.error;
}

// A receiver may run an event loop of its own (a modal box, say). The transfer
// must move on inside it, and no report may come from within a report.
TEST_F(UrlDownloader, TransferMovesOnInsideAnEventLoopTheReceiverRuns) {
    constexpr std::size_t kSize = 4 * 1024 * 1024;
    body_.Serve(server_, "/slow.mp3", kSize, 32 * 1024, std::chrono::milliseconds(5));
    server_.Start();
    // The temporary file, the only other entry of the folder, shows the bytes
    // received while no report comes.
    const auto partBytes = [this] {
        std::uintmax_t size = 0;
        for (const auto& entry : fs::directory_iterator(Folder())) {
            size = std::max(size, entry.file_size());
        }
        return size;
    };

    bool inside = false;
    bool nested = false;
    bool grew = false;
    progress_.abandonWhen = [&](const Report& r) {
        nested = nested || inside;
        if (r.progress > 0 && !inside && !grew) {
            inside = true;
            const std::uintmax_t before = partBytes();
            grew = RunEventLoopUntil([&] { return partBytes() >= before + 1024 * 1024; },
                                     std::chrono::seconds(20));
            inside = false;
        }
        return false;
    };
    const DownloadResult r = Download("/slow.mp3");
    ASSERT_EQ(r.outcome, DownloadOutcome::Ok) << r.error;
    EXPECT_TRUE(grew);
    EXPECT_FALSE(nested);
    EXPECT_TRUE(ReadFileBytes(Target()) == PatternBytes(kSize));
}

// On a fast link the transfer pauses so that the event loop gets its turn; no
// byte may be lost or doubled across a pause. Here it pauses after every
// buffer.
TEST_F(UrlDownloader, PausesBetweenTurnsLoseAndRepeatNoByte) {
    const std::string bytes = PatternBytes(6 * 1024 * 1024 + 5);
    server_.ServeBytes("/ep.mp3", bytes);
    server_.Start();
    CurlUrlDownloader::Options options;
    options.receiveBufferBytes = 16 * 1024;
    options.turnBudget = std::chrono::milliseconds(0);
    CurlUrlDownloader pausing(options);

    const DownloadResult r = pausing.DownloadToFile(server_.Url("/ep.mp3"), Target(), progress_);
    ASSERT_EQ(r.outcome, DownloadOutcome::Ok) << r.error;
    EXPECT_TRUE(ReadFileBytes(Target()) == bytes);
    EXPECT_EQ(progress_.reports.back().progress, bytes.size());
}

// A report may come from a timer of the event loop; the receiver's exception
// must not cross Qt's loop, but end the transfer and leave the call, with
// nothing left behind.
TEST_F(UrlDownloader, ReceiverExceptionEndsTheTransferAndLeavesTheCall) {
    body_.Serve(server_, "/slow.mp3", 16 * 1024 * 1024);
    server_.Start();
    progress_.abandonWhen = [](const Report& r) -> bool {
        if (r.progress > 0) {
            throw std::runtime_error("the window has gone");
        }
        return false;
    };
    EXPECT_THROW(Download("/slow.mp3"), std::runtime_error);
    EXPECT_TRUE(FolderEntries(Folder()).empty());
}

// Every way a connection breaks off ends in the whole file, never one put
// together from two versions, or in a failure that leaves nothing behind.
TEST_F(UrlDownloader, BrokenConnectionsResumeOnlyTheSameFileOrFailLeavingNothing) {
    const FaultyFileServer::Step cut{Fault::ResetAt, kCut};
    const File dated{.bytes = kStrong.bytes, .lastModified = "Wed, 21 Oct 2015 07:28:00 GMT"};
    const File weak{.bytes = kStrong.bytes, .etag = "W/\"v1\""};
    const File bare{.bytes = kStrong.bytes};
    const File unmeasured{.bytes = kStrong.bytes, .etag = "\"v1\"", .sendLength = false};
    const BreakCase cases[] = {
        {"reset once", {cut}, true, 2},
        {"reset twice", {cut, cut}, true, 3},
        {"reset four times", {cut, cut, cut, cut}, false, 4},
        {"closed early", {{Fault::CloseAt, kCut}}, true, 2},
        {"stalled", {{Fault::StallAt, 0}}, true, 2, false},
        {"503 on a try again", {cut, {Fault::Status503}}, true, 3},
        {"range ignored", {cut, {Fault::IgnoreRange}}, true, 2, true, true},
        {"file changed", {cut, {Fault::Change}}, true, 2, true, true},
        {"changed, If-Range ignored", {cut, {Fault::ChangeUnchecked}}, true, 3, true, true},
        {"206 at another offset", {cut, {Fault::WrongOffset}}, true, 3, true, true},
        {"416", {cut, {Fault::Unsatisfiable}}, true, 3, true, true},
        {"404 on a try again", {cut, {Fault::Status404}}, false, 2},
        {"redirect on a try again", {cut, {Fault::Redirect}}, false, 2},
        {"Last-Modified only", {cut}, true, 2, true, false, dated},
        {"weak ETag", {cut}, true, 2, false, true, weak},
        {"no validator", {cut}, true, 2, false, true, bare},
        {"no length", {cut}, true, 2, false, true, unmeasured},
    };
    for (const BreakCase& c : cases) {
        SCOPED_TRACE(c.name);
        FaultyFileServer server(c.file, c.script, kChanged);
        progress_.reports.clear();
        const DownloadResult r = downloader_.DownloadToFile(server.Url(), Target(), progress_);
        if (c.saved) {
            ASSERT_EQ(r.outcome, DownloadOutcome::Ok) << r.error;
            EXPECT_TRUE(ReadFileBytes(Target()) == server.Served().bytes);
            EXPECT_EQ(FolderEntries(Folder()), std::vector<std::string>{"episode.mp3"});
            fs::remove(Target());
        } else {
            EXPECT_EQ(r.outcome, DownloadOutcome::Failed);
            EXPECT_FALSE(r.error.empty());
            EXPECT_TRUE(FolderEntries(Folder()).empty());
        }
        EXPECT_EQ(server.Requests().size(), c.requests);
        const std::string validator = c.file.etag.empty() ? c.file.lastModified : c.file.etag;
        EXPECT_EQ(server.Header(1, "Range"), c.resumes ? "bytes=300000-" : "");
        EXPECT_EQ(server.Header(1, "If-Range"), c.resumes ? validator : "");
        bool waited = false;
        for (std::size_t i = 1; i < progress_.reports.size(); ++i) {
            const Report& report = progress_.reports[i];
            waited = waited || (report.code == BindStatus::kRetrying && report.text == "1/3");
            if (!c.restarts) {
                EXPECT_LE(progress_.reports[i - 1].progress, report.progress) << i;
            }
        }
        EXPECT_TRUE(waited);
    }
}

// A cancel ends the wait before a try again at once, and leaves nothing; with
// the waits the program uses (1, 2 and 4 s).
TEST_F(UrlDownloader, CancelDuringTheWaitBeforeATryAgainEndsTheSave) {
    FaultyFileServer server(kStrong, {{Fault::ResetAt, 0}});
    CurlUrlDownloader program;
    progress_.abandonWhen = [](const Report& r) { return r.code == BindStatus::kRetrying; };
    const DownloadResult r = program.DownloadToFile(server.Url(), Target(), progress_);
    EXPECT_EQ(r.outcome, DownloadOutcome::Aborted);
    EXPECT_EQ(progress_.reports.back().text, "1/3");
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(FolderEntries(Folder()).empty());
}

// A try again must start inside an event loop the receiver runs (a modal box),
// not wait for the transfer's own loop.
TEST_F(UrlDownloader, TryAgainStartsInsideAnEventLoopTheReceiverRuns) {
    FaultyFileServer server(kStrong, {{Fault::ResetAt, kCut}});
    bool tried = false;
    progress_.abandonWhen = [&](const Report& r) {
        if (r.code == BindStatus::kRetrying && !tried) {
            tried = RunEventLoopUntil([&] { return server.Requests().size() == 2; },
                                      std::chrono::seconds(20));
        }
        return false;
    };
    const DownloadResult r = downloader_.DownloadToFile(server.Url(), Target(), progress_);
    ASSERT_EQ(r.outcome, DownloadOutcome::Ok) << r.error;
    EXPECT_TRUE(tried);
    EXPECT_TRUE(ReadFileBytes(Target()) == kStrong.bytes);
}
