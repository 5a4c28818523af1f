#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "Udlgrss/frmRSS.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"

namespace {

using namespace std::chrono_literals;

// The main window over a server whose answers the test holds back, path by
// path (and, for the episodes, HEAD apart from GET), and counts.
class PendingSteps : public WindowTest {
protected:
    void SetUp() override {
        const std::string tone = ReadFileBytes(TestDataFile("tone-3s.mp3"));
        Server().Server().Get(
            R"(/(feed|scan|one\.mp3|two\.mp3))",
            [this, tone](const httplib::Request& req, httplib::Response& res) {
                const std::string key = req.method + " " + req.path;
                WaitWhileHeld(key);
                if (req.path == "/feed") {
                    res.set_content(FeedOf({{"One", Url("/one.mp3")}, {"Two", Url("/two.mp3")}}),
                                    "text/xml");
                } else if (req.path == "/scan") {
                    res.set_content(ScanFeed({"15", "16"}), "text/xml");
                } else {
                    res.set_content(tone, "audio/mpeg");
                }
            });
        StartServer();
        WriteIni("[TOV]\nRSS=" + Url("/feed") + "\n");
    }

    void TearDown() override {
        {
            std::lock_guard guard(lock_);
            held_.clear();
            stopping_ = true;
        }
        released_.notify_all();
        WindowTest::TearDown();
    }

    void Hold(const std::string& key) {
        std::lock_guard guard(lock_);
        held_.insert(key);
    }
    void Release(const std::string& key) {
        {
            std::lock_guard guard(lock_);
            held_.erase(key);
        }
        released_.notify_all();
    }
    int Seen(const std::string& key) {
        std::lock_guard guard(lock_);
        return seen_[key];
    }
    // True once a request for `key` is being held.
    bool Arrived(const std::string& key) {
        return WaitUntil([&] { return Seen(key) > 0; });
    }

    QComboBox* Episodes() { return Find<QComboBox>("cmbItem"); }
    void Click(const char* button) { Find<QToolButton>(button)->click(); }

private:
    void WaitWhileHeld(const std::string& key) {
        std::unique_lock guard(lock_);
        ++seen_[key];
        released_.wait_for(guard, 60s, [&] { return stopping_ || held_.count(key) == 0; });
    }

    std::mutex lock_;
    std::condition_variable released_;
    std::set<std::string> held_;
    std::map<std::string, int> seen_;
    bool stopping_ = false;
};

}  // namespace

