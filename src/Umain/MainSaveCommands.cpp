#include "frmMain.h"

void TfrmMain::btnDownClick() {}
void TfrmMain::btnDownloadClick() {}
void TfrmMain::btnURLClick() {}
