#include <QComboBox>
#include <QListWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include "TestHttpServer.h"
#include "TestServices.h"
#include "Umain/FeedError.h"
#include "Umain/PlayBar.h"
#include "Umain/frmMain.h"

namespace {

std::string Item(const std::string& title, const std::string& url) {
    return "<item><title>" + title + "</title><enclosure url=\"" + url +
           "\" length=\"1000\" type=\"audio/mpeg\"/></item>";
}

std::string Feed(const std::vector<std::string>& titles) {
    std::string items;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        items += Item(titles[i], "http://h/ep" + std::to_string(i) + ".mp3");
    }
    return "<?xml version=\"1.0\"?><rss><channel><title>Show</title>" + items + "</channel></rss>";
}

QStringList Lines(const QComboBox* box) {
    QStringList lines;
    for (int i = 0; i < box->count(); ++i) {
        lines << box->itemText(i);
    }
    return lines;
}

QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) {
        lines << list->item(i)->text();
    }
    return lines;
}

// A feed server whose answer the test can change between loads.
class MainWindowStart : public ::testing::Test {
protected:
    void SetUp() override {
        server_.Server().Get("/rss", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard guard(lock_);
            res.set_content(feed_, "text/xml");
        });
        server_.Start();
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") + "\n");
    }

    void SetFeed(const std::string& feed) {
        std::lock_guard guard(lock_);
        feed_ = feed;
    }

    template <typename T>
    T* Find(TfrmMain& w, const char* name) {
        T* control = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    TestHttpServer server_;
    TestServices services_;
    std::mutex lock_;
    std::string feed_ = Feed({"첫 방송", "Second", "Third"});
};

}  // namespace

