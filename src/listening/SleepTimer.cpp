#include "SleepTimer.h"

#include <algorithm>
#include <cmath>

void TSleepTimer::Choose(SleepChoice choice, std::int64_t nowMs) {
    choice_ = choice;
    switch (choice) {
        case SleepChoice::Minutes15:
            deadlineMs_ = nowMs + 15 * std::int64_t{60000};
            break;
        case SleepChoice::Minutes30:
            deadlineMs_ = nowMs + 30 * std::int64_t{60000};
            break;
        case SleepChoice::Minutes60:
            deadlineMs_ = nowMs + 60 * std::int64_t{60000};
            break;
        case SleepChoice::Off:
        case SleepChoice::EndOfEpisode:
            deadlineMs_ = 0;
            break;
    }
}

std::optional<std::int64_t> TSleepTimer::Remaining(std::int64_t nowMs,
                                                   const TSleepMedium& medium) const {
    switch (choice_) {
        case SleepChoice::Off:
            return std::nullopt;
        case SleepChoice::EndOfEpisode: {
            if (!medium.open || medium.lengthMs <= 0) {
                return std::nullopt;
            }
            const double speed = medium.speed > 0 ? medium.speed : 1.0;
            const int left = std::max(0, medium.lengthMs - medium.positionMs);
            return static_cast<std::int64_t>(std::ceil(left / speed));
        }
        default:
            return std::max<std::int64_t>(0, deadlineMs_ - nowMs);
    }
}

int FadeVolume(int fullVolume, std::int64_t remainingMs) {
    const std::int64_t left = std::clamp<std::int64_t>(remainingMs, 0, TSleepTimer::kFadeMs);
    return static_cast<int>(
        std::lround(static_cast<double>(fullVolume) * static_cast<double>(left) /
                    static_cast<double>(TSleepTimer::kFadeMs)));
}
