#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QObject>
#include <QString>
#include <QTimer>

#include "listening/SleepTimer.h"

class IPlayerPort;
struct Services;

// The playback speed and the sleep timer, as the play menu, the keys and the
// media controls set them. The speed goes to the media device at once and into
// the settings; the timer counts down at the end of the window's caption,
// fades the volume out over its last seconds and then pauses the player as its
// button does.
class TSpeedAndSleepTimer final : public QObject {
public:
    // `keepPlace` is called after the timer has paused the player, so that its
    // place is kept as by a pause.
    TSpeedAndSleepTimer(IPlayerPort& window, Services& services, std::function<void()> keepPlace);

    // Reads the speed as the settings file holds it; see TSettings::Speed.
    void ReadSpeedSetting(const std::string& setting);
    // The speed for the settings file; empty until one other than normal was
    // chosen.
    const std::string& SpeedSetting() const { return speedSetting_; }
    void SetPlaybackSpeed(double speed);
    double PlaybackSpeed() const { return speed_; }

    void SetSleepTimer(SleepChoice choice);
    SleepChoice SleepTimerChoice() const { return sleep_.Choice(); }
    // The time until the sleep timer pauses the player, when it is known.
    std::optional<std::int64_t> SleepRemaining();
    void SleepTimerTick();
    // A new play during the fade means the listener is awake: the timer is off.
    void WakeUp();
    // A play starts or goes on: the volume a finished fade left at silence
    // comes back.
    void PlayResuming();
    // No more ticks: the window is closing.
    void StopTicking() { sleepTicker_.stop(); }
    // What the caption carries at its end for the sleep timer; empty when off.
    const QString& SleepTail() const { return sleepTail_; }

private:
    TSleepMedium SleepMedium();
    void EndSleepFade();
    void SilenceAfterFade();
    void ShowSleepRemaining();

    IPlayerPort& window_;
    Services& services_;
    std::function<void()> keepPlace_;

    double speed_ = 1.0;
    std::string speedSetting_;

    TSleepTimer sleep_;
    QTimer sleepTicker_;
    // The volume before the fade began, while it fades.
    std::optional<int> fadeFromVolume_;
    // The volume to bring back at the next play once the fade has ended: the
    // device stays silent until then, as its last buffered audio may still be
    // playing when the medium reports its end.
    std::optional<int> silencedVolume_;
    // What the caption carries at its end for the sleep timer.
    QString sleepTail_;
};
