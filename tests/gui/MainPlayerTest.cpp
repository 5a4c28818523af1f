#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "Umain/PlayBar.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "platform/MpvMediaDevice.h"
#include "texts/PlayTime.h"

namespace {

using namespace std::chrono_literals;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The main window over a local server: a feed whose first link must be
// rewritten to reach the server, a link that moved and one that is missing.
class Player : public WindowTest {
protected:
    void SetUp() override {
        Server().ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        Server().Server().Get("/moved.mp3", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/tone.mp3", 301);
        });
        StartServer();
        SetFeed(FeedOf({{"Tone", "http://podcast.invalid/tone.mp3", ""},
                        {"Moved", Url("/moved.mp3"), ""},
                        {"Missing", Url("/missing.mp3"), ""}}));
        WriteIni("[TOV]\nRSS=" + Url("/rss") + "\n[URL]\nFind=HTTP://PODCAST.INVALID\nReplace=" +
                 Url("") + "\n[OPT]\nLastDown=" + Folder().string() + "/\n");
        ASSERT_EQ(Main().Episodes.size(), 3u);
        ASSERT_TRUE(ShowMain());
    }

    QToolButton* PlayButton() { return Find<QToolButton>("sbtnPlay"); }
    QToolButton* StopButton() { return Find<QToolButton>("sbtnStop"); }
    TPlayBar* Bar() { return Find<TPlayBar>("prgPlay"); }
    QString Text(const char* label) { return Find<QLabel>(label)->text(); }

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
            Main().TimerTimer();
            return Bar()->Position() > ms;
        });
    }
};

}  // namespace

