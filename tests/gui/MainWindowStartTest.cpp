#include <sstream>
#include <string>
#include <vector>

#include <QComboBox>
#include <QListWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include "Umain/PlayBar.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"

namespace {

// Each key of a settings file as "section/key", in the file's order.
std::vector<std::string> IniKeys(const std::string& text) {
    std::vector<std::string> keys;
    std::string section;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with('[') && line.ends_with(']')) {
            section = line.substr(1, line.size() - 2);
        } else if (const std::size_t equals = line.find('='); equals != std::string::npos) {
            std::string key = line.substr(0, equals);
            while (!key.empty() && key.back() == ' ') {
                key.pop_back();
            }
            keys.push_back(section + "/" + key);
        }
    }
    return keys;
}

// A feed server whose answer the test can change between loads; each test
// makes the main window when its settings and feed are ready.
class MainWindowStart : public WindowTest {
protected:
    void SetUp() override {
        SetFeed(FeedOfTitles({"첫 방송", "Second", "Third"}));
        StartServer();
    }
};

}  // namespace

TEST_F(MainWindowStart, FillsListsSelectsTheFirstEpisodeAndSetsHintsAndCaption) {
    TfrmMain& w = Main();
    EXPECT_EQ(frmMain, &w);
    const QStringList titles{QStringLiteral("첫 방송"), QStringLiteral("Second"),
                             QStringLiteral("Third")};
    EXPECT_EQ(Lines(Find<QComboBox>("cmbItem")), titles);
    EXPECT_EQ(Lines(Find<QListWidget>("lstItem")), titles);
    EXPECT_EQ(Find<QComboBox>("cmbItem")->currentIndex(), 0);
    EXPECT_EQ(Find<QToolButton>("btnPlay")->toolTip(), QStringLiteral("첫 방송 재생"));
    EXPECT_EQ(Find<QToolButton>("btnDown")->toolTip(), QStringLiteral("첫 방송 다운로드"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ZURav3 v3.0.0.0"));
    EXPECT_EQ(w.Episodes.size(), 3u);
    EXPECT_EQ(Find<QComboBox>("cmbDate")->count(), 0);

    // The player starts empty and disabled, with its glyphs set.
    auto* bar = Find<TPlayBar>("prgPlay");
    EXPECT_EQ(bar->Min(), 0);
    EXPECT_EQ(bar->Max(), 0);
    for (const char* name : {"sbtnPlay", "sbtnStop"}) {
        auto* button = Find<QToolButton>(name);
        EXPECT_FALSE(button->isEnabled()) << name;
        EXPECT_FALSE(button->icon().isNull()) << name;
    }
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

TEST_F(MainWindowStart, FirstRunWithoutSettingsWritesFourKeysInThreeSections) {
    std::filesystem::remove(IniPath());
    TfrmMain& w = Main();
    EXPECT_FALSE(w.RssURL.empty());
    EXPECT_EQ(w.FindText, "");
    EXPECT_EQ(w.ReplaceText, "");
    EXPECT_EQ(w.LastDown, Folder().string() + "/");
    w.RssURL = Url("/rss");
    CloseWindows();
    const std::string ini = ReadIni();
    for (const std::string& part :
         {std::string("[TOV]"), "RSS = " + Url("/rss"), std::string("[URL]"), std::string("Find"),
          std::string("Replace"), std::string("[OPT]"), "LastDown = " + Folder().string() + "/"}) {
        EXPECT_NE(ini.find(part), std::string::npos) << part << "\n" << ini;
    }
}

// A start and an end with nothing done in between, first without settings,
// then with a feed that loads, leave only the settings file beside the
// executable, holding the four keys of the settings and nothing else: the
// extras write nothing until the user asks for them.
TEST_F(MainWindowStart, StartsWithoutUserActionWriteOnlyTheSettingsFileWithItsFourKeys) {
    const std::vector<std::string> fourKeys{"TOV/RSS", "URL/Find", "URL/Replace", "OPT/LastDown"};
    std::filesystem::remove(IniPath());
    ASSERT_TRUE(FolderEntries(Folder()).empty());
    ASSERT_TRUE(ShowMain());
    PumpEvents(std::chrono::milliseconds(300));
    CloseWindows();
    EXPECT_EQ(FolderEntries(Folder()), std::vector<std::string>{"ZURav3.ini"});
    EXPECT_EQ(IniKeys(ReadIni()), fourKeys) << ReadIni();

    WriteIni("[TOV]\nRSS=" + Url("/rss") + "\n");
    ASSERT_TRUE(ShowMain());
    ASSERT_EQ(Main().Episodes.size(), 3u);
    PumpEvents(std::chrono::milliseconds(300));
    CloseWindows();
    EXPECT_EQ(FolderEntries(Folder()), std::vector<std::string>{"ZURav3.ini"});
    EXPECT_EQ(IniKeys(ReadIni()), fourKeys) << ReadIni();
}

// A reload that cannot fetch, or fetches a malformed feed, keeps the episodes.
TEST_F(MainWindowStart, ReloadKeepsTheCatalogueWhenTheFeedFailsAndRestartsTheSelection) {
    TfrmMain& w = Main();
    auto* cmbItem = Find<QComboBox>("cmbItem");
    const TEpisodeList before = w.Episodes;

    SetFeed("<rss><channel><item><title>broken</title></channel></rss>");
    w.btnReloadClick();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Error);
    EXPECT_EQ(w.Episodes, before);

    cmbItem->setCurrentIndex(2);
    Server().Stop();
    w.btnReloadClick();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(cmbItem->currentIndex(), 0);
    EXPECT_EQ(w.Episodes, before);
    EXPECT_EQ(Lines(cmbItem).size(), 3);
    EXPECT_EQ(Lines(Find<QListWidget>("lstItem")).size(), 3);
}

TEST_F(MainWindowStart, MalformedReloadShowsTheErrorThroughTheGuard) {
    TfrmMain& w = Main();
    const TEpisodeList before = w.Episodes;
    Find<QComboBox>("cmbItem")->setCurrentIndex(1);
    SetFeed(FeedOfTitles({"A"}) + "<extra/>");
    Find<QToolButton>("btnReload")->click();
    ASSERT_TRUE(Settle());

    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Error);
    EXPECT_EQ(Dialogs().Last().title, QStringLiteral("ZURav3"));
    EXPECT_NE(Dialogs().Last().text.indexOf(QStringLiteral("not well-formed")), -1);
    EXPECT_EQ(w.Episodes, before);
    // The rest of the handler did not run: the selection was not reset.
    EXPECT_EQ(Find<QComboBox>("cmbItem")->currentIndex(), 1);

    SetFeed(FeedOfTitles({"New one", "New two"}));
    Find<QToolButton>("btnReload")->click();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Lines(Find<QComboBox>("cmbItem")),
              (QStringList{QStringLiteral("New one"), QStringLiteral("New two")}));
    EXPECT_EQ(Find<QComboBox>("cmbItem")->currentIndex(), 0);
    EXPECT_EQ(Find<QToolButton>("btnPlay")->toolTip(), QStringLiteral("New one 재생"));
}

