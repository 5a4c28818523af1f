// What the window shows while it works and when a wait ends badly: the wait
// cursor over the main window while any of its steps is pending, the normal
// one over the boxes that follow, and a line on standard error for the silent
// start-up.
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"

namespace {

using namespace std::chrono_literals;

class Feedback : public WindowTest {
protected:
    void SetUp() override {
        // A request the test holds stays unanswered until the test has looked
        // at the window, so the step it belongs to is surely pending then.
        Server().Server().set_pre_routing_handler(
            [this](const httplib::Request& req, httplib::Response&) {
                std::unique_lock guard(lock_);
                const std::string key = req.method + " " + req.path;
                ++seen_[key];
                released_.wait_for(guard, 60s, [&] { return stopping_ || held_.count(key) == 0; });
                return httplib::Server::HandlerResponse::Unhandled;
            });
        Server().ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        StartServer();
        SetFeed(FeedOf({{"Tone", Url("/tone.mp3"), ""}, {"Missing", Url("/missing.mp3"), ""}}));
        Dialogs().onShow = [this](const ScriptedDialogs::ShownBox&) {
            boxesWithWaitCursor_ += WaitCursorShown() ? 1 : 0;
        };
    }

    void TearDown() override {
        watch_.stop();
        {
            std::lock_guard guard(lock_);
            held_.clear();
            stopping_ = true;
        }
        released_.notify_all();
        WindowTest::TearDown();
    }

    bool WaitCursorShown() { return Main(false).cursor().shape() == Qt::WaitCursor; }

    // From now on, every few milliseconds, notes each time the window's cursor
    // and its pending steps disagree.
    void WatchTheCursor() {
        QObject::connect(&watch_, &QTimer::timeout, [this] {
            mismatches_ += Main(false).Pending() != WaitCursorShown() ? 1 : 0;
        });
        watch_.start(2);
    }

    void Hold(const std::string& request) {
        std::lock_guard guard(lock_);
        held_.insert(request);
        before_[request] = seen_[request];
    }
    // Once the held `request` has reached the server: whether the wait cursor
    // is over the window, and over it alone; then lets the request go on.
    // nullopt when the request never came.
    std::optional<bool> BusyWhileHeld(const std::string& request) {
        const bool arrived = WaitUntil([&] {
            std::lock_guard guard(lock_);
            return seen_[request] > before_[request];
        });
        std::optional<bool> busy;
        if (arrived) {
            busy = Main(false).Pending() && WaitCursorShown() &&
                   QGuiApplication::overrideCursor() == nullptr;
        }
        {
            std::lock_guard guard(lock_);
            held_.erase(request);
        }
        released_.notify_all();
        return busy;
    }

    int boxesWithWaitCursor_ = 0;
    int mismatches_ = 0;

private:
    QTimer watch_;
    std::mutex lock_;
    std::condition_variable released_;
    std::set<std::string> held_;
    std::map<std::string, int> seen_;
    std::map<std::string, int> before_;
    bool stopping_ = false;
};

// The lines of `text` that the program wrote itself.
std::vector<std::string> ProgramLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("ZURav3: ")) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace

TEST_F(Feedback, TheCursorWaitsWithTheWindowAndNeverOverItsBoxes) {
    Hold("GET /rss");
    Main(false);
    WatchTheCursor();
    EXPECT_EQ(BusyWhileHeld("GET /rss"), true);
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Main().Episodes.size(), 2u);
    EXPECT_FALSE(WaitCursorShown());
    // Save checks the link only once its window is there.
    Download();

    // The link check, then the player's own fetch while the medium opens, then
    // the second before it plays.
    Hold("HEAD /tone.mp3");
    Hold("GET /tone.mp3");
    Find<QToolButton>("btnPlay")->click();
    EXPECT_EQ(BusyWhileHeld("HEAD /tone.mp3"), true);
    EXPECT_EQ(BusyWhileHeld("GET /tone.mp3"), true);
    ASSERT_TRUE(Settle());
    ASSERT_TRUE(Media().IsOpen());
    ASSERT_EQ(Dialogs().Count(), 0u);
    EXPECT_FALSE(WaitCursorShown());

    // A check that fails, by Play and by Save: each box comes after the wait.
    Find<QComboBox>("cmbItem")->setCurrentIndex(1);
    Hold("HEAD /missing.mp3");
    Find<QToolButton>("btnPlay")->click();
    EXPECT_EQ(BusyWhileHeld("HEAD /missing.mp3"), true);
    ASSERT_TRUE(Settle());
    Hold("HEAD /missing.mp3");
    Find<QToolButton>("btnDown")->click();
    EXPECT_EQ(BusyWhileHeld("HEAD /missing.mp3"), true);
    ASSERT_TRUE(Settle());
    // A feed that fails to load, by reload and by the settings' text scan.
    SetFeed("<rss><channel><item></channel></rss>");
    Hold("GET /rss");
    Find<QToolButton>("btnReload")->click();
    EXPECT_EQ(BusyWhileHeld("GET /rss"), true);
    ASSERT_TRUE(Settle());
    Hold("GET /gone");
    Main().ChangeRssURL(Url("/gone"));
    EXPECT_EQ(BusyWhileHeld("GET /gone"), true);
    ASSERT_TRUE(Settle());
    // A medium that fails to open.
    Main().PlayFile(Folder().string() + "/missing.mp3");
    ASSERT_TRUE(Settle());

    EXPECT_EQ(Dialogs().Count(), 5u);
    EXPECT_EQ(Dialogs().CountOf(Kind::Error), 3u);
    EXPECT_EQ(boxesWithWaitCursor_, 0);
    EXPECT_FALSE(WaitCursorShown());
    EXPECT_EQ(mismatches_, 0);
}

// The window opens without a word when the feed cannot be fetched; whoever
// started the program from a terminal reads why, on one line.
TEST_F(Feedback, AFeedThatCannotBeFetchedIsNotedOnOneLineOfStandardError) {
    WriteIni("[TOV]\nRSS=" + Url("/none") + "\n");
    testing::internal::CaptureStderr();
    TfrmMain& w = Main();
    const std::string atStart = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ProgramLines(atStart),
              std::vector<std::string>{"ZURav3: 피드를 불러오지 못했습니다: " + Url("/none") +
                                       ": HTTP/1.1 404 Not Found"})
        << atStart;
    EXPECT_EQ(Dialogs().Count(), 0u);
    EXPECT_TRUE(w.Episodes.empty());
}
