// What the window shows while it works and when a wait ends badly: the wait
// cursor over every blocking wait on the network, the normal one over the
// boxes that follow, and a line on standard error for the silent start-up.
#include <map>
#include <mutex>
#include <sstream>

#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QToolButton>

#include <gtest/gtest.h>

#include "Umain/frmMain.h"
#include "WindowTest.h"

namespace {

bool WaitCursorShown() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

class Feedback : public WindowTest {
protected:
    void SetUp() override {
        // Looked at from the server's thread while the window's thread is
        // blocked waiting for this very answer, so nothing changes it meanwhile.
        Server().Server().set_pre_routing_handler(
            [this](const httplib::Request& req, httplib::Response&) {
                std::lock_guard guard(lock_);
                busyAtFirst_.try_emplace(req.method + " " + req.path, WaitCursorShown());
                return httplib::Server::HandlerResponse::Unhandled;
            });
        Server().ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        StartServer();
        SetFeed(FeedOf({{"Tone", Url("/tone.mp3"), ""}, {"Missing", Url("/missing.mp3"), ""}}));
        Dialogs().onShow = [this](const ScriptedDialogs::ShownBox&) {
            boxesWithWaitCursor_ += WaitCursorShown() ? 1 : 0;
        };
    }

    // Whether the wait cursor was up when the server first got this request;
    // nullopt when it never came.
    std::optional<bool> BusyAt(const std::string& request) {
        std::lock_guard guard(lock_);
        const auto found = busyAtFirst_.find(request);
        return found == busyAtFirst_.end() ? std::nullopt : std::optional(found->second);
    }

    int boxesWithWaitCursor_ = 0;

private:
    std::mutex lock_;
    std::map<std::string, bool> busyAtFirst_;
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
    Main();
    EXPECT_EQ(BusyAt("GET /rss"), true);
    EXPECT_FALSE(WaitCursorShown());

    // The link check, then the player's own fetch while the medium opens.
    Find<QToolButton>("btnPlay")->click();
    ASSERT_TRUE(Media().IsOpen());
    ASSERT_EQ(Dialogs().Count(), 0u);
    EXPECT_EQ(BusyAt("HEAD /tone.mp3"), true);
    EXPECT_EQ(BusyAt("GET /tone.mp3"), true);
    EXPECT_FALSE(WaitCursorShown());

    // A check that fails, by Play and by Save: each box comes after the wait.
    Find<QComboBox>("cmbItem")->setCurrentIndex(1);
    Find<QToolButton>("btnPlay")->click();
    EXPECT_EQ(BusyAt("HEAD /missing.mp3"), true);
    Find<QToolButton>("btnDown")->click();
    // A feed that fails to load, by reload and by the settings' text scan.
    SetFeed("<rss><channel><item></channel></rss>");
    Find<QToolButton>("btnReload")->click();
    EXPECT_THROW(Main().ChangeRssURL(Url("/gone")), std::runtime_error);
    // A medium that fails to open.
    EXPECT_ANY_THROW(Main().PlayFile(Folder().string() + "/missing.mp3"));

    EXPECT_EQ(Dialogs().Count(), 3u);
    EXPECT_EQ(boxesWithWaitCursor_, 0);
    EXPECT_FALSE(WaitCursorShown());
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
