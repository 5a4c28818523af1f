#include <algorithm>
#include <chrono>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "ListeningMedia.h"
#include "MprisOnPrivateBus.h"
#include "TestFiles.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "extras/MainMpris.h"
#include "extras/PlayerChapters.h"
#include "extras/PlayerExtras.h"
#include "platform/MpvMediaDevice.h"

namespace {

using namespace std::chrono_literals;

std::string Item(const std::string& title, const std::string& url, const std::string& chapters) {
    std::string item = "<item><title>" + title + "</title><enclosure url=\"" + url + "\"/>";
    if (!chapters.empty()) {
        item += "<podcast:chapters url=\"" + chapters + "\" type=\"application/json+chapters\"/>";
    }
    return item + "</item>\n";
}

// The main window over a local server: a 24 s episode with 20 s of silence,
// whose feed item names a chapters file, and one with chapters of its own;
// the other items name a malformed file, a missing one and a huge one.
class ListeningOptions : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const std::filesystem::path folder = dir_.path().toStdString();
        const std::string silent = ReadFileBytes(MakeSilentEpisode(folder));
        Server().ServeBytes("/silent.mp3", silent, "audio/mpeg");
        // Long enough after the silence for a place in it to be kept.
        Server().ServeBytes("/silent-long.mp3", ReadFileBytes(MakeSilentEpisode(folder, 40)),
                            "audio/mpeg");
        Server().ServeBytes("/chaptered.mp3", ReadFileBytes(MakeChapteredMp3(folder)),
                            "audio/mpeg");
        Server().ServeBytes("/chapters.json", ChaptersJson(), "application/json");
        Server().ServeBytes("/broken.json", "{\"chapters\":[{", "application/json");
        std::string huge = "{\"chapters\":[{\"startTime\":0,\"title\":\"c0\"}";
        for (int i = 1; i < 100000; ++i) {
            huge += ",{\"startTime\":" + std::to_string(i) + ",\"title\":\"c\"}";
        }
        Server().ServeBytes("/huge.json", huge + "]}", "application/json");
        StartServer();
        SetFeed("<?xml version=\"1.0\"?><rss><channel><title>Show</title>\n" +
                Item("Silent", Url("/silent.mp3"), Url("/chapters.json")) +
                Item("Chaptered", Url("/chaptered.mp3"), "") +
                Item("Broken", Url("/silent.mp3?b"), Url("/broken.json")) +
                Item("Missing", Url("/silent.mp3?m"), Url("/missing.json")) +
                Item("Huge", Url("/silent.mp3?h"), Url("/huge.json")) +
                Item("Long", Url("/silent-long.mp3"), "") + "</channel></rss>");
        ASSERT_EQ(Main().Episodes.size(), 6u);
        ASSERT_TRUE(ShowMain());
    }

    QMenu* OpenMenu() {
        QToolButton* button = Find<QToolButton>("btnPlay");
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                button->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(button, &click);
        QMenu* menu = Main().Extras().PlayMenu();
        menu->hide();
        return menu;
    }
    QAction* Action(const QString& text) {
        for (QAction* action : OpenMenu()->findChildren<QAction*>()) {
            if (action->text() == text) {
                return action;
            }
        }
        return nullptr;
    }
    QStringList ChapterItems() {
        auto* chapters = OpenMenu()->findChild<QMenu*>(QStringLiteral("chapterMenu"));
        QStringList items;
        if (chapters->menuAction()->isVisible()) {
            for (QAction* action : chapters->actions()) {
                items << action->text() + (action->isChecked() ? QStringLiteral(" *") : QString());
            }
        }
        return items;
    }
    // Plays `episode` and, unless told not to, waits until it plays.
    void Play(int episode, bool settle = true) {
        Find<QComboBox>("cmbItem")->setCurrentIndex(episode);
        Find<QToolButton>("btnPlay")->click();
        if (settle) {
            ASSERT_TRUE(Settle());
        }
    }
    TChapters& Chapters() { return Main().Extras().Chapters(); }

    QTemporaryDir dir_;
};

}  // namespace

// Both are off and out of the settings file until chosen; once chosen they
// are kept, and are on for the next run.
TEST_F(ListeningOptions, OffUntilChosenThenKept) {
    ASSERT_NE(Action(QStringLiteral("무음 건너뛰기")), nullptr);
    EXPECT_FALSE(Action(QStringLiteral("무음 건너뛰기"))->isChecked());
    EXPECT_FALSE(Action(QStringLiteral("음량 고르게"))->isChecked());
    CloseWindows();
    EXPECT_EQ(ReadIni().find("SkipSilence"), std::string::npos);
    EXPECT_EQ(ReadIni().find("EvenLoudness"), std::string::npos);
    ASSERT_TRUE(ShowMain());
    Action(QStringLiteral("무음 건너뛰기"))->trigger();
    Action(QStringLiteral("음량 고르게"))->trigger();
    CloseWindows();
    EXPECT_NE(ReadIni().find("SkipSilence = 1"), std::string::npos) << ReadIni();
    EXPECT_NE(ReadIni().find("EvenLoudness = 1"), std::string::npos);
    Media().SetSilenceDetection(false);
    Media().SetLevelling(false);
    ASSERT_TRUE(ShowMain());
    EXPECT_TRUE(Action(QStringLiteral("무음 건너뛰기"))->isChecked());
    Play(1);
    const std::string af = static_cast<MpvMediaDevice&>(Media()).PropertyText("af");
    EXPECT_NE(af.find("silencedetect"), std::string::npos) << af;
    EXPECT_NE(af.find("dynaudnorm"), std::string::npos) << af;
    Action(QStringLiteral("음량 고르게"))->trigger();
    CloseWindows();
    EXPECT_NE(ReadIni().find("EvenLoudness = 0"), std::string::npos);
}

