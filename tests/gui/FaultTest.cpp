// The program under faults of the network and of its settings file: each case
// must end in a sound state, within the time-outs, with no file lost and a
// clear message where one is due.
#include <sys/stat.h>

#include <QComboBox>
#include <QListWidget>

#include <gtest/gtest.h>

#include "ResettingServer.h"
#include "TestHttpServer.h"
#include "TestServices.h"
#include "TransferHelpers.h"
#include "Udownload/frmDownload.h"
#include "Umain/frmMain.h"
#include "platform/SimpleIniFile.h"

namespace fs = std::filesystem;

namespace {

using Kind = ScriptedDialogs::Kind;

std::string Item(const std::string& title, const std::string& url, std::size_t descBytes = 0) {
    return "<item><title>" + title + "</title><desc>" + std::string(descBytes, 'd') +
           "</desc><enclosure url=\"" + url + "\" length=\"1000\" /></item>\n";
}

std::string Feed(const std::string& items) {
    return "<?xml version=\"1.0\"?><rss><channel><title>Show</title>" + items + "</channel></rss>";
}

const std::string kResetMessage = "Connection reset by peer";

// A good feed at /rss with two episodes, and faulty answers beside it.
class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        server_.Server().Get("/rss", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(feed_, "text/xml");
        });
        trickle_.Serve(server_, "/trickle", 10000, 1, std::chrono::milliseconds(1000));
        server_.Start();
        feed_ = Feed(Item("One", reset_.Url("/one_081201.mp3")) +
                     Item("Two", cut_.Url("/two_081202.mp3")));
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") + "\n");
    }
    void TearDown() override {
        trickle_.Stop();
        download_.reset();
        window_.reset();
    }

    TfrmMain& Window() {
        if (!window_) {
            window_ = std::make_unique<TfrmMain>(services_.Get());
            download_ = std::make_unique<TfrmDownload>(services_.Get());
        }
        return *window_;
    }
    int Lines(const char* name) {
        return Window().findChild<QComboBox*>(QString::fromLatin1(name))->count();
    }
    ScriptedDialogs& Dialogs() { return services_.Dialogs(); }

    // The episode answers nothing but resets; the other answers HEAD but cuts
    // its body off with a reset.
    ResettingServer reset_{""};
    ResettingServer cut_{
        "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 'x'),
        "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"};
    SlowBody trickle_;
    std::string feed_;
    TestHttpServer server_;
    TestServices services_;
    std::unique_ptr<TfrmMain> window_;
    std::unique_ptr<TfrmDownload> download_;
};

}  // namespace

// A feed that arrives a byte a second is given up after the low-speed time-out;
// the reload keeps what it had in silence, the settings load reports it.
TEST_F(Faults, FeedAtOneByteASecondEndsInTheTimeOut) {
    TfrmMain& w = Window();
    const TEpisodeList before = w.Episodes;
    ASSERT_EQ(before.size(), 2u);
    w.RssURL = server_.Url("/trickle");
    w.btnReloadClick();
    EXPECT_EQ(w.Episodes, before);
    EXPECT_EQ(Lines("cmbItem"), 2);
    EXPECT_TRUE(Dialogs().Boxes().empty());

    try {
        w.ChangeRssURL(server_.Url("/trickle"));
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Operation too slow"), std::string::npos) << e.what();
    }
    EXPECT_EQ(w.Episodes, before);
}

TEST_F(Faults, ConnectionResetDuringTheFeedKeepsTheCatalogue) {
    TfrmMain& w = Window();
    const TEpisodeList before = w.Episodes;
    ResettingServer halfFeed("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<rss><channel>");
    w.RssURL = halfFeed.Url("/rss");
    w.btnReloadClick();
    EXPECT_EQ(w.Episodes, before);
    EXPECT_TRUE(Dialogs().Boxes().empty());

    try {
        w.ChangeRssURL(halfFeed.Url("/rss"));
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(kResetMessage), std::string::npos) << e.what();
    }
    EXPECT_EQ(w.Episodes, before);
    EXPECT_EQ(Lines("cmbItem"), 2);
}