// The window is there and answers before the feed arrives; a second 새로고침
// asks for nothing more; the drop-down fills when the answer comes.
TEST_F(PendingSteps, TheWindowAnswersWhileTheFeedLoadsAndASecondReloadFetchesNothing) {
    Hold("GET /feed");
    TfrmMain& main = Main(false);
    ASSERT_TRUE(ShowMain());
    ASSERT_TRUE(Arrived("GET /feed"));
    EXPECT_TRUE(main.FeedLoading());
    EXPECT_EQ(Episodes()->count(), 0);
    EXPECT_EQ(main.cursor().shape(), Qt::WaitCursor);
    Click("btnReload");
    Click("btnPlay");  // nothing to play yet
    PumpEvents(200ms);
    EXPECT_EQ(Seen("GET /feed"), 1);

    Release("GET /feed");
    ASSERT_TRUE(WaitUntil([&] { return Episodes()->count() == 2; }));
    EXPECT_EQ(Episodes()->currentIndex(), 0);
    EXPECT_EQ(Seen("GET /feed"), 1);
    EXPECT_EQ(main.cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// The latest play wins, whether the earlier one's check answers before or
// after the later play was asked for; the earlier episode never plays.
TEST_F(PendingSteps, ALaterPlayReplacesAPendingOneAndItsLateAnswerIsDropped) {
    ASSERT_EQ(Main().Episodes.size(), 2u);
    // The earlier check answers after the replacement.
    Hold("HEAD /one.mp3");
    Click("btnPlay");
    ASSERT_TRUE(Arrived("HEAD /one.mp3"));
    Episodes()->setCurrentIndex(1);
    Click("btnPlay");
    Release("HEAD /one.mp3");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Main().NowPlaying().location, Url("/two.mp3"));
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_EQ(Seen("GET /one.mp3"), 0);

    // The earlier check has answered and its medium is being opened.
    Hold("GET /two.mp3");
    Click("btnPlay");
    ASSERT_TRUE(Arrived("GET /two.mp3"));
    ASSERT_TRUE(WaitUntil([&] { return Media().Opening(); }));
    Episodes()->setCurrentIndex(0);
    Click("btnPlay");
    Release("GET /two.mp3");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Main().NowPlaying().location, Url("/one.mp3"));
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// 정지 cancels a play at each of its steps: the check, the open, and the wait
// before playing; nothing starts later.
TEST_F(PendingSteps, StopCancelsAPendingPlayAtEveryStep) {
    ASSERT_EQ(Main().Episodes.size(), 2u);
    Hold("HEAD /one.mp3");
    Click("btnPlay");
    ASSERT_TRUE(Arrived("HEAD /one.mp3"));
    Main().sbtnStopClick();
    EXPECT_FALSE(Main().Pending());
    Release("HEAD /one.mp3");
    PumpEvents(500ms);
    EXPECT_EQ(Seen("GET /one.mp3"), 0);

    Hold("GET /one.mp3");
    Click("btnPlay");
    ASSERT_TRUE(Arrived("GET /one.mp3"));
    Main().sbtnStopClick();
    EXPECT_FALSE(Main().Pending());
    EXPECT_FALSE(Media().Opening());
    Release("GET /one.mp3");

    Click("btnPlay");
    ASSERT_TRUE(WaitUntil([&] { return Media().IsOpen(); }));
    Main().sbtnStopClick();
    EXPECT_FALSE(Main().Pending());
    PumpEvents(1500ms);  // longer than the wait before playing
    EXPECT_EQ(Media().Mode(), MediaMode::Stopped);
    EXPECT_EQ(Main().cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// Closing the window drops every pending step: nothing plays, loads or shows
// a box once it is gone.
TEST_F(PendingSteps, ClosingTheWindowDropsWhatIsPending) {
    ASSERT_EQ(Main().Episodes.size(), 2u);
    Download();
    Hold("HEAD /one.mp3");
    Hold("HEAD /two.mp3");
    Hold("GET /feed");
    Click("btnPlay");
    Episodes()->setCurrentIndex(1);
    Dialogs().QueueFileCancel();
    Click("btnDown");
    Click("btnReload");
    ASSERT_TRUE(Arrived("HEAD /one.mp3") && Arrived("HEAD /two.mp3"));
    ASSERT_TRUE(WaitUntil([&] { return Seen("GET /feed") == 2; }));
    Main().close();
    EXPECT_FALSE(Main().Pending());
    Release("HEAD /one.mp3");
    Release("HEAD /two.mp3");
    Release("GET /feed");
    PumpEvents(1500ms);
    EXPECT_FALSE(Media().IsOpen());
    EXPECT_EQ(Seen("GET /one.mp3"), 0);
    EXPECT_TRUE(Dialogs().Boxes().empty());

    // Gone without being closed first, with an open on its way.
    CloseWindows();
    ASSERT_EQ(Main().Episodes.size(), 2u);
    Hold("GET /one.mp3");
    Click("btnPlay");
    ASSERT_TRUE(WaitUntil([&] { return Media().Opening(); }));
    CloseWindows();
    EXPECT_FALSE(Media().Opening());
    Release("GET /one.mp3");
    PumpEvents(500ms);
    EXPECT_FALSE(Media().IsOpen());
}

// The settings dialog keeps its OK disabled while its load is pending; closing
// it abandons the load and keeps the earlier feed and catalogue, and an OK
// whose load succeeds closes it.
TEST_F(PendingSteps, TheSettingsDialogWaitsForItsLoadOrAbandonsIt) {
    ASSERT_EQ(Main().Episodes.size(), 2u);
    auto* edit = Find<QLineEdit>(Rss(), "edtRSS");
    auto* ok = Find<QPushButton>(Rss(), "btnOK");
    Hold("GET /scan");
    bool checked = false;
    QTimer::singleShot(0, &Rss(), [&] {
        edit->setText(QString::fromStdString(Url("/scan")));
        ok->click();
        EXPECT_FALSE(ok->isEnabled());
        EXPECT_TRUE(Rss().isVisible());
        EXPECT_TRUE(Arrived("GET /scan"));
        Rss().close();
        checked = true;
    });
    Click("btnSetting");
    ASSERT_TRUE(checked);
    EXPECT_FALSE(Main().Pending());
    EXPECT_EQ(Main().RssURL, Url("/feed"));
    Release("GET /scan");
    PumpEvents(500ms);
    EXPECT_EQ(Main().Episodes.size(), 2u);
    EXPECT_EQ(Find<QComboBox>("cmbDate")->count(), 0);

    bool closedByLoad = false;
    QTimer::singleShot(0, &Rss(), [&] {
        edit->setText(QString::fromStdString(Url("/scan")));
        ok->click();
        closedByLoad = WaitUntil([&] { return !Rss().isVisible(); });
        if (Rss().isVisible()) {
            Rss().close();
        }
    });
    Click("btnSetting");
    EXPECT_TRUE(closedByLoad);
    EXPECT_EQ(Main().RssURL, Url("/scan"));
    EXPECT_EQ(Find<QComboBox>("cmbDate")->count(), 2);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_TRUE(Dialogs().Boxes().empty());
}
