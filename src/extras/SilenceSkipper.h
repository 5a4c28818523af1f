#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QObject>
#include <QString>

#include "listening/OnOffChoice.h"

class IPlayerPort;
class TSpeedAndSleepTimer;
struct Services;

// Skip silence: quiet passages play faster, on top of the chosen speed, so
// every position stays in the medium's own time. The time saved in the
// episode shows at the end of the caption, before the sleep timer's.
class TSilenceSkipper final : public QObject {
public:
    // A quiet passage plays this much faster, but not beyond kMaxRate.
    static constexpr double kFactor = 4.0;
    static constexpr double kMaxRate = 8.0;

    TSilenceSkipper(IPlayerPort& window, Services& services, TSpeedAndSleepTimer& pace);

    // "1" or "0" as the settings file holds it; empty until chosen.
    void ReadSetting(const std::string& setting);
    const std::string& Setting() const { return choice_.Setting(); }
    void SetOn(bool on);
    bool On() const { return choice_.On(); }

    // A new medium: nothing saved in it yet.
    void PlayStarting();
    std::int64_t SavedMs() const { return savedMs_; }

private:
    void SilenceChanged(bool silent, int atMs);
    void ShowSaved();

    IPlayerPort& window_;
    Services& services_;
    TSpeedAndSleepTimer& pace_;
    TOnOffChoice choice_;
    // Where the fast passage began, in the medium's time, and how much faster.
    std::optional<int> fastFrom_;
    double factor_ = 1.0;
    std::int64_t savedMs_ = 0;
    QString tail_;
};
