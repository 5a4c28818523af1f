// The program under faults of the network: each case must end in a sound
// state, within the time-outs, with no file lost and a clear message where one
// is due.
#include <QComboBox>

#include <gtest/gtest.h>

#include "ResettingServer.h"
#include "WindowTest.h"
#include "Udownload/frmDownload.h"
#include "Umain/frmMain.h"

namespace fs = std::filesystem;

namespace {

const std::string kResetMessage = "Connection reset by peer";

// A good feed at /rss with two episodes, and faulty answers beside it.
class Faults : public WindowTest {
protected:
    void SetUp() override {
        ServeSlowBody("/trickle", 10000, 1, std::chrono::milliseconds(1000));
        StartServer();
        SetFeed(
            FeedOf({{"One", reset_.Url("/one_081201.mp3")}, {"Two", cut_.Url("/two_081202.mp3")}}));
        Main();
        Download();
    }

    int Count(const char* list) { return Find<QComboBox>(list)->count(); }

    // The episode answers nothing but resets; the other answers HEAD but cuts
    // its body off with a reset.
    ResettingServer reset_{""};
    ResettingServer cut_{
        "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 'x'),
        "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"};
};

}  // namespace

// A feed that arrives a byte a second is given up after the low-speed time-out;
// the reload keeps what it had in silence, the settings load reports it.
TEST_F(Faults, FeedAtOneByteASecondEndsInTheTimeOut) {
    TfrmMain& w = Main();
    const TEpisodeList before = w.Episodes;
    ASSERT_EQ(before.size(), 2u);
    w.RssURL = Url("/trickle");
    w.btnReloadClick();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w.Episodes, before);
    EXPECT_EQ(Count("cmbItem"), 2);
    EXPECT_TRUE(Dialogs().Boxes().empty());

    w.ChangeRssURL(Url("/trickle"));
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Error);
    EXPECT_NE(Dialogs().Last().text.indexOf(QStringLiteral("Operation too slow")), -1)
        << Dialogs().Last().text.toStdString();
    EXPECT_EQ(w.Episodes, before);
}

TEST_F(Faults, ConnectionResetDuringTheFeedKeepsTheCatalogue) {
    TfrmMain& w = Main();
    const TEpisodeList before = w.Episodes;
    ResettingServer halfFeed("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<rss><channel>");
    w.RssURL = halfFeed.Url("/rss");
    w.btnReloadClick();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w.Episodes, before);
    EXPECT_TRUE(Dialogs().Boxes().empty());

    w.ChangeRssURL(halfFeed.Url("/rss"));
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Error);
    EXPECT_NE(Dialogs().Last().text.indexOf(QString::fromStdString(kResetMessage)), -1)
        << Dialogs().Last().text.toStdString();
    EXPECT_EQ(w.Episodes, before);
    EXPECT_EQ(Count("cmbItem"), 2);
}

// Play and Save name the link and the network's error, and go no further.
TEST_F(Faults, ConnectionResetDuringHeadIsReportedByPlayAndSave) {
    TfrmMain& w = Main();
    w.btnPlayClick();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 1u);
    const QString link = QString::fromStdString(reset_.Url("/one_081201.mp3"));
    EXPECT_EQ(Dialogs().Last().kind, Kind::Message);
    EXPECT_TRUE(Dialogs().Last().text.startsWith(
        QStringLiteral("인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\n") + link +
        QStringLiteral("\r\r")));
    EXPECT_NE(Dialogs().Last().text.indexOf(QString::fromStdString(kResetMessage)), -1);
    EXPECT_FALSE(Media().IsOpen());

    w.btnDownClick();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 2u);
    EXPECT_EQ(Dialogs().Last().text, Dialogs().Boxes()[0].text);
    EXPECT_EQ(Dialogs().CountOf(Kind::FileDialog), 0u);
}

// A body cut off by a reset is a failure with its reason, and leaves no file.
TEST_F(Faults, ConnectionResetDuringTheDownloadLeavesNoFile) {
    TfrmMain& w = Main();
    Find<QComboBox>("cmbItem")->setCurrentIndex(1);
    const fs::path folder = Folder() / "saved";
    fs::create_directory(folder);
    Dialogs().QueueFile(folder / "two.mp3");
    w.btnDownClick();
    ASSERT_TRUE(Settle());
    EXPECT_FALSE(Download().Downloading);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Message);
    EXPECT_TRUE(Dialogs().Last().text.startsWith(QStringLiteral("다운로드 실패!\n\n")))
        << Dialogs().Last().text.toStdString();
    EXPECT_TRUE(FolderEntries(folder).empty());
}

// Both readers take a 50 MB feed whole.
TEST_F(Faults, FiftyMegabyteFeedLoadsByBothReaders) {
    const std::size_t count = 25000;
    std::string big = GenerateFeed(count, {.itemBytes = 2048});
    ASSERT_GT(big.size(), 50'000'000u);
    SetFeed(std::move(big), "/big");
    TfrmMain& w = Main();
    w.RssURL = Url("/big");
    w.btnReloadClick();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w.Episodes.size(), count);
    EXPECT_EQ(Count("cmbItem"), static_cast<int>(count));
    w.ChangeRssURL(Url("/big"));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w.Episodes.size(), count);
    EXPECT_EQ(Count("cmbDate"), static_cast<int>(count));
    EXPECT_TRUE(Dialogs().Boxes().empty());
}
