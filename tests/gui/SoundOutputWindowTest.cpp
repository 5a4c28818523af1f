// The main window when the sound output fails: the user is told why, the
// transport shows that nothing plays, and the media controls say Stopped.
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "PrivateSoundServer.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestServices.h"
#include "Umain/MainMpris.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "platform/MpvMediaDevice.h"

namespace {

using namespace std::chrono_literals;

class SoundOutputWindow : public ::testing::Test {
protected:
    void SetUp() override {
        server_.ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        server_.Server().Get("/rss", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content("<rss><channel><item><title>Tone</title><enclosure url=\"" +
                                server_.Url("/tone.mp3") + "\"/></item></channel></rss>",
                            "text/xml");
        });
        server_.Start();
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") + "\n");
        // PulseAudio by name, so that no other card of the machine takes over
        // when the server is gone.
        services_.Get().media = std::make_unique<MpvMediaDevice>("pulse");
        window_ = std::make_unique<TfrmMain>(services_.Get());
        mpris_ = std::make_unique<TMainWindowMpris>(*window_, services_.Get());
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    void TearDown() override {
        mpris_.reset();
        window_.reset();
    }

    QToolButton* Button(const char* name) {
        return window_->findChild<QToolButton*>(QString::fromLatin1(name));
    }
    bool Shows(const char* image) {
        const QImage glyph = Button("sbtnPlay")->icon().pixmap(16, 16).toImage();
        const QImage source =
            window_->findChild<QLabel*>(QString::fromLatin1(image))->pixmap().toImage();
        return glyph.convertToFormat(QImage::Format_ARGB32) ==
               source.convertToFormat(QImage::Format_ARGB32);
    }
    // The play glyph on two disabled buttons: nothing plays, nothing to stop.
    bool ShowsNothingPlaying() {
        return Shows("imgBtnPlay") && !Button("sbtnPlay")->isEnabled() &&
               !Button("sbtnStop")->isEnabled();
    }
    ScriptedDialogs& Dialogs() { return services_.Dialogs(); }
    bool SaysNoSoundOutput(const ScriptedDialogs::ShownBox& box) {
        return box.kind == ScriptedDialogs::Kind::Error &&
               box.text.startsWith(QString::fromUtf8(kNoSoundOutput) + QStringLiteral("\n\n"));
    }

    TestHttpServer server_;
    TestServices services_;
    std::unique_ptr<TfrmMain> window_;
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
    Button("btnPlay")->click();
    ASSERT_TRUE(WaitUntil([&] { return Shows("imgBtnPause") && Button("sbtnStop")->isEnabled(); }));
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
    window_->TimerTimer();
    EXPECT_EQ(Dialogs().Count(), 1u);

    Dialogs().Clear();
    Button("btnPlay")->click();
    ASSERT_EQ(Dialogs().Count(), 1u);
    EXPECT_TRUE(SaysNoSoundOutput(Dialogs().Last())) << Dialogs().Last().text.toStdString();
    EXPECT_TRUE(Dialogs().Last().text.contains(QString::fromStdString(server_.Url("/tone.mp3"))));
    PumpEvents(300ms);
    EXPECT_EQ(Dialogs().Count(), 1u);
    EXPECT_TRUE(ShowsNothingPlaying());
    EXPECT_FALSE(services_.Get().media->IsOpen());
    EXPECT_EQ(mpris_->State().status, MprisState::Status::Stopped);
}
