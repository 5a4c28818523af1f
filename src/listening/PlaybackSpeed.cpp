#include "PlaybackSpeed.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

const std::vector<double>& MenuSpeeds() {
    static const std::vector<double> speeds{0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0};
    return speeds;
}

std::optional<double> ClampSpeed(double speed) {
    if (std::isnan(speed)) {
        return std::nullopt;
    }
    return std::round(std::clamp(speed, kMinSpeed, kMaxSpeed) * 100.0) / 100.0;
}

std::optional<double> ParseSpeed(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || next != end) {
        return std::nullopt;
    }
    return ClampSpeed(value);
}

std::string FormatSpeed(double speed) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, speed);
    return error == std::errc() ? std::string(text, end) : std::string("1");
}

std::string SpeedLabel(double speed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", speed);
    std::string label = text;
    // Two decimals only where the second one counts: 1.25x, but 1.5x and 1.0x.
    if (label.size() > 1 && label.back() == '0') {
        label.pop_back();
    }
    return label + "x";
}

double StepSpeed(double speed, int step) {
    const std::vector<double>& speeds = MenuSpeeds();
    if (step > 0) {
        const auto next = std::upper_bound(speeds.begin(), speeds.end(), speed + 1e-9);
        return next == speeds.end() ? speeds.back() : *next;
    }
    const auto next = std::lower_bound(speeds.begin(), speeds.end(), speed - 1e-9);
    return next == speeds.begin() ? speeds.front() : *(next - 1);
}
