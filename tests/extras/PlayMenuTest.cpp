#include <atomic>
#include <optional>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDBusVariant>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "ManualClock.h"
#include "MprisOnPrivateBus.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "extras/MainMpris.h"
#include "extras/PlayerExtras.h"
#include "platform/HandlerGuard.h"
#include "platform/MpvMediaDevice.h"
#include "platform/SimpleIniFile.h"
#include "texts/PlayTime.h"

namespace {

using namespace std::chrono_literals;

constexpr std::int64_t kMinute = 60000;

// The main window over a local server: a one-minute episode, whose link the
// test can make disappear, and a three-second one. The sleep timer counts with
// a clock the test moves.
class PlayMenu : public WindowTest {
protected:
    void SetUp() override {
        const std::string longTone = ReadFileBytes(TestDataFile("tone-60s.mp3"));
        Server().Server().Get("/long.mp3",
                              [this, longTone](const httplib::Request&, httplib::Response& res) {
                                  if (gone_) {
                                      res.status = 404;
                                      return;
                                  }
                                  res.set_content(longTone, "audio/mpeg");
                              });
        Server().ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        StartServer();
        SetFeed(FeedOf({{"Long", Url("/long.mp3"), ""}, {"Tone", Url("/tone.mp3"), ""}}));
        auto clock = std::make_unique<ManualClock>();
        clock_ = clock.get();
        AppServices().clock = std::move(clock);
        ASSERT_EQ(Main().Episodes.size(), 2u);
        ASSERT_TRUE(ShowMain());
    }

    std::string LongLink() const { return Url("/long.mp3"); }
    TSpeedAndSleepTimer& Pace() { return Main().Extras().SpeedAndSleep(); }
    QString Caption() { return Main().windowTitle(); }
    std::string SpeedKey() {
        SimpleIniFile ini;
        ini.Open(IniPath());
        return ini.ReadString("OPT", "Speed", "(none)");
    }
    // mpv's speed, once something has been opened.
    double DeviceSpeed() {
        const std::string speed = static_cast<MpvMediaDevice&>(Media()).PropertyText("speed");
        return speed.empty() ? 0.0 : std::stod(speed);
    }

    // Opens the play menu as a right click on the play button does.
    QMenu* OpenMenu() {
        QToolButton* button = Find<QToolButton>("btnPlay");
        const QPoint at(5, 5);
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, button->mapToGlobal(at));
        QApplication::sendEvent(button, &click);
        return Main().Extras().PlayMenu();
    }
    QAction* Resume() { return OpenMenu()->findChild<QAction*>(QStringLiteral("actResume")); }
    QAction* Item(const QString& text) {
        for (QAction* action : OpenMenu()->findChildren<QAction*>()) {
            if (action->text() == text) {
                return action;
            }
        }
        ADD_FAILURE() << text.toStdString();
        return nullptr;
    }
    void Choose(const QString& text) {
        Item(text)->trigger();
        Main().Extras().PlayMenu()->hide();
    }

    // Plays the one-minute episode from `seconds` in, by a press on the bar.
    void PlayLongFrom(int seconds) {
        Find<QComboBox>("cmbItem")->setCurrentIndex(0);
        Find<QToolButton>("btnPlay")->click();
        ASSERT_TRUE(Settle());
        Main().prgPlayMouseDown(258 * seconds / 60 + 1);
        ASSERT_TRUE(WaitUntil([&] { return Media().Position() > seconds * 1000 + 300; }));
    }

    std::atomic<bool> gone_ = false;
    ManualClock* clock_ = nullptr;
};

}  // namespace

