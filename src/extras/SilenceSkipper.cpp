#include "SilenceSkipper.h"

#include <algorithm>

#include "extras/CaptionTail.h"
#include "extras/PlayerPort.h"
#include "extras/SpeedAndSleepTimer.h"
#include "platform/HandlerGuard.h"
#include "platform/Services.h"
#include "texts/PlayTime.h"

TSilenceSkipper::TSilenceSkipper(IPlayerPort& window, Services& services, TSpeedAndSleepTimer& pace)
    : window_(window), services_(services), pace_(pace) {
    services_.media->SetSilenceHandler([this](bool silent, int atMs) {
        RunGuarded(*services_.dialogs, [=, this] { SilenceChanged(silent, atMs); });
    });
}

void TSilenceSkipper::ReadSetting(const std::string& setting) {
    choice_.Read(setting);
    services_.media->SetSilenceDetection(choice_.On());
}

void TSilenceSkipper::SetOn(bool on) {
    choice_.Set(on);
    services_.media->SetSilenceDetection(on);
}

void TSilenceSkipper::PlayStarting() {
    savedMs_ = 0;
    ShowSaved();
}

void TSilenceSkipper::SilenceChanged(bool silent, int atMs) {
    IMediaDevice& media = *services_.media;
    if (silent) {
        const double speed = pace_.PlaybackSpeed();
        factor_ = std::clamp(kMaxRate / speed, 1.0, kFactor);
        fastFrom_ = atMs;
        media.SetSpeedFactor(factor_);
        return;
    }
    media.SetSpeedFactor(1.0);
    // A passage cut short by a seek or a new medium saved what it saved, but
    // where it ended is not known: it is not counted.
    if (fastFrom_ && atMs > *fastFrom_) {
        const double wallMs = (atMs - *fastFrom_) / pace_.PlaybackSpeed();
        savedMs_ += static_cast<std::int64_t>(wallMs * (1.0 - 1.0 / factor_));
        ShowSaved();
    }
    fastFrom_.reset();
}

// " [무음 -00:00:14]" goes before the sleep timer's part, which keeps the end.
void TSilenceSkipper::ShowSaved() {
    QString tail;
    if (savedMs_ >= 1000) {
        tail = QStringLiteral(" [무음 -%1]")
                   .arg(QString::fromStdString(FormatPlayTime(static_cast<int>(savedMs_))));
    }
    SetCaptionTail(window_.Window(), tail_, tail, pace_.SleepTail());
}
