#include <QThread>
#include <QToolButton>

#include "Umain/BusyCursor.h"
#include "Umain/FeedMediaLink.h"
#include "extras/PlayerExtras.h"
#include "feed/LinkCheck.h"
#include "frmMain.h"
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
void TfrmMain::PlaySelectedEpisode(int startMs) {
    const int i = ui->cmbItem->currentIndex();
    if (ui->cmbItem->count() == 0 || !IsEpisodeIndex(Episodes, i)) {
        return;
    }
    const TEpisode episode = Episodes[static_cast<std::size_t>(i)];
    std::string link = episode.url;
    RewriteLink(link);
    // Only a link that answers itself is played; what plays now goes on
    // otherwise. The check fetches web links only: another scheme, or a local
    // path, fails it with the HTTP client's reason.
    if (const auto error = WithBusyCursor([&] { return CheckEpisodeLink(IdHTTP, link); })) {
        dialogs_.ShowMessage(Text(UnreachableLinkMessage(link, *error)));
        return;
    }
    // Whatever answered, the device is given web links only.
    OpenAndPlay(FeedMediaLink(link), episode.title, episode.title, episode.url, startMs);
    nowPlaying_.album = ShowTitle;
}

void TfrmMain::PlayFile(const std::string& path) {
    OpenAndPlay(path, PathFileName(path), path);
}

// Closes what is open, opens `element` and plays it from its start (or from
// `startMs`) after a second's pause; `name` goes into the caption, `hint` onto
// the bar; `episodeLink` is the feed's link of an episode, empty for a local
// file. A device error leaves the controls as they were. The window waits all
// the while.
void TfrmMain::OpenAndPlay(const std::string& element, const std::string& name,
                           const std::string& hint, const std::string& episodeLink, int startMs) {
    const TBusyCursor busy;
    extras_->PlayStarting();
    MediaPlayer.Close(true);
    nowPlaying_ = {};
    playingLink_.clear();
    try {
        MediaPlayer.Open(element, true);
    } catch (const SoundOutputError&) {
        // Nothing could be heard: what played before is closed, so the
        // transport shows that nothing plays. The error says so in Korean.
        ShowNothingOpen();
        throw;
    } catch (const MediaDeviceError& e) {
        throw MediaDeviceError(FailureText(kPlayFailed, element, e.what()));
    }
    nowPlaying_ = {name, element, {}};
    playingLink_ = episodeLink;
    extras_->MediumOpened();
    MediaPlayer.SetTimeFormatMilliseconds();
    if (startMs > 0) {
        MediaPlayer.Seek(startMs, false);
    }
    const int length = MediaPlayer.Length();
    ui->prgPlay->SetMin(0);
    ui->prgPlay->SetMax(length);
    ui->lblTimeFull->setText(Text(FormatPlayTime(length)));
    setWindowTitle(PlainWindowTitle(Text("ZURav3 " + VersionText + " - " + name)));
    ui->prgPlay->setToolTip(PlainToolTip(Text(hint)));
    QThread::msleep(1000);
    MediaPlayer.Play(true);
}

void TfrmMain::sbtnOpenClick() {
    dlgOpen.filter =
        QStringLiteral("MP3 Files(*.mp3)|*.mp3|Wave Files(*.wav)|*.wav|All Files(*.*)|*.*|");
    dlgOpen.initialDir = Text(LastDown);
    if (dialogs_.RunFileDialog(dlgOpen)) {
        PlayFile(dlgOpen.fileName.toStdString());
    }
}

void TfrmMain::sbtnPlayClick() {
    if (MediaPlayer.Length() <= 0) {
        return;
    }
    switch (MediaPlayer.Mode()) {
        case MediaMode::Stopped:
        case MediaMode::Paused:
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