// The place kept at a stop survives the program's end; the menu offers it,
// and going on from there checks the link as the play button does. A left
// click still plays from the start.
TEST_F(PlayMenu, StopPartWayRestartAndResumeFromThere) {
    EXPECT_FALSE(Resume()->isVisible());
    PlayLongFrom(20);
    Find<QToolButton>("sbtnStop")->click();
    const std::optional<int> kept = Main().Extras().ResumePositions().Find(LongLink());
    ASSERT_TRUE(kept.has_value());
    EXPECT_GT(*kept, 20300);

    CloseWindows();
    EXPECT_NE(ReadFileBytes(Folder() / "ZURav3.positions").find("\t" + LongLink() + "\n"),
              std::string::npos);
    ASSERT_TRUE(ShowMain());
    QAction* resume = Resume();
    ASSERT_TRUE(resume->isVisible());
    EXPECT_EQ(
        resume->text(),
        QStringLiteral("이어서 재생 (%1)").arg(QString::fromStdString(FormatPlayTime(*kept))));
    // Only the selected episode's place is offered.
    Find<QComboBox>("cmbItem")->setCurrentIndex(1);
    EXPECT_FALSE(Resume()->isVisible());
    Find<QComboBox>("cmbItem")->setCurrentIndex(0);

    Resume()->trigger();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_GE(Media().Position(), *kept);
    EXPECT_LT(Media().Position(), *kept + 3000);
    EXPECT_EQ(Caption(), QStringLiteral("ZURav3 v3.0.0.0 - Long"));
    EXPECT_TRUE(Dialogs().Boxes().empty());

    Find<QToolButton>("btnPlay")->click();
    ASSERT_TRUE(Settle());
    EXPECT_LT(Media().Position(), 3000);

    // The link is checked first; what plays goes on when it fails.
    gone_ = true;
    Main().prgPlayMouseDown(129);
    Resume()->trigger();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_TRUE(Dialogs().Last().text.contains(QStringLiteral("HTTP/1.1 404 Not Found")));
    EXPECT_GE(Media().Position(), 29000);
}

// Another episode and the close box keep the place too; a stop within half a
// minute of the end finishes the episode; a local file is never kept.
TEST_F(PlayMenu, OtherEpisodeAndCloseKeepThePlaceNearTheEndForgetsIt) {
    PlayLongFrom(10);
    Find<QComboBox>("cmbItem")->setCurrentIndex(1);
    Find<QToolButton>("btnPlay")->click();
    ASSERT_TRUE(Settle());
    EXPECT_GT(Main().Extras().ResumePositions().Find(LongLink()).value_or(0), 10300);

    PlayLongFrom(45);
    Find<QToolButton>("sbtnStop")->click();
    EXPECT_EQ(Main().Extras().ResumePositions().Find(LongLink()), std::nullopt);

    Main().PlayFile(TestDataFile("tone-60s.mp3"));
    ASSERT_TRUE(Settle());
    Main().prgPlayMouseDown(20);
    Find<QToolButton>("sbtnStop")->click();
    EXPECT_TRUE(Main().Extras().ResumePositions().Entries().empty());

    PlayLongFrom(15);
    Main().close();
    EXPECT_NE(ReadFileBytes(Folder() / "ZURav3.positions").find(LongLink()), std::string::npos);
}

