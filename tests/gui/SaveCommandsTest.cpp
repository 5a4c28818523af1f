#include <atomic>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "Udownload/frmDownload.h"
#include "Umain/frmMain.h"
#include "WindowTest.h"
#include "feed/LinkCheck.h"

namespace fs = std::filesystem;

namespace {

// The main window with a feed of four episodes served from 127.0.0.1, and the
// download window, created and destroyed in the program's order.
class SaveCommands : public WindowTest {
protected:
    void SetUp() override {
        Server().Server().Get("/ep1.mp3",
                              [this](const httplib::Request& req, httplib::Response& res) {
                                  ++(req.method == "HEAD" ? heads_ : gets_);
                                  res.set_content(bytes_, "audio/mpeg");
                              });
        Server().ServeBytes("/tone.wav", ReadFileBytes(TestDataFile("tone-1s.wav")), "audio/wav");
        ServeSlowBody("/slow.mp3", 16 * 1024 * 1024);
        StartServer();
        SetFeed(FeedOf({{"첫 방송", Url("/ep1.mp3")},
                        {"Slow", Url("/slow.mp3")},
                        {"Gone", Url("/gone.mp3")},
                        {"Tone", Url("/tone.wav")}}));
        fs::create_directory(Saved());
        Main();
        Download();
    }

    void Select(int index) { Find<QComboBox>("cmbItem")->setCurrentIndex(index); }
    fs::path Saved() const { return Folder() / "saved"; }

    const std::string bytes_ = PatternBytes(1536 * 1024);
    std::atomic<int> heads_{0};
    std::atomic<int> gets_{0};
};

}  // namespace

TEST_F(SaveCommands, SaveChecksProposesTheLinkNameAndRemembersTheFolder) {
    // The stored link is rewritten before it is checked and fetched.
    Main().Episodes[0].url = Url("/OLD/ep1.mp3");
    Main().FindText = "/old/";
    Main().ReplaceText = "/";
    const std::string lastDown = Main().LastDown;
    const fs::path folder = Saved() / "내 폴더";
    fs::create_directory(folder);
    const fs::path target = folder / "첫 방송.mp3";
    Dialogs().QueueFile(target);

    Select(0);
    Main().btnDownClick();
    ASSERT_TRUE(Settle());

    ASSERT_EQ(Dialogs().Count(), 2u);
    const auto& dialog = Dialogs().Boxes()[0];
    EXPECT_EQ(dialog.kind, Kind::FileDialog);
    EXPECT_EQ(dialog.fileState.fileName, QStringLiteral("ep1.mp3"));
    EXPECT_EQ(dialog.fileState.initialDir, QString::fromStdString(lastDown));
    EXPECT_EQ(dialog.fileState.filter,
              QStringLiteral("MP3 Files (*.mp3)|*.mp3|All Files (*.*)|*.*"));
    EXPECT_EQ(Dialogs().Last().title, QStringLiteral("다운로드 완료"));

    EXPECT_EQ(ReadFileBytes(target), bytes_);
    EXPECT_EQ(Main().LastDown, folder.string() + "/");
    EXPECT_EQ(Download().windowTitle(), QStringLiteral("Download 첫 방송.mp3"));
    EXPECT_EQ(heads_.load(), 1);
    EXPECT_EQ(gets_.load(), 1);
    EXPECT_FALSE(Download().isVisible());
}

TEST_F(SaveCommands, OverwriteQuestionGuardsAnExistingFile) {
    const fs::path target = Saved() / "episode.mp3";
    WriteFileBytes(target, "the older copy");
    const std::string lastDown = Main().LastDown;
    Select(0);

    Dialogs().QueueFile(target);
    Dialogs().QueueAnswer(BoxAnswer::No);
    Main().btnDownClick();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 2u);
    const auto& box = Dialogs().Last();
    EXPECT_EQ(box.kind, Kind::SystemBox);
    EXPECT_EQ(box.title, QStringLiteral("파일 중복"));
    EXPECT_EQ(box.text, QStringLiteral("episode.mp3가 이미 존재합니다. \n\n덮어 쓰시겠습니까?"));
    EXPECT_EQ(box.flags, 0x24u);
    EXPECT_EQ(box.defaultButton, QStringLiteral("Yes"));
    // Declined: nothing changed, nothing fetched, no window.
    EXPECT_EQ(Main().LastDown, lastDown);
    EXPECT_EQ(ReadFileBytes(target), "the older copy");
    EXPECT_EQ(gets_.load(), 0);
    EXPECT_FALSE(Download().isVisible());
    EXPECT_EQ(Download().windowTitle(), QStringLiteral("Download"));

    Dialogs().QueueFile(target);
    Dialogs().QueueAnswer(BoxAnswer::Yes);
    Main().btnDownClick();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(ReadFileBytes(target), bytes_);
    EXPECT_EQ(FolderEntries(Saved()), std::vector<std::string>{"episode.mp3"});
}

