#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ListeningMedia.h"
#include "PrivateSoundServer.h"
#include "WaitUntil.h"
#include "platform/MpvMediaDevice.h"

namespace {

using namespace std::chrono_literals;

// The real libmpv device on media the test makes with ffmpeg.
class ListeningDevice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        device_->SetSilenceHandler(
            [this](bool silent, int atMs) { changes_.emplace_back(silent, atMs); });
    }
    std::filesystem::path Folder() const { return dir_.path().toStdString(); }
    void PlayFrom(const std::string& file, int ms) {
        device_->Open(file, false);
        if (ms > 0) {
            device_->Seek(ms, false);
        }
        device_->Play(false);
    }

    QTemporaryDir dir_;
    std::unique_ptr<MpvMediaDevice> device_ = std::make_unique<MpvMediaDevice>("null");
    std::vector<std::pair<bool, int>> changes_;
};

bool Near(int ms, int expected, int slack = 300) {
    return std::abs(ms - expected) <= slack;
}

// RMS levels in dBFS of 250 ms windows of what the private server's null sink
// plays, while `play` runs until `done`.
std::vector<double> SinkLevels(const std::function<void()>& play,
                               const std::function<bool()>& done) {
    constexpr int kRate = 8000;
    QProcess parec;
    parec.start(QStringLiteral("parec"),
                {QStringLiteral("-d"), QStringLiteral("null.monitor"), QStringLiteral("--raw"),
                 QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                 QStringLiteral("--rate=%1").arg(kRate), QStringLiteral("--latency-msec=50")});
    EXPECT_TRUE(parec.waitForStarted(10000));
    play();
    EXPECT_TRUE(WaitUntil(done, 60s));
    parec.terminate();
    parec.waitForFinished(10000);
    const QByteArray raw = parec.readAllStandardOutput();
    std::vector<double> levels;
    const auto* samples = reinterpret_cast<const qint16*>(raw.constData());
    const qsizetype count = raw.size() / 2;
    constexpr int kWindow = kRate / 4;
    for (qsizetype begin = 0; begin + kWindow <= count; begin += kWindow) {
        double sum = 0;
        for (qsizetype i = begin; i < begin + kWindow; ++i) {
            sum += static_cast<double>(samples[i]) * samples[i];
        }
        const double rms = std::sqrt(sum / kWindow) / 32768.0;
        levels.push_back(rms > 0 ? 20 * std::log10(rms) : -120.0);
    }
    return levels;
}

// The loud passage's level less the quiet one's, each the median of the
// windows 4 to 7 s into its 8 s, counted from the first sound at the sink.
double Spread(const std::vector<double>& levels) {
    const auto first = std::find_if(levels.begin(), levels.end(), [](double l) { return l > -60; });
    const auto median = [&](std::ptrdiff_t from) {
        if (levels.end() - first < from + 12) {
            ADD_FAILURE() << "recording too short";
            return 0.0;
        }
        std::vector<double> part(first + from, first + from + 12);
        std::nth_element(part.begin(), part.begin() + 6, part.end());
        return part[6];
    };
    return median(48) - median(16);
}

}  // namespace

// A quiet passage is reported where it is in the medium, a moment after it
// began, and again after a seek back: the detector must not take the same
// passage for old news.
TEST_F(ListeningDevice, SilenceIsReportedEachTimeThePassagePlays) {
    const std::string file = MakeSilentEpisode(Folder());
    ASSERT_FALSE(file.empty());
    device_->SetSilenceDetection(true);
    PlayFrom(file, 0);
    ASSERT_TRUE(WaitUntil([&] { return changes_.size() >= 1; }));
    EXPECT_TRUE(changes_[0].first);
    EXPECT_TRUE(Near(changes_[0].second, 2600)) << changes_[0].second;
    // Seeks are reported as the end of it, with no place.
    device_->Seek(1000, false);
    device_->Play(false);
    ASSERT_TRUE(WaitUntil([&] { return changes_.size() >= 3; }));
    EXPECT_EQ(changes_[1], std::make_pair(false, -1));
    EXPECT_TRUE(changes_[2].first);
    EXPECT_TRUE(Near(changes_[2].second, 2600)) << changes_[2].second;
    device_->Seek(20000, false);
    device_->Play(false);
    ASSERT_TRUE(WaitUntil([&] { return changes_.size() >= 5; }));
    EXPECT_TRUE(changes_[4].first);
    ASSERT_TRUE(WaitUntil([&] { return changes_.size() >= 6; }));
    EXPECT_FALSE(changes_[5].first);
    EXPECT_TRUE(Near(changes_[5].second, 22000)) << changes_[5].second;
}