// The link is rewritten before it is checked and played; the buttons change
// only after the click has returned, as the steps of the play end.
TEST_F(Player, PlayButtonPlaysTheRewrittenLinkAndTheNotificationsShowThePauseGlyph) {
    Find<QToolButton>("btnPlay")->click();
    EXPECT_FALSE(PlayButton()->isEnabled());
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(Dialogs().Boxes().empty());
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_EQ(Bar()->Min(), 0);
    EXPECT_EQ(Bar()->Max(), Media().Length());
    EXPECT_NEAR(Bar()->Max(), 3000, 100);
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:03"));
    EXPECT_EQ(Main().windowTitle(), QStringLiteral("ZURav3 v3.0.0.0 - Tone"));
    EXPECT_EQ(Bar()->toolTip(), QStringLiteral("Tone"));
    ASSERT_TRUE(ShowsPlaying());

    ASSERT_TRUE(BarPasses(1000));
    EXPECT_EQ(Text("lblTimePlay"), Q(FormatPlayTime(Bar()->Position())));

    // Playing the same episode again starts it from the beginning.
    Find<QToolButton>("btnPlay")->click();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_LT(Media().Position(), 1000);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

TEST_F(Player, PauseResumesWhereItStoppedAndStopRewinds) {
    Main().PlayFile(TestDataFile("tone-3s.mp3"));
    ASSERT_TRUE(Settle());
    ASSERT_TRUE(ShowsPlaying());
    ASSERT_TRUE(BarPasses(300));

    PlayButton()->click();
    EXPECT_EQ(Media().Mode(), MediaMode::Paused);
    EXPECT_TRUE(Shows("imgBtnPlay"));
    const int paused = Media().Position();
    ASSERT_TRUE(ShowsNotPlaying());

    PlayButton()->click();
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_TRUE(Shows("imgBtnPause"));
    EXPECT_GE(Media().Position(), paused);
    ASSERT_TRUE(ShowsPlaying());

    StopButton()->click();
    EXPECT_EQ(Media().Mode(), MediaMode::Stopped);
    ASSERT_TRUE(ShowsNotPlaying());
    Main().TimerTimer();
    EXPECT_EQ(Bar()->Position(), 0);
    EXPECT_EQ(Text("lblTimePlay"), QStringLiteral("00:00:00"));
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// At the natural end the bar stays full and the next play starts over.
TEST_F(Player, NaturalEndKeepsTheBarFullAndPlaysAgainFromTheStart) {
    const std::string path = TestDataFile("tone-1s.wav");
    Main().PlayFile(path);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Main().windowTitle(), QStringLiteral("ZURav3 v3.0.0.0 - tone-1s.wav"));
    EXPECT_EQ(Bar()->toolTip(), Q(path));
    ASSERT_TRUE(ShowsPlaying());
    ASSERT_TRUE(ShowsNotPlaying());
    EXPECT_EQ(Media().Mode(), MediaMode::Stopped);
    Main().TimerTimer();
    EXPECT_EQ(Bar()->Position(), Bar()->Max());
    EXPECT_EQ(Text("lblTimePlay"), QStringLiteral("00:00:01"));
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:01"));

    PlayButton()->click();
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_LT(Media().Position(), 500);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

TEST_F(Player, UnreachableLinkShowsTheStatusLineAndWhatPlaysGoesOn) {
    Main().PlayFile(TestDataFile("tone-3s.mp3"));
    ASSERT_TRUE(Settle());
    const QString caption = Main().windowTitle();
    auto* cmbItem = Find<QComboBox>("cmbItem");
    for (const auto& [index, path, status] :
         {std::tuple{2, "/missing.mp3", "HTTP/1.1 404 Not Found"},
          std::tuple{1, "/moved.mp3", "HTTP/1.1 301 Moved Permanently"}}) {
        cmbItem->setCurrentIndex(index);
        Dialogs().Clear();
        Find<QToolButton>("btnPlay")->click();
        ASSERT_TRUE(Settle());
        ASSERT_EQ(Dialogs().Count(), 1u) << path;
        EXPECT_EQ(Dialogs().Last().kind, Kind::Message);
        EXPECT_EQ(
            Dialogs().Last().text,
            QStringLiteral("인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\n") +
                Q(Url(path)) + QStringLiteral("\r\r") + QString::fromLatin1(status));
        // Still playing (or, on a slow machine, played to its end).
        EXPECT_TRUE(Media().Mode() == MediaMode::Playing || Media().Position() == Media().Length())
            << path;
        EXPECT_EQ(Main().windowTitle(), caption);
    }
}

// The open dialog offers MP3, WAV and all files in the folder of the last
// save; a file that cannot be opened is reported once, and afterwards neither
// the timer, the notifications nor the bar keep raising errors.
TEST_F(Player, FailedOpenKeepsTheControlsAndDoesNotComplainEverySecond) {
    Dialogs().QueueFileCancel();
    Find<QToolButton>("sbtnOpen")->click();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 1u);
    const FileDialogState shown = Dialogs().Last().fileState;
    EXPECT_EQ(shown.filter,
              QStringLiteral("MP3 Files(*.mp3)|*.mp3|Wave Files(*.wav)|*.wav|All Files(*.*)|*.*|"));
    EXPECT_EQ(shown.initialDir, Q(Folder().string() + "/"));
    EXPECT_FALSE(Media().IsOpen());

    Main().PlayFile(TestDataFile("tone-3s.mp3"));
    ASSERT_TRUE(Settle());
    ASSERT_TRUE(ShowsPlaying());
    const QString caption = Main().windowTitle();
    const int max = Bar()->Max();

    const std::string missing = Folder().string() + "/missing.mp3";
    Dialogs().Clear();
    Dialogs().QueueFile(Q(missing));
    Find<QToolButton>("sbtnOpen")->click();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 2u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Error);
    EXPECT_EQ(Dialogs().Last().text,
              Q("재생하지 못했습니다: " + missing + "\n\nloading failed: " + missing));
    EXPECT_FALSE(Media().IsOpen());
    EXPECT_EQ(Main().windowTitle(), caption);
    EXPECT_EQ(Bar()->Max(), max);
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:03"));

    PumpEvents(300ms);
    Main().TimerTimer();
    Main().prgPlayMouseMove(10);
    Main().prgPlayMouseLeave();
    EXPECT_EQ(Dialogs().Count(), 2u);
    EXPECT_TRUE(ButtonsEnabled());

    // A click on the play button still says that nothing is open.
    PlayButton()->click();
    ASSERT_EQ(Dialogs().Count(), 3u);
    EXPECT_EQ(Dialogs().Last().text, QStringLiteral("No MCI device open"));
}

