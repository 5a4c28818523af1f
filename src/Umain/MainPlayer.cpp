#include <QToolButton>

#include "Umain/FeedMediaLink.h"
#include "extras/PlayerExtras.h"
#include "feed/LinkCheck.h"
#include "frmMain.h"
#include "platform/HandlerGuard.h"
#include "platform/OutsideText.h"
#include "texts/FailureText.h"
#include "texts/FileNames.h"
#include "texts/PlayTime.h"
#include "ui_frmMain.h"

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

void TfrmMain::btnPlayClick() {
    PlaySelectedEpisode(0);
}

// The play button's sequence; the play menu's resume starts at `startMs`.
// The link is checked, then opened, then played a second later, each step
// from the event loop; a later play replaces all of it.
void TfrmMain::PlaySelectedEpisode(int startMs) {
    const int i = ui->cmbItem->currentIndex();
    if (ui->cmbItem->count() == 0 || !IsEpisodeIndex(Episodes, i)) {
        return;
    }
    const TEpisode episode = Episodes[static_cast<std::size_t>(i)];
    std::string link = episode.url;
    RewriteLink(link);
    CancelPendingPlay();
    MediaPlayer.Prepare();
    // Only a link that answers itself is played; what plays now goes on
    // otherwise. The check fetches web links only: another scheme, or a local
    // path, fails it with the HTTP client's reason.
    playCheck_ = std::make_unique<TLinkCheck>(
        IdHTTP, link, [this, link, episode, startMs](std::optional<std::string> error) {
            const std::unique_ptr<TLinkCheck> ended = std::move(playCheck_);
            UpdateBusyCursor();
            RunGuarded(dialogs_, [&] {
                if (error) {
                    dialogs_.ShowMessage(Text(UnreachableLinkMessage(link, *error)));
                    return;
                }
                // Whatever answered, the device is given web links only.
                OpenAndPlay({FeedMediaLink(link), episode.title, episode.title, episode.url,
                             ShowTitle, startMs});
            });
        });
    UpdateBusyCursor();
}

void TfrmMain::PlayAfterTheWait() {
    UpdateBusyCursor();
    MediaPlayer.Play(true);
    // The play's own notification comes only at the medium's end.
    ShowModeTransport();
}

void TfrmMain::PlayFile(const std::string& path) {
    CancelPendingPlay();
    OpenAndPlay({path, PathFileName(path), path, {}, {}, 0});
}

void TfrmMain::CancelPendingPlay() {
    playCheck_.reset();
    playDelay_.stop();
    if (MediaPlayer.Opening()) {
        // Drops the open; its medium never plays.
        MediaPlayer.Close(false);
    }
    UpdateBusyCursor();
}

// Closes what is open and starts opening `play.element`, to play it from its
// start (or from `play.startMs`) a second after it is open; `name` goes into
// the caption, `hint` onto the bar; `episodeLink` is the feed's link of an
// episode, empty for a local file. A device error leaves the controls as
// they were.
void TfrmMain::OpenAndPlay(const PlayRequest& play) {
    extras_->PlayStarting();
    MediaPlayer.Close(true);
    StartOpen(play.element, true, [this, play] { PlayOpened(play); });
}

void TfrmMain::StartOpen(const std::string& element, bool notify, std::function<void()> opened) {
    nowPlaying_ = {};
    playingLink_.clear();
    try {
        MediaPlayer.OpenAsync(element, notify,
                              [this, element, opened = std::move(opened)](auto failure) {
                                  UpdateBusyCursor();
                                  RunGuarded(dialogs_, [&] {
                                      if (failure) {
                                          ThrowOpenFailure(*failure, element);
                                      }
                                      opened();
                                  });
                              });
    } catch (const MediaDeviceError& e) {
        throw MediaDeviceError(FailureText(kPlayFailed, element, e.what()));
    }
    UpdateBusyCursor();
}

void TfrmMain::ThrowOpenFailure(const MediaOpenFailure& failure, const std::string& element) {
    if (failure.noSoundOutput) {
        // Nothing could be heard: what played before is closed, so the
        // transport shows that nothing plays. The error says so in Korean.
        ShowNothingOpen();
        throw SoundOutputError(failure.text);
    }
    throw MediaDeviceError(FailureText(kPlayFailed, element, failure.text));
}

void TfrmMain::PlayOpened(const PlayRequest& play) {
    nowPlaying_ = {play.name, play.element, play.album};
    playingLink_ = play.episodeLink;
    extras_->MediumOpened();
    MediaPlayer.SetTimeFormatMilliseconds();
    if (play.startMs > 0) {
        MediaPlayer.Seek(play.startMs, false);
    }
    const int length = MediaPlayer.Length();
    ui->prgPlay->SetMin(0);
    ui->prgPlay->SetMax(length);
    ui->lblTimeFull->setText(Text(FormatPlayTime(length)));
    setWindowTitle(PlainWindowTitle(Text("ZURav3 " + VersionText + " - " + play.name)));
    ui->prgPlay->setToolTip(PlainToolTip(Text(play.hint)));
    playDelay_.start();
    UpdateBusyCursor();
}