TEST_F(MainWindowStart, FillsListsSelectsTheFirstEpisodeAndSetsHintsAndCaption) {
    TfrmMain w(services_.Get());
    EXPECT_EQ(frmMain, &w);
    const QStringList titles{QStringLiteral("첫 방송"), QStringLiteral("Second"),
                             QStringLiteral("Third")};
    EXPECT_EQ(Lines(Find<QComboBox>(w, "cmbItem")), titles);
    EXPECT_EQ(Lines(Find<QListWidget>(w, "lstItem")), titles);
    EXPECT_EQ(Find<QComboBox>(w, "cmbItem")->currentIndex(), 0);
    EXPECT_EQ(Find<QToolButton>(w, "btnPlay")->toolTip(), QStringLiteral("첫 방송 재생"));
    EXPECT_EQ(Find<QToolButton>(w, "btnDown")->toolTip(), QStringLiteral("첫 방송 다운로드"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ZURav3 v3.0.0.0"));
    EXPECT_EQ(w.Episodes.size(), 3u);
    EXPECT_EQ(Find<QComboBox>(w, "cmbDate")->count(), 0);

    // The player starts empty and disabled, with its glyphs set.
    auto* bar = Find<TPlayBar>(w, "prgPlay");
    EXPECT_EQ(bar->Min(), 0);
    EXPECT_EQ(bar->Max(), 0);
    for (const char* name : {"sbtnPlay", "sbtnStop"}) {
        auto* button = Find<QToolButton>(w, name);
        EXPECT_FALSE(button->isEnabled()) << name;
        EXPECT_FALSE(button->icon().isNull()) << name;
    }
    EXPECT_TRUE(services_.Dialogs().Boxes().empty());
}

TEST_F(MainWindowStart, FirstRunWithoutSettingsWritesFourKeysInThreeSections) {
    std::filesystem::remove(services_.IniPath());
    {
        TfrmMain w(services_.Get());
        EXPECT_FALSE(w.RssURL.empty());
        EXPECT_EQ(w.FindText, "");
        EXPECT_EQ(w.ReplaceText, "");
        EXPECT_EQ(w.LastDown, services_.Folder().string() + "/");
        w.RssURL = server_.Url("/rss");
    }
    const std::string ini = services_.ReadIni();
    for (const std::string& part :
         {std::string("[TOV]"), "RSS = " + server_.Url("/rss"), std::string("[URL]"),
          std::string("Find"), std::string("Replace"), std::string("[OPT]"),
          "LastDown = " + services_.Folder().string() + "/"}) {
        EXPECT_NE(ini.find(part), std::string::npos) << part << "\n" << ini;
    }
}

// A reload that cannot fetch, or fetches a malformed feed, keeps the episodes.
TEST_F(MainWindowStart, ReloadKeepsTheCatalogueWhenTheFeedFailsAndRestartsTheSelection) {
    TfrmMain w(services_.Get());
    auto* cmbItem = Find<QComboBox>(w, "cmbItem");
    const TEpisodeList before = w.Episodes;

    SetFeed("<rss><channel><item><title>broken</title></channel></rss>");
    EXPECT_THROW(w.btnReloadClick(), FeedError);
    EXPECT_EQ(w.Episodes, before);

    cmbItem->setCurrentIndex(2);
    server_.Stop();
    w.btnReloadClick();
    EXPECT_EQ(w.Episodes, before);
    EXPECT_EQ(Lines(cmbItem).size(), 3);
    EXPECT_EQ(Lines(Find<QListWidget>(w, "lstItem")).size(), 3);
}

TEST_F(MainWindowStart, MalformedReloadShowsTheErrorThroughTheGuard) {
    TfrmMain w(services_.Get());
    const TEpisodeList before = w.Episodes;
    Find<QComboBox>(w, "cmbItem")->setCurrentIndex(1);
    SetFeed(Feed({"A"}) + "<extra/>");
    Find<QToolButton>(w, "btnReload")->click();

    ASSERT_EQ(services_.Dialogs().Count(), 1u);
    EXPECT_EQ(services_.Dialogs().Last().kind, ScriptedDialogs::Kind::Error);
    EXPECT_EQ(services_.Dialogs().Last().title, QStringLiteral("ZURav3"));
    EXPECT_NE(services_.Dialogs().Last().text.indexOf(QStringLiteral("not well-formed")), -1);
    EXPECT_EQ(w.Episodes, before);
    // The rest of the handler did not run: the selection was not reset.
    EXPECT_EQ(Find<QComboBox>(w, "cmbItem")->currentIndex(), 1);

    SetFeed(Feed({"New one", "New two"}));
    Find<QToolButton>(w, "btnReload")->click();
    EXPECT_EQ(Lines(Find<QComboBox>(w, "cmbItem")),
              (QStringList{QStringLiteral("New one"), QStringLiteral("New two")}));
    EXPECT_EQ(Find<QComboBox>(w, "cmbItem")->currentIndex(), 0);
    EXPECT_EQ(Find<QToolButton>(w, "btnPlay")->toolTip(), QStringLiteral("New one 재생"));
}

TEST_F(MainWindowStart, MalformedFeedAtStartShowsTheErrorAndOpensEmpty) {
    SetFeed(
        "<rss><channel><item><title>x</title><enclosure length=\"1.5\"/></item></channel></rss>");
    TfrmMain w(services_.Get());
    ASSERT_EQ(services_.Dialogs().Count(), 1u);
    EXPECT_EQ(services_.Dialogs().Last().text,
              QStringLiteral("'1.5' is not a valid integer value"));
    EXPECT_TRUE(w.Episodes.empty());
    EXPECT_EQ(Find<QComboBox>(w, "cmbItem")->count(), 0);
    EXPECT_EQ(Find<QToolButton>(w, "btnPlay")->toolTip(), QString());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ZURav3 v3.0.0.0"));
}

TEST_F(MainWindowStart, NoNetworkAtStartOpensWithEmptyListsAndNoMessage) {
    server_.Stop();
    TfrmMain w(services_.Get());
    EXPECT_TRUE(w.Episodes.empty());
    EXPECT_EQ(Find<QComboBox>(w, "cmbItem")->count(), 0);
    EXPECT_TRUE(services_.Dialogs().Boxes().empty());
}

TEST_F(MainWindowStart, UserChoiceUpdatesHintsAndEmptyTitlesKeepTheirSpace) {
    SetFeed(
        "<rss><channel><item><title></title></item><item><title>B</title></item></channel></rss>");
    TfrmMain w(services_.Get());
    EXPECT_EQ(Find<QToolButton>(w, "btnPlay")->toolTip(), QStringLiteral(" 재생"));
    EXPECT_EQ(Find<QToolButton>(w, "btnDown")->toolTip(), QStringLiteral(" 다운로드"));

    auto* cmbItem = Find<QComboBox>(w, "cmbItem");
    cmbItem->setCurrentIndex(1);  // set by code: no handler runs
    EXPECT_EQ(Find<QToolButton>(w, "btnPlay")->toolTip(), QStringLiteral(" 재생"));
    emit cmbItem->activated(1);  // what a user's pick sends
    EXPECT_EQ(Find<QToolButton>(w, "btnPlay")->toolTip(), QStringLiteral("B 재생"));
    EXPECT_EQ(Find<QToolButton>(w, "btnDown")->toolTip(), QStringLiteral("B 다운로드"));
}
