#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <gtest/gtest.h>

#include "FaultyFileServer.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "Udownload/frmDownload.h"

namespace fs = std::filesystem;

namespace {

// The download window alone; each test serves what it fetches.
class DownloadWindow : public WindowTest {
protected:
    void SetUp() override { fs::create_directory(Saved()); }

    void TearDown() override {
        stop_ = true;
        WindowTest::TearDown();
    }

    QLabel* Label() { return Find<QLabel>(window_, "lblDownload"); }
    QProgressBar* Bar() { return Find<QProgressBar>(window_, "prgDownload"); }
    fs::path Saved() const { return Folder() / "saved"; }
    fs::path Target() const { return Saved() / "episode.mp3"; }

    // Shows the window and runs the transfer as the save commands do.
    void Run(const std::string& path) {
        window_.SetupDownload(Url(path), Target().string());
        window_.show();
        window_.StartDownload();
    }

    TfrmDownload& window_ = Download();
    // What the server's handlers use; the fixture stops the server first.
    std::string bytes_;
    std::atomic<int> released_{1};
    std::atomic<bool> stop_{false};
};

}  // namespace

TEST_F(DownloadWindow, StartsAsItsDesignAndClosesWithoutAQuestionWhenIdle) {
    EXPECT_EQ(frmDownload, &window_);
    EXPECT_EQ(window_.windowTitle(), QStringLiteral("Download"));
    EXPECT_TRUE(window_.windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(window_.size(), QSize(260, 33));
    EXPECT_EQ(Label()->text(), QStringLiteral("Downloading..."));
    EXPECT_EQ(Bar()->minimum(), 0);
    EXPECT_EQ(Bar()->maximum(), 100);
    EXPECT_EQ(Bar()->geometry().bottom(), window_.rect().bottom());
    EXPECT_FALSE(window_.Downloading);
    EXPECT_FALSE(window_.CancelRequested);

    window_.show();
    EXPECT_TRUE(window_.close());
    EXPECT_FALSE(window_.isVisible());

    // Nothing to fetch, or nowhere to put it: nothing happens at all.
    window_.show();
    window_.SetupDownload("", Target().string());
    window_.StartDownload();
    window_.SetupDownload("http://127.0.0.1:9/a.mp3", "");
    window_.StartDownload();
    EXPECT_FALSE(window_.Downloading);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_EQ(Dialogs().Count(), 0u);
}

TEST_F(DownloadWindow, DisplayNameSetsTheCaptionsAndIsKeptForLaterTransfers) {
    window_.SetupDownload("http://h/a.mp3", "/tmp/a.mp3");
    EXPECT_EQ(window_.windowTitle(), QStringLiteral("Download"));
    EXPECT_EQ(Label()->text(), QStringLiteral("Downloading..."));

    window_.SetDisplayName("첫 방송.mp3");
    window_.UpdateProgress(1, 2);
    window_.SetupDownload("http://h/a.mp3", "/tmp/a.mp3");
    EXPECT_EQ(window_.windowTitle(), QStringLiteral("Download 첫 방송.mp3"));
    EXPECT_EQ(Label()->text(), QStringLiteral("Downloading...  "));
    EXPECT_EQ(Bar()->value(), 0);

    window_.SetupDownload("http://h/b.mp3", "/tmp/b.mp3");
    EXPECT_EQ(window_.windowTitle(), QStringLiteral("Download 첫 방송.mp3"));
}

// An unknown size leaves the display alone, but must not swallow a cancel.
TEST_F(DownloadWindow, CallbackKeepsTheDisplayForUnknownSizesAndHonoursACancel) {
    window_.Callback.OwnerForm = &window_;
    EXPECT_TRUE(window_.Callback.OnProgress(524288, 3000000, BindStatus::kDownloadingData, ""));
    EXPECT_EQ(Bar()->value(), 17);
    EXPECT_EQ(Label()->text(), QStringLiteral("Downloading... ( 0.500/2.861 MB )"));
    EXPECT_EQ(window_.Callback.Status, "Downloading...");

    EXPECT_TRUE(window_.Callback.OnProgress(900000, 0, BindStatus::kDownloadingData, ""));
    EXPECT_EQ(Bar()->value(), 17);
    EXPECT_EQ(Label()->text(), QStringLiteral("Downloading... ( 0.500/2.861 MB )"));

    window_.CancelRequested = true;
    EXPECT_FALSE(window_.Callback.OnProgress(900000, 0, BindStatus::kDownloadingData, ""));
}

TEST_F(DownloadWindow, CompleteTransferAsksToPlayWithNoAsTheDefault) {
    const std::string bytes = PatternBytes(2 * 1024 * 1024);
    Server().ServeBytes("/ep.mp3", bytes);
    StartServer();

    Run("/ep.mp3");
    EXPECT_EQ(ReadFileBytes(Target()), bytes);
    EXPECT_EQ(FolderEntries(Saved()), std::vector<std::string>{"episode.mp3"});
    ASSERT_EQ(Dialogs().Count(), 1u);
    const auto& box = Dialogs().Last();
    EXPECT_EQ(box.kind, Kind::SystemBox);
    EXPECT_EQ(box.title, QStringLiteral("다운로드 완료"));
    EXPECT_EQ(
        box.text,
        QStringLiteral("다운로드를 완료하였습니다.\n\n다운로드 받은 파일을 재생하시겠습니까?"));
    EXPECT_EQ(box.flags, 0x144u);
    EXPECT_EQ(box.defaultButton, QStringLiteral("No"));
    // The default answer (No) leaves the player alone.
    EXPECT_FALSE(Media().IsOpen());
    EXPECT_EQ(Bar()->value(), 100);
    EXPECT_EQ(Label()->text(), QStringLiteral("Downloading... ( 2.000/2.000 MB )"));
    EXPECT_FALSE(window_.Downloading);
    EXPECT_FALSE(window_.isVisible());
}

TEST_F(DownloadWindow, ProgressTextsFollowTheBytesOfAKnownSize) {
    constexpr std::size_t kQuarter = 256 * 1024;
    bytes_ = PatternBytes(4 * kQuarter);
    const std::string& bytes = bytes_;
    // The server sends the next quarter only once the window has shown the last.
    std::atomic<int>& released = released_;
    std::atomic<bool>& stop = stop_;
    Server().Server().Get("/ep.mp3", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(bytes.size(), "audio/mpeg",
                                 [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     const int quarter = static_cast<int>(offset / kQuarter);
                                     while (released <= quarter) {
                                         if (stop) {
                                             return false;
                                         }
                                         std::this_thread::sleep_for(std::chrono::milliseconds(2));
                                     }
                                     return sink.write(bytes.data() + offset, kQuarter);
                                 });
    });
    StartServer();

    const QStringList milestones{QStringLiteral("Downloading... ( 0.250/1.000 MB )"),
                                 QStringLiteral("Downloading... ( 0.500/1.000 MB )"),
                                 QStringLiteral("Downloading... ( 0.750/1.000 MB )"),
                                 QStringLiteral("Downloading... ( 1.000/1.000 MB )")};
    QStringList texts;
    QList<int> values;
    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (texts.isEmpty() || texts.back() != Label()->text()) {
            texts << Label()->text();
            values << Bar()->value();
        }
        const int next = released;
        if (next < 4 && texts.back() == milestones[next - 1]) {
            released = next + 1;
        }
    });
    watch.start();
    window_.SetDisplayName("episode.mp3");
    Run("/ep.mp3");
    watch.stop();

    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().title, QStringLiteral("다운로드 완료"));
    // The last report comes just before the outcome; the display keeps it.
    if (texts.back() != Label()->text()) {
        texts << Label()->text();
        values << Bar()->value();
    }
    EXPECT_EQ(values.back(), 100);

    // Every milestone shows, in order; between them only growing byte counts.
    qsizetype next = 0;
    double last = -1;
    int lastValue = 0;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString& text = texts[i];
        if (text == QStringLiteral("Downloading...  ")) {
            continue;  // set up, before the first report with a size
        }
        ASSERT_TRUE(text.startsWith(QStringLiteral("Downloading... ( ")) &&
                    text.endsWith(QStringLiteral("/1.000 MB )")))
            << text.toStdString();
        const double done = text.mid(17, 5).toDouble();
        EXPECT_GT(done, last) << text.toStdString();
        last = done;
        if (next < milestones.size() && text == milestones[next]) {
            ++next;
        }
        EXPECT_GE(values[i], lastValue);
        lastValue = values[i];
    }
    EXPECT_EQ(next, milestones.size()) << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(values.contains(25) && values.contains(50) && values.contains(75));
}

