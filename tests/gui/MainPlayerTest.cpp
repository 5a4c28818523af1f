
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestServices.h"
#include "Umain/PlayBar.h"
#include "Umain/PlayTime.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"

namespace {

using namespace std::chrono_literals;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The main window over a local server: a feed whose first link must be
// rewritten to reach the server, a link that moved and one that is missing.
class Player : public ::testing::Test {
protected:
    void SetUp() override {
        server_.ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        server_.Server().Get("/moved.mp3", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/tone.mp3", 301);
        });
        server_.Server().Get("/rss", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(Feed(), "text/xml");
        });
        server_.Start();
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") +
                           "\n[URL]\nFind=HTTP://PODCAST.INVALID\nReplace=" + server_.Url("") +
                           "\n[OPT]\nLastDown=" + services_.Folder().string() + "/\n");
        window_ = std::make_unique<TfrmMain>(services_.Get());
        ASSERT_EQ(window_->Episodes.size(), 3u);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    std::string Feed() const {
        std::string items;
        for (const auto& [title, url] :
             {std::pair{"Tone", std::string("http://podcast.invalid/tone.mp3")},
              std::pair{"Moved", server_.Url("/moved.mp3")},
              std::pair{"Missing", server_.Url("/missing.mp3")}}) {
            items += std::string("<item><title>") + title + "</title><enclosure url=\"" + url +
                     "\" type=\"audio/mpeg\"/></item>";
        }
        return "<?xml version=\"1.0\"?><rss><channel>" + items + "</channel></rss>";
    }

    template <typename T>
    T* Find(const char* name) {
        T* control = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    QToolButton* PlayButton() { return Find<QToolButton>("sbtnPlay"); }
    QToolButton* StopButton() { return Find<QToolButton>("sbtnStop"); }
    TPlayBar* Bar() { return Find<TPlayBar>("prgPlay"); }
    QString Text(const char* label) { return Find<QLabel>(label)->text(); }
    IMediaDevice& Device() { return *services_.Get().media; }
    ScriptedDialogs& Dialogs() { return services_.Dialogs(); }

    // Whether sbtnPlay shows the glyph of the hidden image `image`.
    bool Shows(const char* image) {
        const QImage glyph = PlayButton()->icon().pixmap(16, 16).toImage();
        const QImage source = Find<QLabel>(image)->pixmap().toImage();
        return glyph.convertToFormat(QImage::Format_ARGB32) ==
               source.convertToFormat(QImage::Format_ARGB32);
    }
    bool ButtonsEnabled() { return PlayButton()->isEnabled() && StopButton()->isEnabled(); }

    // Waits for the notifications of a play to show the pause glyph.
    bool ShowsPlaying() {
        return WaitUntil([&] { return ButtonsEnabled() && Shows("imgBtnPause"); });
    }
    bool ShowsNotPlaying() {
        return WaitUntil([&] { return ButtonsEnabled() && Shows("imgBtnPlay"); });
    }

    // Runs timer ticks until the bar shows a position past `ms`.
    bool BarPasses(int ms) {
        return WaitUntil([&] {
            window_->TimerTimer();
            return Bar()->Position() > ms;
        });
    }

    TestHttpServer server_;
    TestServices services_;
    std::unique_ptr<TfrmMain> window_;
};

}  // namespace

// The link is rewritten before it is checked and played; the buttons change
// only when the notifications arrive, after the click has returned.
TEST_F(Player, PlayButtonPlaysTheRewrittenLinkAndTheNotificationsShowThePauseGlyph) {
    Find<QToolButton>("btnPlay")->click();
    EXPECT_TRUE(Dialogs().Boxes().empty());
    EXPECT_EQ(Device().Mode(), MediaMode::Playing);
    EXPECT_EQ(Bar()->Min(), 0);
    EXPECT_EQ(Bar()->Max(), Device().Length());
    EXPECT_NEAR(Bar()->Max(), 3000, 100);
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:03"));
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("ZURav3 v3.0.0.0 - Tone"));
    EXPECT_EQ(Bar()->toolTip(), QStringLiteral("Tone"));
    EXPECT_FALSE(PlayButton()->isEnabled());
    ASSERT_TRUE(ShowsPlaying());

    ASSERT_TRUE(BarPasses(1000));
    EXPECT_EQ(Text("lblTimePlay"), Q(FormatPlayTime(Bar()->Position())));

    // Playing the same episode again starts it from the beginning.
    Find<QToolButton>("btnPlay")->click();
    EXPECT_EQ(Device().Mode(), MediaMode::Playing);
    EXPECT_LT(Device().Position(), 1000);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

