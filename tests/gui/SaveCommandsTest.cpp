#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "TestHttpServer.h"
#include "TestServices.h"
#include "TransferHelpers.h"
#include "Udownload/frmDownload.h"
#include "Umain/LinkCheck.h"
#include "Umain/frmMain.h"

namespace fs = std::filesystem;

namespace {

using Kind = ScriptedDialogs::Kind;

std::string Feed(const std::vector<std::pair<std::string, std::string>>& episodes) {
    std::string items;
    for (const auto& [title, url] : episodes) {
        items += "<item><title>" + title + "</title><enclosure url=\"" + url +
                 "\" length=\"1000\" type=\"audio/mpeg\"/></item>";
    }
    return "<?xml version=\"1.0\"?><rss><channel><title>Show</title>" + items + "</channel></rss>";
}

// One second of a 440 Hz tone as a 16-bit mono WAV file.
std::string ToneWav() {
    constexpr std::uint32_t kRate = 8000;
    std::string samples;
    for (std::uint32_t i = 0; i < kRate; ++i) {
        const auto v = static_cast<std::int16_t>(8000 * ((i * 440 * 2 / kRate) % 2 ? 1 : -1));
        samples += static_cast<char>(v & 0xFF);
        samples += static_cast<char>((v >> 8) & 0xFF);
    }
    auto u32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    };
    auto u16 = [](std::uint16_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    };
    return "RIFF" + u32(36 + static_cast<std::uint32_t>(samples.size())) + "WAVEfmt " + u32(16) +
           u16(1) + u16(1) + u32(kRate) + u32(kRate * 2) + u16(2) + u16(16) + "data" +
           u32(static_cast<std::uint32_t>(samples.size())) + samples;
}

// The main window with a feed of four episodes served from 127.0.0.1, and the
// download window, created and destroyed in the program's order.
class SaveCommands : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = PatternBytes(1536 * 1024);
        server_.Server().Get("/rss", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard guard(lock_);
            res.set_content(feed_, "text/xml");
        });
        server_.Server().Get("/ep1.mp3",
                             [this](const httplib::Request& req, httplib::Response& res) {
                                 ++(req.method == "HEAD" ? heads_ : gets_);
                                 res.set_content(bytes_, "audio/mpeg");
                             });
        server_.ServeBytes("/tone.wav", ToneWav(), "audio/wav");
        body_.Serve(server_, "/slow.mp3", 16 * 1024 * 1024);
        server_.Start();
        {
            std::lock_guard guard(lock_);
            feed_ = Feed({{"첫 방송", server_.Url("/ep1.mp3")},
                          {"Slow", server_.Url("/slow.mp3")},
                          {"Gone", server_.Url("/gone.mp3")},
                          {"Tone", server_.Url("/tone.wav")}});
        }
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") + "\n");
        fs::create_directory(Saved());
        main_ = std::make_unique<TfrmMain>(services_.Get());
        download_ = std::make_unique<TfrmDownload>(services_.Get());
    }

    void TearDown() override {
        body_.Stop();
        download_.reset();
        main_.reset();
    }

    QComboBox* Combo(const char* name) {
        return main_->findChild<QComboBox*>(QString::fromLatin1(name));
    }
    void Select(int index) { Combo("cmbItem")->setCurrentIndex(index); }
    ScriptedDialogs& Dialogs() { return services_.Dialogs(); }
    fs::path Saved() const { return services_.Folder() / "saved"; }

    // Calls `action` once, from the event processing of a running transfer,
    // as soon as its bar has moved.
    void WhenTheBarMoves(std::function<void()> action) {
        auto* timer = new QTimer(download_.get());
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, action] {
            auto* bar = download_->findChild<QProgressBar*>(QStringLiteral("prgDownload"));
            if (download_->Downloading && bar->value() > 0) {
                timer->stop();
                action();
            }
        });
        timer->start();
    }

    std::mutex lock_;
    std::string feed_;
    std::string bytes_;
    std::atomic<int> heads_{0};
    std::atomic<int> gets_{0};
    SlowBody body_;
    TestHttpServer server_;
    // Destroyed before the server, so that the HTTP client's open connection
    // does not hold the server's stop.
    TestServices services_;
    std::unique_ptr<TfrmMain> main_;
    std::unique_ptr<TfrmDownload> download_;
};

}  // namespace

