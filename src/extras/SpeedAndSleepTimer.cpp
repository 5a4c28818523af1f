#include "SpeedAndSleepTimer.h"

#include <utility>

#include <QWidget>

#include "extras/CaptionTail.h"
#include "extras/PlayerPort.h"
#include "listening/PlaybackSpeed.h"
#include "platform/HandlerGuard.h"
#include "platform/Services.h"
#include "texts/PlayTime.h"

namespace {

constexpr int kSleepTickMs = 200;

}  // namespace

TSpeedAndSleepTimer::TSpeedAndSleepTimer(IPlayerPort& window, Services& services,
                                         std::function<void()> keepPlace)
    : window_(window), services_(services), keepPlace_(std::move(keepPlace)) {
    sleepTicker_.setInterval(kSleepTickMs);
    connect(&sleepTicker_, &QTimer::timeout, this,
            Guarded(*services_.dialogs, [this] { SleepTimerTick(); }));
}

// --- the speed, kept in the settings ---

void TSpeedAndSleepTimer::ReadSpeedSetting(const std::string& setting) {
    speedSetting_ = setting;
    speed_ = ParseSpeed(speedSetting_).value_or(1.0);
    // The device starts at normal speed; nothing to tell it otherwise.
    if (speed_ != 1.0) {
        services_.media->SetSpeed(speed_);
    }
}

void TSpeedAndSleepTimer::SetPlaybackSpeed(double speed) {
    const std::optional<double> clamped = ClampSpeed(speed);
    if (!clamped) {
        return;
    }
    speed_ = *clamped;
    services_.media->SetSpeed(speed_);
    // The settings file gains the key only once a speed other than normal is
    // chosen; from then on it follows.
    if (speed_ != 1.0 || !speedSetting_.empty()) {
        speedSetting_ = FormatSpeed(speed_);
    }
}

// --- the sleep timer ---

void TSpeedAndSleepTimer::SetSleepTimer(SleepChoice choice) {
    EndSleepFade();
    sleep_.Choose(choice, services_.clock->NowMs());
    if (sleep_.Armed()) {
        sleepTicker_.start();
    } else {
        sleepTicker_.stop();
    }
    ShowSleepRemaining();
}

void TSpeedAndSleepTimer::WakeUp() {
    if (fadeFromVolume_) {
        SetSleepTimer(SleepChoice::Off);
    }
    PlayResuming();
}

void TSpeedAndSleepTimer::PlayResuming() {
    if (silencedVolume_) {
        services_.media->SetVolume(*silencedVolume_);
        silencedVolume_.reset();
    }
}

TSleepMedium TSpeedAndSleepTimer::SleepMedium() {
    IMediaDevice& media = *services_.media;
    TSleepMedium medium;
    if (!media.IsOpen()) {
        return medium;
    }
    medium.open = true;
    medium.playing = media.Mode() == MediaMode::Playing;
    medium.positionMs = media.Position();
    medium.lengthMs = media.Length();
    medium.speed = speed_;
    return medium;
}

std::optional<std::int64_t> TSpeedAndSleepTimer::SleepRemaining() {
    if (!sleep_.Armed()) {
        return std::nullopt;
    }
    return sleep_.Remaining(services_.clock->NowMs(), SleepMedium());
}

void TSpeedAndSleepTimer::EndSleepFade() {
    if (fadeFromVolume_) {
        services_.media->SetVolume(*fadeFromVolume_);
        fadeFromVolume_.reset();
    }
}

// The fade has run its course: silence, kept until the next play.
void TSpeedAndSleepTimer::SilenceAfterFade() {
    if (fadeFromVolume_) {
        services_.media->SetVolume(0);
        silencedVolume_ = *fadeFromVolume_;
        fadeFromVolume_.reset();
    }
}

void TSpeedAndSleepTimer::SleepTimerTick() {
    if (!sleep_.Armed()) {
        sleepTicker_.stop();
        ShowSleepRemaining();
        return;
    }
    IMediaDevice& media = *services_.media;
    const TSleepMedium medium = SleepMedium();
    const std::optional<std::int64_t> remaining =
        sleep_.Remaining(services_.clock->NowMs(), medium);
    if (remaining && *remaining <= TSleepTimer::kFadeMs) {
        if (!medium.playing) {
            // Paused, stopped or at its end already: nothing is left to do.
            SilenceAfterFade();
            SetSleepTimer(SleepChoice::Off);
            return;
        }
        if (!fadeFromVolume_) {
            fadeFromVolume_ = media.Volume();
        }
        if (*remaining > 0) {
            media.SetVolume(FadeVolume(*fadeFromVolume_, *remaining));
        } else {
            // Paused as by the button (also a medium of unknown length), with
            // the place kept; the next play is at full volume again.
            SilenceAfterFade();
            media.Pause(true);
            window_.ShowPlayGlyph();
            keepPlace_();
            SetSleepTimer(SleepChoice::Off);
            return;
        }
    } else if (fadeFromVolume_) {
        // Moved back from the end of the episode: full volume again.
        EndSleepFade();
    }
    ShowSleepRemaining();
}

// The time left goes at the end of the caption while the timer runs.
void TSpeedAndSleepTimer::ShowSleepRemaining() {
    QString tail;
    if (sleep_.Armed()) {
        const std::optional<std::int64_t> remaining = SleepRemaining();
        if (remaining) {
            const auto seconds = static_cast<int>((*remaining + 999) / 1000);
            tail = QStringLiteral(" [취침 %1]")
                       .arg(QString::fromStdString(FormatPlayTime(seconds * 1000)));
        } else {
            tail = QStringLiteral(" [취침 이 에피소드가 끝나면]");
        }
    }
    SetCaptionTail(window_.Window(), sleepTail_, tail);
}
