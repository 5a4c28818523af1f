#include "frmMain.h"

void TfrmMain::btnSettingClick() {}
void TfrmMain::sbtnTOVClick() {}