TEST_F(SaveCommands, UnreachableLinkIsReportedWithoutAFileDialog) {
    Select(2);
    Main().btnDownClick();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Message);
    EXPECT_EQ(
        Dialogs().Last().text,
        QString::fromStdString("인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\n" +
                               Url("/gone.mp3") + "\r\rHTTP/1.1 404 Not Found"));
    EXPECT_FALSE(Download().isVisible());
}

// Events run inside a transfer: a second one must be refused, the link copy not.
TEST_F(SaveCommands, DuringATransferSavesAreRefusedAndTheLinkCopyWorks) {
    Select(1);
    Dialogs().QueueFile(Saved() / "slow.mp3");
    WhenTheBarMoves([this] {
        Main().btnDownClick();
        Main().btnDownloadClick();
        Select(0);
        Main().btnURLClick();
        Dialogs().QueueAnswer(BoxAnswer::Yes);
        Download().close();
    });
    Main().btnDownClick();
    ASSERT_TRUE(Settle());

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
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromStdString(Url("/ep1.mp3")));
    EXPECT_EQ(heads_.load(), 0);
    EXPECT_TRUE(FolderEntries(Saved()).empty());
    EXPECT_FALSE(Download().Downloading);
}

TEST_F(SaveCommands, LinkCopyPutsTheRewrittenLinkOnTheClipboard) {
    Main().FindText = "EP1";
    Main().ReplaceText = "ep1-low";
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Select(0);
    Main().btnURLClick();

    const QString link = QString::fromStdString(Url("/ep1-low.mp3"));
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
    Main().FindText = "ep1";
    Main().ReplaceText = "gone";
    Main().Episodes[0].date = "2008/05/01";
    for (const TEpisode& e : Main().Episodes) {
        Find<QComboBox>("cmbDate")->addItem(QString::fromStdString(e.date));
    }
    Find<QComboBox>("cmbDate")->setCurrentIndex(0);
    Main().dlgOpen.initialDir = QStringLiteral("/somewhere");
    const std::string lastDown = Main().LastDown;
    const fs::path target = Saved() / "TOV2008-05-01.mp3";
    WriteFileBytes(target, "the older copy");
    Dialogs().QueueFile(target);

    Main().btnDownloadClick();

    ASSERT_EQ(Dialogs().Count(), 2u);
    EXPECT_EQ(Dialogs().Boxes()[0].fileState.fileName, QStringLiteral("TOV2008-05-01.mp3"));
    EXPECT_EQ(Dialogs().Boxes()[0].fileState.initialDir, QStringLiteral("/somewhere"));
    // No overwrite question, no link check.
    EXPECT_EQ(Dialogs().Last().title, QStringLiteral("다운로드 완료"));
    EXPECT_EQ(heads_.load(), 0);
    EXPECT_EQ(ReadFileBytes(target), bytes_);
    EXPECT_EQ(Main().LastDown, lastDown);
    EXPECT_EQ(Download().windowTitle(), QStringLiteral("Download"));
}

TEST_F(SaveCommands, WithoutEpisodesNoCommandDoesAnything) {
    SetFeed(FeedOf({}));
    Main().btnReloadClick();
    ASSERT_TRUE(Settle());
    ASSERT_TRUE(Main().Episodes.empty());
    Main().btnDownClick();
    ASSERT_TRUE(Settle());
    Main().btnDownloadClick();
    Main().btnURLClick();
    EXPECT_EQ(Dialogs().Count(), 0u);
    EXPECT_FALSE(Download().isVisible());
}