TEST_F(Player, PauseResumesWhereItStoppedAndStopRewinds) {
    window_->PlayFile(TestDataFile("tone-3s.mp3"));
    ASSERT_TRUE(ShowsPlaying());
    ASSERT_TRUE(BarPasses(300));

    PlayButton()->click();
    EXPECT_EQ(Device().Mode(), MediaMode::Paused);
    EXPECT_TRUE(Shows("imgBtnPlay"));
    const int paused = Device().Position();
    ASSERT_TRUE(ShowsNotPlaying());

    PlayButton()->click();
    EXPECT_EQ(Device().Mode(), MediaMode::Playing);
    EXPECT_TRUE(Shows("imgBtnPause"));
    EXPECT_GE(Device().Position(), paused);
    ASSERT_TRUE(ShowsPlaying());

    StopButton()->click();
    EXPECT_EQ(Device().Mode(), MediaMode::Stopped);
    ASSERT_TRUE(ShowsNotPlaying());
    window_->TimerTimer();
    EXPECT_EQ(Bar()->Position(), 0);
    EXPECT_EQ(Text("lblTimePlay"), QStringLiteral("00:00:00"));
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// At the natural end the bar stays full and the next play starts over.
TEST_F(Player, NaturalEndKeepsTheBarFullAndPlaysAgainFromTheStart) {
    const std::string path = TestDataFile("tone-1s.wav");
    window_->PlayFile(path);
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("ZURav3 v3.0.0.0 - tone-1s.wav"));
    EXPECT_EQ(Bar()->toolTip(), Q(path));
    ASSERT_TRUE(ShowsPlaying());
    ASSERT_TRUE(ShowsNotPlaying());
    EXPECT_EQ(Device().Mode(), MediaMode::Stopped);
    window_->TimerTimer();
    EXPECT_EQ(Bar()->Position(), Bar()->Max());
    EXPECT_EQ(Text("lblTimePlay"), QStringLiteral("00:00:01"));
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:01"));

    PlayButton()->click();
    EXPECT_EQ(Device().Mode(), MediaMode::Playing);
    EXPECT_LT(Device().Position(), 500);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

TEST_F(Player, UnreachableLinkShowsTheStatusLineAndWhatPlaysGoesOn) {
    window_->PlayFile(TestDataFile("tone-3s.mp3"));
    const QString caption = window_->windowTitle();
    auto* cmbItem = Find<QComboBox>("cmbItem");
    for (const auto& [index, path, status] :
         {std::tuple{2, "/missing.mp3", "HTTP/1.1 404 Not Found"},
          std::tuple{1, "/moved.mp3", "HTTP/1.1 301 Moved Permanently"}}) {
        cmbItem->setCurrentIndex(index);
        Dialogs().Clear();
        Find<QToolButton>("btnPlay")->click();
        ASSERT_EQ(Dialogs().Count(), 1u) << path;
        EXPECT_EQ(Dialogs().Last().kind, ScriptedDialogs::Kind::Message);
        EXPECT_EQ(
            Dialogs().Last().text,
            QStringLiteral("인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\n") +
                Q(server_.Url(path)) + QStringLiteral("\r\r") + QString::fromLatin1(status));
        // Still playing (or, on a slow machine, played to its end).
        EXPECT_TRUE(Device().Mode() == MediaMode::Playing ||
                    Device().Position() == Device().Length())
            << path;
        EXPECT_EQ(window_->windowTitle(), caption);
    }
}

// The open dialog offers MP3, WAV and all files in the folder of the last
// save; a file that cannot be opened is reported once, and afterwards neither
// the timer, the notifications nor the bar keep raising errors.
TEST_F(Player, FailedOpenKeepsTheControlsAndDoesNotComplainEverySecond) {
    Dialogs().QueueFileCancel();
    Find<QToolButton>("sbtnOpen")->click();
    ASSERT_EQ(Dialogs().Count(), 1u);
    const FileDialogState shown = Dialogs().Last().fileState;
    EXPECT_EQ(shown.filter,
              QStringLiteral("MP3 Files(*.mp3)|*.mp3|Wave Files(*.wav)|*.wav|All Files(*.*)|*.*|"));
    EXPECT_EQ(shown.initialDir, Q(services_.Folder().string() + "/"));
    EXPECT_FALSE(Device().IsOpen());

    window_->PlayFile(TestDataFile("tone-3s.mp3"));
    ASSERT_TRUE(ShowsPlaying());
    const QString caption = window_->windowTitle();
    const int max = Bar()->Max();

    const std::string missing = services_.Folder().string() + "/missing.mp3";
    Dialogs().Clear();
    Dialogs().QueueFile(Q(missing));
    Find<QToolButton>("sbtnOpen")->click();
    ASSERT_EQ(Dialogs().Count(), 2u);
    EXPECT_EQ(Dialogs().Last().kind, ScriptedDialogs::Kind::Error);
    EXPECT_EQ(Dialogs().Last().text, Q("loading failed: " + missing));
    EXPECT_FALSE(Device().IsOpen());
    EXPECT_EQ(window_->windowTitle(), caption);
    EXPECT_EQ(Bar()->Max(), max);
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:03"));

    PumpEvents(300ms);
    window_->TimerTimer();
    window_->prgPlayMouseMove(10);
    window_->prgPlayMouseLeave();
    EXPECT_EQ(Dialogs().Count(), 2u);
    EXPECT_TRUE(ButtonsEnabled());

    // A click on the play button still says that nothing is open.
    PlayButton()->click();
    ASSERT_EQ(Dialogs().Count(), 3u);
    EXPECT_EQ(Dialogs().Last().text, QStringLiteral("No MCI device open"));
}

TEST_F(Player, SeekBarDoesNothingBeforeAMediumIsLoaded) {
    QTest::mousePress(Bar(), Qt::LeftButton, {}, QPoint(100, 5));
    window_->prgPlayMouseMove(100);
    window_->prgPlayMouseLeave();
    window_->TimerTimer();
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:00"));
    EXPECT_EQ(Text("lblTimePlay"), QStringLiteral("00:00:00"));
    EXPECT_FALSE(Device().IsOpen());
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// A press of any button seeks to the time under the pointer and plays from
// there, also when paused; the pointer time never leaves 0..length.
TEST_F(Player, SeekBarPressSeeksAndPlaysMoveShowsThePointerTimeLeaveTheTotal) {
    window_->PlayFile(TestDataFile("tone-3s.mp3"));
    ASSERT_TRUE(ShowsPlaying());
    PlayButton()->click();
    ASSERT_EQ(Device().Mode(), MediaMode::Paused);
    ASSERT_EQ(Bar()->width(), 258);
    const int length = Device().Length();

    QTest::mousePress(Bar(), Qt::RightButton, {}, QPoint(172, 5));
    const int target = static_cast<int>(static_cast<double>(length) * 172 / 258);
    EXPECT_EQ(Device().Mode(), MediaMode::Playing);
    EXPECT_GE(Device().Position(), target);
    EXPECT_LT(Device().Position(), target + 500);
    ASSERT_TRUE(ShowsPlaying());

    QTest::mouseRelease(Bar(), Qt::RightButton, {}, QPoint(172, 5));
    window_->prgPlayMouseMove(129);
    EXPECT_EQ(Text("lblTimeFull"), Q(FormatPlayTime(length / 2)));
    window_->prgPlayMouseMove(-100);
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:00"));
    window_->prgPlayMouseMove(600);
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:03"));
    window_->prgPlayMouseMove(0);
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:00"));
    window_->prgPlayMouseLeave();
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:03"));
    EXPECT_TRUE(Dialogs().Boxes().empty());
}