// The speed from the menu and the keys plays at once, stays in the settings
// (whose file gains the key only once a speed is chosen), and leaves the times
// in the medium's own.
TEST_F(PlayMenu, SpeedFromTheMenuAndTheKeysIsKeptInTheSettings) {
    CloseWindows();
    EXPECT_EQ(ReadIni().find("Speed"), std::string::npos);
    EXPECT_EQ(ReadIni().find("[OPT]"), ReadIni().rfind('['));
    ASSERT_TRUE(ShowMain());

    Choose(QStringLiteral("1.5x"));
    EXPECT_EQ(Pace().PlaybackSpeed(), 1.5);
    EXPECT_TRUE(Item(QStringLiteral("1.5x"))->isChecked());
    EXPECT_FALSE(Item(QStringLiteral("1.0x"))->isChecked());
    Main().Extras().PlayMenu()->hide();

    // The keys work where the focus starts, in the date list.
    QWidget* focus = Main().focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, Qt::Key_BracketRight, Qt::ControlModifier);
    EXPECT_EQ(Pace().PlaybackSpeed(), 1.75);
    QTest::keyClick(focus, Qt::Key_BracketLeft, Qt::ControlModifier);
    QTest::keyClick(focus, Qt::Key_BracketLeft, Qt::ControlModifier);
    EXPECT_EQ(Pace().PlaybackSpeed(), 1.25);

    PlayLongFrom(1);
    EXPECT_EQ(Find<QLabel>("lblTimeFull")->text(), QStringLiteral("00:01:00"));
    EXPECT_EQ(DeviceSpeed(), 1.25);

    CloseWindows();
    EXPECT_EQ(SpeedKey(), "1.25");
    Media().SetSpeed(1.0);
    ASSERT_TRUE(ShowMain());
    EXPECT_EQ(Pace().PlaybackSpeed(), 1.25);
    EXPECT_EQ(DeviceSpeed(), 1.25);

    // Back to normal: the key stays and follows.
    Choose(QStringLiteral("1.0x"));
    CloseWindows();
    EXPECT_EQ(SpeedKey(), "1");
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// [ and ] typed into either drop-down or the list go to its type-ahead and
// reach a title that starts with them; the speed and the settings stay as
// they were. (The speed keys took them: one [ in the date list wrote a speed
// of 0.75 into the settings.)
TEST_F(PlayMenu, BracketsTypedIntoTheListsReachTitlesAndLeaveTheSpeedAlone) {
    SetFeed(FeedOf({{"Long", LongLink(), ""}, {"[특집] 여름", Url("/tone.mp3"), ""}}));
    Find<QToolButton>("btnReload")->click();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Main().Episodes.size(), 2u);
    auto* items = Find<QComboBox>("cmbItem");
    items->setCurrentIndex(0);
    QTest::keyClicks(items, QStringLiteral("["));
    EXPECT_EQ(items->currentText(), QStringLiteral("[특집] 여름"));
    auto* list = Find<QListWidget>("lstItem");
    list->setCurrentRow(0);
    QTest::keyClicks(list, QStringLiteral("["));
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("[특집] 여름"));
    // The date list holds dates; a line that starts with [ stands for any
    // line the user reaches by typing.
    auto* dates = Find<QComboBox>("cmbDate");
    dates->addItems({QStringLiteral("2008/03/01"), QStringLiteral("[특집]")});
    dates->setCurrentIndex(0);
    QTest::keyClicks(dates, QStringLiteral("[]"));
    EXPECT_EQ(dates->currentText(), QStringLiteral("[특집]"));

    EXPECT_EQ(Pace().PlaybackSpeed(), 1.0);
    CloseWindows();
    EXPECT_EQ(SpeedKey(), "(none)");
}