// The window closes inside the transfer's event processing; the transfer must
// end first, leave nothing behind and report nothing, and the loop must end.
TEST_F(SaveCommands, ClosingTheMainWindowMidTransferCancelsQuietlyAndEndsTheProgram) {
    Main().show();
    Select(1);
    Dialogs().QueueFile(Saved() / "slow.mp3");
    WhenTheBarMoves([this] { Main().close(); });
    QTimer::singleShot(0, &Main(), [this] { Find<QToolButton>("btnDown")->click(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(120000);

    EXPECT_EQ(QApplication::exec(), 0);

    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::FileDialog);
    EXPECT_TRUE(FolderEntries(Saved()).empty());
    EXPECT_FALSE(Download().Downloading);
    EXPECT_FALSE(Download().isVisible());
    EXPECT_FALSE(Main().isVisible());
}

// A saved file the player refuses must not leave the window stuck in its
// transfer, refusing every later save.
TEST_F(SaveCommands, PlayerErrorAfterASaveStillEndsTheTransfer) {
    Select(0);
    const fs::path target = Saved() / "noise.mp3";
    Dialogs().QueueFile(target);
    Dialogs().QueueAnswer(BoxAnswer::Yes);
    Find<QToolButton>("btnDown")->click();
    ASSERT_TRUE(Settle());

    EXPECT_EQ(ReadFileBytes(target), bytes_);
    EXPECT_FALSE(Download().Downloading);
    EXPECT_FALSE(Download().isVisible());
    // A second save goes as far as its file dialog.
    Dialogs().Clear();
    Main().btnDownClick();
    ASSERT_TRUE(Settle());
    ASSERT_GE(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Boxes()[0].kind, Kind::FileDialog);
}

TEST_F(SaveCommands, AnsweringYesPlaysTheSavedFile) {
    Select(3);
    const fs::path target = Saved() / "tone.wav";
    Dialogs().QueueFile(target);
    Dialogs().QueueAnswer(BoxAnswer::Yes);
    Main().btnDownClick();
    ASSERT_TRUE(Settle());

    ASSERT_EQ(Dialogs().Count(), 2u);
    EXPECT_EQ(Dialogs().Last().title, QStringLiteral("다운로드 완료"));
    EXPECT_TRUE(Media().IsOpen());
    EXPECT_TRUE(Main().windowTitle().endsWith(QStringLiteral(" - tone.wav")))
        << Main().windowTitle().toStdString();
}

// A box opened by a handler that runs during a save keeps its own event loop
// going for as long as it is open; the save must go on meanwhile, or a server
// that drops idle clients ends it.
TEST_F(SaveCommands, BoxOpenedDuringASaveDoesNotStallIt) {
    constexpr std::size_t kSize = 16 * 1024 * 1024;
    SlowBody paced;
    TestHttpServer strict;
    const auto stopBody = qScopeGuard([&paced] { paced.Stop(); });
    DropIdleClients(strict, std::chrono::seconds(1));
    paced.Serve(strict, "/paced.mp3", kSize, 32 * 1024, std::chrono::milliseconds(10));
    strict.Start();
    Main().Episodes[1].url = strict.Url("/paced.mp3");
    Select(1);
    const fs::path target = Saved() / "paced.mp3";
    Dialogs().QueueFile(target);

    auto* bar = Find<QProgressBar>(Download(), "prgDownload");
    int barWhenShown = -1;
    int barWhenClosed = -1;
    WhenTheBarMoves([&] {
        // The refusal of a second save stays open for three seconds.
        Dialogs().HoldNextBox(std::chrono::seconds(3));
        Dialogs().onShow = [&](const ScriptedDialogs::ShownBox&) { barWhenShown = bar->value(); };
        Main().btnDownClick();
        Dialogs().onShow = nullptr;
        barWhenClosed = bar->value();
    });
    Main().btnDownClick();
    ASSERT_TRUE(Settle());

    const auto& boxes = Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1].text, QStringLiteral("다운로드가 진행중 입니다."));
    EXPECT_EQ(boxes[2].title, QStringLiteral("다운로드 완료")) << boxes[2].text.toStdString();
    EXPECT_GT(barWhenClosed, barWhenShown);
    EXPECT_EQ(paced.Cut(), 0);
    EXPECT_EQ(FolderEntries(Saved()), std::vector<std::string>{"paced.mp3"});
    const std::string saved = ReadFileBytes(target);
    EXPECT_EQ(saved.size(), kSize);
    EXPECT_TRUE(saved == PatternBytes(kSize));
}

// The cancel question answered inside another box (here the link copy's) must
// end the save while that box is still open, and leave no partial file.
TEST_F(SaveCommands, CancelConfirmedInsideAnotherBoxEndsTheSaveAtOnce) {
    SlowBody slow;
    TestHttpServer patient;
    const auto stopBody = qScopeGuard([&slow] { slow.Stop(); });
    // Only the client's going away can cut the body off while the box is open.
    patient.Server().set_write_timeout(60, 0);
    slow.Serve(patient, "/slow.mp3", 16 * 1024 * 1024);
    patient.Start();
    Main().Episodes[1].url = patient.Url("/slow.mp3");
    Select(1);
    Dialogs().QueueFile(Saved() / "slow.mp3");
    bool endedWhileTheBoxWasOpen = false;
    WhenTheBarMoves([&] {
        Dialogs().HoldNextBox(std::chrono::seconds(20), [&] {
            endedWhileTheBoxWasOpen = slow.Cut() > 0;
            return endedWhileTheBoxWasOpen;
        });
        Dialogs().QueueAnswer(BoxAnswer::Yes);
        QTimer::singleShot(50, &Download(), [this] { Download().close(); });
        Main().btnURLClick();
    });
    Main().btnDownClick();
    ASSERT_TRUE(Settle());

    EXPECT_TRUE(endedWhileTheBoxWasOpen);
    const auto& boxes = Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[1].title, QStringLiteral("MP3 다운로드 경로"));
    EXPECT_EQ(boxes[2].kind, Kind::Warning);
    EXPECT_EQ(boxes[3].text, QStringLiteral("다운로드가 취소되었습니다."));
    EXPECT_TRUE(FolderEntries(Saved()).empty());
    EXPECT_FALSE(Download().Downloading);
    EXPECT_FALSE(Download().isVisible());
}
