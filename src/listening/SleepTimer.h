#pragma once

#include <cstdint>
#include <optional>

// What the sleep timer was asked to do.
enum class SleepChoice { Off, Minutes15, Minutes30, Minutes60, EndOfEpisode };

// The medium as the sleep timer needs it, read from the media device.
struct TSleepMedium {
    bool open = false;
    bool playing = false;
    int positionMs = 0;
    int lengthMs = 0;
    double speed = 1.0;
};

// The sleep timer's arithmetic. Times are a steady clock's milliseconds. The
// player pauses when the remaining time reaches zero, and fades out over the
// last kFadeMs before that: after a number of minutes, or at the end of the
// episode (whose remaining time is the rest of the medium at the playing
// speed). A new choice replaces the old one.
class TSleepTimer {
public:
    static constexpr std::int64_t kFadeMs = 5000;

    void Choose(SleepChoice choice, std::int64_t nowMs);
    SleepChoice Choice() const { return choice_; }
    bool Armed() const { return choice_ != SleepChoice::Off; }

    // The time until the pause; none when the timer is off, or when it waits
    // for the end of an episode and no medium with a length is open.
    std::optional<std::int64_t> Remaining(std::int64_t nowMs, const TSleepMedium& medium) const;

private:
    SleepChoice choice_ = SleepChoice::Off;
    std::int64_t deadlineMs_ = 0;
};

// The volume during the fade, `remainingMs` before the pause: falls in a
// straight line from `fullVolume` (kFadeMs before) to 0 (at the pause).
int FadeVolume(int fullVolume, std::int64_t remainingMs);
