// The sleep timer's fade at the end of an episode as it is heard: the window
// plays through a private sound server whose output is recorded.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QComboBox>
#include <QProcess>
#include <QToolButton>

#include <gtest/gtest.h>

#include "PrivateSoundServer.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "extras/PlayerExtras.h"
#include "platform/MpvMediaDevice.h"

namespace {

constexpr int kRate = 8000;
// 20 ms of the recording.
constexpr std::size_t kWindow = kRate / 50;
// The tone plays at half of full scale (16384); this is about a fiftieth of
// it, far below what the fade starts from and far above the last of its tail.
constexpr int kQuiet = 330;

class SleepFadeSound : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(sound_.Running());
        sound_.Use();
        Server().ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        StartServer();
        SetFeed(FeedOf({{"Tone", Url("/tone.mp3"), ""}}));
        AppServices().media = std::make_unique<MpvMediaDevice>("pulse");
        ASSERT_TRUE(ShowMain());
    }
    void TearDown() override {
        if (recorder_.state() != QProcess::NotRunning) {
            recorder_.kill();
            recorder_.waitForFinished(10000);
        }
        WindowTest::TearDown();
    }

    // Records the null sink's monitor, mono 16-bit at kRate, from now on.
    bool StartRecording() {
        QObject::connect(&recorder_, &QProcess::readyReadStandardOutput,
                         [this] { recorded_ += recorder_.readAllStandardOutput(); });
        recorder_.start(
            QStringLiteral("parec"),
            {QStringLiteral("--server=") + sound_.Address(),
             QStringLiteral("--device=null.monitor"), QStringLiteral("--raw"),
             QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
             QStringLiteral("--rate=%1").arg(kRate), QStringLiteral("--latency-msec=20")});
        return recorder_.waitForStarted(10000) &&
               WaitUntil([&] { return recorded_.size() > static_cast<qsizetype>(kWindow * 2); });
    }
    std::size_t RecordedSamples() const { return static_cast<std::size_t>(recorded_.size()) / 2; }

    // The loudest sample of each 20 ms of the recording.
    std::vector<int> Levels() const {
        std::vector<int> levels;
        const std::size_t samples = RecordedSamples();
        for (std::size_t at = 0; at + kWindow <= samples; at += kWindow) {
            int peak = 0;
            for (std::size_t i = at; i < at + kWindow; ++i) {
                std::int16_t sample = 0;
                std::memcpy(&sample, recorded_.constData() + 2 * i, 2);
                peak = std::max(peak, std::abs(static_cast<int>(sample)));
            }
            levels.push_back(peak);
        }
        return levels;
    }

    PrivateSoundServer sound_;
    QProcess recorder_;
    QByteArray recorded_;
};

}  // namespace

// Set to end with the episode, the player fades into the end and stays
// silent: the last audio the device still holds when the medium reports its
// end must not come out at full volume. (It did, for about a quarter of a
// second, when the volume came back at the end.) The next play is heard at
// full volume again.
TEST_F(SleepFadeSound, FadeAtTheEndOfTheEpisodeEndsInSilence) {
    ASSERT_TRUE(StartRecording());
    Find<QToolButton>("btnPlay")->click();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Media().Mode(), MediaMode::Playing);
    Main().Extras().SpeedAndSleep().SetSleepTimer(SleepChoice::EndOfEpisode);
    ASSERT_TRUE(WaitUntil(
        [&] { return Main().Extras().SpeedAndSleep().SleepTimerChoice() == SleepChoice::Off; }));
    EXPECT_NE(Media().Mode(), MediaMode::Playing);
    // A second more of the sink, for whatever was still on its way to it.
    const std::size_t ended = RecordedSamples();
    ASSERT_TRUE(WaitUntil([&] { return RecordedSamples() > ended + kRate; }));

    const std::vector<int> levels = Levels();
    const auto loudest = std::max_element(levels.begin(), levels.end());
    ASSERT_NE(loudest, levels.end());
    EXPECT_GT(*loudest, 4 * kQuiet);
    // Where the fade has come down to a quarter of the limit.
    const auto faded =
        std::find_if(loudest, levels.end(), [](int level) { return level < kQuiet / 4; });
    ASSERT_NE(faded, levels.end()) << "the fade never fell silent";
    const int after = *std::max_element(faded, levels.end());
    EXPECT_LT(after, kQuiet) << "heard after the fade: " << after << " (fade from " << *loudest
                             << ")";
    EXPECT_EQ(Media().Volume(), 0);

    Find<QToolButton>("sbtnPlay")->click();
    EXPECT_EQ(Media().Mode(), MediaMode::Playing);
    EXPECT_EQ(Media().Volume(), 100);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}
