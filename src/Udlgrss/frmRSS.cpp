#include "frmRSS.h"

TfrmRSS* frmRSS = nullptr;

TfrmRSS::TfrmRSS(Services& services, QWidget* parent) : QDialog(parent), services_(services) {
    frmRSS = this;
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("설정"));
}

TfrmRSS::~TfrmRSS() {
    if (frmRSS == this) {
        frmRSS = nullptr;
    }
}
