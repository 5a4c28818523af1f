#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"

namespace {

// A main window started on a document feed, with a second path the test can
// point the text scan at and change between loads.
class FeedTextScan : public WindowTest {
protected:
    void SetUp() override {
        SetFeed(FeedOf({{"첫 방송", "http://h/a.mp3"}, {"Second", "http://h/b.mp3"}}));
        SetFeed(ScanFeed({"15", "16"}), "/scan");
        StartServer();
        Main();
    }

    void SetScanFeed(const std::string& feed) { SetFeed(feed, "/scan"); }

    // Loads `url` as the settings dialog's OK does and waits for the load;
    // the text of the error box it showed, empty when none.
    std::string Change(const std::string& url) {
        Dialogs().Clear();
        Main().ChangeRssURL(url);
        EXPECT_TRUE(Settle());
        if (Dialogs().Boxes().empty()) {
            return {};
        }
        EXPECT_EQ(Dialogs().Last().kind, Kind::Error);
        return Dialogs().Last().text.toStdString();
    }
    QComboBox* Dates() { return Find<QComboBox>("cmbDate"); }
    QComboBox* Titles() { return Find<QComboBox>("cmbItem"); }
};

}  // namespace

TEST_F(FeedTextScan, FillsTheDateListAndLeavesTheTitleListsAlone) {
    TfrmMain& w = Main();
    const QStringList titles = Lines(Titles());
    ASSERT_EQ(titles.size(), 2);

    EXPECT_EQ(Change(Url("/scan")), "");

    EXPECT_EQ(w.RssURL, Url("/scan"));
    ASSERT_EQ(w.Episodes.size(), 2u);
    EXPECT_EQ(w.Episodes[0].date, "2008/03/15");
    EXPECT_EQ(w.Episodes[0].url, "http://h/tov_080315.mp3");
    EXPECT_EQ(w.Episodes[0].length, 1500);
    EXPECT_EQ(w.Episodes[1].date, "2008/03/16");
    for (const TEpisode& episode : w.Episodes) {
        EXPECT_EQ(episode.title, "");
    }
    EXPECT_EQ(Lines(Dates()),
              (QStringList{QStringLiteral("2008/03/15"), QStringLiteral("2008/03/16")}));
    EXPECT_EQ(Dates()->currentIndex(), 0);
    EXPECT_EQ(w.Memo1Text(), QString::fromStdString(ScanFeed({"15", "16"})));
    // The text box out of view takes the text when it takes the focus, so a
    // large feed on one line does not hold up the load.
    auto* memo = Find<QPlainTextEdit>("Memo1");
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("Memo1"));
    w.show();
    QApplication::setActiveWindow(&w);
    memo->setFocus();
    EXPECT_TRUE(WaitUntil([&] { return memo->toPlainText() == w.Memo1Text(); }));

    // The episode lists keep the last document load; the hints follow the
    // scanned records, whose titles are empty.
    EXPECT_EQ(Lines(Titles()), titles);
    EXPECT_EQ(Find<QListWidget>("lstItem")->count(), 2);
    EXPECT_EQ(Titles()->currentIndex(), 0);
    EXPECT_EQ(Find<QToolButton>("btnPlay")->toolTip(), QStringLiteral(" 재생"));
    EXPECT_EQ(Find<QToolButton>("btnDown")->toolTip(), QStringLiteral(" 다운로드"));
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// A failed load used to empty the catalogue; now it keeps what was there, and
// still keeps the new URL.
TEST_F(FeedTextScan, AFailedLoadKeepsTheCatalogueAndTheDatesButTakesTheUrl) {
    TfrmMain& w = Main();
    ASSERT_EQ(Change(Url("/scan")), "");
    const TEpisodeList before = w.Episodes;
    const QStringList dates = Lines(Dates());
    Dates()->setCurrentIndex(1);

    // Part-way through: the second tag's length does not convert.
    SetScanFeed(ScanFeed({"20"}) + "<enclosure url=\"http://h/x_080321.mp3\" length=\"big\" />");
    EXPECT_EQ(Change(Url("/scan?again")), "피드를 읽지 못했습니다: " + Url("/scan?again") +
                                              "\n\n'big' is not a valid floating point value");
    EXPECT_EQ(w.RssURL, Url("/scan?again"));
    EXPECT_EQ(w.Episodes, before);
    EXPECT_EQ(Lines(Dates()), dates);
    EXPECT_EQ(Dates()->currentIndex(), 1);

    // No answer at all.
    const QString memo = w.Memo1Text();
    EXPECT_EQ(Change(Url("/missing")),
              "피드를 불러오지 못했습니다: " + Url("/missing") + "\n\nHTTP/1.1 404 Not Found");
    EXPECT_EQ(w.RssURL, Url("/missing"));
    EXPECT_EQ(w.Episodes, before);
    EXPECT_EQ(Lines(Dates()), dates);
    EXPECT_EQ(w.Memo1Text(), memo);
}

// Bytes that are not UTF-8 are an error here, not a silent nothing.
TEST_F(FeedTextScan, UndecodableFeedIsAnErrorAndAByteOrderMarkIsDropped) {
    TfrmMain& w = Main();
    SetScanFeed("<enclosure url=\"http://h/\xff_080315.mp3\" length=\"1\" />");
    EXPECT_EQ(Change(Url("/scan")),
              "피드를 읽지 못했습니다: " + Url("/scan") +
                  "\n\nThe feed is not valid UTF-8 text: byte 0xFF at offset 25");
    EXPECT_EQ(w.Episodes.size(), 2u);  // still the document load's

    SetScanFeed("\xEF\xBB\xBF" + ScanFeed({"01"}));
    EXPECT_EQ(Change(Url("/scan")), "");
    EXPECT_EQ(w.Memo1Text(), QString::fromStdString(ScanFeed({"01"})));
    EXPECT_EQ(Lines(Dates()), QStringList{QStringLiteral("2008/03/01")});
}

TEST_F(FeedTextScan, AFeedWithoutEnclosuresEmptiesTheCatalogue) {
    TfrmMain& w = Main();
    EXPECT_EQ(Change(Url("/scan")), "");
    SetScanFeed("<rss><channel><title>nothing yet</title></channel></rss>");
    EXPECT_EQ(Change(Url("/scan")), "");
    EXPECT_TRUE(w.Episodes.empty());
    EXPECT_EQ(Dates()->count(), 0);
    // The selection is left as it was: there is no record for the hints.
    EXPECT_EQ(Titles()->currentIndex(), 0);
}

// The URL of a failed load is what the settings file keeps at exit.
TEST_F(FeedTextScan, TheUrlOfAFailedLoadIsWrittenAtExit) {
    EXPECT_NE(Change(Url("/missing")), "");
    CloseWindows();
    EXPECT_NE(ReadIni().find("RSS = " + Url("/missing")), std::string::npos) << ReadIni();
}