TEST_F(MainWindowStart, MalformedFeedAtStartShowsTheErrorAndOpensEmpty) {
    SetFeed(
        "<rss><channel><item><title>x</title><enclosure length=\"1.5\"/></item></channel></rss>");
    TfrmMain& w = Main();
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().text.toStdString(),
              "피드를 읽지 못했습니다: " + Url("/rss") + "\n\n'1.5' is not a valid integer value");
    EXPECT_TRUE(w.Episodes.empty());
    EXPECT_EQ(Find<QComboBox>("cmbItem")->count(), 0);
    EXPECT_EQ(Find<QToolButton>("btnPlay")->toolTip(), QString());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ZURav3 v3.0.0.0"));
}

TEST_F(MainWindowStart, NoNetworkAtStartOpensWithEmptyListsAndNoMessage) {
    Server().Stop();
    TfrmMain& w = Main();
    EXPECT_TRUE(w.Episodes.empty());
    EXPECT_EQ(Find<QComboBox>("cmbItem")->count(), 0);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

TEST_F(MainWindowStart, UserChoiceUpdatesHintsAndEmptyTitlesKeepTheirSpace) {
    SetFeed(
        "<rss><channel><item><title></title></item><item><title>B</title></item></channel></rss>");
    Main();
    EXPECT_EQ(Find<QToolButton>("btnPlay")->toolTip(), QStringLiteral(" 재생"));
    EXPECT_EQ(Find<QToolButton>("btnDown")->toolTip(), QStringLiteral(" 다운로드"));

    auto* cmbItem = Find<QComboBox>("cmbItem");
    cmbItem->setCurrentIndex(1);  // set by code: no handler runs
    EXPECT_EQ(Find<QToolButton>("btnPlay")->toolTip(), QStringLiteral(" 재생"));
    emit cmbItem->activated(1);  // what a user's pick sends
    EXPECT_EQ(Find<QToolButton>("btnPlay")->toolTip(), QStringLiteral("B 재생"));
    EXPECT_EQ(Find<QToolButton>("btnDown")->toolTip(), QStringLiteral("B 다운로드"));
}