TEST_F(DownloadWindow, FailuresShowTheReasonAndKeepTheExistingFile) {
    ServeBrokenBody(Server(), "/cut.mp3", 512 * 1024, 1000);
    StartServer();
    WriteFileBytes(Target(), "the older copy");

    Run("/missing.mp3");
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Message);
    EXPECT_EQ(Dialogs().Last().text, QStringLiteral("다운로드 실패!\n\nHTTP/1.1 404 Not Found"));

    Run("/cut.mp3");
    ASSERT_EQ(Dialogs().Count(), 2u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Message);
    EXPECT_TRUE(Dialogs().Last().text.startsWith(QStringLiteral("다운로드 실패!\n\n")));
    EXPECT_GT(Dialogs().Last().text.size(), QStringLiteral("다운로드 실패!\n\n").size());

    EXPECT_EQ(ReadFileBytes(Target()), "the older copy");
    EXPECT_EQ(FolderEntries(Saved()), std::vector<std::string>{"episode.mp3"});
    EXPECT_FALSE(window_.Downloading);
    EXPECT_FALSE(window_.isVisible());
}

TEST_F(DownloadWindow, CloseBoxAsksAndOnlyAYesCancelsLeavingTheOlderFile) {
    ServeSlowBody("/slow.mp3", 16 * 1024 * 1024);
    StartServer();
    WriteFileBytes(Target(), "the older copy");

    Dialogs().QueueAnswer(BoxAnswer::No);
    Dialogs().QueueAnswer(BoxAnswer::Yes);
    bool stillRunningAfterNo = false;
    WhenTheBarMoves([&] {
        EXPECT_FALSE(window_.close());
        stillRunningAfterNo =
            window_.Downloading && window_.isVisible() && !window_.CancelRequested;
        EXPECT_FALSE(window_.close());
        EXPECT_TRUE(window_.CancelRequested);
    });
    Run("/slow.mp3");

    EXPECT_TRUE(stillRunningAfterNo);
    ASSERT_EQ(Dialogs().Count(), 3u);
    const auto& boxes = Dialogs().Boxes();
    for (int i : {0, 1}) {
        EXPECT_EQ(boxes[i].kind, Kind::Warning);
        EXPECT_EQ(boxes[i].title, QStringLiteral("Warning"));
        EXPECT_EQ(boxes[i].text, QStringLiteral("다운로드가 진행중입니다.\n\n취소하시겠습니까?"));
        EXPECT_EQ(boxes[i].buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    }
    EXPECT_EQ(boxes[2].kind, Kind::Message);
    EXPECT_EQ(boxes[2].text, QStringLiteral("다운로드가 취소되었습니다."));
    EXPECT_EQ(ReadFileBytes(Target()), "the older copy");
    EXPECT_EQ(FolderEntries(Saved()), std::vector<std::string>{"episode.mp3"});
    EXPECT_FALSE(window_.Downloading);
    EXPECT_FALSE(window_.isVisible());
}

// While a broken save reconnects, the status line says so with the try's
// number, and the bar goes on from its place instead of starting again.
TEST_F(DownloadWindow, BrokenConnectionShowsTheRetryAndTheBarGoesOnFromItsPlace) {
    const std::string bytes = PatternBytes(1024 * 1024);
    FaultyFileServer server({.bytes = bytes, .etag = "\"a\""},
                            {{FaultyFileServer::Fault::ResetAt, 512 * 1024}});
    const QString retrying = QStringLiteral("다시 연결하는 중 (1/3)");
    std::atomic<bool> shown{false};
    // The try again is answered once the window has shown it.
    server.beforeAnswer = [&shown](std::size_t index) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (index > 0 && !shown && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    };
    QStringList texts;
    QList<int> values;
    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (texts.isEmpty() || texts.back() != Label()->text() || values.back() != Bar()->value()) {
            texts << Label()->text();
            values << Bar()->value();
        }
        shown = shown || Label()->text() == retrying;
    });
    watch.start();
    window_.SetupDownload(server.Url(), Target().string());
    window_.show();
    window_.StartDownload();
    watch.stop();

    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().title, QStringLiteral("다운로드 완료"));
    EXPECT_TRUE(ReadFileBytes(Target()) == bytes);
    const qsizetype retry = texts.indexOf(retrying);
    ASSERT_NE(retry, -1) << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(values[retry], 50);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(Label()->text(), QStringLiteral("Downloading... ( 1.000/1.000 MB )"));
}