// Off, nothing is watched; the factor multiplies the chosen rate, before and
// after mpv runs.
TEST_F(ListeningDevice, DetectionOffReportsNothingAndTheFactorMultipliesTheRate) {
    const std::string file = MakeSilentEpisode(Folder());
    ASSERT_FALSE(file.empty());
    device_->SetSpeed(1.5);
    device_->SetSpeedFactor(2.0);
    PlayFrom(file, 1500);
    EXPECT_DOUBLE_EQ(std::stod(device_->PropertyText("speed")), 3.0);
    device_->SetSpeedFactor(1.0);
    EXPECT_DOUBLE_EQ(std::stod(device_->PropertyText("speed")), 1.5);
    EXPECT_EQ(device_->PropertyText("af").find("silencedetect"), std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return device_->Position() > 6000; }));
    PumpEvents(200ms);
    EXPECT_TRUE(changes_.empty());
}

// mpv reads the ID3 chapters of an MP3; a medium without any has none.
TEST_F(ListeningDevice, ChaptersOfTheMedium) {
    const std::string file = MakeChapteredMp3(Folder());
    ASSERT_FALSE(file.empty());
    device_->Open(file, false);
    // A few milliseconds early, by the encoder's delay.
    const std::vector<MediaChapter> chapters = device_->Chapters();
    ASSERT_EQ(chapters.size(), 3u);
    EXPECT_EQ(chapters[1].title, "Talk & news");
    EXPECT_TRUE(Near(chapters[0].startMs, 0, 50) && Near(chapters[1].startMs, 4000, 50) &&
                Near(chapters[2].startMs, 8000, 50))
        << chapters[1].startMs;
    device_->Open(MakeSilentEpisode(Folder()), false);
    EXPECT_TRUE(device_->Chapters().empty());
    device_->Close(false);
    EXPECT_TRUE(device_->Chapters().empty());
}

// At the sink, the loud passage is about 20 dB above the quiet one; with the
// leveller on, the difference shrinks by at least half. Switching it on while
// playing keeps the medium playing.
TEST_F(ListeningDevice, LevellingEvensOutTheLoudnessAtTheSink) {
    PrivateSoundServer sound;
    ASSERT_TRUE(sound.Running());
    sound.Use();
    device_ = std::make_unique<MpvMediaDevice>();
    const std::string file = MakeQuietThenLoud(Folder());
    ASSERT_FALSE(file.empty());
    const auto ended = [&] { return device_->Mode() == MediaMode::Stopped; };
    const double off = Spread(SinkLevels([&] { PlayFrom(file, 0); }, ended));
    device_->SetLevelling(true);
    EXPECT_NE(device_->PropertyText("af").find("dynaudnorm"), std::string::npos);
    const double on = Spread(SinkLevels([&] { PlayFrom(file, 0); }, ended));
    EXPECT_GT(off, 17.0);
    EXPECT_LT(on, off / 2) << "off " << off << " dB, on " << on << " dB";
    std::cerr << "loudness spread: off " << off << " dB, on " << on << " dB\n";

    PlayFrom(file, 0);
    ASSERT_TRUE(WaitUntil([&] { return device_->Position() > 2000; }));
    device_->SetLevelling(false);
    device_->SetLevelling(true);
    const int after = device_->Position();
    EXPECT_TRUE(WaitUntil([&] { return device_->Position() > after + 1000; }));
    EXPECT_EQ(device_->Mode(), MediaMode::Playing);
}
