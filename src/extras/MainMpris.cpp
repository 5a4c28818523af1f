#include "MainMpris.h"

#include <algorithm>
#include <climits>

#include <QCoreApplication>
#include <QUrl>
#include <QWidget>

#include "extras/PlayerChapters.h"
#include "extras/PlayerPort.h"
#include "extras/SpeedAndSleepTimer.h"
#include "platform/HandlerGuard.h"
#include "platform/ProgramIcon.h"
#include "platform/Services.h"

namespace {

// A seek this close to the end while playing ends the episode.
constexpr int kEndMarginMs = 500;

// A link as it stands, a local path as a file URL.
QString LocationUrl(const std::string& location) {
    const QString text = QString::fromStdString(location);
    if (text.isEmpty()) {
        return {};
    }
    const QUrl url(text, QUrl::TolerantMode);
    if (url.scheme().size() > 1) {  // a web link, not a drive letter
        return url.toString(QUrl::FullyEncoded);
    }
    return QUrl::fromLocalFile(text).toString(QUrl::FullyEncoded);
}

}  // namespace

TMainWindowMpris::TMainWindowMpris(IPlayerPort& window, TSpeedAndSleepTimer& pace,
                                   Services& services)
    : window_(window),
      pace_(pace),
      services_(services),
      artUrl_(InstalledIconUrl(QCoreApplication::applicationDirPath())) {}

void TMainWindowMpris::Guard(const std::function<void()>& action) {
    RunGuarded(*services_.dialogs, action);
}

MprisState TMainWindowMpris::State() {
    IMediaDevice& device = *services_.media;
    MprisState state;
    state.rate = pace_.PlaybackSpeed();
    state.sleepRemainingMs = pace_.SleepRemaining().value_or(-1);
    state.hasChapters = chapters_ != nullptr && chapters_->Any();
    if (!device.IsOpen()) {
        return state;
    }
    switch (device.Mode()) {
        case MediaMode::Playing:
            state.status = MprisState::Status::Playing;
            break;
        case MediaMode::Paused:
            state.status = MprisState::Status::Paused;
            break;
        default:
            state.status = MprisState::Status::Stopped;
            break;
    }
    const TNowPlaying& playing = window_.NowPlaying();
    state.title = QString::fromStdString(playing.title);
    state.url = LocationUrl(playing.location);
    state.album = QString::fromStdString(playing.album);
    state.artUrl = artUrl_;
    state.lengthMs = device.Length();
    state.positionMs = device.Position();
    return state;
}

void TMainWindowMpris::PlayPause() {
    Guard([this] {
        if (services_.media->IsOpen()) {
            window_.sbtnPlayClick();
        } else {
            window_.btnPlayClick();
        }
    });
}

void TMainWindowMpris::Play() {
    Guard([this] {
        if (!services_.media->IsOpen()) {
            window_.btnPlayClick();
        } else if (services_.media->Mode() != MediaMode::Playing) {
            window_.sbtnPlayClick();
        }
    });
}

void TMainWindowMpris::Pause() {
    Guard([this] {
        if (services_.media->IsOpen() && services_.media->Mode() == MediaMode::Playing) {
            window_.sbtnPlayClick();
        }
    });
}

void TMainWindowMpris::Stop() {
    Guard([this] {
        if (services_.media->IsOpen()) {
            window_.sbtnStopClick();
        }
    });
}

void TMainWindowMpris::SetPosition(qint64 positionMs) {
    Guard([this, positionMs] {
        IMediaDevice& device = *services_.media;
        if (!device.IsOpen()) {
            return;
        }
        // A seek leaves the device stopped; what was playing plays on.
        const bool playing = device.Mode() == MediaMode::Playing;
        // The device counts in int; the bus hands over any 64-bit number.
        const int target = static_cast<int>(std::clamp<qint64>(positionMs, 0, INT_MAX));
        const int length = device.Length();
        // So close to the end that the device may be at its end before it
        // plays again, which would start the medium over: the episode ends
        // here, as playing into its end does.
        if (playing && length > 0 && target >= length - kEndMarginMs) {
            device.Seek(length, true);
            return;
        }
        device.Seek(target, true);
        if (playing) {
            device.Play(true);
        }
    });
}

void TMainWindowMpris::SetRate(double rate) {
    Guard([this, rate] { pace_.SetPlaybackSpeed(rate); });
}

void TMainWindowMpris::Next() {
    if (chapters_ != nullptr) {
        Guard([this] { chapters_->Next(); });
    }
}

void TMainWindowMpris::Previous() {
    if (chapters_ != nullptr) {
        Guard([this] { chapters_->Previous(); });
    }
}

void TMainWindowMpris::Raise() {
    QWidget& window = window_.Window();
    window.showNormal();
    window.raise();
    window.activateWindow();
}
