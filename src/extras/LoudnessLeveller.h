#pragma once

#include <string>

#include "listening/OnOffChoice.h"

struct Services;

// Even loudness: the media device levels quiet and loud passages while on.
class TLoudnessLeveller {
public:
    explicit TLoudnessLeveller(Services& services) : services_(services) {}

    // "1" or "0" as the settings file holds it; empty until chosen.
    void ReadSetting(const std::string& setting);
    const std::string& Setting() const { return choice_.Setting(); }
    void SetOn(bool on);
    bool On() const { return choice_.On(); }

private:
    Services& services_;
    TOnOffChoice choice_;
};
