// The player without a mouse or without sight: accessible names and the seek
// bar's value read through Qt's accessibility interfaces, and key presses sent
// to the window.
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "Umain/PlayBar.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "texts/PlayTime.h"

namespace {

QString Name(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// The main window on a feed of one minute-long episode, shown and active.
class Access : public WindowTest {
protected:
    void SetUp() override {
        Server().ServeBytes("/long.mp3", ReadFileBytes(TestDataFile("tone-60s.mp3")), "audio/mpeg");
        StartServer();
        SetFeed(FeedOf({{"Long", Url("/long.mp3"), ""}}));
        ASSERT_TRUE(ShowMain());
        Main().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    }

    QToolButton* PlayButton() { return Find<QToolButton>("sbtnPlay"); }
    TPlayBar* Bar() { return Find<TPlayBar>("prgPlay"); }
    // A key pressed and let go on the control with the focus, as a keyboard
    // sends it (media keys carry no text).
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::sendKeyEvent(QTest::Click, focus != nullptr ? focus : &Main(), key, QString(),
                            modifiers);
    }
    bool ModeBecomes(MediaMode mode) {
        return WaitUntil([&] { return Media().IsOpen() && Media().Mode() == mode; });
    }
    // Plays the episode and pauses it at about `ms`, through the device.
    void PauseAt(int ms) {
        Media().Seek(ms, false);
        Media().Pause(false);
    }
};

}  // namespace

// Each glyph button is named for what it does, the play button after the
// glyph it shows; the bar is a slider whose value is the position and whose
// maximum is the length.
TEST_F(Access, ButtonsAreNamedAndTheBarTellsPositionAndLength) {
    EXPECT_EQ(Name(Find("sbtnOpen")), QStringLiteral("열기"));
    EXPECT_EQ(Name(PlayButton()), QStringLiteral("재생"));
    EXPECT_EQ(Name(Find("sbtnStop")), QStringLiteral("정지"));

    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(Bar());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->text(QAccessible::Name), QStringLiteral("재생 위치"));
    EXPECT_EQ(bar->role(), QAccessible::Slider);
    QAccessibleValueInterface* value = bar->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->maximumValue().toInt(), 0);
    EXPECT_EQ(bar->text(QAccessible::Value), QString());

    Main().PlayFile(TestDataFile("tone-60s.mp3"));
    ASSERT_TRUE(Settle());
    ASSERT_TRUE(WaitUntil([&] { return Name(PlayButton()) == QStringLiteral("일시정지"); }));
    ASSERT_TRUE(WaitUntil([&] {
        Main().TimerTimer();
        return Bar()->Position() > 0;
    }));
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), Media().Length());
    EXPECT_NEAR(value->maximumValue().toInt(), 60000, 200);
    EXPECT_EQ(value->currentValue().toInt(), Bar()->Position());
    EXPECT_EQ(
        bar->text(QAccessible::Value),
        QString::fromStdString(FormatPlayTime(Bar()->Position())) + QStringLiteral(" / 00:01:00"));

    PlayButton()->click();
    EXPECT_EQ(Name(PlayButton()), QStringLiteral("재생"));
}

// The media keys do what the desktop's media controls do: the play key plays
// the chosen episode when nothing is open and toggles afterwards.
TEST_F(Access, MediaKeysPlayPauseAndStop) {
    Press(Qt::Key_MediaPlay);
    ASSERT_TRUE(ModeBecomes(MediaMode::Playing)) << Dialogs().Count();
    EXPECT_EQ(Main().NowPlaying().title, "Long");
    Press(Qt::Key_MediaPlay);
    EXPECT_TRUE(ModeBecomes(MediaMode::Paused));
    Press(Qt::Key_MediaPause);  // pauses only: a paused player stays paused
    EXPECT_EQ(Media().Mode(), MediaMode::Paused);
    Press(Qt::Key_MediaTogglePlayPause);
    EXPECT_TRUE(ModeBecomes(MediaMode::Playing));
    Press(Qt::Key_MediaPause);
    EXPECT_TRUE(ModeBecomes(MediaMode::Paused));
    Press(Qt::Key_MediaPlay);
    EXPECT_TRUE(ModeBecomes(MediaMode::Playing));
    Press(Qt::Key_MediaStop);
    EXPECT_TRUE(ModeBecomes(MediaMode::Stopped));
    EXPECT_EQ(Media().Position(), 0);
    EXPECT_EQ(Dialogs().Count(), 0u);
}

// The shortcuts: play/pause, stop, ten seconds either way held within the
// medium (the bar follows at once), and reload.
TEST_F(Access, ShortcutsPlayStopSkipAndReload) {
    Press(Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(ModeBecomes(MediaMode::Playing));
    Press(Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(ModeBecomes(MediaMode::Paused));

    PauseAt(20000);
    Press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_NEAR(Media().Position(), 30000, 100);
    EXPECT_EQ(Bar()->Position(), Media().Position());
    Press(Qt::Key_Left, Qt::ControlModifier);
    Press(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_NEAR(Media().Position(), 10000, 100);
    Press(Qt::Key_Left, Qt::ControlModifier);
    Press(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Media().Position(), 0);
    PauseAt(55000);
    Press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(Media().Position(), Media().Length());

    // A skip while playing plays on.
    Press(Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(ModeBecomes(MediaMode::Playing));
    Press(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    Press(Qt::Key_Period, Qt::ControlModifier);
    EXPECT_TRUE(ModeBecomes(MediaMode::Stopped));
    EXPECT_EQ(Media().Position(), 0);

    SetFeed(FeedOfTitles({"Reloaded", "Twice"}));
    Press(Qt::Key_F5);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Lines(Find<QComboBox>("cmbItem")),
              (QStringList{QStringLiteral("Reloaded"), QStringLiteral("Twice")}));
    EXPECT_EQ(Dialogs().Count(), 0u);
}

// A text box that moves by words on Ctrl+Left keeps the key: the player does
// not skip while the user edits.
TEST_F(Access, AControlThatUsesAKeyKeepsIt) {
    Main().PlayFile(TestDataFile("tone-60s.mp3"));
    ASSERT_TRUE(Settle());
    PauseAt(20000);
    auto* memo = Find<QPlainTextEdit>("Memo1");
    memo->setPlainText(QStringLiteral("one two three"));
    memo->moveCursor(QTextCursor::End);
    memo->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return memo->hasFocus(); }));
    Press(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(memo->textCursor().position(), 8);
    EXPECT_NEAR(Media().Position(), 20000, 100);
}
