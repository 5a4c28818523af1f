#include "PlayTime.h"

#include <algorithm>
#include <cstdio>

std::string FormatPlayTime(int ms) {
    const int s = ms / 1000;
    const int hours = s / 3600;
    const int minutes = (s % 3600) / 60;
    const int seconds = (s % 3600) % 60;
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hours, minutes, seconds);
    return text;
}

int PointerTime(int lengthMs, int x, int width) {
    if (width <= 0 || lengthMs <= 0) {
        return 0;
    }
    const double t = static_cast<double>(lengthMs) * x / width;
    return static_cast<int>(std::clamp(t, 0.0, static_cast<double>(lengthMs)));
}

int SkipTarget(int positionMs, int lengthMs, int offsetMs) {
    // In 64 bits: a skip near the ends of int's range must not wrap round.
    const long long target = static_cast<long long>(positionMs) + offsetMs;
    return static_cast<int>(std::clamp<long long>(target, 0, std::max(lengthMs, 0)));
}
