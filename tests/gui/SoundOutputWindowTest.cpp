// The main window when the sound output fails: the user is told why, the
// transport shows that nothing plays, and the media controls say Stopped.
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "PrivateSoundServer.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "extras/MainMpris.h"
#include "extras/PlayerExtras.h"
#include "platform/MpvMediaDevice.h"

namespace {

using namespace std::chrono_literals;

class SoundOutputWindow : public WindowTest {
protected:
    void SetUp() override {
        Server().ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        StartServer();
        SetFeed(FeedOf({{"Tone", Url("/tone.mp3"), ""}}));
        // PulseAudio by name, so that no other card of the machine takes over
        // when the server is gone.
        AppServices().media = std::make_unique<MpvMediaDevice>("pulse");
        mpris_ = std::make_unique<TMainWindowMpris>(Main(), Main().Extras().SpeedAndSleep(),
                                                    AppServices());
        ASSERT_TRUE(ShowMain());
    }

    void TearDown() override {
        mpris_.reset();
        WindowTest::TearDown();
    }

    bool Shows(const char* image) {
        const QImage glyph = Find<QToolButton>("sbtnPlay")->icon().pixmap(16, 16).toImage();
        const QImage source = Find<QLabel>(image)->pixmap().toImage();
        return glyph.convertToFormat(QImage::Format_ARGB32) ==
               source.convertToFormat(QImage::Format_ARGB32);
    }
    // The play glyph on two disabled buttons: nothing plays, nothing to stop.
    bool ShowsNothingPlaying() {
        return Shows("imgBtnPlay") && !Find<QToolButton>("sbtnPlay")->isEnabled() &&
               !Find<QToolButton>("sbtnStop")->isEnabled();
    }
    static bool SaysNoSoundOutput(const ScriptedDialogs::ShownBox& box) {
        return box.kind == Kind::Error &&
               box.text.startsWith(QString::fromUtf8(kNoSoundOutput) + QStringLiteral("\n\n"));
    }

    std::unique_ptr<TMainWindowMpris> mpris_;
};

}  // namespace

// The sound server goes away while an episode plays, then Play is clicked with
// no server at all: each time one box says that no sound output could be
// opened and why, the transport stops, and the media controls say Stopped.
// (Before, the window went on showing the pause glyph, and the media controls
// said Playing, over silence.)
TEST_F(SoundOutputWindow, LostOrMissingOutputIsShownAndStopsTheTransport) {
    auto sound = std::make_unique<PrivateSoundServer>();
    ASSERT_TRUE(sound->Running());
    sound->Use();
    Find<QToolButton>("btnPlay")->click();
    ASSERT_TRUE(WaitUntil(
        [&] { return Shows("imgBtnPause") && Find<QToolButton>("sbtnStop")->isEnabled(); }));
    EXPECT_EQ(mpris_->State().status, MprisState::Status::Playing);
    EXPECT_TRUE(Dialogs().Boxes().empty());

    sound.reset();
    ASSERT_TRUE(WaitUntil([&] { return Dialogs().Count() > 0; }, 30s));
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_TRUE(SaysNoSoundOutput(Dialogs().Last())) << Dialogs().Last().text.toStdString();
    EXPECT_TRUE(ShowsNothingPlaying());
    EXPECT_EQ(mpris_->State().status, MprisState::Status::Stopped);

    // Nothing complains again on its own: not the timer, not a late notification.
    PumpEvents(1500ms);
    Main().TimerTimer();
    EXPECT_EQ(Dialogs().Count(), 1u);

    Dialogs().Clear();
    Find<QToolButton>("btnPlay")->click();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_TRUE(SaysNoSoundOutput(Dialogs().Last())) << Dialogs().Last().text.toStdString();
    EXPECT_TRUE(Dialogs().Last().text.contains(QString::fromStdString(Url("/tone.mp3"))));
    PumpEvents(300ms);
    EXPECT_EQ(Dialogs().Count(), 1u);
    EXPECT_TRUE(ShowsNothingPlaying());
    EXPECT_FALSE(Media().IsOpen());
    EXPECT_EQ(mpris_->State().status, MprisState::Status::Stopped);
}
