#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/MediaDevice.h"

// Playback speeds: 1.0 is normal; the pitch is kept at any speed.
inline constexpr double kMinSpeed = kMinPlaybackRate;
inline constexpr double kMaxSpeed = kMaxPlaybackRate;

// The speeds the play menu offers, slowest first.
const std::vector<double>& MenuSpeeds();

// A speed held within kMinSpeed..kMaxSpeed and rounded to hundredths; none for
// a value that is not a number.
std::optional<double> ClampSpeed(double speed);

// The speed stored in the settings ("1.5"); none for a text that is not a
// number.
std::optional<double> ParseSpeed(const std::string& text);
std::string FormatSpeed(double speed);

// The menu's text for a speed: "1.0x", "1.5x", "0.75x".
std::string SpeedLabel(double speed);

// The next menu speed above (`step` > 0) or below `speed`; the fastest or the
// slowest when there is none.
double StepSpeed(double speed, int step);