TEST_F(SaveCommands, SaveChecksProposesTheLinkNameAndRemembersTheFolder) {
    // The stored link is rewritten before it is checked and fetched.
    main_->Episodes[0].url = server_.Url("/OLD/ep1.mp3");
    main_->FindText = "/old/";
    main_->ReplaceText = "/";
    const std::string lastDown = main_->LastDown;
    const fs::path folder = Saved() / "내 폴더";
    fs::create_directory(folder);
    const fs::path target = folder / "첫 방송.mp3";
    Dialogs().QueueFile(QString::fromStdString(target.string()));

    Select(0);
    main_->btnDownClick();

    ASSERT_EQ(Dialogs().Count(), 2u);
    const auto& dialog = Dialogs().Boxes()[0];
    EXPECT_EQ(dialog.kind, Kind::FileDialog);
    EXPECT_EQ(dialog.fileState.fileName, QStringLiteral("ep1.mp3"));
    EXPECT_EQ(dialog.fileState.initialDir, QString::fromStdString(lastDown));
    EXPECT_EQ(dialog.fileState.filter,
              QStringLiteral("MP3 Files (*.mp3)|*.mp3|All Files (*.*)|*.*"));
    EXPECT_EQ(Dialogs().Last().title, QStringLiteral("다운로드 완료"));

    EXPECT_EQ(ReadFileBytes(target), bytes_);
    EXPECT_EQ(main_->LastDown, folder.string() + "/");
    EXPECT_EQ(download_->windowTitle(), QStringLiteral("Download 첫 방송.mp3"));
    EXPECT_EQ(heads_.load(), 1);
    EXPECT_EQ(gets_.load(), 1);
    EXPECT_FALSE(download_->isVisible());
}

TEST_F(SaveCommands, OverwriteQuestionGuardsAnExistingFile) {
    const fs::path target = Saved() / "episode.mp3";
    WriteFileBytes(target, "the older copy");
    const std::string lastDown = main_->LastDown;
    Select(0);

    Dialogs().QueueFile(QString::fromStdString(target.string()));
    Dialogs().QueueAnswer(BoxAnswer::No);
    main_->btnDownClick();
    ASSERT_EQ(Dialogs().Count(), 2u);
    const auto& box = Dialogs().Last();
    EXPECT_EQ(box.kind, Kind::SystemBox);
    EXPECT_EQ(box.title, QStringLiteral("파일 중복"));
    EXPECT_EQ(box.text, QStringLiteral("episode.mp3가 이미 존재합니다. \n\n덮어 쓰시겠습니까?"));
    EXPECT_EQ(box.flags, 0x24u);
    EXPECT_EQ(box.defaultButton, QStringLiteral("Yes"));
    // Declined: nothing changed, nothing fetched, no window.
    EXPECT_EQ(main_->LastDown, lastDown);
    EXPECT_EQ(ReadFileBytes(target), "the older copy");
    EXPECT_EQ(gets_.load(), 0);
    EXPECT_FALSE(download_->isVisible());
    EXPECT_EQ(download_->windowTitle(), QStringLiteral("Download"));

    Dialogs().QueueFile(QString::fromStdString(target.string()));
    Dialogs().QueueAnswer(BoxAnswer::Yes);
    main_->btnDownClick();
    EXPECT_EQ(ReadFileBytes(target), bytes_);
    EXPECT_EQ(FolderEntries(Saved()), std::vector<std::string>{"episode.mp3"});
}

TEST_F(SaveCommands, UnreachableLinkIsReportedWithoutAFileDialog) {
    Select(2);
    main_->btnDownClick();
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Message);
    EXPECT_EQ(
        Dialogs().Last().text,
        QString::fromStdString("인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\n" +
                               server_.Url("/gone.mp3") + "\r\rHTTP/1.1 404 Not Found"));
    EXPECT_FALSE(download_->isVisible());
}

// Events run inside a transfer: a second one must be refused, the link copy not.
TEST_F(SaveCommands, DuringATransferSavesAreRefusedAndTheLinkCopyWorks) {
    Select(1);
    Dialogs().QueueFile(QString::fromStdString((Saved() / "slow.mp3").string()));
    WhenTheBarMoves([this] {
        main_->btnDownClick();
        main_->btnDownloadClick();
        Select(0);
        main_->btnURLClick();
        Dialogs().QueueAnswer(BoxAnswer::Yes);
        download_->close();
    });
    main_->btnDownClick();

    const auto& boxes = Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 6u);
    EXPECT_EQ(boxes[0].kind, Kind::FileDialog);
    for (int i : {1, 2}) {
        EXPECT_EQ(boxes[i].kind, Kind::Message);
        EXPECT_EQ(boxes[i].text, QStringLiteral("다운로드가 진행중 입니다."));
    }
    EXPECT_EQ(boxes[3].kind, Kind::SystemBox);
    EXPECT_EQ(boxes[3].title, QStringLiteral("MP3 다운로드 경로"));
    EXPECT_EQ(boxes[4].kind, Kind::Warning);
    EXPECT_EQ(boxes[5].text, QStringLiteral("다운로드가 취소되었습니다."));
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QString::fromStdString(server_.Url("/ep1.mp3")));
    EXPECT_EQ(heads_.load(), 0);
    EXPECT_TRUE(FolderEntries(Saved()).empty());
    EXPECT_FALSE(download_->Downloading);
}

