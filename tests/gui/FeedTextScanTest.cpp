#include <mutex>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

#include "TestHttpServer.h"
#include "TestServices.h"
#include "WaitUntil.h"
#include "Umain/FeedError.h"
#include "Umain/frmMain.h"

namespace {

const std::string kDocumentFeed =
    "<?xml version=\"1.0\"?><rss><channel><title>Show</title>"
    "<item><title>첫 방송</title><enclosure url=\"http://h/a.mp3\" length=\"1\"/></item>"
    "<item><title>Second</title><enclosure url=\"http://h/b.mp3\" length=\"2\"/></item>"
    "</channel></rss>";

std::string ScanFeed(const std::vector<std::string>& days) {
    std::string feed = "<rss><channel><title>토브 라디오</title>\n";
    for (const std::string& day : days) {
        feed += "<item><enclosure url=\"http://h/tov_0803" + day + ".mp3\" length=\"" + day +
                "00.5\" type=\"audio/mpeg\" /></item>\n";
    }
    return feed + "</channel></rss>\n";
}

QStringList Lines(const QComboBox* box) {
    QStringList lines;
    for (int i = 0; i < box->count(); ++i) {
        lines << box->itemText(i);
    }
    return lines;
}

// A main window started on a document feed, with a second path the test can
// point the text scan at and change between loads.
class FeedTextScan : public ::testing::Test {
protected:
    void SetUp() override {
        server_.ServeBytes("/rss", kDocumentFeed, "text/xml");
        server_.Server().Get("/scan", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard guard(lock_);
            res.set_content(scanFeed_, "text/xml");
        });
        server_.Start();
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") + "\n");
        window_ = std::make_unique<TfrmMain>(services_.Get());
        cmbDate_ = window_->findChild<QComboBox*>(QStringLiteral("cmbDate"));
        cmbItem_ = window_->findChild<QComboBox*>(QStringLiteral("cmbItem"));
        memo_ = window_->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        ASSERT_TRUE(cmbDate_ && cmbItem_ && memo_);
    }

    void SetScanFeed(const std::string& feed) {
        std::lock_guard guard(lock_);
        scanFeed_ = feed;
    }

    TestHttpServer server_;
    TestServices services_;
    std::mutex lock_;
    std::string scanFeed_ = ScanFeed({"15", "16"});
    std::unique_ptr<TfrmMain> window_;
    QComboBox* cmbDate_ = nullptr;
    QComboBox* cmbItem_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
};

}  // namespace

TEST_F(FeedTextScan, FillsTheDateListAndLeavesTheTitleListsAlone) {
    TfrmMain& w = *window_;
    const QStringList titles = Lines(cmbItem_);
    ASSERT_EQ(titles.size(), 2);

    w.ChangeRssURL(server_.Url("/scan"));

    EXPECT_EQ(w.RssURL, server_.Url("/scan"));
    ASSERT_EQ(w.Episodes.size(), 2u);
    EXPECT_EQ(w.Episodes[0].date, "2008/03/15");
    EXPECT_EQ(w.Episodes[0].url, "http://h/tov_080315.mp3");
    EXPECT_EQ(w.Episodes[0].length, 1500);
    EXPECT_EQ(w.Episodes[1].date, "2008/03/16");
    for (const TEpisode& episode : w.Episodes) {
        EXPECT_EQ(episode.title, "");
    }
    EXPECT_EQ(Lines(cmbDate_),
              (QStringList{QStringLiteral("2008/03/15"), QStringLiteral("2008/03/16")}));
    EXPECT_EQ(cmbDate_->currentIndex(), 0);
    EXPECT_EQ(w.Memo1Text(), QString::fromStdString(ScanFeed({"15", "16"})));
    // The text box out of view takes the text when it takes the focus, so a
    // large feed on one line does not hold up the load.
    EXPECT_EQ(memo_->toPlainText(), QStringLiteral("Memo1"));
    w.show();
    QApplication::setActiveWindow(&w);
    memo_->setFocus();
    EXPECT_TRUE(WaitUntil([&] { return memo_->toPlainText() == w.Memo1Text(); }));

    // The episode lists keep the last document load; the hints follow the
    // scanned records, whose titles are empty.
    EXPECT_EQ(Lines(cmbItem_), titles);
    EXPECT_EQ(w.findChild<QListWidget*>(QStringLiteral("lstItem"))->count(), 2);
    EXPECT_EQ(cmbItem_->currentIndex(), 0);
    EXPECT_EQ(w.findChild<QToolButton*>(QStringLiteral("btnPlay"))->toolTip(),
              QStringLiteral(" 재생"));
    EXPECT_EQ(w.findChild<QToolButton*>(QStringLiteral("btnDown"))->toolTip(),
              QStringLiteral(" 다운로드"));
    EXPECT_TRUE(services_.Dialogs().Boxes().empty());
}