// The episode with 20 s of silence plays to its end in clearly less time than
// its length, its position ends at its length, and the caption says how much
// was saved. A place kept inside the silence resumes there.
TEST_F(ListeningOptions, SkipSilenceEndsSoonerInTheMediumsTime) {
    Action(QStringLiteral("무음 건너뛰기"))->trigger();
    const auto start = std::chrono::steady_clock::now();
    Play(0);
    ASSERT_TRUE(WaitUntil([&] { return Media().Mode() == MediaMode::Stopped; }, 60s));
    const auto wall = std::chrono::steady_clock::now() - start;
    EXPECT_LT(wall, 24s - 5s) << std::chrono::duration<double>(wall).count();
    EXPECT_EQ(Media().Position(), Media().Length());
    EXPECT_TRUE(Main().windowTitle().endsWith(QStringLiteral(" [무음 -00:00:14]")))
        << Main().windowTitle().toStdString();
    std::cerr << "24 s episode played in " << std::chrono::duration<double>(wall).count()
              << " s (the one-second wait before playing included)\n";

    Play(5);
    Main().prgPlayMouseDown(258 * 12 / 62);
    Find<QToolButton>("sbtnStop")->click();
    const int kept = Main().Extras().ResumePositions().Find(Url("/silent-long.mp3")).value_or(0);
    EXPECT_GE(kept, 11500);
    EXPECT_LT(kept, 22000);
    Main().Extras().ResumeClick();
    ASSERT_TRUE(Settle());
    EXPECT_GE(Media().Position(), kept);
    EXPECT_LT(Media().Position(), kept + 2000);
    // A new episode starts with nothing saved.
    EXPECT_FALSE(Main().windowTitle().contains(QStringLiteral("[무음")));
}

// The medium's own chapters and the feed's chapters file list the same, and a
// choice, PageDown and PageUp over the window and the media controls move
// between them; a control that uses PageDown keeps it.
TEST_F(ListeningOptions, ChaptersFromTheMediumAndTheFeedAreListedAndJumpedTo) {
    const QStringList expected = {QStringLiteral("00:00:00 Opening *"),
                                  QStringLiteral("00:00:04 Talk && news"),
                                  QStringLiteral("00:00:08 Closing")};
    EXPECT_TRUE(ChapterItems().isEmpty());
    Play(1);
    EXPECT_EQ(ChapterItems(), expected);
    Play(0);
    ASSERT_TRUE(WaitUntil([&] { return Chapters().Any(); }));
    EXPECT_EQ(ChapterItems(), expected);

    OpenMenu()->findChild<QMenu*>(QStringLiteral("chapterMenu"))->actions()[2]->trigger();
    EXPECT_GE(Media().Position(), 8000);
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    // Where the focus starts: the date list, below the window's edge.
    QWidget* start = Main().focusWidget();
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(start->visibleRegion().isEmpty()) << start->objectName().toStdString();
    QTest::keyClick(start, Qt::Key_PageUp);
    EXPECT_LT(Media().Position(), 8000);
    EXPECT_GE(Media().Position(), 4000);
    EXPECT_EQ(Main().NowPlaying().title, "Silent");
    Find<QComboBox>("cmbItem")->setFocus();
    QTest::keyClick(Find<QComboBox>("cmbItem"), Qt::Key_PageDown);
    EXPECT_LT(Media().Position(), 8000);

    TMainWindowMpris player(Main(), Main().Extras().SpeedAndSleep(), AppServices());
    player.SetChapters(&Chapters());
    MprisOnPrivateBus mpris(player);
    ASSERT_TRUE(mpris.Ready());
    EXPECT_TRUE(mpris.Client().PlayerProperty("CanGoNext").toBool());
    mpris.Client().CallPlayer("Next");
    EXPECT_TRUE(WaitUntil([&] { return Media().Position() >= 8000; }));
}

// A malformed file, a missing one and one of 100,000 chapters leave the
// player playing, with one line on standard error and no box for the first
// two, and at most the cap listed for the last.
TEST_F(ListeningOptions, BrokenChaptersFilesLeaveThePlayerWorking) {
    testing::internal::CaptureStderr();
    for (const int episode : {2, 3, 4}) {
        Play(episode);
        ASSERT_TRUE(WaitUntil([&] { return !Chapters().Fetching(); }));
    }
    EXPECT_TRUE(Chapters().Any());
    const std::string errors = testing::internal::GetCapturedStderr();
    const std::string line = "ZURav3: 챕터 파일을 읽지 못했습니다: ";
    EXPECT_NE(errors.find(line), std::string::npos) << errors;
    EXPECT_NE(errors.find(line, errors.find(line) + 1), std::string::npos) << errors;
    EXPECT_EQ(errors.find(line + Url("/huge.json")), std::string::npos) << errors;
    EXPECT_NE(errors.find("broken.json"), std::string::npos) << errors;
    EXPECT_NE(errors.find("404"), std::string::npos) << errors;
    EXPECT_EQ(ChapterItems().size(), 1000);
    EXPECT_TRUE(Dialogs().Boxes().empty());
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    const int at = Media().Position();
    EXPECT_TRUE(WaitUntil([&] { return Media().Position() > at + 500; }));
    // A file still on its way when another episode opens is not its.
    Play(0, false);
    ASSERT_TRUE(WaitUntil([&] { return Chapters().Fetching() || Chapters().Any(); }));
    Play(5);
    PumpEvents(1s);
    EXPECT_FALSE(Chapters().Any());
}
