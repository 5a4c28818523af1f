#include "frmMain.h"

void TfrmMain::prgPlayMouseDown(int) {}
void TfrmMain::prgPlayMouseMove(int) {}
void TfrmMain::prgPlayMouseLeave() {}
