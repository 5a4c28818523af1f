#include "extras/PlayerExtras.h"
#include "frmMain.h"
#include "texts/PlayTime.h"
#include "ui_frmMain.h"

// The guard of the three bar events: a medium has been loaded and has a
// length. A press without an open medium reports the device's error; merely
// hovering over the bar does not, or every move would raise an error box.
bool TfrmMain::SeekBarLength(int& length, bool quietWithoutMedium) {
    // Nothing to seek in while a medium is being opened.
    if (ui->prgPlay->Max() <= 0 || MediaPlayer.Opening()) {
        return false;
    }
    if (quietWithoutMedium && !MediaPlayer.IsOpen()) {
        return false;
    }
    length = MediaPlayer.Length();
    return length > 0;
}

void TfrmMain::prgPlayMouseDown(int x) {
    int length = 0;
    if (!SeekBarLength(length, false)) {
        return;
    }
    MediaPlayer.Seek(PointerTime(length, x, ui->prgPlay->width()), true);
    // Plays from here now rather than at the end of the wait after opening.
    playDelay_.stop();
    UpdateBusyCursor();
    extras_->PlayResuming();
    MediaPlayer.Play(true);
}

void TfrmMain::prgPlayMouseMove(int x) {
    int length = 0;
    if (!SeekBarLength(length, true)) {
        return;
    }
    ui->lblTimeFull->setText(
        QString::fromStdString(FormatPlayTime(PointerTime(length, x, ui->prgPlay->width()))));
}

void TfrmMain::prgPlayMouseLeave() {
    int length = 0;
    if (!SeekBarLength(length, true)) {
        return;
    }
    ui->lblTimeFull->setText(QString::fromStdString(FormatPlayTime(length)));
}