// Play and Save name the link and the network's error, and go no further.
TEST_F(Faults, ConnectionResetDuringHeadIsReportedByPlayAndSave) {
    TfrmMain& w = Window();
    w.btnPlayClick();
    ASSERT_EQ(Dialogs().Count(), 1u);
    const QString link = QString::fromStdString(reset_.Url("/one_081201.mp3"));
    EXPECT_EQ(Dialogs().Last().kind, Kind::Message);
    EXPECT_TRUE(Dialogs().Last().text.startsWith(
        QStringLiteral("인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\n") + link +
        QStringLiteral("\r\r")));
    EXPECT_NE(Dialogs().Last().text.indexOf(QString::fromStdString(kResetMessage)), -1);
    EXPECT_FALSE(services_.Get().media->IsOpen());

    w.btnDownClick();
    ASSERT_EQ(Dialogs().Count(), 2u);
    EXPECT_EQ(Dialogs().Last().text, Dialogs().Boxes()[0].text);
    EXPECT_EQ(Dialogs().CountOf(Kind::FileDialog), 0u);
}

// A body cut off by a reset is a failure with its reason, and leaves no file.
TEST_F(Faults, ConnectionResetDuringTheDownloadLeavesNoFile) {
    TfrmMain& w = Window();
    w.findChild<QComboBox*>(QStringLiteral("cmbItem"))->setCurrentIndex(1);
    const fs::path folder = services_.Folder() / "saved";
    fs::create_directory(folder);
    Dialogs().QueueFile(QString::fromStdString((folder / "two.mp3").string()));
    w.btnDownClick();
    EXPECT_FALSE(download_->Downloading);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Message);
    EXPECT_TRUE(Dialogs().Last().text.startsWith(QStringLiteral("다운로드 실패!\n\n")))
        << Dialogs().Last().text.toStdString();
    EXPECT_TRUE(FolderEntries(folder).empty());
}

// Both readers take a 50 MB feed whole.
TEST_F(Faults, FiftyMegabyteFeedLoadsByBothReaders) {
    std::string items;
    const int count = 25000;
    for (int i = 0; i < count; ++i) {
        items += Item("Episode " + std::to_string(i),
                      "http://h/tov_0812" + std::to_string(10 + i % 18) + ".mp3", 1960);
    }
    const std::string big = Feed(items);
    ASSERT_GT(big.size(), 50'000'000u);
    server_.Stop();
    TestHttpServer bigServer;
    bigServer.ServeBytes("/big", big, "text/xml");
    bigServer.Start();

    TfrmMain& w = Window();
    w.RssURL = bigServer.Url("/big");
    w.btnReloadClick();
    EXPECT_EQ(w.Episodes.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(Lines("cmbItem"), count);
    w.ChangeRssURL(bigServer.Url("/big"));
    EXPECT_EQ(w.Episodes.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(Lines("cmbDate"), count);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

TEST_F(Faults, SettingsFileOfBinaryGarbageGivesDefaultsAndIsWrittenAnew) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>((i * 7919 + 13) & 0xFF);
    }
    services_.WriteIni(garbage);
    {
        TfrmMain w(services_.Get());
        EXPECT_FALSE(w.RssURL.empty());
        EXPECT_EQ(w.LastDown, services_.Folder().string() + "/");
        w.RssURL = server_.Url("/rss");
    }
    SimpleIniFile ini;
    ini.Open(services_.IniPath());
    EXPECT_EQ(ini.ReadString("TOV", "RSS", ""), server_.Url("/rss"));
}

TEST_F(Faults, HugeAndReadOnlySettingsSurvive) {
    const std::string longText = "/" + std::string(100 * 1024, 'q');
    services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") + "\n[URL]\nFind=" + longText +
                       "\nReplace=/r/\n[OPT]\nLastDown=" + longText + "/\n");
    {
        TfrmMain w(services_.Get());
        EXPECT_EQ(w.FindText, longText);
        EXPECT_EQ(w.LastDown, longText + "/");
        EXPECT_EQ(w.Episodes.size(), 2u);
    }
    SimpleIniFile ini;
    ini.Open(services_.IniPath());
    EXPECT_EQ(ini.ReadString("URL", "Find", ""), longText);
    EXPECT_EQ(ini.ReadString("OPT", "LastDown", ""), longText + "/");

    const std::string frozen = "[TOV]\nRSS=" + server_.Url("/rss") + "\n";
    services_.WriteIni(frozen);
    ::chmod(services_.IniPath().c_str(), 0444);
    {
        TfrmMain w(services_.Get());
        w.RssURL = "http://changed/";
    }
    EXPECT_EQ(services_.ReadIni(), frozen);
}