void TfrmMain::sbtnOpenClick() {
    dlgOpen.filter =
        QStringLiteral("MP3 Files(*.mp3)|*.mp3|Wave Files(*.wav)|*.wav|All Files(*.*)|*.*|");
    dlgOpen.initialDir = Text(LastDown);
    MediaPlayer.Prepare();
    if (dialogs_.RunFileDialog(dlgOpen)) {
        PlayFile(dlgOpen.fileName.toStdString());
    }
}

void TfrmMain::sbtnPlayClick() {
    // Nothing to play or pause until the medium being opened is open.
    if (MediaPlayer.Opening() || MediaPlayer.Length() <= 0) {
        return;
    }
    switch (MediaPlayer.Mode()) {
        case MediaMode::Stopped:
        case MediaMode::Paused:
            // Plays now rather than at the end of the wait after opening.
            playDelay_.stop();
            UpdateBusyCursor();
            extras_->PlayResuming();
            MediaPlayer.Play(true);
            SetGlyph(ui->sbtnPlay, ui->imgBtnPause);
            break;
        case MediaMode::Playing:
            MediaPlayer.Pause(true);
            SetGlyph(ui->sbtnPlay, ui->imgBtnPlay);
            // Kept now too, should the program not end normally.
            extras_->RememberPosition();
            break;
        default:
            break;
    }
}

void TfrmMain::sbtnStopClick() {
    // A play on its way is stopped before it starts. A medium being opened
    // has closed the one before it: there is nothing else to stop then.
    const bool opening = MediaPlayer.Opening();
    const bool checking = playCheck_ != nullptr;
    CancelPendingPlay();
    if (opening) {
        ShowNothingOpen();
        return;
    }
    // Only the check was stopped, and nothing else is open to stop.
    if (checking && !MediaPlayer.IsOpen()) {
        return;
    }
    if (MediaPlayer.Length() <= 0) {
        return;
    }
    const MediaMode mode = MediaPlayer.Mode();
    if (mode == MediaMode::Playing || mode == MediaMode::Paused) {
        extras_->RememberPosition();
        MediaPlayer.Stop(true);
        MediaPlayer.Seek(0, false);
    }
}

void TfrmMain::ShowTransport(const QLabel* glyph, bool enabled) {
    // The glyph shows what a click on the button will do.
    SetGlyph(ui->sbtnPlay, glyph);
    ui->sbtnPlay->setEnabled(enabled);
    ui->sbtnStop->setEnabled(enabled);
}

void TfrmMain::ShowPlayGlyph() {
    SetGlyph(ui->sbtnPlay, ui->imgBtnPlay);
}

void TfrmMain::ShowNothingOpen() {
    ShowTransport(ui->imgBtnPlay, false);
}

void TfrmMain::MediaPlayerNotify(NotifyResult result) {
    if (!MediaPlayer.IsOpen()) {
        // The medium went away on its own (the sound output failed while
        // playing, say): the transport stops and the device's reason is shown.
        const std::string failure = MediaPlayer.FailureText();
        if (result == NotifyResult::Failure && !failure.empty()) {
            ShowNothingOpen();
            // A lost sound output says so in Korean already.
            if (failure.starts_with(kNoSoundOutput)) {
                throw MediaDeviceError(failure);
            }
            throw MediaDeviceError(FailureText(kPlayBrokeOff, nowPlaying_.location, failure));
        }
        // After a failed open there is nothing to show: the buttons keep their state.
        return;
    }
    ShowModeTransport();
}

void TfrmMain::ShowModeTransport() {
    switch (MediaPlayer.Mode()) {
        case MediaMode::NotReady:
            ShowTransport(ui->imgBtnPlay, false);
            break;
        case MediaMode::Playing:
            ShowTransport(ui->imgBtnPause, true);
            break;
        case MediaMode::Stopped:
        case MediaMode::Paused:
        case MediaMode::Open:
            ShowTransport(ui->imgBtnPlay, true);
            break;
        case MediaMode::Recording:
        case MediaMode::Seeking:
            break;
    }
}

void TfrmMain::TimerTimer() {
    // After a failed open the bar keeps its range but there is no position to show.
    if (ui->prgPlay->Max() <= 0 || !MediaPlayer.IsOpen()) {
        return;
    }
    const int position = MediaPlayer.Position();
    ui->prgPlay->SetPosition(position);
    ui->lblTimePlay->setText(Text(FormatPlayTime(position)));
}
