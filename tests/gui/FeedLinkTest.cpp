// Links from the feed reach the player only as web links: an upper-case scheme
// plays; a local path or another scheme fails the play button's link check as
// an unreachable link does, and the date list refuses it; what plays goes on.
#include <QComboBox>
#include <QToolButton>

#include <gtest/gtest.h>

#include "Umain/frmMain.h"
#include "WindowTest.h"

namespace {

// A feed of one web link with an upper-case scheme, three links to local files
// (each a real, playable copy of the tone) and one of another scheme, read by
// both readers.
class FeedLinks : public WindowTest {
protected:
    void SetUp() override {
        const std::string tone = ReadFileBytes(TestDataFile("tone-3s.mp3"));
        Server().ServeBytes("/tov_080301.mp3", tone, "audio/mpeg");
        StartServer();
        for (const char* name : {"local_080302.mp3", "local_080303.mp3"}) {
            WriteFileBytes(Folder() / name, tone);
        }
        web_ = Url("/tov_080301.mp3");
        web_.replace(0, 4, "HTTP");
        refused_ = {(Folder() / "local_080302.mp3").string(),
                    "file://" + (Folder() / "local_080303.mp3").string(), "../../local_080304.mp3",
                    "ftp://127.0.0.1:9/local_080305.mp3"};
        std::vector<FeedItem> items{{web_, web_}};
        for (const std::string& link : refused_) {
            items.push_back({link, link});
        }
        SetFeed(FeedOf(items));
        ASSERT_EQ(Main().Episodes.size(), 5u);
    }

    std::string LastText() {
        return Dialogs().Count() == 0 ? std::string() : Dialogs().Last().text.toStdString();
    }
    // The date list as the user picks a line of it.
    void PickDate(int index) {
        Find<QComboBox>("cmbDate")->setCurrentIndex(index);
        emit Find<QComboBox>("cmbDate")->activated(index);
        ASSERT_TRUE(Settle());
    }
    void ClickPlay(int index) {
        Find<QComboBox>("cmbItem")->setCurrentIndex(index);
        Find<QToolButton>("btnPlay")->click();
        ASSERT_TRUE(Settle());
    }
    bool StillPlays() {
        return Media().IsOpen() &&
               (Media().Mode() == MediaMode::Playing || Media().Position() == Media().Length());
    }

    std::string web_;
    std::vector<std::string> refused_;
};

}  // namespace

// Both the play button and the date list open "HTTP://..." as the web link it
// is, and the media controls name the link the device opened.
TEST_F(FeedLinks, UpperCaseSchemePlaysFromThePlayButtonAndTheDateList) {
    std::string lower = web_;
    lower.replace(0, 4, "http");
    ClickPlay(0);
    EXPECT_EQ(Dialogs().Count(), 0u) << LastText();
    EXPECT_TRUE(Media().IsOpen());
    EXPECT_EQ(Main().NowPlaying().location, lower);

    Main().ChangeRssURL(Url("/rss"));
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Find<QComboBox>("cmbDate")->count(), 5);
    Media().Close(false);
    PickDate(0);
    EXPECT_EQ(Dialogs().Count(), 0u) << LastText();
    EXPECT_TRUE(Media().IsOpen());
    EXPECT_EQ(Main().NowPlaying().location, lower);
}

// A feed link that names a local file, by path or file URL, or another scheme
// fails the play button's link check: the message of an unreachable link with
// the HTTP client's own reason, never a text of the program's. The date list,
// which checks no link, refuses it with the device's error. The local file is
// never played, and what played plays on.
TEST_F(FeedLinks, LocalPathsAndOtherSchemesFromTheFeedNeverPlayAndWhatPlaysGoesOn) {
    Main().PlayFile(TestDataFile("tone-3s.mp3"));
    ASSERT_TRUE(Settle());
    ASSERT_TRUE(StillPlays());
    const auto expectRefused = [&](const std::string& link, const char* where) {
        ASSERT_EQ(Dialogs().Count(), 1u) << where << " " << link;
        EXPECT_TRUE(StillPlays()) << where << " " << link;
        EXPECT_EQ(Main().NowPlaying().location, TestDataFile("tone-3s.mp3"));
    };
    for (std::size_t i = 1; i <= refused_.size(); ++i) {
        const std::string& link = refused_[i - 1];
        ClickPlay(static_cast<int>(i));
        expectRefused(link, "play button");
        EXPECT_EQ(Dialogs().Last().kind, Kind::Message);
        const std::string prefix =
            "인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\n" + link + "\r\r";
        ASSERT_EQ(LastText().substr(0, prefix.size()), prefix);
        const std::string reason = LastText().substr(prefix.size());
        EXPECT_FALSE(reason.empty()) << link;
        EXPECT_EQ(reason.find("Only http"), std::string::npos) << reason;
        if (link.starts_with("file:") || link.starts_with("ftp:")) {
            EXPECT_NE(reason.find("not supported"), std::string::npos) << reason;
        }
        Dialogs().Clear();
    }
    Main().ChangeRssURL(Url("/rss"));
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Find<QComboBox>("cmbDate")->count(), 5);
    for (std::size_t i = 1; i <= refused_.size(); ++i) {
        const std::string& link = refused_[i - 1];
        PickDate(static_cast<int>(i));
        expectRefused(link, "date list");
        EXPECT_EQ(Dialogs().Last().kind, Kind::Error);
        EXPECT_EQ(LastText(),
                  "재생하지 못했습니다: " + link + "\n\nOnly http or https links can be played");
        Dialogs().Clear();
    }
}
