#include "frmMain.h"

void TfrmMain::btnPlayClick() {}
void TfrmMain::PlayFile(const std::string&) {}
void TfrmMain::sbtnOpenClick() {}
void TfrmMain::sbtnPlayClick() {}
void TfrmMain::sbtnStopClick() {}
void TfrmMain::MediaPlayerNotify(NotifyResult) {}
void TfrmMain::TimerTimer() {}
