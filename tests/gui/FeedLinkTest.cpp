// Links from the feed reach the player only as web links: an upper-case scheme
// plays, a local path or another scheme is refused before what plays stops.
#include <QComboBox>
#include <QToolButton>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestServices.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"

namespace fs = std::filesystem;

namespace {

// A feed of one web link with an upper-case scheme and three links to local
// files (each a real, playable copy of the tone), read by both readers.
class FeedLinks : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string tone = ReadFileBytes(TestDataFile("tone-3s.mp3"));
        server_.ServeBytes("/tov_080301.mp3", tone, "audio/mpeg");
        server_.Server().Get("/rss", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(Feed(), "text/xml");
        });
        server_.Start();
        for (const char* name : {"local_080302.mp3", "local_080303.mp3"}) {
            WriteFileBytes(services_.Folder() / name, tone);
        }
        web_ = server_.Url("/tov_080301.mp3");
        web_.replace(0, 4, "HTTP");
        refused_ = {(services_.Folder() / "local_080302.mp3").string(),
                    "file://" + (services_.Folder() / "local_080303.mp3").string(),
                    "../../local_080304.mp3"};
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") + "\n");
        window_ = std::make_unique<TfrmMain>(services_.Get());
        ASSERT_EQ(window_->Episodes.size(), 4u);
    }

    std::string Feed() const {
        std::string items;
        for (const std::string& url :
             std::vector<std::string>{web_, refused_[0], refused_[1], refused_[2]}) {
            items += "<item><title>" + url + "</title><enclosure url=\"" + url +
                     "\" length=\"1000\" type=\"audio/mpeg\"/></item>\n";
        }
        return "<?xml version=\"1.0\"?><rss><channel>" + items + "</channel></rss>";
    }

    QComboBox* Combo(const char* name) {
        return window_->findChild<QComboBox*>(QString::fromLatin1(name));
    }
    IMediaDevice& Device() { return *services_.Get().media; }
    std::string LastText() {
        return Dialogs().Count() == 0 ? std::string() : Dialogs().Last().text.toStdString();
    }
    ScriptedDialogs& Dialogs() { return services_.Dialogs(); }

    // The date list as the user picks a line of it.
    void PickDate(int index) {
        Combo("cmbDate")->setCurrentIndex(index);
        emit Combo("cmbDate")->activated(index);
    }
    void ClickPlay(int index) {
        Combo("cmbItem")->setCurrentIndex(index);
        window_->findChild<QToolButton*>(QStringLiteral("btnPlay"))->click();
    }
    bool StillPlays() {
        return Device().IsOpen() &&
               (Device().Mode() == MediaMode::Playing || Device().Position() == Device().Length());
    }

    TestHttpServer server_;
    TestServices services_;
    std::string web_;
    std::vector<std::string> refused_;
    std::unique_ptr<TfrmMain> window_;
};

}  // namespace

// Both the play button and the date list open "HTTP://..." as the web link it
// is, and the media controls name the link the device opened.
TEST_F(FeedLinks, UpperCaseSchemePlaysFromThePlayButtonAndTheDateList) {
    std::string lower = web_;
    lower.replace(0, 4, "http");
    ClickPlay(0);
    EXPECT_EQ(Dialogs().Count(), 0u) << LastText();
    EXPECT_TRUE(Device().IsOpen());
    EXPECT_EQ(window_->NowPlaying().location, lower);

    window_->ChangeRssURL(server_.Url("/rss"));
    ASSERT_EQ(Combo("cmbDate")->count(), 4);
    Device().Close(false);
    PickDate(0);
    EXPECT_EQ(Dialogs().Count(), 0u) << LastText();
    EXPECT_TRUE(Device().IsOpen());
    EXPECT_EQ(window_->NowPlaying().location, lower);
}

// A feed link that names a local file, by path or file URL, is refused with
// the device's error before anything is fetched or closed: the local file is
// never played, and what played plays on.
TEST_F(FeedLinks, LocalPathsFromTheFeedAreRefusedAndWhatPlaysGoesOn) {
    window_->PlayFile(TestDataFile("tone-3s.mp3"));
    ASSERT_TRUE(StillPlays());
    const auto expectRefused = [&](const std::string& link, const char* where) {
        ASSERT_EQ(Dialogs().Count(), 1u) << where << " " << link;
        EXPECT_EQ(Dialogs().Last().kind, ScriptedDialogs::Kind::Error);
        EXPECT_EQ(LastText(), "Only http or https links can be played: " + link);
        EXPECT_TRUE(StillPlays()) << where << " " << link;
        EXPECT_EQ(window_->NowPlaying().location, TestDataFile("tone-3s.mp3"));
        Dialogs().Clear();
    };
    for (int i = 1; i <= 3; ++i) {
        ClickPlay(i);
        expectRefused(refused_[static_cast<std::size_t>(i - 1)], "play button");
    }
    window_->ChangeRssURL(server_.Url("/rss"));
    ASSERT_EQ(Combo("cmbDate")->count(), 4);
    for (int i = 1; i <= 3; ++i) {
        PickDate(i);
        expectRefused(refused_[static_cast<std::size_t>(i - 1)], "date list");
    }
}