TEST_F(SaveCommands, LinkCopyPutsTheRewrittenLinkOnTheClipboard) {
    main_->FindText = "EP1";
    main_->ReplaceText = "ep1-low";
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Select(0);
    main_->btnURLClick();

    const QString link = QString::fromStdString(server_.Url("/ep1-low.mp3"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), link);
    ASSERT_EQ(Dialogs().Count(), 1u);
    const auto& box = Dialogs().Last();
    EXPECT_EQ(box.kind, Kind::SystemBox);
    EXPECT_EQ(box.text,
              link + QStringLiteral("\n\nMP3 다운로드 경로를 클립보드에 복사하였습니다."));
    EXPECT_EQ(box.title, QStringLiteral("MP3 다운로드 경로"));
    EXPECT_EQ(box.flags, 0x40u);
    EXPECT_EQ(box.buttons, QStringList{QStringLiteral("OK")});
    EXPECT_EQ(heads_.load(), 0);
}

TEST_F(SaveCommands, PanelDownloadSavesTheStoredLinkUnderTheDateName) {
    // A rewrite would break the link; the panel does not apply it.
    main_->FindText = "ep1";
    main_->ReplaceText = "gone";
    main_->Episodes[0].date = "2008/05/01";
    for (const TEpisode& e : main_->Episodes) {
        Combo("cmbDate")->addItem(QString::fromStdString(e.date));
    }
    Combo("cmbDate")->setCurrentIndex(0);
    main_->dlgOpen.initialDir = QStringLiteral("/somewhere");
    const std::string lastDown = main_->LastDown;
    const fs::path target = Saved() / "TOV2008-05-01.mp3";
    WriteFileBytes(target, "the older copy");
    Dialogs().QueueFile(QString::fromStdString(target.string()));

    main_->btnDownloadClick();

    ASSERT_EQ(Dialogs().Count(), 2u);
    EXPECT_EQ(Dialogs().Boxes()[0].fileState.fileName, QStringLiteral("TOV2008-05-01.mp3"));
    EXPECT_EQ(Dialogs().Boxes()[0].fileState.initialDir, QStringLiteral("/somewhere"));
    // No overwrite question, no link check.
    EXPECT_EQ(Dialogs().Last().title, QStringLiteral("다운로드 완료"));
    EXPECT_EQ(heads_.load(), 0);
    EXPECT_EQ(ReadFileBytes(target), bytes_);
    EXPECT_EQ(main_->LastDown, lastDown);
    EXPECT_EQ(download_->windowTitle(), QStringLiteral("Download"));
}

TEST_F(SaveCommands, WithoutEpisodesNoCommandDoesAnything) {
    {
        std::lock_guard guard(lock_);
        feed_ = Feed({});
    }
    main_->btnReloadClick();
    ASSERT_TRUE(main_->Episodes.empty());
    main_->btnDownClick();
    main_->btnDownloadClick();
    main_->btnURLClick();
    EXPECT_EQ(Dialogs().Count(), 0u);
    EXPECT_FALSE(download_->isVisible());
}

// The window closes inside the transfer's event processing; the transfer must
// end first, leave nothing behind and report nothing, and the loop must end.
TEST_F(SaveCommands, ClosingTheMainWindowMidTransferCancelsQuietlyAndEndsTheProgram) {
    main_->show();
    Select(1);
    Dialogs().QueueFile(QString::fromStdString((Saved() / "slow.mp3").string()));
    WhenTheBarMoves([this] { main_->close(); });
    QTimer::singleShot(0, main_.get(), [this] {
        main_->findChild<QToolButton*>(QStringLiteral("btnDown"))->click();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(120000);

    EXPECT_EQ(QApplication::exec(), 0);

    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::FileDialog);
    EXPECT_TRUE(FolderEntries(Saved()).empty());
    EXPECT_FALSE(download_->Downloading);
    EXPECT_FALSE(download_->isVisible());
    EXPECT_FALSE(main_->isVisible());
}

// A saved file the player refuses must not leave the window stuck in its
// transfer, refusing every later save.
TEST_F(SaveCommands, PlayerErrorAfterASaveStillEndsTheTransfer) {
    Select(0);
    const fs::path target = Saved() / "noise.mp3";
    Dialogs().QueueFile(QString::fromStdString(target.string()));
    Dialogs().QueueAnswer(BoxAnswer::Yes);
    main_->findChild<QToolButton*>(QStringLiteral("btnDown"))->click();

    EXPECT_EQ(ReadFileBytes(target), bytes_);
    EXPECT_FALSE(download_->Downloading);
    EXPECT_FALSE(download_->isVisible());
    // A second save goes as far as its file dialog.
    Dialogs().Clear();
    main_->btnDownClick();
    ASSERT_GE(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Boxes()[0].kind, Kind::FileDialog);
}

TEST_F(SaveCommands, AnsweringYesPlaysTheSavedFile) {
    Select(3);
    const fs::path target = Saved() / "tone.wav";
    Dialogs().QueueFile(QString::fromStdString(target.string()));
    Dialogs().QueueAnswer(BoxAnswer::Yes);
    main_->btnDownClick();

    ASSERT_EQ(Dialogs().Count(), 2u);
    EXPECT_EQ(Dialogs().Last().title, QStringLiteral("다운로드 완료"));
    EXPECT_TRUE(services_.Get().media->IsOpen());
    EXPECT_TRUE(main_->windowTitle().endsWith(QStringLiteral(" - tone.wav")))
        << main_->windowTitle().toStdString();
}