// A failed load used to empty the catalogue; now it keeps what was there, and
// still keeps the new URL.
TEST_F(FeedTextScan, AFailedLoadKeepsTheCatalogueAndTheDatesButTakesTheUrl) {
    TfrmMain& w = *window_;
    w.ChangeRssURL(server_.Url("/scan"));
    const TEpisodeList before = w.Episodes;
    const QStringList dates = Lines(cmbDate_);
    cmbDate_->setCurrentIndex(1);

    // Part-way through: the second tag's length does not convert.
    SetScanFeed(ScanFeed({"20"}) + "<enclosure url=\"http://h/x_080321.mp3\" length=\"big\" />");
    try {
        w.ChangeRssURL(server_.Url("/scan?again"));
        ADD_FAILURE() << "no error";
    } catch (const FeedError& e) {
        EXPECT_STREQ(e.what(), "'big' is not a valid floating point value");
    }
    EXPECT_EQ(w.RssURL, server_.Url("/scan?again"));
    EXPECT_EQ(w.Episodes, before);
    EXPECT_EQ(Lines(cmbDate_), dates);
    EXPECT_EQ(cmbDate_->currentIndex(), 1);

    // No answer at all.
    const QString memo = w.Memo1Text();
    try {
        w.ChangeRssURL(server_.Url("/missing"));
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
    }
    EXPECT_EQ(w.RssURL, server_.Url("/missing"));
    EXPECT_EQ(w.Episodes, before);
    EXPECT_EQ(Lines(cmbDate_), dates);
    EXPECT_EQ(w.Memo1Text(), memo);
}

// Bytes that are not UTF-8 are an error here, not a silent nothing.
TEST_F(FeedTextScan, UndecodableFeedIsAnErrorAndAByteOrderMarkIsDropped) {
    TfrmMain& w = *window_;
    SetScanFeed("<enclosure url=\"http://h/\xff_080315.mp3\" length=\"1\" />");
    try {
        w.ChangeRssURL(server_.Url("/scan"));
        ADD_FAILURE() << "no error";
    } catch (const FeedError& e) {
        EXPECT_STREQ(e.what(), "The feed is not valid UTF-8 text: byte 0xFF at offset 25");
    }
    EXPECT_EQ(w.Episodes.size(), 2u);  // still the document load's

    SetScanFeed("\xEF\xBB\xBF" + ScanFeed({"01"}));
    w.ChangeRssURL(server_.Url("/scan"));
    EXPECT_EQ(w.Memo1Text(), QString::fromStdString(ScanFeed({"01"})));
    EXPECT_EQ(Lines(cmbDate_), QStringList{QStringLiteral("2008/03/01")});
}

TEST_F(FeedTextScan, AFeedWithoutEnclosuresEmptiesTheCatalogue) {
    TfrmMain& w = *window_;
    w.ChangeRssURL(server_.Url("/scan"));
    SetScanFeed("<rss><channel><title>nothing yet</title></channel></rss>");
    w.ChangeRssURL(server_.Url("/scan"));
    EXPECT_TRUE(w.Episodes.empty());
    EXPECT_EQ(cmbDate_->count(), 0);
    // The selection is left as it was: there is no record for the hints.
    EXPECT_EQ(cmbItem_->currentIndex(), 0);
}

// The URL of a failed load is what the settings file keeps at exit.
TEST_F(FeedTextScan, TheUrlOfAFailedLoadIsWrittenAtExit) {
    EXPECT_THROW(window_->ChangeRssURL(server_.Url("/missing")), std::runtime_error);
    window_.reset();
    EXPECT_NE(services_.ReadIni().find("RSS = " + server_.Url("/missing")), std::string::npos)
        << services_.ReadIni();
}