TEST_F(Player, SeekBarDoesNothingBeforeAMediumIsLoaded) {
    QTest::mousePress(Bar(), Qt::LeftButton, {}, QPoint(100, 5));
    Main().prgPlayMouseMove(100);
    Main().prgPlayMouseLeave();
    Main().TimerTimer();
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:00"));
    EXPECT_EQ(Text("lblTimePlay"), QStringLiteral("00:00:00"));
    EXPECT_FALSE(Media().IsOpen());
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// A press of any button seeks to the time under the pointer and plays from
// there, also when paused; the pointer time never leaves 0..length.
TEST_F(Player, SeekBarPressSeeksAndPlaysMoveShowsThePointerTimeLeaveTheTotal) {
    Main().PlayFile(TestDataFile("tone-3s.mp3"));
    ASSERT_TRUE(Settle());
    ASSERT_TRUE(ShowsPlaying());
    PlayButton()->click();
    ASSERT_EQ(Media().Mode(), MediaMode::Paused);
    ASSERT_EQ(Bar()->width(), 258);
    const int length = Media().Length();

    QTest::mousePress(Bar(), Qt::RightButton, {}, QPoint(172, 5));
    const int target = static_cast<int>(static_cast<double>(length) * 172 / 258);
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_GE(Media().Position(), target);
    EXPECT_LT(Media().Position(), target + 500);
    ASSERT_TRUE(ShowsPlaying());

    QTest::mouseRelease(Bar(), Qt::RightButton, {}, QPoint(172, 5));
    Main().prgPlayMouseMove(129);
    EXPECT_EQ(Text("lblTimeFull"), Q(FormatPlayTime(length / 2)));
    Main().prgPlayMouseMove(-100);
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:00"));
    Main().prgPlayMouseMove(600);
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:03"));
    Main().prgPlayMouseMove(0);
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:00"));
    Main().prgPlayMouseLeave();
    EXPECT_EQ(Text("lblTimeFull"), QStringLiteral("00:00:03"));
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// Without libmpv the program still starts and lists the feed; Play then shows
// the device's reason in the error box and leaves the window as it was.
class PlayerWithoutMediaLibrary : public WindowTest {};

TEST_F(PlayerWithoutMediaLibrary, PlayShowsWhyNothingCanPlayAndTheWindowGoesOn) {
    Server().ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
    StartServer();
    SetFeed(FeedOf({{"Tone", Url("/tone.mp3"), ""}}));
    AppServices().media = std::make_unique<MpvMediaDevice>("null", 15, "libmpv-not-installed.so.9");
    ASSERT_EQ(Main().Episodes.size(), 1u);
    ASSERT_TRUE(ShowMain());
    const QString caption = Main().windowTitle();

    Find<QToolButton>("btnPlay")->click();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_EQ(Dialogs().Last().kind, Kind::Error);
    EXPECT_TRUE(Dialogs().Last().text.startsWith(
        QStringLiteral("재생하지 못했습니다: ") + Q(Url("/tone.mp3")) +
        QStringLiteral("\n\nThe media player library libmpv-not-installed.so.9 could not be "
                       "loaded: ")))
        << Dialogs().Last().text.toStdString();
    EXPECT_EQ(Main().windowTitle(), caption);
    EXPECT_FALSE(Media().IsOpen());
    Main().TimerTimer();
    EXPECT_EQ(Dialogs().Count(), 1u);
}