// The timer counts down in the caption; a new choice replaces the old; when
// it runs out the player fades out, pauses (keeping the place) and stays
// silent until the next play, which is at full volume.
TEST_F(PlayMenu, SleepTimerFadesOutPausesAndANewChoiceReplacesTheOld) {
    PlayLongFrom(5);
    const QString caption = Caption();
    Choose(QStringLiteral("15분"));
    EXPECT_EQ(Caption(), caption + QStringLiteral(" [취침 00:15:00]"));
    clock_->Advance(10 * kMinute);
    Pace().SleepTimerTick();
    EXPECT_EQ(Caption(), caption + QStringLiteral(" [취침 00:05:00]"));

    Choose(QStringLiteral("30분"));
    EXPECT_EQ(Caption(), caption + QStringLiteral(" [취침 00:30:00]"));
    EXPECT_TRUE(Item(QStringLiteral("30분"))->isChecked());
    Main().Extras().PlayMenu()->hide();

    clock_->Advance(30 * kMinute - 2500);
    Pace().SleepTimerTick();
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_EQ(Media().Volume(), 50);
    clock_->Advance(1500);
    Pace().SleepTimerTick();
    EXPECT_EQ(Media().Volume(), 20);

    clock_->Advance(1000);
    Pace().SleepTimerTick();
    EXPECT_EQ(Media().Mode(), MediaMode::Paused);
    EXPECT_EQ(Media().Volume(), 0);
    EXPECT_EQ(Pace().SleepTimerChoice(), SleepChoice::Off);
    EXPECT_EQ(Caption(), caption);
    EXPECT_GT(Main().Extras().ResumePositions().Find(LongLink()).value_or(0), 5300);

    // "Off" cancels.
    Find<QToolButton>("sbtnPlay")->click();
    EXPECT_EQ(Media().Volume(), 100);
    Choose(QStringLiteral("15분"));
    Choose(QStringLiteral("끄기"));
    EXPECT_EQ(Caption(), caption);
    clock_->Advance(20 * kMinute);
    Pace().SleepTimerTick();
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// At the end of the episode: the fade runs on the medium's own clock, into
// the end, and stays silent there; a press on the bar plays at full volume.
TEST_F(PlayMenu, SleepAtTheEndOfTheEpisodeFadesIntoTheEnd) {
    PlayLongFrom(52);
    Choose(QStringLiteral("이 에피소드가 끝나면"));
    EXPECT_TRUE(Caption().contains(QStringLiteral(" [취침 00:00:0")));
    ASSERT_TRUE(WaitUntil([&] { return Media().Volume() < 100; }));
    ASSERT_TRUE(WaitUntil([&] { return Media().Mode() != MediaMode::Playing; }));
    ASSERT_TRUE(WaitUntil([&] { return Pace().SleepTimerChoice() == SleepChoice::Off; }));
    EXPECT_EQ(Media().Volume(), 0);
    EXPECT_EQ(Caption(), QStringLiteral("ZURav3 v3.0.0.0 - Long"));
    EXPECT_EQ(Main().Extras().ResumePositions().Find(LongLink()), std::nullopt);
    Main().prgPlayMouseDown(129);
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_EQ(Media().Volume(), 100);
}

// The media controls read and set the rate within its range, and see the
// sleep timer's time left.
TEST_F(PlayMenu, MediaControlsSetTheRateAndSeeTheSleepTimer) {
    TMainWindowMpris player(Main(), Pace(), AppServices());
    MprisOnPrivateBus mpris(player);
    ASSERT_TRUE(mpris.Ready());
    MprisClient& client = mpris.Client();
    const auto setRate = [&](double rate) {
        client.Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                    {QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Rate"),
                     QVariant::fromValue(QDBusVariant(rate))});
    };
    EXPECT_EQ(client.PlayerProperty("Rate").toDouble(), 1.0);
    EXPECT_EQ(client.PlayerProperty("MinimumRate").toDouble(), 0.5);
    EXPECT_EQ(client.PlayerProperty("MaximumRate").toDouble(), 3.0);
    EXPECT_FALSE(client.Metadata().contains(QStringLiteral("zurav3:sleepRemaining")));

    setRate(2.0);
    EXPECT_EQ(Pace().PlaybackSpeed(), 2.0);
    EXPECT_EQ(client.PlayerProperty("Rate").toDouble(), 2.0);
    setRate(9.0);
    EXPECT_EQ(Pace().PlaybackSpeed(), 3.0);
    setRate(-1.0);
    EXPECT_EQ(Pace().PlaybackSpeed(), 3.0);

    PlayLongFrom(1);
    EXPECT_EQ(DeviceSpeed(), 3.0);
    Choose(QStringLiteral("60분"));
    clock_->Advance(kMinute);
    EXPECT_EQ(client.Metadata().value(QStringLiteral("zurav3:sleepRemaining")).toLongLong(),
              59 * kMinute * 1000);
    // A rate of 0 pauses.
    setRate(0.0);
    EXPECT_EQ(Media().Mode(), MediaMode::Paused);
    EXPECT_EQ(Pace().PlaybackSpeed(), 3.0);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}
