#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "listening/PlaybackSpeed.h"
#include "listening/SleepTimer.h"

namespace {

TSleepMedium Playing(int positionMs, int lengthMs, double speed = 1.0) {
    return {true, true, positionMs, lengthMs, speed};
}

}  // namespace

TEST(SleepTimer, CountsDownWallTimeAndANewChoiceReplacesTheOld) {
    TSleepTimer timer;
    const TSleepMedium medium = Playing(0, 3600000);
    EXPECT_FALSE(timer.Armed());
    EXPECT_EQ(timer.Remaining(0, medium), std::nullopt);

    timer.Choose(SleepChoice::Minutes15, 1000);
    EXPECT_EQ(timer.Remaining(1000, medium), 15 * 60000);
    EXPECT_EQ(timer.Remaining(1000 + 14 * 60000, medium), 60000);
    // Past the deadline (a late tick) it stays at zero.
    EXPECT_EQ(timer.Remaining(1000 + 20 * 60000, medium), 0);
    // Whatever the medium does: wall time counts.
    EXPECT_EQ(timer.Remaining(1000, TSleepMedium{}), 15 * 60000);

    timer.Choose(SleepChoice::Minutes60, 5000);
    EXPECT_EQ(timer.Remaining(5000, medium), 60 * 60000);
    timer.Choose(SleepChoice::Minutes30, 5000);
    EXPECT_EQ(timer.Remaining(5000, medium), 30 * 60000);
    timer.Choose(SleepChoice::Off, 5000);
    EXPECT_FALSE(timer.Armed());
    EXPECT_EQ(timer.Remaining(5000, medium), std::nullopt);
}

// At the end of the episode: the rest of the medium at the playing speed.
TEST(SleepTimer, EndOfEpisodeIsTheRestOfTheMediumAtThePlayingSpeed) {
    TSleepTimer timer;
    timer.Choose(SleepChoice::EndOfEpisode, 0);
    EXPECT_EQ(timer.Remaining(0, Playing(60000, 120000)), 60000);
    EXPECT_EQ(timer.Remaining(0, Playing(60000, 120000, 2.0)), 30000);
    EXPECT_EQ(timer.Remaining(0, Playing(0, 10000, 3.0)), 3334);
    EXPECT_EQ(timer.Remaining(0, Playing(120000, 120000)), 0);
    EXPECT_EQ(timer.Remaining(99999999, Playing(110000, 120000)), 10000);
    // Nothing open, or no length: nothing to count.
    EXPECT_EQ(timer.Remaining(0, TSleepMedium{}), std::nullopt);
    EXPECT_EQ(timer.Remaining(0, Playing(5000, 0)), std::nullopt);
}

TEST(SleepTimer, FadeFallsInAStraightLineToSilenceAtThePause) {
    EXPECT_EQ(FadeVolume(100, TSleepTimer::kFadeMs), 100);
    EXPECT_EQ(FadeVolume(100, TSleepTimer::kFadeMs * 10), 100);
    EXPECT_EQ(FadeVolume(100, TSleepTimer::kFadeMs / 2), 50);
    EXPECT_EQ(FadeVolume(80, TSleepTimer::kFadeMs / 4), 20);
    EXPECT_EQ(FadeVolume(100, 0), 0);
    EXPECT_EQ(FadeVolume(100, -300), 0);
}

TEST(PlaybackSpeed, StoredTextIsReadHeldInRangeAndWrittenBack) {
    EXPECT_EQ(ParseSpeed("1.5"), 1.5);
    EXPECT_EQ(ParseSpeed("1"), 1.0);
    EXPECT_EQ(ParseSpeed("7"), 3.0);
    EXPECT_EQ(ParseSpeed("0.1"), 0.5);
    EXPECT_EQ(ParseSpeed("-2"), 0.5);
    EXPECT_EQ(ParseSpeed("1.333333"), 1.33);
    for (const char* bad : {"", "fast", "1.5x", " 1.5", "1,5", "nan"}) {
        EXPECT_EQ(ParseSpeed(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(ClampSpeed(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(ClampSpeed(std::numeric_limits<double>::infinity()), 3.0);

    for (const double speed : MenuSpeeds()) {
        EXPECT_EQ(ParseSpeed(FormatSpeed(speed)), speed);
    }
    EXPECT_EQ(FormatSpeed(1.25), "1.25");
    EXPECT_EQ(SpeedLabel(1.0), "1.0x");
    EXPECT_EQ(SpeedLabel(0.75), "0.75x");
    EXPECT_EQ(SpeedLabel(2.5), "2.5x");
}

TEST(PlaybackSpeed, StepsGoThroughTheMenuSpeedsAndStopAtTheEnds) {
    EXPECT_EQ(StepSpeed(1.0, +1), 1.25);
    EXPECT_EQ(StepSpeed(1.0, -1), 0.75);
    EXPECT_EQ(StepSpeed(3.0, +1), 3.0);
    EXPECT_EQ(StepSpeed(0.5, -1), 0.5);
    // A speed between two items (set through the media controls).
    EXPECT_EQ(StepSpeed(1.1, +1), 1.25);
    EXPECT_EQ(StepSpeed(1.1, -1), 1.0);
}
